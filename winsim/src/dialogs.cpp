// winsim: the program's dialogs and their controls (user32.dll).
#include "user_interface_internal.h"

using namespace winsim::user_interface_internal;

// ---- Dialogs.

// Every instance handle finds the program's templates: the program is one
// module. An invalid owner fails with 0, any other failure with -1. After
// WM_INITDIALOG the scripted user acts (the next expectation, else the
// standing action for the template); an unexpected dialog is ended at once
// with 0, so that the run goes on.
extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName,
                                          HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    Call call(__func__, describe("%p, %s, %s, %ld", static_cast<void *>(hInstance),
                                 template_name_text(lpTemplateName).c_str(),
                                 handle_text(hWndParent).c_str(), static_cast<long>(dwInitParam)));
    const INT_PTR failed = -1;
    if (call.faulted())
        return call.fail_injected(failed);
    const DialogTemplate *layout = find_template(lpTemplateName);
    if (layout == nullptr)
        return call.fail(failed, ERROR_RESOURCE_NAME_NOT_FOUND);
    Machine &m = the_machine();
    HWND dialog;
    HWND focus;
    Expectation expected;
    std::string instead;
    bool scripted;
    {
        Hold hold(m.lock);
        if (!valid_owner(m, hWndParent))
            return call.fail(static_cast<INT_PTR>(0), ERROR_INVALID_WINDOW_HANDLE);
        dialog = create_dialog(m, *layout, &focus);
        ui().dialogs[dialog].procedure = lpDialogFunc;
        // Taken before WM_INITDIALOG: the threads the procedure starts then
        // must find the script's next step, not this dialog's.
        scripted = take_step(Step::dialog, layout->id, &expected, &instead);
        if (!scripted) {
            auto standing = ui().every_dialog.find(layout->id);
            if (standing != ui().every_dialog.end()) {
                expected.action = standing->second;
                scripted = true;
            }
        }
    }
    modal_dialogs++;
    send_to_procedure(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), dwInitParam);
    if (!has_ended(dialog)) {
        if (scripted) {
            winsim::DialogShown::act(dialog, expected.action);
        } else {
            Hold hold(m.lock);
            record_unscripted(dialog_text(m, dialog), instead);
            OpenDialog *open = open_dialog(dialog);
            if (open != nullptr)
                end_dialog(*open, 0);
        }
    }
    INT_PTR result = modal_loop(m, dialog);
    modal_dialogs--;
    return call.done(result);
}

extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    Call call(__func__, describe("%s, %ld", handle_text(hDlg).c_str(), static_cast<long>(nResult)));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Hold hold(the_machine().lock);
    OpenDialog *open = open_dialog(hDlg);
    if (open == nullptr)
        return call.fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    end_dialog(*open, nResult);
    return call.done(TRUE);
}

