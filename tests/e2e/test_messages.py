"""The end user's messages: every default text the launcher shows (ids 1000-1020 as
the builder writes them when the configuration gives none) against its cause, with
real Windows Java runtimes (build/runtimes, `make runtimes`) wherever a runtime can
show the cause; the stand-in runtime only for a damaged VM library.

The expected texts are read back from the built exe (`tovex-build --dump`), so the
table checks the launcher's filling of "{0}" and "{details}" against the builder's
own default texts (src/launcher/default_texts.cpp), not a copy of them.
"""
import collections
import os
import pathlib
import re
import shutil
import stat
import subprocess

import pytest

import runtimes
import splash_util as su
import tovex

REAL = tovex.BUILD / "runtimes" / "17"
CRASH_MARKERS = ("Unhandled", "page fault", "EXCEPTION_ACCESS_VIOLATION", "hs_err")

THROWING_MAIN = """package demo;
public class Main {
    public static void main(String[] args) {
        throw new IllegalStateException("the demo failed on purpose");
    }
}
"""
# A launcher class without main: the runtime jar of a wrong build.
NO_MAIN_LAUNCHER = """package com.tovex.runtime;
public class WinLauncher {
    public static void start(String[] args) {
    }
}
"""


def _jar(tmp: pathlib.Path, name: str, source_path: str, source: str) -> pathlib.Path:
    src = tmp / "src" / name / source_path
    src.parent.mkdir(parents=True, exist_ok=True)
    src.write_text(source)
    classes = tmp / "classes" / name
    classes.mkdir(parents=True, exist_ok=True)
    java_bin = pathlib.Path(tovex.JAVA_HOME) / "bin"
    subprocess.run([str(java_bin / "javac"), "--release", "8", "-d", str(classes), str(src)], check=True)
    jar = tmp / f"{name}.jar"
    subprocess.run([str(java_bin / "jar"), "cf", str(jar), "-C", str(classes), "."], check=True)
    return jar


@pytest.fixture(scope="module")
def jars(tmp_path_factory):
    assert (REAL / "bin" / "server" / "jvm.dll").exists(), "real runtimes missing: run make runtimes"
    tmp = tmp_path_factory.mktemp("message-jars")
    return {"throws": _jar(tmp, "throws", "demo/Main.java", THROWING_MAIN),
            "nomain": _jar(tmp, "nomain", "com/tovex/runtime/WinLauncher.java", NO_MAIN_LAUNCHER)}


def default_texts(exe: pathlib.Path) -> dict:
    """MSG_* name -> text, as the builder wrote them into exe."""
    dump = subprocess.run([str(tovex.BUILDER), "--dump", str(exe)], capture_output=True, text=True, check=True).stdout
    texts = {}
    for line in dump.splitlines():
        m = re.match(r"(MSG_\w+) = (.*)$", line)
        if not m:
            continue
        value = m.group(2)
        if value.startswith('"'):
            value = re.sub(r'\\(.)', lambda e: {"n": "\n", "r": "\r", "t": "\t"}.get(e.group(1), e.group(1)),
                           value[1:-1])
        texts[m.group(1)] = value
    return texts


def fill(text: str, argument: str | None = None, details: str = "") -> str:
    """The launcher's filling: the argument in the first "{0}", details in every "{details}"."""
    if argument is not None and "{0}" in text:
        before, _, after = text.partition("{0}")
        return before.replace("{details}", details) + argument + after.replace("{details}", details)
    return text.replace("{details}", details)


def searched_details(versions: str, places: str, home_line: str) -> str:
    return f"\n\nJava versions accepted: {versions}.\nSearched: {places}.\n{home_line}"


NOT_SET_ADVICE = "To use a Java that is installed elsewhere, set TOVEX_JAVA_HOME to its folder."
REAL_WIN = tovex.wine_path(REAL)
CP = f"A1{tovex.wine_path(tovex.RUNTIME_JAR)};A1lib\\app.jar"


def base(main="demo.Main", cp=CP, extra=""):
    return f"MAIN_CLASS = {main}\nEXE_TYPE = 0\nJVM_SEARCH_SEQUENCE = A{REAL_WIN}\nCLASS_PATH = {cp}\n{extra}"


