#!/bin/sh
# Configures the project's Windows build with clang-cl, then checks that the
# program is compiled with cl's warning options (/W4 /permissive-, not GCC's:
# clang-cl reads -Wall as -Weverything), that clang-cl takes every option the
# build gives it without a word, and that the link line holds none of
# mingw's -static options.
#
#   check_clang_cl.sh CLANG_CL SOURCE_DIR WORK_DIR
set -eu
[ $# -eq 3 ] || { echo "usage: $0 CLANG_CL SOURCE_DIR WORK_DIR" >&2; exit 2; }
clang_cl=$1
source_dir=$2
work=$3
rm -rf "$work"
mkdir -p "$work"

fail() { echo "check_clang_cl: $*" >&2; exit 1; }

if ! cmake -S "$source_dir" -B "$work/build" -G "Unix Makefiles" \
        --toolchain "$source_dir/tests/buildsystem/clang-cl.cmake" -DCLANG_CL="$clang_cl" \
        -DCMAKE_BUILD_TYPE=Release -DDUMP_METRICS12_TESTS=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    fail "configuring the build with '$clang_cl' failed"
fi

# The options of the program's main source, as compile_commands.json has them.
command=$(sed -n 's/^ *"command": "\(.*dump_metrics12\.cpp\)",$/\1/p' "$work/build/compile_commands.json")
[ -n "$command" ] || fail "no command for dump_metrics12.cpp in '$work/build/compile_commands.json'"
options=
set -f
for word in $command; do
    case $word in
        "$clang_cl" | */clang-cl* | -c | -- | /Fo* | /Fd* | *.cpp) ;;
        -W[a-z]* | -static*) fail "clang-cl is given GCC's option $word: $command" ;;
        *) options="$options $word" ;;
    esac
done
for option in /W4 /permissive-; do
    case "$options " in
        *" $option "*) ;;
        *) fail "clang-cl is not given $option: $command" ;;
    esac
done

# A few lines in the program's style (no header: there is no SDK here); under
# -Weverything clang-cl would find fault with them.
cat >"$work/stub.cpp" <<'CPP'
namespace {
constexpr int advance(int a, int b, int c) { return a + b + c; }
}  // namespace

int main() {
  auto total = advance(0, 22, 0);
  return total == 22 ? 0 : 1;
}
CPP
# shellcheck disable=SC2086 # the options are words
diagnostics=$("$clang_cl" $options /Zs -- "$work/stub.cpp" 2>&1) ||
    fail "clang-cl rejects the build's options:$options: $diagnostics"
[ -z "$diagnostics" ] || fail "clang-cl has something to say about the build's options:$options: $diagnostics"
set +f

link=$work/build/src/CMakeFiles/dump_metrics12.dir/link.txt
[ -f "$link" ] || fail "no link rule at '$link'"
! grep -q -- ' -static' "$link" || fail "the link line holds mingw's -static options: $(cat "$link")"
echo "check_clang_cl: clang-cl is given$options"
