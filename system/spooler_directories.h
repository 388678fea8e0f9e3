// The spooler's directories of an environment: where its print processors
// and its printer drivers are kept.
#ifndef SETUP_SPOOLER_DIRECTORIES_H
#define SETUP_SPOOLER_DIRECTORIES_H

#include "system/platform.h"

enum SpoolerDirectory {
    PRINT_PROCESSOR_DIRECTORY,
    PRINTER_DRIVER_DIRECTORY
};

// Reads the directory of the environment (NULL: the system's own) into the
// buffer of the given size. 1 on success; 0 with the buffer emptied and the
// Windows error left as the thread's last error (nothing captured).
int read_spooler_directory(SpoolerDirectory directory, char *environment, char *buffer,
                           DWORD size);

// As read_spooler_directory for the print-processor directory, starting the
// spooler between failing attempts, a few times at most. A start that fails
// ends it with the start's error left as the thread's last error.
int read_print_processor_directory_starting_spooler(char *environment, char *buffer, DWORD size);

#endif
