#!/usr/bin/env python3
"""The launcher's scoreboard under Wine: one table of ratios against baseline programs.

Every case is a set of runs of whole Wine processes, measured side by side in
one session: each round runs every run of the case once, in an order that
rotates from round to round, so that load from other work on the machine falls
on all of them alike. A row's figure is the median over the rounds of a ratio
computed within each round, with the spread of those per-round ratios (25th to
75th percentile). Two measures of each run:

- wall: from the spawn to the end of the process, a blocking wait4 on the child
  (coreutils timeout bounds it), never polling;
- CPU: the CPU time of the Windows process (the rusage of that wait4) plus what
  the prefix's wineserver spent meanwhile (/proc/PID/schedstat, nanoseconds).
  It hardly moves with the load of other work on the machine, where wall time
  does; it leaves out child processes that Wine detaches (the probe's java.exe).

    bench.py [--rounds N] [--extract-mib N] [--only NAME] [--stub EXE] [--out bench/results.md]

--stub times another GUI launcher stub (an older build, say) in every case; the
table is then printed only, never written to results.md.

A case is one function decorated with @case: it lays out what its runs need
(untimed) and returns a Case with its runs and its rows (see warm_start).
"""
from __future__ import annotations

import argparse
import dataclasses
import datetime
import os
import pathlib
import platform
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from typing import Callable

ROOT = pathlib.Path(__file__).resolve().parents[1]
# A prefix of its own: the version cache, the temporary directory and the
# wineserver (whose CPU time is counted) serve the benchmark's runs only.
_BUILD = pathlib.Path(os.environ.get("TOVEX_BUILD", ROOT / "build")).resolve()
os.environ["WINEPREFIX"] = os.environ.get("BENCH_WINEPREFIX", str(_BUILD / "bench-prefix"))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import tovex  # noqa: E402
import runtimes  # noqa: E402
import installed_jvms  # noqa: E402
import realjvm_util  # noqa: E402

BENCH_WIN = tovex.WIN / "bench"
BASELINE_START = BENCH_WIN / "baseline_start.exe"
BASELINE_COPY = BENCH_WIN / "baseline_copy.exe"
DESKTOP_HOLDER = BENCH_WIN / "desktop_holder.exe"
WINE64 = next((p for p in ("/usr/lib/wine/wine64", shutil.which("wine64") or "", shutil.which("wine") or "")
               if p and os.path.exists(p)), "wine")
TIMEOUT = shutil.which("timeout") or "/usr/bin/timeout"
RUN_LIMIT_SECONDS = 300
GUI_STUB = "gui"  # the builder's name for this build's stub, or the path given with --stub
RAM_DIR = pathlib.Path("/dev/shm")
CACHE_KEY = r"HKCU\SOFTWARE\quorbel-systems\tovex\jvms"
LAUNCHER_CLASS = "com/tovex/runtime/WinLauncher"
VERSION = 'openjdk version "17.0.15" 2025-04-15\n'


# ---------------------------------------------------------------- framework

@dataclasses.dataclass
class Run:
    """One program to time: argv after the Wine loader; before/after run untimed around it."""
    argv: list
    before: Callable[[], None] | None = None
    after: Callable[[], None] | None = None
    expect: int = 0


@dataclasses.dataclass
class Row:
    """A figure of a case, from the per-round times {run name: seconds} (wall and CPU alike).

    ratio: the median of a ratio computed within each round (paired runs).
    parts: (numerator, denominator) of differences between runs, which are too
    noisy to divide round by round: the ratio of their medians, with the spread
    taken over resamplings of the rounds. Such rows are marked with "Δ".
    """
    label: str
    ratio: Callable[[dict], float] | None = None
    goal: float | None = None        # the ratio should be at most this
    parts: tuple | None = None


@dataclasses.dataclass
class Case:
    runs: dict                       # name -> Run
    rows: list
    cleanup: Callable[[], None] | None = None   # after the case's rounds: removes what it laid out
    # A case whose runs depend on each other (a first start, then later ones): it times its
    # own rounds and returns the per-round wall and CPU times {run name: seconds}.
    sequence: Callable[["Bench"], tuple] | None = None


