// winsim: advapi32's service control manager of the NT family, and the
// helpers with which tests arrange and read its services.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <algorithm>
#include <cstring>
#include <functional>

using winsim::Service;
using winsim::ServiceHandle;

namespace {

const DWORD read_control = 0x00020000;

bool nt_family()
{
    return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_NT;
}

// The journal's name for a handle: the service it stands for.
std::string handle_text(const void *handle)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto found = m.service_handles.find(handle);
    if (found == m.service_handles.end())
        return handle == nullptr ? std::string("NULL") : describe("%p", handle);
    if (found->second.manager)
        return "manager";
    return quoted(found->second.service.c_str());
}

// The open service handle; null for anything else, a manager handle too.
ServiceHandle *service_handle(Machine &m, SC_HANDLE handle)
{
    auto found = m.service_handles.find(handle);
    if (found == m.service_handles.end() || found->second.manager)
        return nullptr;
    return &found->second;
}

// Generic rights stand for the service rights of the manager's generic
// mapping for services.
DWORD service_rights(DWORD desired)
{
    DWORD rights = desired & ~static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE |
                                                GENERIC_ALL);
    if (desired & GENERIC_READ)
        rights |= read_control | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                  SERVICE_INTERROGATE | SERVICE_ENUMERATE_DEPENDENTS;
    if (desired & GENERIC_WRITE)
        rights |= read_control | SERVICE_CHANGE_CONFIG;
    if (desired & GENERIC_EXECUTE)
        rights |= read_control | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
                  SERVICE_USER_DEFINED_CONTROL;
    if (desired & GENERIC_ALL)
        rights |= SERVICE_ALL_ACCESS;
    return rights;
}

bool is_pending(DWORD state)
{
    return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
}

// A pending service reports progress as a well-behaved service does: a
// checkpoint that grows every second, and as wait hint the time it still
// needs. Only a running service accepts the stop control.
void fill_status(const Service &service, LPSERVICE_STATUS status)
{
    unsigned long long now = winsim::now_ms();
    std::memset(status, 0, sizeof *status);
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = service.state;
    status->dwControlsAccepted = service.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status->dwWin32ExitCode = service.win32_exit_code;
    status->dwServiceSpecificExitCode = service.service_specific_exit_code;
    if (is_pending(service.state)) {
        status->dwCheckPoint = 1 + static_cast<DWORD>((now - service.pending_since) / 1000);
        status->dwWaitHint = static_cast<DWORD>(service.pending_until - now);
    }
}

void begin_pending(Service &service, DWORD pending, DWORD settled, unsigned duration_ms)
{
    unsigned long long now = winsim::now_ms();
    service.state = duration_ms == 0 ? settled : pending;
    service.pending_since = now;
    service.pending_until = now + duration_ms;
}

bool depends_directly(const Service &dependent, const Service &service)
{
    for (const std::string &name : dependent.depends_on) {
        if (winsim::same_name(name, service.name))
            return true;
    }
    return false;
}

// Collects, deepest first, the stopped services that must run before the
// service can start. The manager refuses a start when a service it needs
// does not exist, cannot start (it is still stopping) or needs itself.
DWORD needed_to_start(Machine &m, const Service &service, std::vector<Service *> &to_start,
                      std::vector<const Service *> &chain)
{
    chain.push_back(&service);
    for (const std::string &name : service.depends_on) {
        Service *needed = winsim::find_service(m, name);
        if (needed == nullptr)
            return ERROR_SERVICE_DEPENDENCY_DELETED;
        if (std::find(chain.begin(), chain.end(), needed) != chain.end())
            return ERROR_CIRCULAR_DEPENDENCY;
        DWORD error = needed_to_start(m, *needed, to_start, chain);
        if (error != 0)
            return error;
        if (needed->state == SERVICE_STOP_PENDING ||
            (needed->state == SERVICE_STOPPED && needed->disabled))
            return ERROR_SERVICE_DEPENDENCY_FAIL;
        if (needed->state == SERVICE_STOPPED &&
            std::find(to_start.begin(), to_start.end(), needed) == to_start.end())
            to_start.push_back(needed);
    }
    chain.pop_back();
    return 0;
}

// The order in which the manager would start every service: each after
// the services it needs, otherwise in the order they were added in.
std::vector<Service *> start_order(Machine &m)
{
    std::vector<Service *> order;
    std::vector<Service *> visiting;
    std::function<void(Service &)> visit = [&](Service &service) {
        if (std::find(order.begin(), order.end(), &service) != order.end() ||
            std::find(visiting.begin(), visiting.end(), &service) != visiting.end())
            return;
        visiting.push_back(&service);
        for (const std::string &name : service.depends_on) {
            if (Service *needed = winsim::find_service(m, name))
                visit(*needed);
        }
        visiting.pop_back();
        order.push_back(&service);
    };
    for (Service &service : m.services)
        visit(service);
    return order;
}

