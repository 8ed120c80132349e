#!/usr/bin/env bash
# The predictor and the back-test run on a generated pipeline warehouse (default 100,000 firms x
# 12 periods): builds the source tree, ingests it and runs the silver step (untimed), then times
# `tarvo backtest` and run_predictions (bench/predictor_bench) with /usr/bin/time -v.
#   bench/predictor_bench.sh [FIRMS] [PERIODS]     (after `make bench`)
#   WORK_DIR (environment): where the tree and the warehouse go (default: a temporary directory)
set -euo pipefail
firms=${1:-100000}
periods=${2:-12}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
work=${WORK_DIR:-$(mktemp -d)}
[[ -n "${WORK_DIR:-}" ]] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/db"
db="$work/db/ovik.duckdb"

echo "== warehouse: $firms firms x $periods periods"
"$build/bench/source_tree_gen" "$work/source" "$firms" "$periods" >/dev/null
"$build/tarvo" ingest "$work/source" "$db" >/dev/null
"$build/tarvo" transform "$db" | grep -E "fact_periodic:" || true

echo "== tarvo backtest"
/usr/bin/time -v "$build/tarvo" backtest "$db" >"$work/bt.out" 2>"$work/bt.time"
cat "$work/bt.out"
grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$work/bt.time" | sed 's/^[[:space:]]*/   /'

echo "== run_predictions"
/usr/bin/time -v "$build/bench/predictor_bench" "$db" >"$work/pred.out" 2>"$work/pred.time"
cat "$work/pred.out"
grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$work/pred.time" | sed 's/^[[:space:]]*/   /'
