// winsim: the spooler's objects (print processors, drivers, printers and
// ports), the helpers its API families share, and the helpers with which
// tests arrange and read them.
#include "spooler_objects.h"

#include "spooler_internal.h"

#include "machine_state.h"
#include "paths.h"

#include <winsim/spooler.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace winsim::spooler_internal
{

// Kept under the machine's lock.
Objects &objects()
{
    static Objects kept;
    return kept;
}

bool nt_family(const Machine &m)
{
    return m.setup.version.platform_id == VER_PLATFORM_WIN32_NT;
}

// How often the spooler service was started since boot: a restart ends the
// spooler's handles and makes it read the ports of win.ini anew.
int spooler_starts(const Machine &m)
{
    int starts = 0;
    for (const std::string &entry : m.service_log) {
        if (entry.compare(0, 6, "start ") == 0 && same_name(entry.substr(6), "Spooler"))
            starts++;
    }
    return starts;
}

bool spooler_running(Machine &m)
{
    winsim::Service *spooler = winsim::find_service(m, "Spooler");
    return spooler != nullptr && spooler->state == SERVICE_RUNNING;
}

// The rules every call shares, as in the directory queries: on the NT family
// the spooler is a service reached by RPC, and while it does not run every
// call fails with RPC_S_SERVER_UNAVAILABLE. Only the local server is
// modelled; another cannot be reached (NT: RPC_S_SERVER_UNAVAILABLE, 95
// family: ERROR_INVALID_PARAMETER).
DWORD reach_spooler(Machine &m, const char *server)
{
    bool nt = nt_family(m);
    if (nt && !spooler_running(m))
        return RPC_S_SERVER_UNAVAILABLE;
    if (server != nullptr && server[0] != '\0')
        return nt ? RPC_S_SERVER_UNAVAILABLE : ERROR_INVALID_PARAMETER;
    return 0;
}

// The environment a call names, once the spooler can be reached: 0 with
// *environment set, or the error the call fails with.
DWORD reach_environment(Machine &m, const char *server, const char *name,
                        const SpoolerEnvironment **environment)
{
    if (DWORD error = reach_spooler(m, server))
        return error;
    *environment = winsim::find_environment(m, name);
    return *environment == nullptr ? (DWORD)ERROR_INVALID_ENVIRONMENT : 0;
}

const SpoolerEnvironment &own_environment(Machine &m)
{
    return m.spooler.environments.front();
}

bool in_environment(const std::string &environment, const SpoolerEnvironment &wanted)
{
    return same_name(environment, wanted.name);
}

std::string file_name_of(const std::string &path)
{
    std::string::size_type cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool file_in(const std::string &directory, const std::string &name)
{
    return winsim::file_present(directory + "\\" + file_name_of(name));
}

std::string text_or_empty(const char *text)
{
    return text == nullptr ? std::string() : std::string(text);
}

// A printer counts while it is not deleted, or while a handle of the
// current spooler run still holds it.
bool held(Machine &m, int printer)
{
    int starts = spooler_starts(m);
    for (const auto &entry : objects().handles) {
        if (entry.second.printer == printer && entry.second.spooler_starts == starts)
            return true;
    }
    return false;
}

// Brings the spooler up to the virtual clock: deleted printers that nothing
// holds go, and ports written to win.ini are listed once the spooler has
// read them. The 95 family's spooler notices them after a while; the NT
// family's reads them when the service starts.
void settle(Machine &m)
{
    Objects &o = objects();
    o.printers.erase(std::remove_if(o.printers.begin(), o.printers.end(),
                                    [&](const Printer &p) { return p.deleted && !held(m, p.id); }),
                     o.printers.end());
    bool nt = nt_family(m);
    int starts = spooler_starts(m);
    unsigned long long now = winsim::now_ms();
    auto read = [&](const ProfilePort &port) {
        return nt ? starts > port.spooler_starts : now >= port.written_ms + o.port_delay_ms;
    };
    for (const ProfilePort &port : o.profile_ports) {
        if (!read(port))
            continue;
        bool listed = false;
        for (const std::string &known : o.ports)
            listed = listed || same_name(known, port.name);
        if (!listed)
            o.ports.push_back(port.name);
    }
    o.profile_ports.erase(std::remove_if(o.profile_ports.begin(), o.profile_ports.end(), read),
                          o.profile_ports.end());
}

Processor *find_processor(const SpoolerEnvironment &environment, const char *name)
{
    for (Processor &processor : objects().processors) {
        if (in_environment(processor.environment, environment) && same_name(processor.name, name))
            return &processor;
    }
    return nullptr;
}

DriverSetup *find_driver(const SpoolerEnvironment &environment, const char *name)
{
    for (DriverSetup &driver : objects().drivers) {
        if (in_environment(driver.environment, environment) && same_name(driver.name, name))
            return &driver;
    }
    return nullptr;
}

// A printer by name; deleted printers are no longer found.
Printer *find_printer(const char *name)
{
    for (Printer &printer : objects().printers) {
        if (!printer.deleted && same_name(printer.setup.name, name))
            return &printer;
    }
    return nullptr;
}

Printer *printer_by_id(int id)
{
    for (Printer &printer : objects().printers) {
        if (printer.id == id)
            return &printer;
    }
    return nullptr;
}

// The port as the spooler lists it; empty when it lists none of the name.
std::string listed_port(const std::string &name)
{
    for (const std::string &port : objects().ports) {
        if (same_name(port, name))
            return port;
    }
    return std::string();
}

bool port_listed(const std::string &name)
{
    return !listed_port(name).empty();
}

// "LPT1:,LPT2:" names several ports.
std::vector<std::string> port_names(const std::string &list)
{
    std::vector<std::string> names;
    for (std::string::size_type start = 0; start <= list.size();) {
        std::string::size_type comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

// Printers use drivers and print processors of the machine's own
// environment; a deleted printer uses them while it is held.
bool used_by_printer(Machine &m, const SpoolerEnvironment &environment,
                     const std::string PrinterSetup::*field, const std::string &name)
{
    if (&environment != &own_environment(m))
        return false;
    for (const Printer &printer : objects().printers) {
        if (same_name(printer.setup.*field, name))
            return true;
    }
    return false;
}

std::vector<std::string> driver_files(const DriverSetup &driver)
{
    std::vector<std::string> files;
    auto add = [&files](const std::string &name) {
        if (name.empty())
            return;
        for (const std::string &known : files) {
            if (same_name(known, file_name_of(name)))
                return;
        }
        files.push_back(file_name_of(name));
    };
    add(driver.driver_path);
    add(driver.data_file);
    add(driver.config_file);
    add(driver.help_file);
    for (const std::string &name : driver.dependent_files)
        add(name);
    return files;
}

// A driver file goes unless it cannot be deleted (read-only or open).
void delete_file_quietly(Machine &m, const std::string &path)
{
    winsim::ResolvedPath file = winsim::resolve_path(path.c_str());
    if (file.error != 0 || !file.exists || file.is_directory || winsim::is_read_only(file) ||
        winsim::is_open(file))
        return;
    std::remove(file.host.c_str());
    m.attributes.erase(file.host);
}

} // namespace winsim::spooler_internal

using namespace winsim::spooler_internal;

namespace winsim
{

void boot_spooler_objects(Machine &m)
{
    Objects &o = objects();
    o = Objects();
    const SpoolerEnvironment &own = own_environment(m);
    o.processors.push_back({own.name, "WinPrint", "winprint.dll"});
    put_file(own.print_processor_dir + "\\winprint.dll", "MZ print processor");
    if (nt_family(m))
        o.ports = {"LPT1:", "LPT2:", "COM1:", "COM2:", "FILE:"};
    else
        o.ports = {"LPT1:", "COM1:", "FILE:"};
}

void port_written_to_profile(Machine &m, const std::string &name)
{
    Objects &o = objects();
    settle(m);
    if (port_listed(name))
        return;
    for (const ProfilePort &port : o.profile_ports) {
        if (same_name(port.name, name))
            return;
    }
    o.profile_ports.push_back({name, now_ms(), spooler_starts(m)});
}

void add_print_processor(const std::string &environment, const std::string &name,
                         const std::string &dll)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment &in = environment_named(m, environment);
    if (Processor *existing = find_processor(in, name.c_str()))
        existing->dll = dll;
    else
        objects().processors.push_back({in.name, name, dll});
}

void add_printer_driver(const DriverSetup &driver)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    DriverSetup added = driver;
    added.environment = environment_named(m, driver.environment).name;
    if (DriverSetup *existing =
            find_driver(environment_named(m, driver.environment), driver.name.c_str()))
        *existing = added;
    else
        objects().drivers.push_back(added);
}

void add_printer(const PrinterSetup &printer)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (Printer *existing = find_printer(printer.name.c_str())) {
        existing->setup = printer;
        return;
    }
    Printer added;
    added.id = objects().next_printer++;
    added.setup = printer;
    objects().printers.push_back(added);
}

void add_port(const std::string &name)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (!port_listed(name))
        objects().ports.push_back(name);
}

