/* installed_machine.h: a Windows 95/98 machine with Orvane Type2 fully installed, as its setup
 * leaves it, and the product's own removal command in place; the whole removal run as Windows
 * starts it; and the state of the machine (every file and folder on C:, the registry, the
 * spooler, the Program Manager's groups) taken before and after, to compare.
 *
 * The installation: the product INI file; the driver's files, the setup library and the
 * virtual device hvq.386 (with its shared count) in C:\WINDOWS\SYSTEM; the uninstaller in a
 * folder with a long name; the install folder C:\Program Files\Orvane Type2 holding the print
 * manager; system.ini with the device lines among other lines and sections; win.ini whose
 * load line starts the print manager among other programs; a wininit.ini with entries of an
 * earlier setup; the driver's registry key with subkeys; an idle and a busy printer of the
 * driver and a printer of another driver; the product's Program Manager group. */
#ifndef TESTS_INSTALLED_MACHINE_H
#define TESTS_INSTALLED_MACHINE_H

#include "machine_state.h"
#include "uninstaller_machine.h"

#include "messages.h"

#include <stdio.h>

#include <string>
#include <vector>

/* ---- The installation ------------------------------------------------------------ */

/* What differs from one installed machine to another. */
struct installation {
    DWORD device_count;       /* shared count of hvq.386 before the removal */
    bool child_lowers_count;  /* the product's removal command lowers that count itself */
    bool child_removes_files; /* ... deletes the print manager and the readme */
    bool child_completes;     /* ... removes InstallPath (else the removal must stop) */
    bool sibling_printer;     /* a printer of the sibling driver "Orvane Type1" is installed */
    bool group_has_items;     /* the product's group still holds its items */
    int restart_answer;       /* the answer to the restart question */
};

/* The machine most installations look like: the device used by the product alone, a removal
 * command that deletes the product's files and settings, an empty group. */
const installation TYPICAL_INSTALLATION = {1, false, true, true, false, false, IDNO};

