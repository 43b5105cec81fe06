#!/bin/sh
# Runs the Windows build of dump_metrics12 under Wine, the reference our own
# GDI is compared with, so that dump_metrics12.csv lands in RUN_DIR (made
# where it does not exist).
#
#   tools/run_under_wine.sh EXE RUN_DIR [FONTCONFIG_FILE]
#
# FONTCONFIG_FILE picks the fonts Wine sees (it reads fontconfig's list, as our
# GDI does); without it the machine's configuration applies. No display is
# needed: the program is a console one, and DISPLAY is dropped so that no
# window can open.
#
# Wine records every font it has seen in the prefix's registry and loads them
# again on the next start, whatever fontconfig then lists; so each run gets a
# prefix of its own, cloned (hard links, registry copied) from a font-free
# template kept beside EXE in wine-prefix/, which only the first run pays for.
# WINE_TEMPLATE names another template folder.
set -eu

usage() {
    echo "usage: $0 EXE RUN_DIR [FONTCONFIG_FILE]" >&2
    exit 2
}
fail() {
    echo "run_under_wine: $*" >&2
    exit 1
}

[ $# -ge 2 ] && [ $# -le 3 ] || usage
exe=$1
run_dir=$2
fontconfig_file=${3:-}

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$WINE" ] || fail "no Wine loader at '$WINE' (Debian package wine64)"
[ -x "$WINESERVER" ] || fail "no wineserver at '$WINESERVER' (Debian package wine64)"
[ -f "$exe" ] || fail "no program at '$exe' (build it with 'make windows')"
mkdir -p "$run_dir" || fail "cannot make the directory '$run_dir' to run in"
exe=$(realpath "$exe")
if [ -n "$fontconfig_file" ]; then
    [ -f "$fontconfig_file" ] || fail "no fontconfig file at '$fontconfig_file'"
    fontconfig_file=$(realpath "$fontconfig_file")
fi
template=$(realpath -m "${WINE_TEMPLATE:-$(dirname "$exe")/wine-prefix}")

# GDI reports the widths of its bi-level rasterizer, which FreeType's TrueType
# interpreter version 35 emulates and our GDI uses; Wine's FreeType takes
# FreeType's default (40) unless told otherwise. A FREETYPE_PROPERTIES that
# names an interpreter of its own is left as it is.
case ${FREETYPE_PROPERTIES:-} in
*interpreter-version*) ;;
*) FREETYPE_PROPERTIES="truetype:interpreter-version=35${FREETYPE_PROPERTIES:+ $FREETYPE_PROPERTIES}" ;;
esac
export FREETYPE_PROPERTIES

# -all keeps Wine's diagnostics out of the output; mscoree and mshtml off so
# that no Mono or Gecko installer is offered while a prefix is set up.
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY

# The template is set up with a fontconfig file that lists no font, in a
# folder of its own that is renamed into place when done, so that runs started
# together never see half of one.
if [ ! -f "$template/system.reg" ]; then
    mkdir -p "$(dirname "$template")"
    staging=$(mktemp -d "$template.new.XXXXXX")
    printf '<?xml version="1.0"?>\n<fontconfig/>\n' >"$staging.fonts.conf"
    if ! WINEPREFIX=$staging FONTCONFIG_FILE=$staging.fonts.conf "$WINE" wineboot --init \
            >"$staging.log" 2>&1 ||
        ! WINEPREFIX=$staging "$WINESERVER" -w; then
        rm -rf "$staging" "$staging.fonts.conf"
        fail "setting up the Wine prefix '$template' failed; see $staging.log"
    fi
    rm -f "$staging.fonts.conf" "$staging.log"
    mv -T "$staging" "$template" 2>/dev/null || rm -rf "$staging"
fi

prefix=$(mktemp -d "$template.run.XXXXXX")
cleanup() {
    WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
cp -al "$template/." "$prefix/" || fail "cannot clone the Wine prefix '$template' into '$prefix'"
# Wine 10 says "XDG_RUNTIME_DIR is invalid or not set" where there is none (as
# root, in CI, in a chroot): one of the user's own, in the prefix, stills it.
if [ ! -d "${XDG_RUNTIME_DIR:-}" ] || [ ! -O "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$prefix/xdg-runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
fi
for hive in "$template"/*.reg; do
    rm -f "$prefix/${hive##*/}"
    cp "$hive" "$prefix/" || fail "cannot copy '$hive' into '$prefix'"
done

cd "$run_dir"
rm -f dump_metrics12.csv
status=0
if [ -n "$fontconfig_file" ]; then
    WINEPREFIX=$prefix FONTCONFIG_FILE=$fontconfig_file "$WINE" "$exe" || status=$?
else
    WINEPREFIX=$prefix "$WINE" "$exe" || status=$?
fi
[ "$status" -eq 0 ] || fail "'$exe' under Wine exited with status $status"
[ -f dump_metrics12.csv ] || fail "'$exe' under Wine wrote no dump_metrics12.csv in '$run_dir'"
