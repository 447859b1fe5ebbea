/* profile.cpp: the private-profile (INI) functions and win.ini, as on Windows 95/98 where
 * win.ini is an ordinary file in the Windows directory.
 *
 * Reading: a file named without a folder is the one in the Windows directory; sections and
 * keys are found ignoring letter case; blanks around a value are dropped and so are quotes
 * around it; a missing file, section or key gives the default with its trailing blanks
 * stripped; at most capacity - 1 bytes are copied and the text is always terminated; the
 * result is the count of bytes copied.  Writing replaces the value of an existing key, adds
 * a missing key at the end of its section and a missing section at the end of the file, and
 * leaves every other byte of the file as it was.
 *
 * The profile cache of Windows 95/98/Me (Win32 reference of WritePrivateProfileString: "the
 * system keeps a cached version of the most recent registry file mapping ... processes that edit
 * the file itself will use the original file until the cache has been cleared"; all-NULL
 * arguments flush it and the call returns FALSE; KB Q107695): what the writing calls write is
 * held, per file, until such a flush of that file or a shutdown (winsim_shut_down); the
 * reading calls see the held text, a program that reads the file itself sees the disk.  Wine
 * writes every change at once and never shows this.
 *
 * The reading calls report no failure: a file that cannot be read (the failure a test
 * injects) gives the default like a missing file, with the last error ERROR_FILE_NOT_FOUND
 * (Win32 documentation of GetPrivateProfileString). */
#include "internal.h"

#include <string.h>

