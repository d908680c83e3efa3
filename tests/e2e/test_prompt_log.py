"""The log-file prompt (answered under Xvfb) and the configured working directory."""
import re
import subprocess

import runtimes
import splash_util as su
import tovex

CONFIG = """MAIN_CLASS = demo.Main
EXE_TYPE = 0
JVM_SEARCH_SEQUENCE = B.\\jre
"""


def _kill_explorers():
    """Ends the Explorer windows the Yes answer opened (and Wine's desktop with them)."""
    tovex.restart_wine()


def _run_with_answer(exe, key, caption="marlowkit"):
    # Explorer inherits the launcher's handles: wait for the launcher itself, not for its output pipes.
    proc = subprocess.Popen(["wine", str(exe), "-create-tvx-log", "after"], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=tovex.wine_env(), start_new_session=True)
    try:
        tovex.answer_window(caption, key, proc)
        proc.wait(timeout=120)
    finally:
        if proc.poll() is None:
            proc.kill()
    return proc.returncode, su.current_log()


def test_prompt_no_goes_on_with_logging(appdir):
    rt = runtimes.make_runtime(appdir / "jre", jvm="record")
    exe = tovex.build_app(appdir, CONFIG)
    code, log = _run_with_answer(exe, "n")
    assert code == 0
    assert "explorer.exe" not in log and "launch done" in log
    assert rt.main_args()[-1:] == ["after"], "the switch itself never reaches the program"


def test_prompt_yes_starts_explorer_on_the_short_log_path(appdir):
    runtimes.make_runtime(appdir / "jre", jvm="record")
    exe = tovex.build_app(appdir, CONFIG + "LAUNCHER_FLAVOUR = e\n")
    try:
        code, log = _run_with_answer(exe, "Return", caption="tovex")
    finally:
        _kill_explorers()
    assert code == 0
    calls = [line for line in log.splitlines() if line.startswith("calling ") and "explorer" in line]
    assert len(calls) == 1, log
    assert re.fullmatch(r"calling [A-Za-z]:\\windows\\explorer\.exe /select,\S+", calls[0], re.I), calls[0]
    assert "could not open explorer window" not in log


def test_switch_later_on_the_command_line_shows_no_prompt(appdir):
    rt = runtimes.make_runtime(appdir / "jre", jvm="record")
    exe = tovex.build_app(appdir, CONFIG)
    result = tovex.run_exe(exe, ["first", "-create-tvx-log"], timeout=60)
    assert result.returncode == 0
    assert result.log is None
    assert rt.main_args()[-2:] == ["first", "-create-tvx-log"]


def _marker_run(appdir, config, args, cwd):
    marker = "wd-marker.txt"
    runtimes.make_runtime(appdir / "jre", jvm="record", script=f"main touch {marker}\n")
    exe = tovex.build_app(appdir, CONFIG + config)
    result = tovex.run_exe(exe, args, cwd=cwd, log=True, timeout=60)
    assert result.returncode == 0, result.stderr
    return marker, result


def test_working_directory_dot_is_the_exe_directory(appdir, tmp_path):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    marker, result = _marker_run(appdir, "WORKING_DIRECTORY = .\n", [], elsewhere)
    assert (appdir / marker).exists() and not (elsewhere / marker).exists()
    assert "change working directory to " in result.log


def test_working_directory_relative_to_the_exe(appdir, tmp_path):
    sub = appdir / "data dir"
    sub.mkdir()
    marker, result = _marker_run(appdir, "WORKING_DIRECTORY = data dir\\..\\data dir\n", [], tmp_path)
    assert (sub / marker).exists()
    line = [x for x in result.log_lines if x.startswith("change working directory to ")]
    assert line and line[0].rstrip("\\").lower().endswith("\\data dir"), line


def test_working_directory_unchanged_without_setting_or_on_language_restart(appdir, tmp_path):
    caller = tmp_path / "caller"
    caller.mkdir()
    marker, result = _marker_run(appdir, "", [], caller)
    assert (caller / marker).exists()
    assert "working directory unchanged" in result.log
    (caller / marker).unlink()
    marker, result = _marker_run(appdir, "WORKING_DIRECTORY = .\n", ["__mlk_lang_restart"], caller)
    assert (caller / marker).exists() and not (appdir / marker).exists()
    assert "change working directory" not in (result.log or "")
