// Drives the setup's dialogs the way a person would, for the tests under
// Wine. Runs beside the setup, finds its dialogs by the control ids they
// hold, reads what they show and clicks their buttons. Each argument is one
// command; the commands run in order and each prints one JSON line:
//
//   wait KIND [SECONDS] [optional]  wait for a dialog: language, choice,
//                         progress, result, msgbox; it becomes the current
//                         dialog. A message box or result dialog that comes
//                         instead is a failure, or with "optional" the end
//                         of the wait with no current dialog (a dialog that
//                         may have come and gone too fast to be seen)
//   dump                  title, place and every control of the current dialog
//   click ID              BM_CLICK on an enabled control of the current dialog
//   watch ID [SECONDS] [TEXT]  every text control ID shows (and when) until
//                         the dialog ends, a message box or result dialog
//                         comes up, or the control shows TEXT
//   gone [SECONDS]        wait until the current dialog is gone
//   class NAME            whether a top-level window of that class exists
//   waitclass NAME [SECONDS] [absent]  wait until it exists (or is gone)
//   user                  the user name
//   list                  every top-level window
//
// Exit code 0 when every command succeeded, 2 on a time-out, 3 otherwise.
// The arguments are taken as UTF-16 (wmain), so that a text to wait for
// arrives whatever the code page.
#include "json_lines.h"

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

enum {
    POLL_MS = 5,
    SEND_TIMEOUT_MS = 5000,
    TEXT_SIZE = 4096,
    MESSAGE_BOX_TEXT_ID = 0xFFFF,
    EXIT_TIMEOUT = 2,
    EXIT_FAILED = 3
};

static HWND current;

static std::wstring control_text(HWND window)
{
    wchar_t text[TEXT_SIZE];
    DWORD_PTR length = 0;

    text[0] = L'\0';
    // The window belongs to another process; a hung one must not hang us.
    if (!SendMessageTimeoutW(window, WM_GETTEXT, TEXT_SIZE, (LPARAM)text, SMTO_ABORTIFHUNG,
                             SEND_TIMEOUT_MS, &length))
        return L"";
    text[TEXT_SIZE - 1] = L'\0';
    return text;
}

static std::wstring class_of(HWND window)
{
    wchar_t name[256];

    if (GetClassNameW(window, name, 256) == 0)
        return L"";
    return name;
}

static bool has(HWND dialog, int id)
{
    return GetDlgItem(dialog, id) != NULL;
}

// What kind of the setup's dialogs the window is, by the controls it holds.
static const char *dialog_kind(HWND window)
{
    if (class_of(window) != L"#32770")
        return NULL;
    if (has(window, 2000) && has(window, 2001) && has(window, 2002))
        return "language";
    if (has(window, 1002) && has(window, 1003) && has(window, 1004))
        return "choice";
    if (has(window, MESSAGE_BOX_TEXT_ID))
        return "msgbox";
    if (has(window, 1001) && has(window, IDOK))
        return "progress";
    if (has(window, 1004) && has(window, IDOK))
        return "result";
    return "dialog";
}

struct Found {
    const char *kind;
    HWND window;
    HWND other; // a dialog of another kind that must not be there
    const char *other_kind;
    std::vector<HWND> all;
};

static BOOL CALLBACK collect_window(HWND window, LPARAM data)
{
    Found *found = (Found *)data;

    found->all.push_back(window);
    if (!IsWindowVisible(window))
        return TRUE;
    const char *kind = dialog_kind(window);
    if (kind == NULL)
        return TRUE;
    if (found->kind != NULL && strcmp(kind, found->kind) == 0) {
        if (found->window == NULL)
            found->window = window;
    } else if (strcmp(kind, "msgbox") == 0 || strcmp(kind, "result") == 0) {
        // An error box where another dialog was expected ends the wait.
        found->other = window;
        found->other_kind = kind;
    }
    return TRUE;
}

static Found look_for(const char *kind)
{
    Found found = {kind, NULL, NULL, NULL, {}};

    EnumWindows(collect_window, (LPARAM)&found);
    return found;
}

