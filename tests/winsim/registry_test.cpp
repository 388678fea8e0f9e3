// The registry (names without regard to case, string sizes per family,
// rights), win.ini through the profile calls, and loading the spooler's
// library per Windows version. The buffer rule of queries and deleting keys
// per family are checked against Windows by the conformance suite.
#include "support/machine_fixture.h"

#include <windows.h>
#include <winsim/registry.h>
#include <winsim/spooler.h>
#include <winspool.h>

#include <cstring>

namespace
{

const char RUN_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string bytes(const char *text, size_t size)
{
    return std::string(text, size);
}

class Registry : public MachineTest
{
  protected:
    HKEY create(HKEY parent, const char *path, DWORD *disposition = nullptr,
                REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 access, nullptr, &key, disposition));
        return key;
    }
    LONG set_text(HKEY key, const char *name, const char *text, DWORD size)
    {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), size);
    }
};

using Profile = MachineTest;
using Library = MachineTest;

} // namespace

TEST_F(Registry, KeysAndValuesAreFoundWithoutRegardToCaseAndKeepTheirOwn)
{
    EXPECT_TRUE(winsim::registry_key_exists(std::string("HKLM\\") + RUN_KEY));
    EXPECT_TRUE(winsim::registry_key_exists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                                            "CurrentVersion\\Uninstall"));
    DWORD disposition = 0;
    HKEY key = create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zantrel\\Setup", &disposition);
    EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(ERROR_SUCCESS, set_text(key, "DisplayName", "Fax", 4));
    RegCloseKey(key);

    key = create(HKEY_LOCAL_MACHINE, "software\\ZANTREL\\setup", &disposition);
    EXPECT_EQ((DWORD)REG_OPENED_EXISTING_KEY, disposition);
    char text[16];
    DWORD size = sizeof text;
    DWORD type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "DISPLAYNAME", nullptr, &type,
                                              reinterpret_cast<LPBYTE>(text), &size));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_STREQ("Fax", text);
    RegCloseKey(key);

    std::string snapshot = winsim::registry_snapshot();
    EXPECT_NE(std::string::npos, snapshot.find("HKLM\\SOFTWARE\\Zantrel\\Setup\n"));
    EXPECT_NE(std::string::npos, snapshot.find("\"DisplayName\" type 1 \"Fax\\x00\""));
    // A path without a root is under HKLM; the other roots are apart.
    EXPECT_TRUE(winsim::registry_value("software\\zantrel\\setup", "displayname").has_value());
    EXPECT_FALSE(winsim::registry_key_exists("HKCU\\SOFTWARE\\Zantrel"));
}

TEST_F(Registry, TheNtFamilyStoresTheBytesGivenAndThe95FamilyTerminatesStrings)
{
    HKEY run = create(HKEY_LOCAL_MACHINE, RUN_KEY);
    EXPECT_EQ(ERROR_SUCCESS, set_text(run, "Counted", "faxsrv.exe", 11));
    EXPECT_EQ(ERROR_SUCCESS, set_text(run, "Uncounted", "faxsrv.exe", 10));
    RegCloseKey(run);
    EXPECT_EQ(bytes("faxsrv.exe\0", 11), winsim::registry_value(RUN_KEY, "Counted")->data);
    EXPECT_EQ("faxsrv.exe", winsim::registry_value(RUN_KEY, "Uncounted")->data);

    boot(winsim::setup_for(winsim::windows_95));
    run = create(HKEY_LOCAL_MACHINE, RUN_KEY);
    EXPECT_EQ(ERROR_SUCCESS, set_text(run, "Counted", "faxsrv.exe", 11));
    EXPECT_EQ(ERROR_SUCCESS, set_text(run, "Uncounted", "faxsrv.exe", 10));
    DWORD number = 7;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(run, "Number", 0, REG_DWORD,
                                            reinterpret_cast<const BYTE *>(&number), 4));
    RegCloseKey(run);
    EXPECT_EQ(bytes("faxsrv.exe\0", 11), winsim::registry_value(RUN_KEY, "Counted")->data);
    EXPECT_EQ(bytes("faxsrv.exe\0", 11), winsim::registry_value(RUN_KEY, "Uncounted")->data);
    EXPECT_EQ(bytes("\7\0\0\0", 4), winsim::registry_value(RUN_KEY, "Number")->data);
}

TEST_F(Registry, TheNtFamilyHoldsKeysToTheirRightsAndHandlesAreChecked)
{
    HKEY reader = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, RUN_KEY, 0, KEY_READ, &reader));
    EXPECT_EQ(ERROR_ACCESS_DENIED, set_text(reader, "tqvPRINT", "faxsrv.exe", 11));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(reader, "tqvPRINT"));
    HKEY below = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(reader, "New", 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &below, nullptr));
    EXPECT_EQ(1, winsim::open_key_handle_count());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(reader));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(reader));
    EXPECT_EQ(ERROR_INVALID_HANDLE, set_text(reader, "x", "y", 2));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(0, winsim::open_key_handle_count());

    std::string before = winsim::registry_snapshot();
    HKEY writer = create(HKEY_LOCAL_MACHINE, RUN_KEY);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(writer, "tqvPRINT"));
    RegCloseKey(writer);
    EXPECT_EQ(before, winsim::registry_snapshot());

    boot(winsim::setup_for(winsim::windows_95));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, RUN_KEY, 0, KEY_READ, &reader));
    EXPECT_EQ(ERROR_SUCCESS, set_text(reader, "tqvPRINT", "faxsrv.exe", 11));
    RegCloseKey(reader);
}

