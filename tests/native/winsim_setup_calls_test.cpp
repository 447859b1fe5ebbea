/* The stand-in's behaviour for the calls of the vendor-setup library: the level-2 printer
 * listing, the open-file dialog, the key's default value and paths given by their short
 * aliases.  Each row is documented Windows 95/98 behaviour (see the units' comments). */
#include "machine.h"

#include <commdlg.h>
#include <winspool.h>

#include <string.h>

namespace {

class SetupCalls : public Machine {};

/* ---- Spooler ---- */

TEST_F(SetupCalls, EnumPrintersSizeQueryThenRecordsInsideTheBlock) {
    winsim_add_printer("Orvane Fax", "LPT1:", "Orvane Type2", 3);
    winsim_add_printer("Laser", "\\\\SERVER\\LASER", "Laser Driver", 0);
    ASSERT_EQ(winsim_printers(), (std::vector<std::string>{"Orvane Fax", "Laser"}));
    DWORD needed = 0, returned = 99;
    SetLastError(0);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, 0u);
    ASSERT_GT(needed, 2 * sizeof(PRINTER_INFO_2A));

    std::vector<unsigned char> block(needed + 16, 0xCC);
    EXPECT_FALSE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed - 1, &needed, &returned))
        << "one byte short";
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(block[0], 0xCC) << "nothing written into a block too small";

    ASSERT_TRUE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed, &needed, &returned));
    ASSERT_EQ(returned, 2u);
    const PRINTER_INFO_2A *p = (const PRINTER_INFO_2A *)block.data();
    EXPECT_STREQ(p[0].pPrinterName, "Orvane Fax");
    EXPECT_STREQ(p[0].pPortName, "LPT1:");
    EXPECT_STREQ(p[0].pDriverName, "Orvane Type2");
    EXPECT_EQ(p[0].cJobs, 3u);
    EXPECT_STREQ(p[1].pPrinterName, "Laser");
    EXPECT_STREQ(p[1].pPortName, "\\\\SERVER\\LASER");
    EXPECT_EQ(p[1].cJobs, 0u);
    const char *begin = (const char *)block.data(), *end = begin + needed;
    for (DWORD i = 0; i < returned; i++)
        for (const char *text : {p[i].pPrinterName, p[i].pPortName, p[i].pDriverName})
            EXPECT_TRUE(text >= begin && text + strlen(text) < end) << "texts inside the block";
    for (size_t i = needed; i < block.size(); i++)
        ASSERT_EQ(block[i], 0xCC) << "wrote past the size given";
}

TEST_F(SetupCalls, EnumPrintersWithNoPrinters) {
    DWORD needed = 99, returned = 99;
    EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(needed, 0u);
    EXPECT_EQ(returned, 0u);
    SetLastError(0);
    EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), 124u) << "ERROR_INVALID_LEVEL";
}

/* ---- Open-file dialog ---- */

struct dialog_state {
    char file[32];
    OPENFILENAMEA settings;
    explicit dialog_state(const char *initial) {
        memset(file, 0, sizeof file);
        memset(&settings, 0, sizeof settings);
        strcpy(file, initial);
        settings.lStructSize = 76;
        settings.lpstrFilter = "Programs\0*.exe\0All\0*.*\0";
        settings.lpstrFile = file;
        settings.nMaxFile = sizeof file;
        settings.lpstrDefExt = "EXE";
    }
};

