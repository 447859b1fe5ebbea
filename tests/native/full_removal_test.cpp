/* The whole removal on a fully installed machine: the uninstaller started as Windows starts it,
 * with the product's own removal command, and every effect on the machine checked, down to
 * the last byte of every file that must stay as it was. */
#include "installed_machine.h"

namespace {

struct removal_case {
    const char *what;
    installation setup;
};

const removal_case removal_cases[] = {
    {"typical: the device used by the product alone, its files gone, its group empty",
     TYPICAL_INSTALLATION},
    {"a printer of a sibling driver: the setup library is kept",
     {1, false, true, true, true, false, IDNO}},
    {"device count 3: lowered to 2, the device stays", {3, false, true, true, false, false, IDNO}},
    {"the removal command lowered the count itself (3 to 2): left at 2",
     {3, true, true, true, false, false, IDNO}},
    {"the removal command lowered the count itself (1 to 0): the device stays",
     {1, true, true, true, false, false, IDNO}},
    {"the group still holds items: it stays", {1, false, true, true, false, true, IDNO}},
    {"the print manager is left in the install folder: the folder stays",
     {1, false, false, true, false, false, IDNO}},
    {"the restart is accepted", {1, false, true, true, false, false, IDYES}},
};

class FullRemoval : public Machine {};

/* The machine a removal must leave behind, from the machine before it. */
machine_state expected_after(const machine_state &before, const installation &setup) {
    machine_state after = before;
    bool device_removed = !setup.child_lowers_count && setup.device_count == 1;

    after.files[PRODUCT_INI] = REMOVED_PRODUCT_INI;
    after.files[WININIT_INI] = wininit_with(deletion_entries(!setup.sibling_printer));
    after.files[WIN_INI] = win_ini_with_load(REMOVED_LOAD);
    if (device_removed) {
        after.files.erase(DEVICE);
        after.files[SYSTEM_INI] = CLEANED_SYSTEM_INI;
        after.files[SYSTEM_INI_BACKUP] = INSTALLED_SYSTEM_INI;
    }
    if (!setup.sibling_printer)
        after.files.erase("C:\\WINDOWS\\SYSTEM\\KMW48I2.DLL");
    if (setup.child_removes_files) {
        after.files.erase(PRINT_MANAGER);
        after.files.erase(README);
        after.folders.erase(INSTALL_FOLDER);
    }

    after.registry.clear();
    for (const std::string &line : before.registry) {
        if (registry_line_under(line, std::string("HKEY_LOCAL_MACHINE\\") + DRIVER_KEY))
            continue; /* the driver's key with its subkeys and values */
        if (line == shared_count_line(setup.device_count)) {
            if (!device_removed)
                after.registry.push_back(shared_count_line(setup.device_count - 1));
            continue;
        }
        after.registry.push_back(line);
    }

    after.printers.clear();
    for (const std::string &p : before.printers)
        if (p != "Orvane Fax") /* the idle printer of the driver */
            after.printers.push_back(p);
    /* The driver stays: the busy printer still uses it. */
    after.groups.clear();
    for (const std::string &g : before.groups)
        if (g != PRODUCT_GROUP || setup.group_has_items)
            after.groups.push_back(g);
    return after;
}

std::vector<std::string> expected_dde_log(bool group_deleted) {
    std::vector<std::string> log = {
        "DdeInitializeA(callback, 0x10) = 0",
        "DdeCreateStringHandleA(\"PROGMAN\", 1004) = hsz1",
        "DdeConnect(hsz1, hsz1, default context) = conv1",
        "DdeCreateStringHandleA(\"Orvane Type2\", 1004) = hsz2",
        "DdeClientTransaction(request, conv1, hsz2, CF_TEXT, 1000) = data1",
        "DdeGetData(data1, 256, 0) = ",
    };
    if (group_deleted)
        log.push_back("DdeClientTransaction(execute \"[DeleteGroup(Orvane Type2)]\\0\", conv1, 0, "
                      "CF_TEXT, 1000) = 1");
    log.insert(log.end(), {"DdeDisconnect(conv1) = 1", "DdeFreeStringHandle(hsz1) = 1",
                           "DdeUninitialize = 1"});
    return log;
}

TEST_F(FullRemoval, EveryEffectAndEveryUntouchedByte) {
    for (const removal_case &c : removal_cases) {
        SCOPED_TRACE(c.what);
        install_product(c.setup);
        machine_state before = machine_state_now();
        winsim_script_boxes({IDYES, c.setup.restart_answer});

        int exit_code = run_installed_uninstaller();

        expect_machine(machine_state_now(), expected_after(before, c.setup));

        /* The questions, in order, as the uninstaller asks them. */
        const std::vector<winsim_box> &boxes = winsim_boxes();
        ASSERT_EQ(boxes.size(), 2u);
        const unsigned texts[] = {IDS_CONFIRM, IDS_RESTART};
        const UINT styles[] = {0x34, 0x24};
        for (size_t i = 0; i < 2; i++) {
            EXPECT_EQ(boxes[i].text, uninstaller_text(texts[i])) << "box " << i;
            EXPECT_EQ(boxes[i].caption, uninstaller_text(IDS_CAPTION)) << "box " << i;
            EXPECT_EQ(boxes[i].style, styles[i]) << "box " << i;
            EXPECT_EQ(boxes[i].owner, winsim_desktop_window()) << "box " << i;
        }
        EXPECT_EQ(winsim_unused_answers(), 0);

        /* The product's removal command, started and waited for. */
        ASSERT_EQ(winsim_process_starts().size(), 1u);
        const winsim_process_start &start = winsim_process_starts()[0];
        EXPECT_EQ(start.command_line, REMOVAL_COMMAND);
        EXPECT_EQ(start.image, CHILD_PATH);
        EXPECT_FALSE(start.had_application_name);
        EXPECT_FALSE(start.inherit_handles);
        EXPECT_EQ(start.creation_flags, 0u);
        EXPECT_TRUE(start.had_environment);
        EXPECT_FALSE(start.had_current_directory);
        EXPECT_EQ(start.startup_size, (DWORD)sizeof(STARTUPINFOA)) << "the uninstaller's own";
        EXPECT_TRUE(start.started);
        EXPECT_TRUE(start.waited);

        /* The spooler: the idle printer deleted, then the driver asked for (still in use). */
        const std::vector<winsim_spooler_request> &requests = winsim_spooler_requests();
        ASSERT_EQ(requests.size(), 4u);
        const char *const apis[] = {"OpenPrinterA", "DeletePrinter", "ClosePrinter",
                                    "DeletePrinterDriverA"};
        const char *const names[] = {"Orvane Fax", "Orvane Fax", "Orvane Fax", "Orvane Type2"};
        const BOOL results[] = {TRUE, TRUE, TRUE, FALSE};
        for (size_t i = 0; i < 4; i++) {
            EXPECT_EQ(requests[i].api, apis[i]) << "request " << i;
            EXPECT_EQ(requests[i].name, names[i]) << "request " << i;
            EXPECT_EQ(requests[i].result, results[i]) << "request " << i;
        }

        /* The Program Manager: asked for the group, told to delete it only when empty. */
        bool group_deleted = !c.setup.group_has_items;
        std::vector<std::string> commands;
        if (group_deleted)
            commands.push_back(std::string("[DeleteGroup(Orvane Type2)]") + '\0');
        EXPECT_EQ(winsim_progman_commands(), commands);
        std::vector<std::string> log = expected_dde_log(group_deleted);
        ASSERT_EQ(winsim_dde_log().size(), log.size());
        for (size_t i = 0; i < log.size(); i++)
            EXPECT_EQ(winsim_dde_log()[i].compare(0, log[i].size(), log[i]), 0)
                << winsim_dde_log()[i];

        /* Where the folder step left the current directory. */
        EXPECT_EQ(winsim_current_directory(),
                  c.setup.child_removes_files ? "C:\\WINDOWS\\SYSTEM" : INSTALL_FOLDER);

        /* The restart, and the exit code it gives. */
        if (c.setup.restart_answer == IDNO) {
            EXPECT_EQ(exit_code, 0);
            EXPECT_TRUE(winsim_restarts().empty());
        } else {
            EXPECT_EQ(exit_code, 1);
            ASSERT_EQ(winsim_restarts().size(), 1u);
            EXPECT_EQ(winsim_restarts()[0].flags, (UINT)EWX_REBOOT);
            EXPECT_EQ(winsim_restarts()[0].reserved, 0u);
        }

        EXPECT_TRUE(rewrite_temporary_files().empty());
        EXPECT_EQ(winsim_open_handles(), 0);
        EXPECT_EQ(winsim_global_blocks_in_use(), 0);
        EXPECT_EQ(winsim_dde_open_objects(), 0);
        next_row(c.what);
    }
}

/* When the product's own removal did not finish, nothing at all changes. */
TEST_F(FullRemoval, NothingChangesWhenTheRemovalCommandDidNotFinish) {
    installation setup = TYPICAL_INSTALLATION;
    setup.child_removes_files = false;
    setup.child_completes = false;
    install_product(setup);
    machine_state before = machine_state_now();
    winsim_script_boxes({IDYES});
    EXPECT_EQ(run_installed_uninstaller(), 0);
    expect_machine(machine_state_now(), before);
    EXPECT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_TRUE(winsim_spooler_requests().empty());
    EXPECT_TRUE(winsim_dde_log().empty());
    EXPECT_TRUE(winsim_restarts().empty());
    EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS");
}

} // namespace
