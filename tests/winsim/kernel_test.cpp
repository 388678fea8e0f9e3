// kernel32 of the simulated machine: version, module name, last error,
// clock, journal and fault injection.
#include "support/machine_fixture.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <thread>

using Kernel = MachineTest;

TEST_F(Kernel, VersionQueryTakesOnlyTheRecordSizesWindowsKnows)
{
    for (const winsim::Version &version : winsim::all_versions()) {
        boot(winsim::setup_for(version));
        OSVERSIONINFOA info;
        memset(&info, 0, sizeof info);
        info.dwOSVersionInfoSize = 148;
        ASSERT_TRUE(GetVersionExA(&info)) << version.name;
        EXPECT_EQ(version.platform_id, info.dwPlatformId) << version.name;
        EXPECT_EQ(version.major, info.dwMajorVersion) << version.name;
        EXPECT_EQ(version.minor, info.dwMinorVersion) << version.name;
    }
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 100;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(0u, info.dwPlatformId);
}

TEST_F(Kernel, ACutModuleNameIsTerminatedOnlyFromVistaOn)
{
    char buffer[8];

    boot(winsim::setup_for(winsim::windows_xp));
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(4u, GetModuleFileNameA(nullptr, buffer, 4));
    EXPECT_EQ(0, memcmp(buffer, "D:\\sx", 5));

    boot(winsim::setup_for(winsim::windows_7));
    memset(buffer, 'x', sizeof buffer);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(4u, GetModuleFileNameA(nullptr, buffer, 4));
    EXPECT_STREQ("D:\\", buffer);
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());

    char whole[MAX_PATH];
    EXPECT_EQ(strlen("D:\\setup.exe"), GetModuleFileNameA(nullptr, whole, sizeof whole));
    EXPECT_STREQ("D:\\setup.exe", whole);
}

TEST_F(Kernel, EachThreadHasItsOwnLastError)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen_by_worker = 0xdeadbeef;
    std::thread worker([&] {
        seen_by_worker = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    });
    worker.join();
    EXPECT_EQ(0u, seen_by_worker);
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
}

TEST_F(Kernel, SleepAdvancesTheVirtualClockAtOnce)
{
    auto start = std::chrono::steady_clock::now();
    Sleep(2000);
    Sleep(1000);
    auto spent = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(3000u, winsim::now_ms());
    EXPECT_EQ(3000u, GetTickCount());
    EXPECT_LT(spent, std::chrono::milliseconds(500));
    std::vector<winsim::CallRecord> calls = winsim::journal();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("Sleep", calls[0].function);
    EXPECT_EQ("2000", calls[0].arguments);
    EXPECT_EQ(2000u, calls[0].time_ms);
}

TEST_F(Kernel, TheJournalKeepsEachCallWithItsResultAndError)
{
    char buffer[MAX_PATH];
    GetSystemDirectoryA(buffer, sizeof buffer);
    GetFileAttributesA("C:\\missing");

    std::vector<winsim::CallRecord> calls = winsim::journal();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("GetSystemDirectoryA", calls[0].function);
    EXPECT_EQ(std::to_string(strlen("C:\\WINDOWS\\system32")), calls[0].result);
    EXPECT_EQ("GetFileAttributesA", calls[1].function);
    EXPECT_EQ("\"C:\\missing\"", calls[1].arguments);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, calls[1].error);
    EXPECT_EQ(1, winsim::call_count("GetFileAttributesA"));
}

TEST_F(Kernel, AFaultFailsTheNthCallOrEveryCallFromThere)
{
    char buffer[MAX_PATH];
    winsim::fail_call("GetSystemDirectoryA", 2, ERROR_NOT_ENOUGH_MEMORY);
    winsim::fail_call("GetTempPathA", 2, ERROR_ACCESS_DENIED, true);

    EXPECT_NE(0u, GetSystemDirectoryA(buffer, sizeof buffer));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(0u, GetSystemDirectoryA(buffer, sizeof buffer));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_NE(0u, GetSystemDirectoryA(buffer, sizeof buffer));

    EXPECT_NE(0u, GetTempPathA(sizeof buffer, buffer));
    EXPECT_EQ(0u, GetTempPathA(sizeof buffer, buffer));
    EXPECT_EQ(0u, GetTempPathA(sizeof buffer, buffer));
    winsim::clear_faults();
    EXPECT_NE(0u, GetTempPathA(sizeof buffer, buffer));
}
