/* textfile.cpp: msvcrt's _fsopen with its text mode, over the sandbox.  Reading turns each
 * CR LF into LF (a CR alone stays) and ends the input at the first Ctrl-Z byte (26); writing
 * turns each LF into CR LF.  The stream is a real C library FILE, so fgets, fputs, fputc
 * and fclose are the C library's own.  A write that fails (the test can make the n-th
 * "_write" fail) makes the stream's error indicator set, as a full disk does; so does a read
 * that fails (the n-th "_read"): the input does not simply end there, it is an error. */
#include "internal.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <share.h>

namespace winsim {
namespace {

struct text_stream {
    FILE *host;
    bool text;
    bool ended;  /* Ctrl-Z met */
    bool failed; /* a read failed: every later read fails too */
    char raw[65536];
    size_t raw_start, raw_end;
};

bool fill(text_stream *s) {
    if (s->raw_start < s->raw_end)
        return true;
    if (s->failed)
        return false;
    if (enter("_read")) {
        s->failed = true;
        return false;
    }
    s->raw_start = 0;
    s->raw_end = fread(s->raw, 1, sizeof s->raw, s->host);
    return s->raw_end > 0;
}

ssize_t text_read(void *cookie, char *buffer, size_t size) {
    text_stream *s = (text_stream *)cookie;
    size_t n = 0;
    while (n < size && !s->ended) {
        if (!fill(s))
            break;
        char c = s->raw[s->raw_start++];
        if (!s->text) {
            buffer[n++] = c;
            continue;
        }
        if (c == 26) {
            s->ended = true;
            break;
        }
        if (c == '\r') {
            if (fill(s) && s->raw[s->raw_start] == '\n') {
                s->raw_start++;
                c = '\n';
            }
        }
        buffer[n++] = c;
    }
    if (n == 0 && s->failed) {
        errno = EIO;
        return -1;
    }
    return (ssize_t)n;
}

ssize_t text_write(void *cookie, const char *buffer, size_t size) {
    text_stream *s = (text_stream *)cookie;
    if (enter("_write")) {
        errno = ENOSPC;
        return 0;
    }
    char out[8192];
    size_t used = 0;
    for (size_t i = 0; i < size; i++) {
        if (used + 2 > sizeof out) {
            if (fwrite(out, 1, used, s->host) != used)
                return 0;
            used = 0;
        }
        if (s->text && buffer[i] == '\n')
            out[used++] = '\r';
        out[used++] = buffer[i];
    }
    if (used && fwrite(out, 1, used, s->host) != used)
        return 0;
    if (fflush(s->host) != 0)
        return 0;
    return (ssize_t)size;
}

int text_close(void *cookie) {
    text_stream *s = (text_stream *)cookie;
    int result = fclose(s->host);
    delete s;
    return result;
}

} // namespace
} // namespace winsim

using namespace winsim;

extern "C" FILE *_fsopen(const char *path, const char *mode, int share_flag) {
    (void)share_flag;
    if (enter("_fsopen")) {
        errno = EACCES;
        return nullptr;
    }
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || host_is_dir(r.host)) {
        errno = ENOENT;
        return nullptr;
    }
    bool binary = strchr(mode, 'b') != nullptr;
    bool writing = strchr(mode, 'w') || strchr(mode, 'a') || strchr(mode, '+');
    struct stat st;
    if (writing && stat(r.host.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
        errno = EACCES; /* read-only file */
        return nullptr;
    }
    std::string host_mode = mode[0] == 'r'   ? (strchr(mode, '+') ? "rb+" : "rb")
                            : mode[0] == 'w' ? "wb+"
                                             : "ab+";
    FILE *host = fopen(r.host.c_str(), host_mode.c_str());
    if (!host)
        return nullptr;
    text_stream *s = new text_stream;
    s->host = host;
    s->text = !binary;
    s->ended = false;
    s->failed = false;
    s->raw_start = s->raw_end = 0;
    cookie_io_functions_t io = {text_read, text_write, nullptr, text_close};
    FILE *f = fopencookie(s, mode[0] == 'r' && !strchr(mode, '+') ? "r" : "w+", io);
    if (!f) {
        fclose(host);
        delete s;
    }
    return f;
}
