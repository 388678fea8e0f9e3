// Stop and start of the spooler with its dependent services, and the
// user's print window.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "system/environment.h"
#include "system/spooler_service.h"

#include <numeric>

namespace {

class SpoolerService : public MachineTest {
  protected:
    void TearDown() override
    {
        // Every operation closes what it opened and a start uses up the tree.
        EXPECT_EQ(0, winsim::open_service_handle_count());
        if (spooler_service_list->dependents != nullptr)
            start_spooler();
        MachineTest::TearDown();
    }
};

std::vector<std::string> log_of(std::initializer_list<const char *> events)
{
    return std::vector<std::string>(events.begin(), events.end());
}

std::vector<DWORD> sleeps()
{
    std::vector<DWORD> waits;
    for (const winsim::CallRecord &call : winsim::journal()) {
        if (call.function == "Sleep")
            waits.push_back(static_cast<DWORD>(std::stoul(call.arguments)));
    }
    return waits;
}

} // namespace

TEST_F(SpoolerService, OnThe95FamilyOnlyThePrintWindowIsClosed)
{
    boot(winsim::setup_for(winsim::windows_98));
    HWND print_window = winsim::open_window("kxprnwnd_Administrator", "Print", winsim::ClosesOn::close_message);

    EXPECT_EQ(1, stop_spooler());
    EXPECT_EQ(1, start_spooler());

    EXPECT_FALSE(winsim::window_open(print_window));
    EXPECT_EQ(0, winsim::call_count("OpenSCManagerA"));
    EXPECT_EQ(std::vector<DWORD>{1000}, sleeps());
}

TEST_F(SpoolerService, ASpoolerWithoutDependentsIsStoppedAloneAndGivenTwoSeconds)
{
    EXPECT_EQ(1, stop_spooler());
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Spooler"));
    EXPECT_EQ(std::vector<DWORD>{2000}, sleeps()) << "no print window: no pause for it";

    EXPECT_EQ(1, start_spooler());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    EXPECT_EQ(log_of({"stop Spooler", "start Spooler"}), winsim::service_log());
}

TEST_F(SpoolerService, SiblingsStopInEnumerationOrderAndStartInReverse)
{
    // Unrelated services are enumerated in the reverse of the order they
    // were added in, so this machine lists first, second, third.
    winsim::add_service({"Third", {"Spooler"}});
    winsim::add_service({"Second", {"Spooler"}});
    winsim::add_service({"First", {"Spooler"}});

    ASSERT_EQ(1, stop_spooler());
    ASSERT_EQ(1, start_spooler());

    EXPECT_EQ(log_of({"stop First", "stop Second", "stop Third", "stop Spooler", "start Spooler",
                      "start Third", "start Second", "start First"}),
              winsim::service_log());
    EXPECT_EQ(nullptr, spooler_service_list->dependents);
    for (const char *name : {"First", "Second", "Third", "Spooler"})
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state(name)) << name;
}

TEST_F(SpoolerService, AChainOfDependentsIsRecordedFlatDeepestFirstAndStartedInReverse)
{
    // The service manager lists the spooler's dependents transitively, the
    // deepest first: each is stopped before what it needs, so none has an
    // active dependent of its own left when its turn comes.
    winsim::add_service({"Fax", {"Spooler"}});
    winsim::add_service({"FaxClient", {"Fax"}});
    winsim::add_service({"FaxMonitor", {"FaxClient"}});
    winsim::add_service({"Other", {"Spooler"}});

    ASSERT_EQ(1, stop_spooler());

    std::vector<std::string> recorded;
    for (ServiceNode *node = spooler_service_list->dependents; node != nullptr; node = node->next) {
        recorded.push_back(node->name);
        EXPECT_EQ(nullptr, node->dependents) << node->name;
    }
    EXPECT_EQ((std::vector<std::string>{"Other", "FaxMonitor", "FaxClient", "Fax"}), recorded);

    ASSERT_EQ(1, start_spooler());

    EXPECT_EQ(log_of({"stop Other", "stop FaxMonitor", "stop FaxClient", "stop Fax", "stop Spooler",
                      "start Spooler", "start Fax", "start FaxClient", "start FaxMonitor", "start Other"}),
              winsim::service_log());
    for (const char *name : {"Fax", "FaxClient", "FaxMonitor", "Other", "Spooler"})
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state(name)) << name;
}