# name: (config, jar beside the exe as lib\app.jar, environment, exit code, message name, argument, details).
# Arguments and details that depend on the test's folders are callables of appdir.
CASES = {
    "no Java: the version range refuses the real 17; the variable is not set": (
        base(extra="MIN_VERSION = 21\nMAX_VERSION = 25\nJVM_SEARCH_SEQUENCE = A" + REAL_WIN + ";S\n"), "throws", {},
        tovex.EXIT_NO_JVM, "MSG_NO_JVM_BITS", "64",
        searched_details("21 to 25", f"the folder {REAL_WIN}, the system path (PATH), TOVEX_JAVA_HOME (not set)",
                         NOT_SET_ADVICE)),
    "no Java: TOVEX_JAVA_HOME is set but holds no Java": (
        base(extra="MIN_VERSION = 21\n"), "throws", {"TOVEX_JAVA_HOME": "C:\\nowhere\\jdk"},
        tovex.EXIT_NO_JVM, "MSG_NO_JVM_BITS", "64",
        searched_details("21 or later", f"the folder {REAL_WIN}, TOVEX_JAVA_HOME (C:\\nowhere\\jdk)",
                         "TOVEX_JAVA_HOME is set to C:\\nowhere\\jdk, but there is no suitable Java there.")),
    "the VM cannot be created: -Xmx far beyond the address space": (
        # HotSpot ends the process itself while it is being created: the launcher's abort hook shows the
        # box, with the last line the VM printed (its own reason).
        base(extra="VM_OPTIONS = -Xmx900000000g\n"), "throws", {}, tovex.EXIT_FATAL, "MSG_JVM_START_FAILED", None,
        "\n\nJava gave up while starting: Could not reserve enough space for 943718400000000KB object heap"),
    "the program's main throws": (
        base(), "throws", {}, tovex.EXIT_FATAL, "MSG_STARTUP_ERROR",
        "java.lang.IllegalStateException: the demo failed on purpose", ""),
    "the configured main class is missing": (
        base(main="demo.Missing"), "throws", {}, tovex.EXIT_FATAL, "MSG_MAIN_CLASS_NOT_LOADED", "demo.Missing", ""),
    "the runtime jar is not on the class path": (
        base(cp="A1lib\\app.jar"), "throws", {}, tovex.EXIT_FATAL, "MSG_MAIN_CLASS_NOT_LOADED",
        "com.tovex.runtime.WinLauncher", ""),
    "the launcher class has no main": (
        base(cp="A1lib\\app.jar"), "nomain", {}, tovex.EXIT_FATAL, "MSG_MAIN_METHOD_NOT_FOUND",
        "com.tovex.runtime.WinLauncher", ""),
    "a mandatory class-path jar is missing": (
        base(cp=CP + ";A1lib\\gone.jar"), "throws", {}, tovex.EXIT_FATAL, "MSG_FILE_NOT_FOUND", "lib\\gone.jar", ""),
    "a mandatory class-path variable is not defined": (
        base(cp=CP + ";E1TOVEX_TEST_UNDEFINED_CP"), "throws", {}, tovex.EXIT_FATAL, "MSG_ENV_VAR_UNDEFINED",
        "TOVEX_TEST_UNDEFINED_CP", ""),
}


@pytest.mark.parametrize("case", list(CASES))
def test_default_text_against_its_cause(case, appdir, jars):
    config, jar, env, code, name, argument, details = CASES[case]
    (appdir / "lib").mkdir()
    shutil.copy(jars[jar], appdir / "lib" / "app.jar")
    exe = tovex.build_app(appdir, config)
    texts = default_texts(exe)
    result = tovex.run_exe(exe, env=env, log=True, timeout=300)
    err = result.stderr.replace("\r\n", "\n")
    assert result.returncode == code, err
    shown = fill(texts[name], argument, details)
    assert "{details}" not in shown and (argument is None or "{0}" not in shown)
    # The box's text is the last thing on standard error (the VM may print before it), then the log's path.
    assert "\n\nLog: " in err, err
    assert err.endswith(shown + err[err.rindex("\n\nLog: "):]), err
    # The log says the same, after the reason behind it.
    assert f"ERROR: message {_ids()[name]} shown: {shown.splitlines()[0]}" in result.log
    assert not any(marker in err for marker in CRASH_MARKERS)
    if "no Java: TOVEX_JAVA_HOME is set" in case:
        assert "set TOVEX_JAVA_HOME to" not in err  # never asks for what is already done
    if name == "MSG_FILE_NOT_FOUND":
        assert "ERROR: mandatory classpath entry lib\\gone.jar (type A) not found or empty" in result.log
    if name == "MSG_JVM_START_FAILED":
        assert "Could not reserve enough space" in result.stdout  # HotSpot's own words, before the box
    if name == "MSG_STARTUP_ERROR":
        assert "maximum heap" not in err and "-Xmx" not in err
        assert "ERROR: an exception occurred in main: java.lang.IllegalStateException" in result.log


