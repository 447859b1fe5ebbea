/* conformance.cpp: the Win32 behaviours that the uninstaller and the vendor-setup library rely
 * on, written once and run on two platforms: built natively against the stand-in (winsim,
 * which plays Windows 95/98) and cross-built with MinGW against the real API under Wine.
 *
 * Each check prints the values it measured, passed or not, so that the output is the
 * conformance table of the platform.  Where Windows 95/98 and Wine differ, a row carries one
 * expected value per platform (`result` for Windows 95/98 and the stand-in, `result_wine`
 * for Wine) and says what the system needs and how it gets it on both.  The program ends
 * with "N passed, N failed" and exits with 1 when a check failed.
 *
 * It changes the machine it runs on (files under C:\ and in the Windows directory, a key
 * under HKEY_LOCAL_MACHINE\Software, win.ini's load line, printers): run it in a scratch
 * machine only, a fresh sandbox or a copy of a Wine prefix. */
/* stdio.h first: on Windows the program prints through the C library's own printf, which
 * windows.h (through the C++ library's configuration) would replace by MinGW's, a part of
 * MinGW's runtime that the deliverables do not link. */
#include <stdio.h>
#include <windows.h>
#include <winspool.h>
#include <share.h>
#include <stdarg.h>
#include <limits.h>
#include <string.h>

#ifdef CONFORMANCE_STAND_IN
#include "winsim.h"
extern const winsim_string_row conformance_strings[];
#endif

namespace {

enum {
    PATH_CAPACITY = 260,
    SHOWN_CAPACITY = 8,
    SHOWN_TEXT_CAPACITY = 700,
    FILE_CAPACITY = 262144,
    FILL = 0xCC /* pre-fill of output buffers: a write past the text shows */
};

/* ---- Platforms and checks ------------------------------------------------------------ */

enum platform { STAND_IN, WINE, WINDOWS };
platform current_platform;
const char *const platform_names[] = {"stand-in (Windows 95/98)", "Wine", "Windows"};

/* The expected value of a row's field on this platform. */
#define EXPECTED(row, field) (current_platform == WINE ? (row).field##_wine : (row).field)

int passed, failed;

/* Wine-tests style: the message carries the measured values; every check is printed. */
#define ok(condition, ...) ok_at(__LINE__, (condition) ? 1 : 0, __VA_ARGS__)

__attribute__((format(printf, 3, 4))) void ok_at(int line, int condition, const char *format, ...) {
    va_list args;
    va_start(args, format);
    if (condition) {
        passed++;
        printf("  ok    ");
    } else {
        failed++;
        printf("  FAIL  conformance.cpp:%d: ", line);
    }
    vprintf(format, args);
    printf("\n");
    va_end(args);
}

void section(const char *title) {
    printf("\n%s\n", title);
}

/* Bytes as a quoted C text, \xNN for everything but printable ASCII (several per message). */
char shown[SHOWN_CAPACITY][SHOWN_TEXT_CAPACITY];
int next_shown;

const char *show(const char *bytes, int length) {
    static const char digits[] = "0123456789ABCDEF";
    char *out = shown[next_shown++ % SHOWN_CAPACITY];
    int n = 0;
    out[n++] = '"';
    for (int i = 0; i < length && n < SHOWN_TEXT_CAPACITY - 8; i++) {
        unsigned char c = (unsigned char)bytes[i];
        if (c >= 32 && c < 127 && c != '"' && c != '\\') {
            out[n++] = (char)c;
        } else if (c == '\n') {
            out[n++] = '\\';
            out[n++] = 'n';
        } else if (c == '\r') {
            out[n++] = '\\';
            out[n++] = 'r';
        } else if (c == '\\' || c == '"') {
            out[n++] = '\\';
            out[n++] = (char)c;
        } else {
            out[n++] = '\\';
            out[n++] = 'x';
            out[n++] = digits[c >> 4];
            out[n++] = digits[c & 15];
        }
    }
    out[n++] = '"';
    out[n] = '\0';
    return out;
}

const char *show(const char *text) {
    return text ? show(text, (int)strlen(text)) : "(none)";
}

int same_bytes(const char *a, int a_length, const char *b, int b_length) {
    return a_length == b_length && memcmp(a, b, (size_t)a_length) == 0;
}

int untouched(const char *buffer, int from, int to) {
    for (int i = from; i < to; i++)
        if ((unsigned char)buffer[i] != FILL)
            return 0;
    return 1;
}

/* ---- Files, through the C library in binary mode ----------------------------------------------
 */

char file_bytes[FILE_CAPACITY];

int write_bytes(const char *path, const char *bytes, int length) {
    FILE *f = _fsopen(path, "wb", _SH_DENYNO);
    if (f == NULL)
        return 0;
    int complete = fwrite(bytes, 1, (size_t)length, f) == (size_t)length;
    return fclose(f) == 0 && complete;
}

int write_text(const char *path, const char *text) {
    return write_bytes(path, text, (int)strlen(text));
}

/* Length of the file read into `bytes`, or -1. */
int read_bytes(const char *path, char *bytes, int capacity) {
    FILE *f = _fsopen(path, "rb", _SH_DENYNO);
    if (f == NULL)
        return -1;
    int length = (int)fread(bytes, 1, (size_t)capacity, f);
    fclose(f);
    return length;
}

char windows_directory[PATH_CAPACITY];

void windows_path(char *out, const char *name) {
    lstrcpyA(out, windows_directory);
    lstrcatA(out, "\\");
    lstrcatA(out, name);
}

/* ---- What differs in setting up the machine ------------------------------------------- */

#ifdef CONFORMANCE_STAND_IN

HINSTANCE start_platform() {
    current_platform = STAND_IN;
    winsim_reset();
    return winsim_start_program("C:\\WINDOWS\\CONFORM.EXE", conformance_strings, "CONFORM.EXE");
}

void end_platform() {
    winsim_cleanup();
}

/* Installs a local printer (and its driver); `jobs` queued jobs, as far as the platform can
 * be made to have them. */
int add_printer(const char *name, const char *port, const char *driver, int jobs) {
    winsim_add_printer(name, port, driver, (DWORD)jobs);
    return 1;
}

void end_printer_jobs() {}

#else

HINSTANCE start_platform() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    current_platform =
        ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL ? WINE : WINDOWS;
    return GetModuleHandleA(NULL);
}

