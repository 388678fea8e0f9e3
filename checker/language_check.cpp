#include "checker/language_check.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "catalog/language_file.h"
#include "catalog/message_keys.h"
#include "checker/product_machine.h"

namespace
{

struct Finding {
    int line;
    Level level;
    std::string message;
};

// One line of the file as stored, up to a Ctrl-Z: text mode ends there.
struct PhysicalLine {
    size_t start;
    size_t length;     // without the line end
    bool gives_a_line; // the reader stores a byte of it: a logical line of its own
};

struct FileCheck {
    const char *path;
    std::string bytes;
    size_t readable; // bytes before a Ctrl-Z
    std::vector<PhysicalLine> lines;
    std::vector<Finding> findings;
    std::map<std::string, int> last_definition;
    std::set<std::string> blank_before_colon; // the table keys meant that way
};

void flag(FileCheck *check, int line, Level level, const std::string &message)
{
    check->findings.push_back({line, level, message});
}

int last_line(const FileCheck *check)
{
    return check->lines.empty() ? 1 : (int)check->lines.size();
}

std::string hex_byte(unsigned char c)
{
    static const char DIGITS[] = "0123456789ABCDEF";
    return std::string(1, DIGITS[c >> 4]) + DIGITS[c & 15];
}

// A text in quotes, bytes outside printable ASCII as \xHH.
std::string quoted(const std::string &text)
{
    std::string result = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7F)
            result += "\\x" + hex_byte(c);
        else
            result += (char)c;
    }
    return result + "\"";
}

bool read_whole_file(const char *path, std::string *bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    *bytes = content.str();
    return !in.bad();
}

// Splits the readable bytes into lines. The reader drops every CR and every
// backslash that does not start "\n" or "\t"; a line of nothing else gives it
// no byte, and it reads on into the next line.
void split_lines(FileCheck *check)
{
    size_t end = check->bytes.find('\x1A');
    check->readable = end == std::string::npos ? check->bytes.size() : end;
    size_t start = 0;
    while (start < check->readable) {
        size_t newline = check->bytes.find('\n', start);
        size_t stop =
            newline == std::string::npos || newline > check->readable ? check->readable : newline;
        size_t length = stop - start;
        if (newline == stop && length > 0 && check->bytes[stop - 1] == '\r')
            length--;
        std::string text = check->bytes.substr(start, stop - start);
        bool gives = text.find_first_not_of("\r\\") != std::string::npos;
        check->lines.push_back({start, length, gives});
        start = stop + 1;
    }
}

// The length of a well-formed UTF-8 multi-byte sequence at pos, or 0.
size_t utf8_sequence_at(const std::string &bytes, size_t pos, size_t end)
{
    unsigned char lead = (unsigned char)bytes[pos];
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || pos + length > end)
        return 0;
    // No overlong forms, no surrogates, nothing above U+10FFFF.
    unsigned char second = (unsigned char)bytes[pos + 1];
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high)
        return 0;
    for (size_t i = 2; i < length; i++)
        if (((unsigned char)bytes[pos + i] & 0xC0) != 0x80)
            return 0;
    return length;
}

unsigned long code_point(const std::string &bytes, size_t pos, size_t length)
{
    static const unsigned char LEAD_BITS[] = {0, 0, 0x1F, 0x0F, 0x07};
    unsigned long value = (unsigned char)bytes[pos] & LEAD_BITS[length];
    for (size_t i = 1; i < length; i++)
        value = (value << 6) | ((unsigned char)bytes[pos + i] & 0x3F);
    return value;
}

