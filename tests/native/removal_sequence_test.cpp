/* The removal sequence from the user's side: the gate, the child command, the completion
 * test, the immediate deletion of the setup library and the restart offer. */
#include "uninstaller_machine.h"

#include "removal.h"

#include <algorithm>

namespace {

/* The product installed; the product's removal command removes its settings and files. */
class RemovalSequence : public Machine {
  protected:
    machine_state before;
    void SetUp() override {
        Machine::SetUp();
        product::install_product();
        before = machine_state_now();
    }

    void expect_box_ids(const std::vector<unsigned> &ids) {
        const std::vector<winsim_box> &boxes = winsim_boxes();
        ASSERT_EQ(boxes.size(), ids.size());
        for (size_t i = 0; i < ids.size(); i++)
            EXPECT_EQ(boxes[i].text, uninstaller_text(ids[i])) << "box " << i;
    }

    /* Nothing of the machine changed, and no restart was asked for. */
    void expect_nothing_changed() {
        expect_machine(machine_state_now(), before);
        EXPECT_TRUE(winsim_restarts().empty());
    }

    /* The machine installed afresh as `v` says. */
    void install(const product::variant &v) {
        winsim_reset();
        product::install_product(v);
        before = machine_state_now();
    }

    /* The removal command does `run` instead of what the product's does. */
    static void removal_command_does(winsim_program run) {
        winsim_install_program(product::text(product::REMOVAL_COMMAND), run);
    }
};

DWORD leaves_the_key(const std::string &) {
    return 0;
}

TEST_F(RemovalSequence, PrintManagerRunningStopsBeforeAnything) {
    winsim_open_window(uninstaller_text(6));
    winsim_script_boxes({IDOK, IDOK});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box(0, 13, 0x10);
    expect_box(1, 2, 0x40);
    EXPECT_EQ(winsim_boxes().size(), 2u);
    EXPECT_TRUE(winsim_process_starts().empty());
    expect_nothing_changed();
}

TEST_F(RemovalSequence, PrintManagerCheckComesBeforeTheEmptyCommandLineCheck) {
    winsim_open_window(uninstaller_text(6));
    winsim_script_boxes({IDOK, IDOK});
    EXPECT_EQ(run_uninstaller(""), 0);
    expect_box_ids({13, 2});
    expect_nothing_changed();
}

TEST_F(RemovalSequence, PrintManagerTitleMatchesIgnoringLetterCase) {
    winsim_open_window("ORVANE TYPE2 " + uninstaller_text(6).substr(13));
    winsim_script_boxes({IDOK, IDOK});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box_ids({13, 2});
}

TEST_F(RemovalSequence, AnotherWindowDoesNotStopTheRun) {
    winsim_open_window(uninstaller_text(6) + " ");
    winsim_open_window(uninstaller_text(1));
    winsim_script_boxes({IDNO, IDOK});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box_ids({4, 2});
}

TEST_F(RemovalSequence, EmptyCommandLineEndsSilently) {
    EXPECT_EQ(run_uninstaller(""), 0);
    EXPECT_TRUE(winsim_boxes().empty());
    EXPECT_TRUE(winsim_process_starts().empty());
    expect_nothing_changed();
}

TEST_F(RemovalSequence, ConfirmationNoCancels) {
    winsim_script_boxes({IDNO, IDOK});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box(0, 4, 0x34);
    expect_box(1, 2, 0x40);
    EXPECT_TRUE(winsim_process_starts().empty());
    expect_nothing_changed();
}

/* Any answer but No goes on, a box that could not be shown (0) included. */
TEST_F(RemovalSequence, EveryConfirmationAnswerButNoGoesOn) {
    for_each_row({IDYES, IDOK, IDCANCEL, 0}, [&](int answer) {
        winsim_script_boxes({answer, IDNO});
        EXPECT_EQ(run_uninstaller(), 0) << answer;
        ASSERT_EQ(winsim_process_starts().size(), 1u) << answer;
        expect_box_ids({4, 5});
    });
}

TEST_F(RemovalSequence, ChildThatCannotStartIsReportedAndTheCompletionTestDecides) {
    /* No removal command where the command line names it: the start fails.  The key is still
     * there: silent end. */
    install({.removal_command = false});
    winsim_script_boxes({IDYES, IDOK});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box(0, 4, 0x34);
    expect_box(1, 3, 0x10);
    EXPECT_EQ(winsim_boxes().size(), 2u);
    expect_nothing_changed();
}

TEST_F(RemovalSequence, ChildThatCannotStartWithTheKeyAlreadyGoneStillRemoves) {
    install({.removal_command = false});
    WritePrivateProfileStringA("General", "InstallPath", nullptr, "KMW48.INI");
    winsim_script_boxes({IDYES, IDOK, IDNO});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box_ids({4, 3, 5});
    EXPECT_FALSE(winsim_file_exists(product::text(product::SETUP_LIBRARY)));
}

TEST_F(RemovalSequence, KeyStillPresentAfterTheChildEndsSilently) {
    removal_command_does(leaves_the_key);
    winsim_script_boxes({IDYES});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box_ids({4});
    EXPECT_EQ(winsim_process_starts().size(), 1u);
    expect_nothing_changed();
}

/* The completion test looks for the key itself: an empty value still counts as present,
 * and so does a value that merely begins like the default. */
TEST_F(RemovalSequence, CompletionTestNeedsTheKeyItselfGone) {
    const char *leftovers[] = {"[General]\r\nInstallPath=\r\n",
                               "[General]\r\nInstallPath=!!!!!!\r\n",
                               "[General]\r\nInstallPath=!!!!\r\n"};
    for_each_row(leftovers, [&](const char *left) {
        std::string text = left;
        removal_command_does([text](const std::string &) {
            winsim_write_file(product::text(product::PRODUCT_INI), text);
            return (DWORD)0;
        });
        winsim_script_boxes({IDYES});
        EXPECT_EQ(run_uninstaller(), 0) << left;
        expect_box_ids({4});
        EXPECT_TRUE(winsim_file_exists(product::text(product::SETUP_LIBRARY))) << left;
    });
}

/* The completion test cannot tell a missing key from a name it could not load or a read that
 * failed (which gives the default, as a missing key does): then the removal is not complete,
 * although the product's removal command did leave the key in place. */
TEST_F(RemovalSequence, CompletionTestThatCannotTellStops) {
    struct {
        const char *what;
        const char *api;
        int nth; /* counted from the start of the run */
    } rows[] = {
        {"the key's name cannot be loaded", "LoadStringA", 6},
        {"the file's name cannot be loaded", "LoadStringA", 7},
        {"the first read of the key fails", "GetPrivateProfileStringA", 4},
        {"the second read of the key fails", "GetPrivateProfileStringA", 5},
    };
    for_each_row(rows, [&](const auto &r) {
        removal_command_does(leaves_the_key);
        winsim_script_boxes({IDYES});
        winsim_fail_call(r.api, r.nth);
        EXPECT_EQ(run_uninstaller(), 0);
        expect_box_ids({4});
        expect_nothing_changed();
        EXPECT_TRUE(winsim_spooler_requests().empty());
    });
    /* The same reads with the key gone: both reads agree, and the removal goes on. */
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller(), 0);
    EXPECT_FALSE(winsim_file_exists(product::text(product::SETUP_LIBRARY)));
    /* What the rows count on: before the wait for the child, five strings were loaded (the
     * backup's name, the INI file's name, the print manager's title, the confirmation's text
     * and caption) and three
     * settings read; the completion test makes the next two loads and reads. */
    std::vector<std::string> calls = winsim_calls();
    auto wait = std::find(calls.begin(), calls.end(), "WaitForSingleObject");
    ASSERT_NE(wait, calls.end());
    EXPECT_EQ(std::count(calls.begin(), wait, "LoadStringA"), 5);
    EXPECT_EQ(std::count(calls.begin(), wait, "GetPrivateProfileStringA"), 3);
    auto after_wait = std::find(wait, calls.end(), "LoadStringA");
    ASSERT_LE(after_wait + 4, calls.end());
    EXPECT_EQ(std::vector<std::string>(after_wait, after_wait + 4),
              (std::vector<std::string>{"LoadStringA", "LoadStringA", "GetPrivateProfileStringA",
                                        "GetPrivateProfileStringA"}));
}

