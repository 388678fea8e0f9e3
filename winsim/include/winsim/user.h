// winsim: the user in front of the simulated machine and the program's run.
// A test scripts what the user will see and do, in order; dialogs and boxes
// of any thread take the next step of the script. Whatever the script did
// not foresee is recorded as a script failure and answered the way a user
// closing it would, so that a run always ends.
#ifndef WINSIM_USER_H
#define WINSIM_USER_H

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace winsim
{

// ---- Dialog templates, read from the program's own resource script.
struct ControlTemplate {
    std::string text;
    int id;
    std::string class_name;
    std::vector<std::string> styles; // style names as the script spells them
    bool has_style(const std::string &style) const;
};

struct DialogTemplate {
    int id;
    std::string caption;
    std::vector<std::string> styles;
    std::vector<ControlTemplate> controls; // in the script's order
    bool has_style(const std::string &style) const;
};

// The template of that id; null when the script has none.
const DialogTemplate *dialog_template(int id);

// ---- The scripted user.

// What the user sees of an open dialog and can do with it; valid inside the
// action that expect_dialog was given. A step the user could not take
// (a missing or disabled control, a dialog already ended) is a script
// failure and changes nothing.
class Dialog
{
  public:
    // The dialog's window, for calls a test makes itself.
    HWND handle() const
    {
        return window_;
    }
    int template_id() const;
    std::string title() const;
    std::string text(int control_id) const;
    bool checked(int control_id) const;
    bool enabled(int control_id) const;
    // A button: an auto radio button gets checked and the other auto radio
    // buttons of its group unchecked, then the dialog procedure gets
    // WM_COMMAND MAKEWPARAM(id, BN_CLICKED) with the button's handle.
    void click(int control_id);
    // Esc: WM_COMMAND IDCANCEL.
    void press_escape();
    // Enter: WM_COMMAND with the default push button's id (IDOK without one).
    void press_enter();
    // The caption's Close: WM_CLOSE; when the procedure leaves it (returns
    // 0), DefDlgProc's answer, WM_COMMAND IDCANCEL.
    void close();

  private:
    friend class DialogShown;
    explicit Dialog(HWND window) : window_(window) {}
    HWND window_;
};

// The next dialog is of that template; the action runs once its procedure
// has handled WM_INITDIALOG, on the dialog's thread. It may end the dialog
// or leave that to another thread.
void expect_dialog(int template_id, std::function<void(Dialog &)> action);

struct MessageBoxSeen {
    HWND owner;
    std::string text;
    std::string title;
    UINT type;
};
// The next step is a message box; the answer is the button the user
// presses and must be one the box offers.
void expect_message_box(std::function<int(const MessageBoxSeen &)> answer);
// The next step is SetupPromptReboot's question; restart is the user's answer.
void expect_reboot_prompt(bool restart);
// Answers every message box for which no expectation is next (for long
// runs); an answer the box does not offer, 0 for instance, is a script
// failure. Cleared at boot.
void answer_every_message_box(std::function<int(const MessageBoxSeen &)> answer);

// Works every dialog of the template for which no expectation is next with
// the action (for runs whose dialogs a test cannot foresee one by one, such
// as fault sweeps); a dialog that an expectation is next for takes that
// instead. Another call for the template replaces its action. Cleared at boot.
void answer_every_dialog(int template_id, std::function<void(Dialog &)> action);

// A box asked more often than this with the same title and text since boot
// is a run that loops: the script is not asked, the user answers Abort
// (else Cancel, else the first button) and a script failure says so.
const int SAME_QUESTION_LIMIT = 50;

// Unexpected dialogs, boxes and prompts (with their titles and texts),
// steps out of order, unusable answers, dialogs that never ended.
std::vector<std::string> script_failures();
// The expectations no dialog, box or prompt has taken yet.
std::vector<std::string> unused_expectations();
// Forgets the recorded failures and drops the unused expectations (for
// tests that cause failures on purpose).
void clear_script_failures();
// boot() reports the failures and unused expectations of the machine before
// that were never read (script_failures, unused_expectations) nor cleared,
// so that a test booting in a loop loses no round's failure: to the hook,
// or without one on stderr, and then aborts. Returns the hook it replaces.
using UncheckedScriptHook = std::function<void(const std::vector<std::string> &)>;
UncheckedScriptHook on_unchecked_script_results(UncheckedScriptHook report);
// Every message box shown, answered or not, in order.
std::vector<MessageBoxSeen> message_boxes_shown();
// Whether the user agreed to restart Windows.
bool reboot_requested();
// How long (real time) a dialog may stay open while its machine makes no
// call and moves no stream byte before it counts as never ending: the call
// then returns -1. 10 seconds after boot. A machine whose clock runs a day
// past the dialog's opening counts as stuck too.
void set_dialog_timeout(std::chrono::milliseconds timeout);

// Every text set on a control of the program's dialogs (SetDlgItemTextA,
// SetWindowTextA), in order, by template and control id; control id 0 holds
// the texts set as the dialog's caption.
std::vector<std::string> control_text_history(int template_id, int control_id);

// ---- System texts: buffers that FormatMessageA allocated and that were
// not yet released with LocalFree.
int local_allocation_count();

// ---- The program's run.
struct ExecRecord {
    std::string path;
    std::string command_line; // the arguments from arg0 on, joined by one blank
};

// Runs the program's entry as the process would: a fixed instance handle,
// the command line's arguments (what follows the program's name; empty by
// default), SW_SHOWNORMAL. Its return value is the exit code.
// A successful _execl on the run's thread ends the run at once with exit
// code 0 (the process was replaced). Returns once the program's threads
// have ended.
int run_program(int(WINAPI *entry)(HINSTANCE, HINSTANCE, LPSTR, int),
                const std::string &command_line = std::string());
int last_exit_code();
// Every _execl call, also those that could not start their program.
std::vector<ExecRecord> execs();
// Waits until every thread the program started with _beginthread has ended.
void join_program_threads();

} // namespace winsim

#endif
