/* Fuzzes the deletion list: arbitrary bytes as wininit.ini, then write_deletion_list.
 * Input: the first byte picks the setup-library flag (bit 0) and whether wininit.ini is
 * missing (bit 1, the rest then unused); the rest is the file.
 * Invariants, on the text as text mode reads it (CR LF as LF, ending at Ctrl-Z):
 *   - every input line survives byte for byte and in order; the only lines added are the
 *     deletion entries ("NUL=...") right after each line that begins with "[rename]" (any
 *     letter case), and "[rename]" itself with the entries at the end when no such line
 *     existed (after a line feed that ends an open last line);
 *   - the output is written in text mode (every LF as CR LF) and no temporary file is left;
 *   - running it again on its own output gives that output plus one more set of entries
 *     after every header line, and nothing else. */
#include "fuzz_support.h"
#include "product_builder.h"

#include "deletion_list.h"
#include "messages.h"

#include <stdint.h>

extern const winsim_string_row kmw48rmv_strings[];

namespace {

const char WININIT[] = "C:\\WINDOWS\\WININIT.INI";

/* The product's files and the uninstaller, where the product puts them. */
void set_up_machine() {
    winsim_reset();
    std::string uninstaller = product::text(product::UNINSTALLER);
    program_instance = winsim_start_program(uninstaller, kmw48rmv_strings, uninstaller + " X");
    product::install_product_files();
}

/* The deletion entries as text mode reads them. */
std::string entries_read(bool with_setup_library) {
    std::string out;
    for (const std::string &entry : product::deletion_entries(with_setup_library))
        out += text_mode_read(entry);
    return out;
}

bool is_header(const std::string &line) {
    return begins_ignoring_case(line, "[rename]");
}

/* The text the deletion list makes of `text`; `headers` gets the count of header lines. */
std::string with_entries(const std::string &text, const std::string &entries, int *headers) {
    std::string out;
    *headers = 0;
    for (const std::string &line : lines_of(text)) {
        out += line;
        if (!is_header(line))
            continue;
        ++*headers;
        if (line.back() != '\n')
            out += '\n';
        out += entries;
    }
    if (*headers == 0) {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += "[rename]\n" + entries;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    machine_for_input(set_up_machine);
    if (size < 1)
        return 0;
    int keep_setup_library = data[0] & 1;
    bool missing = (data[0] & 2) != 0;
    std::string before = missing ? std::string() : std::string((const char *)data + 1, size - 1);
    if (missing)
        DeleteFileA(WININIT);
    else
        winsim_write_file(WININIT, before);
    std::string entries = entries_read(!keep_setup_library);

    write_deletion_list(keep_setup_library);
    std::string once = winsim_file(WININIT);
    int headers_before;
    std::string expected = with_entries(text_mode_read(before), entries, &headers_before);
    check(once == text_mode_write(expected), "input lines kept, entries after each header");
    check(temporary_files().empty(), "no temporary file left");

    write_deletion_list(keep_setup_library);
    std::string twice = winsim_file(WININIT);
    int headers_once;
    std::string again = with_entries(text_mode_read(once), entries, &headers_once);
    check(headers_once == (headers_before == 0 ? 1 : headers_before), "no header added twice");
    check(twice == text_mode_write(again), "second run adds entries after each header only");
    check(twice.size() == once.size() + headers_once * text_mode_write(entries).size(),
          "second run adds one set of entries per header");
    return 0;
}
