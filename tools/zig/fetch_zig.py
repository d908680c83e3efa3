#!/usr/bin/env python3
"""Downloads, verifies and unpacks the pinned ziglang wheel of zig.lock.

    fetch_zig.py --out build/zig [--cache DIR]

The wheel is fetched with `pip download` (never installed) into the cache folder (OUT/wheels by
default), checked against its locked sha256 and unpacked into OUT/ziglang.partial, which is renamed
to OUT/ziglang when complete. OUT/ziglang/zig is then the compiler driver (`zig c++ -target ...`).
A tree whose stamp names the locked hash is kept: a second run downloads nothing.
"""
from __future__ import annotations

import argparse
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
PREFIX = "ziglang/"
STAMP = ".tovex-zig"


def read_lock(path: pathlib.Path) -> tuple[str, str, str]:
    for line in path.read_text(encoding="utf-8").splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            version, wheel, sha = line.split()
            return version, wheel, sha
    fail(f"{path}: no ziglang line")
    raise AssertionError


def fail(message: str) -> None:
    print(f"zig: {message}", file=sys.stderr)
    sys.exit(1)


def sha256(path: pathlib.Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def download(version: str, wheel: str, cache: pathlib.Path) -> pathlib.Path:
    target = cache / wheel
    if target.exists():
        return target
    cmd = [sys.executable, "-m", "pip", "download", "--no-deps", "--only-binary=:all:",
           "--platform", "manylinux_2_12_x86_64", "--python-version", "3.11", "--disable-pip-version-check",
           "-q", "-d", str(cache), f"ziglang=={version}"]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0 or not target.exists():
        reason = (proc.stderr.strip().splitlines() or ["no wheel " + wheel])[-1]
        fail(f"could not download ziglang=={version} ({reason})")
    return target


def unpack(wheel: pathlib.Path, tree: pathlib.Path, sha: str) -> None:
    partial = tree.with_name(tree.name + ".partial")
    shutil.rmtree(partial, ignore_errors=True)
    with zipfile.ZipFile(wheel) as z:
        for info in z.infolist():
            if not info.filename.startswith(PREFIX) or info.is_dir():
                continue
            relative = info.filename[len(PREFIX):]
            if relative.startswith("/") or ".." in relative.split("/"):
                fail(f"{wheel.name}: unsafe member {info.filename}")
            out = partial / relative
            out.parent.mkdir(parents=True, exist_ok=True)
            with z.open(info) as src, open(out, "wb") as dst:
                shutil.copyfileobj(src, dst)
            if (info.external_attr >> 16) & 0o111:
                os.chmod(out, 0o755)
    zig = partial / "zig"
    if not zig.is_file():
        shutil.rmtree(partial, ignore_errors=True)
        fail(f"{wheel.name} holds no {PREFIX}zig")
    os.chmod(zig, 0o755)
    (partial / STAMP).write_text(sha + "\n")
    shutil.rmtree(tree, ignore_errors=True)
    partial.rename(tree)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--cache", type=pathlib.Path)
    parser.add_argument("--lock", type=pathlib.Path, default=HERE / "zig.lock")
    args = parser.parse_args()
    out = args.out.resolve()
    tree = out / "ziglang"
    version, wheel, sha = read_lock(args.lock)
    stamp = tree / STAMP
    if stamp.exists() and stamp.read_text().strip() == sha:
        return 0
    cache = (args.cache or out / "wheels").resolve()
    cache.mkdir(parents=True, exist_ok=True)
    path = download(version, wheel, cache)
    actual = sha256(path)
    if actual != sha:
        path.unlink()
        fail(f"{wheel}: sha256 {actual} is not the locked {sha}")
    unpack(path, tree, sha)
    print(f"zig: ziglang {version} in {tree}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
