// The user's print window that the setup closes before it touches the
// spooler: a hidden top-level window of class "kxprnwnd_<user name>" that
// ends the program on WM_CLOSE.
#include <windows.h>

#include "setup/product_names.h"

enum { USER_NAME_SIZE = 128, CLASS_NAME_SIZE = 256 };

static LRESULT CALLBACK print_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char user_name[USER_NAME_SIZE];
    char class_name[CLASS_NAME_SIZE];
    DWORD size = sizeof user_name;
    WNDCLASSA window_class;
    MSG message;

    if (!GetUserNameA(user_name, &size))
        return 1;
    lstrcpyA(class_name, PRINT_WINDOW_CLASS_PREFIX);
    lstrcpynA(class_name + lstrlenA(class_name), user_name, CLASS_NAME_SIZE - lstrlenA(class_name));
    ZeroMemory(&window_class, sizeof window_class);
    window_class.lpfnWndProc = print_window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = class_name;
    if (!RegisterClassA(&window_class))
        return 1;
    if (CreateWindowA(class_name, "Print window", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, instance,
                      NULL) == NULL)
        return 1;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
