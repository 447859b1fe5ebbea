#!/usr/bin/env python3
"""scenarios.py: finds the Wine scenarios in this folder's test_*.py files, for CMake, which
makes one CTest test of each (tests/wine/CMakeLists.txt): a line per scenario,
"NAME|MODULE.CLASS.METHOD|WINE", NAME being wine.<module without test_>.<method without
test_>, WINE 1 when it runs in a Wine machine (0 for a class with `needs_wine = False`).

A scenario that runs under Wine says in the first line of its text what only the real platform
shows there; one without such a line is refused (exit status 1).
"""
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


def ctest_name(module, method):
    """The name CTest gives a scenario, and the name of its folder of logs."""
    return "wine.%s.%s" % (module[len("test_"):], method[len("test_"):])


def scenarios():
    sys.path.insert(0, HERE)
    loader = unittest.TestLoader()
    found, refused = [], []
    for name in sorted(os.listdir(HERE)):
        if not (name.startswith("test_") and name.endswith(".py")):
            continue
        module = name[:-3]
        suite = loader.loadTestsFromName(module)
        stack = [suite]
        while stack:
            item = stack.pop(0)
            if isinstance(item, unittest.TestSuite):
                stack.extend(item)
                continue
            method = item._testMethodName
            wine = getattr(type(item), "needs_wine", True)
            doc = (getattr(type(item), method).__doc__ or "").strip()
            test = "%s.%s.%s" % (module, type(item).__name__, method)
            if wine and not doc:
                refused.append(test)
            found.append((ctest_name(module, method), test, 1 if wine else 0))
    return found, refused


def main():
    found, refused = scenarios()
    for test in refused:
        print("scenarios.py: %s does not say what only the real platform shows" % test,
              file=sys.stderr)
    for name, test, wine in found:
        print("%s|%s|%d" % (name, test, wine))
    return 1 if refused else 0


if __name__ == "__main__":
    sys.exit(main())
