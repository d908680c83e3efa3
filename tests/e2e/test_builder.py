"""tovex-build with the real launcher stub: texts as built, text encoding, block replacement, dump round trip."""
import pathlib
import re
import shutil
import struct
import subprocess

import spine_util

import tovex

NO_JVM_64 = ("No JVM could be found on your system.\nPlease define TOVEX_JAVA_HOME\n"
             "to point to an installed 64-bit JDK or JRE or download a JRE from adoptium.net.")
# A search that finds nothing: one directory entry that does not exist.
NOWHERE = "MAIN_CLASS = app.Main\nJVM_SEARCH_SEQUENCE = Bno-such-jre\n"


def builder(*args, check=True):
    proc = subprocess.run([str(tovex.BUILDER), *map(str, args)], capture_output=True)
    if check:
        assert proc.returncode == 0, proc.stderr.decode("utf-8", "replace")
    return proc


def stderr_text(result):
    return result.stderr.replace("\r\n", "\n")


def test_default_message_as_built_reaches_the_user(appdir):
    exe = tovex.build_app(appdir, NOWHERE)
    result = tovex.run_exe(exe)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert stderr_text(result) == NO_JVM_64 + "\n"


def test_configured_text_is_windows_1252_with_escapes_when_opted_out(appdir):
    conf = NOWHERE + 'MSG_NO_JVM_BITS = "Kein {0}-Bit-Java gefunden:\\tGrüße €\\n\\x80"\n'
    exe = tovex.build_app(appdir, conf + "[resources]\nUTF8_CODE_PAGE = 0\n")
    result = tovex.run_exe(exe)  # stderr is decoded as Windows-1252
    assert result.returncode == tovex.EXIT_NO_JVM
    assert stderr_text(result) == "Kein 64-Bit-Java gefunden:\tGrüße €\n€\n"
    # By default the stub's manifest selects the UTF-8 code page and the text is UTF-8.
    exe = tovex.build_app(appdir, NOWHERE + 'MSG_NO_JVM_BITS = "Kein {0}-Bit-Java: Grüße € 日本"\n', name="utf8.exe")
    result = tovex.run_exe(exe, encoding="utf-8")
    assert (result.returncode, stderr_text(result)) == (tovex.EXIT_NO_JVM, "Kein 64-Bit-Java: Grüße € 日本\n")


