/* deletion_list.cpp: the product files scheduled for deletion at the next start of Windows.
 * Files in use (the uninstaller itself, the driver's files) cannot be deleted now; an entry
 * "NUL=<short path>" in the [rename] section of wininit.ini makes Windows delete the file
 * while it starts.  Only files that exist get an entry. */
#include <windows.h>

#include "deletion_list.h"
#include "line_rewrite.h"
#include "text.h"

enum { PATH_CAPACITY = 260, ENTRY_CAPACITY = PATH_CAPACITY + 8, WININIT_PIECE_CAPACITY = 512 };

/* The hook flag: where the [rename] header stands. */
enum {
    NO_HEADER_SEEN = 0,
    HEADER_SEEN = 1,
    ENTRIES_AFTER_THIS_LINE = 2 /* a header line has begun; its entries follow its end */
};

static const char rename_header[] = "[rename]";
static const char line_feed[] = "\n";
static const char wininit_format[] = "%s\\wininit.ini";
static const char path_format[] = "%s\\%s";
static const char entry_format[] = "NUL=%s\n";
static const char product_ini_name[] = "KMW48.INI";

/* In the system directory, in the order of their entries.  The last one is the setup
 * library, left off when another product's printer still uses it. */
static const char *const system_files[] = {"KMW48.DRV",   "KMW48R.DLL",  "KMW48EX.DLL",
                                           "KMW48DO.HLP", "KMW48DR.HLP", "KMW48I2.DLL"};
enum { SYSTEM_FILE_COUNT = sizeof system_files / sizeof system_files[0] };

static char windows_directory[PATH_CAPACITY];
static char system_directory[PATH_CAPACITY];
static char wininit_path[PATH_CAPACITY];
static char file_path[PATH_CAPACITY];
static char short_path[PATH_CAPACITY];
static char entry[ENTRY_CAPACITY];
static int system_files_listed;

/* One entry for the file at `path`, when it exists. */
static void write_entry(const char *path) {
    DWORD length = GetShortPathNameA(path, short_path, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY)
        return;
    wsprintfA(entry, entry_format, short_path);
    write_text(entry);
}

static void write_entry_in(const char *directory, const char *name) {
    if (directory[0] == '\0' || lstrlenA(directory) + 1 + lstrlenA(name) >= PATH_CAPACITY)
        return;
    wsprintfA(file_path, path_format, directory, name);
    write_entry(file_path);
}

static void write_entries() {
    DWORD length = GetModuleFileNameA(NULL, file_path, PATH_CAPACITY);
    if (length != 0 && length < PATH_CAPACITY)
        write_entry(file_path);
    write_entry_in(windows_directory, product_ini_name);
    for (int i = 0; i < system_files_listed; i++)
        write_entry_in(system_directory, system_files[i]);
}

static void list_piece(const char *piece, int length, int begins_line, int *flag) {
    write_piece(piece, length);
    if (begins_line && ascii_prefix_equal(piece, length, rename_header))
        *flag = ENTRIES_AFTER_THIS_LINE;
    if (*flag == ENTRIES_AFTER_THIS_LINE && piece[length - 1] == '\n') {
        write_entries();
        *flag = HEADER_SEEN;
    }
}

/* A missing wininit.ini comes here with nothing read: it is made holding the header and the
 * entries, as a wininit.ini holding only the header would be rewritten. */
static void list_end(int flag) {
    if (flag == HEADER_SEEN)
        return;
    /* The header, or the entries of a header on the last line, go on lines of their own. */
    finish_open_line();
    if (flag == NO_HEADER_SEEN) {
        write_text(rename_header);
        write_text(line_feed);
    }
    write_entries();
}

static int build_wininit_path() {
    UINT length = GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY ||
        length + sizeof wininit_format - 2 > PATH_CAPACITY)
        return 0;
    wsprintfA(wininit_path, wininit_format, windows_directory);
    return 1;
}

void finish_interrupted_list() {
    if (build_wininit_path())
        finish_interrupted_rewrite(wininit_path);
}

void write_deletion_list(int keep_setup_library) {
    system_files_listed = keep_setup_library ? SYSTEM_FILE_COUNT - 1 : SYSTEM_FILE_COUNT;
    if (!build_wininit_path())
        return;
    UINT length = GetSystemDirectoryA(system_directory, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY)
        system_directory[0] = '\0';
    rewrite(wininit_path, WININIT_PIECE_CAPACITY, list_piece, list_end, NULL);
}
