"""Small PNG and ICO writers (standard library only) for the demo's images and the tests.

    png(width, height, pixel)          pixel(x, y) -> (r, g, b, a)
    ico([(size, pixel), ...])          32-bit BMP images; png_images=True stores them as PNG
"""
import struct
import zlib


def png(width, height, pixel):
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_bitmap(size, pixel):
    """One icon image as stored in an .ico: BITMAPINFOHEADER (height doubled), BGRA rows bottom-up, AND mask."""
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = pixel(x, y)
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return info + bytes(xor) + and_mask


def ico(images, png_images=False):
    """An .ico file of (size, pixel) images."""
    blobs = [png(size, size, pixel) if png_images else ico_bitmap(size, pixel) for size, pixel in images]
    header = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    entries = b""
    for (size, _), blob in zip(images, blobs):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return header + entries + b"".join(blobs)


def ico_images(data):
    """The image bytes of an .ico file, in directory order."""
    count = struct.unpack_from("<H", data, 4)[0]
    out = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        out.append(data[offset:offset + size])
    return out
