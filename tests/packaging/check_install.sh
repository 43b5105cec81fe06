#!/bin/sh
# Installs the build under a fresh prefix and packs it as a .deb, then checks
# that each holds the program and its manual page, and that the page renders
# without a warning.
#
#   check_install.sh BUILD_DIR WORK_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR WORK_DIR" >&2; exit 2; }
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work/prefix" "$work/package"

fail() { echo "check_install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
[ -x "$work/prefix/bin/dump_metrics12" ] || fail "no bin/dump_metrics12 under '$work/prefix'"
page=$work/prefix/share/man/man1/dump_metrics12.1
[ -f "$page" ] || fail "no share/man/man1/dump_metrics12.1 under '$work/prefix'"
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff cannot render '$page'"
[ -z "$warnings" ] || fail "'$page' renders with warnings: $warnings"

if command -v dpkg-deb >/dev/null 2>&1; then
    (cd "$work/package" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null) ||
        fail "cpack could not make the .deb"
    deb=$(ls "$work/package"/dump-metrics12_*.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || fail "cpack made no dump-metrics12_*.deb in '$work/package'"
    contents=$(dpkg-deb -c "$deb")
    for file in ./usr/bin/dump_metrics12 ./usr/share/man/man1/dump_metrics12.1; do
        echo "$contents" | grep -q " $file\$" || fail "'$deb' does not hold $file"
    done
    dpkg-deb -f "$deb" Depends | grep -q libfontconfig1 || fail "'$deb' does not depend on libfontconfig1"
fi
echo "check_install: installed and packed"
