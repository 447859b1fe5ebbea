/* The product's Program Manager group: asked for over DDE, deleted only when the Program
 * Manager reports it empty, and every DDE object released in the end. */
#include "uninstaller_machine.h"

#include "program_group.h"
#include "removal.h"

#include <string.h>

namespace {

/* The rows are about group names and item counts: a plain ASCII group of two items keeps them
 * readable (the product's own group is the whole-run tests'). */
const std::string GROUP = "Orvane Type2";
const std::vector<winsim_progman_item> TWO_ITEMS = {
    {"Orvane Type2 Print Manager", "C:\\Orvane\\KMW48PM.EXE"},
    {"Read Me", "C:\\WINDOWS\\NOTEPAD.EXE C:\\Orvane\\README.TXT"}};
const std::vector<winsim_progman_item> NO_ITEMS;

std::string command_for(const std::string &name) {
    return std::string("[DeleteGroup(") + name + ")]" + std::string(1, '\0');
}

std::string quoted_command_for(const std::string &name) {
    return std::string("[DeleteGroup(\"") + name + "\")]" + std::string(1, '\0');
}

std::vector<std::string> names(std::initializer_list<std::string> list) {
    return std::vector<std::string>(list);
}

class ProgramGroup : public Machine {
  protected:
    void set_folder_name(const std::string &name) {
        memset(saved.folder_name, 0, sizeof saved.folder_name);
        memcpy(saved.folder_name, name.data(), name.size());
    }
};

/* ---- The Program Manager's own answers ---- */

struct group_setup {
    std::string name;
    size_t items;
    std::string file; /* "" for the group's folder */
};

struct group_row {
    const char *what;
    std::string folder_name;
    std::vector<group_setup> groups;
    std::vector<std::string> left;
    std::vector<std::string> commands;
};

TEST_F(ProgramGroup, DeletedOnlyWhenTheProgramManagerReportsItEmpty) {
    const std::string katakana = "\x83\x5C\x83\x74\x83\x67"; /* second bytes \ t g */
    const group_row rows[] = {
        {"empty group",
         GROUP,
         {{"Accessories", 2, ""}, {GROUP, 0, ""}},
         {"Accessories"},
         {command_for(GROUP)}},
        {"group with items",
         GROUP,
         {{"Accessories", 2, ""}, {GROUP, 2, ""}},
         {"Accessories", GROUP},
         {}},
        {"group with one item", GROUP, {{GROUP, 1, ""}}, {GROUP}, {}},
        {"no such group", GROUP, {{"Accessories", 0, ""}}, {"Accessories"}, {}},
        {"name in other letter case",
         "ORVANE TYPE2",
         {{GROUP, 0, ""}},
         {},
         {command_for("ORVANE TYPE2")}},
        {"Windows 3.1 group file",
         GROUP,
         {{GROUP, 0, "C:\\WINDOWS\\ORVANETY.GRP"}},
         {},
         {command_for(GROUP)}},
        {"Japanese name", katakana, {{katakana, 0, ""}}, {}, {command_for(katakana)}},
        /* A name with a comma: its fields are found past the quoted name and the group's file,
         * and it goes in quotes into the command, which would otherwise name group "Orvane". */
        {"comma, empty, folder as file",
         "Orvane, Type2",
         {{"Orvane", 3, ""}, {"Orvane, Type2", 0, ""}},
         {"Orvane"},
         {std::string("[DeleteGroup(\"Orvane, Type2\")]") + '\0'}},
        {"comma, items, folder as file",
         "Orvane, Type2",
         {{"Orvane", 3, ""}, {"Orvane, Type2", 2, ""}},
         {"Orvane", "Orvane, Type2"},
         {}},
        {"comma, empty, group file",
         "Orvane, Type2",
         {{"Orvane", 3, ""}, {"Orvane, Type2", 0, "C:\\WINDOWS\\ORVANETY.GRP"}},
         {"Orvane"},
         {std::string("[DeleteGroup(\"Orvane, Type2\")]") + '\0'}},
        {"comma, items, group file",
         "Orvane, Type2",
         {{"Orvane", 0, ""}, {"Orvane, Type2", 1, "C:\\WINDOWS\\ORVANETY.GRP"}},
         {"Orvane", "Orvane, Type2"},
         {}},
        {"two commas, empty",
         "a,b,c",
         {{"a", 0, ""}, {"a,b,c", 0, ""}},
         {"a"},
         {std::string("[DeleteGroup(\"a,b,c\")]") + '\0'}},
        {"two commas, items", "a,b,c", {{"a", 0, ""}, {"a,b,c", 11, ""}}, {"a", "a,b,c"}, {}},
        /* Brackets and parentheses end an unquoted argument: such a name goes in quotes. */
        {"parenthesis in the name, beside the group of the name's first word",
         "Orvane Type2 (Fax)",
         {{GROUP, 2, ""}, {"Orvane Type2 (Fax)", 0, ""}},
         {GROUP},
         {quoted_command_for("Orvane Type2 (Fax)")}},
        {"brackets in the name",
         "[Orvane]",
         {{"[Orvane]", 0, ""}},
         {},
         {quoted_command_for("[Orvane]")}},
        {"parenthesis and items", "Orvane (Fax)", {{"Orvane (Fax)", 2, ""}}, {"Orvane (Fax)"}, {}},
        {"a quote cannot stand in a quoted name",
         "Orvane \"2\" (Fax)",
         {{"Orvane \"2\" (Fax)", 0, ""}},
         {"Orvane \"2\" (Fax)"},
         {}},
        /* \x83\x5B and \x83\x5D: second bytes [ and ]; quoted, so that no Program Manager
         * stops there */
        {"Japanese name with brackets as second bytes",
         "\x83\x5B\x83\x5D",
         {{"\x83\x5B\x83\x5D", 0, ""}},
         {},
         {quoted_command_for("\x83\x5B\x83\x5D")}},
    };
    for_each_row(rows, [&](const group_row &r) {
        winsim_progman_start();
        for (const group_setup &g : r.groups)
            winsim_progman_add_group(
                g.name, std::vector<winsim_progman_item>(g.items, TWO_ITEMS[0]), g.file);
        set_folder_name(r.folder_name);
        remove_program_group();
        EXPECT_EQ(winsim_progman_groups(), r.left);
        EXPECT_EQ(winsim_progman_commands(), r.commands);
    });
}

/* ---- Replies as written ---- */

struct reply_row {
    const char *what;
    std::string reply;
    bool deleted;
};

/* The count is the third comma-separated field, read as the standard library reads integers;
 * a reply without a third field keeps the group. */
TEST_F(ProgramGroup, ItemCountIsTheThirdField) {
    const std::string nul(1, '\0');
    const reply_row rows[] = {
        {"count 0", "\"Orvane Type2\",C:\\WINDOWS\\ORVANETY.GRP,0,1\r\n" + nul, true},
        {"count 3", "\"Orvane Type2\",C:\\WINDOWS\\ORVANETY.GRP,3,1\r\n" + nul, false},
        {"count 10", "\"G\",F,10,1" + nul, false},
        {"blanks before 0", "\"G\",F,   0,1" + nul, true},
        {"tab before 0", "\"G\",F,\t0" + nul, true},
        {"0 followed by text", "\"G\",F,0abc,1" + nul, true},
        {"01", "\"G\",F,01" + nul, false},
        {"no digits counts as 0", "\"G\",F,x,1" + nul, true},
        {"signed zero", "\"G\",F,-0" + nul, true},
        {"positive", "\"G\",F,+7" + nul, false},
        {"negative", "\"G\",F,-3" + nul, false},
        {"beyond 32 bits", "\"G\",F,4294967296,1" + nul, false},
        {"runs of commas and leading commas", ",,\"G\",,F,,,0" + nul, true},
        {"no terminating zero", "\"G\",F,0", true},
        {"item lines follow", "\"G\",F,0,1\r\n\"A\",\"B\",,B,16,16,0,0,0\r\n" + nul, true},
        {"empty data", "", false},
        {"only a zero", nul, false},
        {"one field", "\"G\"" + nul, false},
        {"count only", "0" + nul, false},
        {"two fields", "\"G\",C:\\WINDOWS\\G.GRP" + nul, false},
        {"two fields and commas", "\"G\",F,,," + nul, false},
        {"commas only", ",,,," + nul, false},
        /* Only the first 256 bytes count. */
        {"count at byte 256", "\"" + std::string(250, 'G') + "\",F,0,1" + nul, true},
        {"count at byte 257", "\"" + std::string(251, 'G') + "\",F,0,1" + nul, false},
        {"long item lines after the count", "\"G\",F,0,1\r\n" + std::string(600, 'x') + ",5" + nul,
         true},
    };
    for_each_row(rows, [&](const reply_row &r) {
        winsim_progman_start();
        winsim_progman_add_group(GROUP, TWO_ITEMS);
        winsim_progman_reply_with(r.reply);
        set_folder_name(GROUP);
        remove_program_group();
        EXPECT_EQ(winsim_progman_groups().empty(), r.deleted);
        EXPECT_EQ(winsim_progman_commands().size(), r.deleted ? 1u : 0u);
    });
}

struct comma_row {
    const char *what;
    std::string folder_name;
    std::string reply;
    bool deleted;
};

/* A folder name with commas: the quoted name and the group's file are skipped whole, and a
 * count that cannot be found keeps the group. */
TEST_F(ProgramGroup, CommaInTheNameNeverShiftsTheCount) {
    const std::string nul(1, '\0');
    const std::string name = "Orvane, Type2";
    const std::string folder = "C:\\WINDOWS\\Start Menu\\Programs\\Orvane, Type2";
    /* A long name: the reply's first line does not fit the 256 bytes read, and the copy of
     * the name in the folder path is cut after one of its commas. */
    const std::string long_name = std::string(60, 'A') + ",0" + std::string(70, 'B');
    const std::string long_reply =
        "\"" + long_name + "\",C:\\WINDOWS\\Start Menu\\Programs\\" + long_name + ",";
    const comma_row rows[] = {
        {"long name, first line cut, 3 items", long_name, long_reply + "3,1\r\n" + nul, false},
        {"long name, first line cut, 0 items", long_name, long_reply + "0,1\r\n" + nul, false},
        {"folder path, 0", name, "\"" + name + "\"," + folder + ",0,1\r\n" + nul, true},
        {"an earlier folder begins with the name, 2", name,
         "\"" + name + "\",C:\\Orvane, Type2 Files\\Programs\\" + name + ",2,1\r\n" + nul, false},
        {"an earlier folder begins with the name, 0", name,
         "\"" + name + "\",C:\\Orvane, Type2 Files\\Programs\\" + name + ",0,1\r\n" + nul, true},
        {"folder path, 3", name, "\"" + name + "\"," + folder + ",3,1\r\n" + nul, false},
        {"folder path, blank before 0", name, "\"" + name + "\"," + folder + ", 0,1" + nul, true},
        {"folder path, no number", name, "\"" + name + "\"," + folder + ",x,1" + nul, false},
        {"folder path, nothing after", name, "\"" + name + "\"," + folder + nul, false},
        {"group file, 0", name, "\"" + name + "\",C:\\WINDOWS\\ORVANETY.GRP,0,1" + nul, true},
        {"group file, 2", name, "\"" + name + "\",C:\\WINDOWS\\ORVANETY.GRP,2,1" + nul, false},
        {"group file, no count", name, "\"" + name + "\",C:\\WINDOWS\\ORVANETY.GRP" + nul, false},
        {"count only on the next line", name, "\"" + name + "\",C:\\X.GRP\r\n0,0" + nul, false},
        {"name not in quotes", name, name + ",C:\\X.GRP,0,1" + nul, false},
        {"another name in quotes", name, "\"Orvane\",C:\\X.GRP,0,1" + nul, false},
        {"quoted name cut", name, "\"Orvane, Ty" + nul, false},
        {"empty data", name, "", false},
        {"a quote in the name cannot be quoted", "Orvane \"2\", Fax",
         "\"Orvane \"2\", Fax\",C:\\X.GRP,0,1" + nul, false},
        {"Japanese name with a comma", "\x83\x5C, \x83\x74",
         "\"\x83\x5C, \x83\x74\",C:\\WINDOWS\\Start Menu\\Programs\\\x83\x5C, \x83\x74,0,1" + nul,
         true},
    };
    for_each_row(rows, [&](const comma_row &r) {
        winsim_progman_start();
        winsim_progman_add_group(r.folder_name, TWO_ITEMS);
        winsim_progman_reply_with(r.reply);
        set_folder_name(r.folder_name);
        remove_program_group();
        EXPECT_EQ(winsim_progman_groups().empty(), r.deleted);
        ASSERT_EQ(winsim_progman_commands().size(), r.deleted ? 1u : 0u);
        if (r.deleted) {
            EXPECT_EQ(winsim_progman_commands()[0],
                      "[DeleteGroup(\"" + r.folder_name + "\")]" + nul);
        }
    });
}

/* An empty folder name gives no string handle, and a request without an item name never
 * reaches the Program Manager: whatever it would answer, the group stays. */
TEST_F(ProgramGroup, EmptyFolderNameKeepsTheGroup) {
    struct {
        const char *what;
        bool written;
        std::string reply;
    } rows[] = {
        {"the Program Manager's own answer", false, ""},
        {"a reply with count 0", true, std::string("\"\",C:\\X.GRP,0,1") + '\0'},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_progman_start();
        winsim_progman_add_group(GROUP, NO_ITEMS);
        if (r.written)
            winsim_progman_reply_with(r.reply);
        set_folder_name("");
        remove_program_group();
        EXPECT_TRUE(winsim_progman_commands().empty());
        EXPECT_EQ(winsim_progman_groups(), names({GROUP}));
    });
}

