"""test_harness.py: the test machinery checked on its own, so that a failing scenario points at the
deliverables and not at the tools.

Parsers: Wine's registry file format, box runner logs, machine differences, prefix copies
(no Wine needed).  BoxRunner and ProgramManager: the helpers under Wine.
"""
import os
import tempfile
import unittest

import snapshot
import wine
from boxes import IDCANCEL, IDNO, IDOK, IDYES, BoxRun
from scenario import Scenario


class Parsers(unittest.TestCase):
    needs_wine = False
    def test_registry_escapes(self):
        rows = [
            (r"plain", "plain"),
            (r"C:\\windows\\system32", "C:\\windows\\system32"),
            (r"say \"hi\"", 'say "hi"'),
            (r"\x30d7\x30ea", "\u30d7\u30ea"),       # padded before a hexadecimal digit
            (r"\xff70x", "\uff70x"),
            (r"\xe9t\xe9", "\u00e9t\u00e9"),          # short form before other letters
            (r"a\nb\tc", "a\nb\tc"),
            (r"\001\37", "\x01\x1f"),                 # control characters as octal
            (r"end\\", "end\\"),
        ]
        for escaped, plain in rows:
            self.assertEqual(snapshot._unescape(escaped), plain, escaped)

    def test_registry_values(self):
        rows = [
            ('"text"', "text"),
            ('"C:\\\\a \\"b\\""', 'C:\\a "b"'),
            ('str(2):"%SystemRoot%\\\\x"', "%SystemRoot%\\x"),
            ("dword:0000001f", 31),
            ("hex:01,ff,00", ("hex", b"\x01\xff\x00")),
            ("hex(7):61,00,00,00", ("hex(7)", b"a\x00\x00\x00")),
            ("hex:", ("hex", b"")),
        ]
        for raw, value in rows:
            self.assertEqual(snapshot.decode_reg_value(raw), value, raw)

    def test_registry_file(self):
        text = ("WINE REGISTRY Version 2\n"
                ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                "\n#arch=win32\n\n"
                "[Software\\\\Orvane\\\\Type2 \\x30d7] 1700000000\n"
                "#time=1d9f\n"
                "@=\"default\"\n"
                "\"Name=with equals\"=\"v\"\n"
                "\"Count\"=dword:00000002\n"
                "\"Data\"=hex:01,02,\\\n"
                "  03,04\n"
                "\n"
                "[Software\\\\Empty] 1700000000\n"
                "#time=1d9f\n")
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False,
                                         encoding="utf-8") as f:
            f.write(text)
        try:
            keys = snapshot.parse_registry_file(f.name)
        finally:
            os.unlink(f.name)
        self.assertEqual(sorted(keys), ["software", "software\\empty", "software\\orvane",
                                        "software\\orvane\\type2 \u30d7"])
        self.assertEqual(keys["software\\orvane"], ("Software\\Orvane", {}))
        name, values = keys["software\\orvane\\type2 \u30d7"]
        self.assertEqual(name, "Software\\Orvane\\Type2 \u30d7")
        self.assertEqual(values, {"": ("", '"default"'),
                                  "name=with equals": ("Name=with equals", '"v"'),
                                  "count": ("Count", "dword:00000002"),
                                  "data": ("Data", "hex:01,02,03,04")})
        self.assertEqual(keys["software\\empty"][1], {})

    def test_box_runner_log(self):
        log = ("started pid=32 at=0\n"
               "box caption=4f4b text=8a4a edit=0 buttons=6:82cd,7:8141 at=100\n"
               "pressed id=7 at=101\n"
               "box caption=50 text= edit=1 buttons=1:4f,2:43 at=150\n"
               "typed text=41 at=151\n"
               "pressed id=1 at=151\n"
               "memory peak-working-set=7340032 private=2097152 at=159\n"
               "exit code=5 at=160\n")
        run = BoxRun(log, 0)
        self.assertTrue(run.started)
        self.assertEqual(run.exit_code, 5)
        self.assertEqual((run.peak_working_set, run.peak_private), (7340032, 2097152))
        self.assertEqual(run.times, [("started", 0), ("box", 100), ("pressed", 101),
                                     ("box", 150), ("typed", 151), ("pressed", 151),
                                     ("memory", 159), ("exit", 160)])
        self.assertTrue(run.went_as_scripted)
        self.assertEqual([(b.caption, b.text, b.has_file_field, b.buttons) for b in run.boxes],
                         [(b"OK", b"\x8a\x4a", False, [(6, b"\x82\xcd"), (7, b"\x81\x41")]),
                          (b"P", b"", True, [(1, b"O"), (2, b"C")])])
        self.assertFalse(BoxRun(log.replace("exit", "timeout at=9\nexit"),
                                        1).went_as_scripted)
        self.assertIsNone(BoxRun("started pid=1 at=0\n", 0).exit_code)
        self.assertIsNone(BoxRun("started pid=1 at=0\n", 0).peak_working_set)

    def test_differences(self):
        class State:
            def __init__(self, files, registry):
                self.files, self.registry = files, registry

        before = State({"a.txt": ("A.txt", 1, "x"), "b\\": ("B\\", None, None),
                        "c.txt": ("c.txt", 1, "y")},
                       {"hklm\\k": ("HKLM\\K", {"v": ("V", "dword:1"), "w": ("W", '"s"')}),
                        "hklm\\gone": ("HKLM\\Gone", {}),
                        "hkcu\\dev": ("HKCU\\Dev", {"p": ("P", '"x"')})})
        after = State({"a.txt": ("A.txt", 1, "z"), "d.txt": ("d.txt", 2, "q"),
                       "c.txt": ("c.txt", 1, "y")},
                      {"hklm\\k": ("HKLM\\K", {"v": ("V", "dword:2"), "n": ("N", '"t"')}),
                       "hklm\\new": ("HKLM\\New", {}),
                       "hkcu\\dev": ("HKCU\\Dev", {})})
        self.assertEqual(snapshot.diff_snapshots(before, after),
                         ["~C:\\A.txt", "-C:\\B\\", "+C:\\d.txt", "-HKCU\\Dev\\P",
                          "-HKLM\\Gone", "+HKLM\\K\\N", "~HKLM\\K\\V", "-HKLM\\K\\W",
                          "+HKLM\\New"])
        self.assertEqual(snapshot.diff_snapshots(before, after, ignore=("hklm\\k\\", "hkcu")),
                         ["~C:\\A.txt", "-C:\\B\\", "+C:\\d.txt", "-HKLM\\Gone",
                          "+HKLM\\New"])

    def test_prefix_copy_shares_only_wines_program_files(self):
        with tempfile.TemporaryDirectory() as root:
            base = os.path.join(root, "base")
            system = os.path.join(base, "drive_c", "windows", "system32")
            os.makedirs(system)
            os.makedirs(os.path.join(base, "dosdevices"))
            for path, data in ((os.path.join(base, "system.reg"), b"reg"),
                               (os.path.join(system, "user32.dll"), b"dll"),
                               (os.path.join(base, "drive_c", "windows", "win.ini"), b"ini")):
                with open(path, "wb") as f:
                    f.write(data)
            os.symlink("../drive_c", os.path.join(base, "dosdevices", "c:"))
            copy = os.path.join(root, "copy")
            wine.copy_prefix(base, copy)

            def same_file(rel):
                return os.path.samefile(os.path.join(base, rel), os.path.join(copy, rel))

            self.assertTrue(same_file("drive_c/windows/system32/user32.dll"))
            self.assertFalse(same_file("system.reg"))
            self.assertFalse(same_file("drive_c/windows/win.ini"))
            self.assertEqual(os.readlink(os.path.join(copy, "dosdevices", "c:")), "../drive_c")


