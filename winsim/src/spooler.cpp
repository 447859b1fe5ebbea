/* spooler.cpp: the print spooler of one machine: local printers (name, port, driver, count
 * of queued jobs) and the installed printer drivers of the environment "Windows 4.0".
 *
 * Behaviour reproduced (Win32 documentation of EnumPrinters, OpenPrinter, DeletePrinter and
 * DeletePrinterDriver; the project's notes on Wine's spooler):
 * - EnumPrintersA level 2 fills the caller's block with PRINTER_INFO_2A records from its
 *   start and puts every string the records point at inside the same block, packed from the
 *   block's end.  A block too small (a NULL buffer with size 0 included) fails with
 *   ERROR_INSUFFICIENT_BUFFER and reports the size needed; with no printers the call
 *   succeeds with 0 needed and 0 records.
 * - DeletePrinter removes an idle printer at once; a printer with queued jobs is only marked
 *   for deletion (PRINTER_STATUS_PENDING_DELETION) and stays listed while its jobs remain.
 * - DeletePrinterDriverA refuses a driver that a printer still uses
 *   (ERROR_PRINTER_DRIVER_IN_USE) and an unknown one (ERROR_UNKNOWN_PRINTER_DRIVER), as the
 *   documentation states ("all printer objects that use the driver must be deleted first").
 *   Wine deletes a driver in use and reports a missing one with error 126; the system does
 *   not depend on either result.
 * - ClosePrinter fails only for a handle that is not valid; a valid one is always released,
 *   so a failure that a test injects there changes nothing.
 * Every printer and driver request is recorded, so that tests can check their order. */
#include "internal.h"

#include <string.h>

#include <winspool.h>

namespace winsim {
namespace {

struct printer {
    long id;
    std::string name, port, driver;
    DWORD jobs;
    bool openable;
    bool pending_deletion;
};

std::vector<printer> printers; /* in the spooler's order */
std::vector<std::string> drivers;
std::vector<winsim_spooler_request> requests;
std::map<long, std::string> names_by_id; /* every printer that existed, for the record */
long next_printer = 1;

const char environment_name[] = "Windows 4.0";
const char print_processor[] = "WINPRINT";
const char data_type[] = "RAW";

printer *printer_by_id(long id) {
    for (printer &p : printers)
        if (p.id == id)
            return &p;
    return nullptr;
}

printer *printer_by_name(const std::string &name) {
    for (printer &p : printers)
        if (same_name(p.name, name))
            return &p;
    return nullptr;
}

bool driver_installed(const std::string &name) {
    for (const std::string &d : drivers)
        if (same_name(d, name))
            return true;
    return false;
}

BOOL record(const char *api, const std::string &name, BOOL result) {
    requests.push_back(winsim_spooler_request{api, name, result});
    return result;
}

DWORD string_bytes(const printer &p) {
    /* name, port, driver, share name, comment, location, separator file, print processor,
     * data type, parameters */
    return (DWORD)(p.name.size() + 1 + p.port.size() + 1 + p.driver.size() + 1 + 5 * 1 +
                   sizeof print_processor + sizeof data_type);
}

/* Copies `text` to just below `*end` and returns where it went. */
LPSTR pack(const std::string &text, char **end) {
    *end -= text.size() + 1;
    memcpy(*end, text.c_str(), text.size() + 1);
    return *end;
}

} // namespace

void reset_spooler() {
    printers.clear();
    drivers.clear();
    requests.clear();
    names_by_id.clear();
    next_printer = 1;
}

} // namespace winsim

using namespace winsim;

void winsim_add_printer_driver(const std::string &name) {
    if (!driver_installed(name))
        drivers.push_back(name);
}

void winsim_add_printer(const std::string &name, const std::string &port, const std::string &driver,
                        DWORD jobs) {
    winsim_add_printer_driver(driver);
    names_by_id[next_printer] = name;
    printers.push_back(printer{next_printer++, name, port, driver, jobs, true, false});
}

void winsim_set_printer_openable(const std::string &name, bool openable) {
    if (printer *p = printer_by_name(name))
        p->openable = openable;
}

std::vector<std::string> winsim_printers() {
    std::vector<std::string> names;
    for (const printer &p : printers)
        names.push_back(p.name);
    return names;
}

std::vector<std::string> winsim_printer_drivers() {
    return drivers;
}

