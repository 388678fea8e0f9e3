// winsim internals: the user interface's state and the helpers its files
// share (the user's view of a dialog, the script, dialogs, message boxes);
// each is described where it is defined.
#ifndef WINSIM_USER_INTERFACE_INTERNAL_H
#define WINSIM_USER_INTERFACE_INTERNAL_H

#include "winsim_internal.h"
#include "paths.h"
#include "user_interface_state.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

using winsim::ClosesOn;
using winsim::Dialog;
using winsim::DialogTemplate;
using winsim::MessageBoxSeen;
using winsim::record_script_failure;
using winsim::Window;

namespace winsim::user_interface_internal
{

using Hold = std::lock_guard<std::recursive_mutex>;

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

extern thread_local int modal_dialogs;

UserInterface &ui();
std::string handle_text(HWND handle);
Window *window_record(Machine &m, HWND handle);
Window *live_window(Machine &m, HWND handle);
bool valid_owner(Machine &m, HWND owner);
Window *control_of(Machine &m, HWND dialog, int id);
std::vector<Window *> controls_of(Machine &m, HWND dialog);
bool has_style(const Window &window, const char *style);
bool is_button(const Window &window);
UINT highest_check(const Window &window);
void set_text(Window &window, const char *text);
OpenDialog *open_dialog(HWND dialog);
std::string dialog_text(Machine &m, HWND dialog);
std::string box_text(const MessageBoxSeen &box);
std::string expectation_text(const Expectation &expected);
void push_expectation(Expectation expected);
bool take_step(Step step, int template_id, Expectation *taken, std::string *instead);
void record_unscripted(const std::string &what, const std::string &instead);
INT_PTR send_to_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void end_dialog(OpenDialog &dialog, INT_PTR result);
bool has_ended(HWND dialog);
HWND create_dialog(Machine &m, const DialogTemplate &layout, HWND *focus);
void destroy_dialog(Machine &m, HWND dialog);
INT_PTR modal_loop(Machine &m, HWND dialog);
const DialogTemplate *find_template(LPCSTR name);
std::string template_name_text(LPCSTR name);
std::vector<int> buttons_of(UINT type);
bool offers(const std::vector<int> &buttons, int button);

} // namespace winsim::user_interface_internal

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

} // namespace winsim

#endif
