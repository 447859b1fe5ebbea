/* sandbox.cpp: the machine itself: the sandbox folder that plays drive C:, path resolution
 * with the case-insensitive lookup of a FAT/VFAT drive (a long name is also found by its 8.3
 * alias), 8.3 aliases, handles, the call
 * counter that lets tests make a platform call fail, and the test-side file helpers. */
#include "internal.h"

#include <setjmp.h>

#include <dirent.h>
#include <errno.h>
#include <iconv.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>

namespace winsim {

namespace {

std::string sandbox_root; /* host folder holding "C" */
std::string cwd = "C:\\WINDOWS";
std::map<std::string, int> call_counts;
std::unordered_map<const char *, int *> counter_of; /* API name text -> its entry above */
std::map<std::string, int> fail_at;
std::map<std::string, int> fail_from; /* every call from this count on fails */
std::vector<const char *> call_log;   /* the names as the calls gave them (literal texts) */
const size_t CALL_LOG_LIMIT = 100000; /* enough for one run of either deliverable */

struct handle_entry {
    handle_kind kind;
    long data;
};
std::map<uintptr_t, handle_entry> handles;
uintptr_t next_handle = 0x1000;

void remove_tree(const std::string &host) {
    struct stat st;
    if (lstat(host.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        chmod(host.c_str(), 0700);
        for (const std::string &name : host_list(host))
            remove_tree(host + "/" + name);
        rmdir(host.c_str());
    } else {
        unlink(host.c_str());
    }
}

struct cleanup_at_exit {
    ~cleanup_at_exit() { winsim_cleanup(); }
} cleanup_guard;

bool valid_83_char(unsigned char c) {
    if (c >= 0x80)
        return true;
    if (c <= ' ')
        return false;
    return strchr("\"*+,/:;<=>?[\\]|.", c) == nullptr;
}

bool is_valid_83(const std::string &name) {
    size_t dot = name.find('.');
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3)
        return false;
    if (dot != std::string::npos && ext.empty())
        return false;
    for (unsigned char c : base + ext)
        if (!valid_83_char(c))
            return false;
    return true;
}

/* Cuts a DBCS text to at most n bytes without splitting a character. */
std::string cut(const std::string &s, size_t n) {
    size_t i = 0;
    while (i < s.size()) {
        size_t step = lead_byte((unsigned char)s[i]) && i + 1 < s.size() ? 2 : 1;
        if (i + step > n)
            break;
        i += step;
    }
    return s.substr(0, i);
}

std::string alias_basis_clean(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); i++) {
        unsigned char c = (unsigned char)s[i];
        if (lead_byte(c) && i + 1 < s.size()) {
            out += s.substr(i, 2);
            i++;
        } else if (c == ' ' || c == '.') {
            continue;
        } else if (!valid_83_char(c)) {
            out += '_';
        } else {
            out += (char)c;
        }
    }
    return upper(out);
}

/* Calls that cannot fail for the arguments a program gives them, and calls that release a
 * valid handle or block: a failure injected there changes nothing. */
const std::set<std::string> unfailing_calls = {"lstrlenA",
                                               "lstrcmpA",
                                               "lstrcmpiA",
                                               "lstrcpyA",
                                               "lstrcpynA",
                                               "lstrcatA",
                                               "wsprintfA",
                                               "CharUpperBuffA",
                                               "IsDBCSLeadByte",
                                               "GetLastError",
                                               "SetLastError",
                                               "GetCommandLineA",
                                               "GetStartupInfoA",
                                               "GetDesktopWindow",
                                               "FreeEnvironmentStringsA",
                                               "CloseHandle",
                                               "RegCloseKey",
                                               "FindClose",
                                               "ClosePrinter",
                                               "GlobalUnlock",
                                               "GlobalHandle",
                                               "GlobalFree",
                                               "DdeFreeStringHandle",
                                               "DdeFreeDataHandle",
                                               "DdeDisconnect",
                                               "DdeUninitialize"};

} // namespace

