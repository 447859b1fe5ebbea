/* launcher.cpp: starts the print manager's setup program.  It first tries the location from
 * which the user most recently installed software (the shell's InstallLocationsMRU list);
 * when the program is not there it lets the user browse until a file whose path contains
 * PMSETUP is chosen or the user gives up.  The program is started and left running. */
#include <windows.h>
#include <commdlg.h>
#include <string.h>

#include "launcher.h"
#include "printer_check.h"

enum {
    RECENT_LIST_CAPACITY = 256,
    INSTALL_LOCATION_CAPACITY = MAX_PATH,
    FULL_PATH_CAPACITY = MAX_PATH,
    SHORT_PATH_CAPACITY = MAX_PATH,
    /* The command line is the short path alone, so it holds any short path. */
    COMMAND_CAPACITY = SHORT_PATH_CAPACITY,
    OPEN_DIALOG_SIZE = 76, /* the Windows 95 OPENFILENAMEA */
    STARTUP_INFO_SIZE = 68 /* STARTUPINFOA */
};

static const char recent_locations_key[] = "InstallLocationsMRU";
static const char recent_list_value[] = "MRUList";
static const char setup_filter[] = "*.exe\0"; /* one text, then the closing empty text */
static const char setup_dialog_title[] = "PMSETUP.EXE";
static const char setup_default_extension[] = "EXE";
static const char setup_marker[] = "PMSETUP";
static const char cancelled_text[] = "Setup process cancelled. \nYou may install the print "
                                     "manager by running \nPMSETUP.EXE from the installation "
                                     "disk.";
static const char cancelled_caption[] = "Setup";

static char recent_list[RECENT_LIST_CAPACITY];
static char install_location[INSTALL_LOCATION_CAPACITY];
static char full_path[FULL_PATH_CAPACITY];
static char short_path[SHORT_PATH_CAPACITY];
char chosen_file[CHOSEN_FILE_CAPACITY];
static char command[COMMAND_CAPACITY];

/* Reads the most recent install location: the value named by the first letter of MRUList,
 * or the key's default value when the list is empty or missing.  A read that fails leaves
 * the location empty. */
static void read_recent_location() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, recent_locations_key, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;
    DWORD size = RECENT_LIST_CAPACITY;
    if (RegQueryValueExA(key, recent_list_value, NULL, NULL, (LPBYTE)recent_list, &size) !=
        ERROR_SUCCESS)
        recent_list[0] = '\0';
    else if (size < RECENT_LIST_CAPACITY)
        recent_list[size] = '\0'; /* a value stored without its zero */
    /* Only the first letter names the most recent location; that letter may be a
     * double-byte character. */
    recent_list[IsDBCSLeadByte((BYTE)recent_list[0]) && recent_list[1] != '\0' ? 2 : 1] = '\0';
    size = INSTALL_LOCATION_CAPACITY;
    /* A value stored without its zero ends with its data, not with what an earlier call left
     * in the buffer. */
    if (RegQueryValueExA(key, recent_list, NULL, NULL, (LPBYTE)install_location, &size) !=
        ERROR_SUCCESS)
        install_location[0] = '\0';
    else if (size < INSTALL_LOCATION_CAPACITY)
        install_location[size] = '\0';
    RegCloseKey(key);
}

/* Appends the setup file name to the install location, with no separator.  Returns 0, and
 * leaves the location alone, when the joined path would not fit a path buffer (or the value
 * read was not even terminated within it), or when there is no file name to append (its
 * string could not be loaded): the location alone names a folder, not the setup program. */
static int append_setup_file_name() {
    if (setup_file_name[0] == '\0')
        return 0;
    const char *end = (const char *)memchr(install_location, '\0', INSTALL_LOCATION_CAPACITY);
    if (end == NULL)
        return 0;
    size_t length = (size_t)(end - install_location);
    if (length + (size_t)lstrlenA(setup_file_name) >= INSTALL_LOCATION_CAPACITY)
        return 0;
    lstrcatA(install_location, setup_file_name);
    return 1;
}

/* Short (8.3) form of `path`, made a full path first, into the short-path buffer; the buffer
 * is left empty when the file does not exist.  The process start looks for a name without a
 * folder in the host program's own folder before the current directory: only a full path
 * starts the file that was found here. */
static int find_short_path(LPCSTR path) {
    DWORD length = GetFullPathNameA(path, FULL_PATH_CAPACITY, full_path, NULL);
    if (length == 0 || length >= FULL_PATH_CAPACITY) {
        short_path[0] = '\0';
        return 0;
    }
    length = GetShortPathNameA(full_path, short_path, SHORT_PATH_CAPACITY);
    if (length == 0 || length >= SHORT_PATH_CAPACITY) {
        short_path[0] = '\0';
        return 0;
    }
    return 1;
}

/* Shows the open-file dialog until a file whose path contains PMSETUP is chosen.  Returns 1
 * with the chosen file in its buffer, or 0 when the user gave up (after telling how to
 * install the print manager later). */
static int browse_for_setup(HWND owner) {
    for (;;) {
        OPENFILENAMEA dialog;
        memset(&dialog, 0, sizeof dialog);
        dialog.lStructSize = OPEN_DIALOG_SIZE;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = setup_filter;
        dialog.lpstrFile = chosen_file;
        dialog.nMaxFile = CHOSEN_FILE_CAPACITY;
        dialog.lpstrTitle = setup_dialog_title;
        dialog.Flags = OFN_HIDEREADONLY;
        dialog.lpstrDefExt = setup_default_extension;
        if (!GetOpenFileNameA(&dialog)) {
            MessageBoxA(owner, cancelled_text, cancelled_caption, MB_OK);
            return 0;
        }
        CharUpperBuffA(chosen_file, CHOSEN_FILE_CAPACITY);
        if (strstr(chosen_file, setup_marker) != NULL)
            return 1;
    }
}

int launch_setup(HWND owner) {
    recent_list[0] = '\0';
    install_location[0] = '\0';
    short_path[0] = '\0';
    read_recent_location();
    /* With no recent location the candidate is the bare file name, looked up in the current
     * directory (which the printer check may have moved to the print manager's folder). */
    if (!append_setup_file_name() || !find_short_path(install_location)) {
        if (!browse_for_setup(owner))
            return 0;
        /* A typed name of a missing file has no short path: the start below then fails. */
        find_short_path(chosen_file);
    }
    lstrcpyA(command, short_path);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = STARTUP_INFO_SIZE;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, CREATE_DEFAULT_ERROR_MODE, NULL, NULL,
                        &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
