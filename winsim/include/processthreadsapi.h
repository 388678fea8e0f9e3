/* winsim: process creation and kernel handles. */
#ifndef WINSIM_PROCESSTHREADSAPI_H
#define WINSIM_PROCESSTHREADSAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif


#ifdef __cplusplus
}
#endif

#endif
