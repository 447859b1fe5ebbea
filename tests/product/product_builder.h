/* product_builder.h: machines of the stand-in with the Orvane Type2 product installed, built
 * from the product's one description (installed_product.json, as installed_product.h), for
 * the native tests and the fuzz targets.
 *
 * install_product(variant) installs all of it: the product's files, its INI file, system.ini
 * with the device lines, win.ini with the print manager in its load line, a wininit.ini of an
 * earlier setup, the device's shared count, the driver's registry key, the printers, the
 * Program Manager's groups, and the product's own removal command.  A test says only how its
 * machine differs, through the fields of the variant, e.g.
 *     install_product({.device_count = 3, .sibling_printer = true});
 * The parts (install_product_files, install_boot_files, ...) serve the tests of single steps.
 * The machine's Windows directory is C:\WINDOWS, its system directory C:\WINDOWS\SYSTEM. */
#ifndef TESTS_PRODUCT_BUILDER_H
#define TESTS_PRODUCT_BUILDER_H

#include "installed_product.h"
#include "winsim.h"

#include <string.h>

#include <string>
#include <vector>

namespace product {

const char WINDIR[] = "C:\\WINDOWS";
const char SYSDIR[] = "C:\\WINDOWS\\SYSTEM";

inline std::string replace_all(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

/* The install folder's short path, as the machine named it when the product was installed. */
inline std::string &install_short() {
    static std::string path;
    return path;
}

/* A text of the description for this machine: its templates filled in. */
inline std::string text(const std::string &description_text) {
    std::string out = replace_all(description_text, "{load}", LOAD);
    if (out.find("{install_short}") != std::string::npos && install_short().empty())
        install_short() = winsim_short_path(INSTALL_FOLDER);
    out = replace_all(out, "{windir}", WINDIR);
    out = replace_all(out, "{sysdir}", SYSDIR);
    out = replace_all(out, "{install_short}", install_short());
    return replace_all(out, "{folder_name}", FOLDER_NAME);
}

inline std::string system_file(const char *name) {
    return std::string(SYSDIR) + "\\" + name;
}

inline std::string install_folder_file(const char *name) {
    return std::string(INSTALL_FOLDER) + "\\" + name;
}

/* ---- Rules the tests read, each stated once (installed_product.json says them in words) ---- */

/* ASCII upper-casing, other bytes as they are: as the system upper-cases names. */
inline std::string upper_ascii(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return s;
}

/* `text` begins with `prefix`, ignoring the letter case of ASCII letters only. */
inline bool begins_ignoring_case(const std::string &text, const std::string &prefix) {
    return upper_ascii(text.substr(0, prefix.size())) == upper_ascii(prefix);
}

/* The clean-up of system.ini: in a section whose header line begins with DEVICE_SECTION,
 * every line that begins with one of DEVICE_LINES, in any letter case, goes. */
inline std::string without_device_lines(const std::string &text) {
    std::string out;
    bool in_section = false;
    for (size_t start = 0, end; start < text.size(); start = end) {
        end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line[0] == '[')
            in_section = line.compare(0, strlen(DEVICE_SECTION), DEVICE_SECTION) == 0;
        bool device = false;
        for (const char *begin : DEVICE_LINES)
            device = device || begins_ignoring_case(line, begin);
        if (!in_section || !device)
            out += line;
    }
    return out;
}

const std::string WORK_FOLDER = std::string(WINDIR) + "\\" + WORK_FOLDER_NAME;

/* What a rewrite uses for a while in the Windows directory: a file named as TEMPORARY_FILES
 * ("?" any one character, any letter case), or the work folder. */
inline bool is_temporary(const std::string &name, bool folder) {
    const std::string pattern = upper_ascii(folder ? WORK_FOLDER_NAME : TEMPORARY_FILES);
    const std::string upper = upper_ascii(name);
    for (size_t i = 0; i < upper.size() && upper.size() == pattern.size(); i++)
        if (pattern[i] != '?' && pattern[i] != upper[i])
            return false;
    return upper.size() == pattern.size();
}

/* What the rewrites left in the Windows directory (is_temporary), the work
 * folder with whatever it holds. */
inline std::vector<std::string> temporary_files() {
    std::vector<std::string> found, in_folder;
    for (const std::string &name : winsim_list_dir(WINDIR)) {
        const std::string path = std::string(WINDIR) + "\\" + name;
        bool folder = winsim_dir_exists(path);
        if (!is_temporary(name, folder))
            continue;
        (folder ? in_folder : found).push_back(name + (folder ? "\\" : ""));
        for (const std::string &inside :
             folder ? winsim_list_dir(path) : std::vector<std::string>())
            in_folder.push_back(name + "\\" + inside);
    }
    found.insert(found.end(), in_folder.begin(), in_folder.end());
    return found;
}

/* system.ini as installed, or as the removal leaves it. */
inline std::string system_ini_text(bool cleaned = false) {
    std::string out;
    for (const text_pair &line : SYSTEM_INI)
        out += std::string(line.first) + "\r\n";
    return cleaned ? without_device_lines(out) : out;
}

/* win.ini with this load line. */
inline std::string win_ini_text(const std::string &load) {
    return replace_all(text(WIN_INI_TEXT), text(LOAD), load);
}

/* The deletion entries, in their order, by short path: the uninstaller, the INI file, the
 * product's files in the system directory (the setup library among them only when its
 * deletion is due). */
inline std::vector<std::string> deletion_entries(bool with_setup_library = true) {
    std::string uninstaller = text(UNINSTALLER);
    size_t slash = uninstaller.rfind('\\');
    std::vector<std::string> entries = {"NUL=" + winsim_short_path(uninstaller.substr(0, slash)) +
                                            "\\" + upper_ascii(uninstaller.substr(slash + 1)) +
                                            "\r\n",
                                        "NUL=" + upper_ascii(text(PRODUCT_INI)) + "\r\n"};
    for (const char *name : SYSTEM_FILES)
        if (with_setup_library || system_file(name) != text(SETUP_LIBRARY))
            entries.push_back("NUL=" + system_file(name) + "\r\n");
    return entries;
}

/* wininit.ini once the deletion list is written: `entries` right after the header of the
 * earlier setup's, or, where there was none, in one made with the header (followed by what
 * the removal command scheduled itself, the profile cache written last). */
inline std::string wininit_with(const std::vector<std::string> &entries, const variant &v = {}) {
    std::string earlier = v.wininit ? text(WININIT_TEXT) : std::string("[rename]\r\n");
    if (!v.wininit && v.removal_schedules)
        earlier += std::string("NUL=") + v.removal_schedules + "\r\n";
    size_t header_end = earlier.find('\n') + 1;
    std::string out = earlier.substr(0, header_end);
    for (const std::string &e : entries)
        out += e;
    return out + earlier.substr(header_end);
}

inline void set_device_count(unsigned long n) {
    winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, text(DEVICE), n);
}

