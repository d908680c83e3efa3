"""The stand-in jvm.dll in record mode, driven by jvmdriver.exe (the launcher's JNI sequence)."""
import re
import subprocess

import pytest

import tovex
from runtimes import EXIT_JNI_MISUSE, EXIT_UNEXPECTED_JNI_CALL, make_runtime, run_driver, unescape

LAUNCHER = "com/tovex/runtime/WinLauncher"


def calls(rt):
    """The last run's transcript without the bookkeeping of strings and array slots."""
    skip = ("newstring ", "setelement ", "arg ")
    return [line for line in rt.last_run() if not line.startswith(skip)]


def test_plain_run_transcript(appdir):
    rt = make_runtime(appdir / "jre")
    result = run_driver(rt, ["-Xmx64m", "-Dtovex.moduleName=C:\\App Ü\\app.exe", ""], ["true", "a b"])
    assert result.returncode == 0, result.stderr
    lines = calls(rt)
    assert lines[0].startswith("load pid=")
    assert lines[1:6] == ["create version=0x10002 ignoreUnrecognized=1 nOptions=3",
                          "option 0 -Xmx64m", "option 1 -Dtovex.moduleName=C:\\\\App Ü\\\\app.exe", "option 2 ",
                          lines[5]]
    assert re.fullmatch(r"created thread=\d+", lines[5])
    assert lines[6:] == ["findclass " + LAUNCHER, "method main ([Ljava/lang/String;)V", "findclass java/lang/String",
                         "newobjectarray 2 java/lang/String", "call main", "main returned",
                         "exceptionoccurred -> null", lines[-2], "destroyed"]
    assert lines[-2] == "destroy " + lines[5].split()[1]
    assert rt.options() == ["-Xmx64m", "-Dtovex.moduleName=C:\\App Ü\\app.exe", ""]
    assert rt.main_args() == ["true", "a b"]


ARGUMENTS = [
    ("blanks and quotes", ["a b", 'say "hi"', "x\\y\\", ""]),
    ("non-ASCII", ["Ünïcode", "日本語", "emoji \U0001F600"]),
    ("control characters", ["line1\nline2", "tab\there"]),
]


@pytest.mark.parametrize("case,args", ARGUMENTS, ids=[c for c, _ in ARGUMENTS])
def test_main_arguments_are_recorded_exactly(appdir, case, args):
    rt = make_runtime(appdir / "jre")
    result = run_driver(rt, [], args)
    assert result.returncode == 0, result.stderr
    assert rt.main_args() == args
    assert all("\n" not in line for line in rt.transcript())


def test_each_run_appends_and_last_run_separates_them(appdir):
    rt = make_runtime(appdir / "jre")
    run_driver(rt, [], ["first"])
    run_driver(rt, [], ["second"])
    assert sum(1 for line in rt.transcript() if line.startswith("load pid=")) == 2
    assert rt.main_args() == ["second"]
    assert "arg 0 first" not in rt.last_run()
    rt.clear_transcript()
    assert rt.transcript() == []


SCRIPT_FAILURES = [
    # script, driver exit code, transcript line expected
    ("create fail", 4, "create failed: script"),
    ("create fail -4", 4, "create failed: script"),
    ("missing class com.tovex.runtime.WinLauncher", 5, "throw java.lang.NoClassDefFoundError: " + LAUNCHER),
    ("missing method main", 6, "throw java.lang.NoSuchMethodError: main"),
    ("main throw", 1, "main throw java.lang.RuntimeException: thrown by the script"),
    ("main throw java.lang.IllegalStateException bad state", 1, "main throw java.lang.IllegalStateException: bad state"),
    ("main exit 7", 7, "main exit 7"),
    ("main exit 0", 0, "main exit 0"),
]


