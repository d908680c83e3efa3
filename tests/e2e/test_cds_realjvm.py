"""Managed class-data sharing with the real Java runtimes (build/runtimes/<major>, `make runtimes`).

The jlink'ed runtimes have no default base archive (bin\\server\\classes.jsa), so they get
the static archive: the first start records the class list, the second starts the dump
run in the background, the third maps the archive. The VM's own -Xlog:class+load lines
(from an options file beside the exe) show where each class came from.
"""
import os
import pathlib
import shutil
import subprocess

import pytest

import runtimes
import realjvm_util as rj
import tovex

pytestmark = pytest.mark.realjvm

RUNTIMES = tovex.BUILD / "runtimes"
LOCAL = tovex.WINEPREFIX / "drive_c" / "users" / os.environ.get("USER", "root") / "AppData" / "Local"
CDS_ROOT = LOCAL / "tovex" / "cds"


def need_runtime(major: str) -> pathlib.Path:
    home = RUNTIMES / major
    if not (home / "bin" / "server" / "jvm.dll").exists():
        pytest.skip(f"{home} missing: run 'make runtimes'")
    return home


def write_jar(directory: pathlib.Path, greeting: str) -> pathlib.Path:
    """app.jar: cds.Main prints greeting and uses a helper class of its own."""
    src = directory / "src" / "cds"
    src.mkdir(parents=True, exist_ok=True)
    (src / "Main.java").write_text(
        "package cds;\npublic final class Main {\n  public static void main(String[] a) {\n"
        f"    System.out.println(Helper.text(\"{greeting}\"));\n  }}\n}}\n")
    (src / "Helper.java").write_text(
        "package cds;\nfinal class Helper {\n  static String text(String s) {\n"
        "    return String.join(\",\", java.util.List.of(s, \"done\"));\n  }\n}\n")
    classes = directory / "classes"
    shutil.rmtree(classes, ignore_errors=True)
    subprocess.run([f"{tovex.JAVA_HOME}/bin/javac", "--release", "17", "-d", str(classes),
                    str(src / "Main.java"), str(src / "Helper.java")], check=True)
    jar = directory / "app.jar"
    jar.unlink(missing_ok=True)
    subprocess.run([f"{tovex.JAVA_HOME}/bin/jar", "cf", str(jar), "-C", str(classes), "."], check=True)
    return jar


def make_app(tmp_path: pathlib.Path, major: str, name: str) -> pathlib.Path:
    app = tmp_path / name
    jre = app / "jre"
    app.mkdir()
    subprocess.run(["cp", "-al", str(need_runtime(major)), str(jre)], check=True)
    write_jar(app, "hello")
    exe = tovex.build_app(app, f"APPLICATION_NAME = {name}\nMAIN_CLASS = cds.Main\nCLASS_PATH = A1app.jar;"
                               f"A1{tovex.wine_path(tovex.RUNTIME_JAR)}\nJVM_SEARCH_SEQUENCE = B.\\jre\n"
                               "MIN_VERSION = 17\n", stub="console", name=f"{name}.exe")
    (app / f"{name}.vmoptions").write_text("-Xlog:class+load=info\n")
    shutil.rmtree(folder_of(name), ignore_errors=True)
    for f in folder_glob(name):
        shutil.rmtree(f, ignore_errors=True)
    return exe


def folder_glob(name: str) -> list:
    return sorted(CDS_ROOT.glob(f"{name}-*")) if CDS_ROOT.exists() else []


def folder_of(name: str) -> pathlib.Path:
    found = folder_glob(name)
    return found[0] if len(found) == 1 else CDS_ROOT / f"{name}-missing"


def files_in(folder: pathlib.Path) -> set:
    return {p.suffix for p in folder.iterdir()} if folder.exists() else set()


def loaded_from(output: str, cls: str) -> str:
    for line in output.splitlines():
        if f"[class,load] {cls} source: " in line:
            return line.split(" source: ", 1)[1].strip()
    raise AssertionError(f"no class-load line for {cls} in:\n{output[-3000:]}")


def run(exe, expect: str) -> tovex.Result:
    result = tovex.run_exe(exe, log=True, timeout=300)
    assert result.returncode == 0, result.stderr
    assert f"{expect},done" in result.stdout.splitlines(), result.stdout[-2000:]
    return result


