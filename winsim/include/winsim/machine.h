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

// ---- Virtual clock: Sleep advances it instead of waiting.
unsigned long long now_ms();

} // namespace winsim

#endif
