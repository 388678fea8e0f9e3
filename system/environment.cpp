#include "system/environment.h"

#include "app/setup_state.h"
#include "system/spooler_service.h"

enum {
    OSVERSIONINFO_SIZE = 148,
    INIT_QUERY_BUFFER_SIZE = 1024,
    // On the 95 family a start does nothing and succeeds, so a query that
    // keeps failing must not be retried for ever.
    SETUP_INIT_SPOOLER_STARTS = 3
};

static const char SORVIK_MARKER[] = "sorvik";

static DWORD query_platform(DWORD *major)
{
    OSVERSIONINFOA version;

    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = OSVERSIONINFO_SIZE;
    // A failed query leaves the platform id 0, which answers no to both tests.
    GetVersionExA(&version);
    *major = version.dwMajorVersion;
    return version.dwPlatformId;
}

int is_windows_95_family(void)
{
    DWORD major;

    return query_platform(&major) == VER_PLATFORM_WIN32_WINDOWS;
}

int is_nt5_or_later(void)
{
    DWORD major;

    return query_platform(&major) == VER_PLATFORM_WIN32_NT && major >= 5;
}

int file_exists(const char *file_name)
{
    FILE *file = fopen(file_name, "r");

    if (file == NULL)
        return 0;
    fclose(file);
    return 1;
}

int is_sorvik_variant(void)
{
    return file_exists(SORVIK_MARKER);
}

DWORD capture_last_error(void)
{
    last_error = GetLastError();
    return last_error;
}

DWORD captured_error(void)
{
    return last_error;
}

// Asks for the print-processor directory, starting the spooler between
// attempts while it does not answer.
static int print_processor_directory_answers(void)
{
    char directory[INIT_QUERY_BUFFER_SIZE];
    DWORD needed;

    for (int starts = 0;; starts++) {
        if (GetPrintProcessorDirectoryA(NULL, NULL, 1, (LPBYTE)directory, sizeof directory,
                                        &needed))
            return 1;
        if (starts == SETUP_INIT_SPOOLER_STARTS) {
            capture_last_error();
            return 0;
        }
        if (!start_spooler()) {
            capture_last_error();
            return 0;
        }
    }
}

int setup_init(void)
{
    char buffer[INIT_QUERY_BUFFER_SIZE];
    DWORD needed;

    if (!print_processor_directory_answers())
        return 0;
    if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)buffer, sizeof buffer, &needed)) {
        capture_last_error();
        return 0;
    }
    if (GetSystemDirectoryA(buffer, sizeof buffer) == 0) {
        capture_last_error();
        return 0;
    }
    if (GetModuleFileNameA(NULL, buffer, sizeof buffer) == 0) {
        capture_last_error();
        return 0;
    }
    return 1;
}
