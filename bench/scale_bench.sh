#!/usr/bin/env bash
# The portfolio-scale figures in one run, each against its goal or its reference, with wall time and peak memory
# (/usr/bin/time -v around each process):
#   marts-1m    tarvo marts, 1,000,000 firms x 12 periods                         goal <= 15 s, <= 1 GB
#   marts-100k  tarvo marts, 100,000 x 24 with diagnostic and back-test tables,
#               against the warehouse engine alone pivoting the same facts and
#               writing them (and the diagnostic and back-test tables) as JSON     goal <= 1.3 x, <= 400 MB
#   diag-slim   the slim diagnostic index of 20,000,000 findings, against its
#               aggregate query alone (bench/diag_slim_bench)                       goal <= 1.3 x, <= 150 MB beyond
#   ingest-kik  ingest of a 1,000,000-row monitoring list, against the engine
#               reading the same rows into a table (bench/ingest_kik_bench)         goal <= 1.5 x time and memory
#
#   bench/scale_bench.sh [--quick] [--runs N] [ROW...]     (after `make bench`)
#
# --quick divides every size by ten (to try the script, not to quote). --runs N (default 3) measures each row N
# times, a row's process and its reference taking turns, and reports the median times (their ratio is the ratio of
# the medians), the highest peak and every run's time: this machine's speed moves by a fifth or more between runs.
# ROW names limit the run to those rows.
# BUILD_DIR picks the build (default build/); scratch files (a few GB) go to a temporary directory under TMPDIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
scale=1 runs=3
while [[ ${1:-} == --* ]]; do
  case $1 in
    --quick) scale=10; shift ;;
    --runs) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || { echo "scale_bench: --runs needs a whole number above 0" >&2; exit 2; }
            runs=$2; shift 2 ;;
    *) echo "scale_bench: unknown option $1 (--quick, --runs N)" >&2; exit 2 ;;
  esac
