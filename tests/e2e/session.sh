#!/usr/bin/env bash
# A whole session as an operator and a participant meet it, on a real X server.
set -euo pipefail
ORVI=$1 PROBE=$2 ASSETS=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/participant.sh"

e2e_setup "$ORVI" "$ASSETS"
record="$work/subject 01.txt"
start_display 1024x768x24
# Escape ends the program with code 0.
quit_orvi() { key Escape; wait_orvi; [ "$ORVI_RC" = 0 ] || e2e_fail "exit code $ORVI_RC after $1"; }
# Chooses an existing record file and answers yes to continuing it.
continue_file() {
  answer_file_dialog "$1"; focus_window "続行確認"; key Return; wait_face; focus_window '^orvi$'
}

echo "# first start: no settings file yet, a new record file"
start_orvi "$work"
answer_file_dialog "$record"
# Its content: tests/experiment Settings; which trials a cancel flags: Cancel.
[ -f "$work/orvi.ini" ] || e2e_fail "settings file not created next to the program"
wait_face
[ "$FACE_VP" = 0 ] || e2e_fail "the first face is at viewpoint $FACE_VP, not 0"
focus_window '^orvi$'

echo "# a hit"
run_trial 0
shows_status 1 1 1 || e2e_fail "status box does not show [02/02/16] OK"
line=$(trial_lines "$record" | tail -n 1)
[[ "$line" =~ ^01\ [0-9]{2}\ [12]\ [1-8]\ +[0-9]+\ 1\ [01]\ 1\ 0$ ]] || e2e_fail "hit line: '$line'"
rt=$(awk '{print $5}' <<<"$line")
[ "$rt" -ge 0 ] && [ "$rt" -lt 5000 ] || e2e_fail "reaction time $rt ms out of range"

echo "# a miss"
run_trial -1
shows_status 2 1 2 || e2e_fail "status box does not show [03/02/16] NG"
line=$(trial_lines "$record" | tail -n 1)
[[ "$line" =~ ^02\ [0-9]{2}\ [12]\ [1-8]\ +[0-9]+\ 0\ 0\ 0\ 0$ ]] || e2e_fail "miss line: '$line'"

echo "# cancel the miss"
key BackSpace
wait_until 10 last_trial_is "$record" '^02 .* 0 0 0 1$' ||
  e2e_fail "cancel flag not set within 10 s: '$(trial_lines "$record" | tail -n 1)'"

echo "# Escape ends the program with code 0"
quit_orvi Escape

echo "# second start: continue the same file"
printf '100\n100\n100\n500\n500\n1\n' >"$work/orvi.ini"
ORVI_TIMING_TRACE="$work/trace.tsv" start_orvi "$work"
continue_file "$record"
run_trial 1
[ "$(grep -ac '^### open trial  : ' "$record")" = 2 ] || e2e_fail "continuing did not add one open marker"
line=$(trial_lines "$record" | tail -n 1)
[[ "$line" =~ ^03\  ]] || e2e_fail "numbering did not go on: '$line'"
shows_status 3 2 1 || e2e_fail "status box does not show [04/03/16] OK"
[ "$(grep -ac "^# param: 1000 1000 1000 500 500 1 [01]$" "$record")" = 1 ] || e2e_fail "parameter line changed or repeated"

echo "# French layout: practice 1 is the digit row's first key, unshifted ('&'); Shift+'1' is not"
setxkbmap fr
clicks=$(grep -c '^click' "$work/trace.tsv")
# A click on no eye ends a trial but not the practice, and Enter starts a trial only from rest:
# had Shift+'1' started the practice, this click would add no click to the trace.
key 1 Return
wait_face
"$PROBE" click 3 3
more_clicks() { [ "$(grep -c '^click' "$work/trace.tsv")" -gt "$clicks" ]; }
wait_until 10 more_clicks || e2e_fail "Shift+1 started the blink practice: Enter started no trial"
key ampersand
wait_until 10 grep -q '^white' "$work/trace.tsv" || e2e_fail "the '&' key did not start the blink practice"
setxkbmap us
quit_orvi "the second Escape"

echo "# a complete run: Enter asks for a new record file and starts a new run"
cp "$here/../data/record-all-done.txt" "$work/done.txt"
start_orvi "$work"
continue_file "$work/done.txt"
key Return
answer_file_dialog "$work/second.txt"
focus_window '^orvi$'
run_trial 0
line=$(trial_lines "$work/second.txt")
[[ "$line" =~ ^01\ [0-9]{2}\ [12]\ [1-8]\ +[0-9]+\ 1\ [01]\ 1\ 0$ ]] || e2e_fail "new run's first line: '$line'"
grep -aq '^### close trial : ' "$work/done.txt" || e2e_fail "the finished run's file got no close marker"
quit_orvi "the new run"

echo "e2e: 1 passed, 0 failed"
