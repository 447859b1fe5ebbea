/* startup_and_folder.h: the print manager's entry in the load line of win.ini, and the
 * installation folder once no product file is left in it. */
#ifndef KMW48RMV_STARTUP_AND_FOLDER_H
#define KMW48RMV_STARTUP_AND_FOLDER_H

void remove_install_folder();
/* Upper-cases the saved execute file and start-up list in place. */
void remove_startup_entry();

#endif
