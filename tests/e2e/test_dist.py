"""The release zip of `make dist` as a Java developer uses it.

`make test` and `make test-e2e` make the zip first. It is unpacked into a fresh
directory whose path has a blank; the examples are built with the unpacked Linux
builder (their build.sh, no --stub) and with the unpacked Windows builder (their
build.cmd under Wine's cmd), and run under Wine against the stand-in runtime in
bridge mode, so that the Java programs run for real on the host JDK (the Swing
window on the session's Xvfb display).
"""
import re
import subprocess
import sys

import pytest

import tovex
from files_util import TempOverride, finish
from runtimes import make_runtime
from splash_util import visible_windows

sys.path.insert(0, str(tovex.ROOT / "tools" / "resources"))
import image_files  # noqa: E402

VERSION = (tovex.ROOT / "VERSION").read_text(encoding="utf-8").strip()
ZIP = tovex.BUILD / "dist" / f"tovex-{VERSION}.zip"
GLIBC_LIBRARIES = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "librt.so.1", "ld-linux-x86-64.so.2"}
EXAMPLES = {"console": ("HelloConsole.exe", "launcher-console.exe", 0), "swing": ("HelloSwing.exe", "launcher-gui.exe", 1)}
MAVEN = f"maven/com/tovex/tovex-maven-plugin/{VERSION}/tovex-maven-plugin-{VERSION}"


@pytest.fixture(scope="module")
def release(tmp_path_factory):
    if not ZIP.is_file():
        pytest.fail(f"{ZIP} is missing: run `make BUILD={tovex.BUILD} dist`")
    root = tmp_path_factory.mktemp("unpacked") / "Down loads"
    root.mkdir()
    subprocess.run(["unzip", "-q", str(ZIP), "-d", str(root)], check=True)
    return root / f"tovex-{VERSION}"


def run(cmd, text=True, **kwargs):
    proc = subprocess.run([str(c) for c in cmd], capture_output=True, text=text, **kwargs)
    assert proc.returncode == 0, f"{cmd[0]} failed ({proc.returncode}): {proc.stdout}{proc.stderr}"
    return proc


def build_linux(release, example, out):
    return run(["sh", release / "examples" / example / "build.sh", out])


def build_windows(release, example, out):
    """build.cmd under Wine's cmd, started in its own directory as a user would."""
    with open(out.parent / f"{example}-cmd.log", "w+b") as log:
        code = subprocess.run(["wine", "cmd", "/c", "build.cmd", tovex.wine_path(out)], cwd=release / "examples" / example,
                              stdin=subprocess.DEVNULL, stdout=log, stderr=log, env=tovex.wine_env()).returncode
        log.seek(0)
        text = tovex.decode_text(log.read())
    assert code == 0, f"build.cmd of {example} failed ({code}): {text}"
    return text


