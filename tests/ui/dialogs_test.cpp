// The language dialog, the window titles and the two error boxes.
#include "support/scenario.h"

#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/string_table.h"
#include "resources/resource.h"
#include "ui/user_interface.h"

#include <future>

using Dialogs = MachineTest;

namespace {

struct LanguageDialogSeen {
    std::string title;
    bool checked[3];
    bool enabled[3];
};

// Opens the language dialog, notes what it shows, then does the action.
void expect_language_dialog(LanguageDialogSeen *seen, std::function<void(winsim::Dialog &)> act)
{
    winsim::expect_dialog(IDD_LANGUAGE, [seen, act](winsim::Dialog &dialog) {
        seen->title = dialog.title();
        for (int i = 0; i < 3; i++) {
            seen->checked[i] = dialog.checked(IDC_GERMAN + i);
            seen->enabled[i] = dialog.enabled(IDC_GERMAN + i);
        }
        act(dialog);
    });
}

INT_PTR show_language_dialog()
{
    return DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_LANGUAGE), GetDesktopWindow(),
                           language_dialog_proc, 0);
}

} // namespace

TEST_F(Dialogs, TheLanguageDialogPresetsGermanAndEnablesTheLanguagesPresent)
{
    put_distribution(false);
    LanguageDialogSeen seen;
    expect_language_dialog(&seen, [](winsim::Dialog &d) { d.click(IDOK); });

    EXPECT_EQ(1, show_language_dialog());

    EXPECT_EQ("Ravelo Printer Driver Setup install Version 3.0", seen.title);
    EXPECT_TRUE(seen.checked[0]);
    EXPECT_FALSE(seen.checked[1]);
    EXPECT_TRUE(seen.enabled[0] && seen.enabled[1] && seen.enabled[2]);
    EXPECT_STREQ("ger", language_code);
    EXPECT_STREQ("lang.ger", language_file_name);
    EXPECT_STREQ("Das Setup wird initialisiert...", lookup_text("SetupInit", "SetupInit"));
}

TEST_F(Dialogs, TheSorvikVariantPresetsEnglishAndItsBrand)
{
    put_distribution(false);
    winsim::put_file("D:\\sorvik", "");
    LanguageDialogSeen seen;
    expect_language_dialog(&seen, [](winsim::Dialog &d) { d.press_enter(); });

    EXPECT_EQ(1, show_language_dialog());

    EXPECT_EQ("Sorvik Printer Driver Setup install Version 3.0", seen.title);
    EXPECT_TRUE(seen.checked[1]);
    EXPECT_STREQ("eng", language_code);
}

TEST_F(Dialogs, OnlyTheLanguagesWithAFileCanBeChosen)
{
    winsim::put_file("D:\\lang.eng", shipped_language_file("eng"));
    LanguageDialogSeen seen;
    expect_language_dialog(&seen, [](winsim::Dialog &d) { d.click(IDOK); });

    EXPECT_EQ(1, show_language_dialog());

    EXPECT_FALSE(seen.enabled[0]);
    EXPECT_TRUE(seen.enabled[1]);
    EXPECT_FALSE(seen.enabled[2]);
    // German stays preset although its file is missing: every text is its key.
    EXPECT_TRUE(seen.checked[0]);
    EXPECT_STREQ("ger", language_code);
    EXPECT_STREQ("SetupInit", lookup_text("SetupInit", "SetupInit"));
}

TEST_F(Dialogs, CancelLoadsTheLanguageClickedLast)
{
    put_distribution(false);
    LanguageDialogSeen seen;
    expect_language_dialog(&seen, [](winsim::Dialog &d) {
        d.click(IDC_FRENCH);
        d.click(IDCANCEL);
    });

    EXPECT_EQ(0, show_language_dialog());

    EXPECT_STREQ("fre", language_code);
    EXPECT_STREQ("lang.fre", language_file_name);
    EXPECT_STRNE("SetupInit", lookup_text("SetupInit", "SetupInit"));
}

TEST_F(Dialogs, TitlesForBothBrandsAndBothActions)
{
    EXPECT_STREQ("Ravelo Printer Driver Setup install Version 3.0", make_window_title(TITLE_INSTALL));
    EXPECT_STREQ("FAX Printer Driver remove Version 3.0", make_window_title(TITLE_REMOVE));
    winsim::put_file("D:\\sorvik", "");
    EXPECT_STREQ("Sorvik Printer Driver Setup install Version 3.0", make_window_title(TITLE_INSTALL));
    EXPECT_STREQ("FAX Printer Driver remove Version 3.0", make_window_title(TITLE_REMOVE));
}

