// The log of a switch run: one line per event, each line opened, appended
// and closed on its own, so that a run killed half way loses nothing.
#ifndef SETUP_RUN_LOG_H
#define SETUP_RUN_LOG_H

#include "system/platform.h"

enum {
    // Room for the longest event: a few paths of MAX_PATH and a system
    // text, so that no line is ever cut in the middle of a path.
    LOG_LINE_SIZE = 4096
};

// Makes path the run's log and writes nothing yet; 0 when the file cannot
// be opened for appending (the run then changes nothing).
int open_run_log(const char *path);

// Appends one line, the local time to the millisecond and then the text
// composed from the program's own format. Nothing when the run keeps no
// log. The worker and the user-interface thread never log at the same time.
void log_event(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
