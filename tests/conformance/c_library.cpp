/* c_library.cpp: the C library (CRTDLL on Windows): text mode and its text routines. */
#include "conformance.h"

char piece[8192];

/* Reads `path` in text mode in pieces of `capacity` and joins them, each followed by '|'. */
int read_pieces(const char *path, int capacity, char *joined, int joined_capacity) {
    FILE *f = _fsopen(path, "r", _SH_DENYNO);
    if (f == NULL)
        return -1;
    int n = 0;
    while (fgets(piece, capacity, f) != NULL) {
        int length = (int)strlen(piece);
        if (n + length + 1 >= joined_capacity)
            break;
        memcpy(joined + n, piece, (size_t)length);
        n += length;
        joined[n++] = '|';
    }
    fclose(f);
    joined[n] = '\0';
    return n;
}

void check_text_mode_reads() {
    section("C library text mode: _fsopen(\"r\", _SH_DENYNO) and fgets");
    struct {
        const char *input;
        int capacity;
        const char *pieces; /* each piece followed by '|' */
    } rows[] = {
        {"one\r\ntwo\r\n", 64, "one\n|two\n|"},
        {"a\rb\r\n", 64, "a\rb\n|"},
        {"x\r", 64, "x\r|"},
        {"\r\r\n", 64, "\r\n|"},
        {"last line", 64, "last line|"},
        {"ab\r\ncd", 3, "ab|\n|cd|"},
        {"abcdef\r\n", 4, "abc|def|\n|"},
        {"one\r\n\x1atwo\r\n", 64, "one\n|"},
        {"one\x1a", 64, "one|"},
        {"\x1a\r\n", 64, ""},
        {"tab\there\n", 64, "tab\there\n|"},
        {"a\nb", 64, "a\n|b|"},
        {"", 64, ""},
    };
    char joined[256];
    for (const auto &r : rows) {
        write_text("C:\\Conform\\TEXT.INI", r.input);
        int n = read_pieces("C:\\Conform\\TEXT.INI", r.capacity, joined, sizeof joined);
        ok(n >= 0 && strcmp(joined, r.pieces) == 0, "%s in pieces of %d: %s; want %s",
           show(r.input), r.capacity, show(joined), show(r.pieces));
    }

    /* Lines of every length from 0 to 600 bytes: each CR LF falls somewhere else in the C
     * library's buffers.  Read in pieces of 512, as the deletion list reads wininit.ini. */
    int length = 0, lf_length = 0, pieces_wanted = 0;
    static char lf_text[FILE_CAPACITY];
    for (int line = 0; line <= 600; line++) {
        for (int i = 0; i < line; i++) {
            char c = (char)('a' + (line + i) % 26);
            file_bytes[length++] = c;
            lf_text[lf_length++] = c;
        }
        file_bytes[length++] = '\r';
        file_bytes[length++] = '\n';
        lf_text[lf_length++] = '\n';
        pieces_wanted += (line + 1 + 510) / 511;
    }
    write_bytes("C:\\Conform\\LONG.INI", file_bytes, length);
    FILE *f = _fsopen("C:\\Conform\\LONG.INI", "r", _SH_DENYNO);
    int read = 0, pieces = 0, same = f != NULL;
    while (f != NULL && fgets(piece, 512, f) != NULL) {
        int n = (int)strlen(piece);
        same = same && read + n <= lf_length && memcmp(lf_text + read, piece, (size_t)n) == 0;
        read += n;
        pieces++;
    }
    if (f != NULL)
        fclose(f);
    ok(same && read == lf_length && pieces == pieces_wanted,
       "lines of 0 to 600 bytes (%d bytes with CR LF) in pieces of 512: %d bytes in %d pieces, "
       "the text with LF line ends; want %d bytes in %d pieces",
       length, read, pieces, lf_length, pieces_wanted);

    /* What follows a CR, and a Ctrl-Z, where a buffer of the C library (4 KiB in CRTDLL and
     * msvcrt) or of the stand-in (64 KiB) ends. */
    struct {
        int run; /* bytes of 'x' before the tail */
        const char *tail;
        int tail_length;
        const char *text; /* the tail as read */
    } edge_rows[] = {
        {4095, "\r\nend", 5, "\nend"}, {65535, "\r\nend", 5, "\nend"},  {65535, "\ry", 2, "\ry"},
        {65535, "\r\x1A\n", 3, "\r"},  {65535, "\r", 1, "\r"},          {4096, "\x1Az", 2, ""},
        {65536, "\x1Az", 2, ""},       {131071, "\r\n\r\n", 4, "\n\n"},
    };
    for (const auto &r : edge_rows) {
        memset(file_bytes, 'x', (size_t)r.run);
        memcpy(file_bytes + r.run, r.tail, (size_t)r.tail_length);
        write_bytes("C:\\Conform\\EDGE.INI", file_bytes, r.run + r.tail_length);
        f = _fsopen("C:\\Conform\\EDGE.INI", "r", _SH_DENYNO);
        int all = 0, runs_whole = f != NULL;
        while (f != NULL && fgets(piece, (int)sizeof piece, f) != NULL) {
            int n = (int)strlen(piece);
            memcpy(lf_text + all, piece, (size_t)n);
            all += n;
        }
        if (f != NULL)
            fclose(f);
        for (int i = 0; i < r.run && runs_whole; i++)
            runs_whole = i < all && lf_text[i] == 'x';
        int tail = all - r.run;
        ok(runs_whole && same_bytes(lf_text + r.run, tail, r.text, (int)strlen(r.text)),
           "%d bytes of x, then %s: read the x, then %s; want %s", r.run,
           show(r.tail, r.tail_length), tail >= 0 ? show(lf_text + r.run, tail) : "less",
           show(r.text));
    }

    /* A zero byte inside a line: fgets stores the bytes, its terminator and nothing more. */
    write_bytes("C:\\Conform\\ZERO.INI", "a\0b\r\nc", 6);
    f = _fsopen("C:\\Conform\\ZERO.INI", "r", _SH_DENYNO);
    memset(piece, FILL, 16);
    int got = f != NULL && fgets(piece, 16, f) != NULL;
    ok(got && same_bytes(piece, 5, "a\0b\n", 5) && untouched(piece, 5, 16),
       "\"a\\0b\\r\\nc\" in pieces of 16: first piece %s, the buffer beyond its terminator "
       "untouched (the rewrite finds a piece's length by the last zero)",
       show(piece, 16));
    got = got && fgets(piece, 16, f) != NULL;
    ok(got && strcmp(piece, "c") == 0, "second piece %s", show(piece));
    if (f != NULL)
        fclose(f);
}

