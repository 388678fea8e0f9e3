// winsim: the spooler's printer drivers (winspool.drv).
#include "spooler_internal.h"

#include "paths.h"

#include <algorithm>
#include <cstring>

using namespace winsim::spooler_internal;

// ---- Drivers.

// Levels 1 to 3 of the environment's drivers.
extern "C" BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                           LPBYTE pDriverInfo, DWORD cbBuf, LPDWORD pcbNeeded,
                                           LPDWORD pcReturned)
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

// The caller's DRIVER_INFO_2 or _3 record as AddPrinterDriverA's journal
// line shows it, every text quoted or NULL: the driver the spooler keeps
// makes a null member and an empty one alike, the caller's record does not.
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

// Installs the driver of a DRIVER_INFO_2 or _3 record into the record's
// environment (NULL: the machine's own). Every file it names must already
// be in that environment's driver directory (ERROR_FILE_NOT_FOUND). An
// installed driver of the name is updated.
extern "C" BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo)
{
    const DRIVER_INFO_3A *info = reinterpret_cast<const DRIVER_INFO_3A *>(pDriverInfo);
    Call call(__func__, quoted(pName) + ", " + std::to_string(Level) + ", " +
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
    Call call(__func__, describe("%s, %s, %s", quoted(pName).c_str(), quoted(pEnvironment).c_str(),
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
    Call call(__func__,
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
