// Language files: how their bytes become catalog entries, and what the
// catalog holds after a load that fails or runs out of memory.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "catalog/language_file.h"

#include <string>
#include <utility>
#include <vector>

namespace
{

typedef std::vector<std::pair<std::string, std::string>> Entries;

void collect(const TableNode *node, Entries *entries)
{
    if (node == nullptr)
        return;
    collect(node->left, entries);
    entries->emplace_back(node->entry->key, node->entry->value);
    collect(node->right, entries);
}

// The whole catalog in key order.
Entries catalog()
{
    Entries entries;
    if (message_table != nullptr)
        collect(message_table->root, &entries);
    return entries;
}

// Control and high bytes spelled out, so that a failure shows them.
std::string printable(const std::string &bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        char code[8];
        snprintf(code, sizeof code, "\\x%02x", c);
        text += (c >= 0x20 && c < 0x7f && c != '\\') ? std::string(1, static_cast<char>(c)) : code;
    }
    return text;
}

std::string printable(const Entries &entries)
{
    std::string text;
    for (const auto &entry : entries)
        text += "[" + printable(entry.first) + "]=[" + printable(entry.second) + "] ";
    return text;
}

int load(const std::string &bytes)
{
    winsim::put_file("D:\\lang.tst", bytes);
    return load_message_file("D:\\lang.tst");
}

// Every stored line of the file, as read_logical_line gives them.
std::vector<std::string> stored_lines(const std::string &bytes)
{
    winsim::put_file("D:\\lang.tst", bytes);
    LineReader reader;
    reader.file = fopen("D:\\lang.tst", "r");
    std::vector<std::string> lines;
    if (reader.file == nullptr)
        return lines;
    while (read_logical_line(&reader) && lines.size() < 100)
        lines.emplace_back(reader.line, reader.length);
    // Once at the end, it stays there.
    EXPECT_EQ(0, read_logical_line(&reader));
    EXPECT_EQ(0, reader.length);
    fclose(reader.file);
    return lines;
}

void fail_nth_malloc_from_now(int nth, bool persistent = false)
{
    winsim::fail_call("malloc", winsim::call_count("malloc") + nth, ERROR_NOT_ENOUGH_MEMORY,
                      persistent);
}

} // namespace

using LanguageFileLines = MachineTest;
using LanguageFileSplit = MachineTest;
using LanguageFileLoad = MachineTest;
using LanguageFileSelection = MachineTest;

TEST_F(LanguageFileLines, EmptyLinesAreSkippedEscapesExpandedAndEveryCarriageReturnDropped)
{
    std::string file = "\r\n\nfirst\r\n  \n"
                       "\ta\\tb\\nc\rd\\\n" // escapes, a lone CR, a backslash before the line end
                       "\\\\n\\r\\:\\\"\n"  // each backslash escapes the byte after it
                       "\r\r\n\\\n"         // a line of CRs, a line of nothing but an escaped LF
                       "last\\";            // a backslash as the file's last byte
    std::vector<std::string> expected = {"first", "  ", "\ta\tb\r\ncd", "\r\nr:\"", "last"};

    std::vector<std::string> lines = stored_lines(file);

    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); i++)
        EXPECT_EQ(printable(expected[i]), printable(lines[i])) << "line " << i;
}

