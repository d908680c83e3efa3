#!/usr/bin/env python3
"""Writes the release zip, BUILD/dist/tovex-VERSION.zip (`make dist`).

    make_dist.py --build BUILD [--java-home JDK]

Everything comes from a finished build (`make`) and the source tree: the
builders of every system (bin/<os>-<arch>/, picked by the bin/tovex-build and
bin/tovex-build.cmd wrappers), the Maven plugin as a repository folder (maven/),
the two stubs, the runtime jar, the docs and the examples; this script
adds a sources jar of the runtime, the examples' compiled jars, icons and splash
images, and the release README. The version is the one of the VERSION file.

The zip is reproducible from the same inputs: entries sorted, one fixed time
stamp, fixed permissions (0755 for the Linux and macOS builders and the shell scripts).
"""
from __future__ import annotations

import argparse
import io
import os
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import example_images  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
STAMP = (2000, 1, 1, 0, 0, 0)
EXAMPLES = {"console": "hello-console.jar", "swing": "hello-swing.jar"}
HERE = Path(__file__).resolve().parent
# The builders of `make cross`, as bin/<os>-<arch>/tovex-build; bin/tovex-build picks one.
CROSS_TARGETS = ("linux-x86_64", "linux-aarch64", "macos-x86_64", "macos-arm64")
# The Maven plugin in a file-based Maven repository folder, maven/.
MAVEN_PATH = "maven/com/tovex/tovex-maven-plugin/{v}/tovex-maven-plugin-{v}".format(
    v=(ROOT / "VERSION").read_text(encoding="utf-8").strip())


def version() -> str:
    return (ROOT / "VERSION").read_text(encoding="utf-8").strip()


