#!/bin/sh
# Runs the Windows program under Wine and our build natively on the fonts of
# FONT_DIR alone, and compares the two tables with compare_tables. Wine's
# repeats of a family per character set are dropped and the families of Wine's
# own font folder ignored (unless FONT_DIR is that folder), as neither is what
# Windows reports; further compare_tables options may follow.
#
#   windows_reference.sh WINDOWS_EXE NATIVE_EXE COMPARE_TABLES WORK_DIR FONT_DIR [OPTION...]
set -eu

[ $# -ge 5 ] || {
    echo "usage: $0 WINDOWS_EXE NATIVE_EXE COMPARE_TABLES WORK_DIR FONT_DIR [OPTION...]" >&2
    exit 2
}
windows_exe=$1
native_exe=$2
compare_tables=$3
work_dir=$4
font_dir=$5
shift 5
[ -d "$font_dir" ] || { echo "windows_reference: no font folder '$font_dir'" >&2; exit 1; }
tools_dir=$(dirname "$0")/../../tools

# run_under_wine.sh makes the folder it runs in, as the comparison by hand in
# docs/agreement.md relies on: it is left for the script to make.
rm -rf "$work_dir/wine"
mkdir -p "$work_dir" "$work_dir/native"
fonts_conf=$work_dir/fonts.conf
cat >"$fonts_conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$(realpath "$font_dir")</dir>
  <cachedir>$work_dir/fontconfig-cache</cachedir>
</fontconfig>
CONF

"$tools_dir/run_under_wine.sh" "$windows_exe" "$work_dir/wine" "$fonts_conf" >"$work_dir/wine-stdout.txt"
rm -f "$work_dir/native/dump_metrics12.csv"
(cd "$work_dir/native" && FONTCONFIG_FILE=$fonts_conf "$native_exe" >stdout.txt) ||
    { echo "windows_reference: '$native_exe' failed in '$work_dir/native'" >&2; exit 1; }

# The families of Wine's own font folder, by the names fontconfig reads there:
# Wine adds them to every set, so they are left out, unless they are the set.
wine_fonts=/usr/share/wine/fonts
if [ -d "$wine_fonts" ] && [ "$(realpath "$font_dir")" != "$(realpath "$wine_fonts")" ]; then
    families=$(fc-scan --format '%{family[0]}\n' "$wine_fonts" | sort -u)
    old_ifs=$IFS
    IFS='
'
    for family in $families; do set -- "$@" --ignore-family "$family"; done
    IFS=$old_ifs
fi

# Wine 10 (Debian 13) measures a code that a font lacks with the glyph of a
# fallback font of its own, where Windows and Wine 8 measure the font's glyph 0
# (docs/agreement.md): DEL (0x7f), which Latin fonts lack, is left out there.
wine_version=$("${WINE:-/usr/lib/wine/wine64}" --version 2>/dev/null || true)
case $wine_version in
    wine-[0-9].*) ;;
    wine-*) set -- --ignore-code 7f "$@" ;;
esac

"$compare_tables" --drop-repeats --min-equal 99.5 "$@" \
    "$work_dir/wine/dump_metrics12.csv" "$work_dir/native/dump_metrics12.csv"
