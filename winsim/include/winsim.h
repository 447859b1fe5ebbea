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

/* ---- ANSI code page ------------------------------------------------------------ */
std::string winsim_ansi(const std::string &utf8); /* UTF-8 to the ANSI code page (932) */
std::string winsim_utf8(const std::string &ansi); /* and back */

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
/* Makes GlobalAlloc fail from now on (true) or work again (false). */
void winsim_fail_global_alloc(bool fail);

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
/* Makes RegDeleteKeyA behave as on Windows NT (and Wine): a key with subkeys is refused with
 * ERROR_ACCESS_DENIED.  The default is Windows 95/98, which deletes the whole subtree. */
void winsim_reg_delete_key_nt(bool nt_behaviour);

/* ---- Platform call failures --------------------------------------------------- */
/* Every platform call is counted by name.  winsim_fail_call makes the n-th call (1-based,
 * counted from now) of `api` fail as that call fails on Windows. */
void winsim_fail_call(const std::string &api, int nth);
int winsim_call_count(const std::string &api);
std::vector<std::string> winsim_calls(); /* names of all calls since reset, in order */

#endif