@dataclasses.dataclass
class Figure:
    median: float
    low: float
    high: float


CASES: list[Callable[["Bench"], Case]] = []


def case(fn):
    """Registers a case; the table lists them in the order of this file."""
    CASES.append(fn)
    return fn


def wine_env() -> dict:
    env = tovex.wine_env()
    env["WINELOADER"] = WINE64
    return env


def wineserver_pid() -> int | None:
    """The pid of the prefix's wineserver: the process whose working directory is its server directory."""
    st = os.stat(tovex.WINEPREFIX)
    server_dir = f"/server-{st.st_dev:x}-{st.st_ino:x}"   # under a temporary directory of Wine's choice
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.readlink(f"/proc/{entry}/cwd").endswith(server_dir):
                    return int(entry)
            except OSError:
                continue
    return None


def cpu_seconds_of(pid: int | None) -> float:
    if pid is None:
        return 0.0
    try:
        with open(f"/proc/{pid}/schedstat", encoding="ascii") as f:
            return int(f.read().split()[0]) / 1e9
    except (OSError, ValueError, IndexError):
        return 0.0


def spawn_and_wait(argv: list, env: dict) -> tuple[float, float, int]:
    """Wall seconds from spawn to the end (blocking wait4), CPU seconds of the process, exit code."""
    devnull = os.open(os.devnull, os.O_RDWR)
    try:
        actions = [(os.POSIX_SPAWN_DUP2, devnull, 0), (os.POSIX_SPAWN_DUP2, devnull, 1),
                   (os.POSIX_SPAWN_DUP2, devnull, 2)]
        command = [TIMEOUT, "-k", "5", str(RUN_LIMIT_SECONDS), WINE64] + [str(a) for a in argv]
        start = time.perf_counter()
        pid = os.posix_spawn(TIMEOUT, command, env, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.close(devnull)
    return elapsed, usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status)


def quantile(values: list, q: float) -> float:
    ordered = sorted(values)
    position = q * (len(ordered) - 1)
    low = int(position)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (position - low)


def figure(values: list) -> Figure:
    return Figure(statistics.median(values), quantile(values, 0.25), quantile(values, 0.75))


def row_figure(row: Row, rounds: list) -> Figure:
    if row.parts is None:
        return figure([row.ratio(t) for t in rounds])
    num, den = ([part(t) for t in rounds] for part in row.parts)

    def ratio_of_medians(indices):
        bottom = statistics.median(den[i] for i in indices)
        return statistics.median(num[i] for i in indices) / bottom if bottom else float("nan")

    rng = random.Random(1)
    n = len(rounds)
    resampled = [ratio_of_medians([rng.randrange(n) for _ in range(n)]) for _ in range(400)]
    return Figure(ratio_of_medians(range(n)), quantile(resampled, 0.25), quantile(resampled, 0.75))


class Bench:
    def __init__(self, work: pathlib.Path, rounds: int, extract_mib: int):
        self.work = work
        self.rounds = rounds
        self.extract_mib = extract_mib
        self.env = wine_env()
        self.server = wineserver_pid()

    def win(self, path) -> str:
        return tovex.wine_path(path)

    def time(self, run: Run) -> tuple[float, float]:
        if run.before:
            run.before()
        server_before = cpu_seconds_of(self.server)
        wall, cpu, code = spawn_and_wait(run.argv, self.env)
        cpu += cpu_seconds_of(self.server) - server_before
        if run.after:
            run.after()
        if code != run.expect:
            raise SystemExit(f"bench: {run.argv[0]} ended with {code}, expected {run.expect}")
        return wall, cpu

    def measure(self, name: str, built: Case) -> list:
        if built.sequence:
            walls, cpus = built.sequence(self)
            print(f"bench: {name}: {len(walls)} rounds", file=sys.stderr)
            names = list(walls[0])
            medians = {n: (statistics.median(w[n] for w in walls), statistics.median(c[n] for c in cpus))
                       for n in names}
            return [(row, row_figure(row, walls), row_figure(row, cpus), medians) for row in built.rows]
        names = list(built.runs)
        for n in names:  # warm-up: Wine's caches, the version cache, the page cache
            self.time(built.runs[n])
        walls: list[dict] = []
        cpus: list[dict] = []
        for r in range(self.rounds):
            order = names[r % len(names):] + names[:r % len(names)]
            wall, cpu = {}, {}
            for n in order:
                wall[n], cpu[n] = self.time(built.runs[n])
            walls.append(wall)
            cpus.append(cpu)
        print(f"bench: {name}: {self.rounds} rounds", file=sys.stderr)
        medians = {n: (statistics.median(w[n] for w in walls), statistics.median(c[n] for c in cpus)) for n in names}
        return [(row, row_figure(row, walls), row_figure(row, cpus), medians) for row in built.rows]


