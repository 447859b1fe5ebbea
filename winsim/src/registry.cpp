/* registry.cpp: an in-memory registry with Windows 95/98 semantics: key and value names
 * ignore letter case, RegDeleteKeyA removes a key together with all of its subkeys and
 * values (Windows NT and Wine refuse a key that has subkeys; winsim_reg_delete_key_nt turns
 * that behaviour on), a value read into a buffer too small gets ERROR_MORE_DATA, and an
 * empty or missing value name is the key's unnamed (default) value.
 *
 * A key has no default value until one is set: RegQueryValueExA with an empty name on such a
 * key fails with ERROR_FILE_NOT_FOUND like any missing value (Win32 documentation: "a
 * registry key does not automatically have an unnamed or default value"; only the Windows
 * 3.1 call RegQueryValueA reports an empty text for it).  For a missing value Windows 95/98
 * set the type to 0 and leave the size and the buffer untouched (Wine's conformance tests,
 * as run on Windows 9x).  RegCloseKey fails only for a handle that is not valid: a failure
 * that a test injects there changes nothing.
 *
 * Windows 95 writes the registry to the disk lazily ("data is written to the Registry only
 * when a flush occurs", Windows 95 Resource Kit): what is on the disk is kept apart, taken
 * whole at a shutdown and key by key at RegFlushKey (its values), and a power cut puts it
 * back. */
#include "internal.h"

#include <stdio.h>
#include <string.h>

#include <memory>

namespace winsim {
namespace {

struct reg_value {
    std::string name;
    DWORD type;
    std::string data;
};

struct reg_key {
    std::string name;
    std::map<std::string, std::unique_ptr<reg_key>> subkeys; /* upper-cased name -> key */
    std::map<std::string, reg_value> values;                 /* upper-cased name -> value */
};

std::map<uintptr_t, std::unique_ptr<reg_key>> roots;
std::map<uintptr_t, std::pair<uintptr_t, std::vector<std::string>>> open_keys; /* handle -> path */
bool nt_delete = false;

bool is_root(HKEY key) {
    return roots.count((uintptr_t)key) != 0;
}

/* The path (root, names) that a handle stands for. */
bool path_of(HKEY key, uintptr_t *root, std::vector<std::string> *names) {
    if (is_root(key)) {
        *root = (uintptr_t)key;
        names->clear();
        return true;
    }
    auto it = open_keys.find((uintptr_t)key);
    if (it == open_keys.end())
        return false;
    *root = it->second.first;
    *names = it->second.second;
    return true;
}

std::map<uintptr_t, std::unique_ptr<reg_key>> on_disk; /* the registry as last written */

/* The key at `names` below `root`, in the registry as it is or (`disk`) as on the disk. */
reg_key *walk(uintptr_t root, const std::vector<std::string> &names, bool create, bool *created,
              bool disk = false) {
    auto r = (disk ? on_disk : roots).find(root);
    if (r == (disk ? on_disk : roots).end())
        return nullptr;
    reg_key *k = r->second.get();
    for (const std::string &n : names) {
        auto it = k->subkeys.find(upper(n));
        if (it == k->subkeys.end()) {
            if (!create)
                return nullptr;
            std::unique_ptr<reg_key> child(new reg_key);
            child->name = n;
            reg_key *raw = child.get();
            k->subkeys[upper(n)] = std::move(child);
            if (created)
                *created = true;
            k = raw;
        } else {
            k = it->second.get();
        }
    }
    return k;
}

std::vector<std::string> split_key(const char *sub) {
    std::vector<std::string> out;
    std::string part;
    for (const char *p = sub ? sub : ""; *p; p++) {
        if (*p == '\\') {
            if (!part.empty())
                out.push_back(part);
            part.clear();
        } else {
            part += *p;
        }
    }
    if (!part.empty())
        out.push_back(part);
    return out;
}

/* Looks up handle + subkey; returns the key or null with the error to report. */
/* A key found (or made) below an open key: its path from its root, or why not. */
struct found_key {
    reg_key *key;
    LONG error;
    uintptr_t root;
    std::vector<std::string> names;
};

found_key find(HKEY key, const char *sub, bool create = false, bool *created = nullptr) {
    found_key f = {nullptr, ERROR_INVALID_HANDLE, 0, {}};
    if (!path_of(key, &f.root, &f.names))
        return f;
    for (const std::string &n : split_key(sub))
        f.names.push_back(n);
    f.key = walk(f.root, f.names, create, created);
    f.error = f.key ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    return f;
}

HKEY open_handle(uintptr_t root, const std::vector<std::string> &names) {
    HANDLE h = new_handle(HANDLE_OTHER, 0);
    open_keys[(uintptr_t)h] = std::make_pair(root, names);
    return (HKEY)h;
}

std::unique_ptr<reg_key> copy_of(const reg_key &key) {
    std::unique_ptr<reg_key> copy(new reg_key);
    copy->name = key.name;
    copy->values = key.values;
    for (const auto &sub : key.subkeys)
        copy->subkeys[sub.first] = copy_of(*sub.second);
    return copy;
}

void copy_roots(const std::map<uintptr_t, std::unique_ptr<reg_key>> &from,
                std::map<uintptr_t, std::unique_ptr<reg_key>> *to) {
    to->clear();
    for (const auto &root : from)
        (*to)[root.first] = copy_of(*root.second);
}

} // namespace

void commit_registry() {
    copy_roots(roots, &on_disk);
}

void restore_registry() {
    copy_roots(on_disk, &roots);
}

void end_process_registry() {
    open_keys.clear();
}

void reset_registry() {
    roots.clear();
    open_keys.clear();
    nt_delete = false;
    for (HKEY k : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS})
        roots[(uintptr_t)k].reset(new reg_key);
    commit_registry();
}

} // namespace winsim

