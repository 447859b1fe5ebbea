/* spooler.cpp: the print spooler (local printers, their drivers and job counts).
 *
 * Behaviour reproduced (Win32 documentation of EnumPrinters; the level-2 listing measured
 * under Wine, see the project's notes): PRINTER_ENUM_LOCAL lists the local printers in the
 * order they were added; a call without a buffer, or with one too small, fails with
 * ERROR_INSUFFICIENT_BUFFER, reports no record and sets the size needed; a call with room
 * enough fills PRINTER_INFO_2A records followed by their texts, all inside the caller's
 * block.  Only level 2 is offered (another level fails with ERROR_INVALID_LEVEL). */
#include "internal.h"

#include <winspool.h>

#include <string.h>

namespace winsim {
namespace {

std::vector<winsim_printer> printers;

const char print_processor[] = "WinPrint";
const char data_type[] = "RAW";

/* Bytes of one printer's texts as EnumPrintersA packs them. */
size_t text_bytes(const winsim_printer &p) {
    return p.name.size() + 1 + p.port.size() + 1 + p.driver.size() + 1 + sizeof print_processor +
           sizeof data_type + 1 /* the empty text shared by the unset fields */;
}

} // namespace

void reset_spooler() {
    printers.clear();
}

} // namespace winsim

using namespace winsim;

void winsim_add_printer(const std::string &name, const std::string &port, const std::string &driver,
                        DWORD jobs) {
    printers.push_back(winsim_printer{name, port, driver, jobs});
}

const std::vector<winsim_printer> &winsim_printers() {
    return printers;
}

extern "C" {

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD capacity,
                          LPDWORD needed, LPDWORD returned) {
    (void)name;
    if (returned)
        *returned = 0;
    if (enter("EnumPrintersA")) {
        set_last_error(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (level != 2) {
        set_last_error(124L /* ERROR_INVALID_LEVEL */);
        return FALSE;
    }
    if (!needed || !returned) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<const winsim_printer *> listed;
    if (flags & PRINTER_ENUM_LOCAL)
        for (const winsim_printer &p : printers)
            listed.push_back(&p);
    size_t total = listed.size() * sizeof(PRINTER_INFO_2A);
    for (const winsim_printer *p : listed)
        total += text_bytes(*p);
    *needed = (DWORD)total;
    if (!buffer || capacity < total) {
        if (total == 0)
            return TRUE;
        set_last_error(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    PRINTER_INFO_2A *records = (PRINTER_INFO_2A *)buffer;
    char *texts = (char *)(records + listed.size());
    auto put = [&texts](const char *text, size_t length) {
        char *at = texts;
        memcpy(at, text, length);
        at[length] = '\0';
        texts += length + 1;
        return at;
    };
    for (size_t i = 0; i < listed.size(); i++) {
        const winsim_printer &p = *listed[i];
        PRINTER_INFO_2A &r = records[i];
        memset(&r, 0, sizeof r);
        r.pPrinterName = put(p.name.data(), p.name.size());
        r.pPortName = put(p.port.data(), p.port.size());
        r.pDriverName = put(p.driver.data(), p.driver.size());
        r.pPrintProcessor = put(print_processor, sizeof print_processor - 1);
        r.pDatatype = put(data_type, sizeof data_type - 1);
        char *empty = put("", 0);
        r.pShareName = r.pComment = r.pLocation = r.pSepFile = r.pParameters = empty;
        r.cJobs = p.jobs;
    }
    *returned = (DWORD)listed.size();
    return TRUE;
}

} // extern "C"
