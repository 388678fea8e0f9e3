// winsim internals: what the profile tells the spooler.
#ifndef WINSIM_SPOOLER_OBJECTS_H
#define WINSIM_SPOOLER_OBJECTS_H

#include "machine_state.h"

#include <string>

namespace winsim
{

// A key was written to win.ini's [ports] section. Call with the machine
// locked.
void port_written_to_profile(Machine &m, const std::string &name);

} // namespace winsim

#endif
