"""A runtime whose VM library could never load is skipped, not chosen: real Windows Java runtimes (build/runtimes,
`make runtimes`) copied into the prefix and broken the ways users' machines are (no bin\\server\\jvm.dll, a 32-bit
jvm.dll beside a 64-bit Java, a file named jvm.dll that is no DLL), found through J, B, E and the cache."""
from __future__ import annotations

import pathlib
import shutil
import subprocess

import pytest

import installed_jvms as ij
import realjvm_util as rj
import runtimes
import tovex
from jvm_util import config, has_line, lines_with, query_value, registry  # noqa: F401

REAL = tovex.BUILD / "runtimes"
COPIES = ij.DRIVE_C / "tovex-vm-library"   # in the prefix, beside build/runtimes: copies are hard links

HELLO = """package hello;
public class Main {
    public static void main(String[] args) {
        System.out.println("hello from Java " + System.getProperty("java.version") + " in "
                + System.getProperty("java.home"));
    }
}
"""


@pytest.fixture(scope="module")
def hello_jar(tmp_path_factory):
    if not (REAL / "17" / "bin" / "server" / "jvm.dll").exists():
        pytest.skip(f"no real runtimes in {REAL}: run `make BUILD={tovex.BUILD} runtimes`")
    if not tovex.RUNTIME_JAR.exists():
        pytest.skip(f"{tovex.RUNTIME_JAR} is missing: run `make BUILD={tovex.BUILD} java`")
    d = tmp_path_factory.mktemp("hello")
    src = d / "src" / "hello" / "Main.java"
    src.parent.mkdir(parents=True)
    src.write_text(HELLO, encoding="utf-8")
    subprocess.run([f"{tovex.JAVA_HOME}/bin/javac", "--release", "8", "-d", str(d / "classes"), str(src)], check=True,
                   capture_output=True)
    jar = d / "hello.jar"
    subprocess.run([f"{tovex.JAVA_HOME}/bin/jar", "cf", str(jar), "-C", str(d / "classes"), "."], check=True)
    return jar


@pytest.fixture
def copies(registry):
    """Makes real runtime copies in the prefix; removes them and their version-cache entries at the end."""
    made: list[pathlib.Path] = []

    def copy(dest: pathlib.Path, major: str = "17", *, version: str | None = None, jvm: str = "real",
             java: bool = True) -> pathlib.Path:
        """A copy of build/runtimes/<major> at dest. version: the release file's JAVA_VERSION instead of the real
        one. jvm: "real", "missing" (no bin\\server\\jvm.dll), "32bit" (a 32-bit DLL in its place, built with
        i686-w64-mingw32-g++), "broken" (a text file in its place). java=False: no java.exe and javaw.exe, as
        jlink --strip-native-commands makes it."""
        rj.linked_copy(major, dest)
        made.append(dest)
        for exe in ("java.exe", "javaw.exe"):
            registry.forget(cache_key(dest / "bin" / exe))
        # A hard-linked file is replaced, never written through (that would change build/runtimes).
        dll = dest / "bin" / "server" / "jvm.dll"
        if jvm != "real":
            dll.unlink()
        if jvm == "32bit":
            shutil.copyfile(runtimes.STANDIN / "jvm32" / "jvm.dll", dll)
        elif jvm == "broken":
            dll.write_bytes(b"This is not a DLL.\r\n" * 64)
        if version:
            (dest / "release").unlink()
            (dest / "release").write_text(f'JAVA_VERSION="{version}"\nOS_NAME="Windows"\n')
        if not java:
            (dest / "bin" / "java.exe").unlink()
            (dest / "bin" / "javaw.exe").unlink()
        return dest

    yield copy
    for d in made:
        shutil.rmtree(d, ignore_errors=True)
    shutil.rmtree(COPIES, ignore_errors=True)


def cache_key(exe: pathlib.Path) -> str:
    """The version-cache key of an executable in the prefix (the launcher sees it on drive C:)."""
    return ij.CACHE_ROOT + "\\" + ij.normalised(exe).replace("\\", "/")


def cached_version(home: pathlib.Path):
    return query_value(cache_key(home / "bin" / "java.exe"), "Version")


def app(appdir, jar, sequence: str, **settings):
    """A console launcher of the hello program (its jar and the launcher classes appended) with this sequence."""
    return tovex.build_app(appdir, config(sequence, MAIN_CLASS="hello.Main", **settings),
                           files={"hello.jar": jar, "tovex-runtime.jar": tovex.RUNTIME_JAR})


def win(path: pathlib.Path) -> str:
    return ij.windows_path(path)


def dll_of(home: pathlib.Path, as_found: bool = False) -> str:
    """The VM library as the log names it: lower-cased like every checked path, or as found (J names homes so)."""
    dll = home / "bin" / "server" / "jvm.dll"
    return win(dll) if as_found else ij.normalised(dll)


def ran_on(result, home: pathlib.Path, version: str = "17.0.9") -> bool:
    return f"hello from Java {version} in {win(home)}".lower() in result.stdout.lower()