@pytest.mark.parametrize("script,code,line", SCRIPT_FAILURES, ids=[s for s, _, _ in SCRIPT_FAILURES])
def test_script_verbs_that_end_the_run(appdir, script, code, line):
    rt = make_runtime(appdir / "jre", script=script + "\n")
    result = run_driver(rt, [], ["x"])
    assert result.returncode == code, result.stderr
    assert line in rt.last_run()
    if script == "create fail -4":
        assert "JNI_CreateJavaVM returned -4" in result.stderr
    if script.startswith("main exit"):
        assert "main returned" not in rt.last_run() and "destroyed" not in rt.last_run()
    if script.startswith("main throw"):
        assert rt.last_run()[-2:] == [rt.last_run()[-2], "describe"]
        assert 'Exception in thread "main" java.lang.' in result.stderr


def test_script_changes_between_runs(appdir):
    rt = make_runtime(appdir / "jre", script="main exit 3\n")
    assert run_driver(rt).returncode == 3
    rt.set_script("")
    assert run_driver(rt).returncode == 0


def test_main_stdout_and_stderr_steps(appdir):
    rt = make_runtime(appdir / "jre", script="main stdout to out\nmain stderr to err\n")
    result = run_driver(rt)
    assert result.returncode == 0
    assert result.stdout == "to out\n" and "to err\n" in result.stderr


def test_main_waits_for_a_file_to_appear_and_to_go(appdir, tmp_path):
    started, gate, gone = tmp_path / "started", tmp_path / "gate ü", tmp_path / "gone"
    gone.write_text("x")
    rt = make_runtime(appdir / "jre", script=f"main touch {started}\nmain wait-exists {gate}\n"
                                             f"main wait-gone {gone}\nmain exit 5\n")
    proc = tovex.start_exe(tovex.WIN / "testing" / "jvmdriver.exe", [tovex.wine_path(rt.jvm_dll())])
    try:
        tovex.wait_for(started.exists, 60, what="main started")
        tovex.wait_for(lambda: f"main wait-exists {gate}" in rt.transcript(), 30, what="wait-exists recorded")
        assert proc.poll() is None
        gate.write_text("")
        tovex.wait_for(lambda: rt.transcript().count("main waited") == 1, 30, what="first wait over")
        assert proc.poll() is None
        gone.unlink()
        assert proc.wait(timeout=60) == 5
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.communicate()
    assert rt.transcript().count("main waited") == 2


def test_destroy_waits_for_a_non_daemon_java_thread(appdir, tmp_path):
    gate = tmp_path / "thread gate"
    gate.write_text("")
    rt = make_runtime(appdir / "jre", script=f"main thread-wait-gone {gate}\n")
    proc = tovex.start_exe(tovex.WIN / "testing" / "jvmdriver.exe", [tovex.wine_path(rt.jvm_dll())])
    try:
        tovex.wait_for(lambda: any(l.startswith("destroy thread=") for l in rt.transcript()), 60, what="destroy")
        assert "main returned" in rt.transcript() and "destroyed" not in rt.transcript()
        assert proc.poll() is None
        gate.unlink()
        assert proc.wait(timeout=60) == 0
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.communicate()
    assert rt.transcript()[-2:] == ["destroy: java thread ended", "destroyed"]


@pytest.mark.parametrize("verb,code,main_called", [("true", 0, True), ("false", 0, False), ("throw", 0, False)])
def test_firstrun(appdir, verb, code, main_called):
    rt = make_runtime(appdir / "jre", script=f"firstrun {verb}\n")
    result = run_driver(rt, firstrun=True)
    assert result.returncode == code
    lines = rt.last_run()
    assert "findclass com/marlowkit/runtime/launcher/FirstRun" in lines and "method firstRun ()Z" in lines
    assert f"call firstRun -> {verb}" in lines
    assert ("call main" in lines) == main_called
    if verb == "throw":
        assert "describe" in lines and "java.lang.IllegalStateException" in result.stderr


