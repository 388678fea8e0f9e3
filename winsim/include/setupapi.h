/* winsim: the Setup API of the Windows SDK's setupapi.h that the setup
 * program uses. */
#ifndef WINSIM_SETUPAPI_H
#define WINSIM_SETUPAPI_H

#include <windows.h>

#endif
