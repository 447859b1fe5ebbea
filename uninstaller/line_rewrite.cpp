/* line_rewrite.cpp: the piece-by-piece rewrite of a text file through a temporary file
 * ("unsXXXX.TMP" in the Windows directory), shared by the deletion list and the system.ini
 * clean-up. */
#include <windows.h>
#include <share.h>
#include <stdio.h>
#include <string.h>

#include "line_rewrite.h"

enum { PATH_CAPACITY = 260 };

/* Filler of the piece buffer beyond the text of the current piece: any byte but zero.  With
 * it the zero that fgets stores after a piece is the last zero in the buffer, which gives the
 * piece's length even when the line itself holds zero bytes. */
enum { PIECE_FILLER = '\x01' };

static const char temp_prefix[] = "unst";

static char windows_directory[PATH_CAPACITY];
static char temp_path[PATH_CAPACITY];
static char original_path[PATH_CAPACITY]; /* the target's own bytes while it is replaced */
static char piece[LINE_PIECE_CAPACITY];
static int output_inside_line; /* the output so far ends without a line feed */

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

/* Copies the temporary file over the target.  A copy that fails halfway (a full disk) leaves
 * the target cut short, so the target's own bytes are first copied aside into a second
 * temporary file and put back from there; when they cannot be kept aside, the target is not
 * touched. */
static int replace_target(const char *target_path) {
    if (GetTempFileNameA(windows_directory, temp_prefix, 0, original_path) == 0)
        return 0;
    int replaced = 0;
    if (CopyFileA(target_path, original_path, FALSE)) {
        replaced = CopyFileA(temp_path, target_path, FALSE);
        if (!replaced)
            CopyFileA(original_path, target_path, FALSE);
    }
    DeleteFileA(original_path);
    return replaced;
}

int rewrite(const char *target_path, int capacity, piece_hook per_piece, end_hook at_end) {
    if (capacity > LINE_PIECE_CAPACITY)
        capacity = LINE_PIECE_CAPACITY;
    if (capacity < 2)
        return 0;
    UINT length = GetWindowsDirectoryA(windows_directory, PATH_CAPACITY);
    if (length == 0 || length >= PATH_CAPACITY)
        return 0;
    if (GetTempFileNameA(windows_directory, temp_prefix, 0, temp_path) == 0)
        return 0;

    FILE *in = _fsopen(target_path, "r", _SH_DENYNO);
    if (in == NULL) {
        DeleteFileA(temp_path);
        return 0;
    }
    FILE *out = _fsopen(temp_path, "w+", _SH_DENYNO);
    if (out == NULL) {
        fclose(in);
        DeleteFileA(temp_path);
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
    int replaced = complete && replace_target(target_path);
    DeleteFileA(temp_path);
    return replaced;
}
