// The service control manager of the simulated NT machine: handles,
// dependent enumeration, stop and start rules, pending states.
#include "support/machine_fixture.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

class Services : public MachineTest {
  protected:
    SC_HANDLE manager = nullptr;

    void open_manager()
    {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, manager);
    }
    SC_HANDLE open(const char *name, DWORD access = SERVICE_ALL_ACCESS)
    {
        return OpenServiceA(manager, name, access);
    }
    DWORD stop(SC_HANDLE service, SERVICE_STATUS &status)
    {
        memset(&status, 0xcc, sizeof status);
        SetLastError(0xdeadbeef);
        return ControlService(service, SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
    }
    DWORD start(SC_HANDLE service)
    {
        SetLastError(0xdeadbeef);
        return StartServiceA(service, 0, nullptr) ? 0 : GetLastError();
    }
    DWORD queried_state(SC_HANDLE service)
    {
        SERVICE_STATUS status;
        return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    }
};

std::vector<std::string> names(std::initializer_list<const char *> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

} // namespace

TEST_F(Services, HandlesOpenByNameWithoutRegardToCaseAndAreCounted)
{
    open_manager();
    SC_HANDLE spooler = open("SPOOLER");
    ASSERT_NE(nullptr, spooler);
    EXPECT_EQ((DWORD)SERVICE_RUNNING, queried_state(spooler));
    EXPECT_EQ(2, winsim::open_service_handle_count());

    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, open("Spooler2"));
    EXPECT_EQ((DWORD)ERROR_SERVICE_DOES_NOT_EXIST, GetLastError());
    // A service handle is no manager handle.
    EXPECT_EQ(nullptr, OpenServiceA(spooler, "Spooler", SERVICE_ALL_ACCESS));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());

    // Dependencies name their services without regard to case too.
    winsim::add_service({"Fax", {"spooler"}});
    SERVICE_STATUS status;
    EXPECT_EQ((DWORD)ERROR_DEPENDENT_SERVICES_RUNNING, stop(spooler, status));
    EXPECT_EQ("\"Spooler\", 1", winsim::journal().back().arguments);

    EXPECT_TRUE(CloseServiceHandle(spooler));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseServiceHandle(spooler));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, stop(spooler, status));
    EXPECT_TRUE(CloseServiceHandle(manager));
    EXPECT_EQ(0, winsim::open_service_handle_count());
}

TEST_F(Services, AnotherMachineCannotBeReachedAndThe95FamilyHasNoSpoolerService)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, OpenSCManagerA("\\\\ELSEWHERE", nullptr, SC_MANAGER_ALL_ACCESS));
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, GetLastError());

    boot(winsim::setup_for(winsim::windows_98));
    EXPECT_EQ(0u, winsim::service_state("Spooler"));
}

TEST_F(Services, DependentsAreListedTransitivelyEachBeforeWhatItNeeds)
{
    // Added before the service it needs, which still starts first.
    winsim::add_service({"Client", {"Fax"}});
    winsim::add_service({"Fax", {"Spooler"}});
    winsim::add_service({"Other", {"Spooler"}});
    winsim::add_service({"Idle", {"Spooler"}, false});
    winsim::add_service({"Unrelated", {}});
    // Replaced under its registered spelling, in its old place.
    winsim::add_service({"OTHER", {"Spooler"}});
    open_manager();
    SC_HANDLE spooler = open("Spooler");

    auto listed = [&](DWORD state) {
        DWORD needed = 0, count = 99;
        std::vector<std::string> found;
        SetLastError(0xdeadbeef);
        if (EnumDependentServicesA(spooler, state, nullptr, 0, &needed, &count))
            return found;
        EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
        EXPECT_EQ(0u, count);
        const DWORD size = needed;
        std::vector<uint64_t> storage(size / 8 + 1);
        auto *entries = reinterpret_cast<ENUM_SERVICE_STATUSA *>(storage.data());
        EXPECT_FALSE(EnumDependentServicesA(spooler, state, entries, size - 1, &needed, &count));
        EXPECT_EQ((DWORD)ERROR_MORE_DATA, GetLastError());
        EXPECT_EQ(size, needed);
        EXPECT_TRUE(EnumDependentServicesA(spooler, state, entries, size, &needed, &count));
        const char *strings = reinterpret_cast<const char *>(entries + count);
        const char *end = reinterpret_cast<const char *>(entries) + size;
        for (DWORD i = 0; i < count; i++) {
            // The strings lie behind the records, inside the caller's buffer.
            EXPECT_TRUE(entries[i].lpServiceName >= strings && entries[i].lpServiceName < end);
            EXPECT_TRUE(entries[i].lpDisplayName >= strings && entries[i].lpDisplayName < end);
            EXPECT_STREQ(entries[i].lpServiceName, entries[i].lpDisplayName);
            EXPECT_EQ(winsim::service_state(entries[i].lpServiceName),
                      entries[i].ServiceStatus.dwCurrentState);
            found.push_back(entries[i].lpServiceName);
        }
        return found;
    };

    EXPECT_EQ(names({"OTHER", "Client", "Fax"}), listed(SERVICE_ACTIVE));
    DWORD needed = 0, count = 0;
    EnumDependentServicesA(spooler, SERVICE_ACTIVE, nullptr, 0, &needed, &count);
    EXPECT_EQ(3 * sizeof(ENUM_SERVICE_STATUSA) + 2 * (6 + 7 + 4), needed);
    EXPECT_EQ(names({"Idle", "OTHER", "Client", "Fax"}), listed(SERVICE_STATE_ALL));
    EXPECT_EQ(names({"Idle"}), listed(SERVICE_INACTIVE));

    // Nothing to list: the size query itself succeeds.
    SC_HANDLE client = open("client");
    needed = count = 7;
    EXPECT_TRUE(EnumDependentServicesA(client, SERVICE_STATE_ALL, nullptr, 0, &needed, &count));
    EXPECT_EQ(0u, count);
}

