// winsim: the registry, the win.ini profile and run-time library loading.
#include "machine_state.h"

namespace winsim {

void boot_registry(Machine &)
{
}

} // namespace winsim
