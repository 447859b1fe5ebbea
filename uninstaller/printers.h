/* printers.h: removal of the driver's idle printers, the driver and its registry key. */
#ifndef KMW48RMV_PRINTERS_H
#define KMW48RMV_PRINTERS_H

/* Returns 1 when no local printer uses a sibling driver ("Orvane", "Orvane Type1"), 0 when
 * one does. */
int remove_printers_and_driver();

#endif
