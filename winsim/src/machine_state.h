// winsim internals: the one machine and the recorder that every simulated
// call goes through.
#ifndef WINSIM_MACHINE_STATE_H
#define WINSIM_MACHINE_STATE_H

#include <winsim/machine.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace winsim {

struct Fault {
    std::string function;
    int nth;
    DWORD error;
    bool persistent;
};

// A start that StartServiceA accepts and the service then fails.
struct StartFault {
    int nth; // of the StartServiceA calls, from boot
    DWORD win32_exit_code;
    DWORD service_specific_exit_code;
};

// A service of the NT family's service control manager. A pending state
// began at pending_since and ends at pending_until on the virtual clock; it
// is resolved when read.
struct Service {
    std::string name;
    std::vector<std::string> depends_on;
    unsigned stop_pending_ms = 0;
    unsigned start_pending_ms = 0;
    bool disabled = false;
    bool marked_for_deletion = false;
    // The current start ends in STOPPED with the failure's exit codes.
    bool start_failing = false;
    DWORD failure_win32_exit_code = 0;
    DWORD failure_specific_exit_code = 0;
    DWORD win32_exit_code = 0;
    DWORD service_specific_exit_code = 0;
    DWORD state = SERVICE_STOPPED;
    unsigned long long pending_since = 0;
    unsigned long long pending_until = 0;
};

// What an SC_HANDLE stands for.
struct ServiceHandle {
    bool manager;        // the manager, or one service
    std::string service; // the service's name as registered
    DWORD access;        // the rights granted, generic rights mapped
};

// A window: top-level ones of other programs, and later the dialogs of
// the setup program with their controls.
struct Window {
    HWND handle;
    std::string class_name;
    std::string text;     // title of a top-level window, text of a control
    HWND parent;          // null for a top-level window
    int control_id;
    bool enabled;
    ClosesOn closes_on;
    bool open;
    // A posted close request takes effect once the clock passes this time.
    unsigned long long closes_after;
    std::vector<WindowMessage> messages;
    // The program's own dialogs and controls: the template they come from
    // (0 for other programs' windows), their style names as the template
    // spells them, and a button's BST_ check state. Messages sent to them
    // with SendMessageA or PostMessageA do not reach the dialog procedure.
    int template_id = 0;
    std::vector<std::string> styles{};
    UINT check_state = 0;
};

// A printing environment the spooler knows, with its directories.
struct SpoolerEnvironment {
    std::string name;
    std::string driver_dir;
    std::string print_processor_dir;
};

struct Spooler {
    std::vector<SpoolerEnvironment> environments; // the machine's own first
};

struct Machine {
    std::recursive_mutex lock;
    bool running = false;
    MachineSetup setup;
    std::string root; // host folder that holds the drives
    std::atomic<unsigned long long> clock_ms{0};
    // Calls and stream transfers made so far: a modal loop whose machine
    // makes none for a while is taken for stuck.
    std::atomic<unsigned long long> progress{0};
    bool journal_enabled = true;
    std::vector<CallRecord> journal;
    std::map<std::string, int> calls; // per function, counted from boot
    std::vector<Fault> faults;
    std::vector<StartFault> start_faults;
    std::string current_dir;
    std::map<std::string, DWORD> attributes; // by host path; absent: archive
    std::map<std::string, int> open_files;   // by host path
    std::vector<Service> services;           // in the order of first addition
    std::vector<std::string> service_log;
    std::map<const void *, ServiceHandle> service_handles;
    Spooler spooler;
    std::vector<Window> windows; // in the order of creation
    // The running program's image file is mapped while its process lives;
    // after _execl the process ends once the clock passes the time given.
    bool image_in_use = false;
    unsigned long long image_released_after = 0;
    // Handle values are never reused, not even across boots, so that a
    // closed or stale handle stays invalid.
    uintptr_t last_handle = 0x10000;
    void *new_handle()
    {
        last_handle += 4;
        return reinterpret_cast<void *>(last_handle);
    }
};

Machine &the_machine();

// Set up by boot(): the spooler service of the NT family, the spooler's
// environments and directories.
void boot_services(Machine &m);
void boot_spooler(Machine &m);
// Each part of the machine resets what it keeps of its own.
void boot_user_interface(Machine &m);
void boot_spooler_objects(Machine &m);
void boot_registry(Machine &m);
void boot_setup_api(Machine &m);
// The named service (without regard to case), its state resolved against
// the clock; null when there is none. Call with the machine locked.
Service *find_service(Machine &m, const std::string &name);
// The spooler environment a call names: NULL and "" name the machine's own;
// names compare without regard to case. Null when the spooler knows none.
// Call with the machine locked.
const SpoolerEnvironment *find_environment(Machine &m, const char *name);

// Runs the line as "cmd.exe /c" runs it (the commands a clean-up line
// uses); what it cannot run is recorded as a script failure.
void run_command_interpreter(const std::string &command_line);

// printf-style composition of a journal text.
std::string describe(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Quotes a possibly null string argument for the journal.
std::string quoted(const char *text);

// One simulated call: counts it, tells whether a fault is armed for it, and
// journals its result and the thread's last error when it returns.
class Call {
  public:
    Call(const char *function, std::string arguments);
    bool faulted() const
    {
        return fault_error_ != 0;
    }
    DWORD fault_error() const
    {
        return fault_error_;
    }
    // Fails with the armed fault's error.
    template <typename T> T fail_injected(T result)
    {
        return fail(result, fault_error_);
    }
    template <typename T> T fail(T result, DWORD error);
    template <typename T> T done(T result);
    void done_void();

  private:
    void record(const std::string &result);
    const char *function_;
    std::string arguments_;
    DWORD fault_error_ = 0;
};

std::string result_text(long long value);
std::string result_text(const void *value);

template <typename T> T Call::fail(T result, DWORD error)
{
    SetLastError(error);
    record(result_text(result));
    return result;
}

template <typename T> T Call::done(T result)
{
    record(result_text(result));
    return result;
}

} // namespace winsim

#endif
