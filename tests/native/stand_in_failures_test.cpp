/* Injected failures: every platform call of the stand-in, made to fail once, fails as the call
 * fails on Windows (its documented error result and last error, and what the failure does to
 * the machine), and the calls that cannot fail change nothing when a failure is injected. */
#include "machine.h"

#include <commdlg.h>
#include <ddeml.h>
#include <errno.h>
#include <share.h>
#include <stdio.h>
#include <string.h>
#include <winspool.h>

#include <functional>

namespace {

class InjectedFailure : public Machine {};

const char FILE_A[] = "C:\\WINDOWS\\A.TXT";
const char FILE_B[] = "C:\\WINDOWS\\B.TXT";
const char TEST_INI[] = "C:\\WINDOWS\\TEST.INI";
const char WIN_INI[] = "C:\\WINDOWS\\WIN.INI";
const char PROGRAM[] = "C:\\WINDOWS\\PROG.EXE";
const char KEY[] = "SOFTWARE\\Test";

const winsim_string_row strings[] = {{1, "text"}, {0, nullptr}};

HINSTANCE program_instance;

DWORD ends_at_once(const std::string &) {
    return 0;
}

HDDEDATA CALLBACK no_transactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

/* The Program Manager's reply to a request for `group`, over a new conversation (handed back
 * in `opened` when asked for). */
HDDEDATA request_group(DWORD instance, const char *group, HCONV *opened = nullptr) {
    HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, group, CP_WINANSI);
    HCONV conversation = DdeConnect(instance, name, name, nullptr);
    if (opened)
        *opened = conversation;
    return DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, 1000,
                                nullptr);
}

/* A buffer pre-filled with a word, to see whether a failing call wrote to it. */
struct filled {
    char bytes[300];
    filled() { strcpy(bytes, "kumquat"); }
};

/* One call that fails: `arrange` sets up the machine (without counting calls it makes),
 * `act` makes the failing call and checks what it returned and did. */
struct failing_call {
    const char *api;
    std::function<void()> arrange;
    std::function<void()> act;
};

