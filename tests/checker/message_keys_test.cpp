// The key table against the product's sources: every literal key that a
// lookup is given is in the table, and every key of the table is looked up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "catalog/message_keys.h"

namespace
{

std::set<std::string> keys_in_sources()
{
    const char *source_dir = std::getenv("SETUP_SOURCE_DIR");
    EXPECT_NE(nullptr, source_dir);
    if (source_dir == nullptr)
        return {};
    // A literal first argument of a lookup, both keys of a step, and the
    // literals of the result texts chosen into a variable "key".
    const std::regex lookup(R"re(\b(?:show_status|ask_on_error|lookup_text)\(\s*"([^"]*)")re");
    const std::regex step(R"re(\brun_step\(\s*"([^"]*)"\s*,\s*\w+\s*,\s*"([^"]*)")re");
    const std::regex chosen(R"re(\bkey\s*=([^;]*);)re");
    const std::regex literal(R"re("([^"]*)")re");
    std::set<std::string> keys;
    for (const char *folder : {"app", "ui", "setup", "system"}) {
        for (const auto &entry :
             std::filesystem::directory_iterator(std::string(source_dir) + "/" + folder)) {
            if (entry.path().extension() != ".cpp")
                continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            std::string source = text.str();
            for (std::sregex_iterator m(source.begin(), source.end(), lookup), end; m != end; ++m)
                keys.insert((*m)[1]);
            for (std::sregex_iterator m(source.begin(), source.end(), step), end; m != end; ++m) {
                keys.insert((*m)[1]);
                keys.insert((*m)[2]);
            }
            for (std::sregex_iterator m(source.begin(), source.end(), chosen), end; m != end; ++m) {
                std::string choice = (*m)[1];
                for (std::sregex_iterator k(choice.begin(), choice.end(), literal); k != end; ++k)
                    keys.insert((*k)[1]);
            }
        }
    }
    return keys;
}

TEST(MessageKeys, AreTheKeysTheProductLooksUp)
{
    std::set<std::string> table;
    for (const MessageKey &key : MESSAGE_KEYS)
        EXPECT_TRUE(table.insert(key.key).second) << key.key << " is listed twice";

    std::set<std::string> looked_up = keys_in_sources();
    for (const std::string &key : looked_up)
        EXPECT_EQ(1u, table.count(key)) << "\"" << key << "\" is looked up but not in the table";
    for (const std::string &key : table)
        EXPECT_EQ(1u, looked_up.count(key))
            << "\"" << key << "\" is in the table but never looked up";
}

} // namespace