void check_text_mode_writes() {
    section("C library text mode: _fsopen(\"w+\", _SH_DENYNO), fputs, fputc, fwrite");
    FILE *f = _fsopen("C:\\Conform\\OUT.INI", "w+", _SH_DENYNO);
    if (f != NULL) {
        fputs("a\nb", f);
        fputc('\n', f);
        fwrite("c\n\n", 1, 3, f);
        fputs("x\r\n", f);
        fwrite("z\0z", 1, 3, f);
        fclose(f);
    }
    char bytes[64];
    int length = read_bytes("C:\\Conform\\OUT.INI", bytes, sizeof bytes);
    static const char want[] = "a\r\nb\r\nc\r\n\r\nx\r\r\nz\0z";
    ok(same_bytes(bytes, length, want, (int)sizeof want - 1),
       "each LF written becomes CR LF, nothing else changes: %s; want %s", show(bytes, length),
       show(want, (int)sizeof want - 1));

    /* One write of a large text: every LF becomes CR LF, wherever the buffers end. */
    static char text[FILE_CAPACITY], wanted[FILE_CAPACITY];
    static const int lines[] = {4095, 4096, 65534, 65535, 65536, 131071};
    for (int line : lines) {
        int n = 0, m = 0;
        for (int i = 0; i < 3 && n + line + 1 < (int)sizeof text; i++) {
            memset(text + n, 'a' + i, (size_t)line);
            memset(wanted + m, 'a' + i, (size_t)line);
            n += line;
            m += line;
            text[n++] = '\n';
            wanted[m++] = '\r';
            wanted[m++] = '\n';
        }
        f = _fsopen("C:\\Conform\\BIG.INI", "w+", _SH_DENYNO);
        size_t written = f != NULL ? fwrite(text, 1, (size_t)n, f) : 0;
        int closed = f != NULL && fclose(f) == 0;
        int got = read_bytes("C:\\Conform\\BIG.INI", file_bytes, FILE_CAPACITY);
        ok(written == (size_t)n && closed && same_bytes(file_bytes, got, wanted, m),
           "fwrite of %d bytes (lines of %d bytes and LF): %u taken, the file %d bytes; want "
           "%d, every LF as CR LF",
           n, line, (unsigned)written, got, m);
    }

    /* Another program may open the file while it is being read. */
    write_text("C:\\Conform\\SHARED.INI", "[rename]\r\n");
    FILE *reading = _fsopen("C:\\Conform\\SHARED.INI", "r", _SH_DENYNO);
    FILE *writing = _fsopen("C:\\Conform\\SHARED.INI", "a", _SH_DENYNO);
    ok(reading != NULL && writing != NULL,
       "a file open for reading with _SH_DENYNO can be opened for writing too: %s, %s",
       reading ? "read open" : "read refused", writing ? "write open" : "write refused");
    /* ... and write to it while it is open for reading: the reader gets what was written. */
    int appended =
        writing != NULL && fputs("NUL=C:\\OTHER.TMP\n", writing) >= 0 && fclose(writing) == 0;
    writing = NULL;
    char joined[128] = "";
    if (reading) {
        int n = 0;
        while (fgets(piece, 64, reading) != NULL && n + (int)strlen(piece) < 100) {
            lstrcpyA(joined + n, piece);
            n += (int)strlen(piece);
        }
    }
    ok(appended && strcmp(joined, "[rename]\nNUL=C:\\OTHER.TMP\n") == 0,
       "a line written and closed by the other handle while the file is open for reading: "
       "read %s",
       show(joined));
    if (reading)
        fclose(reading);

    /* A file that another program holds open for writing (sharing reads and writes) can
     * still be opened for reading and for writing. */
    FILE *holder = _fsopen("C:\\Conform\\SHARED.INI", "a", _SH_DENYNO);
    FILE *reader = _fsopen("C:\\Conform\\SHARED.INI", "r", _SH_DENYNO);
    FILE *writer = _fsopen("C:\\Conform\\SHARED.INI", "w+", _SH_DENYNO);
    ok(holder != NULL && reader != NULL && writer != NULL,
       "while another handle holds the file open for writing with _SH_DENYNO: \"r\" %s, "
       "\"w+\" %s",
       reader ? "opens" : "refused", writer ? "opens" : "refused");
    if (writer)
        fclose(writer);
    if (reader)
        fclose(reader);
    if (holder)
        fclose(holder);
}

