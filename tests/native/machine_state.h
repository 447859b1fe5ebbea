/* machine_state.h: the state of a whole machine (every file and folder on C:, the registry,
 * the spooler's printers and drivers, the Program Manager's groups), taken to compare a
 * machine before and after a run. */
#ifndef TESTS_MACHINE_STATE_H
#define TESTS_MACHINE_STATE_H

#include <gtest/gtest.h>

#include "winsim.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct machine_state {
    std::map<std::string, std::string> files; /* every file on C:, by path, with its bytes */
    std::set<std::string> folders;            /* every folder on C: */
    std::vector<std::string> registry;        /* winsim_registry() */
    std::vector<std::string> printers, drivers, groups;
};

inline void collect_folder(const std::string &folder, machine_state *state) {
    for (const std::string &name : winsim_list_dir(folder)) {
        std::string path = folder + (folder.back() == '\\' ? "" : "\\") + name;
        if (winsim_dir_exists(path)) {
            state->folders.insert(path);
            collect_folder(path, state);
        } else {
            state->files[path] = winsim_file(path);
        }
    }
}

inline machine_state machine_state_now() {
    machine_state state;
    collect_folder("C:\\", &state);
    state.registry = winsim_registry();
    state.printers = winsim_printers();
    state.drivers = winsim_printer_drivers();
    state.groups = winsim_progman_groups();
    return state;
}

/* Every file byte for byte, every folder, the whole registry, the spooler and the groups. */
inline void expect_machine(const machine_state &actual, const machine_state &expected) {
    for (const auto &f : expected.files) {
        auto it = actual.files.find(f.first);
        if (it == actual.files.end())
            ADD_FAILURE() << f.first << " is missing";
        else
            EXPECT_EQ(it->second, f.second) << f.first;
    }
    for (const auto &f : actual.files)
        EXPECT_TRUE(expected.files.count(f.first)) << f.first << " should not be there";
    EXPECT_EQ(actual.folders, expected.folders);
    EXPECT_EQ(actual.registry, expected.registry);
    EXPECT_EQ(actual.printers, expected.printers);
    EXPECT_EQ(actual.drivers, expected.drivers);
    EXPECT_EQ(actual.groups, expected.groups);
}

#endif
