"""Paths outside the ANSI code page (Cyrillic and CJK on a Windows-1252 system), with a real Java runtime.

One start per code-page mode covers every step that meets such a path: the block read from an exe in a
Cyrillic/CJK folder, the log (TMP), the temporary directory (extraction, the single-instance
communication file), the probe cache of the 'E' entry (JAVA_HOME under a CJK folder, whose
UTF-8 form is longer than its UTF-16 one), the class path (a jar beside the exe), java.library.path
(a native library directory), and the options file. The real HotSpot 17 runtime reports what it got.

- "utf8": the builder's default, the manifest selects the UTF-8 code page; every narrow path is UTF-8.
- "ansi": UTF8_CODE_PAGE = 0; paths that Windows-1252 cannot hold take their short (8.3) form.
  Wine keeps an 8.3 name for every folder, so the short form always exists here; on a Windows volume
  with short names turned off the start instead fails with a message naming the path.
"""
import pathlib
import shutil
import subprocess

import pytest

import realjvm_util as rj
import tovex
from files_util import TempOverride

CACHE_ROOT = r"HKCU\SOFTWARE\quorbel-systems\tovex\jvms"

RUNTIME = tovex.BUILD / "runtimes" / "17"
FOLDER = "Приложение 应用"          # neither Cyrillic nor CJK is in Windows-1252
JAVA_FOLDER = "Java 张伟jdk"          # the environment value of issue reports: longer in UTF-8
TEMP_FOLDER = "Темп 临时"

PROBE_SOURCE = r"""
package probe;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

public class Main {
    static final String[] NAMES = {"java.class.path", "java.library.path", "tovex.tempDir", "tovex.moduleName",
        "tovex.processCommFile", "probe.option", "java.home"};

    public static void main(String[] args) throws Exception {
        StringBuilder out = new StringBuilder();
        for (String name : NAMES) {
            String value = System.getProperty(name, "");
            out.append(name).append('=').append(value).append('\n');
            // Every path of the value (list entries too) must name something that exists.
            boolean all = !value.isEmpty();
            String[] entries = value.split(";");
            // PATH holds folders of Wine's own that need not exist: only its first entry counts.
            int count = name.equals("java.library.path") ? Math.min(1, entries.length) : entries.length;
            if (name.equals("probe.option")) {
                count = 0;   // not a path
            }
            for (int i = 0; i < count; i++) {
                // The communication file exists only while a second start hands over: its folder must.
                File entry = name.equals("tovex.processCommFile") ? new File(entries[i]).getParentFile()
                                                                   : new File(entries[i]);
                if (!entries[i].isEmpty() && !entry.exists()) {
                    all = false;
                    out.append("missing ").append(name).append('=').append(entry).append('\n');
                }
            }
            out.append("exists ").append(name).append('=').append(all).append('\n');
        }
        for (String a : args) {
            out.append("arg=").append(a).append('\n');
        }
        Files.write(Paths.get(System.getProperty("probe.out")), out.toString().getBytes(StandardCharsets.UTF_8));
    }
}
"""


@pytest.fixture(scope="module")
def java_home(tmp_path_factory):
    """The real runtime copied under a CJK folder (hard links: a symbolic link would be resolved to its ASCII
    target)."""
    return rj.linked_copy("17", tmp_path_factory.mktemp("java") / JAVA_FOLDER)


@pytest.fixture(scope="module")
def probe_jar(tmp_path_factory):
    if not (RUNTIME / "bin" / "server" / "jvm.dll").exists():
        pytest.skip(f"{RUNTIME} is missing: run `make runtimes`")
    if not tovex.RUNTIME_JAR.exists():
        pytest.skip(f"{tovex.RUNTIME_JAR} is missing")
    work = tmp_path_factory.mktemp("probe")
    src = work / "src" / "probe" / "Main.java"
    src.parent.mkdir(parents=True)
    src.write_text(PROBE_SOURCE, encoding="utf-8")
    subprocess.run([f"{tovex.JAVA_HOME}/bin/javac", "--release", "8", "-d", str(work / "classes"), str(src)],
                   check=True, capture_output=True)
    jar = work / "probe.jar"
    subprocess.run([f"{tovex.JAVA_HOME}/bin/jar", "cf", str(jar), "-C", str(work / "classes"), "."], check=True)
    return jar


def read_report(path: pathlib.Path) -> dict:
    report = {"args": [], "missing": []}
    for line in path.read_text("utf-8").splitlines():
        key, _, value = line.partition("=")
        if key == "arg":
            report["args"].append(value)
        elif key.startswith("missing "):
            report["missing"].append(line)
        else:
            report[key] = value
    return report


# Each row: a step that meets a path outside the code page, and what shows that it worked.
STEPS = [
    ("block read (exe in the folder)", lambda r, log: r["tovex.moduleName"] != "" and r["exists tovex.moduleName"] == "true"),
    ("class path (jar beside the exe)", lambda r, log: r["exists java.class.path"] == "true"),
    ("options file beside the exe", lambda r, log: r["probe.option"] == "from the options file"),
    ("java.library.path (native dir first)", lambda r, log: r["exists java.library.path"] == "true"
        and "native" in r["java.library.path"].split(";")[0].lower()),
    ("JAVA_HOME (CJK folder in UTF-8; see the test for the ANSI case)", lambda r, log: r["exists java.home"] == "true"
        and not r["java.home"].rstrip("\\").endswith("张伟")),
    ("temporary directory: extraction", lambda r, log: r["exists tovex.tempDir"] == "true"),
    ("temporary directory: communication file", lambda r, log: r["tovex.processCommFile"] != ""
        and "?" not in r["tovex.processCommFile"]),
    ("log in TMP", lambda r, log: log is not None and "extracting files done" in log),
    ("argument outside the code page", lambda r, log: r["args"] == ["Ωмир✓日本"]),
]


