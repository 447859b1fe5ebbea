/* The setup launcher, reached through the export for a printer on LPT1 with no print manager
 * installed: the most recent install location, the bare file name in the current directory,
 * the open-file dialog loop, and the start of the setup program. */
#include "vendor_setup_machine.h"

#include <commdlg.h>

namespace {

const char MRU_KEY[] = "InstallLocationsMRU";

class Launcher : public VendorSetup {
  protected:
    void SetUp() override {
        VendorSetup::SetUp();
        winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
    }

    void expect_cancel_box() {
        const std::vector<winsim_box> &boxes = winsim_boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, CANCEL_TEXT);
        EXPECT_EQ(boxes[0].caption, "Setup");
        EXPECT_EQ(boxes[0].style, 0u);
        EXPECT_EQ(boxes[0].owner, HOST_WINDOW);
    }
};

struct mru_value {
    std::string name;
    std::string text;
};

struct location_case {
    std::string what;
    bool key;
    std::vector<mru_value> values;
    std::vector<std::string> files;
    std::string started;      /* command line of the setup program; "" : the dialog is shown */
    std::string current = ""; /* the current directory, when not the Windows directory */
};

/* A location of exactly `length` bytes: C:\, a folder of 200 letters, a second folder. */
std::string location_of_length(size_t length) {
    return "C:\\" + std::string(200, 'A') + "\\" + std::string(length - 205, 'B') + "\\";
}

std::vector<location_case> location_cases() {
    const std::string at_limit = location_of_length(248); /* + pmsetup.exe = 259 bytes */
    const std::string past_limit = location_of_length(249);
    /* Folders named like x.y.z have longer aliases (XY~1.Z): 38 of them make a path of 242
     * bytes whose short form needs 281. */
    std::string dotted = "C:\\";
    for (int i = 0; i < 38; i++)
        dotted += "x.y.z\\";
    return {
        {"the most recent location holds the program",
         true,
         {{"MRUList", "ba"}, {"a", "C:\\OLD\\"}, {"b", "C:\\DISK1\\"}},
         {"C:\\OLD\\PMSETUP.EXE", "C:\\DISK1\\PMSETUP.EXE"},
         "C:\\DISK1\\PMSETUP.EXE"},
        {"a drive root with its backslash",
         true,
         {{"MRUList", "a"}, {"a", "C:\\"}},
         {"C:\\PMSETUP.EXE"},
         "C:\\PMSETUP.EXE"},
        {"a location without a trailing backslash is joined without one",
         true,
         {{"MRUList", "a"}, {"a", "C:\\DISK1"}},
         {"C:\\DISK1\\PMSETUP.EXE"},
         ""},
        {"the joined path is tried unchanged",
         true,
         {{"MRUList", "a"}, {"a", "C:\\DISK1"}},
         {"C:\\DISK1pmsetup.exe"},
         "C:\\DISK1P~1.EXE"},
        {"the first letter of MRUList is a double-byte character",
         true,
         {{"MRUList", "\x82\xA0"
                      "a"},
          {"\x82\xA0", "C:\\DISK1\\"},
          {"a", "C:\\OLD\\"}},
         {"C:\\DISK1\\PMSETUP.EXE", "C:\\OLD\\PMSETUP.EXE", "C:\\WINDOWS\\PMSETUP.EXE"},
         "C:\\DISK1\\PMSETUP.EXE"},
        {"an empty MRUList names the default value",
         true,
         {{"MRUList", ""}, {"", "C:\\DISK1\\"}, {"a", "C:\\OLD\\"}},
         {"C:\\DISK1\\PMSETUP.EXE", "C:\\OLD\\PMSETUP.EXE"},
         "C:\\DISK1\\PMSETUP.EXE"},
        {"no MRUList names the default value",
         true,
         {{"", "C:\\DISK1\\"}},
         {"C:\\DISK1\\PMSETUP.EXE"},
         "C:\\DISK1\\PMSETUP.EXE"},
        {"a key without a default value: the current directory",
         true,
         {{"MRUList", ""}},
         {"C:\\WINDOWS\\PMSETUP.EXE"},
         "C:\\WINDOWS\\PMSETUP.EXE"},
        {"MRUList names a missing value: the current directory",
         true,
         {{"MRUList", "cba"}, {"a", "C:\\DISK1\\"}},
         {"C:\\DISK1\\PMSETUP.EXE", "C:\\WINDOWS\\PMSETUP.EXE"},
         "C:\\WINDOWS\\PMSETUP.EXE"},
        {"no key: the bare file name in the current directory",
         false,
         {},
         {"C:\\WINDOWS\\PMSETUP.EXE"},
         "C:\\WINDOWS\\PMSETUP.EXE"},
        {"no key: the program in the current directory, not the one beside the host",
         false,
         {},
         {"C:\\WINDOWS\\PMSETUP.EXE", "C:\\DISK1\\PMSETUP.EXE"},
         "C:\\DISK1\\PMSETUP.EXE",
         "C:\\DISK1"},
        {"no key, a current directory with a long name: its short path",
         false,
         {},
         {"C:\\WINDOWS\\PMSETUP.EXE", "C:\\Setup Disk\\PMSETUP.EXE"},
         "C:\\SETUPD~1\\PMSETUP.EXE",
         "C:\\Setup Disk"},
        {"no key and no program in the current directory", false, {}, {}, ""},
        {"the location holds no program", true, {{"MRUList", "a"}, {"a", "C:\\DISK1\\"}}, {}, ""},
        {"a location that just leaves room for the file name",
         true,
         {{"MRUList", "a"}, {"a", at_limit}},
         {at_limit + "pmsetup.exe"},
         "C:\\AAAAAA~1\\BBBBBB~1\\PMSETUP.EXE"},
        {"a location that leaves no room for the file name: the dialog",
         true,
         {{"MRUList", "a"}, {"a", past_limit}},
         {"C:\\WINDOWS\\PMSETUP.EXE"},
         ""},
        {"a short path that does not fit its buffer: the dialog",
         true,
         {{"MRUList", "a"}, {"a", dotted}},
         {dotted + "pmsetup.exe", "C:\\WINDOWS\\PMSETUP.EXE"},
         ""},
        {"a location longer than its buffer cannot be read: the current directory",
         true,
         {{"MRUList", "a"}, {"a", "C:\\" + std::string(297, 'L')}},
         {"C:\\WINDOWS\\PMSETUP.EXE"},
         "C:\\WINDOWS\\PMSETUP.EXE"},
    };
}

