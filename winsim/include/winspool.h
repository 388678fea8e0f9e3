/* winsim: the spooler interface of the Windows SDK's winspool.h that the
 * setup program uses. */
#ifndef WINSIM_WINSPOOL_H
#define WINSIM_WINSPOOL_H

#include <windows.h>

#endif
