// winsim: the program's dialogs and their controls, message boxes, the
// restart question, and the scripted user who answers them: their state, the
// helpers the files of the user interface share, and boot.
//
// Locking: the state lives under the machine's lock, but the lock is never
// held while a dialog procedure or a test's action or answer runs, so that
// those may call in from any thread (a worker sets the status line while
// the dialog's thread waits in its modal loop).
#include "user_interface_internal.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace winsim::user_interface_internal
{

// The system's class of dialog boxes.
const char dialog_class[] = "#32770";

UserInterface &ui()
{
    static UserInterface state;
    return state;
}

thread_local int modal_dialogs = 0;

std::string handle_text(HWND handle)
{
    return handle == nullptr ? std::string("NULL") : describe("%p", static_cast<void *>(handle));
}

// The record of a window, also of one that no longer exists.
Window *window_record(Machine &m, HWND handle)
{
    for (Window &window : m.windows) {
        if (window.handle == handle)
            return &window;
    }
    return nullptr;
}

// A window that exists. A close posted to another program's window has
// taken effect once the clock passed the moment it was posted.
Window *live_window(Machine &m, HWND handle)
{
    Window *window = handle == nullptr ? nullptr : window_record(m, handle);
    if (window == nullptr || !window->open || winsim::now_ms() > window->closes_after)
        return nullptr;
    return window;
}

// No owner, the desktop or any existing window can own a dialog or box.
bool valid_owner(Machine &m, HWND owner)
{
    return owner == nullptr || owner == desktop || live_window(m, owner) != nullptr;
}

Window *control_of(Machine &m, HWND dialog, int id)
{
    for (Window &window : m.windows) {
        if (dialog != nullptr && window.open && window.parent == dialog && window.control_id == id)
            return &window;
    }
    return nullptr;
}

std::vector<Window *> controls_of(Machine &m, HWND dialog)
{
    std::vector<Window *> controls;
    for (Window &window : m.windows) {
        if (window.open && window.parent == dialog)
            controls.push_back(&window);
    }
    return controls;
}

bool has_style(const Window &window, const char *style)
{
    for (const std::string &name : window.styles) {
        if (name == style)
            return true;
    }
    return false;
}

// Group boxes are buttons by class but take no clicks.
bool is_button(const Window &window)
{
    return winsim::same_name(window.class_name, "Button") && !has_style(window, "BS_GROUPBOX");
}

// The highest check state a button keeps (BM_SETCHECK clamps to it); 0 for
// push buttons and other controls, which keep none.
UINT highest_check(const Window &window)
{
    if (!winsim::same_name(window.class_name, "Button"))
        return BST_UNCHECKED;
    if (has_style(window, "BS_3STATE") || has_style(window, "BS_AUTO3STATE"))
        return BST_INDETERMINATE;
    for (const char *style :
         {"BS_CHECKBOX", "BS_AUTOCHECKBOX", "BS_RADIOBUTTON", "BS_AUTORADIOBUTTON"}) {
        if (has_style(window, style))
            return BST_CHECKED;
    }
    return BST_UNCHECKED;
}

void set_text(Window &window, const char *text)
{
    window.text = text != nullptr ? text : "";
    if (window.template_id != 0) {
        int control = window.parent == nullptr ? 0 : window.control_id;
        ui().text_history[{window.template_id, control}].push_back(window.text);
    }
}

OpenDialog *open_dialog(HWND dialog)
{
    auto found = ui().dialogs.find(dialog);
    return found == ui().dialogs.end() ? nullptr : &found->second;
}

// How a failure names a dialog: template, caption and what its controls say.
std::string dialog_text(Machine &m, HWND dialog)
{
    Window *window = window_record(m, dialog);
    if (window == nullptr)
        return "a dialog that is gone";
    std::string controls;
    for (Window &control : m.windows) {
        if (control.parent == dialog)
            controls += (controls.empty() ? "" : ", ") + std::to_string(control.control_id) + " '" +
                        control.text + "'";
    }
    return "dialog " + std::to_string(window->template_id) + " '" + window->text + "'" +
           (controls.empty() ? "" : " (" + controls + ")");
}

std::string box_text(const MessageBoxSeen &box)
{
    return "message box '" + box.title + "': '" + box.text + "'";
}

std::string expectation_text(const Expectation &expected)
{
    switch (expected.step) {
    case Step::dialog:
        return "dialog " + std::to_string(expected.template_id);
    case Step::message_box:
        return "a message box";
    case Step::reboot_prompt:
        return expected.restart ? "the restart prompt (answer: restart)"
                                : "the restart prompt (answer: no restart)";
    }
    return "";
}

void push_expectation(Expectation expected)
{
    Hold hold(the_machine().lock);
    ui().expectations_read = false;
    ui().expectations.push_back(std::move(expected));
}

// Takes the next step of the script when it is of that kind (and, for a
// dialog, of that template); otherwise tells what the script expects
// instead (nothing when the script is used up). Call with the machine locked.
bool take_step(Step step, int template_id, Expectation *taken, std::string *instead)
{
    std::deque<Expectation> &queue = ui().expectations;
    if (!queue.empty() && queue.front().step == step &&
        (step != Step::dialog || queue.front().template_id == template_id)) {
        *taken = std::move(queue.front());
        queue.pop_front();
        return true;
    }
    *instead = queue.empty() ? std::string() : expectation_text(queue.front());
    return false;
}

void record_unscripted(const std::string &what, const std::string &instead)
{
    record_script_failure(instead.empty() ? "unexpected " + what
                                          : what + " came while the script expected " + instead);
}

// Sends a message to the dialog procedure as the dialog's thread dispatches
// it; unlocked, so that the procedure may call the machine from any thread.
INT_PTR send_to_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    DLGPROC procedure;
    {
        Hold hold(the_machine().lock);
        OpenDialog *open = open_dialog(dialog);
        if (open == nullptr)
            return 0;
        procedure = open->procedure;
    }
    return procedure != nullptr ? procedure(dialog, message, wparam, lparam) : 0;
}

