/* main.cpp: entry of kmw48rmv, the Orvane Type2 uninstaller.  A windowless program: it
 * talks to the user through message boxes only.  Command line: program path, a blank, the
 * product's own removal command. */
#include <windows.h>

#include "messages.h"
#include "removal.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    (void)previous;
    (void)command_line;
    (void)show;
    program_instance = instance;
    read_saved_settings();
    if (!confirm_start())
        return 0;
    if (!run_child_and_test())
        return 0;
    return run_removal();
}
