// The exit codes of a switch run: the numbers deployment tools already read
// from Windows Installer. A run without switches keeps its own two (1
// success, 0 failure).
#ifndef SETUP_EXIT_CODES_H
#define SETUP_EXIT_CODES_H

//   EXIT_CODE(name, number, meaning)
#define SETUP_EXIT_CODE_LIST(EXIT_CODE)                                                      \
    EXIT_CODE(EXIT_DONE, 0, "usage shown, or /CHECK found the whole package")               \
    EXIT_CODE(EXIT_CANCELLED, 1602, "cancelled by the user")                                 \
    EXIT_CODE(EXIT_FAILED, 1603, "the installation or removal failed")                       \
    EXIT_CODE(EXIT_NOT_INSTALLED, 1605, "nothing of the package is installed")               \
    EXIT_CODE(EXIT_PARTLY_INSTALLED, 1610, "/CHECK found part of the package")               \
    EXIT_CODE(EXIT_ALREADY_RUNNING, 1618, "another run of the setup is in progress")         \
    EXIT_CODE(EXIT_LOG_FAILED, 1622, "the log file cannot be opened")                        \
    EXIT_CODE(EXIT_LANGUAGE_MISSING, 1623, "the language file is missing")                   \
    EXIT_CODE(EXIT_PLATFORM_UNSUPPORTED, 1633, "this Windows is not supported")              \
    EXIT_CODE(EXIT_BAD_COMMAND_LINE, 1639, "the command line is wrong")                      \
    EXIT_CODE(EXIT_RESTARTING, 1641, "success; the restart was accepted and begins")         \
    EXIT_CODE(EXIT_RESTART_REQUIRED, 3010, "success; Windows must be restarted")

#define SETUP_EXIT_CODE_ENUM(name, number, meaning) name = number,
enum ExitCode { SETUP_EXIT_CODE_LIST(SETUP_EXIT_CODE_ENUM) };
#undef SETUP_EXIT_CODE_ENUM

#endif