std::vector<failing_call> failing_calls() {
    return {
        {"LoadStringA", [] { program_instance = winsim_start_program(PROGRAM, strings, PROGRAM); },
         [] {
             filled b;
             EXPECT_EQ(LoadStringA(program_instance, 1, b.bytes, 64), 0);
             EXPECT_STREQ(b.bytes, "") << "an empty text, as for a missing row";
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
         }},
        {"GetPrivateProfileStringA",
         [] { winsim_write_file(TEST_INI, "[General]\r\nKey=value\r\n"); },
         [] {
             filled b;
             EXPECT_EQ(
                 GetPrivateProfileStringA("General", "Key", "dflt  ", b.bytes, 64, "TEST.INI"), 4u);
             EXPECT_STREQ(b.bytes, "dflt") << "an unreadable file gives the default";
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
         }},
        {"GetProfileStringA", [] { winsim_write_file(WIN_INI, "[windows]\r\nload=x.exe\r\n"); },
         [] {
             filled b;
             EXPECT_EQ(GetProfileStringA("windows", "load", " ", b.bytes, 64), 0u);
             EXPECT_STREQ(b.bytes, "");
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
         }},
        {"WritePrivateProfileStringA",
         [] { winsim_write_file(TEST_INI, "[General]\r\nKey=value\r\n"); },
         [] {
             EXPECT_FALSE(WritePrivateProfileStringA("General", "Key", nullptr, "TEST.INI"));
             EXPECT_EQ(winsim_file(TEST_INI), "[General]\r\nKey=value\r\n");
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
         }},
        {"WriteProfileStringA", [] { winsim_write_file(WIN_INI, "[windows]\r\nload=x.exe\r\n"); },
         [] {
             EXPECT_FALSE(WriteProfileStringA("windows", "load", ""));
             EXPECT_EQ(winsim_file(WIN_INI), "[windows]\r\nload=x.exe\r\n");
         }},
        {"GetWindowsDirectoryA", [] {},
         [] {
             filled b;
             EXPECT_EQ(GetWindowsDirectoryA(b.bytes, 260), 0u);
             EXPECT_STREQ(b.bytes, "kumquat");
         }},
        {"GetSystemDirectoryA", [] {},
         [] {
             filled b;
             EXPECT_EQ(GetSystemDirectoryA(b.bytes, 260), 0u);
             EXPECT_STREQ(b.bytes, "kumquat");
         }},
        {"GetCurrentDirectoryA", [] {},
         [] {
             filled b;
             EXPECT_EQ(GetCurrentDirectoryA(260, b.bytes), 0u);
             EXPECT_STREQ(b.bytes, "kumquat");
         }},
        {"SetCurrentDirectoryA", [] {},
         [] {
             EXPECT_FALSE(SetCurrentDirectoryA("C:\\WINDOWS\\SYSTEM"));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
             EXPECT_EQ(winsim_current_directory(), "C:\\WINDOWS");
         }},
        {"CreateDirectoryA", [] {},
         [] {
             EXPECT_FALSE(CreateDirectoryA("C:\\NEW", nullptr));
             EXPECT_FALSE(winsim_dir_exists("C:\\NEW"));
         }},
        {"RemoveDirectoryA", [] { winsim_make_dir("C:\\EMPTY"); },
         [] {
             EXPECT_FALSE(RemoveDirectoryA("C:\\EMPTY"));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
             EXPECT_TRUE(winsim_dir_exists("C:\\EMPTY"));
         }},
        {"DeleteFileA", [] { winsim_write_file(FILE_A, "a"); },
         [] {
             EXPECT_FALSE(DeleteFileA(FILE_A));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
             EXPECT_EQ(winsim_file(FILE_A), "a");
         }},
        /* A full disk: the target has been opened for writing, so its old content is gone. */
        {"CopyFileA",
         [] {
             winsim_write_file(FILE_A, "0123456789");
             winsim_write_file(FILE_B, "old target");
         },
         [] {
             EXPECT_FALSE(CopyFileA(FILE_A, FILE_B, FALSE));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
             EXPECT_EQ(winsim_file(FILE_B), "01234") << "cut short where the disk filled up";
             EXPECT_EQ(winsim_file(FILE_A), "0123456789");
         }},
        {"CopyFileA", [] { winsim_write_file(FILE_A, "0123456789"); },
         [] {
             EXPECT_FALSE(CopyFileA(FILE_A, FILE_B, FALSE));
             EXPECT_EQ(winsim_file(FILE_B), "01234") << "a new target is created cut short";
         }},
        /* What fails before the target is opened leaves the target alone. */
        {"CopyFileA", [] { winsim_write_file(FILE_B, "old target"); },
         [] {
             EXPECT_FALSE(CopyFileA(FILE_A, FILE_B, FALSE));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
             EXPECT_EQ(winsim_file(FILE_B), "old target");
         }},
        {"CopyFileA",
         [] {
             winsim_write_file(FILE_A, "0123456789");
             winsim_write_file(FILE_B, "old target");
             winsim_set_read_only(FILE_B, true);
         },
         [] {
             EXPECT_FALSE(CopyFileA(FILE_A, FILE_B, FALSE));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
             EXPECT_EQ(winsim_file(FILE_B), "old target");
         }},
        {"GetFileAttributesA", [] { winsim_write_file(FILE_A, "a"); },
         [] {
             EXPECT_EQ(GetFileAttributesA(FILE_A), INVALID_FILE_ATTRIBUTES);
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
         }},
        {"GetTempFileNameA", [] {},
         [] {
             filled b;
             EXPECT_EQ(GetTempFileNameA("C:\\WINDOWS", "unst", 0, b.bytes), 0u);
             EXPECT_STREQ(b.bytes, "kumquat");
             EXPECT_EQ(winsim_list_dir("C:\\WINDOWS"), std::vector<std::string>{"SYSTEM"})
                 << "no file created";
         }},
        {"GetShortPathNameA", [] { winsim_write_file(FILE_A, "a"); },
         [] {
             filled b;
             EXPECT_EQ(GetShortPathNameA(FILE_A, b.bytes, 260), 0u);
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
             EXPECT_STREQ(b.bytes, "kumquat");
         }},
        {"FindFirstFileA", [] { winsim_write_file(FILE_A, "a"); },
         [] {
             WIN32_FIND_DATAA data;
             EXPECT_EQ(FindFirstFileA("C:\\WINDOWS\\*.TXT", &data), INVALID_HANDLE_VALUE);
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
         }},
        {"FindNextFileA",
         [] {
             winsim_write_file(FILE_A, "a");
             winsim_write_file(FILE_B, "b");
         },
         [] {
             WIN32_FIND_DATAA data;
             HANDLE search = FindFirstFileA("C:\\WINDOWS\\*.TXT", &data);
             ASSERT_NE(search, INVALID_HANDLE_VALUE);
             EXPECT_FALSE(FindNextFileA(search, &data));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
             EXPECT_TRUE(FindClose(search));
         }},
        {"GetEnvironmentStrings", [] {}, [] { EXPECT_EQ(GetEnvironmentStrings(), nullptr); }},
        {"CreateProcessA",
         [] {
             winsim_install_program(PROGRAM, [](const std::string &) {
                 ADD_FAILURE() << "a process that failed to start ran";
                 return (DWORD)0;
             });
         },
         [] {
             char line[] = "C:\\WINDOWS\\PROG.EXE";
             STARTUPINFOA startup;
             memset(&startup, 0, sizeof startup);
             startup.cb = sizeof startup;
             PROCESS_INFORMATION process;
             EXPECT_FALSE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process));
         }},
        {"WaitForSingleObject", [] { winsim_install_program(PROGRAM, ends_at_once); },
         [] {
             char line[] = "C:\\WINDOWS\\PROG.EXE";
             STARTUPINFOA startup;
             memset(&startup, 0, sizeof startup);
             startup.cb = sizeof startup;
             PROCESS_INFORMATION process;
             ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process));
             EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_FAILED);
             DWORD code = 12345;
             winsim_fail_call("GetExitCodeProcess", 1);
             EXPECT_FALSE(GetExitCodeProcess(process.hProcess, &code));
             EXPECT_EQ(code, 12345u);
             CloseHandle(process.hProcess);
             CloseHandle(process.hThread);
         }},
        {"GetModuleFileNameA", [] { winsim_start_program(PROGRAM, strings, PROGRAM); },
         [] {
             filled b;
             EXPECT_EQ(GetModuleFileNameA(nullptr, b.bytes, 260), 0u);
             EXPECT_STREQ(b.bytes, "kumquat");
         }},
        {"GlobalAlloc", [] {},
         [] {
             EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 16), nullptr);
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
         }},
        {"GlobalLock", [] {},
         [] {
             HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
             EXPECT_EQ(GlobalLock(block), nullptr);
             GlobalFree(block);
         }},
        {"MessageBoxA", [] { winsim_script_boxes({IDYES}); },
         [] {
             EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_YESNO), 0);
             EXPECT_EQ(winsim_unused_answers(), 1) << "no answer was given to a box not shown";
             winsim_script_boxes({});
         }},
        {"FindWindowA", [] { winsim_open_window("Title"); },
         [] { EXPECT_EQ(FindWindowA(nullptr, "Title"), nullptr); }},
        {"ExitWindowsEx", [] {},
         [] {
             EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
             EXPECT_TRUE(winsim_restarts().empty());
         }},
        {"RegOpenKeyExA", [] { winsim_reg_set_dword(HKEY_LOCAL_MACHINE, KEY, "v", 1); },
         [] {
             HKEY key = (HKEY)0x1234;
             EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, KEY_ALL_ACCESS, &key),
                       ERROR_ACCESS_DENIED);
             EXPECT_EQ(key, (HKEY)0x1234);
         }},
        {"RegCreateKeyExA", [] {},
         [] {
             HKEY key;
             EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                       nullptr, &key, nullptr),
                       ERROR_ACCESS_DENIED);
             EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, KEY));
         }},
        {"RegQueryValueExA", [] { winsim_reg_set_dword(HKEY_LOCAL_MACHINE, KEY, "v", 7); },
         [] {
             HKEY key;
             ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, KEY_ALL_ACCESS, &key),
                       ERROR_SUCCESS);
             DWORD value = 99, size = sizeof value;
             EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, (LPBYTE)&value, &size),
                       ERROR_ACCESS_DENIED);
             EXPECT_EQ(value, 99u);
             RegCloseKey(key);
         }},
        {"RegSetValueExA", [] { winsim_reg_set_dword(HKEY_LOCAL_MACHINE, KEY, "v", 7); },
         [] {
             HKEY key;
             ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, KEY_ALL_ACCESS, &key),
                       ERROR_SUCCESS);
             DWORD value = 6;
             EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, (const BYTE *)&value, 4),
                       ERROR_ACCESS_DENIED);
             RegCloseKey(key);
             std::string data;
             winsim_reg_get(HKEY_LOCAL_MACHINE, KEY, "v", nullptr, &data);
             EXPECT_EQ(data, std::string("\x07\0\0\0", 4));
         }},
        {"RegDeleteValueA", [] { winsim_reg_set_dword(HKEY_LOCAL_MACHINE, KEY, "v", 7); },
         [] {
             HKEY key;
             ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, KEY_ALL_ACCESS, &key),
                       ERROR_SUCCESS);
             EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_ACCESS_DENIED);
             RegCloseKey(key);
             EXPECT_TRUE(winsim_reg_get(HKEY_LOCAL_MACHINE, KEY, "v", nullptr, nullptr));
         }},
        {"RegDeleteKeyA", [] { winsim_reg_set_dword(HKEY_LOCAL_MACHINE, KEY, "v", 7); },
         [] {
             EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, KEY), ERROR_ACCESS_DENIED);
             EXPECT_TRUE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, KEY));
         }},
        {"RegEnumKeyExA",
         [] { winsim_reg_set_dword(HKEY_LOCAL_MACHINE, std::string(KEY) + "\\Sub", "v", 7); },
         [] {
             HKEY key;
             ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, KEY_ALL_ACCESS, &key),
                       ERROR_SUCCESS);
             filled b;
             DWORD size = 260;
             EXPECT_EQ(RegEnumKeyExA(key, 0, b.bytes, &size, nullptr, nullptr, nullptr, nullptr),
                       ERROR_ACCESS_DENIED);
             EXPECT_STREQ(b.bytes, "kumquat");
             RegCloseKey(key);
         }},
        {"EnumPrintersA", [] { winsim_add_printer("Fax", "LPT1:", "Orvane Type2"); },
         [] {
             DWORD needed = 0, count = 5;
             EXPECT_FALSE(
                 EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
         }},
        {"OpenPrinterA", [] { winsim_add_printer("Fax", "LPT1:", "Orvane Type2"); },
         [] {
             HANDLE printer;
             char name[] = "Fax";
             EXPECT_FALSE(OpenPrinterA(name, &printer, nullptr));
             EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
         }},
        {"DeletePrinter", [] { winsim_add_printer("Fax", "LPT1:", "Orvane Type2"); },
         [] {
             HANDLE printer;
             char name[] = "Fax";
             ASSERT_TRUE(OpenPrinterA(name, &printer, nullptr));
             EXPECT_FALSE(DeletePrinter(printer));
             ClosePrinter(printer);
             EXPECT_EQ(winsim_printers(), std::vector<std::string>{"Fax"});
         }},
        {"DeletePrinterDriverA", [] { winsim_add_printer_driver("Orvane Type2"); },
         [] {
             char driver[] = "Orvane Type2";
             EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, driver));
             EXPECT_EQ(winsim_printer_drivers(), std::vector<std::string>{"Orvane Type2"});
         }},
        {"DdeInitializeA", [] {},
         [] {
             DWORD instance = 0;
             EXPECT_EQ(DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0),
                       (UINT)DMLERR_SYS_ERROR);
             EXPECT_EQ(instance, 0u);
         }},
        {"DdeCreateStringHandleA", [] {},
         [] {
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             EXPECT_EQ(DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI), nullptr);
             DdeUninitialize(instance);
         }},
        {"DdeConnect", [] { winsim_progman_start(); },
         [] {
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
             EXPECT_EQ(DdeConnect(instance, name, name, nullptr), nullptr);
             DdeUninitialize(instance);
         }},
        {"DdeClientTransaction",
         [] {
             winsim_progman_start();
             winsim_progman_add_group("G", {});
         },
         [] {
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
             HCONV conversation = DdeConnect(instance, name, name, nullptr);
             char command[] = "[DeleteGroup(G)]";
             EXPECT_EQ(DdeClientTransaction((LPBYTE)command, sizeof command, conversation, nullptr,
                                            CF_TEXT, XTYP_EXECUTE, 1000, nullptr),
                       nullptr);
             EXPECT_EQ(winsim_progman_groups(), std::vector<std::string>{"G"});
             DdeUninitialize(instance);
         }},
        {"DdeGetData",
         [] {
             winsim_progman_start();
             winsim_progman_add_group("G", {});
         },
         [] {
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             HDDEDATA data = request_group(instance, "G");
             filled b;
             EXPECT_EQ(DdeGetData(data, (LPBYTE)b.bytes, 256, 0), 0u);
             EXPECT_STREQ(b.bytes, "kumquat");
             DdeUninitialize(instance);
         }},
        {"GetOpenFileNameA", [] { winsim_script_dialogs({winsim_cancel()}); },
         [] {
             filled b;
             OPENFILENAMEA dialog;
             memset(&dialog, 0, sizeof dialog);
             dialog.lStructSize = 76;
             dialog.lpstrFile = b.bytes;
             dialog.nMaxFile = 260;
             EXPECT_FALSE(GetOpenFileNameA(&dialog));
             EXPECT_STREQ(b.bytes, "kumquat");
             EXPECT_TRUE(winsim_dialog_openings().empty()) << "no dialog was shown";
             winsim_script_dialogs({});
         }},
        /* An open that fails has not yet created or cut the file. */
        {"_fsopen", [] { winsim_write_file(FILE_A, "content"); },
         [] {
             errno = 0;
             EXPECT_EQ(_fsopen(FILE_A, "w+", _SH_DENYNO), nullptr);
             EXPECT_EQ(errno, EACCES);
             EXPECT_EQ(winsim_file(FILE_A), "content");
         }},
    };
}

