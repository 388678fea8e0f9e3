// The spooler's driver and print processor directories: environments per
// Windows family and a spooler that cannot be reached; the buffer rule is
// checked against Windows by the conformance suite.
#include "support/machine_fixture.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>

namespace {

using Query = BOOL(WINAPI *)(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD);

struct Answer {
    DWORD error; // 0 on success
    std::string path;
};

Answer ask(Query query, const char *environment, DWORD level = 1, const char *server = nullptr)
{
    char buffer[MAX_PATH];
    DWORD needed = 0;
    SetLastError(0xdeadbeef);
    if (!query(const_cast<char *>(server), const_cast<char *>(environment), level,
               reinterpret_cast<LPBYTE>(buffer), sizeof buffer, &needed))
        return {GetLastError(), ""};
    EXPECT_EQ(strlen(buffer) + 1, needed);
    return {0, buffer};
}

void expect_path(const std::string &path, const Answer &answer)
{
    EXPECT_EQ(0u, answer.error) << path;
    EXPECT_EQ(path, answer.path);
    EXPECT_TRUE(winsim::directory_present(path)) << path;
}

using SpoolerDirectories = MachineTest;

} // namespace

TEST_F(SpoolerDirectories, TheNtFamilyKeepsThemPerEnvironmentUnderTheSystemDirectory)
{
    const std::string spool = "C:\\WINDOWS\\system32\\spool\\";
    expect_path(spool + "drivers\\w32x86", ask(GetPrinterDriverDirectoryA, nullptr));
    expect_path(spool + "drivers\\w32x86", ask(GetPrinterDriverDirectoryA, "windows nt X86"));
    expect_path(spool + "prtprocs\\w32x86", ask(GetPrintProcessorDirectoryA, ""));
    expect_path(spool + "drivers\\win40", ask(GetPrinterDriverDirectoryA, "WINDOWS 4.0"));
    expect_path(spool + "prtprocs\\win40", ask(GetPrintProcessorDirectoryA, "Windows 4.0"));

    EXPECT_EQ((DWORD)ERROR_INVALID_ENVIRONMENT, ask(GetPrinterDriverDirectoryA, "Windows 3.1").error);
    EXPECT_EQ((DWORD)ERROR_INVALID_LEVEL, ask(GetPrintProcessorDirectoryA, nullptr, 2).error);

    boot(winsim::setup_for(winsim::windows_nt_40));
    expect_path("C:\\WINNT\\system32\\spool\\drivers\\w32x86", ask(GetPrinterDriverDirectoryA, nullptr));
}

TEST_F(SpoolerDirectories, The95FamilyKnowsOnlyItsOwnEnvironmentInTheSystemDirectory)
{
    boot(winsim::setup_for(winsim::windows_98));

    expect_path("C:\\WINDOWS\\SYSTEM", ask(GetPrinterDriverDirectoryA, nullptr));
    expect_path("C:\\WINDOWS\\SYSTEM", ask(GetPrintProcessorDirectoryA, "windows 4.0"));
    // The level is not looked at.
    expect_path("C:\\WINDOWS\\SYSTEM", ask(GetPrintProcessorDirectoryA, "", 2));
    EXPECT_EQ((DWORD)ERROR_INVALID_ENVIRONMENT,
              ask(GetPrinterDriverDirectoryA, "Windows NT x86").error);
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER,
              ask(GetPrinterDriverDirectoryA, nullptr, 1, "\\\\SERVER").error);
}


TEST_F(SpoolerDirectories, OnTheNtFamilyOnlyARunningLocalSpoolerAnswers)
{
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE,
              ask(GetPrintProcessorDirectoryA, nullptr, 1, "\\\\SERVER").error);
    EXPECT_EQ(0u, ask(GetPrintProcessorDirectoryA, nullptr, 1, "").error);

    winsim::add_service({"Spooler", {}, false, 0, 500});
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, ask(GetPrinterDriverDirectoryA, nullptr).error);
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, ask(GetPrintProcessorDirectoryA, nullptr).error);

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(StartServiceA(spooler, 0, nullptr));
    EXPECT_EQ((DWORD)RPC_S_SERVER_UNAVAILABLE, ask(GetPrinterDriverDirectoryA, nullptr).error);
    Sleep(500);
    EXPECT_EQ(0u, ask(GetPrinterDriverDirectoryA, nullptr).error);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}
