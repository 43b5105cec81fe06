# A thin front over CMake's presets.
#   make        builds the program and its tests
#   make run    builds, then runs the program in the directory make was called from
#   make test   builds, then runs every test

RUN_DIR := $(or $(PWD),$(CURDIR))
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all configure run test clean windows

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

clean:
	rm -rf build build-windows
