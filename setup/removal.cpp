#include "setup/workers.h"

#include "app/setup_state.h"

// Placeholder until the removal sequence is built: it removes nothing and
// says so by ending the dialog with failure.
void removal_worker(void *)
{
    EndDialog(progress_dialog, 0);
}
