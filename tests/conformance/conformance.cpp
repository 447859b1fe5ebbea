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
#include <ddeml.h>
#include <share.h>
#include <stdarg.h>
#include <limits.h>
#include <stdlib.h>
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
    FILE_CAPACITY = 524288,
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

/* A started copy of the program writes its own file name here. */
const char CHILD_MARKER[] = "C:\\Conform\\CHILD.TXT";

/* ---- What differs in setting up the machine ------------------------------------------- */

#ifdef CONFORMANCE_STAND_IN

HINSTANCE start_platform() {
    current_platform = STAND_IN;
    winsim_reset();
    winsim_make_dir("C:\\Conform\\Bin");
    return winsim_start_program("C:\\Conform\\Bin\\CONFORM.EXE", conformance_strings,
                                "CONFORM.EXE");
}

void end_platform() {
    winsim_cleanup();
}

int run_as_child() {
    return 0;
}

/* A program at `path` that, started, writes its own file name into CHILD_MARKER. */
int install_child(const char *path) {
    std::string own = path;
    winsim_install_program(path, [own](const std::string &) {
        write_text(CHILD_MARKER, own.c_str());
        return (DWORD)0;
    });
    return 1;
}

void set_read_only(const char *path, int read_only) {
    winsim_set_read_only(path, read_only != 0);
}

/* Whether write opens and copies go through a read-only attribute (never on Windows). */
int read_only_is_overwritten() {
    return 0;
}

HWND open_window(const char *title) {
    return winsim_open_window(title);
}

void close_window(HWND window) {
    winsim_close_window(window);
}

