/* vendor_setup_machine.h: the vendor-setup library on a machine of the stand-in: loaded into
 * the printer-installation host and attached, and its export called as the host calls it. */
#ifndef TESTS_VENDOR_SETUP_MACHINE_H
#define TESTS_VENDOR_SETUP_MACHINE_H

#include "machine.h"

#include "entry.h"
#include "launcher.h"
#include "printer_check.h"

#include <string.h>

#include <string>
#include <vector>

extern const winsim_string_row kmw48i2_strings[];

/* Row `id` of the library's string table in the ANSI code page. */
inline std::string library_text(unsigned id) {
    const char *utf8 = winsim_string_utf8(kmw48i2_strings, id);
    return utf8 ? winsim_ansi(utf8) : std::string();
}

using product::DRIVER;
const char NEW_PRINTER[] = "Orvane Fax"; /* the printer just installed */
const char NET_PORT[] = "\\\\SERVER\\FAX";
/* A print manager's folder and program, for the rows that name one in the INI file. */
const char PM_FOLDER[] = "C:\\ORVANE";
const char PM_PROGRAM[] = "C:\\ORVANE\\KMW48PM.EXE";
const HWND HOST_WINDOW = (HWND)(uintptr_t)0x4711;

const char CANCEL_TEXT[] = "Setup process cancelled. \nYou may install the print manager by "
                           "running \nPMSETUP.EXE from the installation disk.";

class VendorSetup : public Machine {
  protected:
    HINSTANCE library = nullptr;

    void SetUp() override {
        Machine::SetUp();
        load_library();
    }

    /* The host running, the library loaded into it and attached.  A freshly loaded library's
     * chosen-file buffer is empty. */
    void load_library() {
        std::string host = product::text(product::LIBRARY_HOST);
        winsim_start_program(host, nullptr, host);
        library = winsim_load_library(product::text(product::SETUP_LIBRARY), kmw48i2_strings);
        memset(chosen_file, 0, sizeof chosen_file);
        EXPECT_TRUE(DllMain(library, DLL_PROCESS_ATTACH, nullptr));
    }

    /* Calls the export as the host does: its window, junk in the reserved arguments. */
    int run_setup(const std::string &printer_name) {
        return OrvaneSetup(HOST_WINDOW, 0xDEADBEEF, printer_name.c_str(), 0xCAFEF00D);
    }

    /* The product INI file with the given ExecuteFile (ANSI bytes). */
    void set_execute_file(const std::string &execute_file) {
        winsim_write_file(product::text(product::PRODUCT_INI),
                          "[General]\r\nExecuteFile=" + execute_file +
                              "\r\nInstallPath=C:\\ORVANE\r\n");
    }
};

#endif