namespace {
int stop_at = 0;       /* the stop point at which the run stops dead; 0: none */
int stop_points = 0;   /* stop points passed since the run began */
bool stopping = false; /* the stop point has come */
jmp_buf *stop_jump = nullptr;

bool is_stream_callback(const char *api) {
    return strcmp(api, "_read") == 0 || strcmp(api, "_write") == 0;
}

/* A stop point: true when the run is to stop dead here. */
bool stop_due() {
    if (stop_jump == nullptr)
        return false; /* not inside winsim_run_until_stop */
    if (!stopping && ++stop_points == stop_at)
        stopping = true;
    return stopping;
}

[[noreturn]] void stop_dead() {
    longjmp(*stop_jump, 1);
}
} // namespace

bool fails(const char *api, DWORD error) {
    if (!enter(api))
        return false;
    set_last_error(error);
    return true;
}

bool enter(const char *api) {
    /* A stream's own reads and writes come from inside the C library, which must not be left
     * halfway: they fail (nothing more reaches the disk), and the run stops dead at its next
     * call. */
    if (stop_due()) {
        if (is_stream_callback(api))
            return true;
        stop_dead();
    }
    /* Each call site names its API with the same text every time: its counter is found by the
     * text's address once it has been found by name. */
    auto known = counter_of.find(api);
    int *counter =
        known != counter_of.end() ? known->second : (counter_of[api] = &call_counts[api]);
    int n = ++*counter;
    if (call_log.size() < CALL_LOG_LIMIT)
        call_log.push_back(api);
    auto from = fail_from.find(api);
    if (from != fail_from.end() && n >= from->second)
        return unfailing_calls.count(api) == 0;
    if (fail_at.empty())
        return false;
    auto it = fail_at.find(api);
    if (it != fail_at.end() && it->second == n) {
        fail_at.erase(it);
        return unfailing_calls.count(api) == 0;
    }
    return false;
}

std::string upper(const std::string &s) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); i++) {
        unsigned char c = (unsigned char)out[i];
        if (lead_byte(c)) {
            i++;
            continue;
        }
        if (c >= 'a' && c <= 'z')
            out[i] = (char)(c - 'a' + 'A');
    }
    return out;
}

bool same_name(const std::string &a, const std::string &b) {
    return upper(a) == upper(b);
}

