/* text.cpp: texts: the string table, upper-casing, the Win32 text routines. */
#include "conformance.h"

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
        int whole = n == (DWORD)r.length && untouched(buffer, r.length, (int)sizeof buffer);
        todo_wine_ok(whole && same_bytes(buffer, r.length, r.result, r.length),
                     whole && same_bytes(buffer, r.length, r.result_wine, r.length),
                     "%s (%d bytes): %s (%u); want %s%s%s", show(r.input, r.length), r.length,
                     show(buffer, r.length), (unsigned)n, show(r.result, r.length),
                     r.need ? " -- " : "", r.need ? r.need : "");
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