int add_unused_driver(const char *driver) {
    winsim_add_printer_driver(driver);
    return 1;
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

/* Started as a copy of itself with the argument "child" (check_processes): writes its own
 * file name into CHILD_MARKER and ends. */
int run_as_child() {
    const char *line = GetCommandLineA();
    int n = (int)strlen(line);
    while (n > 0 && line[n - 1] == ' ')
        n--;
    if (n < 6 || strncmp(line + n - 6, " child", 6) != 0)
        return 0;
    char own[PATH_CAPACITY];
    DWORD length = GetModuleFileNameA(NULL, own, PATH_CAPACITY);
    write_bytes(CHILD_MARKER, own, length < PATH_CAPACITY ? (int)length : 0);
    return 1;
}

int install_child(const char *path) {
    char own[PATH_CAPACITY];
    DWORD n = GetModuleFileNameA(NULL, own, PATH_CAPACITY);
    return n > 0 && n < PATH_CAPACITY && CopyFileA(own, path, FALSE);
}

void set_read_only(const char *path, int read_only) {
    SetFileAttributesA(path, read_only ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

/* Wine maps the read-only attribute to the Unix write permission, which root does not need:
 * as root, write opens and copies go through it.  Z: is the host's root folder. */
int read_only_is_overwritten() {
    FILE *f = _fsopen("Z:\\proc\\self\\status", "r", _SH_DENYNO);
    char line[256];
    int root = 0;
    while (f != NULL && fgets(line, sizeof line, f) != NULL)
        if (strncmp(line, "Uid:", 4) == 0)
            root = strtol(line + 4, NULL, 10) == 0;
    if (f != NULL)
        fclose(f);
    return current_platform == WINE && root;
}

/* A hidden top-level window with the title, as another program's would be. */
HWND open_window(const char *title) {
    WNDCLASSA window_class;
    ZeroMemory(&window_class, sizeof window_class);
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "ConformanceWindow";
    RegisterClassA(&window_class);
    return CreateWindowExA(0, "ConformanceWindow", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL,
                           NULL, window_class.hInstance, NULL);
}

void close_window(HWND window) {
    DestroyWindow(window);
}

int add_driver(const char *driver);

int add_unused_driver(const char *driver) {
    return add_driver(driver);
}

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
                        "Kanji=AB\x8A\xBF\x8E\x9A\r\n"
                        "Quoted=\"in quotes \"\r\n"
                        "  Spaced  =x\r\n"
                        "[Other]\r\n"
                        "Key=other\r\n"
                        "[general]\r\n"
                        "Second=in a second section of the same name\r\n"),
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
        {"CONFORM.INI", "General", "Quoted", " ", 64, "in quotes ", 10, "in quotes ", 10, NULL},
        {"CONFORM.INI", "General", "Spaced", " ", 64, "x", 1, "x", 1, NULL},
        {"CONFORM.INI", "Other", "Key", " ", 64, "other", 5, "other", 5, NULL},
        {"CONFORM.INI", "General", "Second", "d", 64, "d", 1, "d", 1, NULL},
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

/* WriteProfileStringA of the load line: the rest of win.ini is the user's. */
void check_win_ini_bytes() {
    section("win.ini: WriteProfileStringA(\"windows\", \"load\", ...) and the file's other bytes");
    char win_ini[PATH_CAPACITY];
    windows_path(win_ini, "WIN.INI");
    struct {
        const char *before, *value, *after;
    } rows[] = {
        {"[windows]\r\nload=a b\r\nrun=\r\n", "A", "[windows]\r\nload=A\r\nrun=\r\n"},
        {"[windows]\r\nrun=\r\n\r\n[x]\r\n", "v", "[windows]\r\nrun=\r\nload=v\r\n\r\n[x]\r\n"},
        {"[x]\r\ny=1", "v", "[x]\r\ny=1\r\n[windows]\r\nload=v\r\n"},
        {"", "v", "[windows]\r\nload=v\r\n"},
        {"[Windows]\r\nLOAD=old\r\n", "new", "[Windows]\r\nLOAD=new\r\n"},
        {"[windows]\r\nload=x\r\nrun=y\r\n", NULL, "[windows]\r\nrun=y\r\n"},
    };
    static char before[FILE_CAPACITY];
    int saved = read_bytes(win_ini, before, FILE_CAPACITY);
    for (const auto &r : rows) {
        /* Windows 95 holds profile changes in its cache until they are flushed. */
        WriteProfileStringA(NULL, NULL, NULL);
        write_text(win_ini, r.before);
        BOOL written = WriteProfileStringA("windows", "load", r.value);
        WriteProfileStringA(NULL, NULL, NULL);
        /* Wine keeps win.ini's [windows] section in the registry: the file stays as it was. */
        const char *want = current_platform == WINE ? r.before : r.after;
        int length = read_bytes(win_ini, file_bytes, FILE_CAPACITY);
        ok(written && same_bytes(file_bytes, length, want, (int)strlen(want)),
           "%s, load=%s: %d, win.ini %s; want %s%s", show(r.before), show(r.value), written,
           show(file_bytes, length > 0 ? length : 0), show(want),
           current_platform == WINE ? " -- Wine keeps [windows] in the registry: the Wine "
                                      "scenarios read the load line through the profile calls"
                                    : "");
    }
    if (saved >= 0)
        write_bytes(win_ini, before, saved);
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

    /* Two long names alike in their first characters: two aliases, each its own file. */
    static const char type1[] = "C:\\Conformance Folder\\Orvane Type1.text";
    static const char type2[] = "C:\\Conformance Folder\\Orvane Type2.text";
    char alias1[PATH_CAPACITY] = "", alias2[PATH_CAPACITY] = "";
    int written = write_text(type2, "two") && write_text(type1, "one");
    GetShortPathNameA(type1, alias1, PATH_CAPACITY);
    GetShortPathNameA(type2, alias2, PATH_CAPACITY);
    char one[8], two[8];
    int one_length = read_bytes(alias1, one, sizeof one);
    int two_length = read_bytes(alias2, two, sizeof two);
    ok(written && lstrcmpiA(alias1, alias2) != 0 && same_bytes(one, one_length, "one", 3) &&
           same_bytes(two, two_length, "two", 3),
       "\"Orvane Type1.text\" and \"Orvane Type2.text\" in one folder: %s and %s, each opening "
       "its own file",
       show(alias1), show(alias2));

    /* A search pattern matches an alias too: the name found is the long one. */
    char pattern[PATH_CAPACITY];
    lstrcpyA(pattern, alias1);
    char *dot = strrchr(pattern, '.');
    if (dot != NULL)
        lstrcpyA(dot, ".*");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    const char *alias_part = strrchr(alias1, '\\');
    int matched = search != INVALID_HANDLE_VALUE;
    ok(matched && strcmp(found.cFileName, "Orvane Type1.text") == 0 && alias_part != NULL &&
           lstrcmpiA(found.cAlternateFileName, alias_part + 1) == 0,
       "FindFirstFileA(%s): %s, alias %s; want \"Orvane Type1.text\", its alias", show(pattern),
       matched ? show(found.cFileName) : "none", matched ? show(found.cAlternateFileName) : "-");
    if (matched)
        FindClose(search);
    DeleteFileA(type1);
    DeleteFileA(type2);

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
        {"a\nb", 64, "a\n|b|"},
        {"", 64, ""},
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

    /* What follows a CR, and a Ctrl-Z, where a buffer of the C library (4 KiB in CRTDLL and
     * msvcrt) or of the stand-in (64 KiB) ends. */
    struct {
        int run; /* bytes of 'x' before the tail */
        const char *tail;
        int tail_length;
        const char *text; /* the tail as read */
    } edge_rows[] = {
        {4095, "\r\nend", 5, "\nend"}, {65535, "\r\nend", 5, "\nend"},  {65535, "\ry", 2, "\ry"},
        {65535, "\r\x1A\n", 3, "\r"},  {65535, "\r", 1, "\r"},          {4096, "\x1Az", 2, ""},
        {65536, "\x1Az", 2, ""},       {131071, "\r\n\r\n", 4, "\n\n"},
    };
    for (const auto &r : edge_rows) {
        memset(file_bytes, 'x', (size_t)r.run);
        memcpy(file_bytes + r.run, r.tail, (size_t)r.tail_length);
        write_bytes("C:\\Conform\\EDGE.INI", file_bytes, r.run + r.tail_length);
        f = _fsopen("C:\\Conform\\EDGE.INI", "r", _SH_DENYNO);
        int all = 0, runs_whole = f != NULL;
        while (f != NULL && fgets(piece, (int)sizeof piece, f) != NULL) {
            int n = (int)strlen(piece);
            memcpy(lf_text + all, piece, (size_t)n);
            all += n;
        }
        if (f != NULL)
            fclose(f);
        for (int i = 0; i < r.run && runs_whole; i++)
            runs_whole = i < all && lf_text[i] == 'x';
        int tail = all - r.run;
        ok(runs_whole && same_bytes(lf_text + r.run, tail, r.text, (int)strlen(r.text)),
           "%d bytes of x, then %s: read the x, then %s; want %s", r.run,
           show(r.tail, r.tail_length), tail >= 0 ? show(lf_text + r.run, tail) : "less",
           show(r.text));
    }

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

    /* One write of a large text: every LF becomes CR LF, wherever the buffers end. */
    static char text[FILE_CAPACITY], wanted[FILE_CAPACITY];
    static const int lines[] = {4095, 4096, 65534, 65535, 65536, 131071};
    for (int line : lines) {
        int n = 0, m = 0;
        for (int i = 0; i < 3 && n + line + 1 < (int)sizeof text; i++) {
            memset(text + n, 'a' + i, (size_t)line);
            memset(wanted + m, 'a' + i, (size_t)line);
            n += line;
            m += line;
            text[n++] = '\n';
            wanted[m++] = '\r';
            wanted[m++] = '\n';
        }
        f = _fsopen("C:\\Conform\\BIG.INI", "w+", _SH_DENYNO);
        size_t written = f != NULL ? fwrite(text, 1, (size_t)n, f) : 0;
        int closed = f != NULL && fclose(f) == 0;
        int got = read_bytes("C:\\Conform\\BIG.INI", file_bytes, FILE_CAPACITY);
        ok(written == (size_t)n && closed && same_bytes(file_bytes, got, wanted, m),
           "fwrite of %d bytes (lines of %d bytes and LF): %u taken, the file %d bytes; want "
           "%d, every LF as CR LF",
           n, line, (unsigned)written, got, m);
    }

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
        {1, 1, "", 0},
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

void check_registry_values() {
    section("Registry: RegOpenKeyExA, RegQueryValueExA, RegDeleteValueA, RegEnumKeyExA");
    static const char path[] = "Software\\Conformance\\InstallLocationsMRU";
    HKEY key = NULL, again = NULL;
    DWORD disposition;
    ok(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                       &disposition) == ERROR_SUCCESS,
       "set-up: HKEY_CURRENT_USER\\%s", path);
    LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\conformance\\installlocationsMRU", 0,
                                KEY_ALL_ACCESS, &again);
    ok(result == ERROR_SUCCESS, "opened by its name in other letter case: %ld", (long)result);
    if (result == ERROR_SUCCESS)
        RegCloseKey(again);
    result = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Conformance\\Missing", 0, KEY_ALL_ACCESS,
                           &again);
    ok(result == ERROR_FILE_NOT_FOUND, "a missing key: %ld; want %d", (long)result,
       (int)ERROR_FILE_NOT_FOUND);

    /* The default value before it is set. */
    char buffer[16];
    lstrcpyA(buffer, "kumquat");
    DWORD size = sizeof buffer, type = 0xDEAD;
    result = RegQueryValueExA(key, "", NULL, &type, (LPBYTE)buffer, &size);
    ok(result == ERROR_FILE_NOT_FOUND && type == REG_NONE && size == sizeof buffer &&
           strcmp(buffer, "kumquat") == 0,
       "the default value, not set: %ld, type 0x%X, size %u, buffer %s; want %d, type 0 "
       "(REG_NONE), size and buffer as they were",
       (long)result, (unsigned)type, (unsigned)size, show(buffer), (int)ERROR_FILE_NOT_FOUND);

    static const char location[] = "A:\\";
    RegSetValueExA(key, "a", 0, REG_SZ, (const BYTE *)location, sizeof location);
    RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE *)location, sizeof location);
    struct {
        const char *name;
        DWORD capacity;
        LONG result;
    } rows[] = {
        {"A", 2, ERROR_MORE_DATA}, {"a", 16, ERROR_SUCCESS},        {"", 16, ERROR_SUCCESS},
        {NULL, 16, ERROR_SUCCESS}, {"b", 16, ERROR_FILE_NOT_FOUND},
    };
    for (const auto &r : rows) {
        memset(buffer, FILL, sizeof buffer);
        size = r.capacity;
        type = 0;
        result = RegQueryValueExA(key, r.name, NULL, &type, (LPBYTE)buffer, &size);
        int value_ok = r.result == ERROR_SUCCESS
                           ? strcmp(buffer, location) == 0 && type == REG_SZ && size == 4
                       : r.result == ERROR_MORE_DATA ? size == 4
                                                     : 1;
        ok(result == r.result && value_ok,
           "value %s, capacity %u: %ld, size %u, type %u%s%s; want %ld", show(r.name),
           (unsigned)r.capacity, (long)result, (unsigned)size, (unsigned)type,
           result == ERROR_SUCCESS ? ", " : "", result == ERROR_SUCCESS ? show(buffer) : "",
           (long)r.result);
    }
    LONG first = RegDeleteValueA(key, "A");
    LONG second = RegDeleteValueA(key, "a");
    ok(first == ERROR_SUCCESS && second == ERROR_FILE_NOT_FOUND,
       "RegDeleteValueA: %ld; a second time %ld; want 0, %d", (long)first, (long)second,
       (int)ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Conformance");

    /* Subkeys listed by index, whatever their order. */
    ok(make_key("Software\\Conformance\\Top\\Beta", "v") &&
           make_key("Software\\Conformance\\Top\\alpha\\Deeper", "v"),
       "set-up: Software\\Conformance\\Top with subkeys Beta and alpha");
    int alpha = 0, beta = 0, sizes = 1;
    LONG end = ERROR_SUCCESS, short_buffer = ERROR_SUCCESS;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\conformance\\TOP", 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        char name[256];
        DWORD index = 0;
        for (; index < 4; index++) {
            size = sizeof name;
            if (RegEnumKeyExA(key, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            sizes = sizes && size == strlen(name);
            alpha += strcmp(name, "alpha") == 0;
            beta += strcmp(name, "Beta") == 0;
        }
        size = sizeof name;
        end = RegEnumKeyExA(key, 2, name, &size, NULL, NULL, NULL, NULL);
        size = 4; /* shorter than either name with its zero */
        short_buffer = RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL);
        RegCloseKey(key);
    }
    ok(alpha == 1 && beta == 1 && sizes && end == ERROR_NO_MORE_ITEMS &&
           short_buffer == ERROR_MORE_DATA,
       "RegEnumKeyExA: alpha %d, Beta %d (each with its length), index 2 %ld, capacity 4 %ld; "
       "want each once, %d, %d",
       alpha, beta, (long)end, (long)short_buffer, (int)ERROR_NO_MORE_ITEMS, (int)ERROR_MORE_DATA);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conformance\\Top\\alpha\\Deeper");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conformance\\Top\\alpha");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conformance\\Top\\Beta");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Conformance\\Top");
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
    memset(printer_block, FILL, sizeof printer_block);
    SetLastError(0);
    result = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed - 1, &again, &count);
    error = GetLastError();
    ok(!result && error == ERROR_INSUFFICIENT_BUFFER && again == needed &&
           untouched((const char *)printer_block, 0, (int)sizeof printer_block),
       "one byte short: %d, error %u, needed %u, the block untouched", result, (unsigned)error,
       (unsigned)again);

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
    int local = 1;
    for (DWORD i = 0; i < count; i++)
        local = local && records[i].pServerName == NULL;
    ok(strings_inside && local &&
           untouched((const char *)printer_block, (int)needed, (int)sizeof printer_block),
       "the records from the block's start, every name they point at inside the block after "
       "them, no server name (local printers), nothing written past the size asked for");

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

