#!/usr/bin/env bash
# bench-wine.sh: the real kmw48rmv.exe under Wine, timed doing the whole removal on machines
# whose system.ini and wininit.ini are ordinary, 16 MiB and 64 MiB each, with its peak memory
# (tests/wine/bench_removal.py tells how each figure is measured).  Needs the MinGW build
# (make mingw); uses the Wine scenarios' base prefix when a test run has made it.
# Usage: scripts/bench-wine.sh [--repeat N]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/mingw"
if [ ! -f "$build/bin/kmw48rmv.exe" ] || [ ! -f "$build/bin/boxrunner.exe" ]; then
    echo "bench-wine: build the Windows programs first (make mingw)" >&2
    exit 2
fi
base="$build/wine/base"
[ -f "$base/system.reg" ] || base="$build/wine/bench/base"
cd "$root/tests/wine"
PYTHONDONTWRITEBYTECODE=1 exec python3 bench_removal.py "$build/bin" "$build/wine/bench" \
    --base "$base" "$@"
