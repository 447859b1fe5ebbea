/* spooler.cpp: the spooler: printers and printer drivers. */
#include "conformance.h"

const PRINTER_INFO_2A *find_record(const PRINTER_INFO_2A *records, DWORD count, const char *name) {
    for (DWORD i = 0; i < count; i++)
        if (records[i].pPrinterName != NULL && lstrcmpiA(records[i].pPrinterName, name) == 0)
            return &records[i];
    return NULL;
}

int inside(const char *text, const BYTE *block, DWORD size) {
    return text != NULL && (const BYTE *)text >= block && (const BYTE *)text < block + size &&
           (const BYTE *)text + strlen(text) < block + size;
}

BYTE printer_block[16384];

void check_spooler() {
    section("Spooler: EnumPrintersA(PRINTER_ENUM_LOCAL, level 2), size query then read");
    DWORD needed = 12345, count = 12345;
    SetLastError(0);
    BOOL result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    ok(result && needed == 0 && count == 0,
       "no printers: %d, needed %u, %u records; want TRUE, 0, 0 (the uninstaller examines no "
       "printer when the size is 0)",
       result, (unsigned)needed, (unsigned)count);

    static const char lpt[] = "Conform LPT", network[] = "Conform Net", busy[] = "Conform Busy";
    ok(add_printer(lpt, "LPT1:", "Orvane Type2", 0) &&
           add_printer(network, "\\\\faxserver\\fax", "Orvane Type2", 0) &&
           add_printer(busy, "LPT2:", "Orvane Type1", 1),
       "set-up: three printers, one of them with a queued job");

    SetLastError(0);
    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    DWORD error = GetLastError();
    ok(!result && error == ERROR_INSUFFICIENT_BUFFER && needed > 3 * sizeof(PRINTER_INFO_2A) &&
           needed <= sizeof printer_block && count == 0,
       "size query: %d, error %u, needed %u, %u records; want FALSE, %d, more than 3 records",
       result, (unsigned)error, (unsigned)needed, (unsigned)count, (int)ERROR_INSUFFICIENT_BUFFER);
    if (needed > sizeof printer_block)
        return;

    DWORD again = 0;
    memset(printer_block, FILL, sizeof printer_block);
    SetLastError(0);
    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed - 1, &again, &count);
    error = GetLastError();
    ok(!result && error == ERROR_INSUFFICIENT_BUFFER && again == needed &&
           untouched((const char *)printer_block, 0, (int)sizeof printer_block),
       "one byte short: %d, error %u, needed %u, the block untouched", result, (unsigned)error,
       (unsigned)again);

    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed, &again, &count);
    const PRINTER_INFO_2A *records = (const PRINTER_INFO_2A *)printer_block;
    ok(result && count == 3, "read with the size asked for: %d, %u records", result,
       (unsigned)count);
    int strings_inside = 1;
    for (DWORD i = 0; i < count; i++)
        strings_inside = strings_inside && inside(records[i].pPrinterName, printer_block, needed) &&
                         inside(records[i].pPortName, printer_block, needed) &&
                         inside(records[i].pDriverName, printer_block, needed) &&
                         (const BYTE *)records[i].pPrinterName >=
                             printer_block + count * sizeof(PRINTER_INFO_2A);
    int local = 1;
    for (DWORD i = 0; i < count; i++)
        local = local && records[i].pServerName == NULL;
    ok(strings_inside && local &&
           untouched((const char *)printer_block, (int)needed, (int)sizeof printer_block),
       "the records from the block's start, every name they point at inside the block after "
       "them, no server name (local printers), nothing written past the size asked for");

    struct {
        const char *name, *port, *driver;
        DWORD jobs;
        DWORD jobs_wine;
    } rows[] = {
        {lpt, "LPT1:", "Orvane Type2", 0, 0},
        {network, "\\\\faxserver\\fax", "Orvane Type2", 0, 0},
        {busy, "LPT2:", "Orvane Type1", 1, 0},
    };
    for (const auto &r : rows) {
        const PRINTER_INFO_2A *record = find_record(records, count, r.name);
        int found = record != NULL && strcmp(record->pPortName, r.port) == 0 &&
                    strcmp(record->pDriverName, r.driver) == 0;
        todo_wine_ok(found && record->cJobs == r.jobs, found && record->cJobs == r.jobs_wine,
                     "%s: port %s, driver %s, %u jobs; want %s, %s, %u -- a printer with queued "
                     "jobs must stay: Wine's spooler never counts jobs, so the Wine scenarios put "
                     "a spooler that reports them (spoolproxy.cpp) beside the uninstaller, and "
                     "the native suite sets the count",
                     show(r.name), record ? show(record->pPortName) : "-",
                     record ? show(record->pDriverName) : "-", record ? (unsigned)record->cJobs : 0,
                     show(r.port), show(r.driver), (unsigned)r.jobs);
    }
    end_printer_jobs();
}

