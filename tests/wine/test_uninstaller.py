"""test_uninstaller.py: the real kmw48rmv.exe under Wine, on a machine with the product
installed (product.py), answered by the box runner.  Each scenario shows what only the real
platform can: its first line says what that is.

Gate: the roads that end before the removal steps (print manager running, confirmation
declined, the removal command missing or leaving its key) and the restart offer: each ends
with the machine exactly as it was, but for what the run itself must change.

Removal: the whole removal, every effect checked in the prefix.
"""
import os
import re
import unittest

import product
from boxes import IDNO, IDOK, IDYES
from scenario import OK_BUTTONS, YES_NO_BUTTONS, Scenario

SPOOLER_KEYS = product.SPOOLER_KEYS


class Gate(Scenario):
    def setUp(self):
        super().setUp()
        product.install(self.machine)
        self.before = self.machine.snapshot()

    def command_line(self, *actions):
        return product.uninstaller_path(self.machine) + " " + product.child_command(
            self.machine, *actions)

    def assertNothingChanged(self):
        self.assertChanges(self.before, self.machine.snapshot(), [])

    def assertEndedUnchanged(self, run, boxes):
        """The run showed `boxes`, ended as scripted with 0, and changed nothing."""
        self.assertBoxes(run, boxes)
        self.assertRanAsScripted(run, 0)
        self.assertNothingChanged()

    def test_confirmation_declined(self):
        """Only the real platform: real message boxes, their Japanese texts and buttons."""
        run = self.machine.run_boxes(self.command_line("remove-key"), [IDNO, IDOK])
        self.assertEndedUnchanged(run, [(4, YES_NO_BUTTONS), (2, OK_BUTTONS)])
        self.assertIsNone(product.child_log(self.machine), "the removal command ran")

    def test_print_manager_running(self):
        """Only the real platform: FindWindowA finding another process's Japanese title."""
        self.machine.start_window(self.strings[6])
        run = self.machine.run_boxes(self.command_line("remove-key"), [IDOK, IDOK])
        self.assertEndedUnchanged(run, [(13, OK_BUTTONS), (2, OK_BUTTONS)])
        self.assertIsNone(product.child_log(self.machine), "the removal command ran")

    def test_print_manager_is_looked_for_before_the_command_line(self):
        """Only the real platform: the command line as Wine gives it (the quoted path)."""
        self.machine.start_window(self.strings[6])
        run = self.machine.run_boxes('"%s"' % product.uninstaller_path(self.machine),
                                     [IDOK, IDOK])
        self.assertEndedUnchanged(run, [(13, OK_BUTTONS), (2, OK_BUTTONS)])

    def test_window_with_another_title_does_not_stop_the_run(self):
        """Only the real platform: FindWindowA's match of whole titles across processes."""
        self.machine.start_window(self.strings[6] + b" ")
        self.machine.start_window(self.strings[1])
        run = self.machine.run_boxes(self.command_line("remove-key"), [IDNO, IDOK])
        self.assertEndedUnchanged(run, [(4, YES_NO_BUTTONS), (2, OK_BUTTONS)])

    def test_removal_command_cannot_start(self):
        """Only the real platform: CreateProcessA refusing a program that is not there."""
        # Box 3, then the completion test: the key is still there, so the run ends silently.
        command = product.uninstaller_path(self.machine) + " " + (
            self.machine.windows_dir + r"\MISSING.EXE remove-key")
        run = self.machine.run_boxes(command, [IDYES, IDOK])
        self.assertEndedUnchanged(run, [(4, YES_NO_BUTTONS), (3, OK_BUTTONS)])

    def test_program_path_alone_has_no_removal_command(self):
        """Only the real platform: the command line of a program started without arguments."""
        run = self.machine.run_boxes('"%s"' % product.uninstaller_path(self.machine),
                                     [IDYES, IDOK])
        self.assertEndedUnchanged(run, [(4, YES_NO_BUTTONS), (3, OK_BUTTONS)])

    def test_removal_command_leaves_the_key(self):
        """Only the real platform: the wait for a real child process and its INI write."""
        run = self.machine.run_boxes(self.command_line("exit", "3"), [IDYES])
        self.assertEndedUnchanged(run, [(4, YES_NO_BUTTONS)])
        self.assertEqual(product.child_log(self.machine), ["ran", "exit ok"])


