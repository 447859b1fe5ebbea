"""product.py: Wine machines with the Orvane Type2 product installed, built through the real
API from the product's one description (tests/product/installed_product.json, which the
native tests read too), for the Wine scenarios, the demo and the Wine benchmark.

install(machine, ...) installs the product as its installer and the user leave a Windows 95/98
machine; its arguments say how a machine differs from the typical one.  Where a Wine machine
cannot be what the description says, the difference is made here, once:
  - Wine's spooler never counts queued jobs (tests/conformance): the printer with queued jobs
    is installed only with `queued_jobs`, for a scenario that runs the uninstaller beside the
    spooler stand-in that reports them (spoolproxy.cpp);
  - Wine keeps win.ini's [windows] in the registry: of win.ini only the load line is written,
    through WriteProfileStringA;
  - a prefix's wineserver carries out wininit.ini whenever it starts, and every snapshot ends
    it: no earlier wininit.ini is installed (a scenario that needs one writes it once the
    machine's wineserver is up);
  - system.ini is Wine's own with the description's lines appended;
  - the driver's key is made directly, as Windows 95/98 keep it (Wine's spooler keeps its
    drivers elsewhere);
  - other programs' files that Wine has already (notepad.exe) are Wine's own.

Removal(machine, ...) is the machine of a whole removal: installed, the Program Manager
serving the groups, its state taken before; remove() runs the real uninstaller on it.
install_for_library(machine, ...) is the machine a printer installation leaves for the
vendor-setup library.
"""
import fnmatch
import json
import os
import re
import sys

from boxes import IDNO, IDYES
from snapshot import decode_reg_value
from wine import CODE_PAGE, windows_path

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
import rc_strings  # noqa: E402

with open(os.path.join(SOURCE_DIR, "tests", "product", "installed_product.json"),
          encoding="utf-8") as _f:
    DESCRIPTION = json.load(_f)

D = DESCRIPTION
DRIVER = D["driver"]
INSTALL_DIR = D["install_folder"]
PRINT_MANAGER = D["print_manager"]
INSTALL_FILES = [INSTALL_DIR + "\\" + name for name, _ in D["install_folder_files"]]
FOLDER_NAME = D["folder_name"]
SYSTEM_FILES = D["system_files"]
SHARED_DLLS = D["shared_dlls_key"]
DRIVER_KEY = D["driver_key"]
DRIVER_SUBKEYS = sorted({v["subkey"] for v in D["driver_key_values"] if v["subkey"]})
PRINTERS = D["printers"]
LPT_PRINTER = PRINTERS[0]["name"]
NETWORK_PRINTER = next(p["name"] for p in PRINTERS if not p["port"].upper().startswith("LPT"))
BUSY_PRINTER = next(p["name"] for p in PRINTERS if p["jobs"])
SIBLING_PRINTER = D["sibling_printer"]["name"]
SIBLING_DRIVER = D["sibling_printer"]["driver"]
OTHER_DRIVER = next(p["driver"] for p in PRINTERS if p["driver"] != DRIVER)
SETUP_DIR = D["setup_folder"]
SETUP_PROGRAM = D["setup_program"]
RECENT_LOCATIONS_KEY = D["recent_locations_key"]
# How a machine differs from the typical one: the names and defaults of the C++ tests'
# product::variant.  A Wine prefix carries out wininit.ini whenever it starts: no earlier one.
VARIANT = dict({name: default for name, default, _ in D["variant"][1:]}, wininit=False)
# What a Wine machine can be made to differ in; the others are the native tests' alone.
WINE_VARIANT = {"device_count", "removal_sets_count", "removal_deletes_files",
                "removal_completes", "removal_deletes_ini", "sibling_printer",
                "group_has_items", "restart"}

# Where Wine keeps win.ini's [windows] section (the load line among others).
WIN_INI_WINDOWS = "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"

