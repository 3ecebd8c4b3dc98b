#!/usr/bin/env bash
# Stimulus frames on a fake 60 Hz vertical blank: every face lands on the blank it was aimed at
# (the self-check's measured rate: check.sh).
set -euo pipefail
ORVI=$1 PROBE=$2 ASSETS=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/participant.sh"

e2e_setup "$ORVI" "$ASSETS"
printf '300\n100\n500\n150\n200\n1\n' >"$work/orvi.ini"
export ORVI_TIMING_TRACE=$work/trace.tsv
start_display 1024x768x24 -fakescreenfps 60

echo "# three trials on the Present path"
start_orvi "$work"
answer_file_dialog "$work/s01.txt"
wait_face
focus_window '^orvi$'
run_trial 0
run_trial 1
run_trial -1
key Escape
wait_orvi
[ "$ORVI_RC" = 0 ] || e2e_fail "exit code $ORVI_RC"
grep -q $'^display\t[0-9]*\tX11+Present\tvblank$' "$work/trace.tsv" || e2e_fail "no Present path: $(grep display "$work/trace.tsv")"
faces=$(awk -F'\t' '$1 == "present" && $3 == "face"' "$work/trace.tsv")
[ "$(wc -l <<<"$faces")" = 3 ] || e2e_fail "want 3 face frames, trace has: $faces"
awk -F'\t' '$4 != $5 || $6 == "skip" { bad = 1 } END { exit bad }' <<<"$faces" ||
  e2e_fail "a face missed its blank: $faces"
# The reaction time counts from the face frame's own timestamp.
awk -F'\t' '$1 == "present" && $3 == "face" { p[++n] = $2 } $1 == "onset" { o[++m] = $2 }
  END { for (i = 1; i <= n; i++) if (p[i] != o[i]) exit 1; exit n != m }' "$work/trace.tsv" ||
  e2e_fail "onsets are not the face frames' timestamps"
[ "$(awk -F'\t' '$1 == "present" && $3 == "blank"' "$work/trace.tsv" | wc -l)" = 3 ] ||
  e2e_fail "each trial's end is not a presented frame"

echo "e2e: vblank passed"
