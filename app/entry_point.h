// The program's entry: tells the normal run from the uninstaller run by its
// own file name, and a run with switches by its command line, and returns
// the exit code (returning from WinMain ends the process through the C
// runtime's normal clean-up).
#ifndef SETUP_ENTRY_POINT_H
#define SETUP_ENTRY_POINT_H

#include "system/platform.h"

// Offers to restart Windows now: 1 when the user accepted and the restart
// begins.
int prompt_reboot(void);

// The uninstaller copy's removal, with its progress dialog (none in a quiet
// run), then on the NT family the deletion of the copy once no uninstall
// entry names it: replacing this process, or with keep_process started
// beside it. Returns 1 when the removal succeeded; returns at all only
// with keep_process, on the 95 family, or when the deletion did not start.
int remove_as_uninstaller(int keep_process);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

#endif