TEST_F(SetupCalls, OpenFileDialogAnswers) {
    winsim_write_file("C:\\Disk1\\Setup.exe", "MZ");
    winsim_make_dir("C:\\WORK");
    const struct {
        winsim_dialog_answer answer;
        BOOL result;
        const char *file;       /* the buffer afterwards */
        WORD offset, extension; /* nFileOffset, nFileExtension */
        const char *directory;  /* current directory afterwards */
    } rows[] = {
        {winsim_choose("c:\\disk1\\SETUP.EXE"), TRUE, "C:\\Disk1\\Setup.exe", 9, 15, "C:\\Disk1"},
        {winsim_type("C:\\WORK\\new"), TRUE, "C:\\WORK\\new.EXE", 8, 12, "C:\\WORK"},
        {winsim_type("readme.txt"), TRUE, "C:\\WINDOWS\\readme.txt", 11, 18, "C:\\WINDOWS"},
        {winsim_type("\\tools\\x"), TRUE, "C:\\tools\\x.EXE", 9, 11, "C:\\WINDOWS"},
        {winsim_cancel(), FALSE, "START", 0, 0, "C:\\WINDOWS"},
        {winsim_type("C:\\A-rather-long-folder-name\\x.exe"), FALSE, nullptr, 0, 0, "C:\\WINDOWS"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.answer.path);
        SetCurrentDirectoryA("C:\\WINDOWS");
        dialog_state d("START");
        winsim_script_dialogs({r.answer});
        EXPECT_EQ(GetOpenFileNameA(&d.settings), r.result);
        if (r.file) {
            EXPECT_STREQ(d.file, r.file);
        } else {
            WORD size;
            memcpy(&size, d.file, sizeof size);
            EXPECT_EQ(size, 35u) << "FNERR_BUFFERTOOSMALL: the size needed in the first bytes";
        }
        EXPECT_EQ(d.settings.nFileOffset, r.offset);
        EXPECT_EQ(d.settings.nFileExtension, r.extension);
        EXPECT_EQ(winsim_current_directory(), r.directory);
    }
    const std::vector<winsim_dialog_opening> &openings = winsim_dialog_openings();
    ASSERT_EQ(openings.size(), 6u);
    EXPECT_EQ(openings[0].initial_file, "START");
    EXPECT_EQ(openings[0].filter, std::string("Programs\0*.exe\0All\0*.*\0\0", 24));
    EXPECT_EQ(openings[0].default_extension, "EXE");
    EXPECT_TRUE(openings[0].other_fields_zero);
    EXPECT_EQ(winsim_unscripted_dialogs(), 0);
}

/* The stand-in's own records of what a test did not script: no fixture checks them here. */
class UnscriptedDialogs : public ::testing::Test {
  protected:
    void SetUp() override { winsim_reset(); }
};

TEST_F(UnscriptedDialogs, OpenFileDialogWithoutAnAnswerOrWithAWrongSize) {
    dialog_state d("START");
    EXPECT_FALSE(GetOpenFileNameA(&d.settings));
    EXPECT_EQ(winsim_unscripted_dialogs(), 1);
    EXPECT_STREQ(d.file, "START");

    winsim_script_dialogs({winsim_type("C:\\X.EXE")});
    d.settings.lStructSize = 80;
    EXPECT_FALSE(GetOpenFileNameA(&d.settings)) << "CDERR_STRUCTSIZE";
    EXPECT_EQ(winsim_unused_dialog_answers(), 1);
    d.settings.lStructSize = sizeof(OPENFILENAMEA);
    d.settings.nFilterIndex = 1;
    EXPECT_TRUE(GetOpenFileNameA(&d.settings));
    EXPECT_FALSE(winsim_dialog_openings().back().other_fields_zero);
}

/* ---- Registry ---- */

TEST_F(SetupCalls, DefaultValueExistsOnlyOnceSet) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "InstallLocationsMRU", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char buffer[16] = "kumquat";
    DWORD size = sizeof buffer, type = 0xDEAD;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, &type, (LPBYTE)buffer, &size),
              (LONG)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(type, (DWORD)REG_NONE) << "Windows 95/98 clear the type";
    EXPECT_EQ(size, sizeof buffer) << "and leave the size";
    EXPECT_STREQ(buffer, "kumquat") << "and the buffer";
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, (LPBYTE)buffer, &size),
              (LONG)ERROR_FILE_NOT_FOUND);

    const char location[] = "A:\\";
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE *)location, sizeof location),
              ERROR_SUCCESS);
    for (const char *name : {"", (const char *)nullptr}) {
        size = sizeof buffer;
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, (LPBYTE)buffer, &size),
                  ERROR_SUCCESS);
        EXPECT_STREQ(buffer, "A:\\");
        EXPECT_EQ(size, sizeof location);
        EXPECT_EQ(type, (DWORD)REG_SZ);
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

/* ---- Paths ---- */

TEST_F(SetupCalls, ShortAliasesNameTheirLongEntries) {
    winsim_write_file("C:\\Program Files\\Disk One\\oldpmsetup.exe", "MZ");
    const struct {
        const char *path;
        DWORD attributes;
    } rows[] = {
        {"C:\\PROGRA~1", FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\progra~1\\DISKON~1\\OLDPMS~1.EXE", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\Program Files\\DISKON~1\\oldpmsetup.exe", FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\PROGRA~2", INVALID_FILE_ATTRIBUTES},
    };
    for (const auto &r : rows)
        EXPECT_EQ(GetFileAttributesA(r.path), r.attributes) << r.path;
    winsim_install_program("C:\\Program Files\\Disk One\\oldpmsetup.exe",
                           [](const std::string &) { return (DWORD)0; });
    char line[] = "C:\\PROGRA~1\\DISKON~1\\OLDPMS~1.EXE";
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = 68;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    EXPECT_EQ(winsim_process_starts()[0].image, "C:\\Program Files\\Disk One\\oldpmsetup.exe");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace
