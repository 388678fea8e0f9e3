// winsim: the Setup API: INF files, directory ids, the default queue
// callback with the prompts the scripted user answers, and the file copies
// of SetupInstallFromInfSection.
#include <setupapi.h>
#include <winsim/setup_api.h>

#include "inf_file.h"
#include "machine_state.h"
#include "paths.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

using winsim::Call;
using winsim::describe;
using winsim::InfFile;
using winsim::InfLine;
using winsim::InfSection;
using winsim::PromptAnswer;
using winsim::PromptKind;
using winsim::quoted;
using winsim::ResolvedPath;
using winsim::resolve_path;
using winsim::same_name;
using winsim::the_machine;

namespace winsim {
void boot_processes(Machine &m);
}

namespace {

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

SetupApiState &state()
{
    static SetupApiState instance;
    return instance;
}

std::recursive_mutex &lock()
{
    return the_machine().lock;
}

[[noreturn]] void not_modelled(const std::string &what)
{
    std::fprintf(stderr, "winsim: not modelled: %s\n", what.c_str());
    std::abort();
}

// What Windows does with a bad pointer it must use: it crashes.
[[noreturn]] void crashes(const std::string &what)
{
    std::fprintf(stderr, "winsim: this crashes on Windows: %s\n", what.c_str());
    std::abort();
}

DWORD missing_error(const ResolvedPath &path)
{
    return path.parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Joins path parts with one backslash between them; empty parts vanish.
std::string join(const std::string &a, const std::string &b)
{
    std::string tail = b;
    while (!tail.empty() && tail.front() == '\\')
        tail.erase(0, 1);
    if (tail.empty())
        return a;
    if (a.empty())
        return tail;
    return a.back() == '\\' ? a + tail : a + "\\" + tail;
}

std::string folder_of(const std::string &path)
{
    std::string::size_type cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string name_of(const std::string &path)
{
    std::string::size_type cut = path.find_last_of('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool file_exists(const std::string &windows_path)
{
    ResolvedPath path = resolve_path(windows_path.c_str());
    return path.error == 0 && path.exists && !path.is_directory;
}

std::string read_host_file(const std::string &host)
{
    std::ifstream in(host, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A name without a path is looked for in the INF folder of Windows, then in
// the system folder.
ResolvedPath locate_inf(const char *file_name)
{
    std::string name = file_name;
    if (name.find_first_of("\\/") != std::string::npos)
        return resolve_path(file_name);
    const winsim::MachineSetup &setup = winsim::machine();
    ResolvedPath in_inf = resolve_path(join(join(setup.windows_dir, "inf"), name).c_str());
    if (in_inf.exists)
        return in_inf;
    ResolvedPath in_system = resolve_path(join(setup.system_dir, name).c_str());
    return in_system.exists ? in_system : in_inf;
}

const char *notification_name(UINT notification)
{
    switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
        return "STARTQUEUE";
    case SPFILENOTIFY_ENDQUEUE:
        return "ENDQUEUE";
    case SPFILENOTIFY_STARTSUBQUEUE:
        return "STARTSUBQUEUE";
    case SPFILENOTIFY_ENDSUBQUEUE:
        return "ENDSUBQUEUE";
    case SPFILENOTIFY_STARTCOPY:
        return "STARTCOPY";
    case SPFILENOTIFY_ENDCOPY:
        return "ENDCOPY";
    case SPFILENOTIFY_COPYERROR:
        return "COPYERROR";
    case SPFILENOTIFY_NEEDMEDIA:
        return "NEEDMEDIA";
    case SPFILENOTIFY_FILEOPDELAYED:
        return "FILEOPDELAYED";
    default:
        return nullptr;
    }
}

std::string notification_text(UINT notification, UINT_PTR param1)
{
    const char *name = notification_name(notification);
    std::string text = name != nullptr ? name : describe("0x%x", notification);
    if (notification == SPFILENOTIFY_NEEDMEDIA && param1 != 0) {
        const SOURCE_MEDIA_A *media = reinterpret_cast<const SOURCE_MEDIA_A *>(param1);
        text += ", " + quoted(media->SourcePath) + ", " + quoted(media->SourceFile);
    } else if ((notification == SPFILENOTIFY_STARTCOPY || notification == SPFILENOTIFY_ENDCOPY ||
                notification == SPFILENOTIFY_COPYERROR ||
                notification == SPFILENOTIFY_FILEOPDELAYED) &&
               param1 != 0) {
        const FILEPATHS_A *paths = reinterpret_cast<const FILEPATHS_A *>(param1);
        text += ", " + quoted(paths->Source) + " -> " + quoted(paths->Target);
        if (notification == SPFILENOTIFY_COPYERROR)
            text += describe(", error %u", paths->Win32Error);
    }
    return text;
}

const char *prompt_title(PromptKind kind)
{
    return kind == PromptKind::files_needed ? "Files Needed" : "Copy Error";
}

// Shows a prompt of the default queue callback and takes the scripted
// user's answer. The fix of a retry runs here, outside the machine's lock.
PromptAnswer::Kind ask_user(PromptKind kind, const std::string &file, const std::string &folder,
                            DWORD error, DWORD style)
{
    PromptAnswer answer = PromptAnswer::cancel();
    {
        std::lock_guard<std::recursive_mutex> hold(lock());
        SetupApiState &s = state();
        s.prompts.push_back({kind, file, folder, error});
        std::deque<PromptAnswer> &answers =
            kind == PromptKind::files_needed ? s.files_needed_answers : s.copy_error_answers;
        if (answers.empty()) {
            s.failures.push_back(describe("unexpected %s prompt for %s in %s", prompt_title(kind),
                                          file.c_str(), folder.c_str()));
            return PromptAnswer::Kind::cancel;
        }
        answer = answers.front();
        answers.pop_front();
        // With SP_COPY_NOSKIP the prompt has no Skip button.
        if (answer.kind == PromptAnswer::Kind::skip && (style & SP_COPY_NOSKIP) != 0) {
            s.failures.push_back(describe("%s prompt for %s offers no Skip", prompt_title(kind),
                                          file.c_str()));
            return PromptAnswer::Kind::cancel;
        }
    }
    if (answer.kind == PromptAnswer::Kind::retry && answer.fix)
        answer.fix();
    return answer.kind;
}

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

// The copy style a file list line's flags add to the caller's.
DWORD style_of_line_flags(DWORD flags)
{
    DWORD style = 0;
    if (flags & COPYFLG_WARN_IF_SKIP)
        style |= SP_COPY_WARNIFSKIP;
    if (flags & COPYFLG_NOSKIP)
        style |= SP_COPY_NOSKIP;
    if (flags & COPYFLG_FORCE_FILE_IN_USE)
        style |= SP_COPY_FORCE_IN_USE;
    if (flags & COPYFLG_NO_OVERWRITE)
        style |= SP_COPY_FORCE_NOOVERWRITE;
    if (flags & COPYFLG_REPLACEONLY)
        style |= SP_COPY_REPLACEONLY;
    if (flags & COPYFLG_NODECOMP)
        style |= SP_COPY_NODECOMP;
    return style;
}

DWORD number_of(const std::string &text)
{
    return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 0));
}

bool nt_family()
{
    return winsim::machine().version.platform_id == VER_PLATFORM_WIN32_NT;
}

// The NT family looks at the sections decorated for its platform first.
const InfLine *find_decorated(const InfFile &inf, const std::string &section, const std::string &key)
{
    const InfLine *line = nt_family() ? winsim::find_line(inf.find(section + ".x86"), key) : nullptr;
    return line != nullptr ? line : winsim::find_line(inf.find(section), key);
}

std::string dirid_folder(const OpenInf &open, long dirid, const std::string &subdir)
{
    const winsim::MachineSetup &setup = winsim::machine();
    switch (dirid) {
    case DIRID_ABSOLUTE:
    case DIRID_ABSOLUTE_16BIT:
        return subdir;
    case DIRID_WINDOWS:
        return join(setup.windows_dir, subdir);
    case DIRID_SYSTEM:
        return join(setup.system_dir, subdir);
    case DIRID_DRIVERS:
        // \system32\drivers on NT, \SYSTEM\IOSUBSYS on the 95 family.
        return join(join(setup.system_dir, nt_family() ? "drivers" : "IOSUBSYS"), subdir);
    default:
        break;
    }
    if (dirid >= DIRID_USER) {
        auto bound = open.user_dirids.find(static_cast<DWORD>(dirid));
        if (bound == open.user_dirids.end())
            not_modelled(describe("destination DIRID %ld is not bound with SetupSetDirectoryIdA", dirid));
        return join(bound->second, subdir);
    }
    not_modelled(describe("destination DIRID %ld", dirid));
}

// The folder a file list's files go to: its own [DestinationDirs] entry,
// else DefaultDestDir, else the system folder (DIRID_DEFAULT).
std::string destination_of(const OpenInf &open, const std::string &list)
{
    const InfSection *dirs = open.inf->find("DestinationDirs");
    const InfLine *entry = winsim::find_line(dirs, list);
    if (entry == nullptr)
        entry = winsim::find_line(dirs, "DefaultDestDir");
    if (entry == nullptr || entry->fields.empty())
        return dirid_folder(open, DIRID_DEFAULT, "");
    long dirid = std::strtol(entry->fields[0].c_str(), nullptr, 0);
    return dirid_folder(open, dirid, entry->fields.size() > 1 ? entry->fields[1] : "");
}

// Where a source file comes from: [SourceDisksFiles] names its disk and
// subfolder, [SourceDisksNames] the disk's description, tag file and path
// below the source root. A file not listed there is taken from the source
// root itself, as from a disk of its own without a description.
void locate_source(const OpenInf &open, const std::string &root, QueuedCopy &copy)
{
    const InfFile &inf = *open.inf;
    copy.media_root = root;
    const InfLine *file = find_decorated(inf, "SourceDisksFiles", copy.source_name);
    if (file != nullptr && !file->fields.empty()) {
        if (file->fields.size() > 1)
            copy.subdir = file->fields[1];
        const InfLine *disk = find_decorated(inf, "SourceDisksNames", file->fields[0]);
        if (disk != nullptr) {
            if (!disk->fields.empty()) {
                copy.has_description = true;
                copy.description = disk->fields[0];
            }
            if (disk->fields.size() > 1 && !disk->fields[1].empty()) {
                copy.has_tagfile = true;
                copy.tagfile = disk->fields[1];
            }
            if (disk->fields.size() > 3)
                copy.media_root = join(root, disk->fields[3]);
        }
    }
    copy.media = copy.media_root + "|" + (copy.has_description ? "d" + copy.description : "-") +
                 "|" + (copy.has_tagfile ? "t" + copy.tagfile : "-");
}

// The copies the section's CopyFiles directives ask for, in their order.
DWORD queue_copies(const OpenInf &open, const InfSection &install, const std::string &root,
                   UINT copy_flags, std::vector<QueuedCopy> &queue)
{
    for (const InfLine &line : install.lines) {
        if (!line.has_key || !same_name(line.key, "CopyFiles"))
            continue;
        for (const std::string &list_name : line.fields) {
            if (list_name.empty())
                continue;
            if (list_name[0] == '@')
                not_modelled("CopyFiles=@file (the direct copy of one file)");
            const InfSection *list = open.inf->find(list_name);
            if (list == nullptr)
                return ERROR_SECTION_NOT_FOUND;
            std::string folder = destination_of(open, list_name);
            for (const InfLine &entry : list->lines) {
                // destination-name[,source-name[,temporary-name[,flags]]]; the
                // temporary name is not used: Setup makes its own.
                const std::vector<std::string> &fields = entry.fields;
                if (fields.empty() || fields[0].empty())
                    continue;
                QueuedCopy copy;
                copy.source_name = fields.size() > 1 && !fields[1].empty() ? fields[1] : fields[0];
                copy.target = join(folder, fields[0]);
                copy.style = copy_flags |
                             style_of_line_flags(fields.size() > 3 ? number_of(fields[3]) : 0);
                locate_source(open, root, copy);
                queue.push_back(copy);
            }
        }
    }
    return 0;
}

struct CopyOutcome {
    DWORD error = 0;
    bool delayed = false;
    std::string temporary;
};

void forget_attributes(const std::string &host)
{
    std::lock_guard<std::recursive_mutex> hold(lock());
    the_machine().attributes.erase(host);
}

bool make_folders(const std::string &folder)
{
    try {
        winsim::make_directory(folder);
    } catch (const std::exception &) {
        return false;
    }
    return winsim::directory_present(folder);
}

// One file copy as the Setup API does it. Missing target folders are made.
// A target in use, or any existing target with SP_COPY_FORCE_IN_USE, is not
// replaced now: the new bytes go to a temporary file beside it that the next
// restart renames over it. A read-only target is refused. The new file has
// only the archive attribute.
CopyOutcome copy_file(const std::string &source, const std::string &target, DWORD style)
{
    CopyOutcome outcome;
    ResolvedPath from = resolve_path(source.c_str());
    if (from.error != 0 || !from.exists || from.is_directory) {
        outcome.error = from.error != 0 ? from.error
                        : from.exists   ? static_cast<DWORD>(ERROR_ACCESS_DENIED)
                                        : missing_error(from);
        return outcome;
    }
    ResolvedPath to = resolve_path(target.c_str());
    if (to.error != 0) {
        outcome.error = to.error;
        return outcome;
    }
    if (!to.parent_exists) {
        if (!make_folders(folder_of(to.full))) {
            outcome.error = ERROR_PATH_NOT_FOUND;
            return outcome;
        }
        to = resolve_path(target.c_str());
    }
    if (to.is_directory) {
        outcome.error = ERROR_ACCESS_DENIED;
        return outcome;
    }
    if ((style & SP_COPY_REPLACEONLY) && !to.exists)
        return outcome;
    if ((style & SP_COPY_FORCE_NOOVERWRITE) && to.exists)
        return outcome;
    std::error_code failed;
    if (to.exists && ((style & SP_COPY_FORCE_IN_USE) || winsim::is_open(to))) {
        std::string temporary;
        {
            std::lock_guard<std::recursive_mutex> hold(lock());
            do {
                temporary = join(folder_of(to.full), describe("SET%X.tmp", ++state().temporary_number));
            } while (file_exists(temporary));
        }
        ResolvedPath spare = resolve_path(temporary.c_str());
        std::filesystem::copy_file(from.host, spare.host, failed);
        if (failed) {
            outcome.error = ERROR_ACCESS_DENIED;
            return outcome;
        }
        forget_attributes(spare.host);
        std::lock_guard<std::recursive_mutex> hold(lock());
        state().pending.push_back({spare.full, to.full});
        outcome.delayed = true;
        outcome.temporary = spare.full;
        return outcome;
    }
    if (to.exists && winsim::is_read_only(to)) {
        outcome.error = ERROR_ACCESS_DENIED;
        return outcome;
    }
    std::filesystem::copy_file(from.host, to.host, std::filesystem::copy_options::overwrite_existing,
                               failed);
    if (failed) {
        outcome.error = ERROR_ACCESS_DENIED;
        return outcome;
    }
    forget_attributes(to.host);
    if ((style & SP_COPY_DELETESOURCE) && !winsim::is_read_only(from) && !winsim::is_open(from)) {
        std::filesystem::remove(from.host, failed);
        forget_attributes(from.host);
    }
    return outcome;
}

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

// A source medium is asked for (SPFILENOTIFY_NEEDMEDIA) before the first
// file taken from it, again until that file (or the tag file) is there or
// the handler skips the file or aborts. A new path replaces the folder of
// that file; without the file's subfolder at its end it is also the new
// root of the medium.
QueueRun::Media QueueRun::ask_for_media(const QueuedCopy &copy, std::string &media_root,
                                        std::string &folder)
{
    for (int round = 0;; round++) {
        if (round == 1000)
            not_modelled("a message handler that asks for the same medium a thousand times");
        SOURCE_MEDIA_A media = {};
        media.Tagfile = copy.has_tagfile ? copy.tagfile.c_str() : nullptr;
        media.Description = copy.has_description ? copy.description.c_str() : nullptr;
        media.SourcePath = folder.c_str();
        media.SourceFile = copy.source_name.c_str();
        media.Flags = copy.style & (SP_COPY_WARNIFSKIP | SP_COPY_NOSKIP | SP_COPY_NOBROWSE);
        char new_path[MAX_PATH] = "";
        UINT answer = notify(SPFILENOTIFY_NEEDMEDIA, reinterpret_cast<UINT_PTR>(&media),
                             reinterpret_cast<UINT_PTR>(new_path));
        if (answer == FILEOP_ABORT)
            return Media::abort;
        if (answer == FILEOP_SKIP)
            return Media::skip;
        if (answer == FILEOP_NEWPATH) {
            new_path[MAX_PATH - 1] = '\0';
            folder = new_path;
            std::string tail = "\\" + copy.subdir;
            if (!copy.subdir.empty() && folder.size() > tail.size() &&
                same_name(folder.substr(folder.size() - tail.size()), tail))
                media_root = folder.substr(0, folder.size() - tail.size());
            else
                media_root = folder;
        }
        if (file_exists(join(folder, copy.has_tagfile ? copy.tagfile : copy.source_name)))
            return Media::ready;
    }
}

// One file: SPFILENOTIFY_STARTCOPY, the copy with SPFILENOTIFY_COPYERROR
// until it succeeds or the handler skips or aborts, SPFILENOTIFY_ENDCOPY.
bool QueueRun::copy_one(const QueuedCopy &copy, std::string folder)
{
    std::string source = join(folder, copy.source_name);
    FILEPATHS_A start = {copy.target.c_str(), source.c_str(), 0, 0};
    UINT answer = notify(SPFILENOTIFY_STARTCOPY, reinterpret_cast<UINT_PTR>(&start), FILEOP_COPY);
    if (answer == FILEOP_ABORT)
        return false;
    if (answer == FILEOP_SKIP)
        return true;
    CopyOutcome outcome;
    for (int round = 0;; round++) {
        if (round == 1000)
            not_modelled("a message handler that retries the same copy a thousand times");
        outcome = copy_file(source, copy.target, copy.style);
        if (outcome.error == 0)
            break;
        FILEPATHS_A failed = {copy.target.c_str(), source.c_str(), outcome.error, copy.style};
        char new_path[MAX_PATH] = "";
        answer = notify(SPFILENOTIFY_COPYERROR, reinterpret_cast<UINT_PTR>(&failed),
                        reinterpret_cast<UINT_PTR>(new_path));
        if (answer == FILEOP_ABORT)
            return false;
        if (answer == FILEOP_SKIP)
            break;
        if (answer == FILEOP_NEWPATH) {
            new_path[MAX_PATH - 1] = '\0';
            source = join(new_path, copy.source_name);
        }
    }
    if (outcome.delayed) {
        FILEPATHS_A delayed = {copy.target.c_str(), outcome.temporary.c_str(), 0, 0};
        notify(SPFILENOTIFY_FILEOPDELAYED, reinterpret_cast<UINT_PTR>(&delayed), 0);
    }
    FILEPATHS_A end = {copy.target.c_str(), source.c_str(), outcome.error, 0};
    notify(SPFILENOTIFY_ENDCOPY, reinterpret_cast<UINT_PTR>(&end), 0);
    return true;
}

// The copies run grouped by source medium, media in the order they are
// first needed. A medium is asked for once; a later file missing from it is
// a copy error.
bool QueueRun::run(std::vector<QueuedCopy> &queue)
{
    if (queue.empty())
        return true;
    if (!notify(SPFILENOTIFY_STARTQUEUE, 0, 0))
        return false;
    if (!notify(SPFILENOTIFY_STARTSUBQUEUE, FILEOP_COPY, queue.size()))
        return false;
    std::vector<std::string> media;
    for (const QueuedCopy &copy : queue) {
        if (std::find(media.begin(), media.end(), copy.media) == media.end())
            media.push_back(copy.media);
    }
    for (const std::string &medium : media) {
        bool ready = false;
        bool first = true;
        std::string media_root;
        for (const QueuedCopy &copy : queue) {
            if (copy.media != medium)
                continue;
            if (first)
                media_root = copy.media_root;
            first = false;
            std::string folder = join(media_root, copy.subdir);
            if (!ready) {
                Media outcome = ask_for_media(copy, media_root, folder);
                if (outcome == Media::abort)
                    return false;
                if (outcome == Media::skip)
                    continue;
                ready = true;
            }
            if (!copy_one(copy, folder))
                return false;
        }
    }
    notify(SPFILENOTIFY_ENDSUBQUEUE, FILEOP_COPY, 0);
    notify(SPFILENOTIFY_ENDQUEUE, TRUE, 0);
    return true;
}

// Install section directives and the flag that carries them out; only
// CopyFiles is modelled.
struct Directive {
    const char *name;
    UINT flag; // 0: always
};
const Directive unmodelled_directives[] = {
    {"DelFiles", SPINST_FILES},          {"RenFiles", SPINST_FILES},
    {"AddReg", SPINST_REGISTRY},         {"DelReg", SPINST_REGISTRY},
    {"UpdateInis", SPINST_INIFILES},     {"UpdateIniFields", SPINST_INIFILES},
    {"Ini2Reg", SPINST_INI2REG},         {"LogConf", SPINST_LOGCONFIG},
    {"BitReg", SPINST_BITREG},           {"RegisterDlls", SPINST_REGSVR},
    {"UnregisterDlls", SPINST_UNREGSVR}, {"ProfileItems", SPINST_PROFILEITEMS},
    {"CopyINF", SPINST_COPYINF},         {"AddProperty", SPINST_PROPERTIES},
    {"DelProperty", SPINST_PROPERTIES},  {"Include", 0},
    {"Needs", 0},
};

void refuse_unmodelled_directives(const InfSection &install, UINT flags)
{
    for (const InfLine &line : install.lines) {
        if (!line.has_key)
            continue;
        for (const Directive &directive : unmodelled_directives) {
            if (same_name(line.key, directive.name) && (directive.flag == 0 || (flags & directive.flag)))
                not_modelled(describe("the %s directive of [%s]", directive.name, install.name.c_str()));
        }
    }
}

} // namespace

// ---- The Setup API.

// Only Windows INF files (INF_STYLE_WIN4) are modelled. The whole file is
// parsed on opening, so a syntax error anywhere fails the open with its line.
extern "C" HINF WINAPI SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle,
                                         PUINT ErrorLine)
{
    Call call("SetupOpenInfFileA",
              describe("%s, %s, 0x%x", quoted(FileName).c_str(), quoted(InfClass).c_str(), InfStyle));
    const HINF failed = INVALID_HANDLE_VALUE;
    if (call.faulted())
        return call.fail_injected(failed);
    if ((InfStyle & INF_STYLE_WIN4) == 0)
        not_modelled("INF styles other than INF_STYLE_WIN4");
    if (InfClass != nullptr)
        not_modelled("SetupOpenInfFileA with an INF class");
    if (FileName == nullptr)
        return call.fail(failed, ERROR_INVALID_PARAMETER);
    ResolvedPath path = locate_inf(FileName);
    if (path.error != 0)
        return call.fail(failed, path.error);
    if (!path.exists)
        return call.fail(failed, missing_error(path));
    if (path.is_directory)
        return call.fail(failed, ERROR_ACCESS_DENIED);
    std::string bytes = read_host_file(path.host);
    {
        std::lock_guard<std::recursive_mutex> hold(lock());
        state().texts.push_back(bytes);
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        not_modelled("Unicode INF files");
    winsim::InfParse parsed = winsim::parse_inf(bytes);
    if (parsed.error != 0) {
        if (ErrorLine != nullptr)
            *ErrorLine = parsed.error_line;
        return call.fail(failed, parsed.error);
    }
    // A Windows INF needs the signature in [Version]; the error has no line.
    if (!winsim::has_windows_signature(parsed.inf)) {
        if (ErrorLine != nullptr)
            *ErrorLine = 0;
        return call.fail(failed, ERROR_WRONG_INF_STYLE);
    }
    std::lock_guard<std::recursive_mutex> hold(lock());
    SetLastError(NO_ERROR); // a successful open clears the last error
    HINF handle = the_machine().new_handle();
    state().infs[handle] = {std::make_shared<const InfFile>(std::move(parsed.inf)), folder_of(path.full), {}};
    return call.done(handle);
}

// INVALID_HANDLE_VALUE and NULL are ignored, as a failed open's result may
// be closed. Closing a handle twice frees the INF twice.
extern "C" VOID WINAPI SetupCloseInfFile(HINF InfHandle)
{
    Call call("SetupCloseInfFile", describe("%p", InfHandle));
    std::lock_guard<std::recursive_mutex> hold(lock());
    if (InfHandle != INVALID_HANDLE_VALUE && InfHandle != nullptr && state().infs.erase(InfHandle) == 0)
        crashes("SetupCloseInfFile of a handle that is not open");
    call.done_void();
}

// User DIRIDs start at DIRID_USER. Id 0 drops all of the INF's user DIRIDs;
// a NULL directory drops one.
extern "C" BOOL WINAPI SetupSetDirectoryIdA(HINF InfHandle, DWORD Id, PCSTR Directory)
{
    Call call("SetupSetDirectoryIdA", describe("%p, %u, %s", InfHandle, Id, quoted(Directory).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    std::lock_guard<std::recursive_mutex> hold(lock());
    auto open = state().infs.find(InfHandle);
    if (open == state().infs.end())
        return call.fail(FALSE, ERROR_INVALID_HANDLE);
    if (Id == 0) {
        open->second.user_dirids.clear();
        return call.done(TRUE);
    }
    if (Id < DIRID_USER || Id == DIRID_ABSOLUTE_16BIT)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    if (Directory == nullptr)
        open->second.user_dirids.erase(Id);
    else
        open->second.user_dirids[Id] = Directory;
    return call.done(TRUE);
}

extern "C" PVOID WINAPI SetupInitDefaultQueueCallback(HWND OwnerWindow)
{
    Call call("SetupInitDefaultQueueCallback", describe("%p", static_cast<void *>(OwnerWindow)));
    if (call.faulted())
        return call.fail_injected(static_cast<PVOID>(nullptr));
    std::lock_guard<std::recursive_mutex> hold(lock());
    PVOID context = the_machine().new_handle();
    state().contexts[context] = OwnerWindow;
    return call.done(context);
}

// Releasing a context twice frees it twice.
extern "C" VOID WINAPI SetupTermDefaultQueueCallback(PVOID Context)
{
    Call call("SetupTermDefaultQueueCallback", describe("%p", Context));
    std::lock_guard<std::recursive_mutex> hold(lock());
    if (Context != nullptr && state().contexts.erase(Context) == 0)
        crashes("SetupTermDefaultQueueCallback of a context that is not live");
    call.done_void();
}

// The start of the copy subqueue opens the copy progress window: it is
// when the default callback sends an alternate progress window its first
// message, and a context without one shows its own gauge (with or without
// an owner). The other progress notifications change nothing here. A
// medium that is there is taken without a prompt (its folder goes back in
// Param2); otherwise the "Files Needed" prompt asks for it. A failed copy
// shows "Copy Error". The user's Cancel aborts the queue with
// ERROR_CANCELLED. A file delayed to the restart shows nothing.
extern "C" UINT WINAPI SetupDefaultQueueCallbackA(PVOID Context, UINT Notification, UINT_PTR Param1,
                                                  UINT_PTR Param2)
{
    Call call("SetupDefaultQueueCallbackA",
              describe("%p, %s", Context, notification_text(Notification, Param1).c_str()));
    {
        std::lock_guard<std::recursive_mutex> hold(lock());
        if (state().contexts.count(Context) == 0)
            crashes("SetupDefaultQueueCallbackA with a context that is not live");
    }
    if (call.faulted())
        return call.fail_injected(static_cast<UINT>(FILEOP_ABORT));
    PromptAnswer::Kind answer;
    switch (Notification) {
    case SPFILENOTIFY_STARTSUBQUEUE:
        if (Param1 == FILEOP_COPY) {
            std::lock_guard<std::recursive_mutex> hold(lock());
            state().progress_windows++;
        }
        return call.done(static_cast<UINT>(TRUE));
    case SPFILENOTIFY_STARTQUEUE:
    case SPFILENOTIFY_ENDSUBQUEUE:
    case SPFILENOTIFY_ENDQUEUE:
        return call.done(static_cast<UINT>(TRUE));
    case SPFILENOTIFY_STARTCOPY:
        return call.done(static_cast<UINT>(FILEOP_DOIT));
    case SPFILENOTIFY_ENDCOPY:
    case SPFILENOTIFY_FILEOPDELAYED:
        return call.done(0u);
    case SPFILENOTIFY_NEEDMEDIA: {
        const SOURCE_MEDIA_A *media = reinterpret_cast<const SOURCE_MEDIA_A *>(Param1);
        char *new_path = reinterpret_cast<char *>(Param2);
        std::string looked_for = media->Tagfile != nullptr ? media->Tagfile : media->SourceFile;
        if (file_exists(join(media->SourcePath, looked_for))) {
            std::snprintf(new_path, MAX_PATH, "%s", media->SourcePath);
            return call.done(static_cast<UINT>(FILEOP_DOIT));
        }
        answer = ask_user(PromptKind::files_needed, media->SourceFile, media->SourcePath, 0,
                          media->Flags);
        break;
    }
    case SPFILENOTIFY_COPYERROR: {
        const FILEPATHS_A *paths = reinterpret_cast<const FILEPATHS_A *>(Param1);
        answer = ask_user(PromptKind::copy_error, name_of(paths->Source), folder_of(paths->Source),
                          paths->Win32Error, paths->Flags);
        break;
    }
    default:
        not_modelled(describe("SetupDefaultQueueCallbackA notification 0x%x", Notification));
    }
    if (answer == PromptAnswer::Kind::cancel)
        return call.fail(static_cast<UINT>(FILEOP_ABORT), ERROR_CANCELLED);
    if (answer == PromptAnswer::Kind::skip)
        return call.done(static_cast<UINT>(FILEOP_SKIP));
    return call.done(static_cast<UINT>(FILEOP_RETRY));
}

// Of the install section's directives only CopyFiles (SPINST_FILES) is
// modelled; the others abort the simulation when their flag asks for them.
// The files are queued first (a missing file list fails before anything is
// copied), then copied through the message handler. A NULL source root is
// the INF's own folder.
extern "C" BOOL WINAPI SetupInstallFromInfSectionA(HWND Owner, HINF InfHandle, PCSTR SectionName,
                                                   UINT Flags, HKEY RelativeKeyRoot,
                                                   PCSTR SourceRootPath, UINT CopyFlags,
                                                   PSP_FILE_CALLBACK_A MsgHandler, PVOID Context,
                                                   HDEVINFO DeviceInfoSet,
                                                   PSP_DEVINFO_DATA DeviceInfoData)
{
    Call call("SetupInstallFromInfSectionA",
              describe("%p, %p, %s, 0x%x, %p, %s, 0x%x, %p, %p", static_cast<void *>(Owner),
                       InfHandle, quoted(SectionName).c_str(), Flags,
                       static_cast<void *>(RelativeKeyRoot), quoted(SourceRootPath).c_str(),
                       CopyFlags, reinterpret_cast<void *>(MsgHandler), Context));
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (DeviceInfoSet != nullptr || DeviceInfoData != nullptr)
        not_modelled("SetupInstallFromInfSectionA for a device");
    if (CopyFlags & (SP_COPY_NOOVERWRITE | SP_COPY_SOURCE_ABSOLUTE | SP_COPY_SOURCEPATH_ABSOLUTE))
        not_modelled(describe("copy flags 0x%x", CopyFlags));
    OpenInf open;
    {
        std::lock_guard<std::recursive_mutex> hold(lock());
        auto found = state().infs.find(InfHandle);
        if (found == state().infs.end())
            return call.fail(FALSE, ERROR_INVALID_HANDLE);
        open = found->second;
    }
    if (SectionName == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    const InfSection *install = open.inf->find(SectionName);
    if (install == nullptr)
        return call.fail(FALSE, ERROR_SECTION_NOT_FOUND);
    refuse_unmodelled_directives(*install, Flags);
    if ((Flags & SPINST_FILES) == 0)
        return call.done(TRUE);
    if (MsgHandler == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    std::string root = SourceRootPath != nullptr ? SourceRootPath : open.folder;
    std::vector<QueuedCopy> queue;
    DWORD error = queue_copies(open, *install, root, CopyFlags, queue);
    if (error != 0)
        return call.fail(FALSE, error);
    QueueRun run(MsgHandler, Context);
    if (!run.run(queue))
        return call.fail(FALSE, GetLastError());
    SetLastError(NO_ERROR);
    return call.done(TRUE);
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
