/* printer_check.cpp: the library's export OrvaneSetup and the printer check behind it.  The
 * print manager serves only printers on a local LPT port, so the decision rests on the ports
 * of the installed printers of the product's driver and on whether the print manager is
 * already present; the user is asked about network ports and about overwriting. */
#include <windows.h>
#include <winspool.h>
#include <string.h>

#include "entry.h"
#include "launcher.h"
#include "printer_check.h"

enum {
    PORT_PREFIX_CAPACITY = 4, /* three characters and the zero */
    PRINTER_LIST_SLACK = 4,   /* extra bytes allocated after the list */
    EXECUTE_FILE_CAPACITY = 256
};

char setup_file_name[STRING_CAPACITY];
char network_port_question[NETWORK_PORT_QUESTION_CAPACITY];
char already_installed_question[STRING_CAPACITY];
char driver_name[STRING_CAPACITY];
char print_manager_file[STRING_CAPACITY];
char check_caption[STRING_CAPACITY];
char ini_file_name[STRING_CAPACITY];
char not_found_message[STRING_CAPACITY];

static const struct {
    UINT id;
    char *buffer;
    int capacity;
} library_strings[] = {
    {IDS_SETUP_FILE, setup_file_name, STRING_CAPACITY},
    {IDS_NETWORK_PORT, network_port_question, NETWORK_PORT_QUESTION_CAPACITY},
    {IDS_ALREADY_INSTALLED, already_installed_question, STRING_CAPACITY},
    {IDS_DRIVER, driver_name, STRING_CAPACITY},
    {IDS_PM_FILE, print_manager_file, STRING_CAPACITY},
    {IDS_CAPTION, check_caption, STRING_CAPACITY},
    {IDS_INI_FILE, ini_file_name, STRING_CAPACITY},
    {IDS_NOT_FOUND, not_found_message, STRING_CAPACITY},
};

static const char lpt_prefix[] = "LPT";
static const char general_section[] = "General";
static const char execute_file_key[] = "ExecuteFile";
static const char empty_default[] = "";

static char port_prefix[PORT_PREFIX_CAPACITY];
static char execute_file[EXECUTE_FILE_CAPACITY];

extern "C" int WINAPI OrvaneSetup(HWND owner, DWORD reserved1, LPCSTR printer_name,
                                  DWORD reserved2) {
    (void)reserved1;
    (void)reserved2;
    load_library_strings();
    int decision = check_printer(printer_name);
    if (decision != 1)
        return decision;
    return launch_setup(owner);
}

void load_library_strings() {
    for (size_t i = 0; i < sizeof library_strings / sizeof library_strings[0]; i++)
        LoadStringA(library_instance, library_strings[i].id, library_strings[i].buffer,
                    library_strings[i].capacity);
}

int check_printer(LPCSTR printer_name) {
    int lpt_count = 0;
    int found = 0;
    DWORD needed = 0;
    DWORD printer_count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &printer_count);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, needed + PRINTER_LIST_SLACK);
    if (memory != NULL) {
        PRINTER_INFO_2A *printers = (PRINTER_INFO_2A *)GlobalLock(memory);
        /* A failed enumeration reports no printer. */
        if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, (LPBYTE)printers, needed, &needed,
                           &printer_count))
            printer_count = 0;
        for (DWORD i = 0; i < printer_count; i++) {
            const PRINTER_INFO_2A *printer = &printers[i];
            if (lstrcmpiA(printer->pDriverName, driver_name) != 0)
                continue;
            lstrcpynA(port_prefix, printer->pPortName, PORT_PREFIX_CAPACITY);
            int on_lpt = lstrcmpiA(port_prefix, lpt_prefix) == 0;
            if (lstrcmpiA(printer->pPrinterName, printer_name) == 0) {
                if (on_lpt) {
                    found = 1;
                    lpt_count++;
                } else if (lpt_count == 0) {
                    /* The new printer is on a network port: the user decides. */
                    GlobalUnlock(memory);
                    GlobalFree(memory);
                    int answer = MessageBoxA(NULL, network_port_question, check_caption, MB_YESNO);
                    return answer == IDNO ? 0 : 1;
                } else {
                    /* Network port after an LPT printer of the driver: only the probe's change
                     * of the current directory remains; the printer is not counted. */
                    probe_print_manager();
                }
            } else if (on_lpt) {
                lpt_count++;
            }
        }
        GlobalUnlock(memory);
        GlobalFree(memory);
    }
    if (!found) {
        MessageBoxA(NULL, not_found_message, check_caption, MB_OK);
        return 0;
    }
    if (!probe_print_manager())
        return 1;
    return MessageBoxA(NULL, already_installed_question, check_caption, MB_YESNO) == IDYES ? 1 : 0;
}

/* ASCII upper-casing in place; the second byte of a double-byte character is left alone, so
 * the text still names the same folder. */
static void upper_case_ascii(char *text) {
    for (char *p = text; *p != '\0'; p++) {
        if (IsDBCSLeadByte((BYTE)*p)) {
            if (p[1] != '\0')
                p++;
            continue;
        }
        if (*p >= 'a' && *p <= 'z')
            *p = (char)(*p - 'a' + 'A');
    }
}

/* First occurrence of `part` in `text` that starts at a character, never at the second byte
 * of a double-byte character; NULL when there is none. */
static char *find_text(char *text, const char *part) {
    size_t part_length = strlen(part);
    for (char *p = text; *p != '\0'; p++) {
        if (strncmp(p, part, part_length) == 0)
            return p;
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0')
            p++;
    }
    return NULL;
}

int probe_print_manager() {
    /* Without the name of the product INI file or of the program (their strings could not be
     * loaded) the probe cannot tell: the program counts as there, so that the user is asked
     * before it is overwritten. */
    if (ini_file_name[0] == '\0' || print_manager_file[0] == '\0')
        return 1;
    GetPrivateProfileStringA(general_section, execute_file_key, empty_default, execute_file,
                             EXECUTE_FILE_CAPACITY, ini_file_name);
    if (execute_file[0] == '\0')
        return 0;
    upper_case_ascii(execute_file);
    /* Keep only the folder part, with its trailing backslash.  A value that does not name the
     * print manager's program has no folder part: the program counts as absent. */
    char *program = find_text(execute_file, print_manager_file);
    if (program == NULL)
        return 0;
    *program = '\0';
    SetCurrentDirectoryA(execute_file);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(print_manager_file, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return 1;
}
