/* The stand-in's DDE management library and Program Manager, where the uninstaller relies on
 * them: string handles, connecting, the group reply, data handles, the command parser and the
 * release of everything an instance holds. */
#include "machine.h"

#include <ddeml.h>
#include <string.h>

namespace {

HDDEDATA CALLBACK no_answer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

class Dde : public Machine {
  protected:
    DWORD instance = 0;
    void SetUp() override {
        Machine::SetUp();
        instance = 0;
        ASSERT_EQ(DdeInitializeA(&instance, no_answer, APPCMD_CLIENTONLY, 0),
                  (UINT)DMLERR_NO_ERROR);
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

TEST_F(Dde, InitializeWantsAZeroInstance) {
    DWORD other = 12345;
    EXPECT_EQ(DdeInitializeA(&other, no_answer, APPCMD_CLIENTONLY, 0),
              (UINT)DMLERR_INVALIDPARAMETER);
    EXPECT_EQ(other, 12345u);
    EXPECT_NE(instance, 0u);
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_FALSE(DdeUninitialize(instance));
}

TEST_F(Dde, StringHandlesAreUsageCountedAtoms) {
    HSZ upper = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ lower = DdeCreateStringHandleA(instance, "progman", CP_WINANSI);
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(upper, lower) << "the same text in other letter case is the same handle";
    EXPECT_TRUE(DdeFreeStringHandle(instance, upper));
    EXPECT_TRUE(DdeFreeStringHandle(instance, upper));
    EXPECT_FALSE(DdeFreeStringHandle(instance, upper)) << "freed as often as created";
    struct {
        std::string text;
        int code_page;
        bool made;
    } rows[] = {
        {"", CP_WINANSI, false},
        {std::string(255, 'n'), CP_WINANSI, true},
        {std::string(256, 'n'), CP_WINANSI, false},
        {"Orvane Type2", 1200 /* CP_WINUNICODE */, false},
        {"Orvane Type2", 0, true},
    };
    for (const auto &r : rows)
        EXPECT_EQ(DdeCreateStringHandleA(instance, r.text.c_str(), r.code_page) != nullptr, r.made)
            << r.text.size() << " bytes, code page " << r.code_page;
    EXPECT_EQ(DdeCreateStringHandleA(instance + 1, "PROGMAN", CP_WINANSI), nullptr)
        << "no such instance";
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_EQ(winsim_dde_open_objects(), 0);
}

TEST_F(Dde, ConnectingNeedsTheProgramManager) {
    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ other = DdeCreateStringHandleA(instance, "WinWord", CP_WINANSI);
    EXPECT_EQ(DdeConnect(instance, progman, progman, nullptr), nullptr) << "not running";
    winsim_progman_start();
    EXPECT_NE(DdeConnect(instance, progman, progman, nullptr), nullptr);
    EXPECT_EQ(DdeConnect(instance, progman, other, nullptr), nullptr);
    EXPECT_EQ(DdeConnect(instance, other, progman, nullptr), nullptr);
    EXPECT_NE(DdeConnect(instance, nullptr, nullptr, nullptr), nullptr)
        << "no names: any server on any topic";
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_EQ(winsim_dde_open_objects(), 0) << "ending the instance ends its conversations";
}

TEST_F(Dde, GroupReplyInTheProgramManagersFormat) {
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
    EXPECT_EQ(winsim_dde_open_objects(), 0);
}

TEST_F(Dde, GetDataCopiesFromTheOffsetUpToTheCapacity) {
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

TEST_F(Dde, ProgramManagerCommands) {
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
    for (const command_row &r : rows) {
        winsim_progman_start();
        for (const char *name : {"Main", "A", "A, B", "A (B)"})
            winsim_progman_add_group(name, {{"Item", "ITEM.EXE"}});
        HCONV conversation = connect();
        EXPECT_EQ(execute(conversation, r.command), r.processed) << r.command;
        EXPECT_EQ(winsim_progman_groups(), r.left) << r.command;
        ASSERT_EQ(winsim_progman_commands().size(), 1u);
        EXPECT_EQ(winsim_progman_commands()[0], std::string(r.command) + '\0');
        EXPECT_TRUE(DdeUninitialize(instance));
        next_row("row");
    }
}

TEST_F(Dde, UninitializeReleasesEverythingTheInstanceHolds) {
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
