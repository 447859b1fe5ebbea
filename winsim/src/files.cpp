/* files.cpp: folders and files on drive C:: the Windows and system directories, the
 * current directory, creating and removing folders, deleting and copying files, attributes,
 * temporary names, short (8.3) names and the first-match search.
 *
 * Behaviour reproduced (Win32 documentation; measured under Wine where noted in the
 * project's notes): a read-only file cannot be deleted or overwritten (ERROR_ACCESS_DENIED);
 * a folder that is the current directory cannot be removed (ERROR_SHARING_VIOLATION), nor one
 * that is not empty (ERROR_DIR_NOT_EMPTY); a path that names no folder fails with
 * ERROR_INVALID_NAME, ERROR_DIRECTORY (a file), ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND
 * (the parent is missing too) (Wine); GetTempFileNameA keeps three
 * letters of the prefix, adds four hexadecimal digits and ".TMP", and creates the file;
 * GetShortPathNameA fails with ERROR_FILE_NOT_FOUND for a missing file and keeps a relative
 * name relative; GetFullPathNameA joins a name to the current directory (a drive-relative one
 * too), drops "." and "..", and does not look at the disk; the wildcard search
 * ignores letter case, lets "*.*" and a trailing ".*" match names without a dot, lists
 * folders as well as files, and also matches a name by its 8.3 alias.
 *
 * A CopyFileA that a test makes fail fails the way a full disk makes it fail: after the
 * target has been opened for writing, with ERROR_DISK_FULL.  The target's old content is
 * gone then: Wine's CopyFileExW stops at the failed write and leaves what it wrote (here the
 * first half of the source), Windows NT marks the target for deletion.  A copy that fails
 * before the target is opened (a missing source, a read-only target) leaves it alone.
 * MoveFileA renames a file or folder on drive C: and never replaces one (ERROR_ALREADY_EXISTS,
 * as Wine gives it).  FindClose releases a valid search handle whatever happens: a release
 * does not fail. */
#include "internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace winsim {
namespace {

enum { COPY_CHUNK = 1 << 30 };

unsigned next_temp = 0x0A00;
std::map<long, std::vector<WIN32_FIND_DATAA>> searches;
long next_search = 1;

UINT copy_out(const std::string &text, LPSTR buffer, UINT capacity) {
    if (capacity <= text.size())
        return (UINT)text.size() + 1;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (UINT)text.size();
}

bool host_read_only(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

/* The parent folder of a resolved path exists. */
bool parent_exists(const resolved_path &r) {
    size_t slash = r.host.rfind('/');
    return slash != std::string::npos && host_is_dir(r.host.substr(0, slash));
}

/* Why a path names no folder: an empty or malformed name, a file, a missing folder or a
 * missing parent (measured under Wine 8.0 for SetCurrentDirectoryA and RemoveDirectoryA). */
DWORD missing_folder_error(const resolved_path &r) {
    if (!r.valid)
        return ERROR_INVALID_NAME;
    if (host_exists(r.host))
        return ERROR_DIRECTORY;
    return parent_exists(r) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

/* Splits a text into characters of the ANSI code page (one or two bytes each). */
std::vector<std::string> characters(const std::string &s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size(); i++) {
        if (lead_byte((unsigned char)s[i]) && i + 1 < s.size()) {
            out.push_back(s.substr(i, 2));
            i++;
        } else {
            out.push_back(s.substr(i, 1));
        }
    }
    return out;
}

bool glob(const std::vector<std::string> &p, size_t pi, const std::vector<std::string> &n,
          size_t ni) {
    while (pi < p.size()) {
        if (p[pi] == "*") {
            for (size_t k = ni; k <= n.size(); k++)
                if (glob(p, pi + 1, n, k))
                    return true;
            return false;
        }
        if (ni >= n.size())
            return false;
        if (p[pi] != "?" && upper(p[pi]) != upper(n[ni]))
            return false;
        pi++;
        ni++;
    }
    return ni == n.size();
}

/* Copies a whole file inside the host's kernel where it can (as Windows copies a file
 * without passing it through the caller), else through a buffer. */
bool copy_contents(int in, int out) {
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, COPY_CHUNK, 0);
        if (n == 0)
            return true;
        if (n < 0)
            break;
    }
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    static char buffer[65536];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0)
            return false;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer + done, (size_t)(n - done));
            if (w <= 0)
                return false;
            done += w;
        }
    }
}

} // namespace

