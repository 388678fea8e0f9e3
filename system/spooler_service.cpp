#include "system/spooler_service.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "setup/product_names.h"
#include "system/environment.h"

enum {
    SPOOLER_STOP_WAIT_MS = 2000,
    PRINT_WINDOW_CLOSE_WAIT_MS = 1000,
    STATE_POLL_INTERVAL_MS = 1000,
    // A service that hangs in a pending state must not hang the setup.
    STATE_POLL_LIMIT_MS = 60000,
    USER_NAME_SIZE = 128,
    WINDOW_CLASS_SIZE = 256
};

static char spooler_name[] = "spooler";
static ServiceNode spooler_root = {spooler_name, NULL, NULL, 0};
ServiceNode *spooler_service_list = &spooler_root;

// Closes a handle without disturbing the error a failure left behind.
static void close_service(SC_HANDLE handle)
{
    DWORD error = GetLastError();

    if (handle != NULL)
        CloseServiceHandle(handle);
    SetLastError(error);
}

static ServiceNode *new_service_node(const char *name)
{
    size_t size = strlen(name) + 1;
    ServiceNode *node = (ServiceNode *)malloc(sizeof *node);
    char *copy = (char *)malloc(size);

    if (node == NULL || copy == NULL) {
        free(node);
        free(copy);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    memcpy(copy, name, size);
    node->name = copy;
    node->next = NULL;
    node->dependents = NULL;
    node->excused = 0;
    return node;
}

// The node recorded under parent for the named service. A stop that is
// tried again after a partial failure finds the dependents it stopped the
// first time already recorded, and keeps them, so that the next start
// brings back every service this program stopped.
static ServiceNode *record_dependent(ServiceNode *parent, const char *name)
{
    ServiceNode **link = &parent->dependents;

    while (*link != NULL) {
        if (strcmp((*link)->name, name) == 0)
            return *link;
        link = &(*link)->next;
    }
    *link = new_service_node(name);
    return *link;
}

static int fail_with(DWORD error)
{
    SetLastError(error);
    capture_last_error();
    return 0;
}

// Why a service that was started is stopped again: its exit code. A
// service's own number is no Windows error (read as one, 5 would say
// "Access is denied."): ERROR_SERVICE_SPECIFIC_ERROR, whose text says what
// happened, stays the error, and the number is kept for a log.
static DWORD start_failure_error(const SERVICE_STATUS *status)
{
    service_exit_code = status->dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR
                            ? status->dwServiceSpecificExitCode
                            : 0;
    if (status->dwWin32ExitCode != NO_ERROR)
        return status->dwWin32ExitCode;
    return ERROR_SERVICE_NOT_ACTIVE;
}

// Polls the service until it reaches the state, a query fails, or the
// limit runs out (ERROR_SERVICE_REQUEST_TIMEOUT, captured). A service
// that ends in its start is back to STOPPED: that fails at once, with the
// service's own error captured.
static int wait_for_state(SC_HANDLE service, DWORD wanted)
{
    SERVICE_STATUS status;
    DWORD waited = 0;

    while (QueryServiceStatus(service, &status) && status.dwCurrentState != wanted) {
        if (wanted == SERVICE_RUNNING && status.dwCurrentState == SERVICE_STOPPED)
            return fail_with(start_failure_error(&status));
        if (waited >= STATE_POLL_LIMIT_MS)
            return fail_with(ERROR_SERVICE_REQUEST_TIMEOUT);
        Sleep(STATE_POLL_INTERVAL_MS);
        waited += STATE_POLL_INTERVAL_MS;
    }
    return 1;
}

// The active dependents of the service, in a buffer the caller frees;
// null with *count 0 when there are none, null on failure.
static ENUM_SERVICE_STATUSA *active_dependents(SC_HANDLE service, DWORD *count, int *failed)
{
    ENUM_SERVICE_STATUSA *entries;
    DWORD needed = 0;

    *count = 0;
    *failed = 0;
    // Ask for the size first: a service without active dependents answers
    // at once.
    if (EnumDependentServicesA(service, SERVICE_ACTIVE, NULL, 0, &needed, count))
        return NULL;
    *failed = 1;
    if (GetLastError() != ERROR_MORE_DATA)
        return NULL;
    entries = (ENUM_SERVICE_STATUSA *)malloc(needed);
    if (entries == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (!EnumDependentServicesA(service, SERVICE_ACTIVE, entries, needed, &needed, count)) {
        capture_last_error();
        free(entries);
        return NULL;
    }
    *failed = 0;
    return entries;
}

int stop_service_tree(SC_HANDLE manager, SC_HANDLE service, ServiceNode *node)
{
    ENUM_SERVICE_STATUSA *entries;
    SC_HANDLE dependent = NULL;
    SERVICE_STATUS status;
    DWORD count;
    int failed;
    int result = 0;

    entries = active_dependents(service, &count, &failed);
    if (failed)
        goto done;
    for (DWORD i = 0; i < count; i++) {
        ServiceNode *child = record_dependent(node, entries[i].lpServiceName);
        if (child == NULL) {
            capture_last_error();
            goto done;
        }
        dependent = OpenServiceA(manager, child->name, SERVICE_ALL_ACCESS);
        if (dependent == NULL) {
            capture_last_error();
            goto done;
        }
        if (!stop_service_tree(manager, dependent, child))
            goto done;
        if (!wait_for_state(dependent, SERVICE_STOPPED))
            goto done;
        close_service(dependent);
        dependent = NULL;
    }
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        capture_last_error();
        goto done;
    }
    result = 1;
done:
    close_service(dependent);
    free(entries);
    return result;
}

// A service that is running already is where a start wants it to be.
static int start_service(SC_HANDLE service)
{
    if (StartServiceA(service, 0, NULL))
        return 1;
    return GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

// A service that is gone, or disabled, or needs one that is gone, will not
// start on a later try either.
static int cannot_start_again(DWORD error)
{
    return error == ERROR_SERVICE_DOES_NOT_EXIST || error == ERROR_SERVICE_DISABLED ||
           error == ERROR_SERVICE_MARKED_FOR_DELETE || error == ERROR_SERVICE_DEPENDENCY_DELETED;
}

// Releases the node with everything recorded under it.
static void free_service_node(ServiceNode *node)
{
    while (node->dependents != NULL) {
        ServiceNode *child = node->dependents;
        node->dependents = child->next;
        free_service_node(child);
    }
    free(node->name);
    free(node);
}

// Starts the service and waits until it runs; 0 with the error captured.
static int start_and_wait(SC_HANDLE service)
{
    if (!start_service(service)) {
        capture_last_error();
        return 0;
    }
    return wait_for_state(service, SERVICE_RUNNING);
}

static int start_recorded(SC_HANDLE manager, ServiceNode **link);

// Starts one recorded dependent, then what was recorded under it. *gone
// tells that its own start failed for good.
static int start_dependent(SC_HANDLE manager, ServiceNode *node, int *gone)
{
    SC_HANDLE service = OpenServiceA(manager, node->name, SERVICE_ALL_ACCESS);
    int own_start;

    if (service == NULL) {
        capture_last_error();
        *gone = cannot_start_again(last_error);
        return 0;
    }
    own_start = start_and_wait(service);
    close_service(service);
    *gone = !own_start && cannot_start_again(last_error);
    return own_start && start_recorded(manager, &node->dependents);
}

// Starts the dependents recorded from *link on, the last recorded first
// (the reverse of the order they were stopped in), each together with what
// was recorded under it. Every one is tried: one that fails does not keep
// the others stopped. A dependent is released from the record once it runs
// again, or when it never can; one that failed otherwise stays recorded
// for the next start. The error captured is the first failure's, with its
// service's exit code; an excused dependent's failure fails nothing.
static int start_recorded(SC_HANDLE manager, ServiceNode **link)
{
    ServiceNode *node = *link;
    DWORD first_error;
    DWORD first_exit_code;
    int others;
    int started;
    int excused;
    int gone;

    if (node == NULL)
        return 1;
    others = start_recorded(manager, &node->next);
    first_error = last_error;
    first_exit_code = service_exit_code;
    started = start_dependent(manager, node, &gone);
    excused = node->excused;
    if (started || gone) {
        *link = node->next;
        free_service_node(node);
    }
    if (!others) {
        service_exit_code = first_exit_code;
        fail_with(first_error);
    }
    return others && (started || excused);
}

// Set when the last start ran the spooler but not every recorded
// dependent: what the record holds then failed in that start.
static int dependents_failed;

int start_service_tree(SC_HANDLE manager, SC_HANDLE service, ServiceNode *node)
{
    if (!start_and_wait(service))
        return 0;
    // Then the services that need this one, as soon as it runs.
    dependents_failed = !start_recorded(manager, &node->dependents);
    return !dependents_failed;
}

static void excuse_recorded(ServiceNode *node)
{
    for (; node != NULL; node = node->next) {
        node->excused = 1;
        excuse_recorded(node->dependents);
    }
}

void excuse_failed_dependents(void)
{
    if (dependents_failed)
        excuse_recorded(spooler_root.dependents);
    dependents_failed = 0;
}

// Opens the service manager and the spooler service; 0 with the error
// captured when either cannot be opened.
static int open_spooler(SC_HANDLE *manager, SC_HANDLE *service)
{
    *service = NULL;
    *manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (*manager == NULL) {
        capture_last_error();
        return 0;
    }
    *service = OpenServiceA(*manager, spooler_name, SERVICE_ALL_ACCESS);
    if (*service == NULL) {
        capture_last_error();
        return 0;
    }
    return 1;
}

int stop_spooler(void)
{
    SC_HANDLE manager;
    SC_HANDLE service;
    int result = 0;

    if (is_windows_95_family()) {
        close_print_window();
        return 1;
    }
    if (!open_spooler(&manager, &service))
        goto done;
    if (!stop_service_tree(manager, service, spooler_service_list)) {
        capture_last_error();
        goto done;
    }
    // The spooler's own state is not polled; it is given a moment.
    Sleep(SPOOLER_STOP_WAIT_MS);
    close_print_window();
    result = 1;
done:
    close_service(service);
    close_service(manager);
    return result;
}

int start_spooler(void)
{
    SC_HANDLE manager;
    SC_HANDLE service;
    int result = 0;

    dependents_failed = 0;
    if (is_windows_95_family())
        return 1;
    if (!open_spooler(&manager, &service))
        goto done;
    if (!start_service_tree(manager, service, spooler_service_list)) {
        capture_last_error();
        goto done;
    }
    result = 1;
done:
    close_service(service);
    close_service(manager);
    return result;
}

void close_print_window(void)
{
    char user_name[USER_NAME_SIZE];
    char class_name[WINDOW_CLASS_SIZE];
    DWORD size = sizeof user_name;
    HWND window;

    // Without the user name there is no class name to look for.
    if (!GetUserNameA(user_name, &size))
        return;
    format_text(class_name, sizeof class_name, "%s%s", PRINT_WINDOW_CLASS_PREFIX, user_name);
    window = FindWindowA(class_name, NULL);
    if (window == NULL)
        return;
    SendMessageA(window, WM_CLOSE, 0, 0);
    Sleep(PRINT_WINDOW_CLOSE_WAIT_MS);
}