void check_spooler_deletions() {
    section("Spooler: OpenPrinterA, DeletePrinter, DeletePrinterDriverA");
    HANDLE printer = NULL;
    char lpt_other_case[] = "CONFORM lpt", missing[] = "Conform Missing";
    BOOL opened = OpenPrinterA(lpt_other_case, &printer, NULL);
    BOOL deleted = opened && DeletePrinter(printer);
    BOOL closed = opened && ClosePrinter(printer);
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    int listed =
        needed <= sizeof printer_block &&
        EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, printer_block, needed, &needed, &count) &&
        find_record((const PRINTER_INFO_2A *)printer_block, count, "Conform LPT");
    ok(opened && deleted && closed && !listed,
       "an idle printer opened by its name in other letter case (%d), deleted (%d), closed "
       "(%d): %s",
       opened, deleted, closed, listed ? "still listed" : "no longer listed");
    SetLastError(0);
    opened = OpenPrinterA(missing, &printer, NULL);
    DWORD error = GetLastError();
    ok(!opened && error == ERROR_INVALID_PRINTER_NAME,
       "OpenPrinterA of a printer that does not exist: %d, error %u; want FALSE, %d", opened,
       (unsigned)error, (int)ERROR_INVALID_PRINTER_NAME);

    ok(add_unused_driver("Conform Unused") && add_unused_driver("Conform Unused 2") &&
           add_unused_driver("Conform Unused 3"),
       "set-up: three drivers without printers");
    struct {
        const char *server, *environment, *driver;
        BOOL result;
        DWORD error;
        BOOL result_wine;
        DWORD error_wine;
        const char *need;
    } rows[] = {
        {NULL, NULL, "Conform Unused", TRUE, 0, TRUE, 0, NULL},
        {NULL, "Windows 4.0", "conform unused 2", TRUE, 0, FALSE, 0,
         "Wine files a driver added without an environment under \"Windows NT x86\": the "
         "uninstaller names none"},
        {NULL, "Windows NT x86", "Conform Unused 3", FALSE, ERROR_INVALID_ENVIRONMENT, TRUE, 0,
         "as above"},
        {NULL, NULL, "Conform Missing", FALSE, ERROR_UNKNOWN_PRINTER_DRIVER, FALSE, 0,
         "Wine sets no error: only the failure counts, the uninstaller goes on either way"},
        {NULL, NULL, "Orvane Type2", FALSE, ERROR_PRINTER_DRIVER_IN_USE, TRUE, 0,
         "a driver with a printer left must stay: the uninstaller deletes it only when no "
         "printer of it is left, so it never asks Wine for this"},
    };
    for (const auto &r : rows) {
        char environment[32], driver[64];
        if (r.environment != NULL)
            lstrcpyA(environment, r.environment);
        lstrcpyA(driver, r.driver);
        SetLastError(0);
        BOOL result = DeletePrinterDriverA(NULL, r.environment ? environment : NULL, driver);
        error = GetLastError();
        BOOL want = EXPECTED(r, result);
        DWORD want_error = EXPECTED(r, error);
        ok(result == want && (want || error == want_error),
           "DeletePrinterDriverA(%s, %s): %d, error %u; want %d, error %u%s%s", show(r.environment),
           show(r.driver), result, (unsigned)error, want, (unsigned)want_error,
           r.need ? " -- " : "", r.need ? r.need : "");
    }
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

