#!/usr/bin/env python3
"""Draws the toast background picture (195 x 97, 24-bit RGB) and writes it as background.png.

A pale band with a light diagonal hatch across the top, a thin blue line under it, then a
vertical gradient from pale pink to red that stays light where the text sits and deepens
only towards the bottom. The bottom-left pixel carries a colour used nowhere else: toasts leave
pixels of that colour unpainted, so only that corner pixel is see-through.

Only the standard library is needed: python3 make_background.py [output.png]
"""
import struct
import sys
import zlib

WIDTH, HEIGHT = 195, 97
BAND_HEIGHT = 20  # rows 0..19
BLUE_LINE = (36, 84, 196)
BLUE_SOFT = (150, 178, 232)
PALE_PINK = (255, 236, 238)
RED = (214, 24, 32)
CORNER_KEY = (255, 0, 255)


def band(x, y):
    # Pale with a faint hatch, a touch darker towards the line below.
    base = 250 - y // 4
    if (x + y) % 5 == 0:
        return (base - 12, base - 16, base - 8)
    return (base, base - 3, base - 1)


def gradient(y):
    first, last = BAND_HEIGHT + 2, HEIGHT - 1
    t = (y - first) / (last - first)
    t = t ** 6  # pale where the text sits (dark red reads at 4.5:1 down to row 82), red at the foot
    return tuple(round(a + (b - a) * t) for a, b in zip(PALE_PINK, RED))


def pixel(x, y):
    if x == 0 and y == HEIGHT - 1:
        return CORNER_KEY
    if y < BAND_HEIGHT:
        return band(x, y)
    if y == BAND_HEIGHT:
        return BLUE_LINE
    if y == BAND_HEIGHT + 1:
        return BLUE_SOFT
    return gradient(y)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(v for rgb in row for v in rgb) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8 bits, RGB, no interlace
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "background.png"
    rows = [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    with open(out, "wb") as f:
        f.write(png(WIDTH, HEIGHT, rows))


if __name__ == "__main__":
    main()
