#!/usr/bin/env bash
# Installs the Debian packages orvi needs, only those that are missing.
# Usage: install-deps.sh build|test|bench|demo|fuzz|format
# build is what orvi alone needs (`make run`); the others add orvi-report's and the tests'.
set -euo pipefail

build=(cmake make g++ pkg-config qt6-base-dev libsdl2-dev fonts-ipafont-gothic qt6-translations-l10n libxcb1-dev libxcb-present-dev libxcb-randr0-dev libxcb-xinput-dev libxcb-xfixes0-dev)
test=(libplplot-dev plplot-driver-cairo libboost-math-dev libgtest-dev libx11-dev libxtst-dev xvfb xdotool x11-xkb-utils imagemagick dpkg-dev file groff-base)
case "${1:-build}" in
  build) want=("${build[@]}") ;;
  test) want=("${build[@]}" "${test[@]}") ;;
  bench) want=("${build[@]}" "${test[@]}") ;;
  demo) want=("${build[@]}" "${test[@]}" sox) ;;
  fuzz) want=("${build[@]}" "${test[@]}" clang-14 libclang-rt-14-dev) ;;
  format) want=(clang-format git) ;;
  *) echo "usage: $0 build|test|bench|demo|fuzz|format" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done
# The BIDS test runs the validator from the npm registry. Any npm will do (NodeSource's
# nodejs brings its own, and Debian's npm package would conflict with it).
if [ "${1:-build}" != build ] && ! command -v npm >/dev/null; then
  missing+=(npm)
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