using namespace winsim;

bool winsim_reg_key_exists(HKEY root, const std::string &path) {
    return walk((uintptr_t)root, split_key(path.c_str()), false, nullptr) != nullptr;
}

void winsim_reg_set(HKEY root, const std::string &path, const std::string &name, DWORD type,
                    const std::string &bytes) {
    reg_key *k = walk((uintptr_t)root, split_key(path.c_str()), true, nullptr);
    k->values[upper(name)] = reg_value{name, type, bytes};
}

void winsim_reg_set_string(HKEY root, const std::string &path, const std::string &name,
                           const std::string &value) {
    winsim_reg_set(root, path, name, REG_SZ, value + std::string(1, '\0'));
}

void winsim_reg_set_dword(HKEY root, const std::string &path, const std::string &name,
                          DWORD value) {
    winsim_reg_set(root, path, name, REG_DWORD, std::string((const char *)&value, 4));
}

bool winsim_reg_get(HKEY root, const std::string &path, const std::string &name, DWORD *type,
                    std::string *bytes) {
    reg_key *k = walk((uintptr_t)root, split_key(path.c_str()), false, nullptr);
    if (!k)
        return false;
    auto it = k->values.find(upper(name));
    if (it == k->values.end())
        return false;
    if (type)
        *type = it->second.type;
    if (bytes)
        *bytes = it->second.data;
    return true;
}

namespace {

std::string hex_bytes(const std::string &bytes) {
    std::string out;
    char hex[4];
    for (unsigned char c : bytes) {
        snprintf(hex, sizeof hex, " %02X", c);
        out += hex;
    }
    return out;
}

void list_key(const std::string &path, const reg_key &key, std::vector<std::string> *lines) {
    lines->push_back("key " + path);
    for (const auto &v : key.values)
        lines->push_back("value " + path + " [" + v.second.name + "] type " +
                         std::to_string(v.second.type) + " =" + hex_bytes(v.second.data));
    for (const auto &k : key.subkeys)
        list_key(path + "\\" + k.second->name, *k.second, lines);
}

} // namespace

