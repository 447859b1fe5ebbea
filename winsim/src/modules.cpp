/* modules.cpp: the running program and its libraries: module file names, the command line
 * and string-table loading.  LoadStringA hands out a row in the ANSI code page (932): it
 * copies at most capacity - 1 bytes, never splits a double-byte character, always ends the
 * text with a zero and returns the count of bytes copied, as measured on Windows and Wine. */
#include "internal.h"

#include <string.h>

namespace winsim {
namespace {

struct module {
    std::string path;
    const winsim_string_row *strings;
};
std::map<uintptr_t, module> modules;
uintptr_t program_instance = 0;
uintptr_t next_instance = 0x400000;
std::vector<char> command_line;

HINSTANCE add_module(const std::string &path, const winsim_string_row *strings) {
    uintptr_t instance = next_instance;
    next_instance += 0x100000;
    modules[instance] = module{resolve(path).windows, strings};
    if (!winsim_file_exists(path))
        winsim_write_file(path, "MZ");
    modules[instance].path = resolve(path).windows;
    return (HINSTANCE)instance;
}

} // namespace

std::string program_path() {
    auto it = modules.find(program_instance);
    return it == modules.end() ? std::string() : it->second.path;
}

void reset_process_modules() {
    modules.clear();
    program_instance = 0;
    next_instance = 0x400000;
    command_line.assign(1, '\0');
}

} // namespace winsim

using namespace winsim;

HINSTANCE winsim_start_program(const std::string &path, const winsim_string_row *strings,
                               const std::string &line) {
    HINSTANCE instance = add_module(path, strings);
    program_instance = (uintptr_t)instance;
    command_line.assign(line.begin(), line.end());
    command_line.push_back('\0');
    return instance;
}

HINSTANCE winsim_load_library(const std::string &path, const winsim_string_row *strings) {
    return add_module(path, strings);
}

const char *winsim_string_utf8(const winsim_string_row *strings, unsigned id) {
    for (const winsim_string_row *row = strings; row && row->utf8; row++)
        if (row->id == id)
            return row->utf8;
    return nullptr;
}

extern "C" {

LPSTR WINAPI GetCommandLineA(void) {
    enter("GetCommandLineA");
    if (command_line.empty())
        command_line.assign(1, '\0');
    return command_line.data();
}

DWORD WINAPI GetModuleFileNameA(HMODULE instance, LPSTR buffer, DWORD capacity) {
    if (enter("GetModuleFileNameA") || capacity == 0) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return 0;
    }
    uintptr_t key = instance ? (uintptr_t)instance : program_instance;
    auto it = modules.find(key);
    if (it == modules.end()) {
        set_last_error(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    /* Windows 95/98 cut the name and terminate it; the result is the count copied. */
    size_t n = it->second.path.size();
    if (n > capacity - 1)
        n = capacity - 1;
    memcpy(buffer, it->second.path.data(), n);
    buffer[n] = '\0';
    return (DWORD)n;
}

/* A row that cannot be loaded leaves an empty text, as a missing row does (Wine terminates
 * the buffer before it returns 0). */
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int capacity) {
    bool fail = enter("LoadStringA");
    if (!buffer || capacity <= 0)
        return 0;
    buffer[0] = '\0';
    if (fail) {
        set_last_error(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    auto it = modules.find((uintptr_t)instance);
    if (it == modules.end()) {
        set_last_error(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const char *utf8 = winsim_string_utf8(it->second.strings, id);
    if (!utf8)
        return 0;
    std::string ansi = to_ansi(utf8);
    size_t n = 0;
    while (n < ansi.size()) {
        size_t step = lead_byte((unsigned char)ansi[n]) ? 2 : 1;
        if (n + step > (size_t)capacity - 1)
            break;
        n += step;
    }
    memcpy(buffer, ansi.data(), n);
    buffer[n] = '\0';
    return (int)n;
}

} // extern "C"
