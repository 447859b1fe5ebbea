/* boxrunner.cpp: the test's eyes and hands on a program running under Wine.
 *
 * It starts the program under test with the command line a script gives, finds each dialog
 * box of that program from outside (message boxes and the open-file dialog), records what
 * the box shows, answers it as the script says, and records the program's exit code.  A
 * box that the script does not answer, a button that is not there or a run that outlasts
 * the time-out ends the program, so that a test fails instead of hanging.  For a
 * demonstration it can instead leave the boxes to a user at the screen, and it can wait
 * before each answer until a screenshot of the box has been taken.
 *
 * Usage: boxrunner SCRIPT LOG
 *
 * Script, one directive a line, texts as bytes in the ANSI code page:
 *   run COMMAND LINE    the command line given to CreateProcessA, exactly
 *   app PATH            optional application name for CreateProcessA
 *   timeout MS          time-out of the whole run (default 30000)
 *   press ID            answer the next box by pressing its button with that control id
 *   file NAME           type NAME into the next open-file dialog, then press OK
 *   watch               leave every box to the user at the screen (no answers are given)
 *   shots PREFIX        before answering box N (from 1), write PREFIX N ".box" holding the
 *                       box's screen rectangle "LEFT TOP RIGHT BOTTOM", then wait until
 *                       PREFIX N ".done" exists (at most SHOT_WAIT_MS)
 *
 * Log, one event a line, texts in hexadecimal (CP932 bytes as the box shows them):
 *   started pid=N | start-failed error=N
 *   box caption=HEX text=HEX edit=0|1 buttons=ID:HEX,ID:HEX...
 *   pressed id=N | typed text=HEX | no-button id=N | no-file-field | unexpected-box |
 *   timeout | unused-answers count=N | shot n=N | shot-timeout n=N
 *   memory peak-working-set=N private=N
 *   exit code=N
 * Each line ends with at=MS, the time since the program was started.  The memory line comes
 * before the exit line: the largest peak working set and private bytes of the program seen
 * while it ran (GetProcessMemoryInfo each poll and before each answer; under Wine the peak
 * working set is the Wine process's VmHWM, the private bytes its RssAnon).  It is missing
 * where psapi.dll is not there.
 * Exit status: 0 when the run went as scripted (every answer used), else 1. */
#include <windows.h>

#include "helpers.h"

using namespace helper;

