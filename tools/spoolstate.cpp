// Prints what the spooler holds, one JSON line per object, for the tests
// under Wine: the directories and print processors of both environments the
// setup uses, the drivers with their level-3 fields, the local printers with
// port, driver, print processor and attributes, and the ports.
//
// Two commands put another vendor's objects in place first, which the setup
// must leave alone:
//   spoolstate add-driver NAME ENVIRONMENT FILE   (FILE in the driver directory)
//   spoolstate add-printer NAME DRIVER PORT
#include "json_lines.h"

#include <winspool.h>

#include <stdlib.h>
#include <string>

// The NT environment native to this build, as the setup built alike uses it.
#ifdef _WIN64
static const char *const ENVIRONMENTS[] = {"Windows x64", "Windows 4.0"};
#else
static const char *const ENVIRONMENTS[] = {"Windows NT x86", "Windows 4.0"};
#endif

typedef BOOL (*Enumerate)(const char *environment, BYTE *buffer, DWORD size, DWORD *needed,
                          DWORD *count);

static BOOL processors(const char *environment, BYTE *buffer, DWORD size, DWORD *needed,
                       DWORD *count)
{
    return EnumPrintProcessorsA(NULL, (LPSTR)environment, 1, buffer, size, needed, count);
}

static BOOL drivers(const char *environment, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count)
{
    return EnumPrinterDriversA(NULL, (LPSTR)environment, 3, buffer, size, needed, count);
}

static BOOL printers(const char *, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count)
{
    return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, count);
}

static BOOL ports(const char *, BYTE *buffer, DWORD size, DWORD *needed, DWORD *count)
{
    return EnumPortsA(NULL, 1, buffer, size, needed, count);
}

// The records in a buffer of the size the spooler asks for; null (and the
// failure printed) when it cannot list them.
static BYTE *list(const char *what, Enumerate enumerate, const char *environment, DWORD *count)
{
    DWORD needed = 0;
    DWORD size = 4096;

    for (int attempt = 0; attempt < 4; attempt++) {
        BYTE *buffer = (BYTE *)malloc(size);
        if (buffer == NULL)
            break;
        if (enumerate(environment, buffer, size, &needed, count))
            return buffer;
        free(buffer);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size)
            break;
        size = needed;
    }
    JsonLine()
        .ansi("kind", "error")
        .ansi("list", what)
        .ansi("env", environment)
        .number("error", GetLastError())
        .print();
    *count = 0;
    return NULL;
}

// The names of a list that ends in an empty name, as a JSON array.
static std::string name_list(const char *names)
{
    std::string json = "[";

    for (const char *p = names; p != NULL && *p != '\0'; p += strlen(p) + 1) {
        JsonLine name;
        name.ansi("n", p);
        // The helper builds objects; only the quoted value is wanted here.
        std::string object = name.str();
        if (json.size() > 1)
            json += ",";
        json += object.substr(object.find(':') + 1);
    }
    return json + "]";
}

static void print_directories(const char *environment)
{
    char driver_dir[MAX_PATH];
    char processor_dir[MAX_PATH];
    DWORD needed;
    BOOL have_driver_dir = GetPrinterDriverDirectoryA(
        NULL, (LPSTR)environment, 1, (LPBYTE)driver_dir, sizeof driver_dir, &needed);
    BOOL have_processor_dir = GetPrintProcessorDirectoryA(
        NULL, (LPSTR)environment, 1, (LPBYTE)processor_dir, sizeof processor_dir, &needed);

    JsonLine()
        .ansi("kind", "directories")
        .ansi("env", environment)
        .ansi("driver_dir", have_driver_dir ? driver_dir : NULL)
        .ansi("processor_dir", have_processor_dir ? processor_dir : NULL)
        .print();
}

