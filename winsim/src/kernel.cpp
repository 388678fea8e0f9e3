// winsim: kernel32's last error, clock, version and directory queries.
#include "winsim_internal.h"

#include <cstring>


static thread_local DWORD thread_last_error;

extern "C" DWORD WINAPI GetLastError(void)
{
    return thread_last_error;
}

extern "C" void WINAPI SetLastError(DWORD dwErrCode)
{
    thread_last_error = dwErrCode;
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds)
{
    Call call(__func__, describe("%u", dwMilliseconds));
    the_machine().clock_ms += dwMilliseconds;
    call.done_void();
}

extern "C" DWORD WINAPI GetTickCount(void)
{
    return static_cast<DWORD>(the_machine().clock_ms.load());
}

// The machine's local time: boot happens at 2026-01-15 08:00:00.000 and the
// virtual clock runs on from there, within the day as the tests need it.
// Like GetTickCount it cannot fail and is not journaled.
extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    const unsigned long long boot_ms = 8ull * 3600 * 1000;
    unsigned long long day_ms = (boot_ms + the_machine().clock_ms.load()) % (24ull * 3600 * 1000);

    lpSystemTime->wYear = 2026;
    lpSystemTime->wMonth = 1;
    lpSystemTime->wDayOfWeek = 4;
    lpSystemTime->wDay = 15;
    lpSystemTime->wHour = static_cast<WORD>(day_ms / 3600000);
    lpSystemTime->wMinute = static_cast<WORD>(day_ms / 60000 % 60);
    lpSystemTime->wSecond = static_cast<WORD>(day_ms / 1000 % 60);
    lpSystemTime->wMilliseconds = static_cast<WORD>(day_ms % 1000);
}

// Windows takes the basic record (148 bytes) or the extended one (156) and
// refuses any other size.
extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info)
{
    Call call(__func__, describe("size %u", info ? info->dwOSVersionInfoSize : 0));
    if (call.faulted())
        return call.fail_injected(FALSE);
    if (info == nullptr || (info->dwOSVersionInfoSize != 148 && info->dwOSVersionInfoSize != 156))
        return call.fail(FALSE, ERROR_INSUFFICIENT_BUFFER);
    const winsim::Version &version = winsim::machine().version;
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwPlatformId = version.platform_id;
    // The 95 family keeps the version in the build number's high word.
    info->dwBuildNumber = version.platform_id == VER_PLATFORM_WIN32_WINDOWS
                              ? (version.major << 24 | version.minor << 16 | version.build)
                              : version.build;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return call.done(TRUE);
}

// The directory queries' buffer rule: when the text and its terminator fit,
// copy them and return the length without the terminator; otherwise leave
// the buffer alone and return the size needed, terminator included.
static UINT copy_directory(Call &call, const std::string &text, LPSTR buffer, UINT size)
{
    if (call.faulted())
        return call.fail_injected(0u);
    if (buffer == nullptr || text.size() + 1 > size)
        return call.done(static_cast<UINT>(text.size() + 1));
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return call.done(static_cast<UINT>(text.size()));
}

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    Call call(__func__, describe("size %u", uSize));
    return copy_directory(call, winsim::machine().system_dir, lpBuffer, uSize);
}

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    Call call(__func__, describe("size %u", uSize));
    return copy_directory(call, winsim::machine().windows_dir, lpBuffer, uSize);
}

// The temporary path always ends in a backslash.
extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    Call call(__func__, describe("size %u", nBufferLength));
    std::string path = winsim::machine().temp_dir;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return copy_directory(call, path, lpBuffer, nBufferLength);
}

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    Call call(__func__, describe("size %u", nBufferLength));
    std::string current;
    {
        std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
        current = the_machine().current_dir;
    }
    return copy_directory(call, current, lpBuffer, nBufferLength);
}

// A name that does not fit is cut and the size returned. Windows before
// Vista fills the whole buffer without a terminator and reports success;
// Vista and later cut one byte shorter, terminate and set
// ERROR_INSUFFICIENT_BUFFER.
extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    Call call(__func__, describe("%p, size %u", static_cast<void *>(hModule), nSize));
    if (call.faulted())
        return call.fail_injected(0u);
    if (hModule != nullptr)
        return call.fail(0u, ERROR_MOD_NOT_FOUND);
    const std::string &name = winsim::machine().module_file_name;
    if (name.size() < nSize) {
        std::memcpy(lpFilename, name.c_str(), name.size() + 1);
        return call.done(static_cast<DWORD>(name.size()));
    }
    if (nSize == 0)
        return call.fail(0u, ERROR_INSUFFICIENT_BUFFER);
    bool terminates = winsim::machine().version.platform_id == VER_PLATFORM_WIN32_NT &&
                      winsim::machine().version.major >= 6;
    std::memcpy(lpFilename, name.c_str(), nSize);
    if (!terminates)
        return call.done(nSize);
    lpFilename[nSize - 1] = '\0';
    return call.fail(nSize, ERROR_INSUFFICIENT_BUFFER);
}
