#!/bin/sh
# Makes the HTML report of two small tables with compare_tables and opens it
# in headless Chromium: the page must load with no console message at all (it
# has no script, so any message is an error, such as an SVG attribute the
# browser rejects), hold the differing font and code, and make a screenshot.
# Exits 77, which ctest counts as skipped, where Chromium is not installed.
#
#   browser_report_test.sh COMPARE_TABLES DATA_DIR WORK_DIR
set -eu

[ $# -eq 3 ] || { echo "usage: $0 COMPARE_TABLES DATA_DIR WORK_DIR" >&2; exit 2; }
compare_tables=$1
data_dir=$2
work_dir=$3

chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
    echo "chromium not installed (Debian package chromium)"
    exit 77
fi
fail() {
    echo "browser_report_test: $*" >&2
    exit 1
}

rm -rf "$work_dir"
mkdir -p "$work_dir"
report=$work_dir/report.html
status=0
"$compare_tables" --drop-repeats --html "$report" "$data_dir/report_first.csv" \
    "$data_dir/report_second.csv" >"$work_dir/summary.txt" || status=$?
[ "$status" -eq 1 ] || fail "compare_tables exited with $status, not 1 (the tables differ)"
[ -s "$report" ] || fail "compare_tables wrote no report at '$report'"
if grep -q -e '://' -e '<script' "$report"; then
    fail "'$report' refers to something outside itself or holds a script"
fi

# A fresh profile and home for each run, so that nothing of an earlier run or
# of the user's own browser takes part; the flags keep Chromium off the network.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
run_chromium() {
    HOME=$profile timeout -k 10 120 "$chromium" --headless --no-sandbox --disable-gpu \
        --disable-quic --no-first-run --disable-background-networking \
        --disable-component-update --disable-sync --user-data-dir="$profile/data" \
        --enable-logging=stderr --v=0 "$@"
}
url=file://$(realpath "$report")
run_chromium --dump-dom "$url" >"$work_dir/dom.html" 2>"$work_dir/dom.log" ||
    fail "chromium --dump-dom failed; see $work_dir/dom.log"
run_chromium --window-size=1400,900 --screenshot="$work_dir/report.png" "$url" \
    >/dev/null 2>"$work_dir/screenshot.log" ||
    fail "chromium --screenshot failed; see $work_dir/screenshot.log"

for log in "$work_dir/dom.log" "$work_dir/screenshot.log"; do
    if grep -e ':CONSOLE' -e 'Page load failed' "$log"; then
        fail "the page did not load cleanly; see $log"
    fi
done
# The font's name as its Windows-1252 bytes mean it, in UTF-8; the anchors of
# its differing codes, '&' and '<'; the escaped '<' of the overview's head.
for wanted in '<h1>Width tables compared</h1>' "$(printf 'Caf\303\251 Sans (TT)')" \
    'id="f1-26"' 'id="f1-3c"' 'href="#f1-3c"' '<th>&lt;</th>'; do
    grep -q -F -e "$wanted" "$work_dir/dom.html" || fail "'$wanted' is not in the page's DOM"
done
if grep -q -F 'Mono (TT)' "$work_dir/dom.html"; then
    fail "the page shows 'Mono (TT)', whose rows are equal"
fi
[ "$(head -c 4 "$work_dir/report.png" | od -An -c | tr -d ' ')" = '211PNG' ] ||
    fail "no PNG screenshot at '$work_dir/report.png'"
echo "the report loads in $("$chromium" --version 2>/dev/null) and shows what differs"
