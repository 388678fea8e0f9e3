#include "setup/removal.h"

#include "app/setup_state.h"
#include "catalog/language_file.h"
#include "catalog/text_format.h"
#include "resources/resource.h"
#include "setup/platform_branch.h"
#include "setup/product_names.h"
#include "setup/steps.h"
#include "system/environment.h"
#include "system/files.h"
#include "system/spooler_directories.h"
#include "system/spooler_objects.h"
#include "system/spooler_service.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    REMOVAL_DIRECTORY_SIZE = 260,
    REMOVAL_PATH_SIZE = 1024,
    WORKER_BUFFER_SIZE = 2048
};

// The fax server is told to close; nothing waits for it.
static void close_fax_server(void)
{
    HWND server = FindWindowA(FAX_SERVER_WINDOW_CLASS, NULL);

    if (server == NULL)
        return;
    show_status(KEY_CLOSING_PRINT_SERVER);
    PostMessageA(server, WM_SYSCOMMAND, SC_CLOSE, 0);
}

static void delete_autostart_value(void)
{
    HKEY run;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RUN_KEY, 0, KEY_ALL_ACCESS, &run) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(run, RUN_VALUE_NAME);
    RegCloseKey(run);
}

// Deletes every local printer that uses a driver of the product. 0 when one
// of them could not be deleted.
static int delete_product_printers(int *bitmap_driver_found)
{
    DWORD count;
    PRINTER_INFO_2A *printers =
        (PRINTER_INFO_2A *)enumerate_spooler_list(LIST_LOCAL_PRINTERS, NULL, &count);
    int result = 1;

    if (printers == NULL) {
        show_system_error(GetLastError());
        return 1;
    }
    for (DWORD i = 0; i < count && result; i++) {
        if (strcmp(printers[i].pDriverName, BITMAP_DRIVER_NAME) == 0)
            *bitmap_driver_found = 1;
        if (is_product_driver_name(printers[i].pDriverName))
            result = delete_printer(printers[i].pPrinterName);
    }
    free(printers);
    return result;
}

// Deletes the product's drivers; on a platform whose deletion can take the
// files along, with those no other driver uses. 0 when one could not be
// deleted.
static int delete_product_drivers(void)
{
    DWORD count;
    DRIVER_INFO_1A *drivers =
        (DRIVER_INFO_1A *)enumerate_spooler_list(LIST_PRINTER_DRIVERS, environment_name, &count);
    int result = 1;

    if (drivers == NULL) {
        show_system_error(GetLastError());
        return 1;
    }
    for (DWORD i = 0; i < count && result; i++) {
        if (!is_product_driver_name(drivers[i].pName))
            continue;
        if (platform_branch->driver_deletion_takes_files) {
            result = delete_driver_ex(NULL, NULL, drivers[i].pName, DPD_DELETE_UNUSED_FILES, 0) != 0;
        } else if (!DeletePrinterDriverA(NULL, NULL, drivers[i].pName)) {
            capture_last_error();
            result = 0;
        }
    }
    free(drivers);
    return result;
}

// Deletes the print processor. A refusal is written to the choice dialog's
// report, when that dialog is open, and returns 0.
static int delete_print_processor(void)
{
    DWORD count;
    PRINTPROCESSOR_INFO_1A *processors =
        (PRINTPROCESSOR_INFO_1A *)enumerate_spooler_list(LIST_PRINT_PROCESSORS, environment_name, &count);
    int result = 1;

    if (processors == NULL) {
        show_system_error(GetLastError());
        return 1;
    }
    for (DWORD i = 0; i < count && result; i++) {
        if (strcmp(processors[i].pName, PRINT_PROCESSOR_NAME) != 0)
            continue;
        if (!DeletePrintProcessorA(NULL, NULL, processors[i].pName)) {
            capture_last_error();
            format_text(message_text, sizeof message_text, "DeletePrintProcessor() %s failed.\r\n",
                        processors[i].pName);
            SetDlgItemTextA(choice_dialog, IDC_REPORT, message_text);
            result = 0;
        }
    }
    free(processors);
    return result;
}

// The removal's own copy of each directory, by place.
typedef char RemovalDirectories[IN_DRIVER_DIR + 1][REMOVAL_DIRECTORY_SIZE];

static int query_directory(RemovalPlace place, char *buffer)
{
    if (place == IN_SYSTEM_DIR)
        return GetSystemDirectoryA(buffer, REMOVAL_DIRECTORY_SIZE) != 0;
    return read_spooler_directory(place == IN_PRINT_PROCESSOR_DIR ? PRINT_PROCESSOR_DIRECTORY
                                                                  : PRINTER_DRIVER_DIRECTORY,
                                  environment_name, buffer, REMOVAL_DIRECTORY_SIZE);
}

