// The Setup API: INF parsing, the INF install of the product's file lists,
// the prompts of the default queue callback, and handle accounting.
#include "support/machine_fixture.h"

#include <setupapi.h>
#include <windows.h>
#include <winsim/crt.h>
#include <winsim/setup_api.h>

#include <string>
#include <vector>

using SetupApi = MachineTest;

namespace {

const char inf_path[] = "C:\\WINDOWS\\TEMP\\test.inf";
const std::string header = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

HINF open_inf(const std::string &text, UINT *error_line = nullptr)
{
    winsim::put_file(inf_path, text);
    UINT ignored = 0;
    return SetupOpenInfFileA(inf_path, nullptr, INF_STYLE_WIN4,
                             error_line != nullptr ? error_line : &ignored);
}

// "key=field|field" or "field|field" per entry.
std::vector<std::string> entries(HINF inf, const std::string &section)
{
    std::vector<std::string> texts;
    for (const winsim::InfEntry &entry : winsim::inf_section_entries(inf, section)) {
        std::string text = entry.has_key ? entry.key + "=" : "";
        for (size_t i = 0; i < entry.fields.size(); i++)
            text += (i > 0 ? "|" : "") + entry.fields[i];
        texts.push_back(text);
    }
    return texts;
}

// Opens the INF, installs its [Install] section as the product does (the
// default queue callback, source root D:) and closes everything again.
BOOL install(const std::string &text, UINT copy_flags = 0x6220)
{
    HINF inf = open_inf(text);
    EXPECT_NE(INVALID_HANDLE_VALUE, inf);
    PVOID context = SetupInitDefaultQueueCallback(nullptr);
    BOOL result = SetupInstallFromInfSectionA(nullptr, inf, "Install", SPINST_ALL, nullptr, "D:",
                                              copy_flags, SetupDefaultQueueCallbackA, context,
                                              nullptr, nullptr);
    DWORD error = GetLastError();
    SetupTermDefaultQueueCallback(context);
    SetupCloseInfFile(inf);
    SetLastError(error);
    return result;
}

// Two files from disk 1's x86 folder into the system folder.
const std::string two_files = header + "[Install]\r\nCopyFiles=Files\r\n"
                                       "[DestinationDirs]\r\nFiles=11\r\n"
                                       "[Files]\r\na.dll\r\nb.dll\r\n"
                                       "[SourceDisksNames]\r\n1=\"Setup Disk\"\r\n"
                                       "[SourceDisksFiles]\r\na.dll=1,x86\r\nb.dll=1,x86\r\n";
const char system_a[] = "C:\\WINDOWS\\system32\\a.dll";
const char system_b[] = "C:\\WINDOWS\\system32\\b.dll";

} // namespace

TEST_F(SetupApi, EntriesAreReadAsWindowsReadsThem)
{
    std::string text = header + "; a comment line\n"
                                "\n"
                                "[Files]   ignored after the bracket\r\n"
                                "  plain.dll\n"
                                "key = value one , two ;comment\r\n"
                                "quoted=\"a;b,c\", \"say \"\"hi\"\"\"\n"
                                "empty=,,x\n"
                                "long=first,\\\n"
                                "   second\n"
                                "path=\"C:\\dir\\\"\n"
                                "sub=%name%,%%,%unknown%\n"
                                "[files]\n"
                                "merged.dll\n"
                                "[Strings]\n"
                                "name=\"Ravelo\"\n";
    HINF inf = open_inf(text);
    ASSERT_NE(INVALID_HANDLE_VALUE, inf);
    std::vector<std::string> expected = {"plain.dll",         "key=value one|two",
                                         "quoted=a;b,c|say \"hi\"", "empty=||x",
                                         "long=first|second", "path=C:\\dir\\",
                                         "sub=Ravelo|%|%unknown%", "merged.dll"};
    EXPECT_EQ(expected, entries(inf, "FILES"));
    EXPECT_TRUE(entries(inf, "Missing").empty());
    ASSERT_EQ(1u, winsim::opened_inf_texts().size());
    EXPECT_EQ(text, winsim::opened_inf_texts()[0]);
    SetupCloseInfFile(inf);
}

