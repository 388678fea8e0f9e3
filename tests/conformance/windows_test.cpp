// The window calls the setup makes towards windows that are not its own
// dialog's: looking for the fax server's window, and every call on a
// window that is gone. The dialogs themselves (DialogBoxParamA, EndDialog,
// MessageBoxA) need a user at the screen and are left to winsim's scripted
// user and the end-to-end runs; so is CheckDlgButton, whose answer for a
// window that is gone is not documented (the setup ignores it).
#include "tests/conformance/arrange.h"

namespace
{

// A handle no window has: windows that closed leave such handles behind.
HWND gone_window(void)
{
    return (HWND)(ULONG_PTR)0x7ffe0;
}

} // namespace

CONFORMANCE_TEST(windows, AWindowClassNobodyRegisteredIsNotFound)
{
    POISON();
    CHECK(FindWindowA("ConformanceNoSuchClass", NULL) == NULL);
    CHECK(FindWindowA("ConformanceNoSuchClass", "No such title") == NULL);
    CHECK(GetDesktopWindow() != NULL);
}

CONFORMANCE_TEST(windows, MessagesToAWindowThatIsGoneFail)
{
    POISON();
    CHECK_EQ(SendMessageA(gone_window(), WM_CLOSE, 0, 0), 0);
    CHECK_ERROR(ERROR_INVALID_WINDOW_HANDLE);
    POISON();
    CHECK(!PostMessageA(gone_window(), WM_CLOSE, 0, 0));
    CHECK_ERROR(ERROR_INVALID_WINDOW_HANDLE);
}

CONFORMANCE_TEST(windows, SettingTextsAndStatesOfAWindowThatIsGoneFails)
{
    POISON();
    CHECK(!SetWindowTextA(gone_window(), "Title"));
    CHECK_ERROR(ERROR_INVALID_WINDOW_HANDLE);
    POISON();
    CHECK(!SetDlgItemTextA(gone_window(), 1001, "Status"));
    KNOWN_WINE_DIFFERENCE("GetDlgItem and SetDlgItemTextA leave the last error alone for a "
                          "window that is gone",
                          GetLastError() == ERROR_INVALID_WINDOW_HANDLE);
    POISON();
    CHECK(GetDlgItem(gone_window(), 1001) == NULL);
    KNOWN_WINE_DIFFERENCE("GetDlgItem and SetDlgItemTextA leave the last error alone for a "
                          "window that is gone",
                          GetLastError() == ERROR_INVALID_WINDOW_HANDLE);
    POISON();
    CHECK(!EnableWindow(gone_window(), FALSE));
    CHECK_ERROR(ERROR_INVALID_WINDOW_HANDLE);
    POISON();
    CHECK(!EndDialog(gone_window(), 1));
    CHECK_ERROR(ERROR_INVALID_WINDOW_HANDLE);
}
