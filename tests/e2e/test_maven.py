"""tovex-maven-plugin in a Maven build, offline, as a Java developer's project uses it.

`make maven` builds the plugin (build/maven/plugin). The consumer side is examples/maven, built
with `mvn -o package` against a local repository folder made of links into Debian's Maven
repository (/usr/share/maven-repo), the plugin installed into it as `mvn install` would, and
the one artifact Maven asks for by a version Debian does not hold
(org.codehaus.plexus:plexus-utils:1.1, which Maven adds to a plugin's class realm).
"""
import os
import pathlib
import re
import shutil
import subprocess

import pytest

import realjvm_util
import splash_util as su
import tovex

pytestmark = pytest.mark.realjvm

DEBIAN_REPO = pathlib.Path("/usr/share/maven-repo")
VERSION = (tovex.ROOT / "VERSION").read_text(encoding="utf-8").strip()
PLUGIN_JAR = tovex.BUILD / "maven" / "plugin" / f"tovex-maven-plugin-{VERSION}.jar"
PLUGIN_DIR = f"com/tovex/tovex-maven-plugin/{VERSION}"
PLEXUS_UTILS_1_1 = "org/codehaus/plexus/plexus-utils/1.1"
TITLE = "Hello Maven"
GREEN = (0, 160, 80)     # the window's background (HelloMaven.java)


def link_tree(source: pathlib.Path, dest: pathlib.Path, real: list[str], rel: str = "") -> None:
    """dest mirrors source with symbolic links; the folders on the paths in real are real folders."""
    dest.mkdir(parents=True, exist_ok=True)
    for entry in sorted(source.iterdir()):
        path = f"{rel}{entry.name}"
        if entry.is_dir() and any(r == path or r.startswith(path + "/") for r in real):
            link_tree(entry, dest / entry.name, real, path + "/")
        else:
            (dest / entry.name).symlink_to(entry)


def consumer_repository(repo: pathlib.Path) -> pathlib.Path:
    if not PLUGIN_JAR.is_file():
        raise AssertionError(f"{PLUGIN_JAR} is missing: run `make maven` (make test does)")
    link_tree(DEBIAN_REPO, repo, [PLUGIN_DIR, PLEXUS_UTILS_1_1])
    plugin = repo / PLUGIN_DIR
    plugin.mkdir(parents=True)
    shutil.copy(PLUGIN_JAR, plugin / PLUGIN_JAR.name)
    shutil.copy(tovex.ROOT / "tools" / "maven-plugin" / "pom.xml", plugin / f"tovex-maven-plugin-{VERSION}.pom")
    alias = repo / PLEXUS_UTILS_1_1
    alias.mkdir(parents=True)
    (alias / "plexus-utils-1.1.jar").symlink_to(DEBIAN_REPO / "org/codehaus/plexus/plexus-utils/debian/plexus-utils-debian.jar")
    (alias / "plexus-utils-1.1.pom").write_text(
        '<project><modelVersion>4.0.0</modelVersion><groupId>org.codehaus.plexus</groupId>'
        '<artifactId>plexus-utils</artifactId><version>1.1</version></project>\n', encoding="utf-8")
    settings = repo.parent / "settings.xml"
    settings.write_text(f"<settings><localRepository>{repo}</localRepository><offline>true</offline></settings>\n",
                        encoding="utf-8")
    return settings


def mvn(project: pathlib.Path, settings: pathlib.Path, *args: str) -> subprocess.CompletedProcess:
    env = dict(os.environ, JAVA_HOME=tovex.JAVA_HOME)
    env.pop("SOURCE_DATE_EPOCH", None)
    return subprocess.run(["mvn", "-o", "-B", "-s", str(settings), *args, "package"], cwd=project,
                          capture_output=True, text=True, env=env, stdin=subprocess.DEVNULL)


@pytest.fixture(scope="module")
def maven(tmp_path_factory):
    """(settings.xml, a fresh copy of examples/maven) with the consumer repository set up."""
    top = tmp_path_factory.mktemp("maven")
    settings = consumer_repository(top / "repository")
    return settings, top


def copy_example(top: pathlib.Path, name: str) -> pathlib.Path:
    project = top / name
    shutil.copytree(tovex.ROOT / "examples" / "maven", project, ignore=shutil.ignore_patterns("target"))
    return project


def window_region(window: str) -> tuple:
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], capture_output=True,
                              text=True).stdout
    g = {k: int(v) for k, v in (line.split("=", 1) for line in geometry.split() if "=" in line) if v.isdigit()}
    return g["X"], g["Y"], g["X"] + g["WIDTH"], g["Y"] + g["HEIGHT"]


