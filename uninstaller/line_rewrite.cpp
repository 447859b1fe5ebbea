/* line_rewrite.cpp: the piece-by-piece rewrite of a text file into a new text that is
 * committed and then moved into the file's place, the old file kept aside in the
 * uninstaller's work folder KMW48RMV.TMP until the new one stands; shared by the deletion list
 * and the system.ini clean-up (see line_rewrite.h). */
#include <windows.h>
#include <share.h>
#include <stdio.h>
#include <string.h>

#include "line_rewrite.h"

enum { PATH_CAPACITY = 260, OUTPUT_BLOCK_CAPACITY = 4096, READ_BLOCK_CAPACITY = 2048 };

/* Filler of the piece buffer beyond the text of the current piece: any byte but zero.  With
 * it the zero that fgets stores after a piece is the last zero in the buffer, which gives the
 * piece's length even when the line itself holds zero bytes. */
enum { PIECE_FILLER = '\x01' };

static const char temp_prefix[] = "unst";
static const char new_text_extension[] = ".NEW";
static const char work_folder_name[] = "\\KMW48RMV.TMP";
static const char no_extension[] = "";

static char windows_directory[PATH_CAPACITY];
static char work_folder[PATH_CAPACITY];
static int in_windows_directory;             /* no work folder: temporary names beside the files */
static char rewrite_new_path[PATH_CAPACITY]; /* the new text of a rewrite */
static char copy_new_path[PATH_CAPACITY];    /* the new text of a copy (made during a rewrite) */
static char aside_path[PATH_CAPACITY];       /* the old file while the new one takes its place */
static char piece[LINE_PIECE_CAPACITY];
static char read_blocks[2][READ_BLOCK_CAPACITY];

/* The new text being written: blocks of OUTPUT_BLOCK_CAPACITY bytes through WriteFile. */
static HANDLE output;
static char output_block[OUTPUT_BLOCK_CAPACITY];
static int output_used;
static int output_written;     /* bytes given so far */
static int output_failed;      /* a write failed: the new text is not whole */
static int output_as_text;     /* each LF goes out as CR LF */
static int output_inside_line; /* the output so far ends without a line feed */

void flush_profile_cache(const char *path) {
    WritePrivateProfileStringA(NULL, NULL, NULL, path);
}

/* 1 when something is at `path`, or when that cannot be told. */
static int may_exist(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ||
           GetLastError() != ERROR_FILE_NOT_FOUND;
}

