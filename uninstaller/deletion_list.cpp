/* deletion_list.cpp: the product files scheduled for deletion through wininit.ini. */
#include <windows.h>

#include "deletion_list.h"

/* Not built yet: nothing is scheduled. */
void write_deletion_list(int keep_setup_library) {
    (void)keep_setup_library;
}