def close_by_its_button(window: str, app) -> None:
    """Clicks the Close button along the window's bottom edge until the program has ended
    (a click that comes before the window takes input is lost, never a reason to fail)."""
    for _ in range(12):
        if app.poll() is not None:
            return
        x0, y0, x1, y1 = window_region(window)
        subprocess.run(["xdotool", "mousemove", str((x0 + x1) // 2), str(y1 - 8), "click", "1"],
                       capture_output=True, timeout=60)
        try:
            tovex.wait_for(lambda: app.poll() is not None, 10, what="the program to end")
        except AssertionError:
            continue
    if app.poll() is None:
        raise AssertionError("the Hello Maven window did not end after clicking its Close button")


def test_example_builds_offline_the_cli_exe_and_runs_on_a_real_runtime(maven, tmp_path):
    settings, top = maven
    project = copy_example(top, "hello maven")
    proc = mvn(project, settings)
    assert proc.returncode == 0, proc.stdout[-4000:]
    exe = project / "target" / "HelloMaven.exe"
    assert re.search(r"\[INFO\] tovex: built .*HelloMaven\.exe", proc.stdout)
    # --check ran first; its finding is a Maven warning (no .\jre beside the exe in target/).
    assert re.search(r"\[WARNING\] .*HelloMaven\.conf:\d+: warning: JVM_SEARCH_SEQUENCE: the runtime directory "
                     r"\.\\jre is missing", proc.stdout), proc.stdout[-4000:]
    assert "HelloMaven.conf: 0 errors, 1 warning" in proc.stdout
    assert sorted(p.name for p in (project / "target" / "lib").iterdir()) == [
        "commons-lang3-3.12.0.jar", "hello-maven.jar", "tovex-runtime.jar"]

    # The command line builds the same exe from the equivalent configuration file.
    cli = tmp_path / "cli" / "HelloMaven.exe"
    cli.parent.mkdir()
    env = dict(os.environ)
    env.pop("SOURCE_DATE_EPOCH", None)
    built = subprocess.run([str(tovex.BUILDER), "--config", str(project / "hello-maven.conf"), "--out", str(cli)],
                           capture_output=True, text=True, env=env)
    assert built.returncode == 0, built.stderr
    assert exe.read_bytes() == cli.read_bytes()

    # It starts on Java 17, found through the HELLO_MAVEN_JAVA entry, and shows its window.
    java = realjvm_util.home("17")
    app = tovex.start_exe(exe, env={"HELLO_MAVEN_JAVA": tovex.wine_path(java)}, log=True)
    try:
        window = tovex.wait_window(TITLE, app, timeout=180)

        def painted():
            x0, y0, x1, y1 = window_region(window)
            return su.screenshot("maven-window.png").count(GREEN, x0, y0, x1, y1) >= 300 * 150
        tovex.wait_for(painted, 120, what="the Hello Maven window painted green")
        close_by_its_button(window, app)
        assert app.wait(timeout=120) == 0
    finally:
        if app.poll() is None:
            app.kill()
            app.wait(timeout=60)


def test_check_errors_fail_the_build_with_the_builders_messages(maven):
    settings, top = maven
    project = copy_example(top, "broken")
    pom = project / "pom.xml"
    pom.write_text(pom.read_text(encoding="utf-8").replace("<mainClass>example.HelloMaven</mainClass>", ""),
                   encoding="utf-8")
    proc = mvn(project, settings)
    assert proc.returncode == 1
    assert re.search(r"\[ERROR\] .*HelloMaven\.conf:\d+: error: no MAIN_CLASS", proc.stdout), proc.stdout[-4000:]
    assert "BUILD FAILURE" in proc.stdout
    assert not (project / "target" / "HelloMaven.exe").exists()


def test_a_configuration_file_and_a_missing_builder_platform(maven):
    settings, top = maven
    project = copy_example(top, "with config")
    # The configuration file of the command line, given to the plugin: the same exe.
    proc = mvn(project, settings, "-Dtovex.config=hello-maven.conf")
    assert proc.returncode == 1, "inline <resources> and a configuration file do not go together"
    assert "<resources> go with the inline settings only" in proc.stdout
    pom = project / "pom.xml"
    text = pom.read_text(encoding="utf-8")
    pom.write_text(re.sub(r"<resources>.*?</resources>", "", text, flags=re.S), encoding="utf-8")
    # The file's class path names the jars the plugin copies into target/lib (else --check fails).
    proc = mvn(project, settings, "-Dtovex.config=hello-maven.conf", "-Dtovex.generateClassPath=true")
    assert proc.returncode == 0, proc.stdout[-4000:]
    assert (project / "target" / "lib" / "commons-lang3-3.12.0.jar").is_file()
    # A system without a builder: a clear message, no exe.
    shutil.rmtree(project / "target")
    proc = mvn(project, settings, "-Dos.arch=riscv64")
    assert proc.returncode == 1
    assert "tovex: no tovex-build for Linux riscv64" in proc.stdout
