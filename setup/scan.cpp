#include "setup/scan.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/platform_branch.h"
#include "setup/product_names.h"
#include "system/spooler_directories.h"
#include "system/spooler_objects.h"
#include "ui/user_interface.h"

enum {
    SCAN_DIRECTORY_SIZE = 260
};

// The report is gathered apart from message_text, which an error box shown
// during the scan writes its own text into.
struct Report {
    char text[MESSAGE_TEXT_SIZE];
    size_t length;
};

static void append_line(Report *report, const char *format, const char *name)
{
    report->length += format_text(report->text + report->length,
                                  sizeof report->text - report->length, format, name);
}

// A switch run that names its action scans without the choice dialog.
static void set_scan_control(int control, const char *text)
{
    if (choice_dialog != NULL)
        SetDlgItemTextA(choice_dialog, control, text);
}

static void set_report_control(int control, const char *text)
{
    format_text(message_text, sizeof message_text, "%s", text);
    set_scan_control(control, message_text);
}

// The system line in control 1001; 0 when the platform is not supported.
static int show_system_line(int platform, const OSVERSIONINFOA *version)
{
    unsigned long major = version->dwMajorVersion;
    unsigned long minor = version->dwMinorVersion;

    if (platform == PLATFORM_UNKNOWN) {
        set_report_control(IDC_SYSTEM_LINE, "Microsoft Windows NT or Windows 95 required!");
        set_report_control(IDC_REPORT, "");
        return 0;
    }
    if (platform == PLATFORM_UNSUPPORTED_NT) {
        format_text(message_text, sizeof message_text,
                    "Microsoft Windows NT Version - %lu.%lu\r\n", major, minor);
        set_scan_control(IDC_SYSTEM_LINE, message_text);
        set_report_control(IDC_REPORT, "not supported!");
        return 0;
    }
    format_text(message_text, sizeof message_text,
                version->dwPlatformId == VER_PLATFORM_WIN32_NT
                    ? "Microsoft Windows NT Version - %lu.%lu"
                    : "Microsoft Windows 95 Version - %lu.%lu",
                major, minor);
    set_scan_control(IDC_SYSTEM_LINE, message_text);
    return 1;
}

static int scan_print_processors(Report *report)
{
    DWORD count;
    PRINTPROCESSOR_INFO_1A *processors =
        (PRINTPROCESSOR_INFO_1A *)enumerate_spooler_list(LIST_PRINT_PROCESSORS, environment_name, &count);

    if (processors == NULL) {
        show_system_error(GetLastError());
        return 0;
    }
    for (DWORD i = 0; i < count; i++) {
        if (strcmp(processors[i].pName, PRINT_PROCESSOR_NAME) == 0) {
            processor_installed = 1;
            append_line(report, "Installed PrintProcessor %s found\r\n", processors[i].pName);
        }
    }
    free(processors);
    return 1;
}

static void scan_drivers(Report *report)
{
    DWORD count;
    DRIVER_INFO_1A *drivers =
        (DRIVER_INFO_1A *)enumerate_spooler_list(LIST_PRINTER_DRIVERS, environment_name, &count);

    if (drivers == NULL) {
        show_system_error(GetLastError());
        return;
    }
    for (DWORD i = 0; i < count; i++) {
        if (is_installed_driver_name(drivers[i].pName))
            append_line(report, "Printer Driver %s found\r\n", drivers[i].pName);
    }
    free(drivers);
}

static void scan_printers(Report *report)
{
    DWORD count;
    PRINTER_INFO_2A *printers =
        (PRINTER_INFO_2A *)enumerate_spooler_list(LIST_LOCAL_PRINTERS, NULL, &count);

    if (printers == NULL) {
        show_system_error(GetLastError());
        return;
    }
    for (DWORD i = 0; i < count; i++) {
        if (is_installed_driver_name(printers[i].pDriverName))
            append_line(report, "Printer %s found\r\n ", printers[i].pPrinterName);
    }
    free(printers);
}

static void scan_ports(Report *report)
{
    DWORD count;
    PORT_INFO_1A *ports = (PORT_INFO_1A *)enumerate_spooler_list(LIST_PORTS, NULL, &count);

    if (ports == NULL) {
        show_system_error(GetLastError());
        return;
    }
    for (scan_port_index = 0; scan_port_index < count; scan_port_index++) {
        if (strcmp(ports[scan_port_index].pName, NUL_PORT_NAME) == 0) {
            nul_port_present = 1;
            append_line(report, "Port %s found\r\n ", ports[scan_port_index].pName);
        }
    }
    free(ports);
}

// Looks for what an earlier installation left and writes the report.
static int scan_components(Report *report)
{
    if (GetSystemDirectoryA(system_dir, SCAN_DIRECTORY_SIZE) == 0)
        show_system_error(GetLastError());
    if (!read_print_processor_directory_starting_spooler(environment_name, print_processor_dir,
                                                         SCAN_DIRECTORY_SIZE))
        return 0;
    if (!read_spooler_directory(PRINTER_DRIVER_DIRECTORY, environment_name, driver_dir,
                                SCAN_DIRECTORY_SIZE)) {
        show_system_error(GetLastError());
        return 1;
    }
    if (!scan_print_processors(report))
        return 1;
    scan_drivers(report);
    scan_printers(report);
    scan_ports(report);
    return 1;
}

int scan_platform(void)
{
    OSVERSIONINFOA version;
    Report report;
    int result;

    result = describe_platform(&version);
    if (!show_system_line(result, &version))
        return result;
    report.text[0] = '\0';
    report.length = 0;
    result = scan_components(&report);
    set_report_control(IDC_REPORT, report.text);
    return result;
}
