#!/usr/bin/env bash
# Native benchmark of the line-file rewrite: the system.ini clean-up (the filter into the
# new text, the backup, the moves into place) of a generated system.ini-like file of 64 MiB, measured
# side by side with `cp` of the same file and with `sed -i` doing the same deletion; then the
# peak resident memory of the rewrite for 1 MiB and 256 MiB files.  Prints the figures and
# whether the targets are met: faster than sed -i, within 4x of cp, peak memory equal within
# 1 MiB.  The files and the stand-in's sandbox lie in one folder: BENCH_DIR, by default
# /dev/shm/kmw48-bench where /dev/shm exists (a memory file system, so that the figures are
# the programs' own work), else build/bench/work.  BENCH_ROUNDS rounds (default 5); each
# figure is the median of its rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=$PWD/build/bench/bin/line_rewrite_bench
if [ -n "${BENCH_DIR:-}" ]; then
    work=$BENCH_DIR
elif [ -d /dev/shm ] && [ -w /dev/shm ]; then
    work=/dev/shm/kmw48-bench
else
    work=$PWD/build/bench/work
fi
rounds=${BENCH_ROUNDS:-5}
mkdir -p "$work"
export TMPDIR=$work
trap 'rm -rf "$work"/*.ini "$work"/winsim.*' EXIT

# The same deletion as the clean-up, from the product's description.
sed_script=$("$bench" sed-script)

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
# Elapsed and processor seconds of a command: "<elapsed> <user+system>".
timed() {
    local TIMEFORMAT='%3R %3U %3S'
    { time "$@" >/dev/null; } 2>&1 | awk '{printf "%.3f %.3f\n", $1, $2 + $3}'
}

input=$work/system64.ini
"$bench" generate "$input" $((64 << 20))
size=$(stat -c %s "$input")
lines=$(wc -l <"$input")
echo "bench: $input, $size bytes, $lines lines, folder $work, $rounds rounds (medians)"

cp_wall=() cp_cpu=() sed_wall=() sed_cpu=() rw_wall=() rw_cpu=() copy_wall=()
for ((round = 1; round <= rounds; round++)); do
    rm -f "$work/cp.ini"
    read -r w c < <(timed cp "$input" "$work/cp.ini")
    cp_wall+=("$w") cp_cpu+=("$c")

    cp "$input" "$work/sed.ini"
    read -r w c < <(timed sed -i "$sed_script" "$work/sed.ini")
    sed_wall+=("$w") sed_cpu+=("$c")

    out=$("$bench" rewrite "$input" "$work/rewrite.ini")
    rw_wall+=("$(echo "$out" | awk '{print $2}')")
    rw_cpu+=("$(echo "$out" | awk '{print $4}')")
    copy_wall+=("$(echo "$out" | awk '{print $6}')")
done

if cmp -s "$work/sed.ini" "$work/rewrite.ini"; then
    same="the same bytes"
else
    same="DIFFERENT bytes"
fi
cp_m=$(printf '%s\n' "${cp_wall[@]}" | median)
sed_m=$(printf '%s\n' "${sed_wall[@]}" | median)
rw_m=$(printf '%s\n' "${rw_wall[@]}" | median)
copy_m=$(printf '%s\n' "${copy_wall[@]}" | median)
cp_c=$(printf '%s\n' "${cp_cpu[@]}" | median)
sed_c=$(printf '%s\n' "${sed_cpu[@]}" | median)
rw_c=$(printf '%s\n' "${rw_cpu[@]}" | median)

printf '\n%-44s %10s %10s %8s\n' "64 MiB system.ini" "elapsed s" "cpu s" "x cp"
printf '%-44s %10.3f %10.3f %8.2f\n' "cp" "$cp_m" "$cp_c" 1
printf '%-44s %10.3f %10.3f %8.2f\n' "sed -i (same deletion)" "$sed_m" "$sed_c" \
    "$(echo "$sed_m $cp_m" | awk '{print $1 / $2}')"
printf '%-44s %10.3f %10.3f %8.2f\n' "clean-up (new text, backup, moves)" "$rw_m" "$rw_c" \
    "$(echo "$rw_m $cp_m" | awk '{print $1 / $2}')"
printf '%-44s %10.3f %10s %8.2f\n' "  for reference: one CopyFileA of the file" "$copy_m" "" \
    "$(echo "$copy_m $cp_m" | awk '{print $1 / $2}')"
echo "rewrite and sed -i give $same"
echo "rewrite elapsed per run: ${rw_wall[*]}"
verdict() { if [ "$1" = 1 ]; then echo met; else echo MISSED; fi; }
echo "target faster than sed -i: $(verdict "$(echo "$rw_m $sed_m" | awk '{print ($1 < $2)}')")" \
    "($(echo "$sed_m $rw_m" | awk '{printf "%.2f", $1 / $2}')x faster)"
echo "target within 4x of cp: $(verdict "$(echo "$rw_m $cp_m" | awk '{print ($1 <= 4 * $2)}')")" \
    "($(echo "$rw_m $cp_m" | awk '{printf "%.2f", $1 / $2}')x)"

echo
rss=()
for mib in 1 256; do
    file=$work/system$mib.ini
    "$bench" generate "$file" $((mib << 20))
    out=$("$bench" rewrite "$file" "$work/rewrite$mib.ini")
    kib=$(echo "$out" | awk '{print $8}')
    rss+=("$kib")
    printf 'peak resident memory, %3d MiB system.ini: %6d KiB  (rewrite %s s)\n' "$mib" "$kib" \
        "$(echo "$out" | awk '{print $2}')"
    rm -f "$file" "$work/rewrite$mib.ini"
done
diff=$((rss[1] - rss[0]))
echo "target peak memory equal within 1 MiB: $(verdict "$(( diff < 1024 && diff > -1024 ))")" \
    "(difference ${diff} KiB)"
