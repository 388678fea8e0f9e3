// The ordered string table: key order, balance after every insertion, and
// lookups that stay cheap and allocate nothing.
#include "support/machine_fixture.h"

#include "app/setup_state.h"
#include "catalog/string_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{

// Entries made here go through the host allocator so that the fault
// injection on "malloc" sees only the table's own allocations.
CatalogEntry *new_entry(const std::string &key, const std::string &value = "")
{
    CatalogEntry *entry = static_cast<CatalogEntry *>(calloc(1, sizeof(CatalogEntry)));
    snprintf(entry->key, sizeof entry->key, "%s", key.c_str());
    snprintf(entry->value, sizeof entry->value, "%s", value.c_str());
    return entry;
}

// Checks every AVL rule below the node and returns the subtree's height.
int checked_height(const TableNode *node, std::vector<std::string> *keys)
{
    if (node == nullptr)
        return 0;
    int left = checked_height(node->left, keys);
    keys->push_back(node->entry->key);
    int right = checked_height(node->right, keys);
    EXPECT_EQ(right - left, node->balance) << "at key " << node->entry->key;
    EXPECT_LE(std::abs(right - left), 1) << "at key " << node->entry->key;
    return 1 + std::max(left, right);
}

std::vector<short> balances_in_order(const TableNode *node)
{
    if (node == nullptr)
        return {};
    std::vector<short> result = balances_in_order(node->left);
    result.push_back(node->balance);
    std::vector<short> right = balances_in_order(node->right);
    result.insert(result.end(), right.begin(), right.end());
    return result;
}

std::string key_of(const TableNode *node)
{
    return node == nullptr ? "(none)" : node->entry->key;
}

int compare_calls;

int counting_compare(const CatalogEntry *a, const CatalogEntry *b)
{
    compare_calls++;
    return compare_entry_keys(a, b);
}

class StringTableTest : public MachineTest
{
  protected:
    void TearDown() override
    {
        table_release(table);
        MachineTest::TearDown();
    }
    StringTable *table = nullptr;
};

} // namespace

using Lookup = StringTableTest;

TEST(StringTableKeyOrder, UnsignedBytesDecideCaseSensitivelyWithResultsMinusOneOrOne)
{
    const struct {
        const char *smaller;
        const char *larger;
    } pairs[] = {
        {"SetupOk", "SetupOk95"},
        {"SetupCantInit", "SetupInit"},
        {"Register1", "Register2"},
        {"SetupInit", "installing..."},
        {"SETUPINIT", "SetupInit"},
        {"", "a"},
        {"a", "z"}, // far apart: still exactly -1 and +1
        {"Zz", "\xe4nderung"},
        {"~", "\x80"},
        {"\x7f", "\xff"},
    };
    for (const auto &pair : pairs) {
        CatalogEntry a, b;
        strcpy(a.key, pair.smaller);
        strcpy(b.key, pair.larger);
        EXPECT_EQ(-1, compare_entry_keys(&a, &b)) << pair.smaller << " / " << pair.larger;
        EXPECT_EQ(1, compare_entry_keys(&b, &a)) << pair.smaller << " / " << pair.larger;
        EXPECT_EQ(0, compare_entry_keys(&a, &a)) << pair.smaller;
    }
}

TEST_F(StringTableTest, SevenKeysInAscendingOrDescendingOrderGiveAPerfectTreeOfHeightThree)
{
    const std::vector<std::string> keys = {"Key1", "Key2", "Key3", "Key4", "Key5", "Key6", "Key7"};
    for (bool ascending : {true, false}) {
        table_release(table);
        table = table_create(compare_entry_keys);
        ASSERT_NE(nullptr, table);
        std::vector<std::string> order = keys;
        if (!ascending)
            std::reverse(order.begin(), order.end());
        for (const std::string &key : order)
            ASSERT_NE(nullptr, table_insert(table, new_entry(key)));

        SCOPED_TRACE(ascending ? "ascending" : "descending");
        const TableNode *root = table->root;
        ASSERT_NE(nullptr, root);
        EXPECT_EQ("Key4", key_of(root));
        EXPECT_EQ("Key2", key_of(root->left));
        EXPECT_EQ("Key6", key_of(root->right));
        ASSERT_TRUE(root->left != nullptr && root->right != nullptr);
        EXPECT_EQ("Key1", key_of(root->left->left));
        EXPECT_EQ("Key3", key_of(root->left->right));
        EXPECT_EQ("Key5", key_of(root->right->left));
        EXPECT_EQ("Key7", key_of(root->right->right));
        std::vector<std::string> in_order;
        EXPECT_EQ(3, checked_height(root, &in_order));
        EXPECT_EQ(std::vector<short>(7, 0), balances_in_order(root));
    }
}

