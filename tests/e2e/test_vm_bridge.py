"""Real Java programs started by a built launcher: the stand-in jvm.dll in bridge mode runs them on the host JDK."""
import pytest

import tovex
from vm_util import app, compile_probe


@pytest.fixture(scope="module")
def probe_classes(tmp_path_factory):
    if not tovex.RUNTIME_JAR.exists():
        pytest.skip(f"{tovex.RUNTIME_JAR} is missing: run `make BUILD={tovex.BUILD} java` first")
    return compile_probe(tmp_path_factory.mktemp("probe"))


def probe_app(appdir, probe_classes, out, mode="", **settings):
    options = f"-Dvm.test.out={out}" + (f" -Dvm.test.mode={mode}" if mode else "")
    class_path = f"A1{tovex.wine_path(tovex.RUNTIME_JAR)};D1{tovex.wine_path(probe_classes)}"
    exe, _ = app(appdir, jvm="bridge", MAIN_CLASS="vmtest.Probe", VM_OPTIONS=options, CLASS_PATH=class_path,
                 **settings)
    return exe


def arguments_of(out):
    return [line[len("arg:"):] for line in out.read_text(encoding="utf-8").splitlines() if line.startswith("arg:")]


def properties_of(out):
    lines = out.read_text(encoding="utf-8").splitlines()
    return dict(line[len("prop:"):].split("=", 1) for line in lines if line.startswith("prop:"))


def test_program_receives_its_arguments(appdir, tmp_path, probe_classes):
    out = tmp_path / "out.txt"
    exe = probe_app(appdir, probe_classes, out, APP_ARGUMENTS='x "fixed two"')
    given = ["plain", "with blank", "Ünïcödé", "中文 😀", "-J-kept"]
    result = tovex.run_exe(exe, given + ["-Dsun.locale.formatasdefault=true"], log=True)
    assert result.returncode == 0, result.stderr + (result.log or "")
    assert arguments_of(out) == ["x", "fixed two"] + given
    properties = properties_of(out)
    # (The bridge hands Windows paths in options to the host VM as Linux paths.)
    assert properties["tovex.moduleName"] == str(exe)
    assert properties["sun.locale.formatasdefault"] == "true"
    assert "launch done" in result.log_lines


def test_exit_code_of_the_program(appdir, tmp_path, probe_classes):
    out = tmp_path / "out.txt"
    result = tovex.run_exe(probe_app(appdir, probe_classes, out, mode="exit"))
    assert out.exists()
    assert result.returncode == 3


def test_exception_in_main(appdir, tmp_path, probe_classes):
    out = tmp_path / "out.txt"
    result = tovex.run_exe(probe_app(appdir, probe_classes, out, mode="throw"), log=True)
    assert out.exists()
    assert result.returncode == 1
    assert "vm test failure" in result.stderr
    assert "E1014 main ended with " in result.stderr and "vm test failure" in result.stderr.split("E1014")[1]
    assert "E1005" not in result.stderr
    assert "ERROR: could not call main" in result.log_lines


def test_non_daemon_thread_outlives_main(appdir, tmp_path, probe_classes):
    out = tmp_path / "out.txt"
    result = tovex.run_exe(probe_app(appdir, probe_classes, out, mode="thread"), log=True)
    assert result.returncode == 0, result.stderr
    assert (tmp_path / "out.txt.thread").read_text() == "done\n"
    lines = result.log_lines
    assert lines.index("dest JVM") < lines.index("launch done")
