/* deletion_list.h: the product files scheduled for deletion at the next start of Windows,
 * through the [rename] section of wininit.ini. */
#ifndef KMW48RMV_DELETION_LIST_H
#define KMW48RMV_DELETION_LIST_H

/* keep_setup_library = 1 leaves KMW48I2.DLL off the list (another product uses it). */
void write_deletion_list(int keep_setup_library);
/* Finishes what an interrupted run left of its replacement of wininit.ini. */
void finish_interrupted_list();

#endif
