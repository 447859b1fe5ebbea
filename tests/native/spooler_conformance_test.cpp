/* The stand-in's print spooler where the system relies on it: the level-2 enumeration with
 * its size query and the records' strings inside the caller's block, and the printer and
 * driver deletions as the Win32 documentation describes them. */
#include "machine.h"

#include <string.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

class SpoolerConformance : public Machine {};

TEST_F(SpoolerConformance, NoPrintersNeedNoBlock) {
    DWORD needed = 0xDEAD, returned = 0xBEEF;
    EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
}

TEST_F(SpoolerConformance, SizeQueryThenRecordsWithTheirStringsInsideTheBlock) {
    winsim_add_printer("Fax 1", "LPT1:", "Orvane Type2", 0);
    winsim_add_printer("Office", "\\\\server\\laser", "Generic / Text Only", 3);

    DWORD needed = 0, returned = 7;
    SetLastError(0);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, 0u);
    ASSERT_GT(needed, 2 * sizeof(PRINTER_INFO_2A));

    /* One byte short still fails and names the same size. */
    std::vector<BYTE> block(needed + 64, 0xCC);
    DWORD again = 0;
    EXPECT_FALSE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed - 1, &again, &returned));
    EXPECT_EQ(again, needed);

    ASSERT_TRUE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed, &again, &returned));
    ASSERT_EQ(returned, 2u);
    const PRINTER_INFO_2A *records = (const PRINTER_INFO_2A *)block.data();
    struct {
        const char *name, *port, *driver;
        DWORD jobs;
    } want[] = {{"Fax 1", "LPT1:", "Orvane Type2", 0},
                {"Office", "\\\\server\\laser", "Generic / Text Only", 3}};
    const char *first = (const char *)block.data();
    const char *end = first + needed;
    for (int i = 0; i < 2; i++) {
        const PRINTER_INFO_2A &r = records[i];
        EXPECT_STREQ(r.pPrinterName, want[i].name);
        EXPECT_STREQ(r.pPortName, want[i].port);
        EXPECT_STREQ(r.pDriverName, want[i].driver);
        EXPECT_EQ(r.cJobs, want[i].jobs);
        EXPECT_EQ(r.pServerName, nullptr) << "a local printer";
        for (const char *s : {r.pPrinterName, r.pPortName, r.pDriverName, r.pShareName,
                              r.pPrintProcessor, r.pDatatype})
            EXPECT_TRUE(s >= first + 2 * sizeof(PRINTER_INFO_2A) && s + strlen(s) < end)
                << "string outside the caller's block";
    }
    for (size_t i = needed; i < block.size(); i++)
        ASSERT_EQ(block[i], 0xCC) << "wrote past the block at " << i;
}

TEST_F(SpoolerConformance, OnlyLocalLevelTwoListsArePrinters) {
    winsim_add_printer("Fax 1", "LPT1:", "Orvane Type2");
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_LEVEL);
    EXPECT_TRUE(
        EnumPrintersA(PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, 0u);
}

TEST_F(SpoolerConformance, DriverDeletion) {
    struct {
        const char *driver;
        const char *server;
        const char *environment;
        BOOL result;
        DWORD error;
    } rows[] = {
        {"Orvane Type2", nullptr, nullptr, FALSE, ERROR_PRINTER_DRIVER_IN_USE},
        {"Unused", nullptr, nullptr, TRUE, 0},
        {"unused", nullptr, "Windows 4.0", TRUE, 0}, /* names ignore letter case */
        {"Unused", nullptr, "Windows NT x86", FALSE, ERROR_INVALID_ENVIRONMENT},
        {"Unused", "\\\\other", nullptr, FALSE, ERROR_INVALID_NAME},
        {"Missing", nullptr, nullptr, FALSE, ERROR_UNKNOWN_PRINTER_DRIVER},
    };
    for (const auto &r : rows) {
        winsim_add_printer("Fax 1", "LPT1:", "Orvane Type2");
        winsim_add_printer_driver("Unused");
        SetLastError(0);
        std::string driver = r.driver;
        std::string server = r.server ? r.server : "";
        std::string environment = r.environment ? r.environment : "";
        BOOL result = DeletePrinterDriverA(r.server ? &server[0] : nullptr,
                                           r.environment ? &environment[0] : nullptr, &driver[0]);
        EXPECT_EQ(result, r.result) << r.driver;
        if (!r.result) {
            EXPECT_EQ(GetLastError(), r.error) << r.driver;
        }
        std::vector<std::string> left = {"Orvane Type2"};
        if (!r.result)
            left.push_back("Unused");
        EXPECT_EQ(winsim_printer_drivers(), left) << r.driver;
        next_row("row");
    }
}

TEST_F(SpoolerConformance, DeletingPrintersAndTheRequestLog) {
    winsim_add_printer("Idle", "LPT1:", "Orvane Type2", 0);
    winsim_add_printer("Busy", "LPT2:", "Orvane Type2", 2);
    winsim_add_printer("Locked", "LPT3:", "Orvane Type2", 0);
    winsim_set_printer_openable("Locked", false);

    char idle[] = "IDLE", busy[] = "Busy", locked[] = "Locked", none[] = "None";
    char driver[] = "Orvane Type2";
    HANDLE h1 = nullptr, h2 = nullptr, h3 = nullptr;
    EXPECT_TRUE(OpenPrinterA(idle, &h1, nullptr));
    EXPECT_TRUE(DeletePrinter(h1));
    EXPECT_TRUE(ClosePrinter(h1));
    EXPECT_TRUE(OpenPrinterA(busy, &h2, nullptr));
    EXPECT_TRUE(DeletePrinter(h2)) << "marked for deletion";
    EXPECT_TRUE(ClosePrinter(h2));
    EXPECT_FALSE(OpenPrinterA(locked, &h3, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(OpenPrinterA(none, &h3, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
    EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, driver));

    EXPECT_EQ(winsim_printers(), (std::vector<std::string>{"Busy", "Locked"}));
    EXPECT_EQ(winsim_open_handles(), 0);

    std::vector<std::string> log;
    for (const winsim_spooler_request &r : winsim_spooler_requests())
        log.push_back(r.api + " " + r.name + (r.result ? "" : " (failed)"));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "OpenPrinterA IDLE", "DeletePrinter Idle", "ClosePrinter Idle",
                       "OpenPrinterA Busy", "DeletePrinter Busy", "ClosePrinter Busy",
                       "OpenPrinterA Locked (failed)", "OpenPrinterA None (failed)",
                       "DeletePrinterDriverA Orvane Type2 (failed)"}));

    /* The printer marked for deletion reports it. */
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> block(needed);
    ASSERT_TRUE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed, &needed, &returned));
    const PRINTER_INFO_2A *records = (const PRINTER_INFO_2A *)block.data();
    EXPECT_EQ(records[0].Status, (DWORD)PRINTER_STATUS_PENDING_DELETION);
    EXPECT_EQ(records[1].Status, 0u);
}

} // namespace