void end_platform() {}

enum { OPEN_JOB_CAPACITY = 4 };
HANDLE open_jobs[OPEN_JOB_CAPACITY];
int open_job_count;

int add_driver(const char *driver) {
    DRIVER_INFO_3A info;
    ZeroMemory(&info, sizeof info);
    info.pName = (LPSTR)driver;
    info.pDriverPath = (LPSTR) "KMW48.DRV";
    info.pDataFile = (LPSTR) "KMW48.DRV";
    info.pConfigFile = (LPSTR) "KMW48R.DLL";
    return AddPrinterDriverA(NULL, 3, (LPBYTE)&info) ||
           GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

/* A queued job is a document started and not ended, its printer left open. */
int add_printer(const char *name, const char *port, const char *driver, int jobs) {
    if (!add_driver(driver))
        return 0;
    PRINTER_INFO_2A info;
    ZeroMemory(&info, sizeof info);
    info.pPrinterName = (LPSTR)name;
    info.pPortName = (LPSTR)port;
    info.pDriverName = (LPSTR)driver;
    info.pPrintProcessor = (LPSTR) "WinPrint";
    info.pDatatype = (LPSTR) "RAW";
    HANDLE printer = AddPrinterA(NULL, 2, (LPBYTE)&info);
    if (printer == NULL)
        return 0;
    ClosePrinter(printer);
    for (int i = 0; i < jobs && open_job_count < OPEN_JOB_CAPACITY; i++) {
        if (!OpenPrinterA((LPSTR)name, &printer, NULL))
            return 0;
        DOC_INFO_1A document = {(LPSTR) "conformance", NULL, (LPSTR) "RAW"};
        DWORD written = 0;
        if (StartDocPrinterA(printer, 1, (LPBYTE)&document) == 0 ||
            !WritePrinter(printer, (LPVOID) "page", 4, &written))
            return 0;
        open_jobs[open_job_count++] = printer;
    }
    return 1;
}

void end_printer_jobs() {
    for (int i = 0; i < open_job_count; i++) {
        EndDocPrinter(open_jobs[i]);
        ClosePrinter(open_jobs[i]);
    }
    open_job_count = 0;
}

#endif

/* ---- Profiles ------------------------------------------------------------------------- */

struct profile_row {
    const char *file, *section, *key, *default_text;
    int capacity;
    const char *result;
    int count;
    const char *result_wine;
    int count_wine;
    const char *need; /* what the system needs, where the platforms differ */
};

void check_profiles() {
    section("Profiles: GetPrivateProfileStringA (file named without a folder: the Windows "
            "directory's)");
    char path[PATH_CAPACITY];
    windows_path(path, "CONFORM.INI");
    ok(write_text(path, "[General]\r\n"
                        "Key=value\r\n"
                        "Blank= \r\n"
                        "Padded=  padded value  \r\n"
                        "Empty=\r\n"
                        "Kanji=AB\x8A\xBF\x8E\x9A\r\n"),
       "set-up: %s written", show(path));
    static const profile_row rows[] = {
        {"CONFORM.INI", "General", "Missing", " ", 64, "", 0, " ", 1,
         "a missing key is saved as an empty text: the uninstaller drops a lone-blank result "
         "(see the row of a one-blank value)"},
        {"CONFORM.INI", "General", "Missing", "ab  ", 64, "ab", 2, "ab", 2, NULL},
        {"CONFORM.INI", "General", "Missing", "!!!!!", 260, "!!!!!", 5, "!!!!!", 5, NULL},
        {"CONFORM.INI", "Nowhere", "Key", "dflt", 64, "dflt", 4, "dflt", 4, NULL},
        {"MISSING.INI", "General", "Key", " ", 64, "", 0, " ", 1,
         "as for a missing key: a missing file reads as a missing key"},
        {"CONFORM.INI", "General", "Key", " ", 64, "value", 5, "value", 5, NULL},
        {"CONFORM.INI", "general", "KEY", " ", 64, "value", 5, "value", 5, NULL},
        {"CONFORM.INI", "General", "Blank", " ", 64, "", 0, "", 0, NULL},
        {"CONFORM.INI", "General", "Padded", " ", 64, "padded value", 12, "padded value", 12, NULL},
        {"CONFORM.INI", "General", "Empty", " ", 64, "", 0, "", 0, NULL},
        {"CONFORM.INI", "General", "Key", " ", 4, "val", 3, "val", 3, NULL},
        {"CONFORM.INI", "General", "Key", " ", 1, "", 0, "", 0, NULL},
        {"CONFORM.INI", "General", "Kanji", " ", 64, "AB\x8A\xBF\x8E\x9A", 6, "AB\x8A\xBF\x8E\x9A",
         6, NULL},
    };
    for (const profile_row &r : rows) {
        char buffer[300];
        memset(buffer, FILL, sizeof buffer);
        DWORD n = GetPrivateProfileStringA(r.section, r.key, r.default_text, buffer,
                                           (DWORD)r.capacity, r.file);
        const char *want = EXPECTED(r, result);
        int want_count = EXPECTED(r, count);
        ok((int)n == want_count && strcmp(buffer, want) == 0 &&
               untouched(buffer, r.capacity, (int)sizeof buffer),
           "%s [%s] %s, default %s, capacity %d: %s (%u); want %s (%d)%s%s", r.file, r.section,
           r.key, show(r.default_text), r.capacity, show(buffer), (unsigned)n, show(want),
           want_count, r.need ? " -- " : "", r.need ? r.need : "");
    }
}

/* A DBCS value cut by the capacity: where the cut falls inside a double-byte character. */
void check_profile_cut_in_a_character() {
    section("Profiles: a value cut inside a double-byte character");
    struct {
        int capacity;
        const char *result;
        int count;
        const char *result_wine;
        int count_wine;
    } rows[] = {
        {4, "AB\x8A", 3, "AB\xCC", 3},
        {5, "AB\x8A\xBF", 4, "AB\x8A\xBF", 4},
        {6, "AB\x8A\xBF\x8E", 5, "AB\x8A\xBF\xCC", 5},
    };
    for (const auto &r : rows) {
        char buffer[64];
        memset(buffer, FILL, sizeof buffer);
        DWORD n = GetPrivateProfileStringA("General", "Kanji", "", buffer, (DWORD)r.capacity,
                                           "CONFORM.INI");
        const char *want = EXPECTED(r, result);
        ok((int)n == EXPECTED(r, count) && strcmp(buffer, want) == 0,
           "Kanji=AB\\x8A\\xBF\\x8E\\x9A, capacity %d, buffer filled with \\xCC: %s (%u); "
           "want %s (%d)%s",
           r.capacity, show(buffer), (unsigned)n, show(want), EXPECTED(r, count),
           r.count != r.count_wine || strcmp(r.result, r.result_wine) != 0
               ? " -- the text must end within the buffer: the uninstaller clears its "
                 "execute-file and start-up buffers before reading them (the others are read "
                 "once, into zeroed memory), so on Wine the text ends before the cut character; "
                 "the library uses its value only up to the print manager's file name"
               : "");
    }
}

void check_name_without_folder() {
    section("Profiles: a file named without a folder is the Windows directory's, whatever is "
            "current");
    char path[PATH_CAPACITY];
    windows_path(path, "CONFDIR.INI");
    CreateDirectoryA("C:\\Conform", NULL);
    ok(write_text(path, "[s]\r\nk=windows\r\n") &&
           write_text("C:\\Conform\\CONFDIR.INI", "[s]\r\nk=there\r\n") &&
           SetCurrentDirectoryA("C:\\Conform"),
       "set-up: CONFDIR.INI in the Windows directory and in C:\\Conform, the current one");
    struct {
        const char *file, *result;
    } rows[] = {
        {"CONFDIR.INI", "windows"},
        {"confdir.ini", "windows"},
        {"C:\\Conform\\CONFDIR.INI", "there"},
    };
    for (const auto &r : rows) {
        char buffer[32];
        GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, r.file);
        ok(strcmp(buffer, r.result) == 0, "[s] k of %s: %s; want %s", r.file, show(buffer),
           show(r.result));
    }
    SetCurrentDirectoryA(windows_directory);
}

