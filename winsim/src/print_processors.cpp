// winsim: the spooler's print processors (winspool.drv).
#include "spooler_internal.h"

#include "paths.h"

#include <algorithm>
#include <cstring>

using namespace winsim::spooler_internal;

// ---- Print processors.

// Lists the print processors of the environment; only level 1 exists.
extern "C" BOOL WINAPI EnumPrintProcessorsA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                            LPBYTE pPrintProcessorInfo, DWORD cbBuf,
                                            LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    Call call(__func__, describe("%s, %s, %u, size %u", quoted(pName).c_str(),
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
    Call call(__func__,
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
    Call call(__func__, describe("%s, %s, %s", quoted(pName).c_str(), quoted(pEnvironment).c_str(),
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
