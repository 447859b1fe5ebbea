"""scenario.py: the frame of every Wine scenario: a fresh copy of the base prefix, the
uninstaller's texts, and the checks that scenarios share.

CTest passes the places through the environment: KMW_WINE_BIN (the built programs),
KMW_WINE_BASE (the base prefix), KMW_WINE_WORK (one folder per scenario is made there, named
as CTest names the test; its logs stay after the run, the prefix copy is removed unless
KMW_WINE_KEEP is set).  Every failure message names that folder.
"""
import os
import sys
import unittest

import product
from boxes import IDNO, IDOK, IDYES
from machine import Machine
from scenarios import ctest_name
from snapshot import diff_snapshots

# Message box styles of the uninstaller, by the buttons they show.
OK_BUTTONS = [IDOK]
YES_NO_BUTTONS = [IDYES, IDNO]


def _setting(name):
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest("%s is not set: run the Wine scenarios through ctest" % name)
    return value


class Scenario(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        module, _, method = self.id().split(".")
        self.work = os.path.join(_setting("KMW_WINE_WORK"), ctest_name(module, method))
        # On CTest's page of a failure, whatever ended the scenario (a time-out too).
        print("\nlogs of this scenario:", self.work, file=sys.stderr)
        self.machine = Machine(_setting("KMW_WINE_BIN"), _setting("KMW_WINE_BASE"), self.work)
        # Runs even when the rest of a scenario's set-up fails: no Wine process outlives it.
        self.addCleanup(self.machine.close, keep_prefix=bool(os.environ.get("KMW_WINE_KEEP")))
        self.strings = product.uninstaller_strings()

    def _formatMessage(self, msg, standard):
        return "%s\nlogs of this scenario: %s (tests/README.md: a Wine test failed)" % (
            super()._formatMessage(msg, standard), self.work)

    # Checks
    def assertBoxes(self, run, expected, caption_id=1, strings=None):
        """`expected`: [(text id, buttons)] in the order the boxes must appear; each box has
        caption `caption_id` and exactly those buttons.  Ids are rows of `strings` (the
        uninstaller's table unless given); a text given as bytes stands for itself."""
        strings = strings or self.strings
        shown = [(box.text, box.caption, box.button_ids) for box in run.boxes]
        wanted = [(strings.get(text_id, text_id), strings.get(caption_id, caption_id), buttons)
                  for text_id, buttons in expected]
        self.assertEqual(shown, wanted, "boxes shown; box runner log:\n" + run.log)

    def assertRanAsScripted(self, run, exit_code):
        self.assertTrue(run.went_as_scripted, "box runner log:\n" + run.log)
        self.assertEqual(run.exit_code, exit_code, "exit code; box runner log:\n" + run.log)

    def assertChanges(self, before, after, expected, ignore=()):
        """The machine changed exactly as `expected` says (see snapshot.diff_snapshots);
        names are compared ignoring letter case, as Windows compares them."""
        changes = sorted(diff_snapshots(before, after, ignore), key=_order)
        expected = sorted(expected, key=_order)
        if [c.lower() for c in changes] != [c.lower() for c in expected]:
            self.assertEqual(changes, expected, "changes of the machine")


def _order(change):
    # Files first, then registry keys, each in lower-case path order.
    return (change[1:].startswith("HK"), change[1:].lower(), change[0])
