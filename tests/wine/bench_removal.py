#!/usr/bin/env python3
"""bench_removal.py: the real kmw48rmv.exe under Wine, timed doing the whole removal (restart
declined, boxes answered at once by the box runner) on three machines that differ only in the
size of system.ini and wininit.ini: as the product leaves them ("ordinary"), then 16 MiB and
64 MiB each, generated.

Prints, per machine, the removal time (from the press of Yes on the confirmation until the
restart question appears, as the box runner sees it: the child command, the spooler, both
line-file rewrites, the backup copy, the registry, DDE), the whole run from start to exit,
and the program's peak memory: the box runner's GetProcessMemoryInfo samples, taken every
20 ms and just before each answer, whose peak working set under Wine is the VmHWM of the
Wine process running kmw48rmv.exe (its largest resident size, Wine's own DLLs included) and
whose private bytes are its RssAnon (the largest seen).  File data that the program reads
and writes goes through the page cache and never counts as its memory.

Both rewritten files are checked byte for byte against what the removal must make of them,
so a fast run that did not do the work cannot pass.

Targets: the 64 MiB run takes at most 5 times the 16 MiB run (time grows linearly); the peak
working set of the three runs lies within 1 MiB.  Exit status 0 when every removal was
correct and both targets were met, 1 otherwise.

Each machine runs --repeat times (default 3) and the median of each figure is reported: the
machine is shared, and single runs vary by a few hundred milliseconds and, under Wine, by a
few hundred KiB of peak working set between identical runs.

Usage: bench_removal.py BIN_DIR WORK_DIR [--base PREFIX] [--repeat N]
"""
import argparse
import os
import random
import shutil
import statistics
import sys

import product
import wine
from machine import Machine

MIB = 1 << 20
LINE_CAPACITY = 256  # pieces of system.ini: lines longer than 255 bytes come in pieces


# ---- Generated files -------------------------------------------------------------------

def _filler_lines(rng):
    """Lines of a long system.ini: its usual sections, [386Enh] with device lines (some of
    them the product's, which the removal drops) and comment lines of every length up to
    600 bytes: each line without its CR LF."""
    sections = [
        [b"[boot]", b"shell=Explorer.exe", b"system.drv=system.drv", b"mouse.drv=mouse.drv",
         b"device=hvq.386"],
        [b"[386Enh]", b"device=*vmm", b"device=*vcd", b"keyboard=*vkd",
         b"EMMExclude=C000-CFFF", b"device=hvq.386", b"DEVICE=HVQN.386 ; fax modem",
         b"device = hvq.386", b"device=hvq.3860", b"woafont=dosapp.fon"],
        [b"[drivers]", b"wave=mmsndsys.drv", b"timer=timer.drv", b"midimapper=midimap.drv"],
        [b"[mci]", b"cdaudio=mcicda.drv", b"sequencer=mciseq.drv", b"avivideo=mciavi.drv"],
        [b"[386enh]", b"device=hvqn.386"],
    ]
    comment_letters = b"abcdefghijklmnopqrstuvwxyz ;.,-0123456789"
    while True:
        for lines in sections:
            yield lines[0]
            for _ in range(rng.randint(1, 4)):
                for line in lines[1:]:
                    yield line
                    if rng.random() < 0.3:
                        length = rng.choice((0, 1, 20, 80, 200, 254, 255, 256, 300, 511, 600))
                        yield b";" + bytes(rng.choice(comment_letters)
                                           for _ in range(max(0, length - 1)))


def generate_system_ini(head, size, seed):
    """A system.ini-like file of `size` bytes (give or take a line) with CR LF line ends,
    beginning with `head`."""
    rng = random.Random(seed)
    whole = [head]
    length = len(head)
    for line in _filler_lines(rng):
        if length >= size:
            break
        whole.append(line + b"\r\n")
        length += len(whole[-1])
    return b"".join(whole)


def generate_wininit(size, seed):
    """A wininit.ini of `size` bytes: a [rename] section of earlier entries (deletions and
    replacements, paths of mixed lengths), CR LF line ends."""
    rng = random.Random(seed)
    lines = [b"[rename]\r\n"]
    length = len(lines[0])
    n = 0
    while length < size:
        n += 1
        if rng.random() < 0.5:
            line = b"NUL=C:\\WINDOWS\\TEMP\\~DF%04X.TMP\r\n" % (n & 0xFFFF)
        else:
            folder = b"\\".join(b"FOLDER%02d" % rng.randint(0, 99)
                                for _ in range(rng.randint(1, 12)))
            line = (b"C:\\WINDOWS\\SYSTEM\\X%06d.DLL=C:\\%s\\X%06d.NEW\r\n" % (n, folder, n))
        lines.append(line)
        length += len(line)
    return b"".join(lines)


# ---- One machine -----------------------------------------------------------------------

class Result:
    def __init__(self, label, system_ini_size, wininit_size, run, removal_ms):
        self.label = label
        self.system_ini_size = system_ini_size
        self.wininit_size = wininit_size
        self.run = run
        self.removal_ms = removal_ms
        self.total_ms = dict(run.times).get("exit")


def removal_time(run):
    """Milliseconds from the press of Yes on the confirmation to the restart question."""
    pressed = [at for event, at in run.times if event == "pressed"]
    boxes = [at for event, at in run.times if event == "box"]
    return boxes[1] - pressed[0]


