/* Printer and driver removal: which printers go and which stay with their drivers, the
 * sibling drivers' printers, and the driver's registry key on both kinds of platform. */
#include "uninstaller_machine.h"

#include "printers.h"

#include <winspool.h>

namespace {

using product::DRIVER_KEY;
const char DRIVERS_KEY[] =
    "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers";

struct printer_row {
    const char *name, *port, *driver;
    DWORD jobs;
    bool openable;
};

/* The printers left, as the spooler lists them; one that goes once its jobs end is marked. */
std::vector<std::string> printers_left() {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> block(needed + 1);
    std::vector<std::string> names;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed, &needed, &count))
        return names;
    const PRINTER_INFO_2A *records = (const PRINTER_INFO_2A *)block.data();
    for (DWORD i = 0; i < count; i++)
        names.push_back(
            std::string(records[i].pPrinterName) +
            (records[i].Status & PRINTER_STATUS_PENDING_DELETION ? " (to be deleted)" : ""));
    return names;
}

class PrinterRemoval : public RemovalStep {
  protected:
    void SetUp() override {
        RemovalStep::SetUp();
        winsim_reg_set_string(HKEY_LOCAL_MACHINE, DRIVER_KEY, "Driver", "KMW48.DRV");
        winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(DRIVERS_KEY) + "\\Orvane Type1",
                              "Driver", "KMW47.DRV");
    }
    void add(const std::vector<printer_row> &printers) {
        for (const printer_row &p : printers) {
            winsim_add_printer(p.name, p.port, p.driver, p.jobs);
            if (!p.openable)
                winsim_set_printer_openable(p.name, false);
        }
    }
    void expect_key_deleted_and_all_released() {
        EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, DRIVER_KEY));
        EXPECT_TRUE(
            winsim_reg_key_exists(HKEY_LOCAL_MACHINE, std::string(DRIVERS_KEY) + "\\Orvane Type1"))
            << "a sibling driver's key stays";
        expect_all_released();
    }
};

TEST_F(PrinterRemoval, PrintersDriverAndSiblings) {
    const std::string fax_jp = winsim_ansi("ファクス");
    struct {
        const char *what;
        std::vector<printer_row> printers;
        std::vector<std::string> drivers_installed; /* besides the printers' own */
        int result;
        std::vector<std::string> printers_left;
        std::vector<std::string> drivers_left;
    } rows[] = {
        {"no printers at all", {}, {}, 1, {}, {}},
        {"one idle printer", {{"Fax", "LPT1:", "Orvane Type2", 0, true}}, {}, 1, {}, {}},
        {"several idle printers go, another driver's printer stays",
         {{"Fax 1", "LPT1:", "Orvane Type2", 0, true},
          {"Laser", "LPT2:", "Generic / Text Only", 0, true},
          {"Fax 2", "FILE:", "orvane type2", 0, true}},
         {},
         1,
         {"Laser"},
         {"Generic / Text Only"}},
        {"the only printer has jobs: it stays, and so does the driver",
         {{"Fax", "LPT1:", "Orvane Type2", 4, true}},
         {},
         1,
         {"Fax"},
         {"Orvane Type2"}},
        {"a busy printer keeps the driver that an idle one asks to delete",
         {{"Busy", "LPT1:", "Orvane Type2", 1, true}, {"Idle", "LPT2:", "Orvane Type2", 0, true}},
         {},
         1,
         {"Busy"},
         {"Orvane Type2"}},
        {"a printer that cannot be opened stays with its driver",
         {{"Locked", "LPT1:", "Orvane Type2", 0, false}},
         {},
         1,
         {"Locked"},
         {"Orvane Type2"}},
        {"a sibling printer with jobs makes the result 0 and stays",
         {{"Old fax", "LPT1:", "Orvane", 5, true}, {"Fax", "LPT2:", "Orvane Type2", 0, true}},
         {},
         0,
         {"Old fax"},
         {"Orvane"}},
        {"an idle Type1 printer makes the result 0 and stays",
         {{"T1", "LPT1:", "ORVANE TYPE1", 0, true}},
         {},
         0,
         {"T1"},
         {"ORVANE TYPE1"}},
        {"an installed sibling driver without a printer is not noticed",
         {{"Fax", "LPT1:", "Orvane Type2", 0, true}},
         {"Orvane Type1", "Orvane"},
         1,
         {},
         {"Orvane Type1", "Orvane"}},
        {"names that only begin like the driver's are other drivers",
         {{"A", "LPT1:", "Orvane Type2 Plus", 0, true}, {"B", "LPT1:", "Orvane Type", 0, true}},
         {},
         1,
         {"A", "B"},
         {"Orvane Type2 Plus", "Orvane Type"}},
        {"a Japanese printer name",
         {{fax_jp.c_str(), "LPT1:", "Orvane Type2", 0, true}},
         {},
         1,
         {},
         {}},
    };
    for_each_row(rows, [&](const auto &r) {
        for (const std::string &d : r.drivers_installed)
            winsim_add_printer_driver(d);
        add(r.printers);
        EXPECT_EQ(remove_printers_and_driver(), r.result);
        EXPECT_EQ(printers_left(), r.printers_left);
        std::vector<std::string> drivers = winsim_printer_drivers();
        EXPECT_EQ(drivers, r.drivers_left);
        expect_key_deleted_and_all_released();
    });
}

