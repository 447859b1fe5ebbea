/* ddeml.h: the client side of the DDE management library, declared as in the Windows SDK. */
#ifndef WINSIM_DDEML_H
#define WINSIM_DDEML_H

#include <windows.h>

typedef struct HCONV__ *HCONV;
typedef struct HSZ__ *HSZ;
typedef struct HDDEDATA__ *HDDEDATA;

typedef HDDEDATA(CALLBACK *PFNCALLBACK)(UINT type, UINT format, HCONV conversation, HSZ hsz1,
                                        HSZ hsz2, HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

typedef struct tagCONVCONTEXT {
    UINT cb;
    UINT wFlags;
    int iCountryID;
    int iCodePage;
    DWORD dwLangID;
    DWORD dwSecurity;
} CONVCONTEXT, *PCONVCONTEXT;

#define CP_WINANSI 1004
#define APPCMD_CLIENTONLY 0x00000010L
#define DMLERR_NO_ERROR 0
#define DMLERR_DATAACKTIMEOUT 0x4002
#define DMLERR_DLL_USAGE 0x4004
#define DMLERR_INVALIDPARAMETER 0x4006
#define DMLERR_NOTPROCESSED 0x4009
#define DMLERR_NO_CONV_ESTABLISHED 0x400a
#define DMLERR_SYS_ERROR 0x400f

#define XCLASS_DATA 0x2000
#define XCLASS_FLAGS 0x4000
#define XTYPF_NOBLOCK 0x0002
#define XTYP_REQUEST (0x00B0 | XCLASS_DATA)
#define XTYP_EXECUTE (0x0050 | XCLASS_FLAGS)

#ifdef __cplusplus
extern "C" {
#endif

UINT WINAPI DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD commands, DWORD reserved);
HSZ WINAPI DdeCreateStringHandleA(DWORD instance, LPCSTR text, int code_page);
HCONV WINAPI DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context);
HDDEDATA WINAPI DdeClientTransaction(LPBYTE data, DWORD data_size, HCONV conversation, HSZ item,
                                     UINT format, UINT type, DWORD timeout, LPDWORD result);
DWORD WINAPI DdeGetData(HDDEDATA data, LPBYTE buffer, DWORD capacity, DWORD offset);
BOOL WINAPI DdeFreeDataHandle(HDDEDATA data);
BOOL WINAPI DdeDisconnect(HCONV conversation);
BOOL WINAPI DdeFreeStringHandle(DWORD instance, HSZ text);
BOOL WINAPI DdeUninitialize(DWORD instance);

#ifdef __cplusplus
}
#endif

#endif
