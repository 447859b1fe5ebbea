"""harness.py: runs the real deliverables in Wine prefixes and reads back what they did.

A base prefix is made once per test run (make_base_prefix); every scenario works on a copy
of it (Machine), headless (Wine's null graphics driver) and with the ANSI code page 932.
The helper programs built beside the deliverables play the outside world:

  boxrunner.exe     starts a program, answers its boxes as scripted, logs what they showed
  pmwindow.exe      a top-level window titled like the print manager's
  child.exe         the product's own removal command
  setupmachine.exe  puts files, INI entries, registry values, drivers and printers in place

Texts that the programs show are compared as CP932 bytes; the expected texts come from the
resource scripts themselves (tools/rc_strings.py reads their string tables).
"""
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools"))
import rc_strings  # noqa: E402

# Button identifiers as MessageBoxA returns them.
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7

CODE_PAGE = "cp932"


# ---- Environment ------------------------------------------------------------------------

def wine_environment(prefix):
    """The environment of every Wine process of the tests: a 32-bit prefix, no debug
    output, no Mono/Gecko prompts, the Japanese locale (ANSI code page 932), no display."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE"):
        env.pop(name, None)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": "ja_JP.UTF-8",
        "LC_ALL": "ja_JP.UTF-8",
    })
    return env


def windows_path(host_path):
    """The path under which a Wine program sees a host file (drive Z: is the host's root)."""
    return "Z:" + os.path.abspath(host_path).replace("/", "\\")


def require_japanese_locale():
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
    if not any(line.lower().replace("-", "") == "ja_jp.utf8" for line in out.split()):
        raise SystemExit("the ja_JP.UTF-8 locale is missing (scripts/install-deps.sh makes it);"
                         " without it Wine silently uses code page 1252")


def make_base_prefix(prefix):
    """Makes the prefix that every scenario copies: wineboot, the null graphics driver, and
    the wineserver gone so that the registry files are complete."""
    require_japanese_locale()
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    env = wine_environment(prefix)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Drivers", "/v", "Graphics",
                    "/d", "null", "/f"], env=env, check=True, timeout=120,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)
    with open(os.path.join(prefix, "user.reg"), encoding="utf-8", errors="replace") as f:
        if '"Graphics"="null"' not in f.read():
            raise SystemExit("the null graphics driver did not reach the registry")


# Wine's own program files are never written by a scenario: a copy shares them with the base
# through hard links.  Everything else (the registry files first of all, which Wine rewrites
# in place) is copied.
_SHARED_EXTENSIONS = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb", ".nls",
                      ".ax", ".ds", ".vxd", ".com", ".fon", ".ttf", ".msstyles", ".mui"}


def copy_prefix(base, copy):
    shutil.rmtree(copy, ignore_errors=True)
    for root, dirs, files in os.walk(base):
        rel = os.path.relpath(root, base)
        out = os.path.normpath(os.path.join(copy, rel))
        os.makedirs(out, exist_ok=True)
        for name in dirs + files:
            source = os.path.join(root, name)
            target = os.path.join(out, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), target)
            elif name in files:
                shared = (rel.split(os.sep)[0] == "drive_c"
                          and os.path.splitext(name)[1].lower() in _SHARED_EXTENSIONS)
                if shared:
                    os.link(source, target)
                else:
                    shutil.copy2(source, target)
        shutil.copystat(root, out)


# ---- String tables ----------------------------------------------------------------------

def string_table(rc_path):
    """Rows of a resource script's string table, as the program gets them in code page
    932."""
    return {ident: text.encode(CODE_PAGE) for ident, text in rc_strings.parse(rc_path).items()}


def uninstaller_strings():
    return string_table(os.path.join(SOURCE_DIR, "uninstaller", "kmw48rmv.rc"))


def library_strings():
    return string_table(os.path.join(SOURCE_DIR, "vendor_setup", "kmw48i2.rc"))


# ---- Box runner logs --------------------------------------------------------------------

