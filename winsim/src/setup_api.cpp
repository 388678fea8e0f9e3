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

#include "setup_api_internal.h"

namespace winsim::setup_api_internal
{

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

} // namespace winsim::setup_api_internal

using namespace winsim::setup_api_internal;

// ---- The Setup API.

// Only Windows INF files (INF_STYLE_WIN4) are modelled. The whole file is
// parsed on opening, so a syntax error anywhere fails the open with its line.
extern "C" HINF WINAPI SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle,
                                         PUINT ErrorLine)
{
    Call call(__func__, describe("%s, %s, 0x%x", quoted(FileName).c_str(), quoted(InfClass).c_str(),
                                 InfStyle));
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
    Call call(__func__, describe("%p", InfHandle));
    std::lock_guard<std::recursive_mutex> hold(lock());
    if (InfHandle != INVALID_HANDLE_VALUE && InfHandle != nullptr && state().infs.erase(InfHandle) == 0)
        crashes("SetupCloseInfFile of a handle that is not open");
    call.done_void();
}

// User DIRIDs start at DIRID_USER. Id 0 drops all of the INF's user DIRIDs;
// a NULL directory drops one.
extern "C" BOOL WINAPI SetupSetDirectoryIdA(HINF InfHandle, DWORD Id, PCSTR Directory)
{
    Call call(__func__, describe("%p, %u, %s", InfHandle, Id, quoted(Directory).c_str()));
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
    Call call(__func__, describe("%p", static_cast<void *>(OwnerWindow)));
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
    Call call(__func__, describe("%p", Context));
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
    Call call(__func__,
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
    Call call(__func__,
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
