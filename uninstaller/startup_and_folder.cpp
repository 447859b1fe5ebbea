/* startup_and_folder.cpp: the installation folder, removed once no product file is left in
 * it, and the print manager's entry in the load line of win.ini.  Both work on the settings
 * saved before the product's own removal command ran. */
#include <windows.h>
#include <string.h>

#include "removal.h"
#include "startup_and_folder.h"
#include "text.h"

static const char product_file_pattern[] = "km*.*";
static const char windows_section[] = "windows";
static const char load_key[] = "load";

enum { SYSTEM_DIRECTORY_CAPACITY = 256, NEW_STARTUP_LIST_CAPACITY = 512 };

static char system_directory[SYSTEM_DIRECTORY_CAPACITY];
static char new_startup_list[NEW_STARTUP_LIST_CAPACITY];
static WIN32_FIND_DATAA found_entry;

void remove_install_folder() {
    /* The search runs in the current directory; when the folder is already gone it runs in
     * whatever directory was current, and the removal below fails and changes nothing. */
    SetCurrentDirectoryA(saved.install_path);
    HANDLE search = FindFirstFileA(product_file_pattern, &found_entry);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return; /* a product file or folder is left: the folder stays */
    }
    /* A folder that is the current directory cannot be removed. */
    GetSystemDirectoryA(system_directory, SYSTEM_DIRECTORY_CAPACITY);
    SetCurrentDirectoryA(system_directory);
    RemoveDirectoryA(saved.install_path); /* only an empty folder goes */
}

/* The first byte-exact occurrence of `entry` in `list` that begins on a character: the
 * second byte of a double-byte character never starts one, so that the list written back
 * never holds half a character. */
static char *find_entry(char *list, const char *entry) {
    int length = lstrlenA(entry);
    char *at = list;
    for (;;) {
        if (strncmp(at, entry, length) == 0)
            return at;
        if (*at == '\0')
            return NULL;
        at += IsDBCSLeadByte((BYTE)*at) && at[1] != '\0' ? 2 : 1;
    }
}

void remove_startup_entry() {
    upper_case_ascii(saved.execute_file);
    upper_case_ascii(saved.startup_list);

    /* A load line that filled its field may have been read cut (a double-byte character that
     * did not fit leaves one byte unused); writing it back would drop the programs of its
     * tail, so such a line is left as it is. */
    if (lstrlenA(saved.startup_list) >= STARTUP_LIST_CAPACITY - 2)
        return;

    char *entry = find_entry(saved.startup_list, saved.execute_file);
    if (entry == NULL)
        return; /* win.ini is not touched */

    memset(new_startup_list, 0, NEW_STARTUP_LIST_CAPACITY);
    size_t before = (size_t)(entry - saved.startup_list);
    memcpy(new_startup_list, saved.startup_list, before);
    lstrcpyA(new_startup_list + before, entry + lstrlenA(saved.execute_file));
    WriteProfileStringA(windows_section, load_key, new_startup_list);
}
