// The two run modes: the dialogs in their order, the restart offer and the
// exit codes of the normal run; the uninstaller run and its self-deletion.
#include "support/scenario.h"

#include "app/setup_state.h"
#include "resources/resource.h"

namespace {

class RunModes : public MachineTest {
  protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        put_distribution(false);
    }

    void boot_as_uninstaller(const winsim::Version &version, const std::string &name,
                             const std::string &system_dir = "")
    {
        winsim::MachineSetup setup = winsim::setup_for(version);
        setup.system_dir = system_dir.empty() ? setup.system_dir : system_dir;
        setup.module_file_name = setup.system_dir + "\\" + name;
        setup.current_dir = setup.system_dir;
        boot(setup);
    }
};

} // namespace

TEST_F(RunModes, ACancelledLanguageChoiceEndsWithZeroAfterTheRestartOffer)
{
    expect_language_cancel();
    expect_reboot(false);

    EXPECT_EQ(0, run_setup());

    EXPECT_FALSE(winsim::reboot_requested());
}

TEST_F(RunModes, ALanguageDialogThatCannotBeShownEndsWithZero)
{
    winsim::fail_call("DialogBoxParamA", 1, ERROR_NOT_ENOUGH_MEMORY);
    expect_reboot(false);

    EXPECT_EQ(0, run_setup());

    EXPECT_EQ(1, winsim::call_count("DialogBoxParamA"));
}

TEST_F(RunModes, ACancelledChoiceEndsWithOneAndNoResult)
{
    expect_language(IDC_ENGLISH);
    expect_choice(IDCANCEL);
    expect_reboot(true);

    EXPECT_EQ(1, run_setup());

    EXPECT_EQ(ACTION_NONE, action);
    EXPECT_TRUE(winsim::reboot_requested());
}

TEST_F(RunModes, RemoveWithNothingInstalledIsLikeCancel)
{
    expect_language(IDC_GERMAN);
    expect_choice(IDC_REMOVE);
    expect_reboot();

    EXPECT_EQ(1, run_setup());

    EXPECT_EQ(ACTION_NONE, action);
}

TEST_F(RunModes, TheUninstallerCopyRemovesAndDeletesItselfThroughTheCommandInterpreter)
{
    // Started as the system's software list starts it, in capitals.
    boot_as_uninstaller(winsim::windows_xp, "RMZANTR.EXE");
    winsim::put_file("C:\\WINDOWS\\system32\\RMZANTR.EXE", "MZ uninstaller copy");
    winsim::put_file("C:\\WINDOWS\\system32\\zantrel.apd", shipped_language_file("eng"));
    // A program planted in the directory the uninstaller moves to must not run.
    winsim::put_file("C:\\cmd.exe", "planted");
    expect_progress();

    EXPECT_EQ(0, run_setup());

    std::vector<winsim::ExecRecord> execs = winsim::execs();
    ASSERT_EQ(1u, execs.size());
    EXPECT_EQ("C:\\WINDOWS\\system32\\cmd.exe", execs[0].path);
    const std::string copy = "\"C:\\WINDOWS\\system32\\rmzantr.exe\"";
    EXPECT_EQ("/c del \"C:\\WINDOWS\\system32\\zantrel.apd\" & del " + copy + " & if exist " +
                  copy + " ping -n 2 127.0.0.1 >nul & del " + copy + " & if exist " + copy +
                  " ping -n 30 127.0.0.1 >nul & del " + copy,
              execs[0].command_line);
    // The interpreter came before this process had ended, and deleted the
    // copy on its second try, a second later.
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\rmzantr.exe"));
    EXPECT_FALSE(winsim::file_present("C:\\WINDOWS\\system32\\zantrel.apd"));
    EXPECT_TRUE(winsim::script_failures().empty());
    EXPECT_FALSE(winsim::reboot_requested());
    // The removal spoke the installed language and used the platform's own
    // description, as a normal run's removal does.
    ASSERT_FALSE(status_history().empty());
    EXPECT_EQ(0u, status_history().back().find("LUMETRA MAPI connector\r\n\r\nhas been removed"))
        << status_history().back();
    EXPECT_STREQ("dll", driver_extension);
    EXPECT_STREQ("Windows NT x86", environment_name);
}

TEST_F(RunModes, OnThe95FamilyTheUninstallerCopyStaysAndEndsWithOne)
{
    boot_as_uninstaller(winsim::windows_98, "rmzantr.exe");
    expect_progress();

    EXPECT_EQ(1, run_setup());

    EXPECT_TRUE(winsim::execs().empty());
    EXPECT_STREQ("drv", driver_extension);
    EXPECT_STREQ("Windows 4.0", environment_name);
}

TEST_F(RunModes, WithoutACommandInterpreterTheUninstallerEndsWithOne)
{
    boot_as_uninstaller(winsim::windows_nt_40, "rmzantr.exe");
    DeleteFileA("C:\\WINNT\\system32\\cmd.exe");
    expect_progress();

    EXPECT_EQ(1, run_setup());

    EXPECT_EQ(1u, winsim::execs().size());
}

