// The program's dialogs and the scripted user, message boxes, the restart
// question, system texts, lstrcmpiA, threads and the program's run.
#include "support/machine_fixture.h"

#include <process.h>
#include <setupapi.h>
#include <windows.h>
#include <winsim/user.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <future>
#include <thread>

namespace
{

struct Received {
    UINT message;
    WPARAM w;
    LPARAM l;
};

// What the test's dialog procedure was sent, and what it does on
// WM_INITDIALOG and WM_CLOSE. A command from anything but an auto radio
// button ends the dialog with the command's id.
std::vector<Received> received;
std::function<void(HWND)> on_init;
INT_PTR close_result; // non-zero: WM_CLOSE is handled and ends with it

INT_PTR CALLBACK test_procedure(HWND dialog, UINT message, WPARAM w, LPARAM l)
{
    received.push_back({message, w, l});
    if (message == WM_INITDIALOG && on_init)
        on_init(dialog);
    if (message == WM_CLOSE && close_result != 0) {
        EndDialog(dialog, close_result);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(w) < 2000 || LOWORD(w) > 2002)) {
        EndDialog(dialog, LOWORD(w));
        return TRUE;
    }
    return FALSE;
}

INT_PTR show(int template_id, LPARAM param = 0)
{
    return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(template_id), GetDesktopWindow(),
                           test_procedure, param);
}

bool mentions(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

class UserInterface : public MachineTest
{
  protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        received.clear();
        on_init = nullptr;
        close_result = 0;
    }

    // Failures this test caused on purpose; none is left for the fixture.
    std::vector<std::string> take_failures()
    {
        std::vector<std::string> failures = winsim::script_failures();
        winsim::clear_script_failures();
        return failures;
    }

    void expect_one_never_ended_failure(const char *dialog)
    {
        std::vector<std::string> failures = take_failures();
        ASSERT_EQ(1u, failures.size());
        EXPECT_TRUE(mentions(failures[0], dialog) && mentions(failures[0], "never ended"))
            << failures[0];
    }
};

} // namespace

