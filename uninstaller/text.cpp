/* text.cpp: ASCII-only comparisons of INI lines.  Bytes other than the ASCII letters are
 * compared as they are, so a double-byte character never equals an ASCII prefix. */
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
