// Arranging and reading a machine through the calls every Windows has, so
// that the same test arranges winsim and a real system alike.
#ifndef TESTS_CONFORMANCE_ARRANGE_H
#define TESTS_CONFORMANCE_ARRANGE_H

#include "tests/conformance/conformance.h"

#include <string>

namespace conformance
{

// The bytes as they are (binary mode); false when the file could not be
// written.
bool put_bytes(const std::string &path, const std::string &bytes);
// The file's bytes (binary mode); "<missing>" when it cannot be opened.
std::string file_bytes(const std::string &path);
bool file_exists(const std::string &path);
// Deletes the file whatever its attributes; quiet when it is not there.
void remove_file(const std::string &path);
std::string system_dir(void);
// A folder of the test's own below the temporary folder, without a
// trailing backslash; made on first use.
std::string work_dir(void);
// A file's path in that folder.
std::string in_work(const char *name);
// The spooler directories of the running system's own environment.
std::string driver_dir(void);
std::string print_processor_dir(void);

} // namespace conformance

// ---- Spooler objects of the tests' own, made and removed through the
// spooler's calls.
namespace conformance
{

extern const char TEST_DRIVER[];
extern const char TEST_PRINTER[];
// The files of the test driver, which AddPrinterDriverA takes from the
// driver directory: driver, data and configuration file.
extern const char *const TEST_DRIVER_FILES[3];

// Puts the driver's files into the driver directory and adds the driver
// (DRIVER_INFO_3, version 3 on the NT family, 0 on the 95 family); the
// result of AddPrinterDriverA.
BOOL add_test_driver(const char *name, const char *help_file, const char *dependent_files);
// Deletes the driver and its files; quiet when it is not there.
void remove_test_driver(const char *name);
// A local printer on port, driver and print processor; NULL when refused.
HANDLE add_test_printer(const char *name, const char *port, const char *driver,
                        const char *print_processor);
// Deletes the printer by name; quiet when it is not there.
void remove_test_printer(const char *name);
// Waits until the service is in the state; false when it did not get there
// in a minute.
bool wait_for_service_state(SC_HANDLE service, DWORD state);
// Stops the spooler service and starts it again (NT family); false when
// the service manager refused.
bool restart_spooler(void);
// Whether the spooler lists the port.
bool port_listed(const char *name);
// A port and the print processor every spooler lists.
const char *any_port(void);
const char *default_print_processor(void);

} // namespace conformance

#endif
