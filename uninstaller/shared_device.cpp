/* shared_device.cpp: the shared reference count of the virtual device hvq.386, kept by
 * Windows under SharedDLLs, and the device's removal once no software counts on it: its
 * device lines in the [386Enh] section of system.ini (after a backup copy of system.ini), its
 * file and its count.  The lines go first and the count last: a system.ini that still loads
 * the device must never be left without the device's file (Windows would complain of it at
 * every start), and as long as the count is there, the next run finds the same count before
 * and after the product's removal command and tries again. */
#include <windows.h>
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
    IN_386ENH = 1,     /* the current section is [386Enh] */
    DROPPING_LINE = 2, /* the current line is a device line: its further pieces go too */
    LINE_DROPPED = 4   /* a device line has gone: system.ini is to be replaced */
};

/* Drops the device lines of [386Enh], with every piece of a line longer than one piece, so
 * that no fragment of a removed line stays behind as a line of its own.  A section header is
 * matched with its letter case, over its first 8 bytes; only the piece that begins a line is
 * tested, and the further pieces of any other line are written as they are. */
static void device_piece(const char *piece, int length, int begins_line, int *flag) {
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
            *flag |= DROPPING_LINE | LINE_DROPPED;
    }
    if (*flag & DROPPING_LINE)
        return;
    write_piece(piece, length);
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

static int build_backup_path() {
    if (LoadStringA(program_instance, IDS_SYSTEM_BACKUP, backup_name, BACKUP_NAME_CAPACITY) == 0 ||
        lstrlenA(windows_directory) + 1 + lstrlenA(backup_name) >= PATH_CAPACITY)
        return 0;
    lstrcpyA(backup_path, windows_directory);
    lstrcatA(backup_path, backslash);
    lstrcatA(backup_path, backup_name);
    return 1;
}

/* Once the cleaned system.ini is complete, and before it replaces the old one: the backup, a
 * complete copy of system.ini or none at all.  Without a backup system.ini is not changed.  A
 * system.ini that holds no device line is left as it is, and so is an earlier backup then:
 * it may be the only copy of system.ini with the device lines (an earlier run that was
 * interrupted after its clean-up comes here again). */
static int back_up_first(int flag) {
    int changed = (flag & LINE_DROPPED) != 0;
    if (changed || (GetFileAttributesA(backup_path) == INVALID_FILE_ATTRIBUTES &&
                    GetLastError() == ERROR_FILE_NOT_FOUND)) {
        if (!copy_whole(system_ini_path, backup_path))
            return REWRITE_ABANDON;
    }
    return changed ? REWRITE_REPLACE : REWRITE_UNCHANGED;
}

/* Returns 1 when no system.ini loads the device any more: the device lines are gone (or there
 * were none), or there is no system.ini at all; 0 when system.ini could not be cleaned up. */
static int clean_up_system_ini() {
    if (!build_system_ini_path())
        return 0;
    /* Without a system.ini nothing loads the device; an earlier backup stays as it is. */
    flush_profile_cache(system_ini_path);
    if (GetFileAttributesA(system_ini_path) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        return 1;
    if (!build_backup_path())
        return 0;
    return rewrite(system_ini_path, SYSTEM_INI_PIECE_CAPACITY, device_piece, NULL, back_up_first);
}

void set_device_count(DWORD n) {
    HKEY key;
    if (!build_device_path())
        return;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return;
    /* Windows 95 writes the registry to the disk when it likes: the count is flushed at once,
     * so that after a power cut it is never older than the files it counts. */
    if (n != 0) {
        RegSetValueExA(key, device_path, 0, REG_DWORD, (const BYTE *)&n, sizeof n);
        RegFlushKey(key);
    } else if (clean_up_system_ini()) {
        /* The file before its count: a run interrupted between the two finds the count and
         * finishes the removal. */
        DeleteFileA(device_path);
        RegDeleteValueA(key, device_path);
        RegFlushKey(key);
    }
    RegCloseKey(key);
}

void finish_interrupted_device_removal() {
    if (!build_system_ini_path())
        return;
    finish_interrupted_rewrite(system_ini_path);
    if (build_backup_path())
        finish_interrupted_rewrite(backup_path);
}
