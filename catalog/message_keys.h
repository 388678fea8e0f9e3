// The keys the program looks up in a language file, and how it shows the
// text of each. A language file must define every one of them.
#ifndef SETUP_MESSAGE_KEYS_H
#define SETUP_MESSAGE_KEYS_H

enum MessageUse {
    // Shown as it stands: a '%' is shown too.
    MESSAGE_AS_IS,
    // Formatted with the product's name: the first "%s" takes it, "%%" is a
    // percent sign, every other '%' is shown as it stands.
    MESSAGE_WITH_NAME,
    // Formatted without an argument: a "%s" shows nothing, "%%" is a
    // percent sign.
    MESSAGE_WITHOUT_ARGUMENT
};

// The one list of keys: the name the sources use, the key as the language
// files spell it, and how its text is shown. Call sites use the names, so a
// misspelt key does not compile; the table below is made from the same list.
#define SETUP_MESSAGE_KEY_LIST(KEY)                                          \
    /* Status line of the progress dialog. */                                \
    KEY(KEY_SETUP_INIT, "SetupInit", MESSAGE_AS_IS)                          \
    KEY(KEY_SETUP_REMOVE_OLD, "SetupRemoveOld", MESSAGE_AS_IS)               \
    KEY(KEY_SETUP_STOP_SPOOLER, "SetupStopSpooler", MESSAGE_AS_IS)           \
    KEY(KEY_SETUP_INSTALL_FILES, "SetupInstallFiles", MESSAGE_AS_IS)         \
    KEY(KEY_SETUP_START_SPOOLER, "SetupStartSpooler", MESSAGE_AS_IS)         \
    KEY(KEY_SETUP_INSTALL_DRIVER, "SetupInstallDriver", MESSAGE_AS_IS)       \
    KEY(KEY_CLOSING_PRINT_SERVER, "ClosingPrintServer", MESSAGE_AS_IS)       \
    KEY(KEY_INSTALLING, "installing...", MESSAGE_AS_IS)                      \
    KEY(KEY_INSTALLING_PORT, "Installing port...", MESSAGE_AS_IS)            \
    KEY(KEY_WAITING_FOR_PORT, "Waiting for port..", MESSAGE_AS_IS)           \
    KEY(KEY_PORT_INSTALLED, "Port installed", MESSAGE_AS_IS)                 \
    KEY(KEY_REGISTER, "Register", MESSAGE_AS_IS)                             \
    KEY(KEY_REGISTER1, "Register1", MESSAGE_AS_IS)                           \
    KEY(KEY_REGISTER2, "Register2", MESSAGE_AS_IS)                           \
    KEY(KEY_START_PRINTER, "StartPrinter", MESSAGE_AS_IS)                    \
    /* Error boxes. */                                                       \
    KEY(KEY_SETUP_CANT_INIT, "SetupCantInit", MESSAGE_AS_IS)                 \
    KEY(KEY_SETUP_CANT_REMOVE_OLD, "SetupCantRemoveOld", MESSAGE_AS_IS)      \
    KEY(KEY_SETUP_CANT_STOP_SPOOLER, "SetupCantStopSpooler", MESSAGE_AS_IS)  \
    KEY(KEY_SETUP_CANT_INSTALL_FILES, "SetupCantInstallFiles", MESSAGE_AS_IS) \
    KEY(KEY_SETUP_CANT_START_SPOOLER, "SetupCantStartSpooler", MESSAGE_AS_IS) \
    KEY(KEY_SETUP_CANT_INSTALL_DRIVER, "SetupCantInstallDriver", MESSAGE_AS_IS) \
    KEY(KEY_CANT_LOAD_WINSPOOL, "CantLoadWinspool", MESSAGE_AS_IS)           \
    KEY(KEY_GET_PROC_ADDRESS_FAILED, "GetProcAddress() failed.", MESSAGE_AS_IS) \
    /* Result texts. */                                                      \
    KEY(KEY_SETUP_OK, "SetupOk", MESSAGE_WITH_NAME)                          \
    KEY(KEY_SETUP_OK_95, "SetupOk95", MESSAGE_WITH_NAME)                     \
    KEY(KEY_SETUP_FAILED, "SetupFailed", MESSAGE_AS_IS)                      \
    KEY(KEY_REMOVE_OK, "RemoveOk", MESSAGE_WITH_NAME)                        \
    KEY(KEY_REMOVE_OK_95, "RemoveOk95", MESSAGE_WITH_NAME)                   \
    KEY(KEY_REMOVE_FAILED, "RemoveFailed", MESSAGE_AS_IS)                    \
    KEY(KEY_INSTALL_CLIENT_FIRST, "InstallClientFirst", MESSAGE_WITHOUT_ARGUMENT)

#define SETUP_DECLARE_MESSAGE_KEY(name, text, use) extern const char name[];
SETUP_MESSAGE_KEY_LIST(SETUP_DECLARE_MESSAGE_KEY)
#undef SETUP_DECLARE_MESSAGE_KEY

struct MessageKey {
    const char *key;
    MessageUse use;
};

#define SETUP_COUNT_MESSAGE_KEY(name, text, use) +1
enum { MESSAGE_KEY_COUNT = 0 SETUP_MESSAGE_KEY_LIST(SETUP_COUNT_MESSAGE_KEY) };
#undef SETUP_COUNT_MESSAGE_KEY

extern const MessageKey MESSAGE_KEYS[MESSAGE_KEY_COUNT];

// The entry of the key (compared exactly, case and blanks included), or null.
const MessageKey *find_message_key(const char *key);

#endif
