"""test_library.py: the real KMW48I2.DLL under Wine, loaded by the printer-installation host
(LoadLibraryA, GetProcAddress("OrvaneSetup")) right after a printer was installed, answered
by the box runner.

The machine: the library in the system directory, printers of "Orvane Type2" in the
spooler, the print manager's setup program (the PMSETUP stand-in, which logs that it ran) in
the most recent install location, and, where a scenario says so, the product INI file
naming an installed print manager.  The host (PRNHOST.EXE in the Windows directory) starts
with the Windows directory current unless a scenario says otherwise.

Each scenario shows what only the real platform can: its first line says what that is.
"""
import unittest

import product
from boxes import IDCANCEL, IDNO, IDOK, IDYES
from wine import CODE_PAGE, windows_path
from scenario import Scenario
OK_BUTTONS = [IDOK]
YES_NO_BUTTONS = [IDYES, IDNO]

SETUP_DIR = product.SETUP_DIR
SETUP_PROGRAM = product.SETUP_PROGRAM
CANCELLED_TEXT = (b"Setup process cancelled. \nYou may install the print manager by running "
                  b"\nPMSETUP.EXE from the installation disk.")
CANCELLED_CAPTION = b"Setup"
DIALOG_CAPTION = b"PMSETUP.EXE"


class LibraryMachine(Scenario):
    recent_location = True   # False: no InstallLocationsMRU key
    print_manager_installed = False

    def setUp(self):
        super().setUp()
        self.library_strings = product.library_strings()
        product.install_for_library(self.machine, self.recent_location,
                                    self.print_manager_installed)

    def call(self, printer, answers, directory=None):
        """The host calls OrvaneSetup for `printer` (str) with the boxes answered; the run
        must go as scripted and the host end with 0."""
        run = product.call_library(self.machine, printer, answers, directory)
        self.assertRanAsScripted(run, 0)
        return run

    def host_result(self):
        """(result, current directory afterwards) as the host logged them."""
        lines = product.host_log(self.machine)
        self.assertEqual(lines[:2], ["loaded ok", "export name=1 ordinal-same=1"], lines)
        words = dict(w.split("=", 1) for w in lines[2].split(" ")[1:])
        self.assertEqual(words["balanced"], "1", "OrvaneSetup left its arguments on the stack")
        return int(words["value"]), bytes.fromhex(words["directory"]).decode(CODE_PAGE)

    def setup_runs(self):
        """The PMSETUP stand-in's runs: [(command line, module, current directory)]."""
        return product.setup_runs(self.machine)

    def assertShown(self, run, expected):
        """`expected`: [(text, caption, buttons)], texts as bytes; a library row by number."""
        def text(t):
            return self.library_strings[t] if isinstance(t, int) else t
        self.assertEqual([(b.text, b.caption, b.button_ids) for b in run.boxes],
                         [(text(t), text(c), buttons) for t, c, buttons in expected], run.log)

    def assertSetupStarted(self, directory, command_line=None):
        """PMSETUP ran once, in the host's current directory, its command line the short
        path of the file found (`command_line` when given) and nothing else."""
        self.machine.settle()
        runs = self.setup_runs()
        self.assertEqual(len(runs), 1, runs)
        command, module, current = runs[0]
        self.assertEqual(command, command_line or self.machine.short_paths[SETUP_PROGRAM])
        self.assertEqual(module.lower(), SETUP_PROGRAM.lower())
        self.assertEqual(current.lower(), directory.lower())

    def assertNothingStarted(self):
        self.machine.settle()
        self.assertEqual(self.setup_runs(), [])


