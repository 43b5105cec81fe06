#!/bin/sh
# Packs the build as a .deb in WORK_DIR, then checks that it holds the program,
# the manual page gzipped (and the same page as MAN_PAGE), the copyright and the
# changelog, and that it depends on the font libraries.
#
#   check_deb.sh BUILD_DIR WORK_DIR MAN_PAGE
set -eu
[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR WORK_DIR MAN_PAGE" >&2; exit 2; }
build=$1
work=$2
man_page=$3
rm -rf "$work"
mkdir -p "$work"

fail() { echo "check_deb: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) || {
    cat "$work/cpack.log" >&2
    fail "cpack could not make the .deb"
}
deb=$(ls "$work"/dump-metrics12_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no dump-metrics12_*.deb in '$work'"

files=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in ./usr/bin/dump_metrics12 ./usr/share/man/man1/dump_metrics12.1.gz \
    ./usr/share/doc/dump-metrics12/copyright ./usr/share/doc/dump-metrics12/changelog.gz; do
    echo "$files" | grep -qx "$file" || fail "'$deb' does not hold $file"
done
! echo "$files" | grep -qx ./usr/share/man/man1/dump_metrics12.1 ||
    fail "'$deb' holds the manual page uncompressed as well"
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/man/man1/dump_metrics12.1.gz | gzip -dc |
    cmp -s - "$man_page" || fail "the manual page in '$deb' is not '$man_page'"
dpkg-deb -f "$deb" Depends | grep -q libfontconfig1 || fail "'$deb' does not depend on libfontconfig1"
echo "check_deb: packed $deb"
