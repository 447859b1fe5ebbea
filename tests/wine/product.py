"""product.py: a machine with the Orvane Type2 fax driver installed, as its installer and the
user leave it on Windows 95/98, made through the real API in a Wine prefix.

What is installed (paths in the Wine prefix; the Windows directory is C:\\windows and the
system directory C:\\windows\\system32 there):
  - the uninstaller in the Windows directory, and the product's own removal command beside
    it as UNINST.EXE (the child helper);
  - KMW48.INI in the Windows directory, [General] ExecuteFile, InstallPath, FolderName;
  - the install folder with the print manager KMW48PM.EXE;
  - the driver's files and the setup library in the system directory, and hvq.386 with its
    SharedDLLs count;
  - system.ini [386Enh] device lines of hvq.386 and hvqn.386 among others;
  - the print manager in the load line of win.ini (Wine keeps [windows] in the registry);
  - the driver's registry key as Windows 95/98 keeps it (Wine's spooler keeps its drivers
    elsewhere, so the key is made directly);
  - the driver "Orvane Type2" with a printer on LPT1: and one on a network port, and
    optionally a sibling driver "Orvane Type1" with a printer on LPT2:;
  - InstallLocationsMRU under HKEY_CURRENT_USER.

The machine of the vendor-setup library (install_for_library) is the one a printer
installation leaves: the library in the system directory, printers of the driver, the
printer-installation host, and the print manager's setup program (the PMSETUP stand-in) in
the most recent install location.
"""
import os

import harness

INSTALL_DIR = r"C:\Program Files\Orvane"
PRINT_MANAGER = INSTALL_DIR + r"\KMW48PM.EXE"
GROUP_NAME = "Orvane Type2 ﾌｧｸｽ"
OTHER_STARTUP = r"c:\windows\clock.exe"
SETUP_SOURCE = "C:\\Setup\\"

DRIVER = "Orvane Type2"
SIBLING_DRIVER = "Orvane Type1"
LPT_PRINTER = "Orvane Type2"
NETWORK_PRINTER = "Orvane Type2 (network)"
NETWORK_PORT = r"\\faxserver\fax"
SIBLING_PRINTER = "Orvane Type1"

SHARED_DLLS = r"SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs"
DRIVER_KEY = (r"System\CurrentControlSet\control\Print\Environments\Windows 4.0\Drivers"
              r"\Orvane Type2")

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

# The print manager's setup program as the product's installation disk holds it.
SETUP_DIR = r"C:\Setup"
SETUP_PROGRAM = SETUP_DIR + r"\pmsetup.exe"

# Files the uninstaller schedules for deletion, in its order, after its own program file.
SYSTEM_FILES = ["KMW48.DRV", "KMW48R.DLL", "KMW48EX.DLL", "KMW48DO.HLP", "KMW48DR.HLP",
                "KMW48I2.DLL"]

# system.ini as the product leaves it, appended to Wine's own: the device lines of hvq.386
# and hvqn.386 in [386Enh], and look-alikes elsewhere that must stay.
SYSTEM_INI_EXTRA = (b"[boot]\r\n"
                    b"shell=Explorer.exe\r\n"
                    b"device=hvq.386\r\n"
                    b"[386Enh]\r\n"
                    b"device=*vmm\r\n"
                    b"device=hvq.386\r\n"
                    b"DEVICE=HVQN.386 ; fax modem\r\n"
                    b"device = hvq.386\r\n"
                    b"keyboard=*vkd\r\n"
                    b"[Other]\r\n"
                    b"device=hvq.386\r\n"
                    b"[386enh]\r\n"
                    b"device=hvqn.386\r\n")
# The same once the device is removed: only the two lines of [386Enh] that begin with a
# device line are gone.
SYSTEM_INI_EXTRA_CLEANED = (b"[boot]\r\n"
                            b"shell=Explorer.exe\r\n"
                            b"device=hvq.386\r\n"
                            b"[386Enh]\r\n"
                            b"device=*vmm\r\n"
                            b"device = hvq.386\r\n"
                            b"keyboard=*vkd\r\n"
                            b"[Other]\r\n"
                            b"device=hvq.386\r\n"
                            b"[386enh]\r\n"
                            b"device=hvqn.386\r\n")


def product_ini_entries(settings=None):
    """[General] of KMW48.INI; `settings` replaces values by key, None leaving a key out."""
    entries = {"ExecuteFile": PRINT_MANAGER, "InstallPath": INSTALL_DIR, "FolderName": GROUP_NAME}
    entries.update(settings or {})
    return [(k, v) for k, v in entries.items() if v is not None]


def startup_line():
    return OTHER_STARTUP + " " + PRINT_MANAGER


