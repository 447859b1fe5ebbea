/* dde.cpp: the client side of the DDE management library (DDEML) and a Program Manager
 * behind it.
 *
 * Behaviour reproduced (DDEML documentation; measured under Wine 8.0 where noted):
 * DdeInitializeA wants *instance to be 0 for a new instance and otherwise fails with
 * DMLERR_INVALIDPARAMETER (Wine); string handles are usage-counted, the same text (letter case
 * ignored) giving the same handle, and an empty text or one longer than 255 bytes gives no
 * handle (Wine: they are atoms); DdeConnect without a server fails with
 * DMLERR_NO_CONV_ESTABLISHED (Wine), and a null service or topic name matches any server;
 * DdeGetData copies at most the capacity from the offset and returns the bytes copied;
 * a request without an item name (the handle of an empty text is 0) fails without reaching
 * the server (Wine, with a DDEML server in another process); DdeUninitialize ends the
 * instance's conversations and frees every string and data handle
 * that the instance still holds.  The calls that release (DdeFreeDataHandle, DdeDisconnect,
 * DdeFreeStringHandle, DdeUninitialize) fail only for a handle that is not valid: a failure
 * that a test injects there changes nothing.  Transactions are synchronous; a server that does not
 * answer makes the transaction return 0 (DMLERR_DATAACKTIMEOUT) at once instead of after the
 * time-out.
 *
 * The Program Manager answers a group request and reads its commands as Microsoft's
 * Knowledge Base article Q102575 and the Program Manager DDE documentation describe them; that
 * DeleteGroup also deletes a group that holds items, and how parameters are read (quoted,
 * or up to , ( ) [ ] with trailing blanks dropped), follow Wine's shell DDE conformance tests
 * as run on Windows. */
#include "internal.h"

#include <ddeml.h>

#include <set>
#include <stdio.h>
#include <string.h>

namespace winsim {
namespace {

struct string_handle {
    DWORD instance;
    std::string text;
    int uses;
};
struct data_block {
    DWORD instance;
    std::string bytes;
};

std::set<DWORD> instances;
DWORD next_instance = 1;
std::map<uintptr_t, string_handle> strings;
std::map<uintptr_t, DWORD> conversations; /* handle -> instance */
std::map<uintptr_t, data_block> data_blocks;
uintptr_t next_string = 0xC000, next_conversation = 0x5000, next_data = 0x7000;

struct group {
    std::string name;
    std::string file;
    std::vector<winsim_progman_item> items;
};
enum answer_mode { ANSWER_GROUPS, ANSWER_WRITTEN, ANSWER_NOTHING };

bool progman_running = false;
std::vector<group> groups;
answer_mode answers = ANSWER_GROUPS;
std::string written_reply;
std::vector<std::string> progman_commands;

const char program_manager[] = "PROGMAN";

/* A live string handle of `instance`, or null for "any". */
bool string_of(DWORD instance, HSZ handle, std::string *text) {
    auto it = strings.find((uintptr_t)handle);
    if (it == strings.end() || it->second.instance != instance)
        return false;
    *text = it->second.text;
    return true;
}

group *find_group(const std::string &name) {
    for (group &g : groups)
        if (same_name(g.name, name))
            return &g;
    return nullptr;
}

std::string group_reply(const group &g) {
    std::string file =
        g.file.empty() ? windows_directory() + "\\Start Menu\\Programs\\" + g.name : g.file;
    std::string out =
        "\"" + g.name + "\"," + file + "," + std::to_string(g.items.size()) + ",1\r\n";
    for (size_t i = 0; i < g.items.size(); i++) {
        const winsim_progman_item &item = g.items[i];
        out += "\"" + item.title + "\",\"" + item.command + "\",," + item.command + "," +
               std::to_string(16 + 75 * i) + ",16,0,0,0\r\n";
    }
    out += '\0';
    return out;
}

/* The Program Manager's command parser: [Command(parameter,...)][...]. */
struct command_reader {
    const std::string &text;
    size_t at;

    void blanks() {
        while (at < text.size() && text[at] == ' ')
            at++;
    }
    bool is(char c) const { return at < text.size() && text[at] == c; }