// Every service that needs the given one, directly or through others.
std::vector<const Service *> all_dependents(Machine &m, const Service &service)
{
    std::vector<const Service *> found;
    auto known = [&](const Service *s) {
        return s == &service || std::find(found.begin(), found.end(), s) != found.end();
    };
    for (bool grew = true; grew;) {
        grew = false;
        for (const Service &candidate : m.services) {
            if (known(&candidate))
                continue;
            bool needs = depends_directly(candidate, service);
            for (const Service *dependent : found)
                needs = needs || depends_directly(candidate, *dependent);
            if (needs) {
                found.push_back(&candidate);
                grew = true;
            }
        }
    }
    return found;
}

// A service marked for deletion goes once it is stopped and no handle to it
// is open.
void delete_if_marked(Machine &m, const std::string &name)
{
    Service *service = winsim::find_service(m, name);
    if (service == nullptr || !service->marked_for_deletion || service->state != SERVICE_STOPPED)
        return;
    for (const auto &handle : m.service_handles) {
        if (!handle.second.manager && winsim::same_name(handle.second.service, name))
            return;
    }
    m.services.erase(m.services.begin() + (service - m.services.data()));
}

bool state_selected(DWORD state, DWORD selection)
{
    return state == SERVICE_STOPPED ? (selection & SERVICE_INACTIVE) != 0
                                    : (selection & SERVICE_ACTIVE) != 0;
}

} // namespace

namespace winsim {

// A start ends in RUNNING, or, for a service that fails in its start, in
// STOPPED with the exit codes the service reported.
static void end_start(Service &service)
{
    service.state = service.start_failing ? SERVICE_STOPPED : SERVICE_RUNNING;
    service.win32_exit_code = service.start_failing ? service.failure_win32_exit_code : 0;
    service.service_specific_exit_code =
        service.start_failing ? service.failure_specific_exit_code : 0;
    service.start_failing = false;
}

Service *find_service(Machine &m, const std::string &name)
{
    unsigned long long now = now_ms();
    for (Service &service : m.services) {
        if (!same_name(service.name, name))
            continue;
        if (service.state == SERVICE_STOP_PENDING && now >= service.pending_until)
            service.state = SERVICE_STOPPED;
        if (service.state == SERVICE_START_PENDING && now >= service.pending_until)
            end_start(service);
        return &service;
    }
    return nullptr;
}

void boot_services(Machine &m)
{
    if (m.setup.version.platform_id != VER_PLATFORM_WIN32_NT)
        return;
    Service spooler;
    spooler.name = "Spooler";
    spooler.state = SERVICE_RUNNING;
    m.services.push_back(spooler);
}

void add_service(const ServiceSetup &setup)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Service service;
    service.name = setup.name;
    service.depends_on = setup.depends_on;
    service.stop_pending_ms = setup.stop_pending_ms;
    service.start_pending_ms = setup.start_pending_ms;
    service.state = setup.running ? SERVICE_RUNNING : SERVICE_STOPPED;
    service.disabled = setup.disabled;
    service.marked_for_deletion = setup.marked_for_deletion;
    if (Service *existing = find_service(m, setup.name))
        *existing = service;
    else
        m.services.push_back(service);
}

DWORD service_state(const std::string &name)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Service *service = find_service(m, name);
    return service == nullptr ? 0 : service->state;
}

std::vector<std::string> service_log()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return m.service_log;
}

int open_service_handle_count()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return static_cast<int>(m.service_handles.size());
}

} // namespace winsim

// The 95 family has no service control manager. Only the local machine's
// active database is modelled; another machine cannot be reached. The
// failed-services database exists in name only (ERROR_DATABASE_DOES_NOT_EXIST);
// any other name is refused as a name (ERROR_INVALID_NAME).
extern "C" SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                                           DWORD dwDesiredAccess)
{
    Call call(__func__, describe("%s, %s, 0x%x", quoted(lpMachineName).c_str(),
                                 quoted(lpDatabaseName).c_str(), dwDesiredAccess));
    const SC_HANDLE none = nullptr;
    if (call.faulted())
        return call.fail_injected(none);
    if (!nt_family())
        return call.fail(none, ERROR_CALL_NOT_IMPLEMENTED);
    if (lpMachineName != nullptr && lpMachineName[0] != '\0')
        return call.fail(none, RPC_S_SERVER_UNAVAILABLE);
    if (lpDatabaseName != nullptr && lpDatabaseName[0] != '\0' &&
        !winsim::same_name(lpDatabaseName, SERVICES_ACTIVE_DATABASEA))
        return call.fail(none, winsim::same_name(lpDatabaseName, "ServicesFailed")
                                   ? ERROR_DATABASE_DOES_NOT_EXIST
                                   : ERROR_INVALID_NAME);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    SC_HANDLE handle = static_cast<SC_HANDLE>(m.new_handle());
    m.service_handles[handle] = {true, std::string(), dwDesiredAccess};
    return call.done(handle);
}

