/* Fuzzes the stand-in's profile reader and writer with arbitrary INI file bytes.
 * Invariants: a read never copies more than capacity - 1 bytes and always terminates; the
 * same read twice gives the same text; a key written with a plain value reads back as that
 * value, and a read of another section is not changed by the write. */
#include "winsim.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

void check(bool ok) {
    if (!ok)
        abort();
}

std::string read(const char *section, const char *key, DWORD capacity) {
    char buffer[300];
    memset(buffer, 0xCC, sizeof buffer);
    DWORD n = GetPrivateProfileStringA(section, key, "dflt  ", buffer, capacity, "FUZZ.INI");
    check(n < capacity || capacity == 0);
    check(buffer[n] == '\0');
    check((unsigned char)buffer[capacity] == 0xCC);
    check(strlen(buffer) <= n);
    return std::string(buffer, n);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool ready = (winsim_reset(), true); /* once, on the first input */
    (void)ready;
    if (size < 1)
        return 0;
    /* The first byte picks the section, key and capacity of the reads; the rest is the file. */
    const char *sections[] = {"General", "windows", "386Enh", "rename"};
    const char *keys[] = {"ExecuteFile", "load", "device", "NUL"};
    const DWORD capacities[] = {1, 2, 8, 256};
    unsigned pick = data[0];
    std::string bytes((const char *)data + 1, size - 1);
    winsim_write_file("C:\\WINDOWS\\FUZZ.INI", bytes);
    const char *section = sections[pick & 3], *key = keys[(pick >> 2) & 3];
    DWORD capacity = capacities[(pick >> 4) & 3];
    check(read(section, key, capacity) == read(section, key, capacity));
    std::string other = read("Other", "k", 256);
    check(WritePrivateProfileStringA("General", "InstallPath", "C:\\Orvane", "FUZZ.INI"));
    check(read("General", "InstallPath", 256) == "C:\\Orvane");
    check(read("Other", "k", 256) == other);
    return 0;
}
