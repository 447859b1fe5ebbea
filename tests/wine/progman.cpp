/* progman.cpp: stands in for the Program Manager's DDE side while a test runs.  It serves
 * "PROGMAN" (service and topic) through DDEML, answers a request for a group with the
 * group's description as the Program Manager gives it (first line: "name",file,item count,
 * then one line per item), answers nothing for an unknown group, and carries out
 * [DeleteGroup(name)], its argument read as the Program Manager's documentation gives it: in
 * quotes, or up to a comma, bracket or parenthesis (so that [DeleteGroup(A (B))] is refused). Every
 * request and execute is logged; the ready file is created once the service is registered.
 *
 * Usage: progman LOG [NAME-HEX:ITEMS]... READY-FILE
 * Log lines: "request item=HEX answered=0|1", "execute command=HEX", "deleted name=HEX". */
#include <windows.h>
#include <ddeml.h>

#include "helpers.h"

using namespace helper;

namespace {

enum { GROUP_CAPACITY = 16, NAME_CAPACITY = 512, REPLY_CAPACITY = 4096, COMMAND_CAPACITY = 1024 };

struct group {
    char name[NAME_CAPACITY];
    int items;
    int deleted;
};

group groups[GROUP_CAPACITY];
int group_count;
DWORD instance;
HSZ service;
char item_name[NAME_CAPACITY];
char reply[REPLY_CAPACITY];
char command[COMMAND_CAPACITY];
char argument[NAME_CAPACITY];

int is_argument_end(char c) {
    return c == ',' || c == '(' || c == ')' || c == '[' || c == ']';
}

group *find_group(const char *name) {
    for (int i = 0; i < group_count; i++)
        if (!groups[i].deleted && lstrcmpiA(groups[i].name, name) == 0)
            return &groups[i];
    return NULL;
}

void append(const char *text) {
    lstrcpynA(reply + lstrlenA(reply), text, REPLY_CAPACITY - lstrlenA(reply));
}

HDDEDATA answer_request(HSZ item, UINT format) {
    DdeQueryStringA(instance, item, item_name, NAME_CAPACITY, CP_WINANSI);
    group *g = format == CF_TEXT ? find_group(item_name) : NULL;
    log_text("request item=");
    log_hex(item_name, lstrlenA(item_name));
    log_text(g ? " answered=1" : " answered=0");
    log_end();
    if (g == NULL)
        return NULL;
    char number[16];
    wsprintfA(number, "%d", g->items);
    reply[0] = '\0';
    append("\"");
    append(g->name);
    append("\",C:\\WINDOWS\\ORVANE.GRP,");
    append(number);
    append(",1\r\n");
    for (int i = 0; i < g->items; i++)
        append("\"Item\",\"C:\\WINDOWS\\NOTEPAD.EXE\",,C:\\WINDOWS\\NOTEPAD.EXE,0,0,0,0,0\r\n");
    return DdeCreateDataHandle(instance, (BYTE *)reply, (DWORD)lstrlenA(reply) + 1, 0, item,
                               CF_TEXT, 0);
}

HDDEDATA carry_out(HDDEDATA data) {
    DWORD size = DdeGetData(data, (BYTE *)command, COMMAND_CAPACITY - 1, 0);
    command[size] = '\0';
    log_text("execute command=");
    log_hex(command, (int)size);
    log_end();
    static const char prefix[] = "[DeleteGroup(";
    int prefix_length = lstrlenA(prefix);
    if (lstrlenA(command) < prefix_length ||
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, command, prefix_length, prefix,
                       prefix_length) != CSTR_EQUAL)
        return (HDDEDATA)DDE_FNOTPROCESSED;
    /* The argument as the Program Manager reads it: in quotes, or up to a comma, a bracket or
     * a parenthesis, without its trailing blanks; then ")]" ends the command. */
    const char *at = command + prefix_length;
    int length = 0;
    if (*at == '"') {
        for (at++; *at != '\0' && *at != '"' && length < NAME_CAPACITY - 1; at++)
            argument[length++] = *at;
        if (*at != '"')
            return (HDDEDATA)DDE_FNOTPROCESSED;
        at++;
    } else {
        for (; *at != '\0' && !is_argument_end(*at) && length < NAME_CAPACITY - 1; at++)
            argument[length++] = *at;
        while (length > 0 && argument[length - 1] == ' ')
            length--;
    }
    argument[length] = '\0';
    if (lstrcmpA(at, ")]") != 0)
        return (HDDEDATA)DDE_FNOTPROCESSED;
    group *g = find_group(argument);
    if (g == NULL)
        return (HDDEDATA)DDE_FNOTPROCESSED;
    g->deleted = 1;
    log_text("deleted name=");
    log_hex(g->name, lstrlenA(g->name));
    log_end();
    return (HDDEDATA)DDE_FACK;
}

HDDEDATA CALLBACK dde_callback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA data,
                               ULONG_PTR, ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(ULONG_PTR)(DdeCmpStringHandles(topic, service) == 0);
    case XTYP_REQUEST:
        return answer_request(item, format);
    case XTYP_EXECUTE:
        return carry_out(data);
    default:
        return NULL;
    }
}

int add_group(const char *group_text) {
    if (group_count == GROUP_CAPACITY)
        return 0;
    char hex[2 * NAME_CAPACITY];
    int i = 0;
    while (group_text[i] && group_text[i] != ':' && i < 2 * NAME_CAPACITY - 1) {
        hex[i] = group_text[i];
        i++;
    }
    hex[i] = '\0';
    if (group_text[i] != ':' || !decode_hex(hex, groups[group_count].name, NAME_CAPACITY))
        return 0;
    groups[group_count].items = (int)to_number(group_text + i + 1);
    group_count++;
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3 || !log_open(argv[1], 1))
        return 2;
    for (int i = 2; i < argc - 1; i++)
        if (!add_group(argv[i]))
            return 2;
    if (DdeInitializeA(&instance, dde_callback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR)
        return 3;
    service = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    if (!DdeNameService(instance, service, NULL, DNS_REGISTER))
        return 3;
    int status = serve(argv[argc - 1]);
    DdeNameService(instance, service, NULL, DNS_UNREGISTER);
    DdeFreeStringHandle(instance, service);
    DdeUninitialize(instance);
    return status;
}