class Library(LibraryMachine):
    def test_lpt_printer_without_print_manager(self):
        """Only the real platform: LoadLibraryA of the real DLL and a real process start."""
        run = self.call(product.LPT_PRINTER, [])
        self.assertShown(run, [])
        self.assertEqual(self.host_result(), (0, self.machine.windows_dir))
        self.assertSetupStarted(self.machine.windows_dir)

    def test_printer_name_in_another_letter_case(self):
        """Only the real platform: lstrcmpiA on the names of Wine's spooler."""
        run = self.call(product.LPT_PRINTER.upper(), [])
        self.assertEqual(self.host_result()[0], 0)
        self.assertSetupStarted(self.machine.windows_dir)

    def test_printer_not_found(self):
        """Only the real platform: a real message box owned by nobody."""
        run = self.call("Another Printer", [IDOK])
        self.assertShown(run, [(8, 6, OK_BUTTONS)])
        self.assertEqual(self.host_result(), (0, self.machine.windows_dir))
        self.assertNothingStarted()

    def test_network_port_after_an_lpt_printer_of_the_driver(self):
        """Only the real platform: the order in which Wine's spooler lists printers."""
        # The spooler lists "Orvane Type2" (LPT1:) before "Orvane Type2 (network)": no
        # question, the new printer is passed over and so not found.
        self.assertEqual([p[0] for p in self.machine.printers()],
                         [product.LPT_PRINTER, product.NETWORK_PRINTER])
        run = self.call(product.NETWORK_PRINTER, [IDOK])
        self.assertShown(run, [(8, 6, OK_BUTTONS)])
        self.assertEqual(self.host_result()[0], 0)
        self.assertNothingStarted()

    def test_dialog_wrong_file_then_the_right_one(self):
        """Only the real platform: the real open-file dialog and the folder it leaves current."""
        self.machine.setup([("regsz", "HKCU", "InstallLocationsMRU", "b", r"C:\Nowhere\\")])
        run = self.call(product.LPT_PRINTER, [("file", r"C:\Setup\other.exe"),
                                              ("file", SETUP_PROGRAM.lower())])
        self.assertEqual([(b.caption, b.has_file_field) for b in run.boxes],
                         [(DIALOG_CAPTION, True), (DIALOG_CAPTION, True)])
        # The dialog makes the chosen file's folder current, as Windows' does.
        self.assertEqual(self.host_result(), (0, SETUP_DIR))
        self.assertSetupStarted(SETUP_DIR)

    def test_dialog_cancelled(self):
        """Only the real platform: GetOpenFileNameA cancelled in the real dialog."""
        self.machine.setup([("regsz", "HKCU", "InstallLocationsMRU", "b", r"C:\Nowhere\\")])
        run = self.call(product.LPT_PRINTER, [IDCANCEL, IDOK])
        self.assertEqual(run.boxes[0].caption, DIALOG_CAPTION)
        self.assertShown(run, [(b"", DIALOG_CAPTION, run.boxes[0].button_ids),
                               (CANCELLED_TEXT, CANCELLED_CAPTION, OK_BUTTONS)])
        self.assertEqual(self.host_result()[0], 0)
        self.assertNothingStarted()

    def test_typed_name_of_a_missing_file(self):
        """Only the real platform: the real dialog accepting a typed name of no file."""
        self.machine.setup([("regsz", "HKCU", "InstallLocationsMRU", "b", r"C:\Nowhere\\")])
        run = self.call(product.LPT_PRINTER, [("file", r"C:\Setup\PMSETUP2.EXE")])
        self.assertEqual(len(run.boxes), 1, run.log)
        self.assertEqual(self.host_result()[0], 1)
        self.assertNothingStarted()

    def test_recent_location_without_a_trailing_backslash(self):
        """Only the real platform: GetShortPathNameA of a joined path that names nothing."""
        # "C:\Setup" + "pmsetup.exe" names no file: the dialog is shown.
        self.machine.setup([("regsz", "HKCU", "InstallLocationsMRU", "b", SETUP_DIR)])
        run = self.call(product.LPT_PRINTER, [IDCANCEL, IDOK])
        self.assertEqual([b.caption for b in run.boxes], [DIALOG_CAPTION, CANCELLED_CAPTION])
        self.assertNothingStarted()


class LibraryWithoutRecentLocation(LibraryMachine):
    recent_location = False

    def test_setup_program_in_the_current_directory(self):
        """Only the real platform: CreateProcessA's search order, the host's folder first."""
        # Another pmsetup.exe beside the host: Wine's process start, like Windows', looks for
        # a bare program name in the host's own folder first, so only the full path of the
        # file found in the current directory starts that file.
        self.machine.setup([("copy", windows_path(self.machine.bin("pmsetup.exe")),
                             self.machine.windows_dir + r"\pmsetup.exe")])
        run = self.call(product.LPT_PRINTER, [], directory=SETUP_DIR)
        self.assertShown(run, [])
        self.assertEqual(self.host_result(), (0, SETUP_DIR))
        self.assertSetupStarted(SETUP_DIR)


class LibraryWithNetworkPrinterOnly(LibraryMachine):
    def setUp(self):
        super().setUp()
        self.machine.setup([("deleteprinter", product.LPT_PRINTER)])

    def test_network_port_accepted(self):
        """Only the real platform: a network port as Wine's spooler reports it."""
        run = self.call(product.NETWORK_PRINTER, [IDYES])
        self.assertShown(run, [(2, 6, YES_NO_BUTTONS)])
        self.assertEqual(self.host_result()[0], 0)
        self.assertSetupStarted(self.machine.windows_dir)

    def test_network_port_declined(self):
        """Only the real platform: the real Yes/No box declined."""
        run = self.call(product.NETWORK_PRINTER, [IDNO])
        self.assertShown(run, [(2, 6, YES_NO_BUTTONS)])
        self.assertEqual(self.host_result()[0], 0)
        self.assertNothingStarted()


class LibraryWithPrintManagerInstalled(LibraryMachine):
    print_manager_installed = True

    def test_overwrite_accepted(self):
        """Only the real platform: FindFirstFileA in the folder the probe made current."""
        run = self.call(product.LPT_PRINTER, [IDYES])
        self.assertShown(run, [(3, 6, YES_NO_BUTTONS)])
        # The probe made the print manager's folder current, and the setup program runs
        # there.
        result, directory = self.host_result()
        self.assertEqual((result, directory.lower()), (0, product.INSTALL_DIR.lower()))
        self.assertSetupStarted(product.INSTALL_DIR)

    def test_overwrite_declined(self):
        """Only the real platform: the real overwrite question declined."""
        run = self.call(product.LPT_PRINTER, [IDNO])
        self.assertShown(run, [(3, 6, YES_NO_BUTTONS)])
        self.assertEqual(self.host_result()[0], 0)
        self.assertNothingStarted()


if __name__ == "__main__":
    unittest.main()
