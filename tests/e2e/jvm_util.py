"""Helpers for the end-to-end scenarios of the JVM search (tests/e2e/test_jvm_*.py)."""
from __future__ import annotations

import pathlib
import re

import pytest

import tovex

CACHE_ROOT = r"HKCU\SOFTWARE\quorbel-systems\tovex\jvms"
LOCATED_ROOT = r"SOFTWARE\quorbel-systems\tovex\locatedjvms"
INSTALLATIONS_KEY = r"SOFTWARE\quorbel-systems\marlowkit\installations"
JRE_KEY = r"HKLM\SOFTWARE\JavaSoft\Java Runtime Environment"
JDK_KEY = r"HKLM\SOFTWARE\JavaSoft\Java Development Kit"

# Message texts set in every configuration, so that a test sees which message came and with what argument.
MESSAGES = {
    "MSG_JVM_START_FAILED": "E1005 start failed",
    "MSG_INTERNAL_ERROR": "E1009 internal error {0}",
    "MSG_POWERUSER_REQUIRED": "E1015 poweruser",
    "MSG_NO_JVM_BITS": "E1016 no jvm {0}",
    "MSG_ENV_VAR_NO_JVM_64": "E1018 variable {0}",
    "MSG_JVM_DAMAGED_64": "E1020 damaged {0}",
}


def ascii_lower(text: str) -> str:
    """The launcher lower-cases A to Z only."""
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


def normalised(path: pathlib.Path | str) -> str:
    """The form in which the launcher judges a java executable: full Windows path, A-Z lower-cased."""
    return ascii_lower(tovex.wine_path(path))


def cache_key(exe: pathlib.Path | str) -> str:
    return CACHE_ROOT + "\\" + normalised(exe).replace("\\", "/")


def config(sequence: str = "", **settings) -> str:
    """A configuration text with the message texts above, a search sequence and further NAME = value settings."""
    lines = [f"{name} = {value}" for name, value in MESSAGES.items()]
    if sequence:
        lines.append(f"JVM_SEARCH_SEQUENCE = {sequence}")
    lines += [f"{name} = {value}" for name, value in settings.items()]
    return "\n".join(lines) + "\n"


def query_value(key: str, name: str) -> tuple[str, str] | None:
    """(type, data) of a registry value as `reg query` shows it, or None."""
    proc = tovex.reg("query", key, "/v", name, check=False)
    if proc.returncode != 0:
        return None
    text = proc.stdout.decode("cp1252", "replace")
    for line in text.splitlines():
        m = re.match(r"\s+(\S+)\s+(REG_\w+)\s*(.*)$", line)
        if m and m.group(1).lower() == name.lower():
            return m.group(2), m.group(3).strip()
    return None


def cache_entry(exe: pathlib.Path | str) -> dict:
    """{"LastWriteTime": (type, data), "Version": (type, data)} of the cache entry of exe (missing values: None)."""
    key = cache_key(exe)
    return {name: query_value(key, name) for name in ("LastWriteTime", "Version")}


def delete_key(key: str) -> None:
    tovex.reg("delete", key, "/f", check=False)


def has_line(result, text: str) -> bool:
    return text in result.log_lines


def lines_with(result, prefix: str) -> list[str]:
    return [line for line in result.log_lines if line.startswith(prefix)]


def loaded(result) -> bool:
    return "Loading of JVM-DLL successful" in result.log_lines


class Registry:
    """Registry keys a test adds; all are deleted when the test ends (the prefix is shared by all tests)."""

    def __init__(self):
        self.keys: list[str] = []

    def add(self, key: str, *args: str) -> None:
        if key not in self.keys:
            self.keys.append(key)
        tovex.reg("add", key, *args, "/f")

    def forget(self, key: str) -> None:
        """Deletes key at the end even though the test did not write it (e.g. a cache entry of the launcher)."""
        if key not in self.keys:
            self.keys.append(key)

    def cleanup(self) -> None:
        for key in reversed(self.keys):
            delete_key(key)


class Runtimes:
    """make_runtime with the runtimes' version-cache entries removed at the end of the test."""

    def __init__(self, registry: Registry):
        self.registry = registry

    def make(self, home, **kwargs):
        import runtimes
        rt = runtimes.make_runtime(home, **kwargs)
        for exe in {rt.java_exe, rt.kit_bin / "java.exe"}:
            self.registry.forget(cache_key(exe))
        return rt


@pytest.fixture
def registry():
    r = Registry()
    yield r
    r.cleanup()


@pytest.fixture
def rts(registry):
    return Runtimes(registry)


def build(directory, sequence: str = "", stub: str = "console", name: str = "app.exe", **settings):
    return tovex.build_app(directory, config(sequence, **settings), stub=stub, name=name)
