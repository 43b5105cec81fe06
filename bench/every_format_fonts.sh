#!/bin/sh
# Makes the benchmark's font set of every format: a folder of symlinks to the
# font files of these Debian packages, and a fonts.conf beside them that lists
# that folder alone and accepts bitmap fonts. Prints the fonts.conf's path:
#
#   FONTCONFIG_FILE=$(bench/every_format_fonts.sh /tmp/every-format) make bench
#
# TrueType (DejaVu, Liberation, FreeFont, Noto core, Wine's), CFF and Type 1
# (URW base35), gzipped PCF (X11's misc, 75 and 100 dpi fonts) and Windows
# FNT in .fon files (Wine's). With --cjk, also the Noto CJK collections (CFF
# faces of 65,000 glyphs, several families to a file) and TeX Gyre.
set -eu
cjk=false
if [ "${1:-}" = --cjk ]; then cjk=true; shift; fi
[ $# -eq 1 ] || { echo "usage: $0 [--cjk] OUT_DIR" >&2; exit 2; }
out=$1
packages="fonts-dejavu-core fonts-liberation fonts-freefont-ttf fonts-noto-core fonts-urw-base35
xfonts-base xfonts-75dpi xfonts-100dpi fonts-wine"
if $cjk; then packages="$packages fonts-noto-cjk fonts-texgyre"; fi
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "every_format_fonts: not installed:$missing" >&2
    echo "  apt-get install --no-install-recommends$missing" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out/fonts"
# shellcheck disable=SC2086
dpkg-query -L $packages |
    grep -E '\.(ttf|ttc|otf|t1|pfb|pcf\.gz|fon)$' | sort -u |
    while read -r file; do
        [ -f "$file" ] && ln -s "$file" "$out/fonts/$(echo "$file" | tr / _)"
    done
cat >"$out/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$(realpath "$out/fonts")</dir>
  <cachedir>$(realpath "$out")/fontconfig-cache</cachedir>
  <selectfont>
    <acceptfont><pattern><patelt name="scalable"><bool>false</bool></patelt></pattern></acceptfont>
  </selectfont>
</fontconfig>
CONF
realpath "$out/fonts.conf"
