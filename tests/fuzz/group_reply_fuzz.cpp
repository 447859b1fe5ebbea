/* Fuzzes the Program Manager group removal with the Program Manager's reply.  Input: a
 * flags byte, the group name (up to a zero byte, without CR and LF bytes, cut to 255 bytes,
 * as a profile read gives it), then the rest.  With flag bit 0 clear the rest is the whole
 * reply, any bytes; with it set the reply is one that the Program Manager writes for a group
 * of `count` items (count = the rest's first byte), its file being the group's folder,
 * followed by the rest's other bytes.
 * Invariants:
 *   - no crash and no read or write outside a buffer (AddressSanitizer);
 *   - every DDE object is released;
 *   - for a name without a comma the delete command is sent exactly when the reply read
 *     (its first 256 bytes, up to a zero byte) has a third comma-separated field (runs of
 *     commas as one separator) that reads as 0 by the C library's strtol, unless the name
 *     must stand in quotes (it holds a bracket or a parenthesis) and holds a quote itself:
 *     such a name is never deleted;
 *   - for a Program Manager's reply, the group is deleted only when it holds no items, and
 *     always then when the reply's first line was read whole (not cut at 256 bytes) and the
 *     name holds no quote;
 *   - the command sent is "[DeleteGroup(" name ")]" with its zero, the name in quotes when it
 *     holds a comma, a bracket or a parenthesis (byte for byte). */
#include "fuzz_support.h"
#include "winsim.h"

#include "program_group.h"
#include "removal.h"

#include <stdint.h>
#include <string.h>

namespace {

const size_t REPLY_LIMIT = 256;
const std::string GROUP_FOLDER = "C:\\WINDOWS\\Start Menu\\Programs\\";

void set_up_machine() {
    winsim_reset();
    winsim_progman_start();
}

/* The item count of a reply for a name without a comma, as documented: the third field of
 * the reply split at runs of commas, by strtol; -1 when there is no third field. */
long third_field_count(const std::string &reply) {
    std::vector<std::string> fields;
    size_t at = 0;
    while (at < reply.size()) {
        size_t comma = reply.find(',', at);
        size_t end = comma == std::string::npos ? reply.size() : comma;
        if (end > at)
            fields.push_back(reply.substr(at, end - at));
        at = end + 1;
    }
    if (fields.size() < 3)
        return -1;
    return strtol(fields[2].c_str(), nullptr, 10);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    machine_for_input(set_up_machine, 4096);
    if (size < 1)
        return 0;
    bool program_manager_reply = (data[0] & 1) != 0;
    std::string input((const char *)data + 1, size - 1);
    size_t zero = input.find('\0');
    /* A name read from an INI file: no line end, no zero, at most 255 bytes. */
    std::string name;
    for (char c : input.substr(0, zero))
        if (c != '\r' && c != '\n')
            name += c;
    name = name.substr(0, FOLDER_NAME_CAPACITY - 1);
    std::string rest = zero == std::string::npos ? std::string() : input.substr(zero + 1);
    long count = -1;
    std::string reply = rest;
    if (program_manager_reply) {
        count = rest.empty() ? 0 : (unsigned char)rest[0];
        reply = "\"" + name + "\"," + GROUP_FOLDER + name + "," + std::to_string(count) + ",1\r\n" +
                (rest.empty() ? std::string() : rest.substr(1));
    }
    winsim_progman_reply_with(reply);
    memset(saved.folder_name, 0, sizeof saved.folder_name);
    memcpy(saved.folder_name, name.data(), name.size());
    size_t commands_before = winsim_progman_commands().size();

    remove_program_group();

    check(winsim_dde_open_objects() == 0, "every DDE object released");
    size_t commands = winsim_progman_commands().size() - commands_before;
    check(commands <= 1, "at most one command");
    bool deleted = commands == 1;
    bool comma = name.find(',') != std::string::npos;
    bool quoted = name.find_first_of(",()[]") != std::string::npos;
    bool unquotable = quoted && name.find('"') != std::string::npos;
    if (unquotable)
        check(!deleted, "a name that cannot be quoted is never deleted");
    if (deleted) {
        std::string expected =
            quoted ? "[DeleteGroup(\"" + name + "\")]" : "[DeleteGroup(" + name + ")]";
        check(winsim_progman_commands().back() == expected + std::string(1, '\0'),
              "the delete command");
    }
    /* What the group request reads: the first 256 bytes, as a text.  An empty name gives no
     * item name, and such a request gets no reply. */
    std::string read = name.empty() ? std::string() : reply.substr(0, REPLY_LIMIT);
    read = read.substr(0, read.find('\0'));
    if (!comma && !unquotable)
        check(deleted == (third_field_count(read) == 0), "deleted exactly for a count of 0");
    if (program_manager_reply) {
        if (deleted)
            check(count == 0, "a group with items is never deleted");
        bool whole_first_line = read.find('\n') != std::string::npos;
        if (count == 0 && whole_first_line && name.find('"') == std::string::npos)
            check(deleted, "an empty group is deleted");
    }
    return 0;
}
