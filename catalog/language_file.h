// Language files: reading them line by line, splitting a line into key and
// value, loading a file as the message catalog, and choosing the language.
#ifndef SETUP_LANGUAGE_FILE_H
#define SETUP_LANGUAGE_FILE_H

#include "catalog/string_table.h"

enum {
    LANGUAGE_LINE_MAX = 1024,
    // The program looks up a few dozen keys, and each entry takes two
    // kilobytes: keys past this many are not kept, so that no file can
    // take the machine's memory.
    CATALOG_ENTRY_LIMIT = 512
};

// The state of one reading pass over a language file.
struct LineReader {
    FILE *file;
    char line[LANGUAGE_LINE_MAX]; // the stored bytes, not terminated
    int length;
    int position; // split cursor into line
};

// Reads the next non-empty logical line into reader->line, expanding the
// escapes and dropping CRs. Bytes past LANGUAGE_LINE_MAX are dropped up to
// the end of the physical line. Non-zero when a line was stored.
int read_logical_line(LineReader *reader);

// Splits the stored line into key and value, each a terminated text in a
// buffer of CATALOG_TEXT_MAX + 1 bytes. An empty key means: ignore the line.
void split_entry_line(char *key, char *value, LineReader *reader);

// Replaces the message catalog by the contents of the file: 0 when it was
// read, -1 when it cannot be opened (the catalog is then empty). Keys after
// the first CATALOG_ENTRY_LIMIT are passed over; a repeated key takes the
// new value.
int load_message_file(const char *file_name);

// The file of a language: "lang.<code>".
void name_language_file(char *buffer, size_t size, const char *code);

// Sets the language (one of LANGUAGE_CODES), names its file and loads that
// file from the current directory.
void select_language(const char *code);

#endif
