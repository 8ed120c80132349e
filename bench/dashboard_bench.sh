#!/usr/bin/env bash
# Times the full dashboard of a generated run (default 100,000 firms x 24 periods) in headless
# Chromium: page open until the table shows, search and sort over every embedded row.
#   bench/dashboard_bench.sh [FIRMS] [PERIODS]     (after `make bench`)
set -euo pipefail
source "$(dirname "$0")/generated_warehouse.sh"
"$build/tarvo" marts "$work/db/ovik.duckdb" >/dev/null
for run in 1 2 3; do
  echo "run $run"
  node "$root/bench/dashboard_bench.js" "$work/outputs/html/ovik_dashboard.html"
done
