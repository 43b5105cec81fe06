#!/usr/bin/env bash
# Runs the font-file fuzzer for a bounded time over a corpus seeded with the
# test fonts. FUZZ_SECONDS sets the time (60 by default, at most 120). A crash
# stops the run with status 1 and leaves its input in build-fuzz/artifacts/:
# commit it into fuzz/regressions/, where ctest replays it (fuzz.regressions).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
if [ "$seconds" -gt 120 ]; then seconds=120; fi
build=build-fuzz
fuzzer=$build/fuzz/font_file_fuzzer
[ -x "$fuzzer" ] || { echo "run_fuzzer.sh: no $fuzzer; build it with 'make fuzz'" >&2; exit 2; }

# Seeds: the fonts of the test sets (the variable fonts among them), fonts
# whose device metrics do not parse, and every earlier crash; new inputs go to
# the corpus, which is kept between runs.
seeds=$build/fuzz-seeds
corpus=$build/fuzz-corpus
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$build/artifacts"
for font in tests/fonts/*.tt[fc] tests/fonts/*.otf tests/robustness/fonts/DM12* \
    tests/variable_fonts/*.ttf tests/variable_fonts/*.otf fuzz/seeds/*.ttf fuzz/regressions/*; do
  [ -f "$font" ] && cp "$font" "$seeds/"
done

set +e
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "$corpus" "$seeds" 2>&1 | tee "$build/fuzz.log" |
  grep -E '^(INFO: seed corpus|#[0-9]+ +(INITED|DONE))|^(==[0-9]+==|SUMMARY|Done|stat::number_of_executed_units)'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "run_fuzzer.sh: the fuzzer stopped with status $status; see $build/fuzz.log and $build/artifacts/" >&2
fi
exit "$status"
