// winsim: the Setup API and process creation.
#include "machine_state.h"

namespace winsim {

void boot_setup_api(Machine &)
{
}

} // namespace winsim
