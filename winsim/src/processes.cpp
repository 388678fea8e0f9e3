// winsim: kernel32's CreateProcessA and CloseHandle, and the programs of
// the package that a started process runs.
#include <processthreadsapi.h>
#include <winsim/processes.h>

#include "machine_state.h"
#include "paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

using winsim::Call;
using winsim::describe;
using winsim::quoted;
using winsim::ResolvedPath;
using winsim::resolve_path;
using winsim::the_machine;

namespace {

struct ProcessesState {
    std::vector<winsim::ProcessStart> started;
    std::map<void *, DWORD> handles; // open process and thread handles, with their ids
    DWORD last_id = 0x100;
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

// What the started program does: the package's fax server opens its
// top-level window, which ends only on the system menu's Close.
void run_started_program(const std::string &program)
{
    if (winsim::same_name(name_of(program), "faxsrv.exe"))
        winsim::open_window("FaxSrvClass", "", winsim::ClosesOn::system_close_command);
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
    Call call("CreateProcessA",
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
                             lpCurrentDirectory != nullptr ? lpCurrentDirectory : ""});
    }
    run_started_program(program);
    return call.done(TRUE);
}

// Closing a pseudo handle of the current process or thread does nothing and
// succeeds; a handle that is not open fails with ERROR_INVALID_HANDLE.
extern "C" BOOL WINAPI CloseHandle(HANDLE hObject)
{
    Call call("CloseHandle", describe("%p", hObject));
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (hObject == current_process || hObject == current_thread)
        return call.done(TRUE);
    std::lock_guard<std::recursive_mutex> hold(lock());
    if (state().handles.erase(hObject) == 0)
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    return call.done(TRUE);
}

namespace winsim {

void boot_processes(Machine &m)
{
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    state() = ProcessesState();
}

std::vector<ProcessStart> started_processes()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().started;
}

int open_kernel_handle_count()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return static_cast<int>(state().handles.size());
}

} // namespace winsim
