// The registry as the setup uses it: the uninstall key and the Run value
// made, found without regard to case, read back with the sizes the calls
// report, and deleted again. The registry calls return their status and
// leave the last error alone.
#include "tests/conformance/arrange.h"

namespace
{

const char PROBE_KEY[] = "SOFTWARE\\ConformanceProbe";
const char PROBE_PARTS_KEY[] = "SOFTWARE\\ConformanceProbe\\Parts";
const DWORD POISONED = 0xdeadbeef;

HKEY create_key(const char *path, DWORD *disposition)
{
    HKEY key = NULL;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, NULL, &key, disposition);
    CHECK_EQ(status, ERROR_SUCCESS);
    return key;
}

LONG set_text(HKEY key, const char *name, const char *text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
}

void remove_probe(void)
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, PROBE_PARTS_KEY);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, PROBE_KEY);
}

} // namespace

CONFORMANCE_TEST(registry, CreateMakesAKeyOnceAndThenOpensItWithoutRegardToCase)
{
    DWORD disposition = 0;
    POISON();
    HKEY key = create_key(PROBE_KEY, &disposition);
    CHECK_EQ(disposition, REG_CREATED_NEW_KEY);
    CHECK_ERROR(POISONED);
    RegCloseKey(key);

    disposition = 0;
    key = create_key("software\\CONFORMANCEPROBE", &disposition);
    CHECK_EQ(disposition, REG_OPENED_EXISTING_KEY);
    CHECK_ERROR(POISONED);
    CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);
    remove_probe();
}

CONFORMANCE_TEST(registry, TheSetupsParentKeysExistAndAMissingKeyIsNotFound)
{
    const char *present[] = {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
    for (const char *path : present) {
        HKEY key = NULL;
        POISON();
        CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_SUCCESS);
        CHECK_ERROR(POISONED);
        RegCloseKey(key);
    }
    HKEY missing = NULL;
    POISON();
    CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ConformanceNothing", 0, KEY_READ,
                           &missing),
             ERROR_FILE_NOT_FOUND);
    CHECK_ERROR(POISONED);
}

CONFORMANCE_TEST(registry, AQueryReportsTheSizeWithTheTerminatorAndAsksForMore)
{
    HKEY key = create_key(PROBE_KEY, NULL);
    CHECK_EQ(set_text(key, "tqvPRINT", "faxsrv.exe"), ERROR_SUCCESS);

    DWORD size = 0;
    DWORD type = 0;
    POISON();
    CHECK_EQ(RegQueryValueExA(key, "TQVprint", NULL, &type, NULL, &size), ERROR_SUCCESS);
    CHECK_EQ(size, 11);
    CHECK_EQ(type, REG_SZ);

    char text[16];
    memset(text, 'x', sizeof text);
    size = 10;
    CHECK_EQ(RegQueryValueExA(key, "tqvprint", NULL, NULL, (LPBYTE)text, &size), ERROR_MORE_DATA);
    CHECK_EQ(size, 11);
    size = sizeof text;
    CHECK_EQ(RegQueryValueExA(key, "tqvprint", NULL, NULL, (LPBYTE)text, &size), ERROR_SUCCESS);
    CHECK_EQ(size, 11);
    CHECK_STR(text, "faxsrv.exe");
    CHECK_ERROR(POISONED);
    RegCloseKey(key);
    remove_probe();
}

CONFORMANCE_TEST(registry, AMissingValueIsNotFoundForQueryAndDelete)
{
    HKEY key = create_key(PROBE_KEY, NULL);
    DWORD size = 0;
    POISON();
    CHECK_EQ(RegQueryValueExA(key, "Nothing", NULL, NULL, NULL, &size), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(RegDeleteValueA(key, "Nothing"), ERROR_FILE_NOT_FOUND);
    CHECK_ERROR(POISONED);

    CHECK_EQ(set_text(key, "Something", "1"), ERROR_SUCCESS);
    CHECK_EQ(RegDeleteValueA(key, "SOMETHING"), ERROR_SUCCESS);
    CHECK_EQ(RegQueryValueExA(key, "Something", NULL, NULL, NULL, &size), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(RegDeleteValueA(key, "Something"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    remove_probe();
}

CONFORMANCE_TEST(registry, AKeyWithSubkeysIsRefusedOnNtAndTakenWithItsTreeOn95)
{
    RegCloseKey(create_key(PROBE_PARTS_KEY, NULL));
    POISON();
    LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, PROBE_KEY);
    CHECK_ERROR(POISONED);
    HKEY parts = NULL;
    LONG parts_open = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROBE_PARTS_KEY, 0, KEY_READ, &parts);
    if (parts_open == ERROR_SUCCESS)
        RegCloseKey(parts);
    if (conformance::windows_95_family()) {
        CHECK_EQ(status, ERROR_SUCCESS);
        CHECK_EQ(parts_open, ERROR_FILE_NOT_FOUND);
    } else {
        CHECK_EQ(status, ERROR_ACCESS_DENIED);
        CHECK_EQ(parts_open, ERROR_SUCCESS);
    }
    remove_probe();
    CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, PROBE_KEY), ERROR_FILE_NOT_FOUND);
}

CONFORMANCE_TEST(registry, AHandleOfADeletedKeyReportsTheKeyDeleted)
{
    HKEY key = create_key(PROBE_KEY, NULL);
    CHECK_EQ(set_text(key, "Value", "1"), ERROR_SUCCESS);
    CHECK_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, PROBE_KEY), ERROR_SUCCESS);
    POISON();
    CHECK_EQ(RegDeleteValueA(key, "Value"), ERROR_KEY_DELETED);
    CHECK_EQ(set_text(key, "Other", "2"), ERROR_KEY_DELETED);
    CHECK_ERROR(POISONED);
    CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

CONFORMANCE_TEST(registry, AReadHandleMayNotWriteOnNtAndMayOn95)
{
    RegCloseKey(create_key(PROBE_KEY, NULL));
    HKEY reader = NULL;
    CHECK_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROBE_KEY, 0, KEY_READ, &reader), ERROR_SUCCESS);
    POISON();
    LONG status = set_text(reader, "Value", "1");
    CHECK_ERROR(POISONED);
    CHECK_EQ(status, conformance::windows_95_family() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
    RegCloseKey(reader);
    remove_probe();
}

CONFORMANCE_TEST(registry, AClosedHandleIsInvalid)
{
    HKEY key = create_key(PROBE_KEY, NULL);
    CHECK_EQ(RegCloseKey(key), ERROR_SUCCESS);
    POISON();
    CHECK_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    CHECK_EQ(set_text(key, "Value", "1"), ERROR_INVALID_HANDLE);
    CHECK_ERROR(POISONED);
    remove_probe();
}
