// The kernel's answers the setup builds on: the version record, the
// directory and name queries with their buffer rule, system message texts,
// comparing names, the spooler's library loaded at run time, and starting
// a program.
#include "tests/conformance/arrange.h"

namespace
{

const DWORD POISONED = 0xdeadbeef;
// The basic version record as NT 4 and the 95 family know it.
const DWORD OSVERSIONINFO_SIZE = 148;

typedef BOOL(WINAPI *DeletePrinterDriverExFunction)(LPSTR, LPSTR, LPSTR, DWORD, DWORD);

} // namespace

CONFORMANCE_TEST(kernel, TheVersionRecordTakesOnlyTheSizesWindowsKnows)
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = OSVERSIONINFO_SIZE;
    POISON();
    CHECK(GetVersionExA(&version));
    CHECK(version.dwPlatformId == VER_PLATFORM_WIN32_NT ||
          version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS);
    CHECK(version.dwMajorVersion >= 4 || version.dwPlatformId == VER_PLATFORM_WIN32_NT);
    CHECK(version.dwMajorVersion >= 3);

    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = OSVERSIONINFO_SIZE - 4;
    POISON();
    CHECK(!GetVersionExA(&version));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
}

CONFORMANCE_TEST(kernel, TheSystemDirectoryReportsTheSizeItNeeds)
{
    char directory[MAX_PATH];
    POISON();
    UINT length = GetSystemDirectoryA(directory, sizeof directory);
    CHECK(length > 3 && length < sizeof directory);
    CHECK_EQ(strlen(directory), length);
    CHECK_EQ(GetFileAttributesA(directory) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    char small[3] = {'x', 'x', 'x'};
    CHECK_EQ(GetSystemDirectoryA(small, sizeof small), length + 1);
    CHECK_EQ(small[0], 'x');
    CHECK_EQ(GetSystemDirectoryA(directory, length), length + 1);
    CHECK_EQ(GetSystemDirectoryA(directory, length + 1), length);
    CHECK_ERROR(POISONED);
}

CONFORMANCE_TEST(kernel, ACutModuleNameIsLeftUnterminatedBeforeVista)
{
    char name[MAX_PATH];
    POISON();
    DWORD length = GetModuleFileNameA(NULL, name, sizeof name);
    CHECK(length > 4 && length < sizeof name);
    CHECK_EQ(strlen(name), length);
    CHECK(lstrcmpiA(name + length - 4, ".exe") == 0);
    KNOWN_WINE_DIFFERENCE("GetModuleFileNameA sets the last error, as Windows does from Vista on",
                          GetLastError() == POISONED);

    char cut[8];
    memset(cut, '#', sizeof cut);
    POISON();
    CHECK_EQ(GetModuleFileNameA(NULL, cut, 4), 4);
    // Every version the setup supports is older than Vista.
    CHECK(memcmp(cut, name, 4) == 0);
    CHECK_EQ(cut[4], '#');
    KNOWN_WINE_DIFFERENCE("GetModuleFileNameA sets the last error, as Windows does from Vista on",
                          GetLastError() == POISONED);
}

CONFORMANCE_TEST(kernel, SystemTextsComeInLocalMemoryAndEndWithCrLf)
{
    char *text = NULL;
    POISON();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, ERROR_FILE_NOT_FOUND,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL);
    CHECK(text != NULL);
    if (text != NULL) {
        CHECK_EQ(strlen(text), length);
        CHECK(length > 2 && strcmp(text + length - 2, "\r\n") == 0);
        KNOWN_WINE_DIFFERENCE("the system's message texts are worded differently",
                              strcmp(text, "The system cannot find the file specified.\r\n") == 0);
        CHECK(LocalFree(text) == NULL);
    }
    CHECK_ERROR(POISONED);
}

CONFORMANCE_TEST(kernel, ACodeWithoutTextHasNoSystemText)
{
    char *text = NULL;
    POISON();
    CHECK_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                FORMAT_MESSAGE_IGNORE_INSERTS,
                            NULL, 0x2000abcd, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                            (LPSTR)&text, 0, NULL),
             0);
    CHECK_ERROR(ERROR_MR_MID_NOT_FOUND);
    CHECK(text == NULL);
}

CONFORMANCE_TEST(kernel, ASystemTextMustFitTheCallersBuffer)
{
    char buffer[64];
    POISON();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  buffer, sizeof buffer, NULL);
    CHECK_EQ(length, strlen(buffer));
    KNOWN_WINE_DIFFERENCE("the system's message texts are worded differently",
                          strcmp(buffer, "Access is denied.\r\n") == 0);
    // The text and its terminator must fit.
    POISON();
    CHECK_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                            ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                            length, NULL),
             0);
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                            ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                            length + 1, NULL),
             length);
}

