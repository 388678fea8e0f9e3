#include "checker/diagnostics.h"

void report(Diagnostics *diagnostics, const char *file, int line, Level level, const char *message)
{
    const char *name = level == LEVEL_ERROR ? "error" : "warning";

    if (line > 0)
        fprintf(diagnostics->out, "%s:%d: %s: %s\n", file, line, name, message);
    else
        fprintf(diagnostics->out, "%s: %s: %s\n", file, name, message);
    if (level == LEVEL_ERROR)
        diagnostics->errors++;
    else
        diagnostics->warnings++;
}
