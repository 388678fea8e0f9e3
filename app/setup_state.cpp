#include "app/setup_state.h"

HINSTANCE instance_handle;
HWND choice_dialog;
HWND progress_dialog;
int action;
int processor_installed;
int nul_port_present;
DWORD scan_port_index;
DWORD last_error;
StatusCallback status_callback;

char message_text[MESSAGE_TEXT_SIZE];
char window_title[WINDOW_TITLE_SIZE];

char driver_extension[DRIVER_EXTENSION_SIZE];
char environment_name[ENVIRONMENT_NAME_SIZE];
char platform_tag[PLATFORM_TAG_SIZE];

char system_dir[DIRECTORY_SIZE];
char driver_dir[DIRECTORY_SIZE];
char print_processor_dir[DIRECTORY_SIZE];
char program_dir[PROGRAM_DIR_SIZE];
char platform_source_dir[DIRECTORY_SIZE];

const char *product_display_name = "LUMETRA MAPI connector";
const char *product_short_name = "LUMETRA";
const char *settings_source_name;
const char *language_code = "ger";

static char language_file_buffer[LANGUAGE_FILE_NAME_SIZE] = "lang.ger";
char *language_file_name = language_file_buffer;

StringTable *message_table;
