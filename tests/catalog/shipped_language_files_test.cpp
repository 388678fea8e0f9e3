// The language files that ship with the setup: stored as the reader expects
// them, complete, and safe to use as catalog formats.
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/message_keys.h"
#include "catalog/string_table.h"

namespace
{

// Each file defines every key the program looks up and no other.
bool is_shipped_key(const std::string &key)
{
    return find_message_key(key.c_str()) != nullptr;
}

// Counts the "%s" of a text; every '%' that starts neither "%s" nor "%%"
// is added to *stray.
int name_conversions(const std::string &text, std::string *stray)
{
    int names = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%')
            continue;
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (next == 's')
            names++;
        else if (next != '%')
            *stray += text.substr(i, 2) + " ";
        i++;
    }
    return names;
}

// The length of a UTF-8 multi-byte sequence starting at pos, or 0.
size_t utf8_sequence_at(const std::string &bytes, size_t pos)
{
    unsigned char lead = (unsigned char)bytes[pos];
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || pos + length > bytes.size())
        return 0;
    for (size_t i = 1; i < length; i++)
        if (((unsigned char)bytes[pos + i] & 0xC0) != 0x80)
            return 0;
    return length;
}

void collect_keys(const TableNode *node, std::vector<std::string> *keys)
{
    if (node == nullptr)
        return;
    collect_keys(node->left, keys);
    keys->push_back(node->entry->key);
    collect_keys(node->right, keys);
}

class ShippedLanguageFile : public MachineTest, public ::testing::WithParamInterface<const char *>
{
  protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        const char *source_dir = std::getenv("SETUP_SOURCE_DIR");
        ASSERT_NE(nullptr, source_dir) << "SETUP_SOURCE_DIR is not set";
        path = std::string(source_dir) + "/resources/lang." + GetParam();
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << "cannot read " << path;
        std::ostringstream content;
        content << in.rdbuf();
        bytes = content.str();
        ASSERT_FALSE(bytes.empty()) << path << " is empty";
        winsim::put_file(machine_name(), bytes);
    }

    std::string machine_name() const
    {
        return std::string("D:\\lang.") + GetParam();
    }

    // The physical lines without their line ends.
    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::istringstream in(bytes);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            result.push_back(line);
        }
        return result;
    }

    std::string path;
    std::string bytes;
};

TEST_P(ShippedLanguageFile, IsStoredAsWindows1252WithCrLfLines)
{
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_NE("\xEF\xBB\xBF", bytes.substr(0, 3)) << path << " starts with a UTF-8 byte-order mark";
    EXPECT_NE("\xFF\xFE", bytes.substr(0, 2)) << path << " starts with a UTF-16 byte-order mark";
    EXPECT_EQ(';', bytes[0]) << path << " does not start with a comment naming the language";
    EXPECT_EQ("\r\n", bytes.substr(bytes.size() - 2)) << path << ": the last line lacks CR LF";

    int line = 1;
    size_t line_start = 0;
    for (size_t i = 0; i < bytes.size(); i++) {
        unsigned char c = (unsigned char)bytes[i];
        std::string where = path + ":" + std::to_string(line);
        if (c == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << where << ": LF without CR";
            EXPECT_LE(i - 1 - line_start, (size_t)LANGUAGE_LINE_MAX) << where << " is too long";
            line++;
            line_start = i + 1;
        } else if (c == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << where << ": CR without LF";
        } else if (c == '\\') {
            // The reader drops a backslash before anything but n and t.
            char next = i + 1 < bytes.size() ? bytes[i + 1] : '\0';
            EXPECT_TRUE(next == 'n' || next == 't')
                << where << ": backslash before '" << next << "'";
        } else if (c < 0x20 && c != '\t') {
            ADD_FAILURE() << where << ": control byte " << (int)c;
        } else if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) {
            ADD_FAILURE() << where << ": byte " << (int)c << " is not defined in Windows-1252";
        } else if (size_t length = utf8_sequence_at(bytes, i)) {
            ADD_FAILURE() << where << ": UTF-8 sequence \"" << bytes.substr(i, length) << "\"";
            i += length - 1;
        }
    }
}

TEST_P(ShippedLanguageFile, EachKeyLineSplitsIntoAKnownKeyAndAText)
{
    std::set<std::string> seen;
    std::vector<std::string> all = lines();
    for (size_t n = 0; n < all.size(); n++) {
        const std::string &line = all[n];
        std::string where = path + ":" + std::to_string(n + 1);
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';')
            continue;
        size_t colon = line.find(':');
        ASSERT_NE(std::string::npos, colon) << where << ": no colon in \"" << line << "\"";
        std::string key = line.substr(first, colon - first);
        if (key.empty()) {
            ADD_FAILURE() << where << ": empty key";
            continue;
        }
        EXPECT_TRUE(key.back() != ' ' && key.back() != '\t') << where << ": blank before the colon";
        EXPECT_TRUE(is_shipped_key(key)) << where << ": unknown key \"" << key << "\"";
        EXPECT_TRUE(seen.insert(key).second) << where << ": \"" << key << "\" is defined again";
        EXPECT_NE(std::string::npos, line.find_first_not_of(" \t\"", colon + 1))
            << where << ": \"" << key << "\" has no text";
    }
}

TEST_P(ShippedLanguageFile, DefinesEveryKeyAndNoOther)
{
    select_language(GetParam());
    ASSERT_NE(nullptr, message_table) << path;

    for (const MessageKey &k : MESSAGE_KEYS) {
        const TableNode *node = table_find(message_table, k.key);
        if (node == nullptr) {
            ADD_FAILURE() << path << " does not define \"" << k.key << "\"";
            continue;
        }
        EXPECT_STRNE("", node->entry->value) << path << ": \"" << k.key << "\" is empty";
    }

    std::vector<std::string> keys;
    collect_keys(message_table->root, &keys);
    for (const std::string &key : keys)
        EXPECT_TRUE(is_shipped_key(key)) << path << " defines the unknown key \"" << key << "\"";
    EXPECT_EQ((size_t)MESSAGE_KEY_COUNT, keys.size()) << path;
}

TEST_P(ShippedLanguageFile, OnlyTheResultTextsTakeTheProductName)
{
    ASSERT_EQ(0, load_message_file(machine_name().c_str())) << path;

    for (const MessageKey &k : MESSAGE_KEYS) {
        const TableNode *node = table_find(message_table, k.key);
        if (node == nullptr)
            continue; // reported by DefinesEveryKeyAndNoOther
        std::string stray;
        int names = name_conversions(node->entry->value, &stray);
        EXPECT_EQ(k.use == MESSAGE_WITH_NAME ? 1 : 0, names)
            << path << ": \"%s\" in \"" << k.key << "\": " << node->entry->value;
        EXPECT_EQ("", stray) << path << ": other conversions in \"" << k.key << "\"";
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguageFile, ::testing::Values("ger", "eng", "fre"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param);
                         });

} // namespace
