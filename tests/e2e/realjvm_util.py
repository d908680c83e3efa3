"""Real Windows Java runtimes for the end-to-end scenarios (marker ``realjvm``).

`make runtimes` unpacks the pinned runtimes of tools/runtimes/runtimes.lock into
$TOVEX_BUILD/runtimes/<major>/ (jlink'ed HotSpot homes). The scenarios build exes with the
builder whose class path holds the program of tests/e2e/realjvm/ (compiled once per session)
and tovex-runtime.jar, and run them under Wine against those homes.

The program writes what it was given into a report file (UTF-8 "key=value" lines) and then
does what its first argument asks (see Main.java).
"""
from __future__ import annotations

import errno
import os
import re
import pathlib
import shutil
import subprocess

import tovex

RUNTIMES = tovex.BUILD / "runtimes"
MAJORS = ("17", "21", "25")
SOURCES = pathlib.Path(__file__).resolve().parent / "realjvm"
APP_JAR = tovex.BUILD / "realjvm" / "realapp.jar"
ENV_NAME = "TOVEX_E2E_JAVA"     # the environment entry of the scenarios' search sequences


def home(major: str) -> pathlib.Path:
    """The unpacked runtime of a Java line; fails (never skips) when `make runtimes` has not run."""
    path = RUNTIMES / major
    if not (path / "bin" / "server" / "jvm.dll").exists():
        raise AssertionError(f"{path} is missing: run `make runtimes` (make test does)")
    return path


def version(major: str) -> str:
    """JAVA_VERSION of the runtime's release file."""
    for line in (home(major) / "release").read_text().splitlines():
        if line.startswith("JAVA_VERSION="):
            return line.split("=", 1)[1].strip('"')
    raise AssertionError(f"no JAVA_VERSION in {home(major)}/release")


def linked_copy(major: str, dest: pathlib.Path) -> pathlib.Path:
    """A copy of a runtime made of hard links (fast; a scenario that changes a file replaces it, never writes
    through it). On another file system than build/ (a tmpfs basetemp) the files are copied instead."""
    shutil.copytree(home(major), dest, copy_function=_link_or_copy)
    return dest


def _link_or_copy(source: str, target: str) -> None:
    try:
        os.link(source, target)
    except OSError as e:
        if e.errno != errno.EXDEV:
            raise
        shutil.copy2(source, target)


def build_app_jar() -> pathlib.Path:
    """Compiles the scenarios' program (Java 8 class files) against tovex-runtime.jar, once."""
    if APP_JAR.exists() and all(APP_JAR.stat().st_mtime >= p.stat().st_mtime for p in SOURCES.glob("*.java")):
        return APP_JAR
    classes = APP_JAR.parent / "classes"
    shutil.rmtree(classes, ignore_errors=True)
    classes.mkdir(parents=True)
    javac = pathlib.Path(tovex.JAVA_HOME) / "bin" / "javac"
    subprocess.run([str(javac), "--release", "8", "-encoding", "UTF-8", "-cp", str(tovex.RUNTIME_JAR), "-d",
                    str(classes), *map(str, sorted(SOURCES.glob("*.java")))], check=True, capture_output=True)
    subprocess.run([str(pathlib.Path(tovex.JAVA_HOME) / "bin" / "jar"), "cf", str(APP_JAR), "-C", str(classes), "."],
                   check=True)
    return APP_JAR


