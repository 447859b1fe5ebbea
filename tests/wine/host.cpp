/* host.cpp: plays the host that installs printers and then calls the vendor-setup library;
 * for checking the harness itself it also shows the open-file dialog, or talks to the
 * Program Manager stand-in as a DDE client.
 *
 * Usage: host LOG call LIBRARY PRINTER-HEX [DIRECTORY]
 *          loads LIBRARY with LoadLibraryA, finds OrvaneSetup by name and by ordinal 1, makes
 *          DIRECTORY current (when given) and calls the export with the host's own window,
 *          the printer name and two reserved values.
 *        host LOG dialog
 *          shows the open-file dialog as the setup launcher does and logs what it returned.
 *        host LOG dde ITEM-HEX [COMMAND-HEX]
 *          connects to PROGMAN, requests ITEM as text, then sends COMMAND as an execute.
 * Log lines: "loaded ok|failed error=N", "export name=0|1 ordinal-same=0|1",
 * "result value=N balanced=0|1 directory=HEX", "dialog result=N file=HEX",
 * "connected 0|1", "reply data=HEX" or "reply none", "execute acknowledged=0|1". */
#include <windows.h>
#include <commdlg.h>
#include <ddeml.h>

#include "helpers.h"

using namespace helper;

/* Calls a four-argument routine and tells whether it removed its arguments from the stack,
 * as the standard calling convention of exported routines requires. */
extern "C" int call_and_check_stack(void *routine, HWND owner, DWORD reserved1, const char *printer,
                                    DWORD reserved2, int *balanced);
asm(".text\n"
    ".globl _call_and_check_stack\n"
    "_call_and_check_stack:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %esi\n"
    "    movl %esp, %esi\n"
    "    pushl 24(%ebp)\n"
    "    pushl 20(%ebp)\n"
    "    pushl 16(%ebp)\n"
    "    pushl 12(%ebp)\n"
    "    call *8(%ebp)\n"
    "    xorl %ecx, %ecx\n"
    "    cmpl %esp, %esi\n"
    "    sete %cl\n"
    "    movl 28(%ebp), %edx\n"
    "    movl %ecx, (%edx)\n"
    "    movl %esi, %esp\n"
    "    popl %esi\n"
    "    popl %ebp\n"
    "    ret\n");

namespace {

enum {
    NAME_CAPACITY = 512,
    PATH_CAPACITY = 260,
    REPLY_CAPACITY = 4096,
    RESERVED1 = 0x1234,
    RESERVED2 = 0x5678
};

char printer[NAME_CAPACITY];
char path[PATH_CAPACITY];
char chosen[PATH_CAPACITY];
char item[NAME_CAPACITY];
char command[NAME_CAPACITY];
char reply[REPLY_CAPACITY];

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcA(window, message, w, l);
}

HWND make_host_window() {
    WNDCLASSA window_class;
    ZeroMemory(&window_class, sizeof window_class);
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "PrinterInstallationHost";
    RegisterClassA(&window_class);
    return CreateWindowExA(0, "PrinterInstallationHost", "Printer installation",
                           WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 200, NULL, NULL,
                           window_class.hInstance, NULL);
}

int call_library(const char *library_path, const char *printer_hex, const char *directory) {
    if (!decode_hex(printer_hex, printer, NAME_CAPACITY))
        return 2;
    HMODULE library = LoadLibraryA(library_path);
    log_text(library ? "loaded ok" : "loaded failed error=");
    if (library == NULL)
        log_number((long)GetLastError());
    log_end();
    if (library == NULL)
        return 1;
    FARPROC by_name = GetProcAddress(library, "OrvaneSetup");
    FARPROC by_ordinal = GetProcAddress(library, MAKEINTRESOURCEA(1));
    log_text("export name=");
    log_number(by_name != NULL);
    log_text(" ordinal-same=");
    log_number(by_name != NULL && by_name == by_ordinal);
    log_end();
    if (by_name == NULL)
        return 1;
    if (directory != NULL)
        SetCurrentDirectoryA(directory);
    int balanced = 0;
    int result = call_and_check_stack((void *)by_name, make_host_window(), RESERVED1, printer,
                                      RESERVED2, &balanced);
    GetCurrentDirectoryA(PATH_CAPACITY, path);
    log_text("result value=");
    log_number(result);
    log_text(" balanced=");
    log_number(balanced);
    log_text(" directory=");
    log_hex(path, lstrlenA(path));
    log_end();
    return 0;
}

/* The open-file dialog with the settings of the setup launcher. */
int show_dialog() {
    OPENFILENAMEA settings;
    ZeroMemory(&settings, sizeof settings);
    settings.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    settings.hwndOwner = make_host_window();
    settings.lpstrFilter = "*.exe\0";
    settings.lpstrFile = chosen;
    settings.nMaxFile = PATH_CAPACITY;
    settings.lpstrTitle = "PMSETUP.EXE";
    settings.Flags = OFN_HIDEREADONLY;
    settings.lpstrDefExt = "EXE";
    BOOL result = GetOpenFileNameA(&settings);
    log_text("dialog result=");
    log_number(result);
    log_text(" file=");
    log_hex(chosen, lstrlenA(chosen));
    log_end();
    return 0;
}

HDDEDATA CALLBACK client_callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return NULL;
}

int talk_to_program_manager(const char *item_hex, const char *command_hex) {
    if (!decode_hex(item_hex, item, NAME_CAPACITY) ||
        (command_hex && !decode_hex(command_hex, command, NAME_CAPACITY)))
        return 2;
    DWORD instance = 0;
    if (DdeInitializeA(&instance, client_callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return 3;
    HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, name, name, NULL);
    log_text("connected ");
    log_number(conversation != NULL);
    log_end();
    if (conversation != NULL) {
        HSZ item_name = DdeCreateStringHandleA(instance, item, CP_WINANSI);
        HDDEDATA data = DdeClientTransaction(NULL, 0, conversation, item_name, CF_TEXT,
                                             XTYP_REQUEST, 1000, NULL);
        if (data != NULL) {
            DWORD length = DdeGetData(data, (BYTE *)reply, REPLY_CAPACITY, 0);
            log_text("reply data=");
            log_hex(reply, (int)length);
        } else {
            log_text("reply none");
        }
        log_end();
        if (command_hex != NULL) {
            HDDEDATA done =
                DdeClientTransaction((BYTE *)command, (DWORD)lstrlenA(command) + 1, conversation,
                                     NULL, CF_TEXT, XTYP_EXECUTE, 1000, NULL);
            log_text("execute acknowledged=");
            log_number(done != NULL);
            log_end();
        }
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, name);
    DdeUninitialize(instance);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3 || !log_open(argv[1], 1))
        return 2;
    if (lstrcmpA(argv[2], "call") == 0 && (argc == 5 || argc == 6))
        return call_library(argv[3], argv[4], argc == 6 ? argv[5] : NULL);
    if (lstrcmpA(argv[2], "dialog") == 0 && argc == 3)
        return show_dialog();
    if (lstrcmpA(argv[2], "dde") == 0 && (argc == 4 || argc == 5))
        return talk_to_program_manager(argv[3], argc == 5 ? argv[4] : NULL);
    return 2;
}