def test_release_layout_and_the_linux_builder(release):
    names = {p.relative_to(release).as_posix() for p in release.rglob("*") if p.is_file()}
    expected = {"README.md", "bin/tovex-build", "bin/tovex-build.cmd", "bin/windows-x86_64/tovex-build.exe",
                "bin/linux-x86_64/tovex-build", "bin/linux-aarch64/tovex-build", "bin/macos-x86_64/tovex-build",
                "bin/macos-arm64/tovex-build", f"{MAVEN}.jar", f"{MAVEN}.pom", "docs/maven.md",
                "examples/maven/pom.xml", "examples/maven/hello-maven.conf", "stubs/launcher-gui.exe",
                "stubs/launcher-console.exe", "lib/tovex-runtime.jar", "lib/tovex-runtime-sources.jar",
                "docs/builder.md", "docs/configuration.md", "examples/README.md"}
    for example in EXAMPLES:
        expected |= {f"examples/{example}/{n}" for n in ("build.sh", "build.cmd", "app.ico", "splash.png")}
    assert expected <= names, sorted(expected - names)
    assert not [n for n in names if "/out/" in n or n.endswith("testing.md")]
    readme = (release / "README.md").read_text(encoding="utf-8").splitlines()
    assert len(readme) <= 25 and max(map(len, readme)) <= 100, "the release README fits on one screen"
    assert VERSION in readme[0]

    assert run([release / "bin" / "tovex-build", "--version"]).stdout == f"tovex-build {VERSION}\n"
    builder = release / "bin" / "linux-x86_64" / "tovex-build"
    header = run(["readelf", "-h", builder]).stdout
    assert re.search(r"Machine:\s+Advanced Micro Devices X86-64", header)
    needed = set(re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]", run(["readelf", "-d", builder]).stdout))
    assert needed <= GLIBC_LIBRARIES, needed
    symbols = subprocess.run(["objdump", "-T", str(builder)], capture_output=True, text=True).stdout  # none: static
    glibc = [tuple(map(int, v.split("."))) for v in re.findall(r"GLIBC_([0-9.]+)", symbols)]
    assert not glibc or max(glibc) <= (2, 31), f"needs glibc {max(glibc)}"

    for stub, subsystem in (("launcher-gui.exe", "Windows GUI"), ("launcher-console.exe", "Windows CUI")):
        dump = run(["x86_64-w64-mingw32-objdump", "-p", release / "stubs" / stub]).stdout
        assert re.search(r"Subsystem\s+0000000[23]\s+\(" + subsystem + r"\)", dump), stub
    manifest = run(["unzip", "-p", release / "lib" / "tovex-runtime.jar", "META-INF/MANIFEST.MF"]).stdout
    assert f"Implementation-Version: {VERSION}" in manifest.splitlines()
    sources = set(run(["unzip", "-Z1", release / "lib" / "tovex-runtime-sources.jar"]).stdout.split())
    assert {p.relative_to(tovex.ROOT / "java" / "src").as_posix()
            for p in (tovex.ROOT / "java" / "src").rglob("*.java")} <= sources
    for example in EXAMPLES:
        images = run(["identify", release / "examples" / example / "app.ico",
                      release / "examples" / example / "splash.png"]).stdout
        assert re.findall(r" ICO (\d+x\d+) ", images) == ["16x16", "32x32", "48x48"], images
        assert " PNG 400x240 " in images


# What a reader of the release cannot follow: paths of the source tree, make targets, build trees.
SOURCE_TREE = re.compile(r"(?<![\w.$%-])(src/(?!example/)|(tools|tests|testing|bench|fuzz|cmake|\.ci|java/src)/)"
                         r"|\bbuild/(host|win|java|dist)\b|`make\b|\bmake (-C|dist|all|test|deps|runtimes|demo)\b"
                         r"|source-tree -->")


def test_licence_and_docs_that_stand_on_their_own(release):
    licence = (release / "LICENSE").read_text(encoding="utf-8")
    assert licence.startswith("MIT License\n") and "licenses/" in licence
    licences = sorted(p.name for p in (release / "licenses").iterdir())
    assert licences == ["gcc-runtime-mingw-w64.txt", "llvm-libcxx.txt", "llvm-libcxxabi.txt", "llvm-libunwind.txt",
                        "mingw-w64.txt", "musl.txt", "stb.txt", "zig.txt"]
    assert "stb" in (release / "licenses" / "stb.txt").read_text(encoding="utf-8")
    docs = sorted(release.glob("docs/*.md")) + [release / "README.md", release / "examples" / "README.md"]
    assert len(docs) >= 10
    for doc in docs:
        text = doc.read_text(encoding="utf-8")
        for number, line in enumerate(text.splitlines(), 1):
            assert not SOURCE_TREE.search(line), f"{doc.relative_to(release)}:{number}: {line}"
        # Every relative link leads to a file of the release.
        for target in re.findall(r"\]\(([^)#\s]+)", text):
            if "://" not in target:
                assert (doc.parent / target).is_file(), f"{doc.relative_to(release)}: link to {target}"
    signing = (release / "docs" / "signing.md").read_text(encoding="utf-8")
    assert "bin/tovex-build --stub stubs/launcher-gui.exe" in signing
    readme = (release / "README.md").read_text(encoding="utf-8")
    assert "OUTPUT_LOG_FILE" in readme and '"%1"' in readme


