"""The VM option list and the argument list of main under Wine, recorded by the stand-in jvm.dll."""
import os

import pytest

import tovex
from vm_util import app, exe_dir, property_value, split_options


def test_option_order_with_nested_includes_and_j_arguments(appdir):
    (appdir / "conf").mkdir()
    (appdir / "conf" / "more").mkdir()
    (appdir / "conf" / "one.vmoptions").write_text("-Done=1\n-include-options more\\two.vmoptions\n")
    (appdir / "conf" / "more" / "two.vmoptions").write_text("  -Dtwo=${TOVEX_EXEDIR}  \r\n# comment\n\t-Dtab\n")
    (appdir / "app.vmoptions").write_text("-Dfile=1\n-classpath/a C:\\appended.jar\n")
    exe, rt = app(appdir, VM_OPTIONS='-Xmx64m "-Dq=a b" -include-options conf\\one.vmoptions',
                  ACCEPT_J_ARGUMENTS=1, CLASS_PATH="A0lib\\a.jar")
    result = tovex.run_exe(exe, ["-J-Dj=1", "x"], log=True)
    assert result.returncode == 0, result.stderr + (result.log or "")
    properties, rest = split_options(rt.options())
    d = exe_dir(appdir)
    assert rest == ["-Xmx64m", "-Dq=a b", "-Done=1", f"-Dtwo={d}", "\t-Dtab", "-Dj=1",
                    "-Dsun.locale.formatasdefault=true", "-Dfile=1",
                    f"-Djava.class.path={d}lib\\a.jar;C:\\appended.jar"]
    assert [p.split("=")[0] for p in properties] == [
        "-Dtovex.semaphoreName", "-Dtovex.moduleName", "-Dsun.java.command", "-Dtovex.tempDir",
        "-Dtovex.unextractedPosition", "-Djava.library.path", "-Dtovex.consoleCodepage"]
    assert property_value(properties, "tovex.moduleName") == d + "app.exe"
    assert property_value(properties, "tovex.tempDir") == ""
    args = rt.main_args()
    assert args[:5] + args[6:] == ["false", "app.Main", "", "", "false", "x"]
    assert args[5].endswith("app.exe")
    assert "vmoption count 16" in result.log_lines


def test_j_arguments_are_program_arguments_when_not_accepted(appdir):
    exe, rt = app(appdir)
    result = tovex.run_exe(exe, ["-J-Dj=1"])
    assert result.returncode == 0, result.stderr
    assert "-Dj=1" not in rt.options()
    assert rt.main_args()[6:] == ["-J-Dj=1"]


@pytest.mark.parametrize("arguments,expected", [
    ([], ["-Dsun.locale.formatasdefault=true"]),
    (["-Dsun.locale.formatasdefault=true"], ["-Dsun.locale.formatasdefault=true"]),
    (["-Dsun.locale.formatasdefault=false"],
     ["-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=DE"]),
], ids=["none", "true", "false"])
def test_locale_options_with_a_german_user(tmp_path, arguments, expected):
    # No German locale is installed on the Linux side: Wine then cannot map non-ASCII file names,
    # so this one application lives in an ASCII folder.
    exe, rt = app(tmp_path / "plain app")
    result = tovex.run_exe(exe, arguments + ["last"], env={"LANG": "de_DE.UTF-8", "LC_ALL": "de_DE.UTF-8"})
    assert result.returncode == 0, result.stderr
    _, rest = split_options(rt.options())
    assert rest[:-1] == expected
    assert rt.main_args()[6:] == ["last"]


def test_class_path_forms(appdir):
    (appdir / "lib").mkdir()
    (appdir / "lib" / "present.jar").write_bytes(b"PK")
    (appdir / "classes").mkdir()
    (appdir / "scan").mkdir()
    for name in ("b.jar", "c.zip", "ignored.txt"):
        (appdir / "scan" / name).write_bytes(b"PK")
    (appdir / "empty").mkdir()
    exe, rt = app(appdir, CLASS_PATH="A1lib\\present.jar;A0lib\\missing.jar;D1classes;E1VM_TEST_CP;"
                                     "E0VM_TEST_UNSET;S1scan;S1empty")
    result = tovex.run_exe(exe, log=True, env={"VM_TEST_CP": '"C:\\e1.jar;C:\\e2.jar"'})
    assert result.returncode == 0, result.stderr
    d = exe_dir(appdir)
    assert rt.options()[-1] == (f"-Djava.class.path={d}lib\\present.jar;{d}lib\\missing.jar;{d}classes;"
                                f"C:\\e1.jar;C:\\e2.jar;{d}scan\\b.jar;{d}scan\\c.zip;")