# -- J: the highest version is taken only when it can load ------------------------------------------------------

def test_j_skips_higher_homes_that_cannot_load_and_runs_on_the_good_one(appdir, hello_jar, copies):
    jdks = ij.USER_PROFILE / ".jdks"
    good = copies(jdks / "tovex-good-17")
    missing = copies(jdks / "tovex-missing-21", version="21.0.1", jvm="missing")
    x86 = copies(jdks / "tovex-x86-25", version="25", jvm="32bit")
    broken = copies(jdks / "tovex-broken-22", version="22", jvm="broken")
    try:
        result = tovex.run_exe(app(appdir, hello_jar, "J"), log=True)
        origin = ij.directory_origin("IDE download")
        assert has_line(result, f"installed JVM {win(missing)} ({origin}): refused: no VM library (jvm.dll)"), result.log
        assert has_line(result, f"installed JVM {win(x86)} ({origin}): refused: wrong architecture: {dll_of(x86, True)} is for "
                                "i386 (32-bit x86), not x86-64")
        assert has_line(result, f"installed JVM {win(broken)} ({origin}): refused: {dll_of(broken, True)} is not a DLL "
                                "(no PE image)")
        assert has_line(result, f"installed JVM {win(good)} ({origin}): version 17.0.9 from release file, accepted")
        assert result.returncode == 0, result.stderr
        assert ran_on(result, good), result.stdout
        # Judged by their files: no java.exe was started.
        assert not any(line.startswith("checkJavaExe") for line in result.log_lines), result.log
    finally:
        for d in (good, missing, x86, broken):
            shutil.rmtree(d, ignore_errors=True)


def test_j_takes_a_runtime_without_java_exe(appdir, hello_jar, copies):
    # jlink --strip-native-commands leaves no java.exe: the release file gives the version, the VM library is there.
    stripped = copies(ij.USER_PROFILE / ".jdks" / "tovex-stripped-17", java=False)
    try:
        result = tovex.run_exe(app(appdir, hello_jar, "J"), log=True)
        assert has_line(result, f"installed JVM {win(stripped)} ({ij.directory_origin('IDE download')}): version 17.0.9 "
                                "from release file, no java.exe, accepted"), result.log
        assert result.returncode == 0, result.stderr
        assert ran_on(result, stripped), result.stdout
    finally:
        shutil.rmtree(stripped, ignore_errors=True)


# -- every other entry kind: the next candidate is taken ------------------------------------------------------

FIRST_CANDIDATES = [
    # (case, the first candidate's fault, the search sequence, its log line about the first candidate's library)
    ("B: no VM library", "missing", "B{first};B{second}", "VM library refused: no VM library (jvm.dll)"),
    ("B: 32-bit VM library", "32bit", "B{first};B{second}",
     "VM library refused: wrong architecture: {dll} is for i386 (32-bit x86), not x86-64"),
    ("B: jvm.dll is no DLL", "broken", "B{first};B{second}", "VM library refused: {dll} is not a DLL (no PE image)"),
    ("E then B: 32-bit VM library", "32bit", "EJAVA_HOME;B{second}",
     "VM library refused: wrong architecture: {dll} is for i386 (32-bit x86), not x86-64"),
]


@pytest.mark.parametrize("case,fault,sequence,refusal", FIRST_CANDIDATES, ids=[c[0] for c in FIRST_CANDIDATES])
def test_a_candidate_that_cannot_load_leaves_the_search_to_the_next(appdir, hello_jar, copies, case, fault, sequence,
                                                                    refusal):
    first = copies(COPIES / "first", jvm=fault)
    second = copies(COPIES / "second")
    exe = app(appdir, hello_jar, sequence.format(first=win(first), second=win(second)))
    result = tovex.run_exe(exe, log=True, env={"JAVA_HOME": win(first)})
    assert has_line(result, refusal.format(dll=dll_of(first))), result.log
    assert result.returncode == 0, result.stderr
    assert ran_on(result, second), result.stdout
    # Refused before its java.exe was started: nothing was cached for it.
    assert cached_version(first) is None
    assert cached_version(second) == ("REG_SZ", "17.0.9")


def test_a_cached_runtime_whose_vm_library_is_gone_is_refused(appdir, hello_jar, copies):
    # The first start probes JAVA_HOME's java.exe and caches 17.0.9. Then its jvm.dll goes; the cache entry still
    # matches java.exe, but the second start refuses the runtime and takes the next candidate.
    first = copies(COPIES / "first")
    second = copies(COPIES / "second")
    exe = app(appdir, hello_jar, f"EJAVA_HOME;B{win(second)}")
    env = {"JAVA_HOME": win(first)}
    before = tovex.run_exe(exe, log=True, env=env)
    assert before.returncode == 0 and ran_on(before, first), before.stdout + before.stderr
    assert cached_version(first) == ("REG_SZ", "17.0.9")

    (first / "bin" / "server" / "jvm.dll").unlink()
    after = tovex.run_exe(exe, log=True, env=env)
    assert has_line(after, "VM library refused: no VM library (jvm.dll)"), after.log
    assert not any(line.startswith("got version from registry") for line in
                   after.log_lines[:after.log_lines.index("VM library refused: no VM library (jvm.dll)")])
    assert after.returncode == 0, after.stderr
    assert ran_on(after, second), after.stdout

    # With no other candidate the start fails with the message of nothing found, not "damaged".
    alone = tovex.run_exe(app(appdir, hello_jar, "EJAVA_HOME"), log=True, env=env)
    assert alone.returncode == tovex.EXIT_NO_JVM
    assert "E1016 no jvm 64" in alone.stderr and "damaged" not in alone.stderr
    assert has_line(alone, "ERROR: No JVM found")