# Keys that Wine's spooler keeps for its printers and drivers: the spooler's own business,
# looked at through the spooler's API instead.
SPOOLER_KEYS = (
    "hklm\\system\\currentcontrolset\\control\\print\\printers",
    "hklm\\system\\currentcontrolset\\control\\print\\environments\\windows nt x86\\drivers",
    "hkcu\\software\\microsoft\\windows nt\\currentversion\\devices",
    "hkcu\\software\\microsoft\\windows nt\\currentversion\\printerports",
    "hkcu\\software\\microsoft\\windows nt\\currentversion\\windows\\device",
)


# ---- The deliverables' texts ------------------------------------------------------------

def string_table(rc_path):
    """Rows of a resource script's string table, as the program gets them in code page
    932."""
    return {ident: text.encode(CODE_PAGE) for ident, text in rc_strings.parse(rc_path).items()}


def uninstaller_strings():
    return string_table(os.path.join(SOURCE_DIR, "uninstaller", "kmw48rmv.rc"))


def library_strings():
    return string_table(os.path.join(SOURCE_DIR, "vendor_setup", "kmw48i2.rc"))


# ---- The description on a machine -------------------------------------------------------

def text(machine, template):
    """A text of the description for this machine, its templates filled in."""
    out = template.replace("{load}", D["load"])
    out = out.replace("{windir}", machine.windows_dir).replace("{sysdir}", machine.system_dir)
    if "{install_short}" in out:
        out = out.replace("{install_short}", machine.short_paths[INSTALL_DIR])
    return out.replace("{folder_name}", FOLDER_NAME)


def without_device_lines(text):
    """The clean-up of system.ini (bytes), as installed_product.json's device_rule says."""
    section = D["device_section"].encode(CODE_PAGE)
    begins = tuple(line.encode(CODE_PAGE).upper() for line in D["device_lines"])
    out, in_section = [], False
    for line in re.split(b"(?<=\n)", text):
        if line.startswith(b"["):
            in_section = line.startswith(section)
        if not (in_section and line.upper().startswith(begins)):
            out.append(line)
    return b"".join(out)


def is_temporary(name, folder):
    """A name in the Windows directory that a rewrite uses for a while (temporaries_rule)."""
    return fnmatch.fnmatchcase(name.upper(), D["work_folder_name" if folder
                                               else "temporary_files"].upper())


def system_ini_lines(cleaned=False):
    """The description's system.ini lines (CR LF), or those that the removal leaves."""
    text = b"".join(line.encode(CODE_PAGE) + b"\r\n" for line, _ in D["system_ini"])
    return without_device_lines(text) if cleaned else text


def product_ini_text(machine, settings=None):
    """KMW48.INI as installed; `settings` replaces values of [General] by key, None leaving
    a key out."""
    lines = []
    for line in text(machine, D["product_ini_text"]).split("\r\n"):
        key = line.split("=", 1)[0]
        if settings and key in settings:
            if settings[key] is None:
                continue
            line = key + "=" + settings[key]
        lines.append(line)
    return "\r\n".join(lines).encode(CODE_PAGE)


def uninstaller_path(machine):
    return text(machine, D["uninstaller"])


