/* Fuzzes the setup launcher's recent-location path with arbitrary registry values.
 * Input: a flags byte; two bytes giving the length of MRUList (little-endian, modulo 512);
 * that many bytes of MRUList; the rest is the location value, any bytes and length.  Flags:
 * bit 0 stores the location as the key's unnamed value instead of under MRUList's first
 * letter; bit 1 leaves MRUList out; bit 2 makes the dialog, when it comes, choose
 * C:\SETUP\PMSETUP.EXE instead of being cancelled; bit 3 leaves the whole key out; bit 4
 * ends the stored location with a zero byte.  Before each run a call with a location that
 * fills its buffer leaves the launcher's program-wide buffers full of other bytes.
 * Invariants:
 *   - no read or write outside a buffer (AddressSanitizer);
 *   - the location is the value named by MRUList's first character, one byte or a
 *     double-byte character's two (the unnamed value when MRUList is empty, missing or
 *     longer than its 256 bytes), as text: up to a zero byte or the value's end; a value
 *     longer than 260 bytes, or one of 260 bytes without a zero, gives no location that
 *     fits;
 *   - location + "pmsetup.exe" is tried only when it fits 260 bytes with its zero, and so
 *     do its full path and that path's short form: the program then starts from that short
 *     path without a dialog when the file exists, and otherwise the dialog comes;
 *   - the result and the process start agree: 0 with the program started, or 0 after the
 *     cancel message with nothing started; every handle is closed. */
#include "fuzz_support.h"
#include "product_builder.h"

#include "entry.h"
#include "launcher.h"
#include "printer_check.h"

#include <stdint.h>
#include <string.h>

extern const winsim_string_row kmw48i2_strings[];