def test_class_path_overrides_from_an_options_file(appdir):
    (appdir / "app.vmoptions").write_text(
        "-classpath C:\\first.jar\n-classpath C:\\second.jar\n-classpath/p C:\\pre.jar\n-classpath/a C:\\post.jar\n"
        "-classpath\n")
    exe, rt = app(appdir, CLASS_PATH="A0lib\\a.jar")
    assert tovex.run_exe(exe).returncode == 0
    assert rt.options()[-2:] == ["-classpath", "-Djava.class.path=C:\\pre.jar;C:\\second.jar;C:\\post.jar"]


def test_empty_class_path_is_still_the_last_option(appdir):
    exe, rt = app(appdir, CLASS_PATH=None)
    assert tovex.run_exe(exe).returncode == 0
    assert rt.options()[-1] == "-Djava.class.path="


def test_extracted_archives_come_first(appdir, tmp_path):
    archive = tmp_path / "extracted.jar"
    archive.write_bytes(b"PK")
    exe, rt = app(appdir, files={"extracted.jar": archive}, CLASS_PATH="A0lib\\a.jar")
    result = tovex.run_exe(exe)
    assert result.returncode == 0, result.stderr
    temp_dir = property_value(rt.options(), "tovex.tempDir")
    assert temp_dir
    assert rt.options()[-1] == f"-Djava.class.path={temp_dir}\\extracted.jar;{exe_dir(appdir)}lib\\a.jar;"


@pytest.mark.parametrize("entry,message", [
    ("A1lib\\gone.jar", "E1006 not found lib\\gone.jar"),
    ("E1VM_TEST_UNDEFINED", "E1008 undefined VM_TEST_UNDEFINED"),
])
def test_missing_mandatory_entry_ends_the_launch(appdir, entry, message):
    exe, rt = app(appdir, CLASS_PATH=entry)
    result = tovex.run_exe(exe)
    assert result.returncode == 1
    assert message in result.stderr
    assert not any(line.startswith("create ") for line in rt.last_run())


def test_marlowkit_flavour(appdir):
    marker = appdir / "inst" / ".marlowkit"
    marker.mkdir(parents=True)
    (marker / "firstrun").write_text("")
    exe, rt = app(appdir, script="firstrun false\n", LAUNCHER_FLAVOUR="i", INSTALLATION_ROOT=".\\inst",
                  CLASS_PATH="A0lib\\a.jar")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == 0, result.stderr
    options = rt.options()
    assert "-Dtovex.isMarlowkit=true" in options
    d = exe_dir(appdir)
    assert options[-1] == f"-Djava.class.path={d}inst\\.marlowkit\\mlkruntime.jar;{d}lib\\a.jar;"
    run = rt.last_run()
    assert "findclass com/marlowkit/runtime/launcher/FirstRun" in run
    assert "call firstRun -> false" in run
    assert "call main" not in run
    assert "checkFirstRun stopped further execution" in result.log_lines


def test_marlowkit_flavour_without_marker_calls_main(appdir):
    exe, rt = app(appdir, LAUNCHER_FLAVOUR="i", INSTALLATION_ROOT=".\\inst")
    assert tovex.run_exe(exe).returncode == 0
    run = rt.last_run()
    assert not any("FirstRun" in line for line in run)
    assert "findclass com/marlowkit/runtime/launcher/WinLauncher" in run
    assert "call main" in run


def test_tovex_flavour_ignores_the_first_run_marker(appdir):
    marker = appdir / "inst" / ".marlowkit"
    marker.mkdir(parents=True)
    (marker / "firstrun").write_text("")
    exe, rt = app(appdir, script="firstrun false\n", LAUNCHER_FLAVOUR="e", INSTALLATION_ROOT=".\\inst")
    assert tovex.run_exe(exe).returncode == 0
    assert "call main" in rt.last_run()
    assert not any("FirstRun" in line for line in rt.last_run())


def test_native_library_directories_in_front_of_path(appdir):
    exe, rt = app(appdir, NATIVE_LIB_DIRS="lib\\native;%TOVEX_EXEDIR%other")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == 0, result.stderr
    d = exe_dir(appdir)
    library_path = property_value(rt.options(), "java.library.path")
    assert library_path.startswith(f"{d}lib\\native;{d}other;")
    assert any(line.startswith(f"Setting PATH (native libs) {d}lib\\native;{d}other;") for line in result.log_lines)


