#!/usr/bin/env python3
"""Writes the placeholder images built into the launcher stubs.

splash.bmp  bitmap 10000: the launcher's own splash image
splash.png  raw data 10000: the same image for the runtime's splash library
app.ico     icon group 1001 and the splash window's class icon

They are tiny on purpose: the builder replaces them with the application's own
icon and splash image, and a stub should not carry bytes nobody sees. The
splash placeholder is a small solid field with a frame, so that tests can tell
the image from the light grey around it. Tests import the constants below.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import image_files  # noqa: E402

WIDTH, HEIGHT = 8, 8
FIELD = (40, 100, 160)      # RGB of the inner field
FRAME = (250, 200, 0)       # RGB of the frame
FRAME_WIDTH = 2
ICON_SIZE = 16


def pixel(x, y):
    if x < FRAME_WIDTH or y < FRAME_WIDTH or x >= WIDTH - FRAME_WIDTH or y >= HEIGHT - FRAME_WIDTH:
        return FRAME
    return FIELD


def opaque(x, y):
    return pixel(x, y) + (255,)


def icon_pixel(x, y):
    inside = 2 <= x < ICON_SIZE - 2 and 2 <= y < ICON_SIZE - 2
    return (FIELD if inside else FRAME) + (255,)


def bmp_bytes():
    row_size = (WIDTH * 3 + 3) & ~3
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = (("splash.bmp", bmp_bytes()), ("splash.png", image_files.png(WIDTH, HEIGHT, opaque)),
              ("app.ico", image_files.ico([(ICON_SIZE, icon_pixel)])))
    for name, data in images:
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
