/* winsim: the win.ini profile calls (winbase.h in the Windows SDK). */
#ifndef WINSIM_PROFILEAPI_H
#define WINSIM_PROFILEAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString);
DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize);

#ifdef __cplusplus
}
#endif

#endif
