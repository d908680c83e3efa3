"""Stand-in Java runtimes for end-to-end tests (the programs and libraries built under testing/).

    from runtimes import make_runtime
    rt = make_runtime(appdir / "jre", version_output='java version "1.8.0_372"\\n', jvm="record")
    rt.set_script("main exit 7\\n")
    ... run the launcher ...
    assert "call main" in rt.last_run()

Layout, side files, script verbs and the transcript format are described in testing/README.md.
Binaries are copied (not linked) from $TOVEX_BUILD/win/testing, so their last-write times are their own.
"""
from __future__ import annotations

import io
import os
import pathlib
import re
import shutil
import time
import zipfile

import tovex

STANDIN = tovex.WIN / "testing"
HOST_JAVA = str(pathlib.Path(tovex.JAVA_HOME) / "bin" / "java")
BRIDGE_JAR = STANDIN / "standin-bridge.jar"
LAUNCHER_JAR = STANDIN / "standin-launcher.jar"   # our own small com.tovex.runtime.WinLauncher for tests
JVMDRIVER = STANDIN / "jvmdriver.exe"

EXIT_UNEXPECTED_JNI_CALL = 97   # jvm.dll: a JNI function the stand-in does not offer was called
EXIT_JNI_MISUSE = 98            # jvm.dll: invalid/deleted reference, a JNIEnv used on a foreign thread, ...

JVM_MODES = ("record", "bridge", "broken", "32bit", "foreign", "truncated", None)
UNPACK_MODES = (None, "ok", "fail", "missing")


def _binary(name: str) -> pathlib.Path:
    path = STANDIN / name
    if not path.exists():
        raise FileNotFoundError(f"stand-in binary {path} is missing: run `make BUILD={tovex.BUILD} win` first")
    return path


def _copy(name: str, dest: pathlib.Path) -> None:
    dest.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(_binary(name), dest)   # a copy with a fresh last-write time, not a link


