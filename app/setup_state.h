// The setup state: the process-wide values that every operation reads and
// writes by name. All live for the whole process; none is allocated.
#ifndef SETUP_STATE_H
#define SETUP_STATE_H

#include "system/platform.h"

struct StringTable;
struct ServiceNode;

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
    LANGUAGE_FILE_NAME_SIZE = 12
};

typedef void (*StatusCallback)(const char *key);

// Handles and flow state.
extern HINSTANCE instance_handle;
extern HWND choice_dialog;
extern HWND progress_dialog;
extern int action;
extern int processor_installed;
extern int nul_port_present;
extern DWORD scan_port_index;
extern DWORD last_error;
extern StatusCallback status_callback;

// Text buffers.
extern char message_text[MESSAGE_TEXT_SIZE];
extern char window_title[WINDOW_TITLE_SIZE];

// Platform description, filled by the scan.
extern char driver_extension[DRIVER_EXTENSION_SIZE];
extern char environment_name[ENVIRONMENT_NAME_SIZE];
extern char platform_tag[PLATFORM_TAG_SIZE];

// Directories.
extern char system_dir[DIRECTORY_SIZE];
extern char driver_dir[DIRECTORY_SIZE];
extern char print_processor_dir[DIRECTORY_SIZE];
extern char program_dir[PROGRAM_DIR_SIZE];
extern char platform_source_dir[DIRECTORY_SIZE];

// Product and language names.
extern const char *product_display_name;
extern const char *product_short_name;
extern const char *settings_source_name;
extern const char *language_code;
extern char *language_file_name;

// Shared structures owned by the catalog and the spooler control.
extern StringTable *message_table;

#endif