TEST_F(InjectedFailure, EachCallFailsAsOnWindows) {
    for_each_row(failing_calls(), [&](const failing_call &c) {
        SCOPED_TRACE(c.api);
        EXPECT_TRUE(winsim_call_can_fail(c.api));
        c.arrange();
        SetLastError(0);
        int before = winsim_call_count(c.api);
        winsim_fail_call(c.api, 1);
        c.act();
        EXPECT_GT(winsim_call_count(c.api), before) << "the call is counted under its own name";
    });
}

/* A failing read or write of the text-mode stream sets the stream's error indicator (the
 * conformance rows of the text mode); a failing open of a file to read leaves it alone. */
TEST_F(InjectedFailure, TextStreamFailurePoints) {
    EXPECT_TRUE(winsim_call_can_fail("_read"));
    EXPECT_TRUE(winsim_call_can_fail("_write"));
    winsim_write_file(FILE_A, "line\r\n");
    winsim_fail_call("_fsopen", 1);
    EXPECT_EQ(_fsopen(FILE_A, "r", _SH_DENYNO), nullptr);
    FILE *in = _fsopen(FILE_A, "r", _SH_DENYNO);
    ASSERT_NE(in, nullptr);
    winsim_fail_call("_read", 1);
    char line[16];
    EXPECT_EQ(fgets(line, sizeof line, in), nullptr);
    EXPECT_NE(ferror(in), 0);
    fclose(in);
    FILE *out = _fsopen(FILE_B, "w+", _SH_DENYNO);
    ASSERT_NE(out, nullptr);
    winsim_fail_call("_write", 1);
    fputs("lost\n", out);
    EXPECT_NE(fclose(out), 0);
    EXPECT_EQ(winsim_file(FILE_B), "");
}