static std::string rect_json(HWND window)
{
    RECT rect;
    char text[96];

    if (!GetWindowRect(window, &rect))
        return "null";
    snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

static BOOL CALLBACK collect_child(HWND child, LPARAM data)
{
    std::vector<HWND> *children = (std::vector<HWND> *)data;

    children->push_back(child);
    return TRUE;
}

static std::string controls_json(HWND dialog)
{
    std::vector<HWND> children;
    std::string json = "[";

    EnumChildWindows(dialog, collect_child, (LPARAM)&children);
    for (HWND child : children) {
        DWORD_PTR check = 0;
        std::wstring name = class_of(child);
        JsonLine control;
        control.number("id", GetDlgCtrlID(child))
            .text("class", name.c_str())
            .text("text", control_text(child).c_str())
            .boolean("enabled", IsWindowEnabled(child) != 0)
            .boolean("visible", IsWindowVisible(child) != 0);
        if (lstrcmpiW(name.c_str(), L"Button") == 0) {
            SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS,
                                &check);
            control.boolean("checked", check == BST_CHECKED);
        }
        if (json.size() > 1)
            json += ",";
        json += control.str() + "}";
    }
    return json + "]";
}

static void print_window(const char *event, HWND window)
{
    const char *kind = dialog_kind(window);
    JsonLine()
        .ansi("event", event)
        .ansi("kind", kind != NULL ? kind : "")
        .text("title", control_text(window).c_str())
        .text("class", class_of(window).c_str())
        .boolean("visible", IsWindowVisible(window) != 0)
        .raw("rect", rect_json(window))
        .raw("controls", controls_json(window))
        .print();
}

static DWORD seconds_argument(const std::vector<std::string> &words, size_t index,
                              DWORD default_seconds)
{
    if (words.size() <= index)
        return default_seconds * 1000;
    return (DWORD)(atof(words[index].c_str()) * 1000);
}

static int fail(const char *command, const char *why, int code)
{
    JsonLine().ansi("event", "error").ansi("command", command).ansi("why", why).print();
    return code;
}

static int wait_for(const std::vector<std::string> &words)
{
    if (words.size() < 2)
        return fail("wait", "no kind", EXIT_FAILED);
    DWORD limit = seconds_argument(words, 2, 30);
    const char *kind = words[1].c_str();
    bool optional = words.size() > 3 && words[3] == "optional";
    current = NULL;
    for (DWORD start = GetTickCount();;) {
        DWORD waited = GetTickCount() - start;
        Found found = look_for(kind);
        if (found.window != NULL) {
            current = found.window;
            print_window("window", current);
            return 0;
        }
        if (optional && (found.other != NULL || waited >= limit)) {
            JsonLine().ansi("event", "absent").ansi("kind", kind).print();
            return 0;
        }
        if (found.other != NULL) {
            print_window("unexpected", found.other);
            return fail("wait", kind, EXIT_FAILED);
        }
        if (waited >= limit) {
            for (HWND window : found.all) {
                if (IsWindowVisible(window))
                    print_window("visible", window);
            }
            return fail("wait", kind, EXIT_TIMEOUT);
        }
        Sleep(POLL_MS);
    }
}

static HWND current_control(const std::vector<std::string> &words, const char *command)
{
    if (current == NULL || words.size() < 2) {
        fail(command, "no current dialog or no control id", EXIT_FAILED);
        return NULL;
    }
    HWND control = GetDlgItem(current, atoi(words[1].c_str()));
    if (control == NULL)
        fail(command, "no such control", EXIT_FAILED);
    return control;
}

static int click(const std::vector<std::string> &words)
{
    HWND control = current_control(words, "click");
    DWORD_PTR result;

    if (control == NULL)
        return EXIT_FAILED;
    // A person cannot click what is disabled or hidden.
    if (!IsWindowEnabled(control) || !IsWindowVisible(control))
        return fail("click", "control disabled or hidden", EXIT_FAILED);
    JsonLine().ansi("event", "click").number("id", GetDlgCtrlID(control)).print();
    // What the click starts may open the next modal dialog before the
    // message returns; the time-out only keeps us from waiting on it.
    SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &result);
    return 0;
}

static int watch(const std::vector<std::string> &words)
{
    if (current == NULL) {
        // The dialog to watch was not there (an optional wait).
        JsonLine().ansi("event", "watch-end").ansi("reason", "absent").print();
        return 0;
    }
    HWND control = current_control(words, "watch");
    DWORD limit = seconds_argument(words, 2, 60);
    std::string until;
    std::wstring last;
    bool first = true;
    DWORD started = GetTickCount();

    for (size_t i = 3; i < words.size(); i++)
        until += (i > 3 ? " " : "") + words[i];
    if (control == NULL)
        return EXIT_FAILED;
    for (DWORD start = GetTickCount();;) {
        DWORD waited = GetTickCount() - start;
        if (!IsWindow(control) || !IsWindowVisible(current)) {
            JsonLine().ansi("event", "watch-end").ansi("reason", "gone").print();
            return 0;
        }
        std::wstring text = control_text(control);
        if (first || text != last) {
            // ms: when the text was first seen, from the start of the watch.
            JsonLine()
                .ansi("event", "status")
                .text("text", text.c_str())
                .number("ms", (long long)(GetTickCount() - started))
                .print();
            last = text;
            first = false;
        }
        if (!until.empty() && JsonLine::utf8(text.c_str()) == until) {
            JsonLine().ansi("event", "watch-end").ansi("reason", "text").print();
            return 0;
        }
        Found found = look_for("");
        if (found.other != NULL) {
            JsonLine()
                .ansi("event", "watch-end")
                .ansi("reason", found.other_kind)
                .text("text", text.c_str())
                .print();
            return 0;
        }
        if (waited >= limit)
            return fail("watch", "time-out", EXIT_TIMEOUT);
        Sleep(POLL_MS);
    }
}

