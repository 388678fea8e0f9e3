#include "system/spooler_objects.h"

#include "system/environment.h"
#include "ui/user_interface.h"
#include "catalog/message_keys.h"

enum {
    FIRST_LIST_BUFFER_SIZE = 16384,
    // The list may grow between the size query and the next call.
    LIST_ATTEMPTS = 4,
    DRIVER_EX_NOT_CALLED = 1355
};

typedef BOOL(WINAPI *DeletePrinterDriverExFunction)(LPSTR, LPSTR, LPSTR, DWORD, DWORD);

static BOOL enumerate_into(SpoolerList list, char *environment, BYTE *buffer, DWORD size,
                           DWORD *needed, DWORD *count)
{
    switch (list) {
    case LIST_PRINT_PROCESSORS:
        return EnumPrintProcessorsA(NULL, environment, 1, buffer, size, needed, count);
    case LIST_PRINTER_DRIVERS:
        return EnumPrinterDriversA(NULL, environment, 1, buffer, size, needed, count);
    case LIST_LOCAL_PRINTERS:
        return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, count);
    case LIST_PORTS:
        return EnumPortsA(NULL, 1, buffer, size, needed, count);
    }
    return FALSE;
}

BYTE *enumerate_spooler_list(SpoolerList list, char *environment, DWORD *count)
{
    DWORD size = FIRST_LIST_BUFFER_SIZE;
    DWORD needed = 0;

    *count = 0;
    for (int attempt = 0; attempt < LIST_ATTEMPTS; attempt++) {
        BYTE *buffer = (BYTE *)malloc(size);
        if (buffer == NULL) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return NULL;
        }
        if (enumerate_into(list, environment, buffer, size, &needed, count))
            return buffer;
        free(buffer);
        *count = 0;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size)
            return NULL;
        size = needed;
    }
    return NULL;
}

int delete_printer(char *printer_name)
{
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    int result = 1;

    // A printer that cannot be opened counts as gone.
    if (!OpenPrinterA(printer_name, &printer, &defaults))
        return 1;
    if (!DeletePrinter(printer)) {
        capture_last_error();
        result = 0;
    }
    ClosePrinter(printer);
    return result;
}

// The library or its entry point is missing: the user is asked.
static int ask_why_not_called(HMODULE spooler)
{
    capture_last_error();
    if (spooler == NULL)
        return ask_on_error(KEY_CANT_LOAD_WINSPOOL, TITLE_REMOVE);
    return ask_on_error(KEY_GET_PROC_ADDRESS_FAILED, TITLE_REMOVE);
}

DWORD delete_driver_ex(char *server, char *environment, char *driver, DWORD flags, DWORD version)
{
    for (;;) {
        HMODULE spooler = LoadLibraryA("WINSPOOL.DRV");
        DeletePrinterDriverExFunction delete_ex = NULL;
        DWORD result;
        int answer = 0;

        // Through the generic function type, which converts to any other.
        if (spooler != NULL)
            delete_ex = (DeletePrinterDriverExFunction)(void (*)(void))GetProcAddress(
                spooler, "DeletePrinterDriverExA");
        if (delete_ex != NULL) {
            result = delete_ex(server, environment, driver, flags, version);
            // The caller reads the result, not the error; keep it for the box.
            if (!result)
                capture_last_error();
        } else {
            answer = ask_why_not_called(spooler);
            // Ignore passes the driver over. Abort keeps it and the removal
            // fails, and so does a box that could not be shown, as everywhere.
            result = answer == IDIGNORE ? DRIVER_EX_NOT_CALLED : 0;
        }
        if (spooler != NULL)
            FreeLibrary(spooler);
        if (answer != IDRETRY)
            return result;
    }
}
