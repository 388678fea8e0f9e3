#include "setup/install_steps.h"
#include "setup/inf_writer.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "setup/product_names.h"
#include "system/environment.h"
#include "system/files.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    TEMP_PATH_LENGTH = 255,
    INF_LINE_SIZE = 1024,
    SYSTEM_DIR_ID = 78000,
    PRINT_PROCESSOR_DIR_ID = 78001,
    DRIVER_DIR_ID = 78002,
    INSTALL_COPY_FLAGS = SP_COPY_LANGUAGEAWARE | SP_COPY_FORCE_IN_USE | SP_COPY_FORCE_NEWER |
                         SP_COPY_WARNIFSKIP,
    // Every install operation, as the Setup API of Windows XP counts them;
    // older headers define SPINST_ALL with fewer bits.
    INSTALL_EVERYTHING = 0x7FF,
    TEMP_DELETE_ATTEMPTS = 5,
    TEMP_DELETE_PAUSE_MS = 200
};

static const char INSTALL_SECTION[] = "Install_Printer";

// Where a file of [SourceDisksFiles] comes from below the program directory.
enum SourcePlace {
    FROM_PLATFORM, // the platform subdirectory
    FROM_LANGUAGE  // its language subdirectory
};

struct SourceFile {
    const char *name;
    SourcePlace place;
};

// What the INF of one platform branch lists.
struct InfBranch {
    const char *signature;
    const char *system_files[3];
    const char *driver_files[14];
    SourceFile sources[16];
};

static const InfBranch WINDOWS_95_FAMILY = {
    "$Windows 95$",
    {"kxdrvw32.dll", "devura.dll", NULL},
    {"unidrv.dll", "unidrv.hlp", "ravelo.drv", "ravtlx.drv", NULL},
    {{"devura.dll", FROM_PLATFORM},
     {"kxdrvw32.dll", FROM_PLATFORM},
     {"ravelo.drv", FROM_PLATFORM},
     {"ravtlx.drv", FROM_PLATFORM},
     {"unidrv.dll", FROM_LANGUAGE},
     {"unidrv.hlp", FROM_LANGUAGE},
     {NULL, FROM_PLATFORM}},
};

static const InfBranch NT_4_OR_EARLIER = {
    "$Windows NT$",
    {FAX_SERVER_FILE, "tqvdrv32.dll", NULL},
    {"rasdd.dll", "rasddui.dll", "rasddui.hlp", "ravelo.dll", "ravtlx.dll", NULL},
    {{"tqvdrv32.dll", FROM_PLATFORM},
     {FAX_SERVER_FILE, FROM_PLATFORM},
     {"ravelo.dll", FROM_PLATFORM},
     {"ravtlx.dll", FROM_PLATFORM},
     {"rasdd.dll", FROM_LANGUAGE},
     {"rasddui.dll", FROM_LANGUAGE},
     {"rasddui.hlp", FROM_LANGUAGE},
     {NULL, FROM_PLATFORM}},
};

static const InfBranch NT_5_OR_LATER = {
    "$Windows NT$",
    {FAX_SERVER_FILE, "tqvdrv32.dll", NULL},
    {"unidrv.dll", "unidrvui.dll", "unidrv.hlp", "unires.dll", "tty.dll", "ttyui.dll",
     "ttyui.hlp", "ttyres.dll", "ravelo.gpd", "ravtlx.gpd", "ravelo.dll", "ravtlx.ini",
     "stdnames.gpd", NULL},
    {{"tqvdrv32.dll", FROM_PLATFORM},
     {FAX_SERVER_FILE, FROM_PLATFORM},
     {"ravelo.dll", FROM_PLATFORM},
     {"ravtlx.ini", FROM_PLATFORM},
     {"ravelo.gpd", FROM_PLATFORM},
     {"ravtlx.gpd", FROM_PLATFORM},
     {"stdnames.gpd", FROM_PLATFORM},
     {"unidrv.dll", FROM_LANGUAGE},
     {"unidrvui.dll", FROM_LANGUAGE},
     {"unidrv.hlp", FROM_LANGUAGE},
     {"unires.dll", FROM_LANGUAGE},
     {"tty.dll", FROM_LANGUAGE},
     {"ttyui.dll", FROM_LANGUAGE},
     {"ttyui.hlp", FROM_LANGUAGE},
     {"ttyres.dll", FROM_LANGUAGE},
     {NULL, FROM_PLATFORM}},
};

// Indexed by InfBranchId.
static const InfBranch *const INF_BRANCHES[INF_BRANCH_COUNT] = {
    &WINDOWS_95_FAMILY, &NT_4_OR_EARLIER, &NT_5_OR_LATER};

