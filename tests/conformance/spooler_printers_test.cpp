// Printers as the setup adds, adjusts and removes them: the checks of
// AddPrinterA, the buffer rule of GetPrinterA, SetPrinterA taking the
// record back, a printer that does not exist, and a driver that stays in
// use until its printer is gone.
#include "tests/conformance/arrange.h"

using conformance::add_test_driver;
using conformance::add_test_printer;
using conformance::any_port;
using conformance::default_print_processor;
using conformance::own_environment;
using conformance::remove_test_driver;
using conformance::remove_test_printer;
using conformance::TEST_DRIVER;
using conformance::TEST_PRINTER;

namespace
{

// The printer's level-2 record into buffer; false when refused.
bool printer_record(HANDLE printer, BYTE *buffer, DWORD size)
{
    DWORD needed = 0;
    return GetPrinterA(printer, 2, buffer, size, &needed) != FALSE;
}

bool printer_listed(const char *name)
{
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    if (needed == 0)
        return false;
    BYTE *buffer = (BYTE *)malloc(needed);
    bool found = false;
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, needed, &needed, &count)) {
        const PRINTER_INFO_2A *printers = (const PRINTER_INFO_2A *)buffer;
        for (DWORD i = 0; i < count; i++)
            found = found || lstrcmpiA(printers[i].pPrinterName, name) == 0;
    }
    free(buffer);
    return found;
}

// The test driver and a printer on it, as most tests here begin: the
// printer's handle, NULL when a step was refused (and checked as such).
HANDLE add_printer_on_test_driver()
{
    CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
    HANDLE printer =
        add_test_printer(TEST_PRINTER, any_port(), TEST_DRIVER, default_print_processor());
    CHECK(printer != NULL);
    return printer;
}

void remove_printer_and_test_driver()
{
    remove_test_printer(TEST_PRINTER);
    remove_test_driver(TEST_DRIVER);
}

} // namespace

CONFORMANCE_TEST(spooler_printers, APrinterOnAnUnknownDriverIsRefused)
{
    POISON();
    CHECK(add_test_printer(TEST_PRINTER, any_port(), "Conformance Nothing",
                           default_print_processor()) == NULL);
    KNOWN_WINE_DIFFERENCE("AddPrinterA refuses an unknown driver with ERROR_INVALID_PARAMETER",
                          GetLastError() == ERROR_UNKNOWN_PRINTER_DRIVER);
    CHECK(!printer_listed(TEST_PRINTER));
}

CONFORMANCE_TEST(spooler_printers, APrinterOnAnUnknownPortIsRefused)
{
    CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
    POISON();
    HANDLE printer =
        add_test_printer(TEST_PRINTER, "CFNOPORT:", TEST_DRIVER, default_print_processor());
    KNOWN_WINE_DIFFERENCE("AddPrinterA takes a port the spooler does not list",
                          printer == NULL && GetLastError() == ERROR_UNKNOWN_PORT);
    if (printer != NULL)
        ClosePrinter(printer);
    remove_printer_and_test_driver();
}

CONFORMANCE_TEST(spooler_printers, APrinterWithAnUnknownPrintProcessorIsRefused)
{
    CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
    POISON();
    HANDLE printer = add_test_printer(TEST_PRINTER, any_port(), TEST_DRIVER, "Conformance Nothing");
    KNOWN_WINE_DIFFERENCE("AddPrinterA takes a print processor the spooler does not know",
                          printer == NULL && GetLastError() == ERROR_UNKNOWN_PRINTPROCESSOR);
    if (printer != NULL)
        ClosePrinter(printer);
    remove_printer_and_test_driver();
}

CONFORMANCE_TEST(spooler_printers, APrinterNameIsTakenOnce)
{
    CHECK(add_test_driver(TEST_DRIVER, NULL, NULL));
    POISON();
    HANDLE printer =
        add_test_printer(TEST_PRINTER, any_port(), TEST_DRIVER, default_print_processor());
    CHECK(printer != NULL);
    CHECK(printer_listed(TEST_PRINTER));
    POISON();
    HANDLE again =
        add_test_printer(TEST_PRINTER, any_port(), TEST_DRIVER, default_print_processor());
    KNOWN_WINE_DIFFERENCE("AddPrinterA adds a printer of a name that is taken",
                          again == NULL && GetLastError() == ERROR_PRINTER_ALREADY_EXISTS);
    if (again != NULL)
        ClosePrinter(again);
    if (printer != NULL)
        CHECK(ClosePrinter(printer));
    remove_printer_and_test_driver();
}

CONFORMANCE_TEST(spooler_printers, APrinterThatDoesNotExistCannotBeOpened)
{
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    POISON();
    CHECK(!OpenPrinterA((LPSTR) "Conformance Nothing", &printer, &defaults));
    CHECK_ERROR(ERROR_INVALID_PRINTER_NAME);
}

