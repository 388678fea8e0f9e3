// The spooler's print processors, drivers, printers and ports: the buffer
// protocol of the lists, names without regard to case, the refusals of the
// add and delete calls, the NT family's stopped spooler, and ports that
// come from win.ini.
#include "support/machine_fixture.h"

#include <windows.h>
#include <winsim/spooler.h>
#include <winspool.h>

#include <cstring>
#include <functional>

namespace
{

using Enumerate = std::function<BOOL(LPBYTE, DWORD, LPDWORD, LPDWORD)>;

// One list taken as programs take it: asked for its size with no buffer,
// then read into a buffer of exactly that size.
struct Listing {
    DWORD error = 0;
    DWORD needed = 0;
    DWORD count = 0;
    std::vector<BYTE> buffer;

    template <typename Record> const Record &at(DWORD i) const
    {
        return reinterpret_cast<const Record *>(buffer.data())[i];
    }
    // The string lies behind the records and inside the buffer.
    template <typename Record> bool holds(const char *text) const
    {
        const char *start = reinterpret_cast<const char *>(buffer.data()) + count * sizeof(Record);
        const char *end = reinterpret_cast<const char *>(buffer.data()) + buffer.size();
        return text != nullptr && text >= start && text + std::strlen(text) < end;
    }
};

Listing take(const Enumerate &enumerate)
{
    Listing listing;
    DWORD count = 99;
    SetLastError(0xdeadbeef);
    if (enumerate(nullptr, 0, &listing.needed, &count)) {
        listing.count = count;
        return listing;
    }
    listing.error = GetLastError();
    if (listing.error != ERROR_INSUFFICIENT_BUFFER)
        return listing;
    EXPECT_EQ(0u, count);
    // One byte short is still too short.
    std::vector<BYTE> short_buffer(listing.needed - 1);
    DWORD needed = 0;
    EXPECT_FALSE(enumerate(short_buffer.data(), listing.needed - 1, &needed, &count));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(listing.needed, needed);
    listing.buffer.assign(listing.needed, 0xcc);
    listing.error = enumerate(listing.buffer.data(), listing.needed, &needed, &listing.count)
                        ? 0
                        : GetLastError();
    return listing;
}

Enumerate processors(const char *environment, DWORD level = 1)
{
    return [=](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
        return EnumPrintProcessorsA(nullptr, const_cast<char *>(environment), level, b, s, n, c);
    };
}

Enumerate drivers(const char *environment, DWORD level = 1)
{
    return [=](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
        return EnumPrinterDriversA(nullptr, const_cast<char *>(environment), level, b, s, n, c);
    };
}

Enumerate local_printers(DWORD level = 2)
{
    return [=](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
        return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, b, s, n, c);
    };
}

Enumerate port_list(const char *server = nullptr)
{
    return [=](LPBYTE b, DWORD s, LPDWORD n, LPDWORD c) {
        return EnumPortsA(const_cast<char *>(server), 1, b, s, n, c);
    };
}

// The names of a level-1 list (every level-1 record is one name).
std::vector<std::string> names(const Enumerate &enumerate)
{
    Listing listing = take(enumerate);
    EXPECT_EQ(0u, listing.error);
    std::vector<std::string> found;
    for (DWORD i = 0; i < listing.count; i++)
        found.push_back(listing.at<PORT_INFO_1A>(i).pName);
    return found;
}