namespace winsim {
namespace {

std::string trim(const std::string &s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        a++;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        b--;
    return s.substr(a, b - a);
}

struct line {
    std::string text; /* without its line end */
    std::string end;  /* "\r\n", "\n" or "" */
};

std::vector<line> split_lines(const std::string &bytes) {
    std::vector<line> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        line l;
        if (lf == std::string::npos) {
            l.text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            l.text = bytes.substr(pos, lf - pos);
            l.end = "\n";
            pos = lf + 1;
        }
        if (!l.text.empty() && l.text.back() == '\r' && !l.end.empty()) {
            l.text.pop_back();
            l.end = "\r\n";
        }
        lines.push_back(l);
    }
    return lines;
}

/* Section name of a header line, or false. */
bool section_of(const std::string &text, std::string *name) {
    std::string t = trim(text);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.find(']');
    *name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool key_of(const std::string &text, std::string *key, std::string *value) {
    size_t eq = text.find('=');
    if (eq == std::string::npos)
        return false;
    *key = trim(text.substr(0, eq));
    std::string v = trim(text.substr(eq + 1));
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
    *value = v;
    return true;
}

std::string file_path(LPCSTR file_name) {
    std::string name = file_name ? file_name : "win.ini";
    if (name.find('\\') == std::string::npos && name.find('/') == std::string::npos &&
        name.find(':') == std::string::npos)
        return windows_directory() + "\\" + name;
    return name;
}

DWORD copy_result(const std::string &text, LPSTR buffer, DWORD capacity) {
    if (capacity == 0)
        return 0;
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return (DWORD)n;
}

/* A list of names, each ended by a zero, the list ended by another zero. */
DWORD copy_list(const std::vector<std::string> &names, LPSTR buffer, DWORD capacity) {
    if (capacity < 2) {
        if (capacity)
            buffer[0] = '\0';
        return 0;
    }
    DWORD used = 0;
    for (const std::string &n : names) {
        if (used + n.size() + 2 > capacity) {
            size_t room = capacity - 2 - used;
            memcpy(buffer + used, n.data(), room);
            used += (DWORD)room;
            buffer[used] = '\0';
            buffer[used + 1] = '\0';
            return capacity - 2;
        }
        memcpy(buffer + used, n.c_str(), n.size() + 1);
        used += (DWORD)n.size() + 1;
    }
    buffer[used] = '\0';
    return used;
}

} // namespace

/* The profile cache: the path and text of each file with changes not yet on the disk. */
std::map<std::string, std::pair<std::string, std::string>> held;

std::string cache_key(const std::string &path) {
    return upper(resolve(path).windows);
}

void reset_profiles() {
    held.clear();
}

void drop_profiles() {
    held.clear();
}

/* Writes a file's held text to the disk. */
void flush_profile(const std::string &key) {
    auto it = held.find(key);
    if (it == held.end())
        return;
    resolved_path r = resolve(it->second.first);
    if (r.valid)
        note_written(r.host);
    winsim_write_file(it->second.first, it->second.second);
    held.erase(it);
}

void flush_profiles() {
    while (!held.empty())
        flush_profile(held.begin()->first);
}

/* The file's text as the profile functions see it: held, or on the disk. */
bool profile_text(const std::string &path, std::string *bytes) {
    auto it = held.find(cache_key(path));
    if (it == held.end())
        return winsim_read_file(path, bytes);
    *bytes = it->second.second;
    return true;
}

/* `readable` false: the file cannot be read (a read that fails), which reads as a missing
 * file. */
DWORD get_profile(LPCSTR section, LPCSTR key, LPCSTR default_text, LPSTR buffer, DWORD capacity,
                  LPCSTR file_name, bool readable) {
    std::string bytes;
    bool have = readable && profile_text(file_path(file_name), &bytes);
    if (!have)
        set_last_error(ERROR_FILE_NOT_FOUND);
    std::vector<line> lines = have ? split_lines(bytes) : std::vector<line>();
    if (!section) {
        std::vector<std::string> names;
        std::string name;
        for (const line &l : lines)
            if (section_of(l.text, &name))
                names.push_back(name);
        return copy_list(names, buffer, capacity);
    }
    bool inside = false, seen = false;
    std::vector<std::string> keys;
    for (const line &l : lines) {
        std::string name, k, v;
        if (section_of(l.text, &name)) {
            if (seen && inside)
                break; /* only the first section of that name counts */
            inside = same_name(name, section);
            seen = seen || inside;
            continue;
        }
        if (!inside || !key_of(l.text, &k, &v))
            continue;
        if (!key)
            keys.push_back(k);
        else if (same_name(k, key))
            return copy_result(v, buffer, capacity);
    }
    if (!key)
        return copy_list(keys, buffer, capacity);
    std::string d = default_text ? default_text : "";
    while (!d.empty() && d.back() == ' ')
        d.pop_back();
    return copy_result(d, buffer, capacity);
}

BOOL put_profile(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file_name) {
    std::string path = file_path(file_name);
    if (!section && !key && !value) {
        flush_profile(cache_key(path));
        return FALSE;
    }
    if (!section)
        return FALSE;
    std::string bytes;
    profile_text(path, &bytes);
    std::vector<line> lines = split_lines(bytes);
    int section_start = -1, section_end = -1; /* header line, one past last key line */
    int key_line = -1;
    for (int i = 0; i < (int)lines.size(); i++) {
        std::string name, k, v;
        if (section_of(lines[i].text, &name)) {
            if (section_start >= 0)
                break;
            if (same_name(name, section)) {
                section_start = i;
                section_end = i + 1;
            }
            continue;
        }
        if (section_start < 0)
            continue;
        if (!trim(lines[i].text).empty())
            section_end = i + 1;
        if (key && key_line < 0 && key_of(lines[i].text, &k, &v) && same_name(k, key))
            key_line = i;
    }
    if (!key) { /* delete the section */
        if (section_start >= 0)
            lines.erase(lines.begin() + section_start, lines.begin() + section_end);
    } else if (!value) { /* delete the key */
        if (key_line >= 0)
            lines.erase(lines.begin() + key_line);
    } else if (key_line >= 0) {
        std::string k = lines[key_line].text.substr(0, lines[key_line].text.find('='));
        lines[key_line].text = trim(k) + "=" + value;
    } else {
        if (section_start < 0) {
            if (!lines.empty() && lines.back().end.empty())
                lines.back().end = "\r\n";
            lines.push_back(line{std::string("[") + section + "]", "\r\n"});
            section_end = (int)lines.size();
        }
        if (section_end > 0 && lines[section_end - 1].end.empty())
            lines[section_end - 1].end = "\r\n";
        lines.insert(lines.begin() + section_end, line{std::string(key) + "=" + value, "\r\n"});
    }
    std::string out;
    for (const line &l : lines)
        out += l.text + l.end;
    resolved_path r = resolve(path);
    if (!r.valid)
        return FALSE;
    if (out != bytes) /* a change, held until the cache is flushed */
        held[cache_key(path)] = std::make_pair(path, out);
    return TRUE;
}

} // namespace winsim

using namespace winsim;

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_text, LPSTR buffer,
                                      DWORD capacity, LPCSTR file_name) {
    bool readable = !enter("GetPrivateProfileStringA");
    return get_profile(section, key, default_text, buffer, capacity, file_name, readable);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file_name) {
    if (fails("WritePrivateProfileStringA", ERROR_ACCESS_DENIED))
        return FALSE;
    return put_profile(section, key, value, file_name);
}

DWORD WINAPI GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_text, LPSTR buffer,
                               DWORD capacity) {
    bool readable = !enter("GetProfileStringA");
    return get_profile(section, key, default_text, buffer, capacity, "win.ini", readable);
}

BOOL WINAPI WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value) {
    if (fails("WriteProfileStringA", ERROR_ACCESS_DENIED))
        return FALSE;
    return put_profile(section, key, value, "win.ini");
}

} // extern "C"
