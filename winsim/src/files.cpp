// winsim: kernel32's file calls on the simulated file system, and the
// helpers with which tests arrange and read that file system.
#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// The error for a path that names nothing: the file or, when a folder on
// the way is missing, the path.
DWORD missing_error(const ResolvedPath &path)
{
    return path.parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

void set_attributes(const std::string &host, DWORD attributes)
{
    std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
    the_machine().attributes[host] = attributes;
}

bool copy_bytes(const std::string &from, const std::string &to)
{
    std::error_code error;
    return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                      error);
}

} // namespace

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName)
{
    Call call(__func__, quoted(lpFileName));
    if (call.faulted())
        return call.fail_injected(INVALID_FILE_ATTRIBUTES);
    ResolvedPath path = resolve_path(lpFileName);
    if (path.error != 0)
        return call.fail(INVALID_FILE_ATTRIBUTES, path.error);
    if (!path.exists)
        return call.fail(INVALID_FILE_ATTRIBUTES, missing_error(path));
    return call.done(winsim::attributes_of(path));
}

// Only the settable bits are kept; FILE_ATTRIBUTE_NORMAL alone clears them.
extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes)
{
    Call call(__func__, describe("%s, 0x%x", quoted(lpFileName).c_str(), dwFileAttributes));
    if (call.faulted())
        return call.fail_injected(FALSE);
    ResolvedPath path = resolve_path(lpFileName);
    if (path.error != 0)
        return call.fail(FALSE, path.error);
    if (!path.exists)
        return call.fail(FALSE, missing_error(path));
    if (!path.is_directory) {
        const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                               FILE_ATTRIBUTE_TEMPORARY;
        set_attributes(path.host, dwFileAttributes & settable);
    }
    return call.done(TRUE);
}

// CopyFile refuses a read-only or open destination with ERROR_ACCESS_DENIED
// and gives the copy the source's attributes.
extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName,
                                 BOOL bFailIfExists)
{
    Call call(__func__, describe("%s, %s, %d", quoted(lpExistingFileName).c_str(),
                                 quoted(lpNewFileName).c_str(), bFailIfExists));
    if (call.faulted())
        return call.fail_injected(FALSE);
    ResolvedPath from = resolve_path(lpExistingFileName);
    if (from.error != 0)
        return call.fail(FALSE, from.error);
    if (!from.exists)
        return call.fail(FALSE, missing_error(from));
    if (from.is_directory)
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    ResolvedPath to = resolve_path(lpNewFileName);
    if (to.error != 0)
        return call.fail(FALSE, to.error);
    if (!to.parent_exists)
        return call.fail(FALSE, ERROR_PATH_NOT_FOUND);
    if (to.exists && bFailIfExists)
        return call.fail(FALSE, ERROR_FILE_EXISTS);
    if (to.is_directory || winsim::is_read_only(to) || winsim::is_open(to))
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    if (!copy_bytes(from.host, to.host))
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    set_attributes(to.host, winsim::attributes_of(from) & ~FILE_ATTRIBUTE_NORMAL);
    return call.done(TRUE);
}

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    Call call(__func__, quoted(lpFileName));
    if (call.faulted())
        return call.fail_injected(FALSE);
    ResolvedPath path = resolve_path(lpFileName);
    if (path.error != 0)
        return call.fail(FALSE, path.error);
    if (!path.exists)
        return call.fail(FALSE, missing_error(path));
    if (path.is_directory || winsim::is_read_only(path) || winsim::is_running_image(path))
        return call.fail(FALSE, ERROR_ACCESS_DENIED);
    if (winsim::is_open(path))
        return call.fail(FALSE, ERROR_SHARING_VIOLATION);
    std::remove(path.host.c_str());
    {
        std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
        the_machine().attributes.erase(path.host);
    }
    return call.done(TRUE);
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPVOID lpSecurityAttributes)
{
    Call call(__func__, describe("%s, %p", quoted(lpPathName).c_str(), lpSecurityAttributes));
    if (call.faulted())
        return call.fail_injected(FALSE);
    ResolvedPath path = resolve_path(lpPathName);
    if (path.error != 0)
        return call.fail(FALSE, path.error);
    if (path.exists)
        return call.fail(FALSE, ERROR_ALREADY_EXISTS);
    if (!path.parent_exists)
        return call.fail(FALSE, ERROR_PATH_NOT_FOUND);
    mkdir(path.host.c_str(), 0755);
    return call.done(TRUE);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName)
{
    Call call(__func__, quoted(lpPathName));
    if (call.faulted())
        return call.fail_injected(FALSE);
    ResolvedPath path = resolve_path(lpPathName);
    if (path.error != 0)
        return call.fail(FALSE, path.error);
    if (!path.exists)
        return call.fail(FALSE, missing_error(path));
    if (!path.is_directory)
        return call.fail(FALSE, ERROR_DIRECTORY);
    std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
    the_machine().current_dir = path.full;
    return call.done(TRUE);
}

