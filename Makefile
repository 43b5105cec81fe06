# A thin front over CMake's presets.
#   make        builds the program and its tests
#   make run    builds, then runs the program in the directory make was called from
#   make test   builds, then runs every test (the default preset always builds the tests,
#               whatever the build folder's cache says; installing has build-release)
#   make asan   builds with AddressSanitizer and UBSan (build-asan), then runs every test
#   make tsan   builds with ThreadSanitizer (build-tsan), then runs every test
#   make fuzz   builds the libFuzzer harness with clang (build-fuzz), then runs it for a
#               minute (FUZZ_SECONDS, at most 120)
#   make memcheck  builds, then runs the program over a few fonts under valgrind
#   make bench  builds the program, then times whole runs of it (docs/performance.md)

RUN_DIR := $(or $(PWD),$(CURDIR))
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all configure run test clean windows asan tsan fuzz memcheck bench

all: configure
	cmake --build --preset default -j $(JOBS)

# A build folder keeps the compiler it was configured with, whatever CXX says
# later. build/ remembers the compiler of its first configure: where CXX names
# another compiler, build/ is configured afresh with it; where CXX is unset
# and build/ was left with another compiler (CXX=clang++ make test), it goes
# back to the first one, and says so.
configure:
	@first=build/first-compiler; \
	cached=; wanted=; \
	if [ -f build/CMakeCache.txt ]; then \
	    cached=$$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/CMakeCache.txt); \
	fi; \
	if [ -n "$${CXX:-}" ]; then \
	    wanted=$$(command -v "$$CXX" || echo "$$CXX"); \
	elif [ -f "$$first" ]; then \
	    wanted=$$(cat "$$first"); \
	fi; \
	if [ -n "$$cached" ] && [ -n "$$wanted" ] && \
	   [ "$$(realpath -m "$$cached")" != "$$(realpath -m "$$wanted")" ]; then \
	    echo "build/ was configured with $$cached: configuring it afresh with $$wanted"; \
	    CXX="$$wanted" cmake --preset default --fresh >/dev/null; \
	fi; \
	cmake --preset default >/dev/null; \
	if [ ! -f "$$first" ]; then \
	    sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/CMakeCache.txt >"$$first"; \
	fi

run: configure
	cmake --build --preset default -j $(JOBS) --target dump_metrics12
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

# The whole test suite with AddressSanitizer and UBSan: any memory error, leak or
# undefined behaviour fails the test that met it.
asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# The whole test suite with ThreadSanitizer: any data race between the
# program's thread and the threads that measure ahead fails the test.
tsan:
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# The font-file fuzzer (clang); a crash's input lands in build-fuzz/artifacts/.
# clang links the sanitizers only with its runtimes, which Debian packages
# apart: say so before CMake's compiler check fails without naming them.
fuzz:
	@printf 'int main() { return 0; }\n' | \
	    clang++ -x c++ -fsanitize=address,undefined -o /dev/null - 2>/dev/null || { \
	    echo "make fuzz: clang++ cannot link a program with -fsanitize=address,undefined:" \
	         "install clang and its runtimes (apt-get install --no-install-recommends clang libclang-rt-dev)" >&2; \
	    exit 1; }
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS) --target font_file_fuzzer
	fuzz/run_fuzzer.sh

memcheck: all
	tests/robustness/memcheck_run.sh build/dump_metrics12

clean:
	rm -rf build build-release build-windows build-asan build-tsan build-fuzz