static int gone(const std::vector<std::string> &words)
{
    DWORD limit = seconds_argument(words, 1, 30);

    if (current == NULL)
        return fail("gone", "no current dialog", EXIT_FAILED);
    for (DWORD start = GetTickCount();;) {
        DWORD waited = GetTickCount() - start;
        if (!IsWindow(current) || !IsWindowVisible(current)) {
            JsonLine().ansi("event", "gone").print();
            current = NULL;
            return 0;
        }
        if (waited >= limit)
            return fail("gone", "time-out", EXIT_TIMEOUT);
        Sleep(POLL_MS);
    }
}

static int class_present(const std::vector<std::string> &words, bool wait)
{
    if (words.size() < 2)
        return fail("class", "no class name", EXIT_FAILED);
    bool want_present = !(words.size() > 3 && words[3] == "absent");
    DWORD limit = wait ? seconds_argument(words, 2, 30) : 0;
    for (DWORD start = GetTickCount();;) {
        DWORD waited = GetTickCount() - start;
        bool present = FindWindowA(words[1].c_str(), NULL) != NULL;
        if (!wait || present == want_present || waited >= limit) {
            JsonLine()
                .ansi("event", "class")
                .ansi("name", words[1].c_str())
                .boolean("present", present)
                .print();
            if (wait && present != want_present)
                return fail("waitclass", words[1].c_str(), EXIT_TIMEOUT);
            return 0;
        }
        Sleep(POLL_MS * 10);
    }
}

static int user(void)
{
    char name[256];
    DWORD size = sizeof name;

    if (!GetUserNameA(name, &size))
        return fail("user", "GetUserNameA failed", EXIT_FAILED);
    JsonLine().ansi("event", "user").ansi("name", name).print();
    return 0;
}

static BOOL CALLBACK print_top_level(HWND window, LPARAM)
{
    DWORD process = 0;

    GetWindowThreadProcessId(window, &process);
    JsonLine()
        .ansi("event", "top-level")
        .text("class", class_of(window).c_str())
        .text("title", control_text(window).c_str())
        .boolean("visible", IsWindowVisible(window) != 0)
        .number("process", process)
        .print();
    return TRUE;
}

// The words of one command, as UTF-8.
static std::vector<std::string> split_words(const wchar_t *command)
{
    std::vector<std::string> words;
    std::wstring word;

    for (const wchar_t *p = command;; p++) {
        if (*p == L' ' || *p == L'\0') {
            if (!word.empty())
                words.push_back(JsonLine::utf8(word.c_str()));
            word.clear();
            if (*p == L'\0')
                return words;
        } else {
            word += *p;
        }
    }
}

static int run(const std::vector<std::string> &words)
{
    const std::string &verb = words[0];

    if (verb == "wait")
        return wait_for(words);
    if (verb == "dump") {
        if (current == NULL)
            return fail("dump", "no current dialog", EXIT_FAILED);
        print_window("dump", current);
        return 0;
    }
    if (verb == "click")
        return click(words);
    if (verb == "watch")
        return watch(words);
    if (verb == "gone")
        return gone(words);
    if (verb == "class")
        return class_present(words, false);
    if (verb == "waitclass")
        return class_present(words, true);
    if (verb == "user")
        return user();
    if (verb == "list") {
        EnumWindows(print_top_level, 0);
        return 0;
    }
    if (verb == "sleep") {
        Sleep(atoi(words.size() > 1 ? words[1].c_str() : "0"));
        return 0;
    }
    return fail(verb.c_str(), "unknown command", EXIT_FAILED);
}

int wmain(int argc, wchar_t **argv)
{
    for (int i = 1; i < argc; i++) {
        std::vector<std::string> words = split_words(argv[i]);
        if (words.empty())
            continue;
        int code = run(words);
        if (code != 0)
            return code;
    }
    return 0;
}