TEST_F(SpoolerService, ADependentStillStoppingIsRecordedAgainUnderWhatItNeeds)
{
    // The one way to a nested record: a failed status query ends the wait
    // for "FaxClient", which, still stopping, counts as active when "Fax"
    // lists its own dependents; its second stop request is refused.
    winsim::add_service({"Fax", {"Spooler"}});
    winsim::add_service({"FaxClient", {"Fax"}, true, 2500, 0});
    winsim::fail_call("QueryServiceStatus", 1, ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, stop_spooler());
    EXPECT_EQ((DWORD)ERROR_SERVICE_CANNOT_ACCEPT_CTRL, last_error);
    std::vector<std::string> recorded;
    for (ServiceNode *node = spooler_service_list->dependents; node != nullptr; node = node->next) {
        recorded.push_back(node->name);
        for (ServiceNode *nested = node->dependents; nested != nullptr; nested = nested->next)
            recorded.push_back(std::string(node->name) + "/" + nested->name);
    }
    EXPECT_EQ((std::vector<std::string>{"FaxClient", "Fax", "Fax/FaxClient"}), recorded);

    // The start reaches the nested "FaxClient" right after "Fax"; a service
    // still stopping counts as started, and the poll ends when it has
    // stopped for good, without an exit code of its own.
    EXPECT_EQ(0, start_spooler());
    EXPECT_EQ((DWORD)ERROR_SERVICE_NOT_ACTIVE, last_error);
    EXPECT_EQ(3u, sleeps().size());
    // Stopped by now, it is started by the next start, which uses up the record.
    EXPECT_EQ(1, start_spooler());
    EXPECT_EQ(log_of({"stop FaxClient", "start FaxClient"}), winsim::service_log());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("FaxClient"));
    EXPECT_EQ(nullptr, spooler_service_list->dependents);
}

TEST_F(SpoolerService, AFailedStatusQueryEndsThePollAndTheStopGoesOn)
{
    winsim::add_service({"Fax", {"Spooler"}});
    winsim::fail_call("QueryServiceStatus", 1, ERROR_ACCESS_DENIED, true);

    EXPECT_EQ(1, stop_spooler());

    EXPECT_EQ(1, winsim::call_count("QueryServiceStatus"));
    EXPECT_EQ(std::vector<DWORD>{2000}, sleeps());
    EXPECT_EQ(log_of({"stop Fax", "stop Spooler"}), winsim::service_log());
}

TEST_F(SpoolerService, AListOfDependentsRefusedForAnotherReasonThanItsSizeEndsTheStop)
{
    winsim::add_service({"Fax", {"Spooler"}});
    winsim::fail_call("EnumDependentServicesA", 1, ERROR_ACCESS_DENIED);
    last_error = 0;

    EXPECT_EQ(0, stop_spooler());

    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, last_error);
    EXPECT_EQ(1, winsim::call_count("EnumDependentServicesA"));
    EXPECT_EQ(std::vector<std::string>{}, winsim::service_log());
}

TEST_F(SpoolerService, EachDependentIsPolledUntilStoppedAndEachStartUntilRunning)
{
    winsim::add_service({"Fax", {"Spooler"}, true, 2500, 1500});

    ASSERT_EQ(1, stop_spooler());
    EXPECT_EQ((std::vector<DWORD>{1000, 1000, 1000, 2000}), sleeps());
    ASSERT_EQ(1, start_spooler());
    EXPECT_EQ((std::vector<DWORD>{1000, 1000, 1000, 2000, 1000, 1000}), sleeps());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Fax"));
}