std::vector<std::string> strings(std::initializer_list<const char *> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

DWORD error_of(BOOL result)
{
    return result ? 0 : GetLastError();
}

class SpoolerObjects : public MachineTest
{
  protected:
    std::string drivers_dir = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86";

    void boot_version(const winsim::Version &version)
    {
        boot(winsim::setup_for(version));
        drivers_dir = version.platform_id == VER_PLATFORM_WIN32_NT
                          ? winsim::machine().system_dir + "\\spool\\drivers\\w32x86"
                          : winsim::machine().system_dir;
    }
    void put_driver_files(std::initializer_list<const char *> files)
    {
        for (const char *file : files)
            winsim::put_file(drivers_dir + "\\" + file, file);
    }
    // The product's fax driver in its NT 4 form; its files in place.
    void add_fax_driver(const char *name = "Ravelo Printer Driver")
    {
        put_driver_files({"rasdd.dll", "ravelo.dll", "rasddui.dll"});
        winsim::add_printer_driver({"", name, 2, "rasdd.dll", "ravelo.dll", "rasddui.dll"});
    }
    HANDLE add_printer(const char *name, const char *port, const char *driver,
                       const char *processor = "WinPrint")
    {
        PRINTER_INFO_2A info;
        std::memset(&info, 0, sizeof info);
        info.pPrinterName = const_cast<char *>(name);
        info.pPortName = const_cast<char *>(port);
        info.pDriverName = const_cast<char *>(driver);
        info.pPrintProcessor = const_cast<char *>(processor);
        info.pDatatype = const_cast<char *>("RAW");
        SetLastError(0xdeadbeef);
        return AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    }
    HANDLE open(const char *name, DWORD access = PRINTER_ALL_ACCESS)
    {
        PRINTER_DEFAULTSA defaults = {nullptr, nullptr, access};
        HANDLE printer = nullptr;
        SetLastError(0xdeadbeef);
        return OpenPrinterA(const_cast<char *>(name), &printer, &defaults) ? printer : nullptr;
    }
    // Stops and starts the spooler service through the service manager.
    void control_spooler(bool stop, bool start)
    {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
        SERVICE_STATUS status;
        if (stop) {
            EXPECT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
        }
        if (start) {
            EXPECT_TRUE(StartServiceA(spooler, 0, nullptr));
        }
        CloseServiceHandle(spooler);
        CloseServiceHandle(manager);
    }
    void restart_spooler(bool start_again = true)
    {
        control_spooler(true, start_again);
    }
};

} // namespace

TEST_F(SpoolerObjects, BootHasTheOwnPrintProcessorAndTheFamilysPortsOnly)
{
    EXPECT_EQ(strings({"WinPrint"}), names(processors(nullptr)));
    EXPECT_TRUE(
        winsim::file_present("C:\\WINDOWS\\system32\\spool\\prtprocs\\w32x86\\winprint.dll"));
    EXPECT_TRUE(names(processors("Windows 4.0")).empty());
    EXPECT_EQ(strings({"LPT1:", "LPT2:", "COM1:", "COM2:", "FILE:"}), names(port_list()));
    // Empty lists succeed at once, with nothing needed.
    Listing none = take(drivers(nullptr));
    EXPECT_EQ(0u, none.error);
    EXPECT_EQ(0u, none.needed);
    EXPECT_EQ(0u, take(local_printers()).count);

    boot_version(winsim::windows_95);
    EXPECT_EQ(strings({"WinPrint"}), names(processors("windows 4.0")));
    EXPECT_TRUE(winsim::file_present("C:\\WINDOWS\\SYSTEM\\winprint.dll"));
    EXPECT_EQ(strings({"LPT1:", "COM1:", "FILE:"}), names(port_list()));
}

