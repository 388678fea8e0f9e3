#include "catalog/text_format.h"

size_t format_text_v(char *buffer, size_t size, const char *format, va_list arguments)
{
    if (size == 0)
        return 0;
    // msvcrt's own formatter: the C++ headers would route vsnprintf to
    // MinGW's, which imports calls the first Windows 95 and NT 4 lack. It
    // neither terminates a cut text nor reports its length, so the end is
    // set and measured here.
    _vsnprintf(buffer, size, format, arguments);
    buffer[size - 1] = '\0';
    return strlen(buffer);
}

size_t format_text(char *buffer, size_t size, const char *format, ...)
{
    va_list arguments;
    size_t length;

    va_start(arguments, format);
    length = format_text_v(buffer, size, format, arguments);
    va_end(arguments);
    return length;
}

// Appends one byte when there is room for it and the terminator.
static void put_byte(char *buffer, size_t size, size_t *length, char c)
{
    if (*length + 1 < size)
        buffer[(*length)++] = c;
}

size_t format_catalog_text(char *buffer, size_t size, const char *text, const char *argument)
{
    size_t length = 0;
    int argument_used = 0;

    if (size == 0)
        return 0;
    if (argument == NULL)
        argument = "";
    while (*text != '\0') {
        if (text[0] == '%' && text[1] == '%') {
            put_byte(buffer, size, &length, '%');
            text += 2;
        } else if (text[0] == '%' && text[1] == 's' && !argument_used) {
            for (const char *p = argument; *p != '\0'; p++)
                put_byte(buffer, size, &length, *p);
            argument_used = 1;
            text += 2;
        } else {
            put_byte(buffer, size, &length, *text);
            text++;
        }
    }
    buffer[length] = '\0';
    return length;
}
