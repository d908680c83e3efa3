"""The stand-in runtime's java.exe/javaw.exe, splashscreen.dll and unpack200.exe, run directly under Wine."""
import os
import signal
import subprocess

import pytest

import runtimes
import tovex
from runtimes import make_runtime


def run_bytes(exe, args, timeout=120):
    """Runs exe under Wine; returns (exit code, stdout bytes, stderr bytes)."""
    proc = subprocess.run(["wine", str(exe), *args], capture_output=True, env=tovex.wine_env(), timeout=timeout)
    return proc.returncode, proc.stdout, proc.stderr


VERSION_OUTPUTS = [
    ("oracle 8", b'java version "1.8.0_372"\r\nJava(TM) SE Runtime Environment\r\n'),
    ("openjdk 17 with more lines",
     b'openjdk version "17.0.15" 2025-04-15\nOpenJDK Runtime Environment (build 17.0.15+6)\nOpenJDK 64-Bit Server VM\n'),
    ("picked-up note first", b'Picked up JAVA_TOOL_OPTIONS: -Xmx1g\njava version "1.8.0_372"\n'),
    ("garbage bytes", bytes(range(256))),
    ("nothing", b""),
    ("a 10000-byte first line", b"j" * 10000 + b"\n"),
]


@pytest.mark.parametrize("exe_name", ["java.exe", "javaw.exe"])
@pytest.mark.parametrize("case,output", VERSION_OUTPUTS, ids=[c for c, _ in VERSION_OUTPUTS])
def test_version_output_is_written_to_stderr_unchanged(appdir, exe_name, case, output):
    rt = make_runtime(appdir / "jre", version_output=output)
    code, out, err = run_bytes(rt.bin / exe_name, ["-version"])
    assert (code, out, err) == (0, b"", output)


@pytest.mark.parametrize("exit_code", [0, 1, 3, 255])
def test_exit_code_is_the_configured_one(appdir, exit_code):
    rt = make_runtime(appdir / "jre", exit_code=exit_code)
    assert run_bytes(rt.java_exe, ["-version"])[0] == exit_code
    assert run_bytes(rt.javaw_exe, ["-cp", "x", "Main"])[0] == exit_code


def test_output_only_for_version_and_config_can_change_between_runs(appdir):
    rt = make_runtime(appdir / "jre", version_output='java version "1.8.0_372"\n')
    assert run_bytes(rt.java_exe, ["-cp", "x"]) == (0, b"", b"")
    rt.set_version_output('openjdk version "11.0.2"\n', exit_code=2)
    assert run_bytes(rt.java_exe, ["-version"]) == (2, b"", b'openjdk version "11.0.2"\n')


def test_every_start_is_recorded_with_its_command_line(appdir):
    rt = make_runtime(appdir / "jre")
    assert rt.starts() == [] and rt.version_probes() == 0
    run_bytes(rt.java_exe, ["-version"])
    run_bytes(rt.javaw_exe, ["-version"])
    run_bytes(rt.java_exe, ["a b", "ü"])
    records = rt.start_records()
    assert [name for name, _ in records] == ["java.exe", "javaw.exe", "java.exe"]
    assert records[0][1].endswith(" -version") and "My App Ünïcode" in records[0][1]
    assert records[2][1].endswith(' "a b" ü')
    assert rt.version_probes() == 2
    assert len(rt.starts()) == 3 and rt.starts()[0].startswith("java.exe ")


def test_hang_keeps_running_until_killed(appdir):
    rt = make_runtime(appdir / "jre", hang=True)
    proc = tovex.start_exe(rt.java_exe, ["-version"])
    try:
        tovex.wait_for(lambda: rt.version_probes() == 1, 60, what="java.exe start record")
        # A whole second start of a non-hanging java.exe ends meanwhile; the hanging one still runs.
        other = make_runtime(appdir / "other")
        assert run_bytes(other.java_exe, ["-version"])[0] == 0
        assert proc.poll() is None
    finally:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()


