#!/bin/sh
# Installs the build under a fresh prefix, then checks that it holds the
# program and its manual page, and that the page renders without a warning.
#
#   check_install.sh BUILD_DIR WORK_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR WORK_DIR" >&2; exit 2; }
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"

fail() { echo "check_install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work" >/dev/null
[ -x "$work/bin/dump_metrics12" ] || fail "no bin/dump_metrics12 under '$work'"
page=$work/share/man/man1/dump_metrics12.1
[ -f "$page" ] || fail "no share/man/man1/dump_metrics12.1 under '$work'"
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff cannot render '$page'"
[ -z "$warnings" ] || fail "'$page' renders with warnings: $warnings"
echo "check_install: installed under '$work'"
