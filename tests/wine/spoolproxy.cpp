/* spoolproxy.cpp: a stand-in WINSPOOL.DRV that reports queued jobs, which Wine's own spooler
 * never does (its cJobs is always 0).  Placed beside the program under test and preferred
 * through WINEDLLOVERRIDES="winspool.drv=n,b", it passes every call on to a renamed copy of
 * Wine's winspool.drv (wsreal.drv, in the same folder) and only changes the job count of the
 * printers named in the environment variable QUEUED_JOBS ("printer=count;printer=count").
 * It exports what the uninstaller and the library import. */
#include <windows.h>
#include <winspool.h>

namespace {

enum { SETTING_CAPACITY = 1024 };

HMODULE real_spooler;
char setting[SETTING_CAPACITY];

/* The routine `name` of Wine's spooler (as an untyped pointer, cast by the caller). */
void *real(const char *name) {
    if (real_spooler == NULL)
        real_spooler = LoadLibraryA("wsreal.drv");
    return real_spooler ? (void *)GetProcAddress(real_spooler, name) : NULL;
}

/* The queued jobs the test gives for `printer`, or -1 to leave the count alone. */
long queued_jobs(const char *printer) {
    DWORD n = GetEnvironmentVariableA("QUEUED_JOBS", setting, SETTING_CAPACITY);
    if (n == 0 || n >= SETTING_CAPACITY)
        return -1;
    char *entry = setting;
    while (*entry) {
        char *end = entry;
        while (*end && *end != ';')
            end++;
        char *equals = entry;
        while (equals < end && *equals != '=')
            equals++;
        if (equals < end) {
            *equals = '\0';
            if (lstrcmpiA(entry, printer) == 0) {
                long count = 0;
                for (const char *d = equals + 1; d < end && *d >= '0' && *d <= '9'; d++)
                    count = count * 10 + (*d - '0');
                return count;
            }
        }
        entry = *end ? end + 1 : end;
    }
    return -1;
}

} // namespace

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                          LPDWORD needed, LPDWORD returned) {
    typedef BOOL(WINAPI * call)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    call enumerate = (call)real("EnumPrintersA");
    if (enumerate == NULL) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    BOOL ok = enumerate(flags, name, level, buffer, size, needed, returned);
    if (ok && level == 2 && buffer != NULL) {
        PRINTER_INFO_2A *printers = (PRINTER_INFO_2A *)buffer;
        for (DWORD i = 0; i < *returned; i++) {
            long jobs = queued_jobs(printers[i].pPrinterName);
            if (jobs >= 0)
                printers[i].cJobs = (DWORD)jobs;
        }
    }
    return ok;
}

BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
    typedef BOOL(WINAPI * call)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA);
    call open = (call)real("OpenPrinterA");
    return open ? open(name, printer, defaults) : FALSE;
}

BOOL WINAPI ClosePrinter(HANDLE printer) {
    typedef BOOL(WINAPI * call)(HANDLE);
    call close = (call)real("ClosePrinter");
    return close ? close(printer) : FALSE;
}

BOOL WINAPI DeletePrinter(HANDLE printer) {
    typedef BOOL(WINAPI * call)(HANDLE);
    call remove = (call)real("DeletePrinter");
    return remove ? remove(printer) : FALSE;
}

BOOL WINAPI DeletePrinterDriverA(LPSTR server, LPSTR environment, LPSTR driver) {
    typedef BOOL(WINAPI * call)(LPSTR, LPSTR, LPSTR);
    call remove = (call)real("DeletePrinterDriverA");
    return remove ? remove(server, environment, driver) : FALSE;
}

} // extern "C"
