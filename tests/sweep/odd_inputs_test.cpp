// Whole runs on machines with odd inputs: directories as long as Windows
// allows and longer, a program folder with blanks and Windows-1252 letters,
// language files of 10 MB, with a line of 100,000 bytes, or of binary
// bytes. Every run ends, cuts what does not fit, overflows nothing (the
// host-asan build runs these too) and passes the checks of every run.
#include "sweep/run_checks.h"

#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/string_table.h"
#include "resources/resource.h"

#include <chrono>
#include <random>

namespace {

// A Windows path of exactly the length: the root, then folders of at most
// 60 characters, each named after the path's length before it.
std::string long_folder(const std::string &root, size_t length)
{
    std::string path = root;
    while (path.size() < length) {
        size_t room = length - path.size() - 1; // one for the backslash
        size_t name_length = room < 60 ? room : 60;
        // Never leave room for a backslash alone.
        if (room - name_length == 1)
            name_length--;
        std::string name = "Verzeichnis " + std::to_string(path.size());
        name.resize(name_length, 'x');
        path += "\\" + name;
    }
    return path;
}

struct OddMachine {
    winsim::Version version = winsim::windows_xp;
    size_t system_dir_length = 0; // 0: the version's own
    size_t temp_dir_length = 0;
    std::string program_dir = "D:"; // the distribution's folder
    size_t program_dir_length = 0;
};

struct RunResult {
    int exit_code;
    std::vector<std::string> violations;
    std::vector<BoxAnswered> answered;
    std::string result_text; // the last text of the result dialog
};

class OddInputs : public MachineTest {
  protected:
    void TearDown() override
    {
        // The checks of each run reported its script failures already.
        winsim::clear_script_failures();
        reset_setup_state();
        MachineTest::TearDown();
    }

    // Boots the machine with the distribution in its program folder.
    void boot_odd(const OddMachine &odd)
    {
        winsim::MachineSetup setup = winsim::setup_for(odd.version);
        if (odd.system_dir_length != 0)
            setup.system_dir = long_folder("C:", odd.system_dir_length);
        if (odd.temp_dir_length != 0)
            setup.temp_dir = long_folder("C:", odd.temp_dir_length);
        program_dir_ = odd.program_dir_length != 0 ? long_folder(odd.program_dir, odd.program_dir_length)
                                                   : odd.program_dir;
        setup.current_dir = program_dir_ + "\\";
        setup.module_file_name = program_dir_ + "\\setup.exe";
        EXPECT_TRUE(odd.temp_dir_length == 0 || odd.temp_dir_length == setup.temp_dir.size());
        EXPECT_TRUE(odd.program_dir_length == 0 || odd.program_dir_length == program_dir_.size());
        boot(setup);
        reset_setup_state();
        put_branch_distribution(program_dir_, true);
    }

    // One run with every check; the answers go to every Abort/Retry/Ignore
    // box.
    RunResult run(RunKind kind, Answers answers = Answers::abort)
    {
        reset_setup_state();
        winsim::set_dialog_timeout(std::chrono::milliseconds(5000));
        // Missing or uncopyable files make the Setup API ask; the user cancels.
        for (int i = 0; i < 3; i++) {
            winsim::expect_files_needed_prompt(winsim::PromptAnswer::cancel());
            winsim::expect_copy_error_prompt(winsim::PromptAnswer::cancel());
        }
        RunChecks checks;
        std::shared_ptr<std::vector<BoxAnswered>> answered = script_user(kind, answers);
        RunResult result;
        result.exit_code = run_setup();
        result.violations = checks.after_run(kind, result.exit_code, *answered, {"", 0, 0, 0});
        result.answered = *answered;
        std::vector<std::string> texts = winsim::control_text_history(IDD_RESULT, IDC_RESULT_TEXT);
        result.result_text = texts.empty() ? "" : texts.back();
        winsim::clear_script_failures();
        return result;
    }

    // The uninstaller copy of an installation whose settings file (the
    // language file it was installed with) holds these bytes.
    RunResult run_uninstaller(const winsim::Version &version, const std::string &settings)
    {
        winsim::MachineSetup setup = winsim::setup_for(version);
        setup.module_file_name = setup.system_dir + "\\rmzantr.exe";
        boot(setup);
        arrange_installed_product("eng");
        winsim::put_file(system("zantrel.apd"), settings);
        return run(RunKind::uninstall);
    }

    void expect_clean(const RunResult &result, const std::string &what)
    {
        for (const std::string &violation : result.violations)
            ADD_FAILURE() << what << ": " << violation;
    }

    std::string system(const std::string &name)
    {
        return winsim::machine().system_dir + "\\" + name;
    }

    std::string program_dir_;
};

} // namespace

