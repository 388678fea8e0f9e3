// The user interface: window titles, the four dialog procedures, the status
// line and the two error boxes.
#ifndef SETUP_USER_INTERFACE_H
#define SETUP_USER_INTERFACE_H

#include "system/platform.h"

enum {
    TITLE_REMOVE = 0,
    TITLE_INSTALL = 1
};

// Shows the modal dialog of the template, owned by the desktop: 1 when it
// ended with a non-zero result. A dialog that could not be shown (-1)
// counts as failed, not as done.
int show_dialog(int template_id, DLGPROC procedure);

// Composes the install or removal title into window_title and returns it.
const char *make_window_title(int install);

INT_PTR CALLBACK language_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK choice_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK install_progress_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK removal_progress_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK result_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Runs the install (1) or removal (0) worker and returns its result: in
// the progress dialog, or in a quiet run on this thread with no window.
int run_worker(int install);
// The worker's end: ends the progress dialog with the result, or in a quiet
// run keeps it for run_worker.
void end_progress(int result);

// Shows the catalog text of the key (or the text itself) in the progress
// dialog's status line, and writes the key to the run's log, if one is
// kept; a quiet run shows nothing.
void show_status(const char *key);
// Shows a composed text in the status line as it stands; the log, which
// holds keys, does not take it.
void show_status_text(const char *text);
// Shows the catalog text that message_text holds, of the key, in the result
// dialog; a quiet run only writes the key to the log.
void show_message(const char *key);
// Shows the system's text for the code in the result dialog; returns it.
// A quiet run writes it to the log and goes on as after OK.
DWORD show_system_error(DWORD code);
// Asks Abort, Retry or Ignore with the key's text and the system's text for
// last_error; returns IDABORT, IDRETRY, IDIGNORE, or 0 when no box showed.
// A quiet run asks no one: Abort, but Retry twice for the spooler's start,
// whose failure stops all printing on the machine. The log gets each
// question with its key, error, system text and answer.
int ask_on_error(const char *key, int install);

#endif
