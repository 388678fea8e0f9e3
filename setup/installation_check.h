// The examination of a switch run's /CHECK: what of the package is on this
// machine. It changes nothing.
#ifndef SETUP_INSTALLATION_CHECK_H
#define SETUP_INSTALLATION_CHECK_H

// Looks for every piece an installation puts in place: the print processor,
// the fax and telex drivers, a printer of each, the uninstall entry and, on
// the NT family, the fax server's autostart value. Each missing piece is one
// line of the run log. Returns EXIT_DONE when all are there,
// EXIT_NOT_INSTALLED when none is, EXIT_PARTLY_INSTALLED otherwise.
//
// A question the system does not answer (the spooler's lists, the
// registry) gives EXIT_FAILED, logged with its error: the answer is not
// known, and "not installed" would be a guess.
//
// Precondition: scan_platform has described the platform (environment_name,
// platform_branch). Where it could not (an unsupported or unknown Windows)
// there is nothing to compare with: EXIT_PLATFORM_UNSUPPORTED.
int check_installation(void);

#endif
