// The scan that the choice dialog runs: platform description, directories,
// the report of installed components, and the flags for REMOVE and the port.
#include "support/scenario.h"

#include "app/setup_state.h"
#include "resources/resource.h"
#include "setup/scan.h"
#include "ui/user_interface.h"

namespace {

struct ChoiceSeen {
    std::string system_line;
    std::string report;
};

class Scan : public MachineTest {
  protected:
    // Opens the choice dialog, which scans, and cancels it; error boxes
    // that the scan shows are expected after the dialog.
    ChoiceSeen open_choice_dialog(std::string *error_box_text = nullptr)
    {
        ChoiceSeen seen;
        expect_choice(IDCANCEL, &seen.system_line, &seen.report);
        if (error_box_text != nullptr)
            expect_result(error_box_text);
        DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_CHOICE), GetDesktopWindow(),
                        choice_dialog_proc, 0);
        return seen;
    }

    void add_fax_driver(const char *environment, const char *name)
    {
        winsim::DriverSetup driver;
        driver.environment = environment;
        driver.name = name;
        driver.version = 2;
        driver.driver_path = "rasdd.dll";
        driver.data_file = "ravelo.dll";
        driver.config_file = "rasddui.dll";
        winsim::add_printer_driver(driver);
    }
};

const winsim::Version windows_vista = {VER_PLATFORM_WIN32_NT, 6, 0, 6002, "Windows Vista"};

} // namespace

TEST_F(Scan, DescribesEachPlatformInItsSystemLine)
{
    struct {
        winsim::Version version;
        const char *system_line;
        const char *tag;
        const char *extension;
        const char *environment;
    } cases[] = {
        {winsim::windows_98, "Microsoft Windows 95 Version - 4.10", "95", "drv", "Windows 4.0"},
        {winsim::windows_nt_351, "Microsoft Windows NT Version - 3.51", "nt_351", "dll",
         "Windows NT x86"},
        {winsim::windows_nt_40, "Microsoft Windows NT Version - 4.0", "nt_40", "dll", "Windows NT x86"},
        {winsim::windows_2000, "Microsoft Windows NT Version - 5.0", "W2K", "dll", "Windows NT x86"},
        {winsim::windows_xp, "Microsoft Windows NT Version - 5.1", "W2K", "dll", "Windows NT x86"},
    };
    for (const auto &c : cases) {
        boot(winsim::setup_for(c.version));
        reset_setup_state();

        ChoiceSeen seen = open_choice_dialog();

        EXPECT_EQ(c.system_line, seen.system_line) << c.version.name;
        EXPECT_EQ("", seen.report) << c.version.name;
        EXPECT_STREQ(c.tag, platform_tag) << c.version.name;
        EXPECT_STREQ(c.extension, driver_extension) << c.version.name;
        EXPECT_STREQ(c.environment, environment_name) << c.version.name;
        EXPECT_EQ(winsim::machine().system_dir, system_dir) << c.version.name;
        EXPECT_EQ(driver_directory(), driver_dir) << c.version.name;
        EXPECT_EQ(print_processor_directory(), print_processor_dir) << c.version.name;
        EXPECT_EQ(0, processor_installed) << c.version.name;
        EXPECT_EQ(winsim::ports().size(), scan_port_index) << c.version.name;
    }
}

TEST_F(Scan, ANewerNtIsNotSupportedButTheChoiceStaysOpen)
{
    winsim::MachineSetup setup;
    setup.version = windows_vista;
    boot(setup);

    EXPECT_EQ(0, scan_platform());
    EXPECT_STREQ("not supported!", message_text);

    ChoiceSeen seen = open_choice_dialog();
    EXPECT_EQ("Microsoft Windows NT Version - 6.0\r\n", seen.system_line);
    EXPECT_EQ("not supported!", seen.report);
    EXPECT_STREQ("dll", driver_extension);
    EXPECT_STREQ("", platform_tag);
    EXPECT_STREQ("", environment_name);
}