static void print_environment(const char *environment)
{
    DWORD count;
    BYTE *records;

    print_directories(environment);
    records = list("processors", processors, environment, &count);
    for (DWORD i = 0; i < count; i++) {
        PRINTPROCESSOR_INFO_1A *processor = (PRINTPROCESSOR_INFO_1A *)records + i;
        JsonLine()
            .ansi("kind", "processor")
            .ansi("env", environment)
            .ansi("name", processor->pName)
            .print();
    }
    free(records);
    records = list("drivers", drivers, environment, &count);
    for (DWORD i = 0; i < count; i++) {
        DRIVER_INFO_3A *driver = (DRIVER_INFO_3A *)records + i;
        JsonLine()
            .ansi("kind", "driver")
            .ansi("env", environment)
            .ansi("name", driver->pName)
            .number("version", driver->cVersion)
            .ansi("environment", driver->pEnvironment)
            .ansi("driver_path", driver->pDriverPath)
            .ansi("data_file", driver->pDataFile)
            .ansi("config_file", driver->pConfigFile)
            .ansi("help_file", driver->pHelpFile)
            .raw("dependent_files", name_list(driver->pDependentFiles))
            .ansi("monitor", driver->pMonitorName)
            .ansi("default_datatype", driver->pDefaultDataType)
            .print();
    }
    free(records);
}

static int added(const char *what, const char *name, BOOL succeeded)
{
    JsonLine line;

    line.ansi("kind", succeeded ? "added" : "error").ansi("what", what).ansi("name", name);
    if (!succeeded)
        line.number("error", GetLastError());
    line.print();
    return succeeded ? 0 : 1;
}

static int add_driver(char *name, char *environment, char *file)
{
    DRIVER_INFO_3A info;

    ZeroMemory(&info, sizeof info);
    info.cVersion = 3;
    info.pName = name;
    info.pEnvironment = environment;
    info.pDriverPath = file;
    info.pDataFile = file;
    info.pConfigFile = file;
    info.pDefaultDataType = (LPSTR) "RAW";
    return added("driver", name, AddPrinterDriverA(NULL, 3, (LPBYTE)&info));
}

static int add_printer(char *name, char *driver, char *port)
{
    PRINTER_INFO_2A info;
    HANDLE printer;

    ZeroMemory(&info, sizeof info);
    info.pPrinterName = name;
    info.pDriverName = driver;
    info.pPortName = port;
    info.pPrintProcessor = (LPSTR) "winprint";
    info.pDatatype = (LPSTR) "RAW";
    printer = AddPrinterA(NULL, 2, (LPBYTE)&info);
    if (printer != NULL)
        ClosePrinter(printer);
    return added("printer", name, printer != NULL);
}

int main(int argc, char **argv)
{
    DWORD count;
    BYTE *records;

    if (argc == 5 && strcmp(argv[1], "add-driver") == 0)
        return add_driver(argv[2], argv[3], argv[4]);
    if (argc == 5 && strcmp(argv[1], "add-printer") == 0)
        return add_printer(argv[2], argv[3], argv[4]);
    if (argc != 1) {
        fputs("usage: spoolstate [add-driver NAME ENVIRONMENT FILE | "
              "add-printer NAME DRIVER PORT]\n",
              stderr);
        return 2;
    }

    for (const char *environment : ENVIRONMENTS)
        print_environment(environment);
    records = list("printers", printers, NULL, &count);
    for (DWORD i = 0; i < count; i++) {
        PRINTER_INFO_2A *printer = (PRINTER_INFO_2A *)records + i;
        JsonLine()
            .ansi("kind", "printer")
            .ansi("name", printer->pPrinterName)
            .ansi("port", printer->pPortName)
            .ansi("driver", printer->pDriverName)
            .ansi("processor", printer->pPrintProcessor)
            .ansi("datatype", printer->pDatatype)
            .number("attributes", printer->Attributes)
            .print();
    }
    free(records);
    records = list("ports", ports, NULL, &count);
    for (DWORD i = 0; i < count; i++) {
        PORT_INFO_1A *port = (PORT_INFO_1A *)records + i;
        JsonLine().ansi("kind", "port").ansi("name", port->pName).print();
    }
    free(records);
    JsonLine().ansi("kind", "end").print();
    return 0;
}
