// The spooler's lists, and the deletion of single printers and drivers.
#ifndef SETUP_SPOOLER_OBJECTS_H
#define SETUP_SPOOLER_OBJECTS_H

#include "system/platform.h"

enum SpoolerList {
    LIST_PRINT_PROCESSORS, // PRINTPROCESSOR_INFO_1A of an environment
    LIST_PRINTER_DRIVERS,  // DRIVER_INFO_1A of an environment
    LIST_LOCAL_PRINTERS,   // PRINTER_INFO_2A
    LIST_PORTS             // PORT_INFO_1A
};

// Enumerates the list into a buffer that fits it: the records, to be freed
// with free(), and their count. Null on failure, with the Windows error left
// as the thread's last error (nothing captured).
BYTE *enumerate_spooler_list(SpoolerList list, char *environment, DWORD *count);

// 1 when the printer was deleted or cannot be opened; 0 when the deletion
// was refused (error captured).
int delete_printer(char *printer_name);

// DeletePrinterDriverExA, looked up at run time since older spoolers lack
// it: its result. When it cannot be called the user is asked: Retry tries
// again, Ignore gives 1355, which passes the driver over, Abort or a box
// that could not be shown gives 0 (error captured).
DWORD delete_driver_ex(char *server, char *environment, char *driver, DWORD flags, DWORD version);

#endif
