#include "catalog/message_keys.h"

#include "system/platform.h"

const MessageKey MESSAGE_KEYS[MESSAGE_KEY_COUNT] = {
    // Status line of the progress dialog.
    {"SetupInit", MESSAGE_AS_IS},
    {"SetupRemoveOld", MESSAGE_AS_IS},
    {"SetupStopSpooler", MESSAGE_AS_IS},
    {"SetupInstallFiles", MESSAGE_AS_IS},
    {"SetupStartSpooler", MESSAGE_AS_IS},
    {"SetupInstallDriver", MESSAGE_AS_IS},
    {"ClosingPrintServer", MESSAGE_AS_IS},
    {"installing...", MESSAGE_AS_IS},
    {"Installing port...", MESSAGE_AS_IS},
    {"Waiting for port..", MESSAGE_AS_IS},
    {"Port installed", MESSAGE_AS_IS},
    {"Register", MESSAGE_AS_IS},
    {"Register1", MESSAGE_AS_IS},
    {"Register2", MESSAGE_AS_IS},
    {"StartPrinter", MESSAGE_AS_IS},
    // Error boxes.
    {"SetupCantInit", MESSAGE_AS_IS},
    {"SetupCantRemoveOld", MESSAGE_AS_IS},
    {"SetupCantStopSpooler", MESSAGE_AS_IS},
    {"SetupCantInstallFiles", MESSAGE_AS_IS},
    {"SetupCantStartSpooler", MESSAGE_AS_IS},
    {"SetupCantInstallDriver", MESSAGE_AS_IS},
    {"CantLoadWinspool", MESSAGE_AS_IS},
    {"GetProcAddress() failed.", MESSAGE_AS_IS},
    // Result texts.
    {"SetupOk", MESSAGE_WITH_NAME},
    {"SetupOk95", MESSAGE_WITH_NAME},
    {"SetupFailed", MESSAGE_AS_IS},
    {"RemoveOk", MESSAGE_WITH_NAME},
    {"RemoveOk95", MESSAGE_WITH_NAME},
    {"RemoveFailed", MESSAGE_AS_IS},
    {"InstallClientFirst", MESSAGE_WITHOUT_ARGUMENT},
};

const MessageKey *find_message_key(const char *key)
{
    for (int i = 0; i < MESSAGE_KEY_COUNT; i++) {
        if (strcmp(MESSAGE_KEYS[i].key, key) == 0)
            return &MESSAGE_KEYS[i];
    }
    return NULL;
}
