#!/usr/bin/env bash
# A scripted terminal session of an installed mapfit on the Hénon sample series, with its
# result lines and report checked: session_check.sh PROGRAM HENON_SERIES
# The quadratic map of dimension 2 that made the series is found exactly and predicts the
# whole test piece.
set -uo pipefail
program=$1
series=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

printf '500\n2\n1\n2\ny\nn\nn\nn\nn\nn\nn\n' | "$program" --terminal "$series" >stdout.txt 2>stderr.txt
status=$?
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
[[ $status -eq 0 ]] || fail "exit status $status"
[[ ! -s stderr.txt ]] || fail "standard error: $(cat stderr.txt)"
for line in ' The time series contains  3000 values' \
  ' Error of approximation:    0.00000 %' \
  ' Error of approximation (test):    0.00000 %' \
  ' Prediction time:   30' \
  ' Number of infinite solutions:    0' \
  ' 12) Different time series? (y/n) n'; do
  grep -qxF -- "$line" stdout.txt || fail "no line '$line' in the dialogue"
done
# The map x(n+1) = 1 + 0.3 x(n-1) - 1.4 x(n)^2: the constant, the older and the newer value,
# the three products.
coefficients=$(sed -n '/Coefficients of the model map:/,/Error of approximation/p' report.txt |
  sed '1d;$d' | tr -d ' ' | sed 's/^-0\.0*$/0.0000000000/' | paste -sd ' ')
[[ $coefficients == '1.0000000000 0.3000000000 0.0000000000 0.0000000000 0.0000000000 -1.4000000000' ]] ||
  fail "coefficients in report.txt: '$coefficients'"
grep -qxF ' Prediction time:   30' report.txt || fail "no prediction time in report.txt"
[[ -s model-efficiency.png ]] || fail "no plot file"

if ((failures > 0)); then
  echo "--- standard output"
  cat stdout.txt
  exit 1
fi
echo "session on $series: results as expected"
