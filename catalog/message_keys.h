// The keys the program looks up in a language file, and how it shows the
// text of each. A language file must define every one of them.
#ifndef SETUP_MESSAGE_KEYS_H
#define SETUP_MESSAGE_KEYS_H

enum MessageUse {
    // Shown as it stands: a '%' is shown too.
    MESSAGE_AS_IS,
    // Formatted with the product's name: the first "%s" takes it, "%%" is a
    // percent sign, every other '%' is shown as it stands.
    MESSAGE_WITH_NAME,
    // Formatted without an argument: a "%s" shows nothing, "%%" is a
    // percent sign.
    MESSAGE_WITHOUT_ARGUMENT
};

struct MessageKey {
    const char *key;
    MessageUse use;
};

enum { MESSAGE_KEY_COUNT = 30 };

extern const MessageKey MESSAGE_KEYS[MESSAGE_KEY_COUNT];

// The entry of the key (compared exactly, case and blanks included), or null.
const MessageKey *find_message_key(const char *key);

#endif
