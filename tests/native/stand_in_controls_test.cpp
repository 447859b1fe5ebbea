/* The stand-in's controls: what it adds to the platform for the tests (answers scripted for
 * boxes and dialogs, records of what the program asked, machine states a test needs) and its
 * model of the Program Manager.  The platform's own behaviour, the stand-in's included, is
 * checked on both platforms by the conformance program (tests/conformance). */
#include "machine.h"

#include <commdlg.h>
#include <ddeml.h>
#include <string.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

class StandIn : public Machine {};

/* Windows NT's key deletion, for the uninstaller's road when the one call is refused. */
TEST_F(StandIn, KeyDeletionAsOnWindowsNtWhenAsked) {
    const char key[] = "Software\\Orvane\\Driver";
    winsim_reg_set_string(HKEY_LOCAL_MACHINE, std::string(key) + "\\Sub", "v", "x");
    winsim_reg_delete_key_nt(true);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), (LONG)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, key));
    winsim_reg_delete_key_nt(false);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
    EXPECT_FALSE(winsim_reg_key_exists(HKEY_LOCAL_MACHINE, key));
}

/* Printers with queued jobs and printers that cannot be opened, set up for the tests; the
 * requests that reached the spooler, recorded. */
TEST_F(StandIn, PrinterStatesAndTheRequestLog) {
    winsim_add_printer("Idle", "LPT1:", "Orvane Type2", 0);
    winsim_add_printer("Busy", "LPT2:", "Orvane Type2", 2);
    winsim_add_printer("Locked", "LPT3:", "Orvane Type2", 0);
    winsim_set_printer_openable("Locked", false);

    char idle[] = "IDLE", busy[] = "Busy", locked[] = "Locked", none[] = "None";
    char driver[] = "Orvane Type2";
    HANDLE h1 = nullptr, h2 = nullptr, h3 = nullptr;
    EXPECT_TRUE(OpenPrinterA(idle, &h1, nullptr));
    EXPECT_TRUE(DeletePrinter(h1));
    EXPECT_TRUE(ClosePrinter(h1));
    EXPECT_TRUE(OpenPrinterA(busy, &h2, nullptr));
    EXPECT_TRUE(DeletePrinter(h2)) << "marked for deletion";
    EXPECT_TRUE(ClosePrinter(h2));
    EXPECT_FALSE(OpenPrinterA(locked, &h3, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(OpenPrinterA(none, &h3, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
    EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, driver));

    EXPECT_EQ(winsim_printers(), (std::vector<std::string>{"Busy", "Locked"}));
    EXPECT_EQ(winsim_open_handles(), 0);

    std::vector<std::string> log;
    for (const winsim_spooler_request &r : winsim_spooler_requests())
        log.push_back(r.api + " " + r.name + (r.result ? "" : " (failed)"));
    EXPECT_EQ(log, (std::vector<std::string>{
                       "OpenPrinterA IDLE", "DeletePrinter Idle", "ClosePrinter Idle",
                       "OpenPrinterA Busy", "DeletePrinter Busy", "ClosePrinter Busy",
                       "OpenPrinterA Locked (failed)", "OpenPrinterA None (failed)",
                       "DeletePrinterDriverA Orvane Type2 (failed)"}));

    /* The printer marked for deletion reports it. */
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> block(needed);
    ASSERT_TRUE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, block.data(), needed, &needed, &returned));
    const PRINTER_INFO_2A *records = (const PRINTER_INFO_2A *)block.data();
    EXPECT_EQ(records[0].Status, (DWORD)PRINTER_STATUS_PENDING_DELETION);
    EXPECT_EQ(records[1].Status, 0u);
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

TEST_F(StandIn, OpenFileDialogAnswers) {
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

/* ---- The Program Manager ---- */

HDDEDATA CALLBACK no_answer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

class ProgramManager : public Machine {
  protected:
    DWORD instance = 0;
    void SetUp() override {
        Machine::SetUp();
        instance = 0;
        ASSERT_EQ(DdeInitializeA(&instance, no_answer, APPCMD_CLIENTONLY, 0),
                  (UINT)DMLERR_NO_ERROR);
    }
    /* The fixture's own instance ends (a test may have ended it already). */
    void TearDown() override {
        DdeUninitialize(instance);
        Machine::TearDown();
    }
    HCONV connect() {
        HSZ name = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
        return DdeConnect(instance, name, name, nullptr);
    }
    std::string request(HCONV conversation, const char *item) {
        HSZ hsz = DdeCreateStringHandleA(instance, item, CP_WINANSI);
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, hsz, CF_TEXT, XTYP_REQUEST,
                                             1000, nullptr);
        if (data == nullptr)
            return "<none>";
        std::string bytes(DdeGetData(data, nullptr, 0, 0), '\0');
        DdeGetData(data, (LPBYTE)&bytes[0], (DWORD)bytes.size(), 0);
        return bytes;
    }
    BOOL execute(HCONV conversation, const std::string &command) {
        std::string data = command + '\0';
        return DdeClientTransaction((LPBYTE)&data[0], (DWORD)data.size(), conversation, nullptr,
                                    CF_TEXT, XTYP_EXECUTE, 1000, nullptr) != nullptr;
    }
};

TEST_F(ProgramManager, ConnectingNeedsTheProgramManager) {
    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ other = DdeCreateStringHandleA(instance, "WinWord", CP_WINANSI);
    winsim_progman_start();
    EXPECT_NE(DdeConnect(instance, progman, progman, nullptr), nullptr);
    EXPECT_EQ(DdeConnect(instance, progman, other, nullptr), nullptr);
    EXPECT_EQ(DdeConnect(instance, other, progman, nullptr), nullptr);
    EXPECT_NE(DdeConnect(instance, nullptr, nullptr, nullptr), nullptr)
        << "no names: any server on any topic";
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_EQ(winsim_dde_open_objects(), 0) << "ending the instance ends its conversations";
}

TEST_F(ProgramManager, GroupReplyInTheProgramManagersFormat) {
    winsim_progman_start();
    winsim_progman_add_group(
        "Main", {{"Print Manager", "C:\\Orvane\\KMW48PM.EXE"}, {"Notes", "NOTEPAD.EXE"}},
        "C:\\WINDOWS\\MAIN.GRP");
    winsim_progman_add_group("Empty", {});
    HCONV conversation = connect();
    ASSERT_NE(conversation, nullptr);
    const std::string nul(1, '\0');
    EXPECT_EQ(
        request(conversation, "Main"),
        "\"Main\",C:\\WINDOWS\\MAIN.GRP,2,1\r\n"
        "\"Print Manager\",\"C:\\Orvane\\KMW48PM.EXE\",,C:\\Orvane\\KMW48PM.EXE,16,16,0,0,0\r\n"
        "\"Notes\",\"NOTEPAD.EXE\",,NOTEPAD.EXE,91,16,0,0,0\r\n" +
            nul);
    EXPECT_EQ(request(conversation, "EMPTY"),
              "\"Empty\",C:\\WINDOWS\\Start Menu\\Programs\\Empty,0,1\r\n" + nul);
    EXPECT_EQ(request(conversation, "Missing"), "<none>");

    winsim_progman_reply_with("written");
    EXPECT_EQ(request(conversation, "anything"), "written");
    EXPECT_EQ(DdeClientTransaction(nullptr, 0, conversation, nullptr, CF_TEXT, XTYP_REQUEST, 1000,
                                   nullptr),
              nullptr)
        << "a request without an item name does not reach the server";
    winsim_progman_reply_with("");
    EXPECT_EQ(request(conversation, "Main"), "");
    winsim_progman_silent();
    EXPECT_EQ(request(conversation, "Main"), "<none>");
    EXPECT_TRUE(DdeUninitialize(instance));
}

TEST_F(ProgramManager, GetDataCopiesFromTheOffsetUpToTheCapacity) {
    winsim_progman_start();
    winsim_progman_reply_with("0123456789");
    HCONV conversation = connect();
    HSZ item = DdeCreateStringHandleA(instance, "G", CP_WINANSI);
    HDDEDATA data =
        DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, 1000, nullptr);
    ASSERT_NE(data, nullptr);
    struct {
        DWORD capacity, offset, result;
        const char *bytes;
    } rows[] = {{16, 0, 10, "0123456789"},
                {4, 0, 4, "0123"},
                {4, 8, 2, "89"},
                {4, 10, 0, ""},
                {4, 11, 0, ""},
                {0, 0, 0, ""}};
    for (const auto &r : rows) {
        char buffer[32];
        memset(buffer, 0, sizeof buffer);
        EXPECT_EQ(DdeGetData(data, (LPBYTE)buffer, r.capacity, r.offset), r.result)
            << r.capacity << "/" << r.offset;
        EXPECT_STREQ(buffer, r.bytes) << r.capacity << "/" << r.offset;
    }
    EXPECT_EQ(DdeGetData(data, nullptr, 0, 0), 10u) << "no buffer: the size";
    EXPECT_TRUE(DdeFreeDataHandle(data));
    EXPECT_EQ(DdeGetData(data, nullptr, 0, 0), 0u) << "freed";
    EXPECT_TRUE(DdeUninitialize(instance));
}