TEST_F(Launcher, RecentLocationTable) {
    for_each_row(location_cases(), [&](const location_case &c) {
        SCOPED_TRACE(c.what);
        if (c.key) {
            HKEY key;
            ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, MRU_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
        for (const mru_value &v : c.values)
            winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, v.name, v.text);
        for (const std::string &f : c.files)
            winsim_write_file(f, "MZ setup");
        if (!c.current.empty()) {
            ASSERT_TRUE(SetCurrentDirectoryA(c.current.c_str()));
        }
        if (c.started.empty()) {
            winsim_script_dialogs({winsim_cancel()});
            winsim_script_boxes({IDOK});
        }

        EXPECT_EQ(run_setup(NEW_PRINTER), 0);

        if (c.started.empty()) {
            EXPECT_EQ(winsim_dialog_openings().size(), 1u);
            expect_cancel_box();
            EXPECT_TRUE(winsim_process_starts().empty());
        } else {
            EXPECT_TRUE(winsim_dialog_openings().empty());
            EXPECT_TRUE(winsim_boxes().empty());
            ASSERT_EQ(winsim_process_starts().size(), 1u);
            EXPECT_EQ(winsim_process_starts()[0].command_line, c.started);
            EXPECT_TRUE(winsim_process_starts()[0].started);
        }
        EXPECT_EQ(winsim_unused_answers(), 0);
        EXPECT_EQ(winsim_unused_dialog_answers(), 0);
    });
}

/* A value stored without its terminating zero that fills the whole location buffer: there is
 * no room for the file name, so nothing is appended and the dialog is shown. */
TEST_F(Launcher, LocationFillingItsBufferWithoutAZeroShowsTheDialog) {
    winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "MRUList", "a");
    winsim_reg_set(HKEY_CURRENT_USER, MRU_KEY, "a", REG_SZ, "C:\\" + std::string(257, 'Z'));
    winsim_write_file("C:\\WINDOWS\\PMSETUP.EXE", "MZ setup");
    winsim_script_dialogs({winsim_cancel()});
    winsim_script_boxes({IDOK});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    EXPECT_EQ(winsim_dialog_openings().size(), 1u);
    expect_cancel_box();
}

/* A value stored without its terminating zero ends with its data: what an earlier call left
 * in the location buffer (its location with the file name appended) is not read as part of
 * it. */