TEST_F(LanguageFileLines, ALineOverTheLimitKeepsItsFirst1024BytesAndTheNextLineStaysWhole)
{
    const struct {
        const char *what;
        std::string bytes;
        std::vector<std::string> expected;
    } cases[] = {
        {"exactly full", std::string(1024, 'x') + "\nnext\n", {std::string(1024, 'x'), "next"}},
        {"one over", std::string(1025, 'x') + "\nnext\n", {std::string(1024, 'x'), "next"}},
        {"far over", std::string(5000, 'x') + "\r\nnext", {std::string(1024, 'x'), "next"}},
        // \n expands to two bytes; only the CR still fits.
        {"escape at the edge",
         std::string(1023, 'y') + "\\nzz\nnext\n",
         {std::string(1023, 'y') + "\r", "next"}},
        {"escapes past the edge",
         std::string(1024, 'y') + "\\t\\\nnext\n",
         {std::string(1024, 'y'), "next"}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> lines = stored_lines(c.bytes);

        ASSERT_EQ(c.expected.size(), lines.size()) << c.what;
        for (size_t i = 0; i < lines.size(); i++)
            EXPECT_EQ(c.expected[i], lines[i]) << c.what << ", line " << i;
    }
}

TEST_F(LanguageFileSplit, KeyRunsToTheFirstColonAndTheValueLosesLeadingBlanksAndQuotes)
{
    const struct {
        std::string line;
        std::string key; // empty: the line is ignored
        std::string value;
    } cases[] = {
        {"SetupInit:Hallo", "SetupInit", "Hallo"},
        {" \t SetupInit:Hallo", "SetupInit", "Hallo"},
        {"SetupInit :Hallo", "SetupInit ", "Hallo"},
        {"a;b:c;d", "a;b", "c;d"},
        {"a:b:c", "a", "b:c"},
        {"a:", "a", ""},
        {"[Version]", "[Version]", ""},
        {"Just a few words", "Just a few words", ""},
        {"\xff:\xfe\xff", "\xff", "\xfe\xff"},
        {";SetupInit:Hallo", "", ""},
        {" \t;SetupInit:Hallo", "", ""},
        {" \t ", "", ""},
        {":Hallo", "", ""},
        {"a: \t\"\" \t\"value", "a", "value"},
        {"a: \"  Hello  \"", "a", "Hello  "},
        {"a:Hello  ", "a", "Hello  "},
        {"a:\tHello\t", "a", "Hello\t"},
        {"a:\"x\"   ", "a", "x"},
        {"a:\"x\"\t", "a", "x\"\t"},
        {"a:\"x\"\r\n", "a", "x\"\r\n"},
        {"a:say \"hi\"", "a", "say \"hi"},
        {"a:\"\"", "a", ""},
        {"a:\"", "a", ""},
        {"a:\"x\"\"", "a", "x\""},
        {std::string(1024, 'k'), std::string(1024, 'k'), ""},
        {"k:" + std::string(1022, 'v'), "k", std::string(1022, 'v')},
    };
    for (const auto &c : cases) {
        LineReader reader;
        memset(reader.line, '#', sizeof reader.line); // beyond the length: not part of the line
        memcpy(reader.line, c.line.data(), c.line.size());
        reader.length = static_cast<int>(c.line.size());
        reader.position = 0;
        char key[CATALOG_TEXT_MAX + 1];
        char value[CATALOG_TEXT_MAX + 1];
        memset(key, 'K', sizeof key);
        memset(value, 'V', sizeof value);

        split_entry_line(key, value, &reader);

        EXPECT_EQ(printable(c.key), printable(key)) << printable(c.line);
        if (!c.key.empty()) {
            EXPECT_EQ(printable(c.value), printable(value)) << printable(c.line);
        }
    }
}

TEST_F(LanguageFileLoad, EachByteOfTheFileEndsUpInTheCatalogAsTheRulesSay)
{
    const struct {
        const char *what;
        std::string bytes;
        Entries expected;
    } cases[] = {
        {"byte order mark is part of the first key",
         "\xef\xbb\xbfSetupInit:Hallo\r\nSetupOk:Gut\r\n",
         {{"SetupOk", "Gut"}, {"\xef\xbb\xbfSetupInit", "Hallo"}}},
        {"CR LF and LF line ends", "a:1\r\nb:2\nc:3\r\n", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        {"CR dropped wherever it stands", "a:x\ry\r\r\n\rb\r:2\n", {{"a", "xy"}, {"b", "2"}}},
        {"Ctrl-Z ends the file",
         "a:12\x1a"
         "3\nb:2\n",
         {{"a", "12"}}},
        {"Ctrl-Z after a backslash",
         "a:x\\\x1a"
         "b:2\n",
         {{"a", "x"}}},
        {"\\n is CR LF, \\t is TAB", "a:one\\ntwo\\tthree\n", {{"a", "one\r\ntwo\tthree"}}},
        {"backslash before the line end continues nothing",
         "a:x\\\r\nb:2\\\n",
         {{"a", "x"}, {"b", "2"}}},
        {"\\\\n is CR LF, not a backslash and n", "a:x\\\\ny\n", {{"a", "x\r\ny"}}},
        {"\\r is the letter r", "a:x\\ry\n", {{"a", "xry"}}},
        {"an escaped colon still separates", "a\\:b:c\n", {{"a", "b:c"}}},
        {"\\t before the key is a leading blank", "\\ta:1\n", {{"a", "1"}}},
        {"backslash as the last byte", "a:x\\", {{"a", "x"}}},
        {"empty and blank lines and comments",
         "\n\r\n  \t \n;a:1\n  ;b:2\n\nc:3;4\n\n",
         {{"c", "3;4"}}},
        {"no sections",
         "[Version]\nSignature:$Windows NT$\n",
         {{"Signature", "$Windows NT$"}, {"[Version]", ""}}},
        {"empty key ignored", ":x\n  :y\nz:1\n", {{"z", "1"}}},
        {"repeated key takes the later value", "a:1\nb:2\na:3\n", {{"a", "3"}, {"b", "2"}}},
        {"keys differ by case",
         "Key:1\nkey:2\nKEY:3\n",
         {{"KEY", "3"}, {"Key", "1"}, {"key", "2"}}},
        {"high bytes", "\xff:\xe4\xf6\xfc\n", {{"\xff", "\xe4\xf6\xfc"}}},
        {"last line without a line end", "a:1\nb:2", {{"a", "1"}, {"b", "2"}}},
        {"trailing line ends add nothing", "a:1\n\n\r\n", {{"a", "1"}}},
        {"nothing at all", "", {}},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(0, load(c.bytes)) << c.what;

        EXPECT_EQ(printable(c.expected), printable(catalog())) << c.what;
        EXPECT_EQ(0, winsim::open_stream_count()) << c.what;
    }
}

TEST_F(LanguageFileLoad, ABlankBeforeTheColonOrAByteOrderMarkHidesTheKeyFromLookups)
{
    ASSERT_EQ(0, load("\xef\xbb\xbfSetupOk:Gut\nSetupInit :Hallo\n"));

    EXPECT_STREQ("default", lookup_text("SetupOk", "default"));
    EXPECT_STREQ("default", lookup_text("SetupInit", "default"));
    EXPECT_STREQ("Hallo", lookup_text("SetupInit ", "default"));
}

TEST_F(LanguageFileLoad, AnOverlongLineLosesOnlyItsOwnTailAndNeverTheNextEntry)
{
    std::string file = "long:" + std::string(1100, 'v') + ":tail\r\n" + "SetupOk:Gut\r\n" +
                       std::string(3000, 'k') + "\r\n" + "SetupInit:Hallo";

    ASSERT_EQ(0, load(file));

    Entries expected = {{"SetupInit", "Hallo"},
                        {"SetupOk", "Gut"},
                        {std::string(1024, 'k'), ""},
                        {"long", std::string(1019, 'v')}};
    EXPECT_EQ(expected, catalog());
}

TEST_F(LanguageFileLoad, AFileNameOverTheLimitIsCutTo1024BytesBeforeOpening)
{
    winsim::put_file("D:\\lang.test", "SetupInit:Hallo\n");
    std::string name = "D:\\";
    while (name.size() < 1024 - 9)
        name += ".\\";
    name += "lang.test";
    ASSERT_EQ(1024u, name.size());
    name += ".not-this-one" + std::string(500, 'x');

    EXPECT_EQ(0, load_message_file(name.c_str()));

    EXPECT_STREQ("Hallo", lookup_text("SetupInit", nullptr));
}

TEST_F(LanguageFileLoad, AFileThatCannotBeOpenedLeavesAnEmptyCatalogNotThePreviousOne)
{
    ASSERT_EQ(0, load("SetupInit:Hallo\n"));
    ASSERT_STREQ("Hallo", lookup_text("SetupInit", nullptr));

    EXPECT_EQ(-1, load_message_file("D:\\lang.xyz"));

    ASSERT_NE(nullptr, message_table);
    EXPECT_EQ(nullptr, message_table->root);
    EXPECT_STREQ("default", lookup_text("SetupInit", "default"));
}

TEST_F(LanguageFileLoad, LoadingAnotherFileReplacesTheWholeCatalog)
{
    ASSERT_EQ(0, load("SetupInit:Hallo\nSetupOk:Gut\n"));

    ASSERT_EQ(0, load("SetupInit:Hello\nSetupCancel:Cancelled\n"));

    EXPECT_EQ((Entries{{"SetupCancel", "Cancelled"}, {"SetupInit", "Hello"}}), catalog());
}

TEST_F(LanguageFileLoad, KeysPastTheLimitAreNotKeptButHeldKeysStillTakeNewValues)
{
    std::string file = "SetupInit:Hallo\n";
    for (int i = 1; i < CATALOG_ENTRY_LIMIT + 100; i++)
        file += "Key" + std::to_string(i) + ":value\n";
    file += "SetupInit:Hello\nSetupOk:Gut\n";
    // A key repeated many times takes one entry.
    std::string repeated;
    for (int i = 0; i < 2 * CATALOG_ENTRY_LIMIT; i++)
        repeated += "Again:" + std::to_string(i) + "\n";

    ASSERT_EQ(0, load(file));

    Entries entries = catalog();
    EXPECT_EQ((size_t)CATALOG_ENTRY_LIMIT, entries.size());
    EXPECT_STREQ("Hello", lookup_text("SetupInit", nullptr));
    EXPECT_STREQ("value", lookup_text("Key511", nullptr));
    EXPECT_STREQ("default", lookup_text("Key512", "default"));
    EXPECT_STREQ("default", lookup_text("SetupOk", "default"));

    ASSERT_EQ(0, load(repeated + "SetupOk:Gut\n"));

    EXPECT_EQ((Entries{{"Again", std::to_string(2 * CATALOG_ENTRY_LIMIT - 1)}, {"SetupOk", "Gut"}}),
              catalog());
}

TEST_F(LanguageFileLoad, RunningOutOfMemoryStopsTheLoadAndKeepsWhatWasRead)
{
    // Allocations in order: the table, then per line its entry and, for a
    // key not yet present, its node.
    const std::string file = "a:1\nb:2\na:3\nc:4\n";
    const struct {
        int failing; // counted from the load's first allocation
        bool persistent;
        Entries expected;
    } cases[] = {
        {2, false, {}},
        {3, false, {}},
        {4, false, {{"a", "1"}}},
        {5, false, {{"a", "1"}}},
        {6, false, {{"a", "1"}, {"b", "2"}}},
        {7, false, {{"a", "3"}, {"b", "2"}}},
        {8, false, {{"a", "3"}, {"b", "2"}}},
        {9, false, {{"a", "3"}, {"b", "2"}, {"c", "4"}}},
        {4, true, {{"a", "1"}}},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(0, load("old:text\n"));
        winsim::clear_faults();
        fail_nth_malloc_from_now(c.failing, c.persistent);

        EXPECT_EQ(0, load(file)) << c.failing;

        EXPECT_EQ(printable(c.expected), printable(catalog())) << c.failing;
        EXPECT_EQ(0, winsim::open_stream_count()) << c.failing;
        winsim::clear_faults();
    }
}

TEST_F(LanguageFileLoad, NoMemoryForTheTableLeavesNoCatalogAndLookupsGiveTheirDefaults)
{
    ASSERT_EQ(0, load("SetupInit:Hallo\n"));
    fail_nth_malloc_from_now(1, true);

    EXPECT_EQ(-1, load("SetupInit:Hello\n"));

    EXPECT_EQ(nullptr, message_table);
    EXPECT_STREQ("default", lookup_text("SetupInit", "default"));
    EXPECT_EQ(0, winsim::open_stream_count());
}

TEST_F(LanguageFileSelection, SelectingALanguageNamesItsFileAndLoadsItFromTheCurrentDirectory)
{
    winsim::put_file("D:\\lang.eng", crlf("SetupInit:Setup is starting\n"));
    winsim::put_file("C:\\WINDOWS\\lang.eng", crlf("SetupInit:Wrong folder\n"));
    winsim::put_file("D:\\lang.fre", crlf("SetupInit:Installation en cours\n"));

    select_language("eng");

    EXPECT_STREQ("eng", language_code);
    EXPECT_STREQ("lang.eng", language_file_name);
    EXPECT_STREQ("Setup is starting", lookup_text("SetupInit", nullptr));

    select_language("fre");

    EXPECT_STREQ("lang.fre", language_file_name);
    EXPECT_STREQ("Installation en cours", lookup_text("SetupInit", nullptr));

    ASSERT_TRUE(SetCurrentDirectoryA("C:\\WINDOWS"));
    select_language("eng");

    EXPECT_STREQ("Wrong folder", lookup_text("SetupInit", nullptr));

    select_language("ger"); // no such file here

    EXPECT_STREQ("lang.ger", language_file_name);
    ASSERT_NE(nullptr, message_table);
    EXPECT_STREQ("default", lookup_text("SetupInit", "default"));
}

TEST_F(LanguageFileSelection, AnOverlongLanguageCodeIsCutToTheFileNameBuffer)
{
    select_language("english-uk");

    EXPECT_STREQ("lang.englis", language_file_name);
    ASSERT_NE(nullptr, message_table);
    EXPECT_EQ(nullptr, message_table->root);
}
