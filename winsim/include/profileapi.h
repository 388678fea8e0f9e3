/* winsim: the win.ini profile calls (winbase.h in the Windows SDK). */
#ifndef WINSIM_PROFILEAPI_H
#define WINSIM_PROFILEAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif


#ifdef __cplusplus
}
#endif

#endif