const std::vector<winsim_spooler_request> &winsim_spooler_requests() {
    return requests;
}

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD capacity,
                          LPDWORD needed, LPDWORD returned) {
    if (fails("EnumPrintersA", ERROR_NOT_ENOUGH_MEMORY))
        return FALSE;
    if (level != 2 || needed == nullptr || returned == nullptr) {
        set_last_error(level != 2 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *returned = 0;
    /* Only this machine's own printers exist: no connections, no other servers. */
    std::vector<const printer *> listed;
    if ((flags & PRINTER_ENUM_LOCAL) && (name == nullptr || name[0] == '\0'))
        for (const printer &p : printers)
            listed.push_back(&p);
    DWORD size = 0;
    for (const printer *p : listed)
        size += (DWORD)sizeof(PRINTER_INFO_2A) + string_bytes(*p);
    *needed = size;
    if (capacity < size || (size != 0 && buffer == nullptr)) {
        set_last_error(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    PRINTER_INFO_2A *records = (PRINTER_INFO_2A *)buffer;
    char *end = (char *)buffer + capacity;
    for (size_t i = 0; i < listed.size(); i++) {
        const printer &p = *listed[i];
        PRINTER_INFO_2A &r = records[i];
        memset(&r, 0, sizeof r);
        r.pServerName = nullptr; /* a local printer */
        r.pPrinterName = pack(p.name, &end);
        r.pShareName = pack("", &end);
        r.pPortName = pack(p.port, &end);
        r.pDriverName = pack(p.driver, &end);
        r.pComment = pack("", &end);
        r.pLocation = pack("", &end);
        r.pDevMode = nullptr;
        r.pSepFile = pack("", &end);
        r.pPrintProcessor = pack(print_processor, &end);
        r.pDatatype = pack(data_type, &end);
        r.pParameters = pack("", &end);
        r.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        r.Status = p.pending_deletion ? PRINTER_STATUS_PENDING_DELETION : 0;
        r.cJobs = p.jobs;
    }
    *returned = (DWORD)listed.size();
    return TRUE;
}

BOOL WINAPI OpenPrinterA(LPSTR printer_name, LPHANDLE handle, LPPRINTER_DEFAULTSA defaults) {
    (void)defaults;
    std::string name = printer_name ? printer_name : "";
    if (fails("OpenPrinterA", ERROR_ACCESS_DENIED))
        return record("OpenPrinterA", name, FALSE);
    printer *p = printer_by_name(name);
    if (p == nullptr) {
        set_last_error(ERROR_INVALID_PRINTER_NAME);
        return record("OpenPrinterA", name, FALSE);
    }
    if (!p->openable) {
        set_last_error(ERROR_ACCESS_DENIED);
        return record("OpenPrinterA", name, FALSE);
    }
    *handle = new_handle(HANDLE_PRINTER, p->id);
    return record("OpenPrinterA", name, TRUE);
}

BOOL WINAPI DeletePrinter(HANDLE handle) {
    long id;
    printer *p = handle_valid(handle, HANDLE_PRINTER, &id) ? printer_by_id(id) : nullptr;
    std::string name = p ? p->name : "";
    if (fails("DeletePrinter", ERROR_ACCESS_DENIED))
        return record("DeletePrinter", name, FALSE);
    if (p == nullptr) {
        set_last_error(ERROR_INVALID_HANDLE);
        return record("DeletePrinter", name, FALSE);
    }
    if (p->jobs != 0) {
        p->pending_deletion = true; /* goes once its jobs are printed */
        return record("DeletePrinter", name, TRUE);
    }
    printers.erase(printers.begin() + (p - printers.data()));
    return record("DeletePrinter", name, TRUE);
}

BOOL WINAPI ClosePrinter(HANDLE handle) {
    long id;
    bool valid = handle_valid(handle, HANDLE_PRINTER, &id);
    std::string name = valid ? names_by_id[id] : "";
    enter("ClosePrinter"); /* a valid handle is always released */
    if (!valid) {
        set_last_error(ERROR_INVALID_HANDLE);
        return record("ClosePrinter", name, FALSE);
    }
    close_handle(handle);
    return record("ClosePrinter", name, TRUE);
}

BOOL WINAPI DeletePrinterDriverA(LPSTR server_name, LPSTR environment, LPSTR driver_name) {
    std::string name = driver_name ? driver_name : "";
    if (fails("DeletePrinterDriverA", ERROR_ACCESS_DENIED))
        return record("DeletePrinterDriverA", name, FALSE);
    if (server_name != nullptr && server_name[0] != '\0') {
        set_last_error(ERROR_INVALID_NAME); /* no other servers on this machine */
        return record("DeletePrinterDriverA", name, FALSE);
    }
    if (environment != nullptr && !same_name(environment, environment_name)) {
        set_last_error(ERROR_INVALID_ENVIRONMENT);
        return record("DeletePrinterDriverA", name, FALSE);
    }
    if (!driver_installed(name)) {
        set_last_error(ERROR_UNKNOWN_PRINTER_DRIVER);
        return record("DeletePrinterDriverA", name, FALSE);
    }
    for (const printer &p : printers)
        if (same_name(p.driver, name)) {
            set_last_error(ERROR_PRINTER_DRIVER_IN_USE);
            return record("DeletePrinterDriverA", name, FALSE);
        }
    for (size_t i = 0; i < drivers.size(); i++)
        if (same_name(drivers[i], name)) {
            drivers.erase(drivers.begin() + i);
            break;
        }
    return record("DeletePrinterDriverA", name, TRUE);
}

} // extern "C"
