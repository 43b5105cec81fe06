#!/bin/sh
# Configures the project in WORK_DIR, first as it comes, then again with the
# given options, and runs ctest there (nothing is built): it must fail, and
# its output must match PATTERN, the reason, not merely name test programs of
# the first configuration that are missing.
#
#   check_test_gate.sh SOURCE_DIR WORK_DIR PATTERN [CMAKE_OPTION...]
set -eu
[ $# -ge 3 ] || { echo "usage: $0 SOURCE_DIR WORK_DIR PATTERN [CMAKE_OPTION...]" >&2; exit 2; }
source_dir=$1
work=$2
pattern=$3
shift 3
rm -rf "$work"
mkdir -p "$work"

fail() { echo "check_test_gate: $*" >&2; exit 1; }

cmake -S "$source_dir" -B "$work" >"$work/configure.log" 2>&1 &&
    cmake -S "$source_dir" -B "$work" "$@" >>"$work/configure.log" 2>&1 || {
    cat "$work/configure.log" >&2
    fail "configuring '$work' with $* failed"
}
# These checks themselves are left out, lest a stale copy of them run them again.
status=0
output=$(ctest --test-dir "$work" --output-on-failure -E '^buildsystem[.]' 2>&1) || status=$?
echo "$output"
[ "$status" -ne 0 ] || fail "ctest passed in a build configured with $*"
echo "$output" | grep -q -- "$pattern" || fail "ctest's output does not say '$pattern'"
