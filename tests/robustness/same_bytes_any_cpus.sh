#!/bin/sh
# Runs the program on each font set pinned to one CPU (taskset -c 0: no worker
# thread measures ahead) and on every CPU the test may use, three times, and
# checks that the tables and standard output are the same bytes every time.
#
#   same_bytes_any_cpus.sh PROGRAM WORK_DIR FONTS_CONF...
set -eu
[ $# -ge 3 ] || { echo "usage: $0 PROGRAM WORK_DIR FONTS_CONF..." >&2; exit 2; }
program=$1
work=$2
shift 2
fail() { echo "same_bytes_any_cpus: $*" >&2; exit 1; }
set_number=0
for conf in "$@"; do
    set_number=$((set_number + 1))
    runs=""
    for run in one all-1 all-2 all-3; do
        dir=$work/$set_number-$run
        rm -rf "$dir" && mkdir -p "$dir"
        case $run in
            one) (cd "$dir" && FONTCONFIG_FILE=$conf taskset -c 0 "$program" >stdout.txt) ;;
            *) (cd "$dir" && FONTCONFIG_FILE=$conf "$program" >stdout.txt) ;;
        esac || fail "'$program' failed on '$conf' ($run)"
        runs="$runs $dir"
    done
    first=$work/$set_number-one
    for dir in $runs; do
        cmp -s "$first/dump_metrics12.csv" "$dir/dump_metrics12.csv" ||
            fail "the table on '$conf' differs between $first and $dir"
        cmp -s "$first/stdout.txt" "$dir/stdout.txt" ||
            fail "standard output on '$conf' differs between $first and $dir"
    done
    echo "$conf: $(grep -c '^Processing' "$first/stdout.txt") families, the same bytes in all runs"
done