TEST_F(SpoolerService, ADependentThatNeverStopsEndsTheStopAfterAMinute)
{
    winsim::add_service({"Stuck", {"Spooler"}, true, 10000000, 0});
    last_error = 0;

    EXPECT_EQ(0, stop_spooler());

    EXPECT_EQ((DWORD)ERROR_SERVICE_REQUEST_TIMEOUT, last_error);
    EXPECT_EQ((DWORD)ERROR_SERVICE_REQUEST_TIMEOUT, GetLastError());
    std::vector<DWORD> waits = sleeps();
    EXPECT_EQ(60000u, std::accumulate(waits.begin(), waits.end(), 0u));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
}

TEST_F(SpoolerService, AServiceThatNeverStartsEndsTheStartAfterAMinute)
{
    winsim::add_service({"Spooler", {}, true, 0, 10000000});
    ASSERT_EQ(1, stop_spooler());
    last_error = 0;

    EXPECT_EQ(0, start_spooler());

    EXPECT_EQ((DWORD)ERROR_SERVICE_REQUEST_TIMEOUT, last_error);
}

TEST_F(SpoolerService, AStartAfterAPartialStopBringsBackWhatWasStopped)
{
    winsim::add_service({"Second", {"Spooler"}});
    winsim::add_service({"First", {"Spooler"}});
    // The second stop request (for "Second") is refused.
    winsim::fail_call("ControlService", 2, ERROR_ACCESS_DENIED);
    last_error = 0;

    EXPECT_EQ(0, stop_spooler());
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, last_error);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("First"));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));

    // The spooler still runs: the start does not fail on that, it restarts
    // what the stop took down.
    EXPECT_EQ(1, start_spooler());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("First"));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Second"));
}

TEST_F(SpoolerService, ARetriedStopKeepsWhatTheFirstAttemptStopped)
{
    winsim::add_service({"Second", {"Spooler"}});
    winsim::add_service({"First", {"Spooler"}});
    winsim::fail_call("ControlService", 2, ERROR_ACCESS_DENIED);
    ASSERT_EQ(0, stop_spooler());

    ASSERT_EQ(1, stop_spooler());
    ASSERT_EQ(1, start_spooler());

    EXPECT_EQ(log_of({"stop First", "stop Second", "stop Spooler", "start Spooler", "start Second",
                      "start First"}),
              winsim::service_log());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("First"));
}

TEST_F(SpoolerService, ADependentThatCannotBeOpenedEndsTheStopWithTheSpoolerRunning)
{
    winsim::add_service({"Fax", {"Spooler"}});
    // The first open is the spooler's, the second the dependent's.
    winsim::fail_call("OpenServiceA", 2, ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, stop_spooler());

    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, last_error);
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Fax"));
}

TEST_F(SpoolerService, OutOfMemoryWhileRecordingFailsTheStopAndKeepsTheRecord)
{
    winsim::add_service({"Second", {"Spooler"}});
    winsim::add_service({"First", {"Spooler"}});
    // Allocations of the stop: enumeration buffer, then node and name of
    // "First", then the node of "Second".
    winsim::fail_call("malloc", 4, ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(0, stop_spooler());
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, last_error);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("First"));

    EXPECT_EQ(1, start_spooler());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("First"));
}

TEST_F(SpoolerService, AStartWithoutAStopIsQuiet)
{
    EXPECT_EQ(1, start_spooler());
    EXPECT_EQ(std::vector<std::string>{}, winsim::service_log());
}

TEST_F(SpoolerService, AFailedSpoolerStartKeepsTheRecordForTheNextStart)
{
    winsim::add_service({"Fax", {"Spooler"}});
    ASSERT_EQ(1, stop_spooler());
    winsim::fail_call("StartServiceA", 1, ERROR_SERVICE_DEPENDENCY_FAIL);

    EXPECT_EQ(0, start_spooler());
    EXPECT_EQ((DWORD)ERROR_SERVICE_DEPENDENCY_FAIL, last_error);
    ASSERT_NE(nullptr, spooler_service_list->dependents);
    EXPECT_STREQ("Fax", spooler_service_list->dependents->name);

    EXPECT_EQ(1, start_spooler());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Fax"));
}