std::vector<std::string> split_path(const std::string &path) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i < path.size(); i++) {
        unsigned char c = (unsigned char)path[i];
        if (lead_byte(c) && i + 1 < path.size()) {
            part += path.substr(i, 2);
            i++;
        } else if (c == '\\' || c == '/') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += (char)c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

bool host_is_dir(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool host_is_file(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool host_exists(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0;
}

std::vector<std::string> host_list(const std::string &host_dir) {
    std::vector<std::string> names;
    DIR *dir = opendir(host_dir.c_str());
    if (!dir)
        return names;
    while (struct dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

resolved_path resolve(const std::string &path) {
    resolved_path r;
    r.valid = false;
    if (path.empty() || sandbox_root.empty())
        return r;
    std::string rest;
    if (path.size() >= 2 && path[1] == ':') {
        if (path[0] != 'C' && path[0] != 'c')
            return r;
        rest = path.substr(2);
        if (rest.empty() || (rest[0] != '\\' && rest[0] != '/'))
            rest = cwd.substr(2) + "\\" + rest;
    } else if (path[0] == '\\' || path[0] == '/') {
        if (path.size() >= 2 && (path[1] == '\\' || path[1] == '/'))
            return r; /* UNC names are not on this machine */
        rest = path;
    } else {
        rest = cwd.substr(2) + "\\" + path;
    }
    std::vector<std::string> parts;
    for (std::string part : split_path(rest)) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.pop_back();
        if (part.empty())
            continue;
        for (unsigned char c : part)
            if (c < ' ' || strchr("\"*:<>?|", c))
                return r;
        parts.push_back(part);
    }
    std::string host = sandbox_root + "/C";
    /* A path whose every name is spelt as on disk is found with one look; otherwise each
     * name is looked up in its folder. */
    std::string exact = host;
    for (const std::string &part : parts)
        exact += "/" + part;
    if (host_exists(exact)) {
        host = exact;
    } else {
        bool exists = true;
        for (std::string &part : parts) {
            if (exists) {
                std::string found;
                if (host_exists(host + "/" + part))
                    found = part;
                if (found.empty())
                    for (const std::string &name : host_list(host))
                        if (same_name(name, part)) {
                            found = name;
                            break;
                        }
                /* A short (8.3) alias names its long-named entry, as on a VFAT drive. */
                if (found.empty() && part.find('~') != std::string::npos)
                    for (const std::string &name : host_list(host))
                        if (same_name(short_name(host, name), part)) {
                            found = name;
                            break;
                        }
                if (found.empty())
                    exists = false;
                else
                    part = found;
            }
            host += "/" + part;
        }
    }
    r.valid = true;
    r.components = parts;
    r.host = host;
    r.windows = "C:\\";
    for (size_t i = 0; i < parts.size(); i++)
        r.windows += (i ? "\\" : "") + parts[i];
    return r;
}

std::string short_name(const std::string &host_dir, const std::string &name) {
    if (is_valid_83(name))
        return upper(name);
    std::vector<std::string> siblings = host_list(host_dir);
    if (std::find(siblings.begin(), siblings.end(), name) == siblings.end())
        siblings.push_back(name);
    std::sort(siblings.begin(), siblings.end());
    std::set<std::string> used;
    for (const std::string &s : siblings)
        if (is_valid_83(s))
            used.insert(upper(s));
    for (const std::string &s : siblings) {
        if (is_valid_83(s))
            continue;
        size_t dot = s.rfind('.');
        std::string base =
            alias_basis_clean(dot == std::string::npos || dot == 0 ? s : s.substr(0, dot));
        std::string ext = dot == std::string::npos || dot == 0
                              ? ""
                              : cut(alias_basis_clean(s.substr(dot + 1)), 3);
        if (base.empty())
            base = "_";
        std::string alias;
        for (int n = 1;; n++) {
            std::string tail = "~" + std::to_string(n);
            alias = cut(base, 8 - tail.size()) + tail + (ext.empty() ? "" : "." + ext);
            if (!used.count(alias))
                break;
        }
        used.insert(alias);
        if (s == name)
            return alias;
    }
    return upper(name);
}

HANDLE new_handle(handle_kind kind, long data) {
    uintptr_t h = next_handle;
    next_handle += 4;
    handles[h] = handle_entry{kind, data};
    return (HANDLE)h;
}

bool handle_valid(HANDLE handle, handle_kind kind, long *data) {
    auto it = handles.find((uintptr_t)handle);
    if (it == handles.end() || it->second.kind != kind)
        return false;
    if (data)
        *data = it->second.data;
    return true;
}

bool close_handle(HANDLE handle) {
    return handles.erase((uintptr_t)handle) == 1;
}

std::string &current_directory() {
    return cwd;
}
std::string windows_directory() {
    return "C:\\WINDOWS";
}
std::string system_directory() {
    return "C:\\WINDOWS\\SYSTEM";
}

std::string to_ansi(const std::string &utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == (iconv_t)-1)
        abort();
    std::string out(utf8.size() * 2 + 4, '\0');
    char *in = const_cast<char *>(utf8.data());
    size_t in_left = utf8.size();
    char *o = &out[0];
    size_t out_left = out.size();
    if (iconv(cd, &in, &in_left, &o, &out_left) == (size_t)-1)
        abort(); /* a text that the ANSI code page cannot hold is a fault of the table */
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

} // namespace winsim

using namespace winsim;

void winsim_cleanup() {
    if (!sandbox_root.empty())
        remove_tree(sandbox_root);
    sandbox_root.clear();
}

void winsim_reset() {
    winsim_cleanup();
    /* In TMPDIR (the tests run on a memory file system where the host has one), else /tmp. */
    const char *tmp = getenv("TMPDIR");
    for (std::string folder : {std::string(tmp && *tmp ? tmp : "/tmp"), std::string("/tmp")}) {
        std::string pattern = folder + "/winsim.XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) {
            sandbox_root = buf.data();
            break;
        }
    }
    if (sandbox_root.empty())
        abort();
    mkdir((sandbox_root + "/C").c_str(), 0755);
    mkdir((sandbox_root + "/C/WINDOWS").c_str(), 0755);
    mkdir((sandbox_root + "/C/WINDOWS/SYSTEM").c_str(), 0755);
    cwd = "C:\\WINDOWS";
    call_counts.clear();
    counter_of.clear();
    fail_at.clear();
    fail_from.clear();
    call_log.clear();
    handles.clear();
    next_handle = 0x1000;
    set_last_error(0);
    reset_registry();
    reset_user();
    reset_process();
    end_process_memory();
    reset_files();
    reset_profiles();
    reset_spooler();
    reset_dialogs();
    reset_dde();
    reset_disk();
}

std::string winsim_drive_root() {
    return sandbox_root + "/C";
}

std::string winsim_host_path(const std::string &windows_path) {
    resolved_path r = resolve(windows_path);
    return r.valid ? r.host : std::string();
}

std::string winsim_current_directory() {
    return cwd;
}

void winsim_make_dir(const std::string &windows_path) {
    resolved_path r = resolve(windows_path);
    if (!r.valid)
        abort();
    std::string host = sandbox_root + "/C";
    for (const std::string &part : r.components) {
        host += "/" + part;
        mkdir(host.c_str(), 0755);
    }
}

void winsim_write_file(const std::string &windows_path, const std::string &bytes) {
    resolved_path r = resolve(windows_path);
    if (!r.valid || r.components.empty())
        abort();
    std::string parent = "C:\\";
    for (size_t i = 0; i + 1 < r.components.size(); i++)
        parent += r.components[i] + "\\";
    winsim_make_dir(parent);
    r = resolve(windows_path);
    std::ofstream out(r.host, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool winsim_read_file(const std::string &windows_path, std::string *bytes) {
    resolved_path r = resolve(windows_path);
    if (!r.valid || !host_is_file(r.host))
        return false;
    std::ifstream in(r.host, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    *bytes = s.str();
    return true;
}

std::string winsim_file(const std::string &windows_path) {
    std::string bytes;
    winsim_read_file(windows_path, &bytes);
    return bytes;
}

bool winsim_file_exists(const std::string &windows_path) {
    resolved_path r = resolve(windows_path);
    return r.valid && host_is_file(r.host);
}

bool winsim_dir_exists(const std::string &windows_path) {
    resolved_path r = resolve(windows_path);
    return r.valid && host_is_dir(r.host);
}

std::vector<std::string> winsim_list_dir(const std::string &windows_path) {
    resolved_path r = resolve(windows_path);
    return r.valid ? host_list(r.host) : std::vector<std::string>();
}

void winsim_set_read_only(const std::string &windows_path, bool read_only) {
    resolved_path r = resolve(windows_path);
    if (r.valid)
        chmod(r.host.c_str(), read_only ? 0444 : 0644);
}

std::string winsim_ansi(const std::string &utf8) {
    return to_ansi(utf8);
}

void winsim_fail_call(const std::string &api, int nth) {
    fail_at[api] = call_counts[api] + nth;
}

void winsim_fail_calls_from(const std::string &api, int nth) {
    if (nth > 0)
        fail_from[api] = call_counts[api] + nth;
    else
        fail_from.erase(api);
}

bool winsim_call_can_fail(const std::string &api) {
    return unfailing_calls.count(api) == 0;
}

int winsim_call_count(const std::string &api) {
    auto it = call_counts.find(api);
    return it == call_counts.end() ? 0 : it->second;
}

std::vector<std::string> winsim_calls() {
    return std::vector<std::string>(call_log.begin(), call_log.end());
}

int winsim_open_handles() {
    return (int)handles.size();
}

void winsim_end_process() {
    end_process_streams();
    end_process_files();
    handles.clear();
    end_process_registry();
    end_process_memory();
    end_process_dde();
    cwd = "C:\\WINDOWS";
}

bool winsim_run_until_stop(int stop_point, const std::function<void()> &run) {
    winsim_shut_down(); /* the machine as set up is on the disk */
    jmp_buf here;
    stop_jump = &here;
    stop_at = stop_point;
    stop_points = 0;
    stopping = false;
    if (setjmp(here) == 0)
        run();
    bool stopped = stopping;
    stop_jump = nullptr;
    stop_at = 0;
    stopping = false;
    winsim_end_process();
    return stopped;
}

int winsim_stop_points() {
    return stop_points;
}
