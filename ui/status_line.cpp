#include "ui/user_interface.h"

#include "app/run_log.h"
#include "app/setup_state.h"
#include "catalog/string_table.h"
#include "resources/resource.h"

void show_status(const char *key)
{
    log_event("status %s", key);
    if (quiet_run)
        return;
    // Set from the worker thread; the dialog's own thread updates the control.
    SetDlgItemTextA(progress_dialog, IDC_STATUS_LINE, lookup_text(key, key));
}