def zip_bytes(files: dict[str, bytes], executable=()) -> bytes:
    """A deterministic zip of {name: content}: sorted, one time stamp."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zf:
        # A jar's manifest comes first, as the jar tool writes it.
        for name in sorted(files, key=lambda n: (not n.startswith("META-INF/"), n)):
            info = zipfile.ZipInfo(name, STAMP)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permission bits count
            info.external_attr = (0o100755 if name in executable else 0o100644) << 16
            zf.writestr(info, files[name])
    return buf.getvalue()


def jar_of(directory: Path, manifest: str) -> bytes:
    files = {"META-INF/MANIFEST.MF": manifest.encode("utf-8")}
    for path in sorted(directory.rglob("*")):
        if path.is_file():
            files[path.relative_to(directory).as_posix()] = path.read_bytes()
    return zip_bytes(files)


def manifest(title: str, ver: str) -> str:
    return f"Manifest-Version: 1.0\r\nImplementation-Title: {title}\r\nImplementation-Version: {ver}\r\n\r\n"


def compile_example(name: str, runtime_jar: Path, java_home: Path, ver: str) -> bytes:
    sources = sorted(str(p) for p in (ROOT / "examples" / name / "src").rglob("*.java"))
    with tempfile.TemporaryDirectory() as tmp:
        classes = Path(tmp) / "classes"
        subprocess.run([str(java_home / "bin" / "javac"), "--release", "8", "-encoding", "UTF-8", "-Xlint:all",
                        "-Xlint:-options", "-cp", str(runtime_jar), "-d", str(classes), *sources], check=True)
        return jar_of(classes, manifest(f"tovex example {name}", ver))


def text_file(path: Path) -> bytes:
    data = path.read_bytes()
    if path.suffix == ".cmd":  # cmd.exe wants CRLF line ends
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return data


def maven_repository_files(files: dict[str, bytes], ver: str) -> dict[str, bytes]:
    """The checksums of the plugin's jar and POM and the artifact's maven-metadata.xml."""
    import hashlib
    out = {}
    for suffix in (".jar", ".pom"):
        out[MAVEN_PATH + suffix + ".sha1"] = hashlib.sha1(files[MAVEN_PATH + suffix]).hexdigest().encode()
    metadata = ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<metadata>\n  <groupId>com.tovex</groupId>\n"
                "  <artifactId>tovex-maven-plugin</artifactId>\n  <versioning>\n"
                f"    <latest>{ver}</latest>\n    <release>{ver}</release>\n"
                f"    <versions>\n      <version>{ver}</version>\n    </versions>\n"
                "    <lastUpdated>20000101000000</lastUpdated>\n  </versioning>\n</metadata>\n")
    out["maven/com/tovex/tovex-maven-plugin/maven-metadata.xml"] = metadata.encode()
    return out


# Lines between these markers in docs/*.md and examples/README.md are for readers of the
# source tree (source paths, make targets, how this project tests itself): the zip leaves them out.
SOURCE_TREE_BEGIN = b"<!-- source-tree -->"
SOURCE_TREE_END = b"<!-- /source-tree -->"

# The licence texts of what the release's binaries carry inside them, from the Debian
# packages they were built with (/usr/share/doc/PACKAGE/copyright): name in the zip -> packages
# to try, the first one installed counts.
THIRD_PARTY = {
    "licenses/stb.txt": ["libstb-dev"],
    "licenses/mingw-w64.txt": ["mingw-w64-x86-64-dev", "mingw-w64-common"],
    "licenses/gcc-runtime-mingw-w64.txt": ["gcc-mingw-w64-base", "gcc-mingw-w64-x86-64-posix"],
}


def shipped_doc(data: bytes) -> bytes:
    """A doc as the zip carries it: the source-tree-only blocks left out."""
    out, skipping = [], False
    for line in data.splitlines(keepends=True):
        if line.strip() == SOURCE_TREE_BEGIN:
            skipping = True
        elif line.strip() == SOURCE_TREE_END:
            skipping = False
        elif not skipping:
            out.append(line)
    if skipping:
        sys.exit("make_dist: a source-tree block is not closed")
    return b"".join(out)


def licence_files() -> dict[str, bytes]:
    files = {"LICENSE": (ROOT / "LICENSE").read_bytes()}
    for name, packages in THIRD_PARTY.items():
        found = [Path("/usr/share/doc") / p / "copyright" for p in packages
                 if (Path("/usr/share/doc") / p / "copyright").is_file()]
        if not found:
            sys.exit(f"make_dist: no licence text for {name} (install one of {', '.join(packages)})")
        files[name] = found[0].read_bytes()
    return files


def zig_licence_files(build: Path) -> dict[str, bytes]:
    """The licence texts of what the Zig-built Linux and macOS builders carry inside them (musl,
    libc++, libc++abi, libunwind), from the pinned ziglang wheel unpacked by `make zig`."""
    tree = build / "zig" / "ziglang"
    files = {"licenses/zig.txt": tree / "LICENSE", "licenses/musl.txt": tree / "lib/libc/musl/COPYRIGHT",
             "licenses/llvm-libcxx.txt": tree / "lib/libcxx/LICENSE.TXT",
             "licenses/llvm-libcxxabi.txt": tree / "lib/libcxxabi/LICENSE.TXT",
             "licenses/llvm-libunwind.txt": tree / "lib/libunwind/LICENSE.TXT"}
    missing = [str(p) for p in files.values() if not p.is_file()]
    if missing:
        sys.exit("make_dist: missing licence texts of the Zig toolchain (run `make zig`): " + ", ".join(missing))
    return {name: path.read_bytes() for name, path in files.items()}


def release_files(build: Path, java_home: Path) -> tuple[dict[str, bytes], set[str]]:
    ver = version()
    inputs = {
        **{f"bin/{t}/tovex-build": build / "cross" / t / "tovex-build" for t in CROSS_TARGETS},
        "bin/windows-x86_64/tovex-build.exe": build / "win" / "tovex-build.exe",
        "bin/tovex-build": HERE / "tovex-build",
        "bin/tovex-build.cmd": HERE / "tovex-build.cmd",
        MAVEN_PATH + ".jar": build / "maven" / "plugin" / f"tovex-maven-plugin-{ver}.jar",
        MAVEN_PATH + ".pom": ROOT / "tools" / "maven-plugin" / "pom.xml",
        "stubs/launcher-gui.exe": build / "win" / "launcher-gui.exe",
        "stubs/launcher-console.exe": build / "win" / "launcher-console.exe",
        "lib/tovex-runtime.jar": build / "java" / "tovex-runtime.jar",
    }
    missing = [str(p) for p in inputs.values() if not p.is_file()]
    if missing:
        sys.exit("make_dist: missing build outputs (run `make` first): " + ", ".join(missing))
    files = {name: path.read_bytes() for name, path in inputs.items()}
    files["bin/tovex-build.cmd"] = text_file(inputs["bin/tovex-build.cmd"])
    files.update(maven_repository_files(files, ver))
    sources = {p.relative_to(ROOT / "java" / "src").as_posix(): p.read_bytes()
               for p in sorted((ROOT / "java" / "src").rglob("*.java"))}
    sources["META-INF/MANIFEST.MF"] = manifest("tovex-runtime sources", ver).encode("utf-8")
    files["lib/tovex-runtime-sources.jar"] = zip_bytes(sources)
    for path in sorted((ROOT / "docs").rglob("*")):
        if path.is_file() and path.name != "testing.md":  # how this project tests itself
            data = path.read_bytes()
            files["docs/" + path.relative_to(ROOT / "docs").as_posix()] = shipped_doc(data) if path.suffix == ".md" else data
    for path in sorted((ROOT / "examples").rglob("*")):
        if path.is_file() and "out" not in path.relative_to(ROOT / "examples").parts:
            data = text_file(path)
            files["examples/" + path.relative_to(ROOT / "examples").as_posix()] = shipped_doc(data) if path.suffix == ".md" else data
    for name, jar in EXAMPLES.items():
        files[f"examples/{name}/lib/{jar}"] = compile_example(name, inputs["lib/tovex-runtime.jar"], java_home, ver)
        files[f"examples/{name}/app.ico"] = example_images.app_ico(name)
        files[f"examples/{name}/splash.png"] = example_images.splash_png(name)
    readme = (Path(__file__).resolve().parent / "release-README.md").read_text(encoding="utf-8")
    files["README.md"] = readme.replace("@VERSION@", ver).encode("utf-8")
    files.update(licence_files())
    files.update(zig_licence_files(build))
    executable = {n for n in files if n.endswith(".sh") or n.endswith("/tovex-build")}
    return files, executable


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, type=Path, help="the build directory of `make`")
    parser.add_argument("--java-home", type=Path, default=Path(os.environ.get(
        "JAVA_HOME", "/usr/lib/jvm/java-17-openjdk-amd64")))
    args = parser.parse_args()
    ver = version()
    files, executable = release_files(args.build.resolve(), args.java_home)
    top = f"tovex-{ver}/"
    data = zip_bytes({top + n: d for n, d in files.items()}, {top + n for n in executable})
    out = args.build.resolve() / "dist" / f"tovex-{ver}.zip"
    out.parent.mkdir(parents=True, exist_ok=True)
    tmp = out.with_suffix(".zip.tmp")
    tmp.write_bytes(data)
    tmp.replace(out)
    print(f"{out}: {len(files)} files, {len(data)} bytes")


if __name__ == "__main__":
    main()
