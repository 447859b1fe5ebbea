/* line_rewrite.cpp: the piece-by-piece rewrite of a text file through a temporary file
 * ("unsXXXX.TMP" in the uninstaller's own folder KMW48RMV.TMP of the Windows directory), with
 * the file's own bytes kept aside while it is replaced; shared by the deletion list and the
 * system.ini clean-up (see line_rewrite.h). */
#include <windows.h>
#include <share.h>
#include <stdio.h>
#include <string.h>

#include "line_rewrite.h"
#include "text.h"

enum { PATH_CAPACITY = 260, TEMP_NAME_LENGTH = 11 /* unsXXXX.TMP */ };

/* Filler of the piece buffer beyond the text of the current piece: any byte but zero.  With
 * it the zero that fgets stores after a piece is the last zero in the buffer, which gives the
 * piece's length even when the line itself holds zero bytes. */
enum { PIECE_FILLER = '\x01' };

static const char temp_prefix[] = "unst";
static const char temp_name_start[] = "uns"; /* GetTempFileNameA keeps three letters */
static const char temp_extension[] = ".TMP";
static const char work_folder_name[] = "\\KMW48RMV.TMP";
static const char backslash[] = "\\";
static const char every_entry[] = "\\*.*";

static char windows_directory[PATH_CAPACITY];
static char work_folder[PATH_CAPACITY];
static char temp_path[PATH_CAPACITY];  /* the new text */
static char copy_path[PATH_CAPACITY];  /* a copy while it is written */
static char old_path[PATH_CAPACITY];   /* the file that a copy replaces, while it does */
static char aside_path[PATH_CAPACITY]; /* the target's own bytes while it is replaced */
static char found_path[PATH_CAPACITY];
static char restored_path[PATH_CAPACITY];
static WIN32_FIND_DATAA found_entry;
static char piece[LINE_PIECE_CAPACITY];
static int output_inside_line; /* the output so far ends without a line feed */

/* The path of the uninstaller's own folder, built afresh; 0 when it does not fit. */
static int build_work_folder_path() {
    UINT length = GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    if (length == 0 || length + sizeof work_folder_name > PATH_CAPACITY)
        return 0;
    lstrcpyA(work_folder, windows_directory);
    lstrcatA(work_folder, work_folder_name);
    return 1;
}

