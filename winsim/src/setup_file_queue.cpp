// winsim: the file queue of SetupInstallFromInfSection: the copies an install
// section names, the prompts for their media and the copies themselves.
#include "setup_api_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace winsim::setup_api_internal
{

// ---- SetupInstallFromInfSection's file queue.

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

} // namespace winsim::setup_api_internal
