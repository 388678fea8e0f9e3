// The INF file that the installation writes and hands to the Setup API: one
// of three branches by Windows family and version, its source files taken
// from the platform folder of the distribution and the language folder
// below it.
#ifndef SETUP_INF_WRITER_H
#define SETUP_INF_WRITER_H

#include "system/platform.h"

enum InfBranchId {
    INF_BRANCH_95_FAMILY,       // Windows 95, 98 and Me
    INF_BRANCH_NT_4_OR_EARLIER, // NT 3.51 and NT 4
    INF_BRANCH_NT_5_OR_LATER,   // Windows 2000 and later
    INF_BRANCH_COUNT
};

// The branch for the Windows the program runs on.
int running_inf_branch(void);

// Writes the INF of the branch, naming the sources below the platform folder
// (e.g. "W2K") and the folder of the language (e.g. "ger") within it. Lines
// end in "\n", so a stream opened in text mode gets CR LF. 1 when written;
// 0 when the branch is unknown (nothing is written) or the stream refused a
// line (the C runtime's error is then the thread's last error).
int write_inf_for(FILE *inf, int branch, const char *platform_folder, const char *language);

#endif