TEST_F(SpoolerObjects, ListsPackRecordsThenStringsAndTheNtFamilyAsksForUnicodeRoom)
{
    for (const winsim::Version &version : {winsim::windows_xp, winsim::windows_98}) {
        boot_version(version);
        bool nt = version.platform_id == VER_PLATFORM_WIN32_NT;
        add_fax_driver();
        winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});

        Listing ports = take(port_list());
        ASSERT_EQ(0u, ports.error) << version.name;
        size_t chars = 0;
        for (DWORD i = 0; i < ports.count; i++) {
            EXPECT_TRUE(ports.holds<PORT_INFO_1A>(ports.at<PORT_INFO_1A>(i).pName));
            chars += std::strlen(ports.at<PORT_INFO_1A>(i).pName) + 1;
        }
        EXPECT_EQ(ports.count * sizeof(PORT_INFO_1A) + chars * (nt ? 2 : 1), ports.needed)
            << version.name;

        Listing printers = take(local_printers());
        ASSERT_EQ(0u, printers.error) << version.name;
        ASSERT_EQ(1u, printers.count);
        const PRINTER_INFO_2A &fax = printers.at<PRINTER_INFO_2A>(0);
        EXPECT_STREQ("Fax", fax.pPrinterName);
        EXPECT_STREQ("LPT1:", fax.pPortName);
        EXPECT_STREQ("WinPrint", fax.pPrintProcessor);
        for (const char *text : {fax.pPrinterName, fax.pPortName, fax.pDriverName,
                                 fax.pPrintProcessor, fax.pDatatype, fax.pComment})
            EXPECT_TRUE(printers.holds<PRINTER_INFO_2A>(text)) << version.name;
        EXPECT_EQ(nullptr, fax.pServerName);
        EXPECT_EQ(nullptr, fax.pDevMode);

        Listing one = take(drivers(nullptr));
        ASSERT_EQ(1u, one.count);
        EXPECT_TRUE(one.holds<DRIVER_INFO_1A>(one.at<DRIVER_INFO_1A>(0).pName));
    }
}

TEST_F(SpoolerObjects, DriversReportTheirFilesWithTheirPathsPerLevel)
{
    put_driver_files({"unidrv.dll", "ravelo.gpd", "unidrvui.dll", "unidrv.hlp", "unires.dll"});
    winsim::add_printer_driver({"Windows NT x86",
                                "Ravelo Printer Driver",
                                3,
                                "unidrv.dll",
                                "ravelo.gpd",
                                "unidrvui.dll",
                                "unidrv.hlp",
                                {"unires.dll", "unidrv.dll"},
                                "",
                                "RAW"});

    Listing full = take(drivers("windows nt x86", 3));
    ASSERT_EQ(0u, full.error);
    const DRIVER_INFO_3A &driver = full.at<DRIVER_INFO_3A>(0);
    EXPECT_EQ(3u, driver.cVersion);
    EXPECT_STREQ("Windows NT x86", driver.pEnvironment);
    EXPECT_EQ(drivers_dir + "\\unidrv.dll", driver.pDriverPath);
    EXPECT_EQ(drivers_dir + "\\unidrv.hlp", driver.pHelpFile);
    std::string first = driver.pDependentFiles;
    std::string second = driver.pDependentFiles + first.size() + 1;
    EXPECT_EQ(drivers_dir + "\\unires.dll", first);
    EXPECT_EQ(drivers_dir + "\\unidrv.dll", second);
    EXPECT_EQ('\0', driver.pDependentFiles[first.size() + second.size() + 2]);
    EXPECT_EQ(nullptr, driver.pMonitorName);
    EXPECT_STREQ("RAW", driver.pDefaultDataType);
    EXPECT_TRUE(full.holds<DRIVER_INFO_3A>(driver.pConfigFile));

    Listing middle = take(drivers(nullptr, 2));
    EXPECT_EQ(drivers_dir + "\\ravelo.gpd", middle.at<DRIVER_INFO_2A>(0).pDataFile);
    EXPECT_LT(middle.needed, full.needed);

    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, take(drivers(nullptr, 4)).error);
    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, take(processors(nullptr, 2)).error);
    EXPECT_EQ((DWORD)ERROR_INVALID_ENVIRONMENT, take(drivers("Windows NT Alpha")).error);
    boot_version(winsim::windows_95);
    EXPECT_EQ((DWORD)ERROR_INVALID_ENVIRONMENT, take(drivers("Windows NT x86")).error);
    // PRINTER_INFO_4 is the NT family's.
    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, take(local_printers(4)).error);
}

