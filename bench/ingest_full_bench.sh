#!/bin/sh
# Full bronze ingest of a generated source tree: all ten kinds of extract, by default 100,000
# firms x 12 periods. Generates the tree once (kept between runs in WORK_DIR), then runs the
# ingest under /usr/bin/time -v and reports wall time and peak memory.
#
# Usage: bench/ingest_full_bench.sh [BUILD_DIR] [firms] [periods]
#   BUILD_DIR: a build configured with -DTARVO_BUILD_BENCH=ON (default: build)
#   WORK_DIR (environment): where the tree and the warehouse go (default: /tmp/tarvo-ingest-bench)
set -eu

build=${1:-build}
firms=${2:-100000}
periods=${3:-12}
work=${WORK_DIR:-/tmp/tarvo-ingest-bench}
prog="$build/bench/ingest_full_bench"

cmake --build "$build" --target ingest_full_bench -j2 >/dev/null
tree="$work/tree-$firms-$periods"
mkdir -p "$work"
if [ ! -d "$tree/kredi_db" ]; then
    echo "generating $tree"
    "$prog" generate "$tree" "$firms" "$periods"
fi
echo "source tree: $(du -sh "$tree" | cut -f1), $(find "$tree" -type f | wc -l) files"

/usr/bin/time -v "$prog" ingest "$tree" "$work/ovik.duckdb" >"$work/ingest.out" 2>"$work/ingest.time"
cat "$work/ingest.out"
grep -E "Elapsed \(wall clock\)|Maximum resident set size|User time|System time" "$work/ingest.time"
echo "warehouse: $(du -h "$work/ovik.duckdb" | cut -f1)"
