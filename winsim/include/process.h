/* winsim: the process and thread calls of the Windows C runtime's process.h. */
#ifndef WINSIM_PROCESS_H
#define WINSIM_PROCESS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*_beginthread_proc_type)(void *);

/* Starts a thread; (uintptr_t)-1 with errno set when it cannot. */
uintptr_t _beginthread(_beginthread_proc_type _StartAddress, unsigned _StackSize, void *_ArgList);

/* Replaces the process by the program; returns -1 with errno set only when
 * that program cannot be started. The arguments end with a null pointer. */
intptr_t _execl(const char *_Filename, const char *_ArgList, ...);

#ifdef __cplusplus
}
#endif

#endif