def install(machine, device_count=VARIANT["device_count"], sibling_printer=False, queued_jobs=False,
            settings=None):
    """Installs the product (see the module's text); returns Wine's own system.ini, to which
    the description's lines were appended."""
    m = machine
    if m.windows_dir is None:
        m.setup([])
    wine_system_ini = m.read_file(m.windows_dir + r"\system.ini") or b""
    uninstaller = uninstaller_path(m)
    commands = [("mkdir", uninstaller.rsplit("\\", 1)[0]),
                ("copy", windows_path(m.bin("kmw48rmv.exe")), uninstaller),
                ("copy", windows_path(m.bin("child.exe")), text(m, D["removal_command"])),
                ("mkdir", INSTALL_DIR)]
    commands += [("file", INSTALL_DIR + "\\" + name, content.encode(CODE_PAGE).hex())
                 for name, content in D["install_folder_files"]]
    commands.append(("shortpath", INSTALL_DIR))
    m.setup(commands)
    commands = [("file", text(m, D["product_ini"]), product_ini_text(m, settings).hex())]
    commands += [("file", m.system_dir + "\\" + name, ("MZ " + name).encode().hex())
                 for name in SYSTEM_FILES]
    commands += [("file", text(m, D["device"]), b"MZ hvq.386 virtual device".hex()),
                 ("file", text(m, D["other_device"]), b"MZ hvqn.386 virtual device".hex())]
    # Other programs' files: Wine has its own, shared with the base prefix through hard
    # links, which must never be written.
    commands += [("file", text(m, path), content.encode(CODE_PAGE).hex())
                 for path, content in D["other_files"] if not m.exists(text(m, path))]
    commands += [
        ("regdword", "HKLM", SHARED_DLLS, text(m, D["device"]), str(device_count)),
        ("regdword", "HKLM", SHARED_DLLS, text(m, D["other_shared_count"]["file"]),
         str(D["other_shared_count"]["count"])),
        ("file", m.windows_dir + r"\system.ini", (wine_system_ini + system_ini_lines()).hex()),
        ("profile", "windows", "load", text(m, D["load"])),
    ]
    for value in D["driver_key_values"]:
        key = DRIVER_KEY + ("\\" + value["subkey"] if value["subkey"] else "")
        if "dword" in value:
            commands.append(("regdword", "HKLM", key, value["name"], str(value["dword"])))
        else:
            commands.append(("regsz", "HKLM", key, value["name"], value["value"]))
    other_key = D["other_driver_key"]
    commands.append(("regsz", "HKLM", other_key["key"], other_key["name"], other_key["value"]))
    commands += [("regsz", entry["root"], entry["key"], entry["name"], entry["value"])
                 for entry in D["other_registry"]]
    printers = [p for p in PRINTERS if queued_jobs or not p["jobs"]]
    if sibling_printer:
        printers.append(D["sibling_printer"])
    for driver in dict.fromkeys(p["driver"] for p in printers):
        commands.append(("driver", driver))
    commands += [("printer", p["name"], p["driver"], p["port"]) for p in printers]
    commands += [("regsz", "HKCU", RECENT_LOCATIONS_KEY, name, value)
                 for name, value in D["recent_locations"]]
    m.setup(commands)
    return wine_system_ini


def child_command(machine, *actions):
    """The product's removal command: UNINST.EXE with its log and the given actions."""
    words = [text(machine, D["removal_command"]),
             windows_path(machine.work_file("child.log"))] + list(actions)
    return " ".join('"%s"' % w if " " in w else w for w in words)


def child_log(machine):
    """What the removal command logged, line by line (None when it never ran)."""
    try:
        with open(machine.work_file("child.log"), encoding="ascii") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return None


def temporaries_left(machine):
    """What the uninstaller's rewrites left in the Windows directory."""
    folder = machine.host_path(machine.windows_dir)
    return [n for n in os.listdir(folder)
            if is_temporary(n, os.path.isdir(os.path.join(folder, n)))]


# ---- The whole removal ------------------------------------------------------------------

def removal_actions(v):
    """The removal command's actions (child.cpp) for the variant `v`."""
    actions = ["delete-ini"] if v["removal_deletes_ini"] else ["remove-key"] * v["removal_completes"]
    if v["removal_sets_count"] != -1:
        if v["removal_sets_count"] != v["device_count"] - 1:
            raise ValueError("a Wine machine's removal command only lowers the count by one")
        actions.append("lower-count")
    if v["removal_deletes_files"]:
        actions += [word for path in INSTALL_FILES for word in ("delete", path)]
    return actions


def count_after_removal(v):
    """The device's count once the uninstaller is done, and whether the device went: it
    lowers a count that the removal command left as it was, and removes the device with the
    last one."""
    count = v["device_count"] if v["removal_sets_count"] == -1 else v["removal_sets_count"]
    lowered = count == v["device_count"] and count != 0
    return count - lowered, lowered and count == 1


