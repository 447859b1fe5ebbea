/* The last removal steps in a whole run of the uninstaller: the installation folder, the print
 * manager's start-up entry and the Program Manager group, from the settings saved before the
 * product's own removal command ran. */
#include "uninstaller_machine.h"

namespace {

const char WIN_INI[] = "C:\\WINDOWS\\WIN.INI";
const std::string child_line = std::string(UNINSTALLER_PATH) + " " + CHILD_PATH + " -r";

std::string win_ini(const std::string &load) {
    return "[windows]\r\nload=" + load + "\r\nrun=\r\n\r\n[Desktop]\r\nWallpaper=(None)\r\n";
}

class FinalSteps : public Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        winsim_write_file(PRODUCT_INI, PRODUCT_INI_TEXT);
        winsim_write_file("C:\\Orvane\\KMW48PM.EXE", "MZ print manager");
        winsim_write_file("C:\\Orvane\\README.TXT", "read me");
        winsim_progman_start();
        winsim_progman_add_group("Accessories", {{"Notepad", "NOTEPAD.EXE"}});
    }
};

TEST_F(FinalSteps, EverythingOfTheProductGoes) {
    winsim_write_file(WIN_INI, win_ini("C:\\Tools\\clock.exe C:\\Orvane\\KMW48PM.EXE"));
    winsim_progman_add_group("Orvane Type2", {});
    install_child([](const std::string &line) {
        DeleteFileA("C:\\Orvane\\KMW48PM.EXE");
        DeleteFileA("C:\\Orvane\\README.TXT");
        return remove_install_path_key(line);
    });
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller_line(child_line), 0);

    EXPECT_FALSE(winsim_dir_exists("C:\\Orvane"));
    EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(winsim_file(WIN_INI), win_ini("C:\\TOOLS\\CLOCK.EXE "));
    EXPECT_EQ(winsim_progman_groups(), std::vector<std::string>{"Accessories"});
    EXPECT_EQ(winsim_progman_commands(),
              std::vector<std::string>{std::string("[DeleteGroup(Orvane Type2)]") + '\0'});
    EXPECT_EQ(winsim_dde_open_objects(), 0);
    EXPECT_EQ(winsim_open_handles(), 0);
}

TEST_F(FinalSteps, WhatIsStillInUseStays) {
    const std::string win_ini_text = win_ini("C:\\Tools\\clock.exe");
    winsim_write_file(WIN_INI, win_ini_text);
    winsim_progman_add_group("Orvane Type2", {{"Orvane Type2 Print Manager", "KMW48PM.EXE"}});
    install_child(); /* removes the settings only: the product's files are still there */
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller_line(child_line), 0);

    EXPECT_EQ(winsim_list_dir("C:\\Orvane"),
              (std::vector<std::string>{"KMW48PM.EXE", "README.TXT"}));
    EXPECT_EQ(winsim_current_directory(), "C:\\Orvane");
    EXPECT_EQ(winsim_file(WIN_INI), win_ini_text);
    EXPECT_EQ(winsim_progman_groups(), (std::vector<std::string>{"Accessories", "Orvane Type2"}));
    EXPECT_TRUE(winsim_progman_commands().empty());
    EXPECT_EQ(winsim_dde_open_objects(), 0);
}

/* The product's removal command deletes the settings; the steps still use the saved ones. */
TEST_F(FinalSteps, StepsUseTheSettingsSavedBeforeTheChild) {
    winsim_write_file(WIN_INI, win_ini("C:\\Orvane\\KMW48PM.EXE"));
    winsim_progman_add_group("Orvane Type2", {});
    install_child([](const std::string &) {
        DeleteFileA(PRODUCT_INI);
        DeleteFileA("C:\\Orvane\\KMW48PM.EXE");
        DeleteFileA("C:\\Orvane\\README.TXT");
        return (DWORD)0;
    });
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller_line(child_line), 0);
    EXPECT_FALSE(winsim_dir_exists("C:\\Orvane"));
    EXPECT_EQ(winsim_file(WIN_INI), win_ini(""));
    EXPECT_EQ(winsim_progman_groups(), std::vector<std::string>{"Accessories"});
}

/* Without the Program Manager (another shell) the group step does nothing and the run goes on
 * to the restart question. */
TEST_F(FinalSteps, NoProgramManager) {
    winsim_reset();
    winsim_write_file(PRODUCT_INI, PRODUCT_INI_TEXT);
    winsim_write_file(WIN_INI, win_ini("C:\\Orvane\\KMW48PM.EXE"));
    install_child();
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller_line(child_line), 0);
    EXPECT_EQ(winsim_call_count("DdeConnect"), 1);
    EXPECT_EQ(winsim_call_count("DdeClientTransaction"), 0);
    EXPECT_EQ(winsim_dde_open_objects(), 0);
    EXPECT_EQ(winsim_boxes().size(), 2u);
}

} // namespace
