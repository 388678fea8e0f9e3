#include "catalog/message_keys.h"

#include "system/platform.h"

#define SETUP_DEFINE_MESSAGE_KEY(name, text, use) const char name[] = text;
SETUP_MESSAGE_KEY_LIST(SETUP_DEFINE_MESSAGE_KEY)
#undef SETUP_DEFINE_MESSAGE_KEY

#define SETUP_MESSAGE_KEY_ENTRY(name, text, use) {name, use},
const MessageKey MESSAGE_KEYS[MESSAGE_KEY_COUNT] = {
    SETUP_MESSAGE_KEY_LIST(SETUP_MESSAGE_KEY_ENTRY)};
#undef SETUP_MESSAGE_KEY_ENTRY

const MessageKey *find_message_key(const char *key)
{
    for (int i = 0; i < MESSAGE_KEY_COUNT; i++) {
        if (strcmp(MESSAGE_KEYS[i].key, key) == 0)
            return &MESSAGE_KEYS[i];
    }
    return NULL;
}