CONFORMANCE_TEST(kernel, NamesCompareWithoutRegardToCaseInWindows1252)
{
    POISON();
    CHECK_EQ(lstrcmpiA("Ravelo Fax", "RAVELO FAX"), 0);
    CHECK(lstrcmpiA("ravelo", "ravtlx") < 0);
    CHECK(lstrcmpiA("RAVTLX", "ravelo") > 0);
    CHECK(lstrcmpiA("fax", "fax2") < 0);
    CHECK_EQ(lstrcmpiA("Dr\xfc" "cker", "DR\xdc" "CKER"), 0);
    CHECK_ERROR(POISONED);
}

CONFORMANCE_TEST(kernel, TheSpoolersLibraryHasDeleteExFromWindows2000On)
{
    POISON();
    HMODULE spooler = LoadLibraryA("WINSPOOL.DRV");
    CHECK(spooler != NULL);
    if (spooler == NULL)
        return;
    POISON();
    CHECK(GetProcAddress(spooler, "ConformanceNoSuchExport") == NULL);
    CHECK_ERROR(ERROR_PROC_NOT_FOUND);
    POISON();
    DeletePrinterDriverExFunction delete_ex = (DeletePrinterDriverExFunction)(void (*)(void))
        GetProcAddress(spooler, "DeletePrinterDriverExA");
    if (conformance::nt5_or_later()) {
        CHECK(delete_ex != NULL);
    } else {
        KNOWN_WINE_DIFFERENCE("the spooler's library exports DeletePrinterDriverExA on every "
                              "Windows version",
                              delete_ex == NULL && GetLastError() == ERROR_PROC_NOT_FOUND);
    }
    CHECK(FreeLibrary(spooler));
}

CONFORMANCE_TEST(kernel, AMissingLibraryIsNotFoundWithTheFamilysError)
{
    POISON();
    CHECK(LoadLibraryA("conformance_nothing.dll") == NULL);
    CHECK_ERROR(conformance::windows_95_family() ? ERROR_DLL_NOT_FOUND : ERROR_MOD_NOT_FOUND);
}

CONFORMANCE_TEST(kernel, AMissingProgramDoesNotStart)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    memset(&process, 0, sizeof process);
    std::string program = conformance::work_dir() + "\\nothing.exe";
    char command_line[MAX_PATH];
    strcpy(command_line, program.c_str());
    POISON();
    CHECK(!CreateProcessA(program.c_str(), command_line, NULL, NULL, FALSE, 0, NULL, NULL,
                          &startup, &process));
    CHECK_ERROR(ERROR_FILE_NOT_FOUND);
    CHECK(process.hProcess == NULL);
}

CONFORMANCE_TEST(kernel, AClosedHandleIsInvalid)
{
    POISON();
    CHECK(!CloseHandle((HANDLE)(ULONG_PTR)0x7ff0));
    CHECK_ERROR(ERROR_INVALID_HANDLE);
}

CONFORMANCE_TEST(kernel, TheUserNameComesWithItsSizeIncludingTheTerminator)
{
    char name[256];
    DWORD size = sizeof name;
    POISON();
    CHECK(GetUserNameA(name, &size));
    CHECK(strlen(name) > 0);
    CHECK_EQ(size, strlen(name) + 1);
    DWORD needed = size;
    size = 0;
    POISON();
    CHECK(!GetUserNameA(NULL, &size));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(size, needed);
    char short_buffer[2] = {'x', 'x'};
    size = 1;
    POISON();
    CHECK(!GetUserNameA(short_buffer, &size));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(size, needed);
    CHECK_EQ(short_buffer[0], 'x');
}

CONFORMANCE_TEST(kernel, ANamedMutexIsFoundAgainUntilItsLastHandleCloses)
{
    const char name[] = "ConformanceMutex";
    POISON();
    HANDLE first = CreateMutexA(NULL, FALSE, name);
    CHECK(first != NULL);
    CHECK_ERROR(ERROR_SUCCESS);
    HANDLE second = CreateMutexA(NULL, TRUE, name);
    CHECK(second != NULL && second != first);
    CHECK_ERROR(ERROR_ALREADY_EXISTS);
    HANDLE other_case = CreateMutexA(NULL, FALSE, "conformancemutex");
    CHECK_ERROR(ERROR_SUCCESS);
    CHECK(CloseHandle(other_case) && CloseHandle(second) && CloseHandle(first));
    HANDLE again = CreateMutexA(NULL, FALSE, name);
    CHECK_ERROR(ERROR_SUCCESS);
    CHECK(CloseHandle(again));
}
