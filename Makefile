# Front door: `make demo` runs the main job, `make test` builds everything and runs every test.
# Each installs what it needs first (Debian packages; root or sudo).

JOBS ?= $(shell nproc)

.PHONY: all build test deps native native-asan mingw fuzz test-native test-asan test-wine test-fuzz fuzz-long bench demo format clean

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
	ctest --preset mingw

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

test: build
	ctest --preset native -j $(JOBS)
	ctest --preset native-asan -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)
	ctest --preset mingw

demo:
	@echo "make demo arrives with the end-to-end harness; until then: make build, make test"

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
