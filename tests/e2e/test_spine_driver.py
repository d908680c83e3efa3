"""The launch driver: markers, switches and exit codes of a built launcher (no JVM installed)."""
import pytest

import spine_util
import tovex

NO_JVM_TEXT = "No JVM could be found on your system."


def build(appdir, extra="", stub="console", name="app.exe"):
    return tovex.build_app(appdir, "MAIN_CLASS = com.example.Main\n" + extra, stub=stub, name=name)


def test_reboot_marker_exits_0_without_reading_the_block(appdir):
    exe = build(appdir)
    spine_util.cut_block(exe, 0)  # no block at all: reading it would fail
    try:
        result = tovex.run_exe(exe, ["__mlk_reboot"], log=True)
        assert result.returncode == 0
        assert result.stderr == ""
        assert result.log is None, "no log is written for a reboot request"
    finally:
        # The reboot request ends the prefix's session; let it settle before the next run.
        tovex.wineserver_wait()


def test_reboot_marker_with_more_text_is_an_ordinary_argument(appdir):
    exe = build(appdir)
    result = tovex.run_exe(exe, ["__mlk_reboot", "x"], log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT in result.stderr
    assert "number of sections:" in result.log


def test_language_restart_skips_working_directory_and_single_instance(appdir):
    exe = build(appdir, "WORKING_DIRECTORY = .\n")
    normal = tovex.run_exe(exe, [], log=True)
    restart = tovex.run_exe(exe, ["__mlk_lang_restart"], log=True)
    assert normal.returncode == restart.returncode == tovex.EXIT_NO_JVM
    assert "change working directory to" in normal.log
    assert "semaphore name" in normal.log
    assert "change working directory to" not in restart.log
    assert "working directory unchanged" not in restart.log
    assert "semaphore name" not in restart.log
    assert "Searching for a JVM" in restart.log  # everything else runs
    # Not at the start of the tail: no effect.
    later = tovex.run_exe(exe, ["x", "__mlk_lang_restart"], log=True)
    assert "change working directory to" in later.log


def test_quiet_marker_sends_a_gui_launchers_errors_to_stderr(appdir):
    exe = build(appdir, "EXE_TYPE = 1\n", stub="gui")
    result = tovex.run_exe(exe, ["-q_mlk_internal", "more"], timeout=60)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT in result.stderr


@pytest.mark.parametrize("switch", ["-create-mlk-log", "-create-tvx-log", "/create-mlk-log", "/create-tvx-log"])
def test_log_switch_as_first_argument_turns_the_log_on(appdir, switch):
    exe = build(appdir)
    code, stderr, log = spine_util.run_answering(exe, [switch, "b"], caption="marlowkit", key="n")
    assert code == tovex.EXIT_NO_JVM
    assert log is not None and log.startswith("Started executable ")
    assert "\n\nLog: C:\\users\\" in stderr.replace("\r\n", "\n")


def test_log_switch_later_on_the_command_line_is_not_a_switch(appdir):
    exe = build(appdir)
    result = tovex.run_exe(exe, ["a", "-create-mlk-log"])
    assert result.returncode == tovex.EXIT_NO_JVM
    assert result.log is None
    assert "Log:" not in result.stderr


def test_product_name_tovex_is_the_prompt_caption(appdir):
    exe = build(appdir, "LAUNCHER_FLAVOUR = e\n")
    code, _, log = spine_util.run_answering(exe, ["-create-mlk-log"], caption="tovex", key="n")
    assert code == tovex.EXIT_NO_JVM and log


def test_console_switches_are_ordinary_arguments_unless_configured(appdir):
    exe = build(appdir)
    result = tovex.run_exe(exe, ["-c", "-console", "-q"], log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT in result.stderr


def test_console_switch_failure_is_ignored(appdir):
    exe = build(appdir, "CONSOLE_SWITCH = 1\n")
    result = tovex.run_exe(exe, ["-console"])
    assert result.returncode == tovex.EXIT_NO_JVM


def test_unattended_q_turns_gui_errors_to_stderr(appdir):
    exe = build(appdir, "EXE_TYPE = 1\nUNATTENDED_SWITCHES = 1\n", stub="gui")
    result = tovex.run_exe(exe, ["x", "-q"], timeout=60)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT in result.stderr


def test_q_without_unattended_switches_keeps_the_message_box(appdir):
    exe = build(appdir, "EXE_TYPE = 1\nCONSOLE_SWITCH = 1\n", stub="gui")
    code, stderr, _ = spine_util.run_answering(exe, ["-q"], caption="Error")
    assert code == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT not in stderr


def test_c_with_unattended_switches_sends_gui_errors_to_stderr(appdir):
    # Wine gives the launcher a console here (attach or allocate succeeds), so
    # "-c" takes its success path: message boxes off, the scan stops.
    exe = build(appdir, "EXE_TYPE = 1\nUNATTENDED_SWITCHES = 1\n", stub="gui")
    result = tovex.run_exe(exe, ["-c", "-console"], log=True, timeout=60)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT in result.stderr


def test_c_without_unattended_switches_is_ignored(appdir):
    exe = build(appdir, "EXE_TYPE = 1\nCONSOLE_SWITCH = 1\n", stub="gui")
    code, stderr, _ = spine_util.run_answering(exe, ["-c"], caption="Error")
    assert code == tovex.EXIT_NO_JVM
    assert NO_JVM_TEXT not in stderr


# The stubs as built: small (the builder replaces their placeholder images with the
# application's), importing nothing but Windows system DLLs, and carrying every resource
# the launcher and the builder rely on. Read with binutils, not with our own code.
STUB_SIZE_LIMIT = 256 * 1024
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll", "shell32.dll",
               "msvcrt.dll", "ole32.dll"}
STUB_RESOURCES = {("bitmap", "10000"), ("rcdata", "10000"), ("group icon", "1001"),
                  ("group icon", '"ID_SPLASH_ICON"'), ("dialog", "101"), ("24", "1")}


def stub_resources(path):
    """(type, name) of every resource windres finds in the exe's resource section."""
    import re
    import subprocess
    listing = subprocess.run(["x86_64-w64-mingw32-windres", "-i", str(path), "-J", "coff", "-O", "rc"],
                             capture_output=True, text=True, errors="replace", check=True).stdout
    found, kind = set(), None
    for line in listing.splitlines():
        match = re.match(r"/\* Type: (.+?)\s*$", line)
        if match:
            kind = match.group(1)
        match = re.search(r"Name: (\S+)\.  \*/", line)
        if match:
            found.add((kind, match.group(1)))
    return found


@pytest.mark.parametrize("stub", sorted(tovex.STUBS))
def test_stub_is_small_imports_only_system_dlls_and_has_its_resources(stub):
    import subprocess
    path = tovex.STUBS[stub]
    size = path.stat().st_size
    assert size <= STUB_SIZE_LIMIT, f"{path.name} has {size} bytes, more than {STUB_SIZE_LIMIT}"
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout
    names = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines() if "DLL Name:" in line}
    assert names and names <= SYSTEM_DLLS, names
    resources = stub_resources(path)
    assert STUB_RESOURCES <= resources, STUB_RESOURCES - resources
