/* conformance.cpp: the checking helpers, what differs in setting up each platform, and main,
 * which runs every area of the conformance program (conformance.h). */
#include "conformance.h"

#ifdef CONFORMANCE_STAND_IN
extern const winsim_string_row conformance_strings[];
#endif

platform current_platform;
const char *const platform_names[] = {"stand-in (Windows 95/98)", "Wine", "Windows"};

int passed, failed, todo;

static void report(const char *mark, const char *file, int line, const char *format, va_list args) {
    printf("  %s", mark);
    if (file != NULL) {
        const char *name = strrchr(file, '/');
        printf("%s:%d: ", name != NULL ? name + 1 : file, line);
    }
    vprintf(format, args);
    printf("\n");
}

void ok_at(const char *file, int line, int condition, const char *format, ...) {
    va_list args;
    va_start(args, format);
    if (condition)
        passed++;
    else
        failed++;
    report(condition ? "ok    " : "FAIL  ", condition ? NULL : file, line, format, args);
    va_end(args);
}

void todo_wine_ok_at(const char *file, int line, int as_windows, int as_wine, const char *format,
                     ...) {
    va_list args;
    va_start(args, format);
    if (current_platform != WINE || as_windows == as_wine) {
        as_windows ? passed++ : failed++;
        report(as_windows ? "ok    " : "FAIL  ", as_windows ? NULL : file, line, format, args);
    } else if (as_wine) {
        passed++;
        todo++;
        report("todo  ", NULL, line, format, args);
    } else {
        failed++;
        report("FAIL  Wine now does as Windows 95/98, drop its Wine value: ", file, line, format,
               args);
    }
    va_end(args);
}

void section(const char *title) {
    printf("\n%s\n", title);
}

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

/* ---- Files, through the C library in binary mode ---- */

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

const char CHILD_MARKER[] = "C:\\Conform\\CHILD.TXT";

/* ---- What differs in setting up the machine ---- */

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
    if (todo > 0)
        printf("\n%d of the passed are known differences of Wine (todo)\n", todo);
    printf("\n%d passed, %d failed\n", passed, failed);
    end_platform();
    return failed ? 1 : 0;
}