void check_win_ini() {
    section("win.ini [windows] load: GetProfileStringA and WriteProfileStringA");
    static const char line[] = "C:\\WINDOWS\\CLOCK.EXE C:\\PROGRA~1\\ORVANE\\KMW48PM.EXE";
    char buffer[512];
    WriteProfileStringA("windows", "load", NULL);
    memset(buffer, FILL, sizeof buffer);
    DWORD n = GetProfileStringA("windows", "load", " ", buffer, sizeof buffer);
    struct {
        const char *result;
        int count;
        const char *result_wine;
        int count_wine;
    } missing = {"", 0, " ", 1};
    ok((int)n == EXPECTED(missing, count) && strcmp(buffer, EXPECTED(missing, result)) == 0,
       "missing load, default \" \": %s (%u); want %s -- the uninstaller drops a lone-blank "
       "result, so a missing line is saved empty on both",
       show(buffer), (unsigned)n, show(EXPECTED(missing, result)));
    ok(WriteProfileStringA("windows", "load", line) != FALSE, "writing a missing load key");
    n = GetProfileStringA("windows", "load", " ", buffer, sizeof buffer);
    ok(strcmp(buffer, line) == 0 && n == strlen(line), "read back: %s (%u)", show(buffer),
       (unsigned)n);
    ok(WriteProfileStringA("windows", "load", "C:\\WINDOWS\\CLOCK.EXE") != FALSE,
       "replacing its value");
    n = GetProfileStringA("windows", "load", " ", buffer, sizeof buffer);
    ok(strcmp(buffer, "C:\\WINDOWS\\CLOCK.EXE") == 0, "read back: %s (%u)", show(buffer),
       (unsigned)n);
}

/* ---- Short paths and temporary names --------------------------------------------------- */

/* Every component after "C:\" is an 8.3 name: 1 to 8 characters, then optionally a dot and 1
 * to 3 characters, no blanks. */
int is_short_path(const char *path) {
    if (strncmp(path, "C:\\", 3) != 0 && strncmp(path, "c:\\", 3) != 0)
        return 0;
    const char *p = path + 3;
    while (*p) {
        int name = 0, extension = -1;
        for (; *p && *p != '\\'; p++) {
            if (*p == ' ')
                return 0;
            if (*p == '.') {
                if (extension >= 0)
                    return 0;
                extension = 0;
            } else if (extension >= 0) {
                extension++;
            } else {
                name++;
            }
        }
        if (name < 1 || name > 8 || extension == 0 || extension > 3)
            return 0;
        if (*p == '\\')
            p++;
    }
    return 1;
}

int count_components(const char *path) {
    int n = 0;
    for (; *path; path++)
        n += *path == '\\';
    return n;
}

