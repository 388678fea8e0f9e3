// winsim: user32's windows and messages, advapi32's user name, and the
// helpers with which tests open windows of other programs.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <climits>
#include <cstring>

using winsim::ClosesOn;
using winsim::Window;

namespace {

const unsigned long long never = ULLONG_MAX;

// Posted close requests take effect once the other program has run, that
// is once the clock has moved past the moment they were posted.
void settle_windows(Machine &m)
{
    unsigned long long now = winsim::now_ms();
    for (Window &window : m.windows) {
        if (window.open && now > window.closes_after)
            window.open = false;
    }
}

Window *find_window(Machine &m, HWND handle)
{
    for (Window &window : m.windows) {
        if (window.handle == handle)
            return &window;
    }
    return nullptr;
}

// The window if it still exists; closed windows keep their record only for
// the tests.
Window *live_window(Machine &m, HWND handle)
{
    settle_windows(m);
    Window *window = handle == nullptr ? nullptr : find_window(m, handle);
    return window != nullptr && window->open ? window : nullptr;
}

// The journal's name for a window: its class.
std::string window_text(HWND handle)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Window *window = handle == nullptr ? nullptr : find_window(m, handle);
    if (window == nullptr)
        return handle == nullptr ? std::string("NULL") : describe("%p", static_cast<void *>(handle));
    return quoted(window->class_name.c_str());
}

// A class name argument may be an atom in the low word of the pointer.
bool is_atom(LPCSTR name)
{
    return name != nullptr && reinterpret_cast<uintptr_t>(name) < 0x10000;
}

std::string class_text(LPCSTR name)
{
    if (is_atom(name))
        return describe("#%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(name)));
    return quoted(name);
}

// Whether the message makes the window's program close the window (see
// ClosesOn). The low four bits of a system command are the system's own.
bool closes(const Window &window, UINT message, WPARAM wParam)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        return true;
    return message == WM_CLOSE && window.closes_on == ClosesOn::close_message;
}

} // namespace

namespace winsim {

HWND open_window(const std::string &class_name, const std::string &title, ClosesOn closes_on)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    HWND handle = static_cast<HWND>(m.new_handle());
    m.windows.push_back({handle, class_name, title, nullptr, 0, true, closes_on, true, never, {}});
    return handle;
}

bool window_open(HWND window)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return live_window(m, window) != nullptr;
}

std::vector<WindowMessage> window_messages(HWND handle)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Window *window = find_window(m, handle);
    return window == nullptr ? std::vector<WindowMessage>() : window->messages;
}

} // namespace winsim

// Only top-level windows are searched, in the order they were created.
// Class and title compare without regard to case; a NULL class or title
// matches any. No class atoms are registered here. Finding nothing leaves
// the last error as it was.
extern "C" HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    Call call(__func__,
              describe("%s, %s", class_text(lpClassName).c_str(), quoted(lpWindowName).c_str()));
    const HWND none = nullptr;
    if (call.faulted())
        return call.fail_injected(none);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    settle_windows(m);
    for (const Window &window : m.windows) {
        if (!window.open || window.parent != nullptr || is_atom(lpClassName))
            continue;
        if (lpClassName != nullptr && !winsim::same_name(window.class_name, lpClassName))
            continue;
        if (lpWindowName != nullptr && !winsim::same_name(window.text, lpWindowName))
            continue;
        return call.done(window.handle);
    }
    return call.done(none);
}

// The window's program handles a sent message before the call returns;
// what it does not handle itself DefWindowProc answers with 0.
extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Call call(__func__, describe("%s, 0x%04x, %lu, %ld", window_text(hWnd).c_str(), Msg,
                                 static_cast<unsigned long>(wParam), static_cast<long>(lParam)));
    const LRESULT nothing = 0;
    if (call.faulted())
        return call.fail_injected(nothing);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Window *window = live_window(m, hWnd);
    if (window == nullptr)
        return call.fail(nothing, ERROR_INVALID_WINDOW_HANDLE);
    window->messages.push_back({Msg, wParam, lParam, false});
    if (closes(*window, Msg, wParam))
        window->open = false;
    return call.done(nothing);
}

// A posted message waits in the other program's queue: the window closes
// only once that program has run (see settle_windows). A NULL window posts
// to the calling thread's own queue, which succeeds.
extern "C" BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Call call(__func__, describe("%s, 0x%04x, %lu, %ld", window_text(hWnd).c_str(), Msg,
                                 static_cast<unsigned long>(wParam), static_cast<long>(lParam)));
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (hWnd == nullptr)
        return call.done(TRUE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    Window *window = live_window(m, hWnd);
    if (window == nullptr)
        return call.fail(FALSE, ERROR_INVALID_WINDOW_HANDLE);
    window->messages.push_back({Msg, wParam, lParam, true});
    if (closes(*window, Msg, wParam) && window->closes_after == never)
        window->closes_after = winsim::now_ms();
    return call.done(TRUE);
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd)
{
    Call call(__func__, window_text(hWnd));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    return call.done(live_window(m, hWnd) != nullptr ? TRUE : FALSE);
}

// The size goes in as the buffer's and comes back as the name's with its
// terminator: on success, and when the buffer is short (then with
// ERROR_INSUFFICIENT_BUFFER and the buffer untouched).
extern "C" BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer)
{
    Call call(__func__, describe("size %u", pcbBuffer != nullptr ? *pcbBuffer : 0));
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (pcbBuffer == nullptr)
        return call.fail(FALSE, ERROR_INVALID_PARAMETER);
    const std::string &name = winsim::machine().user_name;
    DWORD size = static_cast<DWORD>(name.size() + 1);
    if (lpBuffer == nullptr || size > *pcbBuffer) {
        *pcbBuffer = size;
        return call.fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpBuffer, name.c_str(), size);
    *pcbBuffer = size;
    return call.done(TRUE);
}
