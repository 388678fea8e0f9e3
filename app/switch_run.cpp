// The switch run: the program's folder as the current directory, the log,
// then the dialogs the switches answer, run without them, and an exit code
// of the one table.
#include "app/switch_run.h"

#include "app/entry_point.h"
#include "app/exit_codes.h"
#include "app/run_log.h"
#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/message_keys.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/brand_variant.h"
#include "setup/installation_check.h"
#include "setup/platform_branch.h"
#include "setup/scan.h"
#include "setup/steps.h"
#include "system/environment.h"
#include "ui/user_interface.h"

enum {
    USER_NAME_SIZE = 257, // UNLEN + 1
    BOX_TEXT_SIZE = 1024
};

static const char DEFAULT_LOG_NAME[] = "zantrel.log";

static const char SETUP_USAGE[] =
    "setup [/INSTALL | /REMOVE | /CHECK | /?] [/LANG=ger|eng|fre] [/Q] [/NORESTART] "
    "[/LOG[=path]]\r\n\r\n"
    "/INSTALL, /REMOVE\tinstall or remove without the choice dialog\r\n"
    "/CHECK\t\ttell what is installed, change nothing\r\n"
    "/LANG=code\tthe language, without the language dialog\r\n"
    "/Q\t\tno window at all (needs /INSTALL, /REMOVE, /CHECK or /?)\r\n"
    "/NORESTART\tno restart offer\r\n"
    "/LOG[=path]\tappend a log (default: zantrel.log in TEMP; a relative path is "
    "taken in the program's folder)\r\n"
    "/?, /HELP\tthis text";
static const char UNINSTALLER_USAGE[] =
    "rmzantr [/Q] [/NORESTART] [/LOG[=path]] [/?]\r\n\r\n"
    "/Q\t\tno window at all\r\n"
    "/NORESTART\tno restart offer\r\n"
    "/LOG[=path]\tappend a log (default: zantrel.log in TEMP)\r\n"
    "/?, /HELP\tthis text";

// The program's folder: the module name up to its last backslash, which
// stays after a drive ("D:" alone names the drive's current folder).
static void folder_of_module(const char *module_name, char *folder, size_t size)
{
    const char *last = strrchr(module_name, '\\');
    size_t length = last != NULL ? (size_t)(last - module_name) : 0;

    if (length > 0 && module_name[length - 1] == ':')
        length++;
    format_text(folder, size, "%.*s", (int)length, module_name);
}

static int open_log(const CommandLine *line)
{
    char path[LOG_PATH_SIZE];
    char temp[MAX_PATH];
    DWORD length;

    if (line->log_path[0] != '\0')
        return open_run_log(line->log_path);
    length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp)
        return 0;
    if (format_text(path, sizeof path, "%s%s", temp, DEFAULT_LOG_NAME) + 1 >= sizeof path)
        return 0;
    return open_run_log(path);
}

static void log_start(const RunStart *start, const char *program_folder, const char *start_folder)
{
    char user[USER_NAME_SIZE];
    DWORD size = sizeof user;

    if (!GetUserNameA(user, &size))
        format_text(user, sizeof user, "(unknown, error %lu)", (unsigned long)GetLastError());
    log_event("start %s %s, command line \"%s\", program folder %s, current folder %s, user %s",
              start->uninstaller ? "rmzantr" : "setup", SETUP_VERSION_TEXT, start->command_text,
              program_folder, start_folder, user);
}

// A box of the switch run; none in a quiet run.
static void show_box(const char *text, UINT icon)
{
    if (!quiet_run)
        MessageBoxA(NULL, text, make_window_title(TITLE_INSTALL), MB_OK | icon);
}

int refuse_command_line(const CommandLine *line, int uninstaller)
{
    char text[BOX_TEXT_SIZE];

    quiet_run = line->quiet;
    format_text(text, sizeof text, "Unknown or wrong: %s\r\n\r\n%s", line->wrong_word,
                uninstaller ? UNINSTALLER_USAGE : SETUP_USAGE);
    show_box(text, MB_ICONERROR);
    return EXIT_BAD_COMMAND_LINE;
}

// 1 when this Windows takes the package: the platform folders name it.
static int platform_supported(void)
{
    OSVERSIONINFOA version;
    int platform = describe_platform(&version);

    log_event("platform %lu, version %lu.%lu.%lu, branch %s", (unsigned long)version.dwPlatformId,
              (unsigned long)version.dwMajorVersion, (unsigned long)version.dwMinorVersion,
              (unsigned long)version.dwBuildNumber,
              platform == PLATFORM_SUPPORTED ? platform_tag : "none (not supported)");
    return platform == PLATFORM_SUPPORTED;
}

