#include "catalog/string_table.h"

#include "app/setup_state.h"

int compare_entry_keys(const CatalogEntry *a, const CatalogEntry *b)
{
    const unsigned char *x = (const unsigned char *)a->key;
    const unsigned char *y = (const unsigned char *)b->key;

    while (*x != '\0' && *x == *y) {
        x++;
        y++;
    }
    if (*x == *y)
        return 0;
    return *x < *y ? -1 : 1;
}

StringTable *table_create(EntryCompare compare)
{
    StringTable *table = (StringTable *)malloc(sizeof *table);

    if (table == NULL)
        return NULL;
    table->root = NULL;
    table->compare = compare;
    return table;
}

static void release_subtree(TableNode *node)
{
    // Recursion depth is the tree's height, which balancing keeps small.
    if (node == NULL)
        return;
    release_subtree(node->left);
    release_subtree(node->right);
    free(node->entry);
    free(node);
}

void table_release(StringTable *table)
{
    if (table == NULL)
        return;
    release_subtree(table->root);
    free(table);
}

// After the left subtree of *link has grown past the allowed difference:
// a single rotation when the left child leans left, a double one otherwise.
static void rebalance_left(TableNode **link)
{
    TableNode *node = *link;
    TableNode *left = node->left;

    if (left->balance == -1) {
        node->left = left->right;
        left->right = node;
        node->balance = 0;
        left->balance = 0;
        *link = left;
        return;
    }
    TableNode *middle = left->right;
    left->right = middle->left;
    node->left = middle->right;
    middle->left = left;
    middle->right = node;
    node->balance = middle->balance == -1 ? 1 : 0;
    left->balance = middle->balance == 1 ? -1 : 0;
    middle->balance = 0;
    *link = middle;
}

// The mirror image of rebalance_left.
static void rebalance_right(TableNode **link)
{
    TableNode *node = *link;
    TableNode *right = node->right;

    if (right->balance == 1) {
        node->right = right->left;
        right->left = node;
        node->balance = 0;
        right->balance = 0;
        *link = right;
        return;
    }
    TableNode *middle = right->left;
    right->left = middle->right;
    node->right = middle->left;
    middle->right = right;
    middle->left = node;
    node->balance = middle->balance == 1 ? -1 : 0;
    right->balance = middle->balance == -1 ? 1 : 0;
    middle->balance = 0;
    *link = middle;
}

// Inserts below *link; *grew tells whether that subtree got taller.
static TableNode *insert_at(TableNode **link, CatalogEntry *entry, EntryCompare compare, int *grew)
{
    TableNode *node = *link;
    TableNode *result;
    int order;

    if (node == NULL) {
        node = (TableNode *)malloc(sizeof *node);
        *grew = node != NULL;
        if (node == NULL)
            return NULL;
        node->left = NULL;
        node->right = NULL;
        node->balance = 0;
        node->entry = entry;
        *link = node;
        return node;
    }
    order = compare(entry, node->entry);
    if (order == 0) {
        *grew = 0;
        return node;
    }
    if (order < 0) {
        result = insert_at(&node->left, entry, compare, grew);
        if (!*grew)
            return result;
        if (node->balance == 1) {
            node->balance = 0;
            *grew = 0;
        } else if (node->balance == 0) {
            node->balance = -1;
        } else {
            rebalance_left(link);
            *grew = 0;
        }
        return result;
    }
    result = insert_at(&node->right, entry, compare, grew);
    if (!*grew)
        return result;
    if (node->balance == -1) {
        node->balance = 0;
        *grew = 0;
    } else if (node->balance == 0) {
        node->balance = 1;
    } else {
        rebalance_right(link);
        *grew = 0;
    }
    return result;
}

TableNode *table_insert(StringTable *table, CatalogEntry *entry)
{
    int grew = 0;

    return insert_at(&table->root, entry, table->compare, &grew);
}

TableNode *table_find(const StringTable *table, const char *key)
{
    // The table compares whole entries; the key is put into a search entry.
    CatalogEntry probe;
    TableNode *node = table->root;
    size_t length = strlen(key);

    // No stored key is longer; a cut one could match a key it does not equal.
    if (length > CATALOG_TEXT_MAX)
        return NULL;
    memcpy(probe.key, key, length);
    probe.key[length] = '\0';
    while (node != NULL) {
        int order = table->compare(&probe, node->entry);
        if (order == 0)
            return node;
        node = order < 0 ? node->left : node->right;
    }
    return NULL;
}

const char *lookup_text(const char *key, const char *default_text)
{
    TableNode *node = message_table != NULL ? table_find(message_table, key) : NULL;

    if (node != NULL)
        return node->entry->value;
    return default_text != NULL ? default_text : key;
}
