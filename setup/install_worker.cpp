#include "setup/workers.h"

#include "app/setup_state.h"

// Placeholder until the installation sequence is built: it installs nothing
// and says so by ending the dialog with failure.
void install_worker(void *)
{
    EndDialog(progress_dialog, 0);
}