static int is_folder(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* The folder exists (made now, or left by an earlier run). */
static int open_work_folder() {
    if (!build_work_folder_path())
        return 0;
    return CreateDirectoryA(work_folder, NULL) || is_folder(work_folder);
}

/* The folder goes once it is empty. */
static void close_work_folder() {
    RemoveDirectoryA(work_folder);
}

/* `folder` + "\" + `name` into `path`; 0 when it does not fit. */
static int join_path(char *path, const char *folder, const char *name) {
    if (lstrlenA(folder) + 1 + lstrlenA(name) >= PATH_CAPACITY)
        return 0;
    lstrcpyA(path, folder);
    lstrcatA(path, backslash);
    lstrcatA(path, name);
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

/* A name that GetTempFileNameA gives for the prefix: "uns", four hexadecimal digits, ".TMP". */
static int is_temporary_name(const char *name) {
    return lstrlenA(name) == TEMP_NAME_LENGTH && ascii_prefix_equal(name, 3, temp_name_start) &&
           ascii_prefix_equal(name + 7, 4, temp_extension);
}

void write_piece(const char *text, int length, FILE *out) {
    if (length <= 0)
        return;
    fwrite(text, 1, (size_t)length, out);
    output_inside_line = text[length - 1] != '\n';
}

void write_text(const char *text, FILE *out) {
    int length = lstrlenA(text);
    if (length == 0)
        return;
    fputs(text, out);
    output_inside_line = text[length - 1] != '\n';
}

void finish_open_line(FILE *out) {
    if (!output_inside_line)
        return;
    fputc('\n', out);
    output_inside_line = 0;
}

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

static void copy_pieces(FILE *in, FILE *out, int capacity, piece_hook per_piece, int *flag) {
    int begins_line = 1;
    memset(piece, PIECE_FILLER, sizeof piece);
    while (fgets(piece, capacity, in) != NULL) {
        int text_length = (int)strlen(piece);
        int length = piece_length(text_length, capacity);
        per_piece(piece, length, begins_line, out, flag);
        begins_line = piece[length - 1] == '\n';
        /* Back to filler for the next piece. */
        if (length == text_length)
            piece[length] = PIECE_FILLER;
        else
            memset(piece, PIECE_FILLER, sizeof piece);
    }
}

/* Moves an existing target out of the way, into `old_path` in the work folder; 1 when there
 * is no target any more (or was none). */
static int move_old_target(const char *target_path) {
    DWORD attributes = GetFileAttributesA(target_path);
    old_path[0] = '\0';
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    /* A read-only file is not replaced, as a copy over it would not replace it. */
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return 0;
    /* MoveFileA does not replace a file: the fresh temporary name is made free for it. */
    if (GetTempFileNameA(work_folder, temp_prefix, 0, old_path) == 0)
        return 0;
    DeleteFileA(old_path);
    if (MoveFileA(target_path, old_path))
        return 1;
    DeleteFileA(old_path);
    old_path[0] = '\0';
    return 0;
}

int copy_whole(const char *source_path, const char *target_path) {
    if (!open_work_folder())
        return 0;
    int done = 0;
    if (GetTempFileNameA(work_folder, temp_prefix, 0, copy_path) != 0) {
        /* The old target makes way only once the copy is whole, and comes back when the copy
         * cannot take its place. */
        if (CopyFileA(source_path, copy_path, FALSE) && move_old_target(target_path)) {
            done = MoveFileA(copy_path, target_path);
            if (old_path[0] != '\0') {
                if (done)
                    DeleteFileA(old_path);
                else
                    MoveFileA(old_path, target_path);
            }
        }
        if (!done)
            DeleteFileA(copy_path);
    }
    close_work_folder();
    return done;
}

/* Copies the temporary file over the target.  CopyFileA truncates the target before it
 * writes it, so its own bytes are first kept aside, complete, in the work folder: a copy back
 * that fails (a full disk) is undone from there at once, one that is interrupted (a kill, a
 * power cut) by the next run.  While an earlier run's copy is still kept aside the target is
 * not touched: that copy may be all that is left of it. */
static int replace_target(const char *target_path) {
    /* A read-only target refuses the copy back, and the copy kept aside could not be put
     * back either: it is not touched. */
    DWORD attributes = GetFileAttributesA(target_path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY))
        return 0;
    if (!join_path(aside_path, work_folder, file_name_of(target_path)) ||
        GetFileAttributesA(aside_path) != INVALID_FILE_ATTRIBUTES ||
        GetLastError() != ERROR_FILE_NOT_FOUND)
        return 0;
    if (!copy_whole(target_path, aside_path))
        return 0;
    if (!CopyFileA(temp_path, target_path, FALSE)) {
        /* Put back; when even that fails the copy stays for the next run. */
        if (CopyFileA(aside_path, target_path, FALSE))
            DeleteFileA(aside_path);
        return 0;
    }
    DeleteFileA(aside_path);
    return 1;
}

/* Writes the new text into the temporary file and, as the caller decides, puts it in place. */
static int rewrite_through_temporary(const char *target_path, int capacity, piece_hook per_piece,
                                     end_hook at_end, replace_hook before_replace) {
    FILE *in = _fsopen(target_path, "r", _SH_DENYNO);
    if (in == NULL)
        return 0;
    FILE *out = _fsopen(temp_path, "w+", _SH_DENYNO);
    if (out == NULL) {
        fclose(in);
        return 0;
    }

    int flag = 0;
    output_inside_line = 0;
    copy_pieces(in, out, capacity, per_piece, &flag);
    if (at_end != NULL)
        at_end(out, flag);

    /* A file not read to its end, or a temporary file not completely written (a full
     * disk), must never replace the target: it would lose the target's tail. */
    int complete = !ferror(in) && !ferror(out);
    fclose(in);
    if (fclose(out) != 0)
        complete = 0;
    if (!complete)
        return 0;
    int decision = before_replace != NULL ? before_replace(flag) : REWRITE_REPLACE;
    if (decision == REWRITE_UNCHANGED)
        return 1;
    return decision == REWRITE_REPLACE && replace_target(target_path);
}

int rewrite(const char *target_path, int capacity, piece_hook per_piece, end_hook at_end,
            replace_hook before_replace) {
    if (capacity > LINE_PIECE_CAPACITY)
        capacity = LINE_PIECE_CAPACITY;
    if (capacity < 2 || !open_work_folder())
        return 0;
    int done = 0;
    if (GetTempFileNameA(work_folder, temp_prefix, 0, temp_path) != 0) {
        done = rewrite_through_temporary(target_path, capacity, per_piece, at_end, before_replace);
        DeleteFileA(temp_path);
    }
    close_work_folder();
    return done;
}

/* A copy kept aside goes back over its file of the Windows directory, then goes. */
static void put_back(const char *name) {
    if (!join_path(restored_path, windows_directory, name))
        return;
    if (GetFileAttributesA(restored_path) == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            DeleteFileA(found_path); /* the file was used up and is gone: nothing to undo */
        return;
    }
    if (CopyFileA(found_path, restored_path, FALSE))
        DeleteFileA(found_path);
}

void finish_interrupted_rewrites() {
    if (!build_work_folder_path() || !is_folder(work_folder) ||
        lstrlenA(work_folder) + sizeof every_entry > PATH_CAPACITY)
        return;
    lstrcpyA(found_path, work_folder);
    lstrcatA(found_path, every_entry);
    HANDLE search = FindFirstFileA(found_path, &found_entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found_entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                !join_path(found_path, work_folder, found_entry.cFileName))
                continue;
            /* Everything in the folder is the uninstaller's own: a temporary file is only
             * deleted, any other file is a copy kept aside. */
            if (is_temporary_name(found_entry.cFileName))
                DeleteFileA(found_path);
            else
                put_back(found_entry.cFileName);
        } while (FindNextFileA(search, &found_entry));
        FindClose(search);
    }
    close_work_folder();
}
