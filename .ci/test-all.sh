#!/usr/bin/env bash
# Runs every test suite: host unit tests, Windows unit tests under Wine, the
# Java runtime's JUnit tests and the end-to-end scenarios under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
: "${TOVEX_BUILD:?run through make test}"
status=0
run() { echo "== $*"; "$@" || status=1; }
run ctest --test-dir "$TOVEX_BUILD/host" --output-on-failure
run bash tests/wine-prefix.sh
run ctest --test-dir "$TOVEX_BUILD/win" --output-on-failure -LE slow
run make -C java test OUT="$TOVEX_BUILD/java"
run /usr/bin/python3 -m pytest -q tests/e2e
run ctest --test-dir "$TOVEX_BUILD/win" --output-on-failure -L slow
WINEPREFIX="$TOVEX_BUILD/wineprefix" wineserver -k 2>/dev/null || true
exit $status