TEST_F(SetupApi, AWindowsInfNeedsItsSignatureInVersion)
{
    for (const char *accepted : {"[version]\nsignature=$windows 95$\n",
                                 "[VERSION]\r\nSIGNATURE=\"$CHICAGO$\",extra\r\n",
                                 "[Version]\nProvider=x\n[Other]\n[Version]\nSignature=$Windows NT$"}) {
        HINF inf = open_inf(accepted);
        EXPECT_NE(INVALID_HANDLE_VALUE, inf) << accepted;
        SetupCloseInfFile(inf);
    }
    for (const char *refused : {"", "[Version]\nSignature=$Windows 98$\n",
                                "[Strings]\nSignature=$Chicago$\n", "[Version]\nSignature=\n",
                                "plain text\r\n"}) {
        UINT line = 77;
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, open_inf(refused, &line)) << refused;
        EXPECT_EQ((DWORD)ERROR_WRONG_INF_STYLE, GetLastError()) << refused;
        EXPECT_EQ(0u, line) << refused;
    }
    EXPECT_EQ(0, winsim::open_inf_count());
}

TEST_F(SetupApi, ASyntaxErrorFailsTheOpenWithItsLine)
{
    struct Case {
        std::string text;
        DWORD error;
        UINT line;
    };
    const std::vector<Case> cases = {
        {header + "\n[Files]\nx.dll\n[Broken\nmore\n", ERROR_BAD_SECTION_NAME_LINE, 6},
        {header + "[" + std::string(256, 'a') + "]\r\n", ERROR_SECTION_NAME_TOO_LONG, 3},
        {"stray\r\n" + header, ERROR_EXPECTED_SECTION_NAME, 1},
        {";comment\n  \nstray\n" + header, ERROR_EXPECTED_SECTION_NAME, 3},
        // Ctrl-Z ends the file, here within a section name.
        {header + "[Cut\x1a]\n", ERROR_BAD_SECTION_NAME_LINE, 3},
    };
    for (const Case &c : cases) {
        UINT line = 0;
        SetLastError(0);
        EXPECT_EQ(INVALID_HANDLE_VALUE, open_inf(c.text, &line)) << c.text;
        EXPECT_EQ(c.error, GetLastError()) << c.text;
        EXPECT_EQ(c.line, line) << c.text;
        EXPECT_EQ(c.text, winsim::opened_inf_texts().back());
    }
    // What would be errors after a Ctrl-Z, or before a [Strings] section, is not.
    for (const std::string &fine : {header + "[" + std::string(255, 'a') + "]\r\n",
                                    header + "[A]\nx=1\x1a[broken\n",
                                    "stray\n" + header + "[Strings]\n"}) {
        HINF inf = open_inf(fine);
        EXPECT_NE(INVALID_HANDLE_VALUE, inf);
        SetupCloseInfFile(inf);
    }
}

TEST_F(SetupApi, AnInfThatIsNotThereIsNotOpened)
{
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, SetupOpenInfFileA("C:\\WINDOWS\\TEMP\\none.inf", nullptr,
                                                      INF_STYLE_WIN4, nullptr));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, SetupOpenInfFileA("C:\\nowhere\\x.inf", nullptr, INF_STYLE_WIN4, nullptr));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_TRUE(winsim::opened_inf_texts().empty());

    // A bare name is looked for in the INF folder of Windows.
    winsim::put_file("C:\\WINDOWS\\inf\\oem1.inf", header);
    SetLastError(0xdeadbeef);
    HINF inf = SetupOpenInfFileA("OEM1.INF", nullptr, INF_STYLE_WIN4, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, inf);
    EXPECT_EQ(0u, GetLastError()) << "a successful open clears the last error";
    EXPECT_EQ(1, winsim::open_inf_count());
    SetupCloseInfFile(inf);
}

