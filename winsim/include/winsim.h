/* winsim.h: the control side of the Win32 stand-in, for tests only.
 *
 * A test sets up a small Windows 95/98 machine (files under drive C:, registry, printers,
 * windows, programs, scripted answers), runs a piece of the system through the real API
 * names, and then reads back what happened.  Every machine lives in a sandbox folder of
 * its own; nothing outside it is touched. */
#ifndef WINSIM_WINSIM_H
#define WINSIM_WINSIM_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

/* One row of a module's string table, in UTF-8, as generated from the .rc file. */
struct winsim_string_row {
    unsigned id;
    const char *utf8;
};

/* ---- The machine ---------------------------------------------------------------- */

/* Throws the old machine away and makes a new one: an empty sandbox folder playing drive C:
 * with C:\WINDOWS and C:\WINDOWS\SYSTEM, the current directory C:\WINDOWS, an empty registry
 * (but for the predefined roots), no windows, programs, printers or scripted answers, and the
 * ANSI code page 932. */
void winsim_reset();
/* Removes the sandbox folder (also done by the next reset and at exit). */
void winsim_cleanup();
/* The sandbox folder on the host that plays drive C:. */
std::string winsim_drive_root();
/* Host path of a Windows path (resolved case-insensitively where it exists). */
std::string winsim_host_path(const std::string &windows_path);
/* The sandbox's current directory, as GetCurrentDirectoryA gives it. */
std::string winsim_current_directory();

/* ---- Files, for setting up and checking a machine ----------------------------- */
void winsim_write_file(const std::string &windows_path, const std::string &bytes);
bool winsim_read_file(const std::string &windows_path, std::string *bytes);
std::string winsim_file(const std::string &windows_path); /* "" when missing */
bool winsim_file_exists(const std::string &windows_path);
bool winsim_dir_exists(const std::string &windows_path);
void winsim_make_dir(const std::string &windows_path); /* with missing parents */
std::vector<std::string> winsim_list_dir(const std::string &windows_path);
void winsim_set_read_only(const std::string &windows_path, bool read_only);
/* The short (8.3) form of an existing absolute path, as GetShortPathNameA gives it; "" when
 * the path does not exist.  Not a call of the program's: it is not counted. */
std::string winsim_short_path(const std::string &windows_path);

/* ---- ANSI code page ------------------------------------------------------------ */
std::string winsim_ansi(const std::string &utf8); /* UTF-8 to the ANSI code page (932) */

/* ---- Modules -------------------------------------------------------------------- */
/* Makes `path` the running program: GetModuleFileNameA(NULL) gives it, GetCommandLineA gives
 * `command_line`, and LoadStringA on the returned instance reads `strings`.  Creates the
 * program file in the sandbox when missing. */
HINSTANCE winsim_start_program(const std::string &path, const winsim_string_row *strings,
                               const std::string &command_line);
/* A library loaded into the running program, as LoadLibrary would give it. */
HINSTANCE winsim_load_library(const std::string &path, const winsim_string_row *strings);
/* Text of a string-table row in UTF-8, straight from the table (nullptr when absent). */
const char *winsim_string_utf8(const winsim_string_row *strings, unsigned id);

/* ---- Message boxes ------------------------------------------------------------- */
struct winsim_box {
    HWND owner;
    std::string caption; /* ANSI bytes as passed */
    std::string text;
    UINT style;
    int answer;
    bool scripted;
};
/* The answers for the next boxes, in order (IDOK, IDYES, IDNO ..., or 0 for a box that
 * could not be shown).  A box without a scripted answer is recorded as unscripted and
 * returns 0: a test that meets one has found a box it did not expect. */
void winsim_script_boxes(const std::vector<int> &answers);
/* Answers each box that has no scripted answer left by calling `answer` (the box as shown,
 * its answer not yet set); such boxes count as scripted.  nullptr turns it off. */
void winsim_answer_boxes(std::function<int(const winsim_box &)> answer);
const std::vector<winsim_box> &winsim_boxes();
int winsim_unscripted_boxes();
int winsim_unused_answers();

/* ---- Top-level windows of other programs -------------------------------------- */
HWND winsim_open_window(const std::string &ansi_title);
void winsim_close_window(HWND window);
HWND winsim_desktop_window();

/* ---- Processes ------------------------------------------------------------------ */
/* What a started program does: it gets its command line and returns its exit code.  It runs
 * when the process is created (the stand-in has no concurrency). */
using winsim_program = std::function<DWORD(const std::string &command_line)>;
/* Installs a program file at `path` (created in the sandbox) that runs `run` when started. */
void winsim_install_program(const std::string &path, winsim_program run);

struct winsim_process_start {
    bool had_application_name;
    std::string command_line;
    std::string image; /* the program file that was found, "" when the start failed */
    BOOL inherit_handles;
    DWORD creation_flags;
    bool had_environment;
    bool had_current_directory;
    DWORD startup_size;
    bool started;
    bool waited;
};
const std::vector<winsim_process_start> &winsim_process_starts();
/* Handles (processes, threads, finds, printers, keys) not closed yet. */
int winsim_open_handles();