def new_entries(directory: pathlib.Path, before: set) -> list:
    return [directory / n for n in set(os.listdir(directory)) - before] if directory.exists() else []


def remove(paths) -> None:
    for p in paths:
        if p.is_dir() and not p.is_symlink():
            shutil.rmtree(p, ignore_errors=True)
        else:
            try:
                p.unlink()
            except FileNotFoundError:
                pass


def reg(*args: str) -> None:
    subprocess.run([WINE64, "reg", *args], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=wine_env())


def reg_delete_cache() -> None:
    reg("delete", CACHE_KEY, "/f")


def reg_query_cache() -> None:
    reg("query", CACHE_KEY)


def make_app(bench: Bench, name: str, config: str = "", files: dict | None = None):
    """An app directory with a record-mode stand-in runtime in .\\jre and a GUI exe that finds it."""
    app = bench.work / name
    rt = runtimes.make_runtime(app / "jre", jvm="record", version_output=VERSION)
    exe = tovex.build_app(app, "MAIN_CLASS = bench.Main\nEXE_TYPE = 1\nJVM_SEARCH_SEQUENCE = B.\\jre\n"
                          "MIN_VERSION = 1.8\n" + config, stub=GUI_STUB, files=files)
    return app, rt, exe


def baseline_argv(bench: Bench, rt, exe, probe: bool = False) -> list:
    """The baseline with the options and main arguments the launcher passed in its last run."""
    spawn_and_wait([exe], bench.env)
    options, args = rt.options(), rt.main_args()
    if not options or not args:
        raise SystemExit(f"bench: no VM options or main arguments recorded for {exe}")
    head = [BASELINE_START] + (["--probe", bench.win(rt.java_exe)] if probe else [])
    return head + [bench.win(rt.jvm_dll()), LAUNCHER_CLASS] + options + ["--"] + args


# ---------------------------------------------------------------- cases

@case
def warm_start(bench: Bench) -> Case:
    _, rt, exe = make_app(bench, "warm app")
    return Case(
        runs={"tovex": Run([exe]), "baseline": Run(baseline_argv(bench, rt, exe))},
        rows=[Row("warm start (valid version cache) / baseline", lambda t: t["tovex"] / t["baseline"], 1.05)])


@case
def cold_start(bench: Bench) -> Case:
    _, rt, exe = make_app(bench, "cold app")
    # Every run follows a run of reg.exe (the cold one's removes the cache entry),
    # so that what that leaves behind in Wine falls on all of them alike.
    return Case(
        runs={"tovex": Run([exe], before=reg_delete_cache),
              "tovex warm": Run([exe], before=reg_query_cache),
              "baseline": Run(baseline_argv(bench, rt, exe), before=reg_delete_cache),
              "baseline+probe": Run(baseline_argv(bench, rt, exe, probe=True), before=reg_delete_cache)},
        rows=[Row("cold start (cache entry removed: one java.exe -version) / baseline",
                  lambda t: t["tovex"] / t["baseline"]),
              Row("cold start / baseline that runs the same java.exe -version first",
                  lambda t: t["tovex"] / t["baseline+probe"], 1.05),
              Row("Δ what a missing cache entry adds to a start / what the probe alone adds to the baseline",
                  goal=1.05, parts=(lambda t: t["tovex"] - t["tovex warm"],
                                    lambda t: t["baseline+probe"] - t["baseline"]))])