/* ---- C library text routines -------------------------------------------------------------- */

/* The Program Manager's reply to a group request is split at commas with strtok and its item
 * count converted with strtol. */
void check_c_library_text() {
    section("C library: strtok at commas, strtol in base 10");
    struct {
        const char *input;
        const char *tokens; /* each token followed by '|' */
    } token_rows[] = {
        {"\"Orvane Type2\",C:\\WINDOWS\\ORVANE.GRP,0,0,0,0,0",
         "\"Orvane Type2\"|C:\\WINDOWS\\ORVANE.GRP|0|0|0|0|0|"},
        {",,a,,,b,c,", "a|b|c|"},
        {"a", "a|"},
        {",,,", ""},
        {"", ""},
        {"a b,\tc\r\n,d", "a b|\tc\r\n|d|"},
    };
    char text[128];
    char joined[128];
    for (const auto &r : token_rows) {
        lstrcpyA(text, r.input);
        int n = 0;
        joined[0] = '\0';
        for (char *token = strtok(text, ","); token != NULL; token = strtok(NULL, ",")) {
            lstrcpyA(joined + n, token);
            n += (int)strlen(token);
            joined[n++] = '|';
            joined[n] = '\0';
        }
        ok(strcmp(joined, r.tokens) == 0, "strtok(%s, \",\"): %s; want %s", show(r.input),
           show(joined), show(r.tokens));
    }

    struct {
        const char *input;
        long value;
        int used; /* bytes taken by the conversion */
    } number_rows[] = {
        {"0", 0, 1},
        {" 0", 0, 2},
        {"\t\n 7 items", 7, 4},
        {"0,1", 0, 1},
        {"3abc", 3, 1},
        {"-1", -1, 2},
        {"+2", 2, 2},
        {"abc", 0, 0},
        {"", 0, 0},
        {" ", 0, 0},
        {"- 1", 0, 0},
        {"007", 7, 3},
        {"0x10", 0, 1},
        {"2147483647", 2147483647L, 10},
        /* too large for any long: the largest (or smallest) long, never 0 */
        {"99999999999999999999", LONG_MAX, 20},
        {"-99999999999999999999", LONG_MIN, 21},
    };
    for (const auto &r : number_rows) {
        char *end = NULL;
        long value = strtol(r.input, &end, 10);
        int used = (int)(end - r.input);
        ok(value == r.value && used == r.used, "strtol(%s, 10): %ld, %d bytes used; want %ld, %d",
           show(r.input), value, used, r.value, r.used);
    }
}
