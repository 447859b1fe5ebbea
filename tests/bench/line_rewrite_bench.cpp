/* line_rewrite_bench.cpp: the system.ini clean-up on a large file, for scripts/bench-native.sh.
 *
 *   line_rewrite_bench generate <file> <bytes>
 *       writes a system.ini-like file of about <bytes> bytes: CR LF lines of mixed lengths
 *       (some longer than one piece), sections that repeat, and [386Enh] sections holding
 *       device lines, hvq.386 and hvqn.386 among them, in several letter cases;
 *   line_rewrite_bench sed-script
 *       prints the clean-up's deletion as a sed script;
 *   line_rewrite_bench rewrite <file> <result>
 *       puts <file> on a fresh machine as C:\WINDOWS\SYSTEM.INI, runs set_device_count(0) (the
 *       rewrite into the new text, the backup's copy, the moves into place), copies the new
 *       system.ini to <result> and prints the time of the whole clean-up (elapsed and processor
 *       time), the time of a plain CopyFileA of the same file (it makes one: the backup), and the
 * program's peak resident memory.  Nothing of the file is held in memory outside the system's own
 * buffers. */
#include "product_builder.h"

#include "messages.h"
#include "shared_device.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include <string>

extern const winsim_string_row kmw48rmv_strings[];

namespace {

unsigned long long random_state = 88172645463325252ull;
unsigned next_random(unsigned below) {
    random_state ^= random_state << 13;
    random_state ^= random_state >> 7;
    random_state ^= random_state << 17;
    return (unsigned)(random_state % below);
}

std::string letters(size_t length) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789 .,;_\\:*";
    std::string s;
    for (size_t i = 0; i < length; i++)
        s += alphabet[next_random(sizeof alphabet - 1)];
    return s;
}

/* One ordinary line: mostly short settings, some long values, a few longer than a piece. */
std::string setting_line() {
    unsigned kind = next_random(1000);
    size_t length = kind < 700   ? 4 + next_random(40)
                    : kind < 980 ? 40 + next_random(160)
                                 : 256 + next_random(500);
    return letters(1 + next_random(12)) + "=" + letters(length);
}

const char *const DEVICE_LINES[] = {
    "device=*vmm",          "device=hvq.386",         "DEVICE=HVQN.386",
    "device=hvq.386 ; fax", "Device=Hvq.386",         "device = hvq.386",
    "device=vhvq.386",      "device=hvqn.3861",       "device=C:\\WINDOWS\\SYSTEM\\vfax.386",
    "device=*vcd",          "device=hvqn.386;shared", "devicehvq.386"};
const char *const HEADERS[] = {"[boot]",    "[boot.description]", "[386Enh]", "[drivers]",
                               "[386enh]",  "[NonWindowsApp]",    "[mci]",    "[386Enh] ; again",
                               "[386Enhx]", "[power.drv]"};

int generate(const char *path, unsigned long long bytes) {
    FILE *out = fopen(path, "wb");
    if (!out)
        return 1;
    std::string block;
    unsigned long long written = 0;
    while (written < bytes) {
        block.clear();
        const char *header = HEADERS[next_random(sizeof HEADERS / sizeof HEADERS[0])];
        block += std::string(header) + "\r\n";
        bool enhanced = strncmp(header, "[386Enh]", 8) == 0 || strcmp(header, "[386enh]") == 0;
        unsigned lines = 5 + next_random(60);
        for (unsigned i = 0; i < lines; i++) {
            if (enhanced && next_random(4) == 0)
                block += DEVICE_LINES[next_random(sizeof DEVICE_LINES / sizeof DEVICE_LINES[0])];
            else
                block += setting_line();
            block += "\r\n";
        }
        fwrite(block.data(), 1, block.size(), out);
        written += block.size();
    }
    return fclose(out) == 0 ? 0 : 1;
}

bool copy_file(const std::string &from, const std::string &to) {
    FILE *in = fopen(from.c_str(), "rb");
    FILE *out = fopen(to.c_str(), "wb");
    bool ok = in && out;
    static char buffer[1 << 16];
    size_t n;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = fwrite(buffer, 1, n, out) == n;
    if (in)
        fclose(in);
    if (out && fclose(out) != 0)
        ok = false;
    return ok;
}

double seconds_since(const timespec &start) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - start.tv_sec) + (double)(now.tv_nsec - start.tv_nsec) / 1e9;
}

/* Processor time of the program so far, user and system. */
double cpu_seconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int rewrite(const char *input, const char *result) {
    winsim_reset();
    std::string uninstaller = product::text(product::UNINSTALLER);
    program_instance = winsim_start_program(uninstaller, kmw48rmv_strings, uninstaller + " X");
    /* The product's device and its count, from the product's description. */
    product::install_registry();
    winsim_write_file(product::text(product::DEVICE), "MZ device");
    std::string system_ini = winsim_host_path("C:\\WINDOWS") + "/SYSTEM.INI";
    if (!copy_file(input, system_ini))
        return 1;

    /* What one CopyFileA of the file costs, for comparison: the clean-up copies it once (the
     * backup) besides writing the new text. */
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    if (!CopyFileA("C:\\WINDOWS\\SYSTEM.INI", "C:\\WINDOWS\\COPY.INI", FALSE))
        return 1;
    double copy_seconds = seconds_since(start);
    DeleteFileA("C:\\WINDOWS\\COPY.INI");

    double cpu_before = cpu_seconds();
    clock_gettime(CLOCK_MONOTONIC, &start);
    set_device_count(0);
    double rewrite_seconds = seconds_since(start);
    double rewrite_cpu_seconds = cpu_seconds() - cpu_before;

    /* The new system.ini carries the name as the uninstaller spells it. */
    if (!copy_file(winsim_host_path("C:\\WINDOWS\\SYSTEM.INI"), result))
        return 1;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("rewrite_seconds %.4f rewrite_cpu_seconds %.4f copy_file_a_seconds %.4f "
           "peak_rss_kib %ld\n",
           rewrite_seconds, rewrite_cpu_seconds, copy_seconds, usage.ru_maxrss);
    winsim_cleanup();
    return 0;
}

/* The clean-up's rule (product::without_device_lines) as a sed script, so that `sed -i` is
 * timed doing the same deletion: the hold space keeps the current section's header. */
int sed_script() {
    auto quoted = [](const char *text) {
        std::string out;
        for (; *text; text++)
            out += std::string(strchr("[].*^$\\/", *text) ? "\\" : "") + *text;
        return out;
    };
    std::string lines;
    for (const char *line : product::DEVICE_LINES)
        lines += (lines.empty() ? "" : "\\|") + quoted(line);
    printf("/^\\[/{h;b};x;/^%s/{x;/^\\(%s\\)/Id;b};x\n", quoted(product::DEVICE_SECTION).c_str(),
           lines.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && strcmp(argv[1], "generate") == 0)
        return generate(argv[2], strtoull(argv[3], nullptr, 10));
    if (argc == 4 && strcmp(argv[1], "rewrite") == 0)
        return rewrite(argv[2], argv[3]);
    if (argc == 2 && strcmp(argv[1], "sed-script") == 0)
        return sed_script();
    fprintf(stderr, "usage: %s generate <file> <bytes> | rewrite <file> <result> | sed-script\n",
            argv[0]);
    return 2;
}