TEST_F(RunModes, TheUninstallerCopyStaysWhileTheUninstallEntryNamesIt)
{
    // A removal that fails before the entry is deleted (a printer that
    // stays), and one that fails after it (the spooler does not start
    // again and the user gives up): both end with the failure text. No
    // interpreter has command extensions (NT 3.51's none, NT 4's switched
    // off); the longest system directory (spooler folders within MAX_PATH)
    // leaves the line whole.
    struct {
        const winsim::Version &version;
        const char *refused;
        DWORD error;
        bool entry_stays;
        std::string system_dir = "";
    } cases[] = {
        {winsim::windows_nt_40, "DeletePrinter", ERROR_ACCESS_DENIED, true},
        {winsim::windows_98, "DeletePrinter", ERROR_ACCESS_DENIED, true},
        {winsim::windows_nt_40, "StartServiceA", ERROR_SERVICE_REQUEST_TIMEOUT, false},
        {winsim::windows_nt_351, "StartServiceA", ERROR_SERVICE_REQUEST_TIMEOUT, false,
         "C:\\" + std::string(221, 'd')},
    };
    for (const auto &c : cases) {
        boot_as_uninstaller(c.version, "rmzantr.exe", c.system_dir);
        if (c.version.major > 3)
            winsim::set_registry_value("HKLM\\Software\\Microsoft\\Command Processor",
                                       "EnableExtensions", REG_DWORD, std::string(4, '\0'));
        reset_setup_state();
        arrange_installed_product("eng");
        std::string copy = winsim::machine().system_dir + "\\rmzantr.exe";
        std::string settings = winsim::machine().system_dir + "\\zantrel.apd";
        winsim::fail_call(c.refused, 1, c.error);
        expect_progress();
        winsim::expect_message_box([](const winsim::MessageBoxSeen &) { return IDABORT; });

        int exit_code = run_setup();

        std::string label = std::string(c.version.name) + ", " + c.refused + " refused";
        EXPECT_EQ(c.entry_stays, winsim::registry_key_exists(
                                     "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zantrel"))
            << label;
        ASSERT_FALSE(status_history().empty());
        EXPECT_EQ(0u, status_history().back().find("The Ravelo printer drivers could not be removed"))
            << label << ": " << status_history().back();
        if (c.entry_stays) {
            // The entry names the copy, and the result asks to run it again.
            EXPECT_EQ(0, exit_code) << label;
            EXPECT_TRUE(winsim::execs().empty()) << label;
            EXPECT_TRUE(winsim::file_present(copy)) << label;
            EXPECT_TRUE(winsim::file_present(settings)) << label;
        } else {
            // Nothing names the copy any more: it goes, replacing the process.
            EXPECT_EQ(0, exit_code) << label;
            ASSERT_EQ(1u, winsim::execs().size()) << label;
            std::string line = winsim::execs()[0].command_line;
            EXPECT_EQ("& del \"" + copy + "\"", line.substr(line.size() - copy.size() - 8))
                << label;
            EXPECT_FALSE(winsim::file_present(copy)) << label;
            EXPECT_FALSE(winsim::file_present(settings)) << label;
        }
    }
}

TEST_F(RunModes, AProgramOfAnotherNameRunsNormally)
{
    winsim::MachineSetup setup;
    setup.module_file_name = "D:\\xrmzantr.exe";
    boot(setup);
    put_distribution(false);
    expect_language_cancel();
    expect_reboot();

    EXPECT_EQ(0, run_setup());
}

// The fixture writes the start values again before every test; these are
// the product's own, as the process starts.
TEST(SetupState, TheProcessStartsWithNothingChosenAndTheInitialNames)
{
    const std::string start =
        "instance_handle=NULL choice_dialog=NULL progress_dialog=NULL action=0 "
        "processor_installed=0 nul_port_present=0 scan_port_index=0 last_error=0 "
        "service_exit_code=0 status_callback=NULL quiet_run=0 log_path='' spooler_retries=0 message_text='' window_title='' "
        "platform_branch=NULL driver_extension='' environment_name='' platform_tag='' system_dir='' driver_dir='' print_processor_dir='' "
        "program_dir='' platform_source_dir='' product_display_name='LUMETRA MAPI connector' "
        "product_short_name='LUMETRA' settings_source_name=NULL language_code='ger' "
        "language_file_name='lang.ger' message_table=NULL spooler_service_list='spooler' NULL";
    EXPECT_EQ(start, setup_state_at_process_start());

    // A run leaves every value changed; the reset brings back each one.
    const auto start_values = setup_state_values();
    change_setup_state();
    const auto changed_values = setup_state_values();
    for (size_t i = 0; i + 1 < start_values.size(); i++)
        EXPECT_NE(start_values[i].second, changed_values[i].second) << start_values[i].first;
    reset_setup_state();
    EXPECT_EQ(start, setup_state_text());
}
