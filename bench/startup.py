#!/usr/bin/env python3
"""Start-up time of a built launcher under Wine: the version cache against a probe.

Runs the same exe side by side, alternating: once with its version-cache entry
removed (the launcher starts java.exe -version) and once with the entry in
place (two registry reads instead). Prints the medians and their ratio.
"""
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "e2e"))
import tovex  # noqa: E402
import runtimes  # noqa: E402

ROUNDS = 15
CACHE_KEY = r"HKCU\SOFTWARE\quorbel-systems\tovex\jvms"


def timed(exe):
    start = time.perf_counter()
    result = tovex.run_exe(exe)
    return time.perf_counter() - start, result.returncode


def main():
    subprocess.run(["bash", str(tovex.ROOT / "tests" / "wine-prefix.sh")], env=tovex.wine_env(), check=True)
    tovex.wineserver("-p")
    with tempfile.TemporaryDirectory() as tmp:
        app = pathlib.Path(tmp) / "bench app"
        runtimes.make_runtime(app / "jre", jvm="record", version_output='openjdk version "17.0.15" 2025-04-15\n')
        exe = tovex.build_app(app, "MAIN_CLASS = bench.Main\nJVM_SEARCH_SEQUENCE = B.\\jre\nMIN_VERSION = 1.8\n")
        timed(exe)  # warm up Wine
        cold, warm = [], []
        for _ in range(ROUNDS):
            tovex.reg("delete", CACHE_KEY, "/f", check=False)
            cold.append(timed(exe)[0])
            warm.append(timed(exe)[0])
    tovex.wineserver("-k")
    c, w = statistics.median(cold), statistics.median(warm)
    print(f"start with probe (no cache entry): median {c * 1000:.1f} ms over {ROUNDS} runs")
    print(f"start with a valid cache entry:    median {w * 1000:.1f} ms over {ROUNDS} runs")
    print(f"ratio probe/cache: {c / w:.2f}")


if __name__ == "__main__":
    main()
