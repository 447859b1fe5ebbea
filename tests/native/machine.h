/* machine.h: the fixture of every native test, a fresh Windows 95/98 machine of the stand-in
 * per test (the product is installed from its one description, tests/product/), and what the
 * tests read back of a machine.
 *
 * At its end a test checks that no message box or open-file dialog came that it did not
 * expect, that every expected one came, and that no handle, memory block or DDE object is
 * left open.  A
 * table whose rows each need a machine of their own runs them through for_each_row(): each
 * row gets a fresh machine and the same final checks. */
#ifndef TESTS_MACHINE_H
#define TESTS_MACHINE_H

#include <gtest/gtest.h>

#include "product_builder.h"
#include "winsim.h"

#include <map>
#include <set>
#include <string>
#include <vector>

/* No handle, memory block or DDE object is left open. */
inline void expect_all_released() {
    EXPECT_EQ(winsim_open_handles(), 0) << "handles left open";
    EXPECT_EQ(winsim_global_blocks_in_use(), 0) << "memory blocks left allocated";
    EXPECT_EQ(winsim_dde_open_objects(), 0) << "DDE objects not released";
}

class Machine : public ::testing::Test {
  protected:
    void SetUp() override { winsim_reset(); }
    void TearDown() override {
        EXPECT_EQ(winsim_unscripted_boxes(), 0) << "a message box came that was not expected";
        EXPECT_EQ(winsim_unused_answers(), 0) << "an expected message box did not come";
        EXPECT_EQ(winsim_unscripted_dialogs(), 0)
            << "an open-file dialog came that was not expected";
        EXPECT_EQ(winsim_unused_dialog_answers(), 0) << "an expected open-file dialog did not come";
        expect_all_released();
    }
    /* Runs `row` for each row of a table, each on a fresh machine and each followed by the
     * fixture's final checks, so that no row can skip them; failures name the row. */
    template <typename Rows, typename Row> void for_each_row(const Rows &rows, Row row) {
        size_t n = 0;
        for (const auto &r : rows) {
            SCOPED_TRACE("row " + std::to_string(++n) + row_label(r, 0));
            if (n > 1)
                SetUp();
            row(r);
            TearDown();
        }
        SetUp();
    }
    template <typename T, typename Row> void for_each_row(std::initializer_list<T> rows, Row row) {
        for_each_row<std::initializer_list<T>, Row>(rows, row);
    }

  private:
    template <typename R> static auto row_label(const R &r, int) -> decltype(std::string(r.what)) {
        return std::string(": ") + r.what;
    }
    template <typename R> static std::string row_label(const R &, long) { return ""; }
};

/* ---- Texts ---- */

/* A text literal with every byte it holds, zero bytes included. */
template <size_t N> std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

/* Text-mode lines as the rewrite writes them: each "\n" of `lines` becomes CR LF. */
inline std::string crlf(const std::string &lines) {
    std::string out;
    for (char c : lines) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

/* ---- What a rewrite may leave behind ---- */

using product::temporary_files;
using product::upper_ascii;
using product::WORK_FOLDER;

/* ---- The state of a whole machine ---- */

/* Every file and folder on C:, the registry, the spooler's printers and drivers, the Program
 * Manager's groups: taken to compare a machine before and after a run. */
struct machine_state {
    std::map<std::string, std::string> files; /* by path, with the bytes */
    std::set<std::string> folders;
    std::vector<std::string> registry; /* winsim_registry() */
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

/* The machine as Windows leaves it on its disk at a shutdown (its caches written). */
inline machine_state machine_state_now() {
    winsim_shut_down();
    machine_state state;
    collect_folder("C:\\", &state);
    state.registry = winsim_registry();
    state.printers = winsim_printers();
    state.drivers = winsim_printer_drivers();
    state.groups = winsim_progman_groups();
    return state;
}

/* Items by path, letter case ignored as Windows ignores it: a file the program creates
 * carries the name as the program spells it. */
template <typename T> std::map<std::string, T> by_path(const std::map<std::string, T> &items) {
    std::map<std::string, T> out;
    for (const auto &i : items)
        out[upper_ascii(i.first)] = i.second;
    return out;
}

/* Every file byte for byte, every folder, the whole registry, the spooler and the groups. */
inline void expect_machine(const machine_state &actual, const machine_state &expected) {
    const std::map<std::string, std::string> files = by_path(actual.files);
    for (const auto &f : by_path(expected.files)) {
        auto it = files.find(f.first);
        if (it == files.end())
            ADD_FAILURE() << f.first << " is missing";
        else
            EXPECT_EQ(it->second, f.second) << f.first;
    }
    for (const auto &f : by_path(actual.files))
        EXPECT_TRUE(by_path(expected.files).count(f.first)) << f.first << " should not be there";
    EXPECT_EQ(actual.folders, expected.folders);
    EXPECT_EQ(actual.registry, expected.registry);
    EXPECT_EQ(actual.printers, expected.printers);
    EXPECT_EQ(actual.drivers, expected.drivers);
    EXPECT_EQ(actual.groups, expected.groups);
}

/* Registry lines under a key (the key's own line included). */
inline bool registry_line_under(const std::string &line, const std::string &key_path) {
    for (const char *kind : {"key ", "value "}) {
        std::string head = kind + key_path;
        if (line.compare(0, head.size(), head) == 0 &&
            (line.size() == head.size() || line[head.size()] == '\\' || line[head.size()] == ' '))
            return true;
    }
    return false;
}

/* The registry line of the device's shared count as winsim_registry() lists it. */
inline std::string shared_count_line(unsigned long n) {
    char hex[48];
    snprintf(hex, sizeof hex, " %02X %02X %02X %02X", (unsigned)(n & 0xFF),
             (unsigned)((n >> 8) & 0xFF), (unsigned)((n >> 16) & 0xFF),
             (unsigned)((n >> 24) & 0xFF));
    return std::string("value HKEY_LOCAL_MACHINE\\") + product::SHARED_DLLS_KEY + " [" +
           product::text(product::DEVICE) + "] type 4 =" + hex;
}

#endif
