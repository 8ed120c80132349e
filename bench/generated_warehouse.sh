# Sourced by the benchmarks that run on a generated warehouse, with the caller's arguments
# [FIRMS] [PERIODS] (default 100,000 x 24): sets root, build and work (a temporary directory removed
# on exit) and writes the warehouse $work/db/ovik.duckdb with bench/silver_warehouse_gen.
firms=${1:-100000}
periods=${2:-24}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/db"
"$build/bench/silver_warehouse_gen" "$work/db/ovik.duckdb" "$firms" "$periods"
