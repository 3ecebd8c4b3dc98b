#!/usr/bin/env bash
# Starts orvi in run/, a folder that holds the cue sounds. The settings file lies next to the
# program (build/orvi.ini); record files go wherever the operator chooses.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
mkdir -p run
for f in sound1.wav sound2.wav; do
  [ -f "run/$f" ] || cp "assets/$f" "run/$f"
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "orvi: there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  if [ -f scripts/demo.sh ]; then
    echo "orvi: running the scripted demonstration on a virtual display instead (make demo)." >&2
    exec make demo BUILD="$build"
  fi
  exit 1
fi
cd run
exec "../$build/orvi"