void check_short_paths() {
    section("Short paths: GetShortPathNameA (aliases are the platform's own: Wine hashes them)");
    static const char folder[] = "C:\\Conformance Folder";
    static const char long_path[] = "C:\\Conformance Folder\\Long File Name.text";
    CreateDirectoryA(folder, NULL);
    ok(write_text(long_path, "long file"), "set-up: %s written", show(long_path));

    char short_path[PATH_CAPACITY];
    DWORD n = GetShortPathNameA(long_path, short_path, PATH_CAPACITY);
    char content[32];
    int length = n > 0 && n < PATH_CAPACITY ? read_bytes(short_path, content, sizeof content) : -1;
    ok(n > 0 && n < PATH_CAPACITY && n == strlen(short_path) && is_short_path(short_path) &&
           count_components(short_path) == count_components(long_path) &&
           same_bytes(content, length, "long file", 9),
       "long names: %s (%u), every component 8.3, and it opens the same file", show(short_path),
       (unsigned)n);

    DWORD needed = GetShortPathNameA(long_path, short_path, 4);
    ok(needed == n + 1,
       "capacity 4: %u; want %u, the length with its zero (more than the "
       "capacity: the caller sees that it did not fit)",
       (unsigned)needed, (unsigned)(n + 1));

    char ini[PATH_CAPACITY];
    windows_path(ini, "CONFORM.INI");
    n = GetShortPathNameA(ini, short_path, PATH_CAPACITY);
    ok(n == strlen(ini) && lstrcmpiA(short_path, ini) == 0,
       "an 8.3 path is its own short path: %s (%u)", show(short_path), (unsigned)n);

    /* A relative name stays relative; its full path joins it to the current directory. */
    SetCurrentDirectoryA(folder);
    n = GetShortPathNameA("Long File Name.text", short_path, PATH_CAPACITY);
    length = n > 0 && n < PATH_CAPACITY ? read_bytes(short_path, content, sizeof content) : -1;
    char as_path[PATH_CAPACITY + 3] = "C:\\";
    lstrcatA(as_path, short_path);
    ok(n > 0 && n < PATH_CAPACITY && is_short_path(as_path) && strchr(short_path, '\\') == NULL &&
           strchr(short_path, ':') == NULL && same_bytes(content, length, "long file", 9),
       "a relative name, %s current: %s (%u), one 8.3 name, no folder, and it opens the file",
       show(folder), show(short_path), (unsigned)n);
    char full_path[PATH_CAPACITY];
    char *file_part = NULL;
    n = GetFullPathNameA("Long File Name.text", PATH_CAPACITY, full_path, &file_part);
    ok(n == strlen(long_path) && strcmp(full_path, long_path) == 0 && file_part != NULL &&
           strcmp(file_part, "Long File Name.text") == 0,
       "GetFullPathNameA of it: %s (%u), file part %s", show(full_path), (unsigned)n,
       show(file_part));
    n = GetFullPathNameA("..\\Sub\\.\\x.exe", PATH_CAPACITY, full_path, NULL);
    ok(n == 12 && strcmp(full_path, "C:\\Sub\\x.exe") == 0,
       "GetFullPathNameA(\"..\\\\Sub\\\\.\\\\x.exe\"): %s (%u), the disk not looked at",
       show(full_path), (unsigned)n);
    n = GetFullPathNameA("Long File Name.text", 4, full_path, NULL);
    ok(n == strlen(long_path) + 1, "capacity 4: %u; want %u, the length with its zero", (unsigned)n,
       (unsigned)(strlen(long_path) + 1));
    SetCurrentDirectoryA(windows_directory);

    struct {
        const char *path;
        DWORD error;
    } missing[] = {
        {"C:\\Conformance Folder\\Missing File.text", ERROR_FILE_NOT_FOUND},
        {"C:\\Conformance Folder\\MISSING.TXT", ERROR_FILE_NOT_FOUND},
    };
    for (const auto &r : missing) {
        SetLastError(0);
        n = GetShortPathNameA(r.path, short_path, PATH_CAPACITY);
        DWORD error = GetLastError();
        ok(n == 0 && error == r.error, "missing file %s: %u, error %u; want 0, error %u",
           show(r.path), (unsigned)n, (unsigned)error, (unsigned)r.error);
    }
}

int is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

/* `name` is <windows directory>\uns<4 hex digits>.tmp, ignoring letter case. */
int is_temp_name(const char *name) {
    int directory = (int)strlen(windows_directory);
    char expected[PATH_CAPACITY], start[PATH_CAPACITY];
    windows_path(expected, "uns");
    if ((int)strlen(name) != directory + 12)
        return 0;
    lstrcpynA(start, name, directory + 5);
    if (lstrcmpiA(start, expected) != 0)
        return 0;
    for (int i = directory + 4; i < directory + 8; i++)
        if (!is_hex_digit(name[i]))
            return 0;
    return lstrcmpiA(name + directory + 8, ".tmp") == 0;
}

void check_temp_names() {
    section("Temporary names: GetTempFileNameA(Windows directory, \"unst\", 0)");
    char first[PATH_CAPACITY], second[PATH_CAPACITY];
    char content[8];
    UINT unique = GetTempFileNameA(windows_directory, "unst", 0, first);
    int length = unique ? read_bytes(first, content, sizeof content) : -1;
    ok(unique != 0 && is_temp_name(first) && length == 0,
       "%s (%u): three letters of the prefix, four hexadecimal digits, .TMP; created empty",
       show(first), unique);
    unique = GetTempFileNameA(windows_directory, "unst", 0, second);
    ok(unique != 0 && is_temp_name(second) && lstrcmpiA(first, second) != 0,
       "a second call while the first file exists: %s", show(second));
    ok(DeleteFileA(first) && DeleteFileA(second), "both deleted");
    SetLastError(0);
    unique = GetTempFileNameA("C:\\Missing Folder", "unst", 0, first);
    ok(unique == 0, "in a missing folder: %u (error %u); want 0", unique, (unsigned)GetLastError());
}

/* ---- First-match search with a wildcard ------------------------------------------------- */