/* ---- Files: attributes, copies, moves, deletions --------------------------------------- */

/* A file of bytes that text mode would change, so that a copy made in text mode shows. */
const char COPIED_BYTES[] = "line\r\n\x1A\0end";
const int COPIED_LENGTH = (int)sizeof COPIED_BYTES - 1;

int file_holds(const char *path, const char *bytes, int length) {
    int n = read_bytes(path, file_bytes, FILE_CAPACITY);
    return same_bytes(file_bytes, n, bytes, length);
}

void remove_file(const char *path) {
    set_read_only(path, 0);
    DeleteFileA(path);
}

enum target_state { TARGET_MISSING, TARGET_OTHER, TARGET_READ_ONLY };

void check_file_calls() {
    section("Files: GetFileAttributesA, CopyFileA, MoveFileA, DeleteFileA");
    static const char data[] = "C:\\Conform\\Files\\Data.Txt";
    CreateDirectoryA("C:\\Conform", NULL);
    CreateDirectoryA("C:\\Conform\\Files", NULL);
    ok(write_text(data, "x"), "set-up: %s written", show(data));
    struct {
        const char *path;
        DWORD attributes;
    } attribute_rows[] = {
        {data, FILE_ATTRIBUTE_ARCHIVE},
        {"c:\\CONFORM\\files\\DATA.TXT", FILE_ATTRIBUTE_ARCHIVE},
        {"C:/Conform/Files/Data.Txt", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Conform\\Files", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\Conform\\Files\\Missing.txt", INVALID_FILE_ATTRIBUTES},
        {"C:\\Conform\\Missing\\Data.Txt", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto &r : attribute_rows) {
        DWORD attributes = GetFileAttributesA(r.path);
        ok(attributes == r.attributes, "GetFileAttributesA(%s): 0x%X; want 0x%X", show(r.path),
           (unsigned)attributes, (unsigned)r.attributes);
    }

    /* The uninstaller copies boot files whole and puts them back with CopyFileA. */
    static const char source[] = "C:\\Conform\\Files\\A.BIN",
                      target[] = "C:\\Conform\\Files\\B.BIN";
    int overwritten = read_only_is_overwritten();
    struct {
        const char *from, *to;
        BOOL fail_if_exists;
        target_state before;
        BOOL result;
        DWORD error;
    } copy_rows[] = {
        {source, target, FALSE, TARGET_MISSING, TRUE, 0},
        {source, target, FALSE, TARGET_OTHER, TRUE, 0},
        {source, target, TRUE, TARGET_MISSING, TRUE, 0},
        {source, target, TRUE, TARGET_OTHER, FALSE, ERROR_FILE_EXISTS},
        {source, target, FALSE, TARGET_READ_ONLY, FALSE, ERROR_ACCESS_DENIED},
        {"C:\\Conform\\Files\\None.bin", target, FALSE, TARGET_OTHER, FALSE, ERROR_FILE_NOT_FOUND},
        {source, "C:\\Conform\\Missing\\B.BIN", FALSE, TARGET_MISSING, FALSE, ERROR_PATH_NOT_FOUND},
    };
    static const char *const states[] = {"missing", "other bytes", "read-only, other bytes"};
    for (const auto &r : copy_rows) {
        write_bytes(source, COPIED_BYTES, COPIED_LENGTH);
        remove_file(r.to);
        if (r.before != TARGET_MISSING)
            write_text(r.to, "other");
        if (r.before == TARGET_READ_ONLY)
            set_read_only(r.to, 1);
        int through_read_only = r.before == TARGET_READ_ONLY && overwritten;
        BOOL want = through_read_only ? TRUE : r.result;
        SetLastError(0);
        BOOL result = CopyFileA(r.from, r.to, r.fail_if_exists);
        DWORD error = GetLastError();
        int copied = file_holds(r.to, COPIED_BYTES, COPIED_LENGTH);
        int kept = r.before == TARGET_MISSING ? GetFileAttributesA(r.to) == INVALID_FILE_ATTRIBUTES
                                              : file_holds(r.to, "other", 5);
        ok(result == want && (want ? copied : error == r.error && kept),
           "CopyFileA(%s, %s, %s), target %s: %d, error %u, target %s; want %d%s%s", show(r.from),
           show(r.to), r.fail_if_exists ? "TRUE" : "FALSE", states[r.before], result,
           (unsigned)error,
           copied ? "holds the copy"
           : kept ? "as it was"
                  : "changed",
           want, want ? ", the bytes copied as they are" : ", the target as it was",
           through_read_only ? " -- Wine as root writes through the read-only attribute (as an "
                               "ordinary user it refuses with 5): the uninstaller checks the "
                               "attribute itself before it replaces a file"
                             : "");
        remove_file(r.to);
    }
    /* A large copy, in more than one block of every size the platforms use. */
    int large = 200000;
    for (int i = 0; i < large; i++)
        file_bytes[i] = (char)(i * 7 + i / 251);
    static char large_bytes[FILE_CAPACITY];
    memcpy(large_bytes, file_bytes, (size_t)large);
    write_bytes(source, large_bytes, large);
    ok(CopyFileA(source, target, FALSE) && file_holds(target, large_bytes, large),
       "CopyFileA of %d bytes: the copy holds every byte", large);
    remove_file(target);

    /* A finished copy takes its target's name with MoveFileA. */
    static const char moved[] = "C:\\Conform\\Moved\\C.BIN";
    CreateDirectoryA("C:\\Conform\\Moved", NULL);
    struct {
        const char *from, *to;
        int to_exists;
        BOOL result;
        DWORD error;
    } move_rows[] = {
        {source, target, 0, TRUE, 0},
        {source, moved, 0, TRUE, 0},
        {source, target, 1, FALSE, ERROR_ALREADY_EXISTS},
        {"C:\\Conform\\Files\\None.bin", target, 0, FALSE, ERROR_FILE_NOT_FOUND},
        {source, "C:\\Conform\\Missing\\B.BIN", 0, FALSE, ERROR_PATH_NOT_FOUND},
    };
    for (const auto &r : move_rows) {
        write_bytes(source, COPIED_BYTES, COPIED_LENGTH);
        remove_file(r.to);
        if (r.to_exists)
            write_text(r.to, "other");
        SetLastError(0);
        BOOL result = MoveFileA(r.from, r.to);
        DWORD error = GetLastError();
        int source_left = GetFileAttributesA(source) != INVALID_FILE_ATTRIBUTES;
        int target_holds = file_holds(r.to, COPIED_BYTES, COPIED_LENGTH);
        int target_kept = r.to_exists ? file_holds(r.to, "other", 5)
                                      : GetFileAttributesA(r.to) == INVALID_FILE_ATTRIBUTES;
        ok(result == r.result && (r.result ? !source_left && target_holds
                                           : error == r.error && target_kept &&
                                                 (r.from != source ||
                                                  file_holds(source, COPIED_BYTES, COPIED_LENGTH))),
           "MoveFileA(%s, %s)%s: %d, error %u; source %s, target %s; want %d, error %u",
           show(r.from), show(r.to), r.to_exists ? ", target exists" : "", result, (unsigned)error,
           source_left ? "left" : "gone",
           target_holds  ? "holds the bytes"
           : target_kept ? "as it was"
                         : "changed",
           r.result, (unsigned)r.error);
        remove_file(r.to);
    }
    remove_file(source);

    struct {
        const char *path;
        target_state state;
        BOOL result;
        DWORD error;
    } delete_rows[] = {
        {target, TARGET_OTHER, TRUE, 0},
        {target, TARGET_MISSING, FALSE, ERROR_FILE_NOT_FOUND},
        {target, TARGET_READ_ONLY, FALSE, ERROR_ACCESS_DENIED},
        {"C:\\Conform\\Missing\\B.BIN", TARGET_MISSING, FALSE, ERROR_PATH_NOT_FOUND},
        {"C:\\Conform\\Moved", TARGET_MISSING, FALSE, ERROR_ACCESS_DENIED},
    };
    for (const auto &r : delete_rows) {
        if (r.state != TARGET_MISSING)
            write_text(r.path, "other");
        if (r.state == TARGET_READ_ONLY)
            set_read_only(r.path, 1);
        SetLastError(0);
        BOOL result = DeleteFileA(r.path);
        DWORD error = GetLastError();
        DWORD attributes = GetFileAttributesA(r.path);
        int still_there = r.state != TARGET_MISSING && attributes != INVALID_FILE_ATTRIBUTES;
        ok(result == r.result &&
               (r.result ? attributes == INVALID_FILE_ATTRIBUTES
                         : error == r.error && still_there == (r.state != TARGET_MISSING)),
           "DeleteFileA(%s), %s: %d, error %u; want %d, error %u", show(r.path), states[r.state],
           result, (unsigned)error, r.result, (unsigned)r.error);
        remove_file(r.path);
    }

    /* A write open of a read-only file: the rewrite of a boot file must not get through. */
    write_text(target, "other");
    set_read_only(target, 1);
    FILE *f = _fsopen(target, "w+", _SH_DENYNO);
    int opened = f != NULL;
    if (f != NULL)
        fclose(f);
    ok(opened == overwritten && (opened || file_holds(target, "other", 5)),
       "_fsopen(read-only file, \"w+\"): %s; want %s%s", opened ? "opened" : "refused",
       overwritten ? "opened" : "refused, the file as it was",
       overwritten ? " -- Wine as root (see the CopyFileA row)" : "");
    remove_file(target);
}

/* ---- Folders ------------------------------------------------------------------------------ */

void check_folders() {
    section("Folders: CreateDirectoryA, SetCurrentDirectoryA, RemoveDirectoryA, FindNextFileA");
    static const char full[] = "C:\\Conform\\Full", empty[] = "C:\\Conform\\Empty";
    static const char current[] = "C:\\Conform\\Current";
    CreateDirectoryA(full, NULL);
    write_text("C:\\Conform\\Full\\a.txt", "x");
    CreateDirectoryA(current, NULL);
    ok(SetCurrentDirectoryA(current), "set-up: %s current", current);

    SetLastError(0);
    BOOL made = CreateDirectoryA(empty, NULL);
    ok(made && GetFileAttributesA(empty) == FILE_ATTRIBUTE_DIRECTORY, "CreateDirectoryA(%s): %d",
       show(empty), made);
    struct {
        int remove; /* RemoveDirectoryA, else SetCurrentDirectoryA or CreateDirectoryA */
        int create;
        const char *path;
        DWORD error;
    } failing[] = {
        {0, 1, empty, ERROR_ALREADY_EXISTS},
        {0, 1, "C:\\Conform\\None\\Deeper", ERROR_PATH_NOT_FOUND},
        {0, 0, "C:\\Conform\\None", ERROR_FILE_NOT_FOUND},
        {0, 0, "C:\\Conform\\None\\Deeper", ERROR_PATH_NOT_FOUND},
        {0, 0, "C:\\Conform\\Full\\a.txt", ERROR_DIRECTORY},
        {0, 0, "", ERROR_INVALID_NAME},
        {1, 0, "C:\\Conform\\None", ERROR_FILE_NOT_FOUND},
        {1, 0, "C:\\Conform\\None\\Deeper", ERROR_PATH_NOT_FOUND},
        {1, 0, "C:\\Conform\\Full\\a.txt", ERROR_DIRECTORY},
        {1, 0, "", ERROR_INVALID_NAME},
        {1, 0, full, ERROR_DIR_NOT_EMPTY},
        {1, 0, current, ERROR_SHARING_VIOLATION},
        {1, 0, ".", ERROR_SHARING_VIOLATION},
    };
    for (const auto &r : failing) {
        SetLastError(0);
        BOOL result = r.remove   ? RemoveDirectoryA(r.path)
                      : r.create ? CreateDirectoryA(r.path, NULL)
                                 : SetCurrentDirectoryA(r.path);
        DWORD error = GetLastError();
        ok(!result && error == r.error, "%s(%s): %d, error %u; want FALSE, error %u",
           r.remove   ? "RemoveDirectoryA"
           : r.create ? "CreateDirectoryA"
                      : "SetCurrentDirectoryA",
           show(r.path), result, (unsigned)error, (unsigned)r.error);
    }
    char now[PATH_CAPACITY] = "";
    GetCurrentDirectoryA(PATH_CAPACITY, now);
    ok(lstrcmpiA(now, current) == 0 && GetFileAttributesA(full) == FILE_ATTRIBUTE_DIRECTORY,
       "after the failures: %s current, %s still there", show(now), show(full));

    BOOL removed = RemoveDirectoryA(empty);
    ok(removed && GetFileAttributesA(empty) == INVALID_FILE_ATTRIBUTES,
       "RemoveDirectoryA of an empty folder that is not current: %d, gone", removed);
    SetCurrentDirectoryA(windows_directory);
    removed = RemoveDirectoryA(current);
    ok(removed, "the folder that was current, once another is: %d", removed);

    /* The uninstaller finds its temporaries left by a run that was stopped. */
    static const char work[] = "C:\\Conform\\Work";
    CreateDirectoryA(work, NULL);
    static const char *const entries[] = {"uns1.tmp", "UNS2.TMP", "other.txt", "uns3.txt"};
    for (const char *entry : entries) {
        char path[PATH_CAPACITY];
        lstrcpyA(path, work);
        lstrcatA(path, "\\");
        lstrcatA(path, entry);
        write_text(path, "x");
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("C:\\Conform\\Work\\uns*.tmp", &found);
    int first_match = 0, second_match = 0, others = 0, count = 0;
    DWORD error = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            count++;
            if (lstrcmpiA(found.cFileName, "uns1.tmp") == 0)
                first_match++;
            else if (lstrcmpiA(found.cFileName, "uns2.tmp") == 0)
                second_match++;
            else
                others++;
        } while (count < 10 && FindNextFileA(search, &found));
        error = GetLastError();
        FindClose(search);
    }
    ok(first_match == 1 && second_match == 1 && others == 0 && error == ERROR_NO_MORE_FILES,
       "FindFirstFileA/FindNextFileA(\"uns*.tmp\") in a folder holding uns1.tmp, UNS2.TMP, "
       "other.txt, uns3.txt: %d names (uns1.tmp %d, UNS2.TMP %d, others %d), then error %u; "
       "want the two, then %d",
       count, first_match, second_match, others, (unsigned)error, (int)ERROR_NO_MORE_FILES);
}

