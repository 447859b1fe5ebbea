/* The removal steps as the whole uninstaller runs them: printers, driver and key, the
 * deletion list, the shared device count with its before/after rule, and the setup library
 * kept whole when another product's printer still uses it. */
#include "step_machine.h"

namespace {

const char DRIVER_KEY[] =
    "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers\\Orvane Type2";
const char SHARED_DLLS[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char DEVICE[] = "C:\\WINDOWS\\SYSTEM\\hvq.386";
const char SYSTEM_INI[] = "C:\\WINDOWS\\SYSTEM.INI";
const char BACKUP[] = "C:\\WINDOWS\\SYSTEM.KMW";
const char WININIT[] = "C:\\WINDOWS\\WININIT.INI";

const char SYSTEM_INI_TEXT[] = "[boot]\r\nshell=Explorer.exe\r\n"
                               "[386Enh]\r\ndevice=hvq.386\r\ndevice=hvqn.386\r\nkeyboard=*vkd\r\n";
const char SYSTEM_INI_CLEANED[] = "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\nkeyboard=*vkd\r\n";

const char *const SYSTEM_FILES[] = {"KMW48.DRV",   "KMW48R.DLL",  "KMW48EX.DLL",
                                    "KMW48DO.HLP", "KMW48DR.HLP", "KMW48I2.DLL"};

const std::string ENTRIES_WITHOUT_LIBRARY = "NUL=C:\\WINDOWS\\KMW48RMV.EXE\r\n"
                                            "NUL=C:\\WINDOWS\\KMW48.INI\r\n"
                                            "NUL=C:\\WINDOWS\\SYSTEM\\KMW48.DRV\r\n"
                                            "NUL=C:\\WINDOWS\\SYSTEM\\KMW48R.DLL\r\n"
                                            "NUL=C:\\WINDOWS\\SYSTEM\\KMW48EX.DLL\r\n"
                                            "NUL=C:\\WINDOWS\\SYSTEM\\KMW48DO.HLP\r\n"
                                            "NUL=C:\\WINDOWS\\SYSTEM\\KMW48DR.HLP\r\n";
const std::string ALL_ENTRIES =
    ENTRIES_WITHOUT_LIBRARY + "NUL=C:\\WINDOWS\\SYSTEM\\KMW48I2.DLL\r\n";

const std::string child_line = std::string(UNINSTALLER_PATH) + " " + CHILD_PATH;

class RemovalSteps : public Machine {
  protected:
    /* A machine with the product installed: its INI file (which the child command leaves in
     * place, having removed only InstallPath), its files, printers, driver key and device. */
    void install(winsim_program child = remove_install_path_key) {
        winsim_write_file(PRODUCT_INI, PRODUCT_INI_TEXT);
        winsim_write_file("C:\\WINDOWS\\WIN.INI", "[windows]\r\nload=\r\n");
        for (const char *name : SYSTEM_FILES)
            winsim_write_file(std::string("C:\\WINDOWS\\SYSTEM\\") + name, "MZ");
        winsim_write_file(DEVICE, "MZ device");
        winsim_write_file(SYSTEM_INI, SYSTEM_INI_TEXT);
        winsim_write_file(WININIT, "[rename]\r\nNUL=C:\\WINDOWS\\OLD.TMP\r\n");
        winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(DRIVER_KEY) + "\\Files", "1",
                              "KMW48.DRV");
        winsim_add_printer("Fax", "LPT1:", "Orvane Type2");
        winsim_add_printer("Laser", "LPT2:", "Generic / Text Only");
        install_child(child);
    }
    static void set_count(DWORD n) {
        winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, n);
    }
    static int run() {
        winsim_script_boxes({IDYES, IDNO});
        return run_uninstaller_line(child_line);
    }
};