void check_wildcards() {
    section("First-match search: FindFirstFileA(\"km*.*\") in the current directory");
    struct {
        const char *folder;
        const char *entries[3]; /* a trailing backslash makes a folder */
        const char *result;     /* the name found, NULL for none */
    } rows[] = {
        {"C:\\KmSearch\\Program", {"KMW48PM.EXE", NULL}, "KMW48PM.EXE"},
        {"C:\\KmSearch\\Small", {"kmw48pm.exe", NULL}, "kmw48pm.exe"},
        {"C:\\KmSearch\\NoDot", {"kmfile", NULL}, "kmfile"},
        {"C:\\KmSearch\\Bare", {"km", NULL}, "km"},
        {"C:\\KmSearch\\Folder", {"KMDIR\\", NULL}, "KMDIR"},
        {"C:\\KmSearch\\Long", {"Km Long Name.document", NULL}, "Km Long Name.document"},
        {"C:\\KmSearch\\Others", {"readme.txt", "xkm.exe", "k.m"}, NULL},
        {"C:\\KmSearch\\Empty", {NULL}, NULL},
    };
    CreateDirectoryA("C:\\KmSearch", NULL);
    for (const auto &r : rows) {
        CreateDirectoryA(r.folder, NULL);
        char listing[200] = "";
        for (int i = 0; i < 3 && r.entries[i] != NULL; i++) {
            char path[PATH_CAPACITY];
            lstrcpyA(path, r.folder);
            lstrcatA(path, "\\");
            lstrcatA(path, r.entries[i]);
            int length = lstrlenA(path);
            if (path[length - 1] == '\\') {
                path[length - 1] = '\0';
                CreateDirectoryA(path, NULL);
            } else {
                write_text(path, "x");
            }
            lstrcatA(listing, i ? ", " : "");
            lstrcatA(listing, r.entries[i]);
        }
        WIN32_FIND_DATAA found;
        SetCurrentDirectoryA(r.folder);
        HANDLE search = FindFirstFileA("km*.*", &found);
        const char *name = search != INVALID_HANDLE_VALUE ? found.cFileName : NULL;
        ok(r.result ? name != NULL && strcmp(name, r.result) == 0 : name == NULL,
           "folder holding {%s}: %s; want %s", listing, show(name), show(r.result));
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
    SetCurrentDirectoryA(windows_directory);
}

/* ---- C library text mode ----------------------------------------------------------------- */

char piece[8192];

/* Reads `path` in text mode in pieces of `capacity` and joins them, each followed by '|'. */
int read_pieces(const char *path, int capacity, char *joined, int joined_capacity) {
    FILE *f = _fsopen(path, "r", _SH_DENYNO);
    if (f == NULL)
        return -1;
    int n = 0;
    while (fgets(piece, capacity, f) != NULL) {
        int length = (int)strlen(piece);
        if (n + length + 1 >= joined_capacity)
            break;
        memcpy(joined + n, piece, (size_t)length);
        n += length;
        joined[n++] = '|';
    }
    fclose(f);
    joined[n] = '\0';
    return n;
}

void check_text_mode_reads() {
    section("C library text mode: _fsopen(\"r\", _SH_DENYNO) and fgets");
    struct {
        const char *input;
        int capacity;
        const char *pieces; /* each piece followed by '|' */
    } rows[] = {
        {"one\r\ntwo\r\n", 64, "one\n|two\n|"},
        {"a\rb\r\n", 64, "a\rb\n|"},
        {"x\r", 64, "x\r|"},
        {"\r\r\n", 64, "\r\n|"},
        {"last line", 64, "last line|"},
        {"ab\r\ncd", 3, "ab|\n|cd|"},
        {"abcdef\r\n", 4, "abc|def|\n|"},
        {"one\r\n\x1atwo\r\n", 64, "one\n|"},
        {"one\x1a", 64, "one|"},
        {"\x1a\r\n", 64, ""},
        {"tab\there\n", 64, "tab\there\n|"},
    };
    char joined[256];
    for (const auto &r : rows) {
        write_text("C:\\Conform\\TEXT.INI", r.input);
        int n = read_pieces("C:\\Conform\\TEXT.INI", r.capacity, joined, sizeof joined);
        ok(n >= 0 && strcmp(joined, r.pieces) == 0, "%s in pieces of %d: %s; want %s",
           show(r.input), r.capacity, show(joined), show(r.pieces));
    }

    /* Lines of every length from 0 to 600 bytes: each CR LF falls somewhere else in the C
     * library's buffers.  Read in pieces of 512, as the deletion list reads wininit.ini. */
    int length = 0, lf_length = 0, pieces_wanted = 0;
    static char lf_text[FILE_CAPACITY];
    for (int line = 0; line <= 600; line++) {
        for (int i = 0; i < line; i++) {
            char c = (char)('a' + (line + i) % 26);
            file_bytes[length++] = c;
            lf_text[lf_length++] = c;
        }
        file_bytes[length++] = '\r';
        file_bytes[length++] = '\n';
        lf_text[lf_length++] = '\n';
        pieces_wanted += (line + 1 + 510) / 511;
    }
    write_bytes("C:\\Conform\\LONG.INI", file_bytes, length);
    FILE *f = _fsopen("C:\\Conform\\LONG.INI", "r", _SH_DENYNO);
    int read = 0, pieces = 0, same = f != NULL;
    while (f != NULL && fgets(piece, 512, f) != NULL) {
        int n = (int)strlen(piece);
        same = same && read + n <= lf_length && memcmp(lf_text + read, piece, (size_t)n) == 0;
        read += n;
        pieces++;
    }
    if (f != NULL)
        fclose(f);
    ok(same && read == lf_length && pieces == pieces_wanted,
       "lines of 0 to 600 bytes (%d bytes with CR LF) in pieces of 512: %d bytes in %d pieces, "
       "the text with LF line ends; want %d bytes in %d pieces",
       length, read, pieces, lf_length, pieces_wanted);

    /* A zero byte inside a line: fgets stores the bytes, its terminator and nothing more. */
    write_bytes("C:\\Conform\\ZERO.INI", "a\0b\r\nc", 6);
    f = _fsopen("C:\\Conform\\ZERO.INI", "r", _SH_DENYNO);
    memset(piece, FILL, 16);
    int got = f != NULL && fgets(piece, 16, f) != NULL;
    ok(got && same_bytes(piece, 5, "a\0b\n", 5) && untouched(piece, 5, 16),
       "\"a\\0b\\r\\nc\" in pieces of 16: first piece %s, the buffer beyond its terminator "
       "untouched (the rewrite finds a piece's length by the last zero)",
       show(piece, 16));
    got = got && fgets(piece, 16, f) != NULL;
    ok(got && strcmp(piece, "c") == 0, "second piece %s", show(piece));
    if (f != NULL)
        fclose(f);
}

void check_text_mode_writes() {
    section("C library text mode: _fsopen(\"w+\", _SH_DENYNO), fputs, fputc, fwrite");
    FILE *f = _fsopen("C:\\Conform\\OUT.INI", "w+", _SH_DENYNO);
    if (f != NULL) {
        fputs("a\nb", f);
        fputc('\n', f);
        fwrite("c\n\n", 1, 3, f);
        fputs("x\r\n", f);
        fwrite("z\0z", 1, 3, f);
        fclose(f);
    }
    char bytes[64];
    int length = read_bytes("C:\\Conform\\OUT.INI", bytes, sizeof bytes);
    static const char want[] = "a\r\nb\r\nc\r\n\r\nx\r\r\nz\0z";
    ok(same_bytes(bytes, length, want, (int)sizeof want - 1),
       "each LF written becomes CR LF, nothing else changes: %s; want %s", show(bytes, length),
       show(want, (int)sizeof want - 1));

    /* Another program may open the file while it is being read. */
    write_text("C:\\Conform\\SHARED.INI", "[rename]\r\n");
    FILE *reading = _fsopen("C:\\Conform\\SHARED.INI", "r", _SH_DENYNO);
    FILE *writing = _fsopen("C:\\Conform\\SHARED.INI", "a", _SH_DENYNO);
    ok(reading != NULL && writing != NULL,
       "a file open for reading with _SH_DENYNO can be opened for writing too: %s, %s",
       reading ? "read open" : "read refused", writing ? "write open" : "write refused");
    /* ... and write to it while it is open for reading: the reader gets what was written. */
    int appended =
        writing != NULL && fputs("NUL=C:\\OTHER.TMP\n", writing) >= 0 && fclose(writing) == 0;
    writing = NULL;
    char joined[128] = "";
    if (reading) {
        int n = 0;
        while (fgets(piece, 64, reading) != NULL && n + (int)strlen(piece) < 100) {
            lstrcpyA(joined + n, piece);
            n += (int)strlen(piece);
        }
    }
    ok(appended && strcmp(joined, "[rename]\nNUL=C:\\OTHER.TMP\n") == 0,
       "a line written and closed by the other handle while the file is open for reading: "
       "read %s",
       show(joined));
    if (reading)
        fclose(reading);

    /* A file that another program holds open for writing (sharing reads and writes) can
     * still be opened for reading and for writing. */
    FILE *holder = _fsopen("C:\\Conform\\SHARED.INI", "a", _SH_DENYNO);
    FILE *reader = _fsopen("C:\\Conform\\SHARED.INI", "r", _SH_DENYNO);
    FILE *writer = _fsopen("C:\\Conform\\SHARED.INI", "w+", _SH_DENYNO);
    ok(holder != NULL && reader != NULL && writer != NULL,
       "while another handle holds the file open for writing with _SH_DENYNO: \"r\" %s, "
       "\"w+\" %s",
       reader ? "opens" : "refused", writer ? "opens" : "refused");
    if (writer)
        fclose(writer);
    if (reader)
        fclose(reader);
    if (holder)
        fclose(holder);
}

/* ---- C library text routines -------------------------------------------------------------- */

/* The Program Manager's reply to a group request is split at commas with strtok and its item
 * count converted with strtol. */
void check_c_library_text() {
    section("C library: strtok at commas, strtol in base 10");
    struct {
        const char *input;
        const char *tokens; /* each token followed by '|' */
    } token_rows[] = {
        {"\"Orvane Type2\",C:\\WINDOWS\\ORVANE.GRP,0,0,0,0,0",
         "\"Orvane Type2\"|C:\\WINDOWS\\ORVANE.GRP|0|0|0|0|0|"},
        {",,a,,,b,c,", "a|b|c|"},
        {"a", "a|"},
        {",,,", ""},
        {"", ""},
        {"a b,\tc\r\n,d", "a b|\tc\r\n|d|"},
    };
    char text[128];
    char joined[128];
    for (const auto &r : token_rows) {
        lstrcpyA(text, r.input);
        int n = 0;
        joined[0] = '\0';
        for (char *token = strtok(text, ","); token != NULL; token = strtok(NULL, ",")) {
            lstrcpyA(joined + n, token);
            n += (int)strlen(token);
            joined[n++] = '|';
            joined[n] = '\0';
        }
        ok(strcmp(joined, r.tokens) == 0, "strtok(%s, \",\"): %s; want %s", show(r.input),
           show(joined), show(r.tokens));
    }

    struct {
        const char *input;
        long value;
        int used; /* bytes taken by the conversion */
    } number_rows[] = {
        {"0", 0, 1},
        {" 0", 0, 2},
        {"\t\n 7 items", 7, 4},
        {"0,1", 0, 1},
        {"3abc", 3, 1},
        {"-1", -1, 2},
        {"+2", 2, 2},
        {"abc", 0, 0},
        {"", 0, 0},
        {" ", 0, 0},
        {"- 1", 0, 0},
        {"007", 7, 3},
        {"0x10", 0, 1},
        {"2147483647", 2147483647L, 10},
        /* too large for any long: the largest (or smallest) long, never 0 */
        {"99999999999999999999", LONG_MAX, 20},
        {"-99999999999999999999", LONG_MIN, 21},
    };
    for (const auto &r : number_rows) {
        char *end = NULL;
        long value = strtol(r.input, &end, 10);
        int used = (int)(end - r.input);
        ok(value == r.value && used == r.used, "strtol(%s, 10): %ld, %d bytes used; want %ld, %d",
           show(r.input), value, used, r.value, r.used);
    }
}

/* ---- String table ------------------------------------------------------------------------ */

void check_load_string(HINSTANCE instance) {
    section("LoadStringA in code page 932 (language 1041 table)");
    struct {
        UINT id;
        int capacity;
        const char *result;
        int count;
    } rows[] = {
        {1, 64, "AB\x8A\xBF\x8E\x9A", 6},
        {1, 6, "AB\x8A\xBF", 4},
        {1, 5, "AB\x8A\xBF", 4},
        {1, 4, "AB", 2},
        {1, 3, "AB", 2},
        {1, 2, "A", 1},
        {2, 4, "\xB1\xDD\xB2", 3},
        {3, 256, "Orvane Type2 \xCC\xDF\xD8\xDD\xC4\xCF\xC8\xB0\xBC\xDE\xAC", 24},
        {4, 64, "line one\nline two", 17},
    };
    for (const auto &r : rows) {
        char buffer[300];
        memset(buffer, FILL, sizeof buffer);
        int n = LoadStringA(instance, r.id, buffer, r.capacity);
        ok(n == r.count && strcmp(buffer, r.result) == 0 &&
               untouched(buffer, r.capacity, (int)sizeof buffer),
           "row %u, capacity %d: %s (%d); want %s (%d)", r.id, r.capacity, show(buffer), n,
           show(r.result), r.count);
    }
    char buffer[16];
    memset(buffer, FILL, sizeof buffer);
    int n = LoadStringA(instance, 99, buffer, sizeof buffer);
    ok(n == 0, "a row that does not exist: %d, buffer %s", n,
       (unsigned char)buffer[0] == FILL ? "untouched" : show(buffer));
}

/* ---- Registry ------------------------------------------------------------------------ */

int key_exists(const char *path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int make_key(const char *path, const char *value_name) {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, value_name, 0, REG_SZ, (const BYTE *)"x", 2);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void check_registry() {
    section("Registry: RegDeleteKeyA on a key with subkeys");
    static const char driver[] = "Software\\Conformance\\Driver";
    static const char options[] = "Software\\Conformance\\Driver\\Options";
    ok(make_key(driver, "Driver") && make_key(options, "Resolution"), "set-up: %s with %s", driver,
       options);
    struct {
        LONG result;
        int exists;
        LONG result_wine;
        int exists_wine;
    } with_subkeys = {ERROR_SUCCESS, 0, ERROR_ACCESS_DENIED, 1};
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, driver);
    int exists = key_exists(driver);
    ok(result == EXPECTED(with_subkeys, result) && exists == EXPECTED(with_subkeys, exists),
       "key with a subkey: %ld, key %s; want %ld, %s -- the driver key must go with its "
       "subkeys: the uninstaller deletes the subkeys first when the one call is refused",
       (long)result, exists ? "stays" : "gone", (long)EXPECTED(with_subkeys, result),
       EXPECTED(with_subkeys, exists) ? "stays" : "gone");

    /* How the uninstaller gets the whole tree deleted on both: when the one call is refused,
     * the subkeys go first, then the key. */
    ok(make_key(driver, "Driver") && make_key(options, "Resolution"), "set-up again: %s with %s",
       driver, options);
    HKEY key;
    char name[256] = "";
    LONG listed = RegOpenKeyExA(HKEY_LOCAL_MACHINE, driver, 0, KEY_ALL_ACCESS, &key);
    LONG leaf = listed;
    if (listed == ERROR_SUCCESS) {
        DWORD size = sizeof name;
        listed = RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL);
        leaf = listed == ERROR_SUCCESS ? RegDeleteKeyA(key, name) : listed;
        RegCloseKey(key);
    }
    ok(listed == ERROR_SUCCESS && strcmp(name, "Options") == 0 && leaf == ERROR_SUCCESS,
       "its subkey listed (%s) and deleted: %ld", show(name), (long)leaf);
    result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, driver);
    ok(result == ERROR_SUCCESS && !key_exists(driver), "then the key itself: %ld", (long)result);
    ok(!key_exists(options), "no subkey is left behind");
    result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, driver);
    ok(result == ERROR_FILE_NOT_FOUND, "a missing key: %ld; want %d", (long)result,
       (int)ERROR_FILE_NOT_FOUND);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conformance");

    section("Registry: the shared count, any value of at most 4 bytes read into a DWORD");
    static const char shared[] = "Software\\Conformance\\SharedDLLs";
    struct {
        DWORD type;
        const char *bytes;
        DWORD size;
        DWORD count;
    } rows[] = {
        {REG_DWORD, "\x02\x00\x00\x00", 4, 2},
        {REG_BINARY, "\x03\x00\x00\x00", 4, 3},
        {REG_BINARY, "\x05\x01", 2, 0x105},
    };
    HKEY counts;
    DWORD disposition;
    ok(RegCreateKeyExA(HKEY_LOCAL_MACHINE, shared, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &counts,
                       &disposition) == ERROR_SUCCESS,
       "set-up: %s", shared);
    for (const auto &r : rows) {
        static const char value_name[] = "C:\\WINDOWS\\SYSTEM\\hvq.386";
        RegSetValueExA(counts, value_name, 0, r.type, (const BYTE *)r.bytes, r.size);
        DWORD count = 0, type = 0, size = sizeof count;
        result = RegQueryValueExA(counts, value_name, NULL, &type, (LPBYTE)&count, &size);
        ok(result == ERROR_SUCCESS && count == r.count && size == r.size,
           "type %u of %u bytes: %ld, count %u, size %u; want count %u", (unsigned)r.type,
           (unsigned)r.size, (long)result, (unsigned)count, (unsigned)size, (unsigned)r.count);
    }
    RegCloseKey(counts);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, shared);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conformance");
}

