#include "setup/installation_check.h"

#include "app/exit_codes.h"
#include "app/run_log.h"
#include "app/setup_state.h"
#include "setup/product_names.h"
#include "system/environment.h"
#include "system/spooler_objects.h"

struct Tally {
    int present;
    int missing;
};

static const char *const PACKAGE_PROCESSORS[] = {PRINT_PROCESSOR_NAME, NULL};

static void count_piece(Tally *tally, int present, const char *kind, const char *name)
{
    if (present) {
        tally->present++;
        return;
    }
    tally->missing++;
    log_event("check: missing %s %s", kind, name);
}

// The name a record of the list goes by; a printer, as in the scan, by its
// driver's.
static const char *record_name(SpoolerList list, const BYTE *records, DWORD index)
{
    switch (list) {
    case LIST_PRINT_PROCESSORS:
        return ((const PRINTPROCESSOR_INFO_1A *)records)[index].pName;
    case LIST_PRINTER_DRIVERS:
        return ((const DRIVER_INFO_1A *)records)[index].pName;
    default:
        return ((const PRINTER_INFO_2A *)records)[index].pDriverName;
    }
}

static int list_names(SpoolerList list, const BYTE *records, DWORD count, const char *name)
{
    for (DWORD i = 0; i < count; i++) {
        const char *found = record_name(list, records, i);
        if (found != NULL && strcmp(found, name) == 0)
            return 1;
    }
    return 0;
}

// Counts each name of names as present when the spooler's list holds it.
// 0 when the list could not be read (logged).
static int check_spooler_list(SpoolerList list, char *environment, const char *const *names,
                              const char *kind, Tally *tally)
{
    DWORD count;
    BYTE *records = enumerate_spooler_list(list, environment, &count);

    if (records == NULL) {
        log_event("check: the %s list could not be read, error %lu", kind,
                  (unsigned long)GetLastError());
        return 0;
    }
    for (const char *const *name = names; *name != NULL; name++)
        count_piece(tally, list_names(list, records, count, *name), kind, *name);
    free(records);
    return 1;
}

// 1 with the key open in *key, 0 when it is not there, -1 when it could not
// be read (logged).
static int open_machine_key(const char *path, HKEY *key)
{
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key);

    if (status == ERROR_SUCCESS)
        return 1;
    if (status == ERROR_FILE_NOT_FOUND)
        return 0;
    log_event("check: the key HKLM\\%s could not be read, error %ld", path, (long)status);
    return -1;
}

static int check_uninstall_entry(Tally *tally)
{
    HKEY key;
    int found = open_machine_key(UNINSTALL_KEY, &key);

    if (found < 0)
        return 0;
    if (found)
        RegCloseKey(key);
    count_piece(tally, found, "uninstall entry", "HKLM\\" UNINSTALL_KEY);
    return 1;
}

static int check_autostart_value(Tally *tally)
{
    HKEY run;
    LONG status;
    int found = open_machine_key(RUN_KEY, &run);

    if (found < 0)
        return 0;
    if (found) {
        status = RegQueryValueExA(run, RUN_VALUE_NAME, NULL, NULL, NULL, NULL);
        RegCloseKey(run);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            log_event("check: the value %s could not be read, error %ld", RUN_VALUE_NAME,
                      (long)status);
            return 0;
        }
        found = status == ERROR_SUCCESS;
    }
    count_piece(tally, found, "autostart value", RUN_VALUE_NAME);
    return 1;
}

static int check_every_piece(Tally *tally)
{
    return check_spooler_list(LIST_PRINT_PROCESSORS, environment_name, PACKAGE_PROCESSORS,
                              "print processor", tally) &&
           check_spooler_list(LIST_PRINTER_DRIVERS, environment_name, INSTALLED_DRIVER_NAMES,
                              "printer driver", tally) &&
           check_spooler_list(LIST_LOCAL_PRINTERS, NULL, INSTALLED_DRIVER_NAMES,
                              "printer of driver", tally) &&
           check_uninstall_entry(tally) && (is_windows_95_family() || check_autostart_value(tally));
}

int check_installation(void)
{
    Tally tally = {0, 0};

    if (platform_branch == NULL || environment_name[0] == '\0') {
        log_event("check: the platform is not described, nothing to compare with");
        return EXIT_PLATFORM_UNSUPPORTED;
    }
    if (!check_every_piece(&tally))
        return EXIT_FAILED;
    log_event("check: %d of %d pieces in place", tally.present, tally.present + tally.missing);
    if (tally.missing == 0)
        return EXIT_DONE;
    return tally.present == 0 ? EXIT_NOT_INSTALLED : EXIT_PARTLY_INSTALLED;
}