TEST_F(Scan, ReportsWhatIsInstalledInItsOrderWithItsLineEnds)
{
    winsim::add_print_processor("Windows NT x86", "tqvprint", "tqvprint.dll");
    add_fax_driver("Windows NT x86", "Ravelo Printer Driver");
    add_fax_driver("Windows NT x86", "Ravelo Telex Driver");
    add_fax_driver("Windows NT x86", "Foreign Driver");
    winsim::add_port("NUL:");
    winsim::add_printer({"Fax One", "NUL:", "Ravelo Printer Driver"});
    winsim::add_printer({"Fax Two", "LPT1:", "Ravelo Printer Driver"});
    winsim::add_printer({"Office", "LPT1:", "Foreign Driver"});

    ChoiceSeen seen = open_choice_dialog();

    EXPECT_EQ("Installed PrintProcessor tqvprint found\r\n"
              "Printer Driver Ravelo Printer Driver found\r\n"
              "Printer Driver Ravelo Telex Driver found\r\n"
              "Printer Fax One found\r\n "
              "Printer Fax Two found\r\n "
              "Port NUL: found\r\n ",
              seen.report);
    EXPECT_EQ(1, processor_installed);
    EXPECT_EQ(1, nul_port_present);
    EXPECT_EQ(winsim::ports().size(), scan_port_index);
}

TEST_F(Scan, NamesAreComparedExactly)
{
    winsim::add_print_processor("Windows NT x86", "TQVPRINT", "tqvprint.dll");
    add_fax_driver("Windows NT x86", "ravelo printer driver");

    ChoiceSeen seen = open_choice_dialog();

    EXPECT_EQ("", seen.report);
    EXPECT_EQ(0, processor_installed);
}

TEST_F(Scan, AnErrorBoxDuringTheScanLeavesTheReportWhole)
{
    winsim::add_print_processor("Windows NT x86", "tqvprint", "tqvprint.dll");
    winsim::add_port("NUL:");
    winsim::fail_call("EnumPrintersA", 1, ERROR_NOT_ENOUGH_MEMORY);
    std::string box_text;

    ChoiceSeen seen = open_choice_dialog(&box_text);

    EXPECT_EQ(system_text(ERROR_NOT_ENOUGH_MEMORY), box_text);
    EXPECT_EQ("Installed PrintProcessor tqvprint found\r\nPort NUL: found\r\n ", seen.report);
}

TEST_F(Scan, ListsLongerThanTheFirstBufferAreReadWhole)
{
    add_fax_driver("Windows NT x86", "Foreign Driver");
    add_fax_driver("Windows NT x86", "Ravelo Printer Driver");
    for (int i = 0; i < 300; i++)
        winsim::add_printer({"Office printer number " + std::to_string(i), "LPT1:", "Foreign Driver"});
    winsim::add_printer({"Fax", "LPT1:", "Ravelo Printer Driver"});

    ChoiceSeen seen = open_choice_dialog();

    EXPECT_NE(std::string::npos, seen.report.find("Printer Fax found\r\n "));
}

TEST_F(Scan, AStoppedSpoolerIsStartedForTheDirectories)
{
    winsim::add_service({"Spooler", {}, false});

    EXPECT_EQ(1, scan_platform());

    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    EXPECT_NE('\0', print_processor_dir[0]);
}

TEST_F(Scan, ASpoolerThatNeverAnswersEndsTheScanAfterThreeStarts)
{
    boot(winsim::setup_for(winsim::windows_98));
    winsim::fail_call("GetPrintProcessorDirectoryA", 1, ERROR_ACCESS_DENIED, true);
    last_error = 0;

    EXPECT_EQ(0, scan_platform());

    EXPECT_EQ(4, winsim::call_count("GetPrintProcessorDirectoryA"));
    EXPECT_EQ(0, winsim::call_count("EnumPrintProcessorsA"));
    // The scan gives up without a box, so it keeps no error for one.
    EXPECT_EQ((DWORD)0, last_error);
}

TEST_F(Scan, AFailedDirectoryOrProcessorListEndsTheSearchAfterItsBox)
{
    for (const char *function : {"GetPrinterDriverDirectoryA", "EnumPrintProcessorsA"}) {
        boot(winsim::MachineSetup());
        reset_setup_state();
        winsim::add_print_processor("Windows NT x86", "tqvprint", "tqvprint.dll");
        add_fax_driver("Windows NT x86", "Ravelo Printer Driver");
        winsim::add_port("NUL:");
        winsim::fail_call(function, 1, ERROR_ACCESS_DENIED);
        std::string box_text;

        ChoiceSeen seen = open_choice_dialog(&box_text);

        EXPECT_EQ(system_text(ERROR_ACCESS_DENIED), box_text) << function;
        EXPECT_EQ("", seen.report) << function;
        EXPECT_EQ(0, processor_installed) << function;
        EXPECT_EQ(0, nul_port_present) << function;
        EXPECT_EQ(0, winsim::call_count("EnumPrinterDriversA")) << function;
        EXPECT_EQ(0, winsim::call_count("EnumPortsA")) << function;
    }
}
