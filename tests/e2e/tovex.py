"""End-to-end harness: builds launcher exes with the builder and runs them under Wine.

All runs share one Wine prefix per build (``$TOVEX_BUILD/wineprefix``) and,
when the session has started it, one Xvfb display. Runs are sequential.
"""
from __future__ import annotations

import ctypes
import dataclasses
import glob
import os
import pathlib
import signal
import subprocess
import tempfile
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


# Debian's wine64 starts without Wine's preloader, so nothing reserves Windows' fixed addresses
# before Linux maps the loader's libraries at random places. Now and then one of them lands on
# the shared user data page (0x7ffe0000): the program then ends with exit code 1 before its first
# instruction, saying only "failed to map the shared user data: c0000018" (hidden by
# WINEDEBUG=-all). That was about one start in 2,500, now and then a failed test. With
# address randomization off for this process and every process it starts (the personality is
# inherited), Linux lays out every start the same way.
ADDR_NO_RANDOMIZE = 0x0040000


def fixed_address_layout() -> None:
    """Turns address randomization off for the processes this one starts from now on."""
    personality = ctypes.CDLL(None, use_errno=True).personality
    personality.argtypes, personality.restype = [ctypes.c_ulong], ctypes.c_int
    current = personality(0xFFFFFFFF)  # queries without changing
    if current != -1 and not current & ADDR_NO_RANDOMIZE:
        personality(current | ADDR_NO_RANDOMIZE)


fixed_address_layout()


