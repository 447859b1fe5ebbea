/* shared_device.cpp: the shared reference count of the virtual device hvq.386, kept by
 * Windows under SharedDLLs, and the device's removal once no software counts on it: its
 * count, its file and its device lines in the [386Enh] section of system.ini (after a backup
 * copy of system.ini). */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "line_rewrite.h"
#include "messages.h"
#include "shared_device.h"
#include "text.h"

enum {
    SYSTEM_PATH_CAPACITY = 256,
    PATH_CAPACITY = 260,
    BACKUP_NAME_CAPACITY = 256,
    SYSTEM_INI_PIECE_CAPACITY = 256
};

static const char shared_dlls_key[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
static const char device_file_name[] = "\\hvq.386";
static const char system_ini_name[] = "\\system.ini";
static const char backslash[] = "\\";
static const char section_header[] = "[386Enh]";
enum { SECTION_HEADER_LENGTH = sizeof section_header - 1 };

/* Only hvq.386 is counted and deleted; hvqn.386 loses its device line only. */
static const char *const device_lines[] = {"device=hvq.386", "device=hvqn.386"};
enum { DEVICE_LINE_COUNT = sizeof device_lines / sizeof device_lines[0] };

static char device_path[SYSTEM_PATH_CAPACITY]; /* the file, and the count's value name */
static char windows_directory[PATH_CAPACITY];
static char system_ini_path[PATH_CAPACITY];
static int system_ini_path_built;
static char backup_name[BACKUP_NAME_CAPACITY];
static char backup_path[PATH_CAPACITY];

static int build_device_path() {
    UINT length = GetSystemDirectoryA(device_path, SYSTEM_PATH_CAPACITY);
    if (length == 0 || length + sizeof device_file_name > SYSTEM_PATH_CAPACITY)
        return 0;
    lstrcatA(device_path, device_file_name);
    return 1;
}

DWORD read_device_count() {
    DWORD count = 0;
    DWORD size = sizeof count;
    HKEY key;
    if (!build_device_path())
        return 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return 0;
    /* Any value of at most 4 bytes counts, whatever its type; a shorter one fills the low
     * bytes.  A longer value is no count: the query fails with ERROR_MORE_DATA, and what it
     * left in the buffer is undefined. */
    if (RegQueryValueExA(key, device_path, NULL, NULL, (LPBYTE)&count, &size) != ERROR_SUCCESS)
        count = 0;
    RegCloseKey(key);
    return count;
}

static int is_device_line(const char *piece, int length) {
    for (int i = 0; i < DEVICE_LINE_COUNT; i++)
        if (ascii_prefix_equal(piece, length, device_lines[i]))
            return 1;
    return 0;
}

/* The hook flag of the system.ini clean-up. */
enum {
    IN_386ENH = 1,    /* the current section is [386Enh] */
    DROPPING_LINE = 2 /* the current line is a device line: its further pieces go too */
};

/* Drops the device lines of [386Enh], with every piece of a line longer than one piece, so
 * that no fragment of a removed line stays behind as a line of its own.  A section header is
 * matched with its letter case, over its first 8 bytes; only the piece that begins a line is
 * tested, and the further pieces of any other line are written as they are. */
static void device_piece(const char *piece, int length, int begins_line, FILE *out, int *flag) {
    if (begins_line) {
        *flag &= ~DROPPING_LINE;
        if (piece[0] == '[') {
            if (length >= SECTION_HEADER_LENGTH &&
                memcmp(piece, section_header, SECTION_HEADER_LENGTH) == 0)
                *flag |= IN_386ENH;
            else
                *flag &= ~IN_386ENH;
        }
        if ((*flag & IN_386ENH) && is_device_line(piece, length))
            *flag |= DROPPING_LINE;
    }
    if (*flag & DROPPING_LINE)
        return;
    write_piece(piece, length, out);
}

static int build_system_ini_path() {
    if (system_ini_path_built)
        return 1;
    UINT length = GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    if (length == 0 || length + sizeof system_ini_name > PATH_CAPACITY)
        return 0;
    lstrcpyA(system_ini_path, windows_directory);
    lstrcatA(system_ini_path, system_ini_name);
    system_ini_path_built = 1;
    return 1;
}

static void clean_up_system_ini() {
    if (!build_system_ini_path())
        return;
    LoadStringA(program_instance, IDS_SYSTEM_BACKUP, backup_name, BACKUP_NAME_CAPACITY);
    if (lstrlenA(windows_directory) + 1 + lstrlenA(backup_name) < PATH_CAPACITY) {
        lstrcpyA(backup_path, windows_directory);
        lstrcatA(backup_path, backslash);
        lstrcatA(backup_path, backup_name);
        /* A copy that fails halfway (a full disk) leaves a backup cut short, which would
         * mislead whoever restores system.ini from it. */
        if (!CopyFileA(system_ini_path, backup_path, FALSE))
            DeleteFileA(backup_path);
    }
    rewrite(system_ini_path, SYSTEM_INI_PIECE_CAPACITY, device_piece, NULL);
}

void set_device_count(DWORD n) {
    HKEY key;
    if (!build_device_path())
        return;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;
    if (n != 0) {
        RegSetValueExA(key, device_path, 0, REG_DWORD, (const BYTE *)&n, sizeof n);
    } else {
        RegDeleteValueA(key, device_path);
        DeleteFileA(device_path);
        clean_up_system_ini();
    }
    RegCloseKey(key);
}
