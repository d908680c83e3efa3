#!/usr/bin/env python3
"""Downloads, verifies and unpacks the pinned ziglang wheel of zig.lock.

    fetch_zig.py --out build/zig [--cache DIR] [--lock FILE]

The wheel's folder ziglang/ is unpacked into OUT/ziglang (tools/pinned_wheels.py does the
fetching with `pip download`, never installing, the hash check and the unpacking into
OUT/ziglang.partial, renamed when complete). OUT/ziglang/zig is then the compiler driver
(`zig c++ -target ...`). A tree whose stamp names the locked hash is kept: a second run downloads
nothing.
"""
from __future__ import annotations

import argparse
import os
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))
import pinned_wheels  # noqa: E402

PREFIX = "ziglang/"
STAMP = ".tovex-zig"


def read_lock(path: pathlib.Path) -> tuple[str, str, str]:
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            version, wheel, sha = line.split()
            return version, wheel, sha
    raise pinned_wheels.FetchError(f"{path}: no ziglang line")


def driver_missing(tree: pathlib.Path) -> str | None:
    zig = tree / "zig"
    if not zig.is_file():
        return f"{PREFIX}zig"
    os.chmod(zig, 0o755)
    return None


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--cache", type=pathlib.Path)
    parser.add_argument("--lock", type=pathlib.Path, default=HERE / "zig.lock")
    args = parser.parse_args()
    out = args.out.resolve()
    tree = out / "ziglang"
    try:
        version, wheel, sha = read_lock(args.lock)
        if pinned_wheels.is_current(tree, STAMP, sha):
            return 0
        path = pinned_wheels.verified_wheel("ziglang", version, wheel, sha, "manylinux_2_12_x86_64",
                                            (args.cache or out / "wheels").resolve())
        pinned_wheels.unpack(path, PREFIX, tree, STAMP, sha, driver_missing)
    except pinned_wheels.FetchError as e:
        print(f"zig: {e}", file=sys.stderr)
        return 1
    print(f"zig: ziglang {version} in {tree}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
