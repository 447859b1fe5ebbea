# Front door: `make demo` runs the main job, `make test` builds everything and runs every test.
# Each installs what it needs first (Debian packages; root or sudo).

JOBS ?= $(shell nproc)

.PHONY: all build test deps native native-asan mingw fuzz test-native test-asan test-wine test-fuzz fuzz-long bench bench-wine demo demo-deps dist format clean

all: build

deps:
	@bash scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

native-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan -j $(JOBS)

mingw: deps
	cmake --preset mingw >/dev/null
	cmake --build --preset mingw -j $(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

build: native native-asan mingw fuzz

test-native: native
	ctest --preset native -j $(JOBS)

test-asan: native-asan
	ctest --preset native-asan -j $(JOBS)

test-wine: mingw
	ctest --preset mingw -j $(JOBS)

test-fuzz: fuzz
	ctest --preset fuzz -j $(JOBS)

# Each fuzz target (or those named in FUZZ_TARGETS) for FUZZ_LONG_RUNS inputs (default
# 1,000,000), reporting executions and crashes.
FUZZ_LONG_RUNS ?= 1000000
FUZZ_TARGETS ?=
fuzz-long: fuzz
	@bash scripts/fuzz-long.sh $(FUZZ_LONG_RUNS) $(FUZZ_TARGETS)

# The native benchmark of the line-file rewrite (optimised build; a script, not a test).
bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	@bash scripts/bench-native.sh

# The real uninstaller under Wine on ordinary, 16 MiB and 64 MiB system.ini and wininit.ini:
# removal times and peak memory (BENCH_REPEAT runs per machine, median reported).
BENCH_REPEAT ?= 3
bench-wine: mingw
	@bash scripts/bench-wine.sh --repeat $(BENCH_REPEAT)

test: build
	ctest --preset native -j $(JOBS)
	ctest --preset native-asan -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)
	ctest --preset mingw -j $(JOBS)

# The uninstaller on a Wine machine, with a report of what it removed, scheduled, rewrote and
# kept, and screenshots of its boxes in build/demo/.  With DISPLAY set the user answers the
# boxes; without one the demo does (Yes, then No to the restart; RESTART=1: Yes to both).
# `make demo DISPLAY=` runs it headless on a desktop too.
DEMO_FLAGS = $(if $(RESTART),--restart)
demo-deps:
	@bash scripts/install-deps.sh demo

demo: demo-deps mingw
	python3 scripts/demo.py $(DEMO_FLAGS)

# The shippable binaries and their sums in dist/ (check them with `sha256sum -c SHA256SUMS`).
dist: mingw
	rm -rf dist && mkdir dist
	cp build/mingw/bin/kmw48rmv.exe build/mingw/bin/KMW48I2.DLL dist/
	cd dist && sha256sum kmw48rmv.exe KMW48I2.DLL > SHA256SUMS && cat SHA256SUMS

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