void add_library_dependency(const std::string &library_file, const std::string &needed_file)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    objects().dependencies.push_back({library_file, needed_file});
}

std::vector<std::string> print_processors(const std::string &environment)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment &in = environment_named(m, environment);
    std::vector<std::string> names;
    for (const Processor &processor : objects().processors) {
        if (in_environment(processor.environment, in))
            names.push_back(processor.name);
    }
    return names;
}

std::vector<DriverSetup> printer_drivers(const std::string &environment)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment &in = environment_named(m, environment);
    std::vector<DriverSetup> drivers;
    for (const DriverSetup &driver : objects().drivers) {
        if (in_environment(driver.environment, in))
            drivers.push_back(driver);
    }
    return drivers;
}

std::vector<PrinterSetup> printers()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    settle(m);
    std::vector<PrinterSetup> listed;
    for (const Printer &printer : objects().printers) {
        if (!printer.deleted)
            listed.push_back(printer.setup);
    }
    return listed;
}

std::vector<std::string> ports()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    settle(m);
    return objects().ports;
}

void set_port_listing_delay_ms(unsigned delay_ms)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    objects().port_delay_ms = delay_ms;
}

int open_printer_handle_count()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return static_cast<int>(objects().handles.size());
}

std::string spooler_snapshot()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    settle(m);
    const Objects &o = objects();
    std::string text;
    for (const Processor &p : o.processors)
        text += "processor " + p.environment + " | " + p.name + " | " + p.dll + "\n";
    for (const DriverSetup &d : o.drivers) {
        text +=
            describe("driver %s | %s | %u | ", d.environment.c_str(), d.name.c_str(), d.version);
        text += d.driver_path + " | " + d.data_file + " | " + d.config_file + " | " + d.help_file +
                " |";
        for (const std::string &file : d.dependent_files)
            text += " " + file;
        text += " | " + d.monitor + " | " + d.default_datatype + "\n";
    }
    for (const Printer &p : o.printers) {
        const PrinterSetup &s = p.setup;
        text +=
            describe("printer %s| %s | %s | %s | %s | %s | 0x%x | ", p.deleted ? "(deleted) " : "",
                     s.name.c_str(), s.port.c_str(), s.driver.c_str(), s.print_processor.c_str(),
                     s.datatype.c_str(), s.attributes);
        text += s.comment + " | " + s.location + " | " + s.share_name + " | " + s.sep_file + " | " +
                s.parameters +
                describe(" | %u %u %u %u | 0x%x\n", s.priority, s.default_priority, s.start_time,
                         s.until_time, p.status);
    }
    for (const std::string &port : o.ports)
        text += "port " + port + "\n";
    return text;
}

} // namespace winsim
