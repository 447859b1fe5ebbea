#!/usr/bin/env python3
"""demo.py: the uninstaller's main job on a Windows machine played by Wine, from the
installed product to the report of what became of it.  `make demo` runs it after the MinGW
build.

It makes a Wine prefix (code page 932), installs the Orvane Type2 fax driver into it through
the real API (tests/wine/product.py), serves the product's Program Manager group, and runs
the real kmw48rmv.exe with the product's removal command (UNINST.EXE, the child helper),
through the box runner.  Then it prints the machine before and after: what was removed,
scheduled for the restart, rewritten and kept, and by whom (the removal command, the
uninstaller, or Windows while it restarts).  Every box is photographed under Xvfb with a
Japanese font into the output folder (box1.png, ...).

With DISPLAY set the boxes appear there and the user answers them; the screenshots then
come from a second run under Xvfb answered the same way.  Without a display the demo
answers: Yes to the confirmation and No to the restart offer, or Yes with --restart, when
Wine's restart carries out wininit.ini.  Afterwards the vendor-setup library is called
once, as a printer installation calls it (--no-library leaves that out).

Usage: demo.py [--restart] [--no-library] [--bin DIR] [--out DIR]
"""
import argparse
import difflib
import os
import shutil
import subprocess
import sys
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "wine"))
import product  # noqa: E402
import wine  # noqa: E402
from boxes import IDCANCEL, IDNO, IDOK, IDYES  # noqa: E402
from machine import Machine  # noqa: E402
from snapshot import Snapshot, decode_reg_value, diff_snapshots  # noqa: E402

CP = wine.CODE_PAGE
SCREEN = "1024x768x24"
USER_TIMEOUT_MS = 600000  # ten minutes for a user at the screen
WINE_MARLETT = "/usr/share/wine/fonts/marlett.ttf"


# ---- Displays -------------------------------------------------------------------------

