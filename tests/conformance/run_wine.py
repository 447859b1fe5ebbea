#!/usr/bin/env python3
"""run_wine.py: runs the conformance program under Wine in a fresh copy of the base prefix
(headless, code page 932, as every Wine scenario runs), prints what it printed and exits with
its status.

Usage: run_wine.py CONFORMANCE.EXE BASE_PREFIX WORK_DIR
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
from machine import Machine  # noqa: E402


def main():
    program, base, work = sys.argv[1:4]
    machine = Machine(os.path.dirname(program), base, work)
    output = machine.work_file("conformance.txt")
    # Inside the machine, where the copies of itself that it starts are made beside it.
    inside = machine.host_path("C:\\Conform\\Bin\\CONFORM.EXE")
    os.makedirs(os.path.dirname(inside), exist_ok=True)
    shutil.copy(program, inside)
    try:
        # Output to a file: a pipe would stay open as long as Wine's helper processes.
        with open(output, "wb") as out:
            status = subprocess.run(["wine", "C:\\Conform\\Bin\\CONFORM.EXE"], env=machine.env,
                                    stdout=out, stderr=subprocess.STDOUT, cwd=work,
                                    timeout=240).returncode
    finally:
        machine.close(keep_prefix=bool(os.environ.get("KMW_WINE_KEEP")))
    with open(output, "rb") as f:
        sys.stdout.write(f.read().decode("ascii", "replace"))
    return status


if __name__ == "__main__":
    sys.exit(main())
