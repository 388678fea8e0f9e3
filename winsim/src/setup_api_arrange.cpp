// winsim: the helpers with which tests arrange and read the Setup API.
#include "setup_api_internal.h"

using namespace winsim::setup_api_internal;

namespace winsim {
void boot_processes(Machine &m);
}

// ---- For the tests.

namespace winsim {

void boot_setup_api(Machine &m)
{
    {
        std::lock_guard<std::recursive_mutex> hold(m.lock);
        state() = SetupApiState();
    }
    boot_processes(m);
}

std::vector<std::string> opened_inf_texts()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().texts;
}

int open_inf_count()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return static_cast<int>(state().infs.size());
}

std::vector<InfEntry> inf_section_entries(HANDLE inf, const std::string &section)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    std::vector<InfEntry> entries;
    auto open = state().infs.find(inf);
    const InfSection *found = open == state().infs.end() ? nullptr : open->second.inf->find(section);
    if (found != nullptr) {
        for (const InfLine &line : found->lines)
            entries.push_back({line.has_key, line.key, line.fields});
    }
    return entries;
}

int live_queue_contexts()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return static_cast<int>(state().contexts.size());
}

PromptAnswer PromptAnswer::cancel()
{
    return {Kind::cancel, nullptr};
}

PromptAnswer PromptAnswer::skip()
{
    return {Kind::skip, nullptr};
}

PromptAnswer PromptAnswer::retry_after(std::function<void()> fix)
{
    return {Kind::retry, std::move(fix)};
}

void expect_files_needed_prompt(FilesNeededAnswer answer)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    state().files_needed_answers.push_back(std::move(answer));
}

void expect_copy_error_prompt(CopyErrorAnswer answer)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    state().copy_error_answers.push_back(std::move(answer));
}

int unused_prompt_answers()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return static_cast<int>(state().files_needed_answers.size() + state().copy_error_answers.size());
}

std::vector<ShownPrompt> shown_setup_prompts()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().prompts;
}

std::vector<std::string> setup_api_script_failures()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().failures;
}

int setup_progress_windows_shown()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().progress_windows;
}

std::vector<PendingReplacement> pending_file_replacements()
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    return state().pending;
}

} // namespace winsim
