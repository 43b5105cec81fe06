#!/bin/sh
# Makes docs/agreement.md's picture of compare_tables' HTML report: the Windows build
# under Wine against ours on fonts where the two differ (URW base35, whose URW
# Bookman they realize from different faces, and the Noto Sans Mono and Noto
# Sans Armenian families, heavy faces not flagged bold among them), then a
# screenshot of the report's top in headless Chromium.
#
#   tools/make_report_screenshot.sh [--replace] [OUTPUT.png]
#
# OUTPUT.png is taken from the folder it is called from (default report.png
# there). A file that git tracks, such as docs/report.png, is written over only
# with --replace: tools/make_report_screenshot.sh --replace docs/report.png
#
# Needs its fonts and Chromium (fonts-noto-extra has Noto Sans Mono's faces
# other than Regular and Bold), as root:
#   apt-get install --no-install-recommends fonts-urw-base35 fonts-noto-core \
#       fonts-noto-mono fonts-noto-extra chromium
# and what `make` and `make windows` need (docs/building.md, docs/testing.md).
# Everything else it makes, the Wine prefix included, is in a temporary folder
# it removes.
set -eu

fail() {
    echo "make_report_screenshot: $*" >&2
    exit 1
}
replace=no
if [ "${1-}" = --replace ]; then
    replace=yes
    shift
fi
case ${1-} in -*) echo "usage: $0 [--replace] [OUTPUT.png]" >&2; exit 2 ;; esac
[ $# -le 1 ] || { echo "usage: $0 [--replace] [OUTPUT.png]" >&2; exit 2; }
output=$(realpath -m "${1:-report.png}")
cd "$(dirname "$0")/.."
root=$PWD
if [ "$replace" = no ] && [ -e "$output" ] &&
    git -C "$(dirname "$output")" ls-files --error-unmatch "$output" >/dev/null 2>&1; then
    fail "'$output' is tracked by git: give --replace to write over it"
fi
packages="fonts-urw-base35 fonts-noto-core fonts-noto-mono fonts-noto-extra chromium"
missing() {
    fail "$1 (install: apt-get install --no-install-recommends $packages)"
}

urw=/usr/share/fonts/opentype/urw-base35
noto=/usr/share/fonts/truetype/noto
[ -d "$urw" ] || missing "no URW base35 fonts in $urw (Debian package fonts-urw-base35)"
[ -f "$noto/NotoSansMono-Regular.ttf" ] || missing "no Noto Sans Mono in $noto (fonts-noto-mono)"
[ -f "$noto/NotoSansMono-Black.ttf" ] ||
    missing "no Noto Sans Mono Black in $noto (fonts-noto-extra)"
[ -f "$noto/NotoSansArmenian-Regular.ttf" ] ||
    missing "no Noto Sans Armenian in $noto (fonts-noto-core)"
chromium=$(command -v chromium) || missing "chromium not installed (Debian package chromium)"

make all windows >/dev/null

work=$(mktemp -d /tmp/report.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/fonts"
ln -s "$urw"/*.otf "$noto"/NotoSansMono-*.ttf "$noto"/NotoSansArmenian-*.ttf "$work/fonts/"

# Exit status 1 is the tables differing, which they do here.
status=0
WINE_TEMPLATE=$work/wine-prefix sh tests/windows/windows_reference.sh \
    build-windows/dump_metrics12.exe "$root/build/dump_metrics12" build/compare_tables \
    "$work/run" "$work/fonts" --html "$work/report.html" >"$work/summary.txt" || status=$?
[ "$status" -le 1 ] || { cat "$work/summary.txt" >&2; fail "the comparison failed"; }

mkdir -p "$(dirname "$output")"
HOME=$work timeout -k 10 120 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic \
    --no-first-run --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/chromium" --hide-scrollbars --window-size=1480,1000 \
    --screenshot="$output" "file://$work/report.html" >/dev/null 2>"$work/chromium.log" ||
    { cat "$work/chromium.log" >&2; fail "chromium could not take the screenshot"; }
echo "$output: $(wc -c <"$output") bytes, of the report of:"
# The summary up to the differing rows by kind, and the verdict: not the
# rows by font and the first differing rows, which the picture shows.
awk '/^differing rows by font:/ { skip = 1 } !skip || /^tables (agree|differ)/' "$work/summary.txt"