TEST_F(Dialogs, TheErrorBoxShowsTheKeysTextALineBreakAndTheSystemsText)
{
    winsim::put_file("D:\\lang.eng", "SetupCantInit: The setup could not be initialised.\n");
    load_message_file("D:\\lang.eng");
    last_error = ERROR_ACCESS_DENIED;
    winsim::MessageBoxSeen seen{};
    winsim::expect_message_box([&seen](const winsim::MessageBoxSeen &box) {
        seen = box;
        return IDRETRY;
    });

    EXPECT_EQ(IDRETRY, ask_on_error("SetupCantInit", TITLE_INSTALL));

    EXPECT_EQ("The setup could not be initialised.\r\nAccess is denied.\r\n", seen.text);
    EXPECT_EQ("Ravelo Printer Driver Setup install Version 3.0", seen.title);
    EXPECT_EQ((UINT)(MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_SETFOREGROUND), seen.type);
    EXPECT_EQ(0, winsim::local_allocation_count());
}

TEST_F(Dialogs, AnErrorWithoutSystemTextIsNamedByItsCode)
{
    last_error = 0x2000;
    winsim::MessageBoxSeen seen{};
    winsim::expect_message_box([&seen](const winsim::MessageBoxSeen &box) {
        seen = box;
        return IDABORT;
    });
    std::string result_text;
    expect_result(&result_text);

    EXPECT_EQ(IDABORT, ask_on_error("Unknown key", TITLE_REMOVE));
    EXPECT_EQ(0x2000u, show_system_error(0x2000));

    EXPECT_EQ("Unknown key\r\nError 8192", seen.text);
    EXPECT_EQ("FAX Printer Driver remove Version 3.0", seen.title);
    EXPECT_EQ("Error 8192", result_text);
}

TEST_F(Dialogs, TheWindowsErrorBoxShowsTheSystemsText)
{
    std::string result_text;
    expect_result(&result_text);

    show_system_error(RPC_S_SERVER_UNAVAILABLE);

    EXPECT_EQ("The RPC server is unavailable.\r\n", result_text);
    EXPECT_STREQ("The RPC server is unavailable.\r\n", message_text);
    EXPECT_EQ(0, winsim::local_allocation_count());
}

TEST_F(Dialogs, ABoxThatCannotBeShownAnswersZero)
{
    winsim::fail_call("MessageBoxA", 1, ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(0, ask_on_error("SetupCantInit", TITLE_INSTALL));

    EXPECT_EQ(0, winsim::local_allocation_count());
}

TEST_F(Dialogs, TheProgressDialogCannotBeEndedByTheUser)
{
    // The removal's first step fails on a 95-family machine whose spooler
    // never answers; its box waits until the user has tried OK, Esc and Close.
    boot(winsim::setup_for(winsim::windows_98));
    winsim::fail_call("GetPrintProcessorDirectoryA", 1, ERROR_ACCESS_DENIED, true);
    std::promise<void> tried;
    std::shared_future<void> user_done = tried.get_future().share();
    winsim::expect_dialog(IDD_PROGRESS, [&tried](winsim::Dialog &d) {
        d.click(IDOK);
        d.press_escape();
        d.close();
        tried.set_value();
    });
    winsim::expect_message_box([user_done](const winsim::MessageBoxSeen &) {
        user_done.wait();
        return IDABORT;
    });

    INT_PTR result = DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_PROGRESS),
                                     GetDesktopWindow(), removal_progress_proc, 0);

    EXPECT_EQ(0, result) << "ended by the worker, with its failure";
    EXPECT_EQ("RemoveFailed", status_history().back());
}

TEST_F(Dialogs, OnlyOkEndsTheResultBox)
{
    strcpy(message_text, "Done.");
    std::string text;
    winsim::expect_dialog(IDD_RESULT, [&text](winsim::Dialog &d) {
        d.press_escape();
        d.close();
        text = d.text(IDC_RESULT_TEXT);
        d.click(IDOK);
    });

    EXPECT_EQ(1, DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_RESULT), GetDesktopWindow(),
                                 result_dialog_proc, 0));

    EXPECT_EQ("Done.", text);
}