@case
def extraction(bench: Bench) -> Case:
    size = bench.extract_mib << 20
    content = bench.work / "big.bin"
    block = random.Random(14).randbytes(1 << 20)
    with open(content, "wb") as f:
        for _ in range(bench.extract_mib):
            f.write(block)
    _, _, big = make_app(bench, "extract app", files={"big.bin": content})
    _, _, small = make_app(bench, "extract none")
    # The stored (scrambled) bytes follow their 8-byte length: find them in the exe.
    data = big.read_bytes()
    offset = data.find(bytes(b ^ 0xD6 for b in block[:4096]))
    if offset < 0 or len(data) < offset + size:
        raise SystemExit("bench: appended content not found in the exe")
    del data
    temp = tovex.WINE_TEMP
    seen: set = set()

    def snapshot():
        seen.clear()
        seen.update(os.listdir(temp))

    def cleanup():
        remove(new_entries(temp, seen))

    copy_dest = temp / "bench-copy.bin"

    def copy(count, chunk):
        return Run([BASELINE_COPY, bench.win(big), offset, count, bench.win(copy_dest), chunk],
                   after=lambda: remove([copy_dest]))

    def copy_time(t, name):
        return t[name] - t["copy 0 bytes"]

    return Case(
        runs={"tovex with file": Run([big], before=snapshot, after=cleanup),
              "tovex without": Run([small], before=snapshot, after=cleanup),
              "copy 8 KiB": copy(size, 8192), "copy 1 MiB": copy(size, 1 << 20), "copy 0 bytes": copy(0, 8192)},
        rows=[Row(f"Δ extraction of {bench.extract_mib} MiB / copy of the same bytes in 8 KiB chunks", goal=1 / 0.95,
                  parts=(lambda t: t["tovex with file"] - t["tovex without"], lambda t: copy_time(t, "copy 8 KiB"))),
              Row("Δ copy in 8 KiB chunks / copy in 1 MiB chunks",
                  parts=(lambda t: copy_time(t, "copy 8 KiB"), lambda t: copy_time(t, "copy 1 MiB")))])


OPTION_LINES = 50_000


@case
def options_file(bench: Bench) -> Case:
    # The same exe name in two folders: one options file of ordinary option lines (each one
    # goes through variable expansion), one of as many comment lines (read and dropped).
    def app(name: str, line) -> pathlib.Path:
        _, _, exe = make_app(bench, name)
        text = "".join(line(i) for i in range(OPTION_LINES))
        exe.with_suffix(".vmoptions").write_text(text, encoding="utf-8")
        return exe
    options = app("options app", lambda i: f"-Dbench.option{i}=value{i}\n")
    comments = app("comments app", lambda i: f"# comment line {i}\n")
    return Case(runs={"options": Run([options]), "comments": Run([comments])},
                rows=[Row(f"{OPTION_LINES:,} options-file lines / as many comment lines",
                          lambda t: t["options"] / t["comments"], 3.0)])


@case
def installed_search(bench: Bench) -> Case:
    # Ten runtimes where 'J' looks (registry and directory layouts, release files, the highest
    # one loaded); the 'B' app finds the same kind of runtime in .\jre. Both have a warm cache.
    installed = installed_jvms.install_vendor_runtimes(10)
    _, _, b_exe = make_app(bench, "b app")
    j_app = bench.work / "j app"
    j_exe = tovex.build_app(j_app, "MAIN_CLASS = bench.Main\nEXE_TYPE = 1\nJVM_SEARCH_SEQUENCE = J\n"
                            "MIN_VERSION = 1.8\n", stub=GUI_STUB)
    return Case(runs={"J": Run([j_exe]), "B": Run([b_exe])},
                rows=[Row("'J' search over ten installed runtimes / 'B' entry", lambda t: t["J"] / t["B"])],
                cleanup=installed.cleanup)


