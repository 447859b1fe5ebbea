/* conformance.h: the Win32 behaviours that the uninstaller and the vendor-setup library rely
 * on, written once and run on two platforms: built natively against the stand-in (winsim,
 * which plays Windows 95/98) and cross-built with MinGW against the real API under Wine.  One
 * file per area (profile.cpp, files.cpp, registry.cpp, ...), as Wine's own tests are split;
 * conformance.cpp holds the checking helpers, what differs in setting up each platform, and
 * main, which runs every area.
 *
 * Each check prints the values it measured, passed or not, so that the output is the
 * conformance table of the platform.  Where Wine is known to differ from Windows 95/98, the
 * row carries Wine's value too (`result_wine` beside `result`) and is checked with todo_wine_ok:
 * the output marks it "todo", says what the system needs, and reports it as a failure the day Wine
 * gives Windows' value.  The program ends with "N passed, N failed" and exits with 1 when a check
 * failed.
 *
 * It changes the machine it runs on (files under C:\ and in the Windows directory, a key
 * under HKEY_LOCAL_MACHINE\Software, win.ini's load line, printers): run it in a scratch
 * machine only, a fresh sandbox or a copy of a Wine prefix. */
#ifndef CONFORMANCE_H
#define CONFORMANCE_H

/* stdio.h first: on Windows the program prints through the C library's own printf, which
 * windows.h (through the C++ library's configuration) would replace by MinGW's, a part of
 * MinGW's runtime that the deliverables do not link. */
#include <stdio.h>
#include <windows.h>
#include <winspool.h>
#include <ddeml.h>
#include <share.h>
#include <stdarg.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#ifdef CONFORMANCE_STAND_IN
#include "winsim.h"
#endif

enum {
    PATH_CAPACITY = 260,
    SHOWN_CAPACITY = 8,
    SHOWN_TEXT_CAPACITY = 700,
    FILE_CAPACITY = 524288,
    FILL = 0xCC /* pre-fill of output buffers: a write past the text shows */
};

/* ---- Platforms and checks ---- */

enum platform { STAND_IN, WINE, WINDOWS };
extern platform current_platform;

/* Wine-tests style: the message carries the measured values; every check is printed. */
#define ok(condition, ...) ok_at(__FILE__, __LINE__, (condition) ? 1 : 0, __VA_ARGS__)
__attribute__((format(printf, 4, 5))) void ok_at(const char *file, int line, int condition,
                                                 const char *format, ...);

/* A check where Wine is known to differ: `as_windows` whether the platform did as Windows
 * 95/98 do, `as_wine` whether it did as Wine is known to.  On Wine a known difference is
 * counted as passed and printed "todo"; Wine doing as Windows is a failure that asks for the
 * mark to go.  Elsewhere only `as_windows` counts. */
#define todo_wine_ok(as_windows, as_wine, ...)                                                     \
    todo_wine_ok_at(__FILE__, __LINE__, (as_windows) ? 1 : 0, (as_wine) ? 1 : 0, __VA_ARGS__)
__attribute__((format(printf, 5, 6))) void
todo_wine_ok_at(const char *file, int line, int as_windows, int as_wine, const char *format, ...);

void section(const char *title);
/* Bytes as a quoted C text, \xNN for everything but printable ASCII (several per message). */
const char *show(const char *bytes, int length);
const char *show(const char *text);
int same_bytes(const char *a, int a_length, const char *b, int b_length);
int untouched(const char *buffer, int from, int to);

/* ---- Files, through the C library in binary mode ---- */

extern char file_bytes[FILE_CAPACITY];
int write_bytes(const char *path, const char *bytes, int length);
int write_text(const char *path, const char *text);
/* Length of the file read into `bytes`, or -1. */
int read_bytes(const char *path, char *bytes, int capacity);
extern char windows_directory[PATH_CAPACITY];
void windows_path(char *out, const char *name);

/* A started copy of the program writes its own file name here. */
extern const char CHILD_MARKER[];

/* ---- What differs in setting up the machine ---- */

/* A program at `path` that, started, writes its own file name into CHILD_MARKER. */
int install_child(const char *path);
void set_read_only(const char *path, int read_only);
/* Whether write opens and copies go through a read-only attribute (never on Windows). */
int read_only_is_overwritten();
/* A hidden top-level window with the title, as another program's would be. */
HWND open_window(const char *title);
void close_window(HWND window);
int add_unused_driver(const char *driver);
/* Installs a local printer (and its driver); `jobs` queued jobs, as far as the platform can
 * be made to have them. */
int add_printer(const char *name, const char *port, const char *driver, int jobs);
void end_printer_jobs();

/* ---- The areas ---- */

void check_profiles();
void check_profile_cut_in_a_character();
void check_name_without_folder();
void check_win_ini();
void check_win_ini_bytes();
void check_short_paths();
void check_temp_names();
void check_wildcards();
void check_file_calls();
void check_folders();
void check_text_mode_reads();
void check_text_mode_writes();
void check_c_library_text();
void check_load_string(HINSTANCE instance);
void check_upper_case();
void check_win32_text();
void check_registry();
void check_registry_values();
void check_spooler();
void check_spooler_deletions();
void check_processes();
void check_find_window();
void check_memory();
void check_dde();

#endif
