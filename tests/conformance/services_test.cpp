// The spooler service as the setup stops and restarts it on the NT
// family: opening manager and service, the errors of stopping a stopped
// service and starting a running one, the status while it changes, and
// the list of services that need it. The 95 family has no service
// control manager.
#include "tests/conformance/arrange.h"

namespace
{

// The manager of the local machine; NULL on the 95 family, which has none.
SC_HANDLE open_manager(void)
{
    POISON();
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    if (conformance::windows_95_family()) {
        KNOWN_WINE_DIFFERENCE("the 95 family has a service control manager",
                              manager == NULL && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED);
        if (manager != NULL)
            CloseServiceHandle(manager);
        return NULL;
    }
    CHECK(manager != NULL);
    return manager;
}

DWORD current_state(SC_HANDLE service)
{
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    if (!QueryServiceStatus(service, &status))
        return 0;
    return status.dwCurrentState;
}

} // namespace

CONFORMANCE_TEST(services, TheSpoolerRunsAndAServiceThatIsNotThereCannotBeOpened)
{
    SC_HANDLE manager = open_manager();
    if (manager == NULL)
        return;
    POISON();
    SC_HANDLE spooler = OpenServiceA(manager, "spooler", SERVICE_QUERY_STATUS);
    CHECK(spooler != NULL);
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    CHECK(QueryServiceStatus(spooler, &status));
    CHECK_EQ(status.dwCurrentState, SERVICE_RUNNING);
    CHECK((status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0);
    CHECK(CloseServiceHandle(spooler));
    POISON();
    CHECK(OpenServiceA(manager, "ConformanceNothing", SERVICE_QUERY_STATUS) == NULL);
    CHECK_ERROR(ERROR_SERVICE_DOES_NOT_EXIST);
    CHECK(CloseServiceHandle(manager));
}

CONFORMANCE_TEST(services, StartingARunningServiceIsRefused)
{
    SC_HANDLE manager = open_manager();
    if (manager == NULL)
        return;
    SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_START | SERVICE_QUERY_STATUS);
    CHECK(spooler != NULL);
    POISON();
    CHECK(!StartServiceA(spooler, 0, NULL));
    CHECK_ERROR(ERROR_SERVICE_ALREADY_RUNNING);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

CONFORMANCE_TEST(services, StoppingAStoppedServiceIsRefusedAndAStartBringsItBack)
{
    SC_HANDLE manager = open_manager();
    if (manager == NULL)
        return;
    SC_HANDLE spooler =
        OpenServiceA(manager, "Spooler", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    CHECK(spooler != NULL);
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    POISON();
    CHECK(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    CHECK(status.dwCurrentState == SERVICE_STOP_PENDING ||
          status.dwCurrentState == SERVICE_STOPPED);
    CHECK(conformance::wait_for_service_state(spooler, SERVICE_STOPPED));

    memset(&status, 0, sizeof status);
    POISON();
    CHECK(!ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    CHECK_ERROR(ERROR_SERVICE_NOT_ACTIVE);
    CHECK_EQ(status.dwCurrentState, SERVICE_STOPPED);

    // The spooler's calls reach it through its service.
    char directory[MAX_PATH];
    DWORD needed = 0;
    POISON();
    BOOL answered = GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)directory,
                                               sizeof directory, &needed);
    KNOWN_WINE_DIFFERENCE("the spooler answers the directory queries while its service is "
                          "stopped",
                          !answered && GetLastError() == RPC_S_SERVER_UNAVAILABLE);

    POISON();
    CHECK(StartServiceA(spooler, 0, NULL));
    CHECK(conformance::wait_for_service_state(spooler, SERVICE_RUNNING));
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

CONFORMANCE_TEST(services, NothingNeedsTheSpoolerSoItsDependentsListIsEmpty)
{
    SC_HANDLE manager = open_manager();
    if (manager == NULL)
        return;
    SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_ENUMERATE_DEPENDENTS);
    CHECK(spooler != NULL);
    DWORD needed = 0xdeadbeef;
    DWORD count = 0xdeadbeef;
    POISON();
    // The size needed is reported only when the buffer is too small.
    CHECK(EnumDependentServicesA(spooler, SERVICE_ACTIVE, NULL, 0, &needed, &count));
    CHECK_EQ(count, 0);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

CONFORMANCE_TEST(services, AHandleAllowsOnlyWhatItWasOpenedFor)
{
    SC_HANDLE manager = open_manager();
    if (manager == NULL)
        return;
    SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
    CHECK(spooler != NULL);
    SERVICE_STATUS status;
    POISON();
    CHECK(!ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    CHECK_ERROR(ERROR_ACCESS_DENIED);
    POISON();
    CHECK(!StartServiceA(spooler, 0, NULL));
    CHECK_ERROR(ERROR_ACCESS_DENIED);
    CHECK_EQ(current_state(spooler), SERVICE_RUNNING);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

CONFORMANCE_TEST(services, AClosedHandleIsInvalid)
{
    SC_HANDLE manager = open_manager();
    if (manager == NULL)
        return;
    SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
    CHECK(CloseServiceHandle(spooler));
    SERVICE_STATUS status;
    POISON();
    CHECK(!QueryServiceStatus(spooler, &status));
    CHECK_ERROR(ERROR_INVALID_HANDLE);
    POISON();
    CHECK(!CloseServiceHandle(spooler));
    CHECK_ERROR(ERROR_INVALID_HANDLE);
    CHECK(CloseServiceHandle(manager));
}

CONFORMANCE_TEST(services, OnlyTheActiveDatabaseOpens)
{
    if (conformance::windows_95_family()) {
        open_manager();
        return;
    }
    POISON();
    SC_HANDLE manager = OpenSCManagerA("", SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    CHECK(manager != NULL);
    if (manager != NULL)
        CloseServiceHandle(manager);
    POISON();
    CHECK(OpenSCManagerA(NULL, "ConformanceNothing", SC_MANAGER_CONNECT) == NULL);
    CHECK_ERROR(ERROR_INVALID_NAME);
    POISON();
    CHECK(OpenSCManagerA(NULL, "ServicesFailed", SC_MANAGER_CONNECT) == NULL);
    CHECK_ERROR(ERROR_DATABASE_DOES_NOT_EXIST);
}