def wine_path(path: os.PathLike | str) -> str:
    """The Windows form of a Linux path (drive Z: maps the Linux root)."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


# Debian's /usr/bin/wineserver wrapper passes -p0, which ends the server with its last
# process, so that every run would start Wine cold. Name the server binary itself.
WINESERVER = next((p for p in ("/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver") if os.path.exists(p)),
                  "wineserver")


def wine_env(extra: dict | None = None) -> dict:
    env = dict(os.environ)
    env.update({"WINEPREFIX": str(WINEPREFIX), "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
                "WINESERVER": WINESERVER})
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
    # The keyword makes the builder find the stub in the build tree itself (build/win beside build/host).
    cmd = [str(BUILDER), "--stub", stub if stub in STUBS else str(stub), "--config", str(conf), "--out", str(out)]
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


def decode_text(data: bytes, encoding: str | None = None) -> str:
    """Text of a launcher (log, output) in its code page: UTF-8 by default (the stubs' manifest), Windows-1252
    for one built with UTF8_CODE_PAGE = 0. Without an encoding given: UTF-8 when the bytes are valid UTF-8
    (Windows-1252 text with letters beyond ASCII practically never is), else Windows-1252."""
    if encoding:
        return data.decode(encoding, "replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", "replace")


def run_exe(exe: os.PathLike | str, args: list[str] | None = None, *, env: dict | None = None,
            cwd: os.PathLike | str | None = None, timeout: float = 120, log: bool = False,
            encoding: str | None = None) -> Result:
    """Runs exe under Wine and waits for it. log=True sets TOVEX_LOG=yes.

    The log file of the run is the mlk_nlog_* file that appeared in Wine's
    temporary directory during the run.
    """
    extra = dict(env or {})
    if log:
        extra.setdefault("TOVEX_LOG", "yes")
    before = _logs()
    proc = WineProcess(["wine", str(exe)] + list(args or []), env=wine_env(extra), cwd=cwd)
    try:
        out, err = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, err = proc.communicate()
        raise AssertionError(f"{exe} did not end within {timeout} s; stderr: {decode_text(err, encoding)}")
    # With the log on, the launcher's first step writes the log: a failed run without any
    # log or output never reached the launcher's code. That is a fault to find, never a
    # reason to start the program again.
    if log and proc.returncode != 0 and not out and not err and not (_logs() - before):
        raise AssertionError(f"{exe} ended with exit code {proc.returncode} before the launcher's first step "
                             "(no log, no output): Wine did not start it")
    new_logs = sorted(_logs() - before, key=lambda p: os.path.getmtime(p))
    log_path = pathlib.Path(new_logs[-1]) if new_logs else None
    log_text = decode_text(log_path.read_bytes(), encoding) if log_path else None
    return Result(proc.returncode, decode_text(out, encoding), decode_text(err, encoding), log_text,
                  log_path)


class WineProcess(subprocess.Popen):
    """A Wine process whose standard output and error go to files, not pipes.

    Wine's helper processes (services, the desktop) outlive the program that
    started them while the wineserver stays up, and they inherit its standard
    handles: with pipes, reading to the end would wait for them. communicate()
    waits for the program itself and then reads the files.
    """

    def __init__(self, cmd, *, env, cwd=None):
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        super().__init__(cmd, stdin=subprocess.DEVNULL, stdout=self._out, stderr=self._err, env=env,
                         cwd=str(cwd) if cwd else None, start_new_session=True)

    def wait(self, timeout=None):
        """Waits for the program, then for the console host Wine started for it (see settle)."""
        code = super().wait(timeout=timeout)
        settle()
        return code

    def communicate(self, input=None, timeout=None):  # noqa: A002 - the Popen signature
        self.wait(timeout=timeout)
        out, err = b"", b""
        for f in (self._out, self._err):
            f.seek(0)
        out, err = self._out.read(), self._err.read()
        return out, err


def start_exe(exe: os.PathLike | str, args: list[str] | None = None, *, env: dict | None = None,
              cwd: os.PathLike | str | None = None, log: bool = False) -> WineProcess:
    """Starts exe under Wine without waiting; communicate() gives its output once it has ended."""
    extra = dict(env or {})
    if log:
        extra.setdefault("TOVEX_LOG", "yes")
    return WineProcess(["wine", str(exe)] + list(args or []), env=wine_env(extra), cwd=cwd)


def wait_for(predicate, timeout: float = 60, interval: float = 0.05, what: str = "condition"):
    """Polls predicate until it is true; fails after timeout (an upper bound, not a timing assertion)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError(f"timed out waiting for {what}")


def _console_hosts() -> list[int]:
    """Linux pids of the running (not yet reaped is fine) console hosts of the test prefix."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                stat = f.read()
            if b"(conhost.exe)" not in stat or stat.rsplit(b")", 1)[1].split()[0] == b"Z":
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue  # ended meanwhile
        if f"WINEPREFIX={WINEPREFIX}".encode() in environ:
            pids.append(int(entry))
    return pids


def settle(timeout: float = 60) -> None:
    """Waits until no console host of the test prefix runs.

    A program that allocates a console (the switches -c and -console) gets a
    conhost.exe with a window of its own, and that process outlives the program
    by a moment. While its window exists it keeps Wine's foreground: a message
    box that the next run shows then never becomes active and drops every key.
    A run is therefore over only once its console host has gone.
    """
    wait_for(lambda: not _console_hosts(), timeout, what="the console host of the last run to end")


# Windows on the test display (Xvfb). Wine draws unmanaged windows itself; a
# window is found by its exact title among the mapped ones.

def visible_windows(title: str) -> list[str]:
    """X ids of mapped windows whose name is exactly title."""
    proc = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], capture_output=True,
                          text=True)
    return proc.stdout.split()


def wait_window(title: str, proc: subprocess.Popen | None = None, timeout: float = 60) -> str:
    """Waits until a window titled title is mapped; fails at once when proc ends without one."""
    def shown():
        ids = visible_windows(title)
        if ids:
            return ids[0]
        if proc is not None and proc.poll() is not None:
            raise AssertionError(f"the program ended (exit code {proc.returncode}) without showing {title!r}")
        return None
    return wait_for(shown, timeout, what=f"window {title!r}")


def _focused_window() -> str:
    return subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip()


def _activate(window: str) -> None:
    """Clicks into the window's left margin (no control there), as a user would before typing.

    A mapped box is not necessarily Wine's active window (another program's window
    may have had the foreground when it appeared); until it is, keys sent to it
    are dropped. A click makes it active, and Wine then gives it the X input focus.
    """
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True,
                              text=True).stdout
    values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
    if not {"X", "Y", "HEIGHT"} <= values.keys():
        return  # unmapped meanwhile
    x, y = int(values["X"]) + 6, int(values["Y"]) + int(values["HEIGHT"]) // 2
    # No --sync: it waits for a motion, and there is none when the pointer is there already.
    # The server handles the synthetic motion and click in the order they were sent.
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], capture_output=True, timeout=60)


def answer_window(title: str, key: str = "Return", proc: subprocess.Popen | None = None,
                  timeout: float = 60) -> None:
    """Answers the window titled title with key (Return, n, ...), synchronised on the outcome.

    Waits for the window, makes it the active window (it has the X input focus),
    sends the key, and returns once that window is gone or proc has ended. While
    the window is still there, it is activated and the key sent once more; a key
    sent before the box takes input is lost, never a reason to fail.
    """
    window = wait_window(title, proc, timeout)
    deadline = time.monotonic() + timeout

    def over():
        return (proc is not None and proc.poll() is not None) or window not in visible_windows(title)

    while not over():
        if time.monotonic() > deadline:
            raise AssertionError(f"window {title!r} still there after answering it for {timeout} s")
        _activate(window)
        try:
            wait_for(lambda: over() or _focused_window() == window, 10, what=f"input focus on {title!r}")
        except AssertionError:
            continue  # the click came too early: click again
        if over():
            return
        subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True, timeout=60)
        try:
            wait_for(over, 10, what=f"window {title!r} to go")
        except AssertionError:
            pass  # the key came too early: activate and send it again


def reg(*args: str, check: bool = True) -> subprocess.CompletedProcess:
    """Runs Wine's reg.exe (reg add/query/delete) in the test prefix."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(["wine", "reg", *args], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                              env=wine_env()).returncode
        out.seek(0)
        err.seek(0)
        proc = subprocess.CompletedProcess(["wine", "reg", *args], code, out.read(), err.read())
    if check and proc.returncode != 0:
        raise AssertionError(f"wine reg {' '.join(args)} failed: {proc.stderr.decode('cp1252', 'replace')}")
    return proc


def wineserver(*args: str):
    """Runs the wineserver of the test prefix with args (-k, -w, -p)."""
    subprocess.run([WINESERVER, *args], env=wine_env())


def restart_wine():
    """Ends every process of the test prefix and starts a fresh, persistent wineserver.

    Wine's helper processes start with the first program and inherit its standard
    handles, so a first program with none is run here.
    """
    wineserver("-k")
    wineserver("-w")
    wineserver("-p")  # stays up between runs until the session ends
    subprocess.run(["wine", "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=wine_env())


def wineserver_wait():
    """After a program that ended the prefix's session (a reboot request): start afresh."""
    restart_wine()
