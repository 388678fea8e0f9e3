// Printer drivers and print processors as the setup installs and removes
// them: added from files already in the spooler's directories, listed with
// their files, refused for a missing file or an unknown environment, and
// deleted (with DeletePrinterDriverExA, looked up at run time, from
// Windows 2000 on).
#include "tests/conformance/arrange.h"

using conformance::add_test_driver;
using conformance::driver_dir;
using conformance::file_exists;
using conformance::own_environment;
using conformance::remove_test_driver;
using conformance::TEST_DRIVER;
using conformance::TEST_DRIVER_FILES;

namespace
{

const char PROCESSOR_NAME[] = "Conformance Processor";
const char PROCESSOR_FILE[] = "cfproc.dll";

typedef BOOL(WINAPI *DeletePrinterDriverExFunction)(LPSTR, LPSTR, LPSTR, DWORD, DWORD);

// The drivers of the own environment at the level; the caller frees it.
BYTE *list_drivers(DWORD level, DWORD *count)
{
    DWORD needed = 0;
    *count = 0;
    EnumPrinterDriversA(NULL, own_environment(), level, NULL, 0, &needed, count);
    if (needed == 0)
        return NULL;
    BYTE *buffer = (BYTE *)malloc(needed);
    if (!EnumPrinterDriversA(NULL, own_environment(), level, buffer, needed, &needed, count)) {
        free(buffer);
        *count = 0;
        return NULL;
    }
    return buffer;
}

const DRIVER_INFO_3A *find_driver(BYTE *list, DWORD count, const char *name)
{
    const DRIVER_INFO_3A *drivers = (const DRIVER_INFO_3A *)list;
    for (DWORD i = 0; i < count; i++) {
        if (lstrcmpiA(drivers[i].pName, name) == 0)
            return &drivers[i];
    }
    return NULL;
}

bool driver_listed(const char *name)
{
    DWORD count = 0;
    BYTE *list = list_drivers(1, &count);
    bool found = false;
    const DRIVER_INFO_1A *drivers = (const DRIVER_INFO_1A *)list;
    for (DWORD i = 0; i < count; i++)
        found = found || lstrcmpiA(drivers[i].pName, name) == 0;
    free(list);
    return found;
}

// A path in the driver directory or a folder below it, ending in the name.
bool in_driver_dir(const char *path, const char *name)
{
    if (path == NULL)
        return false;
    std::string directory = driver_dir() + "\\";
    std::string text = path;
    std::string tail = std::string("\\") + name;
    return text.size() >= directory.size() + strlen(name) &&
           lstrcmpiA(text.substr(0, directory.size()).c_str(), directory.c_str()) == 0 &&
           lstrcmpiA(text.substr(text.size() - tail.size()).c_str(), tail.c_str()) == 0;
}

bool processor_listed(const char *name)
{
    BYTE buffer[4096];
    DWORD needed = 0;
    DWORD count = 0;
    if (!EnumPrintProcessorsA(NULL, own_environment(), 1, buffer, sizeof buffer, &needed, &count))
        return false;
    const PRINTPROCESSOR_INFO_1A *processors = (const PRINTPROCESSOR_INFO_1A *)buffer;
    for (DWORD i = 0; i < count; i++) {
        if (lstrcmpiA(processors[i].pName, name) == 0)
            return true;
    }
    return false;
}

// A print processor library that loads: a copy of the system's own, from
// the print processor directory of any environment the spooler knows.
bool place_processor_library(void)
{
    // The directory may not have been made yet.
    CreateDirectoryA(conformance::print_processor_dir().c_str(), NULL);
    std::string target = conformance::print_processor_dir() + "\\" + PROCESSOR_FILE;
    const char *environments[] = {conformance::own_environment(), "Windows 4.0", "Windows NT x86",
                                  "Windows x64"};
    for (const char *environment : environments) {
        char directory[MAX_PATH];
        DWORD needed = 0;
        if (!GetPrintProcessorDirectoryA(NULL, (LPSTR)environment, 1, (LPBYTE)directory,
                                         sizeof directory, &needed))
            continue;
        std::string source = std::string(directory) + "\\winprint.dll";
        if (CopyFileA(source.c_str(), target.c_str(), FALSE))
            return true;
    }
    return false;
}

} // namespace

CONFORMANCE_TEST(spooler_drivers, ADriverIsAddedFromTheDriverDirectoryAndListedWithItsFiles)
{
    POISON();
    CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
    DWORD count = 0;
    BYTE *list = list_drivers(3, &count);
    const DRIVER_INFO_3A *driver = find_driver(list, count, TEST_DRIVER);
    CHECK(driver != NULL);
    if (driver != NULL) {
        CHECK_STR(driver->pName, TEST_DRIVER);
        CHECK_EQ(driver->cVersion, conformance::windows_95_family() ? 0u : 3u);
        CHECK(lstrcmpiA(driver->pEnvironment, own_environment()) == 0);
        CHECK(in_driver_dir(driver->pDriverPath, TEST_DRIVER_FILES[0]));
        CHECK(in_driver_dir(driver->pDataFile, TEST_DRIVER_FILES[1]));
        CHECK(in_driver_dir(driver->pConfigFile, TEST_DRIVER_FILES[2]));
        CHECK_STR(driver->pDefaultDataType, "RAW");
    }
    free(list);
    remove_test_driver(TEST_DRIVER);
}

