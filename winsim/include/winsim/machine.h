// winsim: the simulated Windows machine that the host build of the setup
// program runs on. A test boots a fresh machine, arranges it, lets the
// product run, and then reads what the machine holds. Every simulated call
// is journaled; any call can be made to fail on purpose; time is virtual.
#ifndef WINSIM_MACHINE_H
#define WINSIM_MACHINE_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

struct Version {
    DWORD platform_id;
    DWORD major;
    DWORD minor;
    DWORD build;
    const char *name;
};

extern const Version windows_95;
extern const Version windows_98;
extern const Version windows_me;
extern const Version windows_nt_351;
extern const Version windows_nt_40;
extern const Version windows_2000;
extern const Version windows_xp;
extern const Version windows_7;
extern const Version windows_10;

// The versions the program knows, oldest first.
const std::vector<Version> &all_versions();

struct MachineSetup {
    Version version = windows_xp;
    std::string windows_dir = "C:\\WINDOWS";
    std::string system_dir = "C:\\WINDOWS\\system32";
    std::string temp_dir = "C:\\WINDOWS\\TEMP";
    // The distribution medium the administrator starts the setup from.
    std::string current_dir = "D:\\";
    std::string module_file_name = "D:\\setup.exe";
    // The logged-on user, as GetUserNameA reports it.
    std::string user_name = "Administrator";
};

// A machine setup with the usual directories of the given version.
MachineSetup setup_for(const Version &version);

// Starts a fresh machine: an empty file system in a folder of its own (with
// the machine's directories created), an empty journal, no faults, clock at 0.
void boot(const MachineSetup &setup);
// Removes the machine's folder. Safe to call when no machine runs.
void shut_down();
const MachineSetup &machine();

// ---- Files, for arranging and checking a test's machine.
// The host path that a Windows path names (resolved as Windows would,
// without regard to case); empty when the path is not valid.
std::string host_path(const std::string &windows_path);
void make_directory(const std::string &windows_path);
// Writes the bytes as they are (no text-mode translation); creates folders.
void put_file(const std::string &windows_path, const std::string &bytes);
bool file_present(const std::string &windows_path);
bool directory_present(const std::string &windows_path);
std::string file_bytes(const std::string &windows_path);
// Number of streams of the simulated C runtime that are still open.
int open_stream_count();

// ---- Journal of the simulated calls.
struct CallRecord {
    std::string function;
    std::string arguments;
    std::string result;
    DWORD error;                // the thread's last error after the call
    unsigned long long time_ms; // virtual time when the call returned
};
std::vector<CallRecord> journal();
int call_count(const std::string &function);
void set_journal_enabled(bool enabled);

// ---- Fault injection. The nth call (counted from boot, 1-based) of the
// named function fails with the given Windows error, as that function fails
// on Windows; with persistent, that call and every later one fails.
void fail_call(const std::string &function, int nth, DWORD error, bool persistent = false);
void clear_faults();
// The nth StartServiceA call (counted from boot) is accepted, but the
// service ends during that start, as one does whose process fails: it is
// START_PENDING for its start_pending_ms, then STOPPED again with the exit
// codes in its status (dwWin32ExitCode, and dwServiceSpecificExitCode when
// that is ERROR_SERVICE_SPECIFIC_ERROR).
void fail_service_start(int nth, DWORD win32_exit_code, DWORD service_specific_exit_code = 0);

// ---- Virtual clock: Sleep advances it instead of waiting.
unsigned long long now_ms();

// ---- Services of the NT family's service control manager (the 95 family
// has none). boot() registers "Spooler", running, without dependencies.
struct ServiceSetup {
    std::string name;
    std::vector<std::string> depends_on;
    bool running = true;
    // How long the service stays in STOP_PENDING after a stop was accepted,
    // and in START_PENDING after a start, in virtual milliseconds.
    unsigned stop_pending_ms = 0;
    unsigned start_pending_ms = 0;
    // Its start type is SERVICE_DISABLED: it runs if it was running, but
    // StartServiceA refuses it (ERROR_SERVICE_DISABLED), and a service that
    // needs it cannot start either (ERROR_SERVICE_DEPENDENCY_FAIL).
    bool disabled = false;
    // DeleteService was called for it: it runs on, and is gone from the
    // manager once it is stopped and its last handle is closed; until then
    // StartServiceA refuses it (ERROR_SERVICE_MARKED_FOR_DELETE).
    bool marked_for_deletion = false;
};
// Registers the service; one of the same name (compared without regard to
// case) is replaced, keeping its place in the order of first addition.
// Among services unrelated by dependencies, that order decides the start
// order, and EnumDependentServicesA lists them in its reverse.
void add_service(const ServiceSetup &service);
// The current state, pending states resolved against the virtual clock; 0
// when there is no such service.
DWORD service_state(const std::string &name);
// "stop NAME" and "start NAME", in the order stops and starts were accepted
// (a start first starts what the service needs), NAME as registered.
std::vector<std::string> service_log();
// Handles of the service control manager (manager and service handles)
// that are open.
int open_service_handle_count();

// ---- Top-level windows of other programs.
// How the program behind a window reacts to being asked to close:
// close_message: its window procedure leaves WM_CLOSE to DefWindowProc,
//   which destroys the window; WM_SYSCOMMAND SC_CLOSE also closes it, as
//   DefWindowProc turns that into WM_CLOSE.
// system_close_command: it ends only on the system menu's Close command
//   (WM_SYSCOMMAND SC_CLOSE) and ignores a bare WM_CLOSE.
enum class ClosesOn { close_message, system_close_command };
struct WindowMessage {
    UINT message;
    WPARAM w;
    LPARAM l;
    bool posted; // PostMessageA rather than SendMessageA
};
// Opens a top-level window of another program.
HWND open_window(const std::string &class_name, const std::string &title, ClosesOn closes_on);
// A sent message is handled before SendMessageA returns; a posted one only
// once the other program runs again, that is once the virtual clock has
// moved on (any Sleep of 1 ms or more).
bool window_open(HWND window);
// The messages the setup program sent or posted to the window, in order;
// also after it closed.
std::vector<WindowMessage> window_messages(HWND window);

} // namespace winsim

#endif
