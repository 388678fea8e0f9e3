// winsim: message boxes and the restart question.
#include "user_interface_internal.h"

#include <setupapi_reboot.h>
#include <cstdio>
#include <cstdlib>

using namespace winsim::user_interface_internal;

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
