#!/usr/bin/env bash
# One-line changes to the product, each breaking a rule a user or a machine
# notices; every one must make a host test fail. Each is applied to a clean
# tree, built and tested, then taken back with git checkout. The programs
# other than the fault sweep and the odd inputs run; with SWEEP=1 a change
# they miss meets those two as well (some minutes each).
# Usage: [SWEEP=1] scripts/mutants.sh [pattern]   (only the lines matching it)
set -uo pipefail
cd "$(dirname "$0")/.."
only=${1:-}
log=build/mutants.log
mkdir -p build && : >"$log"

# file @@ sed expression @@ what breaks
mutants=$(cat <<'LIST'
app/setup_state.h @@ s/"LUMETRA MAPI connector")/"LUMETRA MAPI Connector")/ @@ start value of the display name
app/setup_state.h @@ s/VALUE(int, processor_installed, 0)/VALUE(int, processor_installed, 1)/ @@ start value of the processor flag
app/entry_point.cpp @@ s/procedure, 0) > 0;/procedure, 0) != 0;/ @@ a dialog that could not be shown counts as done
app/entry_point.cpp @@ s/return status != ERROR_FILE_NOT_FOUND;/return 0;/ @@ uninstaller deletes itself while the entry names it
app/entry_point.cpp @@ s/SetupPromptReboot(NULL, NULL, FALSE)/SetupPromptReboot(NULL, NULL, TRUE)/ @@ restart offer only scans
ui/dialog_procs.cpp @@ s/message == WM_COMMAND \&\& LOWORD(wparam) == IDOK)/message == WM_COMMAND \&\& LOWORD(wparam) != 0)/ @@ result dialog ends on Esc and Close
ui/dialog_procs.cpp @@ s/action = processor_installed ? ACTION_REMOVE : ACTION_NONE;/action = ACTION_REMOVE;/ @@ removal chosen with nothing installed
ui/dialog_procs.cpp @@ s/LOWORD(wparam) == IDOK ? 1 : 0/1/ @@ Cancel of the language dialog goes on
ui/error_boxes.cpp @@ s/"Error %lu"/"Error %lx"/ @@ fallback text of an unknown code
ui/status_line.cpp @@ s/lookup_text(key, key)/key/ @@ status line shows keys, not texts
catalog/text_format.cpp @@ s/argument_used = 1;/argument_used = 0;/ @@ second %s of a catalog text filled
catalog/language_file.cpp @@ s/store_byte(reader, '\\t');/store_byte(reader, ' ');/ @@ tab escape
catalog/language_file.cpp @@ s/line\[pos\] == ';'/line[pos] == '#'/ @@ comment character
catalog/language_file.cpp @@ s/strcpy(node->entry->value, entry->value);/;/ @@ a repeated key keeps its first value
catalog/language_file.cpp @@ s/entries == CATALOG_ENTRY_LIMIT/entries > CATALOG_ENTRY_LIMIT/ @@ entry limit off by one
catalog/message_keys.h @@ s/"InstallClientFirst", MESSAGE_WITHOUT_ARGUMENT/"InstallClientFirst", MESSAGE_AS_IS/ @@ rule of a key's placeholders
system/spooler_service.cpp @@ s/while (QueryServiceStatus(service, \&status) \&\&/while (!QueryServiceStatus(service, \&status) ||/ @@ a failed status query keeps the poll going
system/spooler_service.cpp @@ s/if (GetLastError() != ERROR_MORE_DATA)/if (0)/ @@ any enumeration error taken for more data
system/spooler_service.cpp @@ s/others = start_recorded(manager, \&node->next);/others = 1;/ @@ only the last recorded dependent is started
system/files.cpp @@ s/"Copy %s ..."/"Copy %s..."/ @@ copy status text
system/files.cpp @@ s/destination_path, FALSE)/destination_path, TRUE)/ @@ copy refuses an existing file
system/spooler_directories.cpp @@ s/DIRECTORY_SPOOLER_STARTS = 3/DIRECTORY_SPOOLER_STARTS = 2/ @@ spooler starts for the print-processor directory
system/environment.cpp @@ s/dwMajorVersion >= 5/dwMajorVersion > 5/ @@ Windows 2000 test
system/spooler_objects.cpp @@ /OpenPrinterA/{n;s/return 1;/return 0;/} @@ a printer that cannot be opened stops the removal
system/spooler_objects.cpp @@ s/answer == IDIGNORE ? DRIVER_EX_NOT_CALLED : 0/answer == IDABORT ? DRIVER_EX_NOT_CALLED : 0/ @@ Abort and Ignore of the library box swapped
setup/inf_install.cpp @@ s/SP_COPY_FORCE_IN_USE | SP_COPY_FORCE_NEWER/SP_COPY_FORCE_IN_USE/ @@ copy flags
setup/inf_install.cpp @@ s/INSTALL_EVERYTHING = 0x7FF/INSTALL_EVERYTHING = 0x1FF/ @@ install flags
setup/inf_install.cpp @@ s/SetupInitDefaultQueueCallback(progress_dialog)/SetupInitDefaultQueueCallback(NULL)/ @@ owner of the copy prompts
setup/inf_install.cpp @@ s/TEMP_DELETE_ATTEMPTS = 5/TEMP_DELETE_ATTEMPTS = 3/ @@ temporary INF delete attempts
setup/inf_install.cpp @@ s/"INS", 0/"INF", 0/ @@ prefix of the temporary INF
setup/platform_branch.cpp @@ s/"ravelo.drv", NULL, "ravelo.DRV/"ravelo.drv", "", "ravelo.DRV/ @@ 95 family help file empty instead of null
setup/driver_registration.cpp @@ /printer = add_printer(TELEX_DRIVER_NAME/,/return 0;/s/return 0;/return 1;/ @@ failed telex printer passes the step
setup/driver_registration.cpp @@ s/is_windows_95_family() \&\& processor_installed/is_windows_95_family()/ @@ 95 family tolerates any processor failure
setup/platform_branch.cpp @@ 0,/{2, "rasdd.dll"/s//{3, "rasdd.dll"/ @@ NT 4 fax driver version
setup/scan.cpp @@ /PRINTER_DRIVER_DIRECTORY/,/return 1;/s/return 1;/;/ @@ scan goes on without the driver directory
setup/scan.cpp @@ s/if (!scan_print_processors(report))/if (!scan_print_processors(report) \&\& 0)/ @@ scan goes on after a failed processor list
setup/scan.cpp @@ s/"not supported!"/"not supported"/ @@ unsupported NT report
setup/install_files.cpp @@ s/PORT_POLL_INTERVAL_MS = 250/PORT_POLL_INTERVAL_MS = 500/ @@ port poll interval
setup/install_files.cpp @@ s/show_status(KEY_REGISTER2)/show_status(KEY_REGISTER1)/ @@ status key
setup/install_files.cpp @@ s/if (!nul_port_present)/if (1)/ @@ port added when present
setup/removal.cpp @@ s/show_status(KEY_CLOSING_PRINT_SERVER)/show_status(KEY_SETUP_REMOVE_OLD)/ @@ closing status key
setup/removal.cpp @@ s/"DeletePrintProcessor() %s failed.\\r\\n"/"DeletePrintProcessor() %s failed."/ @@ processor failure line
setup/removal.cpp @@ s/DPD_DELETE_UNUSED_FILES/DPD_DELETE_ALL_FILES/ @@ driver delete flags
setup/removal.cpp @@ s/action == ACTION_INSTALL ? TITLE_INSTALL : TITLE_REMOVE/TITLE_REMOVE/ @@ restart box title in an installation
setup/removal.cpp @@ /delete_product_printers(int/,/for (DWORD/s/i < count \&\& result;/i < count;/ @@ printers deleted past a failure
setup/steps.cpp @@ s/family_95 ? KEY_SETUP_OK_95 : KEY_SETUP_OK/family_95 ? KEY_SETUP_OK : KEY_SETUP_OK_95/ @@ result key by family
setup/steps.cpp @@ /ask_on_error(KEY_SETUP_CANT_START_SPOOLER, install);/{n;n;s/return 0;/return 1;/} @@ unanswered restart counts as done
setup/install_worker.cpp @@ s/if (spooler_stopped)/if (0)/ @@ spooler left stopped after an abort
setup/distribution_files.h @@ s/5, "W2K"/5, "W2k"/ @@ platform tag
app/setup_state.h @@ s/VALUE(const char \*, language_code, "ger")/VALUE(const char *, language_code, "eng")/ @@ start language code
app/setup_state.h @@ s/VALUE(DWORD, scan_port_index, 0)/VALUE(DWORD, scan_port_index, 1)/ @@ start value of the port index
app/entry_point.cpp @@ s/del \\"%s/erase \\"%s/ @@ self-deletion command
app/entry_point.cpp @@ s/DELETE_PAUSES\[\] = {2, 30}/DELETE_PAUSES[] = {1, 1}/ @@ self-deletion tries again without a pause
ui/error_boxes.cpp @@ s/MB_ICONERROR/MB_ICONWARNING/ @@ icon of the error box
ui/window_title.cpp @@ s/" Version 3.0"/" Version 3.1"/ @@ window title version
catalog/string_table.cpp @@ s/return \*x < \*y ? -1 : 1;/return *x < *y ? 1 : -1;/ @@ order of the string table
system/spooler_service.cpp @@ s/"kxprnwnd_%s"/"kxprnwnd%s"/ @@ print window class
system/spooler_service.cpp @@ s/SendMessageA(window, WM_CLOSE/PostMessageA(window, WM_CLOSE/ @@ print window closed without waiting
system/files.cpp @@ s/out = fopen(destination_path, "w");/out = fopen(destination_path, "a");/ @@ settings copy appended to an old one
setup/driver_registration.cpp @@ s/"Ravelo Merge Driver"/"Ravelo Merge Printer"/ @@ merge printer name
setup/install_files.cpp @@ s/FAX_SERVER_CREATION_FLAGS = 0x04000020/FAX_SERVER_CREATION_FLAGS = 0x00000020/ @@ fax server creation flags
setup/install_files.cpp @@ s/(DWORD)strlen(text) + 1/(DWORD)strlen(text)/ @@ registry text size without NUL
setup/removal.cpp @@ s/"ravtlx95"/"ravtlx96"/ @@ bitmap package file
setup/platform_branch.cpp @@ s/^    1,$/    0,/ @@ Windows 2000 drivers deleted without their files
setup/platform_branch.cpp @@ 0,/PRINTER_ATTRIBUTE_DEFAULT,/s//PRINTER_ATTRIBUTE_DIRECT,/ @@ 95 family printer attributes
setup/platform_branch.cpp @@ s/{IN_DRIVER_DIR, "ravtlx.dll"}/{IN_SYSTEM_DIR, "ravtlx.dll"}/ @@ NT 4 telex driver file looked for in the system folder
setup/platform_branch.cpp @@ s/"\$Windows 95\$"/"$Windows NT$"/ @@ signature of the 95 family INF
setup/distribution_files.h @@ s/FILE(LANGUAGE, "rasddui.hlp")/FILE(PLATFORM, "rasddui.hlp")/ @@ NT 4 help file taken from the platform folder
LIST
)

quick_programs="setup_tests system_tests scenario_tests catalog_tests language_file_tests checker_tests winsim_tests"
build() { cmake --build --preset host -j2 ${1:+--target $1} >/dev/null 2>&1; }
quick() { ctest --preset host -j2 -LE 'wine|setup_exe' -E 'FaultSweep|OddInputs' --stop-on-failure >/dev/null 2>&1; }
sweep() { build && ctest --preset host -j2 -LE 'wine|setup_exe' -R 'FaultSweep|OddInputs' >/dev/null 2>&1; }

caught=0 survived=0
while IFS= read -r line; do
    [ -n "$only" ] && [[ "$line" != *"$only"* ]] && continue
    file=$(echo "${line%% @@ *}" | xargs)
    rest=${line#* @@ }
    expr=${rest%% @@ *}
    what=${rest#* @@ }
    sed -i -e "$expr" "$file"
    if git diff --quiet -- "$file"; then
        verdict="NOT-APPLIED"
    elif ! build "$quick_programs"; then
        verdict="NO-BUILD"
    elif ! quick || { [ "${SWEEP:-0}" = 1 ] && ! sweep; }; then
        verdict="caught"; caught=$((caught + 1))
    else
        verdict="SURVIVED"; survived=$((survived + 1))
    fi
    git checkout -q -- "$file"
    printf '%-9s %-30s %s\n' "$verdict" "$file" "$what" | tee -a "$log"
done <<<"$mutants"
build
echo "caught $caught, survived $survived" | tee -a "$log"
