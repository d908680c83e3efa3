"""The stand-in jvm.dll in bridge mode: the Java program runs for real on the host JDK."""
import os
import pathlib
import re
import subprocess

import pytest

import runtimes
import tovex
from runtimes import make_runtime, run_driver

DRIVER = runtimes.JVMDRIVER


def classpath(*paths):
    return "-Djava.class.path=" + ";".join(tovex.wine_path(p) for p in paths)


def read_out(path: pathlib.Path) -> dict:
    """The standin.out file of our own launcher class: {"args": [...], "<property>": value}."""
    out = {"args": []}
    for line in path.read_text(encoding="utf-8").splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "arg":
            out["args"].append(runtimes.unescape(rest.partition(" ")[2]))
        else:
            name, _, value = rest.partition(" ")
            out[name] = runtimes.unescape(value)
    return out


def session_of(rt) -> pathlib.Path:
    lines = [l for l in rt.transcript() if l.startswith("bridge session ")]
    return pathlib.Path(lines[-1].split(" ", 2)[2])


@pytest.fixture
def bridge_rt(appdir):
    return make_runtime(appdir / "jre", jvm="bridge")


def test_arguments_and_options_arrive_intact(bridge_rt, appdir):
    out = appdir / "out Ü.txt"
    args = ["a b", 'say "hi" ', "ü€日本", "", "back\\slash\\", "@print=hello Ü"]
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR), f"-Dstandin.out={tovex.wine_path(out)}",
                                    "-Dstandin.extra=Grüße, Welt", "-Xmx64m", "not-an-option"],
                        args, env={"LC_ALL": None})
    assert result.returncode == 0, result.stderr
    assert result.stdout == "hello Ü\n"
    seen = read_out(out)
    assert seen["args"] == args
    assert seen["java.class.path"] == str(runtimes.LAUNCHER_JAR)
    assert seen["standin.extra"] == "Grüße, Welt"
    lines = bridge_rt.last_run()
    assert "bridge skip option 4 not-an-option" in lines
    assert lines[-3:] == ["bridge destroy", "bridge host VM ended with exit code 0", "destroyed"]
    assert not session_of(bridge_rt).exists()


def test_working_directory_is_the_processes(bridge_rt, appdir):
    out = appdir / "out.txt"
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR), f"-Dstandin.out={tovex.wine_path(out)}"], [])
    assert result.returncode == 0
    assert read_out(out)["user.dir"] == os.getcwd()


@pytest.mark.parametrize("code", [0, 3, 42])
def test_system_exit_ends_the_process_with_its_code(bridge_rt, code):
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR)], ["x", f"@exit={code}", "@print=not reached"])
    assert result.returncode == code
    lines = bridge_rt.last_run()
    assert "call main" in lines and "main returned" not in lines
    assert lines[-1] == f"bridge host VM ended with exit code {code}"
    assert result.stdout == ""


def test_uncaught_exception_becomes_pending(bridge_rt, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")   # a non-daemon thread that would keep the host VM alive on its own
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR)], [f"@thread={gate}", "@throw=bad ü"])
    assert result.returncode == 1
    assert 'Exception in thread "main" java.lang.IllegalStateException: bad ü\n' \
           "\tat com.tovex.runtime.WinLauncher.main(WinLauncher.java" in result.stderr
    assert "StandinBridge" not in result.stderr and "reflect" not in result.stderr
    lines = bridge_rt.last_run()
    assert "main threw java.lang.IllegalStateException: bad ü" in lines
    assert "exceptionoccurred -> java.lang.IllegalStateException" in lines and "describe" in lines
    # The Windows process has ended: the host VM is stopped although its thread still runs.
    tovex.wait_for(lambda: not session_of(bridge_rt).exists(), 60, what="host VM stopped")


def test_non_daemon_thread_outlives_main(bridge_rt, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")
    proc = tovex.start_exe(DRIVER, [tovex.wine_path(bridge_rt.jvm_dll()), classpath(runtimes.LAUNCHER_JAR), "--",
                                    f"@thread={gate}"])
    try:
        tovex.wait_for(lambda: "bridge destroy" in bridge_rt.transcript(), 120, what="DestroyJavaVM")
        assert "main returned" in bridge_rt.transcript() and "destroyed" not in bridge_rt.transcript()
        assert proc.poll() is None
        gate.unlink()
        out, _ = proc.communicate(timeout=120)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.communicate()
    assert proc.returncode == 0
    assert out.decode() == "thread done\n"
    assert bridge_rt.transcript()[-1] == "destroyed"


def test_bad_vm_option_fails_creation(bridge_rt):
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR), "-Xmx1q"], [])
    assert result.returncode == 4
    assert "Invalid maximum heap size" in result.stderr
    assert re.fullmatch(r"create failed: bridge: host VM ended with exit code \d+ before it was ready",
                        bridge_rt.last_run()[-1])


