// A run started with switches: the same work as the dialog runs, with the
// answers taken from the command line, an optional log, and the exit codes
// that deployment tools read (app/exit_codes.h).
#ifndef SETUP_SWITCH_RUN_H
#define SETUP_SWITCH_RUN_H

#include "app/command_line.h"

// What the entry point knows before the run: the command line as given and
// read, the program's own file name, whether it runs as the uninstaller
// copy, and whether another run of the setup holds the run mutex.
struct RunStart {
    const char *command_text;
    const CommandLine *line;
    const char *module_name;
    int uninstaller;
    int another_run;
};

// Runs the switches and returns the exit code.
int switch_run(const RunStart *start);

// A command line that read_command_line refused: the box that names the
// wrong word (none when /Q was among the words); returns the exit code.
int refuse_command_line(const CommandLine *line, int uninstaller);

#endif
