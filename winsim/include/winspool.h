/* winspool.h: the print spooler calls of the system (level-2 printer records,
 * printer and driver deletion), declared as in the Windows SDK. */
#ifndef WINSIM_WINSPOOL_H
#define WINSIM_WINSPOOL_H

#include <windows.h>

#define PRINTER_ENUM_DEFAULT 0x00000001
#define PRINTER_ENUM_LOCAL 0x00000002
#define PRINTER_ENUM_CONNECTIONS 0x00000004
#define PRINTER_ENUM_NAME 0x00000008

#define PRINTER_ATTRIBUTE_LOCAL 0x00000040
#define PRINTER_STATUS_PENDING_DELETION 0x00000004

typedef struct _devicemodeA DEVMODEA, *LPDEVMODEA;

typedef struct _PRINTER_INFO_2A {
    LPSTR pServerName;
    LPSTR pPrinterName;
    LPSTR pShareName;
    LPSTR pPortName;
    LPSTR pDriverName;
    LPSTR pComment;
    LPSTR pLocation;
    LPDEVMODEA pDevMode;
    LPSTR pSepFile;
    LPSTR pPrintProcessor;
    LPSTR pDatatype;
    LPSTR pParameters;
    PSECURITY_DESCRIPTOR pSecurityDescriptor;
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
} PRINTER_INFO_2A, *PPRINTER_INFO_2A, *LPPRINTER_INFO_2A;

typedef struct _PRINTER_DEFAULTSA {
    LPSTR pDatatype;
    LPDEVMODEA pDevMode;
    DWORD DesiredAccess;
} PRINTER_DEFAULTSA, *LPPRINTER_DEFAULTSA;

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD capacity,
                          LPDWORD needed, LPDWORD returned);
BOOL WINAPI OpenPrinterA(LPSTR printer_name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
BOOL WINAPI DeletePrinter(HANDLE printer);
BOOL WINAPI ClosePrinter(HANDLE printer);
BOOL WINAPI DeletePrinterDriverA(LPSTR server_name, LPSTR environment, LPSTR driver_name);

#ifdef __cplusplus
}
#endif

#endif