/* ---- Processes ---------------------------------------------------------------------------- */

/* Starts `line` and waits for it; the started program's file name in `started` ("" when it
 * left none). */
BOOL start_and_wait(const char *line, char *started, DWORD *error) {
    char command[PATH_CAPACITY];
    lstrcpyA(command, line);
    DeleteFileA(CHILD_MARKER);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    SetLastError(0);
    BOOL result =
        CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    *error = GetLastError();
    if (result) {
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    int n = read_bytes(CHILD_MARKER, started, PATH_CAPACITY - 1);
    started[n > 0 ? n : 0] = '\0';
    return result;
}

/* Two names of one file, compared through their short paths (a program started by its alias
 * may see either). */
int same_file(const char *a, const char *b) {
    char short_a[PATH_CAPACITY], short_b[PATH_CAPACITY];
    DWORD n = GetShortPathNameA(a, short_a, PATH_CAPACITY);
    DWORD m = GetShortPathNameA(b, short_b, PATH_CAPACITY);
    return n > 0 && n < PATH_CAPACITY && m > 0 && m < PATH_CAPACITY &&
           lstrcmpiA(short_a, short_b) == 0;
}

void check_processes() {
    section("Processes: CreateProcessA(NULL, command line), where the program is found");
    enum { OWN, CURRENT, SYSTEM, WINDIR, PLACES };
    static const char *const place_names[] = {"the program's folder", "the current directory",
                                              "the system directory", "the Windows directory"};
    char places[PLACES][PATH_CAPACITY];
    DWORD n = GetModuleFileNameA(NULL, places[OWN], PATH_CAPACITY);
    char *slash = n > 0 && n < PATH_CAPACITY ? strrchr(places[OWN], '\\') : NULL;
    if (slash != NULL)
        *slash = '\0';
    lstrcpyA(places[CURRENT], "C:\\Conform\\Current");
    CreateDirectoryA(places[CURRENT], NULL);
    GetSystemDirectoryA(places[SYSTEM], PATH_CAPACITY);
    lstrcpyA(places[WINDIR], windows_directory);
    char copies[PLACES][PATH_CAPACITY];
    for (int i = 0; i < PLACES; i++) {
        lstrcpyA(copies[i], places[i]);
        lstrcatA(copies[i], "\\CONFCHLD.EXE");
    }
    ok(slash != NULL && SetCurrentDirectoryA(places[CURRENT]),
       "set-up: the program in %s, %s current", show(places[OWN]), show(places[CURRENT]));

    struct {
        int copies; /* a bit per place holding CONFCHLD.EXE */
        const char *line;
        int started; /* the place whose copy starts, -1 for none */
    } rows[] = {
        {1 << OWN | 1 << CURRENT | 1 << SYSTEM | 1 << WINDIR, "CONFCHLD.EXE child", OWN},
        {1 << CURRENT | 1 << SYSTEM | 1 << WINDIR, "CONFCHLD.EXE child", CURRENT},
        {1 << SYSTEM | 1 << WINDIR, "CONFCHLD.EXE child", SYSTEM},
        {1 << WINDIR, "CONFCHLD.EXE child", WINDIR},
        {1 << CURRENT, "confchld child", CURRENT},
        {0, "CONFCHLD.EXE child", -1},
    };
    for (const auto &r : rows) {
        int installed = 1;
        char listing[128] = "";
        for (int i = 0; i < PLACES; i++) {
            DeleteFileA(copies[i]);
            if (r.copies & (1 << i)) {
                installed = installed && install_child(copies[i]);
                lstrcatA(listing, listing[0] ? ", " : "");
                lstrcatA(listing, place_names[i]);
            }
        }
        char started[PATH_CAPACITY];
        DWORD error = 0;
        BOOL result = start_and_wait(r.line, started, &error);
        ok(installed && (r.started < 0 ? !result && error == ERROR_FILE_NOT_FOUND
                                       : result && same_file(started, copies[r.started])),
           "%s with a copy in {%s}: %d, error %u, started %s; want the one in %s", show(r.line),
           listing, result, (unsigned)error, show(started),
           r.started < 0 ? "none (error 2)" : place_names[r.started]);
    }
    for (int i = 0; i < PLACES; i++)
        DeleteFileA(copies[i]);
    SetCurrentDirectoryA(windows_directory);

    /* A path with blanks, quoted or not, and by its short alias. */
    static const char spaced[] = "C:\\Conformance Folder\\Child Program.exe";
    static const char prefix_program[] = "C:\\Conformance.exe";
    CreateDirectoryA("C:\\Conformance Folder", NULL);
    char alias_line[PATH_CAPACITY] = "";
    int installed = install_child(spaced);
    DWORD alias_length = GetShortPathNameA(spaced, alias_line, PATH_CAPACITY - 8);
    lstrcatA(alias_line, " child");
    struct {
        const char *line;
        int prefix_exists;
        const char *started;
    } path_rows[] = {
        {"\"C:\\Conformance Folder\\Child Program.exe\" child", 1, spaced},
        {"C:\\Conformance Folder\\Child Program.exe child", 0, spaced},
        {"C:\\Conformance Folder\\Child Program.exe child", 1, prefix_program},
        {alias_line, 1, spaced},
    };
    for (const auto &r : path_rows) {
        DeleteFileA(prefix_program);
        if (r.prefix_exists)
            installed = installed && install_child(prefix_program);
        char started[PATH_CAPACITY];
        DWORD error = 0;
        BOOL result = start_and_wait(r.line, started, &error);
        ok(installed && alias_length > 0 && result && same_file(started, r.started),
           "%s%s: %d, error %u, started %s; want %s", show(r.line),
           r.prefix_exists ? " with C:\\Conformance.exe there" : "", result, (unsigned)error,
           show(started), show(r.started));
    }
    DeleteFileA(prefix_program);
    DeleteFileA(spaced);

    /* A path given by its aliases names the long entries. */
    write_text("C:\\Conformance Folder\\Long File Name.text", "long file");
    char alias[PATH_CAPACITY], mixed[PATH_CAPACITY];
    n = GetShortPathNameA("C:\\Conformance Folder\\Long File Name.text", alias, PATH_CAPACITY);
    char *file_alias = n > 0 && n < PATH_CAPACITY ? strrchr(alias, '\\') : NULL;
    lstrcpyA(mixed, "C:\\Conformance Folder");
    lstrcatA(mixed, file_alias ? file_alias : "\\?");
    char folder_alias[PATH_CAPACITY];
    lstrcpyA(folder_alias, alias);
    if (file_alias != NULL)
        folder_alias[file_alias - alias] = '\0';
    DWORD a = GetFileAttributesA(alias), b = GetFileAttributesA(mixed),
          c = GetFileAttributesA(folder_alias);
    ok(file_alias != NULL && a == FILE_ATTRIBUTE_ARCHIVE && b == FILE_ATTRIBUTE_ARCHIVE &&
           c == FILE_ATTRIBUTE_DIRECTORY,
       "GetFileAttributesA of the aliases %s: 0x%X; %s: 0x%X; %s: 0x%X", show(alias), (unsigned)a,
       show(mixed), (unsigned)b, show(folder_alias), (unsigned)c);
}

/* ---- Windows ------------------------------------------------------------------------------ */

void check_find_window() {
    section("FindWindowA(NULL, title): a top-level window, found by its title");
    /* "Orvane プリンタ" (the trail byte of タ is '^') and "ャ" (trail byte 'a'). */
    static const char title[] = "Orvane \x83\x76\x83\x8A\x83\x93\x83\x5E KMW48";
    static const char small_ya[] = "\x83\x61";
    HWND window = open_window(title);
    HWND other = open_window(small_ya);
    ok(window != NULL && other != NULL, "set-up: hidden windows titled %s and %s", show(title),
       show(small_ya));
    struct {
        const char *title;
        HWND found;
    } rows[] = {
        {title, window},
        {"ORVANE \x83\x76\x83\x8A\x83\x93\x83\x5E kmw48", window},
        {"Orvane \x83\x76\x83\x8A\x83\x93\x83\x5E", NULL},
        {small_ya, other},
        {"\x83\x41", NULL}, /* ア: the trail byte in the other letter case */
    };
    for (const auto &r : rows) {
        HWND found = FindWindowA(NULL, r.title);
        ok(found == r.found, "%s: %s; want %s", show(r.title),
           found == NULL     ? "none"
           : found == window ? "the first"
           : found == other  ? "the second"
                             : "another",
           r.found == NULL     ? "none"
           : r.found == window ? "the first"
                               : "the second");
    }
    close_window(window);
    close_window(other);
    HWND found = FindWindowA(NULL, title);
    ok(found == NULL, "once the window is closed: %s", found ? "found" : "none");
}

/* ---- Memory ------------------------------------------------------------------------------- */

void check_memory() {
    section("GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT), GlobalLock, GlobalHandle, GlobalFree");
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4096);
    unsigned char *p = handle ? (unsigned char *)GlobalLock(handle) : NULL;
    int zero = p != NULL;
    for (int i = 0; p != NULL && i < 4096; i++)
        zero = zero && p[i] == 0;
    ok(handle != NULL && p != NULL && zero, "4096 bytes: handle %s, locked %s, all zero: %s",
       handle ? "given" : "none", p ? "at a pointer" : "failed", zero ? "yes" : "no");
    HGLOBAL again = p ? GlobalHandle(p) : NULL;
    ok(again == handle, "GlobalHandle of the locked pointer gives the handle back: %s",
       again == handle ? "yes" : "no");
    SetLastError(0);
    BOOL still_locked = GlobalUnlock(handle);
    DWORD error = GetLastError();
    ok(!still_locked && error == NO_ERROR, "GlobalUnlock of the one lock: %d, error %u",
       still_locked, (unsigned)error);
    HGLOBAL freed = GlobalFree(handle);
    ok(freed == NULL, "GlobalFree: %s", freed ? "failed" : "NULL");
}