TEST_F(SetupApi, TheProductsInfPutsEachFileIntoItsBoundFolder)
{
    const std::string inf_text = "[Version]\n"
                                 "Signature=$Windows NT$\n"
                                 "Provider=Norvane\n"
                                 "[Install_Printer]\n"
                                 "CopyFiles=Printer_Files, PrintProc_Files, Driver_Files\n"
                                 "[DestinationDirs]\n"
                                 "Printer_Files=78000\n"
                                 "PrintProc_Files=78001\n"
                                 "Driver_Files=78002\n"
                                 "[Printer_Files]\n"
                                 "faxsrv.exe,,0x4\n"
                                 "tqvdrv32.dll,,0x4\n"
                                 "[PrintProc_Files]\n"
                                 "ravproc.dll,,0x4\n"
                                 "[Driver_Files]\n"
                                 "unidrv.dll\n"
                                 "unidrvui.dll\n"
                                 "ravelo.dll\n"
                                 "ravelo.gpd\n"
                                 "[SourceDisksNames]\n"
                                 "1=\"Ravelo Printer Driver Setup Disk\"\n"
                                 "[SourceDisksFiles]\n"
                                 "ravproc.dll=1,NT5\n"
                                 "tqvdrv32.dll=1,NT5\n"
                                 "faxsrv.exe=1,NT5\n"
                                 "ravelo.dll=1,NT5\n"
                                 "ravelo.gpd=1,NT5\n"
                                 "unidrv.dll=1,NT5\\eng\n"
                                 "unidrvui.dll=1,NT5\\eng\n";
    for (const char *name : {"faxsrv.exe", "tqvdrv32.dll", "ravproc.dll", "ravelo.dll", "ravelo.gpd"})
        winsim::put_file(std::string("D:\\NT5\\") + name, std::string("platform ") + name);
    for (const char *name : {"unidrv.dll", "unidrvui.dll"})
        winsim::put_file(std::string("D:\\NT5\\eng\\") + name, std::string("english ") + name);
    winsim::put_file("D:\\NT5\\unidrv.dll", "not the language's");

    HINF inf = open_inf(crlf(inf_text));
    ASSERT_NE(INVALID_HANDLE_VALUE, inf);
    const std::string system = "C:\\WINDOWS\\system32";
    const std::string processors = system + "\\spool\\prtprocs\\w32x86";
    const std::string drivers = system + "\\spool\\drivers\\w32x86\\3";
    EXPECT_TRUE(SetupSetDirectoryIdA(inf, 78000, system.c_str()));
    EXPECT_TRUE(SetupSetDirectoryIdA(inf, 78001, processors.c_str()));
    EXPECT_TRUE(SetupSetDirectoryIdA(inf, 78002, drivers.c_str()));
    PVOID context = SetupInitDefaultQueueCallback(nullptr);
    ASSERT_NE(nullptr, context);
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(SetupInstallFromInfSectionA(nullptr, inf, "install_printer", SPINST_ALL, nullptr, "D:",
                                            0x6220, SetupDefaultQueueCallbackA, context, nullptr,
                                            nullptr));
    EXPECT_EQ(0u, GetLastError());
    SetupTermDefaultQueueCallback(context);
    SetupCloseInfFile(inf);

    EXPECT_EQ("platform faxsrv.exe", winsim::file_bytes(system + "\\faxsrv.exe"));
    EXPECT_EQ("platform tqvdrv32.dll", winsim::file_bytes(system + "\\tqvdrv32.dll"));
    EXPECT_EQ("platform ravproc.dll", winsim::file_bytes(processors + "\\ravproc.dll"));
    EXPECT_EQ("english unidrv.dll", winsim::file_bytes(drivers + "\\unidrv.dll"));
    EXPECT_EQ("english unidrvui.dll", winsim::file_bytes(drivers + "\\unidrvui.dll"));
    EXPECT_EQ("platform ravelo.gpd", winsim::file_bytes(drivers + "\\ravelo.gpd"));
    EXPECT_TRUE(winsim::shown_setup_prompts().empty());
    EXPECT_TRUE(winsim::setup_api_script_failures().empty());
    EXPECT_TRUE(winsim::pending_file_replacements().empty());

    bool journaled = false;
    for (const winsim::CallRecord &record : winsim::journal()) {
        if (record.function == "SetupInstallFromInfSectionA")
            journaled = record.arguments.find("\"install_printer\", 0x7ff") != std::string::npos &&
                        record.arguments.find("\"D:\", 0x6220") != std::string::npos &&
                        record.result == "1";
    }
    EXPECT_TRUE(journaled);
}

TEST_F(SetupApi, AMissingFirstFileAsksForTheMedium)
{
    winsim::put_file("D:\\x86\\b.dll", "B");

    winsim::expect_files_needed_prompt(winsim::FilesNeededAnswer::cancel());
    SetLastError(0);
    EXPECT_FALSE(install(two_files));
    EXPECT_EQ((DWORD)ERROR_CANCELLED, GetLastError());
    EXPECT_FALSE(winsim::file_present(system_b)) << "the queue stops at the cancel";
    ASSERT_EQ(1u, winsim::shown_setup_prompts().size());
    EXPECT_EQ(winsim::PromptKind::files_needed, winsim::shown_setup_prompts()[0].kind);
    EXPECT_EQ("a.dll", winsim::shown_setup_prompts()[0].file);
    EXPECT_EQ("D:\\x86", winsim::shown_setup_prompts()[0].source_path);

    winsim::expect_files_needed_prompt(winsim::FilesNeededAnswer::skip());
    EXPECT_TRUE(install(two_files));
    EXPECT_FALSE(winsim::file_present(system_a));
    EXPECT_EQ("B", winsim::file_bytes(system_b));

    winsim::expect_files_needed_prompt(winsim::FilesNeededAnswer::retry_after(
        [] { winsim::put_file("D:\\x86\\a.dll", "A"); }));
    EXPECT_TRUE(install(two_files));
    EXPECT_EQ("A", winsim::file_bytes(system_a));
    EXPECT_EQ(3u, winsim::shown_setup_prompts().size());
    EXPECT_EQ(0, winsim::unused_prompt_answers());
    EXPECT_TRUE(winsim::setup_api_script_failures().empty());
}

