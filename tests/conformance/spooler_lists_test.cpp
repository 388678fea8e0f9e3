// The spooler's directories and lists as the setup's scan reads them: the
// size protocol of every query (ERROR_INSUFFICIENT_BUFFER with the size
// needed, where the NT family's ANSI calls ask for room for the Unicode
// strings they convert in place), and unknown environments.
#include "tests/conformance/arrange.h"

using conformance::own_environment;
using conformance::windows_95_family;

namespace
{

// The bytes the strings of the records take, terminators included.
DWORD string_bytes(const char *const *strings, DWORD count)
{
    DWORD bytes = 0;
    for (DWORD i = 0; i < count; i++) {
        if (strings[i] != NULL)
            bytes += (DWORD)strlen(strings[i]) + 1;
    }
    return bytes;
}

// What the size protocol of an enumeration promises: a short buffer fails
// with ERROR_INSUFFICIENT_BUFFER and the size needed, and a buffer of that
// size takes the list. Returns the buffer (the caller frees it) and the
// count.
typedef BOOL (*Enumeration)(LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count);

BYTE *enumerate(Enumeration call, DWORD *count, DWORD *needed_size)
{
    DWORD needed = 0;
    *count = 0xdeadbeef;
    POISON();
    BOOL answered = call(NULL, 0, &needed, count);
    if (answered) {
        CHECK_EQ(needed, 0);
        CHECK_EQ(*count, 0);
        *needed_size = 0;
        return NULL;
    }
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK(needed > 0);
    CHECK_EQ(*count, 0);
    BYTE *buffer = (BYTE *)malloc(needed);
    DWORD short_needed = 0;
    POISON();
    CHECK(!call(buffer, needed - 1, &short_needed, count));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(short_needed, needed);
    DWORD again = 0;
    POISON();
    CHECK(call(buffer, needed, &again, count));
    CHECK_EQ(again, needed);
    *needed_size = needed;
    return buffer;
}

BOOL enum_ports(LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count)
{
    return EnumPortsA(NULL, 1, buffer, size, needed, count);
}

BOOL enum_processors(LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD count)
{
    return EnumPrintProcessorsA(NULL, own_environment(), 1, buffer, size, needed, count);
}

// The size the list needs: its records, and its strings once (95 family)
// or as Unicode (NT family).
DWORD list_size(DWORD record_size, DWORD count, DWORD strings)
{
    return record_size * count + strings * (windows_95_family() ? 1 : 2);
}

// The size a list of named records asked for: the records and their names.
void check_list_size(DWORD needed, DWORD record_size, const char *const *names, DWORD count)
{
    DWORD expected = list_size(record_size, count, string_bytes(names, count));
    if (windows_95_family())
        CHECK_EQ(needed, expected);
    else
        KNOWN_WINE_DIFFERENCE("the NT family's ANSI lists ask for the ANSI size, without room "
                              "for the Unicode strings the spooler converts in place",
                              needed == expected);
}

bool listed(const PORT_INFO_1A *entries, DWORD count, const char *name)
{
    for (DWORD i = 0; i < count; i++) {
        if (lstrcmpiA(entries[i].pName, name) == 0)
            return true;
    }
    return false;
}

} // namespace