namespace {

enum {
    SCRIPT_CAPACITY = 16384,
    COMMAND_CAPACITY = 2048,
    ANSWER_CAPACITY = 32,
    TEXT_CAPACITY = 1024,
    HANDLED_CAPACITY = 64,
    POLL_MS = 20,
    DEFAULT_TIMEOUT_MS = 30000,
    FILE_NAME_EDIT_ID = 0x480,  /* edt1 of the open-file dialog */
    FILE_NAME_COMBO_ID = 0x47c, /* cmb13, the file name box of newer dialogs */
    MESSAGE_TEXT_ID = 0xFFFF,   /* the static text of a message box */
    SHOT_WAIT_MS = 30000,       /* the longest wait for a screenshot */
    SHOT_PAINT_MS = 250         /* lets the box finish painting before it is photographed */
};

struct answer {
    int is_file;              /* 1: type text into the open-file dialog, then press OK */
    int button_id;            /* the button to press */
    char text[TEXT_CAPACITY]; /* the file name to type */
};

char script[SCRIPT_CAPACITY];
char command_line[COMMAND_CAPACITY];
char application[COMMAND_CAPACITY];
answer answers[ANSWER_CAPACITY];
int answer_count;
DWORD timeout_ms = DEFAULT_TIMEOUT_MS;
int watching;
char shot_prefix[COMMAND_CAPACITY];

DWORD target_pid;
HWND handled[HANDLED_CAPACITY];
int handled_count;

DWORD start_time;

/* GetProcessMemoryInfo's structure, as psapi.h declares it. */
struct memory_counters {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize;
    SIZE_T WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage;
    SIZE_T QuotaPagedPoolUsage;
    SIZE_T QuotaPeakNonPagedPoolUsage;
    SIZE_T QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage;
    SIZE_T PeakPagefileUsage;
};
typedef BOOL(WINAPI *memory_info_call)(HANDLE, memory_counters *, DWORD);
memory_info_call get_memory_info;
SIZE_T peak_working_set, peak_private;

/* Ends a log line with the milliseconds since the program was started. */
void end_event() {
    log_text(" at=");
    log_number((long)(GetTickCount() - start_time));
    log_end();
}

/* ---- The script ------------------------------------------------------------------ */

int starts_with(const char *text, const char *prefix) {
    while (*prefix)
        if (*text++ != *prefix++)
            return 0;
    return 1;
}

void copy_text(char *to, const char *from, int capacity) {
    int i = 0;
    while (from[i] && i < capacity - 1) {
        to[i] = from[i];
        i++;
    }
    to[i] = '\0';
}

int read_script(const char *path) {
    if (read_whole(path, script, SCRIPT_CAPACITY) < 0)
        return 0;

    char *p = script;
    while (*p) {
        char *end = p;
        while (*end && *end != '\n')
            end++;
        char *next = *end ? end + 1 : end;
        if (end > p && end[-1] == '\r')
            end[-1] = '\0';
        *end = '\0';
        if (starts_with(p, "run "))
            copy_text(command_line, p + 4, COMMAND_CAPACITY);
        else if (starts_with(p, "app "))
            copy_text(application, p + 4, COMMAND_CAPACITY);
        else if (starts_with(p, "timeout "))
            timeout_ms = (DWORD)to_number(p + 8);
        else if (lstrcmpA(p, "watch") == 0)
            watching = 1;
        else if (starts_with(p, "shots "))
            copy_text(shot_prefix, p + 6, COMMAND_CAPACITY);
        else if (answer_count < ANSWER_CAPACITY && starts_with(p, "press ")) {
            answers[answer_count].is_file = 0;
            answers[answer_count++].button_id = (int)to_number(p + 6);
        } else if (answer_count < ANSWER_CAPACITY && starts_with(p, "file ")) {
            answers[answer_count].is_file = 1;
            answers[answer_count].button_id = IDOK;
            copy_text(answers[answer_count++].text, p + 5, TEXT_CAPACITY);
        } else if (*p)
            return 0;
        p = next;
    }
    return 1;
}

/* ---- Boxes ----------------------------------------------------------------------- */

int is_handled(HWND window) {
    for (int i = 0; i < handled_count; i++)
        if (handled[i] == window)
            return 1;
    return 0;
}

/* Forgets the boxes that are gone, so that only open ones are skipped. */
void forget_closed_boxes() {
    int kept = 0;
    for (int i = 0; i < handled_count; i++)
        if (IsWindow(handled[i]))
            handled[kept++] = handled[i];
    handled_count = kept;
}

BOOL CALLBACK find_box_callback(HWND window, LPARAM found) {
    char class_name[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != target_pid || !IsWindowVisible(window) || is_handled(window))
        return TRUE;
    if (GetClassNameA(window, class_name, sizeof class_name) == 0 ||
        lstrcmpA(class_name, "#32770") != 0)
        return TRUE;
    *(HWND *)found = window;
    return FALSE;
}

HWND find_new_box() {
    HWND found = NULL;
    EnumWindows(find_box_callback, (LPARAM)&found);
    return found;
}

/* Text of a window of the program under test, asked for by message (works across
 * processes, unlike reading the window structure). */
int window_text(HWND window, char *text) {
    DWORD_PTR length = 0;
    text[0] = '\0';
    if (!SendMessageTimeoutA(window, WM_GETTEXT, TEXT_CAPACITY, (LPARAM)text, SMTO_ABORTIFHUNG,
                             2000, &length))
        return 0;
    text[TEXT_CAPACITY - 1] = '\0';
    return lstrlenA(text);
}

HWND file_name_field(HWND box) {
    HWND field = GetDlgItem(box, FILE_NAME_EDIT_ID);
    return field ? field : GetDlgItem(box, FILE_NAME_COMBO_ID);
}

BOOL CALLBACK add_button_callback(HWND child, LPARAM first) {
    char class_name[64];
    char text[TEXT_CAPACITY];
    if (GetClassNameA(child, class_name, sizeof class_name) == 0 ||
        lstrcmpiA(class_name, "Button") != 0 || !IsWindowVisible(child))
        return TRUE;
    if (!*(int *)first)
        log_text(",");
    *(int *)first = 0;
    log_number(GetDlgCtrlID(child));
    log_text(":");
    log_hex(text, window_text(child, text));
    return TRUE;
}

void record_box(HWND box) {
    char text[TEXT_CAPACITY];
    int first = 1;
    log_text("box caption=");
    log_hex(text, window_text(box, text));
    log_text(" text=");
    HWND message = GetDlgItem(box, MESSAGE_TEXT_ID);
    log_hex(text, message ? window_text(message, text) : 0);
    log_text(" edit=");
    log_number(file_name_field(box) != NULL);
    log_text(" buttons=");
    EnumChildWindows(box, add_button_callback, (LPARAM)&first);
    end_event();
}

/* Answers the box; returns 0 when the answer cannot be given. */
int answer_box(HWND box, const answer *a) {
    if (a->is_file) {
        HWND field = file_name_field(box);
        if (field == NULL) {
            log_text("no-file-field");
            end_event();
            return 0;
        }
        DWORD_PTR result;
        SendMessageTimeoutA(field, WM_SETTEXT, 0, (LPARAM)a->text, SMTO_ABORTIFHUNG, 2000, &result);
        log_text("typed text=");
        log_hex(a->text, lstrlenA(a->text));
        end_event();
    }
    HWND button = GetDlgItem(box, a->button_id);
    if (button == NULL) {
        log_text("no-button id=");
        log_number(a->button_id);
        end_event();
        return 0;
    }
    /* Exactly what a click sends; closing the box instead would answer IDCANCEL. */
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(a->button_id, BN_CLICKED), (LPARAM)button);
    log_text("pressed id=");
    log_number(a->button_id);
    end_event();
    return 1;
}

