"""The 'J' search entry under Wine: runtimes installed the way today's vendors install them (registry keys
written with Wine's reg.exe, installation directories in the prefix), judged by numeric versions."""
import shutil

import pytest

import installed_jvms as ij
import tovex
from jvm_util import LOCATED_ROOT, build, has_line, lines_with, loaded, registry  # noqa: F401
from installed_jvms import normalised


@pytest.fixture
def inst():
    with ij.Installations() as installations:
        yield installations


def loaded_from(result) -> str:
    lines = lines_with(result, "Trying to load JVM-DLL from ")
    assert lines, result.log
    return lines[-1][len("Trying to load JVM-DLL from "):]


def verdict(home, origin: str, text: str) -> str:
    return f"installed JVM {ij.windows_path(home)} ({origin}): {text}"


def registry_origin(layout: str, version: str, hive: str = "HKLM") -> str:
    key, value, _ = ij.REGISTRY_LAYOUTS[layout]
    return f"{hive}\\{key.format(v=version, major=ij.major(version))} {value}"


def test_every_vendor_layout_is_found_and_the_highest_wins(appdir, inst):
    # One run over every registry layout (machine hive) and every directory, each with its own version,
    # plus a per-user registry install and an IDE download that tie for the highest version.
    expected = []
    runtimes = []
    for i, layout in enumerate(ij.REGISTRY_LAYOUTS):
        version = f"11.0.{i + 1}"
        rt = inst.registry(layout, version, appdir / "registry" / layout)
        expected.append(verdict(rt.home, registry_origin(layout, version), f"version {version} from release file, accepted"))
        runtimes.append(rt)
    for i, layout in enumerate(ij.DIRECTORY_LAYOUTS):
        version = f"11.0.{i + 21}"
        rt = inst.directory(layout, version)
        expected.append(verdict(rt.home, ij.directory_origin(layout), f"version {version} from release file, accepted"))
        runtimes.append(rt)
    unreleased = inst.directory("Corretto", "17.0.2", release=False)  # no release file: probed once
    expected.append(verdict(unreleased.home, ij.directory_origin("Corretto"), "version 17.0.2 from checkJavaExe, accepted"))
    winner = inst.registry("Temurin", "21.0.1", appdir / "per-user temurin", hive="HKCU", jvm="record")
    expected.append(verdict(winner.home, registry_origin("Temurin", "21.0.1", "HKCU"),
                            "version 21.0.1 from release file, accepted"))
    tie = inst.runtime(ij.USER_PROFILE / ".jdks" / "openjdk-21.0.1", "21.0.1", jvm="record")
    expected.append(verdict(tie.home, ij.directory_origin("IDE download"), "version 21.0.1 from release file, accepted"))

    exe = build(appdir, "J")
    for run in (1, 2):
        result = tovex.run_exe(exe, log=True)
        assert has_line(result, "Testing location  (type J)"), result.log
        missing = [line for line in expected if not has_line(result, line)]
        assert not missing, "\n".join(missing) + "\n--- log:\n" + result.log
        assert has_line(result, f"installed JVM chosen: {normalised(winner.java_exe)} 21.0.1")
        assert loaded(result) and loaded_from(result) == normalised(winner.java_exe)
        # A release file answers without a process; the one without is started once, then the cache answers.
        assert [rt.version_probes() for rt in runtimes + [winner, tie]] == [0] * (len(runtimes) + 2)
        assert unreleased.version_probes() == 1, f"run {run}"


