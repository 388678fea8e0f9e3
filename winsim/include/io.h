/* winsim: the low-level file calls of the Windows C runtime's io.h. */
#ifndef WINSIM_IO_H
#define WINSIM_IO_H

#ifdef __cplusplus
extern "C" {
#endif

/* As the Windows C runtime: 0 when deleted; -1 with errno ENOENT when the
 * file is missing, EACCES when it is read-only, a directory or open. */
int _unlink(const char *filename);

#ifdef __cplusplus
}
#endif

#endif