def test_a_path_over_16383_bytes_stays_behind_the_native_directories(appdir):
    # Wine puts WINEPATH in front of the prefix's PATH (system32 and the rest).
    long_part = ";".join(f"C:\\long\\entry{i:05d}" for i in range(1200))
    assert len(long_part) > 16383
    exe, rt = app(appdir, NATIVE_LIB_DIRS="lib")
    result = tovex.run_exe(exe, log=True, env={"WINEPATH": long_part})
    assert result.returncode == 0, result.stderr
    line = [x for x in result.log_lines if x.startswith("Setting PATH (native libs) ")]
    assert len(line) == 1
    value = line[0][len("Setting PATH (native libs) "):]
    assert value.startswith(f"{exe_dir(appdir)}lib;{long_part};")
    assert "c:\\windows\\system32" in value.lower(), "what was on PATH is kept"


def test_system_temporary_directory_is_looked_up_once_for_all_expansions(appdir):
    counts = []
    for lines in (1, 200):
        (appdir / "app.vmoptions").write_text("".join(f"-Dt{i}=${{launcher:sys.tempDir}}\n" for i in range(lines)))
        exe, rt = app(appdir)
        result = tovex.run_exe(exe, log=True)
        assert result.returncode == 0, result.stderr
        _, rest = split_options(rt.options())
        values = {o.split("=", 1)[1] for o in rest if o.startswith("-Dt")}
        assert len([o for o in rest if o.startswith("-Dt")]) == lines
        assert len(values) == 1 and values.pop().lower().endswith("\\temp\\")
        counts.append(sum(x.startswith("GetTempPath returned") for x in result.log_lines))
    assert counts[0] == counts[1], "the lookups do not grow with the options-file lines"


def test_main_argument_list(appdir):
    exe, rt = app(appdir, APP_ARGUMENTS='fixed "two words" %TOVEX_PATHLIST_SEPARATOR%', EXE_TYPE=1,
                  ERROR_LOG_ENABLED=1, ERROR_LOG_FILE="logs\\err.log", OUTPUT_LOG_ENABLED=1,
                  OUTPUT_LOG_FILE="$stdout", FIFTH_LAUNCHER_ARG=1, stub="gui")
    result = tovex.run_exe(exe, ["a b", "Ünï", "-Dsun.locale.formatasdefault=false"])
    assert result.returncode == 0, result.stderr
    args = rt.main_args()
    assert args[:5] == ["true", "app.Main", exe_dir(appdir) + "logs\\err.log", "$stdout", "true"]
    assert args[5].endswith("app.exe")
    assert args[6:] == ["fixed", "two words", ";", "a b", "Ünï"]


def test_exception_in_main_shows_1014(appdir):
    exe, rt = app(appdir, script="main throw java.lang.IllegalStateException boom\n")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == 1
    assert "E1014 main ended with java.lang.IllegalStateException: boom" in result.stderr
    assert "E1005" not in result.stderr
    assert "ERROR: could not call main" in result.log_lines
    assert "describe" in rt.last_run()
    assert not any(line.startswith("destroy") for line in rt.last_run())


def test_failed_creation_shows_1005(appdir):
    exe, rt = app(appdir, script="create fail -4\n")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == 1
    assert "E1005 start failed" in result.stderr
    assert "ERROR: could not initialize JVM" in result.log_lines


@pytest.mark.parametrize("missing,message", [("com/tovex/runtime/WinLauncher", "E1010 no launcher class")])
def test_missing_launcher_class(appdir, missing, message):
    exe, rt = app(appdir, script=f"missing class {missing}\n")
    result = tovex.run_exe(exe)
    assert result.returncode == 1
    assert message in result.stderr


def test_missing_main_method(appdir):
    exe, rt = app(appdir, script="missing method main\n")
    result = tovex.run_exe(exe)
    assert result.returncode == 1
    assert "E1011 no main method" in result.stderr


@pytest.mark.parametrize("script,code", [
    ("missing class com/marlowkit/runtime/launcher/FirstRun\n", "14"),
    ("missing method firstRun\n", "15"),
], ids=["no-class", "no-method"])
def test_first_run_that_cannot_be_called_is_an_internal_error(appdir, script, code):
    marker = appdir / "inst" / ".marlowkit"
    marker.mkdir(parents=True)
    (marker / "firstrun").write_text("")
    exe, rt = app(appdir, script=script, LAUNCHER_FLAVOUR="i", INSTALLATION_ROOT=".\\inst")
    result = tovex.run_exe(exe)
    assert result.returncode == 1, result.stderr
    assert f"E1009 internal error {code}" in result.stderr.splitlines()
    assert not any("call main" in line or "call firstRun" in line for line in rt.last_run())
