#include "machine_state.h"

#include <winsim/user.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace winsim {

const Version windows_95 = {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, "Windows 95"};
const Version windows_98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, "Windows 98"};
const Version windows_me = {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, "Windows Me"};
const Version windows_nt_351 = {VER_PLATFORM_WIN32_NT, 3, 51, 1057, "Windows NT 3.51"};
const Version windows_nt_40 = {VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Windows NT 4.0"};
const Version windows_2000 = {VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Windows 2000"};
const Version windows_xp = {VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Windows XP"};
const Version windows_7 = {VER_PLATFORM_WIN32_NT, 6, 1, 7601, "Windows 7"};
const Version windows_10 = {VER_PLATFORM_WIN32_NT, 10, 0, 19045, "Windows 10"};

const std::vector<Version> &all_versions()
{
    static const std::vector<Version> versions = {
        windows_95, windows_98, windows_me, windows_nt_351, windows_nt_40,
        windows_2000, windows_xp, windows_7, windows_10};
    return versions;
}

MachineSetup setup_for(const Version &version)
{
    MachineSetup setup;
    setup.version = version;
    if (version.platform_id == VER_PLATFORM_WIN32_WINDOWS) {
        setup.system_dir = "C:\\WINDOWS\\SYSTEM";
        setup.temp_dir = "C:\\WINDOWS\\TEMP";
    } else if (version.major < 5) {
        setup.windows_dir = "C:\\WINNT";
        setup.system_dir = "C:\\WINNT\\system32";
        setup.temp_dir = "C:\\TEMP";
    } else if (version.major == 5 && version.minor == 0) {
        setup.windows_dir = "C:\\WINNT";
        setup.system_dir = "C:\\WINNT\\system32";
        setup.temp_dir = "C:\\WINNT\\TEMP";
    }
    return setup;
}

Machine &the_machine()
{
    static Machine machine;
    return machine;
}

static std::string module_directory(const std::string &module_file_name)
{
    std::string::size_type cut = module_file_name.find_last_of('\\');
    return cut == std::string::npos ? std::string() : module_file_name.substr(0, cut);
}

void boot(const MachineSetup &setup)
{
    shut_down();
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    char pattern[] = "/tmp/winsim-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("winsim: cannot make the machine's folder");
        std::abort();
    }
    m.root = pattern;
    m.setup = setup;
    m.clock_ms = 0;
    m.journal_enabled = true;
    m.journal.clear();
    m.calls.clear();
    m.faults.clear();
    m.start_faults.clear();
    m.attributes.clear();
    m.open_files.clear();
    m.services.clear();
    m.service_log.clear();
    m.service_handles.clear();
    m.windows.clear();
    m.current_dir = setup.current_dir;
    m.image_in_use = false;
    m.running = true;
    make_directory(setup.windows_dir);
    make_directory(setup.system_dir);
    make_directory(setup.temp_dir);
    make_directory(setup.current_dir);
    make_directory(module_directory(setup.module_file_name));
    boot_services(m);
    boot_spooler(m);
    boot_user_interface(m);
    boot_spooler_objects(m);
    boot_registry(m);
    boot_setup_api(m);
    SetLastError(0);
}

void shut_down()
{
    // Before locking: the program's threads may still call the machine.
    join_program_threads();
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (!m.running)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m.root, ignored);
    m.running = false;
}

const MachineSetup &machine()
{
    return the_machine().setup;
}

std::string describe(const char *format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string quoted(const char *text)
{
    return text == nullptr ? std::string("NULL") : "\"" + std::string(text) + "\"";
}

std::string result_text(long long value)
{
    return std::to_string(value);
}

std::string result_text(const void *value)
{
    return value == nullptr ? std::string("NULL") : describe("%p", value);
}

Call::Call(const char *function, std::string arguments)
    : function_(function), arguments_(std::move(arguments))
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    int nth = ++m.calls[function];
    m.progress++;
    for (const Fault &fault : m.faults) {
        if (fault.function != function)
            continue;
        if (nth == fault.nth || (fault.persistent && nth > fault.nth))
            fault_error_ = fault.error;
    }
}

void Call::record(const std::string &result)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (!m.journal_enabled)
        return;
    m.journal.push_back({function_, arguments_, result, GetLastError(), m.clock_ms.load()});
}

void Call::done_void()
{
    record("");
}

std::vector<CallRecord> journal()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return m.journal;
}

int call_count(const std::string &function)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto found = m.calls.find(function);
    return found == m.calls.end() ? 0 : found->second;
}

void set_journal_enabled(bool enabled)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.journal_enabled = enabled;
}

void fail_call(const std::string &function, int nth, DWORD error, bool persistent)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.faults.push_back({function, nth, error, persistent});
}

void clear_faults()
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.faults.clear();
    m.start_faults.clear();
}

void fail_service_start(int nth, DWORD win32_exit_code, DWORD service_specific_exit_code)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    m.start_faults.push_back({nth, win32_exit_code, service_specific_exit_code});
}

unsigned long long now_ms()
{
    return the_machine().clock_ms.load();
}

} // namespace winsim