// Every product path still fits in MAX_PATH: the installation and the
// removal both succeed, nothing is cut that must not be.
TEST_F(OddInputs, DirectoriesAsLongAsEveryPathStillFitsInstallAndRemove)
{
    struct Case {
        winsim::Version version;
        size_t system_dir; // leaves room for the longest product path
    } cases[] = {
        // The spooler's folders add "\spool\prtprocs\w32x86", the longest
        // file "\tqvprint.dll". No longer system folder can hold the
        // standard print processor (winprint.dll) either.
        {winsim::windows_xp, 259 - 22 - 13},
        {winsim::windows_nt_40, 259 - 22 - 13},
        // On the 95 family they are the system folder itself.
        {winsim::windows_98, 259 - 13},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version.name);
        OddMachine odd;
        odd.version = c.version;
        odd.system_dir_length = c.system_dir;
        // "\INSFFFF.TMP" and "\W2K\fre\unidrvui.dll" still fit.
        odd.temp_dir_length = 259 - 12;
        odd.program_dir_length = 259 - 22;
        boot_odd(odd);
        ASSERT_EQ(c.system_dir, winsim::machine().system_dir.size());

        RunResult installed = run(RunKind::install);
        expect_clean(installed, "installation");
        EXPECT_EQ(1, installed.exit_code);
        EXPECT_EQ(Verdict::success, classify(installed.result_text)) << installed.result_text;
        EXPECT_TRUE(installed.answered.empty());
        EXPECT_EQ("payload tqvprint.dll", winsim::file_bytes(print_processor_directory() + "\\tqvprint.dll"));
        EXPECT_EQ(system("rmzantr.exe") + '\0',
                  winsim::registry_value("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                                         "Uninstall\\zantrel",
                                         "UninstallString")
                      ->data);

        RunResult removed = run(RunKind::remove);
        expect_clean(removed, "removal");
        EXPECT_EQ(1, removed.exit_code);
        EXPECT_EQ(Verdict::success, classify(removed.result_text)) << removed.result_text;
        EXPECT_FALSE(winsim::file_present(print_processor_directory() + "\\tqvprint.dll"));
        EXPECT_TRUE(winsim::printers().empty());
    }
}

// Directories too long for the files that go into them: each run ends,
// says it failed, and leaves nothing behind.
TEST_F(OddInputs, DirectoriesTooLongForTheirFilesFailTheRunCleanly)
{
    struct Case {
        const char *what;
        OddMachine odd;
    } cases[] = {
        // No room for "\INSFFFF.TMP"; the NT 4 one is too long for the
        // program's buffer as well.
        {"temporary folder", {winsim::windows_xp, 0, 252, "D:", 0}},
        {"temporary folder", {winsim::windows_nt_40, 0, 259, "D:", 0}},
        // "\setup.exe" just fits, the payload does not.
        {"program folder", {winsim::windows_xp, 0, 0, "D:", 259 - 10}},
        {"program folder", {winsim::windows_98, 0, 0, "D:", 259 - 10}},
        // The longest system folder whose standard print processor
        // (winprint.dll) still fits, with the others too long.
        {"every folder", {winsim::windows_2000, 259 - 22 - 13, 256, "D:", 249}},
    };
    for (const Case &c : cases) {
        for (Answers answers : {Answers::abort, Answers::ignore}) {
            SCOPED_TRACE(std::string(c.what) + " on " + c.odd.version.name + ", boxes answered " +
                         answers_name(answers));
            boot_odd(c.odd);

            RunResult installed = run(RunKind::install, answers);

            expect_clean(installed, "installation");
            EXPECT_EQ(0, installed.exit_code);
            EXPECT_EQ(Verdict::failure, classify(installed.result_text)) << installed.result_text;
            EXPECT_FALSE(installed.answered.empty());
        }
    }
}

// Blanks and Windows-1252 letters in the program folder reach the Setup API
// and the uninstall entry unchanged.
TEST_F(OddInputs, AProgramFolderWithBlanksAndUmlautsInstallsAndRemoves)
{
    for (const winsim::Version &version : {winsim::windows_xp, winsim::windows_98}) {
        SCOPED_TRACE(version.name);
        OddMachine odd;
        odd.version = version;
        odd.program_dir = "D:\\Pakete f\xfcr \xc4rzte\\Fax Setup";
        boot_odd(odd);

        RunResult installed = run(RunKind::install);
        expect_clean(installed, "installation");
        EXPECT_EQ(1, installed.exit_code);
        EXPECT_EQ(Verdict::success, classify(installed.result_text)) << installed.result_text;
        EXPECT_STREQ("D:\\Pakete f\xfcr \xc4rzte\\Fax Setup", program_dir);
        EXPECT_EQ("payload tqvprint.dll", winsim::file_bytes(print_processor_directory() + "\\tqvprint.dll"));

        RunResult removed = run(RunKind::remove);
        expect_clean(removed, "removal");
        EXPECT_EQ(1, removed.exit_code);
        EXPECT_EQ(Verdict::success, classify(removed.result_text)) << removed.result_text;
    }
}

