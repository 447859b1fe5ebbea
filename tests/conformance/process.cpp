/* process.cpp: processes, windows and memory. */
#include "conformance.h"

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
