/* pmwindow.cpp: stands in for the print manager while a test runs.  It opens a top-level
 * window whose title is the text given in hexadecimal (bytes in the ANSI code page, so that
 * no command-line conversion can alter it), then creates the ready file and stays until it
 * is closed or killed.
 *
 * Usage: pmwindow TITLE-HEX READY-FILE */
#include <windows.h>

#include "helpers.h"

namespace {

enum { TITLE_CAPACITY = 512 };

char title[TITLE_CAPACITY];

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, w, l);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 || !helper::decode_hex(argv[1], title, TITLE_CAPACITY))
        return 2;
    WNDCLASSA window_class;
    ZeroMemory(&window_class, sizeof window_class);
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "PrintManagerStandIn";
    if (!RegisterClassA(&window_class))
        return 3;
    HWND window =
        CreateWindowExA(0, "PrintManagerStandIn", title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 300, 200, NULL, NULL, window_class.hInstance, NULL);
    if (window == NULL)
        return 3;
    ShowWindow(window, SW_SHOWMINNOACTIVE);

    return helper::serve(argv[2]);
}
