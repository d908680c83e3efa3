#!/bin/sh
# Builds HelloConsole.exe into OUTDIR (default: out beside this script) with the
# builder of this release. The jars go inside the exe; HelloConsole.vmoptions
# goes beside it. A Java runtime copied into OUTDIR/jre is used first.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
release=$(cd "$here/../.." && pwd)
out=${1:-"$here/out"}
mkdir -p "$out"
cp "$here/HelloConsole.vmoptions" "$out/"
"$release/bin/tovex-build" --check "$here/hello-console.conf" --app-dir "$out"
"$release/bin/tovex-build" --config "$here/hello-console.conf" --out "$out/HelloConsole.exe"
echo "built $out/HelloConsole.exe"