class RestartOffer(Scenario):
    """The removal command removes the key; the restart offer decides.  A file scheduled for
    deletion in wininit.ini beforehand shows whether Windows was restarted."""

    def setUp(self):
        super().setUp()
        product.install(self.machine)
        self.marker = self.machine.windows_dir + r"\MARKER.TXT"
        self.machine.setup([("file", self.marker, b"marker".hex()),
                            ("file", r"%windir%\wininit.ini",
                             ("[rename]\r\nNUL=%s\r\n" % self.marker).encode().hex())])
        self.library = product.library_path(self.machine)
        self.command = product.uninstaller_path(self.machine) + " " + product.child_command(
            self.machine, "remove-key")

    def test_restart_declined(self):
        """Only the real platform: no restart, so nothing carries out wininit.ini."""
        run = self.machine.run_boxes(self.command, [IDYES, IDNO])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertEqual(product.child_log(self.machine), ["ran", "remove-key ok"])
        self.machine.stop_wine()
        self.assertFalse(self.machine.exists(self.library), "the setup library is left")
        self.assertTrue(self.machine.exists(self.marker), "Windows was restarted")

    def test_restart_accepted(self):
        """Only the real platform: ExitWindowsEx restarting and wininit.ini carried out."""
        run = self.machine.run_boxes(self.command, [IDYES, IDYES])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        # The restart ends every process of the machine, the box runner's too, so the exit
        # code may not be logged; when it is, it is the result of ExitWindowsEx (TRUE).
        self.assertNotIn("timeout", run.events, run.log)
        self.assertIn(run.exit_code, (None, 1), run.log)
        self.machine.settle()
        self.assertFalse(self.machine.exists(self.library), "the setup library is left")
        self.assertFalse(self.machine.exists(self.marker), "Windows was not restarted")


class RemovalMachine(Scenario):
    """A machine for the whole removal (product.Removal); every effect is checked in the
    prefix, the spooler's through its API.  A scenario's class says how its machine
    differs: machine_args, product.Removal's arguments (product.VARIANT's names)."""

    machine_args = {}

    def setUp(self):
        super().setUp()
        self.r = product.Removal(self.machine, prepare=self.prepare, **self.machine_args)

    def prepare(self, removal):
        """What a scenario adds to the machine before it is looked at."""

    def assertRemoved(self, run, load_line=True):
        """Every effect of a removal whose restart was declined, as the machine's variant
        says: the two questions, the run, the machine's changes, the spooler, the deletion
        list, system.ini and the device's count, the load line, the Program Manager's group.
        Hands back the machine after."""
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        after = self.machine.snapshot()
        self.assertChanges(self.r.before, after, self.r.changes(), ignore=SPOOLER_KEYS)
        self.assertEqual(self.machine.read_file(self.machine.windows_dir + r"\wininit.ini"),
                         self.r.deletion_list(self.r.scheduled()))
        self.assertKept(after, load_line)
        return after

    def assertKept(self, after, load_line=True):
        """What the removal leaves: the printers and drivers that stay, system.ini cleaned (its
        backup the original) or the device's count, the load line without the print manager
        (written back upper-cased), the group deleted unless it holds items."""
        v = self.r.v
        printers = [("Laser", product.OTHER_DRIVER, "LPT3:", 0)]
        printers += [(product.SIBLING_PRINTER, product.SIBLING_DRIVER, "LPT4:", 0)] * v[
            "sibling_printer"]
        printers += [(product.BUSY_PRINTER, product.DRIVER, "LPT2:", 0)] * self.r.queued_jobs
        self.assertEqual(sorted(self.machine.printers()), sorted(printers))
        drivers = [product.SIBLING_DRIVER] * v["sibling_printer"] + [product.OTHER_DRIVER]
        self.assertEqual(sorted(self.machine.drivers()), sorted(drivers))
        windows = self.machine.windows_dir
        count, device_removed = product.count_after_removal(v)
        if device_removed:
            self.assertEqual(self.machine.read_file(windows + r"\SYSTEM.KMW"),
                             self.r.wine_system_ini + product.system_ini_lines())
            self.assertEqual(self.machine.read_file(windows + r"\system.ini"),
                             self.r.wine_system_ini + product.system_ini_lines(cleaned=True))
        else:
            values = after.registry[("HKLM\\" + product.SHARED_DLLS).lower()][1]
            self.assertEqual(product.decode_reg_value(values[self.r.device.lower()][1]), count)
        if load_line:
            self.assertEqual(self.r.load_line(after), product.D["load_after_removal"])
        group, expected = self.r.group, []
        if group:
            expected = ["request item=%s answered=1" % group.hex()]
        if group and not v["group_has_items"]:
            name = b'"' + group + b'"' if any(c in group for c in b",()[]") else group
            command = b"[DeleteGroup(" + name + b")]\0"
            expected += ["execute command=" + command.hex(), "deleted name=" + group.hex()]
        self.assertEqual(self.r.progman_lines(), expected, "Program Manager log")