void check_spooler_deletions() {
    section("Spooler: OpenPrinterA, DeletePrinter, DeletePrinterDriverA");
    HANDLE printer = NULL;
    char lpt_other_case[] = "CONFORM lpt", missing[] = "Conform Missing";
    BOOL opened = OpenPrinterA(lpt_other_case, &printer, NULL);
    BOOL deleted = opened && DeletePrinter(printer);
    BOOL closed = opened && ClosePrinter(printer);
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    int listed =
        needed <= sizeof printer_block &&
        EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed, &needed, &count) &&
        find_record((const PRINTER_INFO_2A *)printer_block, count, "Conform LPT");
    ok(opened && deleted && closed && !listed,
       "an idle printer opened by its name in other letter case (%d), deleted (%d), closed "
       "(%d): %s",
       opened, deleted, closed, listed ? "still listed" : "no longer listed");
    SetLastError(0);
    opened = OpenPrinterA(missing, &printer, NULL);
    DWORD error = GetLastError();
    ok(!opened && error == ERROR_INVALID_PRINTER_NAME,
       "OpenPrinterA of a printer that does not exist: %d, error %u; want FALSE, %d", opened,
       (unsigned)error, (int)ERROR_INVALID_PRINTER_NAME);

    ok(add_unused_driver("Conform Unused") && add_unused_driver("Conform Unused 2") &&
           add_unused_driver("Conform Unused 3"),
       "set-up: three drivers without printers");
    struct {
        const char *server, *environment, *driver;
        BOOL result;
        DWORD error;
        BOOL result_wine;
        DWORD error_wine;
        const char *need;
    } rows[] = {
        {NULL, NULL, "Conform Unused", TRUE, 0, TRUE, 0, NULL},
        {NULL, "Windows 4.0", "conform unused 2", TRUE, 0, FALSE, 0,
         "Wine files a driver added without an environment under \"Windows NT x86\": the "
         "uninstaller names none"},
        {NULL, "Windows NT x86", "Conform Unused 3", FALSE, ERROR_INVALID_ENVIRONMENT, TRUE, 0,
         "as above"},
        {NULL, NULL, "Conform Missing", FALSE, ERROR_UNKNOWN_PRINTER_DRIVER, FALSE, 0,
         "Wine sets no error: only the failure counts, the uninstaller goes on either way"},
        {NULL, NULL, "Orvane Type2", FALSE, ERROR_PRINTER_DRIVER_IN_USE, TRUE, 0,
         "a driver with a printer left must stay: the uninstaller deletes it only when no "
         "printer of it is left, so it never asks Wine for this"},
    };
    for (const auto &r : rows) {
        char environment[32], driver[64];
        if (r.environment != NULL)
            lstrcpyA(environment, r.environment);
        lstrcpyA(driver, r.driver);
        SetLastError(0);
        BOOL result = DeletePrinterDriverA(NULL, r.environment ? environment : NULL, driver);
        error = GetLastError();
        todo_wine_ok(result == r.result && (result || error == r.error),
                     result == r.result_wine && (result || error == r.error_wine),
                     "DeletePrinterDriverA(%s, %s): %d, error %u; want %d, error %u%s%s",
                     show(r.environment), show(r.driver), result, (unsigned)error, r.result,
                     (unsigned)r.error, r.need ? " -- " : "", r.need ? r.need : "");
    }
}
