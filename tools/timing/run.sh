#!/usr/bin/env bash
# Measures the built orvi from outside: an Xvfb screen kept in a file, orvi-bench as the
# participant's eye and hand. Prints the table; raw times go to bench-out/ (or $BENCH_OUT).
# Usage: tools/timing/run.sh [build-dir] [extra orvi-bench options, e.g. --runs 4 --seed 7]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build}")
shift || true
out=${BENCH_OUT:-$root/bench-out}

# The bench measures the build folder it is given and never changes its settings: a new folder
# is configured with the defaults, an existing one set up for something else is left alone.
cache=$build/CMakeCache.txt
if [ ! -e "$cache" ]; then
  echo "run.sh: configuring the new build folder $build with the defaults" >&2
  cmake -S "$root" -B "$build" >/dev/null
fi
setting() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
other=""
[ "$(setting ORVI_GUI)" != OFF ] || other="$other ORVI_GUI=OFF"
[ "$(setting ORVI_SANITIZE)" != ON ] || other="$other ORVI_SANITIZE=ON"
[ "$(setting ORVI_FUZZ)" != ON ] || other="$other ORVI_FUZZ=ON"
if [ -n "$other" ]; then
  echo "run.sh: $build is configured with$other; the bench measures a plain build: give it another build folder" >&2
  exit 2
fi
if ! cmake --build "$build" -j "$(nproc)" --target orvi orvi-bench >/dev/null; then
  echo "run.sh: cannot build orvi and orvi-bench in $build. If it was configured before the X11 and XTest headers were installed (scripts/install-deps.sh bench), reconfigure it yourself: cmake -S $root -B $build" >&2
  exit 1
fi

work=$(mktemp -d /tmp/orvi-bench.XXXXXX)
# The screen file lives in memory when it can: a file on disk is written back now and then,
# which stalls the server's drawing.
fb=$(mktemp -d /dev/shm/orvi-bench.XXXXXX 2>/dev/null) || { fb=$work/fb; mkdir "$fb"; }
. "$root/tools/participant.sh"
cleanup() {
  stop_display
  rm -rf "$work" "$fb"
}
trap cleanup EXIT

mkdir -p "$work/orvi"
cp "$build/orvi" "$work/orvi/"
cp "$root/assets/sound1.wav" "$root/assets/sound2.wav" "$work/orvi/"
# Short trials: 100 ms to the beep, 100 ms of beep, 100 ms to the face; blink white 150, red 200.
printf '100\n100\n100\n150\n200\n1\n' >"$work/orvi/orvi.ini"

export XDG_RUNTIME_DIR="$work/xdg"
status=0
# On a fake vertical blank of each rate, the Present path and, side by side in the same run,
# the old path it replaces (ORVI_NO_PRESENT forces it). BENCH_FPS picks the rates.
echo "orvi-bench on $(nproc) CPUs ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')), Xvfb $(dpkg-query -W -f='${Version}' xvfb 2>/dev/null || echo '?') 1024x768x24, load $(cut -d' ' -f1-3 /proc/loadavg)"
for fps in ${BENCH_FPS:-60 144}; do
  start_display 1024x768x24 -fbdir "$fb" -fakescreenfps "$fps"
  for path in present old; do
    echo
    echo "== $fps Hz, $path path"
    rm -f "$work/orvi"/run*.txt "$work/orvi/trace.tsv"
    mkdir -p "$out/$fps-$path"
    if [ "$path" = old ]; then export ORVI_NO_PRESENT=1; else unset ORVI_NO_PRESENT; fi
    "$build/orvi-bench" --orvi-dir "$work/orvi" --fb "$fb/Xvfb_screen0" --out "$out/$fps-$path" \
      --fps "$fps" "$@" || status=1
    cp "$work/orvi/orvi.log" "$work/orvi/trace.tsv" "$work/orvi"/run*.txt "$out/$fps-$path/" 2>/dev/null || true
  done
  unset ORVI_NO_PRESENT
  stop_display
done
echo "raw times: $out/<fps>-<path>/ (trials.tsv, blink.tsv, audio.tsv, summary.tsv; orvi's trace and records)"
exit $status
