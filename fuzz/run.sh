#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each for FUZZ_SECONDS (default 60).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${TOVEX_BUILD:-$ROOT/build}/fuzz"
cmake -S "$ROOT/fuzz" -B "$OUT" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$OUT" -j2
for target in block_decoder tokenizer version_output; do
  mkdir -p "$OUT/corpus/$target"
  echo "== fuzz_$target (${FUZZ_SECONDS:-60} s)"
  "$OUT/fuzz_$target" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 "$OUT/corpus/$target"
done
