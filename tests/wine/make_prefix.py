#!/usr/bin/env python3
"""make_prefix.py: makes the base Wine prefix that every scenario of a test run copies.

Usage: make_prefix.py PREFIX
"""
import sys
import time

import wine

if __name__ == "__main__":
    started = time.time()
    wine.make_base_prefix(sys.argv[1])
    print("base prefix %s made in %.1f s" % (sys.argv[1], time.time() - started))
