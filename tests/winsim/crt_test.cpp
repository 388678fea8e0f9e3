// The simulated C runtime's fault injection. How its streams, _unlink and
// _vsnprintf answer is checked against Windows' answers by the conformance
// suite (tests/conformance).
#include "support/machine_fixture.h"

#include "system/platform.h"

#include <cerrno>

using CRuntime = MachineTest;

TEST_F(CRuntime, InjectedFaultsFailTheNamedCallOnly)
{
    winsim::put_file("D:\\lang.ger", "x");
    winsim::fail_call("fopen", 2, ERROR_SHARING_VIOLATION);
    winsim::fail_call("malloc", 1, ERROR_NOT_ENOUGH_MEMORY);

    FILE *first = fopen("D:\\lang.ger", "r");
    EXPECT_NE(nullptr, first);
    fclose(first);
    EXPECT_EQ(nullptr, fopen("D:\\lang.ger", "r"));
    EXPECT_EQ(EACCES, errno);
    FILE *third = fopen("D:\\lang.ger", "r");
    EXPECT_NE(nullptr, third);
    fclose(third);

    EXPECT_EQ(nullptr, malloc(16));
    void *second = malloc(16);
    EXPECT_NE(nullptr, second);
    free(second);
}

