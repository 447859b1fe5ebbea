/* removal.h: the removal sequence, from the saved settings to the restart offer. */
#ifndef KMW48RMV_REMOVAL_H
#define KMW48RMV_REMOVAL_H

#include <windows.h>

enum {
    INI_NAME_CAPACITY = 128,
    EXECUTE_FILE_CAPACITY = 512,
    INSTALL_PATH_CAPACITY = 512,
    FOLDER_NAME_CAPACITY = 256,
    STARTUP_LIST_CAPACITY = 512
};

/* What the removal needs of the product's settings, read once before the product's own
 * removal command can delete them.  Only the start-up entry removal changes it afterwards
 * (it upper-cases the execute file and the start-up list in place). */
struct saved_settings {
    char ini_name[INI_NAME_CAPACITY];         /* "KMW48.INI" */
    char execute_file[EXECUTE_FILE_CAPACITY]; /* [General] ExecuteFile */
    char install_path[INSTALL_PATH_CAPACITY]; /* [General] InstallPath */
    char folder_name[FOLDER_NAME_CAPACITY];   /* [General] FolderName */
    char startup_list[STARTUP_LIST_CAPACITY]; /* win.ini [windows] load */
    DWORD device_count_before;                /* shared count of hvq.386 */
};

extern saved_settings saved;

/* Reads the device count and the product's settings into `saved`. */
void read_saved_settings();
/* The start-up gate: returns 1 to go on, 0 when the run ends with exit code 0. */
int confirm_start();
/* Runs the child command, waits for it and returns 1 when the product INI file no longer
 * holds the InstallPath key. */
int run_child_and_test();
/* The removal steps and the restart offer; returns the exit code. */
int run_removal();

#endif
