// winsim: the program's dialogs and their controls, message boxes, the
// restart question, and the scripted user who answers them.
//
// Locking: the state lives under the machine's lock, but the lock is never
// held while a dialog procedure or a test's action or answer runs, so that
// those may call in from any thread (a worker sets the status line while
// the dialog's thread waits in its modal loop).
#include "winsim_internal.h"
#include "paths.h"
#include "user_interface_state.h"

#include <setupapi_reboot.h>

#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

using winsim::ClosesOn;
using winsim::Dialog;
using winsim::DialogTemplate;
using winsim::MessageBoxSeen;
using winsim::record_script_failure;
using winsim::Window;

namespace
{

using Hold = std::lock_guard<std::recursive_mutex>;

// The system's class of dialog boxes.
const char dialog_class[] = "#32770";
// GetDesktopWindow's one handle; the machine's handles are multiples of 4
// and so never equal it.
const HWND desktop = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10002));

enum class Step { dialog, message_box, reboot_prompt };

struct Expectation {
    Step step = Step::dialog;
    int template_id = 0;
    std::function<void(Dialog &)> action;
    std::function<int(const MessageBoxSeen &)> answer;
    bool restart = false;
};

struct OpenDialog {
    int template_id;
    DLGPROC procedure;
    bool ended;
    INT_PTR result;
};

struct UserInterface {
    std::deque<Expectation> expectations;
    std::function<int(const MessageBoxSeen &)> answer_every;
    std::map<int, std::function<void(Dialog &)>> every_dialog; // by template
    std::vector<std::string> failures;
    // Whether the test has read the failures and the unused expectations
    // since the last was added (boot reports them otherwise).
    bool failures_read = true;
    bool expectations_read = true;
    winsim::UncheckedScriptHook unchecked_hook;
    std::vector<MessageBoxSeen> boxes;
    std::map<std::string, int> times_asked; // by title and text
    bool reboot_requested = false;
    std::map<HWND, OpenDialog> dialogs; // from creation until destruction
    std::map<std::pair<int, int>, std::vector<std::string>> text_history;
    std::chrono::milliseconds dialog_timeout{10000};
    std::condition_variable_any dialog_ended;
};

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

} // namespace

namespace winsim
{

// Gives the scripted user's action its view of the dialog.
class DialogShown
{
  public:
    static void act(HWND dialog, const std::function<void(Dialog &)> &action)
    {
        Dialog seen(dialog);
        action(seen);
    }
};

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

// ---- The user's view of a dialog. Every step first checks that the user
// could take it; the procedure is then called unlocked.

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

// ---- The script.

void expect_dialog(int template_id, std::function<void(Dialog &)> action)
{
    push_expectation({Step::dialog, template_id, std::move(action), nullptr, false});
}

void expect_message_box(std::function<int(const MessageBoxSeen &)> answer)
{
    push_expectation({Step::message_box, 0, nullptr, std::move(answer), false});
}

void expect_reboot_prompt(bool restart)
{
    push_expectation({Step::reboot_prompt, 0, nullptr, nullptr, restart});
}

void answer_every_message_box(std::function<int(const MessageBoxSeen &)> answer)
{
    Hold hold(the_machine().lock);
    ui().answer_every = std::move(answer);
}

void answer_every_dialog(int template_id, std::function<void(Dialog &)> action)
{
    Hold hold(the_machine().lock);
    ui().every_dialog[template_id] = std::move(action);
}

std::vector<std::string> script_failures()
{
    Hold hold(the_machine().lock);
    ui().failures_read = true;
    return ui().failures;
}

std::vector<std::string> unused_expectations()
{
    Hold hold(the_machine().lock);
    ui().expectations_read = true;
    std::vector<std::string> unused;
    for (const Expectation &expected : ui().expectations)
        unused.push_back(expectation_text(expected));
    return unused;
}

void clear_script_failures()
{
    Hold hold(the_machine().lock);
    ui().failures.clear();
    ui().expectations.clear();
    ui().failures_read = true;
    ui().expectations_read = true;
}

UncheckedScriptHook on_unchecked_script_results(UncheckedScriptHook report)
{
    Hold hold(the_machine().lock);
    std::swap(ui().unchecked_hook, report);
    return report;
}

std::vector<MessageBoxSeen> message_boxes_shown()
{
    Hold hold(the_machine().lock);
    return ui().boxes;
}

bool reboot_requested()
{
    Hold hold(the_machine().lock);
    return ui().reboot_requested;
}

void set_dialog_timeout(std::chrono::milliseconds timeout)
{
    Hold hold(the_machine().lock);
    ui().dialog_timeout = timeout;
}

std::vector<std::string> control_text_history(int template_id, int control_id)
{
    Hold hold(the_machine().lock);
    auto found = ui().text_history.find({template_id, control_id});
    return found == ui().text_history.end() ? std::vector<std::string>() : found->second;
}

} // namespace winsim

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

