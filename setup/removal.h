// The removal proper, run by the removal worker and by the installation
// before it installs anything.
#ifndef SETUP_REMOVAL_H
#define SETUP_REMOVAL_H

// Takes away what an installation put in place. 1 when everything of the
// product could be removed; 0 when a printer, driver or print processor of
// the product could not be deleted, a directory of its files could not be
// read (those files and the uninstall entry stay), or the spooler (NT
// family) was not started again afterwards because the user gave up on it
// (error captured; the step takes the answer given to that question).
int remove_old_installation(void);

#endif