// A missing dialog is an invalid window; a missing control, a control id
// not found.
static Window *dialog_control(Machine &m, HWND dialog, int id, DWORD *error)
{
    Window *control = live_window(m, dialog) == nullptr ? nullptr : control_of(m, dialog, id);
    *error = control != nullptr                  ? 0
             : live_window(m, dialog) == nullptr ? ERROR_INVALID_WINDOW_HANDLE
                                                 : ERROR_CONTROL_ID_NOT_FOUND;
    return control;
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    Call call(__func__, describe("%s, %d", handle_text(hDlg).c_str(), nIDDlgItem));
    const HWND none = nullptr;
    if (call.faulted())
        return call.fail_injected(none);
    Hold hold(the_machine().lock);
    DWORD error;
    Window *control = dialog_control(the_machine(), hDlg, nIDDlgItem, &error);
    return control != nullptr ? call.done(control->handle) : call.fail(none, error);
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    Call call(__func__, describe("%s, %d, %s", handle_text(hDlg).c_str(), nIDDlgItem,
                                 quoted(lpString).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Hold hold(the_machine().lock);
    DWORD error;
    Window *control = dialog_control(the_machine(), hDlg, nIDDlgItem, &error);
    if (control == nullptr)
        return call.fail(FALSE, error);
    set_text(*control, lpString);
    return call.done(TRUE);
}

extern "C" BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    Call call(__func__, describe("%s, %s", handle_text(hWnd).c_str(), quoted(lpString).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Hold hold(the_machine().lock);
    Window *window = live_window(the_machine(), hWnd);
    if (window == nullptr)
        return call.fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    set_text(*window, lpString);
    return call.done(TRUE);
}

// The text is cut to the buffer, terminator included; the result is the
// length copied. A failed call leaves an empty text in the buffer.
static int copy_text(const std::string &text, LPSTR buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    int length =
        static_cast<int>(text.size()) < size - 1 ? static_cast<int>(text.size()) : size - 1;
    text.copy(buffer, static_cast<size_t>(length));
    buffer[length] = '\0';
    return length;
}

extern "C" int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    Call call(__func__, describe("%s, size %d", handle_text(hWnd).c_str(), nMaxCount));
    if (call.faulted()) {
        copy_text("", lpString, nMaxCount);
        return call.fail_injected(0);
    }
    Hold hold(the_machine().lock);
    Window *window = live_window(the_machine(), hWnd);
    if (window == nullptr) {
        copy_text("", lpString, nMaxCount);
        return call.fail(0, ERROR_INVALID_WINDOW_HANDLE);
    }
    return call.done(copy_text(window->text, lpString, nMaxCount));
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    Call call(__func__, describe("%s, %d, size %d", handle_text(hDlg).c_str(), nIDDlgItem, cchMax));
    if (call.faulted()) {
        copy_text("", lpString, cchMax);
        return call.fail_injected(0u);
    }
    Hold hold(the_machine().lock);
    DWORD error;
    Window *control = dialog_control(the_machine(), hDlg, nIDDlgItem, &error);
    if (control == nullptr) {
        copy_text("", lpString, cchMax);
        return call.fail(0u, error);
    }
    return call.done(static_cast<UINT>(copy_text(control->text, lpString, cchMax)));
}

// BM_SETCHECK: a button keeps at most its highest state (a two-state
// button takes BST_INDETERMINATE as checked); push buttons and other
// controls keep none. A radio button does not uncheck the others here.
extern "C" BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    Call call(__func__, describe("%s, %d, %u", handle_text(hDlg).c_str(), nIDButton, uCheck));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Hold hold(the_machine().lock);
    DWORD error;
    Window *control = dialog_control(the_machine(), hDlg, nIDButton, &error);
    if (control == nullptr)
        return call.fail(FALSE, error);
    UINT highest = highest_check(*control);
    control->check_state = uCheck < highest ? uCheck : highest;
    return call.done(TRUE);
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    Call call(__func__, describe("%s, %d", handle_text(hDlg).c_str(), nIDButton));
    if (call.faulted())
        return call.fail_injected(0u);
    Hold hold(the_machine().lock);
    DWORD error;
    Window *control = dialog_control(the_machine(), hDlg, nIDButton, &error);
    if (control == nullptr)
        return call.fail(0u, error);
    return call.done(control->check_state);
}

// Returns whether the window was disabled before.
extern "C" BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    Call call(__func__, describe("%s, %d", handle_text(hWnd).c_str(), bEnable));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Hold hold(the_machine().lock);
    Window *window = live_window(the_machine(), hWnd);
    if (window == nullptr)
        return call.fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    BOOL was_disabled = window->enabled ? FALSE : TRUE;
    window->enabled = bEnable != FALSE;
    return call.done(was_disabled);
}

// The desktop always exists: this call cannot fail.
extern "C" HWND WINAPI GetDesktopWindow(void)
{
    Call call(__func__, "");
    return call.done(desktop);
}
