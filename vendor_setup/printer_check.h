/* printer_check.h: the library's export and the check that decides whether the print manager
 * is to be installed for a printer just installed. */
#ifndef KMW48I2_PRINTER_CHECK_H
#define KMW48I2_PRINTER_CHECK_H

#include <windows.h>

#include "resource.h"

enum { STRING_CAPACITY = 128, NETWORK_PORT_QUESTION_CAPACITY = 512 };

/* The library's strings, loaded afresh at every call of the export. */
extern char setup_file_name[STRING_CAPACITY];                      /* row 1 */
extern char network_port_question[NETWORK_PORT_QUESTION_CAPACITY]; /* row 2 */
extern char already_installed_question[STRING_CAPACITY];           /* row 3 */
extern char driver_name[STRING_CAPACITY];                          /* row 4 */
extern char print_manager_file[STRING_CAPACITY];                   /* row 5 */
extern char check_caption[STRING_CAPACITY];                        /* row 6 */
extern char ini_file_name[STRING_CAPACITY];                        /* row 7 */
extern char not_found_message[STRING_CAPACITY];                    /* row 8 */

/* The export, called by the host with its window and the name of the printer just
 * installed; reserved1 and reserved2 are ignored.  Returns the check's result when it does
 * not decide to install, else the setup launcher's result. */
extern "C" int WINAPI OrvaneSetup(HWND owner, DWORD reserved1, LPCSTR printer_name,
                                  DWORD reserved2);

/* Loads rows 1 to 8 of the string table into their buffers. */
void load_library_strings();

/* Returns 1 when the print manager is to be installed for `printer_name`: the printer uses
 * the product's driver on an LPT port (or the user wants it anyway for a network port) and
 * the user agrees to overwrite a print manager already present; 0 when not. */
int check_printer(LPCSTR printer_name);

/* Returns 1 when the print manager's program is present in the folder that the product INI
 * file names (or when that cannot be told: the names of the file or the program could not be
 * loaded).  Leaves that folder as the current directory. */
int probe_print_manager();

#endif