// With unique number 0 Windows tries hexadecimal numbers until a name is
// free and creates that empty file: "<path>\<prefix, 3 bytes at most><hex>.TMP".
// Otherwise it only composes the name. The path must be a directory.
extern "C" UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                                        LPSTR lpTempFileName)
{
    Call call(__func__, describe("%s, %s, %u", quoted(lpPathName).c_str(),
                                 quoted(lpPrefixString).c_str(), uUnique));
    if (call.faulted())
        return call.fail_injected(0u);
    ResolvedPath folder = resolve_path(lpPathName);
    if (folder.error != 0)
        return call.fail(0u, folder.error);
    if (!folder.is_directory)
        return call.fail(0u, ERROR_DIRECTORY);
    std::string base = lpPathName;
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    base += std::string(lpPrefixString).substr(0, 3);
    UINT number = uUnique & 0xFFFF;
    for (UINT attempt = 0; attempt < 0x10000; attempt++) {
        if (uUnique == 0)
            number = static_cast<UINT>((winsim::now_ms() + attempt) % 0xFFFF) + 1;
        std::string name = base + describe("%X", number) + ".TMP";
        if (name.size() >= MAX_PATH)
            return call.fail(0u, ERROR_FILENAME_EXCED_RANGE);
        ResolvedPath file = resolve_path(name.c_str());
        if (uUnique == 0 && file.exists)
            continue;
        std::strcpy(lpTempFileName, name.c_str());
        if (uUnique == 0)
            std::ofstream(file.host, std::ios::binary).flush();
        return call.done(number);
    }
    return call.fail(0u, ERROR_FILE_EXISTS);
}

namespace winsim {

std::string host_path(const std::string &windows_path)
{
    ResolvedPath path = resolve_path(windows_path.c_str());
    return path.error != 0 ? std::string() : path.host;
}

static std::string checked_host_path(const std::string &windows_path)
{
    std::string host = host_path(windows_path);
    if (host.empty()) {
        std::fprintf(stderr, "winsim: not a usable path: %s\n", windows_path.c_str());
        std::abort();
    }
    return host;
}

void make_directory(const std::string &windows_path)
{
    if (windows_path.empty())
        return;
    // Each folder is made in turn, so that an existing folder keeps the
    // letter case it was made with.
    std::string so_far;
    std::string rest = windows_path;
    for (;;) {
        std::string::size_type cut = rest.find('\\', so_far.empty() ? 3 : 0);
        so_far += rest.substr(0, cut);
        std::filesystem::create_directories(checked_host_path(so_far));
        if (cut == std::string::npos)
            break;
        so_far += '\\';
        rest = rest.substr(cut + 1);
    }
}

void put_file(const std::string &windows_path, const std::string &bytes)
{
    std::string::size_type cut = windows_path.find_last_of('\\');
    if (cut != std::string::npos)
        make_directory(windows_path.substr(0, cut));
    std::ofstream out(checked_host_path(windows_path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool file_present(const std::string &windows_path)
{
    ResolvedPath path = resolve_path(windows_path.c_str());
    return path.error == 0 && path.exists && !path.is_directory;
}

bool directory_present(const std::string &windows_path)
{
    ResolvedPath path = resolve_path(windows_path.c_str());
    return path.error == 0 && path.is_directory;
}

std::string file_bytes(const std::string &windows_path)
{
    std::ifstream in(checked_host_path(windows_path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace winsim
