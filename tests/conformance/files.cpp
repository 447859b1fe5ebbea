/* files.cpp: files and folders: short paths, temporary names, wildcard search, attributes, copies,
 * moves, deletions, folders. */
#include "conformance.h"

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

/* `name` is <windows directory>\uns<hex digits>.tmp, ignoring letter case, with 4 digits or
 * (`fewest` below 4) as few as `fewest`. */
int is_temp_name(const char *name, int fewest) {
    int directory = (int)strlen(windows_directory);
    int digits = (int)strlen(name) - directory - 8;
    char expected[PATH_CAPACITY], start[PATH_CAPACITY];
    windows_path(expected, "uns");
    if (digits < fewest || digits > 4)
        return 0;
    lstrcpynA(start, name, directory + 5);
    if (lstrcmpiA(start, expected) != 0)
        return 0;
    for (int i = directory + 4; i < directory + 4 + digits; i++)
        if (!is_hex_digit(name[i]))
            return 0;
    return lstrcmpiA(name + directory + 4 + digits, ".tmp") == 0;
}

void check_temp_names() {
    section("Temporary names: GetTempFileNameA(Windows directory, \"unst\", 0)");
    char first[PATH_CAPACITY], second[PATH_CAPACITY];
    char content[8];
    UINT unique = GetTempFileNameA(windows_directory, "unst", 0, first);
    int length = unique ? read_bytes(first, content, sizeof content) : -1;
    /* Wine writes the number without leading zeros: below 0x1000, fewer than four digits.
     * Nothing in the system depends on the count of digits. */
    todo_wine_ok(unique != 0 && is_temp_name(first, 4) && length == 0,
                 unique != 0 && is_temp_name(first, 1) && length == 0,
                 "%s (%u): three letters of the prefix, four hexadecimal digits, .TMP; created "
                 "empty",
                 show(first), unique);
    unique = GetTempFileNameA(windows_directory, "unst", 0, second);
    todo_wine_ok(unique != 0 && is_temp_name(second, 4) && lstrcmpiA(first, second) != 0,
                 unique != 0 && is_temp_name(second, 1) && lstrcmpiA(first, second) != 0,
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
        SetLastError(0);
        BOOL result = CopyFileA(r.from, r.to, r.fail_if_exists);
        DWORD error = GetLastError();
        int copied = file_holds(r.to, COPIED_BYTES, COPIED_LENGTH);
        int kept = r.before == TARGET_MISSING ? GetFileAttributesA(r.to) == INVALID_FILE_ATTRIBUTES
                                              : file_holds(r.to, "other", 5);
        int as_windows = result == r.result && (result ? copied : error == r.error && kept);
        todo_wine_ok(
            as_windows, r.before == TARGET_READ_ONLY && overwritten ? result && copied : as_windows,
            "CopyFileA(%s, %s, %s), target %s: %d, error %u, target %s; want %d%s%s", show(r.from),
            show(r.to), r.fail_if_exists ? "TRUE" : "FALSE", states[r.before], result,
            (unsigned)error,
            copied ? "holds the copy"
            : kept ? "as it was"
                   : "changed",
            r.result, r.result ? ", the bytes copied as they are" : ", the target as it was",
            r.before == TARGET_READ_ONLY
                ? " -- Wine as root writes through the read-only attribute (as an "
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
    int refused = !opened && file_holds(target, "other", 5);
    todo_wine_ok(refused, overwritten ? opened : refused,
                 "_fsopen(read-only file, \"w+\"): %s; want refused, the file as it was -- Wine "
                 "as root opens it (see the CopyFileA row)",
                 opened ? "opened" : "refused");
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
