/* The installation folder and the print manager's start-up entry: the folder goes only when no
 * product file is left in it and it is empty; the entry is taken out of the load line of
 * win.ini, which is otherwise written back byte for byte as it was read, upper-cased. */
#include "uninstaller_machine.h"

#include "messages.h"
#include "removal.h"
#include "startup_and_folder.h"

#include <string.h>

namespace {

const char WIN_INI[] = "C:\\WINDOWS\\WIN.INI";
/* The load-line rows spell the print manager's path in many ways, each readable only with a
 * short one: theirs is C:\Orvane\KMW48PM.EXE.  The folder rows use the product's own. */
const char EXE[] = "C:\\Orvane\\KMW48PM.EXE";
const std::string FOLDER = product::INSTALL_FOLDER;

/* win.ini around a load line; `load` null leaves the key out. */
std::string win_ini(const char *load) {
    std::string text = "[windows]\r\n";
    if (load)
        text += std::string("load=") + load + "\r\n";
    return text + "run=\r\nNullPort=None\r\n\r\n[Desktop]\r\nWallpaper=(None)\r\n";
}

/* win.ini as Windows leaves it on the disk once it has written its profile cache. */
std::string win_ini_at_shutdown() {
    winsim_shut_down();
    return winsim_file(WIN_INI);
}

class StartupAndFolder : public Machine {
  protected:
    /* Saves the settings as the uninstaller does at its start. */
    void save_settings(const std::string &product_ini, const std::string &win_ini_text) {
        winsim_write_file(product::text(product::PRODUCT_INI), product_ini);
        winsim_write_file(WIN_INI, win_ini_text);
        program_instance =
            winsim_start_program(product::text(product::UNINSTALLER), kmw48rmv_strings, "x");
        read_saved_settings();
    }
    void save_startup(const std::string &execute_file, const std::string &win_ini_text) {
        save_settings("[General]\r\nExecuteFile=" + execute_file + "\r\nInstallPath=" + FOLDER +
                          "\r\n",
                      win_ini_text);
    }
};

/* ---- Start-up entry ---- */

struct startup_row {
    const char *what;
    std::string execute_file;
    std::string load;  /* as in win.ini */
    std::string after; /* the load line written back; "-" leaves win.ini untouched */
};

TEST_F(StartupAndFolder, StartupEntryRemovedFromTheLoadLine) {
    const std::string sjis_dir = "C:\\\x83\x61\x83\x62"; /* trail bytes 'a' and 'b' */
    const startup_row rows[] = {
        {"alone", EXE, "c:\\orvane\\kmw48pm.exe", ""},
        {"first", EXE, "C:\\Orvane\\KMW48PM.EXE C:\\Tools\\clock.exe", " C:\\TOOLS\\CLOCK.EXE"},
        {"middle", EXE, "a.exe C:\\Orvane\\kmw48pm.exe b.exe", "A.EXE  B.EXE"},
        {"last: the separating blank stays", EXE, "C:\\Tools\\clock.exe C:\\Orvane\\KMW48PM.EXE",
         "C:\\TOOLS\\CLOCK.EXE "},
        {"twice: only the first goes", EXE,
         "x.exe C:\\Orvane\\KMW48PM.EXE y.exe c:\\orvane\\kmw48pm.exe",
         "X.EXE  Y.EXE C:\\ORVANE\\KMW48PM.EXE"},
        {"absent: untouched even in letter case", EXE, "C:\\Tools\\clock.exe", "-"},
        {"a longer name is not the entry", "C:\\Orvane\\KMW48PM.EXE2", "C:\\Orvane\\KMW48PM.EXE",
         "-"},
        {"part of a longer name is removed as found", EXE, "C:\\Orvane\\KMW48PM.EXE.OLD", ".OLD"},
        {"empty execute file matches at the start", "", "c:\\tools\\clock.exe",
         "C:\\TOOLS\\CLOCK.EXE"},
        {"Japanese folder of the entry", sjis_dir + "\\kmw48pm.exe",
         sjis_dir + "\\kmw48pm.exe c:\\tools\\clock.exe", " C:\\TOOLS\\CLOCK.EXE"},
        {"Japanese folder of another program keeps its bytes", EXE, sjis_dir + "\\clock.exe " + EXE,
         sjis_dir + "\\CLOCK.EXE "},
        {"an occurrence inside a double-byte character is none", EXE, std::string("\x83") + EXE,
         "-"},
        {"the next occurrence that starts a character goes", EXE,
         std::string("\x83") + EXE + " " + EXE, std::string("\x83") + "C:\\ORVANE\\KMW48PM.EXE "},
        {"a lead byte at the very end", EXE, EXE + std::string(" z\x83"), " Z\x83"},
    };
    for_each_row(rows, [&](const startup_row &r) {
        save_startup(r.execute_file, win_ini(r.load.c_str()));
        remove_startup_entry();
        std::string expected = r.after == "-" ? win_ini(r.load.c_str()) : win_ini(r.after.c_str());
        EXPECT_EQ(win_ini_at_shutdown(), expected);
    });
}

/* Both texts are upper-cased in place, ASCII letters only. */
TEST_F(StartupAndFolder, SavedTextsAreUpperCasedInPlace) {
    const std::string japanese = "c:\\\x83\x61\x83\x7A\xB1z\\kmw48pm.exe";
    save_startup(japanese, win_ini("c:\\tools\\clock.exe \x83\x61"));
    remove_startup_entry();
    EXPECT_EQ(std::string(saved.execute_file), "C:\\\x83\x61\x83\x7A\xB1Z\\KMW48PM.EXE");
    EXPECT_EQ(std::string(saved.startup_list), "C:\\TOOLS\\CLOCK.EXE \x83\x61");
    EXPECT_EQ(win_ini_at_shutdown(), win_ini("c:\\tools\\clock.exe \x83\x61"));
}

TEST_F(StartupAndFolder, EmptyExecuteFileAndNoLoadKeyWritesAnEmptyLoadKey) {
    save_startup("", win_ini(nullptr));
    remove_startup_entry();
    EXPECT_EQ(win_ini_at_shutdown(), "[windows]\r\nrun=\r\nNullPort=None\r\nload=\r\n\r\n"
                                     "[Desktop]\r\nWallpaper=(None)\r\n");
}

/* A load value is read into 512 bytes.  One that filled them may have been cut and is left
 * alone; one that leaves room for a double-byte character was read whole. */
TEST_F(StartupAndFolder, LoadLineThatFilledItsFieldIsLeftAlone) {
    struct {
        size_t length;
        bool written;
    } rows[] = {{509, true}, {510, false}, {511, false}, {600, false}};
    for_each_row(rows, [&](const auto &r) {
        std::string load = std::string(EXE) + " ";
        while (load.size() + 10 <= r.length)
            load += "c:\\x.exe ";
        load += std::string(r.length - load.size(), 'y');
        ASSERT_EQ(load.size(), r.length);
        save_startup(EXE, win_ini(load.c_str()));
        ASSERT_EQ(strlen(saved.startup_list), r.length < 511 ? r.length : 511u);
        remove_startup_entry();
        std::string rest = upper_ascii(load.substr(strlen(EXE)));
        EXPECT_EQ(win_ini_at_shutdown(), win_ini(r.written ? rest.c_str() : load.c_str()))
            << r.length;
    });
}

/* ---- Install folder ---- */

struct folder_row {
    const char *what;
    std::vector<std::string> entries; /* in the install folder; a folder ends with a backslash */
    bool removed;
    const char *current_directory;
};

TEST_F(StartupAndFolder, InstallFolderRemovedOnlyWhenNoProductFileIsLeftAndEmpty) {
    const folder_row rows[] = {
        {"empty", {}, true, "C:\\WINDOWS\\SYSTEM"},
        {"product file", {"KMW48PM.EXE"}, false, product::INSTALL_FOLDER},
        {"product file in small letters",
         {"readme.txt", "kmw48.hlp"},
         false,
         product::INSTALL_FOLDER},
        {"product folder", {"KmData\\"}, false, product::INSTALL_FOLDER},
        {"name without a dot", {"kmfile"}, false, product::INSTALL_FOLDER},
        {"long name whose 8.3 alias matches", {"k m notes.txt"}, false, product::INSTALL_FOLDER},
        {"other files", {"readme.txt", "Orvane.hlp"}, false, "C:\\WINDOWS\\SYSTEM"},
        {"other folder", {"Data\\"}, false, "C:\\WINDOWS\\SYSTEM"},
        {"km inside a name", {"akm.txt", "Orvane km.txt"}, false, "C:\\WINDOWS\\SYSTEM"},
    };
    for_each_row(rows, [&](const folder_row &r) {
        winsim_make_dir(FOLDER);
        for (const std::string &entry : r.entries)
            if (entry.back() == '\\')
                winsim_make_dir(FOLDER + "\\" + entry);
            else
                winsim_write_file(FOLDER + "\\" + entry, "x");
        save_startup(EXE, win_ini(EXE));
        remove_install_folder();
        EXPECT_EQ(winsim_dir_exists(FOLDER), !r.removed);
        EXPECT_EQ(winsim_current_directory(), r.current_directory);
        EXPECT_EQ(winsim_list_dir(FOLDER).size(), r.entries.size());
    });
}

struct path_row {
    const char *what;
    std::string install_path;
    std::string folder; /* made empty before */
};

TEST_F(StartupAndFolder, InstallPathForms) {
    const path_row rows[] = {
        {"trailing backslash", "C:\\Orvane\\", "C:\\Orvane"},
        {"other letter case", "c:\\ORVANE", "C:\\Orvane"},
        {"Japanese name", "C:\\\x83\x49\x83\x8B\x83\x6F\x81\x5B\x83\x93",
         "C:\\\x83\x49\x83\x8B\x83\x6F\x81\x5B\x83\x93"},
    };
    for_each_row(rows, [&](const path_row &r) {
        winsim_make_dir(r.folder);
        save_settings("[General]\r\nInstallPath=" + r.install_path + "\r\n", win_ini(EXE));
        remove_install_folder();
        EXPECT_FALSE(winsim_dir_exists(r.folder));
        EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS\\SYSTEM");
    });
}

TEST_F(StartupAndFolder, NestedInstallFolderLeavesItsParent) {
    winsim_make_dir("C:\\Program Files\\Orvane Type2");
    save_settings("[General]\r\nInstallPath=C:\\Program Files\\Orvane Type2\r\n", win_ini(EXE));
    remove_install_folder();
    EXPECT_FALSE(winsim_dir_exists("C:\\Program Files\\Orvane Type2"));
    EXPECT_TRUE(winsim_dir_exists("C:\\Program Files"));
}

/* A folder already gone cannot be made current: the search runs where the uninstaller was,
 * and the current directory is not restored afterwards. */
TEST_F(StartupAndFolder, InstallFolderAlreadyGone) {
    struct {
        const char *what;
        const char *current_before;
        const char *current_after;
    } rows[] = {
        /* C:\WINDOWS holds the uninstaller itself, kmw48rmv.exe */
        {"product file where the uninstaller runs", "C:\\WINDOWS", "C:\\WINDOWS"},
        {"no product file where the uninstaller runs", "C:\\Temp", "C:\\WINDOWS\\SYSTEM"},
    };
    for_each_row(rows, [&](const auto &r) {
        winsim_make_dir("C:\\Temp");
        save_startup(EXE, win_ini(EXE));
        ASSERT_TRUE(SetCurrentDirectoryA(r.current_before));
        remove_install_folder();
        EXPECT_EQ(winsim_current_directory(), r.current_after);
        EXPECT_TRUE(winsim_dir_exists("C:\\Temp"));
        EXPECT_FALSE(winsim_dir_exists(FOLDER));
    });
}

TEST_F(StartupAndFolder, EmptyInstallPathRemovesNothing) {
    winsim_make_dir("C:\\Temp");
    save_settings("[General]\r\nInstallPath=\r\n", win_ini(EXE));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Temp"));
    remove_install_folder();
    EXPECT_TRUE(winsim_dir_exists("C:\\Temp"));
    EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(winsim_list_dir("C:\\").size(), 2u); /* Temp and WINDOWS */
}

} // namespace
