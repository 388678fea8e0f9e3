// The message catalog's ordered string table: a height-balanced (AVL) tree
// of keyed texts, and the lookup through which every shown text passes.
#ifndef SETUP_STRING_TABLE_H
#define SETUP_STRING_TABLE_H

#include "system/platform.h"

enum { CATALOG_TEXT_MAX = 1024 };

// The key comes first: the table compares entries by the text at their start.
struct CatalogEntry {
    char key[CATALOG_TEXT_MAX + 1];
    char value[CATALOG_TEXT_MAX + 1];
};

struct TableNode {
    TableNode *left;
    TableNode *right;
    short balance; // height of the right subtree minus that of the left
    CatalogEntry *entry;
};

typedef int (*EntryCompare)(const CatalogEntry *a, const CatalogEntry *b);

struct StringTable {
    TableNode *root;
    EntryCompare compare;
};

// -1, 0 or +1 by the unsigned bytes of the two keys: case-sensitive and
// independent of the locale.
int compare_entry_keys(const CatalogEntry *a, const CatalogEntry *b);

// A new empty table (null when it cannot be allocated), and its release
// together with every node and entry it owns.
StringTable *table_create(EntryCompare compare);
void table_release(StringTable *table);

// Inserts the entry and returns its node, which then owns it. When the key
// is already present, returns that node and leaves the table and the new
// entry alone. Returns null when no node can be allocated.
TableNode *table_insert(StringTable *table, CatalogEntry *entry);

// The node whose key equals the text, or null.
TableNode *table_find(const StringTable *table, const char *key);

// The catalog's text for the key; else the default; else the key itself.
// The text belongs to the catalog: use it at once. Allocates nothing.
const char *lookup_text(const char *key, const char *default_text);

#endif
