/* vendor_setup_machine.h: a machine on which the printer-installation host has loaded the
 * vendor-setup library, and the library's export called as the host calls it. */
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

const char LIBRARY_PATH[] = "C:\\WINDOWS\\SYSTEM\\KMW48I2.DLL";
const char HOST_PATH[] = "C:\\WINDOWS\\RUNDLL32.EXE";
const char PRODUCT_INI[] = "C:\\WINDOWS\\KMW48.INI";
const char DRIVER[] = "Orvane Type2";
const char PM_FOLDER[] = "C:\\ORVANE";
const char PM_PROGRAM[] = "C:\\ORVANE\\KMW48PM.EXE";
const char NEW_PRINTER[] = "Orvane Fax";
const char NET_PORT[] = "\\\\SERVER\\FAX";
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
        winsim_start_program(HOST_PATH, nullptr, HOST_PATH);
        library = winsim_load_library(LIBRARY_PATH, kmw48i2_strings);
        memset(chosen_file, 0, sizeof chosen_file);
        EXPECT_TRUE(DllMain(library, DLL_PROCESS_ATTACH, nullptr));
    }

    void TearDown() override {
        EXPECT_EQ(winsim_unscripted_dialogs(), 0)
            << "an open-file dialog came that was not expected";
        EXPECT_EQ(winsim_unused_dialog_answers(), 0) << "an expected open-file dialog did not come";
        EXPECT_EQ(winsim_open_handles(), 0) << "handles left open";
        EXPECT_EQ(winsim_global_blocks_in_use(), 0) << "printer list left allocated";
        Machine::TearDown();
    }

    /* Calls the export as the host does: its window, junk in the reserved arguments. */
    int run_setup(const std::string &printer_name) {
        return OrvaneSetup(HOST_WINDOW, 0xDEADBEEF, printer_name.c_str(), 0xCAFEF00D);
    }

    /* The product INI file with the given ExecuteFile (ANSI bytes). */
    void set_execute_file(const std::string &execute_file) {
        winsim_write_file(PRODUCT_INI, "[General]\r\nExecuteFile=" + execute_file +
                                           "\r\nInstallPath=C:\\ORVANE\r\n");
    }
};

#endif