/* Windows wildcard matching of one name. */
bool wildcard_match(const std::string &pattern, const std::string &name) {
    if (glob(characters(pattern), 0, characters(name), 0))
        return true;
    /* A pattern ending in ".*" also matches a name that has no dot at all. */
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos)
        return glob(characters(pattern.substr(0, pattern.size() - 2)), 0, characters(name), 0);
    return false;
}

void reset_files() {
    next_temp = 0x0A00;
    searches.clear();
    next_search = 1;
}

} // namespace winsim

using namespace winsim;

std::string winsim_short_path(const std::string &path) {
    resolved_path r = resolve(path);
    if (!r.valid || !host_exists(r.host))
        return "";
    std::string host = winsim_drive_root();
    std::string out = "C:\\";
    for (size_t i = 0; i < r.components.size(); i++) {
        out += (i ? "\\" : "") + short_name(host, r.components[i]);
        host += "/" + r.components[i];
    }
    return out;
}

extern "C" {

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT capacity) {
    if (enter("GetWindowsDirectoryA"))
        return 0;
    return copy_out(windows_directory(), buffer, capacity);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT capacity) {
    if (enter("GetSystemDirectoryA"))
        return 0;
    return copy_out(system_directory(), buffer, capacity);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD capacity, LPSTR buffer) {
    if (enter("GetCurrentDirectoryA"))
        return 0;
    return copy_out(current_directory(), buffer, capacity);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
    if (fails("SetCurrentDirectoryA", ERROR_PATH_NOT_FOUND))
        return FALSE;
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || !host_is_dir(r.host)) {
        set_last_error(missing_folder_error(r));
        return FALSE;
    }
    current_directory() = r.windows;
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    (void)security;
    if (fails("CreateDirectoryA", ERROR_ACCESS_DENIED))
        return FALSE;
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || !parent_exists(r)) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (host_exists(r.host)) {
        set_last_error(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    return mkdir(r.host.c_str(), 0755) == 0;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path) {
    if (fails("RemoveDirectoryA", ERROR_ACCESS_DENIED))
        return FALSE;
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || !host_is_dir(r.host)) {
        set_last_error(missing_folder_error(r));
        return FALSE;
    }
    if (r.components.empty()) {
        set_last_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    /* The current directory is in use; a folder above it is not empty. */
    if (same_name(resolve(current_directory()).windows, r.windows)) {
        set_last_error(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (!host_list(r.host).empty()) {
        set_last_error(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    return rmdir(r.host.c_str()) == 0;
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
    if (fails("DeleteFileA", ERROR_ACCESS_DENIED))
        return FALSE;
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || !host_exists(r.host)) {
        set_last_error(r.valid && parent_exists(r) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (host_is_dir(r.host) || host_read_only(r.host)) {
        set_last_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    note_deleted(r.host);
    return unlink(r.host.c_str()) == 0;
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR target, BOOL fail_if_exists) {
    bool disk_fills = enter("CopyFileA");
    resolved_path from = resolve(existing ? existing : "");
    resolved_path to = resolve(target ? target : "");
    if (!from.valid || !host_is_file(from.host)) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (!to.valid || !parent_exists(to)) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (host_exists(to.host)) {
        if (fail_if_exists) {
            set_last_error(ERROR_FILE_EXISTS);
            return FALSE;
        }
        if (host_is_dir(to.host) || host_read_only(to.host)) {
            set_last_error(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    int in = open(from.host.c_str(), O_RDONLY);
    if (in < 0) {
        set_last_error(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    note_written(to.host);
    int out = open(to.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        close(in);
        set_last_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (disk_fills) {
        /* The disk fills up halfway through: the target keeps the first half of the source's
         * bytes and the rest is lost. */
        struct stat st;
        size_t half = fstat(in, &st) == 0 ? (size_t)st.st_size / 2 : 0;
        static char buffer[65536];
        while (half > 0) {
            ssize_t n = read(in, buffer, half < sizeof buffer ? half : sizeof buffer);
            if (n <= 0 || write(out, buffer, (size_t)n) != n)
                break;
            half -= (size_t)n;
        }
        close(in);
        close(out);
        set_last_error(ERROR_DISK_FULL);
        return FALSE;
    }
    bool ok = copy_contents(in, out);
    close(in);
    if (close(out) != 0)
        ok = false;
    if (!ok)
        set_last_error(ERROR_DISK_FULL);
    return ok ? TRUE : FALSE;
}

BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR target) {
    if (fails("MoveFileA", ERROR_ACCESS_DENIED))
        return FALSE;
    resolved_path from = resolve(existing ? existing : "");
    resolved_path to = resolve(target ? target : "");
    if (!from.valid || !host_exists(from.host)) {
        set_last_error(from.valid && parent_exists(from) ? ERROR_FILE_NOT_FOUND
                                                         : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!to.valid || !parent_exists(to)) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (host_exists(to.host)) {
        set_last_error(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (rename(from.host.c_str(), to.host.c_str()) != 0) {
        set_last_error(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    note_moved(from.host, to.host);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    if (fails("GetFileAttributesA", ERROR_ACCESS_DENIED))
        return INVALID_FILE_ATTRIBUTES;
    resolved_path r = resolve(path ? path : "");
    if (!r.valid || !host_exists(r.host)) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (host_is_dir(r.host))
        return FILE_ATTRIBUTE_DIRECTORY;
    return FILE_ATTRIBUTE_ARCHIVE | (host_read_only(r.host) ? FILE_ATTRIBUTE_READONLY : 0);
}

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR temp_file_name) {
    if (fails("GetTempFileNameA", ERROR_ACCESS_DENIED))
        return 0;
    resolved_path dir = resolve(path ? path : "");
    if (!dir.valid || !host_is_dir(dir.host)) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    std::string base = path;
    if (base.empty() || (base.back() != '\\' && base.back() != '/'))
        base += "\\";
    std::string pre = std::string(prefix ? prefix : "").substr(0, 3);
    char digits[16];
    if (unique != 0) {
        snprintf(digits, sizeof digits, "%04X", unique & 0xFFFF);
        strcpy(temp_file_name, (base + pre + digits + ".TMP").c_str());
        return unique;
    }
    for (int tries = 0; tries < 0x10000; tries++) {
        unsigned n = next_temp++ & 0xFFFF;
        if (n == 0)
            continue;
        snprintf(digits, sizeof digits, "%04X", n);
        std::string name = base + pre + digits + ".TMP";
        resolved_path r = resolve(name);
        if (host_exists(r.host))
            continue;
        note_written(r.host);
        FILE *f = fopen(r.host.c_str(), "wb");
        if (!f) {
            set_last_error(ERROR_ACCESS_DENIED);
            return 0;
        }
        fclose(f);
        strcpy(temp_file_name, name.c_str());
        return n;
    }
    set_last_error(ERROR_FILE_EXISTS);
    return 0;
}

DWORD WINAPI GetShortPathNameA(LPCSTR long_path, LPSTR short_path, DWORD capacity) {
    if (fails("GetShortPathNameA", ERROR_FILE_NOT_FOUND))
        return 0;
    resolved_path r = resolve(long_path ? long_path : "");
    if (!r.valid || !host_exists(r.host)) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::vector<std::string> shorts;
    std::string host = winsim_drive_root();
    for (const std::string &component : r.components) {
        shorts.push_back(short_name(host, component));
        host += "/" + component;
    }
    /* A relative name stays relative: only its own names are shortened, the folders it is
     * relative to stay out (a path that climbs with "." or ".." comes back whole). */
    std::string text = long_path;
    std::vector<std::string> given = split_path(text);
    bool relative =
        !text.empty() && text[0] != '\\' && text[0] != '/' && !(text.size() >= 2 && text[1] == ':');
    for (const std::string &part : given)
        if (part == "." || part == "..")
            relative = false;
    std::string out = relative ? "" : "C:\\";
    size_t first = relative && given.size() <= shorts.size() ? shorts.size() - given.size() : 0;
    for (size_t i = first; i < shorts.size(); i++)
        out += (i > first ? "\\" : "") + shorts[i];
    return copy_out(out, short_path, capacity);
}

DWORD WINAPI GetFullPathNameA(LPCSTR file_name, DWORD capacity, LPSTR buffer, LPSTR *file_part) {
    std::string name = file_name ? file_name : "";
    if (enter("GetFullPathNameA") || name.empty()) {
        set_last_error(ERROR_INVALID_NAME);
        return 0;
    }
    const std::string &cwd = current_directory();
    std::string joined;
    if (name.size() >= 2 && name[1] == ':')
        joined = name.size() > 2 && (name[2] == '\\' || name[2] == '/')
                     ? name
                     : (upper(name.substr(0, 1)) == "C" ? cwd : name.substr(0, 2) + "\\") + "\\" +
                           name.substr(2);
    else if (name[0] == '\\' || name[0] == '/')
        joined = cwd.substr(0, 2) + name;
    else
        joined = cwd + "\\" + name;
    std::string out = joined.substr(0, 2);
    std::vector<std::string> parts;
    for (const std::string &part : split_path(joined.substr(2))) {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
    }
    for (const std::string &part : parts)
        out += "\\" + part;
    if (parts.empty())
        out += "\\";
    UINT length = copy_out(out, buffer, capacity);
    if (file_part != nullptr && length < capacity)
        *file_part = parts.empty() ? nullptr : buffer + out.size() - parts.back().size();
    return length;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (fails("FindFirstFileA", ERROR_FILE_NOT_FOUND))
        return INVALID_HANDLE_VALUE;
    std::string text = pattern ? pattern : "";
    std::vector<std::string> parts = split_path(text);
    if (parts.empty()) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string name_pattern = parts.back();
    std::string folder = text.substr(0, text.size() - name_pattern.size());
    if (folder.empty())
        folder = ".";
    resolved_path dir = resolve(folder);
    if (!dir.valid || !host_is_dir(dir.host)) {
        set_last_error(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> names = host_list(dir.host);
    if (!dir.components.empty())
        names.insert(names.begin(), {".", ".."});
    std::vector<WIN32_FIND_DATAA> found;
    for (const std::string &name : names) {
        std::string alias = name == "." || name == ".." ? name : short_name(dir.host, name);
        if (!wildcard_match(name_pattern, name) && !wildcard_match(name_pattern, alias))
            continue;
        WIN32_FIND_DATAA d;
        memset(&d, 0, sizeof d);
        std::string host = name == "." || name == ".." ? dir.host : dir.host + "/" + name;
        struct stat st;
        stat(host.c_str(), &st);
        d.dwFileAttributes =
            S_ISDIR(st.st_mode)
                ? FILE_ATTRIBUTE_DIRECTORY
                : FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
        d.nFileSizeLow = S_ISDIR(st.st_mode) ? 0 : (DWORD)st.st_size;
        snprintf(d.cFileName, sizeof d.cFileName, "%s", name.c_str());
        if (alias != name)
            snprintf(d.cAlternateFileName, sizeof d.cAlternateFileName, "%s", alias.c_str());
        found.push_back(d);
    }
    if (found.empty()) {
        set_last_error(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = found.front();
    found.erase(found.begin());
    long id = next_search++;
    searches[id] = found;
    return new_handle(HANDLE_FIND, id);
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    bool fail = enter("FindNextFileA");
    long id;
    if (!handle_valid(find, HANDLE_FIND, &id)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (fail) {
        set_last_error(ERROR_ACCESS_DENIED); /* the folder can no longer be read */
        return FALSE;
    }
    std::vector<WIN32_FIND_DATAA> &rest = searches[id];
    if (rest.empty()) {
        set_last_error(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = rest.front();
    rest.erase(rest.begin());
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
    enter("FindClose");
    long id;
    if (!handle_valid(find, HANDLE_FIND, &id)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    searches.erase(id);
    close_handle(find);
    return TRUE;
}

} // extern "C"
