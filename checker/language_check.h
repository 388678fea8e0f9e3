// The checks of one language file: what the setup's reader makes of it and
// the bytes it is stored as.
#ifndef CHECKER_LANGUAGE_CHECK_H
#define CHECKER_LANGUAGE_CHECK_H

#include "checker/diagnostics.h"

// Reports every fault of the file at path.
void check_language_file(Diagnostics *diagnostics, const char *path);

#endif