CONFORMANCE_TEST(spooler_printers, GetPrinterReportsTheSizeItNeedsAndThenTheRecord)
{
    HANDLE printer = add_printer_on_test_driver();
    if (printer != NULL) {
        DWORD needed = 0;
        POISON();
        CHECK(!GetPrinterA(printer, 2, NULL, 0, &needed));
        CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
        CHECK(needed > sizeof(PRINTER_INFO_2A));
        BYTE *record = (BYTE *)malloc(needed);
        DWORD short_needed = 0;
        POISON();
        CHECK(!GetPrinterA(printer, 2, record, needed - 1, &short_needed));
        CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
        CHECK_EQ(short_needed, needed);
        POISON();
        CHECK(GetPrinterA(printer, 2, record, needed, &short_needed));
        const PRINTER_INFO_2A *info = (const PRINTER_INFO_2A *)record;
        CHECK_STR(info->pPrinterName, TEST_PRINTER);
        CHECK_STR(info->pPortName, any_port());
        CHECK_STR(info->pDriverName, TEST_DRIVER);
        CHECK(lstrcmpiA(info->pPrintProcessor, default_print_processor()) == 0);
        CHECK_STR(info->pDatatype, "RAW");
        free(record);
        ClosePrinter(printer);
    }
    remove_printer_and_test_driver();
}

CONFORMANCE_TEST(spooler_printers, SetPrinterTakesTheAdjustedRecordBack)
{
    HANDLE printer = add_printer_on_test_driver();
    if (printer != NULL) {
        BYTE record[4096];
        CHECK(printer_record(printer, record, sizeof record));
        PRINTER_INFO_2A *info = (PRINTER_INFO_2A *)record;
        info->Attributes |= PRINTER_ATTRIBUTE_QUEUED;
        POISON();
        CHECK(SetPrinterA(printer, 2, record, 0));
        BYTE again[4096];
        CHECK(printer_record(printer, again, sizeof again));
        CHECK_EQ(((PRINTER_INFO_2A *)again)->Attributes & PRINTER_ATTRIBUTE_QUEUED,
                 PRINTER_ATTRIBUTE_QUEUED);
        ClosePrinter(printer);
    }
    remove_printer_and_test_driver();
}

CONFORMANCE_TEST(spooler_printers, ADriverStaysInUseUntilItsPrinterIsGone)
{
    HANDLE printer = add_printer_on_test_driver();
    if (printer != NULL)
        ClosePrinter(printer);
    POISON();
    BOOL deleted = DeletePrinterDriverA(NULL, own_environment(), (LPSTR)TEST_DRIVER);
    KNOWN_WINE_DIFFERENCE("DeletePrinterDriverA deletes a driver that a printer uses",
                          !deleted && GetLastError() == ERROR_PRINTER_DRIVER_IN_USE);

    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    POISON();
    CHECK(OpenPrinterA((LPSTR)TEST_PRINTER, &printer, &defaults));
    CHECK(DeletePrinter(printer));
    CHECK(ClosePrinter(printer));
    CHECK(!printer_listed(TEST_PRINTER));
    if (!deleted) {
        POISON();
        CHECK(DeletePrinterDriverA(NULL, own_environment(), (LPSTR)TEST_DRIVER));
    }
    remove_test_driver(TEST_DRIVER);
}

CONFORMANCE_TEST(spooler_printers, AClosedPrinterHandleIsInvalid)
{
    HANDLE printer = add_printer_on_test_driver();
    if (printer != NULL) {
        CHECK(ClosePrinter(printer));
        DWORD needed = 0;
        POISON();
        CHECK(!GetPrinterA(printer, 2, NULL, 0, &needed));
        CHECK_ERROR(ERROR_INVALID_HANDLE);
        POISON();
        CHECK(!ClosePrinter(printer));
        CHECK_ERROR(ERROR_INVALID_HANDLE);
    }
    remove_printer_and_test_driver();
}

CONFORMANCE_TEST(spooler_printers, TheListOfPrintersFollowsTheSizeProtocol)
{
    HANDLE printer = add_printer_on_test_driver();
    if (printer != NULL)
        ClosePrinter(printer);
    DWORD needed = 0;
    DWORD count = 0xdeadbeef;
    POISON();
    CHECK(!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count));
    CHECK_ERROR(ERROR_INSUFFICIENT_BUFFER);
    CHECK_EQ(count, 0);
    CHECK(needed > sizeof(PRINTER_INFO_2A));
    BYTE *buffer = (BYTE *)malloc(needed);
    POISON();
    CHECK(EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, needed, &needed, &count));
    CHECK_EQ(count, 1);
    CHECK_STR(((const PRINTER_INFO_2A *)buffer)->pPrinterName, TEST_PRINTER);
    free(buffer);
    remove_printer_and_test_driver();
}
