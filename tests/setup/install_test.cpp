// The installation: the INF it writes, the files, port and registry step,
// the registration of processor, drivers and printers, and the answers to
// a failing step.
#include "support/scenario.h"

#include "app/exit_codes.h"
#include "app/run_log.h"
#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "resources/resource.h"
#include "setup/steps.h"
#include "setup/installation_check.h"
#include "setup/scan.h"

#include <functional>
#include <sstream>

namespace {

const char UNINSTALL_KEY[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel";
const char RUN_KEY[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// PRINTER_ATTRIBUTE_DIRECT | RAW_ONLY on the NT family, DEFAULT on the 95
// family; the merge printer keeps what it was added with.
const DWORD ATTRIBUTES_NT = 0x1002;
const DWORD ATTRIBUTES_95 = 0x4;
const DWORD ATTRIBUTES_MERGE = 0;

std::string lines(std::initializer_list<const char *> text)
{
    std::string joined;
    for (const char *line : text)
        joined += std::string(line) + "\r\n";
    return joined;
}

const std::string INF_HEAD = lines({"[Version]"});
const std::string INF_DIRECTORIES =
    lines({"Provider=Norvane", "[Install_Printer]", "CopyFiles=Printer_Files, PrintProc_Files, Driver_Files",
           "[DestinationDirs]", "Printer_Files=78000", "PrintProc_Files=78001", "Driver_Files=78002",
           "[Printer_Files]"});

// A handle or pointer as the journal writes it.
std::string pointer_text(const void *pointer)
{
    char text[32];
    snprintf(text, sizeof text, "%p", pointer);
    return text;
}

class Installation : public MachineTest {
  protected:
    void boot_version(const winsim::Version &version)
    {
        boot(winsim::setup_for(version));
        put_distribution();
    }

    int install(std::string *result_text, std::function<void()> during = {})
    {
        return run_normal(IDC_INSTALL, result_text, during);
    }

    std::string system(const std::string &name)
    {
        return system_file(name);
    }

    bool family_95()
    {
        return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_WINDOWS;
    }

    // The events of the run's log, each without its time.
    std::vector<std::string> logged(const char *log)
    {
        std::istringstream lines(winsim::file_bytes(log));
        std::vector<std::string> events;
        for (std::string line; std::getline(lines, line);)
            events.push_back(line.substr(24, line.find_last_not_of('\r') - 23));
        return events;
    }
};

} // namespace

TEST_F(Installation, TheInfOfEachBranchListsItsFilesAndSources)
{
    struct {
        winsim::Version version;
        int language;
        std::string inf;
        size_t line_count;
    } cases[] = {
        {winsim::windows_98, IDC_GERMAN,
         INF_HEAD + lines({"Signature=$Windows 95$"}) + INF_DIRECTORIES +
             lines({"kxdrvw32.dll,,0x4", "devura.dll,,0x4", "[PrintProc_Files]", "tqvprint.dll,,0x4",
                    "[Driver_Files]", "unidrv.dll", "unidrv.hlp", "ravelo.drv", "ravtlx.drv",
                    "[SourceDisksNames]", "1=\"Ravelo Printer Driver Setup Disk\"", "[SourceDisksFiles]",
                    "tqvprint.dll=1,95", "devura.dll=1,95", "kxdrvw32.dll=1,95", "ravelo.drv=1,95",
                    "ravtlx.drv=1,95", "unidrv.dll=1,95\\ger", "unidrv.hlp=1,95\\ger"}),
         29},
        {winsim::windows_nt_40, IDC_ENGLISH,
         INF_HEAD + lines({"Signature=$Windows NT$"}) + INF_DIRECTORIES +
             lines({"faxsrv.exe,,0x4", "tqvdrv32.dll,,0x4", "[PrintProc_Files]", "tqvprint.dll,,0x4",
                    "[Driver_Files]", "rasdd.dll", "rasddui.dll", "rasddui.hlp", "ravelo.dll",
                    "ravtlx.dll", "[SourceDisksNames]", "1=\"Ravelo Printer Driver Setup Disk\"",
                    "[SourceDisksFiles]", "tqvprint.dll=1,nt_40", "tqvdrv32.dll=1,nt_40",
                    "faxsrv.exe=1,nt_40", "ravelo.dll=1,nt_40", "ravtlx.dll=1,nt_40",
                    "rasdd.dll=1,nt_40\\eng", "rasddui.dll=1,nt_40\\eng", "rasddui.hlp=1,nt_40\\eng"}),
         31},
        {winsim::windows_xp, IDC_FRENCH,
         INF_HEAD + lines({"Signature=$Windows NT$"}) + INF_DIRECTORIES +
             lines({"faxsrv.exe,,0x4", "tqvdrv32.dll,,0x4", "[PrintProc_Files]", "tqvprint.dll,,0x4",
                    "[Driver_Files]", "unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll",
                    "tty.dll", "ttyui.dll", "ttyui.hlp", "ttyres.dll", "ravelo.gpd", "ravtlx.gpd",
                    "ravelo.dll", "ravtlx.ini", "stdnames.gpd", "[SourceDisksNames]",
                    "1=\"Ravelo Printer Driver Setup Disk\"", "[SourceDisksFiles]",
                    "tqvprint.dll=1,W2K", "tqvdrv32.dll=1,W2K", "faxsrv.exe=1,W2K",
                    "ravelo.dll=1,W2K", "ravtlx.ini=1,W2K", "ravelo.gpd=1,W2K", "ravtlx.gpd=1,W2K",
                    "stdnames.gpd=1,W2K", "unidrv.dll=1,W2K\\fre", "unidrvui.dll=1,W2K\\fre",
                    "unidrv.hlp=1,W2K\\fre", "unires.dll=1,W2K\\fre", "tty.dll=1,W2K\\fre",
                    "ttyui.dll=1,W2K\\fre", "ttyui.hlp=1,W2K\\fre", "ttyres.dll=1,W2K\\fre"}),
         47},
    };
    for (const auto &c : cases) {
        boot_version(c.version);
        reset_setup_state();
        expect_language(c.language);
        expect_choice(IDC_INSTALL);
        expect_progress();
        expect_result(nullptr);
        expect_reboot();

        EXPECT_EQ(1, run_setup()) << c.version.name;

        std::vector<std::string> opened = call_arguments("SetupOpenInfFileA");
        ASSERT_EQ(1u, opened.size());
        EXPECT_EQ(0u, opened[0].find("\"" + winsim::machine().temp_dir + "\\INS")) << opened[0];
        std::vector<std::string> infs = winsim::opened_inf_texts();
        ASSERT_EQ(1u, infs.size()) << c.version.name;
        EXPECT_EQ(c.inf, infs[0]) << c.version.name;
        EXPECT_EQ(c.line_count, (size_t)std::count(infs[0].begin(), infs[0].end(), '\n'));
        // Installed from the program's folder with every install operation and
        // the copy flags; the copy prompts belong to the progress dialog.
        std::vector<std::string> installs = call_arguments("SetupInstallFromInfSectionA");
        ASSERT_EQ(1u, installs.size()) << c.version.name;
        EXPECT_EQ(0u, installs[0].find(pointer_text(progress_dialog) + ", ")) << installs[0];
        EXPECT_NE(std::string::npos,
                  installs[0].find(", \"Install_Printer\", 0x7ff, " + pointer_text(nullptr) +
                                   ", \"D:\", 0x6220, "))
            << installs[0];
        EXPECT_EQ(std::vector<std::string>{pointer_text(progress_dialog)},
                  call_arguments("SetupInitDefaultQueueCallback"));
        // The temporary file is gone.
        expect_no_temporary_inf();
    }
}

TEST_F(Installation, NtInstallsFilesServerEntriesDriversAndTwoPrinters)
{
    for (const winsim::Version &version :
         {winsim::windows_nt_351, winsim::windows_nt_40, winsim::windows_2000, winsim::windows_xp}) {
        boot_version(version);
        reset_setup_state();
        std::string result_text;

        EXPECT_EQ(1, install(&result_text)) << version.name;

        EXPECT_EQ("Ravelo Printer driver \r\n\r\nhas been installed successfully.\r\n\r\n"
                  "Please restart Windows so that the changes take effect.",
                  result_text)
            << version.name;
        EXPECT_EQ(1, winsim::setup_progress_windows_shown()) << version.name;
        EXPECT_TRUE(winsim::shown_setup_prompts().empty()) << version.name;
        EXPECT_TRUE(winsim::file_present(system("faxsrv.exe"))) << version.name;
        EXPECT_TRUE(winsim::file_present(system("rmzantr.exe"))) << version.name;
        EXPECT_TRUE(winsim::file_present(print_processor_directory() + "\\tqvprint.dll"));
        EXPECT_EQ(std::string("Ravelo Printer driver ") + '\0',
                  winsim::registry_value(UNINSTALL_KEY, "DisplayName")->data)
            << version.name;
        EXPECT_EQ(system("rmzantr.exe") + '\0',
                  winsim::registry_value(UNINSTALL_KEY, "UninstallString")->data);
        EXPECT_EQ(std::string("faxsrv.exe") + '\0', winsim::registry_value(RUN_KEY, "tqvPRINT")->data);
        ASSERT_EQ(1u, winsim::started_processes().size()) << version.name;
        EXPECT_EQ(system("faxsrv.exe"), winsim::started_processes()[0].application);
        EXPECT_EQ(0x04000020u, winsim::started_processes()[0].flags);
        EXPECT_NE(nullptr, FindWindowA("FaxSrvClass", nullptr)) << version.name;

        std::vector<winsim::PrinterSetup> printers = winsim::printers();
        ASSERT_EQ(2u, printers.size()) << version.name;
        for (const winsim::PrinterSetup &printer : printers) {
            EXPECT_EQ("NUL:", printer.port);
            EXPECT_EQ("tqvprint", printer.print_processor);
            EXPECT_EQ("RAW", printer.datatype);
            EXPECT_EQ(ATTRIBUTES_NT, printer.attributes) << printer.name;
        }
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
        EXPECT_TRUE(winsim::ports().end() !=
                    std::find(winsim::ports().begin(), winsim::ports().end(), "NUL:"));
    }
}

TEST_F(Installation, DriverRecordsFollowTheBranch)
{
    // Whole DRIVER_INFO_3 records as passed, NULL members apart from empty ones.
    struct {
        winsim::Version version;
        std::vector<std::string> records;
    } cases[] = {
        {winsim::windows_98,
         {"NULL, 3, {0, \"Ravelo Printer Driver\", \"Windows 4.0\", \"ravelo.drv\", \"ravelo.drv\", "
          "\"ravelo.drv\", NULL, [ravelo.DRV], NULL, \"RAW\"}",
          "NULL, 3, {0, \"Ravelo Telex Driver\", \"Windows 4.0\", \"ravtlx.drv\", \"ravtlx.drv\", "
          "\"ravtlx.drv\", NULL, [ravtlx.DRV], NULL, \"RAW\"}"}},
        {winsim::windows_nt_40,
         {"NULL, 3, {2, \"Ravelo Printer Driver\", \"Windows NT x86\", \"rasdd.dll\", \"ravelo.dll\", "
          "\"rasddui.dll\", \"rasddui.hlp\", [ravelo.dll RASDD.DLL RASDDUI.DLL RASDDUI.HLP], NULL, "
          "\"RAW\"}",
          "NULL, 3, {2, \"Ravelo Telex Driver\", \"Windows NT x86\", \"rasdd.dll\", \"ravtlx.dll\", "
          "\"rasddui.dll\", \"rasddui.hlp\", [ravtlx.dll RASDD.DLL RASDDUI.DLL RASDDUI.HLP], NULL, "
          "\"RAW\"}"}},
        {winsim::windows_2000,
         {"NULL, 3, {0, \"Ravelo Printer Driver\", \"Windows NT x86\", \"unidrv.dll\", \"ravelo.gpd\", "
          "\"unidrvui.dll\", \"unidrv.hlp\", [ravelo.dll unidrv.dll unidrvui.dll unires.dll "
          "unidrv.hlp stdnames.gpd], NULL, \"RAW\"}",
          "NULL, 3, {0, \"Ravelo Telex Driver\", \"Windows NT x86\", \"unidrv.dll\", \"ravtlx.gpd\", "
          "\"unidrvui.dll\", \"unidrv.hlp\", [ravtlx.ini tty.dll ttyres.dll ttyui.dll ttyui.hlp "
          "unires.dll stdnames.gpd], NULL, \"RAW\"}"}},
    };
    for (const auto &c : cases) {
        boot_version(c.version);
        reset_setup_state();

        EXPECT_EQ(1, install(nullptr)) << c.version.name;

        EXPECT_EQ(c.records, call_arguments("AddPrinterDriverA")) << c.version.name;
        std::string environment = family_95() ? "Windows 4.0" : "Windows NT x86";
        std::vector<winsim::DriverSetup> drivers = winsim::printer_drivers(environment);
        ASSERT_EQ(2u, drivers.size()) << c.version.name;
        EXPECT_EQ("Ravelo Printer Driver", drivers[0].name);
        EXPECT_EQ("Ravelo Telex Driver", drivers[1].name);
    }
}

TEST_F(Installation, The95FamilyGetsThreePrintersNoServerAndWaitsForThePort)
{
    boot_version(winsim::windows_98);
    std::string result_text;

    EXPECT_EQ(1, install(&result_text));

    EXPECT_EQ("Ravelo Printer driver \r\n\r\nhas been installed successfully.\r\n\r\n"
              "Please restart Windows before you use the new printer drivers.",
              result_text);
    std::vector<winsim::PrinterSetup> printers = winsim::printers();
    ASSERT_EQ(3u, printers.size());
    for (const winsim::PrinterSetup &printer : printers) {
        bool merge = printer.name == "Ravelo Merge Driver";
        EXPECT_EQ(merge ? "FILE:" : "NUL:", printer.port) << printer.name;
        EXPECT_EQ(merge ? ATTRIBUTES_MERGE : ATTRIBUTES_95, printer.attributes) << printer.name;
    }
    EXPECT_EQ("Ravelo Merge Driver", printers[1].name);
    EXPECT_EQ("Ravelo Printer Driver", printers[1].driver);
    EXPECT_FALSE(winsim::registry_value(RUN_KEY, "tqvPRINT").has_value());
    EXPECT_TRUE(winsim::started_processes().empty());
    // The new port is listed 500 ms after boot: looked for every 250 ms.
    EXPECT_EQ((std::vector<std::string>{
                  "Initialising the setup...", "Removing the earlier printer drivers...",
                  "Installing the files...", "Installing the printer port...",
                  "Waiting for the printer port...", "The printer port has been installed.",
                  "Copying files...", "Copy setup.exe ...", "Registering the uninstall program...",
                  "Writing the program name...", "Writing the uninstall command...",
                  "Installing the printer drivers..."}),
              status_history());
    EXPECT_EQ((std::vector<std::string>{"250", "250"}), call_arguments("Sleep"));
}

TEST_F(Installation, OverAnEarlierInstallationTheStatusLineFollowsEveryStep)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    winsim::open_window("FaxSrvClass", "", winsim::ClosesOn::system_close_command);

    EXPECT_EQ(1, install(nullptr));

    // The port is there already; the spooler is stopped and started by the
    // removal and again around the files.
    EXPECT_EQ((std::vector<std::string>{
                  "Initialising the setup...", "Removing the earlier printer drivers...",
                  "Closing the fax server...", "Stopping the print spooler...",
                  "Starting the print spooler...", "Stopping the print spooler...",
                  "Installing the files...", "Copying files...", "Copy setup.exe ...",
                  "Registering the uninstall program...", "Writing the program name...",
                  "Writing the uninstall command...", "Starting the fax server...",
                  "Starting the print spooler...", "Installing the printer drivers..."}),
              status_history());
    EXPECT_EQ(2u, winsim::printers().size());
}

TEST_F(Installation, TheSorvikVariantNamesItselfInTheEntryAndTheMessageFile)
{
    boot_version(winsim::windows_xp);
    winsim::put_file("D:\\sorvik", "");
    std::string result_text;

    EXPECT_EQ(1, install(&result_text));

    EXPECT_EQ(std::string("Sorvik Printer driver ") + '\0',
              winsim::registry_value(UNINSTALL_KEY, "DisplayName")->data);
    std::string settings = winsim::file_bytes(system("zantrel.apd"));
    EXPECT_EQ(std::string::npos, settings.find('@'));
    EXPECT_NE(std::string::npos, settings.find("The Sorvik printer drivers"));
    EXPECT_EQ(0u, result_text.find("Sorvik Printer driver "));
    // Drivers and printers keep their names.
    for (const winsim::PrinterSetup &printer : winsim::printers())
        EXPECT_EQ(0u, printer.name.find("Ravelo ")) << printer.name;
}

TEST_F(Installation, WithoutSetupExeNoUninstallerIsPlacedAndTheStepAsks)
{
    boot_version(winsim::windows_nt_40);
    DeleteFileA("D:\\setup.exe");
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, install(&result_text, one_box(IDIGNORE, &boxes)));

