// Compiler-style diagnostics: "FILE:LINE: error: message", or "FILE: error:
// message" when no line applies.
#ifndef CHECKER_DIAGNOSTICS_H
#define CHECKER_DIAGNOSTICS_H

#include <stdio.h>

enum Level { LEVEL_WARNING, LEVEL_ERROR };

struct Diagnostics {
    FILE *out;
    int errors;
    int warnings;
};

// line 0: the diagnostic is about the file as a whole.
void report(Diagnostics *diagnostics, const char *file, int line, Level level, const char *message);

#endif
