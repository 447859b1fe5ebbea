/* The deletion list in wininit.ini: where the entries go in every shape of wininit.ini, which
 * files get one, and their short paths. */
#include "uninstaller_machine.h"

#include "deletion_list.h"

#include <algorithm>

namespace {

const char WININIT[] = "C:\\WINDOWS\\WININIT.INI";

std::string joined(const std::vector<std::string> &entries) {
    std::string out;
    for (const std::string &e : entries)
        out += e;
    return out;
}

/* The product's files installed: every entry, and the entries without the setup library's. */
class DeletionList : public RemovalStep {
  protected:
    std::string ALL_ENTRIES, ENTRIES_WITHOUT_LIBRARY;
    void SetUp() override {
        RemovalStep::SetUp();
        product::install_product_files();
        winsim_write_file(product::text(product::UNINSTALLER), "MZ uninstaller");
        ALL_ENTRIES = joined(product::deletion_entries());
        ENTRIES_WITHOUT_LIBRARY = joined(product::deletion_entries(false));
    }
};

TEST_F(DeletionList, EntriesInEveryShapeOfWininit) {
    const std::string long_value(600, 'v');
    struct {
        const char *what;
        bool exists;
        std::string before, after;
    } rows[] = {
        {"no wininit.ini: created with the header", false, "", "[rename]\r\n" + ALL_ENTRIES},
        {"empty wininit.ini", true, "", "[rename]\r\n" + ALL_ENTRIES},
        {"other sections only: appended", true, "[boot]\r\nx=1\r\n",
         "[boot]\r\nx=1\r\n[rename]\r\n" + ALL_ENTRIES},
        {"[RENAME]: right after it, ahead of the old entries", true,
         "[RENAME]\r\nNUL=C:\\OLD.TXT\r\n[boot]\r\n",
         "[RENAME]\r\n" + ALL_ENTRIES + "NUL=C:\\OLD.TXT\r\n[boot]\r\n"},
        {"two headers: after each", true, "[rename]\r\nA=B\r\n[x]\r\n[Rename]\r\n",
         "[rename]\r\n" + ALL_ENTRIES + "A=B\r\n[x]\r\n[Rename]\r\n" + ALL_ENTRIES},
        {"a header with a comment counts", true, "[rename] ; pending\r\n",
         "[rename] ; pending\r\n" + ALL_ENTRIES},
        {"blanks before the bracket: no header", true, " [rename]\r\n",
         " [rename]\r\n[rename]\r\n" + ALL_ENTRIES},
        {"[renamex]: no header", true, "[renamex]\r\n", "[renamex]\r\n[rename]\r\n" + ALL_ENTRIES},
        {"[renam]: no header", true, "[renam]\r\n", "[renam]\r\n[rename]\r\n" + ALL_ENTRIES},
        {"last line without LF: the header starts a new line", true, "[boot]\r\nx=1",
         "[boot]\r\nx=1\r\n[rename]\r\n" + ALL_ENTRIES},
        {"the header on a last line without LF: entries on new lines", true, "[rename]",
         "[rename]\r\n" + ALL_ENTRIES},
        {"a 600-byte line whose second piece begins with the header text", true,
         "[boot]\r\nx=" + std::string(509, 'v') + "[rename]\r\n",
         "[boot]\r\nx=" + std::string(509, 'v') + "[rename]\r\n[rename]\r\n" + ALL_ENTRIES},
        {"a header line longer than a piece: entries after its end", true,
         "[rename] ;" + long_value + "\r\nNUL=C:\\OLD.TXT\r\n",
         "[rename] ;" + long_value + "\r\n" + ALL_ENTRIES + "NUL=C:\\OLD.TXT\r\n"},
        {"input ends at Ctrl-Z", true, "[rename]\r\nNUL=C:\\OLD.TXT\r\n\x1A[junk]\r\n",
         "[rename]\r\n" + ALL_ENTRIES + "NUL=C:\\OLD.TXT\r\n"},
        {"zero bytes are kept", true, bytes("[boot]\r\na=\0b\r\n"),
         bytes("[boot]\r\na=\0b\r\n[rename]\r\n") + ALL_ENTRIES},
        {"LF-only lines come back as CR LF", true, "[rename]\nNUL=C:\\OLD.TXT\n",
         "[rename]\r\n" + ALL_ENTRIES + "NUL=C:\\OLD.TXT\r\n"},
    };
    for_each_row(rows, [&](const auto &r) {
        if (r.exists)
            winsim_write_file(WININIT, r.before);
        write_deletion_list(0);
        EXPECT_EQ(winsim_file(WININIT), r.after);
        EXPECT_TRUE(temporary_files().empty());
    });
}

TEST_F(DeletionList, SetupLibraryKeptOffTheList) {
    write_deletion_list(1);
    EXPECT_EQ(winsim_file(WININIT), "[rename]\r\n" + ENTRIES_WITHOUT_LIBRARY);
}

TEST_F(DeletionList, OnlyExistingFilesGetEntries) {
    /* Entries by their place in the list: 0 the uninstaller, 1 the INI file, 2 to 7 the files
     * of the system directory (7 the setup library). */
    struct {
        std::vector<size_t> missing;
        int keep;
    } rows[] = {
        {{1}, 0},
        {{2, 6}, 1},
        {{1, 2, 3, 4, 5, 6, 7}, 0},
    };
    for_each_row(rows, [&](const auto &r) {
        std::vector<std::string> entries = product::deletion_entries(r.keep == 0);
        std::string expected;
        for (size_t i = 0; i < entries.size(); i++)
            if (std::find(r.missing.begin(), r.missing.end(), i) == r.missing.end())
                expected += entries[i];
        for (size_t i : r.missing)
            DeleteFileA(i == 1 ? product::text(product::PRODUCT_INI).c_str()
                               : product::system_file(product::SYSTEM_FILES[i - 2]).c_str());
        write_deletion_list(r.keep);
        EXPECT_EQ(winsim_file(WININIT), "[rename]\r\n" + expected) << r.missing.size();
    });
}

/* Entries name files by their short paths: a program in folders with long names gets the
 * aliases that the platform gives (here the stand-in's, which number the long names of a
 * folder in name order). */
TEST_F(DeletionList, ShortPathsForFilesInLongNamedFolders) {
    struct {
        std::string program, entry;
    } rows[] = {
        {"C:\\Program Files\\Orvane Type2\\kmw48rmv.exe",
         "NUL=C:\\PROGRA~1\\ORVANE~2\\KMW48RMV.EXE\r\n"},
        {"C:\\Program Files\\Orvane Type2\\Uninstall Orvane.exe",
         "NUL=C:\\PROGRA~1\\ORVANE~2\\UNINST~1.EXE\r\n"},
        {"C:\\orvane\\kmw48rmv.exe", "NUL=C:\\ORVANE\\KMW48RMV.EXE\r\n"},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_make_dir("C:\\Program Files\\Orvane Type1");
        start_uninstaller(r.program);
        DeleteFileA(product::text(product::PRODUCT_INI).c_str());
        write_deletion_list(1);
        std::vector<std::string> entries = product::deletion_entries(false);
        EXPECT_EQ(winsim_file(WININIT),
                  "[rename]\r\n" + r.entry + joined({entries.begin() + 2, entries.end()}))
            << r.program;
    });
}

