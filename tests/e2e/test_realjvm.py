"""The launcher against real Windows Java runtimes (HotSpot 17, 21 and 25 from `make runtimes`).

Every scenario builds an exe with the builder and runs it under Wine; the VM is the runtime's own
jvm.dll, created in the launcher's process, and the program is tests/e2e/realjvm/Main.java.
"""
import pathlib
import subprocess

import pytest

import installed_jvms
import realjvm_util as rj
import splash_util as su
import tovex

pytestmark = pytest.mark.realjvm

NON_ASCII = ["two words", "Grüße", "Привет мир", "中文 文件"]


@pytest.fixture
def report(tmp_path):
    return tmp_path / "report.txt"


def app(appdir, report, config="", **kwargs):
    return rj.App(appdir, report, config, **kwargs)


def lines(text: str) -> list[str]:
    return [line for line in text.splitlines() if line]


# --- The program runs, gets its arguments, its output arrives -----------------------------------------

@pytest.mark.parametrize("major", rj.MAJORS)
def test_console_stub_runs_main_with_its_arguments(appdir, report, major):
    a = app(appdir, report)
    result = a.run(NON_ASCII, java=rj.home(major))
    assert result.returncode == 0, result.stderr
    r = rj.read_report(report)
    assert r["java.version"] == rj.version(major)
    assert r["java.vm.name"].startswith("OpenJDK 64-Bit Server VM")
    assert rj.args_of(r) == NON_ASCII, "arguments reach main exactly, whatever the code page"
    assert f"realapp: started on Java {rj.version(major)}" in result.stdout
    assert r["main-returns"] == "1"
    log = result.log
    assert f"got version from" in log and rj.version(major) in log
    assert log.index("main returned") < log.index("dest JVM") < log.index("launch done")


def test_gui_stub_runs_main_and_ends_with_zero(appdir, report):
    a = app(appdir, report, stub="gui")
    result = a.run(["gui", "Grüße"], java=rj.home("17"))
    assert result.returncode == 0, result.stderr
    r = rj.read_report(report)
    assert rj.args_of(r) == ["gui", "Grüße"] and r["main-returns"] == "1"
    assert "javaw.exe" in result.log, "a GUI launcher needs javaw.exe beside java.exe"


# --- Exit codes ---------------------------------------------------------------------------------------

def test_system_exit_gives_its_code(appdir, report):
    result = app(appdir, report).run(["exit", "7"], java=rj.home("21"))
    assert result.returncode == 7, result.stderr
    assert "main returned" not in result.log, "the program ended the process from inside main"


@pytest.mark.parametrize("major", ["17", "25"])   # main called through reflection on 17, a method handle on 25
def test_exception_from_main_is_printed_and_ends_with_one(appdir, report, major):
    a = app(appdir, report, "MSG_JVM_START_FAILED = The program failed.\n")
    result = a.run(["throw"], java=rj.home(major))
    assert result.returncode == tovex.EXIT_FATAL
    assert "java.lang.IllegalStateException: realapp failed on purpose" in result.stderr
    assert "at realapp.Main.main(Main.java" in result.stderr, "the VM prints the stack trace"
    assert "could not call main" in result.log


def test_destroy_waits_for_a_thread_that_outlives_main(appdir, report, tmp_path):
    marker = tmp_path / "after-main.txt"
    result = app(appdir, report).run(["thread", tovex.wine_path(marker)], java=rj.home("25"))
    assert result.returncode == 0, result.stderr
    assert marker.read_text() == "written after main", "DestroyJavaVM waited for the non-daemon thread"
    assert result.log.index("main returned") < result.log.index("launch done")


# --- Options, properties, class path ------------------------------------------------------------------