TEST_F(Services, AStopWaitsForDependentsAndThePendingTimeOnTheClock)
{
    winsim::add_service({"Fax", {"Spooler"}, true, 1500, 0});
    open_manager();
    SC_HANDLE spooler = open("Spooler");
    SC_HANDLE fax = open("Fax");
    SERVICE_STATUS status;

    EXPECT_EQ((DWORD)ERROR_DEPENDENT_SERVICES_RUNNING, stop(spooler, status));
    ASSERT_EQ(0u, stop(fax, status));
    EXPECT_EQ((DWORD)SERVICE_STOP_PENDING, status.dwCurrentState);
    EXPECT_EQ(1500u, status.dwWaitHint);
    // Stopping is still being active: no second stop, no start, and the
    // spooler stays needed.
    EXPECT_EQ((DWORD)ERROR_SERVICE_CANNOT_ACCEPT_CTRL, stop(fax, status));
    EXPECT_EQ((DWORD)SERVICE_STOP_PENDING, status.dwCurrentState);
    EXPECT_EQ((DWORD)ERROR_SERVICE_ALREADY_RUNNING, start(fax));
    EXPECT_EQ((DWORD)ERROR_DEPENDENT_SERVICES_RUNNING, stop(spooler, status));

    Sleep(1499);
    EXPECT_EQ((DWORD)SERVICE_STOP_PENDING, queried_state(fax));
    Sleep(1);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, queried_state(fax));
    EXPECT_EQ(0u, stop(spooler, status));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, status.dwCurrentState);
    EXPECT_EQ((DWORD)ERROR_SERVICE_NOT_ACTIVE, stop(spooler, status));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, status.dwCurrentState);
    EXPECT_EQ(names({"stop Fax", "stop Spooler"}), winsim::service_log());
}

TEST_F(Services, AStartBringsUpWhatTheServiceNeedsFirst)
{
    winsim::add_service({"Spooler", {}, false});
    winsim::add_service({"Fax", {"Spooler"}, false, 0, 3000});
    winsim::add_service({"Client", {"Fax"}, false, 0, 2000});
    winsim::add_service({"Orphan", {"Gone"}, false});
    open_manager();
    SC_HANDLE client = open("Client");
    SERVICE_STATUS status;

    EXPECT_EQ((DWORD)ERROR_SERVICE_DEPENDENCY_DELETED, start(open("Orphan")));
    ASSERT_EQ(0u, start(client));
    EXPECT_EQ(names({"start Spooler", "start Fax", "start Client"}), winsim::service_log());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, winsim::service_state("Fax"));

    ASSERT_TRUE(QueryServiceStatus(client, &status));
    EXPECT_EQ((DWORD)SERVICE_START_PENDING, status.dwCurrentState);
    EXPECT_EQ(0u, status.dwControlsAccepted);
    EXPECT_EQ((DWORD)ERROR_SERVICE_ALREADY_RUNNING, start(client));
    EXPECT_EQ((DWORD)ERROR_SERVICE_CANNOT_ACCEPT_CTRL, stop(client, status));
    Sleep(2000);
    ASSERT_TRUE(QueryServiceStatus(client, &status));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, status.dwCurrentState);
    EXPECT_EQ((DWORD)SERVICE_ACCEPT_STOP, status.dwControlsAccepted);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Orphan"));
}

