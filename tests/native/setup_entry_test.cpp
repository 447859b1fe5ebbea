/* The library as the host meets it: its string table, its entry routine, and the export that
 * runs the printer check and, on a decision to install, the setup launcher. */
#include "vendor_setup_machine.h"

namespace {

class VendorSetupEntry : public VendorSetup {};

/* Rows that do not exist.  (The rows' texts are the .rc file's own: the native build reads
 * the same table that windres compiles.) */
TEST_F(VendorSetupEntry, RowsOutsideTheTableDoNotExist) {
    char buffer[16];
    EXPECT_EQ(LoadStringA(library, 9, buffer, sizeof buffer), 0) << "no row 9";
    EXPECT_EQ(LoadStringA(library, 0, buffer, sizeof buffer), 0) << "no row 0";
}

/* Each row fits the buffer that the library loads it into, so nothing is cut. */
TEST_F(VendorSetupEntry, LoadedStringsAreWhole) {
    load_library_strings();
    const struct {
        unsigned id;
        const char *buffer;
    } rows[] = {
        {1, setup_file_name}, {2, network_port_question}, {3, already_installed_question},
        {4, driver_name},     {5, print_manager_file},    {6, check_caption},
        {7, ini_file_name},   {8, not_found_message},
    };
    for (const auto &r : rows)
        EXPECT_EQ(std::string(r.buffer), library_text(r.id)) << "row " << r.id;
}

TEST_F(VendorSetupEntry, EntryRoutineRemembersTheModuleOnProcessAttachOnly) {
    const winsim_string_row other_rows[] = {{4, "Other Driver"}, {8, "Other text"}, {0, nullptr}};
    HINSTANCE other = winsim_load_library("C:\\WINDOWS\\SYSTEM\\OTHER.DLL", other_rows);
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH})
        EXPECT_TRUE(DllMain(other, reason, nullptr)) << "reason " << reason;
    EXPECT_EQ(library_instance, library);
    load_library_strings();
    EXPECT_STREQ(driver_name, "Orvane Type2");

    EXPECT_TRUE(DllMain(other, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(library_instance, other);
    load_library_strings();
    EXPECT_STREQ(driver_name, "Other Driver");
}

/* What the export returns and whether the setup program runs, for the check's outcomes and
 * the launcher's. */
TEST_F(VendorSetupEntry, ExportRunsTheLauncherOnlyOnADecisionToInstall) {
    const struct {
        const char *what;
        const char *port;
        std::vector<int> answers;
        bool start_fails;
        int result;
        bool started;
    } rows[] = {
        {"LPT printer, setup program started", "LPT1:", {}, false, 0, true},
        {"LPT printer, setup program cannot start", "LPT1:", {}, true, 1, false},
        {"network port, Yes, setup program cannot start", NET_PORT, {IDYES}, true, 1, false},
        {"network port, No: nothing started", NET_PORT, {IDNO}, false, 0, false},
        {"printer not found: nothing started", nullptr, {IDOK}, false, 0, false},
    };
    for_each_row(rows, [&](const auto &r) {
        SCOPED_TRACE(r.what);
        if (r.port)
            winsim_add_printer(NEW_PRINTER, r.port, DRIVER, 0);
        winsim_reg_set_string(HKEY_CURRENT_USER, "InstallLocationsMRU", "MRUList", "a");
        winsim_reg_set_string(HKEY_CURRENT_USER, "InstallLocationsMRU", "a", "C:\\DISK1\\");
        winsim_write_file("C:\\DISK1\\PMSETUP.EXE", "MZ setup");
        if (r.start_fails)
            winsim_fail_call("CreateProcessA", 1);
        winsim_script_boxes(r.answers);
        EXPECT_EQ(run_setup(NEW_PRINTER), r.result);
        EXPECT_EQ(winsim_unused_answers(), 0);
        EXPECT_EQ(winsim_boxes().size(), r.answers.size());
        size_t attempts = winsim_process_starts().size();
        EXPECT_EQ(attempts, r.started || r.start_fails ? 1u : 0u);
        if (attempts) {
            EXPECT_EQ(winsim_process_starts()[0].started, r.started);
        }
    });
}

/* A second call in the same process shows the same texts as the first. */
TEST_F(VendorSetupEntry, SecondCallShowsTheSameTexts) {
    winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
    winsim_script_dialogs({winsim_cancel(), winsim_cancel()});
    winsim_script_boxes({IDOK, IDOK});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_boxes().size(), 2u);
    const winsim_box &first = winsim_boxes()[0], &second = winsim_boxes()[1];
    EXPECT_FALSE(first.text.empty());
    EXPECT_FALSE(first.caption.empty());
    EXPECT_EQ(second.text, first.text);
    EXPECT_EQ(second.caption, first.caption);
}

/* The print manager's folder, made current by the probe, is where the bare setup file name is
 * looked up when there is no recent install location. */
TEST_F(VendorSetupEntry, ProbedFolderIsWhereTheSetupProgramIsFound) {
    winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
    set_execute_file(PM_PROGRAM);
    winsim_write_file("C:\\ORVANE\\PMSETUP.EXE", "MZ setup");
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_EQ(winsim_process_starts()[0].command_line, "C:\\ORVANE\\PMSETUP.EXE");
    EXPECT_TRUE(winsim_boxes().empty());
    EXPECT_TRUE(winsim_dialog_openings().empty());
}

TEST_F(VendorSetupEntry, OverwriteAcceptedStartsTheSetupProgramBesideThePrintManager) {
    winsim_add_printer(NEW_PRINTER, "LPT1:", DRIVER, 0);
    set_execute_file(PM_PROGRAM);
    winsim_write_file(PM_PROGRAM, "MZ print manager");
    winsim_write_file("C:\\ORVANE\\PMSETUP.EXE", "MZ setup");
    winsim_script_boxes({IDYES});
    EXPECT_EQ(run_setup(NEW_PRINTER), 0);
    ASSERT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_EQ(winsim_process_starts()[0].command_line, "C:\\ORVANE\\PMSETUP.EXE");
}

} // namespace
