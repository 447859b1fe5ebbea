/* text.cpp: small text helpers shared by the removal steps (see text.h).  In comparisons,
 * bytes other than the ASCII letters are compared as they are, so a double-byte character
 * never equals an ASCII prefix. */
#include <windows.h>

#include "text.h"

static char ascii_upper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

int ascii_prefix_equal(const char *text, int length, const char *prefix) {
    int i;
    for (i = 0; prefix[i] != '\0'; i++) {
        if (i >= length || ascii_upper(text[i]) != ascii_upper(prefix[i]))
            return 0;
    }
    return 1;
}

void upper_case_ascii(char *text) {
    while (*text != '\0') {
        if (IsDBCSLeadByte((BYTE)*text) && text[1] != '\0') {
            text += 2;
            continue;
        }
        *text = ascii_upper(*text);
        text++;
    }
}