// The byte-order marks, UTF-8 text and a Ctrl-Z with text after it.
void check_bytes(FileCheck *check)
{
    const std::string &bytes = check->bytes;
    size_t skip = 0;

    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        flag(check, 1, LEVEL_ERROR,
             "UTF-8 byte-order mark: the program reads its three bytes as text of the first "
             "line; save the file as Windows-1252 without it");
        skip = 3;
    } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        flag(check, 1, LEVEL_ERROR,
             "UTF-16 byte-order mark: the program reads single bytes; save the file as "
             "Windows-1252");
        skip = 2;
    }

    // UTF-8 shows as two or three wrong characters per letter. A file that
    // is UTF-8 throughout was saved so by mistake: an error. Where the rest
    // is Windows-1252, a pair such as "ß»" is valid UTF-8 as well: a warning.
    std::vector<Finding> utf8;
    bool other_high_bytes = false;
    for (size_t n = 0; n < check->lines.size(); n++) {
        const PhysicalLine &line = check->lines[n];
        size_t end = line.start + line.length;
        size_t count = 0;
        std::string first;
        for (size_t i = std::max(line.start, skip); i < end; i++) {
            if ((unsigned char)bytes[i] < 0x80)
                continue;
            size_t length = utf8_sequence_at(bytes, i, end);
            if (length == 0) {
                other_high_bytes = true;
                continue;
            }
            if (count++ == 0) {
                for (size_t k = 0; k < length; k++)
                    first += (k ? " " : "") + hex_byte((unsigned char)bytes[i + k]);
                char code[16];
                snprintf(code, sizeof code, "U+%04lX", code_point(bytes, i, length));
                first += std::string(" (") + code + ")";
            }
            i += length - 1;
        }
        if (count > 0)
            utf8.push_back({(int)n + 1, LEVEL_ERROR,
                            "UTF-8 text (" + std::to_string(count) + " sequence" +
                                (count > 1 ? "s" : "") + ", the first " + first +
                                "): the program shows Windows-1252, so each shows as several "
                                "wrong characters"});
    }
    for (Finding &finding : utf8) {
        if (other_high_bytes) {
            finding.level = LEVEL_WARNING;
            finding.message += "; the rest of the file is Windows-1252, check these bytes";
        }
        check->findings.push_back(finding);
    }

    if (check->readable < bytes.size() &&
        bytes.find_first_not_of("\x1A\r\n \t", check->readable) != std::string::npos) {
        int line = 1 + (int)std::count(bytes.begin(), bytes.begin() + check->readable, '\n');
        flag(check, line, LEVEL_WARNING,
             "Ctrl-Z (0x1A): the program stops reading the file here and ignores the text after "
             "it");
    }
}

// "%s" and the '%' sequences that no formatting takes, as the catalog's
// formatting sees them ("%%" is one percent sign).
void count_conversions(const char *value, int *names, int *doubled, std::string *stray)
{
    *names = 0;
    *doubled = 0;
    for (const char *p = value; *p != '\0'; p++) {
        if (*p != '%')
            continue;
        if (p[1] == '%') {
            ++*doubled;
        } else if (p[1] == 's') {
            ++*names;
        } else if (stray->empty()) {
            *stray = p[1] == '\0' ? "%" : std::string(p, 2);
        }
        if (p[1] != '\0')
            p++;
    }
}

void check_conversions(FileCheck *check, int line, const MessageKey *key, const char *value)
{
    int names;
    int doubled;
    std::string stray;
    std::string name = quoted(key->key);

    count_conversions(value, &names, &doubled, &stray);
    switch (key->use) {
    case MESSAGE_WITH_NAME:
        if (names == 0)
            flag(check, line, LEVEL_ERROR,
                 name + " has no \"%s\": the product's name is not shown");
        else if (names > 1)
            flag(check, line, LEVEL_ERROR,
                 name + " has " + std::to_string(names) +
                     " \"%s\": only the first takes the product's name, the others are shown "
                     "as \"%s\"");
        if (!stray.empty())
            flag(check, line, LEVEL_ERROR,
                 name + ": " + quoted(stray) +
                     " is shown as it stands; only one \"%s\" and \"%%\" are allowed");
        break;
    case MESSAGE_WITHOUT_ARGUMENT:
        if (names > 0)
            flag(check, line, LEVEL_ERROR,
                 name + " is formatted without an argument: its \"%s\" shows nothing");
        if (!stray.empty())
            flag(check, line, LEVEL_ERROR,
                 name + ": " + quoted(stray) +
                     " is shown as it stands; only \"%%\" (a percent sign) is allowed");
        break;
    case MESSAGE_AS_IS:
        if (names > 0 || doubled > 0)
            flag(check, line, LEVEL_WARNING,
                 name + " is shown as it stands, with no formatting: " +
                     (names > 0 ? "\"%s\"" : "\"%%\"") + " appears literally");
        break;
    }
}

