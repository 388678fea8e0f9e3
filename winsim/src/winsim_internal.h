// winsim internals: the names of the machine and its recorder that every file
// implementing Windows calls uses, declared once for them.
#ifndef WINSIM_WINSIM_INTERNAL_H
#define WINSIM_WINSIM_INTERNAL_H

#include "machine_state.h"
#include "paths.h"

using winsim::Call;
using winsim::describe;
using winsim::Machine;
using winsim::quoted;
using winsim::ResolvedPath;
using winsim::resolve_path;
using winsim::same_name;
using winsim::the_machine;

#endif
