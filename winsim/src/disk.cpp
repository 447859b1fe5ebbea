/* disk.cpp: file handles (CreateFileA, ReadFile, WriteFile, FlushFileBuffers, CloseHandle),
 * SetFileAttributesA, and what Windows 95 does to the disk that Wine never shows.
 *
 * Write-behind cache: a file's data reaches the disk only when committed or at a shutdown (KB
 * Q165503: on by default; KB Q148505: only FlushFileBuffers or _commit forces it out; KB
 * Q66052: fflush does not).  At a power cut a file written since its last commit holds
 * neither text: one that was there is garbled (the first half of what it holds, then zero
 * bytes where clusters were never written), one created since holds nothing; creations,
 * deletions and moves stay made, in order.  A cut inside a sector or FAT write (the disk
 * checker's work) is not played.  The profile cache and the registry (written at RegFlushKey:
 * Windows 95 Resource Kit) lose what they held.
 *
 * The start of Windows carries out the [rename] sections of wininit.ini as WININIT.EXE does,
 * line by line ("NUL=<path>" deletes, "<target>=<source>" moves; a cut line names what it
 * happens to name), then renames it to wininit.bak (Windows 95 and Wine alike).  Sharing
 * modes are not played. */
#include "internal.h"

#include <fcntl.h>

#include <fstream>
#include <iterator>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace winsim {
namespace {

std::map<std::string, bool> unwritten; /* host path -> it was there before its first write */
std::map<HANDLE, std::pair<int, std::string>> open_files; /* handle -> descriptor, host path */

std::pair<int, std::string> *file_of(HANDLE handle) {
    auto it = open_files.find(handle);
    return it == open_files.end() || !handle_valid(handle, HANDLE_FILE, nullptr) ? nullptr
                                                                                 : &it->second;
}

/* A read or a write through a handle: `fails` as the test makes it fail, with `error`. */
template <typename F> BOOL transfer(HANDLE handle, bool fails, DWORD error, LPDWORD done, F io) {
    std::pair<int, std::string> *file = file_of(handle);
    *done = 0;
    ssize_t n = file == nullptr || fails ? -1 : io(file->first);
    if (n < 0) {
        set_last_error(file == nullptr ? ERROR_INVALID_HANDLE
                       : fails         ? error
                                       : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *done = (DWORD)n;
    return TRUE;
}

} // namespace

void note_written(const std::string &host) {
    if (!unwritten.count(host))
        unwritten[host] = host_is_file(host);
}

void note_committed(const std::string &host) {
    unwritten.erase(host);
}

void note_moved(const std::string &from_host, const std::string &to_host) {
    auto it = unwritten.find(from_host);
    if (it == unwritten.end())
        return;
    bool was_there = it->second;
    unwritten.erase(it);
    unwritten[to_host] = was_there;
}

void note_deleted(const std::string &host) {
    unwritten.erase(host);
}

void close_file_handle(HANDLE handle) {
    if (std::pair<int, std::string> *file = file_of(handle)) {
        close(file->first);
        open_files.erase(handle);
    }
}

void end_process_files() {
    for (auto &file : open_files)
        close(file.second.first);
    open_files.clear();
}

void reset_disk() {
    end_process_files();
    unwritten.clear();
}

} // namespace winsim

using namespace winsim;

void winsim_shut_down() {
    flush_profiles();
    unwritten.clear();
    commit_registry();
}

void winsim_power_cut() {
    winsim_end_process();
    drop_profiles();
    for (const auto &file : unwritten) {
        std::ifstream in(file.first, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.is_open() || !host_is_file(file.first))
            continue;
        std::ofstream(file.first, std::ios::binary | std::ios::trunc)
            << (file.second ? bytes.substr(0, bytes.size() / 2) + std::string(8, '\0') : "");
    }
    unwritten.clear();
    restore_registry();
}

void winsim_start_windows() {
    winsim_shut_down();
    winsim_end_process();
    const std::string wininit = windows_directory() + "\\WININIT.INI";
    std::string text;
    if (!winsim_read_file(wininit, &text))
        return;
    bool in_rename = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            in_rename = upper(line.substr(0, 8)) == "[RENAME]";
            continue;
        }
        size_t equals = line.find('=');
        if (!in_rename || equals == std::string::npos)
            continue;
        resolved_path target = resolve(line.substr(0, equals));
        resolved_path source = resolve(line.substr(equals + 1));
        if (upper(line.substr(0, equals)) == "NUL") {
            if (source.valid && host_is_file(source.host))
                unlink(source.host.c_str());
        } else if (target.valid && source.valid && host_is_file(source.host)) {
            unlink(target.host.c_str());
            rename(source.host.c_str(), (target.host).c_str());
        }
    }
    resolved_path from = resolve(wininit), to = resolve(windows_directory() + "\\WININIT.BAK");
    unlink(to.host.c_str());
    rename(from.host.c_str(), to.host.c_str());
}

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share_mode,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                          HANDLE template_file) {
    (void)share_mode;
    (void)security;
    (void)flags;
    (void)template_file;
    if (fails("CreateFileA", ERROR_ACCESS_DENIED))
        return INVALID_HANDLE_VALUE;
    resolved_path r = resolve(path ? path : "");
    size_t slash = r.host.rfind('/');
    if (!r.valid || slash == std::string::npos || !host_is_dir(r.host.substr(0, slash))) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool exists = host_exists(r.host);
    struct stat st;
    bool read_only = stat(r.host.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
    if (disposition == OPEN_EXISTING && !exists) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (host_is_dir(r.host) || ((access & GENERIC_WRITE) && read_only) ||
        (disposition != OPEN_EXISTING && disposition != CREATE_ALWAYS)) {
        set_last_error(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    int mode = (access & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
    if (disposition == CREATE_ALWAYS) {
        note_written(r.host);
        mode |= O_CREAT | O_TRUNC;
    }
    int fd = open(r.host.c_str(), mode, 0644);
    if (fd < 0) {
        set_last_error(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = new_handle(HANDLE_FILE, fd);
    open_files[handle] = std::make_pair(fd, r.host);
    return handle;
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read_count,
                     LPVOID overlapped) {
    (void)overlapped;
    return transfer(handle, enter("ReadFile"), ERROR_READ_FAULT, read_count,
                    [&](int fd) { return read(fd, buffer, size); });
}

/* A write that a test makes fail fails as on a full disk: nothing of it is written. */
BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD size, LPDWORD written,
                      LPVOID overlapped) {
    (void)overlapped;
    return transfer(handle, enter("WriteFile"), ERROR_DISK_FULL, written, [&](int fd) {
        note_written(open_files[handle].second);
        return write(fd, buffer, size);
    });
}

BOOL WINAPI FlushFileBuffers(HANDLE handle) {
    bool fails = enter("FlushFileBuffers");
    std::pair<int, std::string> *file = file_of(handle);
    if (file == nullptr || fails) {
        set_last_error(file == nullptr ? ERROR_INVALID_HANDLE : ERROR_WRITE_FAULT);
        return FALSE;
    }
    note_committed(file->second);
    return TRUE;
}

/* Only the read-only attribute is kept by the stand-in's files. */
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
    if (fails("SetFileAttributesA", ERROR_ACCESS_DENIED))
        return FALSE;
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || !host_exists(r.host)) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!host_is_dir(r.host))
        chmod(r.host.c_str(), (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644);
    return TRUE;
}

} // extern "C"