def real_runtime_case(bench: Bench, major: str) -> Case:
    """The same program started by tovex (GUI and console exe) and by the runtime's own java.exe and
    javaw.exe with the same class path and options: what a user would pick instead of a launcher."""
    home = realjvm_util.home(major)
    report = bench.work / f"real {major} report.txt"
    app = bench.work / f"real app {major}"
    exes = {kind: realjvm_util.App(app, report, stub=kind, name=f"{kind}.exe", search=f"B{bench.win(home)}").exe
            for kind in ("gui", "console")}
    class_path = f"{bench.win(app / 'lib' / 'realapp.jar')};{bench.win(app / 'lib' / 'tovex-runtime.jar')}"
    options = [f"-Drealapp.report={bench.win(report)}", "-cp", class_path, "realapp.Main"]
    return Case(
        runs={"tovex GUI": Run([exes["gui"]]), "tovex console": Run([exes["console"]]),
              "javaw.exe": Run([home / "bin" / "javaw.exe", *options]),
              "java.exe": Run([home / "bin" / "java.exe", *options])},
        rows=[Row(f"Java {major}: tovex GUI exe / javaw.exe, same program", lambda t: t["tovex GUI"] / t["javaw.exe"],
                  1.0),
              Row(f"Java {major}: tovex console exe / java.exe, same program",
                  lambda t: t["tovex console"] / t["java.exe"], 1.0)])


@case
def real_runtime_17(bench: Bench) -> Case:
    return real_runtime_case(bench, "17")


@case
def real_runtime_25(bench: Bench) -> Case:
    return real_runtime_case(bench, "25")


def cds_rounds(bench: Bench) -> int:
    """Rounds of the class-data-sharing cases: each is ten starts of a large program (BENCH_CDS_ROUNDS, 3)."""
    return min(bench.rounds, int(os.environ.get("BENCH_CDS_ROUNDS", "3")))


