// winsim: kernel32's win.ini profile calls, on the file win.ini in the
// Windows directory of the simulated file system.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"
#include "spooler_objects.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>

namespace
{

std::string win_ini(const Machine &m)
{
    return m.setup.windows_dir + "\\win.ini";
}

std::string trimmed(const std::string &text)
{
    std::string::size_type first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    std::string::size_type last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> read_lines(const std::string &path)
{
    std::vector<std::string> lines;
    if (!winsim::file_present(path))
        return lines;
    std::string bytes = winsim::file_bytes(path);
    std::string::size_type start = 0;
    while (start < bytes.size()) {
        std::string::size_type end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A section header "[name]"; the name without its blanks.
bool section_name(const std::string &line, std::string *name)
{
    std::string text = trimmed(line);
    if (text.empty() || text[0] != '[')
        return false;
    std::string::size_type close = text.find(']');
    *name = trimmed(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// An entry "key=value"; key and value without their blanks.
bool entry(const std::string &line, std::string *key, std::string *value)
{
    std::string::size_type equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    *key = trimmed(line.substr(0, equals));
    *value = trimmed(line.substr(equals + 1));
    return true;
}

// The lines [begin, end) of a section, its header included; begin is
// lines.size() when there is none.
void find_section(const std::vector<std::string> &lines, const char *section, size_t *begin,
                  size_t *end)
{
    *begin = *end = lines.size();
    std::string name;
    for (size_t i = 0; i < lines.size(); i++) {
        if (!section_name(lines[i], &name))
            continue;
        if (*begin < lines.size()) {
            *end = i;
            return;
        }
        if (same_name(name, section))
            *begin = i;
    }
}

// Index of the section's entry of the key; lines.size() when there is none.
size_t find_entry(const std::vector<std::string> &lines, size_t begin, size_t end, const char *key)
{
    std::string name, value;
    for (size_t i = begin + 1; i < end; i++) {
        if (entry(lines[i], &name, &value) && same_name(name, key))
            return i;
    }
    return lines.size();
}

// A string the profile hands out: a value in quotes loses them.
std::string unquoted(const std::string &value)
{
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

// Copies a list of names, each closed by a NUL, the list by one more. A
// list that does not fit is cut and closed by two NULs; the count is then
// nSize - 2.
DWORD copy_list(const std::vector<std::string> &names, LPSTR buffer, DWORD size)
{
    std::string list;
    for (const std::string &name : names)
        list += name + '\0';
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.c_str(), list.size() + 1);
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

} // namespace

// Sets the key of the section in win.ini, making file, section and entry
// as needed (CR LF line ends). A NULL string deletes the entry, a NULL key
// the whole section; names compare without regard to case. An entry of
// the [ports] section is a port for the spooler.
extern "C" BOOL WINAPI WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString)
{
    Call call(__func__, describe("%s, %s, %s", quoted(lpAppName).c_str(), quoted(lpKeyName).c_str(),
                                 quoted(lpString).c_str()));
    if (call.faulted())
        return call.fail_injected(FALSE);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    // All NULL only flushes the cache, which the simulation does not keep.
    if (lpAppName == nullptr)
        return lpKeyName == nullptr && lpString == nullptr
                   ? call.done(TRUE)
                   : call.fail(FALSE, ERROR_INVALID_PARAMETER);
    std::string path = win_ini(m);
    winsim::ResolvedPath file = winsim::resolve_path(path.c_str());
    if (file.exists && (winsim::is_read_only(file) || winsim::is_open(file)))
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    std::vector<std::string> lines = read_lines(path);
    size_t begin, end;
    find_section(lines, lpAppName, &begin, &end);
    if (lpKeyName == nullptr) {
        if (begin < lines.size())
            lines.erase(lines.begin() + begin, lines.begin() + end);
    } else if (begin == lines.size()) {
        if (lpString != nullptr) {
            lines.push_back(std::string("[") + lpAppName + "]");
            lines.push_back(std::string(lpKeyName) + "=" + lpString);
        }
    } else {
        size_t at = find_entry(lines, begin, end, lpKeyName);
        std::string key, value;
        if (at < lines.size() && lpString == nullptr) {
            lines.erase(lines.begin() + at);
        } else if (at < lines.size()) {
            entry(lines[at], &key, &value);
            lines[at] = key + "=" + lpString;
        } else if (lpString != nullptr) {
            // After the section's last entry, before any blank lines.
            size_t after = end;
            while (after > begin + 1 && trimmed(lines[after - 1]).empty())
                after--;
            lines.insert(lines.begin() + after, std::string(lpKeyName) + "=" + lpString);
        }
    }
    std::string bytes;
    for (const std::string &line : lines)
        bytes += line + "\r\n";
    winsim::put_file(path, bytes);
    if (lpKeyName != nullptr && lpString != nullptr && same_name(lpAppName, "ports"))
        winsim::port_written_to_profile(m, lpKeyName);
    return call.done(TRUE);
}

// The value of the key in the section of win.ini, or the default (NULL:
// "", trailing blanks dropped) with ERROR_FILE_NOT_FOUND as last error. A
// value that does not fit is cut to nSize - 1 characters and closed. With a
// NULL section the section names are listed, with a NULL key the section's
// keys. The count excludes the closing NUL.
extern "C" DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                          LPSTR lpReturnedString, DWORD nSize)
{
    Call call(__func__, describe("%s, %s, %s, size %u", quoted(lpAppName).c_str(),
                                 quoted(lpKeyName).c_str(), quoted(lpDefault).c_str(), nSize));
    if (call.faulted())
        return call.fail_injected(0u);
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (lpReturnedString == nullptr || nSize == 0)
        return call.done(0u);
    std::vector<std::string> lines = read_lines(win_ini(m));
    std::string name, key, value;
    if (lpAppName == nullptr) {
        std::vector<std::string> sections;
        for (const std::string &line : lines) {
            if (section_name(line, &name))
                sections.push_back(name);
        }
        return call.done(copy_list(sections, lpReturnedString, nSize));
    }
    size_t begin, end;
    find_section(lines, lpAppName, &begin, &end);
    if (lpKeyName == nullptr) {
        std::vector<std::string> keys;
        for (size_t i = begin + 1; i < end; i++) {
            if (entry(lines[i], &key, &value))
                keys.push_back(key);
        }
        return call.done(copy_list(keys, lpReturnedString, nSize));
    }
    size_t at = begin < lines.size() ? find_entry(lines, begin, end, lpKeyName) : lines.size();
    bool found = at < lines.size();
    std::string text;
    if (found) {
        entry(lines[at], &key, &value);
        text = unquoted(value);
    } else if (lpDefault != nullptr) {
        text = lpDefault;
        text.erase(text.find_last_not_of(' ') + 1);
    }
    DWORD count = static_cast<DWORD>(std::min<size_t>(text.size(), nSize - 1));
    std::memcpy(lpReturnedString, text.data(), count);
    lpReturnedString[count] = '\0';
    if (!found)
        return call.fail(count, ERROR_FILE_NOT_FOUND);
    return call.done(count);
}