// No dependent files: NULL on the NT family; the 95 family may list none
// as an empty list.
bool no_dependent_files(const char *list)
{
    if (conformance::windows_95_family())
        return list == NULL || list[0] == '\0';
    return list == NULL;
}

// Adds the test driver with the help file and dependent files given and
// checks that the list shows neither.
static void check_listed_without_help_or_dependents(const char *help_file,
                                                    const char *dependent_files)
{
    CHECK(add_test_driver(TEST_DRIVER, help_file, dependent_files));
    DWORD count = 0;
    BYTE *list = list_drivers(3, &count);
    const DRIVER_INFO_3A *driver = find_driver(list, count, TEST_DRIVER);
    CHECK(driver != NULL);
    if (driver != NULL) {
        CHECK(driver->pHelpFile == NULL);
        CHECK(no_dependent_files(driver->pDependentFiles));
    }
    free(list);
    remove_test_driver(TEST_DRIVER);
}

CONFORMANCE_TEST(spooler_drivers, AHelpFileAndDependentFilesNotGivenAreListedAsNull)
{
    check_listed_without_help_or_dependents(NULL, NULL);
}

CONFORMANCE_TEST(spooler_drivers, AnEmptyHelpFileAndAnEmptyDependentListAreListedAsNullToo)
{
    check_listed_without_help_or_dependents("", "");
}

CONFORMANCE_TEST(spooler_drivers, AHelpFileAndDependentFilesAreListedWithTheirPaths)
{
    std::string directory = driver_dir();
    conformance::put_bytes(directory + "\\cfhelp.hlp", "help");
    conformance::put_bytes(directory + "\\cfres.dll", "MZ");
    conformance::put_bytes(directory + "\\cfnames.gpd", "names");
    CHECK(add_test_driver(TEST_DRIVER, "cfhelp.hlp", "cfres.dll\0cfnames.gpd\0"));
    DWORD count = 0;
    BYTE *list = list_drivers(3, &count);
    const DRIVER_INFO_3A *driver = find_driver(list, count, TEST_DRIVER);
    CHECK(driver != NULL);
    if (driver != NULL) {
        CHECK(in_driver_dir(driver->pHelpFile, "cfhelp.hlp"));
        CHECK(driver->pDependentFiles != NULL);
        if (driver->pDependentFiles != NULL) {
            const char *first = driver->pDependentFiles;
            const char *second = first + strlen(first) + 1;
            CHECK(in_driver_dir(first, "cfres.dll"));
            CHECK(in_driver_dir(second, "cfnames.gpd"));
            CHECK_EQ(second[strlen(second) + 1], '\0');
        }
    }
    free(list);
    remove_test_driver(TEST_DRIVER);
    for (const char *name : {"cfhelp.hlp", "cfres.dll", "cfnames.gpd"}) {
        conformance::remove_file(directory + "\\" + name);
        conformance::remove_file(directory + "\\3\\" + name);
    }
}

CONFORMANCE_TEST(spooler_drivers, ADriverWhoseFileIsMissingIsRefused)
{
    std::string directory = driver_dir();
    DRIVER_INFO_3A info;
    memset(&info, 0, sizeof info);
    info.cVersion = conformance::windows_95_family() ? 0 : 3;
    info.pName = (LPSTR)TEST_DRIVER;
    info.pEnvironment = own_environment();
    info.pDriverPath = (LPSTR) "cfmissing.dll";
    info.pDataFile = (LPSTR) "cfmissing.dll";
    info.pConfigFile = (LPSTR) "cfmissing.dll";
    POISON();
    BOOL added = AddPrinterDriverA(NULL, 3, (LPBYTE)&info);
    KNOWN_WINE_DIFFERENCE("AddPrinterDriverA adds a driver whose files are missing",
                          !added && GetLastError() == ERROR_FILE_NOT_FOUND &&
                              !driver_listed(TEST_DRIVER));
    remove_test_driver(TEST_DRIVER);
}

CONFORMANCE_TEST(spooler_drivers, ADriverOfAnUnknownEnvironmentIsRefused)
{
    DRIVER_INFO_3A info;
    memset(&info, 0, sizeof info);
    info.cVersion = 3;
    info.pName = (LPSTR)TEST_DRIVER;
    info.pEnvironment = (LPSTR) "Windows Conformance";
    info.pDriverPath = (LPSTR)TEST_DRIVER_FILES[0];
    info.pDataFile = (LPSTR)TEST_DRIVER_FILES[1];
    info.pConfigFile = (LPSTR)TEST_DRIVER_FILES[2];
    POISON();
    CHECK(!AddPrinterDriverA(NULL, 3, (LPBYTE)&info));
    CHECK_ERROR(ERROR_INVALID_ENVIRONMENT);
}

