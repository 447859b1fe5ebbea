/* uninstaller_machine.h: the uninstaller on a machine of the stand-in: started as Windows
 * starts it (its module, its command line, its string table), for whole runs, or as the
 * running program while single removal steps are called (RemovalStep). */
#ifndef TESTS_UNINSTALLER_MACHINE_H
#define TESTS_UNINSTALLER_MACHINE_H

#include "machine.h"

#include "messages.h"

#include <string>

extern const winsim_string_row kmw48rmv_strings[];
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

/* Row `id` of the uninstaller's string table in the ANSI code page. */
inline std::string uninstaller_text(unsigned id) {
    const char *utf8 = winsim_string_utf8(kmw48rmv_strings, id);
    return utf8 ? winsim_ansi(utf8) : std::string();
}

/* Box `index` as the uninstaller shows it: text `text_id`, caption 1, owner the desktop. */
inline void expect_box(size_t index, unsigned text_id, UINT style) {
    const std::vector<winsim_box> &boxes = winsim_boxes();
    ASSERT_LT(index, boxes.size()) << "box " << text_id << " was not shown";
    EXPECT_EQ(boxes[index].text, uninstaller_text(text_id)) << "box " << index;
    EXPECT_EQ(boxes[index].caption, uninstaller_text(IDS_CAPTION)) << "box " << index;
    EXPECT_EQ(boxes[index].style, style) << "box " << index;
    EXPECT_EQ(boxes[index].owner, winsim_desktop_window()) << "box " << index;
}

/* The uninstaller's command line as Windows gives it: its path, a blank, the product's own
 * removal command with its arguments. */
inline std::string removal_command_line() {
    return product::text(product::UNINSTALLER) + " " + product::text(product::REMOVAL_COMMAND) +
           " -r";
}

/* Runs the uninstaller, installed where the product puts it, with `command_line` (the whole
 * line, program path included), and returns its exit code. */
inline int run_uninstaller(const std::string &command_line = removal_command_line(),
                           const std::string &program = product::text(product::UNINSTALLER)) {
    HINSTANCE instance = winsim_start_program(program, kmw48rmv_strings, command_line);
    char empty[] = "";
    return WinMain(instance, nullptr, empty, 1);
}

/* The uninstaller is the running program: its string table is loaded for the steps. */
class RemovalStep : public Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        start_uninstaller(product::text(product::UNINSTALLER));
    }
    static void start_uninstaller(const std::string &path) {
        program_instance = winsim_start_program(path, kmw48rmv_strings, removal_command_line());
    }
};

#endif
