// The steps of the installation that put the package in place.
#ifndef SETUP_INSTALL_STEPS_H
#define SETUP_INSTALL_STEPS_H

// Writes the INF file for the platform into the temporary directory, has
// the Setup API install its "Install_Printer" section from the distribution,
// and deletes the file again. 1 when installed, 0 with the error captured
// (a program directory that cannot be read is shown at once instead).
int install_inf(void);

// Places the uninstaller in the system directory: setup.exe as rmzantr.exe
// and the chosen language file, with the product name filled in, as
// zantrel.apd. 1 when both were copied, 0 with the error captured.
int copy_uninstaller(void);

// Adds the port "NUL:", installs the files, places the uninstaller, writes
// the uninstall entry and, on the NT family, the fax server's autostart
// value and starts the fax server. 1 on success; 0 with the error captured
// when the files, the uninstaller or the uninstall entry could not be put
// in place.
int install_files_step(void);

// Registers the print processor, the fax and telex drivers and their
// printers. 1 when the telex printer was added, else 0.
int install_driver_step(void);

#endif