CHOICES = [
    # (case, MIN_VERSION, MAX_VERSION, the version that wins or None, the verdict on 9.0.4)
    ("no limits: 21 above 17.0.9 above 9.0.4", "", "", "21", "accepted"),
    ("upper limit 17 admits 17.0.9", "", "17", "17.0.9", "accepted"),
    ("11 to 17: numeric, 9.0.4 is below 11", "11", "17", "17.0.9", "refused: below MIN_VERSION 11"),
    ("upper limit 9 admits 9.0.4", "", "9", "9.0.4", "accepted"),
    ("lower limit 1.8 is Java 8", "1.8", "", "21", "accepted"),
    ("lower limit 17.0.10", "17.0.10", "", "21", "refused: below MIN_VERSION 17.0.10"),
    ("upper limit 1.8 admits none", "", "1.8", None, "refused: above MAX_VERSION 1.8"),
]


@pytest.mark.parametrize("case,low,high,wins,old", CHOICES, ids=[c[0] for c in CHOICES])
def test_numeric_versions_and_limits(appdir, inst, case, low, high, wins, old):
    installed = {
        "9.0.4": inst.registry("Oracle JDK 9+", "9.0.4", appdir / "jdk 9", jvm="record"),
        "17.0.9": inst.directory("Temurin", "17.0.9", release=False, jvm="record"),  # its version from "-version"
        "21": inst.directory("IDE download", "21", jvm="record"),
    }
    exe = build(appdir, "J", MIN_VERSION=low, MAX_VERSION=high)
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, verdict(installed["9.0.4"].home, registry_origin("Oracle JDK 9+", "9.0.4"),
                                    "version 9.0.4 from release file, " + old)), result.log
    assert installed["17.0.9"].version_probes() == 1
    assert installed["9.0.4"].version_probes() == 0 and installed["21"].version_probes() == 0
    if wins is None:
        assert result.returncode == tovex.EXIT_NO_JVM
        assert has_line(result, "no installed JVM accepted")
        assert "E1016 no jvm 64" in result.stderr
    else:
        assert loaded(result), result.log
        assert loaded_from(result) == normalised(installed[wins].java_exe)


EARLY_ACCESS = {"JAVA_VERSION": "22", "JAVA_RUNTIME_VERSION": "22-ea+27"}

REFUSALS = [
    # (case, settings, how the higher candidate is installed, its verdict, whether it wins after all)
    ("pre-release", {}, dict(release=EARLY_ACCESS),
     "version 22 (22-ea+27) from release file, refused: pre-release (ALLOW_BETA_VM not set)", False),
    ("pre-release allowed", {"ALLOW_BETA_VM": "1"}, dict(release=EARLY_ACCESS),
     "version 22 (22-ea+27) from release file, accepted", True),
    ("pre-release from -version", {}, dict(release=False, version_output='openjdk version "22-ea"\n'),
     "version 22-ea from checkJavaExe, refused: pre-release (ALLOW_BETA_VM not set)", False),
    ("REQUIRE_JDK and a runtime without javac.exe", {"REQUIRE_JDK": "1"}, {},
     "refused: {home}\\bin\\javac.exe doesn't exist (REQUIRE_JDK)", False),
    ("REQUIRE_JDK and a kit", {"REQUIRE_JDK": "1"}, dict(javac=True), "version 22 from release file, accepted", True),
    ("GUI launcher and a home without javaw.exe", {"EXE_TYPE": "1"}, dict(javaw=False),
     "refused: {home}\\bin\\javaw.exe doesn't exist (GUI launcher)", False),
    ("stale registry entry", {}, "removed", "refused: {home}\\bin\\java.exe doesn't exist", False),
]


@pytest.mark.parametrize("case,settings,higher,text,wins", REFUSALS, ids=[r[0] for r in REFUSALS])
def test_refused_candidate_leaves_the_search_to_the_next(appdir, inst, case, settings, higher, text, wins):
    lower = inst.directory("Temurin per-user", "17.0.9", javac=True, jvm="record")
    high = inst.registry("Microsoft", "22", appdir / "ms jdk 22", jvm="record",
                         **({} if higher == "removed" else higher))
    if higher == "removed":
        shutil.rmtree(high.home)
    exe = build(appdir, "J", **settings)
    result = tovex.run_exe(exe, log=True)
    home = ij.windows_path(high.home)
    assert has_line(result, verdict(high.home, registry_origin("Microsoft", "22"), text.format(home=home))), result.log
    assert loaded(result), result.log
    chosen = high if wins else lower
    exe_path = chosen.javaw_exe if settings.get("EXE_TYPE") == "1" else chosen.java_exe
    assert loaded_from(result) == normalised(exe_path)


