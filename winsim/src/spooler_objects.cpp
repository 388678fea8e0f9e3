// winsim: the spooler's print processors, drivers, printers and ports
// (winspool.drv), and the helpers with which tests arrange and read them.
#include "spooler_objects.h"

#include "machine_state.h"
#include "paths.h"

#include <winsim/spooler.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

using winsim::Call;
using winsim::describe;
using winsim::DriverSetup;
using winsim::Machine;
using winsim::PrinterSetup;
using winsim::quoted;
using winsim::same_name;
using winsim::SpoolerEnvironment;
using winsim::the_machine;

namespace
{

struct Processor {
    std::string environment; // as the spooler names it
    std::string name;
    std::string dll;
};

struct Printer {
    int id;
    PrinterSetup setup;
    DWORD status = 0;
    // DeletePrinter marks the printer; it goes once no handle holds it.
    bool deleted = false;
};

// A port written to win.ini that the spooler does not list yet.
struct ProfilePort {
    std::string name;
    unsigned long long written_ms;
    int spooler_starts;
};

struct PrinterHandle {
    int printer;
    DWORD access;
    int spooler_starts; // the spooler run the handle belongs to
};

struct Objects {
    std::vector<Processor> processors;
    std::vector<DriverSetup> drivers;
    std::vector<Printer> printers;
    std::vector<std::string> ports;
    std::vector<ProfilePort> profile_ports;
    std::map<HANDLE, PrinterHandle> handles;
    std::vector<std::pair<std::string, std::string>> dependencies;
    unsigned port_delay_ms = 500;
    int next_printer = 1;
};

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
static DWORD reach_environment(Machine &m, const char *server, const char *name,
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

// ---- The buffer protocol of the enumerations and GetPrinter.

// Strings of the records: packed from the end of the answer backwards;
// while sizing (no end yet) only counted.
struct Strings {
    char *end = nullptr;
    size_t bytes = 0;

    LPSTR put_bytes(const char *data, size_t size)
    {
        bytes += size;
        if (end == nullptr)
            return nullptr;
        end -= size;
        std::memcpy(end, data, size);
        return end;
    }
    LPSTR put(const std::string &text)
    {
        return put_bytes(text.c_str(), text.size() + 1);
    }
    // NULL for an empty string, as the spooler leaves unset members.
    LPSTR put_optional(const std::string &text)
    {
        return text.empty() ? nullptr : put(text);
    }
    LPSTR put_list(const std::vector<std::string> &items)
    {
        if (items.empty())
            return nullptr;
        std::string list;
        for (const std::string &item : items)
            list += item + '\0';
        return put_bytes(list.c_str(), list.size() + 1);
    }
};

// The records fill the start of the caller's buffer, their strings its
// end. When they do not fit (a NULL buffer of size 0 too), the call fails
// with ERROR_INSUFFICIENT_BUFFER and reports the size it needs. The NT
// family's ANSI calls run the Unicode call in the caller's buffer and
// convert in place, so they ask for room for the Unicode strings. The
// NT family's RPC refuses NULL counters; the 95 family then just does not
// report them.
template <typename Record, typename Item, typename Fill>
BOOL answer_records(Call &call, Machine &m, const std::vector<Item> &items, Fill fill,
                    LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned,
                    bool counted = true)
{
    bool nt = nt_family(m);
    DWORD unreported_size, unreported_count;
    if (pcbNeeded == nullptr || (counted && pcReturned == nullptr)) {
        if (nt)
            return call.fail(FALSE, RPC_X_NULL_REF_POINTER);
        if (pcbNeeded == nullptr)
            pcbNeeded = &unreported_size;
    }
    if (pcReturned == nullptr)
        pcReturned = &unreported_count;
    Strings sizing;
    for (const Item &item : items) {
        Record record{};
        fill(record, item, sizing);
    }
    size_t needed = items.size() * sizeof(Record) + sizing.bytes * (nt ? 2 : 1);
    *pcReturned = 0;
    *pcbNeeded = static_cast<DWORD>(needed);
    if (needed > cbBuf)
        return call.fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    if (needed > 0 && buffer == nullptr)
        return call.fail(FALSE, nt ? ERROR_INVALID_USER_BUFFER : ERROR_INVALID_PARAMETER);
    Strings writing;
    writing.end = reinterpret_cast<char *>(buffer) + needed;
    for (size_t i = 0; i < items.size(); i++) {
        Record record{};
        fill(record, items[i], writing);
        std::memcpy(buffer + i * sizeof(Record), &record, sizeof record);
    }
    *pcReturned = static_cast<DWORD>(items.size());
    return call.done(TRUE);
}

std::string in_directory(const std::string &directory, const std::string &name)
{
    return name.empty() ? name : directory + "\\" + file_name_of(name);
}

// A driver as an enumeration lists it.
struct ListedDriver {
    const DriverSetup *driver;
    const SpoolerEnvironment *environment;
};

// Drivers report their files with the full path in the driver directory;
// members without a value are NULL.
void fill(DRIVER_INFO_1A &record, const ListedDriver &listed, Strings &strings)
{
    record.pName = strings.put(listed.driver->name);
}

void fill(DRIVER_INFO_2A &record, const ListedDriver &listed, Strings &strings)
{
    const DriverSetup &driver = *listed.driver;
    const std::string &directory = listed.environment->driver_dir;
    record.cVersion = driver.version;
    record.pName = strings.put(driver.name);
    record.pEnvironment = strings.put(listed.environment->name);
    record.pDriverPath = strings.put(in_directory(directory, driver.driver_path));
    record.pDataFile = strings.put(in_directory(directory, driver.data_file));
    record.pConfigFile = strings.put(in_directory(directory, driver.config_file));
}

void fill(DRIVER_INFO_3A &record, const ListedDriver &listed, Strings &strings)
{
    DRIVER_INFO_2A leading{};
    fill(leading, listed, strings);
    std::memcpy(&record, &leading, sizeof leading);
    const DriverSetup &driver = *listed.driver;
    const std::string &directory = listed.environment->driver_dir;
    record.pHelpFile = strings.put_optional(in_directory(directory, driver.help_file));
    std::vector<std::string> dependents;
    for (const std::string &name : driver.dependent_files)
        dependents.push_back(in_directory(directory, name));
    record.pDependentFiles = strings.put_list(dependents);
    record.pMonitorName = strings.put_optional(driver.monitor);
    record.pDefaultDataType = strings.put_optional(driver.default_datatype);
}

// A local printer's server name is NULL; what was never set is empty.
void fill(PRINTER_INFO_2A &record, const Printer *const &printer, Strings &strings)
{
    const PrinterSetup &setup = printer->setup;
    record.pPrinterName = strings.put(setup.name);
    record.pShareName = strings.put(setup.share_name);
    record.pPortName = strings.put(setup.port);
    record.pDriverName = strings.put(setup.driver);
    record.pComment = strings.put(setup.comment);
    record.pLocation = strings.put(setup.location);
    record.pSepFile = strings.put(setup.sep_file);
    record.pPrintProcessor = strings.put(setup.print_processor);
    record.pDatatype = strings.put(setup.datatype);
    record.pParameters = strings.put(setup.parameters);
    record.Attributes = setup.attributes;
    record.Priority = setup.priority;
    record.DefaultPriority = setup.default_priority;
    record.StartTime = setup.start_time;
    record.UntilTime = setup.until_time;
    record.Status = printer->status;
}

void fill(PRINTER_INFO_4A &record, const Printer *const &printer, Strings &strings)
{
    record.pPrinterName = strings.put(printer->setup.name);
    record.Attributes = printer->setup.attributes;
}

void fill(PRINTPROCESSOR_INFO_1A &record, const std::string &name, Strings &strings)
{
    record.pName = strings.put(name);
}

void fill(PORT_INFO_1A &record, const std::string &name, Strings &strings)
{
    record.pName = strings.put(name);
}

template <typename Record, typename Item>
BOOL answer(Call &call, Machine &m, const std::vector<Item> &items, LPBYTE buffer, DWORD cbBuf,
            LPDWORD pcbNeeded, LPDWORD pcReturned, bool counted = true)
{
    return answer_records<Record>(
        call, m, items,
        [](Record &record, const Item &item, Strings &strings) { fill(record, item, strings); },
        buffer, cbBuf, pcbNeeded, pcReturned, counted);
}

// PRINTER_INFO_4 exists on the NT family only.
bool printer_level_known(Machine &m, DWORD level)
{
    return level == 2 || (level == 4 && nt_family(m));
}

template <typename Item>
BOOL answer_printers(Call &call, Machine &m, DWORD level, const std::vector<Item> &items,
                     LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned,
                     bool counted)
{
    if (level == 2)
        return answer<PRINTER_INFO_2A>(call, m, items, buffer, cbBuf, pcbNeeded, pcReturned,
                                       counted);
    return answer<PRINTER_INFO_4A>(call, m, items, buffer, cbBuf, pcbNeeded, pcReturned, counted);
}

// ---- Printer handles.

// Generic rights stand for the printer rights; without any the spooler
// grants read access.
DWORD printer_rights(DWORD desired)
{
    DWORD rights =
        desired & ~static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (desired & GENERIC_READ)
        rights |= PRINTER_READ;
    if (desired & GENERIC_WRITE)
        rights |= PRINTER_WRITE;
    if (desired & GENERIC_EXECUTE)
        rights |= PRINTER_EXECUTE;
    if (desired & GENERIC_ALL)
        rights |= PRINTER_ALL_ACCESS;
    return rights == 0 ? static_cast<DWORD>(PRINTER_READ) : rights;
}

// The printer behind an open handle. On the NT family a handle belongs to
// one run of the spooler service and is invalid after a restart.
Printer *handle_printer(Machine &m, HANDLE handle, PrinterHandle **found = nullptr)
{
    auto entry = objects().handles.find(handle);
    if (entry == objects().handles.end() || entry->second.spooler_starts != spooler_starts(m))
        return nullptr;
    if (found != nullptr)
        *found = &entry->second;
    return printer_by_id(entry->second.printer);
}

// Only the NT family checks the rights of a handle.
bool granted(Machine &m, const PrinterHandle &handle, DWORD right)
{
    return !nt_family(m) || (handle.access & right) == right;
}

HANDLE open_handle(Machine &m, const Printer &printer, DWORD access)
{
    HANDLE handle = m.new_handle();
    objects().handles[handle] = {printer.id, access, spooler_starts(m)};
    return handle;
}

std::string handle_text(HANDLE handle)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto entry = objects().handles.find(handle);
    Printer *printer =
        entry == objects().handles.end() ? nullptr : printer_by_id(entry->second.printer);
    if (printer == nullptr)
        return handle == nullptr ? std::string("NULL") : describe("%p", handle);
    return quoted(printer->setup.name.c_str());
}

// The checks AddPrinter and SetPrinter make of a PRINTER_INFO_2 record, in
// the spooler's order: print processor, port(s), driver, then the name,
// which no other printer may carry. AddPrinter needs a print processor;
// SetPrinter keeps the one it has when the record names none.
DWORD check_printer_record(Machine &m, const PRINTER_INFO_2A &info, const Printer *self)
{
    const SpoolerEnvironment &own = own_environment(m);
    if (info.pPrintProcessor == nullptr ? self == nullptr
                                        : find_processor(own, info.pPrintProcessor) == nullptr)
        return ERROR_UNKNOWN_PRINTPROCESSOR;
    if (info.pPortName == nullptr)
        return ERROR_UNKNOWN_PORT;
    for (const std::string &port : port_names(info.pPortName)) {
        if (!port_listed(port))
            return ERROR_UNKNOWN_PORT;
    }
    if (info.pDriverName == nullptr || find_driver(own, info.pDriverName) == nullptr)
        return ERROR_UNKNOWN_PRINTER_DRIVER;
    if (info.pPrinterName == nullptr || info.pPrinterName[0] == '\0' ||
        std::strpbrk(info.pPrinterName, "\\,") != nullptr)
        return ERROR_INVALID_PRINTER_NAME;
    const Printer *other = find_printer(info.pPrinterName);
    if (other != nullptr && other != self)
        return ERROR_PRINTER_ALREADY_EXISTS;
    return 0;
}

// A printer refers to the spooler's driver, print processor and ports,
// and reports them by their own names, whatever case the record used.
void apply_printer_record(Machine &m, PrinterSetup &setup, const PRINTER_INFO_2A &info)
{
    const SpoolerEnvironment &own = own_environment(m);
    setup.name = info.pPrinterName;
    setup.port.clear();
    for (const std::string &port : port_names(info.pPortName))
        setup.port += (setup.port.empty() ? "" : ",") + listed_port(port);
    setup.driver = find_driver(own, info.pDriverName)->name;
    if (info.pPrintProcessor != nullptr)
        setup.print_processor = find_processor(own, info.pPrintProcessor)->name;
    if (info.pDatatype != nullptr)
        setup.datatype = info.pDatatype;
    setup.share_name = text_or_empty(info.pShareName);
    setup.comment = text_or_empty(info.pComment);
    setup.location = text_or_empty(info.pLocation);
    setup.sep_file = text_or_empty(info.pSepFile);
    setup.parameters = text_or_empty(info.pParameters);
    setup.attributes = info.Attributes;
    setup.priority = info.Priority;
    setup.default_priority = info.DefaultPriority;
    setup.start_time = info.StartTime;
    setup.until_time = info.UntilTime;
}

// A library the spooler loads needs its own libraries: the loader looks for
// them in the library's directory, the system directory and the Windows
// directory. A missing one fails the load with ERROR_MOD_NOT_FOUND on the
// NT family and ERROR_DLL_NOT_FOUND on the 95 family.
DWORD load_dependencies(Machine &m, const std::string &directory, const std::string &library,
                        int depth = 0)
{
    if (depth > 8)
        return 0;
    for (const auto &dependency : objects().dependencies) {
        if (!same_name(dependency.first, library))
            continue;
        const std::string &needed = dependency.second;
        if (!file_in(directory, needed) && !file_in(m.setup.system_dir, needed) &&
            !file_in(m.setup.windows_dir, needed))
            return nt_family(m) ? ERROR_MOD_NOT_FOUND : ERROR_DLL_NOT_FOUND;
        DWORD error = load_dependencies(m, directory, needed, depth + 1);
        if (error != 0)
            return error;
    }
    return 0;
}

const SpoolerEnvironment &environment_named(Machine &m, const std::string &name)
{
    const SpoolerEnvironment *environment = winsim::find_environment(m, name.c_str());
    if (environment == nullptr) {
        std::fprintf(stderr, "winsim: the spooler has no environment \"%s\"\n", name.c_str());
        std::abort();
    }
    return *environment;
}

} // namespace

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

