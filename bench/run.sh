#!/usr/bin/env bash
# Benchmarks: host micro-benchmarks of the start-up work, then the start-up time
# of a built launcher under Wine with and without a version-cache entry.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
: "${TOVEX_BUILD:=$ROOT/build}"
echo "== micro-benchmarks"
"$TOVEX_BUILD/host/bench/tovex_bench" --benchmark_counters_tabular=true
if [ -x "$TOVEX_BUILD/win/launcher-console.exe" ]; then
  echo "== start-up under Wine"
  /usr/bin/python3 "$ROOT/bench/startup.py"
else
  echo "== start-up under Wine skipped: run 'make' first"
fi
