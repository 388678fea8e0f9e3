// Platform tests, the variant marker, the "SetupInit" check and the capture
// of the last error.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "system/environment.h"

using Environment = MachineTest;

TEST_F(Environment, PlatformTestsAnswerForEveryVersion)
{
    struct {
        const winsim::Version &version;
        int windows_95_family;
        int nt5_or_later;
    } cases[] = {
        {winsim::windows_95, 1, 0},     {winsim::windows_98, 1, 0},   {winsim::windows_me, 1, 0},
        {winsim::windows_nt_351, 0, 0}, {winsim::windows_nt_40, 0, 0}, {winsim::windows_2000, 0, 1},
        {winsim::windows_xp, 0, 1},     {winsim::windows_7, 0, 1},     {winsim::windows_10, 0, 1},
    };
    for (const auto &c : cases) {
        boot(winsim::setup_for(c.version));
        EXPECT_EQ(c.windows_95_family, is_windows_95_family()) << c.version.name;
        EXPECT_EQ(c.nt5_or_later, is_nt5_or_later()) << c.version.name;
    }
}

TEST_F(Environment, AFailedVersionQueryAnswersNoToBothTests)
{
    boot(winsim::setup_for(winsim::windows_98));
    winsim::fail_call("GetVersionExA", 1, ERROR_INVALID_PARAMETER);
    winsim::fail_call("GetVersionExA", 2, ERROR_INVALID_PARAMETER);

    EXPECT_EQ(0, is_windows_95_family());
    EXPECT_EQ(0, is_nt5_or_later());
    // Nothing is cached: the next question asks again.
    EXPECT_EQ(1, is_windows_95_family());
    for (const winsim::CallRecord &call : winsim::journal()) {
        if (call.function == "GetVersionExA") {
            EXPECT_EQ("size 148", call.arguments);
        }
    }
}

TEST_F(Environment, OnlyAMarkerFileInTheCurrentDirectoryMakesTheVariant)
{
    EXPECT_EQ(0, is_sorvik_variant());

    winsim::make_directory("D:\\sorvik");
    EXPECT_EQ(0, is_sorvik_variant()) << "a directory is no marker";

    winsim::put_file("C:\\dist\\sorvik", "");
    winsim::MachineSetup elsewhere;
    elsewhere.module_file_name = "C:\\dist\\setup.exe";
    elsewhere.current_dir = "C:\\WINDOWS";
    boot(elsewhere);
    winsim::put_file("C:\\dist\\sorvik", "");
    EXPECT_EQ(0, is_sorvik_variant()) << "the program's own directory does not count";

    // Created while the program runs: the next question sees it.
    winsim::put_file("C:\\WINDOWS\\SORVIK", "");
    EXPECT_EQ(1, is_sorvik_variant());
    EXPECT_EQ(1, file_exists("sorvik"));
    EXPECT_EQ(0, winsim::open_stream_count());
}

TEST_F(Environment, CaptureKeepsTheThreadsLastErrorUntilTheNextCapture)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, capture_last_error());
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, captured_error());
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, capture_last_error());
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, last_error);
}

TEST_F(Environment, SetupInitSucceedsWhenEverythingAnswers)
{
    for (const winsim::Version &version : winsim::all_versions()) {
        boot(winsim::setup_for(version));
        EXPECT_EQ(1, setup_init()) << version.name;
        EXPECT_EQ(0, winsim::call_count("StartServiceA")) << version.name;
    }
}

TEST_F(Environment, SetupInitStartsAStoppedSpooler)
{
    winsim::add_service({"Spooler", {}, false});

    EXPECT_EQ(1, setup_init());

    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    EXPECT_EQ(0, winsim::open_service_handle_count());
}

TEST_F(Environment, SetupInitGivesUpAfterThreeStartsWithTheQueryError)
{
    // On the 95 family the start does nothing and succeeds; on NT the
    // spooler runs already. Either way the query keeps failing.
    for (const winsim::Version &version : {winsim::windows_98, winsim::windows_xp}) {
        boot(winsim::setup_for(version));
        winsim::fail_call("GetPrintProcessorDirectoryA", 1, ERROR_ACCESS_DENIED, true);
        last_error = 0;

        EXPECT_EQ(0, setup_init()) << version.name;

        EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, last_error) << version.name;
        EXPECT_EQ(4, winsim::call_count("GetPrintProcessorDirectoryA")) << version.name;
        EXPECT_EQ(0, winsim::call_count("GetPrinterDriverDirectoryA")) << version.name;
    }
}

TEST_F(Environment, SetupInitFailsWithTheErrorOfTheFirstQueryThatFails)
{
    struct {
        const char *function;
        DWORD error;
    } cases[] = {
        {"GetPrinterDriverDirectoryA", ERROR_NOT_ENOUGH_MEMORY},
        {"GetSystemDirectoryA", ERROR_INVALID_PARAMETER},
        {"GetModuleFileNameA", ERROR_MOD_NOT_FOUND},
    };
    for (const auto &c : cases) {
        boot(winsim::setup_for(winsim::windows_2000));
        winsim::fail_call(c.function, 1, c.error);
        last_error = 0;

        EXPECT_EQ(0, setup_init()) << c.function;

        EXPECT_EQ(c.error, last_error) << c.function;
        EXPECT_EQ(0, winsim::call_count("StartServiceA")) << c.function;
    }
}

TEST_F(Environment, SetupInitReportsASpoolerThatCannotBeStarted)
{
    winsim::add_service({"Spooler", {}, false});
    winsim::fail_call("StartServiceA", 1, ERROR_SERVICE_DEPENDENCY_FAIL);

    EXPECT_EQ(0, setup_init());

    EXPECT_EQ((DWORD)ERROR_SERVICE_DEPENDENCY_FAIL, last_error);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Spooler"));
}
