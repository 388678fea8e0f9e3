// Top-level windows of other programs and the messages that close them.
#include "support/machine_fixture.h"

#include <windows.h>

#include <cstring>

using Windows = MachineTest;

TEST_F(Windows, FindWindowMatchesOpenTopLevelWindowsWithoutRegardToCase)
{
    HWND first = winsim::open_window("kxprnwnd_Maria", "Print", winsim::ClosesOn::close_message);
    HWND second = winsim::open_window("Other", "Print", winsim::ClosesOn::close_message);
    ASSERT_NE(first, second);

    EXPECT_EQ(first, FindWindowA("KXPRNWND_MARIA", nullptr));
    EXPECT_EQ(first, FindWindowA(nullptr, "PRINT"));
    EXPECT_EQ(second, FindWindowA("other", "Print"));

    // Finding nothing leaves the last error alone.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(nullptr, FindWindowA("kxprnwnd_maria", "Fax"));
    EXPECT_EQ(0xdeadbeefu, GetLastError());

    SendMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(second, FindWindowA(nullptr, "Print"));
    EXPECT_EQ(nullptr, FindWindowA("kxprnwnd_maria", nullptr));
}

TEST_F(Windows, ASentCloseActsAtOnceOnTheWindowsThatHonourIt)
{
    HWND plain = winsim::open_window("Plain", "", winsim::ClosesOn::close_message);
    HWND stubborn = winsim::open_window("Stubborn", "", winsim::ClosesOn::system_close_command);

    EXPECT_EQ(0, SendMessageA(plain, WM_CLOSE, 0, 0));
    EXPECT_EQ(0, SendMessageA(stubborn, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(plain));
    EXPECT_TRUE(IsWindow(stubborn));

    // The low four bits of a system command do not count.
    winsim::fail_call("SendMessageA", 3, ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, SendMessageA(stubborn, WM_SYSCOMMAND, SC_CLOSE | 2, 0));
    EXPECT_TRUE(winsim::window_open(stubborn)) << "a failed call changes nothing";
    EXPECT_EQ(0, SendMessageA(stubborn, WM_SYSCOMMAND, SC_CLOSE | 2, 0));
    EXPECT_FALSE(winsim::window_open(stubborn));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(0, SendMessageA(plain, WM_CLOSE, 0, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    ASSERT_EQ(2u, winsim::window_messages(stubborn).size());
    EXPECT_EQ((UINT)WM_CLOSE, winsim::window_messages(stubborn)[0].message);
    EXPECT_EQ((UINT)WM_SYSCOMMAND, winsim::window_messages(stubborn)[1].message);
    EXPECT_EQ((WPARAM)(SC_CLOSE | 2), winsim::window_messages(stubborn)[1].w);
    EXPECT_FALSE(winsim::window_messages(stubborn)[1].posted);
    EXPECT_EQ(1u, winsim::window_messages(plain).size());
}

TEST_F(Windows, APostedCloseTakesEffectOnceTheOtherProgramHasRun)
{
    HWND plain = winsim::open_window("Plain", "", winsim::ClosesOn::close_message);
    HWND stubborn = winsim::open_window("Stubborn", "", winsim::ClosesOn::system_close_command);

    EXPECT_TRUE(PostMessageA(plain, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_TRUE(PostMessageA(stubborn, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(plain));
    Sleep(0);
    EXPECT_TRUE(IsWindow(plain));
    Sleep(1);
    EXPECT_FALSE(IsWindow(plain));
    EXPECT_TRUE(winsim::window_messages(plain)[0].posted);

    Sleep(1000);
    EXPECT_TRUE(IsWindow(stubborn));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostMessageA(plain, WM_CLOSE, 0, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

