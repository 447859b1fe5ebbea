"""machine.py: one machine of a test: a copy of the base prefix in a work folder of its own,
the programs run in it (through the box runner, in the background, killed), the helper that
puts it into a given state through the real API (setupmachine.exe), and its state read back.
The helper programs that play the outside world: README.md, "Pieces".
"""
import os
import shutil
import signal
import subprocess
import time

import boxes
from boxes import BoxRun, as_bytes
from snapshot import Snapshot
from wine import CODE_PAGE, copy_prefix, wine_environment, windows_path


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
            raise AssertionError("machine set-up failed, see %s: %s\n%s" % (log, failed,
                                                                        "\n".join(lines)))
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
        with open(script, "wb") as f:
            f.write(boxes.script(command_line, answers, timeout_ms, application, watch,
                                 windows_path(shots) if on_box is not None else None))
        args = [self.bin("boxrunner.exe"), windows_path(script), windows_path(log)]
        killed = False
        if kill_when is not None:
            program = as_bytes(command_line).split(b" ")[0].split(b"\\")[-1]
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
                    for pid in _processes_of(program, self.prefix):
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
                raise AssertionError("%s did not start (%s) in %s" % (program, process.poll(),
                                                                       self.work))
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
        specs = ["%s:%d" % (as_bytes(name).hex(), items) for name, items in groups]
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


def _processes_of(program, prefix):
    """Process ids of the processes of the Wine machine in `prefix` whose command line names
    `program` (bytes).  Scenarios run side by side, each with its own machine: a program of
    the same name in another one is not this machine's."""
    found = []
    mark = b"WINEPREFIX=" + os.fsencode(prefix)
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                words = f.read().split(b"\0")
            with open("/proc/%s/environ" % entry, "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        if words and words[0].lower().endswith(program.lower()) and mark in environment:
            found.append(int(entry))
    return found