def test_both_builders_make_the_same_exes_from_the_release(release, tmp_path):
    for example, (exe, stub, exe_type) in EXAMPLES.items():
        linux, windows = tmp_path / f"{example} linux", tmp_path / f"{example} windows"
        proc = build_linux(release, example, linux)
        assert f"tovex-build: stub {release}/stubs/{stub} (EXE_TYPE {exe_type})\n" in proc.stderr
        assert "0 errors" in proc.stderr
        text = build_windows(release, example, windows)
        assert f"tovex-build: stub {tovex.wine_path(release)}\\stubs\\{stub} (EXE_TYPE {exe_type})" in text
        assert (linux / exe).read_bytes() == (windows / exe).read_bytes(), example
        # The example's icon and splash image are in the exe as icoutils' wrestool reads it.
        icon = run(["wrestool", "-x", "--type=14", "--name=1001", linux / exe], text=False).stdout
        assert image_files.ico_images(icon) == image_files.ico_images(
            (release / "examples" / example / "app.ico").read_bytes())
        splash = run(["wrestool", "-x", "--raw", "--type=10", "--name=10000", linux / exe], text=False).stdout
        assert splash == (release / "examples" / example / "splash.png").read_bytes()
        assert sorted(p.relative_to(linux).as_posix() for p in linux.rglob("*")) == \
               sorted(p.relative_to(windows).as_posix() for p in windows.rglob("*"))


def test_console_example_runs_with_its_appended_jars_and_vmoptions(release, tmp_path):
    out = tmp_path / "Hello Console"
    build_linux(release, "console", out)
    make_runtime(out / "jre", jvm="bridge", version_output='openjdk version "17.0.15" 2025-04-15\n')
    override = TempOverride(tmp_path / "temp")   # extracted jars on drive Z:, where the bridge reads them
    try:
        result = tovex.run_exe(out / "HelloConsole.exe", ["one", "two words"], encoding="utf-8")
    finally:
        override.restore()
    assert result.returncode == 0, result.stderr
    lines = result.stdout.replace("\r\n", "\n").splitlines()
    assert "greeting: Hello from HelloConsole.vmoptions" in lines
    assert [line for line in lines if line.startswith("argument ")] == [
        "argument 0: --from-config", "argument 1: one", "argument 2: two words"]


def test_swing_example_window_takes_later_starts(release, tmp_path):
    out = tmp_path / "Hello Swing"
    build_linux(release, "swing", out)
    rt = make_runtime(out / "jre", jvm="bridge", version_output='openjdk version "17.0.15" 2025-04-15\n')

    def window(starts):
        title = f"Hello Swing window ({starts} start{'s' if starts > 1 else ''})"
        return tovex.wait_for(lambda: visible_windows(re.escape(title)), 120, what=f"the window {title!r}")

    first = tovex.start_exe(out / "HelloSwing.exe")
    try:
        window(1)
        second = tovex.run_exe(out / "HelloSwing.exe", ["a", "b c"])
        assert second.returncode == 0, second.stderr
        window(2)
        quit_ = tovex.run_exe(out / "HelloSwing.exe", ["--quit"])
        assert quit_.returncode == 0, quit_.stderr
        assert first.wait(timeout=120) == 0
    finally:
        finish([first])
    options = rt.options()
    assert "-Dexample.greeting=Hello from HelloSwing.vmoptions" in options
    assert any(o.startswith("-Djava.class.path=") and o.endswith("\\lib\\tovex-runtime.jar;") for o in options)
