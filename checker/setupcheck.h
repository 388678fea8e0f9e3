// The command line of setupcheck, the packagers' check of what ships with
// the setup:
//   setupcheck lang FILE...                       language files
//   setupcheck dist DIR                           a distribution folder
//   setupcheck inf --platform FOLDER --lang CODE  the INF the setup writes
#ifndef CHECKER_SETUPCHECK_H
#define CHECKER_SETUPCHECK_H

#include <stdio.h>

enum {
    EXIT_CLEAN = 0, // also with warnings
    EXIT_FAULTS = 1,
    EXIT_USAGE = 2
};

// Runs one command: diagnostics and the INF go to out, usage faults to err.
int run_setupcheck(int argc, char **argv, FILE *out, FILE *err);

#endif
