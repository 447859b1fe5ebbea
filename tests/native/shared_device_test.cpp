/* The shared count of the virtual device hvq.386: how stored values read, how the count is
 * set, and the device's removal at 0 with the clean-up of system.ini. */
#include "uninstaller_machine.h"

#include "shared_device.h"

namespace {

using product::SHARED_DLLS_KEY;
const std::string SHARED_DLLS = SHARED_DLLS_KEY;
const std::string DEVICE = product::text(product::DEVICE);
const char SYSTEM_INI[] = "C:\\WINDOWS\\SYSTEM.INI";
const char BACKUP[] = "C:\\WINDOWS\\SYSTEM.KMW";

class SharedDevice : public RemovalStep {
  protected:
    void SetUp() override {
        RemovalStep::SetUp();
        winsim_write_file(DEVICE, "MZ device");
        winsim_write_file("C:\\WINDOWS\\SYSTEM\\hvqn.386", "MZ other device");
        winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS, "C:\\WINDOWS\\SYSTEM\\OTHER.DLL", 2);
    }
    static void set_count(DWORD count) {
        winsim_reg_set_dword(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, count);
    }
    static bool count_value(DWORD *type, std::string *data) {
        return winsim_reg_get(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, type, data);
    }
};

TEST_F(SharedDevice, StoredValuesAndTheCountTheyGive) {
    struct {
        const char *what;
        bool key;
        const char *name; /* nullptr: no value */
        DWORD type;
        std::string data;
        DWORD count;
    } rows[] = {
        {"no key", false, nullptr, 0, "", 0},
        {"no value", true, nullptr, 0, "", 0},
        {"REG_DWORD 0", true, DEVICE.c_str(), REG_DWORD, bytes("\0\0\0\0"), 0},
        {"REG_DWORD 1", true, DEVICE.c_str(), REG_DWORD, bytes("\1\0\0\0"), 1},
        {"REG_DWORD 5", true, DEVICE.c_str(), REG_DWORD, bytes("\5\0\0\0"), 5},
        {"REG_DWORD, all bits", true, DEVICE.c_str(), REG_DWORD, "\xFF\xFF\xFF\xFF", 0xFFFFFFFF},
        {"REG_BINARY of 4 bytes, low byte first", true, DEVICE.c_str(), REG_BINARY,
         "\x01\x02\x03\x04", 0x04030201},
        {"REG_BINARY of 2 bytes fills the low bytes", true, DEVICE.c_str(), REG_BINARY, "\x05\x01",
         0x0105},
        {"REG_BINARY of 1 byte", true, DEVICE.c_str(), REG_BINARY, "\x07", 7},
        {"an empty value", true, DEVICE.c_str(), REG_BINARY, "", 0},
        {"REG_SZ of 2 bytes counts by its bytes", true, DEVICE.c_str(), REG_SZ, bytes("3\0"), 0x33},
        {"REG_SZ longer than 4 bytes is no count", true, DEVICE.c_str(), REG_SZ, bytes("1234\0"),
         0},
        {"a value of 8 bytes is no count", true, DEVICE.c_str(), REG_BINARY,
         bytes("\2\0\0\0\0\0\0\0"), 0},
        {"the value's name ignores letter case", true, "c:\\windows\\system\\HVQ.386", REG_DWORD,
         bytes("\3\0\0\0"), 3},
        {"another device's value", true, "C:\\WINDOWS\\SYSTEM\\hvqn.386", REG_DWORD,
         bytes("\3\0\0\0"), 0},
    };
    for_each_row(rows, [&](const auto &r) {
        if (!r.key)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY);
        if (r.name)
            winsim_reg_set(HKEY_LOCAL_MACHINE, SHARED_DLLS, r.name, r.type, r.data);
        EXPECT_EQ(read_device_count(), r.count);
    });
}