TEST_F(UserInterface, TemplatesComeFromTheProgramsResourceScript)
{
    const winsim::DialogTemplate *language = winsim::dialog_template(201);
    ASSERT_NE(nullptr, language);
    EXPECT_EQ("Select your Language", language->caption);
    EXPECT_TRUE(language->has_style("WS_SYSMENU"));
    std::vector<int> ids;
    for (const winsim::ControlTemplate &control : language->controls)
        ids.push_back(control.id);
    EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL, -1, 2000, 2001, 2002}), ids);
    EXPECT_TRUE(language->controls[0].has_style("BS_DEFPUSHBUTTON"));
    EXPECT_TRUE(language->controls[2].has_style("BS_GROUPBOX"));
    for (int i = 3; i < 6; i++) {
        EXPECT_EQ("Button", language->controls[i].class_name);
        EXPECT_TRUE(language->controls[i].has_style("BS_AUTORADIOBUTTON"));
        EXPECT_FALSE(language->controls[i].has_style("WS_DISABLED"));
    }
    EXPECT_EQ("Francais", language->controls[5].text);

    const winsim::DialogTemplate *choice = winsim::dialog_template(104);
    ASSERT_NE(nullptr, choice);
    EXPECT_EQ("Dialog", choice->caption);
    ASSERT_EQ(5u, choice->controls.size());
    EXPECT_EQ("Edit", choice->controls[4].class_name);
    EXPECT_TRUE(choice->controls[4].has_style("ES_READONLY"));
    EXPECT_NE(nullptr, winsim::dialog_template(105));
    EXPECT_NE(nullptr, winsim::dialog_template(106));

    // The icon's id names no dialog; a template is found by number or
    // "#number", never by the script's symbolic name.
    EXPECT_EQ(nullptr, winsim::dialog_template(101));
    EXPECT_EQ(-1, show(101));
    EXPECT_EQ((DWORD)ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
    EXPECT_EQ(-1, DialogBoxParamA(nullptr, "IDD_CHOICE", nullptr, test_procedure, 0));
    EXPECT_EQ((DWORD)ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
    EXPECT_TRUE(received.empty());
    winsim::expect_dialog(104, [](winsim::Dialog &d) { d.press_escape(); });
    EXPECT_EQ(IDCANCEL, DialogBoxParamA(nullptr, "#104", nullptr, test_procedure, 0));
}

TEST_F(UserInterface, TheScriptedUserWorksTheDialogThroughItsProcedure)
{
    HWND ok = nullptr, french = nullptr;
    on_init = [&](HWND dialog) {
        ok = GetDlgItem(dialog, IDOK);
        french = GetDlgItem(dialog, 2002);
        SetWindowTextA(dialog, "Chosen title");
        // Setting a radio button's check leaves the others alone; a push
        // button keeps no check.
        CheckDlgButton(dialog, 2000, BST_CHECKED);
        CheckDlgButton(dialog, 2001, BST_CHECKED);
        CheckDlgButton(dialog, IDOK, BST_CHECKED);
    };
    HWND seen = nullptr;
    winsim::expect_dialog(201, [&seen](winsim::Dialog &d) {
        seen = d.handle();
        EXPECT_EQ(201, d.template_id());
        EXPECT_EQ("Chosen title", d.title());
        EXPECT_TRUE(d.checked(2000) && d.checked(2001));
        EXPECT_FALSE(d.checked(2002));
        EXPECT_TRUE(d.enabled(2002));
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(d.handle(), IDOK));
        char buffer[6];
        EXPECT_EQ(5u, GetDlgItemTextA(d.handle(), 2002, buffer, sizeof buffer));
        EXPECT_STREQ("Franc", buffer);

        d.click(2002);
        EXPECT_FALSE(d.checked(2000) || d.checked(2001));
        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d.handle(), 2002));
        d.press_enter();
    });

    EXPECT_EQ(IDOK, show(201, 42));

    ASSERT_EQ(3u, received.size());
    EXPECT_EQ((UINT)WM_INITDIALOG, received[0].message);
    EXPECT_EQ((WPARAM)ok, received[0].w) << "the first control with a tab stop";
    EXPECT_EQ(42, received[0].l);
    EXPECT_EQ((UINT)WM_COMMAND, received[1].message);
    EXPECT_EQ(MAKEWPARAM(2002, BN_CLICKED), received[1].w);
    EXPECT_EQ((LPARAM)french, received[1].l);
    EXPECT_EQ(MAKEWPARAM(IDOK, BN_CLICKED), received[2].w);
    EXPECT_EQ((LPARAM)ok, received[2].l);
    EXPECT_EQ(std::vector<std::string>{"Chosen title"}, winsim::control_text_history(201, 0));

    // The dialog and its controls are gone.
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(nullptr, GetDlgItem(seen, 2000));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

TEST_F(UserInterface, EscCloseAndEnterSendWhatWindowsSends)
{
    struct Case {
        int template_id;
        std::function<void(winsim::Dialog &)> act;
        INT_PTR close_result;
        INT_PTR result;
        std::vector<UINT> messages;
    };
    const Case cases[] = {
        {104,
         [](winsim::Dialog &d) { d.press_escape(); },
         0,
         IDCANCEL,
         {WM_INITDIALOG, WM_COMMAND}},
        {104, [](winsim::Dialog &d) { d.press_enter(); }, 0, 1002, {WM_INITDIALOG, WM_COMMAND}},
        {106, [](winsim::Dialog &d) { d.press_enter(); }, 0, IDOK, {WM_INITDIALOG, WM_COMMAND}},
        // DefDlgProc turns a WM_CLOSE the procedure leaves into IDCANCEL.
        {104,
         [](winsim::Dialog &d) { d.close(); },
         0,
         IDCANCEL,
         {WM_INITDIALOG, WM_CLOSE, WM_COMMAND}},
        {104, [](winsim::Dialog &d) { d.close(); }, 77, 77, {WM_INITDIALOG, WM_CLOSE}},
    };
    for (const Case &c : cases) {
        received.clear();
        close_result = c.close_result;
        winsim::expect_dialog(c.template_id, c.act);

        EXPECT_EQ(c.result, show(c.template_id));

        std::vector<UINT> messages;
        for (const Received &r : received)
            messages.push_back(r.message);
        EXPECT_EQ(c.messages, messages) << "ending with " << c.result;
    }
}

