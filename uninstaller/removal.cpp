/* removal.cpp: the uninstaller's control flow.  The settings are saved first, because the
 * product's own removal command deletes them; then the gate (print manager closed, a child
 * command given, the user agrees), the child command, the completion test on the product
 * INI file, the removal steps in their fixed order, and the restart offer. */
#include <windows.h>
#include <string.h>

#include "deletion_list.h"
#include "line_rewrite.h"
#include "messages.h"
#include "printers.h"
#include "program_group.h"
#include "removal.h"
#include "shared_device.h"
#include "startup_and_folder.h"

saved_settings saved;

static const char general_section[] = "General";
static const char windows_section[] = "windows";
static const char execute_file_key[] = "ExecuteFile";
static const char install_path_key[] = "InstallPath";
static const char folder_name_key[] = "FolderName";
static const char load_key[] = "load";
static const char missing_default[] = " ";
static const char completion_default[] = "!!!!!";
static const char setup_library_name[] = "\\KMW48I2.DLL";

enum {
    WINDOW_TITLE_CAPACITY = 256,
    COMPLETION_KEY_CAPACITY = 260,
    COMPLETION_FILE_CAPACITY = 256,
    COMPLETION_VALUE_CAPACITY = 260,
    SYSTEM_PATH_CAPACITY = 256
};

static char window_title[WINDOW_TITLE_CAPACITY];
static char completion_key[COMPLETION_KEY_CAPACITY];
static char completion_file[COMPLETION_FILE_CAPACITY];
static char completion_value[COMPLETION_VALUE_CAPACITY];
static char setup_library_path[SYSTEM_PATH_CAPACITY];

/* A missing key is saved as an empty text.  The one-blank default comes back without its
 * blank on Windows, which strips trailing blanks from a default, but Wine hands back the
 * blank itself; a real value never is a lone blank, because the profile functions strip
 * blanks around values. */
static void drop_blank_default(char *value) {
    if (value[0] == ' ' && value[1] == '\0')
        value[0] = '\0';
}

static void read_product_setting(const char *key, char *buffer, DWORD capacity) {
    GetPrivateProfileStringA(general_section, key, missing_default, buffer, capacity,
                             saved.ini_name);
    drop_blank_default(buffer);
}

void read_saved_settings() {
    /* What an earlier run, interrupted while it replaced a boot file, left is finished first,
     * so that this run reads and edits whole files. */
    finish_interrupted_list();
    finish_interrupted_device_removal();
    LoadStringA(program_instance, IDS_INI_FILE, saved.ini_name, INI_NAME_CAPACITY);
    saved.device_count_before = read_device_count();
    memset(saved.execute_file, 0, EXECUTE_FILE_CAPACITY);
    read_product_setting(execute_file_key, saved.execute_file, EXECUTE_FILE_CAPACITY);
    read_product_setting(install_path_key, saved.install_path, INSTALL_PATH_CAPACITY);
    read_product_setting(folder_name_key, saved.folder_name, FOLDER_NAME_CAPACITY);
    memset(saved.startup_list, 0, STARTUP_LIST_CAPACITY);
    GetProfileStringA(windows_section, load_key, missing_default, saved.startup_list,
                      STARTUP_LIST_CAPACITY);
    drop_blank_default(saved.startup_list);
}

int confirm_start() {
    HWND desktop = GetDesktopWindow();
    /* The print manager must be closed first: it holds the driver and its files. */
    LoadStringA(program_instance, IDS_PM_TITLE, window_title, WINDOW_TITLE_CAPACITY);
    if (FindWindowA(NULL, window_title) != NULL) {
        show_message(desktop, IDS_PM_RUNNING, IDS_CAPTION, STYLE_STOP);
        show_message(desktop, IDS_CANCELLED, IDS_CAPTION, STYLE_INFORMATION);
        return 0;
    }
    const char *command_line = GetCommandLineA();
    if (command_line == NULL || lstrlenA(command_line) == 0)
        return 0;
    if (show_message(desktop, IDS_CONFIRM, IDS_CAPTION, STYLE_CONFIRM) == IDNO) {
        show_message(desktop, IDS_CANCELLED, IDS_CAPTION, STYLE_INFORMATION);
        return 0;
    }
    return 1;
}

/* Starts the child command and waits for its end.  Returns 0 when it could not be
 * started. */
static int run_child(char *child_command) {
    STARTUPINFOA startup_info;
    PROCESS_INFORMATION process;
    GetStartupInfoA(&startup_info);
    if (!CreateProcessA(NULL, child_command, NULL, NULL, FALSE, 0, GetEnvironmentStrings(), NULL,
                        &startup_info, &process))
        return 0;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 1;
}

/* One read of the completion key: 1 when it gives the default, as for a missing key. */
static int completion_key_gone() {
    GetPrivateProfileStringA(general_section, completion_key, completion_default, completion_value,
                             COMPLETION_VALUE_CAPACITY, completion_file);
    return memcmp(completion_value, completion_default, sizeof completion_default) == 0;
}

int run_child_and_test() {
    /* The child command is whatever follows the first blank of the command line.  Without
     * a blank there is no child command: that is reported as a start that failed, and the
     * completion test still decides. */
    char *command_line = GetCommandLineA();
    char *blank = command_line ? strchr(command_line, ' ') : NULL;
    if (blank == NULL || !run_child(blank + 1))
        show_message(GetDesktopWindow(), IDS_BAD_COMMAND, IDS_CAPTION, STYLE_STOP);

    /* The product's own removal is complete when the InstallPath key is gone.  Without the
     * key's or the file's name nothing can be told: the removal is not complete. */
    if (LoadStringA(program_instance, IDS_COMPLETION_KEY, completion_key,
                    COMPLETION_KEY_CAPACITY) == 0)
        return 0;
    if (LoadStringA(program_instance, IDS_INI_FILE, completion_file, COMPLETION_FILE_CAPACITY) == 0)
        return 0;
    if (!completion_key_gone())
        return 0;
    /* A read that fails gives the default just as a missing key does: the key counts as gone
     * only when a second read agrees. */
    return completion_key_gone();
}

/* The setup library is deleted at once as well as scheduled for the next start. */
static void delete_setup_library() {
    UINT length = GetSystemDirectoryA(setup_library_path, SYSTEM_PATH_CAPACITY);
    if (length == 0 || length + sizeof setup_library_name > SYSTEM_PATH_CAPACITY)
        return;
    lstrcatA(setup_library_path, setup_library_name);
    DeleteFileA(setup_library_path);
}

int run_removal() {
    /* A printer of a sibling driver means another installed product still uses the setup
     * library: then it is neither scheduled for deletion nor deleted now. */
    int keep_setup_library = remove_printers_and_driver() ? 0 : 1;
    write_deletion_list(keep_setup_library);

    /* The product's removal command may have lowered the count itself. */
    DWORD device_count_after = read_device_count();
    if (device_count_after == saved.device_count_before && device_count_after != 0)
        set_device_count(device_count_after - 1);

    remove_install_folder();
    remove_startup_entry();
    remove_program_group();

    if (!keep_setup_library)
        delete_setup_library();

    if (show_message(GetDesktopWindow(), IDS_RESTART, IDS_CAPTION, STYLE_QUESTION) != IDNO)
        return ExitWindowsEx(EWX_REBOOT, 0);
    return 0;
}
