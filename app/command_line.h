// The switches of an unattended run. A command line whose first word
// begins with "/" is read whole and checked before anything happens; any
// other command line (an empty one too) leaves the run as it always was.
#ifndef SETUP_COMMAND_LINE_H
#define SETUP_COMMAND_LINE_H

#include "app/setup_state.h"

enum SwitchAction {
    SWITCH_ACTION_NONE, // the choice dialog asks
    SWITCH_INSTALL,
    SWITCH_REMOVE,
    SWITCH_CHECK,
    SWITCH_HELP
};

enum {
    COMMAND_WORD_SIZE = 512
};

struct CommandLine {
    int switched;   // the first word begins with "/"
    int action;     // a SwitchAction
    int quiet;      // /Q
    int no_restart; // /NORESTART
    int log;        // /LOG, with or without a path
    char log_path[LOG_PATH_SIZE];           // /LOG's path; empty: the default
    const char *language;                   // /LANG's "ger", "eng" or "fre"; NULL: none
    char wrong_word[COMMAND_WORD_SIZE];     // the word that made it wrong
};

// Reads the command line of the setup (uninstaller 0) or of the uninstaller
// copy (1), which takes fewer switches. 1 when it can be run, also when it
// holds no switch at all (switched 0); 0 when it is wrong, with the word to
// blame in wrong_word. Words are separated by blanks; double quotes group a
// word and are dropped. Names are compared without regard to case.
int read_command_line(const char *text, int uninstaller, CommandLine *line);

#endif
