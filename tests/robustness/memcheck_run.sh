#!/usr/bin/env bash
# Runs the real program under valgrind's memcheck over a few fonts of every
# format (bitmap, Type 1, TrueType, CFF, a collection): any invalid access or
# definite or indirect leak fails the run.
# usage: memcheck_run.sh PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/fonts"
cp "$here"/fonts/DM12Bdf-13.bdf "$here"/fonts/DM12Pcf-16.pcf.gz "$here"/fonts/DM12Fon.fon \
   "$here"/fonts/DM12Type1-Regular.pfa "$work/fonts/"
for font in DM12Sans-Regular.ttf DM12SerifCFF-Regular.otf DM12Collection.ttc; do
  [ -f "$here/../fonts/$font" ] && cp "$here/../fonts/$font" "$work/fonts/"
done
cat > "$work/fonts.conf" <<CONF
<?xml version="1.0"?>
<fontconfig>
  <dir>$work/fonts</dir>
  <cachedir>$work/cache</cachedir>
</fontconfig>
CONF

cd "$work"
FONTCONFIG_FILE="$work/fonts.conf" valgrind --tool=memcheck --leak-check=full \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=1 --quiet "$program" >/dev/null
echo "memcheck: $(($(wc -l < dump_metrics12.csv) - 1)) rows of $(ls fonts | wc -l) font files, no errors"