class Box:
    def __init__(self, caption, text, has_file_field, buttons):
        self.caption = caption
        self.text = text
        self.has_file_field = has_file_field
        self.buttons = buttons  # [(control id, bytes)]

    @property
    def button_ids(self):
        return [ident for ident, _ in self.buttons]

    def __repr__(self):
        return "Box(caption=%r, text=%r, buttons=%r)" % (
            self.caption.decode(CODE_PAGE, "replace"), self.text.decode(CODE_PAGE, "replace"),
            self.button_ids)


class BoxRun:
    """What the box runner saw: the boxes in order, the events, the exit code (None when the
    program never ended by itself)."""

    def __init__(self, log_text, status):
        self.log = log_text
        self.status = status
        self.boxes = []
        self.events = []
        self.exit_code = None
        self.started = False
        self.peak_working_set = None  # bytes, when the box runner could measure them
        self.peak_private = None
        self.times = []  # (event, milliseconds since the program was started)
        for line in log_text.splitlines():
            words = line.split(" ")
            fields = dict(w.split("=", 1) for w in words[1:] if "=" in w)
            self.events.append(words[0])
            if "at" in fields:
                self.times.append((words[0], int(fields["at"])))
            if words[0] == "started":
                self.started = True
            elif words[0] == "box":
                buttons = []
                for item in filter(None, fields.get("buttons", "").split(",")):
                    ident, text = item.split(":", 1)
                    buttons.append((int(ident), bytes.fromhex(text)))
                self.boxes.append(Box(bytes.fromhex(fields["caption"]),
                                      bytes.fromhex(fields["text"]), fields["edit"] == "1",
                                      buttons))
            elif words[0] == "memory":
                self.peak_working_set = int(fields["peak-working-set"])
                self.peak_private = int(fields["private"])
            elif words[0] == "exit":
                self.exit_code = int(fields["code"])

    @property
    def went_as_scripted(self):
        return self.status == 0 and not ({"timeout", "unexpected-box", "no-button",
                                          "no-file-field", "start-failed",
                                          "unused-answers"} & set(self.events))


# ---- Registry files ---------------------------------------------------------------------

_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "a": "\a", "b": "\b", "f": "\f", "v": "\v",
            "e": "\x1b", "0": "\0"}


def _unescape(text):
    """Undoes the escaping of Wine's registry files (\\\\, \\", \\xHHHH, octal, \\n...)."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        e = text[i + 1]
        if e == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
        elif e in "01234567":
            m = re.match(r"[0-7]{1,3}", text[i + 1:])
            out.append(chr(int(m.group(0), 8)))
            i += 1 + len(m.group(0))
        else:
            out.append(_ESCAPES.get(e, e))
            i += 2
    return "".join(out)


def _quoted(text, start):
    """The quoted text beginning at text[start] ('"'); returns (raw inner text, end)."""
    i = start + 1
    while text[i] != '"':
        i += 2 if text[i] == "\\" else 1
    return text[start + 1:i], i + 1


def decode_reg_value(raw):
    """A value as the registry file holds it: str for strings, int for dwords, bytes (with
    its type) for the rest."""
    if raw.startswith('"'):
        return _unescape(_quoted(raw, 0)[0])
    m = re.match(r'str\((\d+)\):"', raw)
    if m:
        return _unescape(_quoted(raw, m.end() - 1)[0])
    if raw.startswith("dword:"):
        return int(raw[6:], 16)
    m = re.match(r"hex(?:\((\w+)\))?:(.*)", raw)
    if m:
        data = bytes(int(b, 16) for b in m.group(2).split(",") if b)
        return ("hex" + (m.group(1) and "(%s)" % m.group(1) or ""), data)
    return raw


def parse_registry_file(path):
    """{key path in lower case: (key path, {value name in lower case: (name, raw value)})}
    from one of Wine's registry files."""
    keys = {}
    values = None
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    text = re.sub(r"\\\n\s*", "", text)  # continued hex lines
    for line in text.split("\n"):
        if line.startswith("["):
            m = re.match(r"\[(.*)\](?: \d+)?$", line)
            name = _unescape(m.group(1))
            values = {}
            keys[name.lower()] = (name, values)
        elif values is None or not line or line[0] in "#;":
            continue
        elif line.startswith("@="):
            values[""] = ("", line[2:])
        elif line.startswith('"'):
            raw_name, end = _quoted(line, 0)
            name = _unescape(raw_name)
            values[name.lower()] = (name, line[end + 1:])
    # Wine writes out only the keys that hold values or have no subkeys; the others are
    # there all the same, as the parents of those.
    for lower, (name, _) in list(keys.items()):
        parts = name.split("\\")
        for n in range(1, len(parts)):
            parent = "\\".join(parts[:n])
            keys.setdefault(parent.lower(), (parent, {}))
    return keys


