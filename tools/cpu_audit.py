#!/usr/bin/env python3
"""cpu_audit.py: checks that a PE file's code runs on a 386.

Usage: cpu_audit.py OBJDUMP FILE...

Disassembles the code sections of each FILE with OBJDUMP (MinGW's i686 objdump) and fails
(exit 1) when an instruction is newer than the 386: the 486's CMPXCHG, XADD, BSWAP, INVD,
WBINVD, INVLPG; the Pentium's CMPXCHG8B, RDTSC, CPUID, RDMSR, WRMSR, RSM; the Pentium Pro's
CMOVcc, FCMOVcc, FCOMI/FUCOMI, RDPMC, UD2, the long NOPs (0F 1F) and SYSENTER/SYSEXIT; MMX,
3DNow!, SSE and later (any MMX or XMM register, the fences, prefetches, FXSAVE, LDMXCSR, ...),
and CET's ENDBR32.  Windows 95 runs on a 386DX; every such instruction is an invalid opcode on
the processors of its time that lack it.  Prints the instructions it refused, with their
addresses, and a count per file either way.  Data that lies among the code (the empty
constructor lists at the end of .text) decodes as "(bad)" or as old instructions and passes.
"""
import re
import subprocess
import sys

NEWER = re.compile(
    r"\b(cmpxchg\w*|xadd\w?|bswap|invd|wbinvd|invlpg|rdtscp?|cpuid|rdmsr|wrmsr|rsm|rdpmc|"
    r"cmov\w+|fcmov\w+|f(u)?comip?|ud[012]|sysenter|sysexit|syscall|sysret|emms|femms|"
    r"[lsm]fence|prefetch\w*|clflush\w*|fxsave|fxrstor|[ls]tmxcsr|movnti|fisttp\w*|"
    r"popcnt|lzcnt|tzcnt|movbe|crc32\w*|endbr32|nop[wl])\b")
# A NOP with an operand is the long NOP (0F 1F /0) of the Pentium Pro.
LONG_NOP = re.compile(r"^nop\s+\S")
SIMD_REGISTER = re.compile(r"%(x|y|z)?mm\d")
LINE = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")


def audit(objdump, path):
    out = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True,
                         capture_output=True, text=True).stdout
    count = 0
    refused = []
    for line in out.splitlines():
        m = LINE.match(line)
        if not m:
            continue
        address, text = m.group(1), m.group(2).strip()
        count += 1
        if NEWER.search(text) or LONG_NOP.match(text) or SIMD_REGISTER.search(text):
            refused.append((address, text))
    for address, text in refused[:20]:
        print("%s: %s: %s, which a 386 does not have" % (path, address, text))
    if len(refused) > 20:
        print("%s: ... and %d more" % (path, len(refused) - 20))
    print("%s: %d instructions, %s" % (path, count, "%d newer than the 386" % len(refused)
                                       if refused else "all of the 386"))
    return not refused and count > 0


def main():
    objdump, files = sys.argv[1], sys.argv[2:]
    results = [audit(objdump, f) for f in files]
    return 0 if files and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