def test_controller_actions_and_texts_from_another_thread(appdir):
    rt = make_runtime(appdir / "jre", script='actions 0,2,2,2,1\ntexts "Loading \\"data\\"",null,"Ünï"\n')
    result = run_driver(rt, poll=10)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["poll action 0", "poll action 2", 'poll text Loading "data"',
                                          "poll action 2", "poll text null", "poll action 2", "poll text Ünï",
                                          "poll action 1"]
    lines = rt.last_run()
    attach = [l for l in lines if l.startswith("attach thread=")]
    detach = [l for l in lines if l.startswith("detach thread=")]
    assert len(attach) == 1 and attach[0].endswith(" daemon=0")
    assert detach == ["detach thread=" + attach[0].split("=")[1].split()[0]]
    # DestroyJavaVM waited for the attached thread: the detach comes before "destroyed".
    assert lines.index(detach[0]) < lines.index("destroyed")
    assert [l for l in lines if l.startswith("call get")] == [
        "call getAction -> 0", "call getAction -> 2", 'call getText -> "Loading "data""', "call getAction -> 2",
        "call getText -> null", "call getAction -> 2", 'call getText -> "Ünï"', "call getAction -> 1"]


def test_controller_after_its_lists_answers_nothing(appdir):
    rt = make_runtime(appdir / "jre", script="actions 2\n")
    result = run_driver(rt, poll=3)
    assert result.stdout.splitlines() == ["poll action 2", "poll text null", "poll action 0", "poll action 0"]


def test_missing_controller_class(appdir):
    rt = make_runtime(appdir / "jre", script="missing class com/tovex/runtime/TovexController\n")
    result = run_driver(rt, poll=3)
    assert result.returncode == 0 and result.stdout == "poll no controller\n"
    assert "throw java.lang.NoClassDefFoundError: com/tovex/runtime/TovexController" in rt.last_run()


def test_transcript_lines_stay_whole_with_two_threads(appdir, tmp_path):
    rt = make_runtime(appdir / "jre", script="actions " + ",".join(["2"] * 150) + "\n" +
                      "texts " + ",".join(['"t"'] * 150) + "\n")
    result = run_driver(rt, [], ["arg"] * 200, poll=150)
    assert result.returncode == 0
    pattern = re.compile(r"(load pid|create |option |created |findclass |method |newobjectarray |newstring |"
                         r"setelement |arg |call |main |exception|destroy|attach |detach |getstring|"
                         r"releasestring|deletelocalref)")
    assert all(pattern.match(line) for line in rt.last_run())
    assert len(rt.main_args()) == 200


def test_unexpected_jni_call_fails_loudly(appdir):
    rt = make_runtime(appdir / "jre")
    result = run_driver(rt, unexpected=True)
    assert result.returncode == EXIT_UNEXPECTED_JNI_CALL
    assert rt.last_run()[-1] == "unexpected JNI call 10 GetSuperclass"
    assert "unexpected JNI call 10 GetSuperclass" in result.stderr
    assert "GetSuperclass returned" not in result.stderr


def test_jnienv_used_on_a_foreign_thread_fails_loudly(appdir):
    rt = make_runtime(appdir / "jre")
    result = run_driver(rt, foreign_env=True)
    assert result.returncode == EXIT_JNI_MISUSE
    assert re.fullmatch(r"misuse: FindClass called with the JNIEnv of thread \d+ on thread \d+", rt.last_run()[-1])


@pytest.mark.parametrize("jvm,error", [("broken", 193), ("32bit", 193)])
def test_dlls_that_do_not_load(appdir, jvm, error):
    rt = make_runtime(appdir / "jre", jvm=jvm)
    result = run_driver(rt)
    assert result.returncode == 2
    assert f"(error {error})" in result.stderr


def test_unescape_round_trip():
    assert unescape("a\\\\b\\nc\\td\\x01\\r") == "a\\b\nc\td\x01\r"


def test_main_window_shows_a_top_level_window(appdir, tmp_path):
    gate = tmp_path / "gate"
    rt = make_runtime(appdir / "jre", script=f"main window Standin Window\nmain wait-exists {gate}\n")
    proc = tovex.start_exe(tovex.WIN / "testing" / "jvmdriver.exe", [tovex.wine_path(rt.jvm_dll())])
    try:
        tovex.wait_for(lambda: "main window Standin Window" in rt.transcript(), 60, what="window step")
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Standin Window$"],
                               capture_output=True, text=True, timeout=60)
        assert found.stdout.split(), "the window is visible"
        gate.write_text("")
        assert proc.wait(timeout=60) == 0
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.communicate()
