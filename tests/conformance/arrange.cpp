#include "tests/conformance/arrange.h"

namespace conformance
{

bool put_bytes(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

std::string file_bytes(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return "<missing>";
    std::string bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes += (char)c;
    fclose(file);
    return bytes;
}

bool file_exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void remove_file(const std::string &path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

std::string system_dir(void)
{
    char directory[MAX_PATH];
    if (GetSystemDirectoryA(directory, sizeof directory) == 0)
        return "";
    return directory;
}

std::string work_dir(void)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp)
        return "";
    std::string folder = std::string(temp) + "conform";
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

std::string in_work(const char *name)
{
    return work_dir() + "\\" + name;
}

static std::string spooler_dir(bool drivers)
{
    char directory[MAX_PATH];
    DWORD needed = 0;
    BOOL answered = drivers ? GetPrinterDriverDirectoryA(NULL, own_environment(), 1,
                                                         (LPBYTE)directory, sizeof directory,
                                                         &needed)
                            : GetPrintProcessorDirectoryA(NULL, own_environment(), 1,
                                                          (LPBYTE)directory, sizeof directory,
                                                          &needed);
    return answered ? directory : "";
}

std::string driver_dir(void)
{
    return spooler_dir(true);
}

std::string print_processor_dir(void)
{
    return spooler_dir(false);
}

} // namespace conformance

namespace conformance
{

const char TEST_DRIVER[] = "Conformance Driver";
const char TEST_PRINTER[] = "Conformance Printer";
const char *const TEST_DRIVER_FILES[3] = {"cfdrv.dll", "cfdata.gpd", "cfui.dll"};

BOOL add_test_driver(const char *name, const char *help_file, const char *dependent_files)
{
    std::string directory = driver_dir();
    for (const char *file : TEST_DRIVER_FILES)
        put_bytes(directory + "\\" + file, "MZ test driver file");
    DRIVER_INFO_3A info;
    memset(&info, 0, sizeof info);
    info.cVersion = windows_95_family() ? 0 : 3;
    info.pName = (LPSTR)name;
    info.pEnvironment = own_environment();
    info.pDriverPath = (LPSTR)TEST_DRIVER_FILES[0];
    info.pDataFile = (LPSTR)TEST_DRIVER_FILES[1];
    info.pConfigFile = (LPSTR)TEST_DRIVER_FILES[2];
    info.pHelpFile = (LPSTR)help_file;
    info.pDependentFiles = (LPSTR)dependent_files;
    info.pDefaultDataType = (LPSTR) "RAW";
    return AddPrinterDriverA(NULL, 3, (LPBYTE)&info);
}

void remove_test_driver(const char *name)
{
    DeletePrinterDriverA(NULL, own_environment(), (LPSTR)name);
    std::string directory = driver_dir();
    for (const char *file : TEST_DRIVER_FILES) {
        remove_file(directory + "\\" + file);
        remove_file(directory + "\\3\\" + file);
    }
}

HANDLE add_test_printer(const char *name, const char *port, const char *driver,
                        const char *print_processor)
{
    PRINTER_INFO_2A info;
    memset(&info, 0, sizeof info);
    info.pPrinterName = (LPSTR)name;
    info.pPortName = (LPSTR)port;
    info.pDriverName = (LPSTR)driver;
    info.pPrintProcessor = (LPSTR)print_processor;
    info.pDatatype = (LPSTR) "RAW";
    return AddPrinterA(NULL, 2, (LPBYTE)&info);
}

void remove_test_printer(const char *name)
{
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    if (!OpenPrinterA((LPSTR)name, &printer, &defaults))
        return;
    DeletePrinter(printer);
    ClosePrinter(printer);
}

// Longer than any spooler takes to stop or start; the wait ends as soon as
// the state is reached.
enum { SERVICE_WAIT_ROUNDS = 600, SERVICE_WAIT_STEP_MS = 100 };

bool wait_for_service_state(SC_HANDLE service, DWORD state)
{
    for (int round = 0; round < SERVICE_WAIT_ROUNDS; round++) {
        SERVICE_STATUS status;
        memset(&status, 0, sizeof status);
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state)
            return true;
        Sleep(SERVICE_WAIT_STEP_MS);
    }
    return false;
}

bool restart_spooler(void)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (manager == NULL)
        return false;
    SC_HANDLE spooler =
        OpenServiceA(manager, "Spooler", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    bool restarted = false;
    if (spooler != NULL) {
        SERVICE_STATUS status;
        restarted = ControlService(spooler, SERVICE_CONTROL_STOP, &status) &&
                    wait_for_service_state(spooler, SERVICE_STOPPED) &&
                    StartServiceA(spooler, 0, NULL) &&
                    wait_for_service_state(spooler, SERVICE_RUNNING);
        CloseServiceHandle(spooler);
    }
    CloseServiceHandle(manager);
    return restarted;
}

bool port_listed(const char *name)
{
    BYTE buffer[8192];
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumPortsA(NULL, 1, buffer, sizeof buffer, &needed, &count))
        return false;
    const PORT_INFO_1A *ports = (const PORT_INFO_1A *)buffer;
    for (DWORD i = 0; i < count; i++) {
        if (lstrcmpiA(ports[i].pName, name) == 0)
            return true;
    }
    return false;
}

const char *any_port(void)
{
    return "LPT1:";
}

const char *default_print_processor(void)
{
    return "WinPrint";
}

} // namespace conformance
