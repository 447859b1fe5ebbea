/* setupmachine.cpp: puts a machine into a given state through the real API, the way the
 * product's installer and the user would have left it: files and folders, INI files and
 * win.ini, registry keys and values, printer drivers and printers.  It also reports what
 * tests need to know of a machine through the same API: the Windows and system
 * directories, short paths, the printers and drivers of the spooler, profile values.
 *
 * Usage: setupmachine SCRIPT LOG
 * Script: one command a line, fields separated by tabs, texts in the ANSI code page;
 * "%windir%" and "%sysdir%" in any field stand for the Windows and system directories.
 *   mkdir PATH                      file PATH HEX-BYTES             copy FROM TO
 *   readonly PATH                   ini FILE SECTION KEY VALUE      profile SECTION KEY VALUE
 *   regkey ROOT KEY                 regsz ROOT KEY NAME VALUE       regdword ROOT KEY NAME N
 *   regbinary ROOT KEY NAME HEX     driver NAME                     printer NAME DRIVER PORT
 *   deleteprinter NAME              shortpath PATH                  printers
 *   drivers
 *   readprofile SECTION KEY         readini FILE SECTION KEY
 * ROOT is HKLM or HKCU.  Log (tab-separated): "windir PATH", "sysdir PATH", then for each
 * command "ok N" or "failed N error=E" (N its line number), after the lines it reports:
 * "shortpath PATH SHORT", "printer NAME DRIVER PORT JOBS", "driver NAME",
 * "profile SECTION KEY VALUE" (a missing key reads as the default "<missing>").
 * Exit status 0 when every command succeeded. */
#include <windows.h>
#include <winspool.h>

#include "helpers.h"

using namespace helper;

