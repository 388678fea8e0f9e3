// winsim: the programs the setup program started, and its kernel handles.
#ifndef WINSIM_PROCESSES_H
#define WINSIM_PROCESSES_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

struct ProcessStart {
    std::string application;       // the program file, full path as found
    std::string command_line;      // as the new process gets it
    DWORD flags;                   // creation flags
    DWORD startup_info_size;       // the STARTUPINFOA's cb as passed
    std::string current_directory; // as passed; empty for the caller's
    // STARTUPINFOA's wShowWindow when its dwFlags hold STARTF_USESHOWWINDOW,
    // else -1: the program's first window shows as it likes.
    int show_window;
};
// What a program of that file name (no folder) does once CreateProcessA
// started it; the machine knows no program but the command interpreter.
// Boot forgets every behaviour.
void set_started_program_behaviour(const std::string &file_name, std::function<void()> behaviour);
// Every successful CreateProcessA, in order.
std::vector<ProcessStart> started_processes();
// Process and thread handles that CreateProcessA returned, and mutex
// handles that CreateMutexA returned, that CloseHandle has not closed.
int open_kernel_handle_count();
// Whether a mutex of that name exists (an open handle names it).
bool mutex_exists(const std::string &name);

} // namespace winsim

#endif