    EXPECT_FALSE(winsim::file_present(system("rmzantr.exe")));
    EXPECT_FALSE(winsim::file_present(system("zantrel.apd")));
    // Nor is the fax server started or set to start with Windows.
    EXPECT_FALSE(winsim::registry_value(RUN_KEY, "tqvPRINT").has_value());
    EXPECT_TRUE(winsim::started_processes().empty());
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("The files could not be installed.\r\n" + system_text(ERROR_FILE_NOT_FOUND), boxes[0]);
    EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
    // Ignore goes on: the drivers were still registered, the spooler runs.
    EXPECT_EQ(2u, winsim::printers().size());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
}

TEST_F(Installation, AMissingClientLibraryIsExplainedAndFailsTheDriverStep)
{
    boot_version(winsim::windows_xp);
    winsim::fail_call("AddPrintProcessorA", 1, ERROR_DLL_NOT_FOUND);
    expect_language(IDC_ENGLISH);
    expect_choice(IDC_INSTALL);
    expect_progress();
    std::string explanation;
    expect_result(&explanation);
    std::vector<std::string> boxes;
    one_box(IDABORT, &boxes)();
    std::string result_text;
    expect_result(&result_text);
    expect_reboot();

    EXPECT_EQ(0, run_setup());

    EXPECT_EQ(std::vector<std::string>{"The printer drivers could not be installed.\r\n" +
                                       system_text(ERROR_DLL_NOT_FOUND)},
              boxes);
    EXPECT_EQ(0u, explanation.find("The print processor needs a library of the MAPI connector client"))
        << explanation;
    EXPECT_TRUE(winsim::printers().empty());
    EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
}

