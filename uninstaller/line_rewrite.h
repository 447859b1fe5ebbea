/* line_rewrite.h: the way the uninstaller edits a Windows configuration file of the Windows
 * directory (wininit.ini, system.ini): copied piece by piece into a temporary file, where
 * hooks drop pieces or add lines, and then copied back over the file.
 *
 * Both files are text files: read with each CR LF turned into LF and ending at a Ctrl-Z
 * byte, written with each LF turned into CR LF.  A piece is one read of at most
 * capacity - 1 bytes: it ends after a line feed, when full, or at the end of the file, so a
 * line longer than that comes as several pieces.  Zero bytes inside a line are part of its
 * pieces.
 *
 * These files are what Windows needs to start, so no interruption may leave one cut short:
 * not a full disk, not a file held open by another program, not a kill or a power cut.  The
 * uninstaller's temporary files live in a folder of its own in the Windows directory
 * (KMW48RMV.TMP).  Before a file is replaced, its own bytes are kept aside there, complete,
 * under the file's own name; the copy kept aside is deleted once the copy back has completed.
 * A copy kept aside that is still there means that a copy back may not have finished: the
 * next run puts it back over its file before it reads anything (finish_interrupted_rewrites),
 * and the file is then in the state it had before that rewrite began, which that run edits
 * again. */
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

/* What a caller decides once the new text is complete, before the file is replaced. */
enum {
    REWRITE_ABANDON = 0,  /* leave the file as it is: the rewrite has failed */
    REWRITE_REPLACE = 1,  /* replace the file with the new text */
    REWRITE_UNCHANGED = 2 /* the file already holds what it should: leave it, done */
};
typedef int (*replace_hook)(int flag);

/* Rewrites `target_path` (a file of the Windows directory) through the hooks; `at_end` and
 * `before_replace` may be NULL (no lines added; always replace).  Returns 1 when the target
 * holds the rewritten text (or, by the decision of `before_replace`, already held it), 0 when
 * it kept its content (on any failure). */
int rewrite(const char *target_path, int capacity, piece_hook per_piece, end_hook at_end,
            replace_hook before_replace);

/* Makes `target_path` a complete copy of `source_path`: the copy is written under a temporary
 * name and put in place once complete.  Returns 1 when it is; 0 when the copy failed, and
 * then an existing target is as it was.  (A run killed while the copy takes the target's
 * place leaves no target: never one cut short.) */
int copy_whole(const char *source_path, const char *target_path);

/* Undoes what an interrupted run left: puts each copy kept aside back over its file and
 * deletes it, and removes the uninstaller's temporary files and folder.  A file that no
 * longer exists is not brought back (Windows carries out wininit.ini while it starts and
 * renames it). */
void finish_interrupted_rewrites();

/* Output for the hooks: a piece as read, zero bytes included; a zero-terminated text; and a
 * line feed when the output so far ends inside a line (a last line without its line feed),
 * so that what is appended next stands on a line of its own. */
void write_piece(const char *piece, int length, FILE *out);
void write_text(const char *text, FILE *out);
void finish_open_line(FILE *out);

#endif
