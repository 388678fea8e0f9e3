#include "app/run_log.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"

enum {
    TIME_STAMP_SIZE = 32
};

int open_run_log(const char *path)
{
    FILE *file = fopen(path, "a");

    if (file == NULL)
        return 0;
    fclose(file);
    format_text(log_path, sizeof log_path, "%s", path);
    return 1;
}

void log_event(const char *format, ...)
{
    char line[LOG_LINE_SIZE];
    char stamp[TIME_STAMP_SIZE];
    SYSTEMTIME now;
    va_list arguments;
    size_t length;
    FILE *file;

    if (log_path[0] == '\0')
        return;
    GetLocalTime(&now);
    format_text(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear,
                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    va_start(arguments, format);
    length = format_text_v(line, sizeof line, format, arguments);
    va_end(arguments);
    // One event, one line: the system's texts end in a line break, and a
    // result text may hold several; each run of them becomes one blank.
    for (size_t i = 0, kept = 0; i <= length; i++) {
        int line_break = line[i] == '\r' || line[i] == '\n';
        if (line_break && kept > 0 && line[kept - 1] == ' ')
            continue;
        line[kept++] = line_break ? ' ' : line[i];
        if (line[i] == '\0')
            length = kept - 1;
    }
    while (length > 0 && line[length - 1] == ' ')
        line[--length] = '\0';
    // A log that went away during the run costs the line, not the run.
    file = fopen(log_path, "a");
    if (file == NULL)
        return;
    fputs(stamp, file);
    fputs(line, file);
    // fputs of a one-character text would become an fputc import.
    fwrite("\n", 1, 1, file);
    fclose(file);
}
