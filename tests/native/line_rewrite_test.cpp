/* The line-file rewrite: pieces as read through the text mode, the file written back byte
 * for byte, the temporary file, and a target that stays as it was whenever the rewrite
 * cannot be completed. */
#include "uninstaller_machine.h"

#include "line_rewrite.h"

namespace {

const char TARGET[] = "C:\\WINDOWS\\TARGET.INI";

/* What the hooks saw, as "piece|" for a piece that begins a line and "+piece|" for a
 * further piece of a long line. */
std::string seen;
std::vector<std::string> temporaries_during_rewrite;

void copy_piece(const char *piece, int length, int begins_line, int *flag) {
    seen += std::string(begins_line ? "" : "+") + std::string(piece, length) + "|";
    if (temporaries_during_rewrite.empty())
        temporaries_during_rewrite = temporary_files();
    *flag += 1;
    write_piece(piece, length);
}

int flag_at_end;
void note_end(int flag) {
    flag_at_end = flag;
}

void append_line_at_end(int flag) {
    (void)flag;
    finish_open_line();
    write_text("added\n");
}

class LineRewrite : public RemovalStep {
  protected:
    void SetUp() override {
        RemovalStep::SetUp();
        seen.clear();
        temporaries_during_rewrite.clear();
        flag_at_end = -1;
    }
};

TEST_F(LineRewrite, PiecesAndTheFileWrittenBack) {
    const std::string line600(600, 'x');
    const std::string line511(511, 'y');
    const std::string line510(510, 'z');
    struct {
        const char *what;
        std::string before;
        int capacity;
        std::string pieces;
        std::string after;
    } rows[] = {
        {"CR LF lines", "a\r\nb\r\n", 512, "a\n|b\n|", "a\r\nb\r\n"},
        {"bare LF becomes CR LF", "a\nb\n", 512, "a\n|b\n|", "a\r\nb\r\n"},
        {"a CR alone stays", "a\rb\r\n", 512, "a\rb\n|", "a\rb\r\n"},
        {"last line without LF stays without", "a\r\nlast", 512, "a\n|last|", "a\r\nlast"},
        {"empty file", "", 512, "", ""},
        {"empty lines", "\r\n\r\n", 512, "\n|\n|", "\r\n\r\n"},
        {"600-byte line: 511 bytes, then the rest", line600 + "\r\nnext\r\n", 512,
         line600.substr(0, 511) + "|+" + line600.substr(511) + "\n|next\n|",
         line600 + "\r\nnext\r\n"},
        {"511 bytes and the LF: the LF comes alone", line511 + "\r\n", 512, line511 + "|+\n|",
         line511 + "\r\n"},
        {"510 bytes and the LF: one piece", line510 + "\r\n", 512, line510 + "\n|",
         line510 + "\r\n"},
        {"capacity 256", line600 + "\n", 256,
         line600.substr(0, 255) + "|+" + line600.substr(255, 255) + "|+" + line600.substr(510) +
             "\n|",
         line600 + "\r\n"},
        {"input ends at Ctrl-Z",
         "a\r\nb\x1A"
         "c\r\nd\r\n",
         512, "a\n|b|", "a\r\nb"},
        {"Ctrl-Z first",
         "\x1A"
         "a\r\n",
         512, "", ""},
        {"zero bytes inside lines are carried over", bytes("a\0b\r\n\0\r\nc\0"), 512,
         bytes("a\0b\n|\0\n|c\0|"), bytes("a\0b\r\n\0\r\nc\0")},
        {"a zero byte as the last byte of a full piece",
         std::string(510, 'q') + bytes("\0tail\r\n"), 512,
         std::string(510, 'q') + bytes("\0|+tail\n|"), std::string(510, 'q') + bytes("\0tail\r\n")},
        {"a shorter last line after a line with a zero byte", bytes("abcdef\0gh\r\nxy"), 512,
         bytes("abcdef\0gh\n|xy|"), bytes("abcdef\0gh\r\nxy")},
        {"zero bytes after a long line's first piece",
         std::string(511, 'r') + bytes("\0\0\r\n") + "s", 512,
         std::string(511, 'r') + bytes("|+\0\0\n|s|"), std::string(511, 'r') + bytes("\0\0\r\ns")},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_write_file(TARGET, r.before);
        rewrite(TARGET, r.capacity, copy_piece, note_end, nullptr);
        EXPECT_EQ(seen, r.pieces);
        EXPECT_EQ(winsim_file(TARGET), r.after);
        EXPECT_EQ(flag_at_end, (int)std::count(r.pieces.begin(), r.pieces.end(), '|'))
            << r.what << ": the flag starts at 0 and reaches the end hook";
        EXPECT_TRUE(temporary_files().empty());
    });
}

