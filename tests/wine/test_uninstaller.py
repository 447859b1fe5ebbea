"""test_uninstaller.py: the real kmw48rmv.exe under Wine, on a machine with the product
installed, answered by the box runner.

Gate: the roads that end before the removal steps (print manager running, confirmation
declined, the removal command missing or leaving its key) and the restart offer: each ends
with the machine exactly as it was, but for what the run itself must change.

Removal: the whole removal, every effect checked in the prefix.  These scenarios describe
the finished uninstaller; tests/wine/CMakeLists.txt registers each once the removal step it
checks is in place.
"""
import os
import re
import unittest

import harness
import product
from scenario import OK_BUTTONS, YES_NO_BUTTONS, Scenario

IDOK, IDYES, IDNO = harness.IDOK, harness.IDYES, harness.IDNO


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

    def test_confirmation_declined(self):
        run = self.machine.run_boxes(self.command_line("remove-key"), [IDNO, IDOK])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (2, OK_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertIsNone(product.child_log(self.machine), "the removal command ran")
        self.assertNothingChanged()

    def test_print_manager_running(self):
        self.machine.start_window(self.strings[6])
        run = self.machine.run_boxes(self.command_line("remove-key"), [IDOK, IDOK])
        self.assertBoxes(run, [(13, OK_BUTTONS), (2, OK_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertIsNone(product.child_log(self.machine), "the removal command ran")
        self.assertNothingChanged()

    def test_print_manager_is_looked_for_before_the_command_line(self):
        # The command line as `wine kmw48rmv.exe` gives it: the quoted program path alone.
        self.machine.start_window(self.strings[6])
        run = self.machine.run_boxes('"%s"' % product.uninstaller_path(self.machine),
                                     [IDOK, IDOK])
        self.assertBoxes(run, [(13, OK_BUTTONS), (2, OK_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertNothingChanged()

    def test_window_with_another_title_does_not_stop_the_run(self):
        self.machine.start_window(self.strings[6] + b" ")
        self.machine.start_window(self.strings[1])
        run = self.machine.run_boxes(self.command_line("remove-key"), [IDNO, IDOK])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (2, OK_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertNothingChanged()

    def test_removal_command_cannot_start(self):
        # Box 3, then the completion test: the key is still there, so the run ends silently.
        command = product.uninstaller_path(self.machine) + " " + (
            self.machine.windows_dir + r"\MISSING.EXE remove-key")
        run = self.machine.run_boxes(command, [IDYES, IDOK])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (3, OK_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertNothingChanged()

    def test_program_path_alone_has_no_removal_command(self):
        # No blank in the command line: no removal command, reported as a start that failed.
        run = self.machine.run_boxes('"%s"' % product.uninstaller_path(self.machine),
                                     [IDYES, IDOK])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (3, OK_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertNothingChanged()

    def test_removal_command_leaves_the_key(self):
        run = self.machine.run_boxes(self.command_line("exit", "3"), [IDYES])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertEqual(product.child_log(self.machine), ["ran", "exit ok"])
        self.assertNothingChanged()


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
        self.library = self.machine.system_dir + r"\KMW48I2.DLL"
        self.command = product.uninstaller_path(self.machine) + " " + product.child_command(
            self.machine, "remove-key")

    def test_restart_declined(self):
        run = self.machine.run_boxes(self.command, [IDYES, IDNO])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertEqual(product.child_log(self.machine), ["ran", "remove-key ok"])
        self.machine.stop_wine()
        self.assertFalse(self.machine.exists(self.library), "the setup library is left")
        self.assertTrue(self.machine.exists(self.marker), "Windows was restarted")

    def test_restart_accepted(self):
        run = self.machine.run_boxes(self.command, [IDYES, IDYES])
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        # The restart ends every process of the machine, the box runner's too, so the exit
        # code may not be logged; when it is, it is the result of ExitWindowsEx (TRUE).
        self.assertNotIn("timeout", run.events, run.log)
        self.assertIn(run.exit_code, (None, 1), run.log)
        self.machine.settle()
        self.assertFalse(self.machine.exists(self.library), "the setup library is left")
        self.assertFalse(self.machine.exists(self.marker), "Windows was not restarted")


SPOOLER_KEYS = product.SPOOLER_KEYS
WIN_INI_WINDOWS = product.WIN_INI_WINDOWS


class RemovalMachine(Scenario):
    """A machine for the whole removal: the product installed; the removal command removes
    the completion key and the print manager's file; the Program Manager holds the
    product's group (empty unless a scenario says otherwise) and another one.  Every effect
    is checked in the prefix, the spooler's through its API."""

    device_count = 1
    sibling = False
    group_items = 0
    settings = None          # KMW48.INI's values as a scenario changes them
    other_groups = []        # further Program Manager groups: [(name bytes, items)]

    def setUp(self):
        super().setUp()
        m = self.machine
        self.wine_system_ini = product.install(m, device_count=self.device_count,
                                               sibling=self.sibling, settings=self.settings)
        self.uninstaller = product.uninstaller_path(m)
        self.run_env = {}
        self.prepare()
        self.product_ini = m.windows_dir + r"\KMW48.INI"
        self.system_files = [m.system_dir + "\\" + name for name in product.SYSTEM_FILES]
        self.device = m.system_dir + r"\hvq.386"
        m.setup([("shortpath", path)
                 for path in [self.uninstaller, self.product_ini] + self.system_files])
        self.before = m.snapshot()
        folder_name = dict(product.product_ini_entries(self.settings)).get("FolderName", "")
        self.group = folder_name.encode(harness.CODE_PAGE)
        groups = [("Accessories", 5)] + ([(self.group, self.group_items)] if self.group else [])
        self.progman_log = m.start_program_manager(groups + self.other_groups)

    def prepare(self):
        """What a scenario adds to the machine before it is looked at."""

    def remove(self, actions=("remove-key", "delete", product.PRINT_MANAGER),
               answers=(IDYES, IDNO), kill_when=None):
        command = self.uninstaller + " " + product.child_command(self.machine, *actions)
        return self.machine.run_boxes(command, list(answers), env=self.run_env,
                                      kill_when=kill_when)

    def deletion_list(self, paths):
        """wininit.ini as the deletion list leaves it when there was none: the header,
        then one entry a file, by its short path."""
        return b"[rename]\r\n" + b"".join(
            b"NUL=" + self.machine.short_paths[p].encode(harness.CODE_PAGE) + b"\r\n"
            for p in paths)

    def removal_changes(self, ini="~", folder=True, device=True, count=None, library=True):
        """The changes of a removal whose restart was declined; `ini` is how the product INI
        file changed ("~" or "-"), `folder` whether the install folder went, `device`
        whether the device was removed, `count` the change of its count value otherwise,
        `library` whether the setup library went."""
        changes = [ini + self.product_ini,
                   "-" + product.PRINT_MANAGER,
                   "+%s\\wininit.ini" % self.machine.windows_dir,
                   "-HKLM\\" + product.DRIVER_KEY,
                   "-HKLM\\" + product.DRIVER_KEY + "\\Options",
                   "~%s\\load" % WIN_INI_WINDOWS]
        if library:
            changes.append("-" + self.system_files[-1])
        if folder:
            changes.append("-" + product.INSTALL_DIR + "\\")
        shared_value = "HKLM\\%s\\%s" % (product.SHARED_DLLS, self.device)
        if device:
            changes += ["-" + self.device, "-" + shared_value,
                        "~%s\\system.ini" % self.machine.windows_dir,
                        "+%s\\SYSTEM.KMW" % self.machine.windows_dir]
        elif count is not None:
            changes.append(count + shared_value)
        return changes

    def assertGroupDeleted(self, deleted):
        with open(self.progman_log, encoding="ascii") as f:
            log = f.read().splitlines()
        expected = ["request item=%s answered=1" % self.group.hex()]
        if deleted:
            name = self.group
            if any(c in name for c in b",()[]"):
                name = b'"' + name + b'"'
            command = b"[DeleteGroup(" + name + b")]\0"
            expected += ["execute command=" + command.hex(), "deleted name=" + self.group.hex()]
        self.assertEqual(log, expected, "Program Manager log")

    def assertStartupLine(self, after):
        # The print manager is taken out of the load line, which is written back upper-cased.
        raw = after.registry[WIN_INI_WINDOWS.lower()][1]["load"][1]
        self.assertEqual(harness.decode_reg_value(raw), product.OTHER_STARTUP.upper() + " ")

    def assertDeviceRemoved(self):
        windows = self.machine.windows_dir
        self.assertEqual(self.machine.read_file(windows + r"\SYSTEM.KMW"),
                         self.wine_system_ini + product.SYSTEM_INI_EXTRA)
        self.assertEqual(self.machine.read_file(windows + r"\system.ini"),
                         self.wine_system_ini + product.SYSTEM_INI_EXTRA_CLEANED)

    def assertSpooler(self, printers, drivers):
        self.assertEqual(self.machine.printers(), printers)
        self.assertEqual(self.machine.drivers(), drivers)


class Removal(RemovalMachine):
    def test_full_removal_restart_declined(self):
        run = self.remove()
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertEqual(product.child_log(self.machine), ["ran", "remove-key ok", "delete ok"])
        self.assertSpooler([], [])
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(), ignore=SPOOLER_KEYS)
        self.assertEqual(self.machine.read_file(self.machine.windows_dir + r"\wininit.ini"),
                         self.deletion_list([self.uninstaller, self.product_ini] +
                                            self.system_files))
        self.assertDeviceRemoved()
        self.assertStartupLine(after)
        self.assertGroupDeleted(True)

    def test_full_removal_restart_accepted(self):
        run = self.remove(answers=(IDYES, IDYES))
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertIn(run.exit_code, (None, 1), run.log)
        self.machine.settle()
        after = self.machine.snapshot()
        # Windows carried out the deletion list while it restarted.
        windows = self.machine.windows_dir
        changes = self.removal_changes(ini="-")
        changes.remove("+%s\\wininit.ini" % windows)
        changes += ["+%s\\wininit.bak" % windows, "-" + self.uninstaller]
        changes += ["-" + path for path in self.system_files[:-1]]
        self.assertChanges(self.before, after, changes, ignore=SPOOLER_KEYS)
        self.assertEqual(self.machine.read_file(windows + r"\wininit.bak"),
                         self.deletion_list([self.uninstaller, self.product_ini] +
                                            self.system_files))
        self.assertDeviceRemoved()
        self.assertStartupLine(after)
        self.assertGroupDeleted(True)
        self.assertSpooler([], [])

    def test_settings_are_the_ones_read_before_the_removal_command(self):
        # The removal command deletes the whole INI file: the folder, the start-up entry and
        # the group are still found from the settings saved at the start.
        run = self.remove(actions=("delete-ini", "delete", product.PRINT_MANAGER))
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertSpooler([], [])
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(ini="-"),
                           ignore=SPOOLER_KEYS)
        self.assertEqual(self.machine.read_file(self.machine.windows_dir + r"\wininit.ini"),
                         self.deletion_list([self.uninstaller] + self.system_files))
        self.assertStartupLine(after)
        self.assertGroupDeleted(True)

    def test_install_folder_with_a_product_file_stays(self):
        run = self.remove(actions=("remove-key",))
        self.assertRanAsScripted(run, 0)
        changes = self.removal_changes(folder=False)
        changes.remove("-" + product.PRINT_MANAGER)
        self.assertChanges(self.before, self.machine.snapshot(), changes, ignore=SPOOLER_KEYS)


class RemovalOfAGroupNamedWithParentheses(RemovalMachine):
    """The Program Manager reads an unquoted argument only up to a parenthesis: the group's
    name goes in quotes, and the group named by its first words stays."""

    settings = {"FolderName": product.GROUP_NAME + " (Fax)"}
    other_groups = [(product.GROUP_NAME.encode(harness.CODE_PAGE), 0)]

    def test_group_named_with_parentheses_is_deleted(self):
        run = self.remove()
        self.assertRanAsScripted(run, 0)
        self.assertChanges(self.before, self.machine.snapshot(), self.removal_changes(),
                           ignore=SPOOLER_KEYS)
        self.assertGroupDeleted(True)


class RemovalWithoutExecuteFileAndFolderName(RemovalMachine):
    """KMW48.INI without ExecuteFile and FolderName: Wine hands back the one-blank default
    where Windows gives an empty text, and both must read as empty.  The empty execute file
    matches at the start of the load line, which is written back whole, upper-cased; an empty
    group name asks the Program Manager nothing."""

    settings = {"ExecuteFile": None, "FolderName": None}

    def test_missing_keys_read_as_empty(self):
        run = self.remove()
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(), ignore=SPOOLER_KEYS)
        raw = after.registry[WIN_INI_WINDOWS.lower()][1]["load"][1]
        self.assertEqual(harness.decode_reg_value(raw), product.startup_line().upper())
        with open(self.progman_log, encoding="ascii") as f:
            self.assertEqual(f.read().splitlines(), [], "Program Manager log")


class RemovalKilledDuringARewrite(RemovalMachine):
    """Only the real platform shows it: Wine's CopyFileA truncates wininit.ini and then writes
    it, and the real program is killed in between.  A large wininit.ini (another program's
    pending entries) gives the time to see it truncated; the second run finds the copy kept
    aside, puts it back and finishes the removal."""

    def other_programs_wininit(self):
        lines = [b"[rename]\r\n"] + [b"NUL=C:\\WINDOWS\\TEMP\\~GLH%05d.TMP\r\n" % i
                                       for i in range(1200000)]
        return b"".join(lines)

    def test_second_run_restores_wininit_and_finishes(self):
        m = self.machine
        wininit = m.windows_dir + r"\wininit.ini"
        original = self.other_programs_wininit()
        # Written with the machine's wineserver up, which would carry it out when it starts.
        with open(m.host_path(wininit), "wb") as f:
            f.write(original)
        host = m.host_path(wininit)

        def truncated():
            try:
                return os.path.getsize(host) < len(original)
            except OSError:
                return False

        run = self.remove(kill_when=truncated)
        self.assertTrue(run.killed, "the uninstaller was not caught while it wrote wininit.ini\n"
                        + run.log)
        cut = m.read_file(wininit)
        self.assertLess(len(cut), len(original), "wininit.ini is not cut short")
        self.assertEqual(m.read_file(m.windows_dir + r"\KMW48RMV.TMP\wininit.ini"), original,
                         "wininit.ini's own bytes are not kept aside")

        run = self.remove()
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        # The first run was killed before it deleted the setup library: it is listed too.
        entries = self.deletion_list([self.uninstaller, self.product_ini] + self.system_files)
        self.assertEqual(m.read_file(wininit), entries + original[len(b"[rename]\r\n"):],
                         "wininit.ini is not the original with the entries after its header")
        self.assertFalse(m.exists(m.windows_dir + r"\KMW48RMV.TMP"))
        self.assertEqual([n for n in os.listdir(m.host_path(m.windows_dir))
                          if re.fullmatch(r"(?i)uns[0-9a-f]{4}\.tmp", n)], [])


class RemovalWithSiblingPrinter(RemovalMachine):
    """A printer of the sibling driver "Orvane Type1": its driver and printer stay, and so
    does the setup library, which that product still uses: neither scheduled nor deleted."""

    sibling = True

    def test_sibling_printer_keeps_the_setup_library(self):
        run = self.remove()
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        self.assertSpooler([(product.SIBLING_PRINTER, product.SIBLING_DRIVER, "LPT2:", 0)],
                           [product.SIBLING_DRIVER])
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(library=False),
                           ignore=SPOOLER_KEYS)
        self.assertEqual(self.machine.read_file(self.machine.windows_dir + r"\wininit.ini"),
                         self.deletion_list([self.uninstaller, self.product_ini] +
                                            self.system_files[:-1]))
        self.assertGroupDeleted(True)


class RemovalWithQueuedJobs(RemovalMachine):
    """Printers with queued jobs: "Orvane Type2" on LPT1: (the driver's only printer) and the
    sibling's.  Wine's spooler always reports 0 jobs, so the uninstaller runs beside a
    spooler stand-in (spoolproxy.cpp) that reports them; it runs from a folder with a long
    name, so its own deletion entry is a real short path."""

    sibling = True
    tools = r"C:\OrvaneUninstall"

    def prepare(self):
        m = self.machine
        self.uninstaller = self.tools + r"\kmw48rmv.exe"
        m.setup([("deleteprinter", product.NETWORK_PRINTER),
                 ("mkdir", self.tools),
                 ("copy", harness.windows_path(m.bin("kmw48rmv.exe")), self.uninstaller),
                 ("copy", harness.windows_path(m.bin("winspool.drv")),
                  self.tools + r"\winspool.drv"),
                 ("copy", r"%sysdir%\winspool.drv", self.tools + r"\wsreal.drv")])
        self.run_env = {"QUEUED_JOBS": "%s=2;%s=1" % (product.LPT_PRINTER,
                                                     product.SIBLING_PRINTER),
                        "WINEDLLOVERRIDES": "mscoree,mshtml=;winspool.drv=n,b"}

    def test_printer_with_queued_jobs_stays_with_its_driver(self):
        run = self.remove()
        self.assertBoxes(run, [(4, YES_NO_BUTTONS), (5, YES_NO_BUTTONS)])
        self.assertRanAsScripted(run, 0)
        # Neither printer deleted; no driver deletion requested; the key goes all the same.
        self.assertSpooler([(product.SIBLING_PRINTER, product.SIBLING_DRIVER, "LPT2:", 0),
                            (product.LPT_PRINTER, product.DRIVER, "LPT1:", 0)],
                           [product.SIBLING_DRIVER, product.DRIVER])
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(library=False),
                           ignore=SPOOLER_KEYS)
        short = self.machine.short_paths[self.uninstaller]
        self.assertNotEqual(short.lower(), self.uninstaller.lower())
        self.assertEqual(self.machine.read_file(self.machine.windows_dir + r"\wininit.ini"),
                         self.deletion_list([self.uninstaller, self.product_ini] +
                                            self.system_files[:-1]))


class RemovalOfASharedDevice(RemovalMachine):
    """hvq.386 counted twice: the removal lowers the count and keeps the device."""

    device_count = 2

    def test_count_above_one_is_lowered(self):
        run = self.remove()
        self.assertRanAsScripted(run, 0)
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(device=False, count="~"),
                           ignore=SPOOLER_KEYS)
        values = after.registry[("HKLM\\" + product.SHARED_DLLS).lower()][1]
        self.assertEqual(harness.decode_reg_value(values[self.device.lower()][1]), 1)

    def test_count_lowered_by_the_removal_command_is_left(self):
        run = self.remove(actions=("remove-key", "lower-count", "delete",
                                   product.PRINT_MANAGER))
        self.assertRanAsScripted(run, 0)
        self.assertEqual(product.child_log(self.machine)[2], "lower-count from=2 to=1 ok")
        after = self.machine.snapshot()
        self.assertChanges(self.before, after, self.removal_changes(device=False, count="~"),
                           ignore=SPOOLER_KEYS)
        values = after.registry[("HKLM\\" + product.SHARED_DLLS).lower()][1]
        self.assertEqual(harness.decode_reg_value(values[self.device.lower()][1]), 1)


class RemovalOfAGroupWithItems(RemovalMachine):
    """The product's group still holds items: it stays."""

    group_items = 2

    def test_group_with_items_stays(self):
        run = self.remove()
        self.assertRanAsScripted(run, 0)
        self.assertChanges(self.before, self.machine.snapshot(), self.removal_changes(),
                           ignore=SPOOLER_KEYS)
        self.assertGroupDeleted(False)

if __name__ == "__main__":
    unittest.main()
