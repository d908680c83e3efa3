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
import zlib

WIDTH, HEIGHT = 8, 8
FIELD = (40, 100, 160)      # RGB of the inner field
FRAME = (250, 200, 0)       # RGB of the frame
FRAME_WIDTH = 2
ICON_SIZE = 16


def pixel(x, y):
    if x < FRAME_WIDTH or y < FRAME_WIDTH or x >= WIDTH - FRAME_WIDTH or y >= HEIGHT - FRAME_WIDTH:
        return FRAME
    return FIELD


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


def png_bytes():
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(WIDTH)) for y in range(HEIGHT))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_bytes():
    size = ICON_SIZE
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            inside = 2 <= x < size - 2 and 2 <= y < size - 2
            r, g, b = FIELD if inside else FRAME
            xor += bytes((b, g, r, 255))
    and_mask = b"\0" * (((size + 31) // 32) * 4 * size)  # rows of 32-bit units, all opaque
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = info + bytes(xor) + and_mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in (("splash.bmp", bmp_bytes()), ("splash.png", png_bytes()), ("app.ico", ico_bytes())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
