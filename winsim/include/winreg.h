/* winsim: the registry calls of the Windows SDK's winreg.h. */
#ifndef WINSIM_WINREG_H
#define WINSIM_WINREG_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif


#ifdef __cplusplus
}
#endif

#endif
