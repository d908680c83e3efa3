#!/bin/sh
# Builds HelloSwing.exe into OUTDIR (default: out beside this script) with the
# builder of this release: the exe, lib/ with the two jars, HelloSwing.vmoptions.
# A Java runtime copied into OUTDIR/jre is used first.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
release=$(cd "$here/../.." && pwd)
out=${1:-"$here/out"}
mkdir -p "$out/lib"
cp "$here/lib/hello-swing.jar" "$release/lib/tovex-runtime.jar" "$out/lib/"
cp "$here/HelloSwing.vmoptions" "$out/"
"$release/bin/tovex-build" --check "$here/hello-swing.conf" --app-dir "$out"
"$release/bin/tovex-build" --config "$here/hello-swing.conf" --out "$out/HelloSwing.exe"
echo "built $out/HelloSwing.exe"