int running_inf_branch(void)
{
    if (is_windows_95_family())
        return INF_BRANCH_95_FAMILY;
    return is_nt5_or_later() ? INF_BRANCH_NT_5_OR_LATER : INF_BRANCH_NT_4_OR_EARLIER;
}

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

// One line of the INF, cut to the longest line the Setup API reads. 0 when
// the stream refused it.
static int write_line(FILE *inf, const char *format, ...)
{
    char line[INF_LINE_SIZE];
    va_list arguments;

    va_start(arguments, format);
    format_text_v(line, sizeof line, format, arguments);
    va_end(arguments);
    return fputs(line, inf) >= 0 && fputs("\n", inf) >= 0;
}

int write_inf_for(FILE *inf, int branch_id, const char *platform_folder, const char *language)
{
    char language_subpath[MAX_PATH];
    const InfBranch *branch;
    int written = 1;

    if (branch_id < 0 || branch_id >= INF_BRANCH_COUNT)
        return 0;
    branch = INF_BRANCHES[branch_id];
    format_text(language_subpath, sizeof language_subpath, "%s\\%s", platform_folder, language);
    written &= write_line(inf, "[Version]");
    written &= write_line(inf, "Signature=%s", branch->signature);
    written &= write_line(inf, "Provider=Norvane");
    written &= write_line(inf, "[Install_Printer]");
    written &= write_line(inf, "CopyFiles=Printer_Files, PrintProc_Files, Driver_Files");
    written &= write_line(inf, "[DestinationDirs]");
    written &= write_line(inf, "Printer_Files=%d", SYSTEM_DIR_ID);
    written &= write_line(inf, "PrintProc_Files=%d", PRINT_PROCESSOR_DIR_ID);
    written &= write_line(inf, "Driver_Files=%d", DRIVER_DIR_ID);
    written &= write_line(inf, "[Printer_Files]");
    for (const char *const *name = branch->system_files; *name != NULL; name++)
        written &= write_line(inf, "%s,,0x4", *name);
    written &= write_line(inf, "[PrintProc_Files]");
    written &= write_line(inf, "%s,,0x4", PRINT_PROCESSOR_FILE);
    written &= write_line(inf, "[Driver_Files]");
    for (const char *const *name = branch->driver_files; *name != NULL; name++)
        written &= write_line(inf, "%s", *name);
    written &= write_line(inf, "[SourceDisksNames]");
    written &= write_line(inf, "1=\"Ravelo Printer Driver Setup Disk\"");
    written &= write_line(inf, "[SourceDisksFiles]");
    written &= write_line(inf, "%s=1,%s", PRINT_PROCESSOR_FILE, platform_folder);
    for (const SourceFile *file = branch->sources; file->name != NULL; file++) {
        written &= write_line(inf, "%s=1,%s", file->name,
                              file->place == FROM_PLATFORM ? platform_folder : language_subpath);
    }
    return written;
}

// The INF's three destination directories; without them the section has
// nowhere to copy to. 0 with the Setup API's error left as the last error.
static int bind_directories(HINF inf)
{
    return SetupSetDirectoryIdA(inf, SYSTEM_DIR_ID, system_dir) &&
           SetupSetDirectoryIdA(inf, PRINT_PROCESSOR_DIR_ID, print_processor_dir) &&
           SetupSetDirectoryIdA(inf, DRIVER_DIR_ID, driver_dir);
}

// Opens the written INF with the Setup API and installs its section.
static int run_inf(const char *inf_path)
{
    UINT error_line = 0;
    HINF inf;
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
    context = SetupInitDefaultQueueCallback(progress_dialog);
    if (context == NULL) {
        capture_last_error();
    } else if (!SetupInstallFromInfSectionA(progress_dialog, inf, INSTALL_SECTION, INSTALL_EVERYTHING, NULL,
                                            program_dir, INSTALL_COPY_FLAGS,
                                            SetupDefaultQueueCallbackA, context, NULL, NULL)) {
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
    if (platform_tag[0] != '\0' && system_dir[0] != '\0' && print_processor_dir[0] != '\0' &&
        driver_dir[0] != '\0')
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
        show_system_error(GetLastError());
        goto done;
    }
    format_text(platform_source_dir, sizeof platform_source_dir, "%s\\%s", program_dir,
                platform_tag);
    // A cut INF would install part of the package and call it done. Its
    // last lines reach the disk only when it is closed.
    if (!write_inf_for(inf, running_inf_branch(), platform_tag, language_code)) {
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
