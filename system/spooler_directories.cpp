#include "system/spooler_directories.h"

#include "system/spooler_service.h"

enum {
    // On the 95 family a start does nothing and succeeds, so a query that
    // keeps failing must not be retried for ever.
    DIRECTORY_SPOOLER_STARTS = 3
};

static BOOL query_spooler_directory(SpoolerDirectory directory, char *environment, char *buffer,
                                    DWORD size)
{
    DWORD needed;

    if (directory == PRINT_PROCESSOR_DIRECTORY)
        return GetPrintProcessorDirectoryA(NULL, environment, 1, (LPBYTE)buffer, size, &needed);
    return GetPrinterDriverDirectoryA(NULL, environment, 1, (LPBYTE)buffer, size, &needed);
}

int read_spooler_directory(SpoolerDirectory directory, char *environment, char *buffer,
                           DWORD size)
{
    if (query_spooler_directory(directory, environment, buffer, size))
        return 1;
    // No path is ever composed from stale or partial text.
    buffer[0] = '\0';
    return 0;
}

int read_print_processor_directory_starting_spooler(char *environment, char *buffer, DWORD size)
{
    for (int starts = 0;; starts++) {
        if (read_spooler_directory(PRINT_PROCESSOR_DIRECTORY, environment, buffer, size))
            return 1;
        if (starts == DIRECTORY_SPOOLER_STARTS || !start_spooler())
            return 0;
    }
}