def test_options_from_every_source_and_the_launchers_properties(appdir, report, tmp_path):
    (appdir / "lib" / "first").mkdir(parents=True)
    a = app(appdir, report, "ACCEPT_J_ARGUMENTS = 1\n",
            vm_options="-Drealapp.block=B -Drealapp.order=block \"-Drealapp.path=${PATH}\"",
            class_path=r"A1lib\first;A1lib\realapp.jar;A1lib\tovex-runtime.jar")
    (appdir / "app.vmoptions").write_text("-Drealapp.file=F\n-Drealapp.order=file\n", encoding="cp1252")
    java = rj.home("17")
    result = a.run(["-J-Drealapp.j=J", "-J-Drealapp.order=j", "-Dsun.locale.formatasdefault=true", "last"],
                   java=java)
    assert result.returncode == 0, result.stderr
    r = rj.read_report(report)
    assert (r["realapp.block"], r["realapp.file"], r["realapp.j"]) == ("B", "F", "J")
    assert r["realapp.order"] == "file", "the options file comes after the block's options and -J arguments"
    assert rj.args_of(r) == ["last"], "-J and locale arguments do not reach main"
    lib = tovex.wine_path(appdir / "lib")
    assert r["java.class.path"].split(";")[:3] == [lib + "\\first", lib + "\\realapp.jar", lib + "\\tovex-runtime.jar"]
    assert r["loader"] == "system"
    exe = tovex.wine_path(a.exe)
    assert r["tovex.moduleName"] == exe and r["sun.java.command"] == exe
    assert r["tovex.tempDir"] == "" and r["tovex.unextractedPosition"] == "0"
    assert r["tovex.consoleCodepage"].startswith("cp")
    assert r["java.home"].lower() == tovex.wine_path(java).lower()
    assert r["java.library.path"].lower().endswith(tovex.wine_path(java / "bin").lower()), \
        "the runtime's bin is appended to PATH, which becomes java.library.path"
    assert r["realapp.path"] == r["java.library.path"], "${PATH} expands to PATH as the launcher left it"
    assert r["tovex.semaphoreName"] != "<null>" and r["tovex.processCommFile"] == "<null>"


def test_locale_options_reach_the_vm(tmp_path, report):
    """The user's display language as user.language and user.country (Wine takes it from LC_ALL; the
    folder is ASCII-only, since this machine has no German locale to convert other names with)."""
    a = app(tmp_path / "locale", report)
    result = a.run(["-Dsun.locale.formatasdefault=false"], java=rj.home("17"), env={"LC_ALL": "de_DE.UTF-8"})
    assert result.returncode == 0, result.stderr
    r = rj.read_report(report)
    assert (r["user.language"], r["user.country"]) == ("de", "DE")
    assert rj.args_of(r) == []
    assert "-Duser.language=de" in result.log


def test_xss_from_any_source_reaches_main(appdir, report):
    """A recursion of 100,000 interpreted frames needs more than 4 MB of stack and less than 16 MB:
    java.exe -Xss16m runs it, java.exe without -Xss overflows, and so must the launcher."""
    java = rj.home("17")
    jar = ";".join(str(p) for p in (appdir / "lib" / "realapp.jar", appdir / "lib" / "tovex-runtime.jar"))
    a = app(appdir, report, "ACCEPT_J_ARGUMENTS = 1\n", vm_options="-Xint")

    def java_exe(*options):
        cmd = ["wine", str(java / "bin" / "java.exe"), *options, "-Xint",
               f"-Drealapp.report={tovex.wine_path(report)}", "-cp", jar.replace("/", "\\"),
               "realapp.Main", "recurse", "100000"]
        with open("/dev/null", "rb") as devnull:
            proc = subprocess.run(cmd, env=tovex.wine_env(), stdin=devnull, capture_output=True, timeout=180)
        tovex.settle()
        return proc

    assert java_exe().returncode != 0, "without -Xss the recursion overflows (the test needs a large stack)"
    assert java_exe("-Xss16m").returncode == 0
    block = app(appdir, report, vm_options="-Xint -Xss16m", name="block.exe")
    options_file = appdir / "app.vmoptions"
    for name, exe, args, file_text in [("block", block, [], None), ("-J argument", a, ["-J-Xss16m"], None),
                                       ("options file", a, [], "-Xss16m\n")]:
        if file_text:
            options_file.write_text(file_text)
        result = exe.run(args + ["recurse", "100000"], java=java)
        options_file.unlink(missing_ok=True)
        assert result.returncode == 0, f"{name}: {result.stderr[-2000:]}"
        assert rj.read_report(report)["recursed"] == "0", name
        assert "main thread stack: 16777216 bytes (-Xss)" in result.log, name
    result = a.run(["recurse", "100000"], java=java)
    assert result.returncode == tovex.EXIT_FATAL and "StackOverflowError" in result.stderr
    assert "main thread stack" not in result.log, "without -Xss the VM runs on the launcher's thread"


# --- Finding the runtime --------------------------------------------------------------------------------

def test_probe_of_real_java_exe_then_the_version_cache(appdir, report, tmp_path):
    """Java 25 prints VM warnings before its version line under Wine; the probe reads past them."""
    java = rj.linked_copy("25", tmp_path / "jdk 25")
    # The copy keeps the runtime's file times: an entry that an earlier run left for the same path
    # would still be valid, so it goes first.
    cache_key = installed_jvms.CACHE_ROOT + "\\" + installed_jvms.normalised(java / "bin" / "java.exe").replace("\\", "/")
    tovex.reg("delete", cache_key, "/f", check=False)
    a = app(appdir, report, "MIN_VERSION = 21\n")
    first = a.run([], java=java)
    assert first.returncode == 0, first.stderr
    assert f"got version from execution {rj.version('25')}" in first.log
    second = a.run([], java=java)
    assert second.returncode == 0, second.stderr
    assert f"got version from registry {rj.version('25')}" in second.log
    assert "got version from execution" not in second.log