TEST_F(Installation, TheFaxPartMayFailWhileTheStepSucceeds)
{
    boot_version(winsim::windows_xp);
    winsim::fail_call("AddPrinterDriverA", 1, ERROR_ACCESS_DENIED);
    expect_language(IDC_ENGLISH);
    expect_choice(IDC_INSTALL);
    expect_progress();
    std::string fax_error;
    expect_result(&fax_error);
    std::string result_text;
    expect_result(&result_text);
    expect_reboot();

    EXPECT_EQ(1, run_setup());

    EXPECT_EQ(system_text(ERROR_ACCESS_DENIED), fax_error);
    ASSERT_EQ(1u, winsim::printers().size());
    EXPECT_EQ("Ravelo Telex Driver", winsim::printers()[0].name);
    EXPECT_EQ(0u, result_text.find("Ravelo Printer driver "));
}

TEST_F(Installation, TheRemovalsSpoolerQuestionCarriesTheInstallationsTitle)
{
    boot_version(winsim::windows_xp);
    // The first start is the removal's restart of the spooler.
    winsim::fail_call("StartServiceA", 1, ERROR_SERVICE_DEPENDENCY_FAIL);
    winsim::MessageBoxSeen seen{};

    EXPECT_EQ(1, install(nullptr, [&seen] {
        winsim::expect_message_box([&seen](const winsim::MessageBoxSeen &box) {
            seen = box;
            return IDRETRY;
        });
    }));

    EXPECT_EQ("The print spooler could not be started.\r\n" + system_text(ERROR_SERVICE_DEPENDENCY_FAIL),
              seen.text);
    EXPECT_EQ("Ravelo Printer Driver Setup install Version 3.0", seen.title);
}

