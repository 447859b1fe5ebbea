"""test_uninstaller.py: the real kmw48rmv.exe under Wine, on a machine with the product
installed, answered by the box runner.

Gate: the roads that end before the removal steps (print manager running, confirmation
declined, the removal command missing or leaving its key) and the restart offer: each ends
with the machine exactly as it was, but for what the run itself must change.

Removal: the whole removal, every effect checked in the prefix.  These scenarios describe
the finished uninstaller; tests/wine/CMakeLists.txt registers each once the removal step it
checks is in place.
"""
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


if __name__ == "__main__":
    unittest.main()
