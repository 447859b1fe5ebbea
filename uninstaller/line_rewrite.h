/* line_rewrite.h: the way the uninstaller edits a Windows configuration file (wininit.ini,
 * system.ini): copied piece by piece into a temporary file in the Windows directory, where
 * hooks drop pieces or add lines, and then copied back over the file.
 *
 * Both files are text files: read with each CR LF turned into LF and ending at a Ctrl-Z
 * byte, written with each LF turned into CR LF.  A piece is one read of at most
 * capacity - 1 bytes: it ends after a line feed, when full, or at the end of the file, so a
 * line longer than that comes as several pieces.  Zero bytes inside a line are part of its
 * pieces.  If the file cannot be read to its end or the temporary file cannot be written
 * completely, the file is left as it was; a copy back that fails leaves it as it was too (its
 * own bytes are kept aside in a second temporary file while it is replaced). */
#ifndef KMW48RMV_LINE_REWRITE_H
#define KMW48RMV_LINE_REWRITE_H

#include <stdio.h>

/* The largest piece capacity a caller may give. */
enum { LINE_PIECE_CAPACITY = 512 };

/* Called for each piece in file order.  `piece` holds `length` bytes (at least 1) followed
 * by a zero; `begins_line` is 1 for the piece that begins a line, 0 for the further pieces
 * of a long line.  The hook writes the piece to `out` with write_piece, or drops it, and may
 * write more.  `flag` is the hooks' own state for one rewrite, 0 at its start. */
typedef void (*piece_hook)(const char *piece, int length, int begins_line, FILE *out, int *flag);
/* Called once after the last piece with the flag's final value; may append lines. */
typedef void (*end_hook)(FILE *out, int flag);

/* Rewrites `target_path` through the hooks; `at_end` may be NULL.  Returns 1 when the target
 * holds the rewritten text, 0 when it kept its content (on any failure). */
int rewrite(const char *target_path, int capacity, piece_hook per_piece, end_hook at_end);

/* Output for the hooks: a piece as read, zero bytes included; a zero-terminated text; and a
 * line feed when the output so far ends inside a line (a last line without its line feed),
 * so that what is appended next stands on a line of its own. */
void write_piece(const char *piece, int length, FILE *out);
void write_text(const char *text, FILE *out);
void finish_open_line(FILE *out);

#endif