/* When the spooler or the memory fails, no printer is examined: a printer of a sibling
 * driver may be among them, so the result keeps the setup library (0).  The driver's key is
 * deleted all the same. */
TEST_F(PrinterRemoval, SpoolerOrMemoryFailuresKeepTheSetupLibrary) {
    struct {
        const char *api;
        int nth;
    } failures[] = {
        {"EnumPrintersA", 1}, {"GlobalAlloc", 1}, {"GlobalLock", 1}, {"EnumPrintersA", 2}};
    for_each_row(failures, [&](const auto &f) {
        add({{"Old fax", "LPT1:", "Orvane", 0, true}, {"Fax", "LPT2:", "Orvane Type2", 0, true}});
        winsim_fail_call(f.api, f.nth);
        EXPECT_EQ(remove_printers_and_driver(), 0) << f.api << " " << f.nth;
        EXPECT_TRUE(winsim_spooler_requests().empty()) << f.api << " " << f.nth;
        EXPECT_EQ(winsim_printers().size(), 2u) << f.api << " " << f.nth;
        expect_key_deleted_and_all_released();
    });
    /* Without any printer the size query succeeds: nothing to examine, nothing to keep. */
    EXPECT_EQ(remove_printers_and_driver(), 1);
}

/* A sibling driver's name that cannot be loaded could not be recognised: the setup library is
 * kept; the driver's own printers still go. */
TEST_F(PrinterRemoval, SiblingNamesThatCannotBeLoadedKeepTheSetupLibrary) {
    for_each_row({2, 3},
                 [&](int nth) { /* "Orvane", "Orvane Type1" */
                                add({{"Old fax", "LPT1:", "Orvane Type1", 0, true},
                                     {"Fax", "LPT2:", "Orvane Type2", 0, true}});
                                winsim_fail_call("LoadStringA", nth);
                                EXPECT_EQ(remove_printers_and_driver(), 0) << nth;
                                EXPECT_EQ(winsim_printers(), std::vector<std::string>{"Old fax"})
                                    << nth;
                                expect_key_deleted_and_all_released();
                 });
}

/* A key name that cannot be loaded is empty, and an empty name names HKEY_LOCAL_MACHINE
 * itself: nothing of the registry may go, on either kind of platform. */
TEST_F(PrinterRemoval, DriverKeyNameThatCannotBeLoadedDeletesNoKey) {
    for_each_row({false, true}, [&](bool nt) {
        winsim_reg_set_dword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows", "v", 1);
        winsim_reg_delete_key_nt(nt);
        add({{"Fax", "LPT1:", "Orvane Type2", 0, true}});
        std::vector<std::string> registry = winsim_registry();
        winsim_fail_call("LoadStringA", 4);
        EXPECT_EQ(remove_printers_and_driver(), 1) << nt;
        EXPECT_EQ(winsim_registry(), registry) << nt;
        EXPECT_TRUE(winsim_printers().empty()) << nt;
    });
}

/* Windows 95/98 remove the key with its subkeys in one call. */
TEST_F(PrinterRemoval, DriverKeyWithSubkeysGoesOnWindows95) {
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(DRIVER_KEY) + "\\Files\\More", "a", "b");
    remove_printers_and_driver();
    expect_key_deleted_and_all_released();
}

/* Where RegDeleteKeyA refuses a key with subkeys (Windows NT, Wine), the subtree is deleted
 * level by level, down to 16 levels below the driver key. */
TEST_F(PrinterRemoval, DriverKeySubtreeOnAPlatformThatRefusesKeysWithSubkeys) {
    struct {
        const char *what;
        std::vector<std::string> subkeys; /* below the driver key */
        bool deleted;
    } rows[] = {
        {"values only", {}, true},
        {"subkeys side by side and nested",
         {"Version-0", "Version-0\\Files", "Version-0\\Files\\Help", "Dependent", "Zz"},
         true},
        {"16 levels below", {"1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12\\13\\14\\15\\16"}, true},
        {"17 levels below: too deep, the key stays whole",
         {"1\\2\\3\\4\\5\\6\\7\\8\\9\\10\\11\\12\\13\\14\\15\\16\\17"},
         false},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_reg_delete_key_nt(true);
        for (const std::string &sub : r.subkeys)
            winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(DRIVER_KEY) + "\\" + sub, "v",
                                  sub);
        remove_printers_and_driver();
        EXPECT_EQ(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, DRIVER_KEY), !r.deleted);
        for (const std::string &sub : r.subkeys)
            EXPECT_EQ(
                winsim_reg_key_exists(HKEY_LOCAL_MACHINE, std::string(DRIVER_KEY) + "\\" + sub),
                !r.deleted)
                << r.what << ": " << sub;
        EXPECT_TRUE(
            winsim_reg_key_exists(HKEY_LOCAL_MACHINE, std::string(DRIVERS_KEY) + "\\Orvane Type1"));
    });
}

TEST_F(PrinterRemoval, MissingDriverKeyIsNoObstacle) {
    winsim_reset();
    start_uninstaller(product::text(product::UNINSTALLER));
    winsim_reg_delete_key_nt(true);
    winsim_add_printer("Fax", "LPT1:", "Orvane Type2");
    EXPECT_EQ(remove_printers_and_driver(), 1);
    EXPECT_TRUE(winsim_printers().empty());
}

} // namespace
