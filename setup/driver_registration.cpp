#include "setup/steps.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/platform_branch.h"
#include "setup/product_names.h"
#include "system/environment.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    PRINTER_RECORD_BUFFER_SIZE = 16384
};

static const char MERGE_PRINTER_NAME[] = "Ravelo Merge Driver";
static const char FILE_PORT_NAME[] = "FILE:";
static const char RAW_DATATYPE[] = "RAW";

static BOOL add_driver(const char *name, const DriverFiles *files)
{
    DRIVER_INFO_3A info;

    memset(&info, 0, sizeof info);
    info.cVersion = files->version;
    info.pName = (LPSTR)name;
    info.pEnvironment = environment_name;
    info.pDriverPath = (LPSTR)files->driver_path;
    info.pDataFile = (LPSTR)files->data_file;
    info.pConfigFile = (LPSTR)files->config_file;
    info.pHelpFile = (LPSTR)files->help_file;
    info.pDependentFiles = (LPSTR)files->dependent_files;
    info.pDefaultDataType = (LPSTR)RAW_DATATYPE;
    return AddPrinterDriverA(NULL, 3, (LPBYTE)&info);
}

static HANDLE add_printer(const char *name, const char *port, const char *driver)
{
    PRINTER_INFO_2A info;

    memset(&info, 0, sizeof info);
    info.pPrinterName = (LPSTR)name;
    info.pPortName = (LPSTR)port;
    info.pDriverName = (LPSTR)driver;
    info.pPrintProcessor = (LPSTR)PRINT_PROCESSOR_NAME;
    info.pDatatype = (LPSTR)RAW_DATATYPE;
    return AddPrinterA(NULL, 2, (LPBYTE)&info);
}

// ORs the platform's attributes into a new printer's settings.
static void adjust_printer(HANDLE printer)
{
    BYTE record[PRINTER_RECORD_BUFFER_SIZE];
    PRINTER_INFO_2A *info = (PRINTER_INFO_2A *)record;
    DWORD needed;

    if (!GetPrinterA(printer, 2, record, sizeof record, &needed)) {
        show_system_error(GetLastError());
        return;
    }
    info->Attributes |= platform_branch->printer_attributes;
    if (!SetPrinterA(printer, 2, record, 0))
        show_system_error(GetLastError());
}

// The print processor; 0 when the step must fail.
static int add_print_processor(void)
{
    DWORD error;

    if (AddPrintProcessorA(NULL, NULL, (LPSTR)PRINT_PROCESSOR_FILE, (LPSTR)PRINT_PROCESSOR_NAME))
        return 1;
    error = GetLastError();
    if (error == ERROR_DLL_NOT_FOUND) {
        // The connector's client, whose library the processor needs, is
        // missing; the step's question still names the error.
        capture_last_error();
        format_catalog_text(message_text, sizeof message_text,
                            lookup_text(KEY_INSTALL_CLIENT_FIRST, KEY_INSTALL_CLIENT_FIRST), NULL);
        show_message(KEY_INSTALL_CLIENT_FIRST);
        return 0;
    }
    // The 95 family refuses a processor it has already; the scan saw it.
    if (is_windows_95_family() && processor_installed)
        return 1;
    capture_last_error();
    return 0;
}

// The fax driver and its printers; failures are shown and passed over.
static void add_fax_part(void)
{
    HANDLE printer;

    if (!add_driver(FAX_DRIVER_NAME, &platform_branch->fax_driver)) {
        show_system_error(GetLastError());
        return;
    }
    printer = add_printer(FAX_DRIVER_NAME, NUL_PORT_NAME, FAX_DRIVER_NAME);
    if (printer == NULL) {
        show_system_error(GetLastError());
        return;
    }
    adjust_printer(printer);
    ClosePrinter(printer);
    if (!is_windows_95_family())
        return;
    printer = add_printer(MERGE_PRINTER_NAME, FILE_PORT_NAME, FAX_DRIVER_NAME);
    if (printer == NULL) {
        show_system_error(GetLastError());
        return;
    }
    ClosePrinter(printer);
}

int install_driver_step(void)
{
    HANDLE printer;

    // The scan describes the platform; without it there is nothing to add.
    if (platform_branch == NULL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        capture_last_error();
        return 0;
    }
    if (!add_print_processor())
        return 0;
    add_fax_part();
    if (!add_driver(TELEX_DRIVER_NAME, &platform_branch->telex_driver)) {
        capture_last_error();
        return 0;
    }
    printer = add_printer(TELEX_DRIVER_NAME, NUL_PORT_NAME, TELEX_DRIVER_NAME);
    if (printer == NULL) {
        show_system_error(capture_last_error());
        return 0;
    }
    adjust_printer(printer);
    ClosePrinter(printer);
    return 1;
}