CONFORMANCE_TEST(spooler_lists, TheDriverDirectoryMustFitWithItsTerminator)
{
    char directory[MAX_PATH];
    DWORD needed = 0;
    POISON();
    CHECK(GetPrinterDriverDirectoryA(NULL, own_environment(), 1, (LPBYTE)directory,
                                     sizeof directory, &needed));
    DWORD length = (DWORD)strlen(directory);
    CHECK(length > 3);
    CHECK_EQ(needed, length + 1);
    DWORD short_needed = 0;
    char short_buffer[MAX_PATH];
    memset(short_buffer, 'x', sizeof short_buffer);
    POISON();
    CHECK(!GetPrinterDriverDirectoryA(NULL, own_environment(), 1, (LPBYTE)short_buffer, length,
                                      &short_needed));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(short_needed, length + 1);
    CHECK_EQ(short_buffer[0], 'x');
    POISON();
    CHECK(!GetPrinterDriverDirectoryA(NULL, own_environment(), 1, NULL, 0, &short_needed));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(short_needed, length + 1);
    CHECK_EQ(GetFileAttributesA(directory) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
}

CONFORMANCE_TEST(spooler_lists, TheNtFamilyKeepsDriversBelowTheSystemDirectoryAnd95InIt)
{
    std::string system = conformance::system_dir();
    std::string drivers = conformance::driver_dir();
    std::string processors = conformance::print_processor_dir();
    if (windows_95_family()) {
        KNOWN_WINE_DIFFERENCE("the 95 family's spooler directories are spool folders of the "
                              "NT family",
                              lstrcmpiA(drivers.c_str(), system.c_str()) == 0 &&
                                  lstrcmpiA(processors.c_str(), system.c_str()) == 0);
        return;
    }
    std::string spool = system + "\\spool\\";
    CHECK(lstrcmpiA(drivers.substr(0, spool.size()).c_str(), spool.c_str()) == 0);
    CHECK(lstrcmpiA(processors.substr(0, spool.size()).c_str(), spool.c_str()) == 0);
    CHECK(lstrcmpiA(drivers.c_str(), processors.c_str()) != 0);
}

CONFORMANCE_TEST(spooler_lists, ThePrintProcessorDirectoryMustFitWithItsTerminator)
{
    char directory[MAX_PATH];
    DWORD needed = 0;
    POISON();
    CHECK(GetPrintProcessorDirectoryA(NULL, own_environment(), 1, (LPBYTE)directory,
                                      sizeof directory, &needed));
    // The bytes copied, as documented.
    DWORD length = (DWORD)strlen(directory);
    KNOWN_WINE_DIFFERENCE("GetPrintProcessorDirectoryA asks for room for the Unicode path",
                          needed == length + 1);
    POISON();
    CHECK(!GetPrintProcessorDirectoryA(NULL, own_environment(), 1, NULL, 0, &needed));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK(needed >= length + 1);
    KNOWN_WINE_DIFFERENCE("GetPrintProcessorDirectoryA asks for room for the Unicode path",
                          needed == length + 1);
}

CONFORMANCE_TEST(spooler_lists, AnUnknownEnvironmentIsRefusedByEveryQuery)
{
    char environment[] = "Windows Conformance";
    char directory[MAX_PATH];
    DWORD needed = 0;
    DWORD count = 0;
    POISON();
    CHECK(!GetPrinterDriverDirectoryA(NULL, environment, 1, (LPBYTE)directory, sizeof directory,
                                      &needed));
    CHECK_ERROR(ERROR_INVALID_ENVIRONMENT);
    POISON();
    CHECK(!GetPrintProcessorDirectoryA(NULL, environment, 1, (LPBYTE)directory, sizeof directory,
                                       &needed));
    CHECK_ERROR(ERROR_INVALID_ENVIRONMENT);
    BYTE list[1024];
    POISON();
    CHECK(!EnumPrinterDriversA(NULL, environment, 1, list, sizeof list, &needed, &count));
    CHECK_ERROR(ERROR_INVALID_ENVIRONMENT);
    POISON();
    CHECK(!EnumPrintProcessorsA(NULL, environment, 1, list, sizeof list, &needed, &count));
    CHECK_ERROR(ERROR_INVALID_ENVIRONMENT);
}

CONFORMANCE_TEST(spooler_lists, ThePortsListFollowsTheSizeProtocolAndHoldsLpt1)
{
    DWORD count = 0;
    DWORD needed = 0;
    BYTE *buffer = enumerate(enum_ports, &count, &needed);
    CHECK(buffer != NULL && count > 0);
    if (buffer == NULL)
        return;
    const PORT_INFO_1A *ports = (const PORT_INFO_1A *)buffer;
    CHECK(listed(ports, count, "LPT1:"));
    CHECK(listed(ports, count, "FILE:"));
    const char *names[64];
    for (DWORD i = 0; i < count && i < 64; i++)
        names[i] = ports[i].pName;
    check_list_size(needed, sizeof(PORT_INFO_1A), names, count);
    free(buffer);
}

CONFORMANCE_TEST(spooler_lists, ThePrintProcessorsListFollowsTheSizeProtocolAndHoldsWinPrint)
{
    DWORD count = 0;
    DWORD needed = 0;
    BYTE *buffer = enumerate(enum_processors, &count, &needed);
    CHECK(buffer != NULL && count > 0);
    if (buffer == NULL)
        return;
    const PRINTPROCESSOR_INFO_1A *processors = (const PRINTPROCESSOR_INFO_1A *)buffer;
    bool winprint = false;
    const char *names[64];
    for (DWORD i = 0; i < count && i < 64; i++) {
        names[i] = processors[i].pName;
        winprint = winprint || lstrcmpiA(processors[i].pName, "WinPrint") == 0;
    }
    CHECK(winprint);
    check_list_size(needed, sizeof(PRINTPROCESSOR_INFO_1A), names, count);
    free(buffer);
}

CONFORMANCE_TEST(spooler_lists, NoPrintersIsAnEmptyListAndNoError)
{
    DWORD needed = 0xdeadbeef;
    DWORD count = 0xdeadbeef;
    POISON();
    CHECK(EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count));
    CHECK_EQ(needed, 0);
    CHECK_EQ(count, 0);
}

CONFORMANCE_TEST(spooler_lists, NoDriversIsAnEmptyListAndNoError)
{
    DWORD needed = 0xdeadbeef;
    DWORD count = 0xdeadbeef;
    POISON();
    CHECK(EnumPrinterDriversA(NULL, own_environment(), 1, NULL, 0, &needed, &count));
    CHECK_EQ(needed, 0);
    CHECK_EQ(count, 0);
}