SOURCES = [
    # (case, where the one installation is, the message when its VM library does not load)
    ("registry", "registry", "E1005 start failed"),
    ("directory", "directory", "E1020 damaged {home}"),
]


@pytest.mark.parametrize("case,where,message", SOURCES, ids=[s[0] for s in SOURCES])
def test_source_kind_of_the_chosen_installation(appdir, inst, case, where, message):
    if where == "registry":
        rt = inst.registry("Zulu", "17.0.9", appdir / "zulu", jvm="foreign")
    else:
        rt = inst.directory("Zulu", "17.0.9", jvm="foreign")
    exe = build(appdir, "J")
    result = tovex.run_exe(exe, log=True)
    assert result.returncode == tovex.EXIT_NO_JVM, result.log
    assert message.format(home=ij.windows_path(rt.home)) in result.stderr
    assert result.stderr.count("E10") == 1, result.stderr


def test_the_same_home_found_twice_counts_once(appdir, inst):
    rt = inst.directory("Temurin", "17.0.9", release=False, jvm="record")
    home = ij.windows_path(rt.home)
    inst.register_home("HKLM", r"SOFTWARE\Eclipse Adoptium\JDK\17.0.9.9\hotspot\MSI", "Path", home.upper() + "\\")
    exe = build(appdir, "J")
    result = tovex.run_exe(exe, log=True)
    assert has_line(result, f"installed JVM {home} ({ij.directory_origin('Temurin')}): same installation as "
                            f"{home.upper()}"), result.log
    assert rt.version_probes() == 1, (rt.start_records(), result.log)
    assert loaded(result)


def test_j_entry_then_y_entry(appdir, inst, registry):
    # Y's located JVMs are no source of J: with nothing installed J finds nothing and Y goes on.
    located = inst.runtime(appdir / "located jre", "1.8.0_372", release=False, jvm="record")
    registry.forget("HKCU\\" + LOCATED_ROOT)
    registry.add("HKCU\\" + LOCATED_ROOT + "\\" + tovex.wine_path(located.java_exe).replace("\\", "/"))
    exe = build(appdir, "J;Y")
    result = tovex.run_exe(exe, log=True)
    lines = result.log_lines
    assert lines.index("no installed JVM accepted") < lines.index("Testing location  (type Y)"), result.log
    assert any(line.startswith("found located ") for line in lines)
    assert loaded_from(result) == normalised(located.java_exe)

    # Once a runtime is installed, J takes it and Y is not consulted.
    installed = inst.directory("Temurin", "17.0.9", jvm="record")
    result = tovex.run_exe(exe, log=True)
    assert not has_line(result, "Testing location  (type Y)"), result.log
    assert loaded_from(result) == normalised(installed.java_exe)


def test_ten_installed_runtimes_start_without_a_process(appdir):
    # The set-up a benchmark uses: ten vendor-style installations with release files, removed afterwards.
    inst = ij.install_vendor_runtimes(10)
    homes = [rt.home for rt in inst.runtimes]
    try:
        result = tovex.run_exe(build(appdir, "J"), log=True)
        assert len(lines_with(result, "installed JVM ")) == 10 + 1, result.log   # ten verdicts and the choice
        assert loaded_from(result) == normalised(inst.runtimes[-1].java_exe)
        assert [rt.version_probes() for rt in inst.runtimes] == [0] * 10
    finally:
        inst.cleanup()
    assert len(homes) == 10 and not any(home.exists() for home in homes)
