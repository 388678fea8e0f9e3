// winsim internals: Windows paths on the simulated file system.
#ifndef WINSIM_PATHS_H
#define WINSIM_PATHS_H

#include <windows.h>

#include <string>

namespace winsim {

struct ResolvedPath {
    DWORD error = 0;          // 0, or the Windows error for an unusable path
    std::string full;         // full Windows path, e.g. "C:\WINDOWS\win.ini"
    std::string host;         // the host file it maps onto
    bool parent_exists = false;
    bool exists = false;
    bool is_directory = false;
};

// Resolves a Windows path as the ANSI file calls do: relative to the current
// directory, "/" taken as "\", "." and ".." folded, trailing dots and blanks
// of a name dropped, names matched without regard to case.
ResolvedPath resolve_path(const char *windows_path);

// Windows' case-insensitive equality of two names (system code page 1252).
bool same_name(const std::string &a, const std::string &b);
// The upper case of a byte in that code page.
unsigned char upper_1252(unsigned char c);

// Attributes of an existing file or directory.
DWORD attributes_of(const ResolvedPath &path);
bool is_read_only(const ResolvedPath &path);
bool is_open(const ResolvedPath &path);
// The image of a program whose process has not ended: Windows refuses to
// delete it (ERROR_ACCESS_DENIED) while it is mapped.
bool is_running_image(const ResolvedPath &path);

} // namespace winsim

#endif
