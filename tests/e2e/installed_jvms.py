"""Vendor-style Java installations for the 'J' search entry (tests and benchmarks).

Registry keys laid out as the vendors' installers write them (written with Wine's reg.exe), and
installation directories under the test prefix's %ProgramFiles%, %LOCALAPPDATA% and %USERPROFILE%,
each home a stand-in runtime (tests/e2e/runtimes.py). Everything an Installations object creates
(directories, registry keys, version-cache entries of its runtimes) is removed by cleanup().

    with installed_jvms.Installations() as inst:
        rt = inst.directory("Temurin", "17.0.9")            # %ProgramFiles%\\Eclipse Adoptium\\jdk-17.0.9-hotspot
        rt = inst.registry("Zulu", "11.0.21", tmp / "zulu")  # HKLM\\SOFTWARE\\Azul Systems\\Zulu\\zulu-11
        ...
    inst = installed_jvms.install_vendor_runtimes(10)       # ten runtimes with release files; inst.cleanup()
"""
from __future__ import annotations

import os
import pathlib
import shutil

import runtimes
import tovex

DRIVE_C = tovex.WINEPREFIX / "drive_c"
PROGRAM_FILES = DRIVE_C / "Program Files"
USER_PROFILE = DRIVE_C / "users" / os.environ.get("USER", "root")
LOCAL_APPDATA = USER_PROFILE / "AppData" / "Local"

CACHE_ROOT = r"HKCU\SOFTWARE\quorbel-systems\tovex\jvms"

# Registry layouts: name -> (key below the hive, value name, the value ends in a backslash).
# {v} is the version, {major} its first number (the 1. of a 1.x version dropped).
REGISTRY_LAYOUTS = {
    "Oracle JDK 9+": (r"SOFTWARE\JavaSoft\JDK\{v}", "JavaHome", False),
    "Oracle JRE 9+": (r"SOFTWARE\JavaSoft\JRE\{v}", "JavaHome", False),
    "Oracle JDK 8": (r"SOFTWARE\JavaSoft\Java Development Kit\{v}", "JavaHome", False),
    "Oracle JRE 8": (r"SOFTWARE\JavaSoft\Java Runtime Environment\{v}", "JavaHome", False),
    "Temurin": (r"SOFTWARE\Eclipse Adoptium\JDK\{v}\hotspot\MSI", "Path", True),
    "Eclipse Foundation": (r"SOFTWARE\Eclipse Foundation\JDK\{v}\hotspot\MSI", "Path", True),
    "AdoptOpenJDK": (r"SOFTWARE\AdoptOpenJDK\JDK\{v}\hotspot\MSI", "Path", True),
    "Microsoft": (r"SOFTWARE\Microsoft\JDK\{v}\hotspot\MSI", "Path", True),
    "Zulu": (r"SOFTWARE\Azul Systems\Zulu\zulu-{major}", "InstallationPath", True),
    "Liberica": (r"SOFTWARE\BellSoft\Liberica\Liberica JDK {major}", "InstallationPath", True),
    "Corretto": (r"SOFTWARE\Amazon Corretto\JDK\{v}", "JavaHome", False),
    "Semeru": (r"SOFTWARE\Semeru\JDK\{v}\openj9\MSI", "Path", True),
    "IBM Semeru": (r"SOFTWARE\IBM\Semeru\JDK\{v}\openj9\MSI", "Path", True),
    "SapMachine": (r"SOFTWARE\SAP\SapMachine\JDK\{major}", "JavaHome", False),
}

# Directory layouts: name -> (base directory, home below it, origin as the launcher's log names it).
DIRECTORY_LAYOUTS = {
    "Oracle": (PROGRAM_FILES, r"Java\jdk-{v}", r"%ProgramFiles%\Java"),
    "Temurin": (PROGRAM_FILES, r"Eclipse Adoptium\jdk-{v}-hotspot", r"%ProgramFiles%\Eclipse Adoptium"),
    "Microsoft": (PROGRAM_FILES, r"Microsoft\jdk-{v}-hotspot", r"%ProgramFiles%\Microsoft"),
    "Zulu": (PROGRAM_FILES, r"Zulu\zulu-{major}", r"%ProgramFiles%\Zulu"),
    "Liberica": (PROGRAM_FILES, r"BellSoft\LibericaJDK-{major}", r"%ProgramFiles%\BellSoft"),
    "Corretto": (PROGRAM_FILES, r"Amazon Corretto\jdk{v}", r"%ProgramFiles%\Amazon Corretto"),
    "Semeru": (PROGRAM_FILES, r"Semeru\jdk-{v}-openj9", r"%ProgramFiles%\Semeru"),
    "SapMachine": (PROGRAM_FILES, r"SapMachine\sapmachine-{major}", r"%ProgramFiles%\SapMachine"),
    "Temurin per-user": (LOCAL_APPDATA, r"Programs\Eclipse Adoptium\jdk-{v}-hotspot",
                         r"%LOCALAPPDATA%\Programs\Eclipse Adoptium"),
    "IDE download": (USER_PROFILE, r".jdks\temurin-{v}", r"%USERPROFILE%\.jdks"),
    "scoop": (USER_PROFILE, r"scoop\apps\temurin{major}-jdk\current", r"%USERPROFILE%\scoop\apps\*\current"),
}


def major(version: str) -> str:
    parts = version.replace("_", ".").split("-")[0].split("+")[0].split(".")
    return parts[1] if parts[0] == "1" and len(parts) > 1 else parts[0]


