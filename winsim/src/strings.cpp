/* strings.cpp: the platform's string routines (lstr*, wsprintfA, CharUpperBuffA) and the
 * thread's last error.  Comparisons and upper-casing work on the ANSI code page 932: the
 * second byte of a double-byte character is never taken for a letter. */
#include "internal.h"

#include <stdio.h>
#include <string.h>

namespace winsim {
namespace {
DWORD last_error = 0;
} // namespace
void set_last_error(DWORD code) {
    last_error = code;
}
} // namespace winsim

using namespace winsim;

extern "C" {

/* The string routines and the last error cannot fail for the arguments a program gives them:
 * they are counted, and an injected failure changes nothing. */
DWORD WINAPI GetLastError(void) {
    enter("GetLastError");
    return last_error;
}
void WINAPI SetLastError(DWORD code) {
    enter("SetLastError");
    last_error = code;
}

int WINAPI lstrlenA(LPCSTR s) {
    enter("lstrlenA");
    return s ? (int)strlen(s) : 0;
}

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    enter("lstrcmpA");
    return strcmp(a ? a : "", b ? b : "");
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    enter("lstrcmpiA");
    std::string ua = upper(a ? a : ""), ub = upper(b ? b : "");
    return ua < ub ? -1 : ua == ub ? 0 : 1;
}

LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src) {
    enter("lstrcpyA");
    return strcpy(dst, src);
}

LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int count) {
    enter("lstrcpynA");
    if (count <= 0)
        return dst;
    int i = 0;
    for (; i < count - 1 && src[i]; i++)
        dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src) {
    enter("lstrcatA");
    return strcat(dst, src);
}

/* wsprintfA writes at most 1024 bytes, the terminating zero included. */
int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...) {
    enter("wsprintfA");
    va_list args;
    va_start(args, format);
    char buffer[1024];
    int n = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        n = 0;
    if (n > (int)sizeof buffer - 1)
        n = (int)sizeof buffer - 1;
    memcpy(out, buffer, (size_t)n);
    out[n] = '\0';
    return n;
}

DWORD WINAPI CharUpperBuffA(LPSTR s, DWORD length) {
    enter("CharUpperBuffA");
    memcpy(s, upper(std::string(s, length)).data(), length);
    return length;
}

BOOL WINAPI IsDBCSLeadByte(BYTE c) {
    enter("IsDBCSLeadByte");
    return lead_byte(c) ? TRUE : FALSE;
}

} // extern "C"
