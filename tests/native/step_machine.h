/* step_machine.h: a machine on which single removal steps run as the uninstaller runs them:
 * the uninstaller is the running program, so its string table is loaded, and helpers to
 * read back what the steps left. */
#ifndef TESTS_STEP_MACHINE_H
#define TESTS_STEP_MACHINE_H

#include "uninstaller_machine.h"

#include "messages.h"

#include <string>
#include <vector>

class RemovalStep : public Machine {
  protected:
    void SetUp() override {
        Machine::SetUp();
        start_uninstaller(UNINSTALLER_PATH);
    }
    static void start_uninstaller(const std::string &path) {
        program_instance =
            winsim_start_program(path, kmw48rmv_strings, path + " C:\\WINDOWS\\UNINST.EXE");
    }
};

/* The temporary files ("uns????.TMP") left in the Windows directory. */
inline std::vector<std::string> temporary_files() {
    std::vector<std::string> found;
    for (const std::string &name : winsim_list_dir("C:\\WINDOWS"))
        if (name.size() == 11 && upper_ascii(name.substr(0, 3)) == "UNS" &&
            upper_ascii(name.substr(7)) == ".TMP")
            found.push_back(name);
    /* The uninstaller's own folder for its temporary files, and what it holds. */
    if (winsim_dir_exists("C:\\WINDOWS\\KMW48RMV.TMP")) {
        found.push_back("KMW48RMV.TMP\\");
        for (const std::string &name : winsim_list_dir("C:\\WINDOWS\\KMW48RMV.TMP"))
            found.push_back("KMW48RMV.TMP\\" + name);
    }
    return found;
}

/* A text literal with every byte it holds, zero bytes included. */
template <size_t N> std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

/* Text-mode lines as the rewrite writes them: each "\n" of `lines` becomes CR LF. */
inline std::string crlf(const std::string &lines) {
    std::string out;
    for (char c : lines) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

#endif
