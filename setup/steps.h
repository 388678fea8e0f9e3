// One step of a worker: its status text, its operation, and the user's
// answer when it fails.
#ifndef SETUP_STEPS_H
#define SETUP_STEPS_H

enum StepOutcome {
    STEP_SUCCEEDED, // the operation succeeded
    STEP_IGNORED,   // it failed and the user chose Ignore, or no box could be
                    // shown: go on, the run failed
    STEP_ABORTED    // it failed and the user chose Abort: stop, the run failed
};

// Shows the status key and runs the operation; on failure asks the error
// key's Abort/Retry/Ignore box and runs the step again on Retry.
StepOutcome run_step(const char *status_key, int (*operation)(void), const char *error_key,
                     int install);

// For an operation that asked the user about its own failure: the step
// takes that answer (IDABORT, IDIGNORE, or 0 when no box showed) instead of
// asking its own question about the same failure.
void take_answer_for_step(int answer);

// Starts the spooler again (NT family), asking Abort/Retry/Ignore while it
// fails: 1 once it runs, 0 when the user gave up (error captured, the last
// answer in *answer, the dependents it could not start released).
int restart_spooler(int install, int *answer);

// The closing text of an installation (install 1) or a removal (0) into
// message_text: the success text with the product name, or the failure
// text as it stands. No catalog text is trusted as a format. Returns the
// text's key.
const char *compose_result_text(int install, int succeeded);

#endif
