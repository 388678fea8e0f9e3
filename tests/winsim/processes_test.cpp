// Programs started with CreateProcessA, their handles, and the package's fax
// server with its window.
#include "support/machine_fixture.h"

#include <windows.h>
#include <winsim/processes.h>

#include <cstring>

using Processes = MachineTest;

namespace {

const char fax_server[] = "C:\\WINDOWS\\system32\\faxsrv.exe";

BOOL start(LPCSTR application, const char *command_line, PROCESS_INFORMATION &process,
           DWORD flags = 0x04000020)
{
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    char line[MAX_PATH] = "";
    if (command_line != nullptr)
        std::strcpy(line, command_line);
    return CreateProcessA(application, command_line != nullptr ? line : nullptr, nullptr, nullptr,
                          FALSE, flags, nullptr, nullptr, &startup, &process);
}

} // namespace

TEST_F(Processes, AStartedProgramGivesHandlesThatCloseOnce)
{
    winsim::put_file("C:\\Tools\\tool.exe", "program");
    PROCESS_INFORMATION process;
    ASSERT_TRUE(start("c:\\tools\\TOOL.EXE", nullptr, process));
    EXPECT_NE(process.hProcess, process.hThread);
    EXPECT_NE(process.dwProcessId, process.dwThreadId);
    EXPECT_EQ(2, winsim::open_kernel_handle_count());
    ASSERT_EQ(1u, winsim::started_processes().size());
    winsim::ProcessStart started = winsim::started_processes()[0];
    EXPECT_EQ("C:\\tools\\TOOL.EXE", started.application) << "as named, the drive in capitals";
    EXPECT_EQ("c:\\tools\\TOOL.EXE", started.command_line);
    EXPECT_EQ(0x04000020u, started.flags);
    EXPECT_EQ(sizeof(STARTUPINFOA), started.startup_info_size);

    EXPECT_TRUE(CloseHandle(process.hThread));
    EXPECT_TRUE(CloseHandle(process.hProcess));
    EXPECT_EQ(0, winsim::open_kernel_handle_count());
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(process.hProcess));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(CloseHandle(nullptr));
    // The current process's pseudo handle closes without effect.
    EXPECT_TRUE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(Processes, AProgramThatIsNotThereDoesNotStart)
{
    winsim::make_directory("C:\\Tools\\dir.exe");
    struct Case {
        const char *application;
        DWORD error;
    };
    for (const Case &c : {Case{fax_server, ERROR_FILE_NOT_FOUND},
                          Case{"C:\\Missing\\faxsrv.exe", ERROR_PATH_NOT_FOUND},
                          Case{"C:\\Tools\\dir.exe", ERROR_ACCESS_DENIED}}) {
        PROCESS_INFORMATION process;
        std::memset(&process, 0xcc, sizeof process);
        SetLastError(0);
        EXPECT_FALSE(start(c.application, nullptr, process)) << c.application;
        EXPECT_EQ(c.error, GetLastError()) << c.application;
        EXPECT_EQ(nullptr, process.hProcess) << "a failed start zeroes the information";
    }
    EXPECT_TRUE(winsim::started_processes().empty());
    EXPECT_EQ(0, winsim::open_kernel_handle_count());
}

TEST_F(Processes, ACommandLineNamesItsProgramAsWindowsSearchesForIt)
{
    winsim::put_file(fax_server, "server");
    winsim::put_file("C:\\Program Files\\App\\run.exe", "program");
    PROCESS_INFORMATION process;
    ASSERT_TRUE(start(nullptr, "FaxSrv /quiet", process));
    ASSERT_TRUE(start(nullptr, "C:\\Program Files\\App\\run.exe -x", process));
    ASSERT_TRUE(start(nullptr, "\"C:\\Program Files\\App\\run\" -y", process));
    std::vector<winsim::ProcessStart> started = winsim::started_processes();
    ASSERT_EQ(3u, started.size());
    EXPECT_EQ("C:\\WINDOWS\\system32\\FaxSrv.exe", started[0].application);
    EXPECT_EQ("FaxSrv /quiet", started[0].command_line);
    EXPECT_EQ("C:\\Program Files\\App\\run.exe", started[1].application);
    EXPECT_EQ("C:\\Program Files\\App\\run.exe", started[2].application);

    // An application name is taken as it is: no extension is added.
    SetLastError(0);
    EXPECT_FALSE(start("C:\\WINDOWS\\system32\\faxsrv", nullptr, process));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(Processes, TheFaxServerWindowClosesOnlyOnAPostedSystemClose)
{
    winsim::put_file(fax_server, "server");
    PROCESS_INFORMATION process;
    ASSERT_TRUE(start("C:\\WINDOWS\\SYSTEM32\\FAXSRV.EXE", nullptr, process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    HWND window = FindWindowA("FaxSrvClass", nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    Sleep(1);
    EXPECT_TRUE(IsWindow(window)) << "the server ignores a bare WM_CLOSE";
    EXPECT_TRUE(PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_TRUE(IsWindow(window)) << "until it has run";
    Sleep(1);
    EXPECT_EQ(nullptr, FindWindowA("FaxSrvClass", nullptr));

    // Other programs open no window.
    winsim::put_file("C:\\Tools\\tool.exe", "program");
    ASSERT_TRUE(start("C:\\Tools\\tool.exe", nullptr, process));
    EXPECT_EQ(nullptr, FindWindowA("FaxSrvClass", nullptr));
}
