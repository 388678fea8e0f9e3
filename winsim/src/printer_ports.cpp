// winsim: the spooler's ports (winspool.drv).
#include "spooler_internal.h"

#include "paths.h"

#include <algorithm>
#include <cstring>

using namespace winsim::spooler_internal;

// ---- Ports.

// The ports the spooler lists (level 1; level 2 is not modelled).
extern "C" BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf,
                                  LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Call call(__func__, describe("%s, %u, size %u", quoted(pName).c_str(), Level, cbBuf));
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