class Xvfb:
    """A virtual X display of its own (the first free number), for the screenshots."""

    def __enter__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                         SCREEN, "-nolisten", "tcp"], pass_fds=(write,),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read)
        self.display = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)

    def photographer(self, folder, prefix):
        """An on_box callback of the box runner: saves box N as folder/prefixN.png."""
        shots = []

        def take(number, rect):
            left, top, right, bottom = (max(0, n) for n in rect)
            path = os.path.join(folder, "%s%d.png" % (prefix, number))
            subprocess.run(["import", "-display", self.display, "-window", "root", "-crop",
                            "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                            "+repage", path], check=True, timeout=30)
            shots.append(path)

        return take, shots


def display_opens(display):
    return subprocess.run(["import", "-display", display, "-window", "root", "-crop",
                           "1x1+0+0", "null:"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=30).returncode == 0


# ---- The removal ------------------------------------------------------------------------

class Removal:
    """One machine with the product installed (product.Removal: the one the Wine scenarios
    use), the uninstaller's run on it, and the machine's state before and after.  The
    uninstaller lives in a folder with a long name, so that its own deletion entry shows a
    real short path; it is started by its short path, as Windows 95/98 start a registered
    uninstaller: its child command is whatever follows the first blank of its command
    line."""

    def __init__(self, bin_dir, base, work, display, managed):
        self.m = m = Machine(bin_dir, base, work)
        m.use_display(display, managed)
        self.removal = r = product.Removal(m)
        self.wine_system_ini = r.wine_system_ini
        self.uninstaller = r.uninstaller
        self.uninstaller_folder = r.uninstaller.rsplit("\\", 1)[0]
        self.ini = r.product_ini
        self.system_ini = m.windows_dir + r"\system.ini"
        self.product_files = ([self.uninstaller, product.text(m, product.D["removal_command"]),
                               self.ini] + product.INSTALL_FILES + [r.device] + r.system_files)
        m.setup([("shortpath", path) for path in self.product_files])
        self.ini_before = m.read_file(self.ini)
        self.system_ini_before = m.read_file(self.system_ini)
        self.printers_before = m.printers()
        self.drivers_before = m.drivers()
        self.before = r.before
        self.group = r.group
        other = product.D["other_group"]
        self.groups = [(other["name"].encode(CP), len(other["items"])), (self.group, 0)]
        self.progman_log = r.progman_log

    @property
    def command_line(self):
        return (self.m.short_paths[self.uninstaller] + " " +
                product.child_command(self.m, *self.removal.actions))

    def run(self, answers=(), watch=False, on_box=None):
        """Runs the uninstaller.  While each box is up the machine's files are noted: at the
        restart offer the uninstaller has done all it does before the restart."""
        self.files_at_box = {}

        def seen(number, rect):
            self.files_at_box[number] = Snapshot(self.m.prefix, registry=False).files
            if on_box is not None:
                on_box(number, rect)

        self.box_run = self.m.run_boxes(self.command_line, list(answers), watch=watch,
                                        on_box=seen,
                                        timeout_ms=USER_TIMEOUT_MS if watch else 30000)
        return self.box_run

    def finish(self):
        """Lets a restart run its course, then reads the machine back."""
        self.restarted = restart_accepted(self.box_run)
        strings = product.uninstaller_strings()
        offer = [n for n, box in enumerate(self.box_run.boxes, 1) if box.text == strings[5]]
        self.files_at_offer = self.files_at_box.get(offer[0]) if offer else None
        if self.restarted:
            self.m.settle()
        self.child = product.child_log(self.m) or []
        with open(self.progman_log, encoding="ascii") as f:
            self.progman = f.read().splitlines()
        self.printers_after = self.m.printers()
        self.drivers_after = self.m.drivers()
        self.after = self.m.snapshot()


def restart_accepted(run):
    """The uninstaller's exit code is the result of ExitWindowsEx after a Yes to the restart
    offer (or none: the restart ends it), 0 otherwise."""
    strings = product.uninstaller_strings()
    offered = any(box.text == strings[5] for box in run.boxes)
    return offered and run.exit_code in (None, 1)


def answers_given(run):
    """What the user pressed, read from what followed each box: the confirmation was
    declined when the "cancelled" box came next; the restart offer was accepted when the
    uninstaller called for the restart."""
    strings = product.uninstaller_strings()
    answers = []
    for i, box in enumerate(run.boxes):
        if box.button_ids == [IDOK]:
            answers.append(IDOK)
        elif box.text == strings[4]:
            following = run.boxes[i + 1] if i + 1 < len(run.boxes) else None
            declined = following is not None and following.text == strings[2]
            answers.append(IDNO if declined else IDYES)
        else:
            answers.append(IDYES if restart_accepted(run) else IDNO)
    return answers


# ---- Reading files and logs -------------------------------------------------------------

def text(data):
    return data.decode(CP, "replace") if isinstance(data, bytes) else data


def ini_entries(data):
    """{(section, key): value} of an INI file's bytes, names in lower case."""
    entries = {}
    section = ""
    for line in text(data or b"").splitlines():
        line = line.strip()
        if line.startswith("[") and "]" in line:
            section = line[1:line.index("]")]
        elif "=" in line:
            key, value = line.split("=", 1)
            entries[(section.lower(), key.strip().lower())] = (section, key.strip(),
                                                               value.strip())
    return entries


def sections_of_lines(lines):
    """The section that each line of an INI file stands in."""
    section, out = "", []
    for line in lines:
        if line.strip().startswith("["):
            section = line.strip()
        out.append(section)
    return out


def button_label(box, ident):
    for button_id, label in box.buttons:
        if button_id == ident:
            return text(label).replace("&", "")
    return {IDOK: "OK", IDYES: "Yes", IDNO: "No", IDCANCEL: "Cancel"}.get(ident, str(ident))


def deletion_entries(data):
    """The NUL= entries of a wininit.ini."""
    return [line[4:] for line in text(data or b"").splitlines() if line.upper().startswith("NUL=")]


def value_of(snapshot, key, name):
    values = snapshot.registry.get(key.lower(), (None, {}))[1]
    raw = values.get(name.lower())
    return None if raw is None else decode_reg_value(raw[1])


# ---- The report -------------------------------------------------------------------------

class Report:
    def __init__(self):
        self.lines = []

    def __call__(self, line=""):
        self.lines.append(line)

    def heading(self, title):
        self.lines += ["", "== %s ==" % title]


def describe_removal(r, report, answered_by, shots, out):
    m = r.m
    strings = product.uninstaller_strings()
    changes = diff_snapshots(r.before, r.after, ignore=product.SPOOLER_KEYS)
    accounted = set()

    def claim(change):
        for c in changes:
            if c.lower() == change.lower():
                accounted.add(c)
                return True
        return False

    windows = m.windows_dir
    wininit_name = "wininit.bak" if r.restarted else "wininit.ini"
    wininit = m.read_file(windows + "\\" + wininit_name)
    entries = deletion_entries(wininit)
    long_names = {short.lower(): path for path, short in m.short_paths.items()}
    scheduled = {long_names.get(e.lower(), e).lower() for e in entries}

    # What the removal command did, from its own log: one line per action after "ran".
    child_actions = []
    words = list(r.removal.actions)
    while words:
        action = words.pop(0)
        argument = words.pop(0) if action in ("delete", "exit") else None
        child_actions.append((action, argument))
    child_done = {}
    for (action, argument), line in zip(child_actions, r.child[1:]):
        child_done[(action, argument)] = line.endswith(" ok")
    child_deleted = {arg.lower() for (action, arg), ok in child_done.items()
                     if action == "delete" and ok}

    report.heading("The run")
    report("command line: %s" % r.command_line)
    report("  %s: the real uninstaller, %s, started by its short path" % (
        m.short_paths[r.uninstaller], r.uninstaller))
    report("  UNINST.EXE: the product's removal command (tests/wine/child.cpp), told to: %s" %
           " ".join(r.removal.actions))
    for n, box in enumerate(r.box_run.boxes, 1):
        report()
        report("box %d 「%s」" % (n, text(box.caption)))
        for line in text(box.text).split("\n"):
            report("    " + line)
        report("    buttons: %s" % "  ".join("[%s]" % button_label(box, i)
                                             for i in box.button_ids))
        answer = answered_by[0][n - 1] if n - 1 < len(answered_by[0]) else None
        if answer is not None:
            report("    answer: %s (%s)" % (button_label(box, answer), answered_by[1]))
        if n - 1 < len(shots):
            report("    screenshot: %s" % os.path.relpath(shots[n - 1], SOURCE_DIR))
    report()
    if r.child:
        report("removal command: %s" % ", ".join(r.child))
    else:
        report("removal command: never ran")
    if r.restarted:
        report("uninstaller: called for the restart (ExitWindowsEx); Wine restarted the machine")
    else:
        report("uninstaller exit code: %s" % r.box_run.exit_code)
    if not r.box_run.went_as_scripted:
        report("THE RUN DID NOT GO AS EXPECTED (box runner events: %s); logs in %s" % (
            " ".join(r.box_run.events), os.path.relpath(m.work, SOURCE_DIR)))

    # ---- Removed
    report.heading("Removed")
    by_child, by_uninstaller, by_restart = [], [], []
    if child_done.get(("remove-key", None)):
        by_child.append("KMW48.INI [General] InstallPath, the sign that its removal is "
                        "complete")
    for lower in sorted(set(r.before.files) - set(r.after.files)):
        path = "C:\\" + r.before.files[lower][0]
        is_folder = path.endswith("\\")
        if not claim("-" + path):
            continue
        if is_folder:
            by_uninstaller.append("folder %s (empty)" % path[:-1])
        elif path.lower() in child_deleted:
            by_child.append(path)
        elif r.restarted and path.lower() in scheduled and (
                r.files_at_offer is None or lower in r.files_at_offer):
            by_restart.append(path)
        else:
            by_uninstaller.append(path)
    gone_printers = [p for p in r.printers_before if p not in r.printers_after]
    for name, driver, port, _ in gone_printers:
        by_uninstaller.append('printer "%s" (driver "%s", port %s)' % (name, driver, port))
    for driver in r.drivers_before:
        if driver not in r.drivers_after:
            by_uninstaller.append('printer driver "%s"' % driver)
    # The spooler's own records of its printers and drivers are left out: the printers and
    # drivers are listed above, as the spooler reports them.
    removed_keys = sorted(k for k in set(r.before.registry) - set(r.after.registry)
                          if not k.startswith(product.SPOOLER_KEYS))
    for lower in removed_keys:
        name = r.before.registry[lower][0]
        claim("-" + name)
        parent = lower.rsplit("\\", 1)[0]
        if parent in removed_keys:
            continue
        subkeys = [k for k in removed_keys if k.startswith(lower + "\\")]
        by_uninstaller.append("registry key %s%s" % (name, " (with its subkey%s %s)" % (
            "s" if len(subkeys) > 1 else "",
            ", ".join(r.before.registry[k][0].rsplit("\\", 1)[1] for k in subkeys))
            if subkeys else ""))
    for change in changes:
        if change in accounted or not change.startswith("-HK"):
            continue
        key, value = _split_value(r.before, change[1:])
        if key is None:
            continue
        old = value_of(r.before, key, value)
        by_uninstaller.append("registry value %s\\%s (was %r)" % (key, value, old))
        accounted.add(change)
    for line in r.progman:
        if line.startswith("deleted name="):
            name = text(bytes.fromhex(line.split("=", 1)[1]))
            by_uninstaller.append('Program Manager group "%s" (it held no items; removed '
                                  'with [DeleteGroup(%s)] over DDE)' % (name, name))
    for who, items in (("by the removal command (UNINST.EXE)", by_child),
                       ("by the uninstaller (kmw48rmv.exe)", by_uninstaller),
                       ("by Windows at the restart (carrying out %s)" % "wininit.ini",
                        by_restart)):
        if items:
            report(who + ":")
            for item in items:
                report("  - " + item)
    if not (by_child or by_uninstaller or by_restart):
        report("nothing")

    # ---- Scheduled
    report.heading("Scheduled for Windows at the next restart")
    if claim("+%s\\wininit.ini" % windows) or claim("+%s\\wininit.bak" % windows):
        report("%s\\wininit.ini, [rename], written by the uninstaller: NUL=short path deletes "
               "the file at the restart" % windows)
        if r.restarted:
            report("Windows carried the list out while restarting and kept it as %s\\%s" %
                   (windows, wininit_name))
        for entry in entries:
            long_name = long_names.get(entry.lower())
            exists = m.exists(long_name or entry) if (long_name or entry)[:3].upper() == "C:\\" \
                else False
            if r.restarted:
                at_offer = r.files_at_offer or {}
                state = ("still there" if exists else
                         "gone at the restart" if (long_name or entry)[3:].lower() in at_offer
                         else "deleted at once by the uninstaller")
            else:
                state = "still there, goes at the restart" if exists else "deleted at once too"
            if long_name is None:
                report("  NUL=%-34s (no long name known; %s)" % (entry, state))
            elif long_name.lower() == entry.lower():
                report("  NUL=%-34s (%s)" % (entry, state))
            else:
                report("  NUL=%-34s = %s (%s)" % (entry, long_name, state))
    else:
        report("nothing (no wininit.ini was written)")

    # ---- Rewritten
    report.heading("Rewritten")
    if claim("~" + r.system_ini):
        after = m.read_file(r.system_ini)
        old_lines = text(r.system_ini_before).splitlines()
        new_lines = text(after).splitlines()
        sections = sections_of_lines(old_lines)
        report("%s, by the uninstaller (the device hvq.386 is no longer used):" % r.system_ini)
        matcher = difflib.SequenceMatcher(a=old_lines, b=new_lines, autojunk=False)
        for tag, i1, i2, j1, j2 in matcher.get_opcodes():
            for i in range(i1, i2) if tag in ("delete", "replace") else ():
                report("  line dropped from %s: %s" % (sections[i], old_lines[i]))
            for j in range(j1, j2) if tag in ("insert", "replace") else ():
                report("  line added: %s" % new_lines[j])
        backup = m.read_file(windows + r"\SYSTEM.KMW")
        if claim("+%s\\SYSTEM.KMW" % windows):
            same = backup == r.system_ini_before
            report("  the file as it was is kept as %s\\SYSTEM.KMW (%s)" % (
                windows, "byte for byte system.ini before the run" if same
                else "NOT the same as system.ini before the run"))
    load_before = value_of(r.before, product.WIN_INI_WINDOWS, "load")
    load_after = value_of(r.after, product.WIN_INI_WINDOWS, "load")
    if claim("~%s\\load" % product.WIN_INI_WINDOWS):
        report("win.ini [windows] load=, by the uninstaller (the print manager no longer starts "
               "with Windows; Wine keeps this section in the registry):")
        report('  before: "%s"' % load_before)
        report('  after:  "%s"' % load_after)
    ini_after = m.read_file(r.ini)
    if ini_after is not None and claim("~" + r.ini):
        old, new = ini_entries(r.ini_before), ini_entries(ini_after)
        report("%s:" % r.ini)
        for k in sorted(set(old) | set(new)):
            a, b = old.get(k), new.get(k)
            if a == b:
                continue
            who = ("the removal command" if child_done.get(("remove-key", None))
                   and k == ("general", "installpath") and b is None else "the uninstaller")
            if b is None:
                report("  [%s] %s=%s removed, by %s" % (a[0], a[1], a[2], who))
            elif a is None:
                report("  [%s] %s=%s added, by %s" % (b[0], b[1], b[2], who))
            else:
                report("  [%s] %s: %s -> %s, by %s" % (a[0], a[1], a[2], b[2], who))
    for change in changes:
        if change in accounted or not change.startswith("~HK"):
            continue
        key, value = _split_value(r.after, change[1:])
        report("registry value %s\\%s: %r -> %r" % (key, value, value_of(r.before, key, value),
                                                    value_of(r.after, key, value)))
        accounted.add(change)

    # ---- Kept
    report.heading("Kept")
    for path in r.product_files:
        if m.exists(path):
            note = (" (scheduled: goes at the restart)" if path.lower() in scheduled else
                    " (not on the uninstaller's list)")
            report("  - %s%s" % (path, note))
    if m.exists(r.uninstaller_folder):
        report("  - folder %s (the uninstaller's own; not the install folder)" %
               r.uninstaller_folder)
    for name, driver, port, jobs in r.printers_after:
        report('  - printer "%s" (driver "%s", port %s, %d jobs)' % (name, driver, port, jobs))
    for driver in r.drivers_after:
        report('  - printer driver "%s"' % driver)
    deleted_groups = {line.split("=", 1)[1] for line in r.progman
                      if line.startswith("deleted name=")}
    asked = {line.split(" ")[1].split("=", 1)[1] for line in r.progman
             if line.startswith("request item=")}
    for name, items in r.groups:
        if name.hex() not in deleted_groups:
            why = ("asked for; not empty" if name.hex() in asked else
                   "never asked for" if name == r.group else "another program's group")
            report('  - Program Manager group "%s" (%d items; %s)' % (text(name), items, why))
    if load_after != load_before:
        report('  - the other start-up entries of the load line: "%s"' % load_after)
    else:
        report('  - win.ini [windows] load="%s", unchanged' % load_after)
    after_lines = text(m.read_file(r.system_ini) or b"").splitlines()
    hvq_lines = ["%s %s" % (section, line)
                 for section, line in zip(sections_of_lines(after_lines), after_lines)
                 if "hvq" in line.lower()]
    if hvq_lines:
        report("  - system.ini lines that name the device and stay: %s" % "; ".join(hvq_lines))
    shared = value_of(r.after, "HKLM\\" + product.SHARED_DLLS, r.removal.device)
    if shared is not None:
        report("  - the shared count of hvq.386: %s" % shared)
    unchanged_files = len(set(r.before.files) & set(r.after.files)) - sum(
        1 for c in changes if c.startswith("~C:"))
    unchanged_keys = len(set(r.before.registry) & set(r.after.registry))
    report("  - everything else: %d files and folders of drive C: and %d registry keys "
           "(values compared one by one; the spooler's own keys left to the spooler)" %
           (unchanged_files, unchanged_keys))

    others = [c for c in changes if c not in accounted]
    report.heading("Other changes")
    if others:
        for c in others:
            report("  " + c)
    else:
        report("none: every change of the machine is listed above")


def _split_value(snapshot, name):
    """(key, value name) for 'KEY\\VALUE' where KEY is a key of the snapshot; value names
    may hold backslashes themselves (a path in SharedDLLs)."""
    parts = name.split("\\")
    for n in range(len(parts) - 1, 0, -1):
        key = "\\".join(parts[:n])
        if key.lower() in snapshot.registry:
            return snapshot.registry[key.lower()][0], "\\".join(parts[n:])
    return None, None


def describe_before(r, report):
    m = r.m
    report.heading("The machine before")
    report("a Wine prefix (%s), code page 932, Windows directory %s, system directory %s" % (
        os.path.relpath(m.prefix, SOURCE_DIR), m.windows_dir, m.system_dir))
    report("the product, installed through the real API (tests/wine/product.py):")
    for path in r.product_files:
        report("  - %s" % path)
    report("  - folder %s" % product.INSTALL_DIR)
    for (section, key), (s, k, v) in sorted(ini_entries(r.ini_before).items()):
        report("  - KMW48.INI [%s] %s=%s" % (s, k, v))
    for name, driver, port, jobs in r.printers_before:
        report('  - printer "%s" (driver "%s", port %s, %d jobs)' % (name, driver, port, jobs))
    report("  - registry key HKLM\\%s" % product.DRIVER_KEY)
    report("  - SharedDLLs count of hvq.386: %s" % value_of(
        r.before, "HKLM\\" + product.SHARED_DLLS, r.removal.device))
    lines = text(r.system_ini_before).splitlines()
    for section, line in zip(sections_of_lines(lines), lines):
        if "hvq" in line.lower():
            report("  - system.ini %s: %s" % (section, line))
    report('  - win.ini [windows] load="%s"' % value_of(r.before, product.WIN_INI_WINDOWS,
                                                       "load"))
    for name, items in r.groups:
        report('  - Program Manager group "%s" with %d items (the PROGMAN DDE stand-in)' % (
            text(name), items))


# ---- The library ----------------------------------------------------------------------

def library_demo(bin_dir, base, work, xvfb, out, report):
    m = Machine(bin_dir, base, work)
    try:
        m.use_display(xvfb.display, False)
        product.install_for_library(m)
        take, shots = xvfb.photographer(out, "library-box")
        run = product.call_library(m, product.LPT_PRINTER, [], on_box=take)
        m.settle()
        report.heading("The vendor-setup library")
        report('a printer installation calls OrvaneSetup of %s for "%s" on LPT1: '
               "(tests/wine/host.cpp, LoadLibraryA + GetProcAddress)" % (
                   product.library_path(m), product.LPT_PRINTER))
        recent = product.SETUP_DIR + "\\"
        report("  most recent install location (InstallLocationsMRU): %s, holding pmsetup.exe"
               % recent)
        for box in run.boxes:
            report("  box 「%s」: %s" % (text(box.caption), text(box.text)))
        if not run.boxes:
            report("  no box: an LPT port, no print manager installed yet")
        log = product.host_log(m)
        results = [dict(w.split("=", 1) for w in line.split(" ")[1:])
                   for line in log if line.startswith("result ")]
        report("  host: %s" % "; ".join(log[:2]))
        for words in results:
            report("  OrvaneSetup returned %s (its arguments taken off the stack: %s); "
                   "current directory afterwards %s" % (
                       words["value"], "yes" if words["balanced"] == "1" else "NO",
                       text(bytes.fromhex(words["directory"]))))
        runs = product.setup_runs(m)
        for command, module, directory in runs:
            report("  PMSETUP.EXE started: command line %s, module %s, current directory %s" %
                   (command, module, directory))
        if not runs:
            report("  PMSETUP.EXE was not started")
        for path in shots:
            report("  screenshot: %s" % os.path.relpath(path, SOURCE_DIR))
    finally:
        m.close()


# ---- Main -----------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--restart", action="store_true",
                        help="answer Yes to the restart offer (without a display)")
    parser.add_argument("--no-library", action="store_true",
                        help="leave out the call of the vendor-setup library")
    parser.add_argument("--bin", default=os.path.join(SOURCE_DIR, "build", "mingw", "bin"))
    parser.add_argument("--out", default=os.path.join(SOURCE_DIR, "build", "demo"))
    args = parser.parse_args()
    if hasattr(sys.stdout, "reconfigure"):
        sys.stdout.reconfigure(encoding="utf-8")

    for name in ("kmw48rmv.exe", "KMW48I2.DLL", "boxrunner.exe", "child.exe"):
        if not os.path.exists(os.path.join(args.bin, name)):
            raise SystemExit("%s is missing in %s: build first (make mingw)" % (name, args.bin))
    wine.require_japanese_locale()
    out = args.out
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        if name.endswith(".png") or name == "report.txt":
            os.remove(os.path.join(out, name))
    wine_dir = os.path.join(out, "wine")
    shutil.rmtree(wine_dir, ignore_errors=True)

    started = time.time()
    timings = []

    def lap(what, since):
        timings.append("%s %.1f s" % (what, time.time() - since))
        return time.time()

    print("demo: making a Wine prefix (wineboot)...", flush=True)
    base = os.path.join(wine_dir, "base")
    wine.make_base_prefix(base)
    # Wine as Debian packages it does not find its own fonts, and the caption buttons are
    # drawn with Marlett: without it the close button shows the letter "r".
    if os.path.exists(WINE_MARLETT):
        shutil.copy(WINE_MARLETT, os.path.join(base, "drive_c", "windows", "Fonts"))
    t = lap("prefix", started)

    report = Report()
    user_display = os.environ.get("DISPLAY")
    if user_display and not display_opens(user_display):
        # A box that cannot be shown returns an error, which the uninstaller does not take
        # for a No: never run it on a display that cannot show its boxes.
        print("demo: DISPLAY=%s cannot be opened; the demo answers the boxes itself" %
              user_display, flush=True)
        user_display = None
    with Xvfb() as xvfb:
        take, shots = xvfb.photographer(out, "box")
        if user_display:
            print("demo: the uninstaller's boxes appear on %s: answer them there" %
                  user_display, flush=True)
            removal = Removal(args.bin, base, os.path.join(wine_dir, "removal"),
                              user_display, managed=True)
            t = lap("installation", t)
            run = removal.run(watch=True)
            answers = answers_given(run)
            answered_by = (answers, "yours, at %s" % user_display)
            # The screenshots: the same run again under Xvfb, answered as the user did.
            print("demo: photographing the boxes under Xvfb...", flush=True)
            replay = Removal(args.bin, base, os.path.join(wine_dir, "screenshots"),
                             xvfb.display, managed=False)
            replayed = replay.run(answers, on_box=take)
            replay.m.close()
            if [b.text for b in replayed.boxes] != [b.text for b in run.boxes]:
                print("demo: the run under Xvfb showed other boxes than yours", flush=True)
        else:
            answers = [IDYES, IDYES if args.restart else IDNO]
            print("demo: running the uninstaller; no display, so the demo answers its boxes",
                  flush=True)
            removal = Removal(args.bin, base, os.path.join(wine_dir, "removal"),
                              xvfb.display, managed=False)
            t = lap("installation", t)
            run = removal.run(answers, on_box=take)
            answered_by = (answers, "given by the demo: no display" + (
                "" if args.restart else "; make demo RESTART=1 answers Yes to the restart"))
        removal.finish()
        t = lap("uninstaller run", t)

        report("Orvane Type2 uninstaller demo: the real kmw48rmv.exe on a Windows machine "
               "played by Wine")
        describe_before(removal, report)
        describe_removal(removal, report, answered_by, shots, out)
        removal.m.close(keep_prefix=True)
        if not args.no_library:
            library_demo(args.bin, base, os.path.join(wine_dir, "library"), xvfb, out, report)
            t = lap("library", t)

    report.heading("Where things are")
    report("report: %s" % os.path.relpath(os.path.join(out, "report.txt"), SOURCE_DIR))
    report("screenshots: %s" % ", ".join(sorted(
        os.path.relpath(os.path.join(out, n), SOURCE_DIR) for n in os.listdir(out)
        if n.endswith(".png"))))
    report("the machine after: %s (WINEPREFIX for wine regedit); logs beside it" %
           os.path.relpath(removal.m.prefix, SOURCE_DIR))
    report("time: %.0f s (%s)" % (time.time() - started, ", ".join(timings)))
    body = "\n".join(report.lines) + "\n"
    with open(os.path.join(out, "report.txt"), "w", encoding="utf-8") as f:
        f.write(body)
    print(body, end="")
    if not run.went_as_scripted:
        sys.exit(1)


if __name__ == "__main__":
    main()
