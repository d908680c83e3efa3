"""The diagnostic log, configured messages with "{0}" and the "Log:" line, and language selection."""
import re

import pytest

import tovex

NO_JVM_64 = "This program needs a 64-bit Java, and none that fits was found on this computer.\n\n"


def build(appdir, extra=""):
    return tovex.build_app(appdir, "MAIN_CLASS = com.example.Main\n" + extra)


@pytest.mark.parametrize("variable", ["TOVEX_LOG", "MARLOWKIT_LOG"])
def test_log_header_and_first_lines(appdir, variable):
    exe = build(appdir)
    result = tovex.run_exe(exe, [], env={variable: "yes"})
    assert result.returncode == tovex.EXIT_NO_JVM
    assert result.log_path is not None and re.fullmatch(r"mlk_nlog_\d+", result.log_path.name)
    raw = result.log_path.read_bytes()
    assert b"\r\n" in raw and b"\n" not in raw.replace(b"\r\n", b""), "text mode: every line ends in CR LF"
    lines = result.log.replace("\r\n", "\n").split("\n")
    assert re.fullmatch(r"Started executable Z:\\.*\\app\.exe at \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}", lines[0])
    assert lines[1] == ""
    assert lines[2].startswith("number of sections: ")
    assert lines[3].startswith("size of optional headers: ")
    assert lines[4].startswith("resSectionTableStart: ")
    assert re.fullmatch(r"rawDataSize: \d+, rawDataOffset: \d+", lines[5])
    assert "sun.locale.formatasdefault is true" in lines
    # The error text names the log by its long path.
    text = result.stderr.replace("\r\n", "\n")
    assert text.startswith(NO_JVM_64)
    assert text.endswith(f"\n\nLog: C:\\users\\root\\Temp\\{result.log_path.name}\n") or \
        re.search(r"\n\nLog: C:\\users\\[^\\]+\\Temp\\" + result.log_path.name + r"\n$", text)


@pytest.mark.parametrize("value", ["YES", "true", "1"])
def test_log_stays_off_unless_exactly_yes(appdir, value):
    exe = build(appdir)
    result = tovex.run_exe(exe, [], env={"TOVEX_LOG": value, "MARLOWKIT_LOG": value})
    assert result.returncode == tovex.EXIT_NO_JVM
    assert result.log is None
    assert "Log:" not in result.stderr


def test_second_run_gets_the_next_log_number(appdir):
    exe = build(appdir)
    first = tovex.run_exe(exe, [], log=True)
    second = tovex.run_exe(exe, [], log=True)
    assert first.log_path != second.log_path
    assert first.log_path.exists(), "an earlier log is never deleted"


def test_message_argument_replaces_only_the_first_placeholder(appdir):
    exe = build(appdir, 'MSG_NO_JVM_BITS = "Need {0}-bit, not {0}."\n')
    result = tovex.run_exe(exe, [])
    assert result.returncode == tovex.EXIT_NO_JVM
    assert result.stderr.replace("\r\n", "\n") == "Need 64-bit, not {0}.\n"


def test_absent_message_shows_an_empty_text(appdir):
    exe = tovex.build_app(appdir, "MAIN_CLASS = a.B\n", sets={"MSG_NO_JVM_BITS": ""})
    result = tovex.run_exe(exe, [], log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert re.fullmatch(r"\n\nLog: \S.*mlk_nlog_\d+\n", result.stderr.replace("\r\n", "\n"))


@pytest.fixture
def ascii_dir(tmp_path):
    """A folder with blanks but ASCII only: with a locale that is not installed on the host,
    Wine cannot convert non-ASCII Unix file names."""
    d = tmp_path / "lang app"
    d.mkdir()
    return d


LANG_CONFIG = """
MSG_NO_JVM_BITS = "No JVM ({0})"
[lang de]
MSG_NO_JVM_BITS = "Keine JVM ({0}) \u00e4"
[lang de_CH]
MSG_NO_JVM_BITS = "Keine JVM in der Schweiz ({0})"
[lang fr_FR]
MSG_NO_JVM_BITS = "Pas de JVM ({0})"
"""


@pytest.mark.parametrize("locale,code,text", [
    ("de_DE.UTF-8", "de_DE", "Keine JVM (64) \u00e4"),
    ("de_CH.UTF-8", "de_CH", "Keine JVM in der Schweiz (64)"),
    ("fr_FR.UTF-8", "fr_FR", "Pas de JVM (64)"),
    ("cy_GB.UTF-8", "en", "No JVM (64)"),  # Welsh has no row: "en", no set applies
])
def test_language_selects_the_language_set(ascii_dir, locale, code, text):
    exe = build(ascii_dir, LANG_CONFIG)
    result = tovex.run_exe(exe, [], env={"LC_ALL": locale}, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert f"language/country is {code}" in result.log_lines
    assert result.stderr.replace("\r\n", "\n").startswith(text + "\n")


@pytest.mark.parametrize("args,decides", [
    ([], "true"),
    (["-Dsun.locale.formatasdefault=false"], "false"),
    (["-Dsun.locale.formatasdefault=no", "-Dsun.locale.formatasdefault=true"], "true"),
    (["-Dsun.locale.formatasdefault=true", "-Dsun.locale.formatasdefault=x"], "false"),
])
def test_formatasdefault_last_argument_decides(ascii_dir, args, decides):
    exe = build(ascii_dir, LANG_CONFIG)
    result = tovex.run_exe(exe, args, env={"LC_ALL": "de_DE.UTF-8"}, log=True)
    assert f"sun.locale.formatasdefault is {decides}" in result.log_lines
    # Wine gives the display language from the same locale: German either way.
    assert "language/country is de_DE" in result.log_lines
