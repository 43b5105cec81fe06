#!/bin/sh
# Builds the program for Windows with mingw-w64 into BUILD_DIR, for the tests
# that run it under Wine; its logs stay in BUILD_DIR and are shown on failure.
#
#   build_windows_program.sh SOURCE_DIR BUILD_DIR
set -eu

[ $# -eq 2 ] || { echo "usage: $0 SOURCE_DIR BUILD_DIR" >&2; exit 2; }
source_dir=$1
build_dir=$2
mkdir -p "$build_dir"
if ! cmake -S "$source_dir" -B "$build_dir" --toolchain "$source_dir/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DDUMP_METRICS12_TESTS=OFF >"$build_dir/configure.log" 2>&1; then
    cat "$build_dir/configure.log" >&2
    echo "build_windows_program: configuring the Windows build in '$build_dir' failed" >&2
    exit 1
fi
if ! cmake --build "$build_dir" --target dump_metrics12 -j 2 >"$build_dir/build.log" 2>&1; then
    cat "$build_dir/build.log" >&2
    echo "build_windows_program: building '$build_dir/dump_metrics12.exe' failed" >&2
    exit 1
fi