# ---- Machine state ----------------------------------------------------------------------

class Snapshot:
    """Files under drive C: (path in lower case -> (path, size, digest)) and the registry
    (HKLM and HKCU: 'HKLM\\key' in lower case -> (key, {value})), with Wine's own
    bookkeeping left out.  With `registry` false only the files are read: their state is
    current even while Wine runs, the registry files' is not."""

    def __init__(self, prefix, registry=True):
        self.files = {}
        drive = os.path.join(prefix, "drive_c")
        for root, dirs, files in os.walk(drive):
            rel_root = os.path.relpath(root, drive)
            for name in dirs:
                rel = _windows_rel(os.path.join(rel_root, name)) + "\\"
                self.files[rel.lower()] = (rel, None, None)
            for name in files:
                path = os.path.join(root, name)
                rel = _windows_rel(os.path.join(rel_root, name))
                if os.path.islink(path):
                    continue
                info = os.stat(path)
                if info.st_nlink > 1 or info.st_size > 1 << 20:
                    # Wine's own files, shared with the base prefix: replaced, never edited.
                    digest = (info.st_ino, info.st_mtime_ns)
                else:
                    with open(path, "rb") as f:
                        digest = hashlib.sha1(f.read()).hexdigest()
                self.files[rel.lower()] = (rel, info.st_size, digest)
        self.registry = {}
        for hive, file_name in (("HKLM", "system.reg"), ("HKCU", "user.reg"))[:2 * registry]:
            for lower, (name, values) in parse_registry_file(
                    os.path.join(prefix, file_name)).items():
                self.registry[hive.lower() + "\\" + lower] = (hive + "\\" + name, values)


def _windows_rel(rel):
    return os.path.normpath(rel).replace("/", "\\")


def _ignored_key(key):
    # Bookkeeping that Wine updates whenever programs run: not part of the machine state
    # that the deliverables own.
    return any(key.startswith(p) for p in _NOISE_KEYS)


_NOISE_KEYS = (
    # The display adapter and monitor classes: rewritten by the graphics driver whenever the
    # prefix's wineserver starts.
    "hklm\\system\\currentcontrolset\\control\\class\\{4d36e968-e325-11ce-bfc1-08002be10318}",
    "hklm\\system\\currentcontrolset\\control\\class\\{4d36e96e-e325-11ce-bfc1-08002be10318}",
    # The network cards of the host, dropped at the first start of a copy.
    "hklm\\software\\microsoft\\windows nt\\currentversion\\networkcards",
)


def diff_snapshots(before, after, ignore=()):
    """Readable list of changes: '+file', '-file', '~file', '+key', '-key', and
    '~key\\value' / '+key\\value' / '-key\\value' for values.  Keys beginning with one
    of `ignore` (in lower case; a key, or a key and a value name) are left out."""
    changes = []
    for lower in sorted(set(before.files) | set(after.files)):
        old, new = before.files.get(lower), after.files.get(lower)
        if old is None:
            changes.append("+C:\\" + new[0])
        elif new is None:
            changes.append("-C:\\" + old[0])
        elif old[1:] != new[1:]:
            changes.append("~C:\\" + new[0])
    for lower in sorted(set(before.registry) | set(after.registry)):
        if _ignored_key(lower):
            continue
        old, new = before.registry.get(lower), after.registry.get(lower)
        if old is None:
            changes.append("+" + new[0])
            continue
        if new is None:
            changes.append("-" + old[0])
            continue
        for value in sorted(set(old[1]) | set(new[1])):
            a, b = old[1].get(value), new[1].get(value)
            if a is None:
                changes.append("+%s\\%s" % (new[0], b[0]))
            elif b is None:
                changes.append("-%s\\%s" % (old[0], a[0]))
            elif a[1] != b[1]:
                changes.append("~%s\\%s" % (new[0], b[0]))
    return [c for c in changes if not any(c[1:].lower().startswith(p) for p in ignore)]