/* ---- Spooler ----------------------------------------------------------------------------- */

const PRINTER_INFO_2A *find_record(const PRINTER_INFO_2A *records, DWORD count, const char *name) {
    for (DWORD i = 0; i < count; i++)
        if (records[i].pPrinterName != NULL && lstrcmpiA(records[i].pPrinterName, name) == 0)
            return &records[i];
    return NULL;
}

int inside(const char *text, const BYTE *block, DWORD size) {
    return text != NULL && (const BYTE *)text >= block && (const BYTE *)text < block + size &&
           (const BYTE *)text + strlen(text) < block + size;
}

BYTE printer_block[16384];

void check_spooler() {
    section("Spooler: EnumPrintersA(PRINTER_ENUM_LOCAL, level 2), size query then read");
    DWORD needed = 12345, count = 12345;
    SetLastError(0);
    BOOL result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    ok(result && needed == 0 && count == 0,
       "no printers: %d, needed %u, %u records; want TRUE, 0, 0 (the uninstaller examines no "
       "printer when the size is 0)",
       result, (unsigned)needed, (unsigned)count);

    static const char lpt[] = "Conform LPT", network[] = "Conform Net", busy[] = "Conform Busy";
    ok(add_printer(lpt, "LPT1:", "Orvane Type2", 0) &&
           add_printer(network, "\\\\faxserver\\fax", "Orvane Type2", 0) &&
           add_printer(busy, "LPT2:", "Orvane Type1", 1),
       "set-up: three printers, one of them with a queued job");

    SetLastError(0);
    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    DWORD error = GetLastError();
    ok(!result && error == ERROR_INSUFFICIENT_BUFFER && needed > 3 * sizeof(PRINTER_INFO_2A) &&
           needed <= sizeof printer_block && count == 0,
       "size query: %d, error %u, needed %u, %u records; want FALSE, %d, more than 3 records",
       result, (unsigned)error, (unsigned)needed, (unsigned)count, (int)ERROR_INSUFFICIENT_BUFFER);
    if (needed > sizeof printer_block)
        return;

    DWORD again = 0;
    SetLastError(0);
    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed - 1, &again, &count);
    error = GetLastError();
    ok(!result && error == ERROR_INSUFFICIENT_BUFFER && again == needed,
       "one byte short: %d, error %u, needed %u", result, (unsigned)error, (unsigned)again);

    memset(printer_block, 0, sizeof printer_block);
    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed, &again, &count);
    const PRINTER_INFO_2A *records = (const PRINTER_INFO_2A *)printer_block;
    ok(result && count == 3, "read with the size asked for: %d, %u records", result,
       (unsigned)count);
    int strings_inside = 1;
    for (DWORD i = 0; i < count; i++)
        strings_inside = strings_inside && inside(records[i].pPrinterName, printer_block, needed) &&
                         inside(records[i].pPortName, printer_block, needed) &&
                         inside(records[i].pDriverName, printer_block, needed) &&
                         (const BYTE *)records[i].pPrinterName >=
                             printer_block + count * sizeof(PRINTER_INFO_2A);
    ok(strings_inside, "the records from the block's start, every name they point at inside "
                       "the block after them");

    struct {
        const char *name, *port, *driver;
        DWORD jobs;
        DWORD jobs_wine;
    } rows[] = {
        {lpt, "LPT1:", "Orvane Type2", 0, 0},
        {network, "\\\\faxserver\\fax", "Orvane Type2", 0, 0},
        {busy, "LPT2:", "Orvane Type1", 1, 0},
    };
    for (const auto &r : rows) {
        const PRINTER_INFO_2A *record = find_record(records, count, r.name);
        DWORD want_jobs = EXPECTED(r, jobs);
        ok(record != NULL && strcmp(record->pPortName, r.port) == 0 &&
               strcmp(record->pDriverName, r.driver) == 0 && record->cJobs == want_jobs,
           "%s: port %s, driver %s, %u jobs; want %s, %s, %u%s", show(r.name),
           record ? show(record->pPortName) : "-", record ? show(record->pDriverName) : "-",
           record ? (unsigned)record->cJobs : 0, show(r.port), show(r.driver), (unsigned)want_jobs,
           r.jobs != r.jobs_wine
               ? " -- a printer with queued jobs must stay: Wine's spooler never counts jobs, "
                 "so the Wine scenarios put a spooler that reports them (spoolproxy.cpp) "
                 "beside the uninstaller, and the native suite sets the count"
               : "");
    }
    end_printer_jobs();
}