TEST_F(SpoolerObjects, TheSpoolerFindsNamesWithoutRegardToCaseAndListsThemAsGiven)
{
    add_fax_driver();
    winsim::add_port("NUL:");
    HANDLE added =
        add_printer("Ravelo Printer Driver", "nul:", "RAVELO printer driver", "winprint");
    ASSERT_NE(nullptr, added);
    ClosePrinter(added);

    HANDLE printer = open("ravelo printer driver");
    ASSERT_NE(nullptr, printer);
    Listing listed = take(local_printers());
    EXPECT_STREQ("Ravelo Printer Driver", listed.at<PRINTER_INFO_2A>(0).pPrinterName);
    // The printer reports the spooler's objects by their own names.
    EXPECT_STREQ("Ravelo Printer Driver", listed.at<PRINTER_INFO_2A>(0).pDriverName);
    EXPECT_STREQ("NUL:", listed.at<PRINTER_INFO_2A>(0).pPortName);
    EXPECT_STREQ("WinPrint", listed.at<PRINTER_INFO_2A>(0).pPrintProcessor);
    EXPECT_EQ(strings({"Ravelo Printer Driver"}), names(drivers(nullptr)));
    EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE,
              error_of(DeletePrinterDriverA(nullptr, nullptr,
                                            const_cast<char *>("ravelo PRINTER driver"))));
    EXPECT_TRUE(ClosePrinter(printer));
}

TEST_F(SpoolerObjects, AddPrinterRefusesWhatTheSpoolerDoesNotKnow)
{
    add_fax_driver();
    put_driver_files({});
    // A driver of the other environment is no driver for a printer here.
    winsim::put_file("C:\\WINDOWS\\system32\\spool\\drivers\\win40\\ravelo.drv", "95");
    winsim::add_printer_driver(
        {"Windows 4.0", "Win95 Only", 0, "ravelo.drv", "ravelo.drv", "ravelo.drv"});

    EXPECT_EQ(nullptr, add_printer("Fax", "LPT1:", "Win95 Only"));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINTER_DRIVER, GetLastError());
    EXPECT_EQ(nullptr, add_printer("Fax", "LPT1:", "Ravelo Printer Driver", "tqvprint"));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINTPROCESSOR, GetLastError());
    EXPECT_EQ(nullptr, add_printer("Fax", "NUL:", "Ravelo Printer Driver"));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PORT, GetLastError());
    EXPECT_EQ(nullptr, add_printer("Fax", "LPT1:,LPT7:", "Ravelo Printer Driver"));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PORT, GetLastError());
    EXPECT_EQ(nullptr, add_printer("Fax, second", "LPT1:", "Ravelo Printer Driver"));
    EXPECT_EQ((DWORD)ERROR_INVALID_PRINTER_NAME, GetLastError());
    EXPECT_EQ(0, winsim::open_printer_handle_count());
    EXPECT_TRUE(winsim::printers().empty());

    HANDLE first = add_printer("Fax", "LPT1:,LPT2:", "Ravelo Printer Driver");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(nullptr, add_printer("FAX", "LPT1:", "Ravelo Printer Driver"));
    EXPECT_EQ((DWORD)ERROR_PRINTER_ALREADY_EXISTS, GetLastError());
    PRINTER_INFO_2A info;
    std::memset(&info, 0, sizeof info);
    EXPECT_EQ(nullptr, AddPrinterA(nullptr, 1, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, GetLastError());
    EXPECT_EQ(1, winsim::open_printer_handle_count());
    EXPECT_TRUE(ClosePrinter(first));
}