TEST_F(Installation, ARefusedTelexPrinterFailsTheDriverStep)
{
    boot_version(winsim::windows_xp);
    // The fax printer is the first added, the telex printer the second.
    winsim::fail_call("AddPrinterA", 2, ERROR_ACCESS_DENIED);
    std::string printer_error;
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, install(&result_text, [&] {
        expect_result(&printer_error);
        one_box(IDABORT, &boxes)();
    }));

    EXPECT_EQ(system_text(ERROR_ACCESS_DENIED), printer_error);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("The printer drivers could not be installed.\r\n" + system_text(ERROR_ACCESS_DENIED),
              boxes[0]);
    EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
    ASSERT_EQ(1u, winsim::printers().size());
    EXPECT_EQ("Ravelo Printer Driver", winsim::printers()[0].name);
}

TEST_F(Installation, The95FamilyPassesOverARefusedProcessorOnlyWhenTheScanFoundIt)
{
    for (bool found : {true, false}) {
        boot_version(winsim::windows_98);
        reset_setup_state();
        for (const char *name : {"ravelo.drv", "ravtlx.drv"})
            winsim::put_file(driver_directory() + "\\" + name, "payload");
        winsim::add_port("NUL:");
        if (found)
            winsim::add_print_processor("Windows 4.0", "tqvprint", "tqvprint.dll");
        ASSERT_EQ(1, scan_platform());
        winsim::fail_call("AddPrintProcessorA", 1, ERROR_ACCESS_DENIED);
        last_error = 0;

        EXPECT_EQ(found ? 1 : 0, install_driver_step()) << found;

        EXPECT_EQ(found ? 0u : (DWORD)ERROR_ACCESS_DENIED, last_error);
        EXPECT_EQ(found ? 3u : 0u, winsim::printers().size()) << found;
    }
}