// Service names are matched without regard to case; a name is at most 256
// characters and holds no slash or backslash.
extern "C" SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName,
                                         DWORD dwDesiredAccess)
{
    Call call(__func__, describe("%s, %s, 0x%x", handle_text(hSCManager).c_str(),
                                 quoted(lpServiceName).c_str(), dwDesiredAccess));
    const SC_HANDLE none = nullptr;
    if (call.faulted())
        return call.fail_injected(none);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto manager = m.service_handles.find(hSCManager);
    if (manager == m.service_handles.end() || !manager->second.manager)
        return call.fail(none, ERROR_INVALID_HANDLE);
    if (lpServiceName == nullptr || lpServiceName[0] == '\0' || std::strlen(lpServiceName) > 256 ||
        std::strpbrk(lpServiceName, "/\\") != nullptr)
        return call.fail(none, ERROR_INVALID_NAME);
    Service *service = winsim::find_service(m, lpServiceName);
    if (service == nullptr)
        return call.fail(none, ERROR_SERVICE_DOES_NOT_EXIST);
    SC_HANDLE handle = static_cast<SC_HANDLE>(m.new_handle());
    m.service_handles[handle] = {false, service->name, service_rights(dwDesiredAccess)};
    return call.done(handle);
}

extern "C" BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject)
{
    Call call(__func__, handle_text(hSCObject));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto handle = m.service_handles.find(hSCObject);
    if (handle == m.service_handles.end())
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    std::string name = handle->second.manager ? std::string() : handle->second.service;
    m.service_handles.erase(handle);
    if (!name.empty())
        delete_if_marked(m, name);
    return call.done(TRUE);
}

