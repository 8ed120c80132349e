#!/bin/sh
# The monitoring-list ingest of one generated extract (default 1,000,000 rows, Windows-1254,
# ";"), timed against the warehouse engine reading the same rows, already UTF-8, into a table
# by itself. Reports wall time and peak memory of each (/usr/bin/time -v) and their ratio.
#
# Usage: bench/ingest_kik_bench.sh [BUILD_DIR] [rows]
#   BUILD_DIR: a build configured with -DTARVO_BUILD_BENCH=ON (default: build)
#   WORK_DIR (environment): where the files and warehouses go (default: /tmp/tarvo-kik-bench)
set -eu

build=${1:-build}
rows=${2:-1000000}
work=${WORK_DIR:-/tmp/tarvo-kik-bench}
prog="$build/bench/ingest_kik_bench"

cmake --build "$build" --target ingest_kik_bench -j2 >/dev/null
mkdir -p "$work"
"$prog" generate "$work" "$rows" 2>/dev/null
echo "extract: $rows rows, $(du -h "$work/src/kik_data_ham_csv/Kurumsal_20250302.csv" | cut -f1) (cp1254)"

measure() {   # measure NAME -> prints the wall seconds and peak kB of "$prog NAME $work"
    /usr/bin/time -v "$prog" "$1" "$work" >"$work/$1.out" 2>"$work/$1.time"
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/$1.time" |
           awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$1.time")
    echo "$wall $peak"
}

set -- $(measure reference); ref_wall=$1; ref_peak=$2
set -- $(measure ingest); ing_wall=$1; ing_peak=$2
grep -E "brz_kik_izleme" "$work/ingest.out" | head -1
echo "reference (read_csv into a table): ${ref_wall} s, peak ${ref_peak} kB"
echo "tarvo ingest (monitoring list):    ${ing_wall} s, peak ${ing_peak} kB"
awk -v a="$ing_wall" -v b="$ref_wall" 'BEGIN { printf "ratio: %.2fx\n", a / b }'
