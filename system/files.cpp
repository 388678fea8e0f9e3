#include "system/files.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "system/environment.h"

enum {
    COPY_PATH_SIZE = 1024,
    COPY_STATUS_SIZE = 4096,
    COPY_LINE_SIZE = 1024
};

BOOL set_normal_attributes(const char *path)
{
    return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

int delete_file(const char *path)
{
    set_normal_attributes(path);
    return _unlink(path);
}

int copy_file(const char *directory, const char *name, const char *destination,
              const char *new_name)
{
    char source_path[COPY_PATH_SIZE];
    char destination_path[COPY_PATH_SIZE];
    char status[COPY_STATUS_SIZE];

    format_text(source_path, sizeof source_path, "%s\\%s", directory, name);
    format_text(destination_path, sizeof destination_path, "%s\\%s", destination,
                new_name != NULL ? new_name : name);
    if (status_callback != NULL) {
        format_text(status, sizeof status, "Copy %s ...", name);
        status_callback(status);
    }
    // A read-only copy from an earlier installation must not block this one.
    set_normal_attributes(destination_path);
    if (!CopyFileA(source_path, destination_path, FALSE)) {
        capture_last_error();
        return 0;
    }
    set_normal_attributes(destination_path);
    return 1;
}

// Writes one piece of input with every "@" replaced, in bounded output
// pieces, so that no number of "@" can overflow the output line. 0 when the
// stream refused a piece (the disk is full), with the error left as the
// last error.
static int write_substituted(FILE *out, const char *piece)
{
    char line[COPY_LINE_SIZE];
    size_t length = 0;

    for (const char *p = piece; *p != '\0'; p++) {
        const char *insert = *p == '@' ? product_short_name : NULL;
        size_t insert_length = insert != NULL ? strlen(insert) : 1;
        if (length + insert_length >= sizeof line) {
            if (fwrite(line, 1, length, out) != length)
                return 0;
            length = 0;
        }
        if (insert == NULL) {
            line[length++] = *p;
        } else if (insert_length >= sizeof line) {
            if (fputs(insert, out) == EOF)
                return 0;
        } else {
            memcpy(line + length, insert, insert_length);
            length += insert_length;
        }
    }
    return fwrite(line, 1, length, out) == length;
}

// Copies the open source into the open destination and closes the
// destination, whose last piece reaches the disk only then. 0 with the
// error captured when a write failed.
static int write_copy(FILE *in, FILE *out)
{
    char piece[COPY_LINE_SIZE];
    int written = 1;

    // A line longer than the buffer arrives in pieces, each handled alike.
    while (written && fgets(piece, sizeof piece, in) != NULL)
        written = write_substituted(out, piece);
    if (!written)
        capture_last_error();
    if (fclose(out) != 0 && written) {
        capture_last_error();
        written = 0;
    }
    return written;
}

int copy_with_substitution(const char *directory, const char *name, const char *destination,
                           const char *new_name)
{
    char source_path[COPY_PATH_SIZE];
    char destination_path[COPY_PATH_SIZE];
    FILE *in = NULL;
    FILE *out;
    int result = 0;

    format_text(source_path, sizeof source_path, "%s\\%s", directory, name);
    format_text(destination_path, sizeof destination_path, "%s\\%s", destination, new_name);
    in = fopen(source_path, "r");
    if (in == NULL) {
        capture_last_error();
        goto done;
    }
    set_normal_attributes(destination_path);
    out = fopen(destination_path, "w");
    if (out == NULL) {
        capture_last_error();
        goto done;
    }
    result = write_copy(in, out);
    // A cut copy would give the uninstaller half its texts; without the
    // file every text shows its key, and a full disk gets its space back.
    if (!result)
        delete_file(destination_path);
done:
    if (in != NULL)
        fclose(in);
    set_normal_attributes(destination_path);
    return result;
}
