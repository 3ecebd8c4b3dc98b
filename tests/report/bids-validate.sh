#!/usr/bin/env bash
# Runs the BIDS validator of the npm registry (bids-validator 1.x, installed into the build tree
# when missing) on a dataset that orvi-report writes. Fails on any error and on any warning
# that the README does not explain.
# Usage: bids-validate.sh ORVI_REPORT TEST_DATA_DIR VALIDATOR_DIR
set -euo pipefail
report=$1 data=$2 tools=$3
validator=$tools/node_modules/.bin/bids-validator
if [ ! -x "$validator" ]; then
  command -v npm >/dev/null || { echo "npm is missing: run make deps" >&2; exit 1; }
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error bids-validator@1.15.0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Pooled files give a participant two runs, the others one.
"$report" --no-plots -o "$out" --participant '-(p[0-9]|s0[0-9])' --bids "$out/bids" \
  "$data/report-pool-p1-a.txt" "$data/report-pool-p2.txt" "$data/report-pool-p1-b.txt" \
  "$data/report-s02.txt" "$data/report-s03.txt" >/dev/null
"$validator" --json "$out/bids" >"$out/result.json" || true
# 38 INCONSISTENT_SUBJECTS (participants with different numbers of runs) and 113 NO_AUTHORS
# are explained in the README.
node -e '
const issues = require(process.argv[1]).issues;
const codes = (list) => list.map((i) => i.code + " " + i.key);
const unexplained = issues.warnings.filter((i) => ![38, 113].includes(i.code));
console.log("errors:", codes(issues.errors), "warnings:", codes(issues.warnings));
process.exit(issues.errors.length + unexplained.length === 0 ? 0 : 1);
' "$out/result.json"
