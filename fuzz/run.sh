#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for FUZZ_SECONDS (default 60)
# from its seed corpus (fuzz/corpus/<name>) and the corpus it has grown so far
# (<build>/fuzz/corpus/<name>). FUZZ_TARGETS limits the run to some names. Prints
# the executions reached per target; fails when a target finds a fault (the input
# is kept as <build>/fuzz/crash-*).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${TOVEX_BUILD:-$ROOT/build}"
OUT="$BUILD/fuzz"
SECONDS_EACH="${FUZZ_SECONDS:-60}"
cmake -S "$ROOT/fuzz" -B "$OUT" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$OUT" -j"${JOBS:-2}" >"$OUT/build.log" 2>&1 || { tail -40 "$OUT/build.log"; exit 1; }
targets="${FUZZ_TARGETS:-$(cd "$ROOT/fuzz" && ls ./*_fuzz.cpp | sed 's|^\./||; s|_fuzz\.cpp$||')}"
failed=0
summary=""
for target in $targets; do
  mkdir -p "$OUT/corpus/$target"
  seeds=()
  [ -d "$ROOT/fuzz/corpus/$target" ] && seeds=("$ROOT/fuzz/corpus/$target")
  max_len=4096
  limits=()
  # The images it decodes have at most a million pixels: a larger allocation is a finding
  # (a header declaring a huge size, a chunk claiming more than the file holds).
  [ "$target" = resource_inputs ] && limits=(-malloc_limit_mb=256)
  if [ "$target" = resources ]; then
    # Whole stub images: longer inputs, and the launcher stubs of this build as seeds
    # (no changes, then the changes of the writer's tests).
    max_len=262144
    mkdir -p "$OUT/seeds/$target"
    for stub in "$BUILD"/win/launcher-*.exe; do
      [ -f "$stub" ] || continue
      { printf '\0'; cat "$stub"; } >"$OUT/seeds/$target/$(basename "$stub" .exe)"
      { head -z -n 1 "$ROOT/fuzz/corpus/$target/seed00"; cat "$stub"; } \
        >"$OUT/seeds/$target/$(basename "$stub" .exe)-changes"
    done
    seeds+=("$OUT/seeds/$target")
  fi
  log="$OUT/$target.log"
  if (cd "$OUT" && "./fuzz_$target" -max_total_time="$SECONDS_EACH" -max_len="$max_len" -timeout=20 \
        "${limits[@]}" "$OUT/corpus/$target" "${seeds[@]}") >"$log" 2>&1; then
    runs="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)"
    line="fuzz_$target: ${runs:-?} executions in $SECONDS_EACH s"
  else
    failed=$((failed + 1))
    line="fuzz_$target: FAILED (log $log)"
    tail -60 "$log"
  fi
  echo "$line"
  summary+="$line"$'\n'
done
printf '== fuzz summary\n%s' "$summary"
[ "$failed" -eq 0 ]
