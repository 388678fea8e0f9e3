#include "catalog/language_file.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"

enum { CTRL_Z = 0x1A };

static void store_byte(LineReader *reader, char c)
{
    // A full line takes nothing more; the rest of its physical line is lost.
    if (reader->length < LANGUAGE_LINE_MAX)
        reader->line[reader->length++] = c;
}

int read_logical_line(LineReader *reader)
{
    int c;

    reader->length = 0;
    reader->position = 0;
    if (feof(reader->file))
        return 0;
    for (;;) {
        c = fgetc(reader->file);
        if (c == EOF)
            break;
        if (c == '\\') {
            c = fgetc(reader->file);
            if (c == 'n') {
                store_byte(reader, '\r');
                store_byte(reader, '\n');
            } else if (c == 't') {
                store_byte(reader, '\t');
            } else if (c != '\n' && c != EOF) {
                // Any other byte is read again as if it stood alone.
                ungetc(c, reader->file);
            }
        } else if (c != '\r' && c != '\n') {
            store_byte(reader, (char)c);
        }
        if (feof(reader->file))
            break;
        if (c == '\n' && reader->length > 0)
            break;
    }
    return reader->length > 0;
}

static int is_blank(char c)
{
    return c == ' ' || c == '\t';
}

void split_entry_line(char *key, char *value, LineReader *reader)
{
    const char *line = reader->line;
    int end = reader->length;
    int pos = reader->position;
    int count = 0;

    key[0] = '\0';
    value[0] = '\0';
    while (pos < end && is_blank(line[pos]))
        pos++;
    if (pos >= end || line[pos] == ';') {
        reader->position = pos;
        return;
    }
    while (pos < end && line[pos] != ':')
        key[count++] = line[pos++];
    key[count] = '\0';
    pos++;
    while (pos < end && (is_blank(line[pos]) || line[pos] == '"'))
        pos++;
    count = 0;
    while (pos < end)
        value[count++] = line[pos++];
    reader->position = pos;
    // A closing quote, with blanks after it, is cut off.
    int last = count;
    while (last > 0 && value[last - 1] == ' ')
        last--;
    if (last > 0 && value[last - 1] == '"')
        count = last - 1;
    value[count] = '\0';
}

// Adds one line's key and value to the table; a repeated key takes the new
// value. Returns 0 when memory runs out.
static int add_entry(StringTable *table, const char *key, const char *value)
{
    CatalogEntry *entry = (CatalogEntry *)malloc(sizeof *entry);
    TableNode *node;

    if (entry == NULL)
        return 0;
    strcpy(entry->key, key);
    strcpy(entry->value, value);
    node = table_insert(table, entry);
    if (node == NULL) {
        free(entry);
        return 0;
    }
    if (node->entry != entry) {
        strcpy(node->entry->value, entry->value);
        free(entry);
    }
    return 1;
}

int load_message_file(const char *file_name)
{
    char name[CATALOG_TEXT_MAX + 1];
    char key[CATALOG_TEXT_MAX + 1];
    char value[CATALOG_TEXT_MAX + 1];
    LineReader reader;
    int held;
    int entries = 0;

    table_release(message_table);
    message_table = table_create(compare_entry_keys);
    if (message_table == NULL)
        return -1;
    format_text(name, sizeof name, "%s", file_name);
    reader.file = fopen(name, "r");
    if (reader.file == NULL)
        return -1;
    while (read_logical_line(&reader)) {
        split_entry_line(key, value, &reader);
        if (key[0] == '\0')
            continue;
        // Past the limit only the keys already held are read.
        held = table_find(message_table, key) != NULL;
        if (!held && entries == CATALOG_ENTRY_LIMIT)
            continue;
        // Out of memory: keep what was read so far.
        if (!add_entry(message_table, key, value))
            break;
        if (!held)
            entries++;
    }
    fclose(reader.file);
    return 0;
}

void name_language_file(char *buffer, size_t size, const char *code)
{
    format_text(buffer, size, "lang.%s", code);
}

void select_language(const char *code)
{
    language_code = code;
    name_language_file(language_file_name, LANGUAGE_FILE_NAME_SIZE, code);
    load_message_file(language_file_name);
}
