"""The check of a java executable under Wine: the "-version" probe and the per-user version cache."""
import pytest

import tovex
from jvm_util import build, cache_entry, cache_key, has_line, lines_with, loaded, registry, rts  # noqa: F401

VERSION = "1.8.0_372"


def test_probe_once_then_the_cache_answers(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "B.\\my jre")
    first = tovex.run_exe(exe, log=True)
    assert loaded(first), first.log
    assert rt.version_probes() == 1
    assert has_line(first, f"got version from execution {VERSION}")
    # The probe's command line quotes the program path.
    name, command = rt.start_records()[0]
    assert name.lower() == "java.exe" and command.startswith('"') and command.endswith('" -version'), command
    entry = cache_entry(rt.java_exe)
    assert entry["Version"] == ("REG_SZ", VERSION)
    assert entry["LastWriteTime"][0] == "REG_BINARY" and len(entry["LastWriteTime"][1]) == 16

    second = tovex.run_exe(exe, log=True)
    assert loaded(second), second.log
    assert rt.version_probes() == 1, "a warm start runs no java.exe"
    assert has_line(second, f"got version from registry {VERSION}")


STALE = [
    ("changed file time", None),
    ("7-byte LastWriteTime", lambda key, stamp: ("/v", "LastWriteTime", "/t", "REG_BINARY", "/d", stamp[:14])),
    ("9-byte LastWriteTime", lambda key, stamp: ("/v", "LastWriteTime", "/t", "REG_BINARY", "/d", stamp + "00")),
    ("LastWriteTime as text", lambda key, stamp: ("/v", "LastWriteTime", "/t", "REG_SZ", "/d", stamp)),
    ("Version as a number", lambda key, stamp: ("/v", "Version", "/t", "REG_DWORD", "/d", "17")),
    ("Version as binary", lambda key, stamp: ("/v", "Version", "/t", "REG_BINARY", "/d", "312e38")),
]


@pytest.mark.parametrize("case,change", STALE, ids=[c for c, _ in STALE])
def test_unusable_cache_entry_is_probed_again_and_rewritten(appdir, rts, case, change):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "B.\\my jre")
    assert loaded(tovex.run_exe(exe, log=True))
    stamp = cache_entry(rt.java_exe)["LastWriteTime"][1]
    if change is None:
        rt.touch_java()
    else:
        tovex.reg("add", cache_key(rt.java_exe), *change(cache_key(rt.java_exe), stamp), "/f")

    again = tovex.run_exe(exe, log=True)
    assert loaded(again), again.log
    assert rt.version_probes() == 2
    assert any(line.startswith("ignoring cached entry") for line in again.log_lines), again.log
    entry = cache_entry(rt.java_exe)
    assert entry["Version"] == ("REG_SZ", VERSION)
    assert entry["LastWriteTime"][0] == "REG_BINARY" and len(entry["LastWriteTime"][1]) == 16
    if change is None:
        assert entry["LastWriteTime"][1] != stamp
    else:
        assert entry["LastWriteTime"][1] == stamp


def test_failing_executable_is_cached_as_1_0_0_and_not_started_again(appdir, rts):
    rt = rts.make(appdir / "my jre", exit_code=1)
    exe = build(appdir, f"A{rt.home_win}", MIN_VERSION="1.6")
    first = tovex.run_exe(exe, log=True)
    assert first.returncode == tovex.EXIT_NO_JVM
    assert "E1016 no jvm 64" in first.stderr
    assert has_line(first, "Exit Code 1")
    assert cache_entry(rt.java_exe)["Version"] == ("REG_SZ", "1.0.0")

    second = tovex.run_exe(exe, log=True)
    assert second.returncode == tovex.EXIT_NO_JVM
    assert rt.version_probes() == 1
    assert has_line(second, "got version from registry 1.0.0")


@pytest.mark.slow
def test_hanging_executable_is_terminated_and_not_cached(appdir, rts):
    rt = rts.make(appdir / "my jre", hang=True)
    exe = build(appdir, f"A{rt.home_win}")
    result = tovex.run_exe(exe, log=True, timeout=180)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert has_line(result, "Exit Code 259")
    assert has_line(result, "Terminating process")
    assert has_line(result, "couldn't get version")
    assert cache_entry(rt.java_exe) == {"LastWriteTime": None, "Version": None}


