/* messages.cpp: the one routine through which the uninstaller talks to the user. */
#include "messages.h"

HINSTANCE program_instance;

static char message_text[MESSAGE_TEXT_CAPACITY];
static char caption_text[CAPTION_CAPACITY];

int show_message(HWND owner, UINT text_id, UINT caption_id, UINT style) {
    LoadStringA(program_instance, text_id, message_text, MESSAGE_TEXT_CAPACITY);
    LoadStringA(program_instance, caption_id, caption_text, CAPTION_CAPACITY);
    return MessageBoxA(owner, message_text, caption_text, style);
}