namespace {

// Which call of the function (1-based) a successful installation makes
// first after the status text was shown.
int first_call_after_status(const char *function, const char *status, int occurrence)
{
    int shown = 0;
    int calls = 0;
    for (const winsim::CallRecord &call : winsim::journal()) {
        if (call.function == "SetDlgItemTextA" &&
            call.arguments.find(std::string("\"") + status + "\"") != std::string::npos)
            shown++;
        if (call.function == function) {
            calls++;
            if (shown >= occurrence)
                return calls;
        }
    }
    return 0;
}

} // namespace

// Each step made to fail once, answered each way.
TEST_F(Installation, EveryStepAnswersAbortRetryIgnoreAndNoAnswer)
{
    struct Step {
        const char *function; // made to fail in the step
        DWORD error;
        const char *status;   // the step's status text
        int occurrence;       // which showing of that text is the step's
        const char *next;     // a status text of a later step
    };
    // The removal of step 2 stops and starts the spooler too: steps 3 and 5
    // are the second showing of their texts.
    const Step steps[] = {
        {"GetPrinterDriverDirectoryA", ERROR_ACCESS_DENIED, "Initialising the setup...", 1,
         "Removing the earlier printer drivers..."},
        {"ControlService", ERROR_ACCESS_DENIED, "Stopping the print spooler...", 2,
         "Installing the files..."},
        {"SetupInstallFromInfSectionA", ERROR_ACCESS_DENIED, "Installing the files...", 1,
         "Installing the printer drivers..."},
        {"StartServiceA", ERROR_SERVICE_DEPENDENCY_FAIL, "Starting the print spooler...", 2,
         "Installing the printer drivers..."},
        {"AddPrintProcessorA", ERROR_ACCESS_DENIED, "Installing the printer drivers...", 1, nullptr},
    };
    // No box (0) counts as a failed run, not as a success nobody confirmed.
    struct {
        int answer;
        int exit_code;
        bool later_steps_run;
    } answers[] = {{IDABORT, 0, false}, {IDRETRY, 1, true}, {IDIGNORE, 0, true}, {0, 0, true}};

    for (const Step &step : steps) {
        // A run that succeeds tells which call belongs to the step.
        boot_version(winsim::windows_xp);
        reset_setup_state();
        ASSERT_EQ(1, install(nullptr));
        int nth = first_call_after_status(step.function, step.status, step.occurrence);
        ASSERT_NE(0, nth) << step.function;
        for (const auto &answer : answers) {
            SCOPED_TRACE(std::string(step.function) + " answered " + std::to_string(answer.answer));
            boot_version(winsim::windows_xp);
            reset_setup_state();
            winsim::fail_call(step.function, nth, step.error);
            if (answer.answer == 0)
                winsim::fail_call("MessageBoxA", 1, ERROR_NOT_ENOUGH_MEMORY, true);
            int button = answer.answer;
            // What later steps show of their own failures is passed over.
            winsim::answer_every_message_box([](const winsim::MessageBoxSeen &) { return IDIGNORE; });
            winsim::answer_every_dialog(IDD_RESULT, [](winsim::Dialog &dialog) { dialog.click(IDOK); });

            EXPECT_EQ(answer.exit_code, install(nullptr, [button] {
                if (button != 0)
                    winsim::expect_message_box([button](const winsim::MessageBoxSeen &) { return button; });
            }));

            std::vector<std::string> statuses = status_history();
            int shown = (int)std::count(statuses.begin(), statuses.end(), step.status);
            EXPECT_GE(shown, step.occurrence + (answer.answer == IDRETRY ? 1 : 0));
            if (step.next != nullptr) {
                bool later = std::find(statuses.begin(), statuses.end(), step.next) != statuses.end();
                EXPECT_EQ(answer.later_steps_run, later);
            }
            // The spooler runs again, unless the user gave up on its very start.
            bool start_given_up = std::string(step.function) == "StartServiceA" &&
                                  (answer.answer == IDIGNORE || answer.answer == 0);
            EXPECT_EQ(start_given_up ? (DWORD)SERVICE_STOPPED : (DWORD)SERVICE_RUNNING,
                      winsim::service_state("Spooler"));
        }
    }
}

