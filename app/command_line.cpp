#include "app/command_line.h"

#include "catalog/text_format.h"

enum SwitchValue {
    TAKES_NO_VALUE,
    TAKES_OPTIONAL_VALUE,
    TAKES_VALUE
};

struct Switch {
    const char *name;
    SwitchValue value;
    int for_uninstaller; // the uninstaller copy takes it too
    int (*take)(CommandLine *line, int chosen, const char *value);
    int action;          // for take_action
};

static int take_action(CommandLine *line, int chosen, const char *)
{
    if (line->action != SWITCH_ACTION_NONE)
        return 0;
    line->action = chosen;
    return 1;
}

static int take_quiet(CommandLine *line, int, const char *)
{
    line->quiet = 1;
    return 1;
}

static int take_no_restart(CommandLine *line, int, const char *)
{
    line->no_restart = 1;
    return 1;
}

static int take_log(CommandLine *line, int, const char *value)
{
    line->log = 1;
    if (value == NULL)
        return 1;
    // A path the log buffer cannot hold whole would name another file.
    return value[0] != '\0' &&
           format_text(line->log_path, sizeof line->log_path, "%s", value) ==
               strlen(value);
}

static int same_letters(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; a++, b++) {
        char x = *a >= 'a' && *a <= 'z' ? (char)(*a - 'a' + 'A') : *a;
        char y = *b >= 'a' && *b <= 'z' ? (char)(*b - 'a' + 'A') : *b;
        if (x != y)
            return 0;
    }
    return *a == *b;
}

static const char *const LANGUAGE_CODES[] = {"ger", "eng", "fre"};

static int take_language(CommandLine *line, int, const char *value)
{
    for (const char *code : LANGUAGE_CODES) {
        if (same_letters(value, code)) {
            line->language = code;
            return 1;
        }
    }
    return 0;
}

// The one list of switches.
static const Switch SWITCHES[] = {
    {"INSTALL", TAKES_NO_VALUE, 0, take_action, SWITCH_INSTALL},
    {"REMOVE", TAKES_NO_VALUE, 0, take_action, SWITCH_REMOVE},
    {"CHECK", TAKES_NO_VALUE, 0, take_action, SWITCH_CHECK},
    {"?", TAKES_NO_VALUE, 1, take_action, SWITCH_HELP},
    {"HELP", TAKES_NO_VALUE, 1, take_action, SWITCH_HELP},
    {"LANG", TAKES_VALUE, 0, take_language, 0},
    {"Q", TAKES_NO_VALUE, 1, take_quiet, 0},
    {"NORESTART", TAKES_NO_VALUE, 1, take_no_restart, 0},
    {"LOG", TAKES_OPTIONAL_VALUE, 1, take_log, 0},
};

enum { SWITCH_COUNT = sizeof SWITCHES / sizeof SWITCHES[0] };

static int is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Copies the next word, quotes dropped, into word; returns where the
// reading goes on, or NULL when there is no word left. *fits is 0 for a
// word too long for the buffer or with a quote left open.
static const char *next_word(const char *text, char *word, int *fits)
{
    size_t length = 0;
    int quoted = 0;

    while (is_blank(*text))
        text++;
    if (*text == '\0')
        return NULL;
    *fits = 1;
    for (; *text != '\0' && (quoted || !is_blank(*text)); text++) {
        if (*text == '"') {
            quoted = !quoted;
            continue;
        }
        if (length + 1 < COMMAND_WORD_SIZE)
            word[length++] = *text;
        else
            *fits = 0;
    }
    word[length] = '\0';
    if (quoted)
        *fits = 0;
    return text;
}

static const Switch *find_switch(const char *name)
{
    for (const Switch &candidate : SWITCHES) {
        if (same_letters(name, candidate.name))
            return &candidate;
    }
    return NULL;
}

// Takes one "/NAME" or "/NAME=value" word; 0 when it is wrong. seen counts
// each switch, which may be given once.
static int take_word(char *word, int uninstaller, int *seen, CommandLine *line)
{
    char *equals = word;
    const char *value = NULL;
    const Switch *found;

    if (word[0] != '/')
        return 0;
    while (*equals != '\0' && *equals != '=')
        equals++;
    if (*equals == '\0')
        equals = NULL;
    if (equals != NULL) {
        *equals = '\0';
        value = equals + 1;
    }
    found = find_switch(word + 1);
    if (equals != NULL)
        *equals = '=';
    if (found == NULL || (uninstaller && !found->for_uninstaller))
        return 0;
    if (seen[found - SWITCHES]++ > 0)
        return 0;
    if ((found->value == TAKES_NO_VALUE && value != NULL) ||
        (found->value == TAKES_VALUE && (value == NULL || value[0] == '\0')))
        return 0;
    return found->take(line, found->action, value);
}

// Names the word; a /Q anywhere on the line still keeps the refusal quiet.
static int wrong(CommandLine *line, const char *word, const char *rest)
{
    char other[COMMAND_WORD_SIZE];
    int fits;

    format_text(line->wrong_word, sizeof line->wrong_word, "%s", word);
    while (rest != NULL && (rest = next_word(rest, other, &fits)) != NULL) {
        if (same_letters(other, "/Q"))
            line->quiet = 1;
    }
    return 0;
}

int read_command_line(const char *text, int uninstaller, CommandLine *line)
{
    char word[COMMAND_WORD_SIZE];
    int seen[SWITCH_COUNT] = {0};
    int fits;
    const char *rest;

    memset(line, 0, sizeof *line);
    rest = next_word(text != NULL ? text : "", word, &fits);
    if (rest == NULL || word[0] != '/')
        return 1;
    line->switched = 1;
    for (; rest != NULL; rest = next_word(rest, word, &fits)) {
        if (!fits || !take_word(word, uninstaller, seen, line))
            return wrong(line, word, rest);
    }
    // A quiet run must know what to do; the uninstaller copy always does.
    if (line->quiet && !uninstaller && line->action == SWITCH_ACTION_NONE)
        return wrong(line, "/Q", NULL);
    return 1;
}