const char INSTALLED_UNINSTALLER[] = "C:\\WINDOWS\\OrvaneUninstaller\\kmw48rmv.exe";
const char REMOVAL_COMMAND[] = "C:\\WINDOWS\\UNINST.EXE -r \"Orvane Type2\"";
const char INSTALL_FOLDER[] = "C:\\Program Files\\Orvane Type2";
const char PRINT_MANAGER[] = "C:\\Program Files\\Orvane Type2\\KMW48PM.EXE";
const char README[] = "C:\\Program Files\\Orvane Type2\\Readme.txt";
const char SYSTEM_INI[] = "C:\\WINDOWS\\SYSTEM.INI";
const char SYSTEM_INI_BACKUP[] = "C:\\WINDOWS\\SYSTEM.KMW";
const char WIN_INI[] = "C:\\WINDOWS\\WIN.INI";
const char WININIT_INI[] = "C:\\WINDOWS\\WININIT.INI";
const char DEVICE[] = "C:\\WINDOWS\\SYSTEM\\hvq.386";
const char SHARED_DLLS[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char DRIVERS_KEY[] =
    "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers";
const char DRIVER_KEY[] =
    "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers\\Orvane Type2";
const char PRODUCT_GROUP[] = "Orvane Type2";

/* The driver's files, in the order of their deletion entries; the last is the setup library. */
const char *const PRODUCT_SYSTEM_FILES[] = {"KMW48.DRV",   "KMW48R.DLL",  "KMW48EX.DLL",
                                            "KMW48DO.HLP", "KMW48DR.HLP", "KMW48I2.DLL"};

const char INSTALLED_PRODUCT_INI[] = "[General]\r\n"
                                     "ExecuteFile=C:\\PROGRA~1\\ORVANE~1\\KMW48PM.EXE\r\n"
                                     "InstallPath=C:\\Program Files\\Orvane Type2\r\n"
                                     "FolderName=Orvane Type2\r\n"
                                     "\r\n"
                                     "[Fax]\r\n"
                                     "Port=LPT1:\r\n";
/* The product INI file once the removal command has removed InstallPath. */
const char REMOVED_PRODUCT_INI[] = "[General]\r\n"
                                   "ExecuteFile=C:\\PROGRA~1\\ORVANE~1\\KMW48PM.EXE\r\n"
                                   "FolderName=Orvane Type2\r\n"
                                   "\r\n"
                                   "[Fax]\r\n"
                                   "Port=LPT1:\r\n";

const char INSTALLED_SYSTEM_INI[] = "[boot]\r\n"
                                    "shell=Explorer.exe\r\n"
                                    "device=hvq.386\r\n"
                                    "\r\n"
                                    "[386Enh]\r\n"
                                    "device=*vpicd\r\n"
                                    "device=hvq.386\r\n"
                                    "device=*vkd\r\n"
                                    "DEVICE=HVQN.386\r\n"
                                    "device = hvq.386\r\n"
                                    "device=hvq.386 ; Orvane fax\r\n"
                                    "keyboard=*vkd\r\n"
                                    "\r\n"
                                    "[drivers]\r\n"
                                    "device=hvqn.386\r\n"
                                    "wave=mmsound.drv\r\n";
/* Without the device lines of hvq.386 and hvqn.386 in [386Enh]. */
const char CLEANED_SYSTEM_INI[] = "[boot]\r\n"
                                  "shell=Explorer.exe\r\n"
                                  "device=hvq.386\r\n"
                                  "\r\n"
                                  "[386Enh]\r\n"
                                  "device=*vpicd\r\n"
                                  "device=*vkd\r\n"
                                  "device = hvq.386\r\n"
                                  "keyboard=*vkd\r\n"
                                  "\r\n"
                                  "[drivers]\r\n"
                                  "device=hvqn.386\r\n"
                                  "wave=mmsound.drv\r\n";

inline std::string win_ini_with_load(const std::string &load) {
    return "[windows]\r\n"
           "load=" +
           load +
           "\r\n"
           "run=\r\n"
           "NullPort=None\r\n"
           "\r\n"
           "[Desktop]\r\n"
           "Wallpaper=(None)\r\n";
}
const std::string INSTALLED_LOAD =
    "c:\\tools\\clock.exe C:\\PROGRA~1\\ORVANE~1\\KMW48PM.EXE c:\\windows\\notify.exe";
/* The print manager taken out, the rest upper-cased; the blanks around it stay. */
const std::string REMOVED_LOAD = "C:\\TOOLS\\CLOCK.EXE  C:\\WINDOWS\\NOTIFY.EXE";

const char INSTALLED_WININIT[] =
    "[Rename]\r\n"
    "NUL=C:\\WINDOWS\\TEMP\\~GLH0001.TMP\r\n"
    "C:\\WINDOWS\\SYSTEM\\OLE32.DLL=C:\\WINDOWS\\SYSTEM\\OLE32.NEW\r\n";
/* The deletion entries, in their order, with short paths. */
inline std::vector<std::string> deletion_entries(bool with_setup_library) {
    std::vector<std::string> entries = {"NUL=C:\\WINDOWS\\ORVANE~1\\KMW48RMV.EXE\r\n",
                                        "NUL=C:\\WINDOWS\\KMW48.INI\r\n"};
    for (const char *name : PRODUCT_SYSTEM_FILES)
        entries.push_back(std::string("NUL=C:\\WINDOWS\\SYSTEM\\") + name + "\r\n");
    if (!with_setup_library)
        entries.pop_back();
    return entries;
}
/* wininit.ini with `entries` right after its header. */
inline std::string wininit_with(const std::vector<std::string> &entries) {
    std::string text = "[Rename]\r\n";
    for (const std::string &e : entries)
        text += e;
    return text + "NUL=C:\\WINDOWS\\TEMP\\~GLH0001.TMP\r\n"
                  "C:\\WINDOWS\\SYSTEM\\OLE32.DLL=C:\\WINDOWS\\SYSTEM\\OLE32.NEW\r\n";
}

const std::vector<winsim_progman_item> PRODUCT_GROUP_ITEMS = {
    {"Orvane Type2 Print Manager", "C:\\PROGRA~1\\ORVANE~1\\KMW48PM.EXE"},
    {"Read Me", "C:\\WINDOWS\\NOTEPAD.EXE C:\\PROGRA~1\\ORVANE~1\\Readme.txt"}};

inline void set_shared_count(DWORD n) {
    winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, n);
}

/* The product's own removal command, as the product ships it: it removes the product's
 * settings (the completion key), and as the installation says its files and its use of the
 * device.  It works through the platform like any program. */
inline winsim_program removal_command(const installation &setup) {
    return [setup](const std::string &) -> DWORD {
        if (setup.child_removes_files) {
            DeleteFileA(PRINT_MANAGER);
            DeleteFileA(README);
        }
        if (setup.child_lowers_count) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS, 0, KEY_ALL_ACCESS, &key) ==
                ERROR_SUCCESS) {
                DWORD lowered = setup.device_count - 1;
                RegSetValueExA(key, DEVICE, 0, REG_DWORD, (const BYTE *)&lowered, sizeof lowered);
                RegCloseKey(key);
            }
        }
        if (setup.child_completes)
            WritePrivateProfileStringA("General", "InstallPath", nullptr, "KMW48.INI");
        return 0;
    };
}