TEST_F(UserInterface, StepsTheUserCannotTakeAreScriptFailuresThatChangeNothing)
{
    BOOL first = -1, second = -1;
    on_init = [&](HWND dialog) {
        first = EnableWindow(GetDlgItem(dialog, 2001), FALSE);
        second = EnableWindow(GetDlgItem(dialog, 2001), FALSE);
        EXPECT_EQ(nullptr, GetDlgItem(dialog, 4242));
        EXPECT_EQ((DWORD)ERROR_CONTROL_ID_NOT_FOUND, GetLastError());
    };
    winsim::expect_dialog(201, [](winsim::Dialog &d) {
        EXPECT_FALSE(d.enabled(2001));
        d.click(2001);
        d.click(-1);
        d.click(4242);
        EXPECT_FALSE(d.checked(2001));
        d.press_escape();
        d.click(IDOK);
    });

    EXPECT_EQ(IDCANCEL, show(201));

    EXPECT_FALSE(first) << "was enabled";
    EXPECT_TRUE(second) << "was disabled";
    EXPECT_EQ(2u, received.size()) << "WM_INITDIALOG and Esc's IDCANCEL only";
    std::vector<std::string> failures = take_failures();
    ASSERT_EQ(4u, failures.size());
    EXPECT_TRUE(mentions(failures[0], "click on control 2001") && mentions(failures[0], "disabled"))
        << failures[0];
    EXPECT_TRUE(mentions(failures[1], "not a button")) << failures[1];
    EXPECT_TRUE(mentions(failures[2], "no such control")) << failures[2];
    EXPECT_TRUE(mentions(failures[3], "after it ended")) << failures[3];
}

namespace
{

std::shared_future<void> user_looked;

void status_worker(void *dialog)
{
    user_looked.wait();
    SetDlgItemTextA(static_cast<HWND>(dialog), 1001, "one");
    SetDlgItemTextA(static_cast<HWND>(dialog), 1001, "two");
    // Long enough for the dialog's thread to be waiting in its modal loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EndDialog(static_cast<HWND>(dialog), 7);
}

} // namespace

TEST_F(UserInterface, AnotherThreadSetsTheTextsAndEndsTheModalLoop)
{
    std::promise<void> looked;
    user_looked = looked.get_future().share();
    HWND dialog = nullptr;
    on_init = [&dialog](HWND d) {
        dialog = d;
        _beginthread(status_worker, 0, d);
    };
    winsim::expect_dialog(106, [&looked](winsim::Dialog &d) {
        EXPECT_EQ("Progress", d.text(1001));
        looked.set_value();
    });

    EXPECT_EQ(7, show(106));

    EXPECT_EQ((std::vector<std::string>{"one", "two"}), winsim::control_text_history(106, 1001));
    EXPECT_FALSE(EndDialog(dialog, 1));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
}

TEST_F(UserInterface, ADialogWhoseMachineMakesNoProgressGivesMinusOne)
{
    winsim::set_dialog_timeout(std::chrono::milliseconds(50));
    winsim::expect_dialog(105, [](winsim::Dialog &) {});

    EXPECT_EQ(-1, show(105));

    expect_one_never_ended_failure("dialog 105 'Dialog'");
}

// A slow host stretches a busy worker's run past the timeout; only a machine
// that stands still counts as stuck.
TEST_F(UserInterface, ADialogOutlivesTheTimeoutWhileItsWorkerKeepsCalling)
{
    winsim::set_journal_enabled(false);
    winsim::set_dialog_timeout(std::chrono::milliseconds(100));
    std::thread worker;
    winsim::expect_dialog(105, [&worker](winsim::Dialog &dialog) {
        HWND window = dialog.handle();
        worker = std::thread([window] {
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
            while (std::chrono::steady_clock::now() < until)
                Sleep(0);
            EndDialog(window, 7);
        });
    });

    EXPECT_EQ(7, show(105));

    worker.join();
    EXPECT_TRUE(take_failures().empty());
}

TEST_F(UserInterface, ADialogWhoseWorkerPollsForADayGivesMinusOne)
{
    winsim::set_dialog_timeout(std::chrono::milliseconds(50));
    std::atomic<bool> stop{false};
    std::thread worker;
    winsim::expect_dialog(105, [&](winsim::Dialog &) {
        worker = std::thread([&stop] {
            while (!stop)
                Sleep(60 * 1000);
        });
    });

    EXPECT_EQ(-1, show(105));

    stop = true;
    worker.join();
    expect_one_never_ended_failure("dialog 105 'Dialog'");
}