namespace {

std::vector<std::string> recorded_dependents()
{
    std::vector<std::string> recorded;
    for (ServiceNode *node = spooler_service_list->dependents; node != nullptr; node = node->next)
        recorded.push_back(node->name);
    return recorded;
}

} // namespace

TEST_F(SpoolerService, EveryRecordedDependentIsTriedAndOnlyOneThatMayComeBackStaysRecorded)
{
    // "Fax" and "Modem" need only the spooler; the start brings back "Fax"
    // first. What becomes of them while the spooler is stopped:
    struct Case {
        const char *name;
        winsim::ServiceSetup fax;
        winsim::ServiceSetup modem;
        const char *refused; // a call refused once, or none
        int nth;
        DWORD error;         // reported by the failed start
        std::vector<std::string> still_recorded;
    };
    winsim::ServiceSetup fax{"Fax", {"Spooler"}};
    winsim::ServiceSetup modem{"Modem", {"Spooler"}};
    winsim::ServiceSetup fax_disabled = fax;
    fax_disabled.disabled = true;
    winsim::ServiceSetup fax_deleted = fax;
    fax_deleted.marked_for_deletion = true;
    winsim::ServiceSetup modem_disabled = modem;
    modem_disabled.disabled = true;
    const Case cases[] = {
        {"start of Fax refused once", fax, modem, "StartServiceA", 2, ERROR_ACCESS_DENIED, {"Fax"}},
        {"Fax marked for deletion since", fax, modem, "StartServiceA", 2,
         ERROR_SERVICE_MARKED_FOR_DELETE, {}},
        {"a service Fax needs deleted since", fax, modem, "StartServiceA", 2,
         ERROR_SERVICE_DEPENDENCY_DELETED, {}},
        {"Fax disabled", fax_disabled, modem, nullptr, 0, ERROR_SERVICE_DISABLED, {}},
        {"Fax deleted", fax_deleted, modem, nullptr, 0, ERROR_SERVICE_DOES_NOT_EXIST, {}},
        {"both gone: the first failure is told", fax_deleted, modem_disabled, nullptr, 0,
         ERROR_SERVICE_DOES_NOT_EXIST, {}},
    };
    for (const Case &c : cases) {
        boot(winsim::MachineSetup());
        reset_setup_state();
        winsim::add_service(c.fax);
        winsim::add_service(c.modem);
        ASSERT_EQ(1, stop_spooler()) << c.name;
        ASSERT_EQ((std::vector<std::string>{"Modem", "Fax"}), recorded_dependents());
        if (c.refused != nullptr)
            winsim::fail_call(c.refused, c.nth, c.error);
        last_error = 0xdeadbeef;

        EXPECT_EQ(0, start_spooler()) << c.name;
        EXPECT_EQ(c.error, last_error) << c.name;
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler")) << c.name;
        bool modem_runs = !c.modem.disabled;
        EXPECT_EQ(modem_runs ? (DWORD)SERVICE_RUNNING : (DWORD)SERVICE_STOPPED,
                  winsim::service_state("Modem"))
            << c.name << ": one failure does not keep the others stopped";
        EXPECT_EQ(c.still_recorded, recorded_dependents()) << c.name;

        // The next start brings back what may come back, and is quiet
        // about what never will.
        EXPECT_EQ(1, start_spooler()) << c.name;
        EXPECT_EQ(nullptr, spooler_service_list->dependents) << c.name;
        DWORD fax_state = c.fax.marked_for_deletion ? 0
                          : c.still_recorded.empty() ? SERVICE_STOPPED
                                                     : SERVICE_RUNNING;
        EXPECT_EQ(fax_state, winsim::service_state("Fax")) << c.name;
        EXPECT_EQ(0, winsim::open_service_handle_count());
    }
}

