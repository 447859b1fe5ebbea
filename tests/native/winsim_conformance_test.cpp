/* The stand-in's own behaviour, where the system relies on it: each row is a Windows 95/98
 * behaviour that the Win32 documentation states (and, where the project's notes say so,
 * that was measured under Wine). */
#include "machine.h"

#include <share.h>
#include <stdio.h>
#include <string.h>

namespace {

class Conformance : public Machine {};

/* ---- Profiles ---- */

TEST_F(Conformance, ProfileReads) {
    winsim_write_file("C:\\WINDOWS\\TEST.INI", "[General]\r\n"
                                               "Key=value\r\n"
                                               "  Spaced  =  padded value  \r\n"
                                               "Quoted=\"in quotes \"\r\n"
                                               "Empty=\r\n"
                                               "[general]\r\n"
                                               "Second=not seen\r\n"
                                               "[Other]\r\n"
                                               "Key=other\r\n");
    struct {
        const char *section, *key, *def;
        DWORD capacity;
        const char *want;
        DWORD result;
    } rows[] = {
        {"General", "Key", "d", 64, "value", 5},
        {"GENERAL", "KEY", "d", 64, "value", 5}, /* letter case ignored */
        {"General", "Spaced", "d", 64, "padded value", 12},
        {"General", "Quoted", "d", 64, "in quotes ", 10}, /* quotes dropped */
        {"General", "Empty", "d", 64, "", 0},
        {"General", "Missing", " ", 64, "", 0}, /* default's trailing blank stripped */
        {"General", "Missing", "ab  ", 64, "ab", 2},
        {"General", "Missing", "!!!!!", 260, "!!!!!", 5},
        {"Nowhere", "Key", "dflt", 64, "dflt", 4},
        {"Other", "Key", "d", 64, "other", 5},
        {"General", "Key", "d", 4, "val", 3}, /* at most capacity - 1 bytes */
        {"General", "Key", "d", 1, "", 0},
        {"General", "Second", "d", 64, "d", 1}, /* only the first section counts */
    };
    for (const auto &r : rows) {
        char buffer[300];
        memset(buffer, 0xCC, sizeof buffer);
        DWORD n = GetPrivateProfileStringA(r.section, r.key, r.def, buffer, r.capacity, "test.ini");
        EXPECT_STREQ(buffer, r.want) << r.section << "/" << r.key;
        EXPECT_EQ(n, r.result) << r.section << "/" << r.key;
        EXPECT_EQ((unsigned char)buffer[r.capacity], 0xCC) << "wrote past the capacity";
    }
}

TEST_F(Conformance, ProfileOfAMissingFileGivesTheDefault) {
    char buffer[16];
    EXPECT_EQ(GetPrivateProfileStringA("General", "Key", " ", buffer, sizeof buffer, "NONE.INI"),
              0u);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Conformance, ProfileFileWithAFolderIsReadThere) {
    winsim_write_file("C:\\Orvane\\A.INI", "[s]\r\nk=there\r\n");
    winsim_write_file("C:\\WINDOWS\\A.INI", "[s]\r\nk=windows\r\n");
    char buffer[16];
    GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, "C:\\Orvane\\A.INI");
    EXPECT_STREQ(buffer, "there");
    SetCurrentDirectoryA("C:\\Orvane");
    GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, "A.INI");
    EXPECT_STREQ(buffer, "windows") << "a name without a folder is the Windows directory's";
}

TEST_F(Conformance, ProfileWritesKeepEveryOtherByte) {
    struct {
        const char *before, *section, *key, *value, *after;
    } rows[] = {
        {"[windows]\r\nload=a b\r\nrun=\r\n", "windows", "load", "A",
         "[windows]\r\nload=A\r\nrun=\r\n"},
        {"[windows]\r\nrun=\r\n\r\n[x]\r\n", "windows", "load", "v",
         "[windows]\r\nrun=\r\nload=v\r\n\r\n[x]\r\n"},
        {"[x]\r\ny=1", "windows", "load", "v", "[x]\r\ny=1\r\n[windows]\r\nload=v\r\n"},
        {"", "windows", "load", "v", "[windows]\r\nload=v\r\n"},
        {"[Windows]\r\nLOAD=old\r\n", "windows", "load", "new", "[Windows]\r\nLOAD=new\r\n"},
        {"[windows]\r\nload=x\r\nrun=y\r\n", "windows", "load", nullptr, "[windows]\r\nrun=y\r\n"},
    };
    for (const auto &r : rows) {
        winsim_write_file("C:\\WINDOWS\\WIN.INI", r.before);
        EXPECT_TRUE(WriteProfileStringA(r.section, r.key, r.value));
        EXPECT_EQ(winsim_file("C:\\WINDOWS\\WIN.INI"), r.after) << r.before;
    }
}

