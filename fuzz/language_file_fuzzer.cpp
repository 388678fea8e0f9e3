// Feeds arbitrary bytes to the language-file loader as "lang.eng", then
// looks up every key the program uses and formats the texts that the
// program formats. Any overflow, leak or crash is a finding.
#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"

#include <winsim/machine.h>

#include <cstdint>
#include <string>

static const char *const KEYS[] = {
    "SetupInit", "SetupRemoveOld", "SetupStopSpooler", "SetupInstallFiles", "SetupStartSpooler",
    "SetupInstallDriver", "ClosingPrintServer", "installing...", "Installing port...",
    "Waiting for port..", "Port installed", "Register", "Register1", "Register2", "StartPrinter",
    "SetupCantInit", "SetupCantRemoveOld", "SetupCantStopSpooler", "SetupCantInstallFiles",
    "SetupCantStartSpooler", "SetupCantInstallDriver", "CantLoadWinspool",
    "GetProcAddress() failed.", "SetupOk", "SetupOk95", "SetupFailed", "RemoveOk", "RemoveOk95",
    "RemoveFailed", "InstallClientFirst",
};

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    winsim::boot(winsim::MachineSetup());
    winsim::set_journal_enabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    winsim::put_file("D:\\lang.eng", std::string(reinterpret_cast<const char *>(data), size));
    select_language("eng");
    for (const char *key : KEYS) {
        const char *text = lookup_text(key, key);
        format_catalog_text(message_text, sizeof message_text, text, product_display_name);
    }
    // A key made of the input's own first bytes.
    std::string key(reinterpret_cast<const char *>(data), size < 64 ? size : 64);
    lookup_text(key.c_str(), nullptr);
    return 0;
}