/* The 8-byte row above rests on this platform behaviour: a 4-byte buffer is too small. */
TEST_F(SharedDevice, EightBytesIntoFourGiveMoreData) {
    winsim_reg_set(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, REG_BINARY, bytes("\2\0\0\0\0\0\0\0"));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SHARED_DLLS_KEY, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    DWORD count = 0, size = sizeof count;
    EXPECT_EQ(RegQueryValueExA(key, DEVICE.c_str(), nullptr, nullptr, (LPBYTE)&count, &size),
              (LONG)ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    RegCloseKey(key);
}

TEST_F(SharedDevice, UnreadableCountReadsZero) {
    set_count(4);
    winsim_fail_call("RegQueryValueExA", 1);
    EXPECT_EQ(read_device_count(), 0u);
    winsim_fail_call("RegOpenKeyExA", 1);
    EXPECT_EQ(read_device_count(), 0u);
    EXPECT_EQ(read_device_count(), 4u);
}

/* A count other than 0 is stored as a REG_DWORD; the device and system.ini stay, and no
 * backup is made. */
TEST_F(SharedDevice, SettingACountStoresADword) {
    const std::string system_ini = "[386Enh]\r\ndevice=hvq.386\r\n";
    for_each_row({5u, 1u, 0x80000000u}, [&](DWORD n) {
        winsim_reg_set(HKEY_LOCAL_MACHINE, SHARED_DLLS, DEVICE, REG_BINARY, "\x09\x00");
        winsim_write_file(SYSTEM_INI, system_ini);
        set_device_count(n);
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(count_value(&type, &data)) << n;
        EXPECT_EQ(type, (DWORD)REG_DWORD) << n;
        EXPECT_EQ(data, std::string((const char *)&n, 4)) << n;
        EXPECT_EQ(read_device_count(), n);
        EXPECT_TRUE(winsim_file_exists(DEVICE)) << n;
        EXPECT_EQ(winsim_file(SYSTEM_INI), system_ini) << n;
        EXPECT_FALSE(winsim_file_exists(BACKUP)) << n;
    });
}

TEST_F(SharedDevice, SettingWithoutTheKeyTouchesNothing) {
    const std::string system_ini = "[386Enh]\r\ndevice=hvq.386\r\n";
    winsim_reset();
    RemovalStep::SetUp();
    winsim_write_file(DEVICE, "MZ device");
    winsim_write_file(SYSTEM_INI, system_ini);
    for (DWORD n : {0u, 3u}) {
        set_device_count(n);
        EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, SHARED_DLLS)) << n;
        EXPECT_TRUE(winsim_file_exists(DEVICE)) << n;
        EXPECT_EQ(winsim_file(SYSTEM_INI), system_ini) << n;
        EXPECT_FALSE(winsim_file_exists(BACKUP)) << n;
    }
}

TEST_F(SharedDevice, ZeroRemovesTheValueTheFileAndTheDeviceLines) {
    const std::string before = "[boot]\r\n"
                               "shell=Explorer.exe\r\n"
                               "[386Enh]\r\n"
                               "device=*vpicd\r\n"
                               "device=hvq.386\r\n"
                               "device=hvqn.386\r\n"
                               "keyboard=*vkd\r\n";
    set_count(1);
    winsim_write_file(SYSTEM_INI, before);
    winsim_write_file(BACKUP, "an earlier backup");
    set_device_count(0);
    EXPECT_FALSE(count_value(nullptr, nullptr));
    EXPECT_TRUE(winsim_reg_get(HKEY_LOCAL_MACHINE, SHARED_DLLS, "C:\\WINDOWS\\SYSTEM\\OTHER.DLL",
                               nullptr, nullptr))
        << "other counts stay";
    EXPECT_FALSE(winsim_file_exists(DEVICE));
    EXPECT_TRUE(winsim_file_exists("C:\\WINDOWS\\SYSTEM\\hvqn.386")) << "only its line goes";
    EXPECT_EQ(winsim_file(BACKUP), before);
    EXPECT_EQ(winsim_file(SYSTEM_INI), "[boot]\r\n"
                                       "shell=Explorer.exe\r\n"
                                       "[386Enh]\r\n"
                                       "device=*vpicd\r\n"
                                       "keyboard=*vkd\r\n");
    EXPECT_TRUE(temporary_files().empty());
}

