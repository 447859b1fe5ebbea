/* entry.cpp: entry routine of KMW48I2, the Orvane Type2 vendor-setup library.  The host that
 * installs printers loads the library and calls its one export, OrvaneSetup; the entry
 * routine only remembers the library's module so that its string table can be read.  It is
 * the library's entry point itself: there is no C runtime start-up before it (the library's C
 * library, CRTDLL.DLL, sets itself up when it is loaded). */
#include <windows.h>

#include "entry.h"

HINSTANCE library_instance;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        library_instance = instance;
    return TRUE;
}