TEST_F(UserInterface, UnforeseenDialogsAndBoxesAreRecordedWithTheirTextsAndClosed)
{
    on_init = [](HWND dialog) { SetDlgItemTextA(dialog, 1001, "Windows XP found"); };

    EXPECT_EQ(0, show(104));
    EXPECT_EQ(1u, received.size()) << "ended without a command";
    EXPECT_EQ(IDABORT, MessageBoxA(nullptr, "Disk full", "Setup", MB_ABORTRETRYIGNORE));
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "Go on?", "Setup", MB_YESNOCANCEL));
    winsim::expect_dialog(201, [](winsim::Dialog &d) { d.press_escape(); });
    EXPECT_EQ(IDOK, MessageBoxA(nullptr, "Done", "Setup", MB_OK));
    EXPECT_EQ(SPFILEQ_REBOOT_RECOMMENDED, SetupPromptReboot(nullptr, nullptr, FALSE));

    EXPECT_EQ(std::vector<std::string>{"dialog 201"}, winsim::unused_expectations());
    std::vector<std::string> failures = take_failures();
    ASSERT_EQ(5u, failures.size());
    EXPECT_TRUE(mentions(failures[0], "unexpected dialog 104 'Dialog'") &&
                mentions(failures[0], "1001 'Windows XP found'") &&
                mentions(failures[0], "1002 'INSTALL'"))
        << failures[0];
    EXPECT_TRUE(mentions(failures[1], "unexpected message box 'Setup': 'Disk full'"))
        << failures[1];
    EXPECT_TRUE(mentions(failures[3], "'Done'") &&
                mentions(failures[3], "while the script expected dialog 201"))
        << failures[3];
    EXPECT_TRUE(mentions(failures[4], "restart prompt")) << failures[4];
    EXPECT_FALSE(winsim::reboot_requested());
    EXPECT_TRUE(winsim::unused_expectations().empty());
}

TEST_F(UserInterface, MessageBoxesTakeOnlyAnswersTheyOffer)
{
    winsim::MessageBoxSeen seen{};
    winsim::expect_message_box([&seen](const winsim::MessageBoxSeen &box) {
        seen = box;
        return IDRETRY;
    });
    winsim::expect_message_box([](const winsim::MessageBoxSeen &) { return IDOK; });
    const UINT type = MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_SETFOREGROUND;

    EXPECT_EQ(IDRETRY, MessageBoxA(GetDesktopWindow(), "Access is denied.", nullptr, type));
    EXPECT_EQ(IDABORT, MessageBoxA(nullptr, "Again", "Setup", type)) << "the answer is refused";

    EXPECT_EQ(GetDesktopWindow(), seen.owner);
    EXPECT_EQ("Access is denied.", seen.text);
    EXPECT_EQ("Error", seen.title) << "the title of a box without caption";
    EXPECT_EQ(type, seen.type);
    std::vector<std::string> failures = take_failures();
    ASSERT_EQ(1u, failures.size());
    EXPECT_TRUE(mentions(failures[0], "answer 1 is not a button")) << failures[0];

    // Boxes that cannot show answer 0 and are not seen by the user.
    EXPECT_EQ(0, MessageBoxA(nullptr, "x", "y", 7));
    EXPECT_EQ((DWORD)ERROR_INVALID_MSGBOX_STYLE, GetLastError());
    EXPECT_EQ(0, MessageBoxA(reinterpret_cast<HWND>(0x1234), "x", "y", MB_OK));
    EXPECT_EQ((DWORD)ERROR_INVALID_WINDOW_HANDLE, GetLastError());
    winsim::fail_call("MessageBoxA", 5, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(0, MessageBoxA(nullptr, "x", "y", MB_OK));
    EXPECT_EQ(2u, winsim::message_boxes_shown().size());

    // A standing answer serves every box without an expectation.
    winsim::answer_every_message_box([](const winsim::MessageBoxSeen &) { return IDIGNORE; });
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(IDIGNORE, MessageBoxA(nullptr, "Disk full", "Setup", type));
    EXPECT_EQ(5u, winsim::message_boxes_shown().size());

    // Cancel, Try Again, Continue came with Windows 2000.
    boot(winsim::setup_for(winsim::windows_nt_40));
    EXPECT_EQ(0, MessageBoxA(nullptr, "x", "y", MB_CANCELTRYCONTINUE));
    EXPECT_EQ((DWORD)ERROR_INVALID_MSGBOX_STYLE, GetLastError());
}

// A script that retries for ever would hold the test for ever: the same
// question past the limit is given up on, and says so.
TEST_F(UserInterface, TheSameBoxAskedPastTheLimitIsAbortedOrCancelledAsALoop)
{
    winsim::answer_every_message_box([](const winsim::MessageBoxSeen &) { return IDRETRY; });
    const UINT type = MB_ABORTRETRYIGNORE | MB_ICONERROR;
    for (int i = 0; i < winsim::SAME_QUESTION_LIMIT; i++)
        ASSERT_EQ(IDRETRY, MessageBoxA(nullptr, "Disk full", "Setup", type)) << i;
    EXPECT_EQ(IDRETRY, MessageBoxA(nullptr, "Disk full", "Other", type)) << "another box";
    EXPECT_EQ(IDABORT, MessageBoxA(nullptr, "Disk full", "Setup", type));
    EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "Disk full", "Setup", MB_RETRYCANCEL));
    EXPECT_EQ(std::vector<std::string>{"the same box was asked more than 50 times, the run loops; "
                                       "answered Abort or Cancel from then on: message box 'Setup': "
                                       "'Disk full'"},
              take_failures());
}