TEST_F(Launcher, LocationStoredWithoutAZeroEndsWithItsData) {
    struct {
        const char *what;
        std::string value; /* stored without a zero */
        const char *started;
    } rows[] = {
        {"a drive root", "C:\\", "C:\\PMSETUP.EXE"},
        {"a folder shorter than the earlier one", "C:\\D\\", "C:\\D\\PMSETUP.EXE"},
        {"the same folder", "C:\\DISK1\\", "C:\\DISK1\\PMSETUP.EXE"},
    };
    for_each_row(rows, [&](const auto &r) {
        SCOPED_TRACE(r.what);
        for (const char *f : {"C:\\DISK1\\PMSETUP.EXE", "C:\\PMSETUP.EXE", "C:\\D\\PMSETUP.EXE"})
            winsim_write_file(f, "MZ setup");
        winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "MRUList", "a");
        winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "a", "C:\\DISK1\\");
        EXPECT_EQ(run_setup(NEW_PRINTER), 0);
        winsim_reg_set(HKEY_CURRENT_USER, MRU_KEY, "a", REG_SZ, r.value);
        EXPECT_EQ(run_setup(NEW_PRINTER), 0);
        EXPECT_TRUE(winsim_dialog_openings().empty());
        ASSERT_EQ(winsim_process_starts().size(), 2u);
        EXPECT_EQ(winsim_process_starts()[1].command_line, r.started);
        EXPECT_TRUE(winsim_process_starts()[1].started);
    });
}

struct browse_case {
    const char *what;
    std::vector<std::string> files;
    std::vector<winsim_dialog_answer> answers;
    bool cancel_box;
    const char *started; /* command line; nullptr: no start attempted */
    int result;
};

const std::vector<browse_case> browse_cases = {
    {"cancelled", {}, {winsim_cancel()}, true, nullptr, 0},
    {"a file without PMSETUP, then one with it",
     {"C:\\DISK1\\README.TXT", "C:\\DISK1\\PMSETUP.EXE"},
     {winsim_choose("C:\\DISK1\\README.TXT"), winsim_choose("C:\\DISK1\\PMSETUP.EXE")},
     false,
     "C:\\DISK1\\PMSETUP.EXE",
     0},
    {"a file without PMSETUP, then cancelled",
     {"C:\\DISK1\\SETUP.EXE"},
     {winsim_choose("C:\\DISK1\\SETUP.EXE"), winsim_cancel()},
     true,
     nullptr,
     0},
    {"a file in small letters",
     {"C:\\disk1\\pmsetup.exe"},
     {winsim_choose("c:\\disk1\\pmsetup.exe")},
     false,
     "C:\\DISK1\\PMSETUP.EXE",
     0},
    {"OLDPMSETUP.EXE contains PMSETUP",
     {"C:\\DISK1\\OLDPMSETUP.EXE"},
     {winsim_choose("C:\\DISK1\\OLDPMSETUP.EXE")},
     false,
     "C:\\DISK1\\OLDPMS~1.EXE",
     0},
    {"a folder named PMSETUP",
     {"C:\\PMSETUP\\INSTALL.EXE"},
     {winsim_choose("C:\\PMSETUP\\INSTALL.EXE")},
     false,
     "C:\\PMSETUP\\INSTALL.EXE",
     0},
    {"a typed name of a missing file: the start fails",
     {},
     {winsim_type("C:\\DISK1\\PMSETUP.EXE")},
     false,
     "",
     1},
    {"a typed name without extension gets EXE",
     {"C:\\DISK1\\PMSETUP.EXE"},
     {winsim_type("C:\\DISK1\\pmsetup")},
     false,
     "C:\\DISK1\\PMSETUP.EXE",
     0},
    {"a path longer than the dialog's buffer counts as cancelled",
     {},
     {winsim_type("C:\\" + std::string(200, 'A') + "\\" + std::string(60, 'B') + "\\PMSETUP.EXE")},
     true,
     nullptr,
     0},
};

TEST_F(Launcher, BrowseTable) {
    for_each_row(browse_cases, [&](const browse_case &c) {
        SCOPED_TRACE(c.what);
        for (const std::string &f : c.files)
            winsim_write_file(f, "MZ setup");
        winsim_script_dialogs(c.answers);
        if (c.cancel_box)
            winsim_script_boxes({IDOK});

        EXPECT_EQ(run_setup(NEW_PRINTER), c.result);

        EXPECT_EQ(winsim_dialog_openings().size(), c.answers.size());
        EXPECT_EQ(winsim_unused_dialog_answers(), 0);
        if (c.cancel_box)
            expect_cancel_box();
        else
            EXPECT_TRUE(winsim_boxes().empty());
        if (!c.started) {
            EXPECT_TRUE(winsim_process_starts().empty());
        } else if (winsim_process_starts().size() != 1u) {
            ADD_FAILURE() << winsim_process_starts().size() << " starts";
        } else {
            EXPECT_EQ(winsim_process_starts()[0].command_line, c.started);
            EXPECT_EQ(winsim_process_starts()[0].started, c.result == 0);
        }
    });
}