/* ---- Upper-casing ------------------------------------------------------------------------ */

void check_upper_case() {
    section("CharUpperBuffA on code page 932 text");
    struct {
        const char *input;
        int length;
        const char *result;
        const char *result_wine;
        const char *need;
    } rows[] = {
        {"c:\\kmw48pm.exe", 14, "C:\\KMW48PM.EXE", "C:\\KMW48PM.EXE", NULL},
        {"c:\\\x83\x61pp\\pmsetup.exe", 19, "C:\\\x83\x61PP\\PMSETUP.EXE",
         "C:\\\x83\x61PP\\PMSETUP.EXE", NULL},
        {"\xB1\xDD\xB2pmsetup", 10, "\xB1\xDD\xB2PMSETUP", "\xB1\xDD\xB2PMSETUP", NULL},
        {"pmsetup.exe\0old", 15, "PMSETUP.EXE\0OLD", "PMSETUP.EXE\0OLD", NULL},
        {"\x82\x81\x82\x60x", 5, "\x82\x81\x82\x60X", "\x82\x60\x82\x60X",
         "full-width letters: the launcher only looks for the ASCII text PMSETUP, and the "
         "file system finds a name in either case"},
    };
    for (const auto &r : rows) {
        char buffer[64];
        memset(buffer, FILL, sizeof buffer);
        memcpy(buffer, r.input, (size_t)r.length);
        DWORD n = CharUpperBuffA(buffer, (DWORD)r.length);
        const char *want = EXPECTED(r, result);
        ok(n == (DWORD)r.length && same_bytes(buffer, r.length, want, r.length) &&
               untouched(buffer, r.length, (int)sizeof buffer),
           "%s (%d bytes): %s (%u); want %s%s%s", show(r.input, r.length), r.length,
           show(buffer, r.length), (unsigned)n, show(want, r.length), r.need ? " -- " : "",
           r.need ? r.need : "");
    }

    /* The setup launcher upper-cases its whole file-name buffer, then asks for the short path
     * of what it holds: the name must still lead to the file. */
    static const char chosen[] = "C:\\Conform\\\x82\x81pmsetup.exe";
    char buffer[PATH_CAPACITY];
    char short_path[PATH_CAPACITY];
    memset(buffer, 0, sizeof buffer);
    lstrcpyA(buffer, chosen);
    int written = write_text(chosen, "MZ");
    CharUpperBuffA(buffer, PATH_CAPACITY);
    DWORD n = GetShortPathNameA(buffer, short_path, PATH_CAPACITY);
    int fits = n > 0 && n < PATH_CAPACITY;
    char content[8];
    int length = fits ? read_bytes(short_path, content, sizeof content) : -1;
    ok(written && strstr(buffer, "PMSETUP") != NULL && fits && same_bytes(content, length, "MZ", 2),
       "%s upper-cased over %d bytes: %s; its short path %s (%u) opens the file", show(chosen),
       PATH_CAPACITY, show(buffer), fits ? show(short_path) : "(none)", (unsigned)n);
}

} // namespace

int main() {
    HINSTANCE instance = start_platform();
    GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    printf("Win32 conformance on %s; Windows directory %s\n", platform_names[current_platform],
           windows_directory);
    check_profiles();
    check_profile_cut_in_a_character();
    check_name_without_folder();
    check_win_ini();
    check_short_paths();
    check_temp_names();
    check_wildcards();
    check_text_mode_reads();
    check_text_mode_writes();
    check_c_library_text();
    check_load_string(instance);
    check_registry();
    check_spooler();
    check_upper_case();
    printf("\n%d passed, %d failed\n", passed, failed);
    end_platform();
    return failed ? 1 : 0;
}
