// winsim: the programs the setup program started, and its kernel handles.
#ifndef WINSIM_PROCESSES_H
#define WINSIM_PROCESSES_H

#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

struct ProcessStart {
    std::string application;       // the program file, full path as found
    std::string command_line;      // as the new process gets it
    DWORD flags;                   // creation flags
    DWORD startup_info_size;       // the STARTUPINFOA's cb as passed
    std::string current_directory; // as passed; empty for the caller's
};
// Every successful CreateProcessA, in order.
std::vector<ProcessStart> started_processes();
// Process and thread handles that CreateProcessA returned and CloseHandle
// has not closed.
int open_kernel_handle_count();

} // namespace winsim

#endif
