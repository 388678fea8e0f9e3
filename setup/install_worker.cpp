
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

// Runs one step of the installation; a failure fails the run (*result 0).
// give_up, when not NULL, follows a failure the user did not retry. Returns
// 0 when the user aborted, so that no later step runs.
static int install_step(const char *status_key, int (*operation)(void), const char *error_key,
                        void (*give_up)(void), int *result)
{
    StepOutcome outcome = run_step(status_key, operation, error_key, TITLE_INSTALL);

    if (step_failed(outcome)) {
        if (give_up != NULL)
            give_up();
        *result = 0;
    }
    return outcome != STEP_ABORTED;
}

// Steps 2 to 6; returns 0 when the run failed. *spooler_stopped tells the
// finish whether the spooler is still to be started again.
static int install_steps(int *spooler_stopped)
{
    int result = 1;

    if (!install_step(KEY_SETUP_REMOVE_OLD, remove_old_installation, KEY_SETUP_CANT_REMOVE_OLD,
                      NULL, &result))
        return 0;
    // Even a stop that fails part way may stop dependents: the finish
    // starts again what it recorded.
    *spooler_stopped = !is_windows_95_family();
    if (*spooler_stopped && !install_step(KEY_SETUP_STOP_SPOOLER, stop_spooler,
                                          KEY_SETUP_CANT_STOP_SPOOLER, NULL, &result))
        return 0;
    if (!install_step(KEY_SETUP_INSTALL_FILES, install_files_step, KEY_SETUP_CANT_INSTALL_FILES,
                      NULL, &result))
        return 0;
    // What the user gave up on starting, the finish leaves be.
    if (!is_windows_95_family() &&
        !install_step(KEY_SETUP_START_SPOOLER, start_spooler, KEY_SETUP_CANT_START_SPOOLER,
                      excuse_failed_dependents, &result))
        return 0;
    *spooler_stopped = 0;
    install_step(KEY_SETUP_INSTALL_DRIVER, install_driver_step, KEY_SETUP_CANT_INSTALL_DRIVER, NULL,
                 &result);
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