TEST_F(SharedDevice, SystemIniCleanUp) {
    const std::string comment(300, 'c');
    struct {
        const char *what;
        std::string before, after;
    } rows[] = {
        {"device lines in capitals inside [386Enh] go",
         "[386Enh]\r\nDEVICE=HVQ.386\r\nDevice=HvqN.386\r\nother=1\r\n", "[386Enh]\r\nother=1\r\n"},
        {"device lines in other sections stay",
         "[boot]\r\ndevice=hvq.386\r\n[386Enh]\r\n[drivers]\r\ndevice=hvqn.386\r\n",
         "[boot]\r\ndevice=hvq.386\r\n[386Enh]\r\n[drivers]\r\ndevice=hvqn.386\r\n"},
        {"lines before the first header stay", "device=hvq.386\r\n[386Enh]\r\ndevice=hvq.386\r\n",
         "device=hvq.386\r\n[386Enh]\r\n"},
        {"a line that goes on after the device line goes",
         "[386Enh]\r\ndevice=hvq.386 ; fax\r\ndevice=hvq.3861\r\ndevice=hvqn.386x\r\n",
         "[386Enh]\r\n"},
        {"blanks around the equals sign: the line stays",
         "[386Enh]\r\ndevice = hvq.386\r\ndevice =hvqn.386\r\n",
         "[386Enh]\r\ndevice = hvq.386\r\ndevice =hvqn.386\r\n"},
        {"blanks before the line: it stays", "[386Enh]\r\n device=hvq.386\r\n",
         "[386Enh]\r\n device=hvq.386\r\n"},
        {"other devices stay", "[386Enh]\r\ndevice=hvq.38\r\ndevice=vhvq.386\r\n",
         "[386Enh]\r\ndevice=hvq.38\r\ndevice=vhvq.386\r\n"},
        {"a header in small letters does not match", "[386enh]\r\ndevice=hvq.386\r\n",
         "[386enh]\r\ndevice=hvq.386\r\n"},
        {"a header with more text matches over its first 8 bytes",
         "[386Enh] ; devices\r\ndevice=hvq.386\r\n", "[386Enh] ; devices\r\n"},
        {"blanks before the bracket: no header, the section goes on",
         "[386Enh]\r\n [boot]\r\ndevice=hvq.386\r\n", "[386Enh]\r\n [boot]\r\n"},
        {"the last line without LF", "[386Enh]\r\nkeyboard=*vkd\r\ndevice=hvq.386",
         "[386Enh]\r\nkeyboard=*vkd\r\n"},
        {"a last line without LF that stays keeps its end", "[386Enh]\r\ndevice=hvq.386\r\nx=1",
         "[386Enh]\r\nx=1"},
        {"a long device line goes with all its pieces",
         "[386Enh]\r\ndevice=hvq.386 ;" + comment + comment + "\r\nnext=1\r\n",
         "[386Enh]\r\nnext=1\r\n"},
        {"a long device line ending the file goes whole",
         "[386Enh]\r\nx=1\r\ndevice=hvqn.386 ;" + comment, "[386Enh]\r\nx=1\r\n"},
        {"a long line that stays keeps all its pieces",
         "[386Enh]\r\nx=" + comment + "\r\ndevice=hvq.386\r\ny=" + comment + "\r\n",
         "[386Enh]\r\nx=" + comment + "\r\ny=" + comment + "\r\n"},
        {"a long line's second piece is no device line",
         "[386Enh]\r\nx=" + std::string(253, 'v') + "device=hvq.386\r\n",
         "[386Enh]\r\nx=" + std::string(253, 'v') + "device=hvq.386\r\n"},
        {"a long line's second piece is no header",
         "[386Enh]\r\nx=" + std::string(253, 'v') + "[boot]\r\ndevice=hvq.386\r\n",
         "[386Enh]\r\nx=" + std::string(253, 'v') + "[boot]\r\n"},
        {"input ends at Ctrl-Z", "[386Enh]\r\ndevice=hvq.386\r\nx=1\r\n\x1A[boot]\r\n",
         "[386Enh]\r\nx=1\r\n"},
        {"zero bytes are kept", bytes("[386Enh]\r\na=\0\r\ndevice=hvq.386\0\r\n"),
         bytes("[386Enh]\r\na=\0\r\n")},
    };
    for_each_row(rows, [&](const auto &r) {
        set_count(1);
        winsim_write_file(SYSTEM_INI, r.before);
        set_device_count(0);
        EXPECT_EQ(winsim_file(SYSTEM_INI), r.after);
        EXPECT_EQ(winsim_file(BACKUP), r.before);
        EXPECT_TRUE(temporary_files().empty());
    });
}

/* Without system.ini nothing loads the device: the count's value and the device file go; no
 * system.ini is created, and an earlier backup stays as it is. */
