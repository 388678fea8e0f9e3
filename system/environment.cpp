#include "system/environment.h"

#include "app/setup_state.h"
#include "system/spooler_directories.h"

enum {
    OSVERSIONINFO_SIZE = 148,
    INIT_QUERY_BUFFER_SIZE = 1024
};

static const char SORVIK_MARKER[] = "sorvik";

void query_version(OSVERSIONINFOA *version)
{
    memset(version, 0, sizeof *version);
    version->dwOSVersionInfoSize = OSVERSIONINFO_SIZE;
    // A failed query leaves the platform id 0, which answers no to both tests.
    GetVersionExA(version);
}

int is_95_family_version(const OSVERSIONINFOA *version)
{
    return version->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

int is_nt5_or_later_version(const OSVERSIONINFOA *version)
{
    return version->dwPlatformId == VER_PLATFORM_WIN32_NT && version->dwMajorVersion >= 5;
}

int is_windows_95_family(void)
{
    OSVERSIONINFOA version;

    query_version(&version);
    return is_95_family_version(&version);
}

int is_nt5_or_later(void)
{
    OSVERSIONINFOA version;

    query_version(&version);
    return is_nt5_or_later_version(&version);
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

int setup_init(void)
{
    char buffer[INIT_QUERY_BUFFER_SIZE];

    if (!read_print_processor_directory_starting_spooler(NULL, buffer, sizeof buffer) ||
        !read_spooler_directory(PRINTER_DRIVER_DIRECTORY, NULL, buffer, sizeof buffer)) {
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