struct command_row {
    const char *command;
    bool processed;
    std::vector<std::string> left;
};

TEST_F(ProgramManager, ProgramManagerCommands) {
    const command_row rows[] = {
        {"[DeleteGroup(Main)]", true, {"A", "A, B", "A (B)"}},
        {"[deletegroup(MAIN)]", true, {"A", "A, B", "A (B)"}},
        {"  [ DeleteGroup ( Main ) ]  ", true, {"A", "A, B", "A (B)"}},
        {"[DeleteGroup(Main,1)]", true, {"A", "A, B", "A (B)"}},
        {"[DeleteGroup(\"A, B\")]", true, {"Main", "A", "A (B)"}},
        {"[DeleteGroup(A, B)]", true, {"Main", "A, B", "A (B)"}}, /* the name ends at the comma */
        {"[DeleteGroup(\"A (B)\")]", true, {"Main", "A", "A, B"}},
        {"[DeleteGroup(A (B))]", false, {"Main", "A", "A, B", "A (B)"}},
        {"[DeleteGroup(Main)][DeleteGroup(A)]", true, {"A, B", "A (B)"}},
        {"[FakeCommand(x)][DeleteGroup(Main)]", false, {"Main", "A", "A, B", "A (B)"}},
        {"[DeleteGroup(Missing)]", false, {"Main", "A", "A, B", "A (B)"}},
        {"[DeleteGroup()]", false, {"Main", "A", "A, B", "A (B)"}},
        {"[DeleteGroup]", false, {"Main", "A", "A, B", "A (B)"}},
        {"DeleteGroup(Main)", false, {"Main", "A", "A, B", "A (B)"}},
        {"[DeleteGroup(Main)", false, {"Main", "A", "A, B", "A (B)"}},
        {"[DeleteGroup(\"Main)]", false, {"Main", "A", "A, B", "A (B)"}},
        {"", false, {"Main", "A", "A, B", "A (B)"}},
    };
    for_each_row(rows, [&](const command_row &r) {
        winsim_progman_start();
        for (const char *name : {"Main", "A", "A, B", "A (B)"})
            winsim_progman_add_group(name, {{"Item", "ITEM.EXE"}});
        HCONV conversation = connect();
        EXPECT_EQ(execute(conversation, r.command), r.processed) << r.command;
        EXPECT_EQ(winsim_progman_groups(), r.left) << r.command;
        ASSERT_EQ(winsim_progman_commands().size(), 1u);
        EXPECT_EQ(winsim_progman_commands()[0], std::string(r.command) + '\0');
        EXPECT_TRUE(DdeUninitialize(instance));
    });
}

TEST_F(ProgramManager, UninitializeReleasesEverythingTheInstanceHolds) {
    winsim_progman_start();
    winsim_progman_add_group("Main", {});
    HCONV conversation = connect();
    request(conversation, "Main");
    DdeCreateStringHandleA(instance, "kept", CP_WINANSI);
    EXPECT_EQ(winsim_dde_open_objects(), 1 + 1 + 3 + 1); /* instance, conversation, strings, data */
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_EQ(winsim_dde_open_objects(), 0);
    EXPECT_FALSE(DdeDisconnect(conversation));
}

} // namespace