class Removal:
    """A machine for the whole removal: the product installed as the variant says (VARIANT's
    names), the Program Manager holding another program's group and the product's, the
    short paths of the files the deletion list names, and the machine's state before.
    Wine's own: `queued_jobs` and `settings` (install's), `other_groups`, `prepare`."""

    def __init__(self, machine, other_groups=(), prepare=None, queued_jobs=False, settings=None,
                 **variant):
        if set(variant) - WINE_VARIANT:
            raise TypeError("not made on a Wine machine: %s" % sorted(set(variant) - WINE_VARIANT))
        v = self.v = dict(VARIANT, **variant)
        m = self.machine = machine
        self.wine_system_ini = install(m, device_count=v["device_count"],
                                       sibling_printer=v["sibling_printer"],
                                       queued_jobs=queued_jobs, settings=settings)
        self.settings, self.queued_jobs = settings, queued_jobs
        self.actions = removal_actions(v)
        if prepare is not None:
            prepare(self)
        self.uninstaller = uninstaller_path(m)
        self.product_ini = text(m, D["product_ini"])
        self.system_files = [m.system_dir + "\\" + name for name in SYSTEM_FILES]
        self.library = library_path(m)
        self.device = text(m, D["device"])
        m.setup([("shortpath", path)
                 for path in [self.uninstaller, self.product_ini] + self.system_files])
        self.before = m.snapshot()
        self.folder_name = (self.settings or {}).get("FolderName", FOLDER_NAME) or ""
        self.group = self.folder_name.encode(CODE_PAGE)
        group = D["other_group"]
        groups = [(group["name"], len(group["items"]))]
        if self.group:
            groups.append((self.group, len(D["product_group_items"]) * v["group_has_items"]))
        self.progman_log = m.start_program_manager(groups + list(other_groups))

    def command_line(self, program=None):
        return (program or self.uninstaller) + " " + child_command(self.machine, *self.actions)

    def remove(self, answers=None, env=None, kill_when=None, program=None, **run_args):
        """Runs the uninstaller with the product's removal command, the boxes answered (Yes,
        then the restart as the variant says, unless `answers` are given)."""
        answers = answers or (IDYES, IDYES if self.v["restart"] else IDNO)
        return self.machine.run_boxes(self.command_line(program), list(answers), env=env,
                                      kill_when=kill_when, **run_args)

    def deletion_list(self, paths):
        """wininit.ini as the deletion list leaves it when there was none: the header, then
        one entry a file, by its short path."""
        return b"[rename]\r\n" + self.entries(paths)

    def entries(self, paths):
        return b"".join(b"NUL=" + self.machine.short_paths[p].encode(CODE_PAGE) + b"\r\n"
                        for p in paths)

    def scheduled(self):
        """The files the deletion list names, in its order: the uninstaller, the INI file
        (unless the removal command deleted it), the product's files in the system directory
        (the setup library unless a printer of a sibling driver is left)."""
        v = self.v
        return ([self.uninstaller] + [self.product_ini] * (not v["removal_deletes_ini"]) +
                [f for f in self.system_files if f != self.library or not v["sibling_printer"]])

    def changes(self):
        """The changes of the machine once the removal is done, the restart declined."""
        m, v = self.machine, self.v
        changes = [("-" if v["removal_deletes_ini"] else "~") + self.product_ini,
                   "+%s\\wininit.ini" % m.windows_dir,
                   "-HKLM\\" + DRIVER_KEY, "~%s\\load" % WIN_INI_WINDOWS]
        changes += ["-HKLM\\%s\\%s" % (DRIVER_KEY, subkey) for subkey in DRIVER_SUBKEYS]
        if not v["sibling_printer"]:
            changes.append("-" + self.library)
        if v["removal_deletes_files"]:
            changes += ["-" + path for path in INSTALL_FILES] + ["-" + INSTALL_DIR + "\\"]
        shared_value = "HKLM\\%s\\%s" % (SHARED_DLLS, self.device)
        count, device_removed = count_after_removal(v)
        if device_removed:
            changes += ["-" + self.device, "-" + shared_value,
                        "~%s\\system.ini" % m.windows_dir, "+%s\\SYSTEM.KMW" % m.windows_dir]
        elif count != v["device_count"]:
            changes.append("~" + shared_value)
        return changes

    def load_line(self, snapshot):
        """The load line of win.ini as a snapshot holds it (Wine keeps it in the registry)."""
        return decode_reg_value(snapshot.registry[WIN_INI_WINDOWS.lower()][1]["load"][1])

    def progman_lines(self):
        with open(self.progman_log, encoding="ascii") as f:
            return f.read().splitlines()