    /* One command with its parameters; false when the text is not well formed. */
    bool command(std::string *name, std::vector<std::string> *parameters) {
        if (!is('['))
            return false;
        at++;
        blanks();
        size_t end = text.find_first_of(" ,()[]\"", at);
        if (end == std::string::npos)
            return false;
        *name = text.substr(at, end - at);
        at = end;
        blanks();
        if (is('(')) {
            at++;
            while (!is(')')) {
                blanks();
                if (is('"')) {
                    size_t close = text.find('"', at + 1);
                    if (close == std::string::npos)
                        return false;
                    parameters->push_back(text.substr(at + 1, close - at - 1));
                    at = close + 1;
                } else {
                    size_t stop = text.find_first_of(",()[]", at);
                    if (stop == std::string::npos)
                        return false;
                    size_t last = stop;
                    while (last > at && text[last - 1] == ' ')
                        last--;
                    parameters->push_back(text.substr(at, last - at));
                    at = stop;
                }
                blanks();
                if (is(','))
                    at++;
                else if (!is(')'))
                    return false;
            }
            at++;
            blanks();
        }
        if (!is(']'))
            return false;
        at++;
        blanks();
        return true;
    }
};

bool run_command(const std::string &name, const std::vector<std::string> &parameters) {
    if (same_name(name, "DeleteGroup")) {
        if (parameters.empty())
            return false;
        for (size_t i = 0; i < groups.size(); i++)
            if (same_name(groups[i].name, parameters[0])) {
                groups.erase(groups.begin() + (long)i);
                return true;
            }
        return false;
    }
    return false; /* commands this Program Manager does not know */
}

bool execute(const std::string &data) {
    std::string text = data.substr(0, data.find('\0'));
    command_reader reader{text, 0};
    reader.blanks();
    if (!reader.is('['))
        return false;
    while (reader.is('[')) {
        std::string name;
        std::vector<std::string> parameters;
        if (!reader.command(&name, &parameters) || !run_command(name, parameters))
            return false;
    }
    return true;
}

HDDEDATA new_data(DWORD instance, const std::string &bytes) {
    uintptr_t handle = next_data++;
    data_blocks[handle] = data_block{instance, bytes};
    return (HDDEDATA)handle;
}

/* The Program Manager's answer to a request for `item`, or null. */
HDDEDATA request(DWORD instance, const std::string &item, UINT format) {
    switch (answers) {
    case ANSWER_NOTHING:
        return nullptr;
    case ANSWER_WRITTEN:
        return new_data(instance, written_reply);
    case ANSWER_GROUPS:
        break;
    }
    const group *g = format == CF_TEXT ? find_group(item) : nullptr;
    return g ? new_data(instance, group_reply(*g)) : nullptr;
}

} // namespace

/* The client's instances go with its process, and all they held; the Program Manager stays. */
void end_process_dde() {
    instances.clear();
    strings.clear();
    conversations.clear();
    data_blocks.clear();
}

void reset_dde() {
    instances.clear();
    next_instance = 1;
    strings.clear();
    conversations.clear();
    data_blocks.clear();
    next_string = 0xC000;
    next_conversation = 0x5000;
    next_data = 0x7000;
    progman_running = false;
    groups.clear();
    answers = ANSWER_GROUPS;
    written_reply.clear();
    progman_commands.clear();
}

} // namespace winsim

using namespace winsim;

void winsim_progman_start() {
    progman_running = true;
}

void winsim_progman_add_group(const std::string &name,
                              const std::vector<winsim_progman_item> &items,
                              const std::string &group_file) {
    groups.push_back(group{name, group_file, items});
}

std::vector<std::string> winsim_progman_groups() {
    std::vector<std::string> names;
    for (const group &g : groups)
        names.push_back(g.name);
    return names;
}

void winsim_progman_reply_with(const std::string &bytes) {
    answers = ANSWER_WRITTEN;
    written_reply = bytes;
}

void winsim_progman_silent() {
    answers = ANSWER_NOTHING;
}

const std::vector<std::string> &winsim_progman_commands() {
    return progman_commands;
}

int winsim_dde_open_objects() {
    return (int)(instances.size() + conversations.size() + strings.size() + data_blocks.size());
}

extern "C" {

UINT WINAPI DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD commands, DWORD reserved) {
    (void)callback, (void)commands, (void)reserved;
    UINT result;
    if (enter("DdeInitializeA"))
        result = DMLERR_SYS_ERROR;
    else if (instance == nullptr || *instance != 0)
        result = DMLERR_INVALIDPARAMETER; /* re-initialising an instance is not supported */
    else {
        *instance = next_instance++;
        instances.insert(*instance);
        result = DMLERR_NO_ERROR;
    }
    return result;
}