def windows_path(path: os.PathLike | str) -> str:
    """The path as the launcher sees it: C:\\... inside the prefix's drive C, else Z:\\..."""
    path = pathlib.Path(path).resolve()
    try:
        return "C:\\" + str(path.relative_to(DRIVE_C.resolve())).replace("/", "\\")
    except ValueError:
        return tovex.wine_path(path)


def normalised(path: os.PathLike | str) -> str:
    """As the launcher judges a path: its Windows form, A-Z lower-cased."""
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in windows_path(path))


class Installations:
    """Installs stand-in runtimes the vendors' way; cleanup() removes all that it made."""

    def __init__(self):
        self.created: list[pathlib.Path] = []   # top-most directories made, removed at the end
        self.keys: list[str] = []               # registry keys written (and cache keys to drop)
        self.made_keys: list[str] = []          # top-most registry keys that did not exist before
        self.runtimes: list[runtimes.Runtime] = []  # every runtime installed, in order

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()

    # -- building blocks -----------------------------------------------------------------------
    def make_dirs(self, path: pathlib.Path) -> None:
        """Makes path; the top-most directory that did not exist is removed by cleanup()."""
        top = None
        p = path
        while not p.exists():
            top = p
            p = p.parent
        path.mkdir(parents=True, exist_ok=True)
        if top is not None and top not in self.created:
            self.created.append(top)

    def runtime(self, home: os.PathLike | str, version: str | None, *, release: bool | dict = True,
                jvm: str | None = "record", **kwargs) -> runtimes.Runtime:
        """A stand-in runtime at home whose "-version" answers `version` ('openjdk version "<v>"'); with
        release=True its release file states the same version (a dict: the release file's lines). It has a
        record-mode jvm.dll (an x86-64 DLL) unless jvm says otherwise: the search refuses a home whose VM library
        could never load."""
        home = pathlib.Path(home)
        self.make_dirs(home)
        kwargs.setdefault("version_output", f'openjdk version "{version}"\n' if version else "")
        rel = version if release is True else (release or None)
        rt = runtimes.make_runtime(home, jvm=jvm, release=rel, **kwargs)
        self.runtimes.append(rt)
        for exe in {rt.java_exe, rt.kit_bin / "java.exe"}:
            self.forget(CACHE_ROOT + "\\" + normalised(exe).replace("\\", "/"))
        return rt

    def forget(self, key: str) -> None:
        if key not in self.keys:
            self.keys.append(key)

    def add_key(self, key: str, *args: str) -> None:
        self.forget(key)
        tovex.reg("add", key, *args, "/f")

    def register_home(self, hive: str, key: str, value: str, home_text: str) -> None:
        """Writes value (REG_SZ) = home_text under hive\\key; cleanup() removes the top-most key it made."""
        full = f"{hive}\\{key}"
        top = self._top_new_key(full)
        if top:
            self.made_keys.append(top)
            self.forget(top)
        self.add_key(full, "/v", value, "/d", home_text)

    def _top_new_key(self, full: str) -> str | None:
        parts = full.split("\\")
        for n in range(3, len(parts) + 1):   # below HKxx\SOFTWARE
            prefix = "\\".join(parts[:n])
            if prefix.lower() in (k.lower() for k in self.made_keys):
                return None                    # made by us already: removed with it
            if tovex.reg("query", prefix, check=False).returncode != 0:
                return prefix
        return None

    # -- vendor layouts ------------------------------------------------------------------------
    def registry(self, layout: str, version: str, home: os.PathLike | str, *, hive: str = "HKLM",
                 **kwargs) -> runtimes.Runtime:
        """A runtime at home, registered as the layout's vendor does (home may be anywhere)."""
        key, value, trailing = REGISTRY_LAYOUTS[layout]
        rt = self.runtime(home, version, **kwargs)
        text = windows_path(rt.home) + ("\\" if trailing else "")
        self.register_home(hive, key.format(v=version, major=major(version)), value, text)
        return rt

    def directory(self, layout: str, version: str, **kwargs) -> runtimes.Runtime:
        """A runtime installed in the layout's directory (in the test prefix)."""
        base, below, _ = DIRECTORY_LAYOUTS[layout]
        return self.runtime(base / below.format(v=version, major=major(version)).replace("\\", "/"), version,
                            **kwargs)

    def cleanup(self) -> None:
        for key in reversed(self.keys):
            tovex.reg("delete", key, "/f", check=False)
        self.keys.clear()
        self.made_keys.clear()
        for path in reversed(self.created):
            shutil.rmtree(path, ignore_errors=True)
        self.created.clear()
        self.runtimes.clear()


def directory_origin(layout: str) -> str:
    return DIRECTORY_LAYOUTS[layout][2]


def install_vendor_runtimes(count: int, root: os.PathLike | str | None = None, *,
                            release: bool = True) -> Installations:
    """count stand-in runtimes with distinct versions 11.0.1, 11.0.2, ..., taking turns between the registry
    layouts (homes below root, default a directory in the prefix) and the directory layouts. The last one has the
    highest version, so a 'J' start loads it (each has a record-mode jvm.dll). Call cleanup() on the result."""
    inst = Installations()
    root = pathlib.Path(root) if root else DRIVE_C / "tovex-installed-jvms"
    registry_layouts = list(REGISTRY_LAYOUTS)
    directory_layouts = list(DIRECTORY_LAYOUTS)
    for i in range(count):
        version = f"11.0.{i + 1}"
        jvm = "record"
        if i % 2 == 0:
            layout = registry_layouts[(i // 2) % len(registry_layouts)]
            inst.registry(layout, version, root / f"runtime-{i}", release=release, jvm=jvm)
        else:
            layout = directory_layouts[(i // 2) % len(directory_layouts)]
            inst.directory(layout, version, release=release, jvm=jvm)
    return inst
