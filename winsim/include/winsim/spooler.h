// winsim: the spooler's print processors, drivers, printers and ports, for
// arranging and checking a test's machine. Environments are named as the
// spooler names them ("Windows NT x86", "Windows 4.0"); "" stands for the
// machine's own. Names compare without regard to case, as the spooler's do.
// The arranging helpers bypass the spooler's checks (files, drivers, ports).
#ifndef WINSIM_SPOOLER_H
#define WINSIM_SPOOLER_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim
{

// A driver as DRIVER_INFO_3 describes it; the files are names in the
// driver directory of the environment.
// Every member has a default, so that a brace list may stop early.
struct DriverSetup {
    std::string environment{};
    std::string name{};
    DWORD version = 0;
    std::string driver_path{}, data_file{}, config_file{}, help_file{};
    std::vector<std::string> dependent_files{};
    std::string monitor{};
    std::string default_datatype{};
};

// A local printer; what PRINTER_INFO_2 holds beyond this is empty or zero.
struct PrinterSetup {
    std::string name{}, port{}, driver{}, print_processor = "WinPrint", datatype = "RAW";
    DWORD attributes = 0;
    std::string comment{}, location{}, share_name{}, sep_file{}, parameters{};
    DWORD priority = 0, default_priority = 0, start_time = 0, until_time = 0;
};

void add_print_processor(const std::string &environment, const std::string &name,
                         const std::string &dll);
// An installed driver of the same name and environment is replaced.
void add_printer_driver(const DriverSetup &driver);
void add_printer(const PrinterSetup &printer);
// The port is listed at once.
void add_port(const std::string &name);

// The spooler loads a print processor's library when it is added; the
// library then also needs this one, which the loader looks for in the
// print processor directory, the system directory and the Windows directory.
void add_library_dependency(const std::string &library_file, const std::string &needed_file);

// The names of the print processors of the environment, in listing order.
std::vector<std::string> print_processors(const std::string &environment);
std::vector<DriverSetup> printer_drivers(const std::string &environment);
// The local printers, not those deleted while a handle still holds them.
std::vector<PrinterSetup> printers();
// The ports the spooler lists now.
std::vector<std::string> ports();

// The 95 family's spooler lists a port added to win.ini's [ports] after
// this much virtual time (500 ms after boot).
void set_port_listing_delay_ms(unsigned delay_ms);

int open_printer_handle_count();

// Processors, drivers, printers and ports in a text that compares equal
// exactly when they are equal.
std::string spooler_snapshot();

} // namespace winsim

#endif
