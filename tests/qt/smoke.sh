#!/bin/sh
# Starts the real program on a virtual X display, types a short dialogue with one efficiency
# check, takes a picture of the screen, answers the final question and checks that the program
# ended with status 0 and wrote its report. Then a long fit: Esc abandons it and question 3 is
# asked again, and closing the frame during another ends the process within a second.
#
#   smoke.sh MAPFIT_BINARY [SCREENSHOT.png]
set -eu

bin=$(readlink -f "$1")
shot=${2:+$(readlink -f "$2")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# x(k) = 5 + 3 sin(0.7 k), k = 1 .. 200: a linear map of dimension 2 predicts it exactly.
awk 'BEGIN { for (k = 1; k <= 200; k++) printf "%.10f\n", 5 + 3 * sin(0.7 * k) }' > sine.txt

# Shared by the sessions: start SERIES OUT ERR starts the program and waits for its frame
# (titled with the program's name); answer TEXT types one answer.
cat > common.sh <<'INNER'
start() {
  "$BIN" "$1" > "$2" 2> "$3" &
  pid=$!
  xdotool search --sync --onlyvisible --name '^mapfit$' > /dev/null
  sleep 1.5
  xdotool mousemove 200 200
}
answer() {
  xdotool type --delay 30 "$1"
  xdotool key Return
  sleep 0.4
}
INNER

cat > session.sh <<'INNER'
set -eu
. ./common.sh
start sine.txt stdout.txt stderr.txt
for a in 150 2 1 1 y 10 5 3; do answer "$a"; done
sleep 2
if [ -n "$SHOT" ]; then import -window root "$SHOT"; fi
for a in n n n n n; do answer "$a"; done
sleep 1
# "Program Terminated with exit code 0" / "Exit Window?": Yes closes the frame.
xdotool key y
status=0
wait "$pid" || status=$?
echo "$status" > status.txt
INNER

BIN="$bin" SHOT="$shot" timeout 120 xvfb-run -a -s "-screen 0 1280x800x24" sh session.sh

fail() { echo "smoke: $*" >&2; cat stderr.txt >&2 || true; exit 1; }
[ "$(cat status.txt)" = 0 ] || fail "exit status $(cat status.txt)"
grep -q ' Prediction time:   10' report.txt || fail "report.txt has no prediction time"
grep -q ' Number of infinite solutions:    0' report.txt || fail "report.txt is incomplete"
[ -z "$shot" ] || [ -s "$shot" ] || fail "no screenshot"
# A fit of 1820 coefficients to 60000 points takes about ten seconds on two cores.
awk 'BEGIN { srand(7); for (k = 1; k <= 60100; k++) printf "%.6f\n", 2 * rand() - 1 }' > noise.txt
rm -f report.txt
cat > stop.sh <<'INNER'
set -eu
. ./common.sh
start noise.txt stdout.txt stderr.txt
for a in 60000 4 1 12; do answer "$a"; done
sleep 3
# Esc abandons the fit; question 3 comes again and a small model is fitted instead.
xdotool key Escape
sleep 4
kill -0 "$pid" || { echo gone > stop_status.txt; exit 0; }
for a in 1 1 n n n n n; do answer "$a"; done
sleep 2
xdotool key y
status=0
wait "$pid" || status=$?
echo "$status" > stop_status.txt

# Closing the frame (File > Exit, Ctrl+Q) during the fit: gone within a few seconds (a second
# when the machine is not loaded), status 3.
start noise.txt stdout2.txt stderr2.txt
for a in 60000 4 1 12; do answer "$a"; done
sleep 3
xdotool key ctrl+q
n=0
while kill -0 "$pid" 2> /dev/null && [ "$n" -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
if kill -0 "$pid" 2> /dev/null; then
  echo alive > close_status.txt
  kill "$pid"
else
  status=0
  wait "$pid" || status=$?
  echo "$status" > close_status.txt
fi
INNER

BIN="$bin" timeout 150 xvfb-run -a -s "-screen 0 1280x800x24" sh stop.sh

[ "$(cat stop_status.txt)" = 0 ] || fail "after a stop: exit status $(cat stop_status.txt)"
[ "$(grep -c 'Coefficients of the model map' report.txt)" = 1 ] ||
  fail "the stopped fit reached report.txt"
[ "$(cat close_status.txt)" = 3 ] || fail "closing during a fit: $(cat close_status.txt)"
echo "smoke: ok"