@pytest.mark.parametrize("limits, accepted", [
    ("MIN_VERSION = 17\nMAX_VERSION = 17\n", True),       # a limit is a prefix: 17 admits 17.0.9
    ("MIN_VERSION = 1.8\n", True),
    ("MIN_VERSION = 18\n", False),
    ("MAX_VERSION = 11\n", False),
])
def test_j_entry_finds_a_vendor_folder_by_its_release_file(appdir, report, limits, accepted):
    inst = installed_jvms.Installations()
    try:
        target = installed_jvms.PROGRAM_FILES / "Eclipse Adoptium" / f"jdk-{rj.version('17')}.9-hotspot"
        inst.make_dirs(target.parent)
        rj.linked_copy("17", target)
        if not any(c in target.parents for c in inst.created):
            inst.created.append(target)
        a = app(appdir, report, limits + "MSG_NO_JVM = no Java\n", search="J")
        result = a.run([])
        if accepted:
            assert result.returncode == 0, result.stderr
            assert rj.read_report(report)["java.version"] == rj.version("17")
            assert f"version {rj.version('17')} from release file, accepted" in result.log
        else:
            assert result.returncode == tovex.EXIT_NO_JVM
            assert "from release file, refused" in result.log
    finally:
        inst.cleanup()


# --- Appended files, single instance ------------------------------------------------------------------

def test_appended_file_is_read_from_the_temp_dir(appdir, report, tmp_path):
    data = tmp_path / "greeting.txt"
    data.write_text("hello from an appended file, ünïcödé", encoding="utf-8")
    a = app(appdir, report, files={r"data\greeting.txt": str(data)})
    result = a.run(["read", r"data\greeting.txt"], java=rj.home("21"))
    assert result.returncode == 0, result.stderr
    r = rj.read_report(report)
    assert r["read"] == data.read_text(encoding="utf-8")
    assert r["tovex.tempDir"] and int(r["tovex.unextractedPosition"]) > 0


