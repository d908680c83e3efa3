"""Helpers for the splash and log-prompt scenarios: screenshots of the Xvfb
display, pixel reads, X window lookups and a starter that runs an exe with
show command 0 (SW_HIDE)."""
from __future__ import annotations

import importlib.util
import os
import pathlib
import subprocess

import tovex

IMPORT = "/usr/bin/import"      # ImageMagick (not the stand-in in /usr/local/bin)
CONVERT = "/usr/bin/convert"
SCREEN_W, SCREEN_H = 1280, 800


def _placeholders():
    """The script that writes the stubs' placeholder images: its constants say what the stub's bitmap shows."""
    spec = importlib.util.spec_from_file_location(
        "make_placeholders", tovex.ROOT / "tools" / "resources" / "make_placeholders.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


_PLACEHOLDER = _placeholders()
IMAGE_W, IMAGE_H = _PLACEHOLDER.WIDTH, _PLACEHOLDER.HEIGHT   # the stub's bitmap 10000
FIELD = _PLACEHOLDER.FIELD                                    # the placeholder image's inner field
FRAME = _PLACEHOLDER.FRAME                                    # its frame
FRAME_WIDTH = _PLACEHOLDER.FRAME_WIDTH
LTGRAY = (192, 192, 192)        # LTGRAY_BRUSH around the image
OUT = tovex.BUILD / "splash-e2e"


class Shot:
    """A screenshot of the whole display as raw RGB."""

    def __init__(self, path: pathlib.Path):
        self.path = path
        raw = subprocess.run([CONVERT, str(path), "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        self.width, self.height = SCREEN_W, SCREEN_H
        assert len(raw) == self.width * self.height * 3, "unexpected screenshot size"
        self.raw = raw

    def pixel(self, x: int, y: int) -> tuple:
        i = (y * self.width + x) * 3
        return tuple(self.raw[i:i + 3])

    def count(self, colour: tuple, x0: int, y0: int, x1: int, y1: int, tolerance: int = 0) -> int:
        """Pixels of colour in [x0, x1) x [y0, y1)."""
        n = 0
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                p = self.pixel(x, y)
                if all(abs(p[k] - colour[k]) <= tolerance for k in range(3)):
                    n += 1
        return n

    def extent(self, colour: tuple, x0: int, y0: int, x1: int, y1: int) -> tuple | None:
        """(min x, min y, max x, max y) of colour in the region, or None."""
        xs, ys = [], []
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                if self.pixel(x, y) == colour:
                    xs.append(x)
                    ys.append(y)
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def screenshot(name: str = "shot.png") -> Shot:
    OUT.mkdir(parents=True, exist_ok=True)
    path = OUT / name
    subprocess.run([IMPORT, "-window", "root", str(path)], check=True, capture_output=True)
    return Shot(path)


def crop(shot: Shot, x: int, y: int, w: int, h: int, dest: pathlib.Path) -> pathlib.Path:
    dest.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run([CONVERT, str(shot.path), "-crop", f"{w}x{h}+{x}+{y}", "+repage", str(dest)], check=True)
    return dest


def centred(width: int, height: int) -> tuple:
    """Where the launcher puts a width x height splash on the test display."""
    return (SCREEN_W - width) // 2, (SCREEN_H - height) // 2


def visible_windows(title: str) -> list[str]:
    """X ids of mapped windows whose name is exactly title."""
    return tovex.visible_windows(title)


def wait_visible(title: str, timeout: float = 60) -> str:
    return tovex.wait_window(title, timeout=timeout)


def wait_gone(title: str, timeout: float = 60) -> None:
    tovex.wait_for(lambda: not visible_windows(title), timeout, what=f"window {title!r} to disappear")


def current_log() -> str:
    """The newest diagnostic log in Wine's temporary directory (while a run is still going)."""
    logs = sorted(tovex.WINE_TEMP.glob("mlk_nlog_*"), key=lambda p: p.stat().st_mtime)
    return tovex.decode_text(logs[-1].read_bytes()) if logs else ""


_START_HIDDEN_C = r"""
#include <windows.h>
#include <stdio.h>
/* start_hidden.exe PROGRAM [ARGS...]: starts PROGRAM with STARTF_USESHOWWINDOW and SW_HIDE, waits, passes its exit code on. */
int main(void) {
    wchar_t *line = GetCommandLineW();
    int quoted = 0;
    while (*line && (quoted || (*line != L' ' && *line != L'\t'))) { if (*line == L'"') quoted = !quoted; ++line; }
    while (*line == L' ' || *line == L'\t') ++line;
    STARTUPINFOW si; PROCESS_INFORMATION pi; DWORD code = 1;
    ZeroMemory(&si, sizeof si); si.cb = sizeof si; si.dwFlags = STARTF_USESHOWWINDOW; si.wShowWindow = SW_HIDE;
    if (!CreateProcessW(NULL, line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) { fprintf(stderr, "start failed %lu\n", GetLastError()); return 2; }
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    return (int)code;
}
"""


def start_hidden_exe() -> pathlib.Path:
    """A tiny Windows starter giving its child show command 0 (built once per build directory)."""
    exe = OUT / "start_hidden.exe"
    if not exe.exists():
        OUT.mkdir(parents=True, exist_ok=True)
        src = OUT / "start_hidden.c"
        src.write_text(_START_HIDDEN_C)
        subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-static", str(src), "-o", str(exe)], check=True)
    return exe