// ---- Message boxes and the restart question.

// A user asked the same question over and over gives up on it, as the
// test must: the run loops. Call with the machine locked.
static int give_up_on_loop(const std::vector<int> &buttons, const MessageBoxSeen &seen, int asked)
{
    if (asked == winsim::SAME_QUESTION_LIMIT + 1)
        record_script_failure(describe("the same box was asked more than %d times, the run "
                                       "loops; answered Abort or Cancel from then on: ",
                                       winsim::SAME_QUESTION_LIMIT) +
                              box_text(seen));
    for (int button : {IDABORT, IDCANCEL}) {
        if (offers(buttons, button))
            return button;
    }
    return buttons[0];
}

// An invalid type or owner fails with 0 before the box shows. A box the
// script did not foresee is answered as the user closing it would:
// Cancel when the box has it, else its first button.
extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    Call call(__func__, describe("%s, %s, %s, 0x%x", handle_text(hWnd).c_str(),
                                 quoted(lpText).c_str(), quoted(lpCaption).c_str(), uType));
    if (call.faulted())
        return call.fail_injected(0);
    std::vector<int> buttons = buttons_of(uType);
    if (buttons.empty())
        return call.fail(0, ERROR_INVALID_MSGBOX_STYLE);
    // Without a caption the box is titled "Error".
    MessageBoxSeen seen{hWnd, lpText != nullptr ? lpText : "",
                        lpCaption != nullptr ? lpCaption : "Error", uType};
    std::function<int(const MessageBoxSeen &)> answer;
    {
        Hold hold(the_machine().lock);
        if (!valid_owner(the_machine(), hWnd))
            return call.fail(0, ERROR_INVALID_WINDOW_HANDLE);
        ui().boxes.push_back(seen);
        int asked = ++ui().times_asked[seen.title + "\n" + seen.text];
        Expectation expected;
        std::string instead;
        if (asked > winsim::SAME_QUESTION_LIMIT)
            return call.done(give_up_on_loop(buttons, seen, asked));
        if (take_step(Step::message_box, 0, &expected, &instead))
            answer = std::move(expected.answer);
        else if (ui().answer_every)
            answer = ui().answer_every;
        else
            record_unscripted(box_text(seen), instead);
    }
    int button = offers(buttons, IDCANCEL) ? IDCANCEL : buttons[0];
    if (answer) {
        int chosen = answer(seen);
        if (offers(buttons, chosen))
            button = chosen;
        else
            record_script_failure(describe("answer %d is not a button of ", chosen) +
                                  box_text(seen));
    }
    return call.done(button);
}

// Without a file queue the function takes a restart as needed
// (SPFILEQ_REBOOT_RECOMMENDED) and asks; a restart the user agrees to is
// under way when it returns (SPFILEQ_REBOOT_IN_PROGRESS). Scanning needs a
// queue.
extern "C" INT WINAPI SetupPromptReboot(HSPFILEQ FileQueue, HWND Owner, BOOL ScanOnly)
{
    Call call(__func__, describe("%p, %s, %d", FileQueue, handle_text(Owner).c_str(), ScanOnly));
    if (call.faulted())
        return call.fail_injected(-1);
    if (FileQueue != nullptr) {
        std::fprintf(stderr, "winsim: SetupPromptReboot with a file queue is not modelled\n");
        std::abort();
    }
    if (ScanOnly)
        return call.fail(-1, ERROR_INVALID_PARAMETER);
    bool restart = false;
    {
        Hold hold(the_machine().lock);
        Expectation expected;
        std::string instead;
        if (take_step(Step::reboot_prompt, 0, &expected, &instead))
            restart = expected.restart;
        else
            record_unscripted("restart prompt", instead);
        ui().reboot_requested = ui().reboot_requested || restart;
    }
    return call.done(SPFILEQ_REBOOT_RECOMMENDED | (restart ? SPFILEQ_REBOOT_IN_PROGRESS : 0));
}