namespace {

enum {
    SCRIPT_CAPACITY = 65536,
    FIELD_CAPACITY = 16384,
    FIELD_COUNT = 6,
    DIRECTORY_CAPACITY = 260,
    SHORT_PATH_CAPACITY = 260
};

char script[SCRIPT_CAPACITY];
char fields[FIELD_COUNT][FIELD_CAPACITY];
int field_count;
char windows_directory[DIRECTORY_CAPACITY];
char system_directory[DIRECTORY_CAPACITY];
char bytes[FIELD_CAPACITY];
char short_path[SHORT_PATH_CAPACITY];

/* Copies one field, replacing the directory names. */
void take_field(char *to, const char *from, int length) {
    int n = 0;
    for (int i = 0; i < length && n < FIELD_CAPACITY - 1; i++) {
        const char *directory = NULL;
        int skip = 0;
        if (from[i] == '%') {
            if (length - i >= 8 &&
                CompareStringA(LOCALE_INVARIANT, 0, from + i, 8, "%windir%", 8) == CSTR_EQUAL) {
                directory = windows_directory;
                skip = 8;
            } else if (length - i >= 8 && CompareStringA(LOCALE_INVARIANT, 0, from + i, 8,
                                                         "%sysdir%", 8) == CSTR_EQUAL) {
                directory = system_directory;
                skip = 8;
            }
        }
        if (directory == NULL) {
            to[n++] = from[i];
            continue;
        }
        for (const char *d = directory; *d && n < FIELD_CAPACITY - 1; d++)
            to[n++] = *d;
        i += skip - 1;
    }
    to[n] = '\0';
}

void split_fields(const char *line, int length) {
    field_count = 0;
    int begin = 0;
    for (int i = 0; i <= length && field_count < FIELD_COUNT; i++) {
        if (i == length || line[i] == '\t') {
            take_field(fields[field_count++], line + begin, i - begin);
            begin = i + 1;
        }
    }
}

HKEY root_key(const char *name) {
    if (lstrcmpA(name, "HKLM") == 0)
        return HKEY_LOCAL_MACHINE;
    if (lstrcmpA(name, "HKCU") == 0)
        return HKEY_CURRENT_USER;
    return NULL;
}

int set_value(DWORD type, const BYTE *data, DWORD size) {
    HKEY key;
    LONG result = RegCreateKeyExA(root_key(fields[1]), fields[2], 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                  &key, NULL);
    if (result == ERROR_SUCCESS) {
        result = RegSetValueExA(key, fields[3], 0, type, data, size);
        RegCloseKey(key);
    }
    SetLastError((DWORD)result);
    return result == ERROR_SUCCESS;
}

int write_file(const char *file_path, const char *hex) {
    if (!decode_hex(hex, bytes, FIELD_CAPACITY)) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    HANDLE file = CreateFileA(file_path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, (DWORD)lstrlenA(hex) / 2, &written, NULL);
    CloseHandle(file);
    return ok;
}

int add_driver() {
    DRIVER_INFO_3A driver;
    ZeroMemory(&driver, sizeof driver);
    driver.cVersion = 0;
    driver.pName = fields[1];
    driver.pDriverPath = (char *)"KMW48.DRV";
    driver.pDataFile = (char *)"KMW48.DRV";
    driver.pConfigFile = (char *)"KMW48R.DLL";
    driver.pHelpFile = (char *)"KMW48DR.HLP";
    return AddPrinterDriverA(NULL, 3, (BYTE *)&driver);
}

int add_printer() {
    PRINTER_INFO_2A printer;
    ZeroMemory(&printer, sizeof printer);
    printer.pPrinterName = fields[1];
    printer.pDriverName = fields[2];
    printer.pPortName = fields[3];
    printer.pPrintProcessor = (char *)"WinPrint";
    printer.pDatatype = (char *)"RAW";
    HANDLE handle = AddPrinterA(NULL, 2, (BYTE *)&printer);
    if (handle == NULL)
        return 0;
    ClosePrinter(handle);
    return 1;
}

void log_fields(const char *a, const char *b, const char *c, const char *d) {
    const char *items[] = {a, b, c, d};
    for (int i = 0; i < 4 && items[i] != NULL; i++) {
        if (i > 0)
            log_text("\t");
        log_text(items[i]);
    }
    log_end();
}

/* Reads the local printers or the drivers of the default environment into `listing`. */
enum { LISTING_CAPACITY = 65536 };
BYTE listing[LISTING_CAPACITY];

int list_printers() {
    DWORD needed = 0, count = 0;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, listing, LISTING_CAPACITY, &needed, &count))
        return 0;
    PRINTER_INFO_2A *printers = (PRINTER_INFO_2A *)listing;
    for (DWORD i = 0; i < count; i++) {
        char jobs[16];
        wsprintfA(jobs, "%lu", printers[i].cJobs);
        log_text("printer\t");
        log_fields(printers[i].pPrinterName, printers[i].pDriverName, printers[i].pPortName, jobs);
    }
    return 1;
}

int list_drivers() {
    DWORD needed = 0, count = 0;
    if (!EnumPrinterDriversA(NULL, NULL, 1, listing, LISTING_CAPACITY, &needed, &count))
        return 0;
    DRIVER_INFO_1A *drivers = (DRIVER_INFO_1A *)listing;
    for (DWORD i = 0; i < count; i++)
        log_fields("driver", drivers[i].pName, NULL, NULL);
    return 1;
}

