"""Helpers for the end-to-end scenarios of the VM options and the invocation (tests/e2e/test_vm_*.py)."""
from __future__ import annotations

import pathlib
import subprocess

import runtimes
import tovex

# Message texts set in every configuration, so that a test sees which message came and with what argument.
MESSAGES = {
    "MSG_JVM_START_FAILED": "E1005 start failed",
    "MSG_FILE_NOT_FOUND": "E1006 not found {0}",
    "MSG_ENV_VAR_UNDEFINED": "E1008 undefined {0}",
    "MSG_INTERNAL_ERROR": "E1009 internal error {0}",
    "MSG_MAIN_CLASS_NOT_LOADED": "E1010 no launcher class",
    "MSG_MAIN_METHOD_NOT_FOUND": "E1011 no main method",
    "MSG_STARTUP_ERROR": "E1014 main ended with {0}",
}

PROPERTY_NAMES = ("tovex.semaphoreName", "tovex.isMarlowkit", "tovex.moduleName", "sun.java.command",
                  "tovex.processCommFile", "tovex.tempDir", "tovex.unextractedPosition", "java.library.path",
                  "tovex.consoleCodepage")

PROBE_SOURCE = pathlib.Path(__file__).resolve().parents[1] / "jvm" / "java" / "vmtest"


def config(**settings) -> str:
    """A configuration text: the runtime beside the exe (.\\jre), the message texts and NAME = value settings."""
    values = {"JVM_SEARCH_SEQUENCE": "B.\\jre", "MAIN_CLASS": "app.Main", **MESSAGES, **settings}
    return "".join(f"{name} = {value}\n" for name, value in values.items() if value is not None)


def app(appdir: pathlib.Path, jvm: str = "record", script: str = "", stub: str = "console", files=None,
        **settings):
    """A runtime in appdir\\jre and appdir\\app.exe built with config(**settings); returns (exe, runtime)."""
    rt = runtimes.make_runtime(appdir / "jre", jvm=jvm, script=script)
    exe = tovex.build_app(appdir, config(**settings), stub=stub, files=files)
    return exe, rt


def split_options(options: list[str]) -> tuple[list[str], list[str]]:
    """(launcher properties, the rest): the properties are the leading options with the launcher's own names."""
    count = 0
    for option in options:
        if not any(option.startswith(f"-D{name}=") for name in PROPERTY_NAMES):
            break
        count += 1
    return options[:count], options[count:]


def property_value(options: list[str], name: str) -> str | None:
    for option in options:
        if option.startswith(f"-D{name}="):
            return option[len(name) + 3:]
    return None


def exe_dir(appdir: pathlib.Path) -> str:
    """The executable's directory as the launcher sees it (with its trailing backslash)."""
    return tovex.wine_path(appdir) + "\\"


def compile_probe(out_dir: pathlib.Path) -> pathlib.Path:
    """Compiles the probe program (tests/jvm/java/vmtest) with the host JDK into out_dir/classes."""
    classes = out_dir / "classes"
    classes.mkdir(parents=True, exist_ok=True)
    javac = pathlib.Path(tovex.JAVA_HOME) / "bin" / "javac"
    subprocess.run([str(javac), "--release", "8", "-Xlint:-options", "-encoding", "UTF-8", "-d", str(classes),
                    *map(str, sorted(PROBE_SOURCE.glob("*.java")))], check=True)
    return classes