# ---- The vendor-setup library -----------------------------------------------------------

def install_for_library(machine, recent_location=True, print_manager_installed=False):
    """The machine right after a printer of the driver was installed: the library in the
    system directory, the host in the Windows directory (a bare program name is looked up in
    the caller's own folder first, which must not be the build folder holding PMSETUP's
    stand-in), the setup program in its folder, printers of the driver on LPT1: and on a
    network port, the most recent install location (none without `recent_location`) and,
    when asked, the product INI file naming an installed print manager.  The PMSETUP
    stand-in logs its runs (see setup_runs)."""
    m = machine
    m.setup([])
    commands = [
        ("copy", windows_path(m.bin("host.exe")), library_host(m)),
        ("copy", windows_path(m.bin("KMW48I2.DLL")), library_path(m)),
        ("mkdir", SETUP_DIR),
        ("copy", windows_path(m.bin("pmsetup.exe")), SETUP_PROGRAM),
        ("driver", DRIVER),
    ]
    commands += [("printer", p["name"], p["driver"], p["port"])
                 for p in PRINTERS if p["driver"] == DRIVER and not p["jobs"]]
    if recent_location:
        commands += [("regsz", "HKCU", RECENT_LOCATIONS_KEY, name, value)
                     for name, value in D["recent_locations"]]
    if print_manager_installed:
        commands += [("mkdir", INSTALL_DIR),
                     ("file", PRINT_MANAGER, b"MZ print manager".hex()),
                     ("ini", "KMW48.INI", "General", "ExecuteFile", PRINT_MANAGER)]
    commands.append(("shortpath", SETUP_PROGRAM))
    m.setup(commands)
    m.env["PMSETUP_LOG"] = windows_path(m.work_file("pmsetup.log"))


def library_path(machine):
    return text(machine, D["setup_library"])


def library_host(machine):
    return text(machine, D["library_host"])


def call_library(machine, printer, answers, directory=None, on_box=None):
    """The host calls OrvaneSetup for `printer` (str) from `directory` (the Windows
    directory unless given), the boxes answered as `answers` says."""
    command = " ".join([library_host(machine),
                        windows_path(machine.work_file("host.log")), "call",
                        library_path(machine), printer.encode(CODE_PAGE).hex(),
                        '"%s"' % (directory or machine.windows_dir)])
    return machine.run_boxes(command, answers, on_box=on_box)


def host_log(machine):
    """The host's log lines, without their times."""
    with open(machine.work_file("host.log"), encoding="ascii") as f:
        return [line.split(" at=")[0] for line in f.read().splitlines()]


def setup_runs(machine):
    """The PMSETUP stand-in's runs: [(command line, module, current directory)]."""
    log = machine.work_file("pmsetup.log")
    if not os.path.exists(log):
        return []
    with open(log, encoding="ascii") as f:
        runs = []
        for line in f.read().splitlines():
            words = dict(w.split("=", 1) for w in line.split(" ")[1:])
            runs.append(tuple(bytes.fromhex(words[k]).decode(CODE_PAGE)
                              for k in ("command", "module", "directory")))
        return runs