static int is_folder(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* The path of the uninstaller's own folder, built afresh; 0 when the Windows directory is not
 * known, and then `work_folder` is empty when it is but the folder's path would not fit. */
static int build_work_folder_path() {
    UINT length = GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    work_folder[0] = '\0';
    if (length == 0 || length >= PATH_CAPACITY)
        return 0;
    if (length + sizeof work_folder_name <= PATH_CAPACITY) {
        lstrcpyA(work_folder, windows_directory);
        lstrcatA(work_folder, work_folder_name);
    }
    return 1;
}

/* The work folder (made now, or left by an earlier run); when it cannot be had (a file of
 * that name, a folder that cannot be made or whose path would not fit), the Windows directory
 * itself.  0 when the Windows directory is not known. */
static int open_work_folder() {
    in_windows_directory = 0;
    if (!build_work_folder_path())
        return 0;
    if (work_folder[0] == '\0' ||
        (!CreateDirectoryA(work_folder, NULL) && !is_folder(work_folder))) {
        lstrcpyA(work_folder, windows_directory);
        in_windows_directory = 1;
    }
    return 1;
}

/* The folder goes once it is empty. */
static void close_work_folder() {
    if (!in_windows_directory)
        RemoveDirectoryA(work_folder);
}

/* `folder` + "\" + `name` + `extension` into `path`; 0 when it does not fit. */
static int join_path(char *path, const char *folder, const char *name, const char *extension) {
    if (lstrlenA(folder) + 1 + lstrlenA(name) + lstrlenA(extension) >= PATH_CAPACITY)
        return 0;
    lstrcpyA(path, folder);
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    lstrcatA(path, extension);
    return 1;
}

/* The file-name part of a path. */
static const char *file_name_of(const char *path) {
    const char *name = path;
    for (const char *at = path; *at != '\0'; at += IsDBCSLeadByte((BYTE)*at) && at[1] ? 2 : 1)
        if (*at == '\\')
            name = at + 1;
    return name;
}

/* The name of the new text of `target_path`: "<name>.NEW" in the work folder, or a fresh
 * temporary name beside the files (made by GetTempFileNameA). */
static int make_new_text_name(char *path, const char *target_path) {
    if (in_windows_directory)
        return GetTempFileNameA(work_folder, temp_prefix, 0, path) != 0;
    return join_path(path, work_folder, file_name_of(target_path), new_text_extension);
}

/* The name the old file is kept under: its own in the work folder, or a fresh temporary name
 * made free for it (MoveFileA does not replace a file). */
static int make_aside_name(const char *target_path) {
    if (!in_windows_directory)
        return join_path(aside_path, work_folder, file_name_of(target_path), no_extension);
    if (GetTempFileNameA(work_folder, temp_prefix, 0, aside_path) == 0)
        return 0;
    DeleteFileA(aside_path);
    return 1;
}

/* ---- The new text ---- */

static int open_output(const char *path, int as_text) {
    output = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    output_used = 0;
    output_written = 0;
    output_failed = output == INVALID_HANDLE_VALUE;
    output_as_text = as_text;
    output_inside_line = 0;
    return !output_failed;
}

static void write_block() {
    DWORD written = 0;
    if (output_used > 0 && !output_failed &&
        (!WriteFile(output, output_block, (DWORD)output_used, &written, NULL) ||
         written != (DWORD)output_used))
        output_failed = 1;
    output_used = 0;
}

static void put_bytes(const char *bytes, int length) {
    for (int i = 0; i < length; i++) {
        if (output_used + 2 > OUTPUT_BLOCK_CAPACITY)
            write_block();
        if (bytes[i] == '\n' && output_as_text)
            output_block[output_used++] = '\r';
        output_block[output_used++] = bytes[i];
    }
    output_written += length;
}

/* Writes the rest, commits the file to the disk and closes it: 1 when all of it is there. */
static int close_output() {
    write_block();
    if (!output_failed && !FlushFileBuffers(output))
        output_failed = 1;
    CloseHandle(output);
    return !output_failed;
}

void write_piece(const char *text, int length) {
    if (length <= 0)
        return;
    put_bytes(text, length);
    output_inside_line = text[length - 1] != '\n';
}

void write_text(const char *text) {
    write_piece(text, lstrlenA(text));
}

void finish_open_line() {
    if (output_inside_line)
        write_piece("\n", 1);
}

/* Commits a file's data and its entry to the disk. */
static int commit_file(const char *path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int done = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return done;
}

/* ---- Putting the new text in place ---- */

/* Puts the committed new text at `new_path` in the place of `target_path`.  Returns 1 when the
 * target holds it.  The new text is gone afterwards, unless the old file could neither be
 * replaced nor come back: then both stay in the work folder, whole, for the next run. */
static int replace_with(const char *target_path, const char *new_path) {
    DWORD attributes = GetFileAttributesA(target_path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND || !MoveFileA(new_path, target_path)) {
            DeleteFileA(new_path);
            return 0;
        }
        commit_file(target_path);
        return 1;
    }
    /* A read-only file is not replaced; a copy that an earlier run still keeps aside may be all
     * that is left of the file's text; the new file keeps the old one's attributes; the old
     * one is on the disk before it is moved. */
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ||
        !make_aside_name(target_path) || may_exist(aside_path) ||
        !SetFileAttributesA(new_path, attributes) || !commit_file(target_path) ||
        !MoveFileA(target_path, aside_path)) {
        DeleteFileA(new_path);
        return 0;
    }
    if (!MoveFileA(new_path, target_path)) {
        if (MoveFileA(aside_path, target_path))
            DeleteFileA(new_path);
        return 0;
    }
    /* The new text was on the disk before it was moved; the move goes there before the old
     * file goes. */
    commit_file(target_path);
    DeleteFileA(aside_path);
    return 1;
}

/* ---- The rewrite ---- */

/* Length of the piece that fgets has just stored; `text_length` is the length up to its
 * first zero byte.  That is the whole piece when the piece is full or ends with its line
 * feed; otherwise (the file's last piece, or a zero byte inside the line) the stored
 * terminator is the last zero of the buffer. */
static int piece_length(int text_length, int capacity) {
    if (text_length == capacity - 1 || (text_length > 0 && piece[text_length - 1] == '\n'))
        return text_length;
    int length = capacity - 1;
    while (piece[length] != '\0')
        length--;
    return length;
}

static void copy_pieces(FILE *in, int capacity, piece_hook per_piece, int *flag) {
    int begins_line = 1;
    memset(piece, PIECE_FILLER, sizeof piece);
    while (fgets(piece, capacity, in) != NULL) {
        int text_length = (int)strlen(piece);
        int length = piece_length(text_length, capacity);
        per_piece(piece, length, begins_line, flag);
        begins_line = piece[length - 1] == '\n';
        /* Back to filler for the next piece. */
        if (length == text_length)
            piece[length] = PIECE_FILLER;
        else
            memset(piece, PIECE_FILLER, sizeof piece);
    }
}

