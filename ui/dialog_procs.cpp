#include "ui/user_interface.h"

#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/languages.h"
#include "resources/resource.h"
#include "setup/brand_variant.h"
#include "setup/scan.h"
#include "setup/steps.h"
#include "system/environment.h"

// The radio button of each shipped language, in the list's order.
static const int LANGUAGE_RADIOS[LANGUAGE_COUNT] = {IDC_GERMAN, IDC_ENGLISH, IDC_FRENCH};

static void set_title(HWND dialog, int install)
{
    SetWindowTextA(dialog, make_window_title(install));
}

static void init_language_dialog(HWND dialog)
{
    set_title(dialog, TITLE_INSTALL);
    const char *preset = brand_variant()->language_code;
    char file_name[LANGUAGE_FILE_NAME_SIZE];

    for (int i = 0; i < LANGUAGE_COUNT; i++) {
        if (strcmp(LANGUAGE_CODES[i], preset) == 0)
            CheckDlgButton(dialog, LANGUAGE_RADIOS[i], BST_CHECKED);
    }
    select_language(preset);
    for (int i = 0; i < LANGUAGE_COUNT; i++) {
        name_language_file(file_name, sizeof file_name, LANGUAGE_CODES[i]);
        EnableWindow(GetDlgItem(dialog, LANGUAGE_RADIOS[i]), file_exists(file_name));
    }
}

INT_PTR CALLBACK language_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        init_language_dialog(dialog);
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    switch (LOWORD(wparam)) {
    case IDOK:
    case IDCANCEL:
        // Cancel loads the language chosen last all the same.
        select_language(language_code);
        EndDialog(dialog, LOWORD(wparam) == IDOK ? 1 : 0);
        return 1;
    default:
        for (int i = 0; i < LANGUAGE_COUNT; i++) {
            if (LOWORD(wparam) == LANGUAGE_RADIOS[i] && HIWORD(wparam) == BN_CLICKED)
                language_code = LANGUAGE_CODES[i];
        }
        return 0;
    }
}

INT_PTR CALLBACK choice_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        choice_dialog = dialog;
        set_title(dialog, TITLE_INSTALL);
        scan_platform();
        return 0;
    }
    if (message != WM_COMMAND)
        return 0;
    switch (LOWORD(wparam)) {
    case IDC_INSTALL:
        action = ACTION_INSTALL;
        break;
    case IDC_REMOVE:
        // Nothing to remove when the scan found no print processor.
        action = processor_installed ? ACTION_REMOVE : ACTION_NONE;
        break;
    case IDCANCEL:
        action = ACTION_NONE;
        break;
    default:
        return 0;
    }
    EndDialog(dialog, 1);
    return 1;
}

// The progress dialog only starts its worker; OK, Esc and Close do nothing,
// so that only the worker ends it.
static INT_PTR progress_proc(HWND dialog, UINT message, int install, void (*worker)(void *))
{
    if (message != WM_INITDIALOG)
        return 0;
    progress_dialog = dialog;
    set_title(dialog, install);
    // Without its worker the dialog would never end.
    if (_beginthread(worker, 0, NULL) == (uintptr_t)-1)
        EndDialog(dialog, 0);
    return 0;
}

// The result the worker of a quiet run ended with.
static int quiet_worker_result;

void end_progress(int result)
{
    if (quiet_run)
        quiet_worker_result = result;
    else
        EndDialog(progress_dialog, result);
}

int show_dialog(int template_id, DLGPROC procedure)
{
    return DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(template_id), GetDesktopWindow(),
                           procedure, 0) > 0;
}

int run_worker(int install)
{
    if (!quiet_run)
        return show_dialog(IDD_PROGRESS, install ? install_progress_proc : removal_progress_proc);
    quiet_worker_result = 0;
    (install ? install_worker : removal_worker)(NULL);
    return quiet_worker_result;
}

INT_PTR CALLBACK install_progress_proc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    return progress_proc(dialog, message, TITLE_INSTALL, install_worker);
}

INT_PTR CALLBACK removal_progress_proc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    return progress_proc(dialog, message, TITLE_REMOVE, removal_worker);
}

INT_PTR CALLBACK result_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_RESULT_TEXT, message_text);
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
        EndDialog(dialog, 1);
        return 1;
    }
    return 0;
}
