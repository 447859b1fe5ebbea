/* shared_device.cpp: the shared reference count of hvq.386 and the device's removal. */
#include <windows.h>

#include "shared_device.h"

/* Not built yet: the count reads as 0, so nothing is ever set. */
DWORD read_device_count() {
    return 0;
}
void set_device_count(DWORD n) {
    (void)n;
}
