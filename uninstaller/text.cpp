/* text.cpp: byte-string helpers of the removal steps (see text.h). */
#include <windows.h>

#include "text.h"

void upper_case_ascii(char *text) {
    while (*text != '\0') {
        if (IsDBCSLeadByte((BYTE)*text) && text[1] != '\0') {
            text += 2;
            continue;
        }
        if (*text >= 'a' && *text <= 'z')
            *text = (char)(*text - 'a' + 'A');
        text++;
    }
}
