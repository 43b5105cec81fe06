#!/bin/sh
# Builds the Windows program, runs it under Wine and our build natively on the
# fonts of FONT_DIR alone, and compares the two tables. Wine's repeats of a
# family per character set are dropped, and the families of Wine's own font
# folder ignored, as neither is what Windows reports.
#
#   windows_reference.sh SOURCE_DIR NATIVE_EXE COMPARE_TABLES WORK_DIR FONT_DIR
set -eu

[ $# -eq 5 ] || { echo "usage: $0 SOURCE_DIR NATIVE_EXE COMPARE_TABLES WORK_DIR FONT_DIR" >&2; exit 2; }
source_dir=$1
native_exe=$2
compare_tables=$3
work_dir=$4
font_dir=$5
[ -d "$font_dir" ] || { echo "windows_reference: no font folder '$font_dir'" >&2; exit 1; }

mkdir -p "$work_dir/wine" "$work_dir/native"
windows_build=$work_dir/windows-build
cmake -S "$source_dir" -B "$windows_build" --toolchain "$source_dir/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DDUMP_METRICS12_TESTS=OFF >"$work_dir/windows-configure.log" 2>&1 ||
    { cat "$work_dir/windows-configure.log" >&2; echo "windows_reference: configuring the Windows build failed" >&2; exit 1; }
cmake --build "$windows_build" --target dump_metrics12 -j 2 >"$work_dir/windows-build.log" 2>&1 ||
    { cat "$work_dir/windows-build.log" >&2; echo "windows_reference: the Windows build failed" >&2; exit 1; }

fonts_conf=$work_dir/fonts.conf
cat >"$fonts_conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$(realpath "$font_dir")</dir>
  <cachedir>$work_dir/fontconfig-cache</cachedir>
</fontconfig>
CONF

"$source_dir/tools/run_under_wine.sh" "$windows_build/dump_metrics12.exe" "$work_dir/wine" \
    "$fonts_conf" >"$work_dir/wine/stdout.txt"
(cd "$work_dir/native" && FONTCONFIG_FILE=$fonts_conf "$native_exe" >stdout.txt) ||
    { echo "windows_reference: '$native_exe' failed" >&2; exit 1; }

# The families of Wine's own font folder, by the names fontconfig reads from them.
set --
wine_fonts=/usr/share/wine/fonts
if [ -d "$wine_fonts" ] && command -v fc-scan >/dev/null 2>&1; then
    families=$(fc-scan --format '%{family[0]}\n' "$wine_fonts" | sort -u)
    old_ifs=$IFS
    IFS='
'
    for family in $families; do set -- "$@" --ignore-family "$family"; done
    IFS=$old_ifs
fi

"$compare_tables" --drop-repeats --min-equal 99.5 "$@" \
    "$work_dir/wine/dump_metrics12.csv" "$work_dir/native/dump_metrics12.csv"