# ---- A machine: one prefix copy for one scenario ----------------------------------------

class Machine:
    def __init__(self, bin_dir, base_prefix, work_dir):
        self.bin_dir = bin_dir
        self.work = work_dir
        self.prefix = os.path.join(work_dir, "prefix")
        shutil.rmtree(work_dir, ignore_errors=True)
        os.makedirs(work_dir)
        copy_prefix(base_prefix, self.prefix)
        self.env = wine_environment(self.prefix)
        self.background = []
        self.windows_dir = None
        self.system_dir = None
        self.short_paths = {}
        self._runs = 0

    # Paths
    def bin(self, name):
        """A built program, found ignoring letter case (the library is KMW48I2.DLL)."""
        match = [n for n in os.listdir(self.bin_dir) if n.lower() == name.lower()]
        return os.path.join(self.bin_dir, match[0] if match else name)

    def host_path(self, path):
        """Host path of a C: path of the machine (exact letter case as on disk when it
        exists, else as given)."""
        assert path[:3].upper() == "C:\\", path
        current = os.path.join(self.prefix, "drive_c")
        for part in filter(None, path[3:].split("\\")):
            match = None
            if os.path.isdir(current):
                match = next((n for n in os.listdir(current) if n.lower() == part.lower()),
                             None)
            current = os.path.join(current, match or part)
        return current

    def read_file(self, path):
        """Bytes of a C: file, or None when it does not exist."""
        host = self.host_path(path)
        if not os.path.isfile(host):
            return None
        with open(host, "rb") as f:
            return f.read()

    def exists(self, path):
        return os.path.exists(self.host_path(path))

    def work_file(self, name):
        return os.path.join(self.work, name)

    # Running programs
    def wine(self, args, timeout=60, check=True, env=None):
        """Runs a Wine program and returns its exit status.  Its output goes to a file: a
        pipe would stay open as long as the Wine desktop process that a GUI program starts,
        seconds after the program itself has ended."""
        output = self.work_file("wine-output.txt")
        with open(output, "ab") as out:
            out.write(("$ wine %s\n" % " ".join(args)).encode())
            out.flush()
            status = subprocess.run(["wine"] + args, env=dict(self.env, **(env or {})),
                                    timeout=timeout, stdout=out,
                                    stderr=subprocess.STDOUT, cwd=self.work).returncode
        if check and status != 0:
            raise AssertionError("wine %s failed (%d), see %s" % (" ".join(args), status,
                                                                  output))
        return status

    def setup(self, commands):
        """Runs setupmachine with the given commands (tuples of fields, str or bytes), fails
        when a command did not succeed, and returns the lines it reported (tuples)."""
        self._runs += 1
        script = self.work_file("setup%d.txt" % self._runs)
        log = self.work_file("setup%d.log" % self._runs)
        with open(script, "wb") as f:
            for fields in commands:
                f.write(b"\t".join(x if isinstance(x, bytes) else x.encode(CODE_PAGE)
                                   for x in fields) + b"\r\n")
        status = self.wine([self.bin("setupmachine.exe"), windows_path(script),
                            windows_path(log)], check=False)
        with open(log, "rb") as f:
            lines = f.read().decode(CODE_PAGE).splitlines()
        failed = [line for line in lines if line.startswith("failed")]
        if status != 0 or failed:
            raise AssertionError("machine set-up failed: %s\n%s" % (failed, "\n".join(lines)))
        reported = []
        for line in lines:
            fields = line.split("\t")
            if fields[0] == "windir":
                self.windows_dir = fields[1]
            elif fields[0] == "sysdir":
                self.system_dir = fields[1]
            elif fields[0] == "shortpath":
                self.short_paths[fields[1]] = fields[2]
            elif fields[0] not in ("ok", "failed"):
                reported.append(tuple(fields))
        return reported

    def printers(self):
        """The local printers as the spooler lists them: [(name, driver, port, jobs)]."""
        return [(n, d, p, int(j)) for _, n, d, p, j in self.setup([("printers",)])]

    def drivers(self):
        """The printer drivers of the default environment, by name."""
        return [name for _, name in self.setup([("drivers",)])]

    def profile(self, section, key):
        """A win.ini value read through GetProfileStringA (None when missing)."""
        value = self.setup([("readprofile", section, key)])[0][3]
        return None if value == "<missing>" else value

    def use_display(self, display, managed):
        """Shows the machine's windows on the X display `display` through Wine's X11 driver
        instead of the null driver.  `managed`: whether the display's window manager frames
        them; without a window manager (Xvfb) unmanaged windows close at once, managed ones
        only after about 2 s."""
        self.env["DISPLAY"] = display
        self.setup([("regsz", "HKCU", r"Software\Wine\Drivers", "Graphics", "x11"),
                    ("regsz", "HKCU", r"Software\Wine\X11 Driver", "Managed",
                     "Y" if managed else "N")])
        # The driver is chosen when the machine's first process starts: start again.
        self.stop_wine()

    def run_boxes(self, command_line, answers, application=None, timeout_ms=30000, env=None,
                  watch=False, on_box=None, kill_when=None):
        """Runs a program through the box runner; `answers` lists, box by box, a button id
        or ('file', name) for the open-file dialog.  `env` adds environment variables for
        this run only.  `watch`: the user at the screen answers instead.  `on_box(number,
        (left, top, right, bottom))` is called while box `number` (from 1) waits for its
        answer, to take a screenshot of it.  `kill_when()`, looked at every millisecond,
        makes the program (the run's first word) be killed the moment it is true, as a power
        cut ends it; the run's `killed` tells whether that happened."""
        self._runs += 1
        script = self.work_file("boxes%d.txt" % self._runs)
        log = self.work_file("boxes%d.log" % self._runs)
        shots = self.work_file("boxes%d-shot" % self._runs)
        lines = [b"run " + _bytes(command_line), b"timeout %d" % timeout_ms]
        if application is not None:
            lines.append(b"app " + _bytes(application))
        if watch:
            lines.append(b"watch")
        if on_box is not None:
            lines.append(b"shots " + _bytes(windows_path(shots)))
        for a in answers:
            if isinstance(a, tuple) and a[0] == "file":
                lines.append(b"file " + _bytes(a[1]))
            else:
                lines.append(b"press %d" % a)
        with open(script, "wb") as f:
            f.write(b"\n".join(lines) + b"\n")
        args = [self.bin("boxrunner.exe"), windows_path(script), windows_path(log)]
        killed = False
        if kill_when is not None:
            program = _bytes(command_line).split(b" ")[0].split(b"\\")[-1]
            status, killed = self._run_killing(args, program, kill_when, timeout_ms / 1000 + 60)
        elif on_box is None:
            status = self.wine(args, timeout=timeout_ms / 1000 + 60, check=False, env=env)
        else:
            status = self._run_with_shots(args, shots, on_box, timeout_ms / 1000 + 60, env)
        with open(log, "rb") as f:
            run = BoxRun(f.read().decode("ascii"), status)
        run.killed = killed
        return run

    def _run_killing(self, args, program, kill_when, timeout):
        """Runs the box runner and kills `program` (SIGKILL to its process) once kill_when()."""
        deadline = time.time() + timeout
        killed = False
        with open(self.work_file("wine-output.txt"), "ab") as out:
            process = subprocess.Popen(["wine"] + args, env=self.env, stdout=out,
                                       stderr=subprocess.STDOUT, cwd=self.work)
            while process.poll() is None and time.time() < deadline:
                if not killed and kill_when():
                    for pid in _processes_of(program):
                        os.kill(pid, signal.SIGKILL)
                        killed = True
                time.sleep(0.001)
            if process.poll() is None:
                process.kill()
        return process.wait(), killed

    def _run_with_shots(self, args, shots, on_box, timeout, env):
        """Runs the box runner and serves its screenshot requests until it ends."""
        output = self.work_file("wine-output.txt")
        deadline = time.time() + timeout
        number = 1
        with open(output, "ab") as out:
            out.write(("$ wine %s\n" % " ".join(args)).encode())
            out.flush()
            process = subprocess.Popen(["wine"] + args, env=dict(self.env, **(env or {})),
                                       stdout=out, stderr=subprocess.STDOUT, cwd=self.work)
            while process.poll() is None:
                request = "%s%d.box" % (shots, number)
                if os.path.exists(request) and os.path.getsize(request) > 0:
                    with open(request) as f:
                        rect = tuple(int(n) for n in f.read().split())
                    try:
                        on_box(number, rect)
                    finally:
                        open("%s%d.done" % (shots, number), "w").close()
                    number += 1
                elif time.time() > deadline:
                    process.kill()
                else:
                    time.sleep(0.02)
        return process.wait()

    def start_background(self, program, args):
        """Starts a helper that stays (until the machine's processes are ended) and waits
        until it has created the ready file that it is given after `args`."""
        ready = self.work_file("background%d.ready" % len(self.background))
        process = subprocess.Popen(["wine", self.bin(program)] + args + [windows_path(ready)],
                                   env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, cwd=self.work)
        self.background.append(process)
        deadline = time.time() + 30
        while not os.path.exists(ready):
            if process.poll() is not None or time.time() > deadline:
                raise AssertionError("%s did not start (%s)" % (program, process.poll()))
            time.sleep(0.05)

    def start_window(self, title):
        """Opens a top-level window titled `title` (bytes) in another process."""
        self.start_background("pmwindow.exe", [title.hex()])

    def start_program_manager(self, groups):
        """Serves PROGMAN over DDE with `groups` [(name, item count)]; returns the path of
        its log (see progman.cpp)."""
        if "DISPLAY" in self.env:
            self._wait_for_wine_shell_server()
        log = self.work_file("progman.log")
        specs = ["%s:%d" % (_bytes(name).hex(), items) for name, items in groups]
        self.start_background("progman.exe", [windows_path(log)] + specs)
        return log

    def _wait_for_wine_shell_server(self, timeout=5):
        """Under the X11 driver Wine's desktop process serves PROGMAN as well, from shortly
        after the first window of the machine appears; it answers no request for a group.
        A client talks to whichever server answers first, and the newest server window is
        asked first: so the stand-in must start after Wine's server is there."""
        probe = self.work_file("shell-server.log")
        deadline = time.time() + timeout
        while time.time() < deadline:
            if os.path.exists(probe):
                os.remove(probe)
            self.wine([self.bin("host.exe"), windows_path(probe), "dde", b"PROGMAN".hex()],
                      check=False)
            with open(probe, encoding="ascii") as f:
                if "connected 1" in f.read():
                    return
            time.sleep(0.1)

    def snapshot(self):
        """The machine's files and registry, with every Wine process ended first so that the
        registry files are written out."""
        self.stop_wine()
        return Snapshot(self.prefix)

    def settle(self, timeout=60):
        """Waits until every process of the machine has ended by itself, as after a
        restart that Wine carries out (wineboot processes wininit.ini, then the system
        processes start again and end once they are idle)."""
        for process in self.background:
            process.kill()
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=timeout)
        self.stop_wine()

    def stop_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        for process in self.background:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        self.background = []

    def close(self, keep_prefix=False):
        self.stop_wine()
        if not keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)


def _processes_of(program):
    """Process ids of the machine's processes whose command line names `program` (bytes)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                words = f.read().split(b"\0")
        except OSError:
            continue
        if words and words[0].lower().endswith(program.lower()):
            found.append(int(entry))
    return found


def _bytes(text):
    return text if isinstance(text, bytes) else text.encode(CODE_PAGE)
