// setupcheck lang: each fault of a language file as a diagnostic on its
// line, errors failing the run and warnings not.
#include <gtest/gtest.h>

#include <sstream>

#include "catalog/message_keys.h"
#include "run_checker.h"

namespace
{

// The line of each key in clean_file(): a comment first, then the table.
int line_of(const std::string &key)
{
    for (int i = 0; i < MESSAGE_KEY_COUNT; i++)
        if (key == MESSAGE_KEYS[i].key)
            return i + 2;
    ADD_FAILURE() << "no key " << key;
    return 0;
}

const int LAST_LINE = MESSAGE_KEY_COUNT + 1;

// Every key once, each with a text fit for its use; key's line replaced by
// replacement when given.
std::string clean_file(const std::string &key = "", const std::string &replacement = "")
{
    std::string text = "; test file\r\n";
    for (const MessageKey &k : MESSAGE_KEYS) {
        if (key == k.key)
            text += replacement;
        else
            text += std::string(k.key) + (k.use == MESSAGE_WITH_NAME ? ": %s is done." : ": Done.");
        text += "\r\n";
    }
    return text;
}

struct Expected {
    int line;
    const char *level;
    const char *fragment;
};

// The diagnostics in order: each names the file and line and holds the
// fragment; no other diagnostic.
void expect_diagnostics(const CheckerRun &run, const std::string &path,
                        const std::vector<Expected> &expected, const std::string &what)
{
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(expected.size(), lines.size()) << what << "\n" << run.out;
    for (size_t i = 0; i < expected.size(); i++) {
        std::string prefix =
            path + ":" + std::to_string(expected[i].line) + ": " + expected[i].level + ": ";
        EXPECT_EQ(prefix, lines[i].substr(0, prefix.size())) << what;
        EXPECT_NE(std::string::npos, lines[i].find(expected[i].fragment, prefix.size()))
            << what << ": " << lines[i];
    }
}

struct Case {
    const char *what;
    std::string text;
    std::vector<Expected> expected;
};

void run_cases(const std::vector<Case> &cases, int exit_code)
{
    HostFolder folder;
    for (const Case &c : cases) {
        std::string path = folder.put("lang.eng", c.text);
        CheckerRun run = run_checker({"lang", path});
        EXPECT_EQ(exit_code, run.exit_code) << c.what << "\n" << run.out;
        expect_diagnostics(run, path, c.expected, c.what);
    }
}

TEST(LanguageCheck, ErrorsNameTheLineAndFailTheRun)
{
    std::string long_value(1024 - std::string("SetupInit: ").size() + 1, 'x');
    run_cases(
        {
            {"missing key",
             clean_file("Register2", "; gone"),
             {{LAST_LINE, "error", "\"Register2\" is missing"}}},
            {"blank before the colon",
             clean_file("SetupOk", "SetupOk \t: %s is done."),
             {{line_of("SetupOk"), "error",
               "\"SetupOk \\x09\" matches no lookup; meant \"SetupOk\""}}},
            {"UTF-8 byte-order mark",
             "\xEF\xBB\xBF" + clean_file(),
             {{1, "error", "UTF-8 byte-order mark"},
              {1, "warning", "looks up \"\\xEF\\xBB\\xBF; test file\""}}},
            {"UTF-8 throughout",
             clean_file("SetupInit", "SetupInit: Schlie\xC3\x9F"
                                     "en"),
             {{line_of("SetupInit"), "error", "C3 9F (U+00DF)"}}},
            {"result text without its name",
             clean_file("SetupOk", "SetupOk: Installed."),
             {{line_of("SetupOk"), "error", "\"SetupOk\" has no \"%s\""}}},
            {"result text with two names",
             clean_file("RemoveOk", "RemoveOk: %s, %s removed"),
             {{line_of("RemoveOk"), "error", "\"RemoveOk\" has 2 \"%s\""}}},
            {"result text with another conversion",
             clean_file("SetupOk95", "SetupOk95: %s %d"),
             {{line_of("SetupOk95"), "error", "\"%d\" is shown as it stands"}}},
            {"name in a text without argument",
             clean_file("InstallClientFirst", "InstallClientFirst: Install %s first"),
             {{line_of("InstallClientFirst"), "error", "its \"%s\" shows nothing"}}},
            {"conversion in a text without argument",
             clean_file("InstallClientFirst", "InstallClientFirst: 50% done"),
             {{line_of("InstallClientFirst"), "error", "\"% \" is shown as it stands"}}},
            {"line over the limit",
             clean_file("SetupInit", "SetupInit: " + long_value),
             {{line_of("SetupInit"), "error", "line of 1025 bytes"}}},
        },
        EXIT_FAULTS);
}

TEST(LanguageCheck, WarningsAndAllowedTextsLeaveTheRunClean)
{
    std::string at_limit(1024 - std::string("SetupInit: ").size(), 'x');
    // 1028 bytes in the file, 1023 once the reader has turned each "\t" into a tab.
    std::string escapes = "SetupInit: " + std::string(1007, 'x') + "\\t\\t\\t\\t\\t";
    run_cases(
        {
            {"clean", clean_file(), {}},
            {"percent signs", clean_file("SetupOk95", "SetupOk95: %s 100%%"), {}},
            {"percent sign without argument",
             clean_file("InstallClientFirst", "InstallClientFirst: 100%% sure"),
             {}},
            {"line at the limit", clean_file("SetupInit", "SetupInit: " + at_limit), {}},
            {"escapes that fit", clean_file("SetupInit", escapes), {}},
            {"key defined again",
             clean_file() + "SetupInit: again\r\n",
             {{LAST_LINE + 1, "warning", "this definition wins over the one at line 2"}}},
            {"unknown key",
             clean_file() + "SetupOK: x\r\n",
             {{LAST_LINE + 1, "warning", "looks up \"SetupOK\"; meant \"SetupOk\"?"}}},
            {"line without colon",
             clean_file() + "Hello\r\n",
             {{LAST_LINE + 1, "warning", "the line has no colon"}}},
            {"UTF-8 among Windows-1252",
             clean_file("SetupInit", "SetupInit: Stra\xDF\xBB \xE4"),
             {{line_of("SetupInit"), "warning", "DF BB (U+07FB)"}}},
            {"name in a text shown as it stands",
             clean_file("SetupFailed", "SetupFailed: %s failed"),
             {{line_of("SetupFailed"), "warning", "\"%s\" appears literally"}}},
        },
        EXIT_CLEAN);
}

// The reader skips lines that give it no byte; the numbers stay those of
// the file.
TEST(LanguageCheck, LineNumbersAreThoseOfTheFile)
{
    std::string head = "; comment\r\n"
                       "\r\n"
                       "   \r\n"
                       "\\\r\n"
                       "\r\r\n"
                       "Unknown1: x\r\n"
                       "\\\\\n";
    std::string ctrl_z = clean_file();
    ctrl_z.insert(ctrl_z.find("RemoveFailed:"), "\x1A");
    run_cases({{"skipped lines",
                head + clean_file() + "Unknown2: y",
                {{6, "warning", "\"Unknown1\""}, {7 + LAST_LINE + 1, "warning", "\"Unknown2\""}}}},
              EXIT_CLEAN);
    run_cases(
        {
            {"Ctrl-Z",
             ctrl_z,
             {{line_of("RemoveFailed") - 1, "error", "\"RemoveFailed\" is missing"},
              {line_of("RemoveFailed") - 1, "error", "\"InstallClientFirst\" is missing"},
              {line_of("RemoveFailed"), "warning", "Ctrl-Z"}}},
        },
        EXIT_FAULTS);
}

TEST(LanguageCheck, EveryFileIsCheckedAndOneErrorFailsTheRun)
{
    HostFolder folder;
    std::string clean = folder.put("lang.ger", clean_file());
    std::string broken = folder.put("lang.fre", clean_file("SetupOk", "SetupOk: done"));
    std::string absent = folder.path + "/lang.xxx";

    CheckerRun run = run_checker({"lang", clean, broken, absent});
    EXPECT_EQ(EXIT_FAULTS, run.exit_code);
    EXPECT_EQ(broken + ":" + std::to_string(line_of("SetupOk")) +
                  ": error: \"SetupOk\" has no \"%s\": the product's name is not shown\n" + absent +
                  ": error: cannot be read\n",
              run.out);

    EXPECT_EQ(EXIT_CLEAN, run_checker({"lang", clean}).exit_code);
    EXPECT_EQ(EXIT_USAGE, run_checker({"lang"}).exit_code);
}

} // namespace