# -- the wrong architecture is named ---------------------------------------------------------------------------

@pytest.mark.parametrize("sequence", ["B{home}", "EJAVA_HOME", "J"])
def test_only_a_32_bit_runtime_says_so(appdir, hello_jar, copies, sequence):
    # Found through a directory (main pass and fallback pass), a variable or J, and refused each time: the message
    # names the library and its machine instead of "damaged" or "no JVM found".
    home = copies((ij.USER_PROFILE / ".jdks" / "tovex-x86") if sequence == "J" else COPIES / "x86", jvm="32bit")
    try:
        exe = app(appdir, hello_jar, sequence.format(home=win(home)))
        dll = dll_of(home, as_found=sequence == "J")
        result = tovex.run_exe(exe, log=True, env={"JAVA_HOME": win(home)})
        assert result.returncode == tovex.EXIT_NO_JVM, result.stderr
        assert f"The Java runtime with the VM library {dll} is built for i386 (32-bit x86)." in result.stderr
        assert "This program needs a 64-bit (x86-64) JDK or JRE." in result.stderr
        assert "E10" not in result.stderr, result.stderr
        assert has_line(result, f"ERROR: A Java runtime was refused: wrong architecture: {dll} is for i386 "
                                "(32-bit x86), not x86-64"), result.log
        assert not lines_with(result, "Trying to load JVM-DLL")
    finally:
        shutil.rmtree(home, ignore_errors=True)


# -- the VM library's dependencies come from its runtime ----------------------------------------------------

def test_the_vm_library_takes_its_dependencies_from_its_runtime(appdir, tmp_path, hello_jar, copies):
    # jvm.dll needs vcruntime140.dll and vcruntime140_1.dll, which a runtime carries in its bin directory. Foreign
    # DLLs of those names (x86-64 DLLs without their functions) lie beside the launcher and in another "Java" on PATH;
    # taking either, the VM would crash at its first call. (A program that loads this jvm.dll by its path alone, with
    # such DLLs beside it, does crash under Wine; the launcher, under Wine, also found the right ones before it used
    # LOAD_WITH_ALTERED_SEARCH_PATH and the runtime's bin as DLL directory, so this guards the outcome only.)
    rt = copies(COPIES / "rt")
    other_bin = tmp_path / "other java" / "bin"
    other_bin.mkdir(parents=True)
    for name in ("vcruntime140.dll", "vcruntime140_1.dll"):
        shutil.copyfile(runtimes.STANDIN / "splashscreen.dll", appdir / name)
        shutil.copyfile(runtimes.STANDIN / "splashscreen.dll", other_bin / name)
    exe = app(appdir, hello_jar, f"B{win(rt)}")
    result = tovex.run_exe(exe, log=True, env={"WINEPATH": tovex.wine_path(other_bin)})
    assert has_line(result, "Loading of JVM-DLL successful"), result.log
    assert result.returncode == 0, result.stdout + result.stderr
    assert ran_on(result, rt), result.stdout


# -- versions compare as numbers, for every entry kind ----------------------------------------------------------

LIMITS = [
    # (MIN_VERSION, MAX_VERSION, whether Java 17.0.9 passes). Byte by byte "17.0.9" sorted below "9": a lower
    # limit 9 refused it and an upper limit 9 admitted it. As numbers 17.0.9 is above 9 and within 11 to 17.
    ("9", "", True),
    ("11", "17", True),
    ("", "9", False),
    ("1.8", "", True),
    ("17.0.10", "", False),
]


@pytest.mark.parametrize("low,high,passes", LIMITS, ids=[f"min {c[0] or '-'} max {c[1] or '-'}" for c in LIMITS])
def test_limits_compare_numbers_for_a_variable_entry(appdir, hello_jar, copies, low, high, passes):
    home = copies(COPIES / "rt")
    exe = app(appdir, hello_jar, "EJAVA_HOME", MIN_VERSION=low, MAX_VERSION=high)
    result = tovex.run_exe(exe, log=True, env={"JAVA_HOME": win(home)})
    assert any(line.startswith("got version from ") and line.endswith(" 17.0.9") for line in result.log_lines), result.log
    if passes:
        assert result.returncode == 0, result.stderr
        assert ran_on(result, home), result.stdout
    else:
        assert result.returncode == tovex.EXIT_NO_JVM, result.stderr
        assert "E1016 no jvm 64" in result.stderr
        assert has_line(result, "checkJavaExe returning 0")
