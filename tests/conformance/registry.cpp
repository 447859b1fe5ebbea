/* registry.cpp: the registry. */
#include "conformance.h"

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
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, driver);
    int exists = key_exists(driver);
    todo_wine_ok(result == ERROR_SUCCESS && !exists, result == ERROR_ACCESS_DENIED && exists,
                 "key with a subkey: %ld, key %s; want 0, gone -- the driver key must go with "
                 "its subkeys: the uninstaller deletes the subkeys first when the one call is "
                 "refused",
                 (long)result, exists ? "stays" : "gone");

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