/* ---- DDE management library --------------------------------------------------------------- */

HDDEDATA CALLBACK no_transactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return NULL;
}

void check_dde() {
    section("DDE management library as a client, no Program Manager running");
    DWORD instance = 0;
    UINT result = DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
    ok(result == DMLERR_NO_ERROR && instance != 0, "DdeInitializeA with a zero instance: %u",
       result);
    DWORD other = 12345;
    result = DdeInitializeA(&other, no_transactions, APPCMD_CLIENTONLY, 0);
    ok(result == DMLERR_INVALIDPARAMETER && other == 12345,
       "with an instance that is not zero (and not one of its own): %u, instance %u; want %d",
       result, (unsigned)other, (int)DMLERR_INVALIDPARAMETER);

    HSZ upper = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ lower = DdeCreateStringHandleA(instance, "progman", CP_WINANSI);
    ok(upper != NULL && upper == lower,
       "string handles of \"PROGMAN\" and \"progman\": one handle for both");
    BOOL first = DdeFreeStringHandle(instance, upper);
    BOOL second = DdeFreeStringHandle(instance, upper);
    ok(first && second, "freed as often as it was created: %d, %d", first, second);

    static char long_name[257];
    memset(long_name, 'n', 256);
    struct {
        int length;
        int code_page;
        int made;
    } rows[] = {{0, CP_WINANSI, 0}, {255, CP_WINANSI, 1}, {256, CP_WINANSI, 0}, {12, 0, 1}};
    for (const auto &r : rows) {
        char text[257];
        memcpy(text, long_name, (size_t)r.length);
        text[r.length] = '\0';
        HSZ handle = DdeCreateStringHandleA(instance, text, r.code_page);
        ok((handle != NULL) == r.made, "a string handle of %d bytes, code page %d: %s; want %s",
           r.length, r.code_page, handle ? "made" : "none", r.made ? "made" : "none");
        if (handle != NULL)
            DdeFreeStringHandle(instance, handle);
    }
    HSZ stray = DdeCreateStringHandleA(instance + 1, "PROGMAN", CP_WINANSI);
    ok(stray == NULL, "a string handle for an instance that does not exist: %s",
       stray ? "made" : "none");

    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, progman, progman, NULL);
    ok(conversation == NULL, "DdeConnect(PROGMAN, PROGMAN) with no server: %s",
       conversation ? "connected" : "none");
    BOOL ended = DdeUninitialize(instance);
    BOOL again = DdeUninitialize(instance);
    ok(ended && !again, "DdeUninitialize: %d; a second time: %d", ended, again);
}

