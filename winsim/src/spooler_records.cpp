// winsim: the records of the spooler's enumerations and GetPrinter.
#include "spooler_internal.h"

#include "paths.h"

#include <cstdio>
#include <cstdlib>

namespace winsim::spooler_internal
{

std::string in_directory(const std::string &directory, const std::string &name)
{
    return name.empty() ? name : directory + "\\" + file_name_of(name);
}

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

bool printer_level_known(Machine &m, DWORD level)
{
    return level == 2 || (level == 4 && nt_family(m));
}

} // namespace winsim::spooler_internal
