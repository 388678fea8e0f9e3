// Questions about the surroundings: the Windows family and version, the
// variant marker, the presence of a file, the "SetupInit" check, and the
// capture of the last Windows error for the error box. Nothing is cached:
// every call asks the system again.
#ifndef SETUP_ENVIRONMENT_H
#define SETUP_ENVIRONMENT_H

#include "system/platform.h"

// The system's version, in a record cleared and sized before the query.
void query_version(OSVERSIONINFOA *version);
// 1 on the Windows 95 family (95, 98, Me), else 0; of the version given or
// of the running system.
int is_95_family_version(const OSVERSIONINFOA *version);
int is_windows_95_family(void);
// 1 on Windows 2000 and later (NT 5 or later), else 0.
int is_nt5_or_later_version(const OSVERSIONINFOA *version);
int is_nt5_or_later(void);
// 1 when the file can be opened for reading; a directory counts as absent.
int file_exists(const char *file_name);
// 1 when the marker file "sorvik" is in the current directory.
int is_sorvik_variant(void);
// 1 when the spooler and the system answer the directory queries, starting
// the spooler (a few times at most) when it does not answer; 0 with the
// error captured otherwise.
int setup_init(void);
// Keeps the calling thread's last Windows error in last_error; returns it.
DWORD capture_last_error(void);
DWORD captured_error(void);

#endif
