#!/usr/bin/env python3
"""The icon (app.ico) and splash image (splash.png) of each example, drawn here
so that the repository holds no binary files.

    example_images.py OUTDIR console|swing    writes OUTDIR/app.ico and OUTDIR/splash.png

The icon holds 16, 32 and 48 pixel images (32-bit, transparent corners); the
splash is a 400 x 240 PNG with room for the status line at the bottom. The
encoders are tools/resources/image_files.py.
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "resources"))
import image_files  # noqa: E402

# Per example: background top and bottom colours, accent colour.
STYLES = {
    "console": ((24, 24, 32), (48, 48, 64), (80, 220, 120)),
    "swing": ((30, 90, 160), (10, 40, 90), (250, 200, 0)),
}
SPLASH_SIZE = (400, 240)
ICON_SIZES = (16, 32, 48)


def _mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def _splash_pixel(style, x, y):
    top, bottom, accent = STYLES[style]
    w, h = SPLASH_SIZE
    if x < 3 or y < 3 or x >= w - 3 or y >= h - 3:
        return accent
    if 196 <= y < 198 and 12 <= x < w - 12:      # a rule above the status line
        return accent
    # A mark in the middle: a prompt ">_" for the console, a window for Swing.
    cx, cy = w // 2, 95
    if style == "console":
        dx, dy = x - (cx - 40), y - (cy - 30)
        if 0 <= dx < 30 and 0 <= dy < 60 and 0 <= 29 - abs(dy - 30) - dx <= 8:
            return accent
        if 40 <= dx < 80 and 52 <= dy < 60:
            return accent
    else:
        if cx - 60 <= x < cx + 60 and cy - 40 <= y < cy + 40:
            if y < cy - 26:
                return accent
            return (245, 245, 245) if (cx - 56 <= x < cx + 56 and y < cy + 36) else accent
    return _mix(top, bottom, y / (h - 1))


def splash_png(style):
    w, h = SPLASH_SIZE
    return image_files.png(w, h, lambda x, y: _splash_pixel(style, x, y) + (255,))


def _icon_pixel(style, size, x, y):
    """RGBA of a rounded square in the example's colours with its accent mark."""
    top, bottom, accent = STYLES[style]
    r, far = size // 5, size - 1 - size // 5
    cx, cy = min(max(x, r), far), min(max(y, r), far)   # the nearest point of the inner square
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:            # outside the rounded corners
        return (0, 0, 0, 0)
    u, v = x * 8 // size, y * 8 // size       # an 8 x 8 grid for the mark
    mark = {(2, 2), (3, 3), (4, 4), (3, 5), (2, 6)} if style == "console" else \
        {(1, 2), (2, 2), (3, 2), (4, 2), (5, 2), (6, 2), (1, 3), (6, 3), (1, 4), (6, 4), (1, 5), (6, 5),
         (1, 6), (2, 6), (3, 6), (4, 6), (5, 6), (6, 6)}
    if (u, v) in mark:
        return accent + (255,)
    return _mix(top, bottom, y / (size - 1)) + (255,)


def app_ico(style):
    return image_files.ico([(size, lambda x, y, size=size: _icon_pixel(style, size, x, y)) for size in ICON_SIZES])


def write(out_dir, style):
    out = Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    (out / "app.ico").write_bytes(app_ico(style))
    (out / "splash.png").write_bytes(splash_png(style))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in STYLES:
        sys.exit(f"usage: {sys.argv[0]} OUTDIR {'|'.join(STYLES)}")
    write(sys.argv[1], sys.argv[2])