TEST_F(Launcher, DialogSettings) {
    winsim_write_file("C:\\DISK1\\README.TXT", "text");
    winsim_script_dialogs({winsim_choose("C:\\Disk1\\readme.txt"), winsim_cancel()});
    winsim_script_boxes({IDOK});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    const std::vector<winsim_dialog_opening> &openings = winsim_dialog_openings();
    ASSERT_EQ(openings.size(), 2u);
    for (const winsim_dialog_opening &o : openings) {
        EXPECT_EQ(o.struct_size, 76u);
        EXPECT_EQ(o.owner, HOST_WINDOW);
        EXPECT_EQ(o.filter, std::string("*.exe\0\0", 7));
        EXPECT_EQ(o.file_buffer, chosen_file);
        EXPECT_EQ(o.file_capacity, 260u);
        EXPECT_EQ(o.title, "PMSETUP.EXE");
        EXPECT_EQ(o.flags, (DWORD)OFN_HIDEREADONLY);
        EXPECT_EQ(o.default_extension, "EXE");
        EXPECT_TRUE(o.other_fields_zero);
    }
    EXPECT_EQ(openings[0].initial_file, "");
    /* The second opening shows the file chosen before, upper-cased. */
    EXPECT_EQ(openings[1].initial_file, "C:\\DISK1\\README.TXT");
}

TEST_F(Launcher, ChosenFileIsKeptBetweenCalls) {
    winsim_write_file("C:\\DISK1\\README.TXT", "text");
    winsim_script_dialogs({winsim_choose("C:\\DISK1\\readme.txt"), winsim_cancel()});
    winsim_script_boxes({IDOK});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    winsim_script_dialogs({winsim_cancel()});
    winsim_script_boxes({IDOK});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_dialog_openings().size(), 3u);
    EXPECT_EQ(winsim_dialog_openings()[2].initial_file, "C:\\DISK1\\README.TXT");
}

/* Without the setup program's name (its string could not be loaded) the recent location names
 * only a folder: the user picks the program, and nothing named after the folder is started. */
TEST_F(Launcher, SetupNameThatCannotBeLoadedLeadsToTheDialog) {
    winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "MRUList", "a");
    winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "a", "C:\\DISK1");
    winsim_write_file("C:\\DISK1\\PMSETUP.EXE", "MZ setup");
    winsim_write_file("C:\\DISK1.EXE", "MZ another program");
    winsim_fail_call("LoadStringA", 1);
    winsim_script_dialogs({winsim_choose("C:\\DISK1\\PMSETUP.EXE")});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_EQ(winsim_process_starts()[0].command_line, "C:\\DISK1\\PMSETUP.EXE");
    EXPECT_EQ(winsim_dialog_openings().size(), 1u);
}

TEST_F(Launcher, DialogThatCannotOpenCountsAsCancelled) {
    winsim_fail_call("GetOpenFileNameA", 1);
    winsim_script_boxes({IDOK});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    expect_cancel_box();
    EXPECT_TRUE(winsim_process_starts().empty());
}

TEST_F(Launcher, SetupProgramIsStartedAndNotWaitedFor) {
    winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "MRUList", "a");
    winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "a", "C:\\Program Files\\Disk One\\");
    int runs = 0;
    winsim_install_program("C:\\Program Files\\Disk One\\pmsetup.exe",
                           [&runs](const std::string &) {
                               runs++;
                               return (DWORD)0;
                           });
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    const winsim_process_start &s = winsim_process_starts()[0];
    EXPECT_EQ(s.command_line, "C:\\PROGRA~1\\DISKON~1\\PMSETUP.EXE");
    EXPECT_FALSE(s.had_application_name);
    EXPECT_EQ(s.inherit_handles, FALSE);
    EXPECT_EQ(s.creation_flags, (DWORD)CREATE_DEFAULT_ERROR_MODE);
    EXPECT_FALSE(s.had_environment);
    EXPECT_FALSE(s.had_current_directory);
    EXPECT_EQ(s.startup_size, 68u);
    EXPECT_TRUE(s.started);
    EXPECT_FALSE(s.waited);
    EXPECT_EQ(winsim_open_handles(), 0) << "the process and thread handles are closed";
}

/* A short path longer than 79 bytes still reaches the new process whole. */
TEST_F(Launcher, LongShortPathIsPassedWhole) {
    std::string folder = "C:";
    for (char c = 'A'; c < 'A' + 9; c++)
        folder += "\\" + std::string(8, c);
    std::string setup = folder + "\\PMSETUP.EXE";
    ASSERT_EQ(setup.size(), 95u);
    winsim_reg_set_string(HKEY_CURRENT_USER, MRU_KEY, "", folder + "\\");
    winsim_write_file(setup, "MZ setup");
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_EQ(winsim_process_starts()[0].command_line, setup);
    EXPECT_TRUE(winsim_process_starts()[0].started);
}

} // namespace
