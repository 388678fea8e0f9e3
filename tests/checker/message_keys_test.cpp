// The key table: the compiler holds every call site to a declared key name,
// but two names could still spell the same key, which would leave a text
// that a language file must define but nothing shows.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "catalog/message_keys.h"

namespace
{

TEST(MessageKeys, NoKeyIsSpelledTwice)
{
    std::set<std::string> table;
    for (const MessageKey &key : MESSAGE_KEYS)
        EXPECT_TRUE(table.insert(key.key).second) << key.key << " is listed twice";
}

} // namespace