/* ---- The parts ---- */

/* The product's files: the install folder with the print manager, the INI file, the driver's
 * files and the setup library, the devices; and other programs' files. */
inline void install_product_files() {
    for (const text_pair &file : INSTALL_FOLDER_FILES)
        winsim_write_file(install_folder_file(file.first), file.second);
    install_short() = winsim_short_path(INSTALL_FOLDER);
    winsim_write_file(text(PRODUCT_INI), text(PRODUCT_INI_TEXT));
    for (const char *name : SYSTEM_FILES)
        winsim_write_file(system_file(name), std::string("MZ ") + name);
    winsim_write_file(text(DEVICE), "MZ hvq.386 virtual device");
    winsim_write_file(text(OTHER_DEVICE), "MZ hvqn.386 virtual device");
    for (const text_pair &file : OTHER_FILES)
        winsim_write_file(text(file.first), file.second);
}

/* system.ini with the device lines, win.ini starting the print manager, and (when the variant
 * says so) an earlier setup's wininit.ini. */
inline void install_boot_files(const variant &v = {}) {
    winsim_write_file(std::string(WINDIR) + "\\SYSTEM.INI", system_ini_text());
    winsim_write_file(std::string(WINDIR) + "\\WIN.INI", text(WIN_INI_TEXT));
    if (v.wininit)
        winsim_write_file(std::string(WINDIR) + "\\WININIT.INI", text(WININIT_TEXT));
}

/* The shared counts, the driver's key with its subkeys, and other programs' keys. */
inline void install_registry(const variant &v = {}) {
    if (v.device_counted)
        set_device_count(v.device_count);
    winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, text(OTHER_SHARED_COUNT.file),
                         OTHER_SHARED_COUNT.count);
    for (const registry_value &value : DRIVER_KEY_VALUES) {
        std::string key = std::string(DRIVER_KEY) + (value.subkey[0] ? "\\" : "") + value.subkey;
        if (value.text)
            winsim_reg_set_string(HKEY_LOCAL_MACHINE, key, value.name, value.text);
        else
            winsim_reg_set_dword(HKEY_LOCAL_MACHINE, key, value.name, value.dword);
    }
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, OTHER_DRIVER_KEY.key, OTHER_DRIVER_KEY.name,
                          OTHER_DRIVER_KEY.value);
    for (const registry_entry &entry : OTHER_REGISTRY)
        winsim_reg_set_string(std::string(entry.root) == "HKCU" ? HKEY_CURRENT_USER
                                                                : HKEY_LOCAL_MACHINE,
                              entry.key, entry.name, entry.value);
}

inline void add_printer(const printer_info &p) {
    winsim_add_printer(p.name, p.port, p.driver, p.jobs);
}

inline void install_printers(const variant &v = {}) {
    for (const printer_info &p : PRINTERS)
        add_printer(p);
    if (v.sibling_printer)
        add_printer(SIBLING_PRINTER);
}

