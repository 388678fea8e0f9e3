// winsim internals: the spooler's objects and the helpers its API families
// share (print processors, drivers, printers, ports); each is described where
// it is defined.
#ifndef WINSIM_SPOOLER_INTERNAL_H
#define WINSIM_SPOOLER_INTERNAL_H

#include "machine_state.h"
#include "winsim_internal.h"

#include <winsim/spooler.h>
#include <winspool.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

using winsim::DriverSetup;
using winsim::PrinterSetup;
using winsim::SpoolerEnvironment;

namespace winsim::spooler_internal
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

Objects &objects();
bool nt_family(const Machine &m);
int spooler_starts(const Machine &m);
bool spooler_running(Machine &m);
DWORD reach_spooler(Machine &m, const char *server);
DWORD reach_environment(Machine &m, const char *server, const char *name,
                        const SpoolerEnvironment **environment);
const SpoolerEnvironment &own_environment(Machine &m);
bool in_environment(const std::string &environment, const SpoolerEnvironment &wanted);
std::string file_name_of(const std::string &path);
bool file_in(const std::string &directory, const std::string &name);
std::string text_or_empty(const char *text);
bool held(Machine &m, int printer);
void settle(Machine &m);
Processor *find_processor(const SpoolerEnvironment &environment, const char *name);
DriverSetup *find_driver(const SpoolerEnvironment &environment, const char *name);
Printer *find_printer(const char *name);
Printer *printer_by_id(int id);
std::string listed_port(const std::string &name);
bool port_listed(const std::string &name);
std::vector<std::string> port_names(const std::string &list);
bool used_by_printer(Machine &m, const SpoolerEnvironment &environment,
                     const std::string PrinterSetup::*field, const std::string &name);
std::vector<std::string> driver_files(const DriverSetup &driver);
void delete_file_quietly(Machine &m, const std::string &path);

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

std::string in_directory(const std::string &directory, const std::string &name);

// A driver as an enumeration lists it.
struct ListedDriver {
    const DriverSetup *driver;
    const SpoolerEnvironment *environment;
};

void fill(DRIVER_INFO_1A &record, const ListedDriver &listed, Strings &strings);
void fill(DRIVER_INFO_2A &record, const ListedDriver &listed, Strings &strings);
void fill(DRIVER_INFO_3A &record, const ListedDriver &listed, Strings &strings);
void fill(PRINTER_INFO_2A &record, const Printer *const &printer, Strings &strings);
void fill(PRINTER_INFO_4A &record, const Printer *const &printer, Strings &strings);
void fill(PRINTPROCESSOR_INFO_1A &record, const std::string &name, Strings &strings);
void fill(PORT_INFO_1A &record, const std::string &name, Strings &strings);

template <typename Record, typename Item>
BOOL answer(Call &call, Machine &m, const std::vector<Item> &items, LPBYTE buffer, DWORD cbBuf,
            LPDWORD pcbNeeded, LPDWORD pcReturned, bool counted = true)
{
    return answer_records<Record>(
        call, m, items,
        [](Record &record, const Item &item, Strings &strings) { fill(record, item, strings); },
        buffer, cbBuf, pcbNeeded, pcReturned, counted);
}


bool printer_level_known(Machine &m, DWORD level);

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

DWORD printer_rights(DWORD desired);
Printer *handle_printer(Machine &m, HANDLE handle, PrinterHandle **found = nullptr);
bool granted(Machine &m, const PrinterHandle &handle, DWORD right);
HANDLE open_handle(Machine &m, const Printer &printer, DWORD access);
std::string handle_text(HANDLE handle);
DWORD check_printer_record(Machine &m, const PRINTER_INFO_2A &info, const Printer *self);
void apply_printer_record(Machine &m, PrinterSetup &setup, const PRINTER_INFO_2A &info);
DWORD load_dependencies(Machine &m, const std::string &directory, const std::string &library,
                        int depth = 0);
const SpoolerEnvironment &environment_named(Machine &m, const std::string &name);

} // namespace winsim::spooler_internal

#endif