// A round's failures are not lost when the next round boots unchecked.
TEST_F(UserInterface, BootReportsTheScriptOfAMachineNoOneChecked)
{
    std::vector<std::string> reported;
    auto test_hook = winsim::on_unchecked_script_results(
        [&reported](const std::vector<std::string> &unchecked) { reported = unchecked; });
    MessageBoxA(nullptr, "Unforeseen", "Setup", MB_OK);
    winsim::expect_dialog(201, [](winsim::Dialog &) {});
    winsim::boot(winsim::MachineSetup());
    EXPECT_EQ((std::vector<std::string>{
                  "script failure: unexpected message box 'Setup': 'Unforeseen'",
                  "never came: dialog 201"}),
              reported);

    // Read or cleared, they are not reported.
    reported.clear();
    MessageBoxA(nullptr, "Unforeseen", "Setup", MB_OK);
    EXPECT_EQ(1u, winsim::script_failures().size());
    winsim::expect_dialog(201, [](winsim::Dialog &) {});
    EXPECT_EQ(1u, winsim::unused_expectations().size());
    winsim::boot(winsim::MachineSetup());
    MessageBoxA(nullptr, "Unforeseen", "Setup", MB_OK);
    winsim::clear_script_failures();
    winsim::boot(winsim::MachineSetup());
    EXPECT_TRUE(reported.empty());
    winsim::on_unchecked_script_results(test_hook);
}

TEST_F(UserInterface, AStandingDialogActionServesEveryDialogOfItsTemplateWithoutExpectation)
{
    int standing_runs = 0;
    winsim::answer_every_dialog(105, [&standing_runs](winsim::Dialog &dialog) {
        standing_runs++;
        dialog.click(IDOK);
    });
    winsim::expect_dialog(105, [](winsim::Dialog &dialog) { dialog.press_escape(); });

    // The expectation comes first, then the standing action, as often as asked.
    EXPECT_EQ(IDCANCEL, show(105));
    EXPECT_EQ(0, standing_runs);
    EXPECT_EQ(IDOK, show(105));
    EXPECT_EQ(IDOK, show(105));
    EXPECT_EQ(2, standing_runs);
    // A template without a standing action is still unexpected.
    EXPECT_EQ(0, show(104));
    std::vector<std::string> failures = take_failures();
    ASSERT_EQ(1u, failures.size());
    EXPECT_TRUE(mentions(failures[0], "unexpected dialog 104")) << failures[0];

    // An expectation for another dialog that is next does not block it.
    winsim::expect_dialog(201, [](winsim::Dialog &dialog) { dialog.click(IDOK); });
    EXPECT_EQ(IDOK, show(105));
    EXPECT_EQ(3, standing_runs);
    EXPECT_EQ(IDOK, show(201));
    EXPECT_TRUE(take_failures().empty());

    // A new action replaces the old one; boot forgets it.
    winsim::answer_every_dialog(105, [](winsim::Dialog &dialog) { dialog.press_escape(); });
    EXPECT_EQ(IDCANCEL, show(105));
    EXPECT_EQ(3, standing_runs);
    boot(winsim::MachineSetup());
    EXPECT_EQ(0, show(105));
    failures = take_failures();
    ASSERT_EQ(1u, failures.size());
    EXPECT_TRUE(mentions(failures[0], "unexpected dialog 105")) << failures[0];
}