TEST_F(LineRewrite, TheFlagStartsAtZeroInEveryRewrite) {
    winsim_write_file(TARGET, "a\r\nb\r\n");
    rewrite(TARGET, 512, copy_piece, note_end, nullptr);
    EXPECT_EQ(flag_at_end, 2);
    rewrite(TARGET, 512, copy_piece, note_end, nullptr);
    EXPECT_EQ(flag_at_end, 2);
}

/* The new text lies in the uninstaller's own folder, which goes again; another program's uns
 * file in the Windows directory is left alone. */
TEST_F(LineRewrite, TemporaryFilesLiveInTheUninstallersOwnFolder) {
    winsim_write_file("C:\\WINDOWS\\uns0A00.TMP", "someone else's");
    winsim_write_file(TARGET, "a\r\n");
    rewrite(TARGET, 512, copy_piece, nullptr, nullptr);
    EXPECT_EQ(temporaries_during_rewrite,
              (std::vector<std::string>{"uns0A00.TMP", "KMW48RMV.TMP\\",
                                        "KMW48RMV.TMP\\TARGET.INI.NEW"}));
    EXPECT_EQ(temporary_files(), (std::vector<std::string>{"uns0A00.TMP"}));
    EXPECT_EQ(winsim_file("C:\\WINDOWS\\uns0A00.TMP"), "someone else's");
    EXPECT_EQ(winsim_file(TARGET), "a\r\n");
}

/* What an interrupted run left in the uninstaller's folder, as the next run finds it: a move
 * that was not made is made, a copy kept aside goes back only over a file cut short (not over
 * one changed since, nor one that is gone: Windows carried it out), the leftovers go, and so
 * does the folder. */
TEST_F(LineRewrite, AnInterruptedRunIsFinishedByTheNext) {
    const std::string folder = "C:\\WINDOWS\\KMW48RMV.TMP\\";
    const std::pair<std::string, std::string> old_kept = {"TARGET.INI", "old\r\n"},
                                              new_text = {"TARGET.INI.NEW", "new\r\n"},
                                              new_in_place = {"TARGET.INI", "new\r\n"};
    struct {
        const char *what;
        std::vector<std::pair<std::string, std::string>> left;         /* in the folder */
        std::vector<std::pair<std::string, std::string>> files, after; /* in C:\WINDOWS */
    } rows[] = {
        {"stopped between the two moves", {old_kept, new_text}, {}, {new_in_place}},
        {"a file cut short", {old_kept, new_text}, {{"TARGET.INI", "ne"}}, {old_kept}},
        {"an empty file", {old_kept, new_text}, {{"TARGET.INI", ""}}, {old_kept}},
        {"the new text in place", {old_kept, new_text}, {new_in_place}, {new_in_place}},
        {"the old file not yet deleted", {old_kept}, {new_in_place}, {new_in_place}},
        {"a file changed since",
         {old_kept, new_text},
         {{"TARGET.INI", "x\r\n"}},
         {{"TARGET.INI", "x\r\n"}}},
        {"a new text never moved", {{"TARGET.INI.NEW", "ne"}}, {old_kept}, {old_kept}},
        {"a file Windows has carried out and renamed",
         {{"WININIT.INI", "w\r\n"}},
         {{"WININIT.BAK", "w\r\n"}},
         {{"WININIT.BAK", "w\r\n"}, {"WININIT.INI", ""}}},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_make_dir(folder);
        for (const auto &f : r.left)
            winsim_write_file(folder + f.first, f.second);
        for (const auto &f : r.files)
            winsim_write_file("C:\\WINDOWS\\" + f.first, f.second);
        for (const char *name : {"TARGET.INI", "WININIT.INI"})
            finish_interrupted_rewrite((std::string("C:\\WINDOWS\\") + name).c_str());
        for (const auto &f : r.after)
            EXPECT_EQ(winsim_file("C:\\WINDOWS\\" + f.first), f.second)
                << r.what << ": " << f.first;
        EXPECT_FALSE(winsim_file_exists("C:\\WINDOWS\\WININIT.INI") && r.files.size() == 1 &&
                     r.files[0].first == "WININIT.BAK")
            << r.what << ": a file that was gone came back";
        EXPECT_TRUE(temporary_files().empty());
    });
}

/* While an earlier run's copy of the target is still kept aside (it could not be put back),
 * the target is not rewritten: that copy may be all that is left of it. */
TEST_F(LineRewrite, ACopyStillKeptAsideBlocksTheRewrite) {
    winsim_write_file("C:\\WINDOWS\\KMW48RMV.TMP\\TARGET.INI", "old\r\n");
    winsim_write_file(TARGET, "cut");
    EXPECT_EQ(rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr), 0);
    EXPECT_EQ(winsim_file(TARGET), "cut");
    EXPECT_EQ(winsim_file("C:\\WINDOWS\\KMW48RMV.TMP\\TARGET.INI"), "old\r\n");
}

