#!/usr/bin/env bash
# Whole-process comparison of a fit: `mapfit --terminal` answering the dialogue up to the fit
# and its report (count + load + fit + report, no check), against bench/lapack_fit (the same
# training series, the design matrix built, dgels or dgetsls from OpenBLAS) on the same cores.
# The series is `make_series SERIES` (default sine, which has noise). The three runs alternate,
# REPS times (default 5); medians of the wall times and of the peak resident memory are printed. Run from a Release build folder that has mapfit, make_series and
# lapack_fit:
#   cmake -S . -B build-rel -DCMAKE_BUILD_TYPE=Release -DMAPFIT_BUILD_BENCH=ON
#   cmake --build build-rel -j2 --target mapfit make_series lapack_fit
#   bench/whole_process.sh build-rel 100000 5 5      # N = 10^5, P = 252
set -euo pipefail
build=$1 ntrain=$2 D=$3 nu=$4
reps=${REPS:-5}
export OPENBLAS_NUM_THREADS=${OPENBLAS_NUM_THREADS:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Exactly Ntrain values: no check is offered after the fit.
"$build/tools/make_series" "${SERIES:-sine}" "$ntrain" > "$work/series.txt"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run NAME COMMAND...: appends "seconds kilobytes" to $work/NAME.
run() {
  local name=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/t" "$@" > "$work/$name.out" 2> /dev/null < "$work/answers" || true
  cat "$work/t" >> "$work/$name"
}

printf '%s\n%s\n1\n%s\nn\nn\nn\nn\n' "$ntrain" "$D" "$nu" > "$work/answers"
for _ in $(seq "$reps"); do
  (cd "$work" && run mapfit "$OLDPWD/$build/app/mapfit" --terminal series.txt)
  run dgels "$build/bench/lapack_fit" "$work/series.txt" "$ntrain" "$D" "$nu" dgels
  run dgetsls "$build/bench/lapack_fit" "$work/series.txt" "$ntrain" "$D" "$nu" dgetsls
done

grep -h "Error of approximation" "$work/mapfit.out" "$work/dgels.out" "$work/dgetsls.out" || true
for name in mapfit dgels dgetsls; do
  printf '%-8s median %8.2f s  peak %8.1f MiB\n' "$name" \
    "$(cut -d' ' -f1 "$work/$name" | median)" \
    "$(cut -d' ' -f2 "$work/$name" | median | awk '{ print $1 / 1024 }')"
done
m=$(cut -d' ' -f1 "$work/mapfit" | median)
g=$(cut -d' ' -f1 "$work/dgels" | median)
t=$(cut -d' ' -f1 "$work/dgetsls" | median)
awk -v m="$m" -v g="$g" -v t="$t" 'BEGIN { b = g < t ? g : t; printf "ratio to the faster LAPACK: %.2f\n", m / b }'
