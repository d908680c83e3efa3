"""Helpers for the appended-files and single-instance scenarios."""
from __future__ import annotations

import glob
import os
import pathlib
import re
import subprocess

import tovex


def linux_path(windows_path: str) -> pathlib.Path:
    """The Linux path of a Windows path of the test prefix (C:\\ is drive_c, Z:\\ the Linux root)."""
    drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/").lstrip("/")
    if drive == "z":
        return pathlib.Path("/") / rest
    if drive == "c":
        # Wine keeps the case of what it created; look the path up case-insensitively.
        path = tovex.WINEPREFIX / "drive_c"
        for part in [p for p in rest.split("/") if p]:
            match = [c for c in (os.listdir(path) if path.is_dir() else []) if c.lower() == part.lower()]
            path = path / (match[0] if match else part)
        return path
    raise ValueError(f"no Linux path for {windows_path}")


def log_value(log: str | None, pattern: str) -> str | None:
    """The first group of the first log line that matches pattern."""
    for line in (log or "").splitlines():
        m = re.fullmatch(pattern, line)
        if m:
            return m.group(1)
    return None


def extraction_dir(log: str | None) -> pathlib.Path | None:
    value = log_value(log, r"Temp dir: (.*)")
    return linux_path(value) if value else None


def option_value(options: list[str], name: str) -> str | None:
    """The value of -Dname=... among VM options."""
    prefix = f"-D{name}="
    values = [o[len(prefix):] for o in options if o.startswith(prefix)]
    return values[-1] if values else None


def patch_bytes(exe: pathlib.Path, old: bytes, new: bytes) -> None:
    """Replaces the one occurrence of old in exe by new of the same length."""
    assert len(old) == len(new), (old, new)
    data = exe.read_bytes()
    assert data.count(old) == 1, f"{old!r} occurs {data.count(old)} times"
    exe.write_bytes(data.replace(old, new))


def new_logs(before: set[str]) -> list[pathlib.Path]:
    return sorted((pathlib.Path(p) for p in set(glob.glob(str(tovex.WINE_TEMP / "mlk_nlog_*"))) - before),
                  key=lambda p: p.stat().st_mtime)


def all_logs() -> set[str]:
    return set(glob.glob(str(tovex.WINE_TEMP / "mlk_nlog_*")))


def read_log(path: pathlib.Path) -> str:
    """A log in the launcher's code page: UTF-8 by default, Windows-1252 for a launcher that opted out."""
    return tovex.decode_text(path.read_bytes())


def windows_pid(rt) -> int:
    """The Windows process id of the last process that loaded the runtime's jvm.dll."""
    lines = rt.last_run()
    assert lines and lines[0].startswith("load pid="), lines[:1]
    return int(lines[0].split("=", 1)[1])


def taskkill(pid: int) -> None:
    subprocess.run(["wine", "taskkill", "/F", "/PID", str(pid)], capture_output=True, env=tovex.wine_env(),
                   timeout=60)


def finish(procs) -> None:
    """Kills whatever of procs still runs and collects them (nothing is left running)."""
    for proc in procs:
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, 9)
            except ProcessLookupError:
                pass
        try:
            proc.communicate(timeout=30)
        except Exception:  # noqa: BLE001 - best effort in clean-up
            pass


def environment_value(name: str) -> tuple[str, str] | None:
    """(type, data) of a value under HKCU\\Environment, or None."""
    proc = tovex.reg("query", "HKCU\\Environment", "/v", name, check=False)
    for line in proc.stdout.decode("cp1252", "replace").splitlines():
        parts = line.split(None, 2)
        if len(parts) == 3 and parts[0] == name:
            return parts[1], parts[2]
    return None


class TempOverride:
    """Points TMP and TEMP of later Wine processes at a directory; restore() puts the old values back."""

    def __init__(self, directory: pathlib.Path):
        directory.mkdir(parents=True, exist_ok=True)
        self.saved = {name: environment_value(name) for name in ("TMP", "TEMP")}
        for name in self.saved:
            tovex.reg("add", "HKCU\\Environment", "/v", name, "/t", "REG_SZ", "/d", tovex.wine_path(directory), "/f")

    def restore(self):
        for name, old in self.saved.items():
            if old is None:
                tovex.reg("delete", "HKCU\\Environment", "/v", name, "/f", check=False)
            else:
                tovex.reg("add", "HKCU\\Environment", "/v", name, "/t", old[0], "/d", old[1], "/f")