// A line of 100,000 bytes as a text: the text is cut to what a catalog
// entry holds, every composed text to its buffer; the rest of the file
// still counts.
TEST_F(OddInputs, ALineOf100000BytesIsCutAndTheFileReadOn)
{
    OddMachine odd;
    boot_odd(odd);
    std::string long_value(100000, 'x');
    std::string lines = "SetupInit: " + long_value + "\r\n" + "SetupOk: %s " + long_value +
                        "\r\n" + std::string(100000, 'k') + ": a key far too long\r\n" +
                        "SetupInstallDriver: After the long lines\r\n";
    // Later lines of the same key win: the long ones come last.
    winsim::put_file(program_dir_ + "\\lang.eng", language_file("eng") + lines);

    RunResult installed = run(RunKind::install);

    expect_clean(installed, "installation");
    EXPECT_EQ(1, installed.exit_code);
    std::vector<std::string> statuses = status_history();
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(std::string(CATALOG_TEXT_MAX - 11, 'x'), statuses.front()) << "cut to one entry";
    // The result: the product name, a blank and the x that the entry held.
    EXPECT_EQ("Ravelo Printer driver  " + std::string(CATALOG_TEXT_MAX - 12, 'x'),
              installed.result_text);
    // The line after the long ones was still read.
    EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), "After the long lines"));
    // The uninstaller's copy holds the long lines as they were.
    std::string settings = winsim::file_bytes(system("zantrel.apd"));
    EXPECT_NE(std::string::npos, settings.find(long_value));

    RunResult removed = run_uninstaller(winsim::windows_xp, settings);
    expect_clean(removed, "uninstaller");
    statuses = status_history();
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(std::string(CATALOG_TEXT_MAX - 11, 'x'), statuses.front());
    EXPECT_EQ(1u, winsim::execs().size()) << "removed, so the copy deletes itself";
}

// A language file of 10 MB: its texts still show, and the run ends.
TEST_F(OddInputs, ALanguageFileOf10MegabytesIsReadAndTheRunEnds)
{
    struct Case {
        const char *what;
        std::string filler_line; // repeated until the file holds 10 MB; empty:
                                 // a new key on every line
    } cases[] = {
        {"comments", "; a comment line that a translator left in the file, of no use\r\n"},
        {"one key again and again", "Filler: the same key, read again and again\r\n"},
        {"blank lines", "\r\n"},
        {"a new key on every line", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OddMachine odd;
        boot_odd(odd);
        std::string filler;
        filler.reserve(10u << 20);
        for (int n = 0; filler.size() < (10u << 20); n++) {
            filler += c.filler_line.empty()
                          ? "Key" + std::to_string(n) + ": value " + std::to_string(n) + "\r\n"
                          : c.filler_line;
        }
        // The texts first: a file past the catalog's limit keeps its first keys.
        winsim::put_file(program_dir_ + "\\lang.eng", language_file("eng") + filler);

        RunResult installed = run(RunKind::install);

        expect_clean(installed, "installation");
        EXPECT_EQ(1, installed.exit_code);
        EXPECT_EQ(0u, installed.result_text.find("Ravelo Printer driver \r\n\r\nhas been installed"))
            << installed.result_text.substr(0, 200);
        std::string settings = winsim::file_bytes(system("zantrel.apd"));
        EXPECT_GE(settings.size(), 10u << 20);
        // Each catalog entry takes two allocations; the file's keys must
        // not all take their own (nearly a million, two gigabytes).
        if (c.filler_line.empty()) {
            EXPECT_LT(winsim::call_count("malloc"), 8 * CATALOG_ENTRY_LIMIT);
        }

        RunResult removed = run_uninstaller(winsim::windows_nt_40, settings);
        expect_clean(removed, "uninstaller");
        std::vector<std::string> statuses = status_history();
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(0u, statuses.back().find("LUMETRA MAPI connector\r\n\r\nhas been removed"))
            << statuses.back().substr(0, 200);
    }
}

// A binary file as the language file: no text is found, the keys show,
// and the run ends as it would with the file in order.
TEST_F(OddInputs, ABinaryFileAsLanguageFileShowsTheKeysAndTheRunEnds)
{
    std::mt19937 random(20240601);
    for (const winsim::Version &version : {winsim::windows_xp, winsim::windows_98}) {
        SCOPED_TRACE(version.name);
        OddMachine odd;
        odd.version = version;
        boot_odd(odd);
        std::string bytes;
        for (int i = 0; i < 256 * 1024; i++)
            bytes += static_cast<char>(random() & 0xFF);
        // No end-of-file mark early on: the whole file is read.
        for (char &byte : bytes) {
            if (byte == 0x1A)
                byte = 0x1B;
        }
        winsim::put_file(program_dir_ + "\\lang.eng", bytes);

        RunResult installed = run(RunKind::install);

        expect_clean(installed, "installation");
        EXPECT_EQ(1, installed.exit_code);
        std::vector<std::string> statuses = status_history();
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ("SetupInit", statuses.front());
        EXPECT_EQ(0u, installed.result_text.find("SetupOk")) << installed.result_text.substr(0, 80);

        RunResult removed = run(RunKind::remove);
        expect_clean(removed, "removal");
        EXPECT_EQ(1, removed.exit_code);
    }
}
