// winsim internals: the Setup API's state and the helpers its API calls, its
// file queue and its test helpers share; each is described where it is defined.
#ifndef WINSIM_SETUP_API_INTERNAL_H
#define WINSIM_SETUP_API_INTERNAL_H

#include "inf_file.h"
#include "machine_state.h"
#include "paths.h"
#include "winsim_internal.h"

#include <setupapi.h>
#include <winsim/setup_api.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using winsim::InfFile;
using winsim::InfLine;
using winsim::InfSection;
using winsim::PromptAnswer;
using winsim::PromptKind;

namespace winsim::setup_api_internal
{

struct OpenInf {
    std::shared_ptr<const InfFile> inf;
    std::string folder; // where the INF was read from
    std::map<DWORD, std::string> user_dirids;
};

struct SetupApiState {
    std::map<void *, OpenInf> infs;
    std::map<void *, HWND> contexts; // with their owner windows
    std::vector<std::string> texts;
    std::deque<PromptAnswer> files_needed_answers;
    std::deque<PromptAnswer> copy_error_answers;
    std::vector<winsim::ShownPrompt> prompts;
    std::vector<std::string> failures;
    std::vector<winsim::PendingReplacement> pending;
    unsigned temporary_number = 0;
    int progress_windows = 0;
};

SetupApiState &state();
std::recursive_mutex &lock();
[[noreturn]] void not_modelled(const std::string &what);
DWORD missing_error(const ResolvedPath &path);
std::string join(const std::string &a, const std::string &b);
std::string folder_of(const std::string &path);
bool file_exists(const std::string &windows_path);

// ---- SetupInstallFromInfSection's file queue.

struct QueuedCopy {
    std::string media;      // tells source media apart: root, description, tag file
    std::string media_root; // the source root with the disk's own path
    bool has_description = false;
    std::string description;
    bool has_tagfile = false;
    std::string tagfile;
    std::string subdir; // below the media root
    std::string source_name;
    std::string target;
    DWORD style = 0;
};

// The message handler's answer to a notification that can abort the queue.
class QueueRun {
  public:
    QueueRun(PSP_FILE_CALLBACK_A handler, PVOID context) : handler_(handler), context_(context)
    {
    }
    UINT notify(UINT notification, UINT_PTR param1, UINT_PTR param2)
    {
        return handler_(context_, notification, param1, param2);
    }
    // Runs the queue; false when the handler aborted it, the thread's last
    // error then being what the handler left.
    bool run(std::vector<QueuedCopy> &queue);

  private:
    enum class Media { ready, skip, abort };
    Media ask_for_media(const QueuedCopy &copy, std::string &media_root, std::string &folder);
    bool copy_one(const QueuedCopy &copy, std::string folder);
    PSP_FILE_CALLBACK_A handler_;
    PVOID context_;
};

DWORD queue_copies(const OpenInf &open, const InfSection &install, const std::string &root,
                   UINT copy_flags, std::vector<QueuedCopy> &queue);
void refuse_unmodelled_directives(const InfSection &install, UINT flags);

} // namespace winsim::setup_api_internal

#endif
