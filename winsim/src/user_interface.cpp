// winsim: dialogs of the program, the scripted user, message boxes, system texts, threads and the program run.
#include "machine_state.h"

namespace winsim {

void boot_user_interface(Machine &)
{
}

} // namespace winsim
