#!/usr/bin/env bash
# Runs every fuzz target for a long fixed number of inputs (argument, default 1,000,000)
# from its seed corpus and prints, per target, the executions done and the crashes found.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
status=0
for target in build/fuzz/bin/*_fuzz; do
    name=$(basename "$target" _fuzz)
    work=build/fuzz/long/$name
    mkdir -p "$work"
    log=$work.log
    start=$(date +%s)
    "$target" -runs="$runs" -detect_leaks=0 -seed=1 -artifact_prefix="$work/" "$work" \
        "tests/fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    secs=$(( $(date +%s) - start ))
    execs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
    crashes=$(ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null | wc -l)
    echo "fuzz $name: ${execs:-0} executions in ${secs}s, $crashes crashes (exit $rc)"
    [ "$rc" -eq 0 ] || status=1
done
exit $status
