"""Single-instance hand-over to the real Java listener (com.tovex.runtime.SingleInstance).

The application jar and the runtime jar travel as appended files, so this also covers extraction,
the class path of the extraction directory and "tovex.tempDir" end to end. The stand-in VM runs in
bridge mode: the Java program runs on the host JDK.
"""
import pathlib
import subprocess

import pytest

import tovex
from files_util import TempOverride, finish
from runtimes import make_runtime

APP_SOURCE = r"""
package probe;

import com.tovex.runtime.SingleInstance;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;

public class Main {
    public static void main(String[] args) throws Exception {
        final Path out = Paths.get(System.getProperty("probe.out"));
        Path gate = Paths.get(System.getProperty("probe.gate"));
        SingleInstance.setListener(new SingleInstance.Listener() {
            public void newInstance(String[] a) {
                try {
                    Files.write(out, (String.join("\u0001", a) + "\n").getBytes(StandardCharsets.UTF_8),
                            StandardOpenOption.CREATE, StandardOpenOption.APPEND);
                } catch (Exception e) {
                    e.printStackTrace();
                }
            }
        });
        Files.write(Paths.get(System.getProperty("probe.started")),
                System.getProperty("tovex.tempDir").getBytes(StandardCharsets.UTF_8));
        while (Files.exists(gate)) {
            Thread.sleep(50);
        }
    }
}
"""


@pytest.fixture
def app_jar(tmp_path):
    if not tovex.RUNTIME_JAR.exists():
        pytest.skip(f"{tovex.RUNTIME_JAR} is missing: run `make BUILD={tovex.BUILD} java`")
    src = tmp_path / "src" / "probe" / "Main.java"
    src.parent.mkdir(parents=True)
    src.write_text(APP_SOURCE, encoding="utf-8")
    classes = tmp_path / "classes"
    javac = f"{tovex.JAVA_HOME}/bin/javac"
    subprocess.run([javac, "--release", "8", "-cp", str(tovex.RUNTIME_JAR), "-d", str(classes), str(src)],
                   check=True, capture_output=True)
    jar = tmp_path / "probe.jar"
    subprocess.run([f"{tovex.JAVA_HOME}/bin/jar", "cf", str(jar), "-C", str(classes), "."], check=True)
    return jar


@pytest.fixture
def z_temp(tmp_path):
    """A temporary directory on drive Z: (the bridge hands paths under C:\\ to the host VM in a form whose
    "c:" a Linux class path would split)."""
    override = TempOverride(tmp_path / "wine temp")
    yield tmp_path / "wine temp"
    override.restore()


def test_thirty_concurrent_starts_reach_the_java_listener_once_each(appdir, tmp_path, app_jar, z_temp):
    out, gate, started = tmp_path / "received.txt", tmp_path / "gate", tmp_path / "started"
    gate.write_text("")
    rt = make_runtime(appdir / "jre", jvm="bridge")
    conf = ("MAIN_CLASS = probe.Main\nSINGLE_INSTANCE = 1\n"
            f"VM_OPTIONS = -Dprobe.out={out} -Dprobe.gate={gate} -Dprobe.started={started}\n")
    exe = tovex.build_app(appdir, conf, files={"probe.jar": app_jar, "tovex-runtime.jar": tovex.RUNTIME_JAR})
    env = {"TOVEX_JAVA_HOME": rt.home_win}
    first = tovex.start_exe(exe, env=env)
    procs = [first]
    try:
        tovex.wait_for(started.exists, 120, what="the Java program in main")
        extracted = pathlib.Path(started.read_text("utf-8"))  # the bridge hands the host VM Linux paths
        assert extracted.parent == z_temp and (extracted / "probe.jar").read_bytes() == app_jar.read_bytes()
        seconds = [tovex.start_exe(exe, [f"arg{i}", f"two words {i}"], env=env) for i in range(30)]
        procs += seconds
        for p in seconds:
            assert p.wait(timeout=240) == 0
        tovex.wait_for(lambda: out.exists() and out.read_text("utf-8").count("\n") >= 30, 60,
                       what="30 argument sets delivered")
        lines = out.read_text("utf-8").splitlines()
        assert sorted(lines) == sorted(f"arg{i}\u0001two words {i}" for i in range(30))
        assert first.poll() is None
        gate.unlink()
        assert first.wait(timeout=120) == 0
        assert not list(z_temp.glob("tvx_p*.tmp")), "no communication file left"
    finally:
        gate.unlink(missing_ok=True)
        finish(procs)