TEST_F(SpoolerObjects, GetPrinterFollowsTheBufferRuleAndSetPrinterTakesTheRecordBack)
{
    add_fax_driver();
    winsim::add_printer({"Office", "LPT2:", "Ravelo Printer Driver"});
    HANDLE printer = add_printer("Fax", "LPT1:", "Ravelo Printer Driver");
    ASSERT_NE(nullptr, printer);

    DWORD needed = 0;
    EXPECT_FALSE(GetPrinterA(printer, 2, nullptr, 0, &needed));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    std::vector<BYTE> record(needed);
    ASSERT_TRUE(GetPrinterA(printer, 2, record.data(), needed, &needed));
    PRINTER_INFO_2A *info = reinterpret_cast<PRINTER_INFO_2A *>(record.data());
    EXPECT_STREQ("RAW", info->pDatatype);
    info->Attributes |= PRINTER_ATTRIBUTE_DIRECT | PRINTER_ATTRIBUTE_RAW_ONLY;
    EXPECT_TRUE(SetPrinterA(printer, 2, record.data(), 0));
    EXPECT_EQ((DWORD)(PRINTER_ATTRIBUTE_DIRECT | PRINTER_ATTRIBUTE_RAW_ONLY),
              winsim::printers()[1].attributes);

    // The same checks as AddPrinter; the record stays as it was.
    info->pPrinterName = const_cast<char *>("office");
    EXPECT_EQ((DWORD)ERROR_PRINTER_ALREADY_EXISTS,
              error_of(SetPrinterA(printer, 2, record.data(), 0)));
    info->pPrinterName = const_cast<char *>("Fax renamed");
    info->pPortName = const_cast<char *>("LPT9:");
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PORT, error_of(SetPrinterA(printer, 2, record.data(), 0)));
    EXPECT_EQ("Fax", winsim::printers()[1].name);
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, error_of(SetPrinterA(printer, 2, record.data(), 1)));
    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL,
              error_of(GetPrinterA(printer, 3, record.data(), needed, &needed)));
    EXPECT_TRUE(ClosePrinter(printer));
}

TEST_F(SpoolerObjects, HandlesAreCheckedCountedAndOnTheNtFamilyHoldRights)
{
    add_fax_driver();
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});
    EXPECT_EQ(nullptr, open("Fax 2"));
    EXPECT_EQ((DWORD)ERROR_INVALID_PRINTER_NAME, GetLastError());

    HANDLE reader = open("Fax", PRINTER_READ);
    ASSERT_NE(nullptr, reader);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, error_of(DeletePrinter(reader)));
    std::vector<BYTE> record(4096);
    DWORD needed;
    ASSERT_TRUE(GetPrinterA(reader, 2, record.data(), 4096, &needed));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, error_of(SetPrinterA(reader, 2, record.data(), 0)));
    EXPECT_EQ(1, winsim::open_printer_handle_count());
    EXPECT_TRUE(ClosePrinter(reader));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, error_of(ClosePrinter(reader)));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE,
              error_of(GetPrinterA(reader, 2, record.data(), 4096, &needed)));
    EXPECT_EQ(0, winsim::open_printer_handle_count());

    // A handle belongs to one run of the spooler service.
    HANDLE before = open("Fax");
    restart_spooler();
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE,
              error_of(GetPrinterA(before, 2, record.data(), 4096, &needed)));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, error_of(ClosePrinter(before)));

    // The 95 family has no rights to check.
    boot_version(winsim::windows_95);
    add_fax_driver();
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});
    reader = open("Fax", PRINTER_READ);
    EXPECT_TRUE(DeletePrinter(reader));
    EXPECT_TRUE(ClosePrinter(reader));
    EXPECT_TRUE(winsim::printers().empty());
}

TEST_F(SpoolerObjects, ADriverStaysInUseUntilItsPrinterIsDeletedAndItsLastHandleClosed)
{
    add_fax_driver();
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});
    char driver[] = "Ravelo Printer Driver";
    EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE,
              error_of(DeletePrinterDriverA(nullptr, nullptr, driver)));

    HANDLE printer = open("Fax");
    ASSERT_TRUE(DeletePrinter(printer));
    // Gone from the list and from OpenPrinter, but the handle still holds it.
    EXPECT_EQ(0u, take(local_printers()).count);
    EXPECT_EQ(nullptr, open("Fax"));
    EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE,
              error_of(DeletePrinterDriverA(nullptr, nullptr, driver)));
    ClosePrinter(printer);

    std::string before = winsim::spooler_snapshot();
    EXPECT_TRUE(DeletePrinterDriverA(nullptr, const_cast<char *>("Windows NT x86"), driver));
    EXPECT_NE(before, winsim::spooler_snapshot());
    EXPECT_TRUE(winsim::printer_drivers("").empty());
    // The record goes, the files stay.
    EXPECT_TRUE(winsim::file_present(drivers_dir + "\\ravelo.dll"));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINTER_DRIVER,
              error_of(DeletePrinterDriverA(nullptr, nullptr, driver)));
}