/* ---- The conversation ---- */

/* A conversation that ends early leaves the group, and releases everything it took. */
TEST_F(ProgramGroup, ConversationsThatEndEarly) {
    struct {
        const char *what;
        int setup; /* 0 no Program Manager, 1 group with items, 2 silent */
    } rows[] = {
        {"no Program Manager", 0},
        {"group with items (a reply longer than 256 bytes)", 1},
        {"Program Manager does not answer", 2},
    };
    for_each_row(rows, [&](const auto &r) {
        if (r.setup != 0)
            winsim_progman_start();
        winsim_progman_add_group(
            GROUP, r.setup == 1 ? std::vector<winsim_progman_item>(3, TWO_ITEMS[0]) : NO_ITEMS);
        if (r.setup == 2)
            winsim_progman_silent();
        set_folder_name(GROUP);
        remove_program_group();
        EXPECT_EQ(winsim_progman_groups(), names({GROUP}));
        EXPECT_TRUE(winsim_progman_commands().empty());
    });
}

/* Failing DDE calls leave the group and release what was taken.  Without the Program
 * Manager's name there is no connection at all: one without names would reach any server on
 * any topic. */
TEST_F(ProgramGroup, FailingDdeCalls) {
    struct {
        const char *api;
        int nth;
    } rows[] = {
        {"DdeInitializeA", 1},         {"DdeCreateStringHandleA", 1}, {"DdeConnect", 1},
        {"DdeCreateStringHandleA", 2}, {"DdeClientTransaction", 1},   {"DdeGetData", 1},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_progman_start();
        winsim_progman_add_group(GROUP, NO_ITEMS);
        winsim_fail_call(r.api, r.nth);
        set_folder_name(GROUP);
        remove_program_group();
        EXPECT_EQ(winsim_progman_groups(), names({GROUP})) << r.api << r.nth;
        EXPECT_TRUE(winsim_progman_commands().empty()) << r.api << r.nth;
    });
}

/* Each run starts a fresh instance and a cleared reply buffer, whatever an earlier run left. */
TEST_F(ProgramGroup, SecondRunStartsClean) {
    winsim_progman_start();
    winsim_progman_add_group("G", NO_ITEMS);
    winsim_progman_reply_with(std::string("\"G\",C:\\WINDOWS\\G.GRP,0,1\r\n") + '\0');
    set_folder_name("G");
    remove_program_group();
    ASSERT_TRUE(winsim_progman_groups().empty());

    /* Shorter and without a terminating zero: over the first reply's bytes it would read
     * "G",C:\WINDOWS\G.GRP,0 and delete the group. */
    winsim_progman_add_group("G", TWO_ITEMS);
    winsim_progman_reply_with("\"G\",C:\\WINDOWS\\G.GRP,");
    remove_program_group();
    EXPECT_EQ(winsim_progman_groups(), names({"G"}));
    EXPECT_EQ(winsim_progman_commands().size(), 1u);
    EXPECT_EQ(winsim_call_count("DdeConnect"), 2) << "premise: the second run asked again";
}

} // namespace