TEST_F(SpoolerService, AServiceThatEndsInItsStartFailsTheStartAtOnceWithItsOwnError)
{
    // A service's own number is kept apart: read as a Windows error, 5
    // would tell "Access is denied.".
    struct {
        DWORD win32_exit_code;
        DWORD specific_exit_code;
        DWORD reported;
        DWORD kept_exit_code;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, 0, ERROR_FILE_NOT_FOUND, 0},
        {ERROR_SERVICE_SPECIFIC_ERROR, ERROR_ACCESS_DENIED, ERROR_SERVICE_SPECIFIC_ERROR,
         ERROR_ACCESS_DENIED},
        {ERROR_SERVICE_SPECIFIC_ERROR, 0, ERROR_SERVICE_SPECIFIC_ERROR, 0},
        {NO_ERROR, 0, ERROR_SERVICE_NOT_ACTIVE, 0},
    };
    for (const auto &c : cases) {
        boot(winsim::MachineSetup());
        reset_setup_state();
        winsim::ServiceSetup fax{"Fax", {"Spooler"}};
        fax.start_pending_ms = 3000;
        winsim::add_service(fax);
        ASSERT_EQ(1, stop_spooler());
        // The start of the spooler, then the one of "Fax".
        winsim::fail_service_start(2, c.win32_exit_code, c.specific_exit_code);
        unsigned long long started = winsim::now_ms();
        last_error = service_exit_code = 0xdeadbeef;

        EXPECT_EQ(0, start_spooler());

        EXPECT_EQ(c.reported, last_error);
        EXPECT_EQ(c.kept_exit_code, service_exit_code) << c.reported;
        // Polled through START_PENDING until it was back to STOPPED, not
        // for the whole minute.
        EXPECT_EQ(3000u, winsim::now_ms() - started) << c.reported;
        EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Fax"));
        EXPECT_EQ(std::vector<std::string>{"Fax"}, recorded_dependents());
        // It may start the next time, and then it does.
        EXPECT_EQ(1, start_spooler());
        EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Fax"));
    }
}

TEST_F(SpoolerService, TheServiceManagerCannotBeOpened)
{
    winsim::fail_call("OpenSCManagerA", 1, ERROR_ACCESS_DENIED);
    winsim::fail_call("OpenSCManagerA", 2, ERROR_ACCESS_DENIED);

    EXPECT_EQ(0, stop_spooler());
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, last_error);
    EXPECT_EQ(0, start_spooler());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Spooler"));
}

TEST_F(SpoolerService, ThePrintWindowOfTheCurrentUserGetsClose)
{
    winsim::MachineSetup setup;
    setup.user_name = "maria";
    boot(setup);
    HWND other_user = winsim::open_window("kxprnwnd_Administrator", "", winsim::ClosesOn::close_message);
    HWND mine = winsim::open_window("KXPRNWND_MARIA", "", winsim::ClosesOn::close_message);

    close_print_window();

    EXPECT_FALSE(winsim::window_open(mine));
    EXPECT_TRUE(winsim::window_open(other_user));
    ASSERT_EQ(1u, winsim::window_messages(mine).size());
    EXPECT_EQ((UINT)WM_CLOSE, winsim::window_messages(mine)[0].message);
    EXPECT_FALSE(winsim::window_messages(mine)[0].posted);
    EXPECT_EQ(std::vector<DWORD>{1000}, sleeps());
}

TEST_F(SpoolerService, WithoutAUserNameNoWindowIsLookedFor)
{
    winsim::open_window("kxprnwnd_Administrator", "", winsim::ClosesOn::close_message);
    winsim::fail_call("GetUserNameA", 1, ERROR_NOT_ENOUGH_MEMORY);

    close_print_window();

    EXPECT_EQ(0, winsim::call_count("FindWindowA"));
    EXPECT_EQ(std::vector<DWORD>{}, sleeps());
}