TEST_F(SetupApi, ALaterMissingFileIsACopyErrorAndAnUnscriptedPromptAFailure)
{
    winsim::put_file("D:\\x86\\a.dll", "A");
    winsim::expect_copy_error_prompt(winsim::CopyErrorAnswer::retry_after(
        [] { winsim::put_file("D:\\x86\\b.dll", "B"); }));
    EXPECT_TRUE(install(two_files));
    EXPECT_EQ("B", winsim::file_bytes(system_b));
    ASSERT_EQ(1u, winsim::shown_setup_prompts().size());
    EXPECT_EQ(winsim::PromptKind::copy_error, winsim::shown_setup_prompts()[0].kind);
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, winsim::shown_setup_prompts()[0].error);

    winsim::put_file("D:\\x86\\a.dll", "A2");
    DeleteFileA("D:\\x86\\b.dll");
    SetLastError(0);
    EXPECT_FALSE(install(two_files, 0));
    EXPECT_EQ((DWORD)ERROR_CANCELLED, GetLastError());
    EXPECT_EQ("A2", winsim::file_bytes(system_a));
    ASSERT_EQ(1u, winsim::setup_api_script_failures().size());
    EXPECT_NE(std::string::npos, winsim::setup_api_script_failures()[0].find("b.dll"));
}

TEST_F(SetupApi, ExistingTargetsAreReplacedAtOnceOrAtTheNextRestart)
{
    winsim::put_file("D:\\x86\\a.dll", "new A");
    winsim::put_file("D:\\x86\\b.dll", "new B");
    winsim::put_file(system_a, "old A");
    winsim::put_file(system_b, "old B");

    // SP_COPY_FORCE_IN_USE: an existing target counts as in use.
    EXPECT_TRUE(install(two_files, SP_COPY_FORCE_IN_USE));
    EXPECT_EQ("old A", winsim::file_bytes(system_a));
    std::vector<winsim::PendingReplacement> pending = winsim::pending_file_replacements();
    ASSERT_EQ(2u, pending.size());
    EXPECT_EQ(system_a, pending[0].target);
    EXPECT_EQ("C:\\WINDOWS\\system32", pending[0].temporary_file.substr(0, 19));
    EXPECT_EQ("new A", winsim::file_bytes(pending[0].temporary_file));

    // Without it the targets are overwritten, unless in use or read-only.
    FILE *in_use = winsim_fopen(system_b, "r");
    ASSERT_NE(nullptr, in_use);
    EXPECT_TRUE(install(two_files, 0));
    fclose(in_use);
    EXPECT_EQ("new A", winsim::file_bytes(system_a));
    EXPECT_EQ("old B", winsim::file_bytes(system_b));
    ASSERT_EQ(3u, winsim::pending_file_replacements().size());
    EXPECT_EQ(system_b, winsim::pending_file_replacements()[2].target);

    winsim::put_file("D:\\x86\\a.dll", "newer A");
    SetFileAttributesA(system_a, FILE_ATTRIBUTE_READONLY);
    winsim::expect_copy_error_prompt(winsim::CopyErrorAnswer::skip());
    EXPECT_TRUE(install(two_files, 0));
    EXPECT_EQ("new A", winsim::file_bytes(system_a));
    ASSERT_EQ(1u, winsim::shown_setup_prompts().size());
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, winsim::shown_setup_prompts()[0].error);
}

namespace {

std::vector<std::string> notifications;

UINT CALLBACK recording_handler(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2)
{
    if (notification == SPFILENOTIFY_STARTCOPY) {
        std::string source = reinterpret_cast<const FILEPATHS_A *>(param1)->Source;
        notifications.push_back("start " + source);
        if (source.find("b.dll") != std::string::npos) {
            SetLastError(0xdeadf00d);
            return FILEOP_ABORT;
        }
        return FILEOP_DOIT;
    }
    if (notification == SPFILENOTIFY_NEEDMEDIA) {
        const SOURCE_MEDIA_A *media = reinterpret_cast<const SOURCE_MEDIA_A *>(param1);
        notifications.push_back(std::string("medium ") + media->Description + " " + media->SourcePath);
    } else {
        notifications.push_back("other");
    }
    return SetupDefaultQueueCallbackA(context, notification, param1, param2);
}

} // namespace

