/* printers.cpp: removal of the local printers that use the driver "Orvane Type2" and have no
 * queued jobs, of the driver itself and of its registry key.  Printers of the sibling
 * drivers ("Orvane", "Orvane Type1") belong to another installed product: they are never
 * touched, but they are noticed, because that product still needs the setup library. */
#include <windows.h>
#include <winspool.h>

#include "messages.h"
#include "printers.h"

enum {
    DRIVER_NAME_CAPACITY = 256,
    DRIVER_KEY_CAPACITY = 512,
    KEY_NAME_CAPACITY = 256, /* a registry key name has at most 255 bytes */
    KEY_DEPTH_LIMIT = 16     /* levels below the driver key that are deleted one by one */
};

enum { PRINTER_INFO_LEVEL = 2 };

static char driver_name[DRIVER_NAME_CAPACITY];
static char sibling_driver[DRIVER_NAME_CAPACITY];
static char sibling_driver_type1[DRIVER_NAME_CAPACITY];
static char driver_key[DRIVER_KEY_CAPACITY];
static char subkey_names[KEY_DEPTH_LIMIT][KEY_NAME_CAPACITY];

static int same_driver(const char *name, const char *wanted) {
    return name != NULL && lstrcmpiA(name, wanted) == 0;
}

/* Deletes the idle printers of the driver, asking for the driver's deletion after each (the
 * spooler keeps the driver while any printer still uses it).  Returns 0 when a printer of a
 * sibling driver is among the records, else 1. */
static int examine_printers(const PRINTER_INFO_2A *records, DWORD count) {
    int no_sibling_printer = 1;
    for (DWORD i = 0; i < count; i++) {
        const PRINTER_INFO_2A *record = &records[i];
        if (record->cJobs == 0 && same_driver(record->pDriverName, driver_name)) {
            HANDLE printer;
            if (OpenPrinterA(record->pPrinterName, &printer, NULL)) {
                DeletePrinter(printer);
                ClosePrinter(printer);
            }
            DeletePrinterDriverA(NULL, NULL, record->pDriverName);
        }
        if (same_driver(record->pDriverName, sibling_driver) ||
            same_driver(record->pDriverName, sibling_driver_type1))
            no_sibling_printer = 0;
    }
    return no_sibling_printer;
}

/* Windows 95/98 delete a key together with its subkeys in one call; Windows NT (and Wine)
 * refuse a key that has subkeys, so there the subkeys go first, level by level.  An empty
 * name would name `parent` itself, whose subkeys would all go: it is never deleted. */
static LONG delete_key_tree(HKEY parent, const char *name, int depth) {
    if (name[0] == '\0')
        return ERROR_BADKEY;
    LONG result = RegDeleteKeyA(parent, name);
    if (result == ERROR_SUCCESS || depth >= KEY_DEPTH_LIMIT)
        return result;
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return result;
    DWORD index = 0;
    for (;;) {
        DWORD size = KEY_NAME_CAPACITY;
        if (RegEnumKeyExA(key, index, subkey_names[depth], &size, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS)
            break;
        /* A subkey that stays is passed over; the others move up to its index. */
        if (delete_key_tree(key, subkey_names[depth], depth + 1) != ERROR_SUCCESS)
            index++;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

int remove_printers_and_driver() {
    /* Until the printers have been examined, a printer of a sibling driver may be among them:
     * a spooler that cannot be asked, or sibling names that cannot be loaded, must not cost the
     * other product its setup library. */
    int no_sibling_printer = 0;
    LoadStringA(program_instance, IDS_DRIVER, driver_name, DRIVER_NAME_CAPACITY);
    int siblings_known =
        LoadStringA(program_instance, IDS_SIBLING_DRIVER, sibling_driver, DRIVER_NAME_CAPACITY) > 0;
    if (LoadStringA(program_instance, IDS_SIBLING_DRIVER_TYPE1, sibling_driver_type1,
                    DRIVER_NAME_CAPACITY) == 0)
        siblings_known = 0;

    DWORD needed = 0;
    DWORD count = 0;
    /* With printers the size query fails, reporting the size; without any it succeeds. */
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, PRINTER_INFO_LEVEL, NULL, 0, &needed, &count) &&
        needed == 0)
        no_sibling_printer = 1;
    if (needed != 0) {
        HGLOBAL memory = GlobalAlloc(GMEM_ZEROINIT, needed);
        LPBYTE block = memory != NULL ? (LPBYTE)GlobalLock(memory) : NULL;
        if (block != NULL) {
            if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, PRINTER_INFO_LEVEL, block, needed, &needed,
                              &count))
                no_sibling_printer = examine_printers((const PRINTER_INFO_2A *)block, count);
            HGLOBAL handle = GlobalHandle(block);
            GlobalUnlock(handle);
            GlobalFree(handle);
        } else if (memory != NULL) {
            GlobalFree(memory);
        }
    }

    /* The driver's key goes even when the spooler could not be asked. */
    LoadStringA(program_instance, IDS_DRIVER_KEY, driver_key, DRIVER_KEY_CAPACITY);
    delete_key_tree(HKEY_LOCAL_MACHINE, driver_key, 0);
    return siblings_known ? no_sibling_printer : 0;
}
