#!/usr/bin/env python3
"""Draws varnel.ico (16, 32, 48 and 256 pixels, 32-bit with alpha): a green radar ring on black with
a white aircraft seen from above, the window's colours. The window's title bar and the taskbar take
the 16-pixel image, the Alt+Tab list the 32-pixel one, Explorer's large views the 256-pixel one,
which is stored as PNG as Windows expects at that size. Run once; the .ico is kept in the repository."""
import math
import struct
import sys
import zlib


def pixel(size, x, y):
    c = (size - 1) / 2.0
    u, v = (x - c) / (size / 2.0), (c - y) / (size / 2.0)   # -1..1, v up
    r = math.hypot(u, v)
    if r > 1.0:
        return (0, 0, 0, 0)
    # Aircraft pointing up: fuselage, wings, tailplane.
    body = abs(u) < 0.09 and -0.62 < v < 0.66
    wing = abs(v - 0.05 + 0.35 * abs(u)) < 0.11 and abs(u) < 0.62
    tail = abs(v + 0.52 - 0.2 * abs(u)) < 0.07 and abs(u) < 0.27
    if body or wing or tail:
        return (255, 255, 255, 255)
    if 0.80 < r <= 0.97:
        return (0, 200, 0, 255)
    return (0, 0, 0, 255)


def png(size):
    raw = b"".join(b"\0" + b"".join(struct.pack("BBBB", *pixel(size, x, y)) for x in range(size)) for y in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)   # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def image(size):
    if size >= 256:
        return png(size)
    rows = []
    for y in reversed(range(size)):   # bottom-up DIB
        rows.append(b"".join(struct.pack("BBBB", b, g, r, a) for (r, g, b, a) in (pixel(size, x, y) for x in range(size))))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)   # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(path):
    sizes = [16, 32, 48, 256]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)   # 0 stands for 256
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


main(sys.argv[1] if len(sys.argv) > 1 else "varnel.ico")