TEST_F(Profile, WritesMakeWinIniWithCrLfAndFindSectionsAndKeysWithoutRegardToCase)
{
    const std::string win_ini = "C:\\WINDOWS\\win.ini";
    EXPECT_FALSE(winsim::file_present(win_ini));
    ASSERT_TRUE(WriteProfileStringA("ports", "NUL:", ""));
    EXPECT_EQ("[ports]\r\nNUL:=\r\n", winsim::file_bytes(win_ini));

    winsim::put_file(win_ini,
                     crlf("[windows]\nload=\n\n[Ports]\nLPT1:=\nCOM1:=9600,n,8,1\n\n[fonts]\n"));
    ASSERT_TRUE(WriteProfileStringA("PORTS", "nul:", ""));
    ASSERT_TRUE(WriteProfileStringA("ports", "com1:", "19200,n,8,1"));
    ASSERT_TRUE(WriteProfileStringA("windows", "load", nullptr));
    ASSERT_TRUE(WriteProfileStringA("fonts", nullptr, nullptr));
    EXPECT_EQ(crlf("[windows]\n\n[Ports]\nLPT1:=\nCOM1:=19200,n,8,1\nnul:=\n\n"),
              winsim::file_bytes(win_ini));

    winsim::put_file(win_ini, "");
    SetFileAttributesA(win_ini.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WriteProfileStringA("ports", "NUL:", ""));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
}

TEST_F(Profile, ReadsFollowTheBufferRulesOfValuesDefaultsAndLists)
{
    winsim::put_file("C:\\WINDOWS\\win.ini",
                     crlf("[ports]\nLPT1:=\nCOM1: = \"9600,n,8,1\"\n[windows]\nload=\n"));
    char text[32];
    EXPECT_EQ(10u, GetProfileStringA("Ports", "com1:", "x", text, sizeof text));
    EXPECT_STREQ("9600,n,8,1", text);
    EXPECT_EQ(4u, GetProfileStringA("ports", "COM1:", "", text, 5));
    EXPECT_STREQ("9600", text);

    SetLastError(0);
    EXPECT_EQ(4u, GetProfileStringA("ports", "NUL:", "none   ", text, sizeof text));
    EXPECT_STREQ("none", text);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(0u, GetProfileStringA("devices", "x", nullptr, text, sizeof text));
    EXPECT_STREQ("", text);

    // Lists: each name closed by a NUL, the list by one more; cut lists
    // end in two NULs and count nSize - 2.
    EXPECT_EQ(12u, GetProfileStringA("ports", nullptr, "", text, sizeof text));
    EXPECT_EQ(bytes("LPT1:\0COM1:\0\0", 13), bytes(text, 13));
    EXPECT_EQ(14u, GetProfileStringA(nullptr, nullptr, "", text, sizeof text));
    EXPECT_EQ(bytes("ports\0windows\0\0", 15), bytes(text, 15));
    EXPECT_EQ(7u, GetProfileStringA(nullptr, nullptr, "", text, 9));
    EXPECT_EQ(bytes("ports\0w\0\0", 9), bytes(text, 9));
}

TEST_F(Library, OnlyWindows2000AndLaterHaveDeletePrinterDriverExInTheSpoolersLibrary)
{
    for (const winsim::Version &version : winsim::all_versions()) {
        boot(winsim::setup_for(version));
        HMODULE spooler = LoadLibraryA("winspool.drv");
        ASSERT_NE(nullptr, spooler) << version.name;
        EXPECT_EQ(spooler, LoadLibraryA("WINSPOOL.DRV"));
        EXPECT_EQ(2, winsim::loaded_library_count());

        SetLastError(0);
        FARPROC found = GetProcAddress(spooler, "DeletePrinterDriverExA");
        bool expected = version.platform_id == VER_PLATFORM_WIN32_NT && version.major >= 5;
        EXPECT_EQ(expected, found != nullptr) << version.name;
        if (expected) {
            EXPECT_EQ(reinterpret_cast<void (*)(void)>(DeletePrinterDriverExA),
                      reinterpret_cast<void (*)(void)>(found));
        } else {
            EXPECT_EQ((DWORD)ERROR_PROC_NOT_FOUND, GetLastError()) << version.name;
        }
        EXPECT_NE(nullptr, GetProcAddress(spooler, "EnumPortsA"));
        // Export names keep their case.
        EXPECT_EQ(nullptr, GetProcAddress(spooler, "enumportsa"));
        EXPECT_EQ((DWORD)ERROR_PROC_NOT_FOUND, GetLastError());

        EXPECT_TRUE(FreeLibrary(spooler));
        EXPECT_TRUE(FreeLibrary(spooler));
        EXPECT_EQ(0, winsim::loaded_library_count());
        EXPECT_FALSE(FreeLibrary(spooler));
        EXPECT_EQ(nullptr, GetProcAddress(spooler, "EnumPortsA"));
    }
}

TEST_F(Library, UnknownLibrariesAreNotFoundAndAnExportCanBeTakenAway)
{
    EXPECT_EQ(nullptr, LoadLibraryA("winspool"));
    EXPECT_EQ((DWORD)ERROR_MOD_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, LoadLibraryA("C:\\TEMP\\winspool.drv"));
    EXPECT_EQ(0, winsim::loaded_library_count());
    HMODULE spooler = LoadLibraryA("C:\\WINDOWS\\system32\\WinSpool.Drv");
    ASSERT_NE(nullptr, spooler);

    winsim::remove_export("winspool.drv", "DeletePrinterDriverExA");
    EXPECT_EQ(nullptr, GetProcAddress(spooler, "DeletePrinterDriverExA"));
    EXPECT_EQ((DWORD)ERROR_PROC_NOT_FOUND, GetLastError());
    FreeLibrary(spooler);
}
