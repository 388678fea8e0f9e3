// winsim: the script the test gives the user, and what it tells the
// test afterwards.
#include "user_interface_internal.h"

using namespace winsim::user_interface_internal;

// ---- The script.

namespace winsim
{

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
