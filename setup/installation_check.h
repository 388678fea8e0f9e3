// The examination of /CHECK: which pieces of the package are in place.
#ifndef SETUP_INSTALLATION_CHECK_H
#define SETUP_INSTALLATION_CHECK_H

// Needs the platform description of the scan, run before it. Returns
// EXIT_DONE when the whole package is in place, EXIT_NOT_INSTALLED when
// none of it is, EXIT_PARTLY_INSTALLED otherwise, and logs each missing
// piece.
int check_installation(void);

#endif
