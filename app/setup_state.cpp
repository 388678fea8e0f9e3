#include "app/setup_state.h"

// Every initialiser is a constant, so the values hold their start values
// before any code of the process runs.
#define SETUP_STATE_DEFINE_VALUE(type, name, start) type name = start;
#define SETUP_STATE_DEFINE_BUFFER(name, size, start) char name[size] = start;
#define SETUP_STATE_DEFINE_BUFFER_POINTER(name, size, start)                \
    static char name##_buffer[size] = start;                               \
    char *name = name##_buffer;
SETUP_STATE_LIST(SETUP_STATE_DEFINE_VALUE, SETUP_STATE_DEFINE_BUFFER,
                 SETUP_STATE_DEFINE_BUFFER_POINTER)