TEST_F(Installation, The95FamilyRunsOnlyItsFourSteps)
{
    boot_version(winsim::windows_me);

    EXPECT_EQ(1, install(nullptr));

    EXPECT_EQ(0, winsim::call_count("OpenSCManagerA"));
    std::vector<std::string> statuses = status_history();
    std::vector<std::string> steps;
    for (const std::string &text : statuses) {
        for (const char *step : {"Initialising the setup...", "Removing the earlier printer drivers...",
                                 "Installing the files...", "Installing the printer drivers..."}) {
            if (text == step)
                steps.push_back(text);
        }
    }
    EXPECT_EQ((std::vector<std::string>{"Initialising the setup...",
                                        "Removing the earlier printer drivers...",
                                        "Installing the files...", "Installing the printer drivers..."}),
              steps);
}

TEST_F(Installation, OnAnUnsupportedNtTheFilesStepFailsInsteadOfInstallingNowhere)
{
    winsim::MachineSetup setup;
    setup.version = {VER_PLATFORM_WIN32_NT, 6, 0, 6002, "Windows Vista"};
    boot(setup);
    put_distribution();
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, install(&result_text, one_box(IDABORT, &boxes)));

    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("The files could not be installed.\r\n" + system_text(ERROR_NOT_SUPPORTED), boxes[0]);
    EXPECT_EQ(0, winsim::call_count("SetupInstallFromInfSectionA"));
    EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
}

TEST_F(Installation, ATemporaryInfHeldOpenForAMomentIsStillDeleted)
{
    // The INF is the last file an installation deletes.
    boot_version(winsim::windows_xp);
    ASSERT_EQ(1, install(nullptr));
    int inf_deletion = winsim::call_count("_unlink");
    boot_version(winsim::windows_xp);
    reset_setup_state();
    // A scanner holds it at the first four of five attempts.
    for (int attempt = 0; attempt < 4; attempt++)
        winsim::fail_call("_unlink", inf_deletion + attempt, ERROR_SHARING_VIOLATION);

    EXPECT_EQ(1, install(nullptr));

    EXPECT_EQ(inf_deletion + 4, winsim::call_count("_unlink"));
    std::vector<std::string> sleeps = call_arguments("Sleep");
    EXPECT_EQ(4, std::count(sleeps.begin(), sleeps.end(), "200"));
    expect_no_temporary_inf();
}

TEST_F(Installation, ADestinationTheSetupApiCannotTakeFailsTheFilesStep)
{
    boot_version(winsim::windows_xp);
    winsim::fail_call("SetupSetDirectoryIdA", 2, ERROR_NOT_ENOUGH_MEMORY);
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, install(&result_text, one_box(IDABORT, &boxes)));

    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("The files could not be installed.\r\n" + system_text(ERROR_NOT_ENOUGH_MEMORY), boxes[0]);
    EXPECT_EQ(0, winsim::call_count("SetupInstallFromInfSectionA"));
    EXPECT_EQ(0, winsim::open_inf_count());
    EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
}

TEST_F(Installation, AFullDiskWhileTheInfOrTheMessageFileIsWrittenFailsTheFilesStep)
{
    // The INF is the first file the installation writes, the message file
    // the second; each reaches the disk when it is closed, or when a line
    // fills the stream's buffer (the write of that fputs).
    const struct {
        const char *function;
        int nth;
        int write;
    } faults[] = {{"WriteFile", 1, 1}, {"WriteFile", 2, 2}, {"fputs", 1, 1}};
    for (const auto &fault : faults) {
        int write = fault.write;
        boot_version(winsim::windows_xp);
        reset_setup_state();
        winsim::fail_call(fault.function, fault.nth, ERROR_DISK_FULL);
        std::vector<std::string> boxes;
        std::string result_text;

        EXPECT_EQ(0, install(&result_text, one_box(IDABORT, &boxes))) << write;

        EXPECT_EQ(std::vector<std::string>{"The files could not be installed.\r\n" +
                                           system_text(ERROR_DISK_FULL)},
                  boxes)
            << write;
        EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
        expect_no_temporary_inf();
        // A cut INF installs nothing; a cut message file is not left for
        // the uninstaller; and neither leaves an uninstall entry.
        EXPECT_EQ(write == 1 ? 0 : 1, winsim::call_count("SetupInstallFromInfSectionA")) << write;
        EXPECT_EQ(write == 2, winsim::file_present(system("faxsrv.exe"))) << write;
        EXPECT_EQ(write == 2, winsim::file_present(system("rmzantr.exe"))) << write;
        EXPECT_FALSE(winsim::file_present(system("zantrel.apd"))) << write;
        EXPECT_FALSE(winsim::registry_key_exists(UNINSTALL_KEY)) << write;
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    }
}

