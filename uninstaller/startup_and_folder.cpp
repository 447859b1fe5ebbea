/* startup_and_folder.cpp: the load line of win.ini and the installation folder. */
#include <windows.h>

#include "startup_and_folder.h"

/* Not built yet. */
void remove_install_folder() {}
void remove_startup_entry() {}