TEST_F(RemovalSequence, CompletionHoldsWhenTheChildDeletesTheWholeIniFile) {
    removal_command_does([](const std::string &) {
        DeleteFileA(product::text(product::PRODUCT_INI).c_str());
        return (DWORD)0;
    });
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box_ids({4, 5});
    EXPECT_FALSE(winsim_file_exists(product::text(product::SETUP_LIBRARY)));
}

TEST_F(RemovalSequence, KeyGoneDeletesTheSetupLibraryAndRestartNoEndsWithZero) {
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box(1, 5, 0x24);
    EXPECT_FALSE(winsim_file_exists(product::text(product::SETUP_LIBRARY)));
    EXPECT_TRUE(winsim_restarts().empty());
}

/* Any answer but No to the restart question restarts; the request's result is the exit
 * code. */
TEST_F(RemovalSequence, RestartAnswersAndResults) {
    struct {
        int answer;
        BOOL result;
        int exit_code;
        bool restarted;
    } cases[] = {
        {IDYES, TRUE, 1, true}, {IDYES, FALSE, 0, true}, {0, TRUE, 1, true},
        {IDOK, TRUE, 1, true},  {IDNO, TRUE, 0, false},
    };
    for_each_row(cases, [&](const auto &c) {
        winsim_set_restart_result(c.result);
        winsim_script_boxes({IDYES, c.answer});
        EXPECT_EQ(run_uninstaller(), c.exit_code) << c.answer;
        ASSERT_EQ(winsim_restarts().size(), c.restarted ? 1u : 0u) << c.answer;
        if (c.restarted) {
            EXPECT_EQ(winsim_restarts()[0].flags, (UINT)EWX_REBOOT);
            EXPECT_EQ(winsim_restarts()[0].reserved, 0u);
        }
    });
}