namespace {

const char *const RECENT_KEY = product::RECENT_LOCATIONS_KEY;
const char CHOSEN_SETUP[] = "C:\\SETUP\\PMSETUP.EXE";
const HWND OWNER = (HWND)(uintptr_t)0x4711;
const size_t LOCATION_CAPACITY = 260, LIST_CAPACITY = 256;
const char CANCEL_TEXT[] = "Setup process cancelled. \nYou may install the print manager by "
                           "running \nPMSETUP.EXE from the installation disk.";

/* Folders with the setup program: the root, a short folder, and the longest folders whose
 * path (248 bytes, trailing backslash included) and one byte longer. */
std::string deep_folder(size_t length) {
    return "C:\\" + std::string(120, 'D') + "\\" + std::string(length - 3 - 121 - 1, 'E') + "\\";
}

void set_up_machine() {
    winsim_reset();
    std::string host = product::text(product::LIBRARY_HOST);
    winsim_start_program(host, nullptr, host);
    HINSTANCE library = winsim_load_library(product::text(product::SETUP_LIBRARY), kmw48i2_strings);
    DllMain(library, DLL_PROCESS_ATTACH, nullptr);
    load_library_strings();
    for (const std::string &folder :
         {std::string("C:\\"), std::string("C:\\SETUP\\"), std::string("C:\\Disk 1\\"),
          deep_folder(248), deep_folder(249)})
        winsim_install_program(folder + "pmsetup.exe", [](const std::string &) { return 0u; });
}

/* A launch whose location fills the buffer (and so does not fit): the dialog is cancelled. */
void fill_buffers() {
    RegDeleteKeyA(HKEY_CURRENT_USER, RECENT_KEY);
    winsim_reg_set_string(HKEY_CURRENT_USER, RECENT_KEY, "MRUList", "a");
    winsim_reg_set_string(HKEY_CURRENT_USER, RECENT_KEY, "a", std::string(259, 'Z'));
    winsim_script_dialogs({winsim_cancel()});
    winsim_script_boxes({IDOK});
    check(launch_setup(OWNER) == 0, "the filling launch is cancelled");
    check(winsim_unused_dialog_answers() == 0 && winsim_unused_answers() == 0,
          "the filling launch shows the dialog and the message");
}

bool same_name(const std::string &a, const std::string &b) {
    return upper_ascii(a) == upper_ascii(b);
}

/* The first character of MRUList: a double-byte character's two bytes, or one byte. */
std::string first_character(const std::string &list) {
    unsigned char c = list.empty() ? 0 : (unsigned char)list[0];
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return list.substr(0, lead && list.size() > 1 && list[1] != '\0' ? 2 : 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    machine_for_input(set_up_machine, 4096);
    if (size < 3)
        return 0;
    unsigned flags = data[0];
    size_t list_length = (data[1] | (size_t)data[2] << 8) % 512;
    std::string rest((const char *)data + 3, size - 3);
    std::string list = rest.substr(0, list_length);
    std::string location = rest.substr(list.size());
    bool unnamed = flags & 1, no_list = flags & 2, choose = flags & 4, no_key = flags & 8;
    if (flags & 16)
        location += '\0';

    fill_buffers();
    SetCurrentDirectoryA("C:\\WINDOWS");
    memset(chosen_file, 0, sizeof chosen_file);
    RegDeleteKeyA(HKEY_CURRENT_USER, RECENT_KEY);
    std::string stored_name =
        unnamed || list.empty() || list[0] == '\0' ? "" : first_character(list);
    if (!no_key) {
        winsim_reg_set(HKEY_CURRENT_USER, RECENT_KEY, stored_name, REG_SZ, location);
        if (!no_list)
            winsim_reg_set(HKEY_CURRENT_USER, RECENT_KEY, "MRUList", REG_SZ, list);
    }
    winsim_script_dialogs({choose ? winsim_choose(CHOSEN_SETUP) : winsim_cancel()});
    winsim_script_boxes({IDOK});
    /* The location that the launcher is to read. */
    std::string name = no_list || list.size() > LIST_CAPACITY || list.empty() || list[0] == '\0'
                           ? ""
                           : first_character(list);
    bool found = !no_key && same_name(name, stored_name);
    bool fits = true;
    std::string text;
    if (found && location.size() > LOCATION_CAPACITY) {
        text = ""; /* the read fails: no location */
    } else if (found) {
        text = location.substr(0, location.find('\0'));
        fits = text.size() < LOCATION_CAPACITY; /* a full value without its zero */
    }
    std::string candidate = text + setup_file_name;
    fits = fits && candidate.size() < LOCATION_CAPACITY;
    char full_path[1024], short_path[1024];
    DWORD full_length =
        fits ? GetFullPathNameA(candidate.c_str(), sizeof full_path, full_path, nullptr) : 0;
    fits = fits && full_length > 0 && full_length < LOCATION_CAPACITY;
    DWORD short_length = fits ? GetShortPathNameA(full_path, short_path, sizeof short_path) : 0;
    bool tried = fits && short_length > 0 && short_length < LOCATION_CAPACITY;

    size_t starts_before = winsim_process_starts().size();
    size_t openings_before = winsim_dialog_openings().size();
    size_t boxes_before = winsim_boxes().size();
    int result = launch_setup(OWNER);

    size_t starts = winsim_process_starts().size() - starts_before;
    size_t openings = winsim_dialog_openings().size() - openings_before;
    size_t boxes = winsim_boxes().size() - boxes_before;
    check(winsim_open_handles() == 0, "every handle closed");
    if (tried) {
        check(openings == 0, "a fitting candidate that exists is started without a dialog");
        check(starts == 1 && winsim_process_starts().back().started &&
                  winsim_process_starts().back().command_line == short_path,
              "the candidate's short path is started");
        check(result == 0, "started: result 0");
        return 0;
    }
    check(openings == 1, "the dialog comes when the candidate does not fit or is missing");
    if (choose) {
        check(starts == 1 && winsim_process_starts().back().started &&
                  winsim_process_starts().back().command_line == CHOSEN_SETUP,
              "the chosen file is started");
        check(result == 0 && boxes == 0, "started: result 0, no message");
    } else {
        check(starts == 0, "cancelled: nothing started");
        check(result == 0 && boxes == 1 && winsim_boxes().back().text == CANCEL_TEXT,
              "cancelled: result 0 after the message");
    }
    return 0;
}