TEST_F(StringTableTest, InsertingAnExistingKeyReturnsItsNodeAndChangesNothing)
{
    table = table_create(compare_entry_keys);
    ASSERT_NE(nullptr, table);
    // Leaves the tree with balances -1, 0 and +1 somewhere.
    for (const char *key : {"m", "f", "t", "c", "p", "x", "a", "z", "r"})
        ASSERT_NE(nullptr, table_insert(table, new_entry(key, std::string("old ") + key)));
    const TableNode *root = table->root;
    const std::vector<short> balances = balances_in_order(root);

    for (const char *key : {"m", "a", "z", "r", "t"}) {
        TableNode *existing = table_find(table, key);
        ASSERT_NE(nullptr, existing);
        CatalogEntry *original = existing->entry;
        CatalogEntry *duplicate = new_entry(key, "new");
        int mallocs = winsim::call_count("malloc");

        EXPECT_EQ(existing, table_insert(table, duplicate)) << key;

        EXPECT_EQ(original, existing->entry) << key;
        EXPECT_EQ(std::string("old ") + key, existing->entry->value);
        EXPECT_STREQ("new", duplicate->value);
        EXPECT_EQ(mallocs, winsim::call_count("malloc")) << key;
        EXPECT_EQ(root, table->root);
        EXPECT_EQ(balances, balances_in_order(table->root)) << key;
        free(duplicate); // still the caller's
    }
}

TEST_F(StringTableTest, ANewKeyThatBecomesTheMiddleNodeLeavesAllThreeBalancedAtZero)
{
    // Right-left and left-right: both need the double rotation.
    const char *orders[][3] = {{"SetupA", "SetupC", "SetupB"}, {"SetupC", "SetupA", "SetupB"}};
    for (const auto &order : orders) {
        table_release(table);
        table = table_create(compare_entry_keys);
        ASSERT_NE(nullptr, table);
        for (const char *key : order)
            ASSERT_NE(nullptr, table_insert(table, new_entry(key)));

        const TableNode *root = table->root;
        ASSERT_EQ("SetupB", key_of(root)) << order[0];
        ASSERT_TRUE(root->left != nullptr && root->right != nullptr);
        EXPECT_EQ("SetupA", key_of(root->left));
        EXPECT_EQ("SetupC", key_of(root->right));
        EXPECT_EQ(0, root->balance);
        EXPECT_EQ(0, root->left->balance);
        EXPECT_EQ(0, root->right->balance);
        EXPECT_TRUE(root->left->left == nullptr && root->left->right == nullptr);
        EXPECT_TRUE(root->right->left == nullptr && root->right->right == nullptr);
    }
}

TEST_F(StringTableTest, RandomInsertionOrdersKeepEveryBalanceRuleAndFindEveryKey)
{
    for (unsigned seed = 1; seed <= 40; seed++) {
        std::mt19937 random(seed);
        size_t count = 1 + random() % 600;
        std::vector<std::string> keys;
        for (size_t i = 0; i < count; i++) {
            // Some keys repeat, some share long prefixes, some carry high bytes.
            char key[32];
            snprintf(key, sizeof key, "%s%u", (random() % 4 == 0) ? "Setup\xe9" : "Setup",
                     static_cast<unsigned>(random() % (count * 2)));
            keys.push_back(key);
        }
        table_release(table);
        table = table_create(compare_entry_keys);
        ASSERT_NE(nullptr, table);
        for (const std::string &key : keys) {
            CatalogEntry *entry = new_entry(key, "v" + key);
            if (table_insert(table, entry)->entry != entry)
                free(entry);
        }

        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<std::string> in_order;
        int height = checked_height(table->root, &in_order);
        std::vector<std::string> expected = keys;
        std::sort(expected.begin(), expected.end(), [](const std::string &a, const std::string &b) {
            return std::lexicographical_compare(
                a.begin(), a.end(), b.begin(), b.end(),
                [](char x, char y) { return (unsigned char)x < (unsigned char)y; });
        });
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(expected, in_order);
        EXPECT_LE(height, 1.45 * std::log2(in_order.size() + 2.0));
        for (const std::string &key : expected) {
            const TableNode *node = table_find(table, key.c_str());
            ASSERT_NE(nullptr, node) << key;
            EXPECT_EQ("v" + key, node->entry->value);
        }
    }
}

TEST_F(StringTableTest, ANodeThatCannotBeAllocatedLeavesTheTableAndTheEntryAsTheyWere)
{
    table = table_create(compare_entry_keys);
    ASSERT_NE(nullptr, table);
    for (const char *key : {"b", "a", "c"})
        ASSERT_NE(nullptr, table_insert(table, new_entry(key)));
    const std::vector<short> balances = balances_in_order(table->root);
    CatalogEntry *entry = new_entry("d", "text");
    winsim::fail_call("malloc", winsim::call_count("malloc") + 1, ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_EQ(nullptr, table_insert(table, entry));

    std::vector<std::string> in_order;
    checked_height(table->root, &in_order);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), in_order);
    EXPECT_EQ(balances, balances_in_order(table->root));
    EXPECT_EQ(nullptr, table_find(table, "d"));
    free(entry);
}

