#!/bin/sh
# Whole pipeline run (`tarvo run`: ingest, silver step, marts) on a generated source tree, by
# default 100,000 firms x 12 periods. Generates the tree (timed), then runs the pipeline under
# /usr/bin/time -v and reports each step's wall time (the run's own summary line) and the peak
# memory of the whole run.
#
# Usage: bench/run_bench.sh [BUILD_DIR] [firms] [periods]
#   BUILD_DIR: a build configured with -DTARVO_BUILD_BENCH=ON (default: build; `make bench`)
#   WORK_DIR (environment): where the tree, the warehouse and the outputs go
#                           (default: /tmp/tarvo-run-bench); the tree is regenerated every time
set -eu

build=${1:-build}
firms=${2:-100000}
periods=${3:-12}
work=${WORK_DIR:-/tmp/tarvo-run-bench}

cmake --build "$build" --target tarvo source_tree_gen -j2 >/dev/null

mkdir -p "$work/db"
tree="$work/source"
echo "== source tree: $firms firms x $periods periods"
"$build/bench/source_tree_gen" "$tree" "$firms" "$periods"
echo "   $(du -sh "$tree" | cut -f1) in $(find "$tree" -type f | wc -l) files"

echo "== tarvo run"
status=0
/usr/bin/time -v "$build/tarvo" run "$tree" "$work/db/ovik.duckdb" \
    >"$work/run.out" 2>"$work/run.time" || status=$?
if [ "$status" -ne 0 ]; then
    cat "$work/run.out"
    cat "$work/run.time"
    echo "tarvo run failed with status $status"
    exit "$status"
fi
grep -E "^(  (brz_|Bronze|Building|Süreler)|    (son_12|fact_periodic|dim_entity|diag_|scoreboard:))" "$work/run.out" || true
grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$work/run.time" | sed 's/^[[:space:]]*/   /'
echo "   warehouse $(du -h "$work/db/ovik.duckdb" | cut -f1), outputs $(du -sh "$work/outputs" | cut -f1)"