@pytest.mark.parametrize("major", ["21", "25"])
def test_static_archive_recorded_dumped_mapped_and_renewed_for_a_changed_jar(tmp_path, major):
    exe = make_app(tmp_path, major, f"cds{major}")
    name = exe.stem
    beside = set(os.listdir(exe.parent))

    first = run(exe, "hello")
    assert loaded_from(first.stdout, "cds.Main").startswith("file:")
    folder = folder_of(name)
    assert files_in(folder) == {".lst"}
    assert any("class list recorded in this run" in line for line in first.log_lines)

    second = run(exe, "hello")
    assert any("archive dump started in the background" in line for line in second.log_lines)
    rj.wait_for_dump(folder)
    assert {".lst", ".dump", ".jsa", ".log"} <= files_in(folder)

    third = run(exe, "hello")
    assert loaded_from(third.stdout, "cds.Main") == "shared objects file"
    assert loaded_from(third.stdout, "cds.Helper") == "shared objects file"
    assert loaded_from(third.stdout, "java.util.ImmutableCollections$ListN") == "shared objects file"
    assert "[cds]" not in third.stdout
    old = {p.name for p in folder.iterdir()}

    # A changed jar: the start goes on with the new classes, and records afresh.
    write_jar(exe.parent, "changed")
    fourth = run(exe, "changed")
    assert loaded_from(fourth.stdout, "cds.Main").startswith("file:")
    assert any("class list recorded in this run" in line for line in fourth.log_lines)
    assert not old & {p.name for p in folder.iterdir()}, "the files of the old class path are gone"
    # Nothing lands beside the executable.
    assert set(os.listdir(exe.parent)) - beside <= {"classes", "src"}


def test_stale_archive_of_an_updated_runtime_is_ignored(tmp_path):
    """The runtime in .\\jre is replaced by another build that states the same version:
    the same archive folder, an archive the new VM cannot use; it starts all the same, silently."""
    exe = make_app(tmp_path, "21", "cdsupd")
    run(exe, "hello")
    run(exe, "hello")
    rj.wait_for_dump(folder_of(exe.stem))
    assert ".jsa" in files_in(folder_of(exe.stem))
    jre = exe.parent / "jre"
    release = (jre / "release").read_text()
    shutil.rmtree(jre)
    subprocess.run(["cp", "-al", str(need_runtime("25")), str(jre)], check=True)
    (jre / "release").unlink()
    (jre / "release").write_text(release)
    result = run(exe, "hello")
    assert any("static archive mapped" in line for line in result.log_lines)
    assert loaded_from(result.stdout, "cds.Main").startswith("file:")
    assert "[cds]" not in result.stdout and "shared archive" not in result.stdout


@pytest.mark.parametrize("release, config, vmoptions, added", [
    ("11.0.2", "", "", False),                            # too old: nothing
    ("21.0.8", "CLASS_DATA_SHARING = 0\n", "", False),     # turned off
    ("21.0.8", "", "-Xshare:off\n", False),                # the user's own option wins
    ("21.0.8", "", "-XX:SharedArchiveFile=C:\\mine.jsa\n", False),
    ("21.0.8", "", "", True),
])
def test_options_only_for_a_supporting_runtime_without_options_of_the_user(tmp_path, release, config, vmoptions,
                                                                           added):
    app = tmp_path / "app"
    rt = runtimes.make_runtime(app / "jre", jvm="record", version_output='openjdk version "21.0.8"\n',
                               release=release)
    exe = tovex.build_app(app, "MAIN_CLASS = cds.Main\nJVM_SEARCH_SEQUENCE = B.\\jre\n" + config)
    if vmoptions:
        (app / "app.vmoptions").write_text(vmoptions)
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == 0, result.stderr
    ours = [o for o in rt.options() if "tovex\\cds\\" in o or o in ("-Xshare:auto", "-Xlog:cds=off")]
    assert bool(ours) == added, rt.options()
    if added:
        assert ours == [o for o in rt.options() if o.startswith("-XX:DumpLoadedClassList=")]


def test_dynamic_archive_written_by_the_first_start_mapped_by_the_second(tmp_path):
    """A runtime with its default base archive (made here with -Xshare:dump, as full JDK builds ship
    it) gets the VM's own dynamic archive: written at the end of the first start, mapped by the second."""
    exe = make_app(tmp_path, "21", "cdsdyn")
    java = exe.parent / "jre" / "bin" / "java.exe"
    dump = subprocess.run(["wine", str(java), "-Xshare:dump"], stdin=subprocess.DEVNULL, capture_output=True,
                          env=tovex.wine_env(), timeout=600)
    assert dump.returncode == 0, dump.stderr[-2000:]
    assert (exe.parent / "jre" / "bin" / "server" / "classes.jsa").exists()

    first = run(exe, "hello")
    assert any("base archive present: dynamic" in line for line in first.log_lines), first.log
    assert loaded_from(first.stdout, "cds.Main").startswith("file:")
    assert loaded_from(first.stdout, "java.lang.Object") == "shared objects file"
    assert files_in(folder_of(exe.stem)) == {".jsa"}

    second = run(exe, "hello")
    assert loaded_from(second.stdout, "cds.Main") == "shared objects file (top)"
    assert loaded_from(second.stdout, "cds.Helper") == "shared objects file (top)"
    assert "[cds" not in second.stdout
