# A thin front over CMake's presets.
#   make        builds the program and its tests
#   make run    builds, then runs the program in the directory make was called from
#   make test   builds, then runs every test
#   make bench  builds the program, then times whole runs of it (docs/performance.md)

RUN_DIR := $(or $(PWD),$(CURDIR))
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all configure run test clean windows bench

all: configure
	cmake --build --preset default -j $(JOBS)

configure:
	cmake --preset default >/dev/null

run: all
	cd "$(RUN_DIR)" && "$(CURDIR)/build/dump_metrics12"

test: all
	ctest --preset default -j $(JOBS)

# The Windows build, run under Wine as the reference: build-windows/dump_metrics12.exe
windows:
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# Times whole runs of the program beside bench_floor and the build under Wine (docs/performance.md)
bench: configure
	cmake --build --preset default -j $(JOBS) --target dump_metrics12 bench_floor
	/usr/bin/python3 bench/run_bench.py --build build

clean:
	rm -rf build build-windows
