# The one entry point: every verb first makes sure the machine has what it
# needs (scripts/bootstrap), then works in build/<native|win64|win32|fuzz>.
#   make build   all builds
#   make native  the quick loop: the native build and its unit tests only
#   make check   every test layer, ending in "N passed, M failed, K skipped"
#   make demo    the main job: build and show the example setup
#   make fuzz    long fuzzing runs (FUZZ_SECONDS per target, default 600)
#   make bench   benchmarks against peers, printed as ratios
#   make format  clang-format every source file

SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600

.PHONY: all build native check demo fuzz bench format bootstrap configure clean FORCE

all: build

bootstrap:
	@scripts/bootstrap

build/native/Makefile:
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build/win64/Makefile:
	cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null

# build/win32 once held osin.exe alone; a tree configured so is configured
# anew, with its tests.
build/win32/Makefile: $(if $(shell grep -s '^OSIN_TESTS:BOOL=OFF' build/win32/CMakeCache.txt),FORCE)
	cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel -DOSIN_TESTS=ON >/dev/null
FORCE:

build/fuzz/Makefile:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DOSIN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

configure: bootstrap build/native/Makefile build/win64/Makefile build/win32/Makefile build/fuzz/Makefile

build: configure
	@for b in native win64 win32 fuzz; do \
	  echo "== build $$b"; \
	  $(MAKE) --no-print-directory -C build/$$b -j$(JOBS) 2>&1 | grep -v -E '^\[ *[0-9]+%\]|^make\[|^Consolidate|^Scanning' ; \
	  test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

native: bootstrap build/native/Makefile
	@$(MAKE) --no-print-directory -C build/native -j$(JOBS) 2>&1 | grep -v -E '^\[ *[0-9]+%\]|^make\[|^Consolidate|^Scanning' ; \
	  test $${PIPESTATUS[0]} -eq 0
	@ctest --test-dir build/native -j $(JOBS) -LE e2e --output-on-failure | tail -n 25

check: build
	@scripts/check

demo: build
	@scripts/demo

fuzz: build
	@scripts/fuzz-run $(FUZZ_SECONDS)

bench: build
	@scripts/bench

format: bootstrap
	@git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf build
