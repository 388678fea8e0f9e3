// Bounded text formatting. Every composed text of the program goes through
// one of these two helpers: they cut what does not fit and always terminate.
#ifndef SETUP_TEXT_FORMAT_H
#define SETUP_TEXT_FORMAT_H

#include "system/platform.h"

// printf-style formatting with a format written in the program itself.
// Returns the length of the text in the buffer.
size_t format_text(char *buffer, size_t size, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// The same with the arguments already taken.
size_t format_text_v(char *buffer, size_t size, const char *format, va_list arguments)
#ifdef __GNUC__
    __attribute__((format(printf, 3, 0)))
#endif
    ;

// Formats a text taken from a language file, which is never trusted as a
// printf format: the first "%s" takes the argument, "%%" becomes "%", and
// every other "%" sequence is copied as it stands. Returns the length.
size_t format_catalog_text(char *buffer, size_t size, const char *text, const char *argument);

#endif