class App:
    """An application folder: lib\\realapp.jar, lib\\tovex-runtime.jar and the exe built from config."""

    def __init__(self, folder: pathlib.Path, report: pathlib.Path, config: str = "", *, stub: str = "console",
                 name: str = "app.exe", files: dict | None = None, vm_options: str = "", class_path: str = "",
                 search: str = f"E{ENV_NAME}"):
        self.folder = folder
        self.report = report
        (folder / "lib").mkdir(parents=True, exist_ok=True)
        shutil.copy(build_app_jar(), folder / "lib" / "realapp.jar")
        shutil.copy(tovex.RUNTIME_JAR, folder / "lib" / "tovex-runtime.jar")
        text = (f"MAIN_CLASS = realapp.Main\nEXE_TYPE = {1 if stub == 'gui' else 0}\n"
                f"JVM_SEARCH_SEQUENCE = {search}\n"
                f"CLASS_PATH = {class_path or 'A1lib' + chr(92) + 'realapp.jar;A1lib' + chr(92) + 'tovex-runtime.jar'}\n"
                f"VM_OPTIONS = -Drealapp.report={tovex.wine_path(report)} {vm_options}\n" + config)
        # Managed class-data sharing (on in every new exe) starts a background dump run at a second
        # start: the scenarios about it say so themselves, all others run without it.
        if "CLASS_DATA_SHARING" not in config:
            text = text.replace("[resources]", "CLASS_DATA_SHARING = 0\n[resources]", 1) \
                if "[resources]" in text else text + "CLASS_DATA_SHARING = 0\n"
        self.exe = tovex.build_app(folder, text, stub=stub, name=name, files=files)

    def run(self, args: list[str] | None = None, *, java: pathlib.Path | None = None, env: dict | None = None,
            log: bool = True, timeout: float = 180) -> tovex.Result:
        if self.report.exists():
            self.report.unlink()
        extra = dict(env or {})
        if java is not None:
            extra[ENV_NAME] = tovex.wine_path(java)
        return tovex.run_exe(self.exe, args, env=extra, log=log, timeout=timeout)

    def start(self, args: list[str] | None = None, *, java: pathlib.Path, env: dict | None = None,
              log: bool = True) -> tovex.WineProcess:
        if self.report.exists():
            self.report.unlink()
        extra = dict(env or {})
        extra[ENV_NAME] = tovex.wine_path(java)
        return tovex.start_exe(self.exe, args, env=extra, log=log)


def read_report(path: pathlib.Path) -> dict:
    """The report as a dict; repeated keys (received=...) collect into lists under key + '*'."""
    values: dict = {}
    if not path.exists():
        return values
    for line in path.read_text(encoding="utf-8").splitlines():
        key, _, value = line.partition("=")
        value = re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r"}.get(m.group(1), m.group(1)), value)
        values.setdefault(key + "*", []).append(value)
        values[key] = value
    return values


def args_of(report: dict) -> list[str]:
    return [report[f"arg{i}"] for i in range(int(report["argc"]))]


def dump_processes() -> list[int]:
    """Linux pids of the java.exe processes of the test prefix (the launcher's background dump runs)."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            cmdline = open(f"/proc/{entry}/cmdline", "rb").read()
            environ = open(f"/proc/{entry}/environ", "rb").read()
        except OSError:
            continue
        if b"java.exe" in cmdline and f"WINEPREFIX={tovex.WINEPREFIX}\0".encode() in environ + b"\0":
            pids.append(int(entry))
    return pids


def wait_for_dump(folder: pathlib.Path, timeout: float = 600) -> None:
    """Waits until the class-data-sharing folder's dump run is over: no dump process runs and the
    folder has its archive (or no dump was started there, no ".dump" marker).

    A process that Wine has just started does not show "java.exe" in its command line yet, so
    not finding one is no proof that the dump is over; the archive it writes before it ends is.
    While a dump process runs, the wait blocks on it (pidfd), without polling.
    """
    import select

    def settled() -> bool:
        pids = dump_processes()
        for pid in pids:
            try:
                fd = os.pidfd_open(pid)
            except OSError:
                continue
            poller = select.poll()
            poller.register(fd, select.POLLIN)
            poller.poll(timeout * 1000)
            os.close(fd)
        if pids:
            return False
        suffixes = {p.suffix for p in folder.iterdir()} if folder.exists() else set()
        return ".dump" not in suffixes or ".jsa" in suffixes

    tovex.wait_for(settled, timeout, interval=0.1, what=f"the dump run of {folder}")
