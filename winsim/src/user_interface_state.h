// winsim internals: what the parts of the user interface share.
#ifndef WINSIM_USER_INTERFACE_STATE_H
#define WINSIM_USER_INTERFACE_STATE_H

#include "machine_state.h"

#include <winsim/user.h>

#include <functional>
#include <string>

namespace winsim
{

void record_script_failure(const std::string &failure);
// How many modal dialogs the calling thread has open.
int modal_dialogs_on_this_thread();
// Each file of the user interface resets its own part at boot.
void boot_system_texts(Machine &m);
void boot_program_run(Machine &m);
// Runs the action once the program's process has ended (at once when no
// program runs): what a program it started does after that end.
void run_after_program(std::function<void()> action);
// The program's process ended: the kernel objects it held are closed.
void close_program_kernel_objects();

} // namespace winsim

#endif
