/* line_rewrite.h: the way the uninstaller edits a Windows configuration file of the Windows
 * directory (wininit.ini, system.ini) and replaces its backup (SYSTEM.KMW): the new text is
 * written whole under a temporary name, piece by piece through hooks that drop pieces or add
 * lines, committed to the disk, and then moved into the file's place.
 *
 * Both files are text files: read with each CR LF turned into LF and ending at a Ctrl-Z
 * byte, written with each LF turned into CR LF.  A piece is one read of at most
 * capacity - 1 bytes: it ends after a line feed, when full, or at the end of the file, so a
 * line longer than that comes as several pieces.  Zero bytes inside a line are part of its
 * pieces.
 *
 * These files are what Windows needs to start, and Windows 95 holds what is written in two
 * caches: the profile functions keep an INI file's changes until they are flushed, and the
 * disk cache writes file data some seconds later, in any order.  So:
 * - the profile cache of a file is flushed before the file is read as a file and again once
 *   it has been replaced (a program that edits system.ini itself must, KB Q107695);
 * - a file is never overwritten in place.  The new text goes to a file of its own in the
 *   uninstaller's work folder KMW48RMV.TMP of the Windows directory ("<name>.NEW"), is
 *   committed (FlushFileBuffers), takes the old file's attributes, and then the old file,
 *   committed too, is moved aside into the work folder under its own name, the new text is
 *   moved into its place and committed there, and only then does the old one go.
 * After a power cut, a hang switched off or a kill at any moment, the file is therefore its
 * old text or its new text, whole, but for the instant between the two moves, when it is
 * missing while both texts lie whole in the work folder: the next run finishes that move
 * before it reads anything (finish_interrupted_rewrite).  What no program can promise on a
 * FAT volume is a sector or a FAT entry cut in the middle of its write: that is the disk
 * checker's work at the next start.
 *
 * The next run puts a copy kept aside back only over a file that is not whole (empty, or a
 * proper prefix of the new text); a file that holds the new text, or anything else (someone
 * changed it since), stays as it is, and the leftovers go.  In the work folder the uninstaller
 * acts only on the names it writes itself, the copies kept aside and the new texts of the
 * files it replaces: any other file stays, and the folder with it.  When the work folder cannot be
 * had (a file of that name, a folder that cannot be made), the files are replaced the same way with
 * temporary names in the Windows directory itself; an interruption there is not finished by
 * the next run (it cannot find them), and its temporary files stay. */
#ifndef KMW48RMV_LINE_REWRITE_H
#define KMW48RMV_LINE_REWRITE_H

/* The largest piece capacity a caller may give. */
enum { LINE_PIECE_CAPACITY = 512 };

/* Called for each piece in file order.  `piece` holds `length` bytes (at least 1) followed
 * by a zero; `begins_line` is 1 for the piece that begins a line, 0 for the further pieces
 * of a long line.  The hook writes the piece with write_piece, or drops it, and may write
 * more.  `flag` is the hooks' own state for one rewrite, 0 at its start. */
typedef void (*piece_hook)(const char *piece, int length, int begins_line, int *flag);
/* Called once after the last piece with the flag's final value; may append lines. */
typedef void (*end_hook)(int flag);

/* What a caller decides once the new text is complete, before the file is replaced. */
enum {
    REWRITE_ABANDON = 0,  /* leave the file as it is: the rewrite has failed */
    REWRITE_REPLACE = 1,  /* replace the file with the new text */
    REWRITE_UNCHANGED = 2 /* the file already holds what it should: leave it, done */
};
typedef int (*replace_hook)(int flag);

/* Rewrites `target_path` (a file of the Windows directory) through the hooks; `at_end` and
 * `before_replace` may be NULL (no lines added; always replace).  A missing target reads as
 * an empty file: only a text that the hooks write makes one.  Returns 1 when the target
 * holds the rewritten text (or, by the decision of `before_replace`, already held it), 0 when
 * it kept its content (on any failure). */
int rewrite(const char *target_path, int capacity, piece_hook per_piece, end_hook at_end,
            replace_hook before_replace);

/* Makes `target_path` a complete copy of `source_path`, replaced as above, in the work folder
 * of the rewrite that calls it from its `before_replace` hook.  Returns 1 when it is; 0 when
 * the copy failed, and then an existing target is as it was. */
int copy_whole(const char *source_path, const char *target_path);

/* Finishes what an interrupted run left of the replacement of `target_path`: a move that was
 * not made is made, a copy kept aside is put back over a file that is not whole, and the
 * leftovers go; the work folder goes once empty.  A file that no longer exists and has no new
 * text waiting is not brought back (Windows carries out wininit.ini while it starts and
 * renames it). */
void finish_interrupted_rewrite(const char *target_path);

/* Flushes the profile functions' cache of an INI file to the disk (Windows 95 holds its
 * changes there; the call returns FALSE after flushing, whatever happened). */
void flush_profile_cache(const char *path);

/* Output for the hooks: a piece as read, zero bytes included; a zero-terminated text; and a
 * line feed when the output so far ends inside a line (a last line without its line feed),
 * so that what is appended next stands on a line of its own. */
void write_piece(const char *piece, int length);
void write_text(const char *text);
void finish_open_line();

#endif
