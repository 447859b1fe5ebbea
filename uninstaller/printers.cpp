/* printers.cpp: removal of the driver's idle printers, the driver and its registry key. */
#include <windows.h>

#include "printers.h"

/* Not built yet: no printer is examined, so no sibling driver is seen. */
int remove_printers_and_driver() {
    return 1;
}
