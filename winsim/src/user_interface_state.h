// winsim internals: what the parts of the user interface share.
#ifndef WINSIM_USER_INTERFACE_STATE_H
#define WINSIM_USER_INTERFACE_STATE_H

#include "machine_state.h"

#include <winsim/user.h>

#include <string>

namespace winsim
{

void record_script_failure(const std::string &failure);
// How many modal dialogs the calling thread has open.
int modal_dialogs_on_this_thread();
// Each file of the user interface resets its own part at boot.
void boot_system_texts(Machine &m);
void boot_program_run(Machine &m);

} // namespace winsim

#endif
