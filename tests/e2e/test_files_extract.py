"""Extraction of appended files: contents, layout, failures and clean-up (real exes under Wine)."""
import os
import pathlib
import random

import pytest

import tovex
from files_util import extraction_dir, linux_path, option_value, patch_bytes
from runtimes import make_runtime

CONF = "MAIN_CLASS = app.Main\n"
INTERNAL_16 = "An internal error occurred (error code: 16)"


def java_env(rt):
    return {"TOVEX_JAVA_HOME": rt.home_win}


@pytest.fixture
def contents(tmp_path):
    rng = random.Random(1234)
    data = {
        "bytes.bin": bytes(range(256)) + b"\xd6\x00\xd6\xd6\x00",
        "big.bin": bytes(rng.randrange(256) for _ in range(20000)),
        "empty.bin": b"",
        "lib.jar": b"PK\x03\x04 not really a jar \xd6",
    }
    for name, value in data.items():
        (tmp_path / name).write_bytes(value)
    return tmp_path, data


def test_files_land_byte_exact_and_reach_the_vm(appdir, contents):
    src, data = contents
    rt = make_runtime(appdir / "jre")
    exe = tovex.build_app(appdir, CONF, files={
        "bytes.bin": src / "bytes.bin", "big.bin": src / "big.bin", "empty.bin": src / "empty.bin",
        "user\\lib.jar": src / "lib.jar"})
    result = tovex.run_exe(exe, env=java_env(rt), log=True)
    assert result.returncode == 0, result.stderr

    out = extraction_dir(result.log)
    assert out is not None and out.is_dir(), result.log
    try:
        assert (out / "bytes.bin").read_bytes() == data["bytes.bin"]
        assert (out / "big.bin").read_bytes() == data["big.bin"]
        assert not (out / "empty.bin").exists(), "an empty entry creates no file"
        assert (out / "user" / "lib.jar").read_bytes() == data["lib.jar"]
        assert sorted(os.listdir(out)) == ["big.bin", "bytes.bin", "user"]
        assert "Included files: 4" in result.log_lines
        assert any(line.endswith("\\big.bin (size: 20000)") for line in result.log_lines)
        assert "extracting files done" in result.log_lines

        options = rt.options()
        assert linux_path(option_value(options, "tovex.tempDir")) == out
        # The builder writes the files up to the end of the exe: nothing is left unextracted.
        assert option_value(options, "tovex.unextractedPosition") == str(exe.stat().st_size)
    finally:
        for p in sorted(out.rglob("*"), reverse=True):
            p.rmdir() if p.is_dir() else p.unlink()
        out.rmdir()


def test_no_files_no_directory(appdir):
    rt = make_runtime(appdir / "jre")
    exe = tovex.build_app(appdir, CONF)
    result = tovex.run_exe(exe, env=java_env(rt), log=True)
    assert result.returncode == 0, result.stderr
    assert "Included files: 0" in result.log_lines
    assert not any(line.startswith("Temp dir:") for line in result.log_lines)
    assert option_value(rt.options(), "tovex.tempDir") == ""
    assert option_value(rt.options(), "tovex.unextractedPosition") == "0"


def test_fewer_names_than_entries_stops_after_the_last_name(appdir, tmp_path):
    (tmp_path / "one").write_bytes(b"first file")
    (tmp_path / "two").write_bytes(b"second")
    rt = make_runtime(appdir / "jre")
    exe = tovex.build_app(appdir, CONF, files={"aa.bin": tmp_path / "one", "bb.bin": tmp_path / "two"})
    patch_bytes(exe, b"aa.bin;bb.bin", b"aa.bin;;;;;;;")  # the count stays 2, one name is left
    result = tovex.run_exe(exe, env=java_env(rt), log=True)
    assert result.returncode == 0, result.stderr
    out = extraction_dir(result.log)
    try:
        assert sorted(os.listdir(out)) == ["aa.bin"]
        assert (out / "aa.bin").read_bytes() == b"first file"
        second_entry = exe.stat().st_size - 8 - len(b"second")
        assert option_value(rt.options(), "tovex.unextractedPosition") == str(second_entry)
    finally:
        (out / "aa.bin").unlink()
        out.rmdir()


def test_truncated_exe_is_internal_error_16_and_leaves_nothing(appdir, contents):
    src, _ = contents
    rt = make_runtime(appdir / "jre")
    exe = tovex.build_app(appdir, CONF, files={"bytes.bin": src / "bytes.bin", "big.bin": src / "big.bin"})
    data = exe.read_bytes()
    exe.write_bytes(data[:-100])
    result = tovex.run_exe(exe, env=java_env(rt), log=True)
    assert result.returncode == tovex.EXIT_FATAL
    assert INTERNAL_16 in result.stderr
    assert any(line.startswith("ERROR: ReadFile failed 0 ") for line in result.log_lines), result.log
    assert any(line.startswith("ERROR: Failed to extract ") and line.endswith("\\big.bin")
               for line in result.log_lines)
    out = extraction_dir(result.log)
    assert out is not None and not out.exists(), "the exit path removes the directory"
    assert rt.transcript() == [], "no VM is started"