def bench_machine(bin_dir, base, work, label, size, seed):
    machine = Machine(bin_dir, base, work)
    try:
        # The machine of the Wine scenarios' removal; its Program Manager keeps the
        # wineserver up until the run: a wineserver that starts again runs wineboot, which
        # would carry out wininit.ini at once.
        r = product.Removal(machine)
        windows = machine.windows_dir
        head = r.wine_system_ini + product.system_ini_lines()
        if size is None:
            system_ini = head
            wininit = b"[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\~DF0001.TMP\r\n"
        else:
            system_ini = generate_system_ini(head, size, seed)
            wininit = generate_wininit(size, seed + 1)
        expected_system_ini = product.without_device_lines(system_ini)
        with open(machine.host_path(windows + r"\system.ini"), "wb") as f:
            f.write(system_ini)
        with open(machine.host_path(windows + r"\wininit.ini"), "wb") as f:
            f.write(wininit)
        entries = r.entries([r.uninstaller, r.product_ini] + r.system_files)
        header = b"[rename]\r\n"
        expected_wininit = header + entries + wininit[len(header):]

        run = r.remove(timeout_ms=900000)

        problems = []
        if not run.went_as_scripted or run.exit_code != 0 or len(run.boxes) != 2:
            problems.append("the run did not go as scripted:\n" + run.log)
        if machine.read_file(windows + r"\system.ini") != expected_system_ini:
            problems.append("system.ini is not what the removal must leave")
        if machine.read_file(windows + r"\SYSTEM.KMW") != system_ini:
            problems.append("SYSTEM.KMW is not the old system.ini")
        if machine.read_file(windows + r"\wininit.ini") != expected_wininit:
            problems.append("wininit.ini is not what the removal must leave")
        if run.peak_working_set is None:
            problems.append("the box runner measured no memory")
        leftovers = product.temporaries_left(machine)
        if leftovers:
            problems.append("temporary files left: %s" % leftovers)
        if problems:
            raise SystemExit("%s: %s (prefix kept in %s)" % (label, "; ".join(problems),
                                                             machine.prefix))
        return Result(label, len(system_ini), len(wininit), run, removal_time(run))
    finally:
        machine.stop_wine()


def size_text(n):
    return "%.1f MiB" % (n / MIB) if n >= MIB else "%.1f KiB" % (n / 1024)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("bin_dir")
    parser.add_argument("work_dir")
    parser.add_argument("--base", help="base prefix to copy (made in WORK_DIR when missing)")
    parser.add_argument("--repeat", type=int, default=3,
                        help="runs per machine; the median of each figure is reported")
    args = parser.parse_args()

    wine.require_japanese_locale()
    base = args.base or os.path.join(args.work_dir, "base")
    if not os.path.exists(os.path.join(base, "system.reg")):
        print("making the base prefix %s" % base, flush=True)
        wine.make_base_prefix(base)

    machines = [("ordinary", None), ("16 MiB", 16 * MIB), ("64 MiB", 64 * MIB)]
    rows = []
    for label, size in machines:
        runs = []
        for repeat in range(args.repeat):
            work = os.path.join(args.work_dir, "bench-%s" % label.replace(" ", ""))
            result = bench_machine(args.bin_dir, base, work, label, size, seed=7)
            shutil.rmtree(work, ignore_errors=True)
            runs.append(result)
            print("  %-8s run %d: removal %5d ms, whole run %5d ms, peak working set %d KiB, "
                  "private %d KiB" % (label, repeat + 1, result.removal_ms, result.total_ms,
                                      result.run.peak_working_set // 1024,
                                      result.run.peak_private // 1024), flush=True)
        rows.append((runs[0], {
            "removal": statistics.median(r.removal_ms for r in runs),
            "whole": statistics.median(r.total_ms for r in runs),
            "peak": statistics.median(r.run.peak_working_set for r in runs),
            "peak range": (min(r.run.peak_working_set for r in runs),
                           max(r.run.peak_working_set for r in runs)),
            "private": statistics.median(r.run.peak_private for r in runs),
        }))

    print()
    print("kmw48rmv.exe under Wine, whole removal, restart declined (median of %d runs)" %
          args.repeat)
    print("%-9s %11s %11s %13s %15s %17s %15s %13s" % (
        "machine", "system.ini", "wininit.ini", "removal (ms)", "whole run (ms)",
        "peak working set", "(runs' range)", "peak private"))
    for first, m in rows:
        low, high = m["peak range"]
        print("%-9s %11s %11s %13d %15d %13d KiB %15s %9d KiB" % (
            first.label, size_text(first.system_ini_size), size_text(first.wininit_size),
            m["removal"], m["whole"], m["peak"] // 1024,
            "%d-%d" % (low // 1024, high // 1024), m["private"] // 1024))
    ordinary, mid, large = (m for _, m in rows)
    ratio = large["removal"] / mid["removal"]
    peaks = [m["peak"] for _, m in rows]
    spread = max(peaks) - min(peaks)
    time_ok = ratio <= 5
    memory_ok = spread <= MIB
    print()
    print("64 MiB / 16 MiB removal time: %.2f (target at most 5): %s" %
          (ratio, "met" if time_ok else "MISSED"))
    print("peak working set, spread of the three medians: %d KiB (target at most 1024 KiB): %s"
          % (spread // 1024, "met" if memory_ok else "MISSED"))
    return 0 if time_ok and memory_ok else 1

if __name__ == "__main__":
    sys.exit(main())