def test_a_built_launcher_as_stub_gets_its_block_replaced(appdir, tmp_path):
    payload = tmp_path / "payload.bin"
    payload.write_bytes(bytes(range(256)) * 4)
    first = tovex.build_app(appdir, NOWHERE + "MSG_NO_JVM_BITS = first\n", name="first.exe",
                            files={"lib/p.bin": payload})
    second = appdir / "second.exe"
    (appdir / "second.conf").write_text(NOWHERE + "MSG_NO_JVM_BITS = second\n", encoding="utf-8")
    builder("--stub", first, "--config", appdir / "second.conf", "--out", second)
    result = tovex.run_exe(second, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert stderr_text(result).startswith("second\n")
    assert "Included files: 0" in result.log_lines
    # The stub part is that of the original stub, the size a multiple of 512 (no files left behind).
    assert second.stat().st_size % 512 == 0
    direct = tovex.build_app(appdir, NOWHERE + "MSG_NO_JVM_BITS = second\n", name="direct.exe")
    assert second.read_bytes() == direct.read_bytes()


def test_dump_with_extract_rebuilds_the_same_executable(appdir, tmp_path):
    payload = tmp_path / "payload.bin"
    payload.write_bytes(b"\xd6\x00" * 100)
    conf = NOWHERE + ('APPLICATION_NAME = "  Ünïcode  "\n'
                      "[wide]\nAPPLICATION_NAME = 日本 ✓\n"
                      "[lang de]\nMSG_ERROR_CAPTION = Fehler\n[lang]\nMSG_ERROR_CAPTION = \"\\u00e9\"\n")
    exe = tovex.build_app(appdir, conf, files={"user/a.bin": payload, "b.bin": payload})
    dump = builder("--dump", exe, "--extract", tmp_path / "files").stdout
    (tmp_path / "dump.conf").write_bytes(dump)
    again = tmp_path / "again.exe"
    builder("--stub", tovex.STUBS["console"], "--config", tmp_path / "dump.conf", "--out", again)
    assert again.read_bytes() == exe.read_bytes()
    result = tovex.run_exe(again, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
    assert "Included files: 2" in result.log_lines


def test_a_block_the_launcher_runs_is_dumpable_with_an_odd_wide_length(appdir):
    exe = tovex.build_app(appdir, NOWHERE + "[wide]\nAPPLICATION_NAME = Ab\n")
    data = bytearray(exe.read_bytes())
    value = "Ab".encode("utf-16-le")
    at = data.index(struct.pack("<i", 4) + value)  # the wide string's byte length and its bytes
    assert at > spine_util.block_start(exe)
    data[at:at + 8] = struct.pack("<i", 5) + value + b"!"  # one more byte behind it: an odd length
    exe.write_bytes(bytes(data))
    result = tovex.run_exe(exe)
    assert result.returncode == tovex.EXIT_NO_JVM, "the launcher reads the block"
    dump = builder("--dump", exe).stdout.decode("utf-8")
    assert "# 1 wide string(s) of this block have an odd byte length" in dump
    assert "\n[wide]\nAPPLICATION_NAME = Ab\n" in dump


def test_bad_configuration_writes_nothing(appdir):
    (appdir / "app.exe").write_bytes(b"previous")
    (appdir / "app.conf").write_text("MAIN_CLASS = a\nSPLASH_WIDTH = wide\n", encoding="utf-8")
    proc = builder("--stub", tovex.STUBS["console"], "--config", appdir / "app.conf", "--out", appdir / "app.exe",
                   check=False)
    assert proc.returncode == 1
    assert proc.stderr.decode().startswith(f"tovex-build: {appdir / 'app.conf'}:2: SPLASH_WIDTH: not a number")
    assert (appdir / "app.exe").read_bytes() == b"previous"
    assert sorted(p.name for p in appdir.iterdir()) == ["app.conf", "app.exe"]


def test_builders_of_the_build_tree_find_the_stubs_themselves(appdir):
    """Without --stub, build/host/tovex-build takes build/win/launcher-*.exe and the Windows
    builder, run under Wine, the stub beside it; the exes are the same as with the stub named."""
    (appdir / "app.conf").write_text(NOWHERE + "EXE_TYPE = 1\n", encoding="utf-8")
    named = appdir / "named.exe"
    builder("--stub", tovex.STUBS["gui"], "--config", appdir / "app.conf", "--out", named)
    host = builder("--config", appdir / "app.conf", "--out", appdir / "host.exe")
    assert host.stderr.decode() == f"tovex-build: stub {tovex.STUBS['gui']} (EXE_TYPE 1)\n"
    win = tovex.run_exe(tovex.WIN / "tovex-build.exe",
                        ["--config", tovex.wine_path(appdir / "app.conf"), "--out", tovex.wine_path(appdir / "win.exe")])
    assert win.returncode == 0, win.stderr
    assert win.stderr.replace("\r\n", "\n") == f"tovex-build: stub {tovex.wine_path(tovex.STUBS['gui'])} (EXE_TYPE 1)\n"
    assert (appdir / "host.exe").read_bytes() == named.read_bytes() == (appdir / "win.exe").read_bytes()


def test_check_finds_the_likeliest_mistakes_in_the_folder_to_ship_with_both_builders(appdir, tmp_path):
    """--check --app-dir against a folder as a developer would ship it: jars written by the JDK's jar
    tool, the runtime jar of the build, a real runtime's release file, an options file saved by
    Notepad with a byte-order mark and a configuration saved as UTF-16. The Linux builder and the
    Windows builder under Wine find the same."""
    real = tovex.BUILD / "runtimes" / "17"
    assert (real / "release").is_file(), f"{real} is missing: run `make runtimes`"
    ship = appdir / "ship"
    (ship / "jre" / "bin").mkdir(parents=True)
    shutil.copy(real / "release", ship / "jre" / "release")
    for exe in ("java.exe", "javaw.exe"):
        shutil.copy(real / "bin" / exe, ship / "jre" / "bin" / exe)
    classes = tmp_path / "classes" / "com" / "acme" / "viewer"
    classes.mkdir(parents=True)
    (classes / "Main.class").write_bytes(b"\xca\xfe\xba\xbe")
    (ship / "lib").mkdir()
    subprocess.run([str(pathlib.Path(tovex.JAVA_HOME) / "bin" / "jar"), "--create", "--file", str(ship / "lib" / "app.jar"),
                    "-C", str(tmp_path / "classes"), "."], check=True)
    shutil.copy(tovex.BUILD / "java" / "tovex-runtime.jar", ship / "lib" / "tovex-runtime.jar")
    (ship / "MyApp.vmoptions").write_bytes(b"\xef\xbb\xbf-Xmx512m\r\n")
    conf = ("MAIN_CLASS = com.acme.Main\r\nEXE_TYPE = 1\r\nJVM_SEARCH_SEQUENCE = B.\\jre;J\r\nMIN_VERSION = 21\r\n"
            "CLASS_PATH = A1lib\\app.jar;A1lib\\tovex-runtime.jar\r\n"
            'VM_OPTIONS = "-Dtitle=Acme Viewer (beta)"\r\n')
    (appdir / "myapp.conf").write_bytes(b"\xff\xfe" + conf.encode("utf-16-le"))  # PowerShell 5's `>`

    host = builder("--check", appdir / "myapp.conf", "--app-dir", ship, "--stub", tovex.STUBS["gui"], check=False)
    win = tovex.run_exe(tovex.WIN / "tovex-build.exe", ["--check", tovex.wine_path(appdir / "myapp.conf"), "--app-dir",
                                                       tovex.wine_path(ship), "--stub", tovex.wine_path(tovex.STUBS["gui"])],
                        encoding="utf-8")
    assert host.returncode == win.returncode == 1, (host.stderr, win.stderr)
    version = re.search(r'JAVA_VERSION="([^"]+)"', (real / "release").read_text()).group(1)
    expected = [
        "{conf}:1: error: MAIN_CLASS com.acme.Main: no com/acme/Main.class in the class path under {ship} (searched "
        "lib\\app.jar, lib\\tovex-runtime.jar); did you mean com.acme.viewer.Main?",
        f"{{conf}}:3: warning: JVM_SEARCH_SEQUENCE: the runtime directory .\\jre holds Java {version} (its release "
        'file), which MIN_VERSION "21" refuses: the search passes it by, and when it finds no other Java the fallback '
        "pass starts it without a version check although it is below MIN_VERSION",
        '{conf}:6: warning: VM_OPTIONS: "Viewer", "(beta)" do not start with "-" and the Java runtime ignores them: the '
        "value is split at blanks outside quotes, so an option with blanks in its value loses the words after the "
        'first (write it in quotes within the value: VM_OPTIONS = -Xmx1g "-Dtitle=Acme Viewer")',
        "{options}:1: warning: begins with a UTF-8 byte-order mark (Notepad's \"UTF-8 with BOM\"): launchers of "
        "earlier releases take it as part of the first option, which the Java runtime then ignores (save the file as "
        "UTF-8 without BOM)",
    ]

    def lines(conf, ship_dir, options):
        return "".join(line.format(conf=conf, ship=ship_dir, options=options) + "\n" for line in expected)

    assert host.stdout.decode() == lines(appdir / "myapp.conf", ship, ship / "MyApp.vmoptions")
    wine_ship = tovex.wine_path(ship)
    assert win.stdout.replace("\r\n", "\n") == lines(tovex.wine_path(appdir / "myapp.conf"), wine_ship,
                                                     wine_ship + "\\MyApp.vmoptions")