def install(machine, device_count=1, sibling=False, extra=(), uninstaller_folder=None,
            settings=None):
    """Installs the product, the uninstaller in the Windows directory unless
    `uninstaller_folder` names another, KMW48.INI as `settings` changes it
    (product_ini_entries); returns Wine's own system.ini text, to which the product's lines
    were appended."""
    if machine.windows_dir is None:
        machine.setup([])
    wine_system_ini = machine.read_file(machine.windows_dir + r"\system.ini") or b""
    commands = []
    if uninstaller_folder is not None:
        commands.append(("mkdir", uninstaller_folder))
    commands += [
        ("copy", harness.windows_path(machine.bin("kmw48rmv.exe")),
         uninstaller_path(machine, uninstaller_folder)),
        ("copy", harness.windows_path(machine.bin("child.exe")), r"%windir%\UNINST.EXE"),
        ("mkdir", INSTALL_DIR),
        ("file", PRINT_MANAGER, b"MZ print manager".hex()),
    ]
    commands += [("ini", "KMW48.INI", "General", k, v) for k, v in product_ini_entries(settings)]
    commands += [("file", r"%sysdir%" + "\\" + name, ("MZ " + name).encode().hex())
                 for name in SYSTEM_FILES + ["hvq.386"]]
    commands += [
        ("regdword", "HKLM", SHARED_DLLS, r"%sysdir%\hvq.386", str(device_count)),
        ("file", r"%windir%\system.ini", (wine_system_ini + SYSTEM_INI_EXTRA).hex()),
        ("profile", "windows", "load", startup_line()),
        ("regsz", "HKLM", DRIVER_KEY, "Driver", "KMW48.DRV"),
        ("regsz", "HKLM", DRIVER_KEY, "Configuration File", "KMW48R.DLL"),
        ("regsz", "HKLM", DRIVER_KEY, "Data File", "KMW48.DRV"),
        ("regsz", "HKLM", DRIVER_KEY + r"\Options", "Resolution", "200"),
        ("driver", DRIVER),
        ("printer", LPT_PRINTER, DRIVER, "LPT1:"),
        ("printer", NETWORK_PRINTER, DRIVER, NETWORK_PORT),
        ("regsz", "HKCU", "InstallLocationsMRU", "MRUList", "a"),
        ("regsz", "HKCU", "InstallLocationsMRU", "a", SETUP_SOURCE),
    ]
    if sibling:
        commands += [("driver", SIBLING_DRIVER),
                     ("printer", SIBLING_PRINTER, SIBLING_DRIVER, "LPT2:")]
    commands += list(extra)
    machine.setup(commands)
    return wine_system_ini


def uninstaller_path(machine, folder=None):
    return (folder or machine.windows_dir) + r"\kmw48rmv.exe"


def child_command(machine, *actions):
    """The product's removal command: UNINST.EXE with its log and the given actions."""
    words = [machine.windows_dir + r"\UNINST.EXE",
             harness.windows_path(machine.work_file("child.log"))] + list(actions)
    return " ".join('"%s"' % w if " " in w else w for w in words)


def child_log(machine):
    """What the removal command logged, line by line (None when it never ran)."""
    try:
        with open(machine.work_file("child.log"), encoding="ascii") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return None


# ---- The vendor-setup library -------------------------------------------------------

def install_for_library(machine, recent_location=SETUP_DIR + "\\",
                        print_manager_installed=False):
    """The machine right after a printer of the driver was installed: the library in the
    system directory, the host PRNHOST.EXE in the Windows directory (a bare program name is
    looked up in the caller's own folder first, which must not be the build folder holding
    PMSETUP's stand-in), the setup program in C:\\Setup, printers on LPT1: and on a
    network port, the most recent install location (None: no InstallLocationsMRU key) and,
    when asked, the product INI file naming an installed print manager.  The PMSETUP
    stand-in logs its runs (see setup_runs)."""
    m = machine
    m.setup([])
    commands = [
        ("copy", harness.windows_path(m.bin("host.exe")), library_host(m)),
        ("copy", harness.windows_path(m.bin("KMW48I2.DLL")), library_path(m)),
        ("mkdir", SETUP_DIR),
        ("copy", harness.windows_path(m.bin("pmsetup.exe")), SETUP_PROGRAM),
        ("driver", DRIVER),
        ("printer", LPT_PRINTER, DRIVER, "LPT1:"),
        ("printer", NETWORK_PRINTER, DRIVER, NETWORK_PORT),
    ]
    if recent_location is not None:
        commands += [("regsz", "HKCU", "InstallLocationsMRU", "MRUList", "ba"),
                     ("regsz", "HKCU", "InstallLocationsMRU", "b", recent_location),
                     ("regsz", "HKCU", "InstallLocationsMRU", "a", r"C:\Old\\")]
    if print_manager_installed:
        commands += [("mkdir", INSTALL_DIR),
                     ("file", PRINT_MANAGER, b"MZ print manager".hex()),
                     ("ini", "KMW48.INI", "General", "ExecuteFile", PRINT_MANAGER)]
    commands.append(("shortpath", SETUP_PROGRAM))
    m.setup(commands)
    m.env["PMSETUP_LOG"] = harness.windows_path(m.work_file("pmsetup.log"))


def library_path(machine):
    return machine.system_dir + r"\KMW48I2.DLL"


def library_host(machine):
    return machine.windows_dir + r"\PRNHOST.EXE"


def call_library(machine, printer, answers, directory=None, on_box=None):
    """The host calls OrvaneSetup for `printer` (str) from `directory` (the Windows
    directory unless given), the boxes answered as `answers` says."""
    command = " ".join([library_host(machine),
                        harness.windows_path(machine.work_file("host.log")), "call",
                        library_path(machine), printer.encode(harness.CODE_PAGE).hex(),
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
            runs.append(tuple(bytes.fromhex(words[k]).decode(harness.CODE_PAGE)
                              for k in ("command", "module", "directory")))
        return runs