HSZ WINAPI DdeCreateStringHandleA(DWORD instance, LPCSTR text, int code_page) {
    std::string value = text ? text : "";
    HSZ result = nullptr;
    if (!enter("DdeCreateStringHandleA") && instances.count(instance) &&
        (code_page == CP_WINANSI || code_page == 0) && !value.empty() && value.size() <= 255) {
        for (auto &entry : strings)
            if (entry.second.instance == instance && same_name(entry.second.text, value)) {
                entry.second.uses++;
                result = (HSZ)entry.first;
                break;
            }
        if (result == nullptr) {
            uintptr_t handle = next_string++;
            strings[handle] = string_handle{instance, value, 1};
            result = (HSZ)handle;
        }
    }
    return result;
}

HCONV WINAPI DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context) {
    (void)context;
    HCONV result = nullptr;
    if (!enter("DdeConnect") && instances.count(instance)) {
        std::string service_name, topic_name;
        bool service_ok = service == nullptr || (string_of(instance, service, &service_name) &&
                                                 same_name(service_name, program_manager));
        bool topic_ok = topic == nullptr || (string_of(instance, topic, &topic_name) &&
                                             same_name(topic_name, program_manager));
        if (progman_running && service_ok && topic_ok) {
            uintptr_t handle = next_conversation++;
            conversations[handle] = instance;
            result = (HCONV)handle;
        }
    }
    return result;
}

HDDEDATA WINAPI DdeClientTransaction(LPBYTE data, DWORD data_size, HCONV conversation, HSZ item,
                                     UINT format, UINT type, DWORD timeout, LPDWORD result) {
    (void)timeout;
    std::string bytes = data ? std::string((const char *)data, data_size) : std::string();
    HDDEDATA answer = nullptr;
    auto conv = conversations.find((uintptr_t)conversation);
    if (!enter("DdeClientTransaction") && conv != conversations.end()) {
        DWORD instance = conv->second;
        std::string item_name;
        if (type == XTYP_REQUEST) {
            /* A request without an item name never reaches the server (Wine). */
            if (string_of(instance, item, &item_name))
                answer = request(instance, item_name, format);
        } else if (type == XTYP_EXECUTE) {
            progman_commands.push_back(bytes);
            if (item == nullptr && execute(bytes))
                answer = (HDDEDATA)(uintptr_t)TRUE;
        }
    }
    if (result)
        *result = answer ? 0x8000 /* DDE_FACK */ : 0;
    return answer;
}

DWORD WINAPI DdeGetData(HDDEDATA data, LPBYTE buffer, DWORD capacity, DWORD offset) {
    DWORD copied = 0;
    auto it = data_blocks.find((uintptr_t)data);
    if (!enter("DdeGetData") && it != data_blocks.end()) {
        const std::string &bytes = it->second.bytes;
        DWORD size = (DWORD)bytes.size();
        if (buffer == nullptr)
            copied = size;
        else if (offset < size) {
            copied = size - offset < capacity ? size - offset : capacity;
            memcpy(buffer, bytes.data() + offset, copied);
        }
    }
    return copied;
}

BOOL WINAPI DdeFreeDataHandle(HDDEDATA data) {
    enter("DdeFreeDataHandle");
    BOOL ok = data_blocks.erase((uintptr_t)data) == 1;
    return ok;
}

BOOL WINAPI DdeDisconnect(HCONV conversation) {
    enter("DdeDisconnect");
    BOOL ok = conversations.erase((uintptr_t)conversation) == 1;
    return ok;
}

BOOL WINAPI DdeFreeStringHandle(DWORD instance, HSZ text) {
    BOOL ok = FALSE;
    auto it = strings.find((uintptr_t)text);
    enter("DdeFreeStringHandle");
    if (it != strings.end() && it->second.instance == instance) {
        if (--it->second.uses == 0)
            strings.erase(it);
        ok = TRUE;
    }
    return ok;
}

BOOL WINAPI DdeUninitialize(DWORD instance) {
    enter("DdeUninitialize");
    BOOL ok = instances.erase(instance) == 1;
    if (ok) {
        for (auto it = conversations.begin(); it != conversations.end();)
            it = it->second == instance ? conversations.erase(it) : std::next(it);
        for (auto it = strings.begin(); it != strings.end();)
            it = it->second.instance == instance ? strings.erase(it) : std::next(it);
        for (auto it = data_blocks.begin(); it != data_blocks.end();)
            it = it->second.instance == instance ? data_blocks.erase(it) : std::next(it);
    }
    return ok;
}

} // extern "C"
