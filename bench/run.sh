#!/usr/bin/env bash
# `make bench`: the table of ratios of the launcher against baseline programs
# under Wine (bench/bench.py), then the host micro-benchmarks of the start-up
# work as the second table. Both go to the terminal and to bench/results.md.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
: "${TOVEX_BUILD:=$ROOT/build}"
export TOVEX_BUILD
OUT="${BENCH_OUT:-$ROOT/bench/results.md}"
echo "== start-up and extraction under Wine: ratios against baselines"
/usr/bin/python3 "$ROOT/bench/bench.py" --out "$OUT"
echo "== host micro-benchmarks"
micro="$TOVEX_BUILD/host/bench/tovex_bench"
if [ -x "$micro" ]; then
  table=$("$micro" --benchmark_color=false --benchmark_counters_tabular=true 2>&1)
else
  table="tovex_bench was not built (Google Benchmark missing: run 'make deps')"
fi
echo "$table"
{ echo; echo "## Host micro-benchmarks (tovex_bench)"; echo; echo '```'; echo "$table"; echo '```'; } >> "$OUT"
