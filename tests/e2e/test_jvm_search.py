"""The JVM search under Wine: every source kind, the failure messages, location files, fallbacks and
packed runtimes."""
import os

import pytest

import tovex
from jvm_util import (INSTALLATIONS_KEY, JDK_KEY, JRE_KEY, LOCATED_ROOT, build, has_line, lines_with, loaded,  # noqa: F401
                      normalised, registry, rts)

VERSION = "1.8.0_372"


def loaded_from(result) -> str:
    lines = lines_with(result, "Trying to load JVM-DLL from ")
    assert lines, result.log
    return lines[-1][len("Trying to load JVM-DLL from "):]


@pytest.mark.parametrize("letter,relative", [("A", False), ("B", True), ("R", True), ("B", False)])
def test_directory_entry_is_found(appdir, rts, letter, relative):
    rt = rts.make(appdir / "my jre")
    text = ".\\my jre" if relative else rt.home_win
    exe = build(appdir, f"S;{letter}{text}")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"Testing location {text} (type {letter})")
    assert loaded(result), result.log
    assert loaded_from(result) == normalised(rt.java_exe)


def test_vm_types_are_tried_in_order_after_the_preferred_one(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "B.\\my jre", PREFERRED_VM_TYPE="nosuchvm")
    result = tovex.run_exe(exe, log=True)
    assert loaded(result), result.log
    bin_dir = normalised(rt.bin)
    assert lines_with(result, "Trying ")[1:] == [
        f"Trying {bin_dir}\\nosuchvm\\jvm.dll (exists 0)",
        f"Trying {bin_dir}\\hotspot\\jvm.dll (exists 0)",
        f"Trying {bin_dir}\\client\\jvm.dll (exists 0)",
        f"Trying {bin_dir}\\server\\jvm.dll (exists 1)",
    ]
    path_lines = [line for line in lines_with(result, "Setting PATH ") if "(native libs)" not in line]
    assert path_lines[-1].endswith(";" + bin_dir)


def test_environment_variable_with_forward_slashes(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "EMY_TVX_JAVA")
    result = tovex.run_exe(exe, log=True, env={"MY_TVX_JAVA": rt.home_win.replace("\\", "/")})
    assert loaded(result), result.log
    assert loaded_from(result) == normalised(rt.java_exe)


def test_system_search_path(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "S")
    result = tovex.run_exe(exe, log=True, env={"WINEPATH": tovex.wine_path(rt.bin)})
    assert loaded(result), result.log
    assert loaded_from(result) == normalised(rt.java_exe)


def test_variables_in_entries_are_expanded(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "A${TVX_RT_PARENT}\\my jre")
    result = tovex.run_exe(exe, log=True, env={"TVX_RT_PARENT": tovex.wine_path(appdir)})
    assert has_line(result, f"Testing location {rt.home_win} (type A)"), result.log
    assert loaded(result)


@pytest.mark.parametrize("name", ["TOVEX_JAVA_HOME", "MARLOWKIT_JAVA_HOME"])
def test_last_resort_variables(appdir, rts, name):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, "")
    result = tovex.run_exe(exe, log=True, env={name: rt.home_win.replace("\\", "/")})
    assert has_line(result, "Search sequence finished")
    assert loaded(result), result.log


def test_fallback_pass_takes_a_too_old_shipped_runtime(appdir, rts):
    rts.make(appdir / "my jre")
    exe = build(appdir, "B.\\my jre", MIN_VERSION="1.9")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, "Testing relative location .\\my jre")
    assert any(line.endswith("\\my jre\\bin\\java.exe exists") for line in result.log_lines), result.log
    assert loaded(result)


def test_absolute_a_entry_takes_no_part_in_the_fallback_pass(appdir, rts):
    rt = rts.make(appdir / "my jre")
    exe = build(appdir, f"A{rt.home_win}", MIN_VERSION="1.9")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert "E1016 no jvm 64" in result.stderr
    assert not lines_with(result, "Testing relative location")


def test_preferred_location_file_first(appdir, rts):
    preferred = rts.make(appdir / "preferred jre")
    other = rts.make(appdir / "my jre")
    (appdir / ".marlowkit").mkdir()
    (appdir / ".marlowkit" / "pref_jre.cfg").write_bytes(preferred.home_win.encode("cp1252") + b"\r\nignored\r\n")
    exe = build(appdir, "B.\\my jre")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"Has preferred location {preferred.home_win}")
    assert has_line(result, "Using preferred location")
    assert loaded_from(result) == normalised(preferred.java_exe)
    assert other.version_probes() == 0


def test_failing_preferred_location_does_not_stop_the_search(appdir, rts):
    rt = rts.make(appdir / "my jre")
    (appdir / ".marlowkit").mkdir()
    (appdir / ".marlowkit" / "pref_jre.cfg").write_text("C:\\no such jre\r\n")
    exe = build(appdir, "B.\\my jre")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, "Has preferred location C:\\no such jre")
    assert not has_line(result, "Using preferred location")
    assert loaded_from(result) == normalised(rt.java_exe)