// A service starts only from STOPPED: any other state, stop pending too,
// is refused with ERROR_SERVICE_ALREADY_RUNNING; a disabled one with
// ERROR_SERVICE_DISABLED, one marked for deletion with
// ERROR_SERVICE_MARKED_FOR_DELETE. The manager first starts the stopped
// services it needs (they run at once here), then the service itself goes
// through START_PENDING. A service that fails in its start has been
// accepted all the same: it goes back to STOPPED with its exit codes,
// which only its status tells.
extern "C" BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs,
                                     LPCSTR *lpServiceArgVectors)
{
    Call call(__func__, describe("%s, %u", handle_text(hService).c_str(), dwNumServiceArgs));
    (void)lpServiceArgVectors;
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    ServiceHandle *handle = service_handle(m, hService);
    if (handle == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if ((handle->access & SERVICE_START) == 0)
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    Service *service = winsim::find_service(m, handle->service);
    if (service->marked_for_deletion)
        return call.fail(FALSE, ERROR_SERVICE_MARKED_FOR_DELETE);
    if (service->state != SERVICE_STOPPED)
        return call.fail(FALSE, ERROR_SERVICE_ALREADY_RUNNING);
    if (service->disabled)
        return call.fail(FALSE, ERROR_SERVICE_DISABLED);
    std::vector<Service *> to_start;
    std::vector<const Service *> chain;
    DWORD error = needed_to_start(m, *service, to_start, chain);
    if (error != 0)
        return call.fail(FALSE, error);
    for (Service *needed : to_start) {
        needed->state = SERVICE_RUNNING;
        m.service_log.push_back("start " + needed->name);
    }
    service->start_failing = false;
    int nth = winsim::call_count(__func__);
    for (const winsim::StartFault &fault : m.start_faults) {
        if (fault.nth != nth)
            continue;
        service->start_failing = true;
        service->failure_win32_exit_code = fault.win32_exit_code;
        service->failure_specific_exit_code = fault.service_specific_exit_code;
    }
    service->win32_exit_code = 0;
    service->service_specific_exit_code = 0;
    begin_pending(*service, SERVICE_START_PENDING, SERVICE_RUNNING, service->start_pending_ms);
    if (service->state == SERVICE_RUNNING)
        winsim::end_start(*service);
    m.service_log.push_back("start " + service->name);
    return call.done(TRUE);
}

// Stop and interrogate are modelled; the services here accept no other
// control. The status is filled in on success and on the three errors
// after which Windows fills it in too.
extern "C" BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl,
                                      LPSERVICE_STATUS lpServiceStatus)
{
    Call call(__func__, describe("%s, %u", handle_text(hService).c_str(), dwControl));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    ServiceHandle *handle = service_handle(m, hService);
    if (handle == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (lpServiceStatus == nullptr)
        return call.fail(FALSE, RPC_X_NULL_REF_POINTER);
    DWORD right = dwControl == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                  : dwControl == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                                                             : 0;
    if ((handle->access & right) != right)
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    Service *service = winsim::find_service(m, handle->service);
    if (right == 0) {
        fill_status(*service, lpServiceStatus);
        return call.fail(FALSE, ERROR_INVALID_SERVICE_CONTROL);
    }
    if (service->state == SERVICE_STOPPED) {
        fill_status(*service, lpServiceStatus);
        return call.fail(FALSE, ERROR_SERVICE_NOT_ACTIVE);
    }
    if (is_pending(service->state)) {
        fill_status(*service, lpServiceStatus);
        return call.fail(FALSE, ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    }
    if (dwControl == SERVICE_CONTROL_STOP) {
        // The manager does not pass a stop on while a service that needs
        // this one is still active.
        for (Service &other : m.services) {
            if (depends_directly(other, *service) &&
                winsim::find_service(m, other.name)->state != SERVICE_STOPPED)
                return call.fail(FALSE, ERROR_DEPENDENT_SERVICES_RUNNING);
        }
        begin_pending(*service, SERVICE_STOP_PENDING, SERVICE_STOPPED, service->stop_pending_ms);
        m.service_log.push_back("stop " + service->name);
    }
    fill_status(*service, lpServiceStatus);
    return call.done(TRUE);
}

extern "C" BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus)
{
    Call call(__func__, handle_text(hService));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    ServiceHandle *handle = service_handle(m, hService);
    if (handle == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (lpServiceStatus == nullptr)
        return call.fail(FALSE, RPC_X_NULL_REF_POINTER);
    if ((handle->access & SERVICE_QUERY_STATUS) == 0)
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    fill_status(*winsim::find_service(m, handle->service), lpServiceStatus);
    return call.done(TRUE);
}

// Lists every service that needs this one, directly or through others, in
// the reverse of the start order: each before the services it needs. The
// records fill the start of the caller's buffer, their strings (the name,
// and the same name as display name) follow them inside it. When they do
// not fit, a NULL buffer of size 0 too, the call fails with ERROR_MORE_DATA
// and reports the bytes needed; with nothing to list it succeeds at once.
extern "C" BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState,
                                              LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                              LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned)
{
    Call call(__func__, describe("%s, %u, size %u", handle_text(hService).c_str(), dwServiceState,
                                 cbBufSize));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    ServiceHandle *handle = service_handle(m, hService);
    if (handle == nullptr)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (pcbBytesNeeded == nullptr || lpServicesReturned == nullptr)
        return call.fail(FALSE, RPC_X_NULL_REF_POINTER);
    if ((handle->access & SERVICE_ENUMERATE_DEPENDENTS) == 0)
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    if (dwServiceState == 0 || (dwServiceState & ~static_cast<DWORD>(SERVICE_STATE_ALL)) != 0)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);

    const Service *service = winsim::find_service(m, handle->service);
    std::vector<const Service *> dependents = all_dependents(m, *service);
    std::vector<Service *> order = start_order(m);
    std::vector<Service *> listed;
    for (auto at = order.rbegin(); at != order.rend(); ++at) {
        Service *candidate = winsim::find_service(m, (*at)->name);
        if (std::find(dependents.begin(), dependents.end(), candidate) != dependents.end() &&
            state_selected(candidate->state, dwServiceState))
            listed.push_back(candidate);
    }

    size_t needed = listed.size() * sizeof(ENUM_SERVICE_STATUSA);
    for (const Service *entry : listed)
        needed += 2 * (entry->name.size() + 1);
    *lpServicesReturned = 0;
    if (needed > 0 && (lpServices == nullptr || needed > cbBufSize)) {
        *pcbBytesNeeded = static_cast<DWORD>(needed);
        return call.fail(FALSE, ERROR_MORE_DATA);
    }
    char *strings = reinterpret_cast<char *>(lpServices + listed.size());
    for (size_t i = 0; i < listed.size(); i++) {
        const std::string &name = listed[i]->name;
        lpServices[i].lpServiceName = strings;
        std::memcpy(strings, name.c_str(), name.size() + 1);
        strings += name.size() + 1;
        lpServices[i].lpDisplayName = strings;
        std::memcpy(strings, name.c_str(), name.size() + 1);
        strings += name.size() + 1;
        fill_status(*listed[i], &lpServices[i].ServiceStatus);
    }
    *pcbBytesNeeded = 0;
    *lpServicesReturned = static_cast<DWORD>(listed.size());
    return call.done(TRUE);
}