/* Writes the new text of `target_path` and, as the caller decides, puts it in place. */
static int rewrite_through(const char *target_path, int capacity, piece_hook per_piece,
                           end_hook at_end, replace_hook before_replace) {
    /* A target that is there but cannot be read is never replaced. */
    FILE *in = _fsopen(target_path, "r", _SH_DENYNO);
    if ((in == NULL && may_exist(target_path)) || !open_output(rewrite_new_path, 1)) {
        if (in != NULL)
            fclose(in);
        DeleteFileA(rewrite_new_path);
        return 0;
    }
    int flag = 0;
    if (in != NULL)
        copy_pieces(in, capacity, per_piece, &flag);
    if (at_end != NULL)
        at_end(flag);

    /* A file not read to its end, or a new text not completely written and committed (a full
     * disk), must never replace the target: it would lose the target's tail. */
    int complete = in == NULL || !ferror(in);
    if (in != NULL)
        fclose(in);
    if (!close_output() || (in == NULL && output_written == 0))
        complete = 0;
    int decision = !complete                ? REWRITE_ABANDON
                   : before_replace != NULL ? before_replace(flag)
                                            : REWRITE_REPLACE;
    if (decision != REWRITE_REPLACE) {
        DeleteFileA(rewrite_new_path);
        return decision == REWRITE_UNCHANGED;
    }
    return replace_with(target_path, rewrite_new_path);
}

int rewrite(const char *target_path, int capacity, piece_hook per_piece, end_hook at_end,
            replace_hook before_replace) {
    if (capacity > LINE_PIECE_CAPACITY)
        capacity = LINE_PIECE_CAPACITY;
    if (capacity < 2)
        return 0;
    /* The file as the profile functions know it, not as Windows 95 last wrote it. */
    flush_profile_cache(target_path);
    if (!open_work_folder())
        return 0;
    int done = 0;
    if (make_new_text_name(rewrite_new_path, target_path))
        done = rewrite_through(target_path, capacity, per_piece, at_end, before_replace);
    close_work_folder();
    flush_profile_cache(target_path);
    return done;
}

/* The bytes of `source_path` as the new text at `new_path`, committed. */
static int copy_bytes(const char *source_path, const char *new_path) {
    HANDLE in = CreateFileA(source_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (in == INVALID_HANDLE_VALUE)
        return 0;
    if (!open_output(new_path, 0)) {
        CloseHandle(in);
        return 0;
    }
    int complete = 1;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, read_blocks[0], READ_BLOCK_CAPACITY, &got, NULL)) {
            complete = 0;
            break;
        }
        if (got == 0)
            break;
        put_bytes(read_blocks[0], (int)got);
    }
    CloseHandle(in);
    return close_output() && complete;
}

int copy_whole(const char *source_path, const char *target_path) {
    if (!make_new_text_name(copy_new_path, target_path))
        return 0;
    if (copy_bytes(source_path, copy_new_path))
        return replace_with(target_path, copy_new_path);
    DeleteFileA(copy_new_path);
    return 0;
}

/* ---- What an interrupted run left ---- */

/* 1 when the file at `path` holds fewer bytes than the one at `whole_path` and they are its
 * first bytes (an empty file too): a file cut short while it was written. */
static int is_cut_short(const char *path, const char *whole_path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE whole = CreateFileA(whole_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    int cut_short = 0;
    DWORD got, whole_got;
    while (file != INVALID_HANDLE_VALUE && whole != INVALID_HANDLE_VALUE &&
           ReadFile(file, read_blocks[0], READ_BLOCK_CAPACITY, &got, NULL) &&
           ReadFile(whole, read_blocks[1], READ_BLOCK_CAPACITY, &whole_got, NULL) &&
           got <= whole_got && memcmp(read_blocks[0], read_blocks[1], got) == 0) {
        if (got < whole_got) {
            cut_short = 1;
            break;
        }
        if (got == 0)
            break;
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (whole != INVALID_HANDLE_VALUE)
        CloseHandle(whole);
    return cut_short;
}

void finish_interrupted_rewrite(const char *target_path) {
    static char new_path[PATH_CAPACITY];
    const char *name = file_name_of(target_path);
    if (!build_work_folder_path() || work_folder[0] == '\0' || !is_folder(work_folder) ||
        !join_path(aside_path, work_folder, name, no_extension) ||
        !join_path(new_path, work_folder, name, new_text_extension))
        return;
    flush_profile_cache(target_path);
    int new_text = may_exist(new_path);
    if (may_exist(aside_path)) {
        DWORD attributes = GetFileAttributesA(target_path);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (GetLastError() != ERROR_FILE_NOT_FOUND)
                return;
            /* Stopped between the two moves: the new text, whole, takes the file's place.
             * Without one the file was used up and is gone: nothing to undo. */
            if (new_text && !MoveFileA(new_path, target_path))
                return;
            commit_file(target_path);
        } else if (new_text && is_cut_short(target_path, new_path)) {
            if (!DeleteFileA(target_path) || !MoveFileA(aside_path, target_path))
                return;
            commit_file(target_path);
        }
        /* Otherwise the file holds the new text, or what someone wrote since: it stays. */
        DeleteFileA(aside_path);
    }
    if (new_text)
        DeleteFileA(new_path);
    flush_profile_cache(target_path);
    RemoveDirectoryA(work_folder);
}
