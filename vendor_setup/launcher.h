/* launcher.h: the start of the print manager's setup program PMSETUP.EXE, from the most
 * recent install location or from a file that the user picks. */
#ifndef KMW48I2_LAUNCHER_H
#define KMW48I2_LAUNCHER_H

#include <windows.h>

enum { CHOSEN_FILE_CAPACITY = MAX_PATH };

/* The open-file dialog's file buffer: empty when the library is loaded, it keeps the last
 * file chosen between dialog openings and between calls. */
extern char chosen_file[CHOSEN_FILE_CAPACITY];

/* Finds the setup program and starts it without waiting; `owner` owns the dialog and the
 * cancel message.  Returns 0 when the program was started or the user gave up, 1 when it
 * could not be started. */
int launch_setup(HWND owner);

#endif