/* The new text cannot take the file's place, nor the old file come back (every move refused
 * from then on): both stay whole in the work folder, and the next run finishes the move. */
TEST_F(LineRewrite, BothMovesRefusedTheNextRunFinishes) {
    winsim_write_file(TARGET, "a\r\n");
    winsim_fail_calls_from("MoveFileA", 2);
    EXPECT_EQ(rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr), 0);
    EXPECT_EQ(winsim_file(std::string(WORK_FOLDER) + "\\TARGET.INI"), "a\r\n");
    winsim_fail_calls_from("MoveFileA", 0);
    finish_interrupted_rewrite(TARGET);
    EXPECT_EQ(winsim_file(TARGET), "a\r\nadded\r\n");
    EXPECT_TRUE(temporary_files().empty());
}

/* Text appended at the end stands on a line of its own, without an empty line before it. */
TEST_F(LineRewrite, AppendedTextStartsANewLineOnlyWhenNeeded) {
    struct {
        std::string before, after;
    } rows[] = {
        {"a\r\nb", "a\r\nb\r\nadded\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\nadded\r\n"},
        {"", "added\r\n"},
        {"a\x1A\r\n", "a\r\nadded\r\n"},
        {std::string(511, 'l'), std::string(511, 'l') + "\r\nadded\r\n"},
    };
    for (const auto &r : rows) {
        winsim_write_file(TARGET, r.before);
        rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr);
        EXPECT_EQ(winsim_file(TARGET), r.after) << r.before;
    }
}

/* Whatever fails, the target keeps every byte and no temporary file is left. */
TEST_F(LineRewrite, FailuresLeaveTheTargetAsItWas) {
    std::string big;
    for (int i = 0; i < 3000; i++)
        big += "line " + std::to_string(i) + " of a file larger than one read or write\r\n";
    struct {
        const char *what;
        const char *api;
        int nth;
    } rows[] = {
        {"no Windows directory", "GetWindowsDirectoryA", 1},
        {"the new text cannot be made", "CreateFileA", 1},
        {"the target cannot be opened", "_fsopen", 1},
        {"the first write fails (full disk)", "WriteFile", 1},
        {"a later write fails (full disk)", "WriteFile", 3},
        {"a read fails halfway", "_read", 2},
        {"the new text cannot be committed", "FlushFileBuffers", 1},
        {"the new text cannot take the old one's attributes", "SetFileAttributesA", 1},
        {"the old file cannot be committed", "FlushFileBuffers", 2},
        {"the old file cannot be moved aside", "MoveFileA", 1},
        {"the new text cannot take its place: the old one comes back", "MoveFileA", 2},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_write_file(TARGET, big);
        winsim_fail_call(r.api, r.nth);
        EXPECT_EQ(rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr), 0);
        EXPECT_EQ(winsim_file(TARGET), big);
        EXPECT_TRUE(temporary_files().empty());
    });
}

TEST_F(LineRewrite, ABigFileWithoutFailuresIsRewrittenWhole) {
    std::string big;
    for (int i = 0; i < 3000; i++)
        big += "line " + std::to_string(i) + " of a file larger than one read or write\r\n";
    winsim_write_file(TARGET, big);
    EXPECT_EQ(rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr), 1);
    EXPECT_EQ(winsim_file(TARGET), big + "added\r\n");
    EXPECT_TRUE(temporary_files().empty());
    EXPECT_GT(winsim_call_count("WriteFile"), 3) << "the failure rows above need several writes";
    EXPECT_GT(winsim_call_count("_read"), 2);
}

TEST_F(LineRewrite, AMissingTargetReadsAsEmpty) {
    EXPECT_EQ(rewrite(TARGET, 512, copy_piece, nullptr, nullptr), 0);
    EXPECT_FALSE(winsim_file_exists(TARGET)) << "nothing written, nothing made";
    EXPECT_EQ(rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr), 1);
    EXPECT_EQ(winsim_file(TARGET), "added\r\n");
    EXPECT_TRUE(temporary_files().empty());
    EXPECT_EQ(seen, "");
}

TEST_F(LineRewrite, ReadOnlyTargetStaysAsItWas) {
    winsim_write_file(TARGET, "a\r\n");
    winsim_set_read_only(TARGET, true);
    EXPECT_EQ(rewrite(TARGET, 512, copy_piece, append_line_at_end, nullptr), 0);
    winsim_set_read_only(TARGET, false);
    EXPECT_EQ(winsim_file(TARGET), "a\r\n");
    EXPECT_TRUE(temporary_files().empty());
}

} // namespace