void end_dialog(OpenDialog &dialog, INT_PTR result)
{
    dialog.ended = true;
    dialog.result = result;
    ui().dialog_ended.notify_all();
}

bool has_ended(HWND dialog)
{
    Hold hold(the_machine().lock);
    OpenDialog *open = open_dialog(dialog);
    return open == nullptr || open->ended;
}

// The dialog window and one child window per control. The control that
// WM_INITDIALOG names is the first enabled one in the tab order (with
// WS_TABSTOP), else the first control.
HWND create_dialog(Machine &m, const DialogTemplate &layout, HWND *focus)
{
    HWND dialog = static_cast<HWND>(m.new_handle());
    Window window{dialog,
                  dialog_class,
                  layout.caption,
                  nullptr,
                  0,
                  true,
                  ClosesOn::close_message,
                  true,
                  ULLONG_MAX,
                  {}};
    window.template_id = layout.id;
    window.styles = layout.styles;
    m.windows.push_back(window);
    HWND first = nullptr;
    *focus = nullptr;
    for (const winsim::ControlTemplate &control : layout.controls) {
        HWND handle = static_cast<HWND>(m.new_handle());
        Window child{handle,
                     control.class_name,
                     control.text,
                     dialog,
                     control.id,
                     !control.has_style("WS_DISABLED"),
                     ClosesOn::close_message,
                     true,
                     ULLONG_MAX,
                     {}};
        child.template_id = layout.id;
        child.styles = control.styles;
        m.windows.push_back(child);
        if (first == nullptr)
            first = handle;
        if (*focus == nullptr && child.enabled && control.has_style("WS_TABSTOP"))
            *focus = handle;
    }
    if (*focus == nullptr)
        *focus = first;
    ui().dialogs[dialog] = {layout.id, nullptr, false, 0};
    return dialog;
}

void destroy_dialog(Machine &m, HWND dialog)
{
    for (Window &window : m.windows) {
        if (window.handle == dialog || window.parent == dialog)
            window.open = false;
    }
    ui().dialogs.erase(dialog);
}

