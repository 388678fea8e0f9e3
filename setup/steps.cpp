#include "setup/steps.h"

#include "system/platform.h"
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
        case IDIGNORE:
            return STEP_IGNORED;
        default:
            return STEP_PASSED;
        }
    }
}
