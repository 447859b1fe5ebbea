#!/usr/bin/env python3
"""pe_audit.py: checks that a PE file loads on a clean Windows 95 (and so on 98).

Usage: pe_audit.py FILE [--gui] [--exports NAME@ORDINAL,...] [--max-size BYTES]

Fails (exit 1, one line per finding) when: the machine is not i386; the OS or subsystem
version is above 4.0; --gui is given and the subsystem is not the Windows GUI; the export
table differs from --exports (for a DLL); a DLL is imported from outside kernel32, user32,
advapi32, winspool.drv, comdlg32 and crtdll (msvcrt.dll, or any other C runtime, is not part
of Windows 95); an imported function is not on the list of Windows 95's exports
(tools/win95_imports.txt); a DLL has a TLS directory (Windows 95's LoadLibrary refuses a DLL
with static TLS, KB Q118816); the file is larger than --max-size.  Prints what it read either
way.
"""
import os
import struct
import sys

ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "winspool.drv", "comdlg32.dll",
                "crtdll.dll"}
IMAGE_FILE_DLL = 0x2000
TLS_DIRECTORY = 9


def read_win95_exports():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "win95_imports.txt")
    exports = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if len(line) >= 2:
                exports.add((line[0].lower(), line[1]))
    return exports


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, nsections, _, _, _, opt_size, self.characteristics) = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic != 0x10B:
            raise ValueError("not a PE32 file")
        (self.os_major, self.os_minor) = struct.unpack_from("<HH", data, opt + 40)
        (self.sub_major, self.sub_minor) = struct.unpack_from("<HH", data, opt + 48)
        (self.subsystem, self.dll_characteristics) = struct.unpack_from("<HH", data, opt + 68)
        ndirs = struct.unpack_from("<I", data, opt + 92)[0]
        self.dirs = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(ndirs)]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("RVA %#x outside the sections" % rva)

    def cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        out = {}
        if len(self.dirs) < 2 or self.dirs[1][0] == 0:
            return out
        o = self.offset(self.dirs[1][0])
        while True:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", self.data, o)
            if name_rva == 0:
                break
            dll = self.cstring(name_rva).lower()
            names = []
            t = self.offset(lookup or thunk)
            while True:
                entry = struct.unpack_from("<I", self.data, t)[0]
                if entry == 0:
                    break
                if entry & 0x80000000:
                    names.append("#%d" % (entry & 0xFFFF))
                else:
                    names.append(self.cstring(entry + 2))
                t += 4
            out.setdefault(dll, []).extend(names)
            o += 20
        return out

    def exports(self):
        if not self.dirs or self.dirs[0][0] == 0:
            return []
        o = self.offset(self.dirs[0][0])
        (_, _, _, _, _, base, nfuncs, nnames, funcs, names, ordinals) = struct.unpack_from(
            "<IIHHIIIIIII", self.data, o)
        out = []
        named = set()
        for i in range(nnames):
            name = self.cstring(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0])
            index = struct.unpack_from("<H", self.data, self.offset(ordinals) + 2 * i)[0]
            out.append("%s@%d" % (name, base + index))
            named.add(index)
        for i in range(nfuncs):
            if i not in named and struct.unpack_from("<I", self.data, self.offset(funcs) + 4 * i)[0]:
                out.append("#%d" % (base + i))
        return sorted(out)


def main():
    args = sys.argv[1:]
    path = args[0]
    gui = "--gui" in args
    exports = None
    max_size = None
    if "--exports" in args:
        exports = sorted(e for e in args[args.index("--exports") + 1].split(",") if e)
    if "--max-size" in args:
        max_size = int(args[args.index("--max-size") + 1])
    with open(path, "rb") as f:
        data = f.read()
    pe = PE(data)
    problems = []
    name = os.path.basename(path)
    is_dll = bool(pe.characteristics & IMAGE_FILE_DLL)
    has_tls = len(pe.dirs) > TLS_DIRECTORY and pe.dirs[TLS_DIRECTORY][0] != 0
    print("%s: %d bytes, machine %#x, OS %d.%d, subsystem %d version %d.%d, "
          "DLL characteristics %#x, %s, %s" % (
              name, len(data), pe.machine, pe.os_major, pe.os_minor, pe.subsystem, pe.sub_major,
              pe.sub_minor, pe.dll_characteristics,
              "relocations" if len(pe.dirs) > 5 and pe.dirs[5][0] else "no relocations",
              "a TLS directory" if has_tls else "no TLS directory"))
    if pe.machine != 0x14C:
        problems.append("machine is %#x, not i386" % pe.machine)
    if (pe.os_major, pe.os_minor) > (4, 0):
        problems.append("OS version %d.%d is above 4.0" % (pe.os_major, pe.os_minor))
    if (pe.sub_major, pe.sub_minor) > (4, 0):
        problems.append("subsystem version %d.%d is above 4.0" % (pe.sub_major, pe.sub_minor))
    if gui and pe.subsystem != 2:
        problems.append("subsystem %d is not the Windows GUI (2)" % pe.subsystem)
    if is_dll and has_tls:
        problems.append("has a TLS directory: Windows 95's LoadLibrary refuses a DLL with "
                        "static TLS (error 1114)")
    win95_exports = read_win95_exports()
    for dll, functions in sorted(pe.imports().items()):
        print("  imports %s: %s" % (dll, " ".join(functions)))
        if dll not in ALLOWED_DLLS:
            problems.append("imports from %s, which a clean Windows 95 does not have" % dll
                            if dll.startswith("msvc") or dll.startswith("api-ms-") else
                            "imports from %s, which is not a system DLL of Windows 95" % dll)
            continue
        for fn in functions:
            if (dll, fn) not in win95_exports:
                problems.append("imports %s!%s, which is not on the list of Windows 95 "
                                "exports that the binaries may import (tools/win95_imports.txt)"
                                % (dll, fn))
    found_exports = pe.exports()
    print("  exports: %s" % (" ".join(found_exports) or "none"))
    if exports is not None and found_exports != exports:
        problems.append("exports %s, expected %s" % (found_exports, exports))
    if max_size is not None and len(data) > max_size:
        problems.append("%d bytes is more than %d" % (len(data), max_size))
    for p in problems:
        print("%s: %s" % (name, p))
    print("%s: %s" % (name, "fit for Windows 95" if not problems else "NOT fit"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
