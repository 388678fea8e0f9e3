// The two workers, the step runner they share, and the installation's
// steps.
#ifndef SETUP_STEPS_H
#define SETUP_STEPS_H

// ---- The workers that the progress dialog starts on their own thread (or
// a quiet run calls). Each ends the progress with 1 for success or 0 for
// failure.
void install_worker(void *unused);
void removal_worker(void *unused);

// ---- One step of a worker: its status text, its operation, and the user's
// answer when it fails.
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

// Whether the step failed, whatever the user chose then.
static inline int step_failed(StepOutcome outcome)
{
    return outcome == STEP_ABORTED || outcome == STEP_IGNORED;
}

// For an operation that asked the user about its own failure: the step
// takes that answer (IDABORT, IDIGNORE, or 0 when no box showed) instead of
// asking its own question about the same failure.
void take_answer_for_step(int answer);

// Starts the spooler again (NT family), asking Abort/Retry/Ignore while it
// fails: 1 once it runs, 0 when the user gave up (error captured, the last
// answer in *answer, the dependents it could not start excused).
int restart_spooler(int install, int *answer);

// The closing text of an installation (install 1) or a removal (0) into
// message_text: the success text with the product name, or the failure
// text as it stands. No catalog text is trusted as a format. Returns the
// text's key.
const char *compose_result_text(int install, int succeeded);

// ---- The steps of the installation that put the package in place.

// Writes the INF file for the platform into the temporary directory, has
// the Setup API install its "Install_Printer" section from the distribution,
// and deletes the file again. 1 when installed, 0 with the error captured
// (a program directory that cannot be read is shown at once instead).
int install_inf(void);

// Places the uninstaller in the system directory: setup.exe as rmzantr.exe
// and the chosen language file, with the product name filled in, as
// zantrel.apd. 1 when both were copied, 0 with the error captured.
int copy_uninstaller(void);

// Adds the port "NUL:", installs the files, places the uninstaller, writes
// the uninstall entry and, on the NT family, the fax server's autostart
// value and starts the fax server. 1 on success; 0 with the error captured
// when the files, the uninstaller or the uninstall entry could not be put
// in place.
int install_files_step(void);

// Registers the print processor, the fax and telex drivers and their
// printers. 1 when the telex printer was added, else 0.
int install_driver_step(void);

#endif
