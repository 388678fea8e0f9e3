#include "inf_file.h"
#include "paths.h"

#include <setupapi.h>

namespace winsim {

namespace {

// Only a line feed ends a line; a carriage return is blank space, so CR LF
// and LF files read alike.
bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// A field as it is built: each character remembers whether it stood in
// quotes, since only unquoted blanks are trimmed.
struct Field {
    std::string text;
    std::vector<bool> quoted;

    void add(char c, bool in_quotes)
    {
        text += c;
        quoted.push_back(in_quotes);
    }
    void trim_end()
    {
        while (!text.empty() && !quoted.back() && blank(text.back())) {
            text.pop_back();
            quoted.pop_back();
        }
    }
    std::string trimmed() const
    {
        size_t begin = 0;
        size_t end = text.size();
        while (begin < end && !quoted[begin] && blank(text[begin]))
            begin++;
        while (end > begin && !quoted[end - 1] && blank(text[end - 1]))
            end--;
        return text.substr(begin, end - begin);
    }
};

// An entry being read, possibly across continued lines.
struct Entry {
    bool has_key = false;
    std::string key;
    std::vector<std::string> fields;
    Field current;
    bool any_content = false;

    void end_field()
    {
        fields.push_back(current.trimmed());
        current = Field();
    }
};

// A backslash continues the entry on the next line when nothing but blanks,
// more backslashes or a comment follow it.
bool continues(const std::string &line, size_t at)
{
    for (size_t i = at; i < line.size(); i++) {
        if (line[i] == ';')
            return true;
        if (line[i] != '\\' && !blank(line[i]))
            return false;
    }
    return true;
}

// Reads one physical line into the entry; returns whether the entry goes on
// on the next line. An open quote closes at the end of the line.
bool read_entry_line(const std::string &line, size_t from, Entry &entry)
{
    bool in_quotes = false;
    for (size_t i = from; i < line.size(); i++) {
        char c = line[i];
        if (in_quotes) {
            if (c != '"') {
                entry.current.add(c, true);
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                entry.current.add('"', true); // "" inside quotes is a quote
                i++;
            } else {
                in_quotes = false;
            }
            continue;
        }
        switch (c) {
        case '"':
            in_quotes = true;
            entry.any_content = true;
            break;
        case ';':
            return false;
        case ',':
            entry.any_content = true;
            entry.end_field();
            break;
        case '=':
            entry.any_content = true;
            // Only the first "=" before any comma makes a key.
            if (!entry.has_key && entry.fields.empty()) {
                entry.has_key = true;
                entry.key = entry.current.trimmed();
                entry.current = Field();
            } else {
                entry.current.add(c, false);
            }
            break;
        case '\\':
            entry.any_content = true;
            if (continues(line, i + 1)) {
                entry.current.trim_end();
                return true;
            }
            entry.current.add(c, false);
            break;
        default:
            if (!blank(c))
                entry.any_content = true;
            entry.current.add(c, false);
        }
    }
    return false;
}

std::vector<std::string> split_lines(const std::string &bytes)
{
    std::string text = bytes.substr(0, bytes.find('\x1a')); // Ctrl-Z ends the file
    for (char &c : text) {
        if (c == '\0')
            c = ' ';
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

size_t skip_blanks(const std::string &line, size_t at)
{
    while (at < line.size() && blank(line[at]))
        at++;
    return at;
}

InfSection &section_named(InfFile &inf, const std::string &name)
{
    for (InfSection &section : inf.sections) {
        if (same_name(section.name, name))
            return section;
    }
    inf.sections.push_back({name, {}});
    return inf.sections.back();
}

// %strkey% becomes the value of strkey in [Strings] and %% a percent sign;
// an unknown key keeps its percent signs. Values are not substituted again.
std::string substitute(const std::string &text, const InfSection *strings)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        size_t close = text.find('%', i + 1);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        std::string key = text.substr(i + 1, close - i - 1);
        const InfLine *line = key.empty() ? nullptr : find_line(strings, key);
        if (key.empty())
            out += '%';
        else if (line != nullptr && !line->fields.empty())
            out += line->fields[0];
        else
            out += text.substr(i, close - i + 1);
        i = close;
    }
    return out;
}

void substitute_strings(InfFile &inf)
{
    const InfSection *strings = inf.find("Strings");
    if (strings == nullptr)
        return;
    InfSection strings_copy = *strings;
    for (InfSection &section : inf.sections) {
        if (same_name(section.name, "Strings"))
            continue;
        for (InfLine &line : section.lines) {
            line.key = substitute(line.key, &strings_copy);
            for (std::string &field : line.fields)
                field = substitute(field, &strings_copy);
        }
    }
}

} // namespace

const InfSection *InfFile::find(const std::string &name) const
{
    for (const InfSection &section : sections) {
        if (same_name(section.name, name))
            return &section;
    }
    return nullptr;
}

const InfLine *find_line(const InfSection *section, const std::string &key)
{
    if (section == nullptr)
        return nullptr;
    for (const InfLine &line : section->lines) {
        if (line.has_key && same_name(line.key, key))
            return &line;
    }
    return nullptr;
}

InfParse parse_inf(const std::string &bytes)
{
    InfParse result;
    std::vector<std::string> lines = split_lines(bytes);
    InfSection *current = nullptr;
    // Entries before the first section are refused, unless the file has a
    // [Strings] section; a file without sections is refused for its style.
    UINT stray_line = 0;
    bool has_strings = false;
    for (size_t n = 0; n < lines.size(); n++) {
        const std::string &line = lines[n];
        UINT line_number = static_cast<UINT>(n + 1);
        size_t at = skip_blanks(line, 0);
        if (at == line.size() || line[at] == ';')
            continue;
        if (line[at] == '[') {
            size_t close = line.find(']', at + 1);
            if (close == std::string::npos) {
                result.error = ERROR_BAD_SECTION_NAME_LINE;
                result.error_line = line_number;
                return result;
            }
            std::string name = line.substr(at + 1, close - at - 1);
            if (name.size() > MAX_INF_SECTION_NAME_LENGTH) {
                result.error = ERROR_SECTION_NAME_TOO_LONG;
                result.error_line = line_number;
                return result;
            }
            has_strings = has_strings || same_name(name, "Strings");
            current = &section_named(result.inf, name);
            continue; // what follows the "]" is ignored
        }
        Entry entry;
        bool more = read_entry_line(line, at, entry);
        while (more && n + 1 < lines.size()) {
            n++;
            size_t from = skip_blanks(lines[n], 0);
            if (from == lines[n].size() || lines[n][from] == ';')
                break;
            more = read_entry_line(lines[n], from, entry);
        }
        if (!entry.any_content)
            continue;
        entry.end_field();
        if (current == nullptr) {
            if (stray_line == 0)
                stray_line = line_number;
            continue;
        }
        current->lines.push_back({entry.has_key, entry.key, entry.fields, line_number});
    }
    if (stray_line != 0 && !result.inf.sections.empty() && !has_strings) {
        result.error = ERROR_EXPECTED_SECTION_NAME;
        result.error_line = stray_line;
        return result;
    }
    substitute_strings(result.inf);
    return result;
}

// The signatures of Windows INF files, compared without regard to case.
bool has_windows_signature(const InfFile &inf)
{
    const InfLine *signature = find_line(inf.find("Version"), "Signature");
    if (signature == nullptr || signature->fields.empty())
        return false;
    const std::string &value = signature->fields[0];
    return same_name(value, "$Windows NT$") || same_name(value, "$Windows 95$") ||
           same_name(value, "$Chicago$");
}

} // namespace winsim
