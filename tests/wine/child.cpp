/* child.cpp: plays the product's own removal command, which the uninstaller starts and
 * waits for.  It does the actions named on its command line, in order, and logs each with
 * its result, so that a test can tell that it ran and what it found.
 *
 * Usage: child LOG ACTION...
 *   remove-key    removes InstallPath from [General] of KMW48.INI (the usual removal)
 *   delete-ini    deletes KMW48.INI from the Windows directory
 *   lower-count   lowers the shared count of hvq.386 by one, as some removal commands do
 *   delete PATH   deletes a file
 *   exit N        ends at once with exit code N
 * Log lines: "ran", then "ACTION ok|failed error=N" (the counts read and written for
 * lower-count). */
#include <windows.h>

#include "helpers.h"

using namespace helper;

namespace {

enum { PATH_CAPACITY = 260 };

const char shared_dlls_key[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

char path[PATH_CAPACITY];

void log_result(const char *action, int ok) {
    log_text(action);
    log_text(ok ? " ok" : " failed error=");
    if (!ok)
        log_number((long)GetLastError());
    log_end();
}

void lower_count() {
    HKEY key;
    DWORD count = 0, size = sizeof count, type = 0;
    GetSystemDirectoryA(path, PATH_CAPACITY);
    lstrcatA(path, "\\hvq.386");
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, shared_dlls_key, 0, KEY_ALL_ACCESS, &key);
    if (opened != ERROR_SUCCESS) {
        SetLastError((DWORD)opened);
        log_result("lower-count", 0);
        return;
    }
    RegQueryValueExA(key, path, NULL, &type, (BYTE *)&count, &size);
    DWORD lowered = count > 0 ? count - 1 : 0;
    LONG set = RegSetValueExA(key, path, 0, REG_DWORD, (const BYTE *)&lowered, sizeof lowered);
    RegCloseKey(key);
    log_text("lower-count from=");
    log_number((long)count);
    log_text(" to=");
    log_number((long)lowered);
    log_text(set == ERROR_SUCCESS ? " ok" : " failed");
    log_end();
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || !log_open(argv[1], 1))
        return 2;
    log_text("ran");
    log_end();
    for (int i = 2; i < argc; i++) {
        const char *action = argv[i];
        if (lstrcmpA(action, "remove-key") == 0) {
            log_result(action,
                       WritePrivateProfileStringA("General", "InstallPath", NULL, "KMW48.INI"));
        } else if (lstrcmpA(action, "delete-ini") == 0) {
            GetWindowsDirectoryA(path, PATH_CAPACITY);
            lstrcatA(path, "\\KMW48.INI");
            log_result(action, DeleteFileA(path));
        } else if (lstrcmpA(action, "lower-count") == 0) {
            lower_count();
        } else if (lstrcmpA(action, "delete") == 0 && i + 1 < argc) {
            log_result(action, DeleteFileA(argv[++i]));
        } else if (lstrcmpA(action, "exit") == 0 && i + 1 < argc) {
            log_result(action, 1);
            return (int)to_number(argv[++i]);
        } else {
            log_text("unknown ");
            log_text(action);
            log_end();
            return 2;
        }
    }
    return 0;
}
