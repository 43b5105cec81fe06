#!/bin/sh
# The Makefile's choice of compiler for build/, with a stand-in cmake that
# records the compiler a configure would take (CXX, else c++) and two
# stand-in compilers: CXX=clang++ switches build/ to Clang, and a later plain
# make goes back to the compiler of the first configure, saying so.
#
#   check_make_compiler.sh SOURCE_DIR WORK_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: $0 SOURCE_DIR WORK_DIR" >&2; exit 2; }
source_dir=$1
work=$2
rm -rf "$work"
mkdir -p "$work/bin"
bin=$(cd "$work/bin" && pwd)
for compiler in c++ clang++; do
    printf '#!/bin/sh\nexit 0\n' >"$bin/$compiler"
    chmod +x "$bin/$compiler"
done
cat >"$bin/cmake" <<'CMAKE'
#!/bin/sh
# Stands in for `cmake --preset default [--fresh]`: a fresh or first
# configure takes CXX, else c++; any other keeps the cached compiler.
case " $* " in *" --fresh "*) rm -f build/CMakeCache.txt ;; esac
if [ ! -f build/CMakeCache.txt ]; then
    mkdir -p build
    echo "CMAKE_CXX_COMPILER:FILEPATH=$(command -v "${CXX:-c++}")" >build/CMakeCache.txt
fi
CMAKE
chmod +x "$bin/cmake"
cp "$source_dir/Makefile" "$work/Makefile"

fail() { echo "check_make_compiler: $*" >&2; exit 1; }
step=0
# Each step: CXX (or - for unset) | the compiler build/ must have after it |
# whether make must say it configures afresh.
while IFS='|' read -r cxx expected says; do
    step=$((step + 1))
    if [ "$cxx" = - ]; then
        output=$(cd "$work" && env -u CXX PATH="$bin:$PATH" make -s configure 2>&1)
    else
        output=$(cd "$work" && env CXX="$cxx" PATH="$bin:$PATH" make -s configure 2>&1)
    fi
    got=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$work/build/CMakeCache.txt")
    [ "$got" = "$bin/$expected" ] ||
        fail "step $step (CXX=$cxx): build/ has $got, not $bin/$expected; make said: $output"
    case "$says:$output" in
        yes:*"configuring it afresh"*) ;;
        no:) ;;
        *) fail "step $step (CXX=$cxx): make said '$output'" ;;
    esac
done <<'STEPS'
-|c++|no
clang++|clang++|yes
clang++|clang++|no
-|c++|yes
-|c++|no
c++|c++|no
STEPS
echo "check_make_compiler: $step steps as expected"