int run_command() {
    const char *command = fields[0];
    if (lstrcmpA(command, "mkdir") == 0 && field_count == 2)
        return CreateDirectoryA(fields[1], NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
    if (lstrcmpA(command, "file") == 0 && field_count == 3)
        return write_file(fields[1], fields[2]);
    if (lstrcmpA(command, "copy") == 0 && field_count == 3)
        return CopyFileA(fields[1], fields[2], FALSE);
    if (lstrcmpA(command, "readonly") == 0 && field_count == 2)
        return SetFileAttributesA(fields[1], FILE_ATTRIBUTE_READONLY);
    if (lstrcmpA(command, "ini") == 0 && field_count == 5)
        return WritePrivateProfileStringA(fields[2], fields[3], fields[4], fields[1]);
    if (lstrcmpA(command, "profile") == 0 && field_count == 4)
        return WriteProfileStringA(fields[1], fields[2], fields[3]);
    if (lstrcmpA(command, "regkey") == 0 && field_count == 3) {
        HKEY key;
        LONG result = RegCreateKeyExA(root_key(fields[1]), fields[2], 0, NULL, 0, KEY_ALL_ACCESS,
                                      NULL, &key, NULL);
        if (result == ERROR_SUCCESS)
            RegCloseKey(key);
        SetLastError((DWORD)result);
        return result == ERROR_SUCCESS;
    }
    if (lstrcmpA(command, "regsz") == 0 && field_count == 5)
        return set_value(REG_SZ, (const BYTE *)fields[4], (DWORD)lstrlenA(fields[4]) + 1);
    if (lstrcmpA(command, "regdword") == 0 && field_count == 5) {
        DWORD value = (DWORD)to_number(fields[4]);
        return set_value(REG_DWORD, (const BYTE *)&value, sizeof value);
    }
    if (lstrcmpA(command, "regbinary") == 0 && field_count == 5) {
        if (!decode_hex(fields[4], bytes, FIELD_CAPACITY))
            return 0;
        return set_value(REG_BINARY, (const BYTE *)bytes, (DWORD)lstrlenA(fields[4]) / 2);
    }
    if (lstrcmpA(command, "driver") == 0 && field_count == 2)
        return add_driver();
    if (lstrcmpA(command, "printer") == 0 && field_count == 4)
        return add_printer();
    if (lstrcmpA(command, "shortpath") == 0 && field_count == 2) {
        if (GetShortPathNameA(fields[1], short_path, SHORT_PATH_CAPACITY) == 0)
            return 0;
        log_fields("shortpath", fields[1], short_path, NULL);
        return 1;
    }
    if (lstrcmpA(command, "deleteprinter") == 0 && field_count == 2) {
        HANDLE printer = NULL;
        if (!OpenPrinterA(fields[1], &printer, NULL))
            return 0;
        BOOL deleted = DeletePrinter(printer);
        ClosePrinter(printer);
        return deleted;
    }
    if (lstrcmpA(command, "printers") == 0 && field_count == 1)
        return list_printers();
    if (lstrcmpA(command, "drivers") == 0 && field_count == 1)
        return list_drivers();
    if (lstrcmpA(command, "readprofile") == 0 && field_count == 3) {
        GetProfileStringA(fields[1], fields[2], "<missing>", bytes, FIELD_CAPACITY);
        log_text("profile\t");
        log_fields(fields[1], fields[2], bytes, NULL);
        return 1;
    }
    if (lstrcmpA(command, "readini") == 0 && field_count == 4) {
        GetPrivateProfileStringA(fields[2], fields[3], "<missing>", bytes, FIELD_CAPACITY,
                                 fields[1]);
        log_text("ini\t");
        log_fields(fields[2], fields[3], bytes, NULL);
        return 1;
    }
    SetLastError(ERROR_BAD_FORMAT);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 || !log_open(argv[2], 0))
        return 2;
    GetWindowsDirectoryA(windows_directory, DIRECTORY_CAPACITY);
    GetSystemDirectoryA(system_directory, DIRECTORY_CAPACITY);
    log_text("windir\t");
    log_text(windows_directory);
    log_end();
    log_text("sysdir\t");
    log_text(system_directory);
    log_end();

    if (read_whole(argv[1], script, SCRIPT_CAPACITY) < 0)
        return 2;

    int failures = 0, number = 0;
    char *p = script;
    while (*p) {
        char *end = p;
        while (*end && *end != '\n')
            end++;
        int length = (int)(end - p);
        if (length > 0 && p[length - 1] == '\r')
            length--;
        number++;
        if (length > 0) {
            split_fields(p, length);
            SetLastError(0);
            int ok = run_command();
            log_text(ok ? "ok\t" : "failed\t");
            log_number(number);
            if (!ok) {
                log_text("\terror=");
                log_number((long)GetLastError());
                failures++;
            }
            log_end();
        }
        p = *end ? end + 1 : end;
    }
    return failures == 0 ? 0 : 1;
}