TEST_F(Lookup, WithoutACatalogOrAMatchingKeyGivesTheDefaultElseTheKeyItself)
{
    const char *key = "SetupInit";
    ASSERT_EQ(nullptr, message_table);
    EXPECT_STREQ("Setup is starting", lookup_text(key, "Setup is starting"));
    EXPECT_EQ(key, lookup_text(key, nullptr));

    message_table = table_create(compare_entry_keys);
    ASSERT_NE(nullptr, message_table);
    EXPECT_EQ(key, lookup_text(key, nullptr)); // empty catalog
    for (const char *other : {"SetupInit ", "setupinit", "SetupIni", "SetupInitX"})
        table_insert(message_table, new_entry(other, "wrong"));
    EXPECT_STREQ("fallback", lookup_text(key, "fallback"));
    EXPECT_EQ(key, lookup_text(key, nullptr));

    table_insert(message_table, new_entry(key, "Installation wird vorbereitet"));
    EXPECT_STREQ("Installation wird vorbereitet", lookup_text(key, "fallback"));
    EXPECT_STREQ("Installation wird vorbereitet", lookup_text(key, nullptr));
}

TEST_F(Lookup, KeysUpToTheLimitAreComparedWholeAndLongerOnesAreNeverFound)
{
    const std::string full(CATALOG_TEXT_MAX, 'k');
    const std::string shorter(CATALOG_TEXT_MAX - 1, 'k');
    message_table = table_create(compare_entry_keys);
    ASSERT_NE(nullptr, message_table);
    table_insert(message_table, new_entry(shorter + "a", "last byte a"));
    table_insert(message_table, new_entry(shorter + "b", "last byte b"));
    table_insert(message_table, new_entry(shorter, "one shorter"));

    EXPECT_STREQ("last byte a", lookup_text((shorter + "a").c_str(), "default"));
    EXPECT_STREQ("last byte b", lookup_text((shorter + "b").c_str(), "default"));
    EXPECT_STREQ("one shorter", lookup_text(shorter.c_str(), "default"));
    EXPECT_STREQ("default", lookup_text(full.c_str(), "default"));
    // Its first CATALOG_TEXT_MAX bytes name an entry, but the key is not that entry's.
    EXPECT_STREQ("default", lookup_text((shorter + "a" + "z").c_str(), "default"));
}

TEST_F(Lookup, LookingUpAllocatesNothing)
{
    int before = winsim::call_count("malloc");
    lookup_text("SetupInit", nullptr); // no catalog yet
    message_table = table_create(compare_entry_keys);
    ASSERT_NE(nullptr, message_table);
    for (int i = 0; i < 200; i++)
        table_insert(message_table, new_entry("Key" + std::to_string(i), "Text"));
    int after_building = winsim::call_count("malloc");
    ASSERT_GT(after_building, before); // the counter does see the table's nodes

    for (int i = 0; i < 400; i++) {
        std::string key = "Key" + std::to_string(i); // half of them missing
        lookup_text(key.c_str(), i % 2 ? "default" : nullptr);
    }
    lookup_text(std::string(3000, 'K').c_str(), nullptr);

    EXPECT_EQ(after_building, winsim::call_count("malloc"));
}

TEST_F(Lookup, OneHundredThousandAscendingKeysAreFoundWithinTheBalancedTreeBound)
{
    const int count = 100000;
    winsim::set_journal_enabled(false);
    message_table = table_create(counting_compare);
    ASSERT_NE(nullptr, message_table);
    std::vector<std::string> keys;
    for (int i = 0; i < count; i++) {
        char key[16];
        snprintf(key, sizeof key, "Msg%06d", i);
        keys.push_back(key);
        ASSERT_NE(nullptr, table_insert(message_table, new_entry(key, std::string("Text ") + key)));
    }
    const double bound = 1.45 * std::log2(count) + 2;

    int most = 0;
    long total = 0;
    for (const std::string &key : keys) {
        compare_calls = 0;
        const char *text = lookup_text(key.c_str(), nullptr);
        ASSERT_EQ("Text " + key, text);
        most = std::max(most, compare_calls);
        total += compare_calls;
    }
    // Misses: before the first key, after the last, and between two keys.
    for (const char *missing : {"", "Msg", "Msg000000a", "Msg049999~", "Msg100000", "\xff"}) {
        compare_calls = 0;
        EXPECT_STREQ("none", lookup_text(missing, "none"));
        most = std::max(most, compare_calls);
    }

    EXPECT_LE(most, bound);
    printf("lookup comparisons for %d keys: at most %d, mean %.2f, bound %.2f\n", count, most,
           static_cast<double>(total) / count, bound);
}
