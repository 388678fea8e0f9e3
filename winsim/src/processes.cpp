// winsim: kernel32's CreateProcessA, CreateMutexA and CloseHandle, and the
// programs that a started process runs.
#include <processthreadsapi.h>
#include <winsim/processes.h>

#include "winsim_internal.h"
#include "user_interface_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>


namespace {

// An open mutex handle: the mutex's name ("" for an unnamed one) and
// whether the program's process opened it (a test opens one as another
// process would).
struct MutexHandle {
    std::string name;
    bool program;
};

struct ProcessesState {
    std::vector<winsim::ProcessStart> started;
    std::map<void *, DWORD> handles; // open process and thread handles, with their ids
    std::map<void *, MutexHandle> mutexes;
    DWORD last_id = 0x100;
    // What a started program does, by its file name (set_started_program_behaviour).
    std::vector<std::pair<std::string, std::function<void()>>> behaviours;
};

ProcessesState &state()
{
    static ProcessesState instance;
    return instance;
}

std::recursive_mutex &lock()
{
    return the_machine().lock;
}

// The pseudo handles of the current process and thread.
const HANDLE current_process = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const HANDLE current_thread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

std::string name_of(const std::string &path)
{
    std::string::size_type cut = path.find_last_of('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string folder_of(const std::string &path)
{
    std::string::size_type cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The program file a name stands for; 0 or the error of CreateProcessA.
DWORD find_program(const std::string &name, std::string &found)
{
    ResolvedPath path = resolve_path(name.c_str());
    if (path.error != 0)
        return path.error;
    if (!path.exists)
        return path.parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    if (path.is_directory)
        return ERROR_ACCESS_DENIED;
    found = path.full;
    return 0;
}

// A name from the command line: ".exe" is added when it has no extension
// (a final period only drops); without a path it is looked for in the
// program's folder, the current folder, the system folder, the 16-bit
// system folder (NT family) and the Windows folder. PATH is not modelled.
DWORD search_program(std::string name, std::string &found)
{
    std::string last = name_of(name);
    if (!last.empty() && last.back() == '.')
        name.pop_back();
    else if (last.find('.') == std::string::npos)
        name += ".exe";
    if (name.find_first_of("\\/:") != std::string::npos)
        return find_program(name, found);
    const winsim::MachineSetup &setup = winsim::machine();
    std::string current;
    {
        std::lock_guard<std::recursive_mutex> hold(lock());
        current = the_machine().current_dir;
    }
    std::vector<std::string> folders = {folder_of(setup.module_file_name), current, setup.system_dir};
    if (setup.version.platform_id == VER_PLATFORM_WIN32_NT)
        folders.push_back(setup.windows_dir + "\\SYSTEM");
    folders.push_back(setup.windows_dir);
    for (const std::string &folder : folders) {
        DWORD error = find_program(folder + "\\" + name, found);
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return error;
    }
    return ERROR_FILE_NOT_FOUND;
}

// Without an application name the program is the command line's first
// token: a quoted name, or else the shortest run of words up to a blank that
// names a program ("C:\Program Files\x.exe" tries "C:\Program" first).
DWORD program_of_command_line(const std::string &command_line, std::string &found)
{
    if (!command_line.empty() && command_line[0] == '"') {
        std::string::size_type close = command_line.find('"', 1);
        return search_program(command_line.substr(1, close == std::string::npos ? std::string::npos : close - 1),
                              found);
    }
    DWORD first_error = 0;
    for (size_t end = 0; end <= command_line.size(); end++) {
        if (end < command_line.size() && command_line[end] != ' ' && command_line[end] != '\t')
            continue;
        if (end == 0)
            return ERROR_FILE_NOT_FOUND;
        DWORD error = search_program(command_line.substr(0, end), found);
        if (error == 0 || (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND))
            return error;
        if (first_error == 0)
            first_error = error;
    }
    return first_error != 0 ? first_error : ERROR_FILE_NOT_FOUND;
}

// The command line's words after the program's name.
std::string arguments_of(const std::string &command_line)
{
    std::string::size_type end = 0;
    if (!command_line.empty() && command_line[0] == '"')
        end = command_line.find('"', 1);
    end = command_line.find(' ', end == std::string::npos ? 0 : end);
    if (end == std::string::npos)
        return std::string();
    return command_line.substr(command_line.find_first_not_of(' ', end) == std::string::npos
                                   ? command_line.size()
                                   : command_line.find_first_not_of(' ', end));
}

// The behaviour the test gave the program's file name, if any.
std::function<void()> behaviour_of(const std::string &program)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    for (const auto &known : state().behaviours) {
        if (winsim::same_name(name_of(program), known.first))
            return known.second;
    }
    return nullptr;
}

// What the started program does: what the test set for its file name; the
// system's command interpreter runs its "/c" line once the program that
// started it has ended (a line that waits for that end behaves as on
// Windows; one that races it is not modelled).
void run_started_program(const std::string &program, const std::string &command_line)
{
    if (std::function<void()> behaviour = behaviour_of(program)) {
        behaviour();
        return;
    }
    std::string interpreter = winsim::resolve_path((winsim::machine().system_dir + "\\cmd.exe").c_str()).full;
    if (!winsim::same_name(program, interpreter))
        return;
    std::string arguments = arguments_of(command_line);
    if (arguments.compare(0, 3, "/c ") != 0) {
        winsim::record_script_failure("the command interpreter's model runs only /c: " + command_line);
        return;
    }
    winsim::run_after_program([arguments] { winsim::run_command_interpreter(arguments.substr(3)); });
}

} // namespace

// The program file must exist (a folder is refused with access denied);
// lpApplicationName is taken as it is, relative to the current folder, with
// no extension added and no search. A failed call zeroes the process
// information. STARTUPINFOA's cb is not checked, only recorded.
extern "C" BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                      LPSECURITY_ATTRIBUTES lpProcessAttributes,
                                      LPSECURITY_ATTRIBUTES lpThreadAttributes,
                                      BOOL bInheritHandles, DWORD dwCreationFlags,
                                      LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                                      LPSTARTUPINFOA lpStartupInfo,
                                      LPPROCESS_INFORMATION lpProcessInformation)
{
    Call call(__func__,
              describe("%s, %s, %p, %p, %d, 0x%08x, %p, %s", quoted(lpApplicationName).c_str(),
                       quoted(lpCommandLine).c_str(), static_cast<void *>(lpProcessAttributes),
                       static_cast<void *>(lpThreadAttributes), bInheritHandles, dwCreationFlags,
                       lpEnvironment, quoted(lpCurrentDirectory).c_str()));
    // Windows reads and writes through these without a check.
    if (lpStartupInfo == nullptr || lpProcessInformation == nullptr) {
        std::fprintf(stderr, "winsim: this crashes on Windows: CreateProcessA without %s\n",
                     lpStartupInfo == nullptr ? "STARTUPINFO" : "PROCESS_INFORMATION");
        std::abort();
    }
    std::memset(lpProcessInformation, 0, sizeof *lpProcessInformation);
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (lpApplicationName == nullptr && lpCommandLine == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    std::string program;
    DWORD error = lpApplicationName != nullptr ? find_program(lpApplicationName, program)
                                               : program_of_command_line(lpCommandLine, program);
    if (error != 0)
        return call.fail(FALSE, error);
    if (lpCurrentDirectory != nullptr) {
        ResolvedPath folder = resolve_path(lpCurrentDirectory);
        if (folder.error != 0 || !folder.is_directory)
            return call.fail(FALSE, ERROR_DIRECTORY);
    }
    {
        std::lock_guard<std::recursive_mutex> hold(lock());
        ProcessesState &s = state();
        HANDLE process = the_machine().new_handle();
        HANDLE thread = the_machine().new_handle();
        DWORD process_id = s.last_id += 4;
        DWORD thread_id = s.last_id += 4;
        s.handles[process] = process_id;
        s.handles[thread] = thread_id;
        *lpProcessInformation = {process, thread, process_id, thread_id};
        s.started.push_back({program, lpCommandLine != nullptr ? lpCommandLine : lpApplicationName,
                             dwCreationFlags, lpStartupInfo->cb,
                             lpCurrentDirectory != nullptr ? lpCurrentDirectory : "",
                             (lpStartupInfo->dwFlags & STARTF_USESHOWWINDOW) != 0
                                 ? static_cast<int>(lpStartupInfo->wShowWindow)
                                 : -1});
    }
    run_started_program(program, lpCommandLine != nullptr ? lpCommandLine : lpApplicationName);
    return call.done(TRUE);
}

// Closing a pseudo handle of the current process or thread does nothing and
// succeeds; a handle that is not open fails with ERROR_INVALID_HANDLE.
extern "C" BOOL WINAPI CloseHandle(HANDLE hObject)
{
    Call call(__func__, describe("%p", hObject));
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (hObject == current_process || hObject == current_thread)
        return call.done(TRUE);
    std::lock_guard<std::recursive_mutex> hold(lock());
    if (state().handles.erase(hObject) == 0 && state().mutexes.erase(hObject) == 0)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    return call.done(TRUE);
}

// A named mutex is one object for every process: while any handle names
// it, CreateMutexA of the same name (case-sensitive, as kernel object
// names are) returns a new handle to it and sets ERROR_ALREADY_EXISTS;
// bInitialOwner is then ignored. A new mutex sets the last error to 0.
// Ownership and waits are not modelled: the program only asks whether the
// mutex existed. Security attributes are not read.
extern "C" HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                                      LPCSTR lpName)
{
    Call call(__func__, describe("%p, %d, %s", static_cast<void *>(lpMutexAttributes),
                                       bInitialOwner, quoted(lpName).c_str()));
    if (call.faulted())
        return call.fail_injected(static_cast<HANDLE>(nullptr));
    std::lock_guard<std::recursive_mutex> hold(lock());
    std::string name = lpName != nullptr ? lpName : "";
    bool existed = !name.empty() && winsim::mutex_exists(name);
    HANDLE handle = the_machine().new_handle();
    state().mutexes[handle] = {name, the_machine().image_in_use};
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return call.done(handle);
}

namespace winsim {

void boot_processes(Machine &m)
{
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    state() = ProcessesState();
}

void set_started_program_behaviour(const std::string &file_name, std::function<void()> behaviour)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    for (auto &known : state().behaviours) {
        if (same_name(known.first, file_name)) {
            known.second = std::move(behaviour);
            return;
        }
    }
    state().behaviours.emplace_back(file_name, std::move(behaviour));
}

std::vector<ProcessStart> started_processes()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().started;
}

int open_kernel_handle_count()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return static_cast<int>(state().handles.size() + state().mutexes.size());
}

bool mutex_exists(const std::string &name)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    for (const auto &open : state().mutexes) {
        if (open.second.name == name)
            return true;
    }
    return false;
}

// The process ended: Windows closes every handle it held.
void close_program_kernel_objects()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    for (auto open = state().mutexes.begin(); open != state().mutexes.end();)
        open = open->second.program ? state().mutexes.erase(open) : std::next(open);
}

} // namespace winsim
