#!/usr/bin/env bash
# Times `tarvo marts` on a generated warehouse (default 100,000 firms x 24 periods):
# wall time and peak resident memory from /usr/bin/time -v.
#   bench/marts_bench.sh [FIRMS] [PERIODS]     (after `make bench`)
set -euo pipefail
source "$(dirname "$0")/generated_warehouse.sh"
/usr/bin/time -v "$build/tarvo" marts "$work/db/ovik.duckdb" >"$work/out.txt" 2>"$work/time.txt"
grep -E "scoreboard:|segment" "$work/out.txt"
grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$work/time.txt"
ls -l "$work/outputs/json" "$work/outputs/html" | awk '{print $5, $9}'
