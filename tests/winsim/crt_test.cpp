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

TEST_F(CRuntime, AFullDiskFailsTheWriteThatReachesIt)
{
    // A short text reaches the file only when the stream is closed; a text
    // longer than the stream's 4096-byte buffer already on fputs.
    std::string long_text(5000, 'x');
    for (const std::string &text : {std::string("[Version]\n"), long_text}) {
        FILE *file = fopen("C:\\WINDOWS\\TEMP\\out.inf", "w");
        ASSERT_NE(nullptr, file);
        winsim::fail_call("WriteFile", winsim::call_count("WriteFile") + 1, ERROR_DISK_FULL);
        errno = 0;
        SetLastError(0xdeadbeef);

        int put = fputs(text.c_str(), file);
        int closed = fclose(file);

        bool fails_on_put = text.size() > 4096;
        EXPECT_EQ(fails_on_put ? EOF : 1, put == EOF ? EOF : 1) << text.size();
        EXPECT_EQ(fails_on_put ? 0 : EOF, closed) << text.size();
        EXPECT_EQ(ENOSPC, errno) << text.size();
        EXPECT_EQ((DWORD)ERROR_DISK_FULL, GetLastError()) << text.size();
        EXPECT_EQ(0, winsim::open_stream_count());
    }
}