TEST_F(SharedDevice, NoSystemIni) {
    for_each_row({false, true}, [&](bool earlier_backup) {
        set_count(1);
        if (earlier_backup)
            winsim_write_file(BACKUP, "[386Enh]\r\ndevice=hvq.386\r\n");
        set_device_count(0);
        EXPECT_FALSE(count_value(nullptr, nullptr)) << earlier_backup;
        EXPECT_FALSE(winsim_file_exists(DEVICE)) << earlier_backup;
        EXPECT_FALSE(winsim_file_exists(SYSTEM_INI)) << earlier_backup;
        EXPECT_EQ(winsim_file(BACKUP), earlier_backup ? "[386Enh]\r\ndevice=hvq.386\r\n" : "")
            << earlier_backup;
        EXPECT_TRUE(temporary_files().empty()) << earlier_backup;
    });
}

/* The device goes only once system.ini no longer loads it: when the backup cannot be made
 * whole, or system.ini cannot be rewritten, system.ini, the device's file and its count stay,
 * so that the next run tries again, and a backup is never cut short or lost. */
TEST_F(SharedDevice, DeviceStaysWhenSystemIniCannotBeCleanedUp) {
    const std::string before = "[386Enh]\r\ndevice=hvq.386\r\nkeyboard=*vkd\r\n";
    const std::string earlier = "[386Enh]\r\ndevice=hvq.386\r\n";
    struct {
        const char *what;
        const char *api;
        int nth; /* a MoveFileA: one more when an earlier backup goes aside first */
        bool read_only_backup;
    } rows[] = {
        {"the backup's copy meets a full disk", "WriteFile", 2, false},
        {"the backup cannot be put in place", "MoveFileA", 1, false},
        {"system.ini cannot be read for its backup", "CreateFileA", 2, false},
        {"an earlier backup is read-only", "", 0, true},
        {"system.ini cannot be read (held open by another program)", "_fsopen", 1, false},
        {"the rewrite meets a full disk", "WriteFile", 1, false},
        {"the new system.ini cannot take its place", "MoveFileA", 3, false},
    };
    for (const auto &r : rows) {
        for_each_row({false, true}, [&](bool earlier_backup) {
            SCOPED_TRACE(std::string(r.what) + (earlier_backup ? ", earlier backup" : ""));
            set_count(1);
            winsim_write_file(SYSTEM_INI, before);
            if (earlier_backup || r.read_only_backup)
                winsim_write_file(BACKUP, earlier);
            winsim_set_read_only(BACKUP, r.read_only_backup);
            if (r.api[0])
                winsim_fail_call(r.api,
                                 r.nth + (earlier_backup && std::string(r.api) == "MoveFileA"));
            set_device_count(0);
            winsim_set_read_only(BACKUP, false);
            EXPECT_EQ(winsim_file(SYSTEM_INI), before);
            EXPECT_TRUE(count_value(nullptr, nullptr));
            EXPECT_TRUE(winsim_file_exists(DEVICE));
            std::string backup = winsim_file(BACKUP);
            if (earlier_backup || r.read_only_backup)
                EXPECT_TRUE(backup == earlier || backup == before) << backup;
            else
                EXPECT_TRUE(!winsim_file_exists(BACKUP) || backup == before) << backup;
            EXPECT_TRUE(temporary_files().empty());
        });
    }
}

/* A system.ini without device lines is not rewritten, and an earlier backup, which may be
 * the only copy with the device lines, is kept; without one a backup is made as always. */
TEST_F(SharedDevice, NothingToCleanUpKeepsAnEarlierBackup) {
    const std::string clean = "[386Enh]\r\nkeyboard=*vkd\r\n";
    const std::string original = "[386Enh]\r\ndevice=hvq.386\r\nkeyboard=*vkd\r\n";
    for_each_row({false, true}, [&](bool earlier_backup) {
        set_count(1);
        winsim_write_file(SYSTEM_INI, clean);
        if (earlier_backup)
            winsim_write_file(BACKUP, original);
        set_device_count(0);
        EXPECT_EQ(winsim_file(SYSTEM_INI), clean) << earlier_backup;
        EXPECT_EQ(winsim_file(BACKUP), earlier_backup ? original : clean) << earlier_backup;
        EXPECT_FALSE(count_value(nullptr, nullptr)) << earlier_backup;
        EXPECT_FALSE(winsim_file_exists(DEVICE)) << earlier_backup;
        EXPECT_TRUE(temporary_files().empty()) << earlier_backup;
    });
}

} // namespace