TEST_F(Installation, ASpoolerThatDoesNotStartAgainAfterTheOldRemovalIsAskedAboutOnce)
{
    boot_version(winsim::windows_xp);
    arrange_installed_product("eng");
    // The removal's restart of the spooler, the first start of the run.
    winsim::fail_call("StartServiceA", 1, ERROR_SERVICE_REQUEST_TIMEOUT);
    std::vector<std::string> boxes;
    std::string result_text;

    EXPECT_EQ(0, install(&result_text, one_box(IDABORT, &boxes)));

    EXPECT_EQ(std::vector<std::string>{"The print spooler could not be started.\r\n" +
                                       system_text(ERROR_SERVICE_REQUEST_TIMEOUT)},
              boxes);
    EXPECT_EQ(0u, result_text.find("The installation could not be completed."));
    // Abort ended the run there: nothing new was installed.
    EXPECT_EQ(0, winsim::call_count("SetupInstallFromInfSectionA"));
}

TEST_F(Installation, AQuietFileStepLogsEachFileAndEndsAtAFailureWithoutAWindow)
{
    const std::string processor = print_processor_directory() + "\\tqvprint.dll";
    // error 0: the step succeeds; event: logged, and the last event when the step fails.
    struct { std::function<void()> arrange; DWORD error; size_t copied; std::string event; } cases[] = {
        {[] {}, 0, 16, "file copied: D:\\W2K\\tqvprint.dll -> " + processor},
        {[] { DeleteFileA("D:\\W2K\\faxsrv.exe"); }, ERROR_FILE_NOT_FOUND, 0,
         "file source missing: D:\\W2K\\faxsrv.exe"},
        {[&] { CreateDirectoryA(processor.c_str(), nullptr); }, ERROR_ACCESS_DENIED, 2,
         "file copy failed: D:\\W2K\\tqvprint.dll -> " + processor + ", error 5"},
        // An existing target is replaced at the restart.
        {[this] { winsim::put_file(system("faxsrv.exe"), "old"); }, 0, 16,
         "file delayed until the restart: "},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        boot_version(winsim::windows_xp);
        reset_setup_state();
        cases[i].arrange();
        quiet_run = 1;
        ASSERT_EQ(1, open_run_log("C:\\quiet.log"));
        ASSERT_EQ(1, scan_platform());
        int result = install_inf();
        std::vector<std::string> events = logged("C:\\quiet.log");
        EXPECT_EQ(cases[i].error == 0, result) << i;
        EXPECT_EQ(cases[i].error, last_error) << i;
        EXPECT_EQ(0, winsim::setup_progress_windows_shown()) << i;
        EXPECT_TRUE(winsim::shown_setup_prompts().empty() && winsim::message_boxes_shown().empty() &&
                    winsim::script_failures().empty()) << i;
        EXPECT_EQ(cases[i].copied, std::count_if(events.begin(), events.end(), [](const std::string &event) {
                      return event.rfind("file copied: D:\\W2K\\", 0) == 0;
                  })) << i;
        std::string expected = cases[i].event;
        for (const winsim::PendingReplacement &delayed : winsim::pending_file_replacements())
            expected += delayed.temporary_file + " -> " + delayed.target;
        EXPECT_NE(events.end(), std::find(events.begin(), events.end(), expected)) << i << expected;
        EXPECT_TRUE(result == 1 || expected == events.back()) << i << events.back();
    }
}

TEST_F(Installation, TheCheckTellsAWholeAPartlyAndAMissingPackageApartAndNamesWhatIsMissing)
{
    const std::string missing_pieces[] = {"check: missing print processor tqvprint",
        "check: missing printer driver Ravelo Printer Driver", "check: missing printer driver Ravelo Telex Driver",
        "check: missing printer of driver Ravelo Printer Driver", "check: missing printer of driver Ravelo Telex Driver",
        "check: missing uninstall entry " + std::string(UNINSTALL_KEY), "check: missing autostart value tqvPRINT"};
    // Nothing; a run stopped after its files step by a refused processor; all; all, unreadable.
    const int codes[] = {EXIT_NOT_INSTALLED, EXIT_PARTLY_INSTALLED, EXIT_DONE, EXIT_FAILED};
    for (const winsim::Version &version : {winsim::windows_xp, winsim::windows_98}) {
        size_t count = version.platform_id == VER_PLATFORM_WIN32_NT ? 7 : 6; // 95: no autostart
        for (int installed = 0; installed < 4; installed++) {
            boot_version(version);
            reset_setup_state();
            std::vector<std::string> boxes;
            if (installed == 1)
                winsim::fail_call("AddPrintProcessorA", 1, ERROR_ACCESS_DENIED, true);
            if (installed > 0)
                install(nullptr, installed == 1 ? one_box(IDABORT, &boxes) : nullptr);
            reset_setup_state();
            ASSERT_EQ(1, scan_platform());
            if (installed == 3)
                winsim::fail_call("EnumPrinterDriversA", 1, ERROR_ACCESS_DENIED, true);
            ASSERT_EQ(1, open_run_log("C:\\check.log"));
            EXPECT_EQ(codes[installed], check_installation()) << version.name << installed;
            size_t missing = installed == 0 ? count : installed == 1 ? 5 : 0;
            std::vector<std::string> expected(missing_pieces, missing_pieces + missing);
            expected.push_back("check: " + std::to_string(count - missing) + " of " +
                               std::to_string(count) + " pieces in place");
            if (installed == 3)
                expected = {"check: the printer driver list could not be read, error 5"};
            EXPECT_EQ(expected, logged("C:\\check.log")) << version.name << installed;
        }
    }
    // Without the scan's description there is nothing to compare with.
    reset_setup_state();
    EXPECT_EQ(EXIT_PLATFORM_UNSUPPORTED, check_installation());
}