class Removal(RemovalMachine):
    def test_full_removal_restart_declined(self):
        """Only the real platform: every step through the real API, the whole prefix after."""
        self.assertRemoved(self.r.remove())
        self.assertEqual(product.child_log(self.machine),
                         ["ran", "remove-key ok", "delete ok", "delete ok"])

    def test_full_removal_restart_accepted(self):
        """Only the real platform: Windows carrying out the deletion list while it restarts."""
        run = self.r.remove(answers=(IDYES, IDYES))
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertIn(run.exit_code, (None, 1), run.log)
        self.machine.settle()
        after = self.machine.snapshot()
        windows = self.machine.windows_dir
        # Windows carried out the deletion list and kept it as wininit.bak.
        changes = [c for c in self.r.changes()
                   if c not in ("~" + self.r.product_ini, "+%s\\wininit.ini" % windows)]
        changes += ["+%s\\wininit.bak" % windows]
        changes += ["-" + path for path in self.r.scheduled() if path != self.r.library]
        self.assertChanges(self.r.before, after, changes, ignore=SPOOLER_KEYS)
        self.assertEqual(self.machine.read_file(windows + r"\wininit.bak"),
                         self.r.deletion_list(self.r.scheduled()))
        self.assertKept(after)


class RemovalWhoseCommandDeletesTheIniFile(RemovalMachine):
    machine_args = {"removal_deletes_ini": True}

    def test_settings_are_the_ones_read_before_the_removal_command(self):
        """Only the real platform: Wine's profile functions after the INI file is deleted."""
        self.assertRemoved(self.r.remove())


class RemovalLeavingTheProductsFiles(RemovalMachine):
    machine_args = {"removal_deletes_files": False}

    def test_install_folder_with_a_product_file_stays(self):
        """Only the real platform: FindFirstFileA's "km*.*" in a real folder."""
        self.assertRemoved(self.r.remove())


class RemovalOfAGroupNamedWithParentheses(RemovalMachine):
    """The Program Manager reads an unquoted argument only up to a parenthesis: the group's
    name goes in quotes, and the group named by its first words stays."""

    machine_args = {"settings": {"FolderName": product.FOLDER_NAME + " (Fax)"},
                    "other_groups": [(product.FOLDER_NAME.encode(product.CODE_PAGE), 0)]}

    def test_group_named_with_parentheses_is_deleted(self):
        """Only the real platform: a DDE execute to a Program Manager in another process."""
        self.assertRemoved(self.r.remove())


class RemovalWithoutExecuteFileAndFolderName(RemovalMachine):
    """KMW48.INI without ExecuteFile and FolderName.  The empty execute file matches at the
    start of the load line, which is written back whole, upper-cased; an empty group name
    asks the Program Manager nothing."""

    machine_args = {"settings": {"ExecuteFile": None, "FolderName": None}}

    def test_missing_keys_read_as_empty(self):
        """Only the real platform: Wine hands back the one-blank default (Windows: "")."""
        after = self.assertRemoved(self.r.remove(), load_line=False)
        self.assertEqual(self.r.load_line(after),
                         product.text(self.machine, product.D["load"]).upper())