class BoxRunner(Scenario):
    """The box runner against programs whose behaviour is known."""

    def host(self, *args):
        log = self.machine.work_file("host.log")
        return log, " ".join([wine.windows_path(self.machine.bin("host.exe")),
                              wine.windows_path(log)] + list(args))

    def host_log(self, log):
        with open(log, encoding="ascii") as f:
            return [line.split(" at=")[0] for line in f.read().splitlines()]

    def test_file_dialog_typed_name(self):
        """The box runner types a name into the real open-file dialog."""
        self.machine.setup([("mkdir", r"C:\Setup"), ("file", r"C:\Setup\pmsetup.exe", "4d5a")])
        log, command = self.host("dialog")
        run = self.machine.run_boxes(command, [("file", r"C:\Setup\pmsetup.exe")])
        self.assertRanAsScripted(run, 0)
        self.assertEqual(len(run.boxes), 1, run.log)
        self.assertEqual(run.boxes[0].caption, b"PMSETUP.EXE")
        self.assertTrue(run.boxes[0].has_file_field)
        self.assertEqual(run.boxes[0].button_ids, [IDOK, IDCANCEL])
        self.assertEqual(self.host_log(log),
                         ["dialog result=1 file=" + rb"C:\Setup\pmsetup.exe".hex()])
        # The program's memory as Wine reports it: a Wine process takes megabytes.
        self.assertGreater(run.peak_working_set, 1 << 20, run.log)
        self.assertGreater(run.peak_private, 0, run.log)

    def test_file_dialog_cancelled(self):
        """The box runner cancels the real open-file dialog."""
        log, command = self.host("dialog")
        run = self.machine.run_boxes(command, [IDCANCEL])
        self.assertRanAsScripted(run, 0)
        self.assertEqual(self.host_log(log), ["dialog result=0 file="])

    def test_unanswered_box_ends_the_program(self):
        """The box runner ends a program whose box it has no answer for."""
        run = self.machine.run_boxes(self.host("dialog")[1], [])
        self.assertEqual(len(run.boxes), 1, run.log)
        self.assertIn("unexpected-box", run.events)
        self.assertFalse(run.went_as_scripted)
        self.assertEqual(run.exit_code, 0xDEAD)

    def test_missing_button_ends_the_program(self):
        """The box runner ends a program whose box lacks the scripted button."""
        run = self.machine.run_boxes(self.host("dialog")[1], [IDYES])
        self.assertIn("no-button", run.events)
        self.assertFalse(run.went_as_scripted)
        self.assertEqual(run.exit_code, 0xDEAD)

    def test_answer_left_over_is_reported(self):
        """The box runner reports an answer that no box took."""
        run = self.machine.run_boxes(self.host("dialog")[1], [IDCANCEL, IDOK])
        self.assertEqual(len(run.boxes), 1, run.log)
        self.assertIn("unused-answers", run.events)
        self.assertFalse(run.went_as_scripted)
        self.assertEqual(run.exit_code, 0)

    def test_time_out_ends_the_program(self):
        """The box runner ends a program that outlives its time."""
        ready = wine.windows_path(self.machine.work_file("never.ready"))
        command = " ".join([wine.windows_path(self.machine.bin("pmwindow.exe")), "41",
                            ready])
        run = self.machine.run_boxes(command, [], timeout_ms=1500)
        self.assertIn("timeout", run.events)
        self.assertEqual(run.exit_code, 0xDEAD)

    def test_screenshot_is_waited_for_before_the_answer(self):
        """The box runner waits for the screenshot before it answers."""
        log, command = self.host("dialog")
        shots = []

        def photograph(number, rect):
            # The box is still up: the host has not returned from the dialog yet.
            shots.append((number, rect, self.host_log(log)))

        run = self.machine.run_boxes(command, [IDCANCEL], on_box=photograph)
        self.assertRanAsScripted(run, 0)
        self.assertEqual(run.events, ["started", "box", "shot", "pressed", "memory", "exit"], run.log)
        self.assertEqual([(n, host) for n, _, host in shots], [(1, [])])
        left, top, right, bottom = shots[0][1]
        self.assertGreater(right - left, 100, shots)
        self.assertGreater(bottom - top, 100, shots)
        self.assertEqual(self.host_log(log), ["dialog result=0 file="])

    def test_watching_leaves_the_box_to_the_user(self):
        """The box runner leaves the box to the user when told to watch."""
        log, command = self.host("dialog")
        run = self.machine.run_boxes(command, [], watch=True, timeout_ms=3000)
        self.assertEqual(len(run.boxes), 1, run.log)
        self.assertEqual(run.events, ["started", "box", "timeout", "memory", "exit"], run.log)
        self.assertEqual(run.exit_code, 0xDEAD)
        self.assertEqual(self.host_log(log), [], "the dialog was answered")


