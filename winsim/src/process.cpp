/* process.cpp: process creation, waiting and handles.  A started program is a function that
 * the test installed at a path of the sandbox; it runs while the process is created.  The
 * program file is found the way CreateProcessA finds it without an application name: a
 * quoted first token, or else every prefix that ends before a blank, shortest first; ".exe"
 * added to a name without an extension; a name without a folder searched in the program's
 * folder, the current directory, the system directory and the Windows directory.
 * CloseHandle fails only for a handle that is not valid (and GetStartupInfoA never): a
 * failure that a test injects there changes nothing. */
#include "internal.h"

#include <string.h>

namespace winsim {

void reset_process_modules();
std::string program_path();

namespace {

std::map<std::string, winsim_program> programs; /* upper-cased Windows path -> program */
std::vector<winsim_process_start> starts;
std::map<long, DWORD> exit_codes; /* process number -> exit code */
long next_process = 1;
char environment_block[] = "PATH=C:\\WINDOWS;C:\\WINDOWS\\COMMAND\0TEMP=C:\\WINDOWS\\TEMP\0\0";

bool has_extension(const std::string &name) {
    std::vector<std::string> parts = split_path(name);
    return !parts.empty() && parts.back().find('.') != std::string::npos;
}

bool has_folder(const std::string &name) {
    return name.find('\\') != std::string::npos || name.find('/') != std::string::npos ||
           name.find(':') != std::string::npos;
}

/* The program file that `candidate` names, or "" when there is none. */
std::string find_program(std::string candidate) {
    if (candidate.empty())
        return "";
    if (!has_extension(candidate))
        candidate += ".exe";
    std::vector<std::string> tries;
    if (has_folder(candidate)) {
        tries.push_back(candidate);
    } else {
        /* The program's own folder, looked up without a platform call of the program's. */
        std::string dir = program_path();
        if (!dir.empty()) {
            size_t slash = dir.rfind('\\');
            if (slash != std::string::npos)
                tries.push_back(dir.substr(0, slash) + "\\" + candidate);
        }
        tries.push_back(current_directory() + "\\" + candidate);
        tries.push_back(system_directory() + "\\" + candidate);
        tries.push_back(windows_directory() + "\\" + candidate);
    }
    for (const std::string &t : tries) {
        resolved_path r = resolve(t);
        if (r.valid && host_is_file(r.host))
            return r.windows;
    }
    return "";
}

std::string image_of(const std::string &line) {
    size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        start++;
    if (start < line.size() && line[start] == '"') {
        size_t end = line.find('"', start + 1);
        return find_program(
            line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1));
    }
    for (size_t i = start; i <= line.size(); i++) {
        if (i == line.size() || line[i] == ' ' || line[i] == '\t') {
            std::string found = find_program(line.substr(start, i - start));
            if (!found.empty())
                return found;
        }
    }
    return "";
}

} // namespace

void reset_process() {
    reset_process_modules();
    programs.clear();
    starts.clear();
    exit_codes.clear();
    next_process = 1;
}

} // namespace winsim

using namespace winsim;

void winsim_install_program(const std::string &path, winsim_program run) {
    if (!winsim_file_exists(path))
        winsim_write_file(path, "MZ");
    programs[upper(resolve(path).windows)] = run;
}

const std::vector<winsim_process_start> &winsim_process_starts() {
    return starts;
}

extern "C" {

void WINAPI GetStartupInfoA(LPSTARTUPINFOA info) {
    enter("GetStartupInfoA");
    memset(info, 0, sizeof *info);
    info->cb = sizeof *info;
}

LPCH WINAPI GetEnvironmentStrings(void) {
    if (enter("GetEnvironmentStrings"))
        return nullptr;
    return environment_block;
}

BOOL WINAPI FreeEnvironmentStringsA(LPCH block) {
    (void)block;
    enter("FreeEnvironmentStringsA"); /* the block is the process's own: nothing to fail */
    return TRUE;
}

BOOL WINAPI CreateProcessA(LPCSTR application_name, LPSTR command_line,
                           LPSECURITY_ATTRIBUTES process_attributes,
                           LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                           DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                           LPSTARTUPINFOA startup_info, LPPROCESS_INFORMATION process_information) {
    (void)process_attributes;
    (void)thread_attributes;
    winsim_process_start start{};
    start.had_application_name = application_name != nullptr;
    start.command_line = command_line ? command_line : "";
    start.inherit_handles = inherit_handles;
    start.creation_flags = creation_flags;
    start.had_environment = environment != nullptr;
    start.had_current_directory = current_directory != nullptr;
    start.startup_size = startup_info ? startup_info->cb : 0;
    bool fail = enter("CreateProcessA");
    std::string image =
        application_name ? find_program(application_name) : image_of(start.command_line);
    if (fail || image.empty() || !startup_info) {
        starts.push_back(start);
        set_last_error(fail ? ERROR_NOT_ENOUGH_MEMORY : ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    start.image = image;
    start.started = true;
    starts.push_back(start);
    size_t index = starts.size() - 1;
    long number = next_process++;
    DWORD exit_code = 0;
    auto program = programs.find(upper(image));
    if (program != programs.end())
        exit_code = program->second(start.command_line);
    process_information->hProcess = new_handle(HANDLE_PROCESS, (long)index);
    process_information->hThread = new_handle(HANDLE_THREAD, (long)index);
    process_information->dwProcessId = (DWORD)(0x100 + number);
    process_information->dwThreadId = (DWORD)(0x200 + number);
    exit_codes[(long)index] = exit_code;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    (void)milliseconds;
    if (enter("WaitForSingleObject"))
        return WAIT_FAILED;
    long index;
    if (!handle_valid(handle, HANDLE_PROCESS, &index)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    starts[(size_t)index].waited = true;
    return WAIT_OBJECT_0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
    long index;
    if (enter("GetExitCodeProcess") || !handle_valid(process, HANDLE_PROCESS, &index)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exit_code = exit_codes[index];
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    enter("CloseHandle");
    close_file_handle(handle);
    if (!close_handle(handle)) {
        set_last_error(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