// ---- Print processors.

// Lists the print processors of the environment; only level 1 exists.
extern "C" BOOL WINAPI EnumPrintProcessorsA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                            LPBYTE pPrintProcessorInfo, DWORD cbBuf,
                                            LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Call call("EnumPrintProcessorsA", describe("%s, %s, %u, size %u", quoted(pName).c_str(),
                                               quoted(pEnvironment).c_str(), Level, cbBuf));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment *environment = nullptr;
    if (DWORD error = reach_environment(m, pName, pEnvironment, &environment))
        return call.fail(FALSE, error);
    if (Level != 1)
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    std::vector<std::string> names;
    for (const Processor &processor : objects().processors) {
        if (in_environment(processor.environment, *environment))
            names.push_back(processor.name);
    }
    return answer<PRINTPROCESSOR_INFO_1A>(call, m, names, pPrintProcessorInfo, cbBuf, pcbNeeded,
                                          pcReturned);
}

// The library (a file name) must already be in the environment's print
// processor directory; the spooler loads it, so the libraries it needs
// must be found too. A name already installed is refused, on both
// families.
extern "C" BOOL WINAPI AddPrintProcessorA(LPSTR pName, LPSTR pEnvironment, LPSTR pPathName,
                                          LPSTR pPrintProcessorName)
{
    Call call("AddPrintProcessorA",
              describe("%s, %s, %s, %s", quoted(pName).c_str(), quoted(pEnvironment).c_str(),
                       quoted(pPathName).c_str(), quoted(pPrintProcessorName).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment *environment = nullptr;
    if (DWORD error = reach_environment(m, pName, pEnvironment, &environment))
        return call.fail(FALSE, error);
    if (pPathName == nullptr || pPathName[0] == '\0' || pPrintProcessorName == nullptr ||
        pPrintProcessorName[0] == '\0')
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    std::string dll = file_name_of(pPathName);
    if (!file_in(environment->print_processor_dir, dll))
        return call.fail(FALSE, ERROR_MOD_NOT_FOUND);
    if (environment == &own_environment(m)) {
        if (DWORD error = load_dependencies(m, environment->print_processor_dir, dll))
            return call.fail(FALSE, error);
    }
    if (find_processor(*environment, pPrintProcessorName) != nullptr)
        return call.fail(FALSE, ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED);
    objects().processors.push_back({environment->name, pPrintProcessorName, dll});
    return call.done(TRUE);
}

// A print processor that a printer uses cannot go (ERROR_CAN_NOT_COMPLETE);
// its library stays in the directory.
extern "C" BOOL WINAPI DeletePrintProcessorA(LPSTR pName, LPSTR pEnvironment,
                                             LPSTR pPrintProcessorName)
{
    Call call("DeletePrintProcessorA",
              describe("%s, %s, %s", quoted(pName).c_str(), quoted(pEnvironment).c_str(),
                       quoted(pPrintProcessorName).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment *environment = nullptr;
    if (DWORD error = reach_environment(m, pName, pEnvironment, &environment))
        return call.fail(FALSE, error);
    settle(m);
    Processor *processor = pPrintProcessorName == nullptr
                               ? nullptr
                               : find_processor(*environment, pPrintProcessorName);
    if (processor == nullptr)
        return call.fail(FALSE, ERROR_UNKNOWN_PRINTPROCESSOR);
    if (used_by_printer(m, *environment, &PrinterSetup::print_processor, processor->name))
        return call.fail(FALSE, ERROR_CAN_NOT_COMPLETE);
    std::vector<Processor> &all = objects().processors;
    all.erase(all.begin() + (processor - all.data()));
    return call.done(TRUE);
}

// ---- Drivers.

// Levels 1 to 3 of the environment's drivers.
extern "C" BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                           LPBYTE pDriverInfo, DWORD cbBuf, LPDWORD pcbNeeded,
                                           LPDWORD pcReturned)
{
    Call call("EnumPrinterDriversA", describe("%s, %s, %u, size %u", quoted(pName).c_str(),
                                              quoted(pEnvironment).c_str(), Level, cbBuf));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment *environment = nullptr;
    if (DWORD error = reach_environment(m, pName, pEnvironment, &environment))
        return call.fail(FALSE, error);
    std::vector<ListedDriver> listed;
    for (const DriverSetup &driver : objects().drivers) {
        if (in_environment(driver.environment, *environment))
            listed.push_back({&driver, environment});
    }
    switch (Level) {
    case 1:
        return answer<DRIVER_INFO_1A>(call, m, listed, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
    case 2:
        return answer<DRIVER_INFO_2A>(call, m, listed, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
    case 3:
        return answer<DRIVER_INFO_3A>(call, m, listed, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
    }
    return call.fail(FALSE, ERROR_INVALID_LEVEL);
}

// Installs the driver of a DRIVER_INFO_2 or _3 record into the record's
// environment (NULL: the machine's own). Every file it names must already
// be in that environment's driver directory (ERROR_FILE_NOT_FOUND). An
// installed driver of the name is updated.
// The record as the caller gave it, every text quoted or NULL: the driver
// the spooler keeps makes a null member and an empty one alike, the caller's
// record does not.
static std::string journaled_driver_record(DWORD level, const DRIVER_INFO_3A *info)
{
    if (info == nullptr)
        return "NULL";
    std::string text = describe("{%lu, %s, %s, %s, %s, %s", (unsigned long)info->cVersion,
                                quoted(info->pName).c_str(), quoted(info->pEnvironment).c_str(),
                                quoted(info->pDriverPath).c_str(), quoted(info->pDataFile).c_str(),
                                quoted(info->pConfigFile).c_str());
    if (level == 3) {
        std::string dependents = info->pDependentFiles == nullptr ? "NULL" : "[";
        for (const char *file = info->pDependentFiles; file != nullptr && *file != '\0';
             file += std::strlen(file) + 1)
            dependents += std::string(dependents.size() > 1 ? " " : "") + file;
        if (info->pDependentFiles != nullptr)
            dependents += "]";
        text += ", " + quoted(info->pHelpFile) + ", " + dependents + ", " +
                quoted(info->pMonitorName) + ", " + quoted(info->pDefaultDataType);
    }
    return text + "}";
}

extern "C" BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo)
{
    const DRIVER_INFO_3A *info = reinterpret_cast<const DRIVER_INFO_3A *>(pDriverInfo);
    Call call("AddPrinterDriverA", quoted(pName) + ", " + std::to_string(Level) + ", " +
                                       journaled_driver_record(Level, info));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, pName))
        return call.fail(FALSE, error);
    if (Level != 2 && Level != 3)
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    if (info == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    const SpoolerEnvironment *environment = winsim::find_environment(m, info->pEnvironment);
    if (environment == nullptr)
        return call.fail(FALSE, ERROR_INVALID_ENVIRONMENT);
    auto missing = [](const char *text) { return text == nullptr || text[0] == '\0'; };
    if (missing(info->pName) || missing(info->pDriverPath) || missing(info->pDataFile) ||
        missing(info->pConfigFile))
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    DriverSetup driver;
    driver.environment = environment->name;
    driver.name = info->pName;
    driver.version = info->cVersion;
    driver.driver_path = file_name_of(info->pDriverPath);
    driver.data_file = file_name_of(info->pDataFile);
    driver.config_file = file_name_of(info->pConfigFile);
    if (Level == 3) {
        driver.help_file = file_name_of(text_or_empty(info->pHelpFile));
        for (const char *file = info->pDependentFiles; file != nullptr && *file != '\0';
             file += std::strlen(file) + 1)
            driver.dependent_files.push_back(file_name_of(file));
        driver.monitor = text_or_empty(info->pMonitorName);
        driver.default_datatype = text_or_empty(info->pDefaultDataType);
    }
    for (const std::string &file : driver_files(driver)) {
        if (!file_in(environment->driver_dir, file))
            return call.fail(FALSE, ERROR_FILE_NOT_FOUND);
    }
    if (DriverSetup *existing = find_driver(*environment, info->pName))
        *existing = driver;
    else
        objects().drivers.push_back(driver);
    return call.done(TRUE);
}

// Removes the driver from the list; its files stay. A driver that a
// printer uses is refused.
extern "C" BOOL WINAPI DeletePrinterDriverA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName)
{
    Call call("DeletePrinterDriverA",
              describe("%s, %s, %s", quoted(pName).c_str(), quoted(pEnvironment).c_str(),
                       quoted(pDriverName).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const SpoolerEnvironment *environment = nullptr;
    if (DWORD error = reach_environment(m, pName, pEnvironment, &environment))
        return call.fail(FALSE, error);
    settle(m);
    DriverSetup *driver = pDriverName == nullptr ? nullptr : find_driver(*environment, pDriverName);
    if (driver == nullptr)
        return call.fail(FALSE, ERROR_UNKNOWN_PRINTER_DRIVER);
    if (used_by_printer(m, *environment, &PrinterSetup::driver, driver->name))
        return call.fail(FALSE, ERROR_PRINTER_DRIVER_IN_USE);
    std::vector<DriverSetup> &all = objects().drivers;
    all.erase(all.begin() + (driver - all.data()));
    return call.done(TRUE);
}

// Windows 2000's extension: with DPD_DELETE_UNUSED_FILES the driver's files
// that no remaining driver of the environment names go from the driver
// directory too (a file that cannot be deleted stays); with
// DPD_DELETE_ALL_FILES the driver goes only if all its files can, that is
// no other driver names one; DPD_DELETE_SPECIFIC_VERSION deletes the driver
// only when it has that version. Earlier spoolers lack the function: a
// program that imports it does not load there.
extern "C" BOOL WINAPI DeletePrinterDriverExA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName,
                                              DWORD dwDeleteFlag, DWORD dwVersionFlag)
{
    Call call("DeletePrinterDriverExA",
              describe("%s, %s, %s, 0x%x, %u", quoted(pName).c_str(), quoted(pEnvironment).c_str(),
                       quoted(pDriverName).c_str(), dwDeleteFlag, dwVersionFlag));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (!nt_family(m) || m.setup.version.major < 5)
        return call.fail(FALSE, ERROR_CALL_NOT_IMPLEMENTED);
    const SpoolerEnvironment *environment = nullptr;
    if (DWORD error = reach_environment(m, pName, pEnvironment, &environment))
        return call.fail(FALSE, error);
    settle(m);
    DriverSetup *driver = pDriverName == nullptr ? nullptr : find_driver(*environment, pDriverName);
    if (driver == nullptr ||
        ((dwDeleteFlag & DPD_DELETE_SPECIFIC_VERSION) && driver->version != dwVersionFlag))
        return call.fail(FALSE, ERROR_UNKNOWN_PRINTER_DRIVER);
    if (used_by_printer(m, *environment, &PrinterSetup::driver, driver->name))
        return call.fail(FALSE, ERROR_PRINTER_DRIVER_IN_USE);
    std::vector<DriverSetup> &all = objects().drivers;
    auto named_elsewhere = [&](const std::string &file) {
        for (const DriverSetup &other : all) {
            if (&other == driver || !in_environment(other.environment, *environment))
                continue;
            for (const std::string &name : driver_files(other)) {
                if (same_name(name, file))
                    return true;
            }
        }
        return false;
    };
    std::vector<std::string> files = driver_files(*driver);
    if (dwDeleteFlag & DPD_DELETE_ALL_FILES) {
        for (const std::string &file : files) {
            if (named_elsewhere(file))
                return call.fail(FALSE, ERROR_PRINTER_DRIVER_IN_USE);
        }
    }
    std::vector<std::string> unused;
    for (const std::string &file : files) {
        if (!named_elsewhere(file))
            unused.push_back(file);
    }
    all.erase(all.begin() + (driver - all.data()));
    if (dwDeleteFlag & (DPD_DELETE_UNUSED_FILES | DPD_DELETE_ALL_FILES)) {
        for (const std::string &file : unused)
            delete_file_quietly(m, environment->driver_dir + "\\" + file);
    }
    return call.done(TRUE);
}

// ---- Printers.

// The local printers (PRINTER_ENUM_LOCAL; PRINTER_ENUM_NAME without a
// name), of level 2 or (NT family) 4; PRINTER_ENUM_SHARED keeps the shared
// ones. There are no connections; a named server cannot be reached.
extern "C" BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum,
                                     DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Call call("EnumPrintersA",
              describe("0x%x, %s, %u, size %u", Flags, quoted(Name).c_str(), Level, cbBuf));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    const bool named = (Flags & PRINTER_ENUM_NAME) && Name != nullptr && Name[0] != '\0';
    if (DWORD error = reach_spooler(m, named ? Name : nullptr))
        return call.fail(FALSE, error);
    if (!printer_level_known(m, Level))
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    settle(m);
    std::vector<const Printer *> listed;
    if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) {
        for (const Printer &printer : objects().printers) {
            if (printer.deleted)
                continue;
            if ((Flags & PRINTER_ENUM_SHARED) &&
                (printer.setup.attributes & PRINTER_ATTRIBUTE_SHARED) == 0)
                continue;
            listed.push_back(&printer);
        }
    }
    return answer_printers(call, m, Level, listed, pPrinterEnum, cbBuf, pcbNeeded, pcReturned,
                           true);
}

// A printer by name, without regard to case. Only the NT family checks
// rights later; no server handles are modelled.
extern "C" BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter,
                                    LPPRINTER_DEFAULTSA pDefault)
{
    Call call("OpenPrinterA",
              describe("%s, 0x%x", quoted(pPrinterName).c_str(),
                       pDefault == nullptr ? 0u : static_cast<unsigned>(pDefault->DesiredAccess)));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, nullptr))
        return call.fail(FALSE, error);
    if (phPrinter == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    settle(m);
    Printer *printer = pPrinterName == nullptr ? nullptr : find_printer(pPrinterName);
    if (printer == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PRINTER_NAME);
    *phPrinter =
        open_handle(m, *printer, printer_rights(pDefault == nullptr ? 0 : pDefault->DesiredAccess));
    return call.done(TRUE);
}