class ProgramManager(Scenario):
    """The PROGMAN stand-in as a DDE client sees it."""

    def test_groups(self):
        """The Program Manager stand-in as a DDE client in another process sees it."""
        group = "Orvane Type2 ﾌｧｸｽ".encode(wine.CODE_PAGE)
        log = self.machine.start_program_manager([(group, 0), ("Other", 2)])
        client_log = self.machine.work_file("client.log")

        def talk(item, command=None):
            args = [wine.windows_path(client_log), "dde", item.hex()]
            if command is not None:
                args.append(command.hex())
            self.machine.wine([self.machine.bin("host.exe")] + args)

        talk(b"Other")
        talk(group, b"[DeleteGroup(" + group + b")]")
        talk(group)
        talk(b"Unknown", b"[DeleteGroup(Unknown)]")
        with open(client_log, encoding="ascii") as f:
            client = [line for line in f.read().splitlines() if not line.startswith("conn")]
        other = (b'"Other",C:\\WINDOWS\\ORVANE.GRP,2,1\r\n' +
                 2 * b'"Item","C:\\WINDOWS\\NOTEPAD.EXE",,C:\\WINDOWS\\NOTEPAD.EXE,0,0,0,0,0\r\n'
                 + b"\0")
        empty = b'"' + group + b'",C:\\WINDOWS\\ORVANE.GRP,0,1\r\n\0'
        self.assertEqual(client, ["reply data=" + other.hex(),
                                  "reply data=" + empty.hex(), "execute acknowledged=1",
                                  "reply none",
                                  "reply none", "execute acknowledged=0"])
        with open(log, encoding="ascii") as f:
            server = f.read().splitlines()
        self.assertEqual(server, [
            "request item=%s answered=1" % b"Other".hex(),
            "request item=%s answered=1" % group.hex(),
            "execute command=%s" % (b"[DeleteGroup(" + group + b")]\0").hex(),
            "deleted name=%s" % group.hex(),
            "request item=%s answered=0" % group.hex(),
            "request item=%s answered=0" % b"Unknown".hex(),
            "execute command=%s" % b"[DeleteGroup(Unknown)]\0".hex()])


if __name__ == "__main__":
    unittest.main()
