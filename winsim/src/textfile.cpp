/* textfile.cpp: the C library's _fsopen (CRTDLL's and msvcrt's alike) with its text mode, over the
 * sandbox.  Reading turns each CR LF into LF (a CR alone stays) and ends the input at the first
 * Ctrl-Z byte (26); writing turns each LF into CR LF.  The stream is a real C library FILE, so
 * fgets, fputs, fputc and fclose are the C library's own.  A write that fails (the test can make
 * the n-th
 * "_write" fail) makes the stream's error indicator set, as a full disk does; so does a read
 * that fails (the n-th "_read"): the input does not simply end there, it is an error. */
#include "internal.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include <share.h>

namespace winsim {
namespace {

struct text_stream {
    FILE *host; /* nullptr once the process has ended */
    bool text;
    bool ended;      /* Ctrl-Z met */
    bool failed;     /* a read failed: every later read fails too */
    char raw[65536]; /* bytes read from the host file */
    size_t raw_start, raw_end;
    size_t stop;     /* the first Ctrl-Z in raw (raw_end when none) */
    char out[65536]; /* bytes for the host file */
};

std::set<text_stream *> open_streams;

bool fill(text_stream *s) {
    if (s->raw_start < s->raw_end)
        return true;
    if (s->failed || s->host == nullptr)
        return false;
    if (enter("_read")) {
        s->failed = true;
        return false;
    }
    s->raw_start = 0;
    s->raw_end = fread(s->raw, 1, sizeof s->raw, s->host);
    const char *z = (const char *)memchr(s->raw, 26, s->raw_end);
    s->stop = z ? (size_t)(z - s->raw) : s->raw_end;
    return s->raw_end > 0;
}

/* The stream's bytes are taken in runs: up to the next CR or Ctrl-Z a text-mode read copies
 * them as they are. */
ssize_t text_read(void *cookie, char *buffer, size_t size) {
    text_stream *s = (text_stream *)cookie;
    size_t n = 0;
    while (n < size && !s->ended) {
        if (!fill(s))
            break;
        size_t room = size - n;
        if (!s->text) {
            size_t run = s->raw_end - s->raw_start < room ? s->raw_end - s->raw_start : room;
            memcpy(buffer + n, s->raw + s->raw_start, run);
            n += run;
            s->raw_start += run;
            continue;
        }
        if (s->raw_start == s->stop) {
            s->ended = true;
            break;
        }
        size_t limit = s->stop - s->raw_start < room ? s->stop - s->raw_start : room;
        const char *start = s->raw + s->raw_start;
        const char *cr = (const char *)memchr(start, '\r', limit);
        size_t run = cr ? (size_t)(cr - start) : limit;
        memcpy(buffer + n, start, run);
        n += run;
        s->raw_start += run;
        if (!cr)
            continue;
        /* A CR followed by LF is read as LF; a CR alone stays. */
        s->raw_start++;
        char c = '\r';
        if (fill(s) && s->raw_start < s->stop && s->raw[s->raw_start] == '\n') {
            s->raw_start++;
            c = '\n';
        }
        buffer[n++] = c;
    }
    if (n == 0 && s->failed) {
        errno = EIO;
        return -1;
    }
    return (ssize_t)n;
}

/* The first `used` bytes of the output block, straight to the host file. */
bool write_host(text_stream *s, size_t used) {
    int fd = fileno(s->host);
    for (size_t done = 0; done < used;) {
        ssize_t n = write(fd, s->out + done, used - done);
        if (n <= 0)
            return false;
        done += (size_t)n;
    }
    return true;
}

/* Each LF goes out as CR LF; the runs between are copied as they are into a block that is
 * written whole. */
ssize_t text_write(void *cookie, const char *buffer, size_t size) {
    text_stream *s = (text_stream *)cookie;
    if (s->host == nullptr || enter("_write")) {
        errno = ENOSPC;
        return 0;
    }
    size_t used = 0, at = 0;
    while (at < size) {
        const char *lf = s->text ? (const char *)memchr(buffer + at, '\n', size - at) : nullptr;
        size_t run = lf ? (size_t)(lf - (buffer + at)) + 1 : size - at;
        while (run > 0) {
            if (used + 2 > sizeof s->out) {
                if (!write_host(s, used))
                    return 0;
                used = 0;
            }
            size_t part = sizeof s->out - 1 - used < run ? sizeof s->out - 1 - used : run;
            bool ends_line = lf && part == run;
            memcpy(s->out + used, buffer + at, ends_line ? part - 1 : part);
            used += ends_line ? part - 1 : part;
            if (ends_line) {
                s->out[used++] = '\r';
                s->out[used++] = '\n';
            }
            at += part;
            run -= part;
        }
    }
    if (used && !write_host(s, used))
        return 0;
    return (ssize_t)size;
}

int text_close(void *cookie) {
    text_stream *s = (text_stream *)cookie;
    int result = s->host != nullptr ? fclose(s->host) : 0;
    open_streams.erase(s);
    delete s;
    return result;
}

} // namespace

/* A process that ends with streams open loses what their buffers held: nothing more of them
 * reaches the disk.  (The C library's FILE of such a stream is left as the process left it.) */
void end_process_streams() {
    for (text_stream *s : open_streams) {
        if (s->host != nullptr)
            fclose(s->host);
        s->host = nullptr;
    }
    open_streams.clear();
}
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
    if (writing)
        note_written(r.host);
    FILE *host = fopen(r.host.c_str(), host_mode.c_str());
    if (!host)
        return nullptr;
    text_stream *s = new text_stream;
    s->host = host;
    s->text = !binary;
    s->ended = false;
    s->failed = false;
    s->raw_start = s->raw_end = s->stop = 0;
    cookie_io_functions_t io = {text_read, text_write, nullptr, text_close};
    FILE *f = fopencookie(s, mode[0] == 'r' && !strchr(mode, '+') ? "r" : "w+", io);
    if (!f) {
        fclose(host);
        delete s;
        return nullptr;
    }
    open_streams.insert(s);
    return f;
}