// The modal loop: waits until EndDialog, from whatever thread. A dialog that
// never ends is a script failure and gives -1, so that a test cannot hang.
// The machine is taken for stuck when a whole dialog timeout passes without a
// call or a stream transfer on it (a deadlock), or when its clock runs a day
// past the dialog's opening (a loop that polls for ever); a slow or loaded
// host only makes the wait longer.
INT_PTR modal_loop(Machine &m, HWND dialog)
{
    const unsigned long long stuck_after_ms = 24ull * 60 * 60 * 1000;
    std::unique_lock<std::recursive_mutex> hold(m.lock);
    const unsigned long long opened_ms = m.clock_ms.load();
    auto closed = [dialog] {
        OpenDialog *open = open_dialog(dialog);
        return open == nullptr || open->ended;
    };
    bool ended;
    for (;;) {
        unsigned long long progress = m.progress.load();
        ended = ui().dialog_ended.wait_for(hold, ui().dialog_timeout, closed);
        if (ended || m.progress.load() == progress || m.clock_ms.load() - opened_ms > stuck_after_ms)
            break;
    }
    OpenDialog *open = open_dialog(dialog);
    INT_PTR result = open != nullptr ? open->result : -1;
    if (!ended) {
        record_script_failure(dialog_text(m, dialog) + " never ended");
        result = -1;
    }
    destroy_dialog(m, dialog);
    return result;
}

// A template named by number, or by "#number" as FindResource takes it.
const DialogTemplate *find_template(LPCSTR name)
{
    if (IS_INTRESOURCE(name))
        return winsim::dialog_template(LOWORD(name));
    if (name[0] != '#')
        return nullptr;
    char *end = nullptr;
    long id = std::strtol(name + 1, &end, 10);
    return *end == '\0' && end != name + 1 ? winsim::dialog_template(static_cast<int>(id))
                                           : nullptr;
}

std::string template_name_text(LPCSTR name)
{
    if (IS_INTRESOURCE(name))
        return describe("#%u", static_cast<unsigned>(LOWORD(name)));
    return quoted(name);
}

// The buttons of a message box type, in their order on the box. The Cancel,
// Try Again, Continue box came with Windows 2000.
std::vector<int> buttons_of(UINT type)
{
    const winsim::Version &version = winsim::machine().version;
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return {IDOK};
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE:
        if (version.platform_id == VER_PLATFORM_WIN32_NT && version.major >= 5)
            return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
        return {};
    default:
        return {};
    }
}

bool offers(const std::vector<int> &buttons, int button)
{
    for (int offered : buttons) {
        if (offered == button)
            return true;
    }
    return false;
}

} // namespace winsim::user_interface_internal

using namespace winsim::user_interface_internal;

namespace winsim
{

void record_script_failure(const std::string &failure)
{
    Hold hold(the_machine().lock);
    ui().failures.push_back(failure);
    ui().failures_read = false;
}

int modal_dialogs_on_this_thread()
{
    return modal_dialogs;
}

// What the machine before left for the test to look at and no one read: a
// test that boots in a loop would otherwise lose an earlier round's failure.
static void report_unchecked_script_results(UserInterface &state)
{
    std::vector<std::string> unchecked;
    if (!state.failures_read) {
        for (const std::string &failure : state.failures)
            unchecked.push_back("script failure: " + failure);
    }
    if (!state.expectations_read) {
        for (const Expectation &expected : state.expectations)
            unchecked.push_back("never came: " + expectation_text(expected));
    }
    state.failures_read = true;
    state.expectations_read = true;
    if (unchecked.empty())
        return;
    if (state.unchecked_hook) {
        state.unchecked_hook(unchecked);
        return;
    }
    std::fprintf(stderr, "winsim: boot: the previous machine's scripted user was never checked:\n");
    for (const std::string &line : unchecked)
        std::fprintf(stderr, "  %s\n", line.c_str());
    std::abort();
}

void boot_user_interface(Machine &m)
{
    UserInterface &state = ui();
    report_unchecked_script_results(state);
    state.expectations.clear();
    state.answer_every = nullptr;
    state.every_dialog.clear();
    state.failures.clear();
    state.boxes.clear();
    state.times_asked.clear();
    state.reboot_requested = false;
    state.dialogs.clear();
    state.text_history.clear();
    state.dialog_timeout = std::chrono::milliseconds(10000);
    boot_system_texts(m);
    boot_program_run(m);
}

} // namespace winsim
