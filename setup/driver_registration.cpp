#include "setup/install_steps.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/product_names.h"
#include "system/environment.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    PRINTER_RECORD_BUFFER_SIZE = 16384,
    DRIVER_FILE_NAME_SIZE = 64,
    WINDOWS_95_PRINTER_ATTRIBUTES = PRINTER_ATTRIBUTE_DEFAULT,
    NT_PRINTER_ATTRIBUTES = PRINTER_ATTRIBUTE_DIRECT | PRINTER_ATTRIBUTE_RAW_ONLY
};

static const char MERGE_PRINTER_NAME[] = "Ravelo Merge Driver";
static const char FILE_PORT_NAME[] = "FILE:";
static const char RAW_DATATYPE[] = "RAW";

// The files of one driver on one platform branch. "<ext>" entries are
// composed from the base name and driver_extension.
struct DriverFiles {
    DWORD version;
    const char *driver_path;   // null: "<base>.<ext>"
    const char *data_file;     // null: "<base>.<ext>"
    const char *config_file;   // null: "<base>.<ext>"
    const char *help_file;
    const char *dependent_files; // names each ending in NUL, closed by one more
};

struct DriverBranches {
    const char *name;
    const char *base;
    DriverFiles windows_95_family;
    DriverFiles nt_4_or_earlier;
    DriverFiles nt_5_or_later;
};

static const DriverBranches FAX_DRIVER = {
    FAX_DRIVER_NAME,
    "ravelo",
    {0, NULL, NULL, NULL, NULL, "ravelo.DRV\0"},
    {2, "rasdd.dll", NULL, "rasddui.dll", "rasddui.hlp",
     "ravelo.dll\0RASDD.DLL\0RASDDUI.DLL\0RASDDUI.HLP\0"},
    {0, "unidrv.dll", "ravelo.gpd", "unidrvui.dll", "unidrv.hlp",
     "ravelo.dll\0unidrv.dll\0unidrvui.dll\0unires.dll\0unidrv.hlp\0stdnames.gpd\0"},
};

static const DriverBranches TELEX_DRIVER = {
    TELEX_DRIVER_NAME,
    "ravtlx",
    {0, NULL, NULL, NULL, NULL, "ravtlx.DRV\0"},
    {2, "rasdd.dll", NULL, "rasddui.dll", "rasddui.hlp",
     "ravtlx.dll\0RASDD.DLL\0RASDDUI.DLL\0RASDDUI.HLP\0"},
    {0, "unidrv.dll", "ravtlx.gpd", "unidrvui.dll", "unidrv.hlp",
     "ravtlx.ini\0tty.dll\0ttyres.dll\0ttyui.dll\0ttyui.hlp\0unires.dll\0stdnames.gpd\0"},
};

static const DriverFiles *files_for_platform(const DriverBranches *driver)
{
    if (is_windows_95_family())
        return &driver->windows_95_family;
    return is_nt5_or_later() ? &driver->nt_5_or_later : &driver->nt_4_or_earlier;
}

static LPSTR name_or(const char *name, char *composed)
{
    return (LPSTR)(name != NULL ? name : composed);
}

static BOOL add_driver(const DriverBranches *driver)
{
    const DriverFiles *files = files_for_platform(driver);
    char own_file[DRIVER_FILE_NAME_SIZE];
    DRIVER_INFO_3A info;

    format_text(own_file, sizeof own_file, "%s.%s", driver->base, driver_extension);
    memset(&info, 0, sizeof info);
    info.cVersion = files->version;
    info.pName = (LPSTR)driver->name;
    info.pEnvironment = environment_name;
    info.pDriverPath = name_or(files->driver_path, own_file);
    info.pDataFile = name_or(files->data_file, own_file);
    info.pConfigFile = name_or(files->config_file, own_file);
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
    info->Attributes |= is_windows_95_family() ? WINDOWS_95_PRINTER_ATTRIBUTES : NT_PRINTER_ATTRIBUTES;
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
        // The connector's client, whose library the processor needs, is missing.
        format_catalog_text(message_text, sizeof message_text,
                            lookup_text(KEY_INSTALL_CLIENT_FIRST, KEY_INSTALL_CLIENT_FIRST), NULL);
        DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_RESULT), GetDesktopWindow(),
                        result_dialog_proc, 0);
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

    if (!add_driver(&FAX_DRIVER)) {
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

    if (!add_print_processor())
        return 0;
    add_fax_part();
    if (!add_driver(&TELEX_DRIVER)) {
        capture_last_error();
        return 0;
    }
    printer = add_printer(TELEX_DRIVER_NAME, NUL_PORT_NAME, TELEX_DRIVER_NAME);
    if (printer == NULL) {
        show_system_error(GetLastError());
        return 0;
    }
    adjust_printer(printer);
    ClosePrinter(printer);
    return 1;
}
