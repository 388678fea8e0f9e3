/* winsim: the C runtime calls that the product's platform header routes to
 * the simulated machine because the host's C library owns their names. */
#ifndef WINSIM_CRT_H
#define WINSIM_CRT_H

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* fopen of the Windows C runtime on the simulated file system: Windows
 * paths, text mode unless "b" is given (reading turns CR LF into LF and stops
 * at Ctrl-Z; writing turns LF into CR LF), errno and the last error set as
 * the Windows C runtime sets them. */
FILE *winsim_fopen(const char *filename, const char *mode);

/* fputs of the Windows C runtime: the text goes into the stream's buffer,
 * and fputs fails when a buffer it filled cannot be written. A test fails
 * it (as the function "fputs") to fail that write, before the buffer that
 * msvcrt gives a stream would be full. */
int winsim_fputs(const char *text, FILE *stream);

/* _vsnprintf of the Windows C runtime: a text that does not fit is cut to
 * count bytes and left unterminated; -1 then, else the length. */
int _vsnprintf(char *buffer, size_t count, const char *format, va_list arguments);

/* malloc that a test can make fail (as the function "malloc"). */
void *winsim_malloc(size_t size);

#ifdef __cplusplus
}
#endif

#endif
