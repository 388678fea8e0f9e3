// The INF file that the installation writes and hands to the Setup API: the
// file tables of a platform branch, its source files taken from the platform
// folder of the distribution and the language folder below it.
#ifndef SETUP_INF_WRITER_H
#define SETUP_INF_WRITER_H

#include "setup/platform_branch.h"

// The directory ids the INF's [DestinationDirs] name, which the
// installation binds to the system, print-processor and driver directories.
enum {
    INF_SYSTEM_DIR_ID = 78000,
    INF_PRINT_PROCESSOR_DIR_ID = 78001,
    INF_DRIVER_DIR_ID = 78002
};

// The section that copies everything.
#define INF_INSTALL_SECTION "Install_Printer"

// Writes the INF of the branch, naming the sources below the platform folder
// (e.g. "W2K") and the folder of the language (e.g. "ger") within it. Lines
// end in "\n", so a stream opened in text mode gets CR LF. 1 when written;
// 0 when the stream refused a line (the C runtime's error is then the
// thread's last error).
int write_inf_for(FILE *inf, const PlatformBranch *branch, const char *platform_folder,
                  const char *language);

#endif