/* ---- Open-file dialog ----------------------------------------------------------- */
/* What the user does in the next open-file dialogs, in order:
 *   choose: picks an existing file from the list; the dialog gives its full path with the
 *           letter case found on disk;
 *   type:   types a name into the file-name box; the dialog makes it absolute against the
 *           current directory and adds the default extension to a name without one, but
 *           does not ask whether the file exists;
 *   cancel: closes the dialog.
 * After choose or type the dialog leaves the current directory at the file's folder when
 * that folder exists (Windows 95/98 without OFN_NOCHANGEDIR).  An opening without a scripted
 * answer is recorded as unscripted and acts as cancel. */
enum winsim_dialog_action { WINSIM_DIALOG_CHOOSE, WINSIM_DIALOG_TYPE, WINSIM_DIALOG_CANCEL };
struct winsim_dialog_answer {
    winsim_dialog_action action;
    std::string path; /* ANSI bytes */
};
inline winsim_dialog_answer winsim_choose(const std::string &path) {
    return winsim_dialog_answer{WINSIM_DIALOG_CHOOSE, path};
}
inline winsim_dialog_answer winsim_type(const std::string &name) {
    return winsim_dialog_answer{WINSIM_DIALOG_TYPE, name};
}
inline winsim_dialog_answer winsim_cancel() {
    return winsim_dialog_answer{WINSIM_DIALOG_CANCEL, std::string()};
}
void winsim_script_dialogs(const std::vector<winsim_dialog_answer> &answers);

/* One opening of the dialog with the settings the caller gave. */
struct winsim_dialog_opening {
    DWORD struct_size;
    HWND owner;
    std::string filter;       /* bytes up to and including the closing double zero */
    LPSTR file_buffer;        /* lpstrFile */
    DWORD file_capacity;      /* nMaxFile */
    std::string initial_file; /* the file buffer's text when the dialog opened */
    std::string title;        /* "" when none */
    DWORD flags;
    std::string default_extension; /* "" when none */
    bool other_fields_zero;        /* every field of the Windows 95 structure not above */
    BOOL result;
    bool scripted;
};
const std::vector<winsim_dialog_opening> &winsim_dialog_openings();
int winsim_unscripted_dialogs();
int winsim_unused_dialog_answers();

/* ---- Restart -------------------------------------------------------------------- */
struct winsim_restart {
    UINT flags;
    DWORD reserved;
};
void winsim_set_restart_result(BOOL result);
const std::vector<winsim_restart> &winsim_restarts();

/* ---- Global memory -------------------------------------------------------------- */
int winsim_global_blocks_in_use();

/* ---- Print spooler ------------------------------------------------------------ */
/* Installs a printer driver of the environment "Windows 4.0" (once per name). */
void winsim_add_printer_driver(const std::string &name);
/* Adds a local printer at the end of the spooler's list, installing its driver when
 * missing.  Names are ANSI bytes; `jobs` is the count of queued jobs it reports. */
void winsim_add_printer(const std::string &name, const std::string &port, const std::string &driver,
                        DWORD jobs = 0);
/* An unopenable printer refuses OpenPrinterA with ERROR_ACCESS_DENIED. */
void winsim_set_printer_openable(const std::string &name, bool openable);
std::vector<std::string> winsim_printers(); /* names, in the spooler's order */
std::vector<std::string> winsim_printer_drivers();

/* One printer or driver request, in the order made. */
struct winsim_spooler_request {
    std::string api;  /* "OpenPrinterA", "DeletePrinter", "ClosePrinter", "DeletePrinterDriverA" */
    std::string name; /* the printer's name, or the driver's */
    BOOL result;
};
const std::vector<winsim_spooler_request> &winsim_spooler_requests();

/* ---- Registry, for tests (the system itself uses the real API) --------------- */
bool winsim_reg_key_exists(HKEY root, const std::string &path);
void winsim_reg_set(HKEY root, const std::string &path, const std::string &name, DWORD type,
                    const std::string &bytes);
void winsim_reg_set_string(HKEY root, const std::string &path, const std::string &name,
                           const std::string &value);
void winsim_reg_set_dword(HKEY root, const std::string &path, const std::string &name, DWORD value);
/* Reads a value; false when the key or the value is missing. */
bool winsim_reg_get(HKEY root, const std::string &path, const std::string &name, DWORD *type,
                    std::string *bytes);
/* The whole registry, one line per key and per value, keys in depth-first order with their
 * subkeys sorted by name (letter case ignored):
 *     key HKEY_LOCAL_MACHINE\SOFTWARE
 *     value HKEY_LOCAL_MACHINE\SOFTWARE\X [name] type 4 = 01 00 00 00
 * so that two states of a machine compare line by line. */
