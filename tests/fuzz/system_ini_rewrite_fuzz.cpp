/* Fuzzes the system.ini clean-up: arbitrary bytes as system.ini, then set_device_count(0).
 * Invariants, on the text as text mode reads it (CR LF as LF, ending at Ctrl-Z):
 *   - every line survives byte for byte and in order, except the device lines
 *     (product::without_device_lines), which go whole, however many pieces of 255 bytes they
 *     are read in;
 *   - nothing is added; the output is written in text mode (every LF as CR LF);
 *   - the backup SYSTEM.KMW holds the input byte for byte, unless no line went and there was
 *     a backup already: that one stays as it was; no temporary file is left;
 *   - running it twice gives the same as once (idempotent). */
#include "fuzz_support.h"
#include "product_builder.h"

#include "messages.h"
#include "shared_device.h"

#include <stdint.h>

extern const winsim_string_row kmw48rmv_strings[];

namespace {

const char SYSTEM_INI[] = "C:\\WINDOWS\\SYSTEM.INI";
const char BACKUP[] = "C:\\WINDOWS\\SYSTEM.KMW";

void set_up_machine() {
    winsim_reset();
    std::string uninstaller = product::text(product::UNINSTALLER);
    program_instance = winsim_start_program(uninstaller, kmw48rmv_strings, uninstaller + " X");
    /* The count's key must exist for the device to be removed: the product's registry. */
    product::install_registry();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    machine_for_input(set_up_machine);
    std::string before((const char *)data, size);
    winsim_write_file(SYSTEM_INI, before);
    bool earlier_backup = winsim_file_exists(BACKUP);
    std::string earlier = winsim_file(BACKUP);

    set_device_count(0);
    std::string once = winsim_file(SYSTEM_INI);
    std::string expected = text_mode_write(product::without_device_lines(text_mode_read(before)));
    check(once == (expected == text_mode_write(text_mode_read(before)) ? before : expected),
          "every other line kept, in order, nothing added");
    bool unchanged = once == before;
    check(winsim_file(BACKUP) == (unchanged && earlier_backup ? earlier : before),
          "backup holds the input (or, nothing to clean up, the earlier one)");
    check(temporary_files().empty(), "no temporary file left");

    set_device_count(0);
    check(winsim_file(SYSTEM_INI) == once, "idempotent");
    return 0;
}