def _ids() -> dict:
    names = ["MSG_ERROR_CAPTION", "MSG_NO_JVM", "MSG_PATH_JVM_DAMAGED", "MSG_ENV_VAR_NO_JVM", "MSG_JVM_DAMAGED",
             "MSG_JVM_START_FAILED", "MSG_FILE_NOT_FOUND", "MSG_WRONG_PARAMETERS", "MSG_ENV_VAR_UNDEFINED",
             "MSG_INTERNAL_ERROR", "MSG_MAIN_CLASS_NOT_LOADED", "MSG_MAIN_METHOD_NOT_FOUND", "MSG_DIALOG_CAPTION",
             "MSG_DIALOG_OK", "MSG_STARTUP_ERROR", "MSG_POWERUSER_REQUIRED", "MSG_NO_JVM_BITS",
             "MSG_ENV_VAR_NO_JVM_32", "MSG_ENV_VAR_NO_JVM_64", "MSG_JVM_DAMAGED_32", "MSG_JVM_DAMAGED_64"]
    return {n: 1000 + i for i, n in enumerate(names)}


# Faults a real runtime cannot show without being broken: the stand-in's VM library is an x86-64 DLL cut after its headers (it passes the search's check and fails to load).
@pytest.mark.parametrize("entry,name,argument", [
    ("B.\\jre", "MSG_JVM_DAMAGED_64", ".\\jre"),
    ("ETOVEX_TEST_JAVA", "MSG_ENV_VAR_NO_JVM_64", "TOVEX_TEST_JAVA"),
])
def test_damaged_vm_library(entry, name, argument, appdir):
    rt = runtimes.make_runtime(appdir / "jre", jvm="truncated")
    exe = tovex.build_app(appdir, f"MAIN_CLASS = demo.Main\nEXE_TYPE = 0\nJVM_SEARCH_SEQUENCE = {entry}\n")
    result = tovex.run_exe(exe, env={"TOVEX_TEST_JAVA": rt.home_win}, log=True)
    err = result.stderr.replace("\r\n", "\n")
    assert result.returncode == tovex.EXIT_NO_JVM, err
    shown = fill(default_texts(exe)[name], argument)
    assert err.startswith(shown + "\n\nLog: "), err


def test_read_only_temp_folder_is_named(appdir, tmp_path):
    """An extraction into a temporary folder that cannot be written: the box names the folder.

    Wine sets TMP and TEMP of a program started from Linux itself: cmd sets them for the launcher.
    """
    payload = tmp_path / "data.txt"
    payload.write_text("x")
    temp = tmp_path / "read-only-temp"
    temp.mkdir()
    # A folder without blanks: cmd takes the program unquoted (Wine would escape the quotes).
    exe = tovex.build_app(tmp_path / "app", "MAIN_CLASS = demo.Main\nEXE_TYPE = 0\n", files={"data.txt": payload})
    # Read-only for everybody, root included (the immutable attribute; chmod alone binds only others).
    temp.chmod(stat.S_IRUSR | stat.S_IXUSR)
    immutable = os.geteuid() == 0
    if immutable:
        subprocess.run(["chattr", "+i", str(temp)], check=True)
    folder = tovex.wine_path(temp)
    try:
        proc = tovex.WineProcess(["wine", "cmd", "/c", f'set TMP={folder}&& set TEMP={folder}&& {tovex.wine_path(exe)}'],
                                 env=tovex.wine_env())
        out, err = proc.communicate(timeout=120)
    finally:
        if immutable:
            subprocess.run(["chattr", "-i", str(temp)], check=True)
        temp.chmod(stat.S_IRWXU)
    err = err.decode("cp1252").replace("\r\n", "\n")
    assert proc.returncode == tovex.EXIT_FATAL, err
    assert list(temp.iterdir()) == []
    text = default_texts(exe)["MSG_INTERNAL_ERROR"]
    m = re.search(r"could not be written to \(Windows error (\d+)\)", err)
    assert m, err
    details = (f"\n\nThe folder {folder}\\ could not be written to (Windows error {m.group(1)}).\n\n"
               "What to do: make sure that folder exists and can be written to, or set the TMP environment "
               "variable to a folder that can, and start the program again.")
    assert err == fill(text, "7", details) + "\n", err


