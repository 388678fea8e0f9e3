#include "paths.h"
#include "machine_state.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

namespace winsim {

// Upper case as the 1252 code page's table has it: ASCII letters, the
// accented letters 0xE0-0xFE (not the division sign 0xF7) and the four
// letters that code page keeps at 0x9A, 0x9C, 0x9E and 0xFF.
unsigned char upper_1252(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return c - 0x20;
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    case 0xFF:
        return 0x9F;
    default:
        return c;
    }
}

bool same_name(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (upper_1252(a[i]) != upper_1252(b[i]))
            return false;
    }
    return true;
}

static bool invalid_name_byte(unsigned char c)
{
    return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
           c == '*';
}

static std::vector<std::string> split(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// The entry of a host folder whose name equals the given one without regard
// to case; empty when there is none.
static std::string find_entry(const std::string &folder, const std::string &name)
{
    std::string found;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr)
        return found;
    while (dirent *entry = readdir(dir)) {
        if (same_name(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

static bool host_is_directory(const std::string &host)
{
    struct stat info;
    return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

static bool host_exists(const std::string &host)
{
    struct stat info;
    return stat(host.c_str(), &info) == 0;
}

// The absolute form of a path, before its names are checked.
static std::string absolute_path(std::string path, const std::string &current)
{
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    if (path.size() >= 2 && path[1] == ':') {
        if (path.size() >= 3 && path[2] == '\\')
            return path;
        // "X:name" is relative to the current directory when it is on X:.
        if (!current.empty() && upper_1252(current[0]) == upper_1252(path[0]))
            return current + "\\" + path.substr(2);
        return path.substr(0, 2) + "\\" + path.substr(2);
    }
    if (!path.empty() && path[0] == '\\')
        return current.substr(0, 2) + path;
    return current + "\\" + path;
}

ResolvedPath resolve_path(const char *windows_path)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    ResolvedPath result;
    if (windows_path == nullptr || windows_path[0] == '\0') {
        result.error = ERROR_PATH_NOT_FOUND;
        return result;
    }
    std::string raw = windows_path;
    if (raw.size() >= 2 && (raw[0] == '\\' || raw[0] == '/') && (raw[1] == '\\' || raw[1] == '/')) {
        result.error = ERROR_PATH_NOT_FOUND; // network paths are not modelled
        return result;
    }
    std::string absolute = absolute_path(raw, m.current_dir);
    char drive = static_cast<char>(upper_1252(absolute[0]));
    if (drive < 'A' || drive > 'Z') {
        result.error = ERROR_INVALID_NAME;
        return result;
    }
    std::vector<std::string> names;
    std::vector<std::string> parts = split(absolute.substr(3));
    for (size_t i = 0; i < parts.size(); i++) {
        std::string name = parts[i];
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' '))
            name.pop_back();
        for (unsigned char c : name) {
            if (invalid_name_byte(c)) {
                result.error = ERROR_INVALID_NAME;
                return result;
            }
        }
        if (!name.empty())
            names.push_back(name);
    }
    result.full = std::string(1, drive) + ":\\";
    for (size_t i = 0; i < names.size(); i++)
        result.full += (i > 0 ? "\\" : "") + names[i];
    // The ANSI calls take at most MAX_PATH characters with the terminator.
    if (result.full.size() >= MAX_PATH) {
        result.error = ERROR_FILENAME_EXCED_RANGE;
        return result;
    }
    std::string host = m.root + "/" + std::string(1, drive);
    bool folder_exists = host_is_directory(host);
    for (size_t i = 0; i < names.size(); i++) {
        std::string entry = folder_exists ? find_entry(host, names[i]) : std::string();
        host += "/" + (entry.empty() ? names[i] : entry);
        if (i + 1 < names.size())
            folder_exists = folder_exists && host_is_directory(host);
    }
    result.host = host;
    result.parent_exists = folder_exists;
    result.exists = folder_exists && host_exists(host);
    result.is_directory = result.exists && host_is_directory(host);
    return result;
}

DWORD attributes_of(const ResolvedPath &path)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (path.is_directory)
        return FILE_ATTRIBUTE_DIRECTORY;
    auto found = m.attributes.find(path.host);
    DWORD attributes = found == m.attributes.end() ? FILE_ATTRIBUTE_ARCHIVE : found->second;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

bool is_read_only(const ResolvedPath &path)
{
    return path.exists && (attributes_of(path) & FILE_ATTRIBUTE_READONLY) != 0;
}

bool is_open(const ResolvedPath &path)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    auto found = m.open_files.find(path.host);
    return found != m.open_files.end() && found->second > 0;
}

bool is_running_image(const ResolvedPath &path)
{
    Machine &m = the_machine();
    std::lock_guard<std::recursive_mutex> hold(m.lock);
    if (!m.image_in_use || m.clock_ms > m.image_released_after)
        return false;
    return resolve_path(m.setup.module_file_name.c_str()).host == path.host;
}

} // namespace winsim
