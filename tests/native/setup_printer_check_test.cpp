/* The printer check: the walk over the spooler's list, the network-port and already-installed
 * questions, the not-found message, and the print-manager probe with the current directory
 * that it leaves behind. */
#include "vendor_setup_machine.h"

namespace {

struct printer_row {
    const char *name, *port, *driver;
};

/* Folder names whose double-byte character has an ASCII letter as its second byte:
 * 0x83 0x61 (a katakana) would become 0x83 0x41 (another one) if the 'a' were upper-cased,
 * and 0x83 0x4B ends in the 'K' with which the print manager's file name starts. */
const std::string KATAKANA_A_FOLDER = std::string("C:\\") + "\x83\x61";
const std::string KATAKANA_UPPER_FOLDER = std::string("C:\\") + "\x83\x41";
const std::string KATAKANA_K_FOLDER = std::string("C:\\") + "\x83\x4B" + "MW48PM.EXE";

struct check_case {
    const char *what;
    std::vector<printer_row> printers;
    std::string printer_name;
    std::string execute_file;          /* "" : no ExecuteFile key */
    std::vector<std::string> programs; /* KMW48PM.EXE files on disk */
    std::vector<std::string> folders;  /* other folders on disk */
    std::vector<int> answers;          /* to the boxes, in order */
    std::vector<unsigned> boxes;       /* string ids of the boxes shown */
    int result;
    std::string directory; /* current directory afterwards */
};

/* Columns: printers in the spooler's order, the name passed, ExecuteFile, KMW48PM.EXE files,
 * other folders, answers to the boxes, boxes shown (string ids), result, current directory. */
const char WIN[] = "C:\\WINDOWS";
const printer_row NEW_ON_LPT1 = {NEW_PRINTER, "LPT1:", DRIVER};
const printer_row NEW_ON_NET = {NEW_PRINTER, NET_PORT, DRIVER};
const printer_row OFFICE_ON_LPT = {"Orvane Office", "LPT2:", DRIVER};
const printer_row LASER_ON_LPT = {"Laser", "LPT3:", "Orvane Type1"};

// clang-format off
const std::vector<check_case> check_cases = {
    {"only printer on LPT1, no ExecuteFile: install without a word",
     {NEW_ON_LPT1}, NEW_PRINTER, "", {}, {}, {}, {}, 1, WIN},
    {"ExecuteFile names a folder without the program: install without a word",
     {NEW_ON_LPT1}, NEW_PRINTER, PM_PROGRAM, {}, {PM_FOLDER}, {}, {}, 1, PM_FOLDER},
    {"print manager present, Yes overwrites",
     {NEW_ON_LPT1}, NEW_PRINTER, PM_PROGRAM, {PM_PROGRAM}, {}, {IDYES}, {3}, 1, PM_FOLDER},
    {"print manager present, No keeps it",
     {NEW_ON_LPT1}, NEW_PRINTER, PM_PROGRAM, {PM_PROGRAM}, {}, {IDNO}, {3}, 0, PM_FOLDER},
    {"print manager present, a box that cannot be shown keeps it",
     {NEW_ON_LPT1}, NEW_PRINTER, PM_PROGRAM, {PM_PROGRAM}, {}, {0}, {3}, 0, PM_FOLDER},
    {"network port first, Yes installs anyway (no probe)",
     {NEW_ON_NET, OFFICE_ON_LPT}, NEW_PRINTER, PM_PROGRAM, {PM_PROGRAM}, {}, {IDYES}, {2}, 1, WIN},
    {"network port first, No",
     {NEW_ON_NET}, NEW_PRINTER, "", {}, {}, {IDNO}, {2}, 0, WIN},
    {"network port first, a box that cannot be shown counts as Yes",
     {NEW_ON_NET}, NEW_PRINTER, "", {}, {}, {0}, {2}, 1, WIN},
    {"network port after an LPT printer of the driver: not found, but the probe ran",
     {OFFICE_ON_LPT, NEW_ON_NET}, NEW_PRINTER, PM_PROGRAM, {PM_PROGRAM}, {}, {IDOK}, {8}, 0,
     PM_FOLDER},
    {"network port after an LPT printer of another driver: the question",
     {LASER_ON_LPT, NEW_ON_NET}, NEW_PRINTER, "", {}, {}, {IDYES}, {2}, 1, WIN},
    {"network port after another network printer of the driver: the question",
     {{"Orvane Branch", "\\\\branch\\fax", DRIVER}, NEW_ON_NET}, NEW_PRINTER, "", {}, {},
     {IDYES}, {2}, 1, WIN},
    {"network port before an LPT printer of the driver: the question",
     {NEW_ON_NET, OFFICE_ON_LPT}, NEW_PRINTER, "", {}, {}, {IDNO}, {2}, 0, WIN},
    {"FILE: is not an LPT port",
     {{NEW_PRINTER, "FILE:", DRIVER}}, NEW_PRINTER, "", {}, {}, {IDNO}, {2}, 0, WIN},
    {"a port name shorter than LPT is not an LPT port",
     {{NEW_PRINTER, "LP", DRIVER}}, NEW_PRINTER, "", {}, {}, {IDYES}, {2}, 1, WIN},
    {"lpt1: in small letters is an LPT port",
     {{NEW_PRINTER, "lpt1:", DRIVER}}, NEW_PRINTER, "", {}, {}, {}, {}, 1, WIN},
    {"printer name passed in another letter case",
     {NEW_ON_LPT1}, "ORVANE fax", "", {}, {}, {}, {}, 1, WIN},
    {"driver name in another letter case",
     {{NEW_PRINTER, "LPT1:", "ORVANE TYPE2"}}, NEW_PRINTER, "", {}, {}, {}, {}, 1, WIN},
    {"the new printer uses another driver",
     {{NEW_PRINTER, "LPT1:", "Orvane Type1"}}, NEW_PRINTER, "", {}, {}, {IDOK}, {8}, 0, WIN},
    {"a longer driver name is another driver",
     {{NEW_PRINTER, "LPT1:", "Orvane Type2 Plus"}}, NEW_PRINTER, "", {}, {}, {IDOK}, {8}, 0, WIN},
    {"no printers at all",
     {}, NEW_PRINTER, "", {}, {}, {IDOK}, {8}, 0, WIN},
    {"the printer is not in the list",
     {OFFICE_ON_LPT}, NEW_PRINTER, "", {}, {}, {IDOK}, {8}, 0, WIN},
    {"several LPT printers of the driver and of others",
     {OFFICE_ON_LPT, LASER_ON_LPT, NEW_ON_LPT1}, NEW_PRINTER, PM_PROGRAM, {PM_PROGRAM}, {},
     {IDYES}, {3}, 1, PM_FOLDER},
    {"ExecuteFile in small letters names the same folder",
     {NEW_ON_LPT1}, NEW_PRINTER, "c:\\orvane\\kmw48pm.exe", {PM_PROGRAM}, {}, {IDNO}, {3}, 0,
     PM_FOLDER},
    {"ExecuteFile without a folder: the current directory is searched",
     {NEW_ON_LPT1}, NEW_PRINTER, "KMW48PM.EXE", {"C:\\WINDOWS\\KMW48PM.EXE"}, {}, {IDYES}, {3},
     1, WIN},
    /* A value that does not name the program has no folder part: absent, and the current
     * directory stays where it was, even though it holds a KMW48PM.EXE. */
    {"ExecuteFile without the program's name: absent, current directory kept",
     {NEW_ON_LPT1}, NEW_PRINTER, "C:\\ORVANE\\PM.EXE", {"C:\\WINDOWS\\KMW48PM.EXE", PM_PROGRAM},
     {}, {}, {}, 1, WIN},
    /* The upper-casing leaves the second byte of a double-byte character alone. */
    {"double-byte folder name with a small letter as its second byte",
     {NEW_ON_LPT1}, NEW_PRINTER, KATAKANA_A_FOLDER + "\\kmw48pm.exe",
     {KATAKANA_A_FOLDER + "\\KMW48PM.EXE"}, {KATAKANA_UPPER_FOLDER}, {IDYES}, {3}, 1,
     KATAKANA_A_FOLDER},
    {"the program's name is not sought inside a double-byte character",
     {NEW_ON_LPT1}, NEW_PRINTER, KATAKANA_K_FOLDER + "\\KMW48PM.EXE",
     {KATAKANA_K_FOLDER + "\\KMW48PM.EXE"}, {}, {IDNO}, {3}, 0, KATAKANA_K_FOLDER},
};
// clang-format on

class PrinterCheck : public VendorSetup {};

TEST_F(PrinterCheck, DecisionTable) {
    for_each_row(check_cases, [&](const check_case &c) {
        SCOPED_TRACE(c.what);
        for (const printer_row &p : c.printers)
            winsim_add_printer(p.name, p.port, p.driver, 0);
        if (!c.execute_file.empty())
            set_execute_file(c.execute_file);
        for (const std::string &program : c.programs)
            winsim_write_file(program, "MZ print manager");
        for (const std::string &folder : c.folders)
            winsim_make_dir(folder);
        winsim_script_boxes(c.answers);

        load_library_strings();
        EXPECT_EQ(check_printer(c.printer_name.c_str()), c.result);

        const std::vector<winsim_box> &boxes = winsim_boxes();
        ASSERT_EQ(boxes.size(), c.boxes.size());
        for (size_t i = 0; i < boxes.size(); i++) {
            EXPECT_EQ(boxes[i].text, library_text(c.boxes[i])) << "box " << i;
            EXPECT_EQ(boxes[i].caption, library_text(6)) << "box " << i;
            EXPECT_EQ(boxes[i].style, c.boxes[i] == 8 ? 0u : 4u) << "box " << i;
            EXPECT_EQ(boxes[i].owner, nullptr) << "box " << i;
        }
        EXPECT_EQ(winsim_current_directory(), c.directory);
        EXPECT_EQ(winsim_unused_answers(), 0);
        expect_all_released();
        EXPECT_TRUE(winsim_process_starts().empty());
    });
}

/* Spooler and memory failures look like a printer that is not there. */
TEST_F(PrinterCheck, FailuresShowTheNotFoundMessage) {
    const struct {
        const char *api;
        int nth;
    } failures[] = {
        {"EnumPrintersA", 1}, /* the size query */
        {"EnumPrintersA", 2}, /* the enumeration */
        {"GlobalAlloc", 1},
        {"GlobalLock", 1},
    };
    for_each_row(failures, [&](const auto &f) {
        SCOPED_TRACE(std::string(f.api) + " #" + std::to_string(f.nth));
        winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
        winsim_fail_call(f.api, f.nth);
        winsim_script_boxes({IDOK});
        load_library_strings();
        EXPECT_EQ(check_printer(NEW_PRINTER), 0);
        ASSERT_EQ(winsim_boxes().size(), 1u);
        EXPECT_EQ(winsim_boxes()[0].text, library_text(8));
    });
}

TEST_F(PrinterCheck, AFolderNamedLikeTheProgramCountsAsPresent) {
    winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
    set_execute_file(PM_PROGRAM);
    winsim_make_dir(PM_PROGRAM);
    winsim_script_boxes({IDNO});
    load_library_strings();
    EXPECT_EQ(check_printer(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_boxes().size(), 1u);
    EXPECT_EQ(winsim_boxes()[0].text, library_text(3));
}

/* The probe's own answer, and the directory it leaves, for the values of ExecuteFile. */
TEST_F(PrinterCheck, ProbeReadsExecuteFileFromTheWindowsDirectory) {
    winsim_write_file(PM_PROGRAM, "MZ");
    struct {
        const char *ini_file; /* where KMW48.INI is */
        int present;
    } rows[] = {
        {"C:\\WINDOWS\\KMW48.INI", 1},
        {"C:\\ORVANE\\KMW48.INI", 0}, /* only the one in the Windows directory counts */
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.ini_file);
        DeleteFileA(product::text(product::PRODUCT_INI).c_str());
        SetCurrentDirectoryA("C:\\WINDOWS");
        winsim_write_file(r.ini_file, "[General]\r\nExecuteFile=C:\\ORVANE\\KMW48PM.EXE\r\n");
        load_library_strings();
        EXPECT_EQ(probe_print_manager(), r.present);
        DeleteFileA(r.ini_file);
    }
}

/* Without the name of the product INI file or of the program the probe cannot tell whether the
 * print manager is there: the user is asked before it would be overwritten, and No installs
 * nothing. */
TEST_F(PrinterCheck, NamesThatCannotBeLoadedLeaveTheDecisionToTheUser) {
    const struct {
        const char *what;
        int nth; /* of the library's LoadStringA calls: row 5 is the 5th, row 7 the 7th */
    } rows[] = {{"the program's name", 5}, {"the product INI file's name", 7}};
    for_each_row(rows, [&](const auto &r) {
        SCOPED_TRACE(r.what);
        winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
        set_execute_file(PM_PROGRAM);
        winsim_write_file(PM_PROGRAM, "MZ");
        winsim_fail_call("LoadStringA", r.nth);
        winsim_script_boxes({IDNO});
        load_library_strings();
        EXPECT_EQ(check_printer(NEW_PRINTER), 0);
        ASSERT_EQ(winsim_boxes().size(), 1u);
        EXPECT_EQ(winsim_boxes()[0].text, library_text(3));
    });
}

TEST_F(PrinterCheck, LongExecuteFileIsCutAtItsBufferAndThenLacksTheProgram) {
    /* 255 bytes survive the read: the program's name at the end is cut off. */
    std::string folder = "C:\\" + std::string(245, 'D');
    winsim_write_file(folder + "\\KMW48PM.EXE", "MZ");
    set_execute_file(folder + "\\KMW48PM.EXE");
    load_library_strings();
    EXPECT_EQ(probe_print_manager(), 0);
    EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS");
}

} // namespace
