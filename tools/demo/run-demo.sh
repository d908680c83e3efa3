#!/usr/bin/env bash
# Builds the demo application (a Java program, its jar, an exe made by the
# builder with a .vmoptions file beside it and a bundled runtime in .\jre) and
# runs it under Wine with the diagnostic log on. The bundled runtime is a real
# Windows Java runtime (HotSpot 17 from `make runtimes`), created in the
# launcher's own process.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
: "${TOVEX_BUILD:=$ROOT/build}"
: "${JAVA_HOME:=/usr/lib/jvm/java-17-openjdk-amd64}"
export WINEPREFIX="${WINEPREFIX:-$TOVEX_BUILD/wineprefix}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
APP="$TOVEX_BUILD/demo/Hello App"
rm -rf "$APP"; mkdir -p "$APP/lib" "$TOVEX_BUILD/demo/classes"

echo "== compiling the demo program"
"$JAVA_HOME/bin/javac" --release 8 -cp "$TOVEX_BUILD/java/tovex-runtime.jar" \
  -d "$TOVEX_BUILD/demo/classes" "$ROOT/tools/demo/HelloTovex.java"
"$JAVA_HOME/bin/jar" --create --file "$APP/lib/hello.jar" -C "$TOVEX_BUILD/demo/classes" .
cp "$TOVEX_BUILD/java/tovex-runtime.jar" "$APP/lib/"

echo "== bundling a real Java runtime in .\\jre (build/runtimes/17, from make runtimes)"
if [ ! -f "$TOVEX_BUILD/runtimes/17/bin/server/jvm.dll" ]; then
  echo "demo: $TOVEX_BUILD/runtimes/17 is missing: run make runtimes" >&2; exit 1
fi
cp -a "$TOVEX_BUILD/runtimes/17" "$APP/jre"

echo "== building HelloTovex.exe with tovex-build (its icon and splash image made now)"
/usr/bin/python3 "$ROOT/tools/demo/make_demo_images.py" "$TOVEX_BUILD/demo/resources"
cp "$ROOT/tools/demo/demo.conf" "$TOVEX_BUILD/demo/resources/demo.conf"
"$TOVEX_BUILD/host/tovex-build" --stub "$TOVEX_BUILD/win/launcher-console.exe" \
  --config "$TOVEX_BUILD/demo/resources/demo.conf" --out "$APP/HelloTovex.exe"
printf -- '-Ddemo.greeting=hello from HelloTovex.vmoptions\n' > "$APP/HelloTovex.vmoptions"
"$TOVEX_BUILD/host/tovex-build" --dump "$APP/HelloTovex.exe" | head -n 12

echo "== running it under Wine: wine HelloTovex.exe first \"second one\" Grüße"
before=$(ls "$WINEPREFIX"/drive_c/users/*/Temp/mlk_nlog_* 2>/dev/null || true)
for server in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
  if [ -x "$server" ]; then export WINESERVER="$server"; break; fi
done
# Wine's desktop goes with the display: end the prefix's processes before the display ends.
run() { local rc=0; TOVEX_LOG=yes wine "$APP/HelloTovex.exe" first "second one" "Grüße" || rc=$?; "${WINESERVER:-wineserver}" -k; return $rc; }
status=0
if [ -n "${DISPLAY:-}" ]; then run || status=$?
else xvfb-run -a bash -c "APP='$APP'; $(declare -f run); run" || status=$?; fi
echo "== exit code: $status"
log=$(comm -13 <(echo "$before" | sort) <(ls "$WINEPREFIX"/drive_c/users/*/Temp/mlk_nlog_* 2>/dev/null | sort) | tail -n 1)
if [ -n "$log" ]; then
  echo "== diagnostic log ($log), last lines:"
  tail -n 25 "$log"
fi
exit $status
