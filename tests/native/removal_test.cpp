/* The whole removal on an installed machine: the uninstaller started as Windows starts it,
 * with the product's own removal command, and the whole machine compared afterwards with what
 * the removal must leave, down to the last byte of every file that must stay as it was. */
#include "uninstaller_machine.h"

namespace {

using product::text;

struct removal_case {
    const char *what;
    product::variant machine;
};

const removal_case removal_cases[] = {
    {"typical: the device used by the product alone, its files gone, its group empty", {}},
    {"a printer of a sibling driver: the setup library is kept", {.sibling_printer = true}},
    {"device count 3: lowered to 2, the device stays", {.device_count = 3}},
    {"device count 5: lowered to 4", {.device_count = 5}},
    {"device count 0: nothing is done to it", {.device_count = 0}},
    {"no device count at all: none is made", {.device_counted = false}},
    {"the removal command lowered the count itself (3 to 2): left at 2",
     {.device_count = 3, .removal_sets_count = 2}},
    {"the removal command lowered the count itself (1 to 0): the device stays",
     {.removal_sets_count = 0}},
    {"the removal command deleted the count's value: the device stays", {.removal_sets_count = -2}},
    {"the removal command raised the count (0 to 1): it stays",
     {.device_count = 0, .removal_sets_count = 1}},
    {"the group still holds items: it stays", {.group_has_items = true}},
    {"no Program Manager (another shell): the run goes on", {.program_manager = false}},
    {"the print manager is left in the install folder: the folder stays",
     {.removal_deletes_files = false}},
    {"the removal command deletes the INI file and empties the load line: the steps use the "
     "settings read before it ran",
     {.removal_deletes_ini = true, .removal_clears_load = true}},
    {"no wininit.ini yet: made with the header", {.wininit = false}},
    {"keys with subkeys refused: the driver's key still goes", {.nt_registry = true}},
    {"the restart is accepted", {.restart = true}},
    {"the removal command schedules a file itself, held in Windows 95's profile cache: both "
     "lists stand",
     {.wininit = false, .removal_schedules = "C:\\WINDOWS\\UNINST.LOG"}},
    {"an earlier run's copy of system.ini, changed since: system.ini is not put back",
     {.stale_copy_aside = true}},
    {"the user's files in the work folder stay", {.users_files_in_work_folder = true}},
    {"a file of the work folder's name: it stays, the removal is whole",
     {.work_folder_a_file = true}},
};

/* The machine a removal must leave behind, from the machine before it. */
machine_state expected_after(const machine_state &before, const product::variant &v) {
    machine_state after = before;
    unsigned long count_after =
        v.removal_sets_count >= 0 ? (unsigned long)v.removal_sets_count : v.device_count;
    bool counted_after = v.removal_sets_count == -2  ? false
                         : v.removal_sets_count >= 0 ? true
                                                     : v.device_counted;
    bool lowered =
        counted_after && v.device_counted && count_after == v.device_count && count_after != 0;
    bool device_removed = lowered && count_after == 1;
    const std::string windir = product::WINDIR;

    if (v.removal_deletes_ini)
        after.files.erase(text(product::PRODUCT_INI));
    else
        after.files[text(product::PRODUCT_INI)] = text(product::PRODUCT_INI_AFTER_REMOVAL_COMMAND);
    std::vector<std::string> entries = product::deletion_entries(!v.sibling_printer);
    if (v.removal_deletes_ini)
        entries.erase(entries.begin() + 1);
    after.files[windir + "\\WININIT.INI"] = product::wininit_with(entries, v);
    after.files[windir + "\\WIN.INI"] = product::win_ini_text(product::LOAD_AFTER_REMOVAL);
    if (device_removed) {
        after.files.erase(text(product::DEVICE));
        after.files[windir + "\\SYSTEM.INI"] = product::system_ini_text(true);
        after.files[windir + "\\SYSTEM.KMW"] = product::system_ini_text();
    }
    if (!v.sibling_printer)
        after.files.erase(text(product::SETUP_LIBRARY));
    if (v.stale_copy_aside) {
        after.files.erase(std::string(product::WORK_FOLDER) + "\\SYSTEM.INI");
        after.files.erase(std::string(product::WORK_FOLDER) + "\\SYSTEM.INI.NEW");
        after.folders.erase(product::WORK_FOLDER);
    }
    if (v.removal_deletes_files) {
        for (const product::text_pair &f : product::INSTALL_FOLDER_FILES)
            after.files.erase(product::install_folder_file(f.first));
        after.folders.erase(product::INSTALL_FOLDER);
    }

    after.registry.clear();
    for (const std::string &line : before.registry) {
        if (registry_line_under(line, std::string("HKEY_LOCAL_MACHINE\\") + product::DRIVER_KEY))
            continue; /* the driver's key with its subkeys and values */
        if (line == shared_count_line(v.device_count) && v.device_counted) {
            if (counted_after && !device_removed)
                after.registry.push_back(
                    shared_count_line(lowered ? count_after - 1 : count_after));
            continue;
        }
        after.registry.push_back(line);
    }

    /* The idle printers of the driver go; the busy one stays, and with it the driver. */
    after.printers.clear();
    for (const std::string &p : before.printers) {
        bool idle_of_the_driver = false;
        for (const product::printer_info &info : product::PRINTERS)
            if (p == info.name && info.jobs == 0 && std::string(info.driver) == product::DRIVER)
                idle_of_the_driver = true;
        if (!idle_of_the_driver)
            after.printers.push_back(p);
    }
    after.groups.clear();
    for (const std::string &g : before.groups)
        if (g != product::FOLDER_NAME || v.group_has_items)
            after.groups.push_back(g);
    return after;
}

class Removal : public Machine {};

TEST_F(Removal, EveryEffectAndEveryUntouchedByte) {
    for_each_row(removal_cases, [&](const removal_case &c) {
        SCOPED_TRACE(c.what);
        product::install_product(c.machine);
        machine_state before = machine_state_now();
        winsim_script_boxes({IDYES, c.machine.restart ? IDYES : IDNO});

        int exit_code = run_uninstaller();

        expect_machine(machine_state_now(), expected_after(before, c.machine));

        /* The questions, in order, as the uninstaller asks them. */
        ASSERT_EQ(winsim_boxes().size(), 2u);
        expect_box(0, IDS_CONFIRM, 0x34);
        expect_box(1, IDS_RESTART, 0x24);

        /* The product's removal command, started as the command line names it, and waited for. */
        ASSERT_EQ(winsim_process_starts().size(), 1u);
        const winsim_process_start &start = winsim_process_starts()[0];
        EXPECT_EQ(start.command_line, text(product::REMOVAL_COMMAND) + " -r");
        EXPECT_EQ(start.image, text(product::REMOVAL_COMMAND));
        EXPECT_FALSE(start.had_application_name);
        EXPECT_FALSE(start.inherit_handles);
        EXPECT_EQ(start.creation_flags, 0u);
        EXPECT_TRUE(start.had_environment);
        EXPECT_FALSE(start.had_current_directory);
        EXPECT_EQ(start.startup_size, (DWORD)sizeof(STARTUPINFOA)) << "the uninstaller's own";
        EXPECT_TRUE(start.started);
        EXPECT_TRUE(start.waited);

        /* The group is deleted only when empty (its name holds no comma, bracket or
         * parenthesis: the command names it as it is). */
        std::vector<std::string> commands;
        if (c.machine.program_manager && !c.machine.group_has_items)
            commands.push_back(std::string("[DeleteGroup(") + product::FOLDER_NAME + ")]" + '\0');
        EXPECT_EQ(winsim_progman_commands(), commands);

        /* Where the folder step left the current directory. */
        EXPECT_EQ(winsim_current_directory(),
                  c.machine.removal_deletes_files ? product::SYSDIR : product::INSTALL_FOLDER);

        /* The restart, and the exit code it gives. */
        if (!c.machine.restart) {
            EXPECT_EQ(exit_code, 0);
            EXPECT_TRUE(winsim_restarts().empty());
        } else {
            EXPECT_EQ(exit_code, 1);
            ASSERT_EQ(winsim_restarts().size(), 1u);
            EXPECT_EQ(winsim_restarts()[0].flags, (UINT)EWX_REBOOT);
            EXPECT_EQ(winsim_restarts()[0].reserved, 0u);
        }

        EXPECT_TRUE(temporary_files().empty() || c.machine.users_files_in_work_folder ||
                    c.machine.work_folder_a_file);
    });
}

/* When the product's own removal did not finish, nothing at all changes. */
TEST_F(Removal, NothingChangesWhenTheRemovalCommandDidNotFinish) {
    product::install_product({.removal_deletes_files = false, .removal_completes = false});
    machine_state before = machine_state_now();
    winsim_script_boxes({IDYES});
    EXPECT_EQ(run_uninstaller(), 0);
    expect_machine(machine_state_now(), before);
    EXPECT_EQ(winsim_process_starts().size(), 1u);
    EXPECT_TRUE(winsim_progman_commands().empty());
    EXPECT_TRUE(winsim_restarts().empty());
    EXPECT_EQ(winsim_current_directory(), product::WINDIR);
}

} // namespace