def unescape(field: str) -> str:
    """Undoes the escaping of record fields (\\\\ \\n \\r \\t \\xHH) of transcripts and start logs."""
    out = bytearray()
    data = field.encode("utf-8")
    i = 0
    while i < len(data):
        c = data[i]
        if c == 0x5C and i + 1 < len(data):
            e = chr(data[i + 1])
            if e == "x" and i + 3 < len(data):
                out.append(int(data[i + 2:i + 4], 16))
                i += 4
                continue
            out += {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\"}.get(e, bytes([data[i + 1]]))
            i += 2
            continue
        out.append(c)
        i += 1
    return out.decode("utf-8", "replace")


def _jar_bytes(name: str) -> bytes:
    """A small, valid jar file whose one entry names the jar it stands for."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as zf:   # fixed entry times: the same jar's bytes are always the same
        zf.writestr(zipfile.ZipInfo("META-INF/MANIFEST.MF", (2020, 1, 1, 0, 0, 0)), "Manifest-Version: 1.0\r\n\r\n")
        zf.writestr(zipfile.ZipInfo("standin/" + name.replace("\\", "/"), (2020, 1, 1, 0, 0, 0)),
                    "stand-in jar " + name + "\n")
    return buf.getvalue()


def _read_lines(path: pathlib.Path) -> list[str]:
    if not path.exists():
        return []
    return path.read_bytes().decode("utf-8", "replace").splitlines()


class Runtime:
    """A stand-in runtime home laid out by make_runtime."""

    def __init__(self, home: pathlib.Path, jdk: bool, vm_types: tuple):
        self.home = home
        self.jdk = jdk
        self.vm_types = tuple(vm_types)
        # The directory with jvm.dll (for a development kit: its embedded runtime's bin).
        self.bin = home / "jre" / "bin" if jdk else home / "bin"
        # The kit's own bin directory (same as bin for a plain runtime).
        self.kit_bin = home / "bin"
        self.java_exe = self.bin / "java.exe"
        self.javaw_exe = self.bin / "javaw.exe"

    # -- paths ---------------------------------------------------------------------------------
    def jvm_dll(self, vm_type: str = "server") -> pathlib.Path:
        return self.bin / vm_type / "jvm.dll"

    def vm_dir(self, vm_type: str = "server") -> pathlib.Path:
        return self.bin / vm_type

    @property
    def home_win(self) -> str:
        """The Windows (Z:\\) form of the home directory."""
        return tovex.wine_path(self.home)

    def _bins(self) -> list[pathlib.Path]:
        return [self.bin, self.kit_bin] if self.jdk else [self.bin]

    # -- java.exe / javaw.exe ------------------------------------------------------------------
    def set_version_output(self, text: str | bytes, exit_code: int = 0, hang: bool = False) -> None:
        """What every java.exe/javaw.exe of this runtime writes to stderr for "-version", its exit code, hang."""
        data = text.encode("utf-8") if isinstance(text, str) else bytes(text)
        for b in self._bins():
            b.mkdir(parents=True, exist_ok=True)
            (b / "standin.out").write_bytes(data)
            (b / "standin.cfg").write_text(f"exit {int(exit_code)}\nhang {1 if hang else 0}\n", encoding="utf-8")

    def start_records(self) -> list[tuple[str, str]]:
        """(exe file name, command line) of every recorded start of java.exe/javaw.exe, all bin directories."""
        out = []
        for b in self._bins():
            for line in _read_lines(b / "starts.log"):
                name, _, cmd = line.partition("\t")
                out.append((unescape(name), unescape(cmd)))
        return out

    def starts(self) -> list[str]:
        """One entry per recorded start: "<exe name> <command line>"."""
        return [f"{name} {cmd}" for name, cmd in self.start_records()]

    def version_probes(self) -> int:
        """How many starts had "-version" on their command line."""
        return sum(1 for _, cmd in self.start_records() if re.search(r"(^|\s)-version(\s|$)", cmd))

    def touch_java(self, seconds: float = 120) -> None:
        """Moves java.exe's (and javaw.exe's) last-write time forward, so that a cached version goes stale."""
        for b in self._bins():
            for exe in (b / "java.exe", b / "javaw.exe"):
                if exe.exists():
                    st = exe.stat()
                    new = max(st.st_mtime, time.time()) + seconds
                    os.utime(exe, (new, new))

    # -- release file --------------------------------------------------------------------------
    def set_release(self, release: str | dict | None) -> None:
        """Writes home\\release: a version text gives JAVA_VERSION="<text>", a dict one KEY="value" line per item
        (in order), None removes the file."""
        path = self.home / "release"
        if release is None:
            path.unlink(missing_ok=True)
            return
        items = {"JAVA_VERSION": release} if isinstance(release, str) else dict(release)
        path.write_text("".join(f'{key}="{value}"\n' for key, value in items.items()), encoding="utf-8")

    # -- jvm.dll -------------------------------------------------------------------------------
    def set_script(self, text: str, vm_type: str = "server") -> None:
        (self.vm_dir(vm_type) / "script.txt").write_text(text, encoding="utf-8")

    def set_jvm_mode(self, mode: str, vm_type: str = "server", host_java: str | None = None) -> None:
        """Switches an installed stand-in jvm.dll between "record" and "bridge"."""
        (self.vm_dir(vm_type) / "jvm.cfg").write_text(
            f"mode {mode}\njava {host_java or HOST_JAVA}\n", encoding="utf-8")

    def transcript(self, vm_type: str = "server") -> list[str]:
        """All transcript lines (every run appends; each run starts with a "load pid=N" line)."""
        return _read_lines(self.vm_dir(vm_type) / "transcript.log")

    def last_run(self, vm_type: str = "server") -> list[str]:
        """Transcript lines of the most recent process that loaded this jvm.dll."""
        lines = self.transcript(vm_type)
        starts = [i for i, line in enumerate(lines) if line.startswith("load pid=")]
        return lines[starts[-1]:] if starts else lines

    def clear_transcript(self, vm_type: str = "server") -> None:
        (self.vm_dir(vm_type) / "transcript.log").unlink(missing_ok=True)

    def options(self, vm_type: str = "server") -> list[str]:
        """The VM options of the last JNI_CreateJavaVM call (unescaped)."""
        out: list[str] = []
        for line in self.transcript(vm_type):
            if line.startswith("create "):
                out = []
            m = re.match(r"option (\d+) (.*)$", line) or (re.match(r"option (\d+)$", line))
            if m:
                out.append(unescape(m.group(2)) if m.lastindex == 2 else "")
        return out

    def main_args(self, vm_type: str = "server") -> list[str]:
        """The arguments of the last call of main (unescaped)."""
        out: list[str] = []
        collecting: list[str] = []
        for line in self.transcript(vm_type):
            m = re.match(r"arg (\d+) ?(.*)$", line)
            if m:
                if m.group(1) == "0":
                    collecting = []
                collecting.append(unescape(m.group(2)))
            elif line == "call main":
                out = collecting
                collecting = []
        return out

    # -- splashscreen.dll and unpack200.exe ----------------------------------------------------
    def splash_calls(self) -> list[str]:
        """Calls of splashscreen.dll: "SplashInit", "SplashLoadMemory size=N sig=HEX", "SplashClose"."""
        return _read_lines(self.bin / "splash.log")

    def set_splash_result(self, value: int) -> None:
        (self.bin / "splash.cfg").write_text(f"result {int(value)}\n", encoding="utf-8")

    def unpack_starts(self) -> list[str]:
        """Command lines of every start of bin\\unpack200.exe (unescaped)."""
        return [unescape(line) for line in _read_lines(self.home / "bin" / "unpack200.log")]

    def set_unpack200(self, mode: str | None, exit_code: int | None = None) -> None:
        """None/"missing": no unpack200.exe; "ok": it unpacks; "fail": it produces nothing (exit 2 or exit_code)."""
        exe = self.home / "bin" / "unpack200.exe"
        cfg = self.home / "bin" / "unpack200.cfg"
        if mode in (None, "missing"):
            exe.unlink(missing_ok=True)
            cfg.unlink(missing_ok=True)
            return
        if not exe.exists():
            _copy("unpack200.exe", exe)
        lines = ["fail 1" if mode == "fail" else "fail 0"]
        if exit_code is not None:
            lines.append(f"exit {int(exit_code)}")
        cfg.write_text("\n".join(lines) + "\n", encoding="utf-8")

    def packed_content(self, jar: str) -> bytes:
        """The bytes a packed jar ("lib/rt.jar") unpacks to."""
        return _jar_bytes(jar)


def make_runtime(home, version_output: str | bytes = 'java version "1.8.0_372"\n', exit_code: int = 0,
                 hang: bool = False, java: bool = True, javaw: bool = True, vm_types=("server",),
                 jvm: str | None = "record", script: str = "", jdk: bool = False, splashscreen: bool = False,
                 unpack200: str | None = None, packed_jars=(), host_java: str | None = None,
                 release: str | dict | None = None, javac: bool = False) -> Runtime:
    """Lays out a stand-in Java home at `home` and returns its Runtime.

    jvm: "record" (transcript + script), "bridge" (the Java program runs on the host JDK), "broken" (a file that
    is no DLL), "32bit" (a 32-bit DLL), "foreign" (an x86-64 DLL without JNI_CreateJavaVM: it loads, and the
    entry is missing), "truncated" (the first KiB of an x86-64 DLL: its headers are sound, its sections are missing,
    so it does not load), None (no jvm.dll). jdk=True lays out a development kit: lib\\tools.jar,
    jre\\bin\\{java,javaw}.exe and jre\\bin\\<vm type>\\jvm.dll, plus bin\\{java,javaw}.exe. unpack200: None/"missing",
    "ok", "fail" (bin\\unpack200.exe of home). packed_jars: paths relative to home ("lib/rt.jar") stored as
    "lib/rt.jar.pack" holding a small jar's bytes. release: home\\release as Runtime.set_release writes it (None: no
    file). javac=True: a bin\\javac.exe (a copy of the stand-in java.exe, never run) in the kit's bin directory.
    """
    if jvm not in JVM_MODES:
        raise ValueError(f"jvm must be one of {JVM_MODES}")
    if unpack200 not in UNPACK_MODES:
        raise ValueError(f"unpack200 must be one of {UNPACK_MODES}")
    home = pathlib.Path(home)
    rt = Runtime(home, jdk, vm_types)
    for b in rt._bins():
        b.mkdir(parents=True, exist_ok=True)
        if java:
            _copy("java.exe", b / "java.exe")
        if javaw:
            _copy("javaw.exe", b / "javaw.exe")
    rt.set_version_output(version_output, exit_code, hang)
    if javac:
        _copy("java.exe", rt.kit_bin / "javac.exe")
    rt.set_release(release)
    if jdk:
        (home / "lib").mkdir(parents=True, exist_ok=True)
        (home / "lib" / "tools.jar").write_bytes(_jar_bytes("lib/tools.jar"))
    for vm_type in vm_types:
        d = rt.vm_dir(vm_type)
        d.mkdir(parents=True, exist_ok=True)
        if jvm in ("record", "bridge"):
            _copy("jvm.dll", d / "jvm.dll")
            rt.set_jvm_mode(jvm, vm_type, host_java)
            rt.set_script(script, vm_type)
            if jvm == "bridge":
                _copy("standin-bridge.jar", d / "standin-bridge.jar")
        elif jvm == "broken":
            (d / "jvm.dll").write_bytes(b"This is not a DLL.\r\n" * 64)
        elif jvm == "32bit":
            _copy("jvm32/jvm.dll", d / "jvm.dll")
        elif jvm == "foreign":
            _copy("splashscreen.dll", d / "jvm.dll")
        elif jvm == "truncated":
            (d / "jvm.dll").write_bytes(_binary("jvm.dll").read_bytes()[:1024])
    if splashscreen:
        _copy("splashscreen.dll", rt.bin / "splashscreen.dll")
    rt.set_unpack200(unpack200)
    for jar in packed_jars:
        target = home / (jar + ".pack")
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(_jar_bytes(jar))
    return rt


def run_driver(rt_or_dll, options=(), args=(), *, vm_type: str = "server", launcher_class: str | None = None,
               poll: int = 0, firstrun: bool = False, destroy: bool = True, unexpected: bool = False,
               foreign_env: bool = False, env: dict | None = None, timeout: float = 120) -> tovex.Result:
    """Runs jvmdriver.exe on a runtime's (or a given) jvm.dll: create the VM with `options`, call the launcher
    class's main with `args`, destroy the VM. See testing/README.md for the driver's exit codes."""
    dll = rt_or_dll.jvm_dll(vm_type) if isinstance(rt_or_dll, Runtime) else pathlib.Path(rt_or_dll)
    cmd: list[str] = []
    if launcher_class:
        cmd += ["--class", launcher_class]
    if poll:
        cmd += ["--poll", str(poll)]
    if firstrun:
        cmd += ["--firstrun"]
    if not destroy:
        cmd += ["--no-destroy"]
    if unexpected:
        cmd += ["--unexpected"]
    if foreign_env:
        cmd += ["--foreign-env"]
    cmd += [tovex.wine_path(dll), *options, "--", *args]
    return tovex.run_exe(_binary("jvmdriver.exe"), cmd, env=env, timeout=timeout, encoding="utf-8")