/* Sets up the machine (on a machine just reset). */
inline void install_product(const installation &setup) {
    winsim_write_file(PRODUCT_INI, INSTALLED_PRODUCT_INI);
    for (const char *name : PRODUCT_SYSTEM_FILES)
        winsim_write_file(std::string("C:\\WINDOWS\\SYSTEM\\") + name, std::string("MZ ") + name);
    winsim_write_file(DEVICE, "MZ hvq.386 virtual device");
    winsim_write_file("C:\\WINDOWS\\SYSTEM\\hvqn.386", "MZ hvqn.386 virtual device");
    winsim_write_file("C:\\WINDOWS\\SYSTEM\\MSVCRT.DLL", "MZ C runtime");
    winsim_write_file(INSTALLED_UNINSTALLER, "MZ uninstaller");
    winsim_write_file(PRINT_MANAGER, "MZ print manager");
    winsim_write_file(README, "Orvane Type2 print manager\r\n");
    winsim_write_file(SYSTEM_INI, INSTALLED_SYSTEM_INI);
    winsim_write_file(WIN_INI, win_ini_with_load(INSTALLED_LOAD));
    winsim_write_file(WININIT_INI, INSTALLED_WININIT);
    winsim_write_file("C:\\WINDOWS\\NOTEPAD.EXE", "MZ notepad");
    winsim_write_file("C:\\AUTOEXEC.BAT", "@ECHO OFF\r\n");

    set_shared_count(setup.device_count);
    winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS, "C:\\WINDOWS\\SYSTEM\\MSVCRT.DLL", 4);
    const std::string driver_key = DRIVER_KEY;
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, driver_key, "Driver", "KMW48.DRV");
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, driver_key, "Help File", "KMW48DR.HLP");
    winsim_reg_set_dword(HKEY_LOCAL_MACHINE, driver_key, "Version", 0x400);
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, driver_key + "\\Files", "1", "KMW48R.DLL");
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, driver_key + "\\Files\\Help", "1", "KMW48DO.HLP");
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(DRIVERS_KEY) + "\\HP LaserJet 4L",
                          "Driver", "HPPCL5MS.DRV");
    winsim_reg_set_string(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", "(None)");

    winsim_add_printer("Orvane Fax", "LPT1:", "Orvane Type2", 0);
    winsim_add_printer("Orvane Fax (Office)", "LPT2:", "Orvane Type2", 3);
    winsim_add_printer("Laser", "LPT3:", "HP LaserJet 4L", 0);
    if (setup.sibling_printer)
        winsim_add_printer("Old Fax", "LPT1:", "Orvane Type1", 0);

    winsim_progman_start();
    winsim_progman_add_group("Accessories", {{"Notepad", "NOTEPAD.EXE"}});
    winsim_progman_add_group(PRODUCT_GROUP, setup.group_has_items
                                                ? PRODUCT_GROUP_ITEMS
                                                : std::vector<winsim_progman_item>());

    winsim_install_program(CHILD_PATH, removal_command(setup));
}

/* Runs the uninstaller as Windows starts it, with the product's removal command as its
 * argument, and returns its exit code. */
inline int run_installed_uninstaller() {
    HINSTANCE instance =
        winsim_start_program(INSTALLED_UNINSTALLER, kmw48rmv_strings,
                             std::string(INSTALLED_UNINSTALLER) + " " + REMOVAL_COMMAND);
    char empty[] = "";
    return WinMain(instance, nullptr, empty, 1);
}

/* Registry lines under a key (the key's own line included). */
inline bool registry_line_under(const std::string &line, const std::string &key_path) {
    for (const char *kind : {"key ", "value "}) {
        std::string head = kind + key_path;
        if (line.compare(0, head.size(), head) == 0 &&
            (line.size() == head.size() || line[head.size()] == '\\' || line[head.size()] == ' '))
            return true;
    }
    return false;
}

/* The registry line of the shared count as winsim_registry() lists it. */
inline std::string shared_count_line(DWORD n) {
    char hex[16];
    snprintf(hex, sizeof hex, " %02X %02X %02X %02X", n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF,
             n >> 24);
    return std::string("value HKEY_LOCAL_MACHINE\\") + SHARED_DLLS + " [" + DEVICE +
           "] type 4 =" + hex;
}

/* The temporary files ("uns????.TMP") in the Windows directory, and the uninstaller's own
 * folder for its temporary files. */
inline std::vector<std::string> rewrite_temporary_files() {
    std::vector<std::string> found;
    for (const std::string &name : winsim_list_dir("C:\\WINDOWS"))
        if ((name.size() == 11 && upper_ascii(name.substr(0, 3)) == "UNS" &&
             upper_ascii(name.substr(7)) == ".TMP") ||
            upper_ascii(name) == "KMW48RMV.TMP")
            found.push_back(name);
    return found;
}

#endif
