/* profile.cpp: the private-profile calls and win.ini. */
#include "conformance.h"

struct profile_row {
    const char *file, *section, *key, *default_text;
    int capacity;
    const char *result;
    int count;
    const char *result_wine;
    int count_wine;
    const char *need; /* what the system needs, where the platforms differ */
};

/* A profile read gave `text` with count `count`. */
static int read_as(const char *buffer, DWORD n, const char *text, int count) {
    return (int)n == count && strcmp(buffer, text) == 0;
}

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
        int kept = untouched(buffer, r.capacity, (int)sizeof buffer);
        todo_wine_ok(kept && read_as(buffer, n, r.result, r.count),
                     kept && read_as(buffer, n, r.result_wine, r.count_wine),
                     "%s [%s] %s, default %s, capacity %d: %s (%u); want %s (%d)%s%s", r.file,
                     r.section, r.key, show(r.default_text), r.capacity, show(buffer), (unsigned)n,
                     show(r.result), r.count, r.need ? " -- " : "", r.need ? r.need : "");
    }
}

/* A DBCS value cut by the capacity: where the cut falls inside a double-byte character.  The
 * stand-in's byte cut is the documented "at most capacity - 1 bytes", not measured on a real
 * Windows 95/98. */
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
        todo_wine_ok(
            read_as(buffer, n, r.result, r.count), read_as(buffer, n, r.result_wine, r.count_wine),
            "Kanji=AB\\x8A\\xBF\\x8E\\x9A, capacity %d, buffer filled with \\xCC: %s (%u); "
            "want %s (%d) -- the text must end within the buffer: the uninstaller "
            "clears its execute-file and start-up buffers before reading them (the "
            "others are read once, into zeroed memory), so on Wine the text ends before "
            "the cut character; the library uses its value only up to the print "
            "manager's file name",
            r.capacity, show(buffer), (unsigned)n, show(r.result), r.count);
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
    todo_wine_ok(read_as(buffer, n, "", 0), read_as(buffer, n, " ", 1),
                 "missing load, default \" \": %s (%u); want \"\" -- the uninstaller drops a "
                 "lone-blank result, so a missing line is saved empty on both",
                 show(buffer), (unsigned)n);
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
        int length = read_bytes(win_ini, file_bytes, FILE_CAPACITY);
        length = length > 0 ? length : 0;
        todo_wine_ok(written && same_bytes(file_bytes, length, r.after, (int)strlen(r.after)),
                     written && same_bytes(file_bytes, length, r.before, (int)strlen(r.before)),
                     "%s, load=%s: %d, win.ini %s; want %s -- Wine keeps [windows] in the "
                     "registry and leaves the file: the Wine scenarios read the load line "
                     "through the profile calls",
                     show(r.before), show(r.value), written, show(file_bytes, length),
                     show(r.after));
    }
    if (saved >= 0)
        write_bytes(win_ini, before, saved);
}
