// winsim: what tests see of the simulated Setup API: the INF texts that were
// opened, the handles and callback contexts still live, the scripted user's
// answers to the default queue callback's prompts, and the file replacements
// left for the next restart.
#ifndef WINSIM_SETUP_API_H
#define WINSIM_SETUP_API_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

// The bytes of every INF file SetupOpenInfFileA read, in the order read
// (also of files it then refused).
std::vector<std::string> opened_inf_texts();
// INF handles not yet closed with SetupCloseInfFile.
int open_inf_count();

// An entry of an open INF as the Setup API reads it: quotes removed,
// %strkey% replaced, continued lines joined.
struct InfEntry {
    bool has_key;
    std::string key;
    std::vector<std::string> fields; // after the "=" of a keyed entry
};
// The entries of the named section (found without regard to case; sections
// of the same name are one); empty when the INF has no such section.
std::vector<InfEntry> inf_section_entries(HANDLE inf, const std::string &section);
// Contexts of SetupInitDefaultQueueCallback not yet released.
int live_queue_contexts();

// How the scripted user answers a prompt of the default queue callback.
struct PromptAnswer {
    enum class Kind { cancel, skip, retry };
    Kind kind;
    std::function<void()> fix; // retry: runs before the retry

    static PromptAnswer cancel();
    static PromptAnswer skip();
    // The user puts things right (the function runs) and tries again.
    static PromptAnswer retry_after(std::function<void()> fix);
};
using FilesNeededAnswer = PromptAnswer;
using CopyErrorAnswer = PromptAnswer;

// The default queue callback asks for a source medium ("Files Needed") when
// the first file to come from it is missing, and reports a failed copy
// ("Copy Error"), also of a later file that is missing. Each prompt takes the
// next answer queued for its kind; a prompt without one is a script failure
// and is answered with Cancel.
void expect_files_needed_prompt(FilesNeededAnswer answer);
void expect_copy_error_prompt(CopyErrorAnswer answer);
// Answers queued that no prompt has taken yet.
int unused_prompt_answers();

enum class PromptKind { files_needed, copy_error };
struct ShownPrompt {
    PromptKind kind;
    std::string file;        // the source file's name
    std::string source_path; // the folder it was looked for in
    DWORD error;             // copy error: the failure; otherwise 0
};
// How often the default queue callback opened its copy progress window.
int setup_progress_windows_shown();

// The prompts shown, in order.
std::vector<ShownPrompt> shown_setup_prompts();
// One text per prompt that the script did not expect or could not answer,
// naming the file.
std::vector<std::string> setup_api_script_failures();

// A file the Setup API could not replace at once: its new bytes wait in the
// temporary file until the next restart renames it over the target.
struct PendingReplacement {
    std::string temporary_file;
    std::string target;
};
std::vector<PendingReplacement> pending_file_replacements();

} // namespace winsim

#endif
