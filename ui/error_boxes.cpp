#include "ui/user_interface.h"

#include "app/run_log.h"
#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "catalog/text_format.h"
#include "catalog/message_keys.h"
#include "resources/resource.h"

enum {
    ERROR_BOX_TEXT_SIZE = 4096,
    // A spooler left stopped stops all printing: a quiet run tries its
    // start this many times more before it gives up.
    QUIET_SPOOLER_RETRIES = 2
};

static const DWORD SYSTEM_TEXT_FLAGS =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The system's text for an error code, or a text that names the code when
// the system has none. *system_text is to be freed with LocalFree.
static void describe_error(DWORD code, DWORD language, char **system_text, char *fallback,
                           size_t fallback_size)
{
    *system_text = NULL;
    if (FormatMessageA(SYSTEM_TEXT_FLAGS, NULL, code, language, (LPSTR)system_text, 0, NULL) != 0)
        return;
    *system_text = NULL;
    format_text(fallback, fallback_size, "Error %lu", (unsigned long)code);
}

// A service that ended in its start said why only in its own number, which
// the system text cannot tell.
static void log_service_exit_code(DWORD code)
{
    if (code == ERROR_SERVICE_SPECIFIC_ERROR)
        log_event("the service's own exit code %lu", (unsigned long)service_exit_code);
}

void show_message(const char *key)
{
    log_event("message %s", key);
    if (!quiet_run)
        show_dialog(IDD_RESULT, result_dialog_proc);
}

DWORD show_system_error(DWORD code)
{
    char fallback[32];
    char *system_text;

    describe_error(code, 0, &system_text, fallback, sizeof fallback);
    format_text(message_text, sizeof message_text, "%s",
                system_text != NULL ? system_text : fallback);
    log_event("windows error %lu: %s", (unsigned long)code, message_text);
    log_service_exit_code(code);
    if (!quiet_run)
        show_dialog(IDD_RESULT, result_dialog_proc);
    if (system_text != NULL)
        LocalFree(system_text);
    return code;
}

// What no one is asked in a quiet run: never Ignore, which would go on
// over a failure.
static int quiet_answer(const char *key)
{
    if (strcmp(key, KEY_SETUP_CANT_START_SPOOLER) == 0 && spooler_retries < QUIET_SPOOLER_RETRIES) {
        spooler_retries++;
        return IDRETRY;
    }
    return IDABORT;
}

static const char *answer_name(int answer)
{
    return answer == IDABORT    ? "Abort"
           : answer == IDRETRY  ? "Retry"
           : answer == IDIGNORE ? "Ignore"
                                : "none (no box)";
}

int ask_on_error(const char *key, int install)
{
    char text[ERROR_BOX_TEXT_SIZE];
    char fallback[32];
    char *system_text;
    int answer;

    describe_error(last_error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), &system_text, fallback,
                   sizeof fallback);
    format_text(text, sizeof text, "%s\r\n%s", lookup_text(key, key),
                system_text != NULL ? system_text : fallback);
    if (quiet_run) {
        answer = quiet_answer(key);
    } else {
        make_window_title(install);
        answer = MessageBoxA(progress_dialog, text, window_title,
                             MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_SETFOREGROUND);
    }
    log_event("question %s, answer %s, error %lu: %s", key, answer_name(answer),
              (unsigned long)last_error, system_text != NULL ? system_text : fallback);
    log_service_exit_code(last_error);
    if (system_text != NULL)
        LocalFree(system_text);
    return answer;
}