// Answers the language dialog; 0 with the exit code when the run stops.
static int choose_language(const CommandLine *line, int *code)
{
    char file_name[LANGUAGE_FILE_NAME_SIZE];
    const char *language = line->language;

    if (language == NULL && !line->quiet) {
        if (show_dialog(IDD_LANGUAGE, language_dialog_proc))
            return 1;
        *code = EXIT_CANCELLED;
        return 0;
    }
    // A quiet run without /LANG takes the dialog's preset.
    if (language == NULL)
        language = brand_variant()->language_code;
    name_language_file(file_name, sizeof file_name, language);
    if (!file_exists(file_name)) {
        log_event("language file %s missing", file_name);
        *code = EXIT_LANGUAGE_MISSING;
        return 0;
    }
    select_language(language);
    log_event("language %s", language);
    return 1;
}

// Answers the choice dialog: action set, or 0 with the exit code.
static int choose_action(const CommandLine *line, int *code)
{
    if (line->action == SWITCH_ACTION_NONE) {
        if (!show_dialog(IDD_CHOICE, choice_dialog_proc) || action == ACTION_NONE) {
            *code = EXIT_CANCELLED;
            return 0;
        }
        return 1;
    }
    scan_platform();
    // As the choice dialog's REMOVE: nothing to remove without the print
    // processor.
    if (line->action == SWITCH_REMOVE && !processor_installed) {
        log_event("nothing installed to remove");
        *code = EXIT_NOT_INSTALLED;
        return 0;
    }
    action = line->action == SWITCH_REMOVE ? ACTION_REMOVE : ACTION_INSTALL;
    return 1;
}

// The restart offer of a run that changed the machine, and the exit code.
static int finish(const CommandLine *line, int succeeded)
{
    int accepted;

    if (line->quiet || line->no_restart)
        return succeeded ? EXIT_RESTART_REQUIRED : EXIT_FAILED;
    accepted = prompt_reboot();
    log_event("restart offer: %s", accepted ? "accepted" : "declined");
    if (!succeeded)
        return EXIT_FAILED;
    return accepted ? EXIT_RESTARTING : EXIT_RESTART_REQUIRED;
}

static int install_or_remove(const CommandLine *line)
{
    int install = action == ACTION_INSTALL;
    int succeeded = run_worker(install);
    const char *key = compose_result_text(install, succeeded);

    log_event("result %s", key);
    if (!quiet_run)
        show_dialog(IDD_RESULT, result_dialog_proc);
    return finish(line, succeeded);
}

static int setup_switch_run(const CommandLine *line)
{
    int code;

    if (!choose_language(line, &code))
        return code;
    if (line->action == SWITCH_CHECK) {
        scan_platform();
        return check_installation();
    }
    if (!choose_action(line, &code))
        return code;
    return install_or_remove(line);
}

// The uninstaller copy reports the removal's real result; it asks no
// restart of its own.
static int uninstaller_switch_run(void)
{
    int removed = remove_as_uninstaller(1);

    log_event("result %s", removed ? KEY_REMOVE_OK : KEY_REMOVE_FAILED);
    return removed ? EXIT_RESTART_REQUIRED : EXIT_FAILED;
}

static int run_switches(const RunStart *start)
{
    const CommandLine *line = start->line;

    if (start->another_run) {
        log_event("another run of the setup is in progress");
        return EXIT_ALREADY_RUNNING;
    }
    if (line->action == SWITCH_HELP) {
        show_box(start->uninstaller ? UNINSTALLER_USAGE : SETUP_USAGE, MB_ICONINFORMATION);
        return EXIT_DONE;
    }
    if (!platform_supported())
        return EXIT_PLATFORM_UNSUPPORTED;
    if (start->uninstaller)
        return uninstaller_switch_run();
    return setup_switch_run(line);
}

int switch_run(const RunStart *start)
{
    char program_folder[MAX_PATH];
    char start_folder[MAX_PATH];
    int code;

    quiet_run = start->line->quiet;
    // A logon script starts the program from anywhere; the language files
    // and the variant marker lie beside it.
    if (GetCurrentDirectoryA(sizeof start_folder, start_folder) == 0)
        start_folder[0] = '\0';
    folder_of_module(start->module_name, program_folder, sizeof program_folder);
    SetCurrentDirectoryA(program_folder);
    if (start->line->log && !open_log(start->line))
        return EXIT_LOG_FAILED;
    log_start(start, program_folder, start_folder);
    code = run_switches(start);
    log_event("exit code %d", code);
    return code;
}