def class_data_sharing(major: str, base: bool = False):
    """First, second and tenth start of a program of about 3,300 classes with managed class-data
    sharing (a fresh per-user archive folder every round) against java.exe with the same class
    path, each start paired with a java.exe run right before it. base: the runtime gets its default
    base archive first (java.exe -Xshare:dump, as full JDK builds ship it), so the dynamic archive applies."""
    def build(bench: Bench) -> Case | None:
        home = tovex.BUILD / "runtimes" / major
        if not (home / "bin" / "server" / "jvm.dll").exists():
            print(f"bench: {home} missing ('make runtimes'): Java {major} left out", file=sys.stderr)
            return None
        app = bench.work / f"cds{major}{'base' if base else ''}"
        app.mkdir()
        subprocess.run(["cp", "-al", str(home), str(app / "jre")], check=True)
        if base:
            subprocess.run([WINE64, str(app / "jre" / "bin" / "java.exe"), "-Xshare:dump"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=bench.env, check=True)
        jar = bench.work / "many.jar"
        if not jar.exists():
            subprocess.run([sys.executable, str(ROOT / "bench" / "many_classes.py"), str(jar), tovex.JAVA_HOME],
                           check=True, stdout=subprocess.DEVNULL)
        shutil.copyfile(jar, app / "many.jar")
        name = f"cdsbench{major}{'base' if base else ''}"
        exe = tovex.build_app(app, f"APPLICATION_NAME = {name}\nMAIN_CLASS = many.Main\nEXE_TYPE = 1\n"
                                   f"CLASS_PATH = A1many.jar;A1{bench.win(tovex.RUNTIME_JAR)}\n"
                                   "JVM_SEARCH_SEQUENCE = B.\\jre\nMIN_VERSION = 17\n", stub=GUI_STUB)
        class_path = f"{bench.win(app / 'many.jar')};{bench.win(tovex.RUNTIME_JAR)}"
        java = Run([app / "jre" / "bin" / "java.exe", "-cp", class_path, "many.Main"])
        tovex_run = Run([exe])
        local = tovex.WINEPREFIX / "drive_c" / "users" / os.environ.get("USER", "root") / "AppData" / "Local"
        cds_root = local / "tovex" / "cds"

        def sequence(b: Bench) -> tuple:
            b.time(java)   # warm-up: page cache, Wine's caches, the version cache
            b.time(tovex_run)
            walls, cpus = [], []
            def wait_for_dumps():
                for folder in cds_root.glob(f"{name}-*"):
                    realjvm_util.wait_for_dump(folder, RUN_LIMIT_SECONDS)

            for _ in range(cds_rounds(b)):
                wait_for_dumps()
                for folder in cds_root.glob(f"{name}-*"):
                    shutil.rmtree(folder, ignore_errors=True)
                wall, cpu = {}, {}
                for start in range(1, 11):
                    measured = start in (1, 2, 10)
                    if measured:
                        wall[f"java {start}"], cpu[f"java {start}"] = b.time(java)
                    w, c = b.time(tovex_run)
                    if measured:
                        wall[f"tovex {start}"], cpu[f"tovex {start}"] = w, c
                    if start == 2:
                        wait_for_dumps()   # the dump the second start began, before the third
                walls.append(wall)
                cpus.append(cpu)
            wait_for_dumps()
            return walls, cpus

        def ratio(n):
            return lambda t: t[f"tovex {n}"] / t[f"java {n}"]
        goal = 0.75 if major != "17" else None
        if base:
            return Case(runs={}, sequence=sequence, rows=[
                Row(f"Java {major} with base archive, 3,300 classes: first start (writes the dynamic archive) / "
                    "java.exe", ratio(1)),
                Row(f"Java {major} with base archive: second start (dynamic archive mapped) / java.exe", ratio(2),
                    goal),
                Row(f"Java {major} with base archive: tenth start / java.exe", ratio(10), goal)])
        return Case(runs={}, sequence=sequence, rows=[
            Row(f"Java {major}, 3,300 classes, class-data sharing: first start / java.exe", ratio(1)),
            Row(f"Java {major}: second start (starts the background dump) / java.exe", ratio(2), goal),
            Row(f"Java {major}: tenth start (archive mapped) / java.exe", ratio(10), goal)])
    build.__name__ = f"class_data_sharing_{major}" + ("_with_base_archive" if base else "")
    return build


for _major in ("17", "21", "25"):
    case(class_data_sharing(_major))
case(class_data_sharing("21", base=True))


def sizes(bench: Bench) -> list:
    # Built as tools/demo/run-demo.sh builds it: its icon and splash image beside its configuration.
    resources = bench.work / "demo"
    demo = resources / "HelloTovex.exe"
    resources.mkdir(parents=True, exist_ok=True)
    subprocess.run([sys.executable, str(ROOT / "tools" / "demo" / "make_demo_images.py"), str(resources)], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copyfile(ROOT / "tools" / "demo" / "demo.conf", resources / "demo.conf")
    subprocess.run([str(tovex.BUILDER), "--stub", str(tovex.STUBS["console"]), "--config",
                    str(resources / "demo.conf"), "--out", str(demo)], check=True, stdout=subprocess.DEVNULL)
    return [("GUI stub (launcher-gui.exe)", tovex.STUBS["gui"].stat().st_size),
            ("console stub (launcher-console.exe)", tovex.STUBS["console"].stat().st_size),
            ("demo exe (tools/demo: console stub + block)", demo.stat().st_size)]


# ---------------------------------------------------------------- set-up and report

def prepare_prefix() -> str:
    """Creates the benchmark's prefix once; its temporary directory lives in RAM where it can."""
    subprocess.run(["bash", str(ROOT / "tests" / "wine-prefix.sh")], env=wine_env(), check=True)
    temp = tovex.WINE_TEMP
    if temp.is_symlink() and temp.resolve().is_dir():
        return f"RAM ({temp.resolve()})"
    if RAM_DIR.is_dir() and os.access(RAM_DIR, os.W_OK):
        ram = RAM_DIR / f"tovex-bench-{os.stat(tovex.WINEPREFIX).st_ino:x}"
        ram.mkdir(exist_ok=True)
        shutil.rmtree(temp, ignore_errors=True)
        temp.symlink_to(ram, target_is_directory=True)
        return f"RAM ({ram})"
    temp.mkdir(parents=True, exist_ok=True)
    return "disk"


def machine(temp_kind: str) -> list:
    cpu = "unknown"
    try:
        for line in open("/proc/cpuinfo", encoding="utf-8"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    wine = subprocess.run([WINE64, "--version"], capture_output=True, text=True, env=wine_env()).stdout.strip()
    return [("CPU", cpu), ("cores", str(os.cpu_count())), ("wine", wine or "unknown"),
            ("system", f"{platform.system()} {platform.release()}"),
            ("date", datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")),
            ("load average at start (1, 5, 15 min)", " ".join(f"{x:.2f}" for x in os.getloadavg())),
            ("Wine temporary directory (extraction target)", temp_kind)]


def verdict(value: Figure, goal: float | None) -> str:
    if goal is None:
        return "—"
    return "yes" if value.median <= goal else f"no (+{(value.median / goal - 1) * 100:.0f}%)"


def table(results: list, size_rows: list, rounds: int) -> list:
    lines = [f"| Case | wall ratio | wall p25–p75 | CPU ratio | CPU p25–p75 | goal | met (wall, CPU) | "
             f"medians: wall / CPU ms |",
             "|---|---|---|---|---|---|---|---|"]
    for row, wall, cpu, medians in results:
        goal = f"≤ {row.goal:.2f}" if row.goal else "—"
        times = "; ".join(f"{n} {w * 1000:.0f} / {c * 1000:.0f}" for n, (w, c) in medians.items())
        lines.append(f"| {row.label} | {wall.median:.3f} | {wall.low:.3f}–{wall.high:.3f} | {cpu.median:.3f} | "
                     f"{cpu.low:.3f}–{cpu.high:.3f} | {goal} | {verdict(wall, row.goal)}, {verdict(cpu, row.goal)} | "
                     f"{times} |")
    for label, size in size_rows:
        lines.append(f"| size: {label} | {size / 1024:.1f} KiB | | | | | | {size} bytes |")
    lines.append("")
    cds = min(rounds, int(os.environ.get("BENCH_CDS_ROUNDS", "3")))
    lines.append(f"Ratios: the median over {rounds} rounds (the class-data-sharing rows: {cds}) of the ratio "
                 "within each round, p25–p75 the middle "
                 "half of those per-round ratios. Rows marked Δ divide differences between runs: the ratio of "
                 "the medians of the per-round differences, p25–p75 over resamplings of the rounds.")
    return lines


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=int(os.environ.get("BENCH_ROUNDS", "21")))
    parser.add_argument("--extract-mib", type=int, default=int(os.environ.get("BENCH_EXTRACT_MIB", "200")))
    parser.add_argument("--only", help="run only the cases whose function name contains this text")
    parser.add_argument("--stub", help="a GUI launcher stub to time instead of this build's")
    parser.add_argument("--out", default=str(ROOT / "bench" / "results.md"))
    options = parser.parse_args()
    if options.stub:
        global GUI_STUB
        GUI_STUB = str(pathlib.Path(options.stub).resolve())
        tovex.STUBS["gui"] = pathlib.Path(GUI_STUB)
    for needed in (BASELINE_START, BASELINE_COPY, DESKTOP_HOLDER, tovex.STUBS["gui"], tovex.BUILDER):
        if not needed.exists():
            raise SystemExit(f"bench: {needed} is missing: run 'make' first")
    temp_kind = prepare_prefix()
    about = machine(temp_kind)
    tovex.restart_wine()
    # Wine's desktop stays up while a program holds it; otherwise a start may spawn it anew.
    holder = subprocess.Popen([WINE64, str(DESKTOP_HOLDER)], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, env=wine_env())
    results = []
    try:
        with tempfile.TemporaryDirectory(prefix="bench-", dir=str(tovex.BUILD)) as tmp:
            bench = Bench(pathlib.Path(tmp), options.rounds, options.extract_mib)
            size_rows = sizes(bench)
            for fn in CASES:
                if not options.only or options.only in fn.__name__:
                    built = fn(bench)
                    if built is None:
                        continue
                    try:
                        results += bench.measure(fn.__name__, built)
                    finally:
                        if built.cleanup:
                            built.cleanup()
    finally:
        holder.stdin.close()
        holder.wait()
        tovex.wineserver("-k")
    lines = table(results, size_rows, options.rounds)
    print("\n".join(lines))
    if not options.only and not options.stub:
        text = ["# Benchmark results", "", "Written by `make bench` (bench/bench.py); README.md says how to read it.",
                "", *[f"- {k}: {v}" for k, v in about], "", *lines]
        pathlib.Path(options.out).write_text("\n".join(text) + "\n", encoding="utf-8")
        print(f"bench: written to {options.out}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