def test_installer_location_file_after_the_entries(appdir, rts):
    rt = rts.make(appdir / "installed jre")
    (appdir / ".marlowkit").mkdir()
    (appdir / ".marlowkit" / "inst_jre.cfg").write_bytes(rt.home_win.encode("cp1252") + b"\r\n")
    exe = build(appdir, "AC:\\no such jre")
    result = tovex.run_exe(exe, log=True)
    lines = result.log_lines
    assert lines.index("Testing location C:\\no such jre (type A)") < lines.index(
        f"Has installer location {rt.home_win}")
    assert has_line(result, "Using installer location")
    assert loaded_from(result) == normalised(rt.java_exe)


# -- registry sources --------------------------------------------------------------------------------

def test_javasoft_current_version(appdir, rts, registry):
    rt = rts.make(appdir / "my jre")
    registry.add(JRE_KEY, "/v", "CurrentVersion", "/d", "1.8")
    registry.add(JRE_KEY + "\\1.8", "/v", "JavaHome", "/d", rt.home_win)
    exe = build(appdir, "Y")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"found sun {normalised(rt.java_exe)} {VERSION}"), result.log
    assert loaded(result)


def test_javasoft_enumeration_newest_first_within_limits(appdir, rts, registry):
    old = rts.make(appdir / "jre six", version_output='java version "1.6.0_31"\n')
    new = rts.make(appdir / "jre seven", version_output='java version "1.7.0_05"\n')
    too_new = rts.make(appdir / "jre eight")
    registry.add(JRE_KEY, "/v", "CurrentVersion", "/d", "1.7.0_99")
    registry.add(JRE_KEY + "\\1.7.0_99", "/v", "JavaHome", "/d", "C:\\removed jre")
    registry.add(JRE_KEY + "\\1.6", "/v", "JavaHome", "/d", old.home_win)
    registry.add(JRE_KEY + "\\1.7", "/v", "JavaHome", "/d", new.home_win)
    registry.add(JRE_KEY + "\\1.8", "/v", "JavaHome", "/d", too_new.home_win)
    exe = build(appdir, "Y", MIN_VERSION="1.5", MAX_VERSION="1.7")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"found sun {normalised(new.java_exe)} 1.7.0_05"), result.log
    assert old.version_probes() == 0 and too_new.version_probes() == 0
    assert loaded_from(result) == normalised(new.java_exe)


def test_jdk_only_mode_reads_no_runtime_environment_key(appdir, rts, registry):
    jre = rts.make(appdir / "plain jre")
    jdk = rts.make(appdir / "my jdk", jdk=True, version_output='java version "1.7.0_05"\n')
    registry.add(JRE_KEY, "/v", "CurrentVersion", "/d", "1.8")
    registry.add(JRE_KEY + "\\1.8", "/v", "JavaHome", "/d", jre.home_win)
    registry.forget(JDK_KEY)
    registry.add(JDK_KEY + "\\1.7", "/v", "JavaHome", "/d", jdk.home_win)
    exe = build(appdir, "Y", REQUIRE_JDK="1")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"found sun {normalised(jdk.java_exe)} 1.7.0_05"), result.log
    assert jre.version_probes() == 0


def test_located_jvm_wins_a_tie_with_javasoft(appdir, rts, registry):
    sun = rts.make(appdir / "sun jre")
    located = rts.make(appdir / "located jre")
    registry.add(JRE_KEY, "/v", "CurrentVersion", "/d", "1.8")
    registry.add(JRE_KEY + "\\1.8", "/v", "JavaHome", "/d", sun.home_win)
    registry.forget("HKCU\\" + LOCATED_ROOT)
    registry.add("HKCU\\" + LOCATED_ROOT + "\\" + tovex.wine_path(located.java_exe).replace("\\", "/"))
    exe = build(appdir, "Y")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"found sun {normalised(sun.java_exe)} {VERSION}")
    assert has_line(result, f"found located {normalised(located.java_exe)} {VERSION}")
    assert loaded_from(result) == normalised(located.java_exe)


def test_located_jvm_greater_version_in_the_user_hive_wins(appdir, rts, registry):
    user = rts.make(appdir / "user jre", version_output='java version "1.8.0_401"\n')
    machine = rts.make(appdir / "machine jre")
    for hive, rt in (("HKCU", user), ("HKLM", machine)):
        registry.forget(hive + "\\" + LOCATED_ROOT)
        registry.add(hive + "\\" + LOCATED_ROOT + "\\" + tovex.wine_path(rt.java_exe).replace("\\", "/"))
    exe = build(appdir, "Y")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"found located {normalised(user.java_exe)} 1.8.0_401"), result.log
    assert loaded_from(result) == normalised(user.java_exe)


