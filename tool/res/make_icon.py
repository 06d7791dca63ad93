#!/usr/bin/env python3
"""Draws the settings program's icon: a text page with a folded corner on a
blue tile, with a slider below the lines for "settings". Writes kelvata.ico
(16x16 and 32x32, 32-bit colour with alpha)."""
import struct
import sys


def draw(n):
    s = n / 32.0
    px = [[(0, 0, 0, 0)] * n for _ in range(n)]

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                if 0 <= x < n and 0 <= y < n:
                    px[y][x] = c

    blue, dark = (40, 96, 180, 255), (20, 40, 90, 255)
    white, grey, orange = (250, 250, 250, 255), (120, 130, 150, 255), (240, 140, 30, 255)
    rect(1, 1, 31, 31, blue)
    rect(7, 4, 26, 29, dark)          # page outline
    rect(8, 5, 25, 28, white)
    rect(20, 5, 25, 10, blue)         # folded corner
    rect(20, 9, 21, 10, dark)
    rect(10, 10, 19, 12, grey)        # text lines
    rect(10, 14, 23, 16, grey)
    rect(10, 18, 23, 20, grey)
    rect(10, 23, 23, 24, dark)        # slider
    rect(15, 21, 18, 26, orange)
    return px


def image(n):
    px = draw(n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b''.join(bytes(v for (r, g, b, a) in px[y] for v in (b, g, r, a)) for y in reversed(range(n)))
    mask_row = ((n + 31) // 32) * 4
    return header + rows + b'\0' * (mask_row * n)


sizes = [16, 32]
images = [image(n) for n in sizes]
out = struct.pack('<HHH', 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, data in zip(sizes, images):
    out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b''.join(images)
with open(sys.argv[1] if len(sys.argv) > 1 else 'kelvata.ico', 'wb') as f:
    f.write(out)
