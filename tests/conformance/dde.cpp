/* dde.cpp: the DDE management library. */
#include "conformance.h"

HDDEDATA CALLBACK no_transactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return NULL;
}

void check_dde() {
    section("DDE management library as a client, no Program Manager running");
    DWORD instance = 0;
    UINT result = DdeInitializeA(&instance, no_transactions, APPCMD_CLIENTONLY, 0);
    ok(result == DMLERR_NO_ERROR && instance != 0, "DdeInitializeA with a zero instance: %u",
       result);
    DWORD other = 12345;
    result = DdeInitializeA(&other, no_transactions, APPCMD_CLIENTONLY, 0);
    ok(result == DMLERR_INVALIDPARAMETER && other == 12345,
       "with an instance that is not zero (and not one of its own): %u, instance %u; want %d",
       result, (unsigned)other, (int)DMLERR_INVALIDPARAMETER);

    HSZ upper = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HSZ lower = DdeCreateStringHandleA(instance, "progman", CP_WINANSI);
    ok(upper != NULL && upper == lower,
       "string handles of \"PROGMAN\" and \"progman\": one handle for both");
    BOOL first = DdeFreeStringHandle(instance, upper);
    BOOL second = DdeFreeStringHandle(instance, upper);
    ok(first && second, "freed as often as it was created: %d, %d", first, second);

    static char long_name[257];
    memset(long_name, 'n', 256);
    struct {
        int length;
        int code_page;
        int made;
    } rows[] = {{0, CP_WINANSI, 0}, {255, CP_WINANSI, 1}, {256, CP_WINANSI, 0}, {12, 0, 1}};
    for (const auto &r : rows) {
        char text[257];
        memcpy(text, long_name, (size_t)r.length);
        text[r.length] = '\0';
        HSZ handle = DdeCreateStringHandleA(instance, text, r.code_page);
        ok((handle != NULL) == r.made, "a string handle of %d bytes, code page %d: %s; want %s",
           r.length, r.code_page, handle ? "made" : "none", r.made ? "made" : "none");
        if (handle != NULL)
            DdeFreeStringHandle(instance, handle);
    }
    HSZ stray = DdeCreateStringHandleA(instance + 1, "PROGMAN", CP_WINANSI);
    ok(stray == NULL, "a string handle for an instance that does not exist: %s",
       stray ? "made" : "none");

    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, progman, progman, NULL);
    ok(conversation == NULL, "DdeConnect(PROGMAN, PROGMAN) with no server: %s",
       conversation ? "connected" : "none");
    BOOL ended = DdeUninitialize(instance);
    BOOL again = DdeUninitialize(instance);
    ok(ended && !again, "DdeUninitialize: %d; a second time: %d", ended, again);
}
