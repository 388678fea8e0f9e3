/* winsim: user32 of the Windows SDK's winuser.h: windows, dialogs, message boxes. */
#ifndef WINSIM_WINUSER_H
#define WINSIM_WINUSER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WM_CLOSE 0x0010
#define WM_SYSCOMMAND 0x0112
#define SC_CLOSE 0xF060

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL WINAPI IsWindow(HWND hWnd);


#ifdef __cplusplus
}
#endif

#endif