inline std::vector<winsim_progman_item> items_of(const text_pair *items, unsigned long count) {
    std::vector<winsim_progman_item> out;
    for (unsigned long i = 0; i < count; i++)
        out.push_back({items[i].first, text(items[i].second)});
    return out;
}

/* The Program Manager with another program's group and the product's group. */
inline void install_groups(const variant &v = {}) {
    if (!v.program_manager)
        return;
    winsim_progman_start();
    winsim_progman_add_group(OTHER_GROUP.name, items_of(OTHER_GROUP.items, OTHER_GROUP.item_count));
    winsim_progman_add_group(
        FOLDER_NAME, v.group_has_items ? items_of(PRODUCT_GROUP_ITEMS, PRODUCT_GROUP_ITEMS_COUNT)
                                       : std::vector<winsim_progman_item>());
}

/* The product's own removal command, as the product ships it: it removes the product's
 * settings (the completion key), and as the variant says its files and its use of the
 * device.  It works through the platform like any program. */
inline winsim_program removal_command(const variant &v = {}) {
    return [v](const std::string &) -> DWORD {
        if (v.removal_deletes_files)
            for (const text_pair &file : INSTALL_FOLDER_FILES)
                DeleteFileA(install_folder_file(file.first).c_str());
        if (v.removal_sets_count != -1) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, 0, KEY_ALL_ACCESS, &key) ==
                ERROR_SUCCESS) {
                DWORD count = (DWORD)v.removal_sets_count;
                std::string device = text(DEVICE);
                if (v.removal_sets_count == -2)
                    RegDeleteValueA(key, device.c_str());
                else
                    RegSetValueExA(key, device.c_str(), 0, REG_DWORD, (const BYTE *)&count,
                                   sizeof count);
                RegCloseKey(key);
            }
        }
        if (v.removal_clears_load)
            WriteProfileStringA("windows", "load", "");
        if (v.removal_completes && !v.removal_deletes_ini)
            WritePrivateProfileStringA("General", "InstallPath", nullptr, "KMW48.INI");
        if (v.removal_deletes_ini)
            DeleteFileA(text(PRODUCT_INI).c_str());
        if (v.removal_schedules)
            WritePrivateProfileStringA("rename", "NUL", v.removal_schedules, "wininit.ini");
        return 0;
    };
}

inline void install_removal_command(const variant &v = {}) {
    winsim_install_program(text(REMOVAL_COMMAND), removal_command(v));
}

/* The whole product, as its setup leaves the machine (on a machine just reset). */
inline void install_product(const variant &v = {}) {
    install_product_files();
    winsim_write_file(text(UNINSTALLER), "MZ uninstaller");
    winsim_reg_delete_key_nt(v.nt_registry);
    install_boot_files(v);
    install_registry(v);
    install_printers(v);
    install_groups(v);
    if (v.removal_command)
        install_removal_command(v);
    const std::string work = std::string(WORK_FOLDER) + "\\";
    if (v.stale_copy_aside) {
        winsim_write_file(work + "SYSTEM.INI", "[386Enh]\r\ndevice=hvq.386\r\n");
        winsim_write_file(work + "SYSTEM.INI.NEW", "[386Enh]\r\n");
    }
    if (v.users_files_in_work_folder) {
        winsim_write_file(work + "WIN.INI", "[windows]\r\nload=mine.exe\r\n");
        winsim_write_file(work + "uns0A00.TMP", "mine");
    }
    if (v.work_folder_a_file)
        winsim_write_file(WORK_FOLDER, "mine");
}

/* ---- The vendor-setup library's machine ---- */

/* The machine right after a printer of the driver was installed, before the printers are
 * added: the printer-installation host and the library, the setup program and (when
 * `recent_location`) the most recent install location naming its folder, the product INI file
 * naming the print manager, and the print manager's program when `print_manager_installed`. */
inline void install_for_library(bool print_manager_installed = false, bool recent_location = true) {
    winsim_write_file(text(LIBRARY_HOST), "MZ host");
    winsim_write_file(text(SETUP_LIBRARY), "MZ library");
    winsim_write_file(SETUP_PROGRAM, "MZ setup");
    if (recent_location)
        for (const text_pair &value : RECENT_LOCATIONS)
            winsim_reg_set_string(HKEY_CURRENT_USER, RECENT_LOCATIONS_KEY, value.first,
                                  value.second);
    if (print_manager_installed)
        for (const text_pair &file : INSTALL_FOLDER_FILES)
            winsim_write_file(install_folder_file(file.first), file.second);
    else
        winsim_make_dir(INSTALL_FOLDER);
    install_short() = winsim_short_path(INSTALL_FOLDER);
    winsim_write_file(text(PRODUCT_INI), text(PRODUCT_INI_TEXT));
}

} // namespace product

#endif