@pytest.mark.parametrize("javaw", [False, True], ids=["without javaw", "with javaw"])
def test_gui_launcher_needs_javaw(appdir, rts, javaw):
    rt = rts.make(appdir / "my jre", javaw=javaw)
    exe = build(appdir, f"A{rt.home_win}", stub="gui", EXE_TYPE="1")
    outputs = lambda: set(tovex.WINE_TEMP.glob("tvx*.tmp"))  # noqa: E731
    before = outputs()
    result = tovex.run_exe(exe, ["-q_mlk_internal"], log=True)
    assert rt.version_probes() == 1
    # The probe's output file goes, also when a process that inherited its handle (the console
    # host of the console child under Wine) lets go of it only after the probe.
    tovex.wait_for(lambda: outputs() <= before, 30, what="the probe's output file to be deleted")
    if javaw:
        assert loaded(result), result.log
        assert lines_with(result, "Trying to load JVM-DLL from ")[0].endswith("\\bin\\javaw.exe")
    else:
        assert result.returncode == tovex.EXIT_NO_JVM
        assert "E1016 no jvm 64" in result.stderr
        assert has_line(result, "checkJavaExe returning 0")
        assert any(line.endswith("javaw.exe doesn't exist") for line in result.log_lines), result.log


def test_jdk_only_mode_rejects_a_runtime_without_tools_jar(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, f"A{rt.home_win}", REQUIRE_JDK="1")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert any(line.endswith("\\lib\\tools.jar doesn't exist") for line in result.log_lines), result.log
    assert rt.version_probes() == 0


def test_jdk_only_mode_tests_the_embedded_runtime(appdir, rts):
    rt = rts.make(appdir / "my jdk", jdk=True)
    exe = build(appdir, f"A{rt.home_win}", REQUIRE_JDK="1")
    result = tovex.run_exe(exe, log=True)
    assert loaded(result), result.log
    checked = lines_with(result, "checkJavaExe (")
    assert checked and checked[0].split(",")[0].endswith("\\jre\\bin\\java.exe")
    assert (rt.bin / "starts.log").exists() and not (rt.kit_bin / "starts.log").exists()


def test_same_executable_twice_in_one_search_is_started_once(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "EMY_TVX_JAVA;B.\\my jre", MAX_VERSION="1.7")
    result = tovex.run_exe(exe, log=True, env={"MY_TVX_JAVA": rt.home_win})
    assert rt.version_probes() == 1
    assert has_line(result, f"got version from execution {VERSION}")
    assert has_line(result, f"got version from registry {VERSION}")
    assert loaded(result), result.log  # the fallback pass takes the shipped runtime


BAD_OUTPUT = [
    ("empty first line", '\njava version "1.8.0"\n'),
    ("10 000-byte first line", "x" * 10000 + '\njava version "1.8.0"\n'),
    ("no closing quote", 'java version "1.8.0\n'),
    ("other notice first", 'NOTE: picked something\njava version "1.8.0"\n'),
    ("no output", ""),
]


@pytest.mark.parametrize("case,output", BAD_OUTPUT, ids=[c for c, _ in BAD_OUTPUT])
def test_unusable_version_output_fails_the_probe_with_a_clear_line(appdir, rts, case, output):
    rt = rts.make(appdir / "my jre", version_output=output)
    exe = build(appdir, f"A{rt.home_win}")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert any(line.startswith("no version in the output of ") for line in result.log_lines), result.log
    assert has_line(result, "couldn't get version")
    assert cache_entry(rt.java_exe)["Version"] is None


def test_picked_up_notices_are_skipped(appdir, rts):
    rt = rts.make(appdir / "my jre", version_output='Picked up JAVA_TOOL_OPTIONS: -Xmx1g\r\n'
                                                    'openjdk version "17.0.15" 2025-04-15\r\n')
    exe = build(appdir, f"A{rt.home_win}", MIN_VERSION="11")
    result = tovex.run_exe(exe, log=True)
    assert loaded(result), result.log
    assert has_line(result, "Java version: 17.0.15")
    assert cache_entry(rt.java_exe)["Version"] == ("REG_SZ", "17.0.15")


def test_longest_version_is_kept_whole(appdir, rts):
    version = "7" * 8191
    rt = rts.make(appdir / "my jre", version_output=f'openjdk version "{version}"\n')
    exe = build(appdir, f"A{rt.home_win}")
    result = tovex.run_exe(exe, log=True)
    assert loaded(result), result.log[-2000:]
    assert any(line.startswith("got version from execution 7777") for line in result.log_lines), result.log
    assert cache_entry(rt.java_exe)["Version"] == ("REG_SZ", version)
