#!/usr/bin/env bash
# Runs each fuzz harness of a fuzz build (ORVI_FUZZ) for a while under ASan and UBSan.
# Usage: run.sh BUILD [SECONDS [HARNESS...]]   (default 60 s each, every harness)
# An input that makes a harness fail, crash or hang is copied into tests/fuzz/corpus/HARNESS/,
# where every test run replays it from then on; the script then fails. New inputs that only add
# coverage stay in BUILD/fuzz-work/HARNESS/corpus and are reused by the next run.
set -uo pipefail
build=$1 seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || set -- line_parser settings record_file report
failed=()
for harness in "$@"; do
  work=$build/fuzz-work/$harness
  rm -rf "$work/found"
  mkdir -p "$work/corpus" "$work/found" "$here/corpus/$harness"
  echo "== $harness: $seconds s"
  if "$build/tests/fuzz/fuzz_$harness" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -dict="$here/record.dict" -artifact_prefix="$work/found/" "$work/corpus" \
      "$here/corpus/$harness" "$here/../data" >"$work/log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$work/log"
  else
    tail -n 30 "$work/log"
    cp -v "$work/found"/* "$here/corpus/$harness/" 2>/dev/null
    failed+=("$harness")
  fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: findings in ${failed[*]} (logs in $build/fuzz-work/*/log)" >&2; exit 1; }
echo "fuzz: nothing found"
