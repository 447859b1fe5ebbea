/* The uninstaller's string table as the program sees it: the rows that do not exist, and
 * texts cut at the capacity of the message-box buffers.  (The rows' texts are the .rc file's
 * own: the native build reads the same table that windres compiles.) */
#include "uninstaller_machine.h"

#include "messages.h"

namespace {

class StringTable : public Machine {};

TEST_F(StringTable, RowsFourteenAndFifteenDoNotExist) {
    HINSTANCE instance =
        winsim_start_program(product::text(product::UNINSTALLER), kmw48rmv_strings, "x");
    char buffer[64] = "kumquat";
    EXPECT_EQ(LoadStringA(instance, 14, buffer, sizeof buffer), 0);
    EXPECT_EQ(LoadStringA(instance, 15, buffer, sizeof buffer), 0);
    EXPECT_EQ(winsim_string_utf8(kmw48rmv_strings, 17), nullptr);
}

TEST_F(StringTable, TheLongestMessagesFitTheirBuffers) {
    for (unsigned id : {2u, 3u, 4u, 5u, 13u})
        EXPECT_LT(uninstaller_text(id).size(), (size_t)MESSAGE_TEXT_CAPACITY) << id;
    EXPECT_LT(uninstaller_text(1).size(), (size_t)CAPTION_CAPACITY);
}

/* A table of the same shape with rows too long for the boxes' buffers. */
const std::string long_text(700, 'x');
const std::string long_caption = std::string(126, 'c') + "ｶﾅ"; /* 128 bytes in CP932 */
const std::string dbcs_text = std::string(510, 'y') + "漢字";  /* a lead byte at 511 */
const winsim_string_row long_rows[] = {
    {1, long_caption.c_str()}, {2, long_text.c_str()}, {3, dbcs_text.c_str()}, {0, nullptr}};

TEST_F(StringTable, ShowMessageCutsTextsAtTheirBufferCapacity) {
    program_instance = winsim_start_program(product::text(product::UNINSTALLER), long_rows, "x");
    winsim_script_boxes({IDOK, IDOK});
    EXPECT_EQ(show_message(winsim_desktop_window(), 2, 1, 0x40), IDOK);
    EXPECT_EQ(show_message(winsim_desktop_window(), 3, 1, 0x10), IDOK);
    const std::vector<winsim_box> &boxes = winsim_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, std::string(511, 'x'));
    EXPECT_EQ(boxes[0].caption, std::string(126, 'c') + "\xB6"); /* 127 bytes: ｶ kept, ﾅ cut */
    EXPECT_EQ(boxes[0].style, 0x40u);
    EXPECT_EQ(boxes[0].owner, winsim_desktop_window());
    /* The double-byte character that would straddle the limit is left out whole. */
    EXPECT_EQ(boxes[1].text, std::string(510, 'y'));
}

TEST_F(StringTable, ShowMessageHandsOnWhatTheBoxReturns) {
    program_instance =
        winsim_start_program(product::text(product::UNINSTALLER), kmw48rmv_strings, "x");
    const int answers[] = {IDOK, IDYES, IDNO, 0};
    for (int answer : answers) {
        winsim_script_boxes({answer});
        EXPECT_EQ(show_message(nullptr, 4, 1, 0x34), answer);
    }
}

} // namespace
