// winsim: the spooler's printers (winspool.drv).
#include "spooler_internal.h"

#include "paths.h"

#include <algorithm>
#include <cstring>

using namespace winsim::spooler_internal;

// ---- Printers.

// The local printers (PRINTER_ENUM_LOCAL; PRINTER_ENUM_NAME without a
// name), of level 2 or (NT family) 4; PRINTER_ENUM_SHARED keeps the shared
// ones. There are no connections; a named server cannot be reached.
extern "C" BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum,
                                     DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Call call(__func__,
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
    Call call(__func__,
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
    Call call(__func__, handle_text(hPrinter));
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
    Call call(__func__, handle_text(hPrinter));
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
    Call call(__func__, describe("%s, %u, %s", quoted(pName).c_str(), Level,
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
    Call call(__func__, describe("%s, %u, size %u", handle_text(hPrinter).c_str(), Level, cbBuf));
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
    Call call(__func__, describe("%s, %u, %u", handle_text(hPrinter).c_str(), Level, Command));
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
