// The fax server that the package starts on the NT family: a program with no
// visible window that runs until its window is told to close. The setup
// finds it by the window class and posts WM_SYSCOMMAND with SC_CLOSE.
#include <windows.h>

#include "setup/product_names.h"

static const char WINDOW_CLASS[] = FAX_SERVER_WINDOW_CLASS;

static LRESULT CALLBACK server_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        // The low four bits of the command are used by the system.
        if ((wparam & 0xFFF0) == SC_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA window_class;
    MSG message;

    ZeroMemory(&window_class, sizeof window_class);
    window_class.lpfnWndProc = server_window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = WINDOW_CLASS;
    if (!RegisterClassA(&window_class))
        return 1;
    // Never shown: the window exists only to be found and told to close.
    if (CreateWindowA(WINDOW_CLASS, "Fax server", WS_OVERLAPPED, 0, 0, 0, 0, NULL, NULL, instance,
                      NULL) == NULL)
        return 1;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