std::vector<std::string> winsim_registry();
/* Makes RegDeleteKeyA behave as on Windows NT (and Wine): a key with subkeys is refused with
 * ERROR_ACCESS_DENIED.  The default is Windows 95/98, which deletes the whole subtree. */
void winsim_reg_delete_key_nt(bool nt_behaviour);

/* ---- DDE and the Program Manager ---------------------------------------------- */
/* The Program Manager is a DDE server for service and topic "PROGMAN".  Asked for a group (the
 * group's name as the item, CF_TEXT) it answers, as the Program Manager does:
 *     "<name>",<group file>,<item count>,<window state>\r\n
 * then one line per item:
 *     "<title>","<command>",<directory>,<icon file>,<x>,<y>,<icon index>,<hot key>,<minimized>
 * each ended by \r\n, the whole ended by a zero.  It executes [DeleteGroup(name[,common])]
 * (parameters as its command parser reads them: quoted, or up to a comma, parenthesis or
 * bracket with trailing blanks dropped) and deletes the group whether it holds items or not.
 * A machine starts without it: DdeConnect then finds no partner. */
struct winsim_progman_item {
    std::string title;
    std::string command;
};
void winsim_progman_start();
/* Adds a group; `group_file` is what the reply names as its file ("" names the group's
 * folder, C:\WINDOWS\Start Menu\Programs\<name>). */
void winsim_progman_add_group(const std::string &name,
                              const std::vector<winsim_progman_item> &items,
                              const std::string &group_file = "");
std::vector<std::string> winsim_progman_groups(); /* names, in the order added */
/* From now on every group request is answered with exactly these bytes (none: an empty data
 * block), whatever the item. */
void winsim_progman_reply_with(const std::string &bytes);
/* From now on group requests are not answered: the client's transaction times out. */
void winsim_progman_silent();
/* Data of every execute transaction, as sent (terminating zero included when it was sent). */
const std::vector<std::string> &winsim_progman_commands();

/* DDE objects still alive: instances, conversations, string handles and data handles. */
int winsim_dde_open_objects();

/* ---- Windows 95's caches, a power cut and the start of Windows ------------------ */
/* What programs write is held (disk.cpp, profile.cpp, registry.cpp say how); the test-side
 * file reads above see the disk.  A machine as set up is on the disk; so is everything once
 * it has shut down. */
void winsim_shut_down();
/* A power cut: the running program's process is gone; each file written since its last
 * commit holds neither its old nor its new text (one that was there is garbled, one created
 * since holds nothing), while creations, deletions and moves stay made; registry values
 * changed since the last RegFlushKey of their key go back; the profile cache is lost. */
void winsim_power_cut();
/* Windows starts again (after a shutdown, which this makes, or a power cut): it carries out
 * the [rename] sections of wininit.ini and renames the file to wininit.bak. */
void winsim_start_windows();

/* ---- Platform call failures --------------------------------------------------- */
/* Every platform call is counted by name.  winsim_fail_call makes the n-th call (1-based,
 * counted from now) of `api` fail as that call fails on Windows: with its documented error
 * result and last error, and with what the failure does to the machine (a CopyFileA fails
 * as on a full disk, after the target was opened for writing; a profile read fails as a file
 * that cannot be read, giving the default).  Calls that cannot fail for the arguments a
 * program gives them (the string routines, GetLastError, GetCommandLineA, GetStartupInfoA,
 * GetDesktopWindow) and the calls that release a valid handle or block (CloseHandle,
 * RegCloseKey, FindClose, ClosePrinter, GlobalUnlock, GlobalHandle, GlobalFree,
 * FreeEnvironmentStringsA and the DDE releases) are counted, and a failure injected there
 * changes nothing.  The stand-in's own work never counts as a call of the program's. */
void winsim_fail_call(const std::string &api, int nth);
/* Every call of `api` from the n-th on (counted from now) fails so, as a disk that stays full
 * does; n = 0 ends it. */
void winsim_fail_calls_from(const std::string &api, int nth);

/* ---- Stopping dead, as a kill or a power cut stops a program ----------------- */
/* Runs `run`, a whole run of a program, and stops it dead at its `stop_point`-th stop point
 * (1-based; 0: never): the entry of every platform call is one.  At the stop point the call
 * is not made and none of the program's code runs any more: the run
 * is left there.  What the program's C library streams still held unwritten is lost.  Either
 * way the process ends after `run` (winsim_end_process).  Returns true when it stopped. */
bool winsim_run_until_stop(int stop_point, const std::function<void()> &run);
/* The stop points the last such run passed (for a run that did not stop: all of them). */
int winsim_stop_points();
/* The end of the running program's process: its handles, open keys, memory blocks, DDE
 * instances and open streams go, and the next program starts in C:\WINDOWS. */
void winsim_end_process();
/* False for the calls on which an injected failure changes nothing (listed above). */
bool winsim_call_can_fail(const std::string &api);
int winsim_call_count(const std::string &api);
std::vector<std::string> winsim_calls(); /* names of all calls since reset, in order */

#endif
