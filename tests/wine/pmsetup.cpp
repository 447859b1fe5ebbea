/* pmsetup.cpp: stands in for the print manager's setup program PMSETUP.EXE.  It only
 * records that it ran: its command line, its own file and the current directory, appended
 * to the log named by the environment variable PMSETUP_LOG (the program is started without
 * arguments, so the log cannot be named on its command line). */
#include <windows.h>

#include "helpers.h"

using namespace helper;

namespace {

enum { PATH_CAPACITY = 260, LOG_NAME_CAPACITY = 520 };

char log_name[LOG_NAME_CAPACITY];
char path[PATH_CAPACITY];

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    DWORD n = GetEnvironmentVariableA("PMSETUP_LOG", log_name, LOG_NAME_CAPACITY);
    if (n == 0 || n >= LOG_NAME_CAPACITY || !log_open(log_name, 1))
        return 2;
    const char *command_line = GetCommandLineA();
    log_text("ran command=");
    log_hex(command_line, lstrlenA(command_line));
    GetModuleFileNameA(NULL, path, PATH_CAPACITY);
    log_text(" module=");
    log_hex(path, lstrlenA(path));
    GetCurrentDirectoryA(PATH_CAPACITY, path);
    log_text(" directory=");
    log_hex(path, lstrlenA(path));
    log_end();
    return 0;
}
