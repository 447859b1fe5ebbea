/* Fault injection: nothing lost.  The whole removal runs once on a fully installed machine to
 * learn every platform call it makes, then once more per call, on a freshly installed machine,
 * with that one call failing as it fails on Windows.  Every run is a process of its own, as the
 * uninstaller always is.  After each run: the uninstaller ended
 * with an exit code; every file, folder, registry key and value, printer, driver and group is
 * either as it was or as the clean run left it (a file never cut short or half written); no
 * temporary file is left; no handle, memory block or DDE object is left open.
 *
 * Stopped dead: the same machines, the removal stopped dead (as a kill or a power cut stops
 * it) at each of its stop points in turn.  Then system.ini, wininit.ini and win.ini are each
 * as before, as after the clean run, or restorable (kept aside whole for the next run), and a
 * backup SYSTEM.KMW is the original system.ini; and a second run on that machine ends it as
 * one clean run does. */
#include "fault_sweep.h"
#include "uninstaller_machine.h"

#include <stdio.h>

#include <algorithm>

namespace {

using product::text;

struct fault_scenario {
    const char *what;
    product::variant machine;
};

const fault_scenario scenarios[] = {
    {"typical installation: the device goes", {}},
    {"shared device and sibling printer, print manager and group left, restart accepted",
     {.device_count = 3,
      .removal_deletes_files = false,
      .sibling_printer = true,
      .group_has_items = true,
      .restart = true}},
    {"no wininit.ini yet", {.wininit = false}},
    {"the removal command does not finish: nothing may change",
     {.removal_deletes_files = false, .removal_completes = false}},
};

const std::string WININIT_INI = std::string(product::WINDIR) + "\\WININIT.INI";
const std::string WIN_INI = std::string(product::WINDIR) + "\\WIN.INI";
const std::string SYSTEM_INI = std::string(product::WINDIR) + "\\SYSTEM.INI";
const std::string SYSTEM_INI_BACKUP = std::string(product::WINDIR) + "\\SYSTEM.KMW";

struct run_result {
    int exit_code;
    machine_state state;
};

/* The boxes are answered by what they ask, whatever comes in between. */
void answer_boxes(int restart_answer) {
    std::string confirm = uninstaller_text(IDS_CONFIRM), restart = uninstaller_text(IDS_RESTART);
    winsim_answer_boxes([confirm, restart, restart_answer](const winsim_box &box) {
        if (box.text == confirm)
            return IDYES;
        if (box.text == restart)
            return restart_answer;
        return IDOK;
    });
}

/* A run's result through the pipe from its process. */
std::string pack_result(const run_result &r) {
    std::string out;
    pack_text(std::to_string(r.exit_code), &out);
    std::vector<std::string> files;
    for (const auto &f : r.state.files) {
        files.push_back(f.first);
        files.push_back(f.second);
    }
    pack_texts(files, &out);
    pack_texts(std::vector<std::string>(r.state.folders.begin(), r.state.folders.end()), &out);
    for (const auto *list :
         {&r.state.registry, &r.state.printers, &r.state.drivers, &r.state.groups})
        pack_texts(*list, &out);
    return out;
}

/* The results packed one after another: the clean run's, then for the stops the same machine
 * after Windows has started again. */
run_result unpack_result(const std::string &in, size_t *at) {
    run_result r;
    r.exit_code = std::stoi("0" + unpack_text(in, at));
    std::vector<std::string> files = unpack_texts(in, at);
    for (size_t i = 0; i + 1 < files.size(); i += 2)
        r.state.files[files[i]] = files[i + 1];
    for (const std::string &f : unpack_texts(in, at))
        r.state.folders.insert(f);
    for (auto *list : {&r.state.registry, &r.state.printers, &r.state.drivers, &r.state.groups})
        *list = unpack_texts(in, at);
    return r;
}

run_result unpack_result(const std::string &in, int nth = 0) {
    size_t at = 0;
    run_result r = unpack_result(in, &at);
    while (nth-- > 0)
        r = unpack_result(in, &at);
    return r;
}

/* A registry line's item (a key, or a value of a key) and its content. */
std::map<std::string, std::string> registry_items(const std::vector<std::string> &lines) {
    std::map<std::string, std::string> items;
    for (const std::string &line : lines) {
        size_t type = line.compare(0, 6, "value ") == 0 ? line.rfind("] type ") : std::string::npos;
        if (type == std::string::npos)
            items[line] = "";
        else
            items[line.substr(0, type + 1)] = line.substr(type + 2);
    }
    return items;
}

std::map<std::string, std::string> as_items(const std::vector<std::string> &names) {
    std::map<std::string, std::string> items;
    for (const std::string &n : names)
        items[n] = "";
    return items;
}

std::map<std::string, std::string> as_items(const std::set<std::string> &names) {
    return as_items(std::vector<std::string>(names.begin(), names.end()));
}

const std::string ABSENT = "(absent)";

std::string item_in(const std::map<std::string, std::string> &items, const std::string &name) {
    auto it = items.find(name);
    return it == items.end() ? ABSENT : it->second;
}

/* Every item is as it was or as the clean run left it, or one of `others`. */
void expect_each_item(const char *kind, const std::map<std::string, std::string> &before,
                      const std::map<std::string, std::string> &clean,
                      const std::map<std::string, std::string> &run,
                      const std::map<std::string, std::vector<std::string>> &others = {}) {
    std::set<std::string> names;
    for (const auto *items : {&before, &clean, &run})
        for (const auto &i : *items)
            names.insert(i.first);
    for (const std::string &name : names) {
        std::string now = item_in(run, name);
        if (now == item_in(before, name) || now == item_in(clean, name))
            continue;
        auto other = others.find(name);
        if (other != others.end() &&
            std::find(other->second.begin(), other->second.end(), now) != other->second.end())
            continue;
        ADD_FAILURE() << kind << " " << name
                      << " is neither as it was nor as the clean run left it:\n"
                      << now;
    }
}

bool among(const std::string &api, std::initializer_list<const char *> apis) {
    for (const char *a : apis)
        if (api == a)
            return true;
    return false;
}

/* What a file may also hold when the failed call is one that the file's content depends on:
 * - wininit.ini without an entry whose file could not be named (its short path, the
 *   program's own path, or the system directory could not be had: the file counts as
 *   missing);
 * - wininit.ini without the setup library's entry (and the library kept), when the printers
 *   could not be examined for one of a sibling driver (the spooler or the memory failed, or a
 *   sibling driver's name could not be loaded);
 * - win.ini with its load line upper-cased but whole, when the print manager's path could
 *   not be read (an empty execute file, which the start-up entry removal matches at the
 *   start of the list). */
std::map<std::string, std::vector<std::string>> other_contents(const fault_scenario &s,
                                                               const std::string &api) {
    std::map<std::string, std::vector<std::string>> others;
    std::vector<std::string> entries = product::deletion_entries(!s.machine.sibling_printer);
    if (api == "GetShortPathNameA") {
        for (size_t i = 0; i < entries.size(); i++) {
            std::vector<std::string> fewer = entries;
            fewer.erase(fewer.begin() + i);
            others[WININIT_INI].push_back(product::wininit_with(fewer, s.machine));
        }
    } else if (api == "GetModuleFileNameA") {
        others[WININIT_INI].push_back(
            product::wininit_with({entries.begin() + 1, entries.end()}, s.machine));
    } else if (api == "GetSystemDirectoryA") {
        others[WININIT_INI].push_back(
            product::wininit_with({entries.begin(), entries.begin() + 2}, s.machine));
    }
    if (among(api, {"EnumPrintersA", "GlobalAlloc", "GlobalLock", "LoadStringA"}))
        others[WININIT_INI].push_back(
            product::wininit_with(product::deletion_entries(false), s.machine));
    if (among(api, {"GetPrivateProfileStringA", "LoadStringA"}))
        others[WIN_INI].push_back(product::win_ini_text(upper_ascii(text(product::LOAD))));
    return others;
}

/* A file the rewrite uses for a while: a "uns????.TMP" of the Windows directory, or anything
 * in the uninstaller's own folder (its temporary files, and the copies kept aside, which the
 * next run puts back). */
bool is_rewrite_temporary(const std::string &path) {
    const std::string folder = std::string(product::WINDIR) + "\\";
    if (upper_ascii(path).compare(0, WORK_FOLDER.size() + 1, upper_ascii(WORK_FOLDER) + "\\") == 0)
        return true;
    return path.compare(0, folder.size(), folder) == 0 &&
           product::is_temporary(path.substr(folder.size()), false);
}

std::string file_in(const machine_state &state, const std::string &path) {
    return item_in(by_path(state.files), upper_ascii(path));
}

/* The machine as a whole: a system.ini that still loads the device has its file and count. */
void expect_device_loaded_only_when_there(const machine_state &now) {
    if (file_in(now, SYSTEM_INI) != product::system_ini_text())
        return;
    EXPECT_NE(file_in(now, product::text(product::DEVICE)), ABSENT)
        << "system.ini loads a device whose file is gone";
    EXPECT_TRUE(
        registry_items(now.registry).count(registry_items({shared_count_line(0)}).begin()->first))
        << "system.ini loads a device without its count";
}

/* The checks after one run with `api` failing. */
void expect_nothing_lost(const fault_scenario &s, const machine_state &before,
                         const run_result &clean, const run_result &run, const std::string &api) {
    /* Files: a temporary file may be left only by a deletion that failed. */
    std::map<std::string, std::string> files = run.state.files;
    int temporaries = 0;
    for (auto it = files.begin(); it != files.end();) {
        if (is_rewrite_temporary(it->first) && !clean.state.files.count(it->first)) {
            temporaries++;
            it = files.erase(it);
        } else {
            ++it;
        }
    }
    EXPECT_LE(temporaries, api == "DeleteFileA" ? 1 : 0) << "temporary files left";
    expect_each_item("file", by_path(before.files), by_path(clean.state.files), by_path(files),
                     by_path(other_contents(s, api)));
    expect_device_loaded_only_when_there(run.state);
    /* The uninstaller's folder stays only with what a deletion that failed left in it. */
    std::set<std::string> folders = run.state.folders;
    if (folders.erase(WORK_FOLDER) != 0) {
        EXPECT_TRUE(temporaries > 0 || api == "RemoveDirectoryA")
            << "the uninstaller's folder is left empty";
    }
    expect_each_item("folder", as_items(before.folders), as_items(clean.state.folders),
                     as_items(folders));

    /* The registry, item by item; the driver's key goes whole or not at all. */
    std::map<std::string, std::string> registry = registry_items(run.state.registry);
    expect_each_item("registry", registry_items(before.registry),
                     registry_items(clean.state.registry), registry);
    std::string driver_key = std::string("HKEY_LOCAL_MACHINE\\") + product::DRIVER_KEY;
    std::vector<std::string> driver_lines_before, driver_lines_now;
    for (const std::string &line : before.registry)
        if (registry_line_under(line, driver_key))
            driver_lines_before.push_back(line);
    for (const std::string &line : run.state.registry)
        if (registry_line_under(line, driver_key))
            driver_lines_now.push_back(line);
    EXPECT_TRUE(driver_lines_now.empty() || driver_lines_now == driver_lines_before)
        << "the driver's key is partly deleted";

    expect_each_item("printer", as_items(before.printers), as_items(clean.state.printers),
                     as_items(run.state.printers));
    expect_each_item("driver", as_items(before.drivers), as_items(clean.state.drivers),
                     as_items(run.state.drivers));
    expect_each_item("group", as_items(before.groups), as_items(clean.state.groups),
                     as_items(run.state.groups));

    /* It ended with an exit code: the restart's result, or 0. */
    EXPECT_EQ(run.exit_code, winsim_restarts().empty() ? 0 : 1);
    for (const winsim_restart &r : winsim_restarts())
        EXPECT_EQ(r.flags, (UINT)EWX_REBOOT);
    EXPECT_LE(winsim_restarts().size(), 1u);
    for (const winsim_box &box : winsim_boxes())
        EXPECT_EQ(box.owner, winsim_desktop_window());
    EXPECT_LE(winsim_process_starts().size(), 1u);
    for (const winsim_process_start &start : winsim_process_starts())
        EXPECT_EQ(start.command_line, text(product::REMOVAL_COMMAND) + " -r");

    expect_all_released();
}

int last_exit_code;

/* The runs of a scenario for the sweeps. */
sweep_runs
removal_runs(const fault_scenario &s,
             std::function<std::string(const std::string &, const std::string &)> check) {
    sweep_runs runs;
    runs.prepare = [&s] {
        winsim_reset();
        product::install_product(s.machine);
        answer_boxes(s.machine.restart ? IDYES : IDNO);
    };
    runs.run = [] { last_exit_code = run_uninstaller(); };
    runs.facts = [] {
        expect_all_released();
        std::string facts = pack_result({last_exit_code, machine_state_now()});
        winsim_start_windows();
        return facts + pack_result({last_exit_code, machine_state_now()});
    };
    runs.check = check;
    return runs;
}

class FaultInjection : public Machine {
  protected:
    void TearDown() override {
        winsim_answer_boxes(nullptr);
        Machine::TearDown();
    }
};

TEST_F(FaultInjection, NothingLostWhateverCallFails) {
    sweep_counts total;
    for_each_row(scenarios, [&](const fault_scenario &s) {
        product::install_product(s.machine);
        const machine_state before = machine_state_now();
        sweep_counts counts = sweep_every_failure(
            s.what, removal_runs(s, [&](const std::string &facts, const std::string &api) {
                expect_nothing_lost(s, before, unpack_result(facts),
                                    {last_exit_code, machine_state_now()}, api);
                return std::string();
            }));
        total.add(counts);
    });
    printf("[ fault injection ] uninstaller: %d calls, %d runs, %d with a fault\n", total.calls,
           total.runs, total.failed);
    RecordProperty("runs", total.runs);
}

/* ---- Stopped dead ---------------------------------------------------------------------- */

/* How a boot file is left at the start of Windows after a stop: "as before", "as after the
 * clean run", "between two moves" (missing while its old and its new text lie whole in the
 * work folder), or "" when none of these. */
std::string boot_file_state(const std::string &path, const machine_state &before,
                            const run_result &clean, const machine_state &now) {
    std::string content = file_in(now, path), was = file_in(before, path);
    std::string kept = std::string(WORK_FOLDER) + path.substr(path.rfind('\\'));
    if (content == was)
        return "as before";
    if (content == file_in(clean.state, path))
        return "as after the clean run";
    if (content == ABSENT && file_in(now, kept) == was && file_in(now, kept + ".NEW") != ABSENT)
        return "between two moves";
    return "";
}

/* Windows is about to delete the product INI file: the second run cannot learn the print
 * manager's entry or the group's name then. */
bool settings_go_at_start;

/* The machine as Windows starts from it after a stop: each boot file whole, a backup that is
 * the original system.ini and never lost, and a system.ini that loads the device only while
 * the device's file and its count are there. */
std::string expect_whole_at_start(const machine_state &before, const run_result &clean) {
    const machine_state now = machine_state_now();
    settings_go_at_start =
        file_in(now, WININIT_INI).find("NUL=C:\\WINDOWS\\KMW48.INI") != std::string::npos;
    std::string report;
    for (const std::string &path : {SYSTEM_INI, WININIT_INI, WIN_INI}) {
        std::string state = boot_file_state(path, before, clean, now);
        EXPECT_NE(state, "") << path << " is not whole at the start of Windows:\n"
                             << file_in(now, path);
        report += path + " " + state + "\n";
    }
    std::string backup = file_in(now, SYSTEM_INI_BACKUP);
    EXPECT_TRUE(backup == ABSENT || backup == product::system_ini_text())
        << "SYSTEM.KMW is not the original system.ini:\n"
        << backup;
    if (file_in(before, SYSTEM_INI_BACKUP) != ABSENT) {
        EXPECT_TRUE(backup != ABSENT ||
                    boot_file_state(SYSTEM_INI_BACKUP, before, clean, now) == "between two moves")
            << "the earlier SYSTEM.KMW is lost";
    }
    expect_device_loaded_only_when_there(now);
    return report;
}

/* After the second run and the next start of Windows the machine is as one clean run and a
 * start of Windows leave it, but that wininit.bak holds what the second run scheduled, the
 * print manager's entry (its load line upper-cased, as with no path) and the group may stay
 * when Windows deleted the settings first, a
 * shared count that the first run lowered from above 1 is lowered once more, and the install
 * folder stays, empty, when the first run stopped after the product's removal command had
 * removed InstallPath (the second run cannot know the folder then). */
std::string expect_as_after_one_clean_run(const fault_scenario &s, const run_result &restarted) {
    const machine_state now = machine_state_now();
    std::map<std::string, std::string> files = by_path(now.files),
                                       clean = by_path(restarted.state.files);
    files.erase(upper_ascii(std::string(product::WINDIR) + "\\WININIT.BAK"));
    clean.erase(upper_ascii(std::string(product::WINDIR) + "\\WININIT.BAK"));
    std::map<std::string, std::vector<std::string>> unknown;
    std::vector<std::string> groups = now.groups, clean_groups = restarted.state.groups;
    if (settings_go_at_start) {
        clean_groups.erase(
            std::remove(clean_groups.begin(), clean_groups.end(), product::FOLDER_NAME),
            clean_groups.end());
        for (const std::string &load : {text(product::LOAD), upper_ascii(text(product::LOAD))})
            unknown[upper_ascii(WIN_INI)].push_back(product::win_ini_text(load));
        groups.erase(std::remove(groups.begin(), groups.end(), product::FOLDER_NAME), groups.end());
    }
    expect_each_item("file", clean, clean, files, unknown);
    std::set<std::string> folders = now.folders;
    bool folder_left = !restarted.state.folders.count(product::INSTALL_FOLDER) &&
                       folders.erase(product::INSTALL_FOLDER) != 0;
    expect_each_item("folder", as_items(restarted.state.folders), as_items(restarted.state.folders),
                     as_items(folders));
    std::map<std::string, std::vector<std::string>> lowered;
    if (s.machine.device_count > 1)
        for (const auto &item : registry_items({shared_count_line(s.machine.device_count - 2)}))
            lowered[item.first].push_back(item.second);
    expect_each_item("registry", registry_items(restarted.state.registry),
                     registry_items(restarted.state.registry), registry_items(now.registry),
                     lowered);
    EXPECT_EQ(now.printers, restarted.state.printers);
    EXPECT_EQ(now.drivers, restarted.state.drivers);
    EXPECT_EQ(groups, clean_groups);
    EXPECT_TRUE(temporary_files().empty());
    expect_all_released();
    return std::string(folder_left ? "install folder left\n" : "") +
           (settings_go_at_start ? "settings gone at the start of Windows\n" : "");
}

/* Killed, or cut off by a power cut, at each stop point; Windows starts again; then a second
 * run, and Windows starts once more. */
TEST_F(FaultInjection, StoppedDeadAtAnyPointASecondRunFinishes) {
    sweep_counts total;
    std::map<std::string, int> states;
    for (bool power_cut : {false, true}) {
        for_each_row(scenarios, [&](const fault_scenario &s) {
            SCOPED_TRACE(std::string(s.what) + (power_cut ? ", power cut" : ", killed"));
            product::install_product(s.machine);
            const machine_state before = machine_state_now();
            sweep_counts counts = sweep_every_stop(
                s.what, power_cut,
                removal_runs(s,
                             [&s](const std::string &facts, const std::string &) {
                                 return expect_as_after_one_clean_run(s, unpack_result(facts, 1));
                             }),
                [&](const std::string &facts) {
                    return expect_whole_at_start(before, unpack_result(facts));
                },
                &states);
            total.add(counts);
        });
    }
    for (const auto &st : states)
        printf("[ stopped dead ]   %s: %d\n", st.first.c_str(), st.second);
    printf("[ stopped dead ] uninstaller: %d stops, %d with a fault\n", total.runs, total.failed);
    RecordProperty("stops", total.runs);
}

} // namespace