def test_second_start_reaches_the_java_listener_of_a_real_first_instance(appdir, report, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")
    a = app(appdir, report, "SINGLE_INSTANCE = 1\n", vm_options=f"-Drealapp.gate={tovex.wine_path(gate)}")
    first = a.start(["listen"], java=rj.home("17"))
    try:
        tovex.wait_for(lambda: rj.read_report(report).get("listening") == "1", 120, what="the first instance")
        second = tovex.run_exe(a.exe, ["open", "Grüße 1.txt"], env={rj.ENV_NAME: tovex.wine_path(rj.home("17"))})
        assert second.returncode == 0, second.stderr
        received = tovex.wait_for(lambda: rj.read_report(report).get("received"), 60, what="the hand-over")
        assert received.split("\u0001") == ["open", "Grüße 1.txt"]
        r = rj.read_report(report)
        assert r["tovex.processCommFile"] != "<null>" and r["tovex.semaphoreName"] != "<null>"
    finally:
        gate.unlink(missing_ok=True)
        first.communicate(timeout=120)
    assert first.returncode == 0


# --- Splash screens and windows -------------------------------------------------------------------------

SPLASH_TITLE = "Real Splash"
RED = (255, 0, 0)


def test_launcher_splash_status_text_and_hide_from_java(appdir, report, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")
    w, h = 400, 300
    config = (f"APPLICATION_NAME = {SPLASH_TITLE}\nSPLASH_ENABLED = 1\nSPLASH_WIDTH = {w}\nSPLASH_HEIGHT = {h}\n"
              "STATUS_TEXT = WWWWWWWWWW\nSTATUS_TEXT_X = 10\nSTATUS_TEXT_Y = 230\nSTATUS_FONT_NAME = Arial\n"
              "STATUS_FONT_SIZE = 24\nSTATUS_FONT_WEIGHT = 700\nSTATUS_TEXT_COLOR = 255,0,0\n")
    a = app(appdir, report, config, stub="gui", vm_options=f"-Drealapp.gate={tovex.wine_path(gate)}")
    proc = a.start(["splash", "I"], java=rj.home("17"))
    try:
        su.wait_visible(SPLASH_TITLE)
        x0, y0 = su.centred(w, h)

        def narrow_red():
            shot = su.screenshot("realjvm-splash.png")
            red = shot.extent(RED, x0, y0, x0 + w, y0 + h)
            return shot if red and red[2] < x0 + 40 else None
        shot = tovex.wait_for(narrow_red, 120, what="the status text set from Java on the splash")
        assert y0 + 230 <= shot.extent(RED, x0, y0, x0 + w, y0 + h)[1] <= y0 + 245
        gate.unlink()
        su.wait_gone(SPLASH_TITLE, 60)
    finally:
        gate.unlink(missing_ok=True)
        out, err = proc.communicate(timeout=120)
    assert proc.returncode == 0, err
    assert rj.read_report(report).get("splash-hidden") == "1"


def test_swing_window_of_a_real_runtime(appdir, report, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")
    a = app(appdir, report, stub="gui", vm_options=f"-Drealapp.gate={tovex.wine_path(gate)}")
    proc = a.start(["swing", "Real Swing Window"], java=rj.home("21"))
    try:
        tovex.wait_window("Real Swing Window", proc, timeout=120)
        blue = (0, 128, 255)
        shot = tovex.wait_for(lambda: (lambda s: s if s.count(blue, 0, 0, su.SCREEN_W, su.SCREEN_H) > 200 * 150 else None)(
            su.screenshot("realjvm-swing.png")), 60, what="the Swing window's panel on the screen")
        assert shot.count(blue, 0, 0, su.SCREEN_W, su.SCREEN_H) >= 300 * 180
    finally:
        gate.unlink(missing_ok=True)
        out, err = proc.communicate(timeout=120)
    assert proc.returncode == 0, err


def test_runtime_splash_shown_by_splashscreen_dll_and_closed_from_java(appdir, report, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")
    image = tmp_path / "splash.png"
    subprocess.run([su.CONVERT, "-size", "240x160", "xc:#ff00ff", str(image)], check=True)
    magenta = (255, 0, 255)
    config = f"SPLASH_ENABLED = 1\nSPLASH_FROM_RUNTIME = 1\n[resources]\nSPLASH_IMAGE = {image}\n"
    a = app(appdir, report, config, stub="gui", vm_options=f"-Drealapp.gate={tovex.wine_path(gate)}")
    proc = a.start(["splash", "ignored"], java=rj.home("17"))
    try:
        tovex.wait_for(lambda: su.screenshot("realjvm-runtime-splash.png").count(
            magenta, 0, 0, su.SCREEN_W, su.SCREEN_H) >= 240 * 160, 120, what="the runtime's splash image")
        gate.unlink()
        tovex.wait_for(lambda: rj.read_report(report).get("splash-hidden") == "1", 60, what="hideSplash")
        tovex.wait_for(lambda: su.screenshot("realjvm-runtime-splash-gone.png").count(
            magenta, 0, 0, su.SCREEN_W, su.SCREEN_H) == 0, 60, what="the runtime's splash to close")
    finally:
        gate.unlink(missing_ok=True)
        out, err = proc.communicate(timeout=120)
    assert proc.returncode == 0, err
    assert "loading splashscreen dll from" in (su.current_log() or "")


# --- First run, a VM that cannot be created -----------------------------------------------------------

def test_first_run_hook_runs_once_with_a_real_runtime(appdir, report):
    root = appdir / ".marlowkit"
    root.mkdir()
    (root / "firstrun").write_text("")
    shutil_copy = __import__("shutil").copy
    shutil_copy(tovex.RUNTIME_JAR, root / "mlkruntime.jar")
    a = app(appdir, report, "LAUNCHER_FLAVOUR = i\n", vm_options="-Dtovex.firstRunHook=realapp.Hook",
            class_path=r"A1lib\realapp.jar")
    hook_file = pathlib.Path(str(report) + ".firstrun")
    result = a.run([], java=rj.home("17"))
    assert result.returncode == 0, result.stderr
    assert hook_file.read_text() == "first run" and not (root / "firstrun").exists()
    assert rj.read_report(report)["main-returns"] == "1"
    hook_file.unlink()
    assert a.run([], java=rj.home("17")).returncode == 0
    assert not hook_file.exists(), "the hook runs once"


@pytest.mark.parametrize("major", ["17", "25"])
def test_vm_that_cannot_be_created_is_reported_with_the_runtimes_reason(appdir, report, major):
    """HotSpot ends the process itself when it cannot reserve its heap: JNI_CreateJavaVM never
    returns. The launcher still shows its message, with the VM's own reason, also in the log."""
    a = app(appdir, report, "MSG_JVM_START_FAILED = No VM could be made.{details}\n", vm_options="-Xmx900000g")
    result = a.run([], java=rj.home(major))
    assert result.returncode == tovex.EXIT_FATAL
    assert "No VM could be made.\n\nJava gave up while starting: Could not reserve enough space for" \
        in result.stderr.replace("\r\n", "\n"), result.stderr
    assert "JVM: Could not reserve enough space" in result.log
    assert "the JVM gave up while it was being created" in result.log
    assert not report.exists()