/* ---- Strings ---- */

const winsim_string_row rows932[] = {{1, "AB漢字"}, {2, "ｱﾝｲﾝｽﾄｰﾙ"}, {0, nullptr}};

TEST_F(Conformance, LoadStringCutsWithoutSplittingADoubleByteCharacter) {
    HINSTANCE instance = winsim_load_library("C:\\WINDOWS\\SYSTEM\\T.DLL", rows932);
    struct {
        UINT id;
        int capacity;
        const char *want;
        int result;
    } rows[] = {
        {1, 64, "AB\x8A\xBF\x8E\x9A", 6}, {1, 4, "AB", 2}, {1, 5, "AB\x8A\xBF", 4}, {1, 1, "", 0},
        {2, 4, "\xB1\xDD\xB2", 3},        {3, 8, "", 0},
    };
    for (const auto &r : rows) {
        char buffer[64];
        memset(buffer, 0xCC, sizeof buffer);
        EXPECT_EQ(LoadStringA(instance, r.id, buffer, r.capacity), r.result);
        EXPECT_STREQ(buffer, r.want);
    }
}

TEST_F(Conformance, CharUpperBuffLeavesDoubleByteCharactersAlone) {
    /* 0x83 0x61 is a katakana whose second byte is the letter 'a'. */
    char text[] = "c:\\\x83\x61pp\\kmw48pm.exe\0abc";
    CharUpperBuffA(text, sizeof text - 1);
    EXPECT_EQ(std::string(text, sizeof text - 1),
              std::string("C:\\\x83\x61PP\\KMW48PM.EXE\0ABC", sizeof text - 1));
}