TEST_F(RemovalSteps, EveryStepOnAnInstalledMachine) {
    install();
    set_count(1);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(winsim_printers(), (std::vector<std::string>{"Laser"}));
    EXPECT_EQ(winsim_printer_drivers(), (std::vector<std::string>{"Generic / Text Only"}));
    EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, DRIVER_KEY));
    EXPECT_EQ(winsim_file(WININIT), "[rename]\r\n" + ALL_ENTRIES + "NUL=C:\\WINDOWS\\OLD.TMP\r\n");
    EXPECT_FALSE(winsim_reg_get(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, nullptr, nullptr));
    EXPECT_FALSE(winsim_file_exists(DEVICE));
    EXPECT_EQ(winsim_file(SYSTEM_INI), SYSTEM_INI_CLEANED);
    EXPECT_EQ(winsim_file(BACKUP), SYSTEM_INI_TEXT);
    EXPECT_FALSE(winsim_file_exists(SETUP_LIBRARY));
    for (int i = 0; i < 5; i++)
        EXPECT_TRUE(winsim_file_exists(std::string("C:\\WINDOWS\\SYSTEM\\") + SYSTEM_FILES[i]))
            << SYSTEM_FILES[i] << " waits for the next start";
    EXPECT_TRUE(temporary_files().empty());
    EXPECT_EQ(winsim_open_handles(), 0);
    EXPECT_EQ(winsim_global_blocks_in_use(), 0);
}

/* A printer of a sibling driver: the setup library is neither scheduled nor deleted now. */
TEST_F(RemovalSteps, SiblingPrinterKeepsTheSetupLibraryWhole) {
    for (const char *sibling : {"Orvane", "Orvane Type1"}) {
        install();
        winsim_add_printer("Old fax", "LPT3:", sibling, 2);
        EXPECT_EQ(run(), 0) << sibling;
        EXPECT_TRUE(winsim_file_exists(SETUP_LIBRARY)) << sibling;
        EXPECT_EQ(winsim_file(WININIT),
                  "[rename]\r\n" + ENTRIES_WITHOUT_LIBRARY + "NUL=C:\\WINDOWS\\OLD.TMP\r\n")
            << sibling;
        EXPECT_EQ(winsim_printers(), (std::vector<std::string>{"Laser", "Old fax"})) << sibling;
        next_row(sibling);
    }
}

/* The count is lowered only when the child left it as it was and it is not 0. */
TEST_F(RemovalSteps, DeviceCountBeforeAndAfter) {
    struct {
        const char *what;
        bool before_stored;
        DWORD before;
        int child_sets; /* -1: leaves the count, -2: deletes its value, else sets it */
        bool after_stored;
        DWORD after;
        bool device_removed;
    } rows[] = {
        {"1 and 1: lowered to 0, the device goes", true, 1, -1, false, 0, true},
        {"5 and 5: lowered to 4", true, 5, -1, true, 4, false},
        {"0 and 0: nothing", true, 0, -1, true, 0, false},
        {"no count at all: nothing is created", false, 0, -1, false, 0, false},
        {"3, the child lowered it to 2: stays", true, 3, 2, true, 2, false},
        {"1, the child deleted it: nothing", true, 1, -2, false, 0, false},
        {"0, the child set 1: stays", true, 0, 1, true, 1, false},
    };
    for (const auto &r : rows) {
        int child_sets = r.child_sets;
        install([child_sets](const std::string &line) {
            if (child_sets >= 0)
                set_count((DWORD)child_sets);
            if (child_sets == -2) {
                HKEY key;
                RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS, 0, KEY_ALL_ACCESS, &key);
                RegDeleteValueA(key, DEVICE);
                RegCloseKey(key);
            }
            return remove_install_path_key(line);
        });
        winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS, "C:\\WINDOWS\\SYSTEM\\X.DLL", 1);
        if (r.before_stored)
            set_count(r.before);
        EXPECT_EQ(run(), 0) << r.what;
        DWORD type = 0;
        std::string data;
        bool stored = winsim_reg_get(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, &type, &data);
        EXPECT_EQ(stored, r.after_stored) << r.what;
        if (stored) {
            EXPECT_EQ(type, (DWORD)REG_DWORD) << r.what;
            EXPECT_EQ(data, std::string((const char *)&r.after, 4)) << r.what;
        }
        EXPECT_EQ(winsim_file_exists(DEVICE), !r.device_removed) << r.what;
        EXPECT_EQ(winsim_file(SYSTEM_INI), r.device_removed ? SYSTEM_INI_CLEANED : SYSTEM_INI_TEXT)
            << r.what;
        EXPECT_EQ(winsim_file_exists(BACKUP), r.device_removed) << r.what;
        next_row(r.what);
    }
}

/* On a platform whose RegDeleteKeyA refuses keys with subkeys the driver key still goes. */
TEST_F(RemovalSteps, DriverKeyGoesWhereKeysWithSubkeysAreRefused) {
    install();
    winsim_reg_delete_key_nt(true);
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, DRIVER_KEY));
    EXPECT_TRUE(winsim_reg_key_exists(
        HKEY_LOCAL_MACHINE,
        "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers"));
}

} // namespace