// A failure of the old installation's removal is asked about until the
// user gives up on it, and takes nothing from the later steps.
TEST_F(Installation, AFailureOfTheOldRemovalIsAskedAboutUntilIgnoredAndTheInstallationGoesOn)
{
    const std::string not_removed = "The earlier installation could not be removed.\r\n" +
                                    system_text(ERROR_ACCESS_DENIED);
    const std::string not_started = "The print spooler could not be started.\r\n";
    const struct {
        const char *refused; // a directory query of the removal, or none: "Fax"
                             // was disabled while it ran, and "Modem" needs it
        std::vector<int> answers;
        std::vector<std::string> boxes;
    } cases[] = {
        {"GetSystemDirectoryA", {IDIGNORE}, {not_removed}},
        {"GetPrintProcessorDirectoryA", {IDIGNORE}, {not_removed}},
        {"GetPrinterDriverDirectoryA", {IDIGNORE}, {not_removed}},
        {nullptr, {IDIGNORE}, {not_started + system_text(ERROR_SERVICE_DISABLED)}},
        {nullptr, {IDRETRY, IDIGNORE}, {not_started + system_text(ERROR_SERVICE_DISABLED),
                                        not_started + system_text(ERROR_SERVICE_DEPENDENCY_FAIL)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.refused != nullptr ? c.refused : "Modem") + ", " +
                     std::to_string(c.answers.size()) + " answers");
        int nth = 0;
        if (c.refused != nullptr) {
            // A run without the fault tells which call is the removal's.
            boot_version(winsim::windows_xp);
            reset_setup_state();
            arrange_installed_product("eng");
            ASSERT_EQ(1, install(nullptr));
            nth = first_call_after_status(c.refused, "Removing the earlier printer drivers...", 1);
        }
        boot_version(winsim::windows_xp);
        reset_setup_state();
        arrange_installed_product("eng");
        if (c.refused != nullptr) {
            winsim::fail_call(c.refused, nth, ERROR_ACCESS_DENIED);
        } else {
            winsim::add_service({"Fax", {"Spooler"}, true, 0, 0, true});
            winsim::add_service({"Modem", {"Fax"}});
        }
        std::vector<std::string> boxes;

        EXPECT_EQ(0, install(nullptr, [&] {
            for (int answer : c.answers)
                one_box(answer, &boxes)();
        }));

        EXPECT_EQ(c.boxes, boxes);
        EXPECT_TRUE(winsim::script_failures().empty());
        EXPECT_EQ(1, winsim::call_count("SetupInstallFromInfSectionA"));
        EXPECT_EQ(2u, winsim::printers().size());
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    }
}

// A dependent that ends in each of its starts, given up on with Abort in
// the installation's start step, is not asked about again when the finish
// starts the spooler once more: one box, and the run ends.
TEST_F(Installation, ADependentGivenUpOnInTheStartStepIsNotAskedAboutAgain)
{
    // A run that succeeds tells which start is the dependent's in that step
    // (the removal of step 2 starts the spooler first).
    boot_version(winsim::windows_xp);
    reset_setup_state();
    winsim::add_service({"Modem", {"Spooler"}});
    ASSERT_EQ(1, install(nullptr));
    int spooler_start = first_call_after_status("StartServiceA", "Starting the print spooler...", 2);
    ASSERT_NE(0, spooler_start);

    boot_version(winsim::windows_xp);
    reset_setup_state();
    winsim::add_service({"Modem", {"Spooler"}});
    // The step's start of the dependent, and the finish's after its start
    // of the spooler.
    winsim::fail_service_start(spooler_start + 1, ERROR_SERVICE_SPECIFIC_ERROR, 42);
    winsim::fail_service_start(spooler_start + 3, ERROR_SERVICE_SPECIFIC_ERROR, 42);
    std::vector<std::string> boxes;

    EXPECT_EQ(0, install(nullptr, one_box(IDABORT, &boxes)));

    EXPECT_EQ(std::vector<std::string>{"The print spooler could not be started.\r\n" +
                                       system_text(ERROR_SERVICE_SPECIFIC_ERROR)},
              boxes);
    EXPECT_EQ(spooler_start + 3, winsim::call_count("StartServiceA"));
    EXPECT_TRUE(winsim::script_failures().empty());
    EXPECT_EQ(0u, winsim::printers().size());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Modem"));
}
