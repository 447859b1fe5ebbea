/* messages.h: the uninstaller's message boxes.  Every text comes from the program's own
 * string table (kmw48rmv.rc); all boxes are shown through show_message. */
#ifndef KMW48RMV_MESSAGES_H
#define KMW48RMV_MESSAGES_H

#include <windows.h>

#include "resource.h"

enum { MESSAGE_TEXT_CAPACITY = 512, CAPTION_CAPACITY = 128 };

/* Styles of the uninstaller's boxes. */
enum {
    STYLE_STOP = 0x10,        /* OK, stop icon */
    STYLE_INFORMATION = 0x40, /* OK, information icon */
    STYLE_CONFIRM = 0x34,     /* Yes/No, exclamation icon */
    STYLE_QUESTION = 0x24     /* Yes/No, question icon */
};

/* The program's module: every string is loaded from it. */
extern HINSTANCE program_instance;

/* Loads text_id and caption_id from the program's string table into the program-wide text
 * and caption buffers and shows a modal box.  Returns the button pressed (IDOK, IDYES,
 * IDNO), or 0 when no box could be shown. */
int show_message(HWND owner, UINT text_id, UINT caption_id, UINT style);

#endif
