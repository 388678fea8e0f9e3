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

    void boot_as_uninstaller(const winsim::Version &version, const std::string &name)
    {
        winsim::MachineSetup setup = winsim::setup_for(version);
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
    winsim::put_file("C:\\WINDOWS\\system32\\zantrel.apd", shipped_language_file("eng"));
    // A program planted in the directory the uninstaller moves to must not run.
    winsim::put_file("C:\\cmd.exe", "planted");
    expect_progress();

    EXPECT_EQ(0, run_setup());

    std::vector<winsim::ExecRecord> execs = winsim::execs();
    ASSERT_EQ(1u, execs.size());
    EXPECT_EQ("C:\\WINDOWS\\system32\\cmd.exe", execs[0].path);
    EXPECT_EQ("/c del \"C:\\WINDOWS\\system32\\zantrel.apd\" "
              "\"C:\\WINDOWS\\system32\\rmzantr.exe\"",
              execs[0].command_line);
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

TEST_F(RunModes, AFailedRemovalKeepsTheUninstallerCopyAndEndsWithZero)
{
    for (const winsim::Version &version : {winsim::windows_nt_40, winsim::windows_98}) {
        boot_as_uninstaller(version, "rmzantr.exe");
        reset_setup_state();
        arrange_installed_product("eng");
        winsim::fail_call("DeletePrinter", 1, ERROR_ACCESS_DENIED);
        expect_progress();
        winsim::expect_message_box([](const winsim::MessageBoxSeen &) { return IDABORT; });

        EXPECT_EQ(0, run_setup()) << version.name;

        // The uninstall entry still names the copy, and the result asks to
        // run the removal again.
        EXPECT_TRUE(winsim::execs().empty()) << version.name;
        EXPECT_TRUE(winsim::file_present(winsim::machine().system_dir + "\\rmzantr.exe"));
        ASSERT_FALSE(status_history().empty());
        EXPECT_EQ(0u, status_history().back().find("The Ravelo printer drivers could not be removed"))
            << status_history().back();
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
        "status_callback=NULL message_text='' window_title='' driver_extension='' "
        "environment_name='' platform_tag='' system_dir='' driver_dir='' print_processor_dir='' "
        "program_dir='' platform_source_dir='' product_display_name='LUMETRA MAPI connector' "
        "product_short_name='LUMETRA' settings_source_name=NULL language_code='ger' "
        "language_file_name='lang.ger' message_table=NULL spooler_service_list='spooler' NULL";
    EXPECT_EQ(start, setup_state_at_process_start());
    reset_setup_state();
    EXPECT_EQ(start, setup_state_text());
}
