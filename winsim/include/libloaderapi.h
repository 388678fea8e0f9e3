/* winsim: loading a library and looking up its functions at run time. */
#ifndef WINSIM_LIBLOADERAPI_H
#define WINSIM_LIBLOADERAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef INT_PTR(WINAPI *FARPROC)();

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);

#ifdef __cplusplus
}
#endif

#endif
