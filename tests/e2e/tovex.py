"""End-to-end harness: builds launcher exes with the builder and runs them under Wine.

All runs share one Wine prefix per build (``$TOVEX_BUILD/wineprefix``) and,
when the session has started it, one Xvfb display. Runs are sequential.
"""
from __future__ import annotations

import dataclasses
import glob
import os
import pathlib
import signal
import subprocess
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("TOVEX_BUILD", ROOT / "build")).resolve()
HOST = BUILD / "host"
WIN = BUILD / "win"
BUILDER = HOST / "tovex-build"
STUBS = {"gui": WIN / "launcher-gui.exe", "console": WIN / "launcher-console.exe"}
WINEPREFIX = pathlib.Path(os.environ.get("WINEPREFIX", BUILD / "wineprefix"))
JAVA_HOME = os.environ.get("JAVA_HOME", "/usr/lib/jvm/java-17-openjdk-amd64")
RUNTIME_JAR = BUILD / "java" / "tovex-runtime.jar"
WINE_TEMP = WINEPREFIX / "drive_c" / "users" / os.environ.get("USER", "root") / "Temp"

# Exit codes of the launcher.
EXIT_OK, EXIT_FATAL, EXIT_NO_JVM = 0, 1, 83


def wine_path(path: os.PathLike | str) -> str:
    """The Windows form of a Linux path (drive Z: maps the Linux root)."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def wine_env(extra: dict | None = None) -> dict:
    env = dict(os.environ)
    env.update({"WINEPREFIX": str(WINEPREFIX), "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
    for key in ("TOVEX_LOG", "MARLOWKIT_LOG", "TOVEX_JAVA_HOME", "MARLOWKIT_JAVA_HOME"):
        env.pop(key, None)
    if extra:
        for key, value in extra.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
    return env


def build_app(directory: os.PathLike | str, config: str = "", *, stub: str = "console", name: str = "app.exe",
              sets: dict | None = None, files: dict | None = None, extra_args: list | None = None,
              check: bool = True) -> pathlib.Path:
    """Writes config to directory/app.conf and builds directory/name from the stub.

    sets: {NAME: value} given as --set NAME=value; files: {name-in-exe: path} given as --file.
    """
    directory = pathlib.Path(directory)
    directory.mkdir(parents=True, exist_ok=True)
    conf = directory / (pathlib.Path(name).stem + ".conf")
    conf.write_text(config, encoding="utf-8")
    out = directory / name
    cmd = [str(BUILDER), "--stub", str(STUBS[stub]), "--config", str(conf), "--out", str(out)]
    for key, value in (sets or {}).items():
        cmd += ["--set", f"{key}={value}"]
    for key, value in (files or {}).items():
        cmd += ["--file", f"{key}={value}"]
    cmd += extra_args or []
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if check and proc.returncode != 0:
        raise AssertionError(f"tovex-build failed ({proc.returncode}): {proc.stderr}")
    return out


@dataclasses.dataclass
class Result:
    returncode: int
    stdout: str
    stderr: str
    log: str | None          # text of the diagnostic log written by this run, if any
    log_path: pathlib.Path | None

    @property
    def log_lines(self) -> list[str]:
        return self.log.splitlines() if self.log else []


def _logs() -> set[str]:
    return set(glob.glob(str(WINE_TEMP / "mlk_nlog_*")))


def run_exe(exe: os.PathLike | str, args: list[str] | None = None, *, env: dict | None = None,
            cwd: os.PathLike | str | None = None, timeout: float = 120, log: bool = False,
            encoding: str = "cp1252") -> Result:
    """Runs exe under Wine and waits for it. log=True sets TOVEX_LOG=yes.

    The log file of the run is the mlk_nlog_* file that appeared in Wine's
    temporary directory during the run.
    """
    extra = dict(env or {})
    if log:
        extra.setdefault("TOVEX_LOG", "yes")
    before = _logs()
    cmd = ["wine", str(exe)] + list(args or [])
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(extra),
                            cwd=str(cwd) if cwd else None, start_new_session=True)
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
        raise AssertionError(f"{exe} did not end within {timeout} s; stderr: {err.decode(encoding, 'replace')}")
    new_logs = sorted(_logs() - before, key=lambda p: os.path.getmtime(p))
    log_path = pathlib.Path(new_logs[-1]) if new_logs else None
    log_text = log_path.read_bytes().decode(encoding, "replace") if log_path else None
    return Result(proc.returncode, out.decode(encoding, "replace"), err.decode(encoding, "replace"), log_text,
                  log_path)


def start_exe(exe: os.PathLike | str, args: list[str] | None = None, *, env: dict | None = None,
              cwd: os.PathLike | str | None = None, log: bool = False) -> subprocess.Popen:
    """Starts exe under Wine without waiting (stdout/stderr piped)."""
    extra = dict(env or {})
    if log:
        extra.setdefault("TOVEX_LOG", "yes")
    return subprocess.Popen(["wine", str(exe)] + list(args or []), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=wine_env(extra), cwd=str(cwd) if cwd else None, start_new_session=True)


def wait_for(predicate, timeout: float = 60, interval: float = 0.05, what: str = "condition"):
    """Polls predicate until it is true; fails after timeout (an upper bound, not a timing assertion)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError(f"timed out waiting for {what}")


def reg(*args: str, check: bool = True) -> subprocess.CompletedProcess:
    """Runs Wine's reg.exe (reg add/query/delete) in the test prefix."""
    proc = subprocess.run(["wine", "reg", *args], capture_output=True, env=wine_env())
    if check and proc.returncode != 0:
        raise AssertionError(f"wine reg {' '.join(args)} failed: {proc.stderr.decode('cp1252', 'replace')}")
    return proc


def wineserver_wait():
    subprocess.run(["wineserver", "-w"], env=wine_env())
