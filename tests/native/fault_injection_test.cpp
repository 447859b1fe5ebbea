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
#include "child_runs.h"
#include "installed_machine.h"

#include <stdio.h>

#include <algorithm>

namespace {

struct fault_scenario {
    const char *what;
    installation setup;
    bool wininit_exists;
};

const fault_scenario scenarios[] = {
    {"typical installation: the device goes", TYPICAL_INSTALLATION, true},
    {"shared device and sibling printer, print manager and group left, restart accepted",
     {3, false, false, true, true, true, IDYES},
     true},
    {"no wininit.ini yet", TYPICAL_INSTALLATION, false},
    {"the removal command does not finish: nothing may change",
     {1, false, false, false, false, false, IDNO},
     true},
};

void install(const fault_scenario &s) {
    install_product(s.setup);
    if (!s.wininit_exists)
        unlink(winsim_host_path(WININIT_INI).c_str());
}

/* wininit.ini with these deletion entries: after the header of the one there was, or in the
 * one created. */
std::string wininit_holding(const fault_scenario &s, const std::vector<std::string> &entries) {
    if (s.wininit_exists)
        return wininit_with(entries);
    std::string text = "[rename]\r\n";
    for (const std::string &e : entries)
        text += e;
    return text;
}

struct run_result {
    int exit_code;
    machine_state state;
    std::vector<std::string> calls;
};

/* The boxes are answered by what they ask, whatever comes in between. */
void answer_boxes(const installation &setup) {
    std::string confirm = uninstaller_text(IDS_CONFIRM), restart = uninstaller_text(IDS_RESTART);
    int restart_answer = setup.restart_answer;
    winsim_answer_boxes([confirm, restart, restart_answer](const winsim_box &box) {
        if (box.text == confirm)
            return IDYES;
        if (box.text == restart)
            return restart_answer;
        return IDOK;
    });
}

/* One removal on a freshly installed machine; `api` empty: no failure. */
run_result run_removal(const fault_scenario &s, const std::string &api, int nth) {
    winsim_reset();
    install(s);
    answer_boxes(s.setup);
    if (!api.empty())
        winsim_fail_call(api, nth);
    run_result result;
    result.exit_code = run_installed_uninstaller();
    result.state = machine_state_now();
    result.calls = winsim_calls();
    return result;
}

/* A run's result through the pipe from its process. */
std::string pack_result(const run_result &r) {
    std::string out;
    pack_text(std::to_string(r.exit_code), &out);
    pack_texts(r.calls, &out);
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

run_result unpack_result(const std::string &in) {
    run_result r;
    size_t at = 0;
    r.exit_code = std::stoi("0" + unpack_text(in, &at));
    r.calls = unpack_texts(in, &at);
    std::vector<std::string> files = unpack_texts(in, &at);
    for (size_t i = 0; i + 1 < files.size(); i += 2)
        r.state.files[files[i]] = files[i + 1];
    for (const std::string &f : unpack_texts(in, &at))
        r.state.folders.insert(f);
    for (auto *list : {&r.state.registry, &r.state.printers, &r.state.drivers, &r.state.groups})
        *list = unpack_texts(in, &at);
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

/* Items by path, letter case ignored as Windows ignores it: a file the program creates
 * carries the name as the program spells it. */
template <typename T> std::map<std::string, T> by_path(const std::map<std::string, T> &items) {
    std::map<std::string, T> out;
    for (const auto &i : items)
        out[upper_ascii(i.first)] = i.second;
    return out;
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
    std::vector<std::string> entries = deletion_entries(!s.setup.sibling_printer);
    if (api == "GetShortPathNameA") {
        for (size_t i = 0; i < entries.size(); i++) {
            std::vector<std::string> fewer = entries;
            fewer.erase(fewer.begin() + i);
            others[WININIT_INI].push_back(wininit_holding(s, fewer));
        }
    } else if (api == "GetModuleFileNameA") {
        others[WININIT_INI].push_back(wininit_holding(s, {entries.begin() + 1, entries.end()}));
    } else if (api == "GetSystemDirectoryA") {
        others[WININIT_INI].push_back(wininit_holding(s, {entries.begin(), entries.begin() + 2}));
    }
    if (among(api, {"EnumPrintersA", "GlobalAlloc", "GlobalLock", "LoadStringA"}))
        others[WININIT_INI].push_back(wininit_holding(s, deletion_entries(false)));
    if (among(api, {"GetPrivateProfileStringA", "LoadStringA"}))
        others[WIN_INI].push_back(win_ini_with_load(upper_ascii(INSTALLED_LOAD)));
    return others;
}

const std::string WORK_FOLDER = "C:\\WINDOWS\\KMW48RMV.TMP";

/* A file the rewrite uses for a while: a "uns????.TMP" of the Windows directory, or anything
 * in the uninstaller's own folder (its temporary files, and the copies kept aside, which the
 * next run puts back). */
bool is_rewrite_temporary(const std::string &path) {
    const std::string folder = "C:\\WINDOWS\\";
    if (upper_ascii(path).compare(0, WORK_FOLDER.size() + 1, WORK_FOLDER + "\\") == 0)
        return true;
    if (path.compare(0, folder.size(), folder) != 0)
        return false;
    std::string name = path.substr(folder.size());
    return name.size() == 11 && upper_ascii(name.substr(0, 3)) == "UNS" &&
           upper_ascii(name.substr(7)) == ".TMP";
}

/* The checks after one run with `api` #nth failing. */
void expect_nothing_lost(const fault_scenario &s, const machine_state &before,
                         const run_result &clean, const run_result &run, const std::string &api,
                         size_t failed_at) {
    /* The same calls as the clean run up to the one that failed. */
    ASSERT_GT(run.calls.size(), failed_at) << "the failing call was not made";
    EXPECT_TRUE(
        std::equal(clean.calls.begin(), clean.calls.begin() + failed_at + 1, run.calls.begin()));

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
    std::string driver_key = std::string("HKEY_LOCAL_MACHINE\\") + DRIVER_KEY;
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
        EXPECT_EQ(start.command_line, REMOVAL_COMMAND);

    EXPECT_EQ(winsim_open_handles(), 0);
    EXPECT_EQ(winsim_global_blocks_in_use(), 0);
    EXPECT_EQ(winsim_dde_open_objects(), 0);
}

class FaultInjection : public Machine {
  protected:
    void TearDown() override {
        winsim_answer_boxes(nullptr);
        Machine::TearDown();
    }
};

TEST_F(FaultInjection, NothingLostWhateverCallFails) {
    int total_calls = 0, total_runs = 0, failed_runs = 0;
    for (const fault_scenario &s : scenarios) {
        SCOPED_TRACE(s.what);
        winsim_reset();
        install(s);
        const machine_state before = machine_state_now();

        std::string packed;
        ASSERT_TRUE(run_in_child(
            [&s] {
                run_result clean = run_removal(s, "", 0);
                EXPECT_EQ(winsim_open_handles(), 0);
                EXPECT_EQ(winsim_global_blocks_in_use(), 0);
                EXPECT_EQ(winsim_dde_open_objects(), 0);
                return pack_result(clean);
            },
            &packed));
        const run_result clean = unpack_result(packed);
        ASSERT_FALSE(clean.calls.empty());

        std::map<std::string, int> seen;
        int runs = 0;
        for (size_t i = 0; i < clean.calls.size(); i++) {
            const std::string api = clean.calls[i];
            int nth = ++seen[api];
            if (!winsim_call_can_fail(api))
                continue; /* such a run is the clean run again */
            SCOPED_TRACE(api + " #" + std::to_string(nth));
            bool passed = run_in_child([&] {
                run_result run = run_removal(s, api, nth);
                expect_nothing_lost(s, before, clean, run, api, i);
                return std::string();
            });
            runs++;
            if (!passed)
                failed_runs++;
        }
        printf("[ fault injection ] %s: %zu calls, %d runs (one per call that can fail)\n", s.what,
               clean.calls.size(), runs);
        total_calls += (int)clean.calls.size();
        total_runs += runs;
    }
    printf("[ fault injection ] uninstaller: %d calls, %d runs, %d with a fault\n", total_calls,
           total_runs, failed_runs);
    RecordProperty("runs", total_runs);
}

/* ---- Stopped dead ---------------------------------------------------------------------- */

/* A removal stopped dead at `stop_point` (0: never) on the machine as it is. */
bool run_stopped(const fault_scenario &s, int stop_point) {
    answer_boxes(s.setup);
    return winsim_run_until_stop(stop_point, [] { run_installed_uninstaller(); });
}

/* How a boot file is left by a run that stopped: "as before", "as after the clean run",
 * "restorable" (not yet either, its copy kept aside is), "created" (wininit.ini made for the
 * list, holding only its header), or "" when none of these. */
std::string boot_file_state(const fault_scenario &s, const std::string &path,
                            const machine_state &before, const run_result &clean,
                            const machine_state &now) {
    std::string name = path.substr(path.rfind('\\') + 1);
    auto files = by_path(now.files);
    std::string content = item_in(files, upper_ascii(path));
    std::string was = item_in(by_path(before.files), upper_ascii(path));
    std::string after = item_in(by_path(clean.state.files), upper_ascii(path));
    if (content == was)
        return "as before";
    if (content == after)
        return "as after the clean run";
    std::string aside = item_in(files, upper_ascii(WORK_FOLDER + "\\" + name));
    /* wininit.ini made for the list, holding only its header */
    const std::string created = path == WININIT_INI && !s.wininit_exists ? "[rename]\r\n" : was;
    if (content == created)
        return "created";
    if (aside == was || aside == after || aside == created)
        return "restorable";
    return "";
}

/* After the second run the machine is as one clean run leaves it, but that wininit.ini may hold
 * the uninstaller's entries twice (the second run's first; the setup library's, deleted at
 * once by the first run, no longer among them), a shared count that the first run lowered
 * from above 1 is lowered once more, and the install folder stays, empty, when the first run
 * stopped after the product's removal command had removed InstallPath (the second run cannot
 * know the folder then). */
void expect_as_after_one_clean_run(const fault_scenario &s, const run_result &clean,
                                   const machine_state &now, bool *folder_left) {
    std::map<std::string, std::vector<std::string>> others;
    std::vector<std::string> entries = deletion_entries(!s.setup.sibling_printer);
    for (bool library : {true, false}) {
        std::vector<std::string> twice = deletion_entries(!s.setup.sibling_printer && library);
        twice.insert(twice.end(), entries.begin(), entries.end());
        others[WININIT_INI].push_back(wininit_holding(s, twice));
    }
    expect_each_item("file", by_path(clean.state.files), by_path(clean.state.files),
                     by_path(now.files), by_path(others));
    std::set<std::string> folders = now.folders;
    *folder_left = !clean.state.folders.count(INSTALL_FOLDER) && folders.erase(INSTALL_FOLDER) != 0;
    expect_each_item("folder", as_items(clean.state.folders), as_items(clean.state.folders),
                     as_items(folders));
    std::map<std::string, std::vector<std::string>> lowered;
    if (s.setup.device_count > 1)
        for (const auto &item : registry_items({shared_count_line(s.setup.device_count - 2)}))
            lowered[item.first].push_back(item.second);
    std::map<std::string, std::string> registry = registry_items(now.registry);
    expect_each_item("registry", registry_items(clean.state.registry),
                     registry_items(clean.state.registry), registry, lowered);
    EXPECT_EQ(now.printers, clean.state.printers);
    EXPECT_EQ(now.drivers, clean.state.drivers);
    EXPECT_EQ(now.groups, clean.state.groups);
}

TEST_F(FaultInjection, StoppedDeadAtAnyPointASecondRunFinishes) {
    int total_stops = 0, failed_stops = 0, folders_left = 0;
    std::map<std::string, int> states;
    for (const fault_scenario &s : scenarios) {
        SCOPED_TRACE(s.what);
        winsim_reset();
        install(s);
        const machine_state before = machine_state_now();
        std::string packed;
        ASSERT_TRUE(run_in_child(
            [&s] {
                winsim_reset();
                install(s);
                EXPECT_FALSE(run_stopped(s, 0));
                run_result clean;
                clean.exit_code = 0;
                clean.state = machine_state_now();
                clean.calls.assign((size_t)winsim_stop_points(), "");
                return pack_result(clean);
            },
            &packed));
        const run_result clean = unpack_result(packed);
        const int stop_points = (int)clean.calls.size();
        ASSERT_GT(stop_points, 0);

        for (int stop = 1; stop <= stop_points; stop++) {
            SCOPED_TRACE("stopped dead at stop point " + std::to_string(stop));
            std::string seen;
            bool passed = run_in_child(
                [&] {
                    winsim_reset();
                    install(s);
                    EXPECT_TRUE(run_stopped(s, stop));
                    const machine_state stopped = machine_state_now();
                    std::string report;
                    for (const char *path : {SYSTEM_INI, WININIT_INI, WIN_INI}) {
                        std::string state = boot_file_state(s, path, before, clean, stopped);
                        EXPECT_NE(state, "") << path << " is neither as before, as after the "
                                             << "clean run nor restorable:\n"
                                             << item_in(by_path(stopped.files), upper_ascii(path));
                        report += std::string(path) + " " + state + "\n";
                    }
                    std::string backup =
                        item_in(by_path(stopped.files), upper_ascii(SYSTEM_INI_BACKUP));
                    EXPECT_TRUE(backup == ABSENT || backup == INSTALLED_SYSTEM_INI)
                        << "SYSTEM.KMW is not the original system.ini:\n"
                        << backup;

                    EXPECT_FALSE(run_stopped(s, 0)) << "the second run";
                    bool folder_left = false;
                    expect_as_after_one_clean_run(s, clean, machine_state_now(), &folder_left);
                    if (folder_left)
                        report += "install folder left\n";
                    EXPECT_TRUE(rewrite_temporary_files().empty());
                    EXPECT_EQ(winsim_open_handles(), 0);
                    EXPECT_EQ(winsim_global_blocks_in_use(), 0);
                    EXPECT_EQ(winsim_dde_open_objects(), 0);
                    return report;
                },
                &seen);
            total_stops++;
            if (!passed)
                failed_stops++;
            size_t at = 0;
            for (size_t end; (end = seen.find('\n', at)) != std::string::npos; at = end + 1) {
                std::string line = seen.substr(at, end - at);
                states[line]++;
                if (line == "install folder left")
                    folders_left++;
            }
        }
        printf("[ stopped dead ] %s: %d stop points, each stopped and run again\n", s.what,
               stop_points);
    }
    for (const auto &st : states)
        printf("[ stopped dead ]   %s: %d\n", st.first.c_str(), st.second);
    printf("[ stopped dead ] uninstaller: %d stops, %d with a fault\n", total_stops, failed_stops);
    RecordProperty("stops", total_stops);
}

} // namespace
