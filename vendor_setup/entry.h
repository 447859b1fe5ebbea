/* entry.h: the library's entry routine and the module handle that it remembers. */
#ifndef KMW48I2_ENTRY_H
#define KMW48I2_ENTRY_H

#include <windows.h>

/* The library's own module, set when the library is attached to a process; every string is
 * loaded from it. */
extern HINSTANCE library_instance;

/* Entry routine: remembers the module handle on process attach; succeeds for every reason. */
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

#endif
