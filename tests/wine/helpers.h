/* helpers.h: what the Wine test helpers share: a line log that a test reads back (texts
 * in hexadecimal, so that CP932 bytes come through untouched), and the decoding of
 * hexadecimal arguments, reading a whole file, serving until ended.  Each helper is one small
 * program; this header is included once per program. */
#ifndef TESTS_WINE_HELPERS_H
#define TESTS_WINE_HELPERS_H

#include <windows.h>

namespace helper {

enum { LOG_LINE_CAPACITY = 8192 };

HANDLE log_file = INVALID_HANDLE_VALUE;
char log_line[LOG_LINE_CAPACITY];
int log_length;

/* Opens the log, appending to what is there when `append` is set. */
inline int log_open(const char *path, int append) {
    log_file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, NULL);
    if (log_file == INVALID_HANDLE_VALUE)
        return 0;
    if (append)
        SetFilePointer(log_file, 0, NULL, FILE_END);
    return 1;
}

inline void log_text(const char *text) {
    while (*text && log_length < LOG_LINE_CAPACITY - 2)
        log_line[log_length++] = *text++;
}

inline void log_number(long value) {
    char digits[16];
    int n = 0;
    unsigned long magnitude = value < 0 ? 0UL - (unsigned long)value : (unsigned long)value;
    do {
        digits[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        log_text("-");
    while (n > 0 && log_length < LOG_LINE_CAPACITY - 2)
        log_line[log_length++] = digits[--n];
}

inline void log_hex(const char *bytes, int length) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < length && log_length < LOG_LINE_CAPACITY - 3; i++) {
        unsigned char b = (unsigned char)bytes[i];
        log_line[log_length++] = digits[b >> 4];
        log_line[log_length++] = digits[b & 15];
    }
}

/* Ends the line and writes it at once, so that a killed helper leaves a readable log. */
inline void log_end() {
    log_line[log_length++] = '\n';
    DWORD written;
    if (log_file != INVALID_HANDLE_VALUE) {
        SetFilePointer(log_file, 0, NULL, FILE_END);
        WriteFile(log_file, log_line, (DWORD)log_length, &written, NULL);
    }
    log_length = 0;
}

inline int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* Decodes `hex` into `bytes` (zero-terminated); returns 0 for a malformed or too long text. */
inline int decode_hex(const char *hex, char *bytes, int capacity) {
    int n = 0;
    while (hex[0] && hex[1] && n < capacity - 1) {
        int high = hex_digit(hex[0]), low = hex_digit(hex[1]);
        if (high < 0 || low < 0)
            return 0;
        bytes[n++] = (char)(high * 16 + low);
        hex += 2;
    }
    bytes[n] = '\0';
    return hex[0] == '\0';
}

inline long to_number(const char *text) {
    long value = 0;
    while (*text >= '0' && *text <= '9')
        value = value * 10 + (*text++ - '0');
    return value;
}

/* Reads a whole file into `bytes` (zero-terminated); its length, or -1. */
inline int read_whole(const char *path, char *bytes, int capacity) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD size = 0;
    ReadFile(file, bytes, (DWORD)capacity - 1, &size, NULL);
    CloseHandle(file);
    bytes[size] = '\0';
    return (int)size;
}

/* A helper that stays: makes the file `ready` once it serves, then serves its windows' and
 * DDE's messages until it is ended.  4 when the ready file cannot be made. */
inline int serve(const char *ready) {
    HANDLE file = CreateFileA(ready, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 4;
    CloseHandle(file);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

} // namespace helper

#endif
