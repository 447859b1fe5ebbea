/* fuzz_support.h: what the fuzz targets share: the machine each input runs on, the check that
 * stops a run when an invariant is broken, the C library's text mode as the system reads and
 * writes its configuration files, and ASCII letter case as the system compares INI lines. */
#ifndef TESTS_FUZZ_SUPPORT_H
#define TESTS_FUZZ_SUPPORT_H

#include "product_builder.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

/* Sets the machine up for an input: on the first one, and again every `period` inputs when
 * a period is given, so that the stand-in's records of boxes, DDE and process starts stay
 * small. */
inline void machine_for_input(void (*set_up)(), unsigned period = 0) {
    static unsigned inputs = 0;
    if (inputs == 0 || (period != 0 && inputs >= period)) {
        set_up();
        inputs = 0;
    }
    inputs++;
}

/* Stops the run with the invariant's name; libFuzzer keeps the input as a crash. */
inline void check(bool ok, const char *invariant) {
    if (ok)
        return;
    fprintf(stderr, "invariant broken: %s\n", invariant);
    abort();
}

/* The text a text-mode read gives of a file's bytes: each CR LF becomes LF (a CR alone
 * stays) and the input ends at the first Ctrl-Z. */
inline std::string text_mode_read(const std::string &bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); i++) {
        if (bytes[i] == '\x1A')
            break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += bytes[i];
    }
    return text;
}

/* The bytes a text-mode write gives of a text: each LF becomes CR LF. */
inline std::string text_mode_write(const std::string &text) {
    std::string bytes;
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

/* The lines of a text, each with its LF; the last one may lack it. */
inline std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t end = lf == std::string::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

using product::begins_ignoring_case;
using product::upper_ascii;

using product::temporary_files;

#endif