/* ---- Screenshots ---------------------------------------------------------------- */

char shot_path[COMMAND_CAPACITY + 32];

void make_shot_path(int number, const char *suffix) {
    wsprintfA(shot_path, "%s%d%s", shot_prefix, number, suffix);
}

/* Tells where box `number` is on the screen and waits until it has been photographed. */
void wait_for_shot(HWND box, int number) {
    RECT area;
    char text[64];
    Sleep(SHOT_PAINT_MS);
    GetWindowRect(box, &area);
    wsprintfA(text, "%ld %ld %ld %ld\r\n", area.left, area.top, area.right, area.bottom);
    make_shot_path(number, ".box");
    HANDLE file = CreateFileA(shot_path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, text, (DWORD)lstrlenA(text), &written, NULL);
    CloseHandle(file);

    make_shot_path(number, ".done");
    DWORD start = GetTickCount();
    while (GetFileAttributesA(shot_path) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > SHOT_WAIT_MS) {
            log_text("shot-timeout n=");
            log_number(number);
            end_event();
            return;
        }
        Sleep(POLL_MS);
    }
    log_text("shot n=");
    log_number(number);
    end_event();
}

/* ---- The run --------------------------------------------------------------------- */

/* Keeps the largest memory figures of the program seen so far. */
void sample_memory(HANDLE process) {
    memory_counters counters;
    ZeroMemory(&counters, sizeof counters);
    counters.cb = sizeof counters;
    if (get_memory_info == NULL || !get_memory_info(process, &counters, sizeof counters))
        return;
    if (counters.PeakWorkingSetSize > peak_working_set)
        peak_working_set = counters.PeakWorkingSetSize;
    if (counters.PagefileUsage > peak_private)
        peak_private = counters.PagefileUsage;
}

void stop_program(HANDLE process) {
    TerminateProcess(process, 0xDEAD);
    WaitForSingleObject(process, 5000);
}

int run() {
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    start_time = GetTickCount();
    if (!CreateProcessA(application[0] ? application : NULL, command_line, NULL, NULL, FALSE, 0,
                        NULL, NULL, &startup, &process)) {
        log_text("start-failed error=");
        log_number((long)GetLastError());
        end_event();
        return 0;
    }
    HMODULE psapi = LoadLibraryA("psapi.dll");
    if (psapi != NULL)
        get_memory_info = (memory_info_call)(void *)GetProcAddress(psapi, "GetProcessMemoryInfo");
    target_pid = process.dwProcessId;
    log_text("started pid=");
    log_number((long)target_pid);
    end_event();

    int used = 0;
    int shown = 0;
    int ok = 1;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(process.hProcess, POLL_MS) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeout_ms) {
            log_text("timeout");
            end_event();
            stop_program(process.hProcess);
            ok = 0;
            break;
        }
        sample_memory(process.hProcess);
        forget_closed_boxes();
        HWND box = find_new_box();
        if (box == NULL)
            continue;
        record_box(box);
        shown++;
        if (shot_prefix[0])
            wait_for_shot(box, shown);
        if (watching) {
            if (handled_count < HANDLED_CAPACITY)
                handled[handled_count++] = box;
            continue;
        }
        if (used == answer_count) {
            log_text("unexpected-box");
            end_event();
            stop_program(process.hProcess);
            ok = 0;
            break;
        }
        if (!answer_box(box, &answers[used++])) {
            stop_program(process.hProcess);
            ok = 0;
            break;
        }
        if (handled_count < HANDLED_CAPACITY)
            handled[handled_count++] = box;
    }

    if (ok && used < answer_count) {
        log_text("unused-answers count=");
        log_number(answer_count - used);
        end_event();
    }
    if (get_memory_info != NULL) {
        log_text("memory peak-working-set=");
        log_number((long)peak_working_set);
        log_text(" private=");
        log_number((long)peak_private);
        end_event();
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    log_text("exit code=");
    log_number((long)code);
    end_event();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok && used == answer_count;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    if (!log_open(argv[2], 0))
        return 2;
    if (!read_script(argv[1])) {
        log_text("bad-script");
        end_event();
        CloseHandle(log_file);
        return 2;
    }
    int ok = run();
    CloseHandle(log_file);
    return ok ? 0 : 1;
}
