// winsim: the print spooler (winspool.drv): its environments and their
// directories, and the queries for them.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <cstring>

using winsim::find_environment;
using winsim::SpoolerEnvironment;

namespace {

enum class Directory { driver, print_processor };

// The NT family keeps the spooler's directories per environment under the
// system directory; NT 4.0 added "Windows 4.0" to serve the 95 family's
// drivers. The 95 family knows only its own environment and keeps both in
// the system directory.
std::vector<SpoolerEnvironment> environments_of(const winsim::MachineSetup &setup)
{
    const std::string &system = setup.system_dir;
    if (setup.version.platform_id != VER_PLATFORM_WIN32_NT)
        return {{"Windows 4.0", system, system}};
    std::vector<SpoolerEnvironment> known = {{"Windows NT x86",
                                              system + "\\spool\\drivers\\w32x86",
                                              system + "\\spool\\prtprocs\\w32x86"}};
    if (setup.version.major >= 4)
        known.push_back({"Windows 4.0", system + "\\spool\\drivers\\win40",
                         system + "\\spool\\prtprocs\\win40"});
    return known;
}

// The common rules of the directory queries, as the Windows versions
// answer them:
// - on the NT family the spooler is a service reached by RPC: while it
//   does not run, every query fails with RPC_S_SERVER_UNAVAILABLE;
// - only the local server ("" or NULL) is modelled; another cannot be
//   reached (NT: RPC_S_SERVER_UNAVAILABLE, 95 family: ERROR_INVALID_PARAMETER);
// - an unknown environment gives ERROR_INVALID_ENVIRONMENT;
// - the NT family takes only level 1 (ERROR_INVALID_LEVEL), the 95 family
//   does not look at the level;
// - the path and its terminator must fit in cbBuf, else
//   ERROR_INSUFFICIENT_BUFFER; *pcbNeeded is the size with terminator,
//   on success and on a short buffer alike.
BOOL query_directory(Call &call, Directory which, LPSTR pName, LPSTR pEnvironment, DWORD Level,
                     LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded)
{
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    bool nt = m.setup.version.platform_id == VER_PLATFORM_WIN32_NT;
    if (nt) {
        winsim::Service *spooler = winsim::find_service(m, "Spooler");
        if (spooler == nullptr || spooler->state != SERVICE_RUNNING)
            return call.fail(FALSE, RPC_S_SERVER_UNAVAILABLE);
    }
    if (pName != nullptr && pName[0] != '\0')
        return call.fail(FALSE, nt ? RPC_S_SERVER_UNAVAILABLE : ERROR_INVALID_PARAMETER);
    const SpoolerEnvironment *environment = find_environment(m, pEnvironment);
    if (environment == nullptr)
        return call.fail(FALSE, ERROR_INVALID_ENVIRONMENT);
    if (nt && Level != 1)
        return call.fail(FALSE, ERROR_INVALID_LEVEL);
    // The NT family's RPC refuses a NULL size pointer; the 95 family then
    // just does not report the size.
    DWORD unreported;
    if (pcbNeeded == nullptr) {
        if (nt)
            return call.fail(FALSE, RPC_X_NULL_REF_POINTER);
        pcbNeeded = &unreported;
    }
    const std::string &path = which == Directory::driver ? environment->driver_dir
                                                         : environment->print_processor_dir;
    DWORD size = static_cast<DWORD>(path.size() + 1);
    *pcbNeeded = size;
    if (size > cbBuf)
        return call.fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    // A size without a buffer behind it.
    if (buffer == nullptr)
        return call.fail(FALSE, nt ? ERROR_INVALID_USER_BUFFER : ERROR_INVALID_PARAMETER);
    std::memcpy(buffer, path.c_str(), size);
    return call.done(TRUE);
}

} // namespace

namespace winsim {

const SpoolerEnvironment *find_environment(Machine &m, const char *name)
{
    if (name == nullptr || name[0] == '\0')
        return &m.spooler.environments.front();
    for (const SpoolerEnvironment &environment : m.spooler.environments) {
        if (same_name(environment.name, name))
            return &environment;
    }
    return nullptr;
}

void boot_spooler(Machine &m)
{
    m.spooler = Spooler();
    m.spooler.environments = environments_of(m.setup);
    for (const SpoolerEnvironment &environment : m.spooler.environments) {
        make_directory(environment.driver_dir);
        make_directory(environment.print_processor_dir);
    }
}

} // namespace winsim

extern "C" BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                                  LPBYTE pDriverDirectory, DWORD cbBuf,
                                                  LPDWORD pcbNeeded)
{
    Call call(__func__, describe("%s, %s, %u, size %u", quoted(pName).c_str(),
                                 quoted(pEnvironment).c_str(), Level, cbBuf));
    return query_directory(call, Directory::driver, pName, pEnvironment, Level, pDriverDirectory,
                           cbBuf, pcbNeeded);
}

extern "C" BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                                   LPBYTE pPrintProcessorInfo, DWORD cbBuf,
                                                   LPDWORD pcbNeeded)
{
    Call call(__func__, describe("%s, %s, %u, size %u", quoted(pName).c_str(),
                                 quoted(pEnvironment).c_str(), Level, cbBuf));
    return query_directory(call, Directory::print_processor, pName, pEnvironment, Level,
                           pPrintProcessorInfo, cbBuf, pcbNeeded);
}