def test_missing_class_and_method_come_from_the_host(bridge_rt):
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR)], [], launcher_class="com/tovex/runtime/Nope")
    assert result.returncode == 5
    assert "throw java.lang.NoClassDefFoundError: com/tovex/runtime/Nope" in bridge_rt.last_run()
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR)], [],
                        launcher_class="com/tovex/runtime/TovexController")
    assert result.returncode == 6
    assert "throw java.lang.NoSuchMethodError: main" in bridge_rt.last_run()


def test_controller_is_answered_by_the_host_program(bridge_rt):
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR), "-Dstandin.actions=0,2,2,1",
                                    "-Dstandin.texts=Grüße aus Java|null"], [], poll=10)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["poll action 0", "poll action 2", "poll text Grüße aus Java",
                                          "poll action 2", "poll text null", "poll action 1"]
    assert 'call getText -> "Grüße aus Java"' in bridge_rt.last_run()


def test_script_overrides_the_controller_in_bridge_mode(bridge_rt):
    bridge_rt.set_script("actions 1\n")
    result = run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR), "-Dstandin.actions=2"], [], poll=5)
    assert result.stdout.splitlines() == ["poll action 1"]


def test_script_create_fail_applies_in_bridge_mode(bridge_rt):
    bridge_rt.set_script("create fail\n")
    assert run_driver(bridge_rt, [classpath(runtimes.LAUNCHER_JAR)], []).returncode == 4
    assert not any(l.startswith("bridge session") for l in bridge_rt.last_run())


APP_SOURCE = r"""
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.util.*;

public class StandinApp {
    public static void main(String[] args) throws Exception {
        Files.write(Paths.get(System.getProperty("standin.out")), Arrays.asList(args), StandardCharsets.UTF_8);
        if (args.length > 0 && args[0].startsWith("exit=")) System.exit(Integer.parseInt(args[0].substring(5)));
        if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("app failed");
        System.out.println("app done");
    }
}
"""


@pytest.fixture
def app_classes(tmp_path):
    if not tovex.RUNTIME_JAR.exists():
        pytest.skip("tovex-runtime.jar not built (make java)")
    src = tmp_path / "src" / "StandinApp.java"
    src.parent.mkdir()
    src.write_text(APP_SOURCE, encoding="utf-8")
    classes = tmp_path / "app classes"
    subprocess.run([str(pathlib.Path(tovex.JAVA_HOME) / "bin" / "javac"), "--release", "8", "-d", str(classes),
                    str(src)], check=True, capture_output=True)
    return classes


@pytest.mark.parametrize("first,code,stdout", [("plain", 0, "app done\n"), ("exit=9", 9, ""), ("throw", 1, "")])
def test_real_runtime_jar_runs_an_application(bridge_rt, app_classes, appdir, first, code, stdout):
    out = appdir / "app out.txt"
    user_args = [first, "a b", "Ünï", 'q"uote']
    launcher_args = ["false", "StandinApp", "", "", "false", "Z:\\app dir\\app.exe"]
    result = run_driver(bridge_rt, [classpath(tovex.RUNTIME_JAR, app_classes), f"-Dstandin.out={tovex.wine_path(out)}"],
                        launcher_args + user_args)
    assert result.returncode == code, result.stderr
    assert result.stdout == stdout
    assert out.read_text(encoding="utf-8").splitlines() == user_args
    if first == "throw":
        assert "java.lang.IllegalStateException: app failed" in result.stderr


def test_host_vm_ends_when_the_wine_process_is_killed(bridge_rt, tmp_path):
    gate = tmp_path / "gate"
    gate.write_text("")   # never removed: only the kill can end the host VM
    # No pipes: Wine's own helper processes may inherit them and keep them open.
    proc = subprocess.Popen(["wine", str(DRIVER), tovex.wine_path(bridge_rt.jvm_dll()), classpath(runtimes.LAUNCHER_JAR),
                             "--", f"@thread={gate}"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=tovex.wine_env(), start_new_session=True)
    try:
        tovex.wait_for(lambda: "bridge destroy" in bridge_rt.transcript(), 120, what="DestroyJavaVM")
        session = session_of(bridge_rt)
        assert session.exists()
        # The Unix process of the Windows program, which the host VM watches, is the `wine` process itself
        # (not the wineserver: killing that would end every program of the prefix). It alone is killed,
        # not its process group: no DLL detach, no kill file.
        pid = int(re.search(r"^P=(\d+)$", (session / "run.sh").read_text(), re.M).group(1))
        assert pid == proc.pid
        os.kill(pid, 9)
        proc.wait(timeout=60)
        tovex.wait_for(lambda: not session.exists(), 60, what="the orphaned host VM to halt")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