/* When wininit.ini cannot be rewritten, nothing is scheduled and no temporary file is left;
 * a missing one is made only whole, holding the list. */
TEST_F(DeletionList, NothingScheduledWhenWininitCannotBeWritten) {
    struct {
        const char *what;
        bool exists;
        const char *api;
        int nth;
        bool read_only;
    } rows[] = {
        {"cannot be created", false, "MoveFileA", 1, false},
        {"whether it is there cannot be told", false, "GetFileAttributesA", 1, false},
        {"the new text cannot be made", true, "CreateFileA", 1, false},
        {"a full disk", true, "WriteFile", 1, false},
        {"read-only wininit.ini", true, "", 0, true},
        /* One that is there but cannot be opened is never replaced by a new one: it holds
         * what other programs scheduled. */
        {"there but cannot be opened", true, "_fsopen", 1, false},
    };
    for_each_row(rows, [&](const auto &r) {
        if (r.exists)
            winsim_write_file(WININIT, "[boot]\r\n");
        if (r.api[0])
            winsim_fail_call(r.api, r.nth);
        winsim_set_read_only(WININIT, r.read_only);
        write_deletion_list(0);
        winsim_set_read_only(WININIT, false);
        std::string after;
        bool found = winsim_read_file(WININIT, &after);
        if (r.exists)
            EXPECT_EQ(after, "[boot]\r\n");
        else
            EXPECT_FALSE(found);
        EXPECT_TRUE(temporary_files().empty());
    });
}

} // namespace