TEST_F(UserInterface, TheRestartQuestionReportsWhatTheUserChose)
{
    winsim::expect_reboot_prompt(false);
    winsim::expect_reboot_prompt(true);

    EXPECT_EQ(SPFILEQ_REBOOT_RECOMMENDED, SetupPromptReboot(nullptr, nullptr, FALSE));
    EXPECT_FALSE(winsim::reboot_requested());
    EXPECT_EQ(SPFILEQ_REBOOT_RECOMMENDED | SPFILEQ_REBOOT_IN_PROGRESS,
              SetupPromptReboot(nullptr, nullptr, FALSE));
    EXPECT_TRUE(winsim::reboot_requested());
    // Scanning without a queue has nothing to scan.
    EXPECT_EQ(-1, SetupPromptReboot(nullptr, nullptr, TRUE));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(UserInterface, SystemTextsComeInLocalMemoryOrTheCallersBuffer)
{
    const DWORD allocate =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    char *text = nullptr;
    EXPECT_EQ(19u, FormatMessageA(allocate, nullptr, 5, 0, (LPSTR)&text, 0, nullptr));
    EXPECT_STREQ("Access is denied.\r\n", text);
    EXPECT_EQ(1, winsim::local_allocation_count());
    EXPECT_EQ(nullptr, LocalFree(text));
    EXPECT_EQ(0, winsim::local_allocation_count());
    EXPECT_EQ(text, LocalFree(text)) << "released twice";
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());

    text = nullptr;
    ASSERT_NE(0u, FormatMessageA(allocate, nullptr, 2, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                 (LPSTR)&text, 0, nullptr));
    EXPECT_STREQ("The system cannot find the file specified.\r\n", text);
    LocalFree(text);
    // An English system has no German texts, and no text for every code.
    text = nullptr;
    EXPECT_EQ(
        0u, FormatMessageA(allocate, nullptr, 5, MAKELANGID(0x07, 0x01), (LPSTR)&text, 0, nullptr));
    EXPECT_EQ((DWORD)ERROR_RESOURCE_LANG_NOT_FOUND, GetLastError());
    EXPECT_EQ(0u, FormatMessageA(allocate, nullptr, 0x2000, 0, (LPSTR)&text, 0, nullptr));
    EXPECT_EQ((DWORD)ERROR_MR_MID_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(0, winsim::local_allocation_count());

    // Every code the program meets has a one-line text.
    for (DWORD code : {0,    2,    3,    5,    8,    14,   32,   87,   122,  123,  126,  127,  183,
                       206,  234,  1051, 1053, 1056, 1058, 1060, 1061, 1062, 1068, 1157, 1223, 1355,
                       1400, 1722, 1795, 1796, 1797, 1798, 1801, 1802, 1805, 3001, 3005}) {
        DWORD length = FormatMessageA(allocate, nullptr, code, 0, (LPSTR)&text, 0, nullptr);
        ASSERT_GT(length, 2u) << code;
        std::string line(text, length);
        EXPECT_EQ(length - 2, line.find("\r\n")) << code;
        LocalFree(text);
    }
}

TEST_F(UserInterface, LstrcmpiComparesWithoutRegardToCaseInCodePage1252)
{
    EXPECT_EQ(0, lstrcmpiA("\\RMZANTR.EXE", "\\rmzantr.exe"));
    EXPECT_EQ(0, lstrcmpiA("\xC9t\xE9", "\xE9T\xC9"));
    EXPECT_NE(0, lstrcmpiA("\xF7", "\xD7")) << "division and multiplication signs";
    EXPECT_LT(lstrcmpiA("apple", "BANANA"), 0);
    EXPECT_GT(lstrcmpiA("Banana", "APPLE"), 0);
    EXPECT_GT(lstrcmpiA("abc", "AB"), 0);
    EXPECT_LT(lstrcmpiA("", "a"), 0);
}

namespace
{

struct EntrySeen {
    HINSTANCE instance;
    HINSTANCE previous;
    std::string command_line;
    int show;
};
EntrySeen entry_seen;
bool went_on_after_exec;
intptr_t exec_result;
int exec_errno;
char program_path[MAX_PATH];

// Like the program's own frames, these entries hold nothing with a
// destructor where _execl may leave them.
int WINAPI replacing_entry(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    entry_seen = {instance, previous, command_line, show};
    _execl(program_path, "/c", "del", "\"C:\\a b\"", (char *)NULL);
    went_on_after_exec = true;
    return 5;
}

int WINAPI failing_entry(HINSTANCE, HINSTANCE, LPSTR, int)
{
    errno = 0;
    exec_result = _execl(program_path, "nothing.exe", (char *)NULL);
    exec_errno = errno;
    return 7;
}

void exec_worker(void *)
{
    exec_result = _execl(program_path, "/c", (char *)NULL);
}

std::atomic<bool> worker_finished;

void slow_worker(void *)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    worker_finished = true;
}

int WINAPI threading_entry(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (_beginthread(slow_worker, 0, nullptr) == (uintptr_t)-1)
        return 1;
    return _beginthread(exec_worker, 0, nullptr) == (uintptr_t)-1 ? 1 : 0;
}

} // namespace

