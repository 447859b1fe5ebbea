/* internal.h: state and helpers shared by the stand-in's units. */
#ifndef WINSIM_INTERNAL_H
#define WINSIM_INTERNAL_H

#include "winsim.h"

#include <map>
#include <string>
#include <vector>

namespace winsim {

/* Counts a platform call by name and tells whether this call is to fail.  It is also where a
 * run that is to stop dead stops (see winsim_run_until_stop): it does not come back then. */
bool enter(const char *api);
/* enter() for a call that fails by setting `error` as its last error: true when it fails. */
bool fails(const char *api, DWORD error);

/* ---- Paths ---- */
/* CP932 lead byte (0x81-0x9F, 0xE0-0xFC). */
inline bool lead_byte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
/* ASCII upper-casing that leaves double-byte characters alone. */
std::string upper(const std::string &s);
bool same_name(const std::string &a, const std::string &b); /* case-insensitive, DBCS-aware */
/* Splits at backslashes and slashes, never inside a double-byte character. */
std::vector<std::string> split_path(const std::string &path);

struct resolved_path {
    bool valid;                          /* on drive C: and well formed */
    std::string windows;                 /* absolute, normalised, in the case found on disk */
    std::string host;                    /* host path */
    std::vector<std::string> components; /* below C:\ */
};
/* Makes `path` absolute (current directory, drive-relative), normalises . and .. and finds
 * each existing component case-insensitively. */
resolved_path resolve(const std::string &path);
bool host_is_dir(const std::string &host);
bool host_is_file(const std::string &host);
bool host_exists(const std::string &host);
std::vector<std::string> host_list(const std::string &host_dir);

/* 8.3 alias of one name within its folder (the name itself when it is a valid 8.3 name,
 * upper-cased). */
std::string short_name(const std::string &host_dir, const std::string &name);

/* ---- Handles ---- */
enum handle_kind {
    HANDLE_PROCESS,
    HANDLE_THREAD,
    HANDLE_FIND,
    HANDLE_PRINTER,
    HANDLE_FILE,
    HANDLE_OTHER
};
HANDLE new_handle(handle_kind kind, long data);
bool handle_valid(HANDLE handle, handle_kind kind, long *data);
bool close_handle(HANDLE handle);

/* ---- Machine state shared between units ---- */
std::string &current_directory();
void set_last_error(DWORD code);
std::string windows_directory(); /* "C:\WINDOWS" */
std::string system_directory();  /* "C:\WINDOWS\SYSTEM" */

/* ---- Windows 95's caches (disk.cpp, profile.cpp, registry.cpp) ---- */
/* The write-behind disk cache: a file's data is on the disk only once committed.  Called
 * before a file is written (created, truncated or overwritten), when it is committed, moved or
 * deleted. */
void note_written(const std::string &host);
void note_committed(const std::string &host);
void note_moved(const std::string &from_host, const std::string &to_host);
void note_deleted(const std::string &host);
void close_file_handle(HANDLE handle);
/* The profile cache: write every held text to its file (a flush of all), or lose them. */
void flush_profiles();
void drop_profiles();
/* The registry as on the disk: taken now, or put back. */
void commit_registry();
void restore_registry();

/* Code page conversion (UTF-8 <-> CP932). */
std::string to_ansi(const std::string &utf8);

/* Reset hooks of the units. */
void reset_registry();
void reset_user();
void reset_process();
void reset_files();
void reset_profiles();
void reset_spooler();
void reset_dialogs();
void reset_dde();
void reset_disk();
/* What the end of a process releases, unit by unit (a killed one's too). */
void end_process_streams();
void end_process_registry();
void end_process_memory();
void end_process_dde();
void end_process_files();

} // namespace winsim

#endif
