// The program's entry: tells the normal run from the uninstaller run by its
// own file name and returns the exit code (returning from WinMain ends the
// process through the C runtime's normal clean-up).
#ifndef SETUP_ENTRY_POINT_H
#define SETUP_ENTRY_POINT_H

#include "system/platform.h"

// Offers to restart Windows now.
void prompt_reboot(void);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

#endif
