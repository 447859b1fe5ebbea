/* Fuzzes the start-up entry removal with code page 932 bytes: the input is the execute file,
 * a zero byte, then the load list (each cut to its 511 bytes, as a profile read gives it),
 * put into the saved settings; then remove_startup_entry.
 * Invariants:
 *   - both saved texts come back upper-cased in the ASCII letters only: a byte changes only
 *     from a to z to its capital, and never when it is the second byte of a double-byte
 *     character;
 *   - a list of 510 bytes or more (it may have been read cut) leaves win.ini untouched;
 *   - otherwise the load line becomes the upper-cased list without the first occurrence of
 *     the upper-cased execute file that begins on a character; with no such occurrence
 *     win.ini is untouched;
 *   - the new list is never longer than the list read. */
#include "fuzz_support.h"
#include "winsim.h"

#include "removal.h"
#include "startup_and_folder.h"

#include <stdint.h>
#include <string.h>

namespace {

const char WIN_INI[] = "C:\\WINDOWS\\WIN.INI";
const std::string WIN_INI_BEFORE = "[windows]\r\nload=BEFORE\r\nrun=\r\n[other]\r\nload=x\r\n";

/* CP932 lead byte. */
bool lead_byte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

/* Offsets where a character begins, the end included. */
std::vector<size_t> character_starts(const std::string &text) {
    std::vector<size_t> starts;
    size_t i = 0;
    while (i < text.size()) {
        starts.push_back(i);
        i += lead_byte((unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1;
    }
    starts.push_back(text.size());
    return starts;
}

std::string upper_single_bytes(const std::string &text) {
    std::string out = text;
    std::vector<size_t> starts = character_starts(text);
    for (size_t k = 0; k + 1 < starts.size(); k++)
        if (starts[k + 1] - starts[k] == 1)
            out[starts[k]] = upper_ascii(out.substr(starts[k], 1))[0];
    return out;
}

/* `after` is `before` upper-cased in the single-byte letters only. */
void check_upper_cased(const std::string &before, const char *after) {
    check(strlen(after) == before.size(), "upper-casing keeps the length");
    std::vector<size_t> starts = character_starts(before);
    std::vector<bool> single(before.size(), false);
    for (size_t k = 0; k + 1 < starts.size(); k++)
        single[starts[k]] = starts[k + 1] - starts[k] == 1;
    for (size_t i = 0; i < before.size(); i++) {
        if (after[i] == before[i])
            continue;
        check(single[i] && before[i] >= 'a' && before[i] <= 'z' &&
                  after[i] == before[i] - 'a' + 'A',
              "only single-byte letters change, trail bytes never");
    }
    check(std::string(after) == upper_single_bytes(before), "every single-byte letter is capital");
}

/* A saved text as a profile read gives it: at most capacity - 1 bytes. */
std::string cut(const std::string &text, size_t capacity) {
    return text.substr(0, capacity - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    machine_for_input(winsim_reset);
    std::string input((const char *)data, size);
    size_t zero = input.find('\0');
    std::string execute_file = cut(input.substr(0, zero), EXECUTE_FILE_CAPACITY);
    std::string list = zero == std::string::npos ? std::string() : input.substr(zero + 1);
    list = cut(list.substr(0, list.find('\0')), STARTUP_LIST_CAPACITY);

    memset(saved.execute_file, 0, sizeof saved.execute_file);
    memset(saved.startup_list, 0, sizeof saved.startup_list);
    memcpy(saved.execute_file, execute_file.data(), execute_file.size());
    memcpy(saved.startup_list, list.data(), list.size());
    winsim_write_file(WIN_INI, WIN_INI_BEFORE);

    remove_startup_entry();
    check_upper_cased(execute_file, saved.execute_file);
    check_upper_cased(list, saved.startup_list);

    std::string upper_list = upper_single_bytes(list);
    std::string upper_entry = upper_single_bytes(execute_file);
    winsim_shut_down(); /* Windows writes its profile cache */
    std::string after = winsim_file(WIN_INI);
    if (list.size() >= STARTUP_LIST_CAPACITY - 2) {
        check(after == WIN_INI_BEFORE, "a list that may be cut is left alone");
        return 0;
    }
    for (size_t at : character_starts(upper_list)) {
        if (upper_list.compare(at, upper_entry.size(), upper_entry) != 0 ||
            at + upper_entry.size() > upper_list.size())
            continue;
        std::string new_list =
            upper_list.substr(0, at) + upper_list.substr(at + upper_entry.size());
        check(new_list.size() <= list.size(), "never longer");
        check(after == "[windows]\r\nload=" + new_list + "\r\nrun=\r\n[other]\r\nload=x\r\n",
              "the first occurrence on a character is removed");
        return 0;
    }
    check(after == WIN_INI_BEFORE, "no occurrence: win.ini untouched");
    return 0;
}