@pytest.mark.parametrize("hive,word", [("HKCU", "user"), ("HKLM", "machine")])
def test_previous_installation(appdir, rts, registry, hive, word):
    rt = rts.make(appdir / "old install" / "jre")
    key = hive + "\\" + INSTALLATIONS_KEY
    registry.add(key, "/v", "MyApp", "/d", "C:\\gone;;" + tovex.wine_path(appdir / "old install"))
    exe = build(appdir, "", INSTALLATION_KEY="MyApp")
    result = tovex.run_exe(exe, log=True)
    assert any(line.startswith("found installations: C:\\gone;;") for line in result.log_lines), result.log
    assert has_line(result, f"found JRE from previous installation ({word}) {normalised(rt.java_exe)}")
    assert loaded(result)


# -- failures: one message by source kind, exit code 83 -------------------------------------------------

def test_nothing_found(appdir):
    exe = build(appdir, "AC:\\no such jre;EMY_UNSET_TVX_VAR;Y")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert "E1016 no jvm 64" in result.stderr
    assert has_line(result, "ERROR: No JVM found")


FAILURES = [
    # Libraries whose headers say x86-64 DLL pass the search's check and fail only when loaded: one whose sections
    # are missing (it does not load), one without JNI_CreateJavaVM (it loads, the entry is missing).
    ("location", "truncated", "B.\\my jre", {}, "E1020 damaged .\\my jre"),
    ("variable", "foreign", "EMY_TVX_JAVA", {"MY_TVX_JAVA": None}, "E1018 variable MY_TVX_JAVA"),
    ("system path", "foreign", "S", {"WINEPATH": "bin"}, "E1016 no jvm 64"),
    ("registry", "foreign", "Y", {}, "E1005 start failed"),
    ("last resort", "foreign", "", {"TOVEX_JAVA_HOME": None}, "E1018 variable TOVEX_JAVA_HOME"),
]


@pytest.mark.parametrize("case,jvm,sequence,env,message", FAILURES, ids=[f[0] for f in FAILURES])
def test_vm_library_that_does_not_load(appdir, rts, registry, case, jvm, sequence, env, message):
    rt = rts.make(appdir / "my jre", jvm=jvm)
    env = {k: (tovex.wine_path(rt.bin) if v == "bin" else rt.home_win) for k, v in env.items()}
    if sequence == "Y":
        registry.forget("HKCU\\" + LOCATED_ROOT)
        registry.add("HKCU\\" + LOCATED_ROOT + "\\" + tovex.wine_path(rt.java_exe).replace("\\", "/"))
    exe = build(appdir, sequence)
    result = tovex.run_exe(exe, log=True, env=env)
    assert result.returncode == tovex.EXIT_NO_JVM, result.stderr
    assert message in result.stderr
    assert result.stderr.count("E10") == 1, result.stderr
    bin_dir = normalised(rt.bin)
    assert has_line(result, f"Trying {bin_dir}\\server\\jvm.dll (exists 1)")
    assert has_line(result, "ERROR: Could not load functions")
    if jvm == "foreign":
        return   # loaded, without the entry: PATH keeps the runtime's bin
    assert lines_with(result, "Failed with error code "), result.log
    assert has_line(result, "ERROR: Could not get DLL-Handle.")
    # The development-kit retry, and PATH as it was after each failed attempt.
    assert any(line.endswith("\\jre\\bin\\server\\jvm.dll (exists 0)") for line in result.log_lines)
    path_lines = [line for line in lines_with(result, "Setting PATH ") if "(native libs)" not in line]
    assert len(path_lines) == 4 and path_lines[1] == path_lines[3] and not path_lines[1].endswith(bin_dir)


# -- packed runtimes --------------------------------------------------------------------------------------

PACKED = ("lib/rt.jar", "lib/charsets.jar", "lib/jsse.jar")


def test_packed_runtime_is_unpacked_once(appdir, rts):
    rt = rts.make(appdir / "my jre", packed_jars=PACKED, unpack200="ok")
    exe = build(appdir, "B.\\my jre")
    first = tovex.run_exe(exe, log=True)
    assert "Preparing JRE ..." in first.stdout
    assert has_line(first, "Unpacking JRE") and has_line(first, "Unpacking JRE done")
    assert lines_with(first, "pack path doesn't exists") and len(lines_with(first, "pack path doesn't exists")) == 4
    starts = rt.unpack_starts()
    assert len(starts) == 3
    for jar, start in zip(PACKED, starts):
        packed = normalised(rt.home / jar)
        assert start.endswith(f'\\bin\\unpack200.exe" -r "{packed}.pack" "{packed}"'), start
        assert (rt.home / jar).read_bytes() == rt.packed_content(jar)
        assert not (rt.home / (jar + ".pack")).exists()
    assert loaded(first), first.log

    second = tovex.run_exe(exe, log=True)
    assert len(rt.unpack_starts()) == 3
    assert not has_line(second, "Unpacking JRE")
    assert loaded(second)


def test_unpacker_that_cannot_be_started(appdir, rts):
    rt = rts.make(appdir / "my jre", packed_jars=PACKED, unpack200=None)
    exe = build(appdir, "B.\\my jre")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == tovex.EXIT_FATAL
    assert "E1009 internal error 20" in result.stderr
    assert has_line(result, "could not create unpack process")
    assert (rt.home / "lib" / "rt.jar.pack").exists()