class RemovalKilledDuringARewrite(RemovalMachine):
    """A large wininit.ini (another program's pending entries) gives the time to catch the
    uninstaller while it writes the new text: wininit.ini stays whole meanwhile (it is never
    overwritten in place), and the second run finishes."""

    def other_programs_wininit(self):
        lines = [b"[rename]\r\n"] + [b"NUL=C:\\WINDOWS\\TEMP\\~GLH%05d.TMP\r\n" % i
                                     for i in range(1200000)]
        return b"".join(lines)

    def test_killed_while_the_new_text_is_written(self):
        """Only the real platform: the real program's files under Wine, killed while it writes."""
        m = self.machine
        wininit = m.windows_dir + r"\wininit.ini"
        original = self.other_programs_wininit()
        # Written with the machine's wineserver up, which would carry it out when it starts.
        with open(m.host_path(wininit), "wb") as f:
            f.write(original)

        def writing():
            try:
                new_text = m.host_path(m.windows_dir + r"\KMW48RMV.TMP\wininit.ini.NEW")
                return os.path.getsize(new_text) > 0
            except OSError:
                return False

        run = self.r.remove(kill_when=writing)
        self.assertTrue(run.killed, "the uninstaller was not caught while it wrote wininit.ini\n"
                        + run.log)
        self.assertEqual(m.read_file(wininit), original, "wininit.ini is not whole")

        run = self.r.remove()
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        # The first run was killed before it deleted the setup library: it is listed too.
        entries = self.r.entries(self.r.scheduled())
        self.assertEqual(m.read_file(wininit), b"[rename]\r\n" + entries +
                         original[len(b"[rename]\r\n"):],
                         "wininit.ini is not the original with the entries after its header")
        self.assertEqual(product.temporaries_left(m), [])


class RemovalWithSiblingPrinter(RemovalMachine):
    """A printer of the sibling driver "Orvane Type1": its driver and printer stay, and so
    does the setup library, which that product still uses: neither scheduled nor deleted."""

    machine_args = {"sibling_printer": True}

    def test_sibling_printer_keeps_the_setup_library(self):
        """Only the real platform: EnumPrintersA's records of Wine's spooler."""
        self.assertRemoved(self.r.remove())


class RemovalWithQueuedJobs(RemovalMachine):
    """Printers with queued jobs: the driver's busy printer and the sibling's stay, the idle
    ones go, the key goes.  Wine's spooler always reports 0 jobs, so the uninstaller runs
    beside a spooler stand-in (spoolproxy.cpp) that reports them; it runs from a folder with
    a long name, so its own deletion entry is a real short path.  (Wine deletes a driver that
    a printer still uses, which Windows refuses: the native removal tests show it.)"""

    machine_args = {"sibling_printer": True, "queued_jobs": True}
    tools = r"C:\OrvaneUninstall"

    def prepare(self, removal):
        m = self.machine
        m.setup([("mkdir", self.tools),
                 ("copy", product.windows_path(m.bin("winspool.drv")),
                  self.tools + r"\winspool.drv"),
                 ("copy", r"%sysdir%\winspool.drv", self.tools + r"\wsreal.drv"),
                 ("copy", product.windows_path(m.bin("kmw48rmv.exe")),
                  self.tools + r"\kmw48rmv.exe")])
        self.env = {"QUEUED_JOBS": "%s=3;%s=1" % (product.BUSY_PRINTER,
                                                   product.SIBLING_PRINTER),
                    "WINEDLLOVERRIDES": "mscoree,mshtml=;winspool.drv=n,b"}

    def test_printer_with_queued_jobs_stays_with_its_driver(self):
        """Only the real platform: the spooler's job counts (from its stand-in here)."""
        run = self.r.remove(env=self.env, program=self.tools + r"\kmw48rmv.exe")
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        after = self.machine.snapshot()
        self.assertChanges(self.r.before, after, self.r.changes(), ignore=SPOOLER_KEYS)
        self.assertKept(after)


class RemovalOfASharedDevice(RemovalMachine):
    """hvq.386 counted twice: the removal lowers the count and keeps the device."""

    machine_args = {"device_count": 2}

    def test_count_above_one_is_lowered(self):
        """Only the real platform: RegSetValueExA on a value named by a full path."""
        self.assertRemoved(self.r.remove())


class RemovalOfASharedDeviceLoweredByTheCommand(RemovalMachine):
    """The removal command lowered the count itself: the uninstaller leaves it."""

    machine_args = {"device_count": 2, "removal_sets_count": 1}

    def test_count_lowered_by_the_removal_command_is_left(self):
        """Only the real platform: the count read again after a real child process wrote it."""
        self.assertRemoved(self.r.remove())
        self.assertEqual(product.child_log(self.machine)[2], "lower-count from=2 to=1 ok")


class RemovalOfAGroupWithItems(RemovalMachine):
    """The product's group still holds items: it stays."""

    machine_args = {"group_has_items": True}

    def test_group_with_items_stays(self):
        """Only the real platform: a DDE request answered by another process."""
        self.assertRemoved(self.r.remove())


if __name__ == "__main__":
    unittest.main()