TEST_F(RemovalSequence, MissingSetupLibraryIsNoObstacle) {
    DeleteFileA(product::text(product::SETUP_LIBRARY).c_str());
    winsim_script_boxes({IDYES, IDNO});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_box_ids({4, 5});
}

TEST_F(RemovalSequence, MissingSettingsAreSavedEmpty) {
    winsim_write_file(product::text(product::PRODUCT_INI),
                      "[General]\r\nInstallPath=C:\\Orvane\r\n");
    DeleteFileA("C:\\WINDOWS\\WIN.INI");
    winsim_script_boxes({IDYES, IDNO});
    run_uninstaller();
    EXPECT_STREQ(saved.execute_file, "");
    EXPECT_STREQ(saved.folder_name, "");
    EXPECT_STREQ(saved.startup_list, "");
    EXPECT_STREQ(saved.install_path, "C:\\Orvane");
}

TEST_F(RemovalSequence, OverlongSettingsAreCutAtTheirCapacity) {
    std::string long_path = "C:\\" + std::string(600, 'p');
    std::string long_name(300, 'n');
    winsim_write_file(product::text(product::PRODUCT_INI), "[General]\r\nInstallPath=" + long_path +
                                                               "\r\nFolderName=" + long_name +
                                                               "\r\n");
    winsim_script_boxes({IDYES, IDNO});
    run_uninstaller();
    EXPECT_EQ(std::string(saved.install_path), long_path.substr(0, 511));
    EXPECT_EQ(std::string(saved.folder_name), long_name.substr(0, 255));
}

/* The command line is split at its first blank, even inside the program's own path. */
TEST_F(RemovalSequence, ProgramPathWithABlankSplitsThere) {
    winsim_script_boxes({IDYES, IDOK});
    std::string child = product::text(product::REMOVAL_COMMAND);
    std::string line = std::string("C:\\Program Files\\kmw48rmv.exe ") + child;
    HINSTANCE instance =
        winsim_start_program("C:\\Program Files\\kmw48rmv.exe", kmw48rmv_strings, line);
    before = machine_state_now(); /* with the program's own file */
    char empty[] = "";
    EXPECT_EQ(WinMain(instance, nullptr, empty, 1), 0);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_EQ(winsim_process_starts()[0].command_line, std::string("Files\\kmw48rmv.exe ") + child);
    EXPECT_FALSE(winsim_process_starts()[0].started);
    expect_box_ids({4, 3});
    expect_nothing_changed();
}

/* A command line without any blank has no child command: reported as a start that failed,
 * and the completion test still runs. */
TEST_F(RemovalSequence, CommandLineWithoutBlankHasNoChild) {
    winsim_script_boxes({IDYES, IDOK});
    EXPECT_EQ(run_uninstaller(product::text(product::UNINSTALLER)), 0);
    EXPECT_TRUE(winsim_process_starts().empty());
    expect_box_ids({4, 3});
    expect_nothing_changed();
}

TEST_F(RemovalSequence, CommandLineEndingInABlankStartsNothing) {
    winsim_script_boxes({IDYES, IDOK});
    EXPECT_EQ(run_uninstaller(product::text(product::UNINSTALLER) + " "), 0);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_FALSE(winsim_process_starts()[0].started);
    expect_box_ids({4, 3});
}

} // namespace
