#!/usr/bin/env bash
# Writes the two default cue sounds: assets/sound1.wav ("left", 440 Hz on the left channel) and
# assets/sound2.wav ("right", 880 Hz on the right channel); 300 ms bursts with 10 ms fades,
# 16-bit 48 kHz stereo. Dither is off so the files come out the same on every run.
# Usage: make-cues.sh [output directory]
set -euo pipefail
out="${1:-$(dirname "$0")/../assets}"
mkdir -p "$out"
burst() {  # burst <file> <frequency> <remix: the tone's channel and the silent one>
    sox -D -r 48000 -c 1 -n -b 16 -c 2 "$1" synth 0.3 sine "$2" fade t 0.01 0.3 0.01 vol 0.5 remix $3
}
burst "$out/sound1.wav" 440 "1 0"
burst "$out/sound2.wav" 880 "0 1"
