#!/usr/bin/env bash
# Creates the private Wine prefix of this build once (WINEPREFIX is exported by the Makefile).
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.tovex-ready" ]; then
  mkdir -p "$WINEPREFIX"
  echo "wine-prefix: creating $WINEPREFIX"
  DISPLAY= wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # No window manager runs under Xvfb: unmanaged windows avoid a stall in DestroyWindow.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tovex-ready"
fi
