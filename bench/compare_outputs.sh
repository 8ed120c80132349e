#!/usr/bin/env bash
# Checks that two builds of tarvo write byte-identical output files from the same warehouses: the demo's
# (5,000 firms x 12 periods, generated sources, ingest and silver step), a generated silver warehouse (default
# 100,000 firms x 24 periods) and one of 20,000 firms x 24 periods with diagnostic and back-test tables, whose full
# diagnostic index fits on the administrator page. Meant for changes that must not change behaviour.
#
#   bench/compare_outputs.sh BEFORE_TARVO AFTER_TARVO [FIRMS] [PERIODS]
#
# BEFORE_TARVO builds the warehouses once (so both builds read the very same files); each build then runs
# `tarvo marts` on its own copy. One more case, "pipeline", has each build run the whole demo itself (sources,
# ingest, silver step, back-test, marts, verifier) and compares its warehouse tables too, dumped sorted to CSV.
# Needs build/bench/silver_warehouse_gen and warehouse_dump (`make bench`). Prints one line per file compared
# and exits 1 when any file differs (ORDER: a JSON file with the same content in another key order).
set -euo pipefail
[[ $# -ge 2 ]] || { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
before=$(realpath "$1"); after=$(realpath "$2")
firms=${3:-100000}
periods=${4:-24}
root=$(cd "$(dirname "$0")/.." && pwd)
gen=${BUILD_DIR:-$root/build}/bench/silver_warehouse_gen
dump=${BUILD_DIR:-$root/build}/bench/warehouse_dump
for tool in "$gen" "$dump"; do
  [[ -x $tool ]] || { echo "compare_outputs: $tool is missing (run make bench)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Warehouses, built once.
"$before" demo --dir "$work/demo" >/dev/null
"$gen" "$work/big.duckdb" "$firms" "$periods" >/dev/null
"$gen" "$work/admin.duckdb" 20000 24 --with-diag --with-backtest >/dev/null

status=0
compare_files() {   # name: compares $work/<name>-before with $work/<name>-after (outputs/, tables/, console.txt)
  local name=$1 f rel
  while IFS= read -r f; do
    rel=${f#"$work/$name-before/"}
    if cmp -s "$f" "$work/$name-after/$rel"; then
      echo "same      $name/$rel ($(stat -c %s "$f") bytes)"
    elif [[ $f == *.json ]] && python3 -c 'import json,sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' \
           "$f" "$work/$name-after/$rel"; then
      # Same content, other key order: still a difference, but a different kind to look for.
      echo "ORDER     $name/$rel (same content, mapping keys in another order)"; status=1
    else
      echo "DIFFERENT $name/$rel"; status=1
    fi
  done < <(find "$work/$name-before/outputs" "$work/$name-before/tables" -type f 2>/dev/null | sort)
  if cmp -s "$work/$name-before/console.txt" "$work/$name-after/console.txt"; then
    echo "same      $name/console"
  else
    echo "DIFFERENT $name/console"; status=1
  fi
}
compare_case() {   # name, warehouse
  local name=$1 warehouse=$2 side bin
  # Both builds run at the same paths, so paths printed on the console compare equal too.
  for side in before after; do
    bin=$before; [[ $side == after ]] && bin=$after
    rm -rf "$work/run"; mkdir -p "$work/run/db"
    cp "$warehouse" "$work/run/db/ovik.duckdb"
    "$bin" marts "$work/run/db/ovik.duckdb" >"$work/run/console.txt"
    mv "$work/run" "$work/$name-$side"
  done
  compare_files "$name"
}

compare_pipeline() {   # each build runs the whole demo itself; its timing lines are left out of the console
  local side bin
  for side in before after; do
    bin=$before; [[ $side == after ]] && bin=$after
    rm -rf "$work/run"
    "$bin" demo --dir "$work/run" | grep -Ev '^  Süreler:|^    10 sources written in ' >"$work/run.console"
    "$dump" "$work/run/db/ovik.duckdb" "$work/run/tables"
    mv "$work/run.console" "$work/run/console.txt"
    mv "$work/run" "$work/pipeline-$side"
  done
  compare_files pipeline
}

compare_pipeline
compare_case demo "$work/demo/db/ovik.duckdb"
compare_case "big-${firms}x${periods}" "$work/big.duckdb"
compare_case admin-20000x24 "$work/admin.duckdb"
exit $status