std::vector<std::string> winsim_registry() {
    const struct {
        HKEY root;
        const char *name;
    } named_roots[] = {{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                       {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                       {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                       {HKEY_USERS, "HKEY_USERS"}};
    std::vector<std::string> lines;
    for (const auto &r : named_roots)
        list_key(r.name, *roots[(uintptr_t)r.root], &lines);
    return lines;
}

void winsim_reg_delete_key_nt(bool nt_behaviour) {
    nt_delete = nt_behaviour;
}

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
    (void)options;
    (void)access;
    if (enter("RegOpenKeyExA"))
        return ERROR_ACCESS_DENIED;
    found_key f = find(key, sub_key);
    if (!f.key)
        return f.error;
    *result = open_handle(f.root, f.names);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR class_name,
                               DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                               PHKEY result, LPDWORD disposition) {
    (void)reserved;
    (void)class_name;
    (void)options;
    (void)access;
    (void)security;
    if (enter("RegCreateKeyExA"))
        return ERROR_ACCESS_DENIED;
    bool created = false;
    found_key f = find(key, sub_key, true, &created);
    if (!f.key)
        return f.error;
    *result = open_handle(f.root, f.names);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD data_size) {
    (void)reserved;
    if (enter("RegQueryValueExA"))
        return ERROR_ACCESS_DENIED;
    found_key f = find(key, nullptr);
    reg_key *k = f.key;
    if (!k)
        return f.error == ERROR_FILE_NOT_FOUND ? 1018L /* ERROR_KEY_DELETED */ : f.error;
    auto it = k->values.find(upper(value_name ? value_name : ""));
    if (it == k->values.end()) {
        if (type)
            *type = REG_NONE;
        return ERROR_FILE_NOT_FOUND;
    }
    const reg_value &v = it->second;
    if (type)
        *type = v.type;
    if (!data_size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD capacity = *data_size;
    *data_size = (DWORD)v.data.size();
    if (!data)
        return ERROR_SUCCESS;
    if (capacity < v.data.size())
        return ERROR_MORE_DATA;
    memcpy(data, v.data.data(), v.data.size());
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY key, LPCSTR value_name, DWORD reserved, DWORD type,
                              const BYTE *data, DWORD data_size) {
    (void)reserved;
    if (enter("RegSetValueExA"))
        return ERROR_ACCESS_DENIED;
    found_key f = find(key, nullptr);
    reg_key *k = f.key;
    if (!k)
        return f.error;
    std::string name = value_name ? value_name : "";
    k->values[upper(name)] = reg_value{name, type, std::string((const char *)data, data_size)};
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY key, LPCSTR value_name) {
    if (enter("RegDeleteValueA"))
        return ERROR_ACCESS_DENIED;
    found_key f = find(key, nullptr);
    reg_key *k = f.key;
    if (!k)
        return f.error;
    return k->values.erase(upper(value_name ? value_name : "")) ? ERROR_SUCCESS
                                                                : ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
    if (enter("RegDeleteKeyA"))
        return ERROR_ACCESS_DENIED;
    std::vector<std::string> sub = split_key(sub_key);
    if (sub.empty())
        return ERROR_BADKEY;
    found_key f = find(key, sub_key);
    if (!f.key)
        return f.error;
    if (nt_delete && !f.key->subkeys.empty())
        return ERROR_ACCESS_DENIED;
    std::vector<std::string> parent_names(f.names.begin(), f.names.end() - 1);
    reg_key *parent = walk(f.root, parent_names, false, nullptr);
    parent->subkeys.erase(upper(f.names.back()));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved,
                             LPSTR class_name, LPDWORD class_size, FILETIME *last_write) {
    (void)reserved;
    (void)class_name;
    (void)class_size;
    (void)last_write;
    if (enter("RegEnumKeyExA"))
        return ERROR_ACCESS_DENIED;
    found_key f = find(key, nullptr);
    reg_key *k = f.key;
    if (!k)
        return f.error;
    if (index >= k->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = k->subkeys.begin();
    std::advance(it, index);
    const std::string &n = it->second->name;
    if (*name_size <= n.size())
        return ERROR_MORE_DATA;
    memcpy(name, n.c_str(), n.size() + 1);
    *name_size = (DWORD)n.size();
    return ERROR_SUCCESS;
}

/* The key's values go to the disk as they are now. */
LSTATUS WINAPI RegFlushKey(HKEY key) {
    if (enter("RegFlushKey"))
        return ERROR_ACCESS_DENIED;
    uintptr_t root;
    std::vector<std::string> names;
    reg_key *live = path_of(key, &root, &names) ? walk(root, names, false, nullptr) : nullptr;
    if (live == nullptr)
        return ERROR_INVALID_HANDLE;
    walk(root, names, true, nullptr, true)->values = live->values;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY key) {
    enter("RegCloseKey");
    if (is_root(key))
        return ERROR_SUCCESS;
    if (!open_keys.erase((uintptr_t)key))
        return ERROR_INVALID_HANDLE;
    close_handle((HANDLE)key);
    return ERROR_SUCCESS;
}

} // extern "C"