done
rows=("$@"); [[ ${#rows[@]} -gt 0 ]] || rows=(marts-1m marts-100k diag-slim ingest-kik)
for tool in tarvo bench/silver_warehouse_gen bench/warehouse_sql bench/diag_slim_bench bench/ingest_kik_bench; do
  [[ -x $build/$tool ]] || { echo "scale_bench: $build/$tool is missing (run make bench)" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-scale.XXXXXX")
trap 'rm -rf "$work"' EXIT

# measure NAME COMMAND...: runs it under /usr/bin/time -v (output in $work/NAME.out); sets wall (s) and peak (kB).
wall=0; peak=0
measure() {
  local name=$1; shift
  /usr/bin/time -v -o "$work/$name.time" "$@" >"$work/$name.out" 2>&1 \
    || { cat "$work/$name.out" >&2; echo "scale_bench: $name failed" >&2; exit 1; }
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/$name.time" |
         awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/$name.time")
}

# median NUMBER...: the middle one (the mean of the two middle ones for an even count).
median() {
  printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

# measure_runs NAME [DIR...]: runs the command in the array tool_cmd, after the one in ref_cmd when that is not
# empty, $runs times, taking turns; sets wall and ref_wall (medians, s), peak and ref_peak (highest, kB), and times
# (each run's seconds, "tool/reference"). Before every run, untimed, what the DIRs hold (the runs' outputs) is
# removed and what is still on its way to disk is written (sync), so each run starts as the first did: replacing
# a gigabyte written moments before cost about a second more, and a run beside the disk still writing the one
# before it (or the generated warehouse) took seconds longer.
clear_outputs() {
  local dir
  for dir in "$@"; do rm -rf "${dir:?}"/*; done
  sync
}
measure_runs() {
  local name=$1 i tool_walls=() ref_walls=() tool_peak=0
  local outputs=("${@:2}")
  ref_wall=0 ref_peak=0 times=""
  for ((i = 1; i <= runs; i++)); do
    if [[ ${#ref_cmd[@]} -gt 0 ]]; then
      clear_outputs "${outputs[@]}"
      measure "$name-ref" "${ref_cmd[@]}"
      ref_walls+=("$wall"); ((peak > ref_peak)) && ref_peak=$peak
    fi
    clear_outputs "${outputs[@]}"
    measure "$name" "${tool_cmd[@]}"
    tool_walls+=("$wall"); ((peak > tool_peak)) && tool_peak=$peak
    times+="${times:+, }$wall${ref_walls[*]:+/${ref_walls[-1]}}"
  done
  wall=$(median "${tool_walls[@]}") peak=$tool_peak
  [[ ${#ref_walls[@]} -eq 0 ]] || ref_wall=$(median "${ref_walls[@]}")
}

mb() { awk -v k="$1" 'BEGIN { printf "%.0f MB", k / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f x", a / b }'; }
report() { printf '%-11s %s\n' "$1" "$2"; }

row_marts_1m() {
  local firms=$((1000000 / scale))
  mkdir -p "$work/m1/db"
  "$build/bench/silver_warehouse_gen" "$work/m1/db/ovik.duckdb" "$firms" 12 >/dev/null
  ref_cmd=() tool_cmd=("$build/tarvo" marts "$work/m1/db/ovik.duckdb")
  measure_runs marts-1m "$work/m1/outputs"
  report marts-1m "$firms firms x 12: ${wall} s, peak $(mb "$peak")   (goal <= 15 s, <= 1024 MB)   runs: $times s"
  rm -rf "$work/m1"
}

row_marts_100k() {
  local firms=$((100000 / scale)) db="$work/m2/db/ovik.duckdb" out="$work/m2/ref"
  mkdir -p "$work/m2/db"
  "$build/bench/silver_warehouse_gen" "$db" "$firms" 24 --with-diag --with-backtest >/dev/null
  cp "$db" "$work/m2/reference.duckdb"
  mkdir -p "$out"
  local copies=(
    "COPY (SELECT d.segment, d.sube_kodu, d.bolge_kodu, m.unvan, p.* FROM (PIVOT fact_periodic ON donem
       USING first(ovik_skor) AS ovik, first(kombine_risk) AS r, first(risk_degisim) AS rd GROUP BY entity_id) p
       JOIN dim_entity d USING (entity_id) JOIN map_identity m USING (entity_id) ORDER BY entity_id)
     TO '$out/scoreboard.json' (FORMAT JSON, ARRAY true)"
    "COPY (SELECT muta, donem, grup, count(*) AS bulgu, sum(yeni) AS yeni, list(aciklama) AS aciklama
       FROM diag_eus_kapsam_diskalma GROUP BY ALL ORDER BY ALL) TO '$out/diag.json' (FORMAT JSON, ARRAY true)")
  for model in eus yis ml; do
    copies+=("COPY backtest_$model TO '$out/backtest_$model.json' (FORMAT JSON, ARRAY true)"
             "COPY backtest_${model}_firma TO '$out/backtest_${model}_firma.json' (FORMAT JSON, ARRAY true)")
  done
  ref_cmd=("$build/bench/warehouse_sql" "$work/m2/reference.duckdb" "${copies[@]}") tool_cmd=("$build/tarvo" marts "$db")
  measure_runs marts-100k "$work/m2/outputs" "$out"
  report marts-100k "$firms firms x 24: tarvo ${wall} s, peak $(mb "$peak"); engine alone ${ref_wall} s, peak $(mb "$ref_peak"); $(ratio "$wall" "$ref_wall")   (goal <= 1.3 x, <= 400 MB)   runs: $times s"
  rm -rf "$work/m2"
}

row_diag_slim() {
  local findings=$((20000000 / scale))
  "$build/bench/diag_slim_bench" --rows "$findings" --repeat "$runs" --dir "$work/diag" >"$work/diag.out" 2>&1 \
    || { cat "$work/diag.out" >&2; exit 1; }
  # Per run: "query alone: T s, ... peak P MB" and "slim index: T s, ... peak P MB, ..."
  local q_walls s_walls q_peak s_peak
  mapfile -t q_walls < <(sed -n 's/^query alone: \([0-9.]*\) s.*/\1/p' "$work/diag.out")
  mapfile -t s_walls < <(sed -n 's/^slim index: \([0-9.]*\) s.*/\1/p' "$work/diag.out")
  q_peak=$(sed -n 's/^query alone: .*, peak \([0-9.]*\) MB.*/\1/p' "$work/diag.out" | sort -g | tail -n1)
  s_peak=$(sed -n 's/^slim index: .*, peak \([0-9.]*\) MB,.*/\1/p' "$work/diag.out" | sort -g | tail -n1)
  local q_wall s_wall i
  q_wall=$(median "${q_walls[@]}") s_wall=$(median "${s_walls[@]}") times=""
  for i in "${!s_walls[@]}"; do times+="${times:+, }${s_walls[i]}/${q_walls[i]}"; done
  report diag-slim "$findings findings: index ${s_wall} s, peak ${s_peak} MB; query alone ${q_wall} s, peak ${q_peak} MB; $(ratio "$s_wall" "$q_wall"), $(awk -v a="$s_peak" -v b="$q_peak" 'BEGIN { printf "%.0f MB", a - b }') beyond   (goal <= 1.3 x, <= 150 MB beyond)   runs: $times s"
  rm -rf "$work/diag"
}

row_ingest_kik() {
  local lines=$((1000000 / scale))
  "$build/bench/ingest_kik_bench" generate "$work/kik" "$lines" >/dev/null 2>&1
  ref_cmd=("$build/bench/ingest_kik_bench" reference "$work/kik") tool_cmd=("$build/bench/ingest_kik_bench" ingest "$work/kik")
  measure_runs ingest-kik
  report ingest-kik "$lines rows: ingest ${wall} s, peak $(mb "$peak"); engine alone ${ref_wall} s, peak $(mb "$ref_peak"); time $(ratio "$wall" "$ref_wall"), memory $(ratio "$peak" "$ref_peak")   (goal <= 1.5 x both)   runs: $times s"
  rm -rf "$work/kik"
}

echo "scale_bench: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), build $build"
for row in "${rows[@]}"; do
  case $row in
    marts-1m) row_marts_1m ;;
    marts-100k) row_marts_100k ;;
    diag-slim) row_diag_slim ;;
    ingest-kik) row_ingest_kik ;;
    *) echo "scale_bench: unknown row $row (marts-1m, marts-100k, diag-slim, ingest-kik)" >&2; exit 2 ;;
  esac
done
