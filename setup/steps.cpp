#include "setup/steps.h"

#include "system/platform.h"
#include "system/spooler_service.h"
#include "ui/user_interface.h"

StepOutcome run_step(const char *status_key, int (*operation)(void), const char *error_key,
                     int install)
{
    for (;;) {
        show_status(status_key);
        if (operation())
            return STEP_SUCCEEDED;
        switch (ask_on_error(error_key, install)) {
        case IDRETRY:
            continue;
        case IDABORT:
            return STEP_ABORTED;
        default:
            // A step that failed fails the run, also when no one could be asked.
            return STEP_IGNORED;
        }
    }
}

int restart_spooler(int install)
{
    for (;;) {
        show_status("SetupStartSpooler");
        if (start_spooler())
            return 1;
        if (ask_on_error("SetupCantStartSpooler", install) != IDRETRY)
            return 0;
    }
}
