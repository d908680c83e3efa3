#!/usr/bin/env bash
# Runs every test suite: host unit tests (also under ASan and UBSan), a fuzz smoke
# run, Windows unit tests under Wine, the
# Java runtime's JUnit tests and the end-to-end scenarios under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
: "${TOVEX_BUILD:?run through make test}"
# Without Wine's preloader (Debian's wine64 has none) a start fails now and then when
# Linux happens to map a library onto an address Windows programs need ("failed to map
# the shared user data", exit code 1): every suite runs with address randomization off,
# so that every start gets the same layout (docs/testing.md, "Wine starts").
personality=$(cat /proc/self/personality 2>/dev/null || echo 0)
if [ $(( 0x$personality & 0x0040000 )) -eq 0 ]; then  # ADDR_NO_RANDOMIZE not set yet
  exec setarch "$(uname -m)" -R bash "$0" "$@"
fi
# Debian's wineserver wrapper passes -p0 (the server ends with its last process, so
# every run would start Wine cold): use the server binary itself, kept up for the run.
for server in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
  if [ -x "$server" ]; then export WINESERVER="$server"; break; fi
done
passed=0
failed=0
run() {
  echo "== $*"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "== FAILED: $*"; fi
}
run ctest --test-dir "$TOVEX_BUILD/host" --output-on-failure
# The same host and builder tests under ASan and UBSan, and every fuzz target for a few seconds.
run ctest --test-dir "$TOVEX_BUILD/host-asan" --output-on-failure
run env FUZZ_SECONDS="${FUZZ_SMOKE_SECONDS:-3}" bash fuzz/run.sh
bash tests/wine-prefix.sh
"${WINESERVER:-wineserver}" -k 2>/dev/null
"${WINESERVER:-wineserver}" -w 2>/dev/null
"${WINESERVER:-wineserver}" -p
# Wine's helper processes start with the first program and inherit its standard
# handles; started here with none, they cannot keep a test runner's pipes open.
wine cmd /c exit </dev/null >/dev/null 2>&1
run ctest --test-dir "$TOVEX_BUILD/win" --output-on-failure
run make -C java test OUT="$TOVEX_BUILD/java"
run /usr/bin/python3 -m pytest -q tests/e2e
WINEPREFIX="$TOVEX_BUILD/wineprefix" "${WINESERVER:-wineserver}" -k 2>/dev/null || true
echo "test suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
