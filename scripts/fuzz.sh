#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for a bounded time from its seed corpus in fuzz/corpus/<target>/. Fails on any crash,
# sanitizer report, broken property, leak or time-out; the input that failed is kept as
# <build>/fuzz/artifacts/<target>-crash-... for the regression corpus.
#   bash scripts/fuzz.sh [DURATION]
#   DURATION      time per target: seconds, or a number with s, m or h (300, 90s, 5m, 2h);
#                 default FUZZ_SECONDS, else 60 seconds
#   FUZZ_SECONDS  seconds per target when no DURATION is given
#   BUILD_DIR     build folder (default build-fuzz)
set -euo pipefail
duration=${1:-${FUZZ_SECONDS:-60}}
if [[ ! "$duration" =~ ^([0-9]+)([smh]?)$ ]]; then
  echo "usage: bash scripts/fuzz.sh [DURATION]   (seconds, or with s, m or h: 300, 5m, 2h)" >&2
  exit 2
fi
case "${BASH_REMATCH[2]}" in
  m) seconds=$((BASH_REMATCH[1] * 60)) ;;
  h) seconds=$((BASH_REMATCH[1] * 3600)) ;;
  *) seconds=${BASH_REMATCH[1]} ;;
esac
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/deps.sh clang libclang-rt-14-dev

build=${BUILD_DIR:-build-fuzz}
# The dialogue target works in a directory of its own: every path it is given is absolute.
[[ "$build" = /* ]] || build=$root/$build
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DMAPFIT_FUZZ=ON -DMAPFIT_BUILD_TESTS=OFF \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(fuzz_series_line fuzz_answers fuzz_error_message fuzz_report_file fuzz_dialogue)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

mkdir -p "$build/fuzz/artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${targets[@]}"; do
  echo "=== $target: ${seconds} s"
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  scratch="$build/fuzz/corpus-$target"
  mkdir -p "$scratch"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=12000 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz/artifacts/$target-" \
        "$scratch" "$root/fuzz/corpus/$target" >"$build/fuzz/$target.log" 2>&1; then
    echo "$target FAILED; the end of its log:"
    grep -v '^mapfit: ' "$build/fuzz/$target.log" | tail -40
    status=1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' \
       "$build/fuzz/$target.log" || true
done
exit $status
