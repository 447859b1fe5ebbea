/* program_start.cpp: the start of a graphical program without MinGW's C runtime start-up.
 *
 * The programs are linked against CRTDLL.DLL, the C library of every Windows 95 (msvcrt.dll
 * came only with Windows 98 and with later add-ons), which sets itself up when it is loaded:
 * the start needs no more than WinMain's arguments, and WinMain's result goes to CRTDLL's
 * exit, as a return from WinMain does in any C program: it flushes and closes whatever files
 * are still open, then ends the process.  MinGW's own start-up objects would bring msvcrt.dll,
 * Pentium Pro instructions and a TLS directory. */
#include <windows.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

/* The command line after the program's name (quoted or not) and the blanks that follow it. */
static LPSTR arguments_of(LPSTR command_line) {
    LPSTR p = command_line;
    if (*p == '"') {
        for (p++; *p != '\0' && *p != '"'; p++)
            ;
        if (*p == '"')
            p++;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            p++;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    return p;
}

extern "C" void WinMainCRTStartup() {
    STARTUPINFOA startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(WinMain(GetModuleHandleA(NULL), NULL, arguments_of(GetCommandLineA()), show));
}