// Closes the handle; a deleted printer goes with its last handle. With the
// NT family's spooler down the call fails, and the handle is gone all the
// same.
extern "C" BOOL WINAPI ClosePrinter(HANDLE hPrinter)
{
    Call call("ClosePrinter", handle_text(hPrinter));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto entry = objects().handles.find(hPrinter);
    if (entry == objects().handles.end())
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    bool current = entry->second.spooler_starts == spooler_starts(m);
    objects().handles.erase(entry);
    settle(m);
    if (DWORD error = reach_spooler(m, nullptr))
        return call.fail(FALSE, error);
    if (!current)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    return call.done(TRUE);
}

// The printer is no longer listed nor opened by name; handles that hold it
// go on working until they are closed. The NT family asks for the DELETE
// right.
extern "C" BOOL WINAPI DeletePrinter(HANDLE hPrinter)
{
    Call call("DeletePrinter", handle_text(hPrinter));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, nullptr))
        return call.fail(FALSE, error);
    PrinterHandle *handle = nullptr;
    Printer *printer = handle_printer(m, hPrinter, &handle);
    if (printer == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (!granted(m, *handle, DELETE))
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    printer->deleted = true;
    return call.done(TRUE);
}

// Adds a local printer from a PRINTER_INFO_2 record (level 2 only) and
// returns a handle with all rights.
extern "C" HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter)
{
    const PRINTER_INFO_2A *info = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
    Call call("AddPrinterA",
              describe("%s, %u, %s", quoted(pName).c_str(), Level,
                       info == nullptr ? "NULL" : quoted(info->pPrinterName).c_str()));
    const HANDLE none = nullptr;
    if (call.faulted())
        return call.fail_injected(none);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, pName))
        return call.fail(none, error);
    if (Level != 2)
        return call.fail(none, ERROR_INVALID_LEVEL);
    if (info == nullptr)
        return call.fail(none, ERROR_INVALID_PARAMETER);
    settle(m);
    if (DWORD error = check_printer_record(m, *info, nullptr))
        return call.fail(none, error);
    Printer added;
    added.id = objects().next_printer++;
    apply_printer_record(m, added.setup, *info);
    objects().printers.push_back(added);
    return call.done(open_handle(m, objects().printers.back(), PRINTER_ALL_ACCESS));
}