def test_layouts(appdir):
    jdk = make_runtime(appdir / "jdk", jdk=True)
    for path in (jdk.home / "lib" / "tools.jar", jdk.home / "jre" / "bin" / "java.exe",
                 jdk.home / "jre" / "bin" / "javaw.exe", jdk.home / "jre" / "bin" / "server" / "jvm.dll",
                 jdk.home / "bin" / "java.exe", jdk.home / "bin" / "javaw.exe"):
        assert path.is_file(), path
    assert jdk.bin == jdk.home / "jre" / "bin" and jdk.java_exe == jdk.bin / "java.exe"
    run_bytes(jdk.kit_bin / "java.exe", ["-version"])
    run_bytes(jdk.java_exe, ["-version"])
    assert jdk.version_probes() == 2

    bare = make_runtime(appdir / "bare", java=True, javaw=False, jvm=None, vm_types=("client", "server"))
    assert bare.java_exe.exists() and not bare.javaw_exe.exists()
    assert not bare.jvm_dll("server").exists() and not bare.jvm_dll("client").exists()
    assert not (bare.home / "lib" / "tools.jar").exists()

    multi = make_runtime(appdir / "multi", vm_types=("client", "server"), jvm="broken")
    assert multi.jvm_dll("client").read_bytes().startswith(b"This is not a DLL.")


def test_binaries_are_copies_with_their_own_times(appdir):
    rt = make_runtime(appdir / "jre")
    assert not rt.java_exe.is_symlink()
    assert rt.java_exe.stat().st_ino != (runtimes.STANDIN / "java.exe").stat().st_ino
    before = rt.java_exe.stat().st_mtime
    rt.touch_java()
    assert rt.java_exe.stat().st_mtime > before


def test_splashscreen_records_its_calls(appdir, tmp_path):
    rt = make_runtime(appdir / "jre", splashscreen=True)
    image = tmp_path / "splash.png"
    image.write_bytes(b"\x89PNG\r\n\x1a\n" + b"\0" * 92)
    code, out, _ = run_bytes(runtimes.JVMDRIVER, ["--splash", tovex.wine_path(rt.bin / "splashscreen.dll"),
                                                  tovex.wine_path(image)])
    assert code == 0 and out.decode() == "SplashLoadMemory -> 1\n"
    assert rt.splash_calls() == ["SplashInit", "SplashLoadMemory size=100 sig=89504E470D0A1A0A", "SplashClose"]
    rt.set_splash_result(0)
    code, out, _ = run_bytes(runtimes.JVMDRIVER, ["--splash", tovex.wine_path(rt.bin / "splashscreen.dll"),
                                                  tovex.wine_path(image)])
    assert out.decode() == "SplashLoadMemory -> 0\n" and len(rt.splash_calls()) == 6


def test_unpack200_unpacks_and_removes_the_packed_file(appdir):
    rt = make_runtime(appdir / "jre", unpack200="ok", packed_jars=("lib/rt.jar", "lib/ext/localedata.jar"))
    packed = rt.home / "lib" / "rt.jar.pack"
    jar = rt.home / "lib" / "rt.jar"
    tail = f'-r "{tovex.wine_path(packed)}" "{tovex.wine_path(jar)}"'
    code, _, _ = run_bytes(rt.home / "bin" / "unpack200.exe", ["-r", tovex.wine_path(packed), tovex.wine_path(jar)])
    assert code == 0
    assert jar.read_bytes() == rt.packed_content("lib/rt.jar") and not packed.exists()
    assert (rt.home / "lib" / "ext" / "localedata.jar.pack").exists()
    assert len(rt.unpack_starts()) == 1 and rt.unpack_starts()[0].endswith(tail)


def test_unpack200_told_to_fail_produces_nothing(appdir):
    rt = make_runtime(appdir / "jre", unpack200="fail", packed_jars=("lib/rt.jar",))
    packed = rt.home / "lib" / "rt.jar.pack"
    code, _, _ = run_bytes(rt.home / "bin" / "unpack200.exe",
                           ["-r", tovex.wine_path(packed), tovex.wine_path(rt.home / "lib" / "rt.jar")])
    assert code == 2 and packed.exists() and not (rt.home / "lib" / "rt.jar").exists()
    assert len(rt.unpack_starts()) == 1
    rt.set_unpack200("missing")
    assert not (rt.home / "bin" / "unpack200.exe").exists()


def test_unpack200_with_a_missing_input_fails(appdir):
    rt = make_runtime(appdir / "jre", unpack200="ok")
    code, _, err = run_bytes(rt.home / "bin" / "unpack200.exe",
                             ["-r", tovex.wine_path(rt.home / "lib" / "none.pack"), tovex.wine_path(rt.home / "x.jar")])
    assert code == 1 and b"cannot read" in err and not (rt.home / "x.jar").exists()
