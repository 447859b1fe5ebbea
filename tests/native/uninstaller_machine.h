/* uninstaller_machine.h: a machine with the product installed, and the uninstaller run as
 * Windows would start it. */
#ifndef TESTS_UNINSTALLER_MACHINE_H
#define TESTS_UNINSTALLER_MACHINE_H

#include "machine.h"

#include <string>

extern const winsim_string_row kmw48rmv_strings[];
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

/* Row `id` of the uninstaller's string table in the ANSI code page. */
inline std::string uninstaller_text(unsigned id) {
    const char *utf8 = winsim_string_utf8(kmw48rmv_strings, id);
    return utf8 ? winsim_ansi(utf8) : std::string();
}

const char UNINSTALLER_PATH[] = "C:\\WINDOWS\\kmw48rmv.exe";
const char CHILD_PATH[] = "C:\\WINDOWS\\UNINST.EXE";
const char PRODUCT_INI[] = "C:\\WINDOWS\\KMW48.INI";
const char SETUP_LIBRARY[] = "C:\\WINDOWS\\SYSTEM\\KMW48I2.DLL";

const char PRODUCT_INI_TEXT[] = "[General]\r\n"
                                "ExecuteFile=C:\\Orvane\\KMW48PM.EXE\r\n"
                                "InstallPath=C:\\Orvane\r\n"
                                "FolderName=Orvane Type2\r\n";

/* Runs the uninstaller with the command line "C:\WINDOWS\kmw48rmv.exe <child>" (or the
 * whole `command_line` given) and returns its exit code. */
inline int run_uninstaller_line(const std::string &command_line) {
    HINSTANCE instance = winsim_start_program(UNINSTALLER_PATH, kmw48rmv_strings, command_line);
    char empty[] = "";
    return WinMain(instance, nullptr, empty, 1);
}

/* Removes the completion key, as the product's own removal command does. */
inline DWORD remove_install_path_key(const std::string &) {
    WritePrivateProfileStringA("General", "InstallPath", nullptr, "KMW48.INI");
    return 0;
}

/* ASCII upper-casing, for comparing texts that the removal upper-cases in place. */
inline std::string upper_ascii(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return s;
}

inline void install_child(winsim_program run = remove_install_path_key) {
    winsim_install_program(CHILD_PATH, run);
}

#endif
