#!/bin/sh
# Checks that the tracked C++ files (*.cpp, *.h under src/, gdi/, tools/ and
# tests/) follow .clang-format. Exits 0 when they all do, 1 when some do not
# (clang-format names the lines), 2 when clang-format cannot be run.
#
#   tools/check_format.sh          check
#   tools/check_format.sh --fix    reformat the files in place instead
#
# CLANG_FORMAT names the clang-format to use (default: clang-format). Runs from
# any directory; outside a git checkout it checks every such file on disk.
set -eu

cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}

mode=check
case ${1-} in
    '') ;;
    --fix) mode=fix ;;
    *) echo "usage: $0 [--fix]" >&2; exit 2 ;;
esac

if ! command -v "$clang_format" >/dev/null 2>&1; then
    echo "check_format: $clang_format not found (set CLANG_FORMAT)" >&2
    exit 2
fi

list=$(mktemp)
trap 'rm -f "$list"' EXIT
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # Tracked files that are still on disk (a deletion not yet committed is skipped).
    # shellcheck disable=SC2016 # $f belongs to the inner shell
    git ls-files -z -- 'src/*.cpp' 'src/*.h' 'gdi/*.cpp' 'gdi/*.h' 'tools/*.cpp' 'tools/*.h' \
        'tests/*.cpp' 'tests/*.h' |
        xargs -0 -r sh -c 'for f; do if [ -f "$f" ]; then printf "%s\0" "$f"; fi; done' sh >"$list"
else
    find src gdi tools tests \( -name '*.cpp' -o -name '*.h' \) -type f -print0 2>/dev/null >"$list" || true
fi

count=$(tr -cd '\0' <"$list" | wc -c)
if [ "$count" -eq 0 ]; then
    echo "check_format: no C++ files to check"
    exit 0
fi

if [ "$mode" = fix ]; then
    xargs -0 "$clang_format" -i --style=file <"$list"
    echo "check_format: reformatted $count file(s)"
    exit 0
fi

if xargs -0 "$clang_format" --dry-run --Werror --style=file <"$list"; then
    echo "check_format: $count file(s) follow .clang-format"
else
    echo "check_format: some files do not follow .clang-format; run tools/check_format.sh --fix" >&2
    exit 1
fi