TEST_F(SpoolerObjects, DeleteExTakesTheFilesNoOtherDriverNamesAndExistsFromWindows2000On)
{
    put_driver_files(
        {"unidrv.dll", "ravelo.gpd", "ravtlx.gpd", "unidrvui.dll", "ravelo.dll", "locked.dll"});
    winsim::add_printer_driver({"",
                                "Ravelo Printer Driver",
                                3,
                                "unidrv.dll",
                                "ravelo.gpd",
                                "unidrvui.dll",
                                "",
                                {"ravelo.dll", "locked.dll"}});
    winsim::add_printer_driver(
        {"", "Ravelo Telex Driver", 3, "UNIDRV.DLL", "ravtlx.gpd", "unidrvui.dll"});
    SetFileAttributesA((drivers_dir + "\\locked.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    char fax[] = "Ravelo Printer Driver";
    char telex[] = "Ravelo Telex Driver";

    EXPECT_EQ(
        (DWORD)ERROR_UNKNOWN_PRINTER_DRIVER,
        error_of(DeletePrinterDriverExA(nullptr, nullptr, fax, DPD_DELETE_SPECIFIC_VERSION, 2)));
    EXPECT_EQ((DWORD)ERROR_PRINTER_DRIVER_IN_USE,
              error_of(DeletePrinterDriverExA(nullptr, nullptr, fax, DPD_DELETE_ALL_FILES, 0)));
    ASSERT_TRUE(DeletePrinterDriverExA(nullptr, nullptr, fax, DPD_DELETE_UNUSED_FILES, 0));

    for (const char *gone : {"ravelo.gpd", "ravelo.dll"})
        EXPECT_FALSE(winsim::file_present(drivers_dir + "\\" + gone)) << gone;
    // Shared with the telex driver, or not deletable.
    for (const char *kept : {"unidrv.dll", "unidrvui.dll", "ravtlx.gpd", "locked.dll"})
        EXPECT_TRUE(winsim::file_present(drivers_dir + "\\" + kept)) << kept;
    ASSERT_EQ(1u, winsim::printer_drivers("").size());

    // Without a flag only the record goes.
    ASSERT_TRUE(DeletePrinterDriverExA(nullptr, nullptr, telex, 0, 0));
    EXPECT_TRUE(winsim::file_present(drivers_dir + "\\ravtlx.gpd"));

    boot_version(winsim::windows_nt_40);
    add_fax_driver();
    EXPECT_EQ((DWORD)ERROR_CALL_NOT_IMPLEMENTED,
              error_of(DeletePrinterDriverExA(nullptr, nullptr, fax, DPD_DELETE_UNUSED_FILES, 0)));
}

TEST_F(SpoolerObjects, AddPrinterDriverNeedsEveryFileInTheEnvironmentsDriverDirectory)
{
    put_driver_files({"rasdd.dll", "ravelo.dll", "rasddui.dll", "RASDDUI.HLP"});
    DRIVER_INFO_3A info;
    std::memset(&info, 0, sizeof info);
    info.cVersion = 2;
    info.pName = const_cast<char *>("Ravelo Printer Driver");
    info.pDriverPath = const_cast<char *>("rasdd.dll");
    info.pDataFile = const_cast<char *>("ravelo.dll");
    info.pConfigFile = const_cast<char *>("rasddui.dll");
    info.pHelpFile = const_cast<char *>("rasddui.hlp");
    info.pDependentFiles = const_cast<char *>("ravelo.dll\0RASDD.DLL\0missing.dll\0");
    LPBYTE record = reinterpret_cast<LPBYTE>(&info);

    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, error_of(AddPrinterDriverA(nullptr, 3, record)));
    EXPECT_TRUE(winsim::printer_drivers("").empty());
    put_driver_files({"missing.dll"});
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, record));
    std::vector<winsim::DriverSetup> installed = winsim::printer_drivers("Windows NT x86");
    ASSERT_EQ(1u, installed.size());
    EXPECT_EQ(2u, installed[0].version);
    EXPECT_EQ(strings({"ravelo.dll", "RASDD.DLL", "missing.dll"}), installed[0].dependent_files);

    // An installed driver is updated, not added twice. The journal keeps the
    // record as given: a null help file apart from an empty one.
    info.cVersion = 3;
    info.pHelpFile = nullptr;
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, record));
    installed = winsim::printer_drivers("");
    ASSERT_EQ(1u, installed.size());
    EXPECT_EQ(3u, installed[0].version);
    EXPECT_EQ("", installed[0].help_file);
    EXPECT_EQ("NULL, 3, {3, \"Ravelo Printer Driver\", NULL, \"rasdd.dll\", \"ravelo.dll\", "
              "\"rasddui.dll\", NULL, [ravelo.dll RASDD.DLL missing.dll], NULL, NULL}",
              winsim::journal().back().arguments);

    // The record's environment decides the directory.
    info.pEnvironment = const_cast<char *>("Windows 4.0");
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, error_of(AddPrinterDriverA(nullptr, 3, record)));
    info.pEnvironment = const_cast<char *>("Windows 3.1");
    EXPECT_EQ((DWORD)ERROR_INVALID_ENVIRONMENT, error_of(AddPrinterDriverA(nullptr, 3, record)));
    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, error_of(AddPrinterDriverA(nullptr, 1, record)));
}

