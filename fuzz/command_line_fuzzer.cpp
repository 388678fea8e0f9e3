// Reads arbitrary command lines as the setup and as the uninstaller copy,
// and checks what any reading must hold: a line not starting with a switch
// is the normal run, a refused one names a word, a taken one names only
// what its program takes, and nothing is read past its buffers.
#include "app/command_line.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

static void check(const char *text, int uninstaller)
{
    CommandLine line;
    int taken = read_command_line(text, uninstaller, &line);

    if (!line.switched && (!taken || line.action != SWITCH_ACTION_NONE || line.quiet || line.log))
        abort();
    if (!taken) {
        if (strlen(line.wrong_word) >= sizeof line.wrong_word)
            abort();
        return;
    }
    if (line.action < SWITCH_ACTION_NONE || line.action > SWITCH_HELP)
        abort();
    if (uninstaller && line.action != SWITCH_ACTION_NONE && line.action != SWITCH_HELP)
        abort();
    if (!uninstaller && line.quiet && line.action == SWITCH_ACTION_NONE)
        abort();
    if (line.language != NULL && strcmp(line.language, "ger") != 0 &&
        strcmp(line.language, "eng") != 0 && strcmp(line.language, "fre") != 0)
        abort();
    if (uninstaller && line.language != NULL)
        abort();
    if (strlen(line.log_path) >= sizeof line.log_path || (line.log_path[0] != '\0' && !line.log))
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The command line the system hands over ends at its first NUL.
    std::string text(reinterpret_cast<const char *>(data), size);
    check(text.c_str(), 0);
    check(text.c_str(), 1);
    return 0;
}