/* ---- Win32 text routines ------------------------------------------------------------------ */

void check_win32_text() {
    section("lstrcmpiA, lstrlenA, wsprintfA");
    struct {
        const char *a, *b;
        int sign;
    } rows[] = {
        {"Orvane Type2", "ORVANE TYPE2", 0},
        {"Orvane", "Orvane Type2", -1},
        {"Orvane Type2", "Orvane", 1},
        {"\x83\x61", "\x83\x41", 2}, /* ャ and ア, either order: not letters to fold */
        {"\x83\x61", "\x83\x61", 0},
    };
    for (const auto &r : rows) {
        int result = lstrcmpiA(r.a, r.b);
        int sign = result < 0 ? -1 : result > 0 ? 1 : 0;
        ok(r.sign == 2 ? sign != 0 : sign == r.sign, "lstrcmpiA(%s, %s): %d; want %s", show(r.a),
           show(r.b), result,
           r.sign == 0   ? "0"
           : r.sign == 2 ? "not 0"
           : r.sign < 0  ? "< 0"
                         : "> 0");
    }
    int length = lstrlenA(NULL);
    ok(length == 0, "lstrlenA(NULL): %d", length);
    char out[1100];
    int n = wsprintfA(out, "%s\\%s", "C:\\WINDOWS", "KMW48.INI");
    ok(n == 20 && strcmp(out, "C:\\WINDOWS\\KMW48.INI") == 0, "wsprintfA(\"%%s\\\\%%s\"): %s (%d)",
       show(out), n);
    static char big[2001];
    memset(big, 'z', 2000);
    memset(out, FILL, sizeof out);
    n = wsprintfA(out, "%s", big);
    int ends = memchr(out, '\0', 1024) != NULL;
    ok(ends && untouched(out, 1024, (int)sizeof out),
       "wsprintfA of 2000 bytes: %d, %s, nothing written past 1024 bytes", n,
       ends ? "ended within them" : "not ended");
}

} // namespace

int main() {
    if (run_as_child())
        return 0;
    HINSTANCE instance = start_platform();
    GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    printf("Win32 conformance on %s; Windows directory %s\n", platform_names[current_platform],
           windows_directory);
    check_profiles();
    check_profile_cut_in_a_character();
    check_name_without_folder();
    check_win_ini();
    check_win_ini_bytes();
    check_short_paths();
    check_temp_names();
    check_wildcards();
    check_text_mode_reads();
    check_text_mode_writes();
    check_c_library_text();
    check_load_string(instance);
    check_registry();
    check_registry_values();
    check_spooler();
    check_spooler_deletions();
    check_upper_case();
    check_file_calls();
    check_folders();
    check_processes();
    check_find_window();
    check_memory();
    check_dde();
    check_win32_text();
    printf("\n%d passed, %d failed\n", passed, failed);
    end_platform();
    return failed ? 1 : 0;
}
