#!/usr/bin/env bash
# Builds the two deliverables a second time from a copy of the source in another folder and
# compares them byte for byte with the binaries given: the shipped binaries can be checked
# against the source only if every build of a commit gives the same bytes.
# Usage: reproduce.sh WORK_FOLDER BINARY...
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work="$1"
shift
rm -rf "$work"
mkdir -p "$work/source"
tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./.git -cf - . |
    tar -C "$work/source" -xf -
cmake -S "$work/source" -B "$work/build" -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$work/source/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$work/build" --target kmw48rmv kmw48i2 -j "$(nproc)" >/dev/null
status=0
for binary in "$@"; do
    again="$work/build/bin/$(basename "$binary")"
    if cmp -s "$binary" "$again"; then
        echo "same bytes: $(sha256sum "$binary")"
    else
        echo "DIFFERENT: $(cmp "$binary" "$again" | head -1)"
        status=1
    fi
done
exit $status
