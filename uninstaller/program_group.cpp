/* program_group.cpp: the product's Program Manager group, deleted over DDE once it holds no
 * items.  The Program Manager is asked for the group (service and topic "PROGMAN", the
 * group's name as the item); its reply starts with a line of comma-separated fields: the
 * group's name in quotes, the group's file, the number of items, then the state of the
 * group's window; one line per item follows.  Only an empty group is deleted. */
#include <windows.h>
#include <ddeml.h>
#include <stdlib.h>
#include <string.h>

#include "program_group.h"
#include "removal.h"

static const char program_manager[] = "PROGMAN"; /* service and topic */
static const char command_format[] = "%s%s%s";
static const char delete_group_open[] = "[DeleteGroup(";
static const char delete_group_close[] = ")]";
static const char quoted_group_open[] = "[DeleteGroup(\"";
static const char quoted_group_close[] = "\")]";
static const char field_separator[] = ",";
static const char argument_ends[] = ",()[]";

enum {
    /* "[DeleteGroup(" and "\")]" around the longest folder name, quotes included */
    COMMAND_CAPACITY = 14 + FOLDER_NAME_CAPACITY + 3,
    REPLY_LIMIT = 256, /* bytes of the reply that are read */
    REPLY_CAPACITY = REPLY_LIMIT + 1,
    DDE_TIMEOUT = 1000 /* ms */
};

static DWORD dde_instance;
static char command[COMMAND_CAPACITY];
static char reply[REPLY_CAPACITY];

/* A client receives no transactions it has to answer. */
static HDDEDATA CALLBACK ignore_transaction(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR,
                                            ULONG_PTR) {
    return 0;
}

static int name_holds_comma() {
    return strchr(saved.folder_name, ',') != NULL;
}

/* The Program Manager reads an argument up to a comma, a bracket or a parenthesis unless it
 * stands in quotes.  The bytes are looked at, not the characters: the second byte of a
 * double-byte character may equal a bracket, and a Program Manager that reads bytes would stop
 * there, while a name in quotes is read whole either way. */
static int name_needs_quotes() {
    return saved.folder_name[strcspn(saved.folder_name, argument_ends)] != '\0';
}

/* The delete command.  A name with a comma, a bracket or a parenthesis is put in quotes, or
 * the Program Manager would refuse the command or take the part before that character for the
 * group's name and delete another group. */
static void build_command() {
    if (name_needs_quotes())
        wsprintfA(command, command_format, quoted_group_open, saved.folder_name,
                  quoted_group_close);
    else
        wsprintfA(command, command_format, delete_group_open, saved.folder_name,
                  delete_group_close);
}

/* The item count as the third comma-separated field of the reply: runs of commas separate
 * as one and leading commas are skipped.  A reply of fewer than three fields has no count
 * and keeps the group. */
static long count_in_third_field() {
    const char *field = strtok(reply, field_separator);
    for (int skipped = 0; skipped < 2 && field != NULL; skipped++)
        field = strtok(NULL, field_separator);
    if (field == NULL)
        return 1;
    return strtol(field, NULL, 10);
}

/* The item count for a group name that holds commas, which split the name's field (and the
 * file's, when the file is the group's folder and ends with the name).  The quoted name is
 * skipped whole, then the group's file; the count follows.  Anything that does not read as
 * a count keeps the group. */
static long count_after_group_file() {
    int length = lstrlenA(saved.folder_name);
    if (reply[0] != '"' || lstrlenA(reply + 1) < length + 2 || reply[1 + length] != '"' ||
        reply[2 + length] != ',')
        return 1;
    char *file = reply + length + 3;
    char *line_end = file + strcspn(file, "\r\n");
    /* A first line that runs to the end of what was read was cut there (a long name comes
     * twice in it): its count is missing, and a comma of the name's second copy must not be
     * taken for the one before the count. */
    if (line_end == reply + REPLY_LIMIT)
        return 1;

    /* A folder path ends with the group's name: "\" + name, then the comma after the file. */
    char *file_end = NULL;
    for (char *at = file; at < line_end && file_end == NULL;
         at += IsDBCSLeadByte((BYTE)*at) && at[1] != '\0' ? 2 : 1) {
        if (*at == '\\' && strncmp(at + 1, saved.folder_name, length) == 0 && at[1 + length] == ',')
            file_end = at + 1 + length;
    }
    if (file_end == NULL)
        file_end = strchr(file, ',');
    if (file_end == NULL || file_end >= line_end)
        return 1;

    const char *count = file_end + 1;
    while (*count == ' ' || *count == '\t')
        count++;
    if (*count < '0' || *count > '9')
        return 1;
    return strtol(count, NULL, 10);
}

/* Asks the Program Manager for the group and returns its item count; 1 when there is no
 * reply or it holds no count. */
static long read_item_count(HCONV conversation) {
    /* The name's string handle and the reply's data handle are released with the instance. */
    HSZ group = DdeCreateStringHandleA(dde_instance, saved.folder_name, CP_WINANSI);
    memset(reply, 0, REPLY_CAPACITY);
    HDDEDATA data = DdeClientTransaction(NULL, 0, conversation, group, CF_TEXT, XTYP_REQUEST,
                                         DDE_TIMEOUT, NULL);
    if (data == NULL)
        return 1;
    DdeGetData(data, (LPBYTE)reply, REPLY_LIMIT, 0);
    if (reply[0] == '\0')
        return 1;
    /* A name that must stand in quotes in the delete command cannot hold a quote itself. */
    if (name_needs_quotes() && strchr(saved.folder_name, '"') != NULL)
        return 1;
    return name_holds_comma() ? count_after_group_file() : count_in_third_field();
}

static void delete_group_if_empty(HSZ program_manager_name) {
    HCONV conversation = DdeConnect(dde_instance, program_manager_name, program_manager_name, NULL);
    if (conversation == NULL)
        return; /* no Program Manager */
    if (read_item_count(conversation) == 0)
        DdeClientTransaction((LPBYTE)command, (DWORD)lstrlenA(command) + 1, conversation, NULL,
                             CF_TEXT, XTYP_EXECUTE, DDE_TIMEOUT, NULL);
    DdeDisconnect(conversation);
}

void remove_program_group() {
    build_command();
    dde_instance = 0;
    if (DdeInitializeA(&dde_instance, ignore_transaction, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return;
    HSZ program_manager_name = DdeCreateStringHandleA(dde_instance, program_manager, CP_WINANSI);
    /* Without the name the connection would be to any server on any topic. */
    if (program_manager_name != NULL) {
        delete_group_if_empty(program_manager_name);
        DdeFreeStringHandle(dde_instance, program_manager_name);
    }
    DdeUninitialize(dde_instance);
}
