# The scripted participant, shared by the end-to-end tests, the demonstration and the timing
# run: an X server of our own, the program, and the operator's and participant's actions as real
# X events. Source it; set PROBE first.

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# A test's folder $work with a copy of the program $1 and the cues of $2, silent audio, and a
# trap that ends the program, the X server and the folder however the test ends.
e2e_setup() {
  work=$(mktemp -d)
  trap '[ -z "${ORVI_PID:-}" ] || kill "$ORVI_PID" 2>/dev/null || true; stop_display; rm -rf "$work"' EXIT
  cp "$1" "$work/orvi"
  cp "$2/sound1.wav" "$2/sound2.wav" "$work/"
  export SDL_AUDIODRIVER=dummy
}

# Starts Xvfb on a free display number, with screen size $1 and any further Xvfb options;
# sets DISPLAY and XVFB_PID.
start_display() {
  local size=${1:-1024x768x24} n
  shift || true
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "$size" "$@" -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 100); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
  done
  e2e_fail "no X server could be started"
}

stop_display() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null || true; }

# Runs the program from $1 (a folder holding its copy and the cue sounds); sets ORVI_PID.
start_orvi() {
  local dir=$1
  ( cd "$dir" && exec ./orvi ) >"$dir/orvi.log" 2>&1 &
  ORVI_PID=$!
}

# Waits for the program to end; sets ORVI_RC to its exit code.
wait_orvi() {
  ORVI_RC=0
  for _ in $(seq 200); do
    kill -0 "$ORVI_PID" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$ORVI_PID" 2>/dev/null && { kill "$ORVI_PID"; e2e_fail "orvi did not end"; }
  wait "$ORVI_PID" || ORVI_RC=$?
}

# Waits for a visible window whose title matches $1 and gives it the keyboard. The search is
# retried: a window that closes while xdotool walks the tree makes that walk fail.
focus_window() {
  local id="" deadline=$((SECONDS + 20))
  while [ -z "$id" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "no window titled '$1'"
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] || sleep 0.1
  done
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id" 2>/dev/null || true
  sleep 0.3
}

key() { xdotool key --clearmodifiers "$@"; }

# Answers the record-file dialog with a typed path.
answer_file_dialog() {
  focus_window "開く"
  xdotool type --delay 5 "$1"
  key Return
}

# Waits for the face; sets FACE_VP, EYE0_X, EYE0_Y, EYE1_X, EYE1_Y, EYE_R.
wait_face() {
  local out
  out=$("$PROBE" face "${1:-15000}") || e2e_fail "no face appeared"
  read -r FACE_VP EYE0_X EYE0_Y EYE1_X EYE1_Y EYE_R <<<"$out"
}

click_eye() {
  if [ "$1" = 0 ]; then "$PROBE" click "$EYE0_X" "$EYE0_Y"; else "$PROBE" click "$EYE1_X" "$EYE1_Y"; fi
}

# One trial: Enter, the blank screen, the face, then a click on eye $1 (0, 1) or nowhere (-1).
run_trial() {
  key Return
  "$PROBE" noface 5000 >/dev/null || e2e_fail "the face did not go at the start"
  wait_face
  if [ "$1" = -1 ]; then "$PROBE" click 3 3; else click_eye "$1"; fi
  "$PROBE" noface 5000 >/dev/null || e2e_fail "the face did not go after the click"
}

trial_lines() { grep -a '^[0-9]' "$1" | tr -d '\r'; }