extern "C" BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                                   LPDWORD pcbNeeded)
{
    Call call("GetPrinterA",
              describe("%s, %u, size %u", handle_text(hPrinter).c_str(), Level, cbBuf));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, nullptr))
        return call.fail(FALSE, error);
    Printer *printer = handle_printer(m, hPrinter);
    if (printer == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (!printer_level_known(m, Level))
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    std::vector<const Printer *> one = {printer};
    return answer_printers(call, m, Level, one, pPrinter, cbBuf, pcbNeeded, nullptr, false);
}

// Level 2 sets the printer's record: the checks of AddPrinter apply, and a
// new name renames it. Level 0 carries the pause, resume, purge and status
// commands; a level with a command is refused. The NT family asks for the
// right to administer the printer.
extern "C" BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command)
{
    Call call("SetPrinterA", describe("%s, %u, %u", handle_text(hPrinter).c_str(), Level, Command));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, nullptr))
        return call.fail(FALSE, error);
    PrinterHandle *handle = nullptr;
    Printer *printer = handle_printer(m, hPrinter, &handle);
    if (printer == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (Level != 0 && Command != 0)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    if (Level != 0 && Level != 2)
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    if (!granted(m, *handle, PRINTER_ACCESS_ADMINISTER))
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    if (Level == 0) {
        switch (Command) {
        case PRINTER_CONTROL_PAUSE:
            printer->status |= PRINTER_STATUS_PAUSED;
            break;
        case PRINTER_CONTROL_RESUME:
            printer->status &= ~static_cast<DWORD>(PRINTER_STATUS_PAUSED);
            break;
        case PRINTER_CONTROL_PURGE:
            break;
        case PRINTER_CONTROL_SET_STATUS:
            if (pPrinter == nullptr)
                return call.fail(FALSE, ERROR_INVALID_PARAMETER);
            std::memcpy(&printer->status, pPrinter, sizeof printer->status);
            break;
        default:
            return call.fail(FALSE, ERROR_INVALID_PARAMETER);
        }
        return call.done(TRUE);
    }
    if (pPrinter == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    const PRINTER_INFO_2A &info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
    settle(m);
    if (DWORD error = check_printer_record(m, info, printer))
        return call.fail(FALSE, error);
    apply_printer_record(m, printer->setup, info);
    return call.done(TRUE);
}

// ---- Ports.

// The ports the spooler lists (level 1; level 2 is not modelled).
extern "C" BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf,
                                  LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Call call("EnumPortsA", describe("%s, %u, size %u", quoted(pName).c_str(), Level, cbBuf));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (DWORD error = reach_spooler(m, pName))
        return call.fail(FALSE, error);
    if (Level != 1)
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    settle(m);
    std::vector<std::string> listed = objects().ports;
    return answer<PORT_INFO_1A>(call, m, listed, pPorts, cbBuf, pcbNeeded, pcReturned);
}
