#!/usr/bin/env python3
"""Draws the program's icon, res/jumper.ico: nine 32-bpp images from 256 down to 16 pixels.

The picture: a small window, leaping up and to the right out of its dashed old outline,
on a rounded blue tile. Drawn with the standard library only; run it again after changing
the picture and commit the result.
"""
import struct
import sys
import zlib
from pathlib import Path

SIZES = [256, 128, 96, 72, 64, 48, 32, 24, 16]
SAMPLES = 4  # per axis, for antialiasing
# Larger images are stored PNG-compressed (as Windows Vista and later read them), the
# small ones as plain DIBs, which every reader of icons takes.
PNG_FROM = 48


def rounded_box(x, y, x0, y0, x1, y1, r):
    """True where (x, y), in unit coordinates, lies in the rounded box."""
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def colour_at(x, y):
    """RGBA (0..255) of the picture at unit coordinates, later layers on top."""
    colour = None
    if rounded_box(x, y, 0.02, 0.02, 0.98, 0.98, 0.18):
        shade = int(40 * y)
        colour = (30 + shade, 110 + shade, 210, 255)
    # The old place: a dashed outline at the lower left.
    ox0, oy0, ox1, oy1 = 0.12, 0.50, 0.52, 0.86
    on_edge = (ox0 <= x <= ox1 and oy0 <= y <= oy1 and
               min(x - ox0, ox1 - x, y - oy0, oy1 - y) < 0.035)
    if on_edge and int((x + y) * 14) % 2 == 0:
        colour = (200, 225, 255, 255)
    # The jump: a trail of dots from the old place to the new.
    for t in (0.25, 0.42, 0.59):
        px, py = 0.32 + t * 0.42, 0.68 - t * 0.52
        if (x - px) ** 2 + (y - py) ** 2 < 0.032 ** 2:
            colour = (255, 214, 90, 255)
    # The window in its new place: title bar, frame and client area.
    wx0, wy0, wx1, wy1 = 0.44, 0.12, 0.90, 0.54
    if rounded_box(x, y, wx0, wy0, wx1, wy1, 0.04):
        colour = (250, 250, 252, 255) if y > wy0 + 0.12 else (22, 44, 92, 255)
        if wy0 + 0.04 < y < wy0 + 0.09 and wx1 - 0.10 < x < wx1 - 0.04:
            colour = (232, 72, 64, 255)
    return colour


def render(size):
    """Rows of BGRA bytes, top row first, premultiplied by nothing (straight alpha)."""
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        r += c[0] * c[3]
                        g += c[1] * c[3]
                        b += c[2] * c[3]
                        a += c[3]
            n = SAMPLES * SAMPLES
            if a:
                row += bytes((b // a, g // a, r // a, a // n))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + bytes(sum(([r[i + 2], r[i + 1], r[i], r[i + 3]]
                                       for i in range(0, len(r), 4)), []))
                   for r in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(size, rows):
    """A 32-bpp DIB as an icon image holds it: header, bottom-up pixels, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_stride = ((size + 31) // 32) * 4
    return header + b"".join(reversed(rows)) + bytes(mask_stride * size)


def main(out):
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(size, rows) if size >= PNG_FROM else dib(size, rows)))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                                 len(data), offset)
        offset += len(data)
    Path(out).write_bytes(directory + b"".join(data for _, data in images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent / "res" / "jumper.ico")