static char *state_directory(RemovalPlace place)
{
    if (place == IN_SYSTEM_DIR)
        return system_dir;
    return place == IN_PRINT_PROCESSOR_DIR ? print_processor_dir : driver_dir;
}

// Each directory read goes to the setup state too. One that could not be
// read stays empty here, and no path to delete is composed from it; the
// state keeps what the scan read, which the installation's later steps
// install into. 0, with the first such failure's error captured.
static int read_directories(RemovalDirectories directories)
{
    int read = 1;

    for (int place = IN_SYSTEM_DIR; place <= IN_DRIVER_DIR; place++) {
        char *directory = directories[place];
        if (query_directory((RemovalPlace)place, directory)) {
            format_text(state_directory((RemovalPlace)place), DIRECTORY_SIZE, "%s", directory);
            continue;
        }
        if (read)
            capture_last_error();
        directory[0] = '\0';
        read = 0;
    }
    return read;
}

static void delete_in(const char *directory, const char *name, const char *extension)
{
    char path[REMOVAL_PATH_SIZE];

    // Not "\name" in the root of the current drive.
    if (directory[0] == '\0')
        return;
    if (extension != NULL)
        format_text(path, sizeof path, "%s\\%s.%s", directory, name, extension);
    else
        format_text(path, sizeof path, "%s\\%s", directory, name);
    delete_file(path);
}

static void delete_product_files(RemovalDirectories directories, int bitmap_driver_found)
{
    // The earlier bitmap driver's package: only its own two files.
    if (bitmap_driver_found) {
        delete_in(directories[IN_DRIVER_DIR], "ravelopd", driver_extension);
        delete_in(directories[IN_DRIVER_DIR], "ravtlx95", driver_extension);
        return;
    }
    for (const RemovedFile *file = platform_branch->removed_files; file->name != NULL; file++)
        delete_in(directories[file->place], file->name, NULL);
}

// The files and the uninstall entry go while the spooler is stopped, which
// holds the driver files open on the NT family. Files that stay because
// their directory could not be read keep the entry, so that the removal
// can be run again: 0 then, with the error captured.
static int remove_entry_and_files(int family_nt, int bitmap_driver_found)
{
    RemovalDirectories directories;
    int read = read_directories(directories);
    DWORD read_error = last_error;

    if (family_nt) {
        show_status(KEY_SETUP_STOP_SPOOLER);
        if (!stop_spooler())
            show_system_error(GetLastError());
    }
    if (read)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    delete_product_files(directories, bitmap_driver_found);
    if (!read)
        last_error = read_error;
    return read;
}

int remove_old_installation(void)
{
    int family_nt = !is_windows_95_family();
    int bitmap_driver_found = 0;
    int removed;
    int answer;

    // What to take away comes from the platform description.
    if (platform_branch == NULL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        capture_last_error();
        return 0;
    }
    if (family_nt)
        close_fax_server();
    delete_autostart_value();
    // A printer, driver or print processor that stays ends the removal here.
    removed = delete_product_printers(&bitmap_driver_found) && delete_product_drivers() &&
              delete_print_processor();
    if (removed)
        removed = remove_entry_and_files(family_nt, bitmap_driver_found);
    if (family_nt) {
        DWORD removal_error = last_error;
        // The user may retry the start; a spooler left stopped fails the
        // removal too. When that was the only failure, the user has been
        // asked about it, and the step asks nothing more; otherwise its
        // question is about the first failure.
        if (!restart_spooler(action == ACTION_INSTALL ? TITLE_INSTALL : TITLE_REMOVE, &answer)) {
            if (removed)
                take_answer_for_step(answer);
            else
                last_error = removal_error;
            removed = 0;
        }
    }
    return removed;
}

static void load_installed_catalog(void)
{
    char directory[WORKER_BUFFER_SIZE];
    char catalog_path[WORKER_BUFFER_SIZE];

    if (GetSystemDirectoryA(directory, sizeof directory) == 0)
        directory[0] = '\0';
    format_text(catalog_path, sizeof catalog_path, "%s\\%s", directory, SETTINGS_COPY_FILE);
    // Missing when nothing was installed: every text then shows its key.
    load_message_file(catalog_path);
}

void removal_worker(void *)
{
    int success = 1;
    StepOutcome outcome;

    load_installed_catalog();
    outcome = run_step(KEY_SETUP_INIT, setup_init, KEY_SETUP_CANT_INIT, TITLE_REMOVE);
    if (step_failed(outcome))
        success = 0;
    if (outcome != STEP_ABORTED) {
        outcome = run_step(KEY_SETUP_REMOVE_OLD, remove_old_installation, KEY_SETUP_CANT_REMOVE_OLD,
                           TITLE_REMOVE);
        if (step_failed(outcome))
            success = 0;
    }
    compose_result_text(TITLE_REMOVE, success);
    show_status(message_text);
    end_progress(success);
}
