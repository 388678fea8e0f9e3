// The names under which the package lives on a machine: written by the
// installation, looked for by the scan, taken away by the removal.
#ifndef SETUP_PRODUCT_NAMES_H
#define SETUP_PRODUCT_NAMES_H

#include <string.h>

#define PRINT_PROCESSOR_NAME "tqvprint"
#define PRINT_PROCESSOR_FILE "tqvprint.dll"
#define NUL_PORT_NAME "NUL:"
#define FAX_DRIVER_NAME "Ravelo Printer Driver"
#define TELEX_DRIVER_NAME "Ravelo Telex Driver"
// Drivers of earlier packages, removed too.
#define BITMAP_DRIVER_NAME "RAR Ozedur Ureder"
#define TELEX_95_DRIVER_NAME "Telex Driver W95"

#define UNINSTALL_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel"
#define RUN_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
#define RUN_VALUE_NAME "tqvPRINT"
#define FAX_SERVER_FILE "faxsrv.exe"
#define FAX_SERVER_WINDOW_CLASS "FaxSrvClass"
// The user's print window: this prefix, then the user name.
#define PRINT_WINDOW_CLASS_PREFIX "kxprnwnd_"
#define UNINSTALLER_FILE "rmzantr.exe"
#define SETTINGS_COPY_FILE "zantrel.apd"

// The drivers an installation adds, each with a printer of its own name.
static const char *const INSTALLED_DRIVER_NAMES[] = {FAX_DRIVER_NAME, TELEX_DRIVER_NAME, NULL};

// The drivers the scan reports (names compared exactly, case and all).
static inline int is_installed_driver_name(const char *name)
{
    for (const char *const *known = INSTALLED_DRIVER_NAMES; *known != NULL; known++) {
        if (strcmp(name, *known) == 0)
            return 1;
    }
    return 0;
}

// Every driver the removal takes away.
static inline int is_product_driver_name(const char *name)
{
    return is_installed_driver_name(name) || strcmp(name, BITMAP_DRIVER_NAME) == 0 ||
           strcmp(name, TELEX_95_DRIVER_NAME) == 0;
}

#endif