TEST_F(SpoolerObjects, AddPrintProcessorLoadsItsLibraryAndRefusesAnInstalledName)
{
    const std::string directory = "C:\\WINDOWS\\system32\\spool\\prtprocs\\w32x86\\";
    char dll[] = "tqvprint.dll";
    char name[] = "tqvprint";
    EXPECT_EQ((DWORD)ERROR_MOD_NOT_FOUND,
              error_of(AddPrintProcessorA(nullptr, nullptr, dll, name)));

    winsim::put_file(directory + dll, "MZ");
    winsim::add_library_dependency("tqvprint.dll", "mapiconn.dll");
    EXPECT_EQ((DWORD)ERROR_MOD_NOT_FOUND,
              error_of(AddPrintProcessorA(nullptr, nullptr, dll, name)));
    winsim::put_file(winsim::machine().system_dir + "\\MAPICONN.DLL", "MZ");
    ASSERT_TRUE(AddPrintProcessorA(nullptr, nullptr, dll, name));
    EXPECT_EQ(strings({"WinPrint", "tqvprint"}), names(processors(nullptr)));
    EXPECT_EQ((DWORD)ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED,
              error_of(AddPrintProcessorA(nullptr, nullptr, dll, const_cast<char *>("TQVPRINT"))));

    // In use by a printer it cannot go; unknown it is refused.
    add_fax_driver();
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver", "tqvprint"});
    EXPECT_EQ((DWORD)ERROR_CAN_NOT_COMPLETE,
              error_of(DeletePrintProcessorA(nullptr, nullptr, name)));
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});
    EXPECT_TRUE(DeletePrintProcessorA(nullptr, nullptr, name));
    EXPECT_TRUE(winsim::file_present(directory + dll));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PRINTPROCESSOR,
              error_of(DeletePrintProcessorA(nullptr, nullptr, name)));

    // The 95 family refuses an installed name too, and names a missing
    // library the processor needs differently.
    boot_version(winsim::windows_98);
    winsim::put_file("C:\\WINDOWS\\SYSTEM\\tqvprint.dll", "MZ");
    winsim::add_library_dependency("tqvprint.dll", "mapiconn.dll");
    EXPECT_EQ((DWORD)ERROR_DLL_NOT_FOUND,
              error_of(AddPrintProcessorA(nullptr, nullptr, dll, name)));
    winsim::put_file("C:\\WINDOWS\\mapiconn.dll", "MZ");
    ASSERT_TRUE(AddPrintProcessorA(nullptr, nullptr, dll, name));
    EXPECT_EQ((DWORD)ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED,
              error_of(AddPrintProcessorA(nullptr, nullptr, dll, name)));
}

