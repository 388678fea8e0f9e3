// winsim: the system's message texts (FormatMessageA), the local memory
// they come in, and lstrcmpiA.
#include "winsim_internal.h"
#include "paths.h"
#include "user_interface_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace
{

using Hold = std::lock_guard<std::recursive_mutex>;

// The English texts of the codes the program meets, as the system's message
// table holds them: each ends with CR LF.
const std::map<DWORD, const char *> system_texts = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {50, "The request is not supported.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {1051, "A stop control has been sent to a service that other running services are "
           "dependent on.\r\n"},
    {1053, "The service did not respond to the start or control request in a timely "
           "fashion.\r\n"},
    {1056, "An instance of the service is already running.\r\n"},
    {1058, "The service cannot be started, either because it is disabled or because it has no "
           "enabled devices associated with it.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1061, "The service cannot accept control messages at this time.\r\n"},
    {1062, "The service has not been started.\r\n"},
    {1066, "The service has returned a service-specific error code.\r\n"},
    {1068, "The dependency service or group failed to start.\r\n"},
    {1072, "The specified service has been marked for deletion.\r\n"},
    {1075, "The dependency service does not exist or has been marked for deletion.\r\n"},
    {1157, "One of the library files needed to run this application cannot be found.\r\n"},
    {1223, "The operation was canceled by the user.\r\n"},
    {1355, "The specified domain either does not exist or could not be contacted.\r\n"},
    {1400, "Invalid window handle.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1795, "The specified printer driver is already installed.\r\n"},
    {1796, "The specified port is unknown.\r\n"},
    {1797, "The printer driver is unknown.\r\n"},
    {1798, "The print processor is unknown.\r\n"},
    {1801, "The printer name is invalid.\r\n"},
    {1802, "The printer already exists.\r\n"},
    {1805, "The environment specified is invalid.\r\n"},
    {3001, "The specified printer driver is currently in use.\r\n"},
    {3005, "The specified print processor has already been installed.\r\n"},
};

// The languages an English system finds its texts in: no language given,
// the user's and the system's default, and English itself.
bool english_texts_for(DWORD language)
{
    return language == 0 || language == MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT) ||
           language == MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT) ||
           language == MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

// Buffers handed out as local memory. Each sits behind a header, so that
// releasing one with free() instead of LocalFree fails loudly, as it
// corrupts the heap on Windows.
const size_t local_header = 16;
std::set<void *> &local_allocations()
{
    static std::set<void *> allocations;
    return allocations;
}

char *local_alloc(size_t size)
{
    char *block = static_cast<char *>(std::malloc(local_header + size));
    char *memory = block + local_header;
    Hold hold(the_machine().lock);
    local_allocations().insert(memory);
    return memory;
}

} // namespace

namespace winsim
{

void boot_system_texts(Machine &)
{
    for (void *memory : local_allocations())
        std::free(static_cast<char *>(memory) - local_header);
    local_allocations().clear();
}

int local_allocation_count()
{
    Hold hold(the_machine().lock);
    return static_cast<int>(local_allocations().size());
}

} // namespace winsim

// Only the system's message table is modelled, without line width limits.
// A code without text fails with ERROR_MR_MID_NOT_FOUND, a language without
// texts with ERROR_RESOURCE_LANG_NOT_FOUND. Without ALLOCATE_BUFFER the
// text and its terminator must fit the caller's buffer, else the call fails
// with ERROR_INSUFFICIENT_BUFFER; with it, nSize is the least size to
// allocate. The texts hold no inserts, so IGNORE_INSERTS changes nothing.
extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                       DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                                       va_list *Arguments)
{
    Call call(__func__, describe("0x%x, %p, %u, 0x%x, size %u", dwFlags, lpSource, dwMessageId,
                                 dwLanguageId, nSize));
    (void)Arguments;
    const DWORD sources =
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM;
    if ((dwFlags & sources) != FORMAT_MESSAGE_FROM_SYSTEM ||
        (dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0) {
        std::fprintf(stderr, "winsim: FormatMessageA flags 0x%x are not modelled\n", dwFlags);
        std::abort();
    }
    if (call.faulted())
        return call.fail_injected(0u);
    auto found = system_texts.find(dwMessageId);
    if (found == system_texts.end())
        return call.fail(0u, ERROR_MR_MID_NOT_FOUND);
    if (!english_texts_for(dwLanguageId))
        return call.fail(0u, ERROR_RESOURCE_LANG_NOT_FOUND);
    const char *text = found->second;
    size_t length = std::strlen(text);
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        char *memory = local_alloc(length + 1 > nSize ? length + 1 : nSize);
        std::memcpy(memory, text, length + 1);
        *reinterpret_cast<char **>(lpBuffer) = memory;
        return call.done(static_cast<DWORD>(length));
    }
    if (lpBuffer == nullptr || length + 1 > nSize)
        return call.fail(0u, ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpBuffer, text, length + 1);
    return call.done(static_cast<DWORD>(length));
}

// NULL is released without complaint; anything that is not a live local
// allocation fails and is given back, as LocalFree gives back what it
// could not free.
extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    Call call(__func__, describe("%p", hMem));
    const HLOCAL freed = nullptr;
    if (call.faulted())
        return call.fail_injected(hMem);
    if (hMem == nullptr)
        return call.done(freed);
    Hold hold(the_machine().lock);
    if (local_allocations().erase(hMem) == 0)
        return call.fail(hMem, ERROR_INVALID_HANDLE);
    std::free(static_cast<char *>(hMem) - local_header);
    return call.done(freed);
}

// CompareStringA with NORM_IGNORECASE in the system code page 1252: equal
// when equal after upper-casing. The order compares the upper-cased bytes,
// which matches Windows' for letters and digits but not its word sort of
// punctuation and accented letters. The call cannot fail, so an armed
// fault is not honoured.
extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2)
{
    Call call(__func__, describe("%s, %s", quoted(lpString1).c_str(), quoted(lpString2).c_str()));
    const unsigned char *a = reinterpret_cast<const unsigned char *>(lpString1);
    const unsigned char *b = reinterpret_cast<const unsigned char *>(lpString2);
    for (;; a++, b++) {
        int difference = winsim::upper_1252(*a) - winsim::upper_1252(*b);
        if (difference != 0 || *a == '\0')
            return call.done(difference < 0 ? -1 : difference > 0 ? 1 : 0);
    }
}
