/* user.cpp: message boxes, top-level windows of other programs and the restart request.
 * Message boxes are answered from a script that the test gives; every box is recorded with
 * its owner, caption, text and style.  GetDesktopWindow never fails; FindWindowA fails
 * like a search that finds nothing (NULL), MessageBoxA like a box that cannot be shown (0),
 * ExitWindowsEx with FALSE. */
#include "internal.h"

#include <deque>

namespace winsim {
namespace {

std::deque<int> answers;
std::function<int(const winsim_box &)> answerer;
std::vector<winsim_box> boxes;
int unscripted = 0;
std::map<uintptr_t, std::string> windows; /* other programs' top-level windows */
uintptr_t next_window = 0x20000;
const uintptr_t desktop = 0x10010;
std::vector<winsim_restart> restarts;
BOOL restart_result = TRUE;

} // namespace

void reset_user() {
    answers.clear();
    answerer = nullptr;
    boxes.clear();
    unscripted = 0;
    windows.clear();
    next_window = 0x20000;
    restarts.clear();
    restart_result = TRUE;
}

} // namespace winsim

using namespace winsim;

void winsim_script_boxes(const std::vector<int> &list) {
    answers.assign(list.begin(), list.end());
}
void winsim_answer_boxes(std::function<int(const winsim_box &)> answer) {
    answerer = answer;
}
const std::vector<winsim_box> &winsim_boxes() {
    return boxes;
}
int winsim_unscripted_boxes() {
    return unscripted;
}
int winsim_unused_answers() {
    return (int)answers.size();
}

HWND winsim_open_window(const std::string &ansi_title) {
    uintptr_t h = next_window;
    next_window += 0x10;
    windows[h] = ansi_title;
    return (HWND)h;
}

void winsim_close_window(HWND window) {
    windows.erase((uintptr_t)window);
}
HWND winsim_desktop_window() {
    return (HWND)desktop;
}
void winsim_set_restart_result(BOOL result) {
    restart_result = result;
}
const std::vector<winsim_restart> &winsim_restarts() {
    return restarts;
}

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    winsim_box box{owner, caption ? caption : "Error", text ? text : "", style, 0, false};
    if (enter("MessageBoxA")) {
        box.scripted = true;
        boxes.push_back(box);
        return 0;
    }
    if (!answers.empty()) {
        box.answer = answers.front();
        box.scripted = true;
        answers.pop_front();
    } else if (answerer) {
        box.answer = answerer(box);
        box.scripted = true;
    } else {
        unscripted++;
    }
    boxes.push_back(box);
    return box.answer;
}

HWND WINAPI GetDesktopWindow(void) {
    enter("GetDesktopWindow");
    return (HWND)desktop;
}

/* Titles compare as the window manager compares them: letter case is ignored. */
HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR window_name) {
    (void)class_name;
    if (enter("FindWindowA"))
        return nullptr;
    for (const auto &w : windows)
        if (window_name && same_name(w.second, window_name))
            return (HWND)w.first;
    return nullptr;
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD reserved) {
    if (enter("ExitWindowsEx"))
        return FALSE;
    restarts.push_back(winsim_restart{flags, reserved});
    return restart_result;
}

} // extern "C"