def test_early_exit_removes_the_directory(appdir, contents):
    src, _ = contents
    exe = tovex.build_app(appdir, CONF, files={"bytes.bin": src / "bytes.bin", "user\\lib.jar": src / "lib.jar"})
    result = tovex.run_exe(exe, log=True)   # no Java runtime anywhere
    assert result.returncode == tovex.EXIT_NO_JVM, result.stderr
    out = extraction_dir(result.log)
    assert out is not None and not out.exists()
    assert any(line.startswith("attempting to remove ") and line.endswith("\\user (1)")
               for line in result.log_lines)


def _outside_target(appdir):
    return appdir.parent / "evil.jar"


REFUSED = [
    ("parent", lambda appdir: "..\\evil.jar", lambda appdir: tovex.WINE_TEMP / "evil.jar"),
    ("parent after a level", lambda appdir: "user\\..\\..\\evil.jar", lambda appdir: tovex.WINE_TEMP / "evil.jar"),
    ("forward slashes", lambda appdir: "../evil.jar", lambda appdir: tovex.WINE_TEMP / "evil.jar"),
    ("rooted", lambda appdir: "\\evil.jar", lambda appdir: tovex.WINEPREFIX / "drive_c" / "evil.jar"),
    ("absolute", lambda appdir: tovex.wine_path(_outside_target(appdir)), _outside_target),
]


@pytest.mark.parametrize("case,name,target", REFUSED, ids=[c for c, _, _ in REFUSED])
def test_names_outside_the_directory_are_refused(appdir, tmp_path, case, name, target):
    bad = name(appdir).encode("cp1252")
    safe = b"s" * (len(bad) - 4) + b".jar"
    (tmp_path / "payload").write_bytes(b"payload")
    rt = make_runtime(appdir / "jre")
    exe = tovex.build_app(appdir, CONF, files={"ok.jar": tmp_path / "payload", safe.decode(): tmp_path / "payload"})
    patch_bytes(exe, safe, bad)
    before = set(os.listdir(tovex.WINE_TEMP))
    result = tovex.run_exe(exe, env=java_env(rt), log=True)

    assert result.returncode == tovex.EXIT_FATAL, result.stderr
    assert INTERNAL_16 in result.stderr
    assert f"ERROR: refusing file name {bad.decode('cp1252')}: it leaves the extraction directory" in result.log_lines
    assert not target(appdir).exists()
    assert not any(line.startswith("Temp dir:") for line in result.log_lines), "nothing is created"
    created = {n for n in set(os.listdir(tovex.WINE_TEMP)) - before if not n.startswith("mlk_nlog_")}
    assert created == set()
    assert rt.transcript() == []


def test_start_killed_during_extraction_leaves_a_directory_the_next_start_removes(appdir, tmp_path):
    """A start killed while it extracts leaves its half-written directory; the next start removes it
    (its process has ended) and keeps the directory of an instance that still runs."""
    import signal
    from files_util import all_logs, new_logs, read_log
    started, gate = tmp_path / "started", tmp_path / "gate"
    gate.write_text("")
    rt = make_runtime(appdir / "jre", script=f"main touch {started}\nmain wait-gone {gate}\n")
    (tmp_path / "small.bin").write_bytes(b"small")
    small = tovex.build_app(appdir, CONF, name="small.exe", files={"small.bin": tmp_path / "small.bin"})
    with open(tmp_path / "big.bin", "wb") as f:
        f.truncate(400 * 1024 * 1024)
    big = tovex.build_app(appdir, CONF, name="big.exe", files={"big.bin": tmp_path / "big.bin"})
    (tmp_path / "big.bin").unlink()
    procs = []
    try:
        before = all_logs()
        running = tovex.start_exe(small, env=java_env(rt), log=True)
        procs.append(running)
        tovex.wait_for(started.exists, 90, what="the running instance in main")
        running_dir = extraction_dir(read_log(new_logs(before)[-1]))
        assert running_dir.is_dir()

        before = all_logs()
        killed = tovex.start_exe(big, env=java_env(rt), log=True)
        procs.append(killed)
        partial = tovex.wait_for(lambda: [p for p in new_logs(before)
                                          if (d := extraction_dir(read_log(p))) and (d / "big.bin").exists()
                                          and (d / "big.bin").stat().st_size > 0], 90, what="extraction under way")
        os.killpg(killed.pid, signal.SIGKILL)
        assert killed.wait(timeout=60) == -signal.SIGKILL
        left = extraction_dir(read_log(partial[0]))
        assert 0 < (left / "big.bin").stat().st_size < 400 * 1024 * 1024, "killed during extraction"

        result = tovex.run_exe(small, env={**java_env(rt), "TOVEX_JAVA_HOME": "C:\\nowhere"}, log=True)
        assert not left.exists(), result.log
        assert not pathlib.Path(str(left)[:str(left).rfind("_dir")]).exists(), "its name file goes too"
        assert running_dir.is_dir(), "the running instance's directory stays"
        win_left = next(l for l in read_log(partial[0]).splitlines() if l.startswith("Temp dir: "))[10:]
        assert any(l.startswith(f"removing extraction directory {win_left} of an earlier start (process ")
                   for l in result.log_lines), result.log
        assert any(l.startswith("keeping extraction directory ") and l.endswith(" runs") for l in result.log_lines)
        own = extraction_dir(result.log)
        assert not own.exists(), "the start that found no runtime removed its own directory"
    finally:
        gate.unlink(missing_ok=True)
        for p in procs:
            if p.poll() is None:
                p.wait(timeout=60)
        import shutil
        for d in [locals().get("running_dir"), locals().get("left")]:
            if d is not None and d.exists():
                shutil.rmtree(d)