def test_no_java_box_of_a_gui_launcher(appdir):
    """The GUI case: the box is shown (screenshot kept for the release notes), its text logged."""
    exe = tovex.build_app(appdir, f"MAIN_CLASS = demo.Main\nEXE_TYPE = 1\nJVM_SEARCH_SEQUENCE = A{REAL_WIN}\n"
                                  "MIN_VERSION = 21\n", stub="gui")
    logs_before = tovex._logs()
    proc = tovex.start_exe(exe, log=True)
    window = tovex.wait_window("Error", proc)
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True,
                              text=True).stdout
    g = {k: int(v) for k, v in (line.split("=", 1) for line in geometry.split()) if k in ("X", "Y", "WIDTH", "HEIGHT")}

    def text_drawn():
        # Dark text right of the icon: the box has been painted, not only mapped.
        shot = su.screenshot("message-no-java.png")
        return shot.count((0, 0, 0), g["X"] + 60, g["Y"] + 10, g["X"] + g["WIDTH"] - 10, g["Y"] + g["HEIGHT"] - 50,
                          tolerance=80) > 300
    tovex.wait_for(text_drawn, 60, interval=0.2, what="the text of the box")
    tovex.answer_window("Error", proc=proc)
    out, err = proc.communicate(timeout=120)
    assert proc.returncode == tovex.EXIT_NO_JVM
    details = searched_details("21 or later", f"the folder {REAL_WIN}, TOVEX_JAVA_HOME (not set)", NOT_SET_ADVICE)
    shown = fill(default_texts(exe)["MSG_NO_JVM_BITS"], "64", details)
    (log_path,) = tovex._logs() - logs_before
    log = pathlib.Path(log_path).read_bytes().decode("cp1252").replace("\r\n", "\n")
    assert f"ERROR: message 1016 shown: {shown}" in log


@pytest.mark.slow
def test_splash_thread_and_missing_launcher_class_stress(appdir, jars):
    """The splash thread attaches to the VM and polls while the main thread finds no launcher class
    and ends the process: every start ends with the message, none with a crash."""
    (appdir / "lib").mkdir()
    shutil.copy(jars["throws"], appdir / "lib" / "app.jar")
    exe = tovex.build_app(appdir, base(cp="A1lib\\app.jar", extra="SPLASH_ENABLED = 1\nSPLASH_WIDTH = 200\n"
                                                                   "SPLASH_HEIGHT = 100\n"))
    shown = fill(default_texts(exe)["MSG_MAIN_CLASS_NOT_LOADED"], "com.tovex.runtime.WinLauncher")
    outcomes = collections.Counter()
    for _ in range(STRESS_STARTS):
        result = tovex.run_exe(exe, log=True, timeout=300)
        err = result.stderr.replace("\r\n", "\n")
        ok = (result.returncode == tovex.EXIT_FATAL and err.startswith(shown + "\n\nLog: ")
              and not any(marker in result.stderr for marker in CRASH_MARKERS))
        outcomes["ok" if ok else f"exit {result.returncode}: {result.stderr[-300:]!r}"] += 1
        if ok:
            # The splash thread was off the VM before the process ended.
            lines = result.log_lines
            assert "splash thread detached from the JVM" in lines or "splash thread attached to the JVM" not in lines
    assert outcomes == {"ok": STRESS_STARTS}


STRESS_STARTS = int(os.environ.get("TOVEX_STRESS_STARTS", "20"))
