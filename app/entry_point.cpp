// The entry point: the normal run (language, choice, progress, result,
// restart offer) and the uninstaller run (removal, then self-deletion);
// a command line with switches goes to the switch run.
#include "app/entry_point.h"

#include "app/command_line.h"
#include "app/run_log.h"
#include "app/setup_state.h"
#include "app/switch_run.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/platform_branch.h"
#include "setup/product_names.h"
#include "setup/steps.h"
#include "system/environment.h"
#include "ui/user_interface.h"

enum {
    MODULE_NAME_SIZE = 2048,
    // NT 4's and Windows 2000's command interpreter takes at most 2047
    // characters on a line.
    DELETE_COMMAND_SIZE = 2048
};

static const char UNINSTALLER_SUFFIX[] = "\\" UNINSTALLER_FILE;
static const char COMMAND_INTERPRETER[] = "cmd.exe";
// Every run takes it, so that a switch run sees any other run.
static const char RUN_MUTEX_NAME[] = "ZantrelSetupRun";

// The uninstaller copy is told by the last element of its own file name.
static int is_uninstaller(const char *module_name)
{
    const char *last = strrchr(module_name, '\\');

    return last != NULL && lstrcmpiA(last, UNINSTALLER_SUFFIX) == 0;
}

int prompt_reboot(void)
{
    INT restart = SetupPromptReboot(NULL, NULL, FALSE);

    return restart != -1 && (restart & SPFILEQ_REBOOT_IN_PROGRESS) != 0;
}

static int normal_run(void)
{
    int run_outcome = 1;

    if (!show_dialog(IDD_LANGUAGE, language_dialog_proc)) {
        run_outcome = 0;
    } else if (!show_dialog(IDD_CHOICE, choice_dialog_proc)) {
        run_outcome = 0;
    } else if (action == ACTION_REMOVE || action == ACTION_INSTALL) {
        if (!run_worker(action == ACTION_INSTALL))
            run_outcome = 0;
    }
    if (action == ACTION_REMOVE || action == ACTION_INSTALL) {
        compose_result_text(action == ACTION_INSTALL, run_outcome);
        show_dialog(IDD_RESULT, result_dialog_proc);
    }
    prompt_reboot();
    return run_outcome;
}

// Whether the uninstall entry still names the copy; an entry that cannot be
// read counts as there.
static int uninstall_entry_present(void)
{
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_READ, &key);

    if (status == ERROR_SUCCESS)
        RegCloseKey(key);
    return status != ERROR_FILE_NOT_FOUND;
}

// The pauses before the copy's second and third deletion, as ping counts
// (ping waits a second between its echo requests): a second, then 29 more.
// Each try names the copy twice; with the longest system directory a
// MAX_PATH buffer holds (259 characters) the line with two tries has 1738
// characters, a third would take it to 2329.
static const int DELETE_PAUSES[] = {2, 30};

// Starts the interpreter beside this process, so that the run can still
// report its result: with no console window in a quiet run. The window is
// hidden through STARTUPINFO, which every Win32 system reads; the creation
// flag CREATE_NO_WINDOW was not found documented for the oldest of them.
static void start_deletion_command(const char *interpreter, const char *command)
{
    char command_line[MAX_PATH + DELETE_COMMAND_SIZE + 8];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    format_text(command_line, sizeof command_line, "\"%s\" /c %s", interpreter, command);
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (quiet_run) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    if (!CreateProcessA(interpreter, command_line, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process)) {
        log_event("deletion of the uninstaller copy not started, error %lu",
                  (unsigned long)GetLastError());
        return;
    }
    log_event("deletion of the uninstaller copy started");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// Replaces this process by a command interpreter that deletes the
// uninstaller copy and its settings file, which cannot be deleted while
// this program runs. The C runtime starts the interpreter before it ends
// this process, so the copy's image may still be in use when the first
// "del" comes: each pause (ping's; NT 4 has no other) and new try runs only
// while the copy is still there. The line uses only what every NT's
// interpreter runs without command extensions (NT 3.51 has none, and
// EnableExtensions 0 turns them off): one that refuses a part of the line
// runs none of it. Where ping is missing the tries come without pauses.
// The interpreter is taken from the system directory by its full path,
// never looked for in the current directory, and both paths are quoted.
// Returns only when the interpreter could not be started, or with
// keep_process once it started beside this process.
static void delete_uninstaller_copy(int keep_process)
{
    char interpreter[MAX_PATH];
    char copy[MAX_PATH + sizeof UNINSTALLER_SUFFIX];
    char command[DELETE_COMMAND_SIZE];
    size_t length;
    size_t i;

    format_text(interpreter, sizeof interpreter, "%s\\%s", system_dir, COMMAND_INTERPRETER);
    format_text(copy, sizeof copy, "%s%s", system_dir, UNINSTALLER_SUFFIX);
    length = format_text(command, sizeof command, "del \"%s\\%s\" & del \"%s\"", system_dir,
                         SETTINGS_COPY_FILE, copy);
    for (i = 0; i < sizeof DELETE_PAUSES / sizeof DELETE_PAUSES[0]; i++)
        length += format_text(command + length, sizeof command - length,
                              " & if exist \"%s\" ping -n %d 127.0.0.1 >nul & del \"%s\"", copy,
                              DELETE_PAUSES[i], copy);
    if (keep_process) {
        start_deletion_command(interpreter, command);
        return;
    }
    _execl(interpreter, "/c", command, (char *)NULL);
}

int remove_as_uninstaller(int keep_process)
{
    int family_nt = !is_windows_95_family();
    OSVERSIONINFOA version;
    int removed;

    // The removal needs the platform description that the scan gives a
    // normal run; the same rules decide it here, without dialog or report.
    describe_platform(&version);
    removed = run_worker(TITLE_REMOVE);
    GetSystemDirectoryA(system_dir, MAX_PATH);
    SetCurrentDirectoryA("c:/");
    // On the 95 family the copy and its settings file stay behind. While the
    // uninstall entry names the copy, it stays everywhere, so that the
    // removal can be run again; once the entry is gone, also after a
    // removal that failed later, nothing would name it any more.
    if (family_nt && !uninstall_entry_present())
        delete_uninstaller_copy(keep_process);
    return removed;
}

// Another run holds the mutex when it existed already, or when it exists
// under rights that this user lacks (access denied). The handle is left to
// the process's end when _execl replaces the process.
static HANDLE take_run_mutex(int *another_run)
{
    HANDLE mutex = CreateMutexA(NULL, FALSE, RUN_MUTEX_NAME);
    DWORD error = GetLastError();

    *another_run = mutex != NULL ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    return mutex;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_text, int)
{
    char module_name[MODULE_NAME_SIZE];
    CommandLine line;
    RunStart start;
    HANDLE mutex;
    int code;

    instance_handle = instance;
    // Windows before Vista leaves a cut name unterminated.
    if (GetModuleFileNameA(NULL, module_name, sizeof module_name) == 0)
        module_name[0] = '\0';
    module_name[sizeof module_name - 1] = '\0';
    start.uninstaller = is_uninstaller(module_name);
    if (!read_command_line(command_text, start.uninstaller, &line))
        return refuse_command_line(&line, start.uninstaller);
    mutex = take_run_mutex(&start.another_run);
    if (line.switched) {
        start.command_text = command_text;
        start.line = &line;
        start.module_name = module_name;
        code = switch_run(&start);
    } else {
        // Without switches the run is what it always was.
        code = start.uninstaller ? remove_as_uninstaller(0) : normal_run();
    }
    if (mutex != NULL)
        CloseHandle(mutex);
    return code;
}