TEST_F(Conformance, StringRoutines) {
    EXPECT_EQ(lstrcmpiA("Orvane Type2", "ORVANE TYPE2"), 0);
    EXPECT_NE(lstrcmpiA("Orvane", "Orvane Type2"), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    char out[64];
    EXPECT_EQ(wsprintfA(out, "%s\\%s", "C:\\WINDOWS", "KMW48.INI"), 20);
    EXPECT_STREQ(out, "C:\\WINDOWS\\KMW48.INI");
    std::string big(2000, 'z');
    std::vector<char> large(2100);
    EXPECT_EQ(wsprintfA(large.data(), "%s", big.c_str()), 1023) << "wsprintfA stops at 1024 bytes";
}

/* ---- Files ---- */

TEST_F(Conformance, PathsIgnoreLetterCase) {
    winsim_write_file("C:\\Orvane\\Data.Txt", "x");
    EXPECT_TRUE(winsim_file_exists("c:\\ORVANE\\data.txt"));
    EXPECT_EQ(GetFileAttributesA("C:/orvane/DATA.TXT"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(GetFileAttributesA("C:\\orvane"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("C:\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("D:\\"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Conformance, ShortPathNames) {
    winsim_write_file("C:\\Program Files\\Orvane Type2\\kmw48pm.exe", "x");
    winsim_write_file("C:\\Program Files\\Orvane Type1\\a.txt", "x");
    winsim_write_file("C:\\WINDOWS\\KMW48.INI", "x");
    struct {
        const char *path, *want;
    } rows[] = {
        {"C:\\WINDOWS\\KMW48.INI", "C:\\WINDOWS\\KMW48.INI"},
        {"c:\\windows\\kmw48.ini", "C:\\WINDOWS\\KMW48.INI"},
        {"C:\\Program Files\\Orvane Type2\\kmw48pm.exe", "C:\\PROGRA~1\\ORVANE~2\\KMW48PM.EXE"},
        {"C:\\Program Files\\Orvane Type1", "C:\\PROGRA~1\\ORVANE~1"},
    };
    for (const auto &r : rows) {
        char buffer[MAX_PATH];
        DWORD n = GetShortPathNameA(r.path, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, r.want);
        EXPECT_EQ(n, strlen(r.want));
    }
    char buffer[MAX_PATH] = "kumquat";
    SetLastError(0);
    EXPECT_EQ(GetShortPathNameA("C:\\WINDOWS\\NONE.INI", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    char small[8];
    EXPECT_EQ(GetShortPathNameA("C:\\WINDOWS\\KMW48.INI", small, sizeof small), 21u)
        << "too small a buffer gives the size needed";
}

TEST_F(Conformance, TempFileNamesAreUniqueAndCreated) {
    char first[MAX_PATH], second[MAX_PATH];
    ASSERT_NE(GetTempFileNameA("C:\\WINDOWS", "unst", 0, first), 0u);
    ASSERT_NE(GetTempFileNameA("C:\\WINDOWS", "unst", 0, second), 0u);
    EXPECT_STRNE(first, second);
    for (const char *name : {first, second}) {
        EXPECT_EQ(std::string(name).substr(0, 14), "C:\\WINDOWS\\uns");
        EXPECT_EQ(strlen(name), 22u) << name;
        EXPECT_EQ(std::string(name).substr(18), ".TMP");
        EXPECT_TRUE(winsim_file_exists(name));
        EXPECT_EQ(winsim_file(name), "");
    }
    EXPECT_EQ(GetTempFileNameA("C:\\NOWHERE", "unst", 0, first), 0u);
}

TEST_F(Conformance, WildcardSearch) {
    winsim_make_dir("C:\\Orvane");
    struct {
        const char *entry; /* a folder when it ends with a backslash */
        bool matches;
    } rows[] = {
        {"KMW48PM.EXE", true}, {"kmfile", true},      {"KM", true},       {"Km.", true},
        {"kmdir\\", true},     {"readme.txt", false}, {"akm.txt", false}, {"Kilometre.txt", false},
    };
    for (const auto &r : rows) {
        std::string entry = r.entry;
        if (entry.back() == '\\')
            winsim_make_dir("C:\\Orvane\\" + entry);
        else
            winsim_write_file("C:\\Orvane\\" + entry, "x");
        winsim_make_dir("C:\\Orvane");
        SetCurrentDirectoryA("C:\\Orvane");
        WIN32_FIND_DATAA data;
        HANDLE found = FindFirstFileA("km*.*", &data);
        EXPECT_EQ(found != INVALID_HANDLE_VALUE, r.matches) << r.entry;
        if (found != INVALID_HANDLE_VALUE)
            FindClose(found);
        EXPECT_EQ(winsim_open_handles(), 0);
        next_row(r.entry);
    }
}

TEST_F(Conformance, WildcardSearchMatchesTheShortAlias) {
    winsim_write_file("C:\\Orvane\\Orvane Kilo Manual.txt", "x");
    WIN32_FIND_DATAA data;
    HANDLE found = FindFirstFileA("C:\\Orvane\\orvane~1.*", &data);
    ASSERT_NE(found, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "Orvane Kilo Manual.txt");
    EXPECT_STREQ(data.cAlternateFileName, "ORVANE~1.TXT");
    FindClose(found);
}

TEST_F(Conformance, RemoveDirectoryOnlyEmptyAndNotCurrent) {
    winsim_write_file("C:\\Full\\a.txt", "x");
    winsim_make_dir("C:\\Empty");
    EXPECT_FALSE(RemoveDirectoryA("C:\\Full"));
    EXPECT_TRUE(SetCurrentDirectoryA("C:\\Empty"));
    EXPECT_FALSE(RemoveDirectoryA("C:\\Empty")) << "the current directory is in use";
    EXPECT_TRUE(SetCurrentDirectoryA("C:\\WINDOWS\\SYSTEM"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\Empty"));
    EXPECT_FALSE(winsim_dir_exists("C:\\Empty"));
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\Empty"));
    EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS\\SYSTEM");
}

/* Why a folder cannot be made current or removed (codes measured under Wine 8.0). */
TEST_F(Conformance, FolderCallFailures) {
    winsim_write_file("C:\\Full\\a.txt", "x");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\WINDOWS\\SYSTEM"));
    struct {
        bool remove; /* RemoveDirectoryA, else SetCurrentDirectoryA */
        const char *path;
        DWORD error;
    } rows[] = {
        {false, "C:\\none", ERROR_FILE_NOT_FOUND},
        {false, "C:\\none\\deeper", ERROR_PATH_NOT_FOUND},
        {false, "C:\\Full\\a.txt", ERROR_DIRECTORY},
        {false, "", ERROR_INVALID_NAME},
        {true, "C:\\none", ERROR_FILE_NOT_FOUND},
        {true, "C:\\none\\deeper", ERROR_PATH_NOT_FOUND},
        {true, "C:\\Full\\a.txt", ERROR_DIRECTORY},
        {true, "", ERROR_INVALID_NAME},
        {true, "C:\\Full", ERROR_DIR_NOT_EMPTY},
        {true, "C:\\WINDOWS\\SYSTEM", ERROR_SHARING_VIOLATION},
        {true, ".", ERROR_SHARING_VIOLATION},
        {true, "C:\\WINDOWS", ERROR_DIR_NOT_EMPTY},
    };
    for (const auto &r : rows) {
        SetLastError(0);
        BOOL ok = r.remove ? RemoveDirectoryA(r.path) : SetCurrentDirectoryA(r.path);
        EXPECT_FALSE(ok) << r.remove << " " << r.path;
        EXPECT_EQ(GetLastError(), r.error) << r.remove << " " << r.path;
    }
    EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS\\SYSTEM");
    EXPECT_TRUE(winsim_dir_exists("C:\\Full"));
}

TEST_F(Conformance, ReadOnlyFilesCannotBeDeletedOrOverwritten) {
    winsim_write_file("C:\\WINDOWS\\RO.TXT", "keep");
    winsim_write_file("C:\\WINDOWS\\NEW.TXT", "new");
    winsim_set_read_only("C:\\WINDOWS\\RO.TXT", true);
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\RO.TXT"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\NEW.TXT", "C:\\WINDOWS\\RO.TXT", FALSE));
    EXPECT_EQ(_fsopen("C:\\WINDOWS\\RO.TXT", "w+", _SH_DENYNO), nullptr);
    EXPECT_EQ(winsim_file("C:\\WINDOWS\\RO.TXT"), "keep");
    winsim_set_read_only("C:\\WINDOWS\\RO.TXT", false);
}

TEST_F(Conformance, CopyFileOverwritesOrRefuses) {
    winsim_write_file("C:\\WINDOWS\\A.TXT", "aaa");
    winsim_write_file("C:\\WINDOWS\\B.TXT", "bbbbbb");
    EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\A.TXT", "C:\\WINDOWS\\B.TXT", TRUE));
    EXPECT_EQ(winsim_file("C:\\WINDOWS\\B.TXT"), "bbbbbb");
    EXPECT_TRUE(CopyFileA("C:\\WINDOWS\\A.TXT", "C:\\WINDOWS\\B.TXT", FALSE));
    EXPECT_EQ(winsim_file("C:\\WINDOWS\\B.TXT"), "aaa");
    EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\NONE.TXT", "C:\\WINDOWS\\B.TXT", FALSE));
    EXPECT_FALSE(CopyFileA("C:\\WINDOWS\\A.TXT", "C:\\NOWHERE\\B.TXT", FALSE));
}

/* ---- Text mode ---- */

std::string read_text(const std::string &bytes, int capacity) {
    winsim_write_file("C:\\WINDOWS\\T.INI", bytes);
    FILE *f = _fsopen("C:\\WINDOWS\\T.INI", "r", _SH_DENYNO);
    std::string pieces;
    std::vector<char> piece(capacity);
    while (fgets(piece.data(), capacity, f))
        pieces += std::string(piece.data()) + "|";
    fclose(f);
    return pieces;
}

TEST_F(Conformance, TextModeReading) {
    struct {
        std::string bytes;
        int capacity;
        std::string pieces;
    } rows[] = {
        {"a\r\nb\r\n", 16, "a\n|b\n|"},
        {"a\nb", 16, "a\n|b|"},
        {"a\rb\r\n", 16, "a\rb\n|"}, /* a CR alone stays */
        {"a\r\nb\x1A"
         "c\r\n",
         16, "a\n|b|"}, /* input ends at Ctrl-Z */
        {"\x1A"
         "abc",
         16, ""},
        {"abcdefgh\r\n", 4, "abc|def|gh\n|"}, /* pieces of capacity - 1 bytes */
        {"abc\r\n", 4, "abc|\n|"},
        {"", 16, ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(read_text(r.bytes, r.capacity), r.pieces) << r.bytes;
}

TEST_F(Conformance, TextModeCrAtTheEndOfTheReadBufferStillPairs) {
    std::string bytes(65535, 'x');
    bytes += "\r\nend\r\n";
    winsim_write_file("C:\\WINDOWS\\T.INI", bytes);
    FILE *f = _fsopen("C:\\WINDOWS\\T.INI", "r", _SH_DENYNO);
    std::string all;
    int c;
    while ((c = fgetc(f)) != EOF)
        all += (char)c;
    fclose(f);
    EXPECT_EQ(all, std::string(65535, 'x') + "\nend\n");
}

/* Text mode is the same wherever the stand-in's blocks of 64 KiB begin and end: what comes
 * right after a CR may lie in the next block read, and a line may cross a block written. */
TEST_F(Conformance, TextModeAcrossBlocks) {
    const std::string x(65535, 'x');
    struct {
        const char *what;
        std::string bytes, text;
    } reads[] = {
        {"CR, then LF in the next block", x + "\r\nend", x + "\nend"},
        {"CR, then another byte in the next block", x + "\ry", x + "\ry"},
        {"CR, then Ctrl-Z in the next block", x + "\r\x1A\n", x + "\r"},
        {"CR as the file's last byte", x + "\r", x + "\r"},
        {"Ctrl-Z as the next block's first byte", x + "y\x1Az", x + "y"},
        {"CR LF pairs across three blocks", std::string(70000, '\r') + "\n" + x + x + "\r\n",
         std::string(69999, '\r') + "\n" + x + x + "\n"},
    };
    for (const auto &r : reads) {
        winsim_write_file("C:\\WINDOWS\\T.INI", r.bytes);
        FILE *f = _fsopen("C:\\WINDOWS\\T.INI", "r", _SH_DENYNO);
        ASSERT_NE(f, nullptr) << r.what;
        std::string all;
        std::vector<char> block(100000);
        size_t n;
        while ((n = fread(block.data(), 1, block.size(), f)) > 0)
            all.append(block.data(), n);
        fclose(f);
        EXPECT_EQ(all, r.text) << r.what;
    }
    /* One write of a large text goes out in several blocks. */
    for (size_t line : {65533, 65534, 65535, 65536, 131071}) {
        std::string text;
        for (int i = 0; i < 3; i++)
            text += std::string(line, 'a' + i) + "\n";
        FILE *f = _fsopen("C:\\WINDOWS\\OUT.INI", "w+", _SH_DENYNO);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(fwrite(text.data(), 1, text.size(), f), text.size());
        EXPECT_EQ(fclose(f), 0);
        std::string expected;
        for (int i = 0; i < 3; i++)
            expected += std::string(line, 'a' + i) + "\r\n";
        EXPECT_EQ(winsim_file("C:\\WINDOWS\\OUT.INI"), expected) << line;
    }
}

TEST_F(Conformance, TextModeWriting) {
    FILE *f = _fsopen("C:\\WINDOWS\\OUT.INI", "w+", _SH_DENYNO);
    ASSERT_NE(f, nullptr);
    fputs("[rename]\n", f);
    fputs("NUL=C:\\X\n", f);
    fputc('\n', f);
    fputs("tail", f);
    fclose(f);
    EXPECT_EQ(winsim_file("C:\\WINDOWS\\OUT.INI"), "[rename]\r\nNUL=C:\\X\r\n\r\ntail");
}

TEST_F(Conformance, FailedWritesSetTheStreamError) {
    FILE *f = _fsopen("C:\\WINDOWS\\OUT.INI", "w+", _SH_DENYNO);
    winsim_fail_call("_write", 1);
    fputs("lost\n", f);
    EXPECT_NE(fflush(f), 0);
    EXPECT_NE(ferror(f), 0);
    fclose(f);
}

/* A read that fails is an error of the stream, not an end of the file. */
TEST_F(Conformance, FailedReadsSetTheStreamError) {
    std::string big(100000, 'x');
    winsim_write_file("C:\\WINDOWS\\IN.INI", big);
    FILE *f = _fsopen("C:\\WINDOWS\\IN.INI", "r", _SH_DENYNO);
    ASSERT_NE(f, nullptr);
    winsim_fail_call("_read", 2);
    size_t n = 0;
    while (fgetc(f) != EOF)
        n++;
    EXPECT_LT(n, big.size());
    EXPECT_NE(ferror(f), 0);
    fclose(f);
}

/* ---- Registry ---- */

TEST_F(Conformance, RegistryDeleteKeyRemovesTheSubtreeOnWindows95) {
    const char key[] = "System\\CurrentControlSet\\control\\Print\\Environments\\Windows "
                       "4.0\\Drivers\\Orvane Type2";
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(key) + "\\Sub\\Deeper", "v", "x");
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, key, "Driver", "KMW48.DRV");
    winsim_reg_delete_key_nt(true);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), (LONG)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, key));
    winsim_reg_delete_key_nt(false);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\currentcontrolset\\CONTROL\\Print\\Environ"
                                                "ments\\Windows 4.0\\Drivers\\ORVANE TYPE2"),
              ERROR_SUCCESS);
    EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, key));
    EXPECT_TRUE(winsim_reg_key_exists(
        HKEY_LOCAL_MACHINE,
        "System\\CurrentControlSet\\control\\Print\\Environments\\Windows 4.0\\Drivers"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), (LONG)ERROR_FILE_NOT_FOUND);
}

TEST_F(Conformance, RegistrySubkeysAreEnumeratedByIndex) {
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, "Top\\Beta", "v", "x");
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, "Top\\alpha\\Deeper", "v", "x");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "top", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::vector<std::string> names;
    char name[256];
    DWORD size = sizeof name;
    for (DWORD i = 0;
         RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         i++, size = sizeof name) {
        EXPECT_EQ(size, strlen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Beta"}));
    size = 5;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              (LONG)ERROR_MORE_DATA)
        << "no room for the terminating zero";
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr),
              (LONG)ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(Conformance, RegistryValues) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "InstallLocationsMRU", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char value[] = "A:\\";
    ASSERT_EQ(RegSetValueExA(key, "a", 0, REG_SZ, (const BYTE *)value, sizeof value),
              ERROR_SUCCESS);
    char buffer[8];
    DWORD size = 2, type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "A", nullptr, &type, (LPBYTE)buffer, &size),
              (LONG)ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "A", nullptr, &type, (LPBYTE)buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "A:\\");
    EXPECT_EQ(type, (DWORD)REG_SZ);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, (LPBYTE)buffer, &size),
              (LONG)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "a"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "a"), (LONG)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(winsim_open_handles(), 0);
}

/* ---- Memory ---- */

TEST_F(Conformance, MoveableZeroFilledGlobalMemory) {
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
    ASSERT_NE(handle, nullptr);
    unsigned char *p = (unsigned char *)GlobalLock(handle);
    ASSERT_NE(p, nullptr);
    EXPECT_NE((void *)p, (void *)handle);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(p[i], 0);
    EXPECT_EQ(GlobalHandle(p), handle);
    EXPECT_FALSE(GlobalUnlock(handle));
    EXPECT_EQ(GlobalFree(handle), nullptr);
    EXPECT_EQ(winsim_global_blocks_in_use(), 0);
}

} // namespace
