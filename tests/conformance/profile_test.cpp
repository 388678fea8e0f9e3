// win.ini's [ports] section, where the setup adds the port its fax printer
// prints to: entries written, found without regard to case, listed and
// deleted, and read back under the buffer rule of the profile calls.
#include "tests/conformance/arrange.h"

namespace
{

// Whether the NUL-separated list holds the name (without regard to case).
bool listed(const char *list, const char *name)
{
    for (const char *entry = list; *entry != '\0'; entry += strlen(entry) + 1) {
        if (lstrcmpiA(entry, name) == 0)
            return true;
    }
    return false;
}

} // namespace

CONFORMANCE_TEST(profile, APortWithAnEmptyValueIsAnEntryOfItsOwn)
{
    CHECK(WriteProfileStringA("ports", "CONFORM1:", ""));
    char value[32];
    strcpy(value, "#");
    CHECK_EQ(GetProfileStringA("Ports", "conform1:", "none", value, sizeof value), 0);
    CHECK_STR(value, "");
    CHECK(WriteProfileStringA("ports", "CONFORM1:", NULL));
}

CONFORMANCE_TEST(profile, ThePortsKeysAreListedAndADeletedOneIsGone)
{
    CHECK(WriteProfileStringA("ports", "CONFORM2:", ""));
    char keys[4096];
    DWORD length = GetProfileStringA("ports", NULL, "", keys, sizeof keys);
    CHECK(length > 0 && length < sizeof keys - 2);
    CHECK(listed(keys, "CONFORM2:"));

    CHECK(WriteProfileStringA("ports", "conform2:", NULL));
    char value[32];
    CHECK_EQ(GetProfileStringA("ports", "CONFORM2:", "gone", value, sizeof value), 4);
    CHECK_STR(value, "gone");
    GetProfileStringA("ports", NULL, "", keys, sizeof keys);
    CHECK(!listed(keys, "CONFORM2:"));
}

// The setup's wait for its port: the 95 family's spooler lists a port of
// the ports section after a while, the NT family's once it started again.
CONFORMANCE_TEST(profile, APortOfThePortsSectionComesToTheSpoolersList)
{
    const int WAIT_ROUNDS = 100;
    const DWORD WAIT_STEP_MS = 100;
    CHECK(!conformance::port_listed("CFPORT:"));
    CHECK(WriteProfileStringA("ports", "CFPORT:", ""));
    if (!conformance::windows_95_family())
        CHECK(conformance::restart_spooler());
    bool listed = false;
    for (int round = 0; round < WAIT_ROUNDS && !listed; round++) {
        listed = conformance::port_listed("CFPORT:");
        if (!listed)
            Sleep(WAIT_STEP_MS);
    }
    KNOWN_WINE_DIFFERENCE("the spooler never lists a port written to the ports section", listed);
    CHECK(WriteProfileStringA("ports", "CFPORT:", NULL));
}

CONFORMANCE_TEST(profile, AValueThatDoesNotFitIsCutAndTerminated)
{
    CHECK(WriteProfileStringA("ConformanceProbe", "Port", "FAXMODEM:"));
    char value[5];
    memset(value, '#', sizeof value);
    CHECK_EQ(GetProfileStringA("conformanceprobe", "PORT", "", value, sizeof value), 4);
    CHECK_STR(value, "FAXM");
    char whole[16];
    CHECK_EQ(GetProfileStringA("ConformanceProbe", "Port", "", whole, sizeof whole), 9);
    CHECK_STR(whole, "FAXMODEM:");
    CHECK(WriteProfileStringA("ConformanceProbe", NULL, NULL));
    CHECK_EQ(GetProfileStringA("ConformanceProbe", "Port", "", whole, sizeof whole), 0);
}