TEST_F(Services, AHandleAllowsOnlyWhatItWasOpenedFor)
{
    open_manager();
    SC_HANDLE query_only = open("Spooler", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status;

    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, stop(query_only, status));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, queried_state(query_only));
    // Generic execute grants stop but not the status query.
    SC_HANDLE execute = open("Spooler", GENERIC_EXECUTE);
    EXPECT_EQ(0u, stop(execute, status));
    EXPECT_EQ(0u, queried_state(execute));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    // Pause is not a control the services here accept.
    memset(&status, 0, sizeof status);
    EXPECT_FALSE(ControlService(open("Spooler"), SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ((DWORD)ERROR_INVALID_SERVICE_CONTROL, GetLastError());
    EXPECT_EQ((DWORD)SERVICE_STOPPED, status.dwCurrentState);
}

TEST_F(Services, ADisabledServiceRunsOnButNeitherItNorWhatNeedsItStartsAgain)
{
    winsim::ServiceSetup fax{"Fax", {"Spooler"}};
    fax.disabled = true;
    winsim::add_service(fax);
    winsim::add_service({"FaxClient", {"Fax"}, false});
    open_manager();
    SC_HANDLE service = open("Fax");
    SC_HANDLE client = open("FaxClient");
    SERVICE_STATUS status;

    EXPECT_EQ((DWORD)SERVICE_RUNNING, queried_state(service));
    EXPECT_EQ(0u, stop(service, status));
    EXPECT_EQ((DWORD)ERROR_SERVICE_DISABLED, start(service));
    EXPECT_EQ((DWORD)ERROR_SERVICE_DEPENDENCY_FAIL, start(client));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, queried_state(service));
    CloseServiceHandle(client);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(Services, AServiceMarkedForDeletionIsGoneOnceStoppedAndItsLastHandleClosed)
{
    winsim::ServiceSetup fax{"Fax", {"Spooler"}};
    fax.marked_for_deletion = true;
    winsim::add_service(fax);
    winsim::add_service({"FaxClient", {"Fax"}, false});
    open_manager();
    SC_HANDLE service = open("Fax");
    SERVICE_STATUS status;

    EXPECT_EQ(0u, stop(service, status));
    EXPECT_EQ((DWORD)ERROR_SERVICE_MARKED_FOR_DELETE, start(service));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, winsim::service_state("Fax"));
    CloseServiceHandle(service);

    EXPECT_EQ(0u, winsim::service_state("Fax"));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, open("Fax"));
    EXPECT_EQ((DWORD)ERROR_SERVICE_DOES_NOT_EXIST, GetLastError());
    SC_HANDLE client = open("FaxClient");
    EXPECT_EQ((DWORD)ERROR_SERVICE_DEPENDENCY_DELETED, start(client));
    CloseServiceHandle(client);
    CloseServiceHandle(manager);
}

TEST_F(Services, AStartTheServiceFailsIsAcceptedAndEndsInStoppedWithItsExitCodes)
{
    winsim::add_service({"Fax", {"Spooler"}, false, 0, 2000});
    open_manager();
    SC_HANDLE service = open("Fax");
    winsim::fail_service_start(1, ERROR_SERVICE_SPECIFIC_ERROR, 42);
    SERVICE_STATUS status;

    EXPECT_EQ(0u, start(service));
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ((DWORD)SERVICE_START_PENDING, status.dwCurrentState);
    EXPECT_EQ(0u, status.dwWin32ExitCode);
    Sleep(2000);
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, status.dwCurrentState);
    EXPECT_EQ((DWORD)ERROR_SERVICE_SPECIFIC_ERROR, status.dwWin32ExitCode);
    EXPECT_EQ(42u, status.dwServiceSpecificExitCode);

    // Only that start: the next one runs, and its status is clean again.
    EXPECT_EQ(0u, start(service));
    Sleep(2000);
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, status.dwCurrentState);
    EXPECT_EQ(0u, status.dwWin32ExitCode);
    EXPECT_EQ(0u, status.dwServiceSpecificExitCode);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}
