// winsim: the spooler's print processors, drivers, printers and ports.
#include "machine_state.h"

namespace winsim {

void boot_spooler_objects(Machine &)
{
}

} // namespace winsim