CONFORMANCE_TEST(spooler_drivers, DeletingADriverTakesItFromTheListAndLeavesItsFiles)
{
    CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
    CHECK(driver_listed(TEST_DRIVER));
    POISON();
    CHECK(DeletePrinterDriverA(NULL, own_environment(), (LPSTR) "CONFORMANCE DRIVER"));
    CHECK(!driver_listed(TEST_DRIVER));
    CHECK(file_exists(driver_dir() + "\\" + TEST_DRIVER_FILES[0]));
    remove_test_driver(TEST_DRIVER);
}

CONFORMANCE_TEST(spooler_drivers, DeletingAnUnknownDriverIsRefused)
{
    POISON();
    CHECK(!DeletePrinterDriverA(NULL, own_environment(), (LPSTR) "Conformance Nothing"));
    KNOWN_WINE_DIFFERENCE("DeletePrinterDriverA leaves the last error alone for an unknown driver",
                          GetLastError() == ERROR_UNKNOWN_PRINTER_DRIVER);
}

CONFORMANCE_TEST(spooler_drivers, DeleteExTakesTheDriverWithItsUnusedFiles)
{
    if (!conformance::nt5_or_later())
        return;
    HMODULE spooler = LoadLibraryA("WINSPOOL.DRV");
    DeletePrinterDriverExFunction delete_ex =
        spooler == NULL ? NULL
                        : (DeletePrinterDriverExFunction)(void (*)(void))GetProcAddress(
                              spooler, "DeletePrinterDriverExA");
    CHECK(delete_ex != NULL);
    if (delete_ex != NULL) {
        CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
        POISON();
        BOOL deleted = delete_ex(NULL, own_environment(), (LPSTR)TEST_DRIVER,
                                 DPD_DELETE_UNUSED_FILES, 0);
        KNOWN_WINE_DIFFERENCE("DeletePrinterDriverExA fails with ERROR_INVALID_PARAMETER",
                              deleted && !driver_listed(TEST_DRIVER));
        POISON();
        CHECK(!delete_ex(NULL, own_environment(), (LPSTR) "Conformance Nothing",
                         DPD_DELETE_UNUSED_FILES, 0));
        KNOWN_WINE_DIFFERENCE("DeletePrinterDriverExA fails with ERROR_INVALID_PARAMETER",
                              GetLastError() == ERROR_UNKNOWN_PRINTER_DRIVER);
        remove_test_driver(TEST_DRIVER);
    }
    if (spooler != NULL)
        FreeLibrary(spooler);
}

CONFORMANCE_TEST(spooler_drivers, APrintProcessorIsAddedOnceFromItsDirectory)
{
    CHECK(place_processor_library());
    POISON();
    CHECK(AddPrintProcessorA(NULL, own_environment(), (LPSTR)PROCESSOR_FILE,
                             (LPSTR)PROCESSOR_NAME));
    CHECK(processor_listed(PROCESSOR_NAME));
    POISON();
    BOOL again = AddPrintProcessorA(NULL, own_environment(), (LPSTR)PROCESSOR_FILE,
                                    (LPSTR)PROCESSOR_NAME);
    KNOWN_WINE_DIFFERENCE("AddPrintProcessorA adds a name that is installed once more",
                          !again && GetLastError() == ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED);
    POISON();
    CHECK(DeletePrintProcessorA(NULL, own_environment(), (LPSTR)PROCESSOR_NAME));
    KNOWN_WINE_DIFFERENCE("DeletePrintProcessorA returns TRUE and deletes nothing",
                          !processor_listed(PROCESSOR_NAME));
    conformance::remove_file(conformance::print_processor_dir() + "\\" + PROCESSOR_FILE);
}

CONFORMANCE_TEST(spooler_drivers, APrintProcessorWhoseLibraryIsMissingIsRefused)
{
    POISON();
    BOOL added = AddPrintProcessorA(NULL, own_environment(), (LPSTR) "cfnothing.dll",
                                    (LPSTR)PROCESSOR_NAME);
    KNOWN_WINE_DIFFERENCE("AddPrintProcessorA takes a library that is not there",
                          !added && GetLastError() == ERROR_MOD_NOT_FOUND);
    if (added)
        DeletePrintProcessorA(NULL, own_environment(), (LPSTR)PROCESSOR_NAME);
}

CONFORMANCE_TEST(spooler_drivers, DeletingAnUnknownPrintProcessorIsRefused)
{
    POISON();
    BOOL deleted =
        DeletePrintProcessorA(NULL, own_environment(), (LPSTR) "Conformance Nothing");
    KNOWN_WINE_DIFFERENCE("DeletePrintProcessorA returns TRUE and deletes nothing",
                          !deleted && GetLastError() == ERROR_UNKNOWN_PRINTPROCESSOR);
}
