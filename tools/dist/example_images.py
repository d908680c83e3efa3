#!/usr/bin/env python3
"""The icon (app.ico) and splash image (splash.png) of each example, drawn here
so that the repository holds no binary files.

    example_images.py OUTDIR console|swing    writes OUTDIR/app.ico and OUTDIR/splash.png

The icon holds 16, 32 and 48 pixel images (32-bit BGRA with an AND mask); the
splash is a 400 x 240 RGB PNG with room for the status line at the bottom.
"""
import struct
import sys
import zlib
from pathlib import Path

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
    raw = b"".join(b"\0" + b"".join(bytes(_splash_pixel(style, x, y)) for x in range(w)) for y in range(h))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


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
    images = []
    for size in ICON_SIZES:
        xor = bytearray()
        for y in range(size - 1, -1, -1):    # bottom-up rows
            for x in range(size):
                r, g, b, a = _icon_pixel(style, size, x, y)
                xor += bytes((b, g, r, a))
        mask_row = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_row)
            for x in range(size):
                if _icon_pixel(style, size, x, y)[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((size, header + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def write(out_dir, style):
    out = Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    (out / "app.ico").write_bytes(app_ico(style))
    (out / "splash.png").write_bytes(splash_png(style))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in STYLES:
        sys.exit(f"usage: {sys.argv[0]} OUTDIR {'|'.join(STYLES)}")
    write(sys.argv[1], sys.argv[2])
