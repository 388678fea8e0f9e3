#include "setup/steps.h"

#include "app/setup_state.h"
#include "catalog/text_format.h"
#include "setup/product_names.h"
#include "system/environment.h"
#include "system/spooler_objects.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    // The 95 family's spooler lists a new port after a while; it is given
    // this long, looked at this often.
    PORT_WAIT_LIMIT_MS = 10000,
    PORT_POLL_INTERVAL_MS = 250,
    FAX_SERVER_PATH_SIZE = 1024,
    // CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS
    FAX_SERVER_CREATION_FLAGS = 0x04000020
};

static int port_listed_at_index(void)
{
    DWORD count;
    PORT_INFO_1A *ports = (PORT_INFO_1A *)enumerate_spooler_list(LIST_PORTS, NULL, &count);
    int listed;

    if (ports == NULL)
        return -1;
    // The new port is expected just behind the ports the scan saw.
    listed = count > scan_port_index && strcmp(ports[scan_port_index].pName, NUL_PORT_NAME) == 0;
    free(ports);
    return listed;
}

static void wait_for_port(void)
{
    int error_shown = 0;

    show_status(KEY_WAITING_FOR_PORT);
    for (DWORD waited = 0; waited <= PORT_WAIT_LIMIT_MS; waited += PORT_POLL_INTERVAL_MS) {
        int listed = port_listed_at_index();
        if (listed == 1) {
            show_status(KEY_PORT_INSTALLED);
            return;
        }
        // One box for a spooler that cannot list its ports, not one a poll.
        if (listed < 0 && !error_shown) {
            show_system_error(GetLastError());
            error_shown = 1;
        }
        Sleep(PORT_POLL_INTERVAL_MS);
    }
    // Without it the printers are refused later, and say so there.
}

static void add_nul_port(void)
{
    show_status(KEY_INSTALLING_PORT);
    if (!WriteProfileStringA("ports", NUL_PORT_NAME, ""))
        show_system_error(GetLastError());
    if (is_windows_95_family())
        wait_for_port();
}

// A registry status made the thread's last error and captured.
static int registry_failure(LONG status)
{
    SetLastError((DWORD)status);
    capture_last_error();
    return 0;
}

static LONG set_text_value(HKEY key, const char *name, const char *text)
{
    // The size counts the terminating NUL.
    return RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1);
}

static int write_uninstall_entry(void)
{
    char command[FAX_SERVER_PATH_SIZE];
    HKEY key;
    LONG status;

    show_status(KEY_REGISTER);
    status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                             KEY_WRITE, NULL, &key, NULL);
    if (status != ERROR_SUCCESS)
        return registry_failure(status);
    show_status(KEY_REGISTER1);
    status = set_text_value(key, "DisplayName", product_display_name);
    if (status == ERROR_SUCCESS) {
        show_status(KEY_REGISTER2);
        format_text(command, sizeof command, "%s\\%s", system_dir, UNINSTALLER_FILE);
        status = set_text_value(key, "UninstallString", command);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return registry_failure(status);
    return 1;
}

// The autostart value names the bare file: the system directory is searched.
static void write_autostart_value(void)
{
    HKEY run;

    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, RUN_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, &run, NULL) != ERROR_SUCCESS)
        return;
    set_text_value(run, RUN_VALUE_NAME, FAX_SERVER_FILE);
    RegCloseKey(run);
}

static void start_fax_server(void)
{
    char path[FAX_SERVER_PATH_SIZE];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;

    format_text(path, sizeof path, "%s\\%s", system_dir, FAX_SERVER_FILE);
    show_status(KEY_START_PRINTER);
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(path, NULL, NULL, NULL, FALSE, FAX_SERVER_CREATION_FLAGS, NULL, NULL,
                        &startup, &process)) {
        show_system_error(GetLastError());
        return;
    }
    // Nothing waits for the server.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

int install_files_step(void)
{
    if (!nul_port_present)
        add_nul_port();
    if (!install_inf() || !copy_uninstaller() || !write_uninstall_entry())
        return 0;
    if (is_windows_95_family())
        return 1;
    write_autostart_value();
    start_fax_server();
    return 1;
}