TEST_F(UserInterface, AnExecToAnExistingProgramEndsTheRunWithZero)
{
    std::snprintf(program_path, sizeof program_path, "%s\\cmd.exe",
                  winsim::machine().system_dir.c_str());
    went_on_after_exec = false;
    ASSERT_TRUE(winsim::file_present(program_path)) << "the NT family's command interpreter";

    EXPECT_EQ(0, winsim::run_program(replacing_entry));

    EXPECT_EQ(0, winsim::last_exit_code());
    EXPECT_FALSE(went_on_after_exec);
    EXPECT_NE(nullptr, entry_seen.instance);
    EXPECT_EQ(nullptr, entry_seen.previous);
    EXPECT_EQ("", entry_seen.command_line);
    EXPECT_EQ(SW_SHOWNORMAL, entry_seen.show);
    ASSERT_EQ(1u, winsim::execs().size());
    EXPECT_EQ(program_path, winsim::execs()[0].path);
    EXPECT_EQ("/c del \"C:\\a b\"", winsim::execs()[0].command_line);
}

TEST_F(UserInterface, AnExecToAMissingProgramReturnsAndTheRunGoesOn)
{
    boot(winsim::setup_for(winsim::windows_98));
    std::snprintf(program_path, sizeof program_path, "%s\\cmd.exe",
                  winsim::machine().system_dir.c_str());
    EXPECT_FALSE(winsim::file_present(program_path)) << "the 95 family has none";

    EXPECT_EQ(7, winsim::run_program(failing_entry));

    EXPECT_EQ(7, winsim::last_exit_code());
    EXPECT_EQ(-1, exec_result);
    EXPECT_EQ(ENOENT, exec_errno);
    ASSERT_EQ(1u, winsim::execs().size());
    EXPECT_EQ("nothing.exe", winsim::execs()[0].command_line);
}

TEST_F(UserInterface, TheRunWaitsForItsThreadsAndAnExecFromOneIsAScriptFailure)
{
    std::snprintf(program_path, sizeof program_path, "%s\\cmd.exe",
                  winsim::machine().system_dir.c_str());
    worker_finished = false;
    exec_result = 0;

    EXPECT_EQ(0, winsim::run_program(threading_entry));

    EXPECT_TRUE(worker_finished);
    EXPECT_EQ(-1, exec_result);
    std::vector<std::string> failures = take_failures();
    ASSERT_EQ(1u, failures.size());
    EXPECT_TRUE(mentions(failures[0], "outside the thread of the program's run")) << failures[0];

    winsim::fail_call("_beginthread", 3, ERROR_NOT_ENOUGH_MEMORY);
    errno = 0;
    EXPECT_EQ((uintptr_t)-1, _beginthread(slow_worker, 0, nullptr));
    EXPECT_EQ(EAGAIN, errno);
}
