#!/usr/bin/env bash
# The self-check (also without a display) and the start-up warning about silent cues, on a real
# X server.
set -euo pipefail
ORVI=$1 PROBE=$2 ASSETS=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/participant.sh"

e2e_setup "$ORVI" "$ASSETS"
out=$work.out
mkdir "$out"
trap '[ -z "${ORVI_PID:-}" ] || kill "$ORVI_PID" 2>/dev/null || true; stop_display; rm -rf "$work" "$out"' EXIT
start_display 1024x768x24 -fakescreenfps 60
orvi() { (cd "$work" && ./orvi "$@"); }
# Cancels the record-file dialog and answers the message: the program ends with 0.
cancel_dialog() {
  focus_window '開く'
  key Escape
  focus_window '^orvi$'
  key Return
  wait_orvi
  [ "$ORVI_RC" = 0 ] || e2e_fail "exit code $ORVI_RC after cancelling the dialog"
}

echo "# arguments"
orvi --version | grep -qx 'orvi [0-9][0-9.]*' || e2e_fail "--version"
orvi --help | grep -q -- '--check' || e2e_fail "--help does not tell of --check"
for args in --bogus "--check --check" -h; do
  rc=0; orvi $args >/dev/null 2>"$out/err" || rc=$?
  [ "$rc" = 2 ] || e2e_fail "'$args' exited with $rc, not 2"
  grep -q "Try 'orvi --help'" "$out/err" || e2e_fail "'$args' gave no usage hint"
done

echo "# --check on a machine with its cues: a report with the 60 Hz rate, exit 0 or 1, nothing written"
rc=0; orvi --check >"$out/report" || rc=$?
cat "$out/report"
[ "$rc" = 0 ] || [ "$rc" = 1 ] || e2e_fail "--check exited with $rc"
for section in Display Audio Settings "Current folder" Result; do
  grep -qx "$section" "$out/report" || e2e_fail "no $section section"
done
[ "$(grep -c "^  sound[12].wav:  decodes, " "$out/report")" = 2 ] || e2e_fail "a cue not decoding"
grep -q "^  exit $rc: " "$out/report" || e2e_fail "the report's verdict is not the exit status"
grep -Eo '[0-9.]+ Hz' "$out/report" | awk '$1 >= 59.4 && $1 <= 60.6 { ok = 1 } END { exit !ok }' ||
  e2e_fail "--check shows no rate within 1% of the fake 60 Hz"
[ ! -e "$work/orvi.ini" ] || e2e_fail "--check created the settings file"
[ "$(ls "$work")" = "$(printf 'orvi\nsound1.wav\nsound2.wav')" ] || e2e_fail "--check left files"

echo "# --check without a display: not usable, and it says why"
rc=0; (unset DISPLAY WAYLAND_DISPLAY; orvi --check >"$out/report") || rc=$?
[ "$rc" = 2 ] && grep -q "no display (DISPLAY is not set)" "$out/report" || e2e_fail "--check without DISPLAY: exit $rc"

echo "# a missing and a broken cue: not usable"
mv "$work/sound2.wav" "$work/kept.wav"
cp "$work/sound1.wav" "$work/good.wav"
echo "not a sound" >"$work/sound1.wav"
rc=0; orvi --check >"$out/report" || rc=$?
[ "$rc" = 2 ] || e2e_fail "--check exited with $rc without usable cues"
grep -q "^  sound1.wav:  does not decode" "$out/report" || e2e_fail "broken sound1.wav not reported"
grep -q "^  sound2.wav:  not found" "$out/report" || e2e_fail "missing sound2.wav not reported"

echo "# plain start: one message box before the record-file dialog, then as before"
start_orvi "$work"
focus_window '^orvi$'
[ -z "$(xdotool search --onlyvisible --name '開く' 2>/dev/null)" ] || e2e_fail "the dialog came first"
key Return
cancel_dialog
grep -q "sound1.wav does not load as a sound" "$work/orvi.log" || e2e_fail "stderr: $(cat "$work/orvi.log")"
grep -q "sound2.wav is not in the current folder" "$work/orvi.log" || e2e_fail "stderr lacks sound2.wav"
[ "$(grep -c '^orvi: ' "$work/orvi.log")" = 3 ] || e2e_fail "stderr: $(cat "$work/orvi.log")"

echo "# with both cues there is no message box"
mv "$work/good.wav" "$work/sound1.wav"
mv "$work/kept.wav" "$work/sound2.wav"
start_orvi "$work"
cancel_dialog
[ ! -s "$work/orvi.log" ] || e2e_fail "stderr: $(cat "$work/orvi.log")"

echo "e2e: 1 passed, 0 failed"
