// winsim: the user's view of a dialog: what the scripted user reads
// on it and does to it.
#include "user_interface_internal.h"

using namespace winsim::user_interface_internal;

// ---- The user's view of a dialog. Every step first checks that the user
// could take it; the procedure is then called unlocked.

namespace winsim
{

// The dialog window while the user can act on it. Call with the machine locked.
static Window *usable_dialog(Machine &m, HWND dialog, const std::string &step)
{
    OpenDialog *open = open_dialog(dialog);
    Window *window = live_window(m, dialog);
    if (open == nullptr || window == nullptr) {
        record_script_failure(step + " on a dialog that is gone");
        return nullptr;
    }
    if (open->ended || !window->enabled) {
        record_script_failure(step + " on " + dialog_text(m, dialog) +
                              (open->ended ? " after it ended" : " while it is disabled"));
        return nullptr;
    }
    return window;
}

static Window *seen_control(Machine &m, HWND dialog, int id, const char *what)
{
    Window *control = control_of(m, dialog, id);
    if (control == nullptr)
        record_script_failure(describe("%s of control %d: ", what, id) + dialog_text(m, dialog) +
                              " has no such control");
    return control;
}

int Dialog::template_id() const
{
    Hold hold(the_machine().lock);
    Window *window = window_record(the_machine(), window_);
    return window != nullptr ? window->template_id : 0;
}

std::string Dialog::title() const
{
    Hold hold(the_machine().lock);
    Window *window = window_record(the_machine(), window_);
    return window != nullptr ? window->text : std::string();
}

std::string Dialog::text(int control_id) const
{
    Hold hold(the_machine().lock);
    Window *control = seen_control(the_machine(), window_, control_id, "text");
    return control != nullptr ? control->text : std::string();
}

bool Dialog::checked(int control_id) const
{
    Hold hold(the_machine().lock);
    Window *control = seen_control(the_machine(), window_, control_id, "check state");
    return control != nullptr && control->check_state == BST_CHECKED;
}

bool Dialog::enabled(int control_id) const
{
    Hold hold(the_machine().lock);
    Window *control = seen_control(the_machine(), window_, control_id, "state");
    return control != nullptr && control->enabled;
}

// An auto radio button checks itself and unchecks the other auto radio
// buttons of its group: from the nearest control with WS_GROUP at or
// before it up to the next control with WS_GROUP.
static void check_in_group(Machine &m, Window &clicked)
{
    std::vector<Window *> controls = controls_of(m, clicked.parent);
    size_t at = 0;
    while (controls[at] != &clicked)
        at++;
    size_t first = at;
    while (first > 0 && !has_style(*controls[first], "WS_GROUP"))
        first--;
    for (size_t i = first; i < controls.size(); i++) {
        if (i > at && has_style(*controls[i], "WS_GROUP"))
            break;
        if (has_style(*controls[i], "BS_AUTORADIOBUTTON"))
            controls[i]->check_state = BST_UNCHECKED;
    }
    clicked.check_state = BST_CHECKED;
}

void Dialog::click(int control_id)
{
    Machine &m = the_machine();
    HWND button;
    {
        Hold hold(m.lock);
        std::string step = describe("click on control %d", control_id);
        if (usable_dialog(m, window_, step) == nullptr)
            return;
        Window *control = control_of(m, window_, control_id);
        const char *refusal = control == nullptr     ? " has no such control"
                              : !control->enabled    ? ": the control is disabled"
                              : !is_button(*control) ? ": the control is not a button"
                                                     : nullptr;
        if (refusal != nullptr) {
            record_script_failure(step + " of " + dialog_text(m, window_) + refusal);
            return;
        }
        if (has_style(*control, "BS_AUTORADIOBUTTON"))
            check_in_group(m, *control);
        button = control->handle;
    }
    send_to_procedure(window_, WM_COMMAND, MAKEWPARAM(control_id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button));
}

// Esc sends IDCANCEL whether or not the dialog has a Cancel button.
void Dialog::press_escape()
{
    Machine &m = the_machine();
    HWND cancel;
    {
        Hold hold(m.lock);
        if (usable_dialog(m, window_, "Esc") == nullptr)
            return;
        Window *button = control_of(m, window_, IDCANCEL);
        cancel = button != nullptr ? button->handle : nullptr;
    }
    send_to_procedure(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                      reinterpret_cast<LPARAM>(cancel));
}

// Enter presses the default push button; a disabled one ignores it.
void Dialog::press_enter()
{
    Machine &m = the_machine();
    int id = IDOK;
    HWND button_handle;
    {
        Hold hold(m.lock);
        if (usable_dialog(m, window_, "Enter") == nullptr)
            return;
        for (Window *control : controls_of(m, window_)) {
            if (has_style(*control, "BS_DEFPUSHBUTTON")) {
                id = control->control_id;
                break;
            }
        }
        Window *button = control_of(m, window_, id);
        if (button != nullptr && !button->enabled) {
            record_script_failure(describe("Enter on %s: its default button %d is disabled",
                                           dialog_text(m, window_).c_str(), id));
            return;
        }
        button_handle = button != nullptr ? button->handle : nullptr;
    }
    send_to_procedure(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button_handle));
}

// The Close button exists with the system menu (WS_SYSMENU). DefDlgProc
// answers a WM_CLOSE that the procedure leaves with IDCANCEL.
void Dialog::close()
{
    Machine &m = the_machine();
    {
        Hold hold(m.lock);
        Window *window = usable_dialog(m, window_, "Close");
        if (window == nullptr)
            return;
        if (!has_style(*window, "WS_SYSMENU")) {
            record_script_failure("Close on " + dialog_text(m, window_) +
                                  ": it has no Close button");
            return;
        }
    }
    if (send_to_procedure(window_, WM_CLOSE, 0, 0) != 0 || has_ended(window_))
        return;
    HWND cancel;
    {
        Hold hold(m.lock);
        Window *button = control_of(m, window_, IDCANCEL);
        cancel = button != nullptr ? button->handle : nullptr;
    }
    send_to_procedure(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                      reinterpret_cast<LPARAM>(cancel));
}

} // namespace winsim
