/* shared_device.h: the shared reference count of the virtual device hvq.386 and the
 * device's removal (registry value, file, system.ini lines) when the count reaches 0. */
#ifndef KMW48RMV_SHARED_DEVICE_H
#define KMW48RMV_SHARED_DEVICE_H

#include <windows.h>

/* The count, or 0 when it cannot be read. */
DWORD read_device_count();
/* Stores n; n = 0 removes the device. */
void set_device_count(DWORD n);
/* Finishes what an interrupted run left of its replacement of system.ini and its backup. */
void finish_interrupted_device_removal();

#endif
