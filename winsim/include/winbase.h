/* winsim: the kernel calls of the Windows SDK's winbase.h that windows.h does not
 * declare itself: system message texts, local memory, string comparison. */
#ifndef WINSIM_WINBASE_H
#define WINSIM_WINBASE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif


#ifdef __cplusplus
}
#endif

#endif
