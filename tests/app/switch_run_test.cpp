// Runs with switches: the command lines taken and refused, quiet runs that
// leave the machine an interactive run leaves, their log and exit codes.
#include "support/scenario.h"

#include "app/command_line.h"
#include "app/entry_point.h"
#include "resources/resource.h"

#include <sstream>

namespace {

// What the parser made of a line, in one comparable text.
std::string read_as(const char *text, int uninstaller)
{
    CommandLine line;
    if (!read_command_line(text, uninstaller, &line))
        return std::string("wrong ") + line.wrong_word + (line.quiet ? " q" : "");
    if (!line.switched)
        return "normal";
    static const char *const ACTIONS[] = {"choice", "install", "remove", "check", "help"};
    std::string mode = ACTIONS[line.action];
    mode += std::string(line.quiet ? " q" : "") + (line.no_restart ? " norestart" : "");
    if (line.log)
        mode += std::string(" log=") + line.log_path;
    if (line.language != nullptr)
        mode += std::string(" lang=") + line.language;
    return mode;
}

std::vector<std::string> log_lines(const std::string &path)
{
    std::istringstream text(winsim::file_bytes(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        EXPECT_EQ('\r', line.back());
        lines.push_back(line.substr(24, line.size() - 25)); // after "2026-01-15 08:00:00.000 "
    }
    return lines;
}

std::vector<std::string> starting(const std::vector<std::string> &lines, const std::string &head)
{
    std::vector<std::string> found;
    for (const std::string &line : lines) {
        if (line.compare(0, head.size(), head) == 0)
            found.push_back(line);
    }
    return found;
}

const char LOG[] = "C:\\setup.log";
const char UNINSTALL_KEY[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel";

// The machine but for the log.
MachineState capture_without_log()
{
    MachineState state = capture();
    state.files.erase(LOG);
    return state;
}

// No dialog, box, restart prompt or window call, and no visible console.
// (The package's fax server, which the installation starts, shows its own
// window in every run.)
void expect_no_window()
{
    for (const char *call : {"DialogBoxParamA", "MessageBoxA", "SetupPromptReboot", "EndDialog",
                             "SetDlgItemTextA", "SetWindowTextA"})
        EXPECT_EQ(0, winsim::call_count(call)) << call;
    for (const winsim::ProcessStart &started : winsim::started_processes()) {
        if (started.application.find("cmd.exe") != std::string::npos) {
            EXPECT_EQ(SW_HIDE, started.show_window) << started.command_line;
        }
    }
    EXPECT_TRUE(winsim::script_failures().empty());
}

class SwitchRun : public MachineTest {
  protected:
    void boot_with_distribution(const winsim::Version &version, const char *current_dir = "D:\\")
    {
        winsim::MachineSetup setup = winsim::setup_for(version);
        setup.current_dir = current_dir;
        boot(setup);
        reset_setup_state();
        put_distribution();
    }

    void boot_as_uninstaller(const winsim::Version &version)
    {
        winsim::MachineSetup setup = winsim::setup_for(version);
        setup.module_file_name = setup.system_dir + "\\rmzantr.exe";
        boot(setup);
        reset_setup_state();
        arrange_installed_product("eng");
    }
};

} // namespace

TEST(CommandLine, EachLineIsReadWholeOrRefusedNamingTheWrongWord)
{
    const struct {
        const char *text;
        int uninstaller;
        const char *read;
    } lines[] = {
        {"", 0, "normal"},
        {"  setup.ini /Q", 0, "normal"},
        {"/install", 0, "install"},
        {"/Remove /q /NoRestart", 0, "remove q norestart"},
        {"/CHECK /LOG", 0, "check log="},
        {"/LOG=\"C:\\my logs\\a.log\" /LANG=FRE", 0, "choice log=C:\\my logs\\a.log lang=fre"},
        {"\"/LOG=C:\\a b.log\"", 0, "choice log=C:\\a b.log"},
        {"/? /Q", 0, "help q"},
        {"/HELP", 1, "help"},
        {"/Q /LOG", 1, "choice q log="},
        {"/Q", 0, "wrong /Q q"},
        {"/INSTALL /REMOVE", 0, "wrong /REMOVE"},
        {"/INSTALL /INSTALL", 0, "wrong /INSTALL"},
        {"/LOG /LOG=x", 0, "wrong /LOG=x"},
        {"/INSTALL /LANG=ita /Q", 0, "wrong /LANG=ita q"},
        {"/INSTALL /LANG", 0, "wrong /LANG"},
        {"/INSTALL /LANG=", 0, "wrong /LANG="},
        {"/INSTALL /Q=1", 0, "wrong /Q=1"},
        {"/INSTALL setup.log", 0, "wrong setup.log"},
        {"/INSTALL /SILENT", 0, "wrong /SILENT"},
        {"/LOG=\"C:\\open", 0, "wrong /LOG=C:\\open"},
        {"/INSTALL", 1, "wrong /INSTALL"},
        {"/LANG=eng", 1, "wrong /LANG=eng"},
    };
    for (const auto &line : lines)
        EXPECT_EQ(line.read, read_as(line.text, line.uninstaller)) << line.text;
    std::string too_long = "/LOG=" + std::string(LOG_PATH_SIZE, 'x');
    EXPECT_EQ(0u, read_as(too_long.c_str(), 0).find("wrong /LOG=xxx"));
}

TEST_F(SwitchRun, AWrongCommandLineChangesNothingAndBoxesTheWordUnlessQuiet)
{
    put_distribution();
    MachineState before = capture_without_log();
    std::string box;
    winsim::expect_message_box([&box](const winsim::MessageBoxSeen &seen) {
        box = seen.text;
        return IDOK;
    });

    EXPECT_EQ(1639, winsim::run_program(WinMain, "/INSTALL /BOGUS /LOG=C:\\setup.log"));

    EXPECT_EQ(0u, box.find("Unknown or wrong: /BOGUS\r\n")) << box;
    EXPECT_EQ(0, winsim::call_count("CreateMutexA"));
    EXPECT_FALSE(winsim::file_present(LOG));
    MachineState after = capture_without_log();
    EXPECT_EQ(before.files, after.files);
    EXPECT_EQ(before.registry, after.registry);
}

TEST_F(SwitchRun, AQuietInstallLeavesWhatAnInteractiveOneLeavesAndLogsItsSteps)
{
    const std::vector<std::string> nt_steps = {"SetupInit", "SetupRemoveOld", "SetupStopSpooler",
                                               "SetupInstallFiles", "SetupStartSpooler",
                                               "SetupInstallDriver"};
    const struct {
        const winsim::Version &version;
        std::vector<std::string> steps;
    } branches[] = {
        {winsim::windows_98, {"SetupInit", "SetupRemoveOld", "SetupInstallFiles", "SetupInstallDriver"}},
        {winsim::windows_nt_351, nt_steps},
        {winsim::windows_nt_40, nt_steps},
        {winsim::windows_xp, nt_steps},
    };
    for (const auto &branch : branches) {
        boot_with_distribution(branch.version);
        EXPECT_EQ(1, run_normal(IDC_INSTALL, nullptr));
        MachineState interactive = capture_without_log();
        // As a logon script starts it; a check first finds nothing.
        boot_with_distribution(branch.version, "C:\\");
        EXPECT_EQ(1605, winsim::run_program(WinMain, "/CHECK /Q"));
        reset_setup_state();
        SetCurrentDirectoryA("C:\\");

        EXPECT_EQ(3010, winsim::run_program(WinMain, "/Q /INSTALL /LANG=eng /LOG=C:\\setup.log"));

        MachineState quiet = capture_without_log();
        EXPECT_EQ(interactive.files, quiet.files) << branch.version.name;
        EXPECT_EQ(interactive.registry, quiet.registry) << branch.version.name;
        EXPECT_EQ(interactive.spooler, quiet.spooler) << branch.version.name;
        EXPECT_EQ(interactive.ports, quiet.ports) << branch.version.name;
        expect_no_window();
        std::vector<std::string> log = log_lines(LOG);
        std::vector<std::string> steps;
        for (const std::string &step : branch.steps)
            steps.push_back("step " + step + " succeeded");
        EXPECT_EQ(steps, starting(log, "step ")) << branch.version.name;
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ("start setup 6.0.2.9, command line \"/Q /INSTALL /LANG=eng /LOG=C:\\setup.log\", "
                  "program folder D:\\, current folder C:\\, user Administrator",
                  log.front());
        EXPECT_EQ("result " + std::string(branch.version.platform_id == VER_PLATFORM_WIN32_WINDOWS
                                              ? "SetupOk95"
                                              : "SetupOk"),
                  log[log.size() - 2]);
        EXPECT_EQ("exit code 3010", log.back());

        // Then the whole package, and once the uninstall entry is gone, part of it.
        reset_setup_state();
        EXPECT_EQ(0, winsim::run_program(WinMain, "/CHECK /Q"));
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY + 5);
        reset_setup_state();
        EXPECT_EQ(1610, winsim::run_program(WinMain, "/CHECK /Q /LOG=C:\\check.log"));
        EXPECT_EQ((std::vector<std::string>{"check: missing uninstall entry " +
                                            std::string(UNINSTALL_KEY)}),
                  starting(log_lines("C:\\check.log"), "check: missing"));
    }
}

TEST_F(SwitchRun, AQuietInstallTriesASpoolerThatNeverStartsThreeTimesThenFails)
{
    boot_with_distribution(winsim::windows_xp);
    // The spooler's process ends in each start, saying why in its own number.
    for (int start = 1; start <= 4; start++)
        winsim::fail_service_start(start, ERROR_SERVICE_SPECIFIC_ERROR, 42);

    EXPECT_EQ(1603, winsim::run_program(WinMain, "/INSTALL /Q /LOG=C:\\setup.log"));

    EXPECT_EQ(3, winsim::call_count("StartServiceA"));
    expect_no_window();
    std::string error = ", error 1066: " + system_text(1066);
    error.erase(error.find_last_not_of("\r\n") + 1);
    std::vector<std::string> log = log_lines(LOG);
    EXPECT_EQ((std::vector<std::string>{"question SetupCantStartSpooler, answer Retry" + error,
                                        "question SetupCantStartSpooler, answer Retry" + error,
                                        "question SetupCantStartSpooler, answer Abort" + error}),
              starting(log, "question "));
    EXPECT_EQ(std::vector<std::string>(3, "the service's own exit code 42"),
              starting(log, "the service's own"));
    // The removal of what an earlier run left restarts the spooler first.
    EXPECT_EQ("step SetupRemoveOld failed, aborted", starting(log, "step ").back());
    EXPECT_EQ("result SetupFailed", log[log.size() - 2]);
    EXPECT_EQ("exit code 1603", log.back());
}

// The explanation of a missing connector client, a box of its own in a
// normal run, goes to the log: no window waits for a click no one gives.
TEST_F(SwitchRun, AQuietInstallWithoutTheConnectorClientLogsWhyAndFails)
{
    boot_with_distribution(winsim::windows_xp);
    winsim::fail_call("AddPrintProcessorA", 1, ERROR_DLL_NOT_FOUND);

    EXPECT_EQ(1603, winsim::run_program(WinMain, "/INSTALL /Q /LOG=C:\\setup.log"));

    expect_no_window();
    std::string error =
        ", error " + std::to_string(ERROR_DLL_NOT_FOUND) + ": " + system_text(ERROR_DLL_NOT_FOUND);
    error.erase(error.find_last_not_of("\r\n") + 1);
    std::vector<std::string> log = log_lines(LOG);
    EXPECT_EQ(std::vector<std::string>{"message InstallClientFirst"}, starting(log, "message "));
    EXPECT_EQ(std::vector<std::string>{"question SetupCantInstallDriver, answer Abort" + error},
              starting(log, "question "));
    EXPECT_EQ("exit code 1603", log.back());
}

TEST_F(SwitchRun, TheQuietUninstallerDeletesItsCopyWithAHiddenInterpreterAndTellsARestart)
{
    boot_as_uninstaller(winsim::windows_xp);

    EXPECT_EQ(3010, winsim::run_program(WinMain, "/Q /LOG=C:\\setup.log"));

    expect_no_window();
    EXPECT_TRUE(winsim::execs().empty());
    ASSERT_EQ(1u, winsim::started_processes().size());
    EXPECT_FALSE(winsim::file_present(system_file("rmzantr.exe")));
    EXPECT_FALSE(winsim::file_present(system_file("zantrel.apd")));
    EXPECT_FALSE(winsim::registry_key_exists(UNINSTALL_KEY));
    EXPECT_EQ(0, winsim::open_kernel_handle_count());
    std::vector<std::string> log = log_lines(LOG);
    // Keys only: the result text the status line shows is not logged.
    EXPECT_EQ((std::vector<std::string>{"step SetupRemoveOld succeeded",
                                        "deletion of the uninstaller copy started", "result RemoveOk",
                                        "exit code 3010"}),
              std::vector<std::string>(log.end() - 4, log.end()));
}

TEST_F(SwitchRun, AQuietUninstallerWhoseDriverStaysFailsAndKeepsEntryAndCopy)
{
    boot_as_uninstaller(winsim::windows_xp);
    winsim::fail_call("DeletePrinterDriverExA", 1, ERROR_PRINTER_DRIVER_IN_USE, true);

    EXPECT_EQ(1603, winsim::run_program(WinMain, "/Q /LOG=C:\\setup.log"));

    expect_no_window();
    EXPECT_TRUE(winsim::started_processes().empty());
    EXPECT_TRUE(winsim::file_present(system_file("rmzantr.exe")));
    EXPECT_TRUE(winsim::registry_key_exists(UNINSTALL_KEY));
    std::vector<std::string> log = log_lines(LOG);
    ASSERT_EQ(1u, starting(log, "question ").size());
    EXPECT_EQ(0u, starting(log, "question ")[0].find("question SetupCantRemoveOld, answer Abort, error 3001: "));
    EXPECT_EQ("exit code 1603", log.back());
}

TEST_F(SwitchRun, RunsThatStopBeforeTheWorkChangeNothingAndEndWithTheirCode)
{
    const struct {
        const winsim::Version &version;
        const char *line;
        int code;
        bool other_run;
    } runs[] = {
        {winsim::windows_xp, "/REMOVE /Q /LOG=C:\\setup.log", 1605, false},
        {winsim::windows_xp, "/INSTALL /Q /LOG=C:\\setup.log", 1618, true},
        {winsim::windows_7, "/INSTALL /Q /LOG=C:\\setup.log", 1633, false},
        {winsim::windows_xp, "/INSTALL /Q /LANG=fre /LOG=C:\\setup.log", 1623, false},
        {winsim::windows_xp, "/? /Q /LOG=C:\\setup.log", 0, false},
        {winsim::windows_xp, "/INSTALL /Q /LOG=C:\\no\\setup.log", 1622, false},
        {winsim::windows_xp, "/BOGUS /Q /LOG=C:\\setup.log", 1639, false},
    };
    for (const auto &run : runs) {
        boot_with_distribution(run.version);
        DeleteFileA("D:\\lang.fre");
        MachineState before = capture_without_log();
        HANDLE other = run.other_run ? CreateMutexA(nullptr, TRUE, "ZantrelSetupRun") : nullptr;

        EXPECT_EQ(run.code, winsim::run_program(WinMain, run.line)) << run.line;

        MachineState after = capture_without_log();
        EXPECT_EQ(before.files, after.files) << run.line;
        EXPECT_EQ(before.registry, after.registry) << run.line;
        EXPECT_EQ(0, winsim::call_count("OpenSCManagerA")) << run.line;
        expect_no_window();
        std::string last = winsim::file_present(LOG) ? log_lines(LOG).back() : "no log";
        bool no_log = run.code == 1622 || run.code == 1639;
        EXPECT_EQ(no_log ? "no log" : "exit code " + std::to_string(run.code), last);
        if (other != nullptr)
            CloseHandle(other);
        EXPECT_EQ(0, winsim::open_kernel_handle_count()) << run.line;
    }
}

TEST_F(SwitchRun, WithoutQTheRestartOfferDecidesBetween3010And1641)
{
    for (bool restart : {false, true}) {
        boot_with_distribution(winsim::windows_nt_40);
        expect_progress();
        expect_result(nullptr);
        expect_reboot(restart);

        EXPECT_EQ(restart ? 1641 : 3010, winsim::run_program(WinMain, "/INSTALL /LANG=eng"));

        EXPECT_EQ(0, winsim::call_count("MessageBoxA"));
        EXPECT_TRUE(winsim::script_failures().empty());
        EXPECT_TRUE(winsim::unused_expectations().empty());
        // Without /LOG, not even the default log.
        EXPECT_FALSE(winsim::file_present(winsim::machine().temp_dir + "\\zantrel.log"));
    }
}