TEST_F(SpoolerObjects, WhileTheNtSpoolerIsStoppedEveryCallFailsAndRemoteServersAreOutOfReach)
{
    add_fax_driver();
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});
    HANDLE printer = open("Fax");
    char server[] = "\\\\PRINTSERVER";
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, take(port_list(server)).error);

    restart_spooler(false);
    char name[] = "Ravelo Printer Driver";
    std::vector<BYTE> record(4096);
    DWORD needed;
    const DWORD unavailable = RPC_S_SERVER_UNAVAILABLE;
    EXPECT_EQ(unavailable, take(processors(nullptr)).error);
    EXPECT_EQ(unavailable, take(drivers(nullptr)).error);
    EXPECT_EQ(unavailable, take(local_printers()).error);
    EXPECT_EQ(unavailable, take(port_list()).error);
    EXPECT_EQ(nullptr, open("Fax"));
    EXPECT_EQ(unavailable, GetLastError());
    EXPECT_EQ(nullptr, add_printer("Fax 2", "LPT1:", name));
    EXPECT_EQ(unavailable, GetLastError());
    EXPECT_EQ(unavailable, error_of(GetPrinterA(printer, 2, record.data(), 4096, &needed)));
    EXPECT_EQ(unavailable, error_of(DeletePrinter(printer)));
    EXPECT_EQ(unavailable, error_of(DeletePrinterDriverA(nullptr, nullptr, name)));
    EXPECT_EQ(unavailable, error_of(DeletePrintProcessorA(nullptr, nullptr, name)));
    EXPECT_EQ(unavailable, error_of(AddPrintProcessorA(nullptr, nullptr, name, name)));
    EXPECT_EQ(unavailable, error_of(AddPrinterDriverA(nullptr, 3, record.data())));
    // The handle goes all the same.
    EXPECT_EQ(unavailable, error_of(ClosePrinter(printer)));
    EXPECT_EQ(0, winsim::open_printer_handle_count());

    boot_version(winsim::windows_95);
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, take(port_list(server)).error);
}

TEST_F(SpoolerObjects, The95FamilyListsAPortFromWinIniAfterAWhile)
{
    boot_version(winsim::windows_95);
    add_fax_driver();
    ASSERT_TRUE(WriteProfileStringA("ports", "NUL:", ""));
    EXPECT_EQ(3u, winsim::ports().size());
    EXPECT_EQ(nullptr, add_printer("Fax", "NUL:", "Ravelo Printer Driver"));
    EXPECT_EQ((DWORD)ERROR_UNKNOWN_PORT, GetLastError());
    Sleep(499);
    EXPECT_EQ(3u, names(port_list()).size());
    Sleep(1);
    // Behind the ports listed before.
    EXPECT_EQ(strings({"LPT1:", "COM1:", "FILE:", "NUL:"}), names(port_list()));
    HANDLE printer = add_printer("Fax", "NUL:", "Ravelo Printer Driver");
    EXPECT_NE(nullptr, printer);
    ClosePrinter(printer);

    winsim::set_port_listing_delay_ms(2000);
    WriteProfileStringA("Ports", "LPT3:", "");
    Sleep(1999);
    EXPECT_EQ(4u, winsim::ports().size());
    Sleep(1);
    EXPECT_EQ(5u, winsim::ports().size());
}

TEST_F(SpoolerObjects, TheNtFamilyListsAPortFromWinIniOnceTheSpoolerStartedAgain)
{
    ASSERT_TRUE(WriteProfileStringA("ports", "NUL:", ""));
    Sleep(60000);
    EXPECT_EQ(5u, names(port_list()).size());
    restart_spooler();
    EXPECT_EQ("NUL:", names(port_list()).back());

    // As the installation does it: written while the spooler is stopped.
    boot_version(winsim::windows_nt_40);
    control_spooler(true, false);
    ASSERT_TRUE(WriteProfileStringA("ports", "NUL:", ""));
    control_spooler(false, true);
    EXPECT_EQ(strings({"LPT1:", "LPT2:", "COM1:", "COM2:", "FILE:", "NUL:"}), winsim::ports());
}
