// The setup state: the process-wide values that every operation reads and
// writes by name. All live for the whole process; none is allocated.
#ifndef SETUP_STATE_H
#define SETUP_STATE_H

#include "system/platform.h"

struct StringTable;
struct ServiceNode;
struct PlatformBranch;

enum {
    ACTION_NONE = 0,
    ACTION_REMOVE = 1,
    ACTION_INSTALL = 4
};

enum {
    MESSAGE_TEXT_SIZE = 2000,
    WINDOW_TITLE_SIZE = 1232,
    DRIVER_EXTENSION_SIZE = 16,
    ENVIRONMENT_NAME_SIZE = 32,
    PLATFORM_TAG_SIZE = 288,
    DIRECTORY_SIZE = 288,
    PROGRAM_DIR_SIZE = 260,
    LANGUAGE_FILE_NAME_SIZE = 12,
    LOG_PATH_SIZE = 260
};

typedef void (*StatusCallback)(const char *key);

// The one list of the setup state, each value with its start value:
//   VALUE(type, name, start)     a plain value;
//   BUFFER(name, size, start)    a text buffer of size bytes;
//   BUFFER_POINTER(name, size, start)
//                                a pointer to a text buffer of its own, of
//                                size bytes, that starts holding start.
#define SETUP_STATE_LIST(VALUE, BUFFER, BUFFER_POINTER)                     \
    /* Handles and flow state. */                                          \
    VALUE(HINSTANCE, instance_handle, NULL)                                \
    VALUE(HWND, choice_dialog, NULL)                                       \
    VALUE(HWND, progress_dialog, NULL)                                     \
    VALUE(int, action, ACTION_NONE)                                        \
    VALUE(int, processor_installed, 0)                                     \
    VALUE(int, nul_port_present, 0)                                        \
    VALUE(DWORD, scan_port_index, 0)                                       \
    VALUE(DWORD, last_error, 0)                                            \
    /* The own number of the service that last ended in its start with */  \
    /* ERROR_SERVICE_SPECIFIC_ERROR, else 0: for a log, not an error. */   \
    VALUE(DWORD, service_exit_code, 0)                                     \
    VALUE(StatusCallback, status_callback, NULL)                           \
    /* A switch run without any window; the log it keeps, if any; the     \
       Retry answers a quiet run gave to the spooler's start. */           \
    VALUE(int, quiet_run, 0)                                               \
    BUFFER(log_path, LOG_PATH_SIZE, "")                                    \
    VALUE(int, spooler_retries, 0)                                         \
    /* Text buffers. */                                                    \
    BUFFER(message_text, MESSAGE_TEXT_SIZE, "")                            \
    BUFFER(window_title, WINDOW_TITLE_SIZE, "")                            \
    /* Platform description, filled by the scan. */                        \
    VALUE(const PlatformBranch *, platform_branch, NULL)                   \
    BUFFER(driver_extension, DRIVER_EXTENSION_SIZE, "")                    \
    BUFFER(environment_name, ENVIRONMENT_NAME_SIZE, "")                    \
    BUFFER(platform_tag, PLATFORM_TAG_SIZE, "")                            \
    /* Directories. */                                                     \
    BUFFER(system_dir, DIRECTORY_SIZE, "")                                 \
    BUFFER(driver_dir, DIRECTORY_SIZE, "")                                 \
    BUFFER(print_processor_dir, DIRECTORY_SIZE, "")                        \
    BUFFER(program_dir, PROGRAM_DIR_SIZE, "")                              \
    BUFFER(platform_source_dir, DIRECTORY_SIZE, "")                        \
    /* Product and language names. */                                      \
    VALUE(const char *, product_display_name, "LUMETRA MAPI connector")    \
    VALUE(const char *, product_short_name, "LUMETRA")                     \
    VALUE(const char *, settings_source_name, NULL)                        \
    VALUE(const char *, language_code, "ger")                              \
    BUFFER_POINTER(language_file_name, LANGUAGE_FILE_NAME_SIZE, "lang.ger") \
    /* The message catalog's table, owned by the catalog. */               \
    VALUE(StringTable *, message_table, NULL)

#define SETUP_STATE_DECLARE_VALUE(type, name, start) extern type name;
#define SETUP_STATE_DECLARE_BUFFER(name, size, start) extern char name[size];
#define SETUP_STATE_DECLARE_BUFFER_POINTER(name, size, start) extern char *name;
SETUP_STATE_LIST(SETUP_STATE_DECLARE_VALUE, SETUP_STATE_DECLARE_BUFFER,
                 SETUP_STATE_DECLARE_BUFFER_POINTER)
#undef SETUP_STATE_DECLARE_VALUE
#undef SETUP_STATE_DECLARE_BUFFER
#undef SETUP_STATE_DECLARE_BUFFER_POINTER

#endif
