#!/usr/bin/env bash
# A demonstration run on a virtual display, driven by the scripted participant of the
# end-to-end tests: both practice modes, a run of 16 items with misses and a cancellation,
# stopping and continuing the same record file. Keeps screenshots, the record file, the audio
# and the report in demo-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
case $build in /*) ;; *) build="$root/$build" ;; esac
ORVI="$build/orvi" PROBE="$build/orvi-probe" ASSETS="$root/assets"
. "$root/tools/participant.sh"

out="$root/demo-out"
rm -rf "$out"
mkdir -p "$out/screens" "$out/program"
work="$out/program"
cp "$ORVI" "$work/orvi"
cp "$ASSETS/sound1.wav" "$ASSETS/sound2.wav" "$work/"
printf '300\t; beep delay\n200\t; beep length\n300\t; face delay\n250\t; white\n250\t; red\n1\t; hide cursor\n' >"$work/orvi.ini"
record="$out/record.txt"
trap '[ -z "${ORVI_PID:-}" ] || kill "$ORVI_PID" 2>/dev/null || true; stop_display' EXIT
export SDL_AUDIODRIVER=disk
start_display 1024x768x24

shot() { import -window root "$out/screens/$1.png"; }
colour() { "$PROBE" pixel "$1" "$2"; }

# Sets RED to the eye that is red, if one is.
red_eye() {
  if [ "$(colour "$EYE0_X" "$EYE0_Y")" = "255 0 0" ]; then RED=0; return 0; fi
  [ "$(colour "$EYE1_X" "$EYE1_Y")" = "255 0 0" ] && RED=1
}
no_red_eye() { ! red_eye; }

# Practice 1 until both red-eye modes have been seen. The red eye is the target.
practice_blink() {
  local tries
  for tries in $(seq 12); do
    key 1
    wait_face
    wait_until 20 red_eye || e2e_fail "no red eye in the blink practice within 20 s"
    [ -f "$out/screens/practice-eye$RED-red.png" ] || shot "practice-eye$RED-red"
    click_eye "$RED"
    # The next round must not take this round's red eye, still on screen, for its own.
    wait_until 5 no_red_eye || e2e_fail "the red eye stayed red after a click on it"
    [ -f "$out/screens/practice-eye0-red.png" ] && [ -f "$out/screens/practice-eye1-red.png" ] && return 0
  done
  e2e_fail "the blink practice never showed both red-eye modes"
}

# One trial; screenshots each viewpoint the first time it shows.
demo_trial() {
  start_trial
  [ -f "$out/screens/viewpoint-$((FACE_VP + 1)).png" ] || shot "viewpoint-$((FACE_VP + 1))"
  # The participant's reaction: a deliberate pause of 0.3 to 0.6 s, as a person would take.
  sleep 0.$((RANDOM % 4 + 3))
  if [ "$1" = miss ]; then "$PROBE" click 3 3; else click_eye $((RANDOM % 2)); fi
  no_face || e2e_fail "the face did not go after the click"
}

hits() { trial_lines "$record" | awk '$8 == 1 && $9 == 0' | wc -l; }

echo "demo: first session"
SDL_DISKAUDIOFILE="$out/audio-session1.raw" start_orvi "$work"
answer_file_dialog "$record"
wait_face
focus_window '^orvi$'
practice_blink
echo "demo: sound practice"
key 2
# Deliberate: the participant listens to the looping cue for a second before answering, so that
# the recorded audio holds it.
sleep 1
click_eye 0
click_eye 1
echo "demo: trials"
demo_trial hit
demo_trial miss
demo_trial hit
demo_trial hit
key BackSpace  # the operator takes the last trial back
wait_until 10 last_trial_is "$record" ' 1$' || e2e_fail "the cancel did not reach the record file"
demo_trial hit
demo_trial miss
while [ "$(hits)" -lt 8 ]; do demo_trial hit; done
shot session1-last
key Escape
wait_orvi
[ "$ORVI_RC" = 0 ] || e2e_fail "orvi ended with $ORVI_RC"

echo "demo: second session continues the same file"
SDL_DISKAUDIOFILE="$out/audio-session2.raw" start_orvi "$work"
answer_file_dialog "$record"
focus_window "続行確認"
key Return
wait_face
focus_window '^orvi$'
while [ "$(hits)" -lt 16 ]; do demo_trial hit; done
shows_status "$(trial_lines "$record" | wc -l)" 16 1 >/dev/null ||
  e2e_fail "the status box does not show the finished run"
shot finished
key Escape
wait_orvi
[ "$ORVI_RC" = 0 ] || e2e_fail "orvi ended with $ORVI_RC"

for f in "$out"/audio-session*.raw; do
  sox -q -t raw -r 48000 -e signed -b 16 -c 2 "$f" "${f%.raw}.wav" && rm -f "$f"
done

if [ -x "$build/orvi-report" ]; then
  "$build/orvi-report" -o "$out/report" "$record" | tee "$out/report-summary.txt" || true
fi

echo
echo "demo: done. Everything is in $out:"
echo "  record file   $record"
echo "  screenshots   $out/screens/ ($(ls "$out/screens" | wc -l) files)"
echo "  audio         $(ls "$out"/audio-session*.wav 2>/dev/null | tr '\n' ' ')"
[ -d "$out/report" ] && echo "  report        $out/report/"
exit 0
