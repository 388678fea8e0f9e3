
#include "app/setup_state.h"
#include "setup/removal.h"
#include "setup/brand_variant.h"
#include "setup/steps.h"
#include "system/environment.h"
#include "system/spooler_service.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

// The names the installed package carries, fixed once the first step is
// through.
static void set_product_identity(void)
{
    const BrandVariant *brand;

    status_callback = show_status;
    settings_source_name = language_file_name;
    brand = brand_variant();
    product_display_name = brand->display_name;
    product_short_name = brand->short_name;
}

// Steps 2 to 6; returns 0 when the run failed. *spooler_stopped tells the
// finish whether the spooler is still to be started again.
static int install_steps(int *spooler_stopped)
{
    int result = 1;
    StepOutcome outcome;

    outcome = run_step(KEY_SETUP_REMOVE_OLD, remove_old_installation, KEY_SETUP_CANT_REMOVE_OLD,
                       TITLE_INSTALL);
    if (step_failed(outcome))
        result = 0;
    if (outcome == STEP_ABORTED)
        return 0;
    if (!is_windows_95_family()) {
        outcome = run_step(KEY_SETUP_STOP_SPOOLER, stop_spooler, KEY_SETUP_CANT_STOP_SPOOLER,
                           TITLE_INSTALL);
        // Even a stop that failed part way may have stopped dependents: the
        // finish starts again what it recorded.
        *spooler_stopped = 1;
        if (step_failed(outcome))
            result = 0;
        if (outcome == STEP_ABORTED)
            return 0;
    }
    outcome = run_step(KEY_SETUP_INSTALL_FILES, install_files_step, KEY_SETUP_CANT_INSTALL_FILES,
                       TITLE_INSTALL);
    if (step_failed(outcome))
        result = 0;
    if (outcome == STEP_ABORTED)
        return 0;
    if (!is_windows_95_family()) {
        outcome = run_step(KEY_SETUP_START_SPOOLER, start_spooler, KEY_SETUP_CANT_START_SPOOLER,
                           TITLE_INSTALL);
        // The user gave up on what did not start: the finish leaves it be.
        if (step_failed(outcome)) {
            excuse_failed_dependents();
            result = 0;
        }
        if (outcome == STEP_ABORTED)
            return 0;
        *spooler_stopped = 0;
    }
    outcome = run_step(KEY_SETUP_INSTALL_DRIVER, install_driver_step, KEY_SETUP_CANT_INSTALL_DRIVER,
                       TITLE_INSTALL);
    if (step_failed(outcome))
        result = 0;
    return result;
}

void install_worker(void *)
{
    int result = 1;
    int spooler_stopped = 0;
    int answer;
    StepOutcome outcome;

    outcome = run_step(KEY_SETUP_INIT, setup_init, KEY_SETUP_CANT_INIT,
                       TITLE_INSTALL);
    if (step_failed(outcome))
        result = 0;
    if (outcome != STEP_ABORTED) {
        set_product_identity();
        if (!install_steps(&spooler_stopped))
            result = 0;
    }
    // Started again while the user retries.
    if (spooler_stopped)
        restart_spooler(TITLE_INSTALL, &answer);
    end_progress(result);
}
