#include "setup/steps.h"
#include "setup/inf_writer.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "setup/product_names.h"
#include "setup/quiet_copy_queue.h"
#include "system/environment.h"
#include "system/files.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    TEMP_PATH_LENGTH = 255,
    INSTALL_COPY_FLAGS = SP_COPY_LANGUAGEAWARE | SP_COPY_FORCE_IN_USE | SP_COPY_FORCE_NEWER |
                         SP_COPY_WARNIFSKIP,
    // Every install operation, as the Setup API of Windows XP counts them;
    // older headers define SPINST_ALL with fewer bits.
    INSTALL_EVERYTHING = 0x7FF,
    TEMP_DELETE_ATTEMPTS = 5,
    TEMP_DELETE_PAUSE_MS = 200
};

// The directory the running program was started from, into program_dir.
static int find_program_dir(void)
{
    char *last;

    if (GetModuleFileNameA(NULL, program_dir, sizeof program_dir) == 0)
        return 0;
    // Windows before Vista leaves a cut name unterminated.
    program_dir[sizeof program_dir - 1] = '\0';
    last = strrchr(program_dir, '\\');
    if (last != NULL)
        *last = '\0';
    return 1;
}

// The INF's three destination directories; without them the section has
// nowhere to copy to. 0 with the Setup API's error left as the last error.
static int bind_directories(HINF inf)
{
    return SetupSetDirectoryIdA(inf, INF_SYSTEM_DIR_ID, system_dir) &&
           SetupSetDirectoryIdA(inf, INF_PRINT_PROCESSOR_DIR_ID, print_processor_dir) &&
           SetupSetDirectoryIdA(inf, INF_DRIVER_DIR_ID, driver_dir);
}

// Opens the written INF with the Setup API and installs its section.
static int run_inf(const char *inf_path)
{
    UINT error_line = 0;
    HINF inf;
    PSP_FILE_CALLBACK_A handler;
    PVOID context;
    int result = 0;

    inf = SetupOpenInfFileA(inf_path, NULL, INF_STYLE_WIN4, &error_line);
    if (inf == INVALID_HANDLE_VALUE) {
        capture_last_error();
        return 0;
    }
    if (!bind_directories(inf)) {
        capture_last_error();
        SetupCloseInfFile(inf);
        return 0;
    }
    // A quiet run has no progress window, and its handler keeps the default
    // callback from showing one of its own or asking anything.
    handler = quiet_run ? quiet_queue_callback : SetupDefaultQueueCallbackA;
    context = SetupInitDefaultQueueCallback(progress_dialog);
    if (context == NULL) {
        capture_last_error();
    } else if (!SetupInstallFromInfSectionA(progress_dialog, inf, INF_INSTALL_SECTION, INSTALL_EVERYTHING, NULL,
                                            program_dir, INSTALL_COPY_FLAGS, handler, context,
                                            NULL, NULL)) {
        capture_last_error();
    } else {
        result = 1;
    }
    if (context != NULL)
        SetupTermDefaultQueueCallback(context);
    SetupCloseInfFile(inf);
    return result;
}

// A virus scanner or indexer may hold the new file open for a moment: the
// deletion is tried a few times before the file is left behind.
static void delete_temporary_file(const char *path)
{
    int attempt = 1;

    while (delete_file(path) != 0 && attempt++ < TEMP_DELETE_ATTEMPTS)
        Sleep(TEMP_DELETE_PAUSE_MS);
}

// The scan found the platform and its directories. On a platform it does
// not support they stay empty, and the Setup API must not be handed empty
// destinations.
static int platform_known(void)
{
    if (platform_branch != NULL && platform_tag[0] != '\0' && system_dir[0] != '\0' &&
        print_processor_dir[0] != '\0' && driver_dir[0] != '\0')
        return 1;
    SetLastError(ERROR_NOT_SUPPORTED);
    capture_last_error();
    return 0;
}

int install_inf(void)
{
    char temp_dir[MAX_PATH];
    char inf_path[MAX_PATH];
    FILE *inf = NULL;
    DWORD length;
    int closed;
    int result = 0;

    show_status(KEY_INSTALLING);
    if (!platform_known())
        return 0;
    length = GetTempPathA(TEMP_PATH_LENGTH, temp_dir);
    if (length == 0 || length > TEMP_PATH_LENGTH) {
        if (length != 0)
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
        capture_last_error();
        return 0;
    }
    // Creates the empty file, under a name no other file has.
    if (GetTempFileNameA(temp_dir, "INS", 0, inf_path) == 0) {
        capture_last_error();
        return 0;
    }
    inf = fopen(inf_path, "w");
    if (inf == NULL) {
        capture_last_error();
        goto done;
    }
    if (!find_program_dir()) {
        show_system_error(capture_last_error());
        goto done;
    }
    format_text(platform_source_dir, sizeof platform_source_dir, "%s\\%s", program_dir,
                platform_tag);
    // A cut INF would install part of the package and call it done. Its
    // last lines reach the disk only when it is closed.
    if (!write_inf_for(inf, platform_branch, platform_tag, language_code)) {
        capture_last_error();
        goto done;
    }
    closed = fclose(inf);
    inf = NULL;
    if (closed != 0) {
        capture_last_error();
        goto done;
    }
    result = run_inf(inf_path);
done:
    if (inf != NULL)
        fclose(inf);
    delete_temporary_file(inf_path);
    return result;
}

int copy_uninstaller(void)
{
    if (!copy_file(program_dir, "setup.exe", system_dir, UNINSTALLER_FILE))
        return 0;
    return copy_with_substitution(program_dir, settings_source_name, system_dir,
                                  SETTINGS_COPY_FILE);
}
