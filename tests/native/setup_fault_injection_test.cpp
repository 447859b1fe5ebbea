/* Fault injection for the vendor-setup library: the host's call of OrvaneSetup runs once to
 * learn every platform call it makes, then once more per call that can fail, on a fresh
 * machine and a freshly loaded library each time (a process of its own), with that one call
 * failing as it fails on Windows.  After each run: the export returned its result (1 only when
 * the setup program could not be started); no file, folder, registry key or value, printer or
 * driver changed; nothing but the setup program was started, and nothing where the user
 * declined; every box and dialog belongs to the library; no handle or memory block is left
 * open. */
#include "fault_sweep.h"
#include "vendor_setup_machine.h"

#include <stdio.h>

namespace {

const char *const SETUP_PROGRAM = product::SETUP_PROGRAM;
const char WRONG_PROGRAM[] = "C:\\Setup\\SETUP.EXE";

struct setup_scenario {
    const char *what;
    const char *port;                         /* of the printer just installed */
    bool print_manager_installed;             /* the product INI file names it, and it is there */
    bool recent_location;                     /* InstallLocationsMRU names C:\Setup\ */
    std::vector<winsim_dialog_answer> dialog; /* what the user picks when the dialog comes */
    int overwrite_answer;                     /* to the question whether to overwrite */
};

const setup_scenario scenarios[] = {
    {"LPT printer, print manager there (overwrite: Yes), most recent install location",
     "LPT1:",
     true,
     true,
     {winsim_choose(SETUP_PROGRAM)},
     IDYES},
    {"LPT printer, no recent location: the dialog, a wrong file first",
     "LPT1:",
     false,
     false,
     {winsim_choose(WRONG_PROGRAM), winsim_choose(SETUP_PROGRAM)},
     IDYES},
    {"network port (install anyway: Yes), most recent install location",
     NET_PORT,
     false,
     true,
     {winsim_choose(SETUP_PROGRAM)},
     IDYES},
    {"LPT printer, print manager there (overwrite: No): nothing may start",
     "LPT1:",
     true,
     true,
     {winsim_choose(SETUP_PROGRAM)},
     IDNO},
};

/* The machine as the printer-installation host leaves it, and the library loaded. */
void prepare(const setup_scenario &s) {
    winsim_reset();
    product::install_for_library(s.print_manager_installed, s.recent_location);
    winsim_write_file(WRONG_PROGRAM, "MZ other setup");
    winsim_add_printer("Laser", "LPT2:", "HP LaserJet 4L", 0);
    winsim_add_printer(NEW_PRINTER, s.port, DRIVER, 0);
}

/* The host loads the library and calls its export; every question is answered Yes. */
int call_setup(const setup_scenario &s) {
    std::string host = product::text(product::LIBRARY_HOST);
    winsim_start_program(host, nullptr, host);
    HINSTANCE library = winsim_load_library(product::text(product::SETUP_LIBRARY), kmw48i2_strings);
    memset(chosen_file, 0, sizeof chosen_file);
    DllMain(library, DLL_PROCESS_ATTACH, nullptr);
    std::string network = library_text(2), overwrite = library_text(3);
    int overwrite_answer = s.overwrite_answer;
    winsim_answer_boxes([network, overwrite, overwrite_answer](const winsim_box &box) {
        if (box.text == overwrite)
            return overwrite_answer;
        return box.text == network ? IDYES : IDOK;
    });
    winsim_script_dialogs(s.dialog);
    return OrvaneSetup(HOST_WINDOW, 0, NEW_PRINTER, 0);
}

/* The checks after a run: `program` is the command line the clean run started, "" when it
 * started nothing.  When the clean run started nothing, the setup program may start only when
 * the platform reported the print manager not there: the product INI file read as without it
 * (a read that fails gives the default), or its folder or the program not found. */
void expect_nothing_changed(const machine_state &before, std::string program, int result,
                            const std::string &failed_api) {
    if (program.empty() && (failed_api == "GetPrivateProfileStringA" ||
                            failed_api == "SetCurrentDirectoryA" || failed_api == "FindFirstFileA"))
        program = winsim_short_path(SETUP_PROGRAM);
    expect_machine(machine_state_now(), before);

    bool start_failed = false;
    EXPECT_LE(winsim_process_starts().size(), 1u);
    for (const winsim_process_start &start : winsim_process_starts()) {
        /* The setup program, or an empty command when its short path could not be had. */
        EXPECT_TRUE(start.command_line == program || start.command_line == "")
            << start.command_line;
        EXPECT_FALSE(start.waited);
        if (!start.started)
            start_failed = true;
    }
    EXPECT_EQ(result, start_failed ? 1 : 0);

    for (const winsim_box &box : winsim_boxes()) {
        if (box.owner == HOST_WINDOW) {
            EXPECT_EQ(box.text, CANCEL_TEXT);
            EXPECT_EQ(box.caption, "Setup");
        } else {
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_TRUE(box.caption == library_text(6) || box.caption == "") << box.caption;
        }
    }
    for (const winsim_dialog_opening &dialog : winsim_dialog_openings()) {
        EXPECT_EQ(dialog.owner, HOST_WINDOW);
        EXPECT_EQ(dialog.title, "PMSETUP.EXE");
    }
    expect_all_released();
}

class SetupFaultInjection : public Machine {
  protected:
    void TearDown() override {
        winsim_answer_boxes(nullptr);
        Machine::TearDown();
    }
};

int last_result;

TEST_F(SetupFaultInjection, NothingChangesWhateverCallFails) {
    sweep_counts total;
    for_each_row(scenarios, [&](const setup_scenario &s) {
        SCOPED_TRACE(s.what);
        prepare(s);
        const machine_state before = machine_state_now();
        sweep_runs runs;
        runs.prepare = [&s] { prepare(s); };
        runs.run = [&s] { last_result = call_setup(s); };
        /* The clean run: the program it starts (its command line), checked as any run. */
        runs.facts = [&] {
            EXPECT_EQ(last_result, 0);
            EXPECT_EQ(winsim_process_starts().size(), s.overwrite_answer == IDNO ? 0u : 1u);
            std::string program = winsim_process_starts().size() == 1
                                      ? winsim_process_starts()[0].command_line
                                      : std::string();
            EXPECT_EQ(program, s.overwrite_answer == IDNO ? "" : winsim_short_path(SETUP_PROGRAM));
            expect_nothing_changed(before, program, last_result, "");
            return program;
        };
        runs.check = [&](const std::string &program, const std::string &api) {
            expect_nothing_changed(before, program, last_result, api);
            return std::string();
        };
        sweep_counts counts = sweep_every_failure(s.what, runs);
        total.add(counts);
    });
    printf("[ fault injection ] OrvaneSetup: %d calls, %d runs, %d with a fault\n", total.calls,
           total.runs, total.failed);
    RecordProperty("runs", total.runs);
}

} // namespace