/* A read that fails in the middle of a file is an error of the stream, not an end of it. */
TEST_F(InjectedFailure, AReadFailingMidStreamIsAnErrorNotAnEnd) {
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

/* Calls that cannot fail for a program's arguments, and calls that release: an injected
 * failure is counted and changes nothing. */
struct unfailing_call {
    const char *api;
    std::function<void()> act;
};

std::vector<unfailing_call> unfailing_calls() {
    return {
        {"lstrlenA", [] { EXPECT_EQ(lstrlenA("abc"), 3); }},
        {"lstrcmpA", [] { EXPECT_EQ(lstrcmpA("a", "a"), 0); }},
        {"lstrcmpiA", [] { EXPECT_EQ(lstrcmpiA("a", "A"), 0); }},
        {"lstrcpyA",
         [] {
             char b[8];
             EXPECT_EQ(lstrcpyA(b, "abc"), b);
             EXPECT_STREQ(b, "abc");
         }},
        {"lstrcpynA",
         [] {
             char b[8];
             EXPECT_EQ(lstrcpynA(b, "abcdef", 3), b);
             EXPECT_STREQ(b, "ab");
         }},
        {"lstrcatA",
         [] {
             char b[8] = "ab";
             EXPECT_EQ(lstrcatA(b, "cd"), b);
             EXPECT_STREQ(b, "abcd");
         }},
        {"wsprintfA",
         [] {
             char b[16];
             EXPECT_EQ(wsprintfA(b, "%s=%d", "n", 5), 3);
             EXPECT_STREQ(b, "n=5");
         }},
        {"CharUpperBuffA",
         [] {
             char b[] = "abc";
             EXPECT_EQ(CharUpperBuffA(b, 3), 3u);
             EXPECT_STREQ(b, "ABC");
         }},
        {"IsDBCSLeadByte", [] { EXPECT_TRUE(IsDBCSLeadByte(0x82)); }},
        {"GetLastError",
         [] {
             SetLastError(42);
             EXPECT_EQ(GetLastError(), 42u);
         }},
        {"SetLastError",
         [] {
             SetLastError(43);
             EXPECT_EQ(GetLastError(), 43u);
         }},
        {"GetCommandLineA",
         [] {
             winsim_start_program(PROGRAM, strings, "PROG.EXE /x");
             winsim_fail_call("GetCommandLineA", 1);
             EXPECT_STREQ(GetCommandLineA(), "PROG.EXE /x");
         }},
        {"GetStartupInfoA",
         [] {
             STARTUPINFOA info;
             GetStartupInfoA(&info);
             EXPECT_EQ(info.cb, (DWORD)sizeof info);
         }},
        {"GetDesktopWindow", [] { EXPECT_EQ(GetDesktopWindow(), winsim_desktop_window()); }},
        {"FreeEnvironmentStringsA",
         [] { EXPECT_TRUE(FreeEnvironmentStringsA(GetEnvironmentStrings())); }},
        {"CloseHandle",
         [] {
             winsim_install_program(PROGRAM, ends_at_once);
             char line[] = "C:\\WINDOWS\\PROG.EXE";
             STARTUPINFOA startup;
             memset(&startup, 0, sizeof startup);
             startup.cb = sizeof startup;
             PROCESS_INFORMATION process;
             ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process));
             winsim_fail_call("CloseHandle", 1);
             EXPECT_TRUE(CloseHandle(process.hProcess));
             EXPECT_TRUE(CloseHandle(process.hThread));
         }},
        {"RegCloseKey",
         [] {
             HKEY key;
             ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                       nullptr, &key, nullptr),
                       ERROR_SUCCESS);
             winsim_fail_call("RegCloseKey", 1);
             EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
         }},
        {"FindClose",
         [] {
             WIN32_FIND_DATAA data;
             HANDLE search = FindFirstFileA("C:\\WINDOWS\\*.*", &data);
             ASSERT_NE(search, INVALID_HANDLE_VALUE);
             winsim_fail_call("FindClose", 1);
             EXPECT_TRUE(FindClose(search));
         }},
        {"ClosePrinter",
         [] {
             winsim_add_printer("Fax", "LPT1:", "Orvane Type2");
             HANDLE printer;
             char name[] = "Fax";
             ASSERT_TRUE(OpenPrinterA(name, &printer, nullptr));
             winsim_fail_call("ClosePrinter", 1);
             EXPECT_TRUE(ClosePrinter(printer));
         }},
        {"GlobalUnlock",
         [] {
             HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
             GlobalLock(block);
             GlobalLock(block);
             winsim_fail_call("GlobalUnlock", 1);
             EXPECT_TRUE(GlobalUnlock(block)) << "one lock left";
             EXPECT_FALSE(GlobalUnlock(block));
             GlobalFree(block);
         }},
        {"GlobalHandle",
         [] {
             HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
             void *memory = GlobalLock(block);
             winsim_fail_call("GlobalHandle", 1);
             EXPECT_EQ(GlobalHandle(memory), block);
             GlobalUnlock(block);
             GlobalFree(block);
         }},
        {"GlobalFree",
         [] {
             HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
             winsim_fail_call("GlobalFree", 1);
             EXPECT_EQ(GlobalFree(block), nullptr);
         }},
        {"DdeFreeStringHandle",
         [] {
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
             winsim_fail_call("DdeFreeStringHandle", 1);
             EXPECT_TRUE(DdeFreeStringHandle(instance, name));
             EXPECT_EQ(winsim_dde_open_objects(), 1) << "only the instance";
             DdeUninitialize(instance);
         }},
        {"DdeFreeDataHandle",
         [] {
             winsim_progman_start();
             winsim_progman_add_group("G", {});
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             HCONV conversation = nullptr;
             HDDEDATA data = request_group(instance, "G", &conversation);
             int open = winsim_dde_open_objects();
             winsim_fail_call("DdeFreeDataHandle", 1);
             EXPECT_TRUE(DdeFreeDataHandle(data));
             EXPECT_EQ(winsim_dde_open_objects(), open - 1);
             winsim_fail_call("DdeDisconnect", 1);
             EXPECT_TRUE(DdeDisconnect(conversation));
             EXPECT_EQ(winsim_dde_open_objects(), open - 2);
             DdeUninitialize(instance);
         }},
        {"DdeUninitialize",
         [] {
             DWORD instance = 0;
             DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
             DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
             winsim_fail_call("DdeUninitialize", 1);
             EXPECT_TRUE(DdeUninitialize(instance));
         }},
    };
}

TEST_F(InjectedFailure, CallsThatCannotFailChangeNothing) {
    for_each_row(unfailing_calls(), [&](const unfailing_call &c) {
        SCOPED_TRACE(c.api);
        EXPECT_FALSE(winsim_call_can_fail(c.api));
        winsim_fail_call(c.api, 1);
        c.act();
        EXPECT_GE(winsim_call_count(c.api), 1) << "the call is counted under its own name";
    });
}

/* Work the stand-in does for a call is not a call of the program's: starting a program by a
 * bare name looks in the program's folder without a GetModuleFileNameA of its own. */
TEST_F(InjectedFailure, TheStandInsOwnWorkIsNotCounted) {
    winsim_start_program("C:\\APP\\MAIN.EXE", strings, "MAIN.EXE");
    winsim_install_program("C:\\APP\\HELPER.EXE", ends_at_once);
    winsim_fail_call("GetModuleFileNameA", 1);
    char line[] = "HELPER.EXE";
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    EXPECT_EQ(winsim_process_starts().back().image, "C:\\APP\\HELPER.EXE");
    EXPECT_EQ(winsim_call_count("GetModuleFileNameA"), 0);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

} // namespace
