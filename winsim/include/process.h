/* winsim: the process and thread calls of the Windows C runtime's process.h. */
#ifndef WINSIM_PROCESS_H
#define WINSIM_PROCESS_H

#endif