@pytest.mark.parametrize("mode", ["utf8", "ansi"])
def test_every_step_takes_paths_outside_the_code_page(tmp_path, probe_jar, java_home, mode):
    ascii_java_home = RUNTIME
    root = tmp_path / FOLDER
    (root / "lib").mkdir(parents=True)
    (root / "native").mkdir()
    shutil.copy(probe_jar, root / "lib" / "probe.jar")
    shutil.copy(tovex.RUNTIME_JAR, root / "lib" / "tovex-runtime.jar")
    java = java_home
    out = tmp_path / "report.txt"
    (root / "app.vmoptions").write_text("-Dprobe.option=from the options file\n", encoding="utf-8")
    conf = ("MAIN_CLASS = probe.Main\nSINGLE_INSTANCE = 1\nJVM_SEARCH_SEQUENCE = EJAVA_HOME\n"
            "CLASS_PATH = A1lib\\probe.jar;A1lib\\tovex-runtime.jar\nNATIVE_LIB_DIRS = native\n"
            f"VM_OPTIONS = -Dprobe.out={tovex.wine_path(out)}\n")
    if mode == "ansi":
        conf += "[resources]\nUTF8_CODE_PAGE = 0\n"
    (tmp_path / "payload.txt").write_text("payload")
    exe = tovex.build_app(root, conf, files={"payload.txt": tmp_path / "payload.txt"})
    logs_dir = tmp_path / TEMP_FOLDER
    encoding = "utf-8" if mode == "utf8" else "cp1252"

    def run():
        temp = TempOverride(logs_dir)
        try:
            before = set(logs_dir.glob("mlk_nlog_*"))
            result = tovex.run_exe(exe, ["Ωмир✓日本"], env={"JAVA_HOME": tovex.wine_path(java), "TOVEX_LOG": "yes"},
                                   encoding="utf-8")
        finally:
            temp.restore()
        logs = sorted(set(logs_dir.glob("mlk_nlog_*")) - before)
        assert len(logs) == 1, "the log goes to TMP"
        return result, logs[0].read_bytes().decode(encoding, "replace")

    # Wine limit: HotSpot 17's java.exe finds its runtime through its own path, read with the ANSI
    # function, and Wine gives a process started by its short (8.3) path its long name all the same
    # (Windows keeps the short one). So under Wine the "-version" probe of a java.exe in a CJK
    # folder fails ("Error: could not find java.dll") and the start ends with 83. The launcher's
    # version cache, keyed by the path as the launcher judges it, is seeded instead: the step of
    # the probe cache itself is then what runs with the CJK path.
    result, log = run()
    judged = next(l for l in log.splitlines() if l.startswith("checkJavaExe ("))[len("checkJavaExe ("):].split(",")[0]
    if result.returncode == tovex.EXIT_NO_JVM and "couldn't get version" in log.splitlines():
        exe_stat = (java / "bin" / "java.exe").stat()
        filetime = exe_stat.st_mtime_ns // 100 + 116444736000000000
        key = CACHE_ROOT + "\\" + "".join(c.lower() if "A" <= c <= "Z" else c for c in judged).replace("\\", "/")
        tovex.reg("add", key, "/v", "LastWriteTime", "/t", "REG_BINARY", "/d", filetime.to_bytes(8, "little").hex(),
                  "/f")
        tovex.reg("add", key, "/v", "Version", "/t", "REG_SZ", "/d", "17.0.9", "/f")
        result, log = run()
        assert "got version from registry 17.0.9" in log.splitlines(), log
    if mode == "ansi":
        # The launcher takes the Java home in its short form and loads the VM library from it.
        assert "Loading of JVM-DLL successful" in log.splitlines() and "~" in judged and "?" not in judged, log
        # Wine limit: the VM reads its own library's path back, long and with "?" for the characters
        # Windows-1252 lacks ("...\Java ??jdk\bin\net.dll: Can't find dependent libraries"), so it
        # cannot run from there. The other steps run with the runtime in an ASCII folder.
        assert result.returncode == tovex.EXIT_FATAL and any(line.startswith("ERROR: could not find main class") for line in log.splitlines())
        java = ascii_java_home
        result, log = run()
    assert result.returncode == 0, (result.stderr, log)
    report = read_report(out)
    failed = [step for step, ok in STEPS if not ok(report, log)]
    assert not failed and not report["missing"], (failed, report, log)
    if mode == "utf8":
        # The paths themselves, not a stand-in form of them.
        assert FOLDER in report["tovex.moduleName"] and JAVA_FOLDER.lower() in report["java.home"].lower()
        assert TEMP_FOLDER in report["tovex.tempDir"]
        assert any(p.endswith("\\lib\\probe.jar") and FOLDER in p for p in report["java.class.path"].split(";"))
    else:
        # Windows-1252 cannot hold them: the short forms stand in (no "?" anywhere).
        for name in ("tovex.moduleName", "java.class.path", "java.library.path", "tovex.tempDir"):
            assert "?" not in report[name], (name, report[name])
    # The extraction directory belongs to the Java program, which removed it at its end.
    assert not list((tmp_path / TEMP_FOLDER).glob("tvx*_dir*"))
