#include "setup/steps.h"

#include "app/run_log.h"
#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"
#include "system/environment.h"
#include "system/platform.h"
#include "system/spooler_service.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

// Set while a step's operation has put its own failure to the user: the
// answer given, which the step takes instead of asking again.
static int step_answered;
static int step_answer;

void take_answer_for_step(int answer)
{
    step_answered = 1;
    step_answer = answer;
}

static StepOutcome step_outcome(const char *status_key, StepOutcome outcome)
{
    static const char *const NAMES[] = {"succeeded", "failed, went on", "failed, aborted"};

    log_event("step %s %s", status_key, NAMES[outcome]);
    return outcome;
}

StepOutcome run_step(const char *status_key, int (*operation)(void), const char *error_key,
                     int install)
{
    for (;;) {
        show_status(status_key);
        step_answered = 0;
        if (operation())
            return step_outcome(status_key, STEP_SUCCEEDED);
        switch (step_answered ? step_answer : ask_on_error(error_key, install)) {
        case IDRETRY:
            continue;
        case IDABORT:
            return step_outcome(status_key, STEP_ABORTED);
        default:
            // A step that failed fails the run, also when no one could be asked.
            return step_outcome(status_key, STEP_IGNORED);
        }
    }
}

int restart_spooler(int install, int *answer)
{
    for (;;) {
        show_status(KEY_SETUP_START_SPOOLER);
        if (start_spooler())
            return 1;
        *answer = ask_on_error(KEY_SETUP_CANT_START_SPOOLER, install);
        if (*answer != IDRETRY) {
            excuse_failed_dependents();
            return 0;
        }
    }
}

const char *compose_result_text(int install, int succeeded)
{
    int family_95 = is_windows_95_family();
    const char *key;

    if (install)
        key = !succeeded ? KEY_SETUP_FAILED : family_95 ? KEY_SETUP_OK_95 : KEY_SETUP_OK;
    else
        key = !succeeded ? KEY_REMOVE_FAILED : family_95 ? KEY_REMOVE_OK_95 : KEY_REMOVE_OK;
    if (succeeded)
        format_catalog_text(message_text, sizeof message_text, lookup_text(key, key),
                            product_display_name);
    else
        format_text(message_text, sizeof message_text, "%s", lookup_text(key, key));
    return key;
}
