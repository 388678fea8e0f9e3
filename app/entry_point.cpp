// The entry point: the normal run (language, choice, progress, result,
// restart offer) and the uninstaller run (removal, then self-deletion).
#include "app/entry_point.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/platform.h"
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

// 1 when the dialog ended with a non-zero result. A dialog that could not
// be shown (-1) counts as failed, not as done.
static int show_dialog(int template_id, DLGPROC procedure)
{
    return DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(template_id), GetDesktopWindow(),
                           procedure, 0) > 0;
}

// The uninstaller copy is told by the last element of its own file name.
static int is_uninstaller(const char *module_name)
{
    const char *last = strrchr(module_name, '\\');

    return last != NULL && lstrcmpiA(last, UNINSTALLER_SUFFIX) == 0;
}

void prompt_reboot(void)
{
    SetupPromptReboot(NULL, NULL, FALSE);
}

static int normal_run(void)
{
    int run_outcome = 1;

    if (!show_dialog(IDD_LANGUAGE, language_dialog_proc)) {
        run_outcome = 0;
    } else if (!show_dialog(IDD_CHOICE, choice_dialog_proc)) {
        run_outcome = 0;
    } else if (action == ACTION_REMOVE || action == ACTION_INSTALL) {
        DLGPROC worker_dialog =
            action == ACTION_REMOVE ? removal_progress_proc : install_progress_proc;
        if (!show_dialog(IDD_PROGRESS, worker_dialog))
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
// Returns only when the interpreter could not be started.
static void delete_uninstaller_copy(void)
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
    _execl(interpreter, "/c", command, (char *)NULL);
}

// The exit code tells whether the removal succeeded.
static int uninstaller_run(void)
{
    int family_nt = !is_windows_95_family();
    OSVERSIONINFOA version;
    int removed;

    // The removal needs the platform description that the scan gives a
    // normal run; the same rules decide it here, without dialog or report.
    describe_platform(&version);
    removed = show_dialog(IDD_PROGRESS, removal_progress_proc);
    GetSystemDirectoryA(system_dir, MAX_PATH);
    SetCurrentDirectoryA("c:/");
    // On the 95 family the copy and its settings file stay behind. While the
    // uninstall entry names the copy, it stays everywhere, so that the
    // removal can be run again; once the entry is gone, also after a
    // removal that failed later, nothing would name it any more.
    if (family_nt && !uninstall_entry_present())
        delete_uninstaller_copy();
    return removed;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char module_name[MODULE_NAME_SIZE];

    instance_handle = instance;
    // Windows before Vista leaves a cut name unterminated.
    if (GetModuleFileNameA(NULL, module_name, sizeof module_name) == 0)
        module_name[0] = '\0';
    module_name[sizeof module_name - 1] = '\0';
    if (is_uninstaller(module_name))
        return uninstaller_run();
    return normal_run();
}