// Edits that turn one text into the other, letter case not counted.
size_t edit_distance(const std::string &a, const std::string &b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); j++)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); i++) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); j++) {
            size_t above = row[j];
            bool same = tolower((unsigned char)a[i - 1]) == tolower((unsigned char)b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The key of the table that the text was probably meant to be, or null.
const char *closest_key(const std::string &text)
{
    enum { MOST_EDITS = 2 };
    const char *best = nullptr;
    size_t best_distance = MOST_EDITS + 1;

    if (text.size() > 64)
        return nullptr;
    for (const MessageKey &key : MESSAGE_KEYS) {
        size_t distance = edit_distance(text, key.key);
        if (distance < best_distance) {
            best = key.key;
            best_distance = distance;
        }
    }
    return best;
}

void check_entry(FileCheck *check, int line, const LineReader *reader, const char *key,
                 const char *value)
{
    std::string name = quoted(key);

    auto earlier = check->last_definition.find(key);
    if (earlier != check->last_definition.end())
        flag(check, line, LEVEL_WARNING,
             name + " is defined again: this definition wins over the one at line " +
                 std::to_string(earlier->second));
    check->last_definition[key] = line;

    const MessageKey *known = find_message_key(key);
    if (known != nullptr) {
        check_conversions(check, line, known, value);
        return;
    }

    std::string trimmed = key;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
        trimmed.pop_back();
    const MessageKey *exact = find_message_key(trimmed.c_str());
    const char *meant = exact != nullptr ? exact->key : closest_key(trimmed);
    if (trimmed.size() < strlen(key) && meant != nullptr) {
        check->blank_before_colon.insert(meant);
        flag(check, line, LEVEL_ERROR,
             "blank before the colon: the key " + name + " matches no lookup; meant " +
                 quoted(meant) + "?");
        return;
    }
    std::string message = "no part of the program looks up " + name;
    if (memchr(reader->line, ':', reader->length) == nullptr)
        message += " (the line has no colon, so all of it is the key)";
    if (meant != nullptr)
        message += "; meant " + quoted(meant) + "?";
    flag(check, line, LEVEL_WARNING, message);
}

// Reads the file with the setup's own reader. The reader keeps no line
// numbers: its n-th logical line is the n-th physical line that gives it a
// byte.
void check_entries(FileCheck *check)
{
    char key[CATALOG_TEXT_MAX + 1];
    char value[CATALOG_TEXT_MAX + 1];
    LineReader reader;
    size_t next = 0;

    begin_product_files();
    std::string name = product_file_name(check->path, check->bytes);
    reader.file = fopen(name.c_str(), "r");
    if (reader.file == NULL) {
        end_product_files();
        flag(check, 0, LEVEL_ERROR, "the setup's reader cannot open the file");
        return;
    }
    while (read_logical_line(&reader)) {
        while (next < check->lines.size() && !check->lines[next].gives_a_line)
            next++;
        int line = next < check->lines.size() ? (int)next + 1 : last_line(check);
        size_t length = next < check->lines.size() ? check->lines[next].length : 0;
        next++;
        split_entry_line(key, value, &reader);
        if (key[0] == '\0')
            continue;
        // Escapes shorten a line, so only a full buffer tells that it was cut
        // (one filled exactly by way of escapes is reported too).
        if (length > LANGUAGE_LINE_MAX && reader.length == LANGUAGE_LINE_MAX)
            flag(check, line, LEVEL_ERROR,
                 "line of " + std::to_string(length) + " bytes: the program reads only the first " +
                     std::to_string((int)LANGUAGE_LINE_MAX) + " and drops the rest");
        check_entry(check, line, &reader, key, value);
    }
    fclose(reader.file);
    end_product_files();
}

void check_missing_keys(FileCheck *check)
{
    for (const MessageKey &key : MESSAGE_KEYS) {
        if (check->last_definition.count(key.key) == 0 &&
            check->blank_before_colon.count(key.key) == 0)
            flag(check, last_line(check), LEVEL_ERROR,
                 quoted(key.key) + " is missing: the program shows the key itself instead");
    }
}

} // namespace

void check_language_file(Diagnostics *diagnostics, const char *path)
{
    FileCheck check;

    check.path = path;
    if (!read_whole_file(path, &check.bytes)) {
        report(diagnostics, path, 0, LEVEL_ERROR, "cannot be read");
        return;
    }
    split_lines(&check);
    check_bytes(&check);
    check_entries(&check);
    check_missing_keys(&check);
    std::stable_sort(check.findings.begin(), check.findings.end(),
                     [](const Finding &a, const Finding &b) { return a.line < b.line; });
    for (const Finding &finding : check.findings)
        report(diagnostics, path, finding.line, finding.level, finding.message.c_str());
}
