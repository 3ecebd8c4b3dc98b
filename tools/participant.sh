# The scripted participant, shared by the end-to-end tests, the demonstration and the timing
# run: an X server of our own, the program, and the operator's and participant's actions as real
# X events. Source it; set PROBE first.

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# How long a probe waits for the screen to change. A machine busy with other work can hold the
# program back for seconds; a passing run never waits this out.
PROBE_WAIT_MS=15000

# A test's folder $work with a copy of the program $1 and the cues of $2, silent audio, and a
# trap that ends the program, the X server and the folder however the test ends.
e2e_setup() {
  work=$(mktemp -d)
  trap '[ -z "${ORVI_PID:-}" ] || kill "$ORVI_PID" 2>/dev/null || true; stop_display; rm -rf "$work"' EXIT
  cp "$1" "$work/orvi"
  cp "$2/sound1.wav" "$2/sound2.wav" "$work/"
  export SDL_AUDIODRIVER=dummy
}

# Polls the command $2... every 50 ms until it succeeds; returns 1 once $1 seconds have passed
# without success.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

# Starts Xvfb with screen size $1 and any further Xvfb options; sets DISPLAY and XVFB_PID.
# The server picks a free display number itself and writes it to a pipe once it accepts
# clients, so neither a probe for a free number nor a wait for the server is needed.
start_display() {
  local size=${1:-1024x768x24} dir n=""
  shift || true
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  dir=$(mktemp -d)
  mkfifo "$dir/display"
  Xvfb -displayfd 3 -screen 0 "$size" "$@" -nolisten tcp -noreset 3>"$dir/display" >/dev/null 2>"$dir/log" &
  XVFB_PID=$!
  # The server closes the pipe after writing; if it dies first, the read ends empty.
  read -r -t 30 n <"$dir/display" || true
  [ -n "$n" ] || e2e_fail "Xvfb did not start: $(tail -n 5 "$dir/log")"
  rm -rf "$dir"
  export DISPLAY=":$n"
}

# Safe under set -e in a trap, also when the server has stopped already.
stop_display() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
}

# Runs the program from $1 (a folder holding its copy and the cue sounds); sets ORVI_PID.
start_orvi() {
  local dir=$1
  ( cd "$dir" && exec ./orvi ) >"$dir/orvi.log" 2>&1 &
  ORVI_PID=$!
}

orvi_ended() { ! kill -0 "$ORVI_PID" 2>/dev/null; }

# Waits for the program to end; sets ORVI_RC to its exit code.
wait_orvi() {
  ORVI_RC=0
  wait_until 10 orvi_ended || { kill "$ORVI_PID"; e2e_fail "orvi did not end within 10 s"; }
  wait "$ORVI_PID" || ORVI_RC=$?
}

# Sets WINDOW to a visible window whose title matches $1; fails if there is none. A window that
# closes while xdotool walks the tree makes that walk fail, so callers retry.
find_window() { WINDOW=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$WINDOW" ]; }

# Gives window $1 the keyboard and tells whether it has it. The X server orders this before
# any later key event, so the program sees the focus change first.
take_focus() {
  xdotool windowfocus "$1" 2>/dev/null || true
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

# Waits for a visible window whose title matches $1 and gives it the keyboard.
focus_window() {
  wait_until 20 find_window "$1" || e2e_fail "no window titled '$1' within 20 s"
  wait_until 5 take_focus "$WINDOW" || e2e_fail "window '$1' did not take the keyboard within 5 s"
}

key() { xdotool key --clearmodifiers "$@"; }

# Answers the record-file dialog with a typed path.
answer_file_dialog() {
  focus_window "開く"
  xdotool type --delay 5 "$1"
  key Return
}

# Waits until no face is shown.
no_face() { "$PROBE" noface "$PROBE_WAIT_MS" >/dev/null; }

# Waits until the status box reads as for trials $1, position $2 and feedback $3 (0 none, 1 OK,
# 2 NG), and prints it.
shows_status() { "$PROBE" status "$1" "$2" "$3" "$PROBE_WAIT_MS"; }

# Waits for the face; sets FACE_VP, EYE0_X, EYE0_Y, EYE1_X, EYE1_Y, EYE_R.
wait_face() {
  local out
  out=$("$PROBE" face "$PROBE_WAIT_MS") || e2e_fail "no face appeared within $((PROBE_WAIT_MS / 1000)) s"
  read -r FACE_VP EYE0_X EYE0_Y EYE1_X EYE1_Y EYE_R <<<"$out"
}

click_eye() {
  if [ "$1" = 0 ]; then "$PROBE" click "$EYE0_X" "$EYE0_Y"; else "$PROBE" click "$EYE1_X" "$EYE1_Y"; fi
}

# Enter, then waits for the trial's face. A face shown at rest must go first, or it would be
# taken for the trial's; the probe that watches for that starts before the key, so that its
# start-up eats less of the blank. A blank screen at rest has nothing to go.
start_trial() {
  if "$PROBE" face 0 >/dev/null 2>&1; then
    local watcher
    no_face &
    watcher=$!
    key Return
    wait "$watcher" || e2e_fail "the face did not go at the start"
  else
    key Return
  fi
  wait_face
}

# One trial: Enter, the blank screen, the face, then a click on eye $1 (0, 1) or nowhere (-1).
run_trial() {
  start_trial
  if [ "$1" = -1 ]; then "$PROBE" click 3 3; else click_eye "$1"; fi
  no_face || e2e_fail "the face did not go after the click"
}

trial_lines() { grep -a '^[0-9]' "$1" | tr -d '\r'; }

# Whether the last trial line of file $1 matches the extended regular expression $2.
last_trial_is() { [[ "$(trial_lines "$1" | tail -n 1)" =~ $2 ]]; }