TEST_F(SetupApi, AMessageHandlerSeesTheQueueAndAbortsItWithItsOwnError)
{
    winsim::put_file("D:\\x86\\a.dll", "A");
    winsim::put_file("D:\\x86\\b.dll", "B");
    notifications.clear();
    HINF inf = open_inf(two_files);
    PVOID context = SetupInitDefaultQueueCallback(nullptr);
    EXPECT_FALSE(SetupInstallFromInfSectionA(nullptr, inf, "Install", SPINST_FILES, nullptr, "D:\\",
                                             0, recording_handler, context, nullptr, nullptr));
    EXPECT_EQ(0xdeadf00du, GetLastError());
    std::vector<std::string> expected = {"other", "other", "medium Setup Disk D:\\x86",
                                         "start D:\\x86\\a.dll", "other", "start D:\\x86\\b.dll"};
    EXPECT_EQ(expected, notifications);
    EXPECT_TRUE(winsim::file_present(system_a));
    EXPECT_FALSE(winsim::file_present(system_b));
    SetupTermDefaultQueueCallback(context);
    SetupCloseInfFile(inf);
}

TEST_F(SetupApi, FilesOutsideTheSourceListsComeFromTheRootIntoTheDefaultFolder)
{
    winsim::put_file("D:\\loose.dll", "loose");
    EXPECT_TRUE(install(header + "[Install]\nCopyFiles=Files\n[Files]\nloose.dll\n"));
    EXPECT_EQ("loose", winsim::file_bytes("C:\\WINDOWS\\system32\\loose.dll"));
    EXPECT_TRUE(install(header + "[Install]\nCopyFiles=Files\n[DestinationDirs]\n"
                                 "DefaultDestDir=10,New\\Folder\n[Files]\nloose.dll\n"));
    EXPECT_EQ("loose", winsim::file_bytes("C:\\WINDOWS\\New\\Folder\\loose.dll"));
    SetLastError(0);
    EXPECT_FALSE(install(header + "[Install]\nCopyFiles=NoSuchList\n"));
    EXPECT_EQ((DWORD)ERROR_SECTION_NOT_FOUND, GetLastError());
}

TEST_F(SetupApi, HandlesAndContextsAreCountedUntilReleased)
{
    HINF first = open_inf(header);
    HINF second = open_inf(header);
    EXPECT_NE(first, second);
    EXPECT_EQ(2, winsim::open_inf_count());
    SetupCloseInfFile(first);
    SetupCloseInfFile(INVALID_HANDLE_VALUE);
    EXPECT_EQ(1, winsim::open_inf_count());

    SetLastError(0);
    EXPECT_FALSE(SetupSetDirectoryIdA(first, 78000, "C:\\"));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(SetupInstallFromInfSectionA(nullptr, first, "Install", SPINST_ALL, nullptr, "D:", 0,
                                             SetupDefaultQueueCallbackA, nullptr, nullptr, nullptr));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(SetupSetDirectoryIdA(second, 40, "C:\\"));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(SetupInstallFromInfSectionA(nullptr, second, "Install", SPINST_ALL, nullptr, "D:", 0,
                                             SetupDefaultQueueCallbackA, nullptr, nullptr, nullptr));
    EXPECT_EQ((DWORD)ERROR_SECTION_NOT_FOUND, GetLastError());
    SetupCloseInfFile(second);
    EXPECT_EQ(0, winsim::open_inf_count());

    PVOID one = SetupInitDefaultQueueCallback(nullptr);
    PVOID two = SetupInitDefaultQueueCallback(nullptr);
    EXPECT_EQ(2, winsim::live_queue_contexts());
    SetupTermDefaultQueueCallback(one);
    SetupTermDefaultQueueCallback(two);
    EXPECT_EQ(0, winsim::live_queue_contexts());

    winsim::fail_call("SetupOpenInfFileA", 3, ERROR_NOT_ENOUGH_MEMORY);
    winsim::fail_call("SetupInitDefaultQueueCallback", 3, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(INVALID_HANDLE_VALUE, open_inf(header));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_EQ(nullptr, SetupInitDefaultQueueCallback(nullptr));
    EXPECT_EQ(0, winsim::open_inf_count());
    EXPECT_EQ(0, winsim::live_queue_contexts());
}
