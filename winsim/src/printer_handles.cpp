// winsim: the spooler's printer handles, the checks of printer records and
// the libraries a spooler library needs.
#include "spooler_internal.h"

#include "paths.h"

#include <cstdio>
#include <cstdlib>

namespace winsim::spooler_internal
{

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
Printer *handle_printer(Machine &m, HANDLE handle, PrinterHandle **found)
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
                        int depth)
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

} // namespace winsim::spooler_internal
