#!/usr/bin/env bash
# Runs every fuzz target (or the targets named after the count) for a long fixed number of
# inputs (first argument, default 1,000,000) from its seed corpus and prints, per target, the
# executions done, the time taken and the crashes found.  Inputs found on the way are kept in
# build/fuzz/long/<target>, never in the seed corpus.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
shift || true
# The stand-in's sandbox goes on a memory file system when there is one: every input writes,
# copies and deletes files.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
if [ $# -gt 0 ]; then
    targets=()
    for name in "$@"; do targets+=("build/fuzz/bin/${name}_fuzz"); done
else
    targets=(build/fuzz/bin/*_fuzz)
fi
status=0
for target in "${targets[@]}"; do
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
