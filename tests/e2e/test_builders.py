"""tovex-build for every system makes the same bytes.

`make cross` builds the builder with Zig for Linux (static, musl) x86-64 and aarch64 and for
macOS x86-64 and arm64 (build/cross/<os>-<arch>/tovex-build). Here the examples and a
configuration with every [resources] key are built by the host builder, the musl x86-64 one,
the aarch64 one under qemu-user and the Windows one under Wine, and the exes compared byte for
byte. The macOS builders cannot run on this machine: their Mach-O headers are checked (64-bit
executable, the right CPU type, macOS 11.0 as the minimum, libSystem as the only library).
"""
import pathlib
import shutil
import struct
import subprocess
import sys

import pytest

import tovex

sys.path.insert(0, str(tovex.ROOT / "tools" / "dist"))
import example_images  # noqa: E402

CROSS = tovex.BUILD / "cross"
QEMU = "/usr/bin/qemu-aarch64-static"
EXAMPLES = {"console": "console", "swing": "gui"}

# Every [resources] key but MANIFEST (which replaces the manifest the other keys make),
# then MANIFEST alone; images of every kind the builder reads.
ALL_RESOURCES = """APPLICATION_NAME = Every Resource
MAIN_CLASS = every.Main
EXE_TYPE = 1
SPLASH_ENABLED = 1

[resources]
ICON = app.ico
SPLASH_IMAGE = {splash}
FILE_VERSION = 2.7.1.65535
PRODUCT_VERSION = 3.0
COMPANY_NAME = Äpfel & Birnen GmbH
FILE_DESCRIPTION = Every resource key, ünïcödé ✓
PRODUCT_NAME = Every Resource
LEGAL_COPYRIGHT = © 2026 nobody
INTERNAL_NAME = every
COMMENTS = "  leading and trailing blanks  "
ORIGINAL_FILENAME = Every.exe
EXECUTION_LEVEL = highestAvailable
DPI_AWARENESS = system
LONG_PATHS = 1
UTF8_CODE_PAGE = 1
"""
WITH_MANIFEST = """MAIN_CLASS = every.Main
[resources]
ICON = small.png
MANIFEST = app.manifest
"""
MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="every.app" version="1.0.0.0"/>
</assembly>
"""


def cross_builder(target: str) -> pathlib.Path:
    path = CROSS / target / "tovex-build"
    if not path.is_file():
        raise AssertionError(f"{path} is missing: run `make cross` (make test does)")
    return path


def builders() -> dict:
    """Every builder that runs here, as the command that starts it."""
    return {
        "host": [str(tovex.BUILDER)],
        "linux-x86_64": [str(cross_builder("linux-x86_64"))],
        "linux-aarch64": [QEMU, str(cross_builder("linux-aarch64"))],
        "windows-x86_64": ["wine", str(tovex.WIN / "tovex-build.exe")],
    }


def inputs(tmp: pathlib.Path) -> dict:
    """name -> (configuration file, stub): the two examples and the every-key configurations."""
    cases = {}
    (tmp / "lib").mkdir()   # the release layout: examples/<name>/ and lib/tovex-runtime.jar
    shutil.copy(tovex.RUNTIME_JAR, tmp / "lib")
    for example, stub in EXAMPLES.items():
        folder = tmp / "examples" / example
        shutil.copytree(tovex.ROOT / "examples" / example, folder, ignore=shutil.ignore_patterns("out"))
        example_images.write(folder, example)
        # The jars of the release's examples (the console example appends its jar): stand-ins.
        (folder / "lib").mkdir()
        (folder / "lib" / f"hello-{example}.jar").write_bytes(bytes(range(256)) * 300)
        cases[example] = (next(folder.glob("*.conf")), stub)
    every = tmp / "every"
    every.mkdir()
    (every / "app.manifest").write_text(MANIFEST, encoding="utf-8")
    subprocess.run(["convert", "-size", "64x64", "gradient:red-blue", "-define", "icon:auto-resize=48,32,16",
                    str(every / "app.ico")], check=True)
    subprocess.run(["convert", "-size", "24x24", "gradient:yellow-green", str(every / "small.png")], check=True)
    for kind in ("png", "jpg", "gif", "bmp"):
        image = every / f"splash.{kind}"
        subprocess.run(["convert", "-size", "120x80", "plasma:fractal", "-seed", "7", str(image)], check=True)
        (every / f"every-{kind}.conf").write_text(ALL_RESOURCES.format(splash=image.name), encoding="utf-8")
        cases[f"every-{kind}"] = (every / f"every-{kind}.conf", "gui")
    (every / "manifest.conf").write_text(WITH_MANIFEST, encoding="utf-8")
    cases["manifest"] = (every / "manifest.conf", "console")
    return cases


def test_every_builder_writes_the_same_exe(tmp_path):
    cases = inputs(tmp_path)
    env = tovex.wine_env({"SOURCE_DATE_EPOCH": "1700000000"})
    for name, (conf, stub) in cases.items():
        outputs = {}
        for builder, cmd in builders().items():
            out = tmp_path / "out" / builder / (name + ".exe")
            out.parent.mkdir(parents=True, exist_ok=True)
            windows = builder.startswith("windows")
            path = tovex.wine_path if windows else str
            proc = subprocess.run(cmd + ["--stub", path(tovex.STUBS[stub]), "--config", path(conf), "--out", path(out)],
                                  capture_output=True, env=env, stdin=subprocess.DEVNULL)
            assert proc.returncode == 0, f"{builder} on {name}: {proc.stderr.decode(errors='replace')}"
            outputs[builder] = out.read_bytes()
        reference = outputs["host"]
        assert len(reference) > 100_000
        different = [b for b, data in outputs.items() if data != reference]
        assert not different, f"{name}: {different} differ from the host builder's exe"


def test_aarch64_builder_runs_under_qemu_and_is_static():
    builder = cross_builder("linux-aarch64")
    header = subprocess.run(["readelf", "-h", "-d", str(builder)], capture_output=True, text=True).stdout
    assert "AArch64" in header and "(NEEDED)" not in header
    version = subprocess.run([QEMU, str(builder), "--version"], capture_output=True, text=True)
    assert version.stdout == f"tovex-build {(tovex.ROOT / 'VERSION').read_text().strip()}\n"


MH_MAGIC_64, MH_EXECUTE = 0xFEEDFACF, 2
LC_LOAD_DYLIB, LC_LOAD_WEAK_DYLIB, LC_REEXPORT_DYLIB, LC_LOAD_UPWARD_DYLIB = 0xC, 0x80000018, 0x8000001F, 0x80000023
LC_BUILD_VERSION, LC_VERSION_MIN_MACOSX, LC_MAIN = 0x32, 0x24, 0x80000028
CPU_TYPE = {"macos-x86_64": 0x01000007, "macos-arm64": 0x0100000C}
PLATFORM_MACOS = 1


def mach_o(path: pathlib.Path) -> dict:
    """The header and load commands of a thin 64-bit Mach-O file."""
    data = path.read_bytes()
    magic, cputype, _sub, filetype, ncmds, _size, _flags, _reserved = struct.unpack_from("<IiiIIIII", data, 0)
    assert magic == MH_MAGIC_64, f"{path}: not a 64-bit Mach-O file"
    commands, offset = [], 32
    for _ in range(ncmds):
        cmd, size = struct.unpack_from("<II", data, offset)
        commands.append((cmd, data[offset:offset + size]))
        offset += size
    dylibs = []
    for cmd, body in commands:
        if cmd in (LC_LOAD_DYLIB, LC_LOAD_WEAK_DYLIB, LC_REEXPORT_DYLIB, LC_LOAD_UPWARD_DYLIB):
            name_offset = struct.unpack_from("<I", body, 8)[0]
            dylibs.append(body[name_offset:].split(b"\0")[0].decode())
    builds = [struct.unpack_from("<III", body, 8) for cmd, body in commands if cmd == LC_BUILD_VERSION]
    return {"cputype": cputype, "filetype": filetype, "dylibs": dylibs, "builds": builds,
            "main": any(cmd == LC_MAIN for cmd, _ in commands)}


@pytest.mark.parametrize("target", sorted(CPU_TYPE))
def test_macos_builder_is_an_executable_for_its_cpu_needing_only_libsystem(target):
    info = mach_o(cross_builder(target))
    assert info["cputype"] == CPU_TYPE[target]
    assert info["filetype"] == MH_EXECUTE and info["main"]
    assert info["dylibs"] == ["/usr/lib/libSystem.B.dylib"]
    # LC_BUILD_VERSION: platform macOS, minimum 11.0 (nibbles xxxx.yy.zz).
    assert [(platform, minos >> 16, (minos >> 8) & 0xFF) for platform, minos, _sdk in info["builds"]] == \
           [(PLATFORM_MACOS, 11, 0)]
