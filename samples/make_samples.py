#!/usr/bin/env python3
"""Renders the sample pair: a made-up topographic map (hypsometric tints,
contour lines, a river, roads and a grid) drawn procedurally, then cut into
two overlapping pieces as two scans of one sheet would be. Standard library
only; the output is reproducible byte for byte.

    python3 samples/make_samples.py   # writes samples/left.png and samples/right.png
    python3 samples/make_samples.py --original map.png   # also the whole map, for checks
"""
import math
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 1000, 600
DPI = 300
# left: columns 0..599; right: columns 470..999 taken 4 rows lower (a 130-pixel
# overlap, a little shifted, as two scans of one sheet come out).
LEFT = (0, 0, 600, 590)
RIGHT = (470, 4, 530, 590)


def hash01(x, y, seed):
    h = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0


def value_noise(x, y, cell, seed):
    gx, gy = int(x // cell), int(y // cell)
    fx, fy = x / cell - gx, y / cell - gy
    fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
    a, b = hash01(gx, gy, seed), hash01(gx + 1, gy, seed)
    c, d = hash01(gx, gy + 1, seed), hash01(gx + 1, gy + 1, seed)
    return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy


def elevation(x, y):
    return (0.55 * value_noise(x, y, 230, 1) + 0.3 * value_noise(x, y, 90, 2)
            + 0.15 * value_noise(x, y, 31, 3))


TINTS = [(0.30, (166, 206, 227)), (0.40, (178, 223, 138)), (0.50, (222, 235, 160)),
         (0.60, (245, 222, 170)), (0.70, (222, 184, 135)), (1.01, (200, 160, 120))]


def tint(e):
    for limit, colour in TINTS:
        if e < limit:
            return colour
    return TINTS[-1][1]


def river_x(y):
    return 520 + 70 * math.sin(y / 97.0) + 25 * math.sin(y / 23.0)


def render():
    rows = []
    for y in range(HEIGHT):
        row = bytearray(WIDTH * 3)
        rx = river_x(y)
        prev = elevation(-1, y)
        for x in range(WIDTH):
            e = elevation(x, y)
            r, g, b = tint(e)
            # contour lines every 0.025 of elevation, darker every fifth
            band, band_prev = int(e / 0.025), int(prev / 0.025)
            band_up = int(elevation(x, y - 1) / 0.025) if y else band
            if band != band_prev or band != band_up:
                k = 0.45 if band % 5 == 0 else 0.7
                r, g, b = int(r * k), int(g * k * 0.9), int(b * k * 0.8)
            prev = e
            d = abs(x - rx)
            if d < 4:
                r, g, b = 40, 110, 200
            elif d < 5:
                r, g, b = 20, 60, 140
            # roads: two straight lines and a ring
            if abs((x * 3 + y * 2) % 1400 - 700) < 3 or abs(y - 0.35 * x - 120) < 2:
                r, g, b = 200, 40, 30
            if abs(math.hypot(x - 260, y - 330) - 120) < 1.6:
                r, g, b = 60, 60, 60
            # map grid and speckled woods
            if x % 100 == 0 or y % 100 == 0:
                r, g, b = r // 2, g // 2, b // 2
            if e > 0.5 and hash01(x // 3, y // 3, 9) < 0.08:
                r, g, b = 30, 100, 40
            row[3 * x:3 * x + 3] = bytes((r, g, b))
        rows.append(row)
    return rows


def write_png(path, rows, x0, y0, w, h):
    raw = b"".join(b"\x00" + bytes(rows[y][3 * x0:3 * (x0 + w)]) for y in range(y0, y0 + h))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ppm = round(DPI / 0.0254)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"pHYs", struct.pack(">IIB", ppm, ppm, 1))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    rows = render()
    write_png(os.path.join(here, "left.png"), rows, *LEFT)
    write_png(os.path.join(here, "right.png"), rows, *RIGHT)
    if len(sys.argv) == 3 and sys.argv[1] == "--original":
        write_png(sys.argv[2], rows, 0, 0, WIDTH, HEIGHT)


if __name__ == "__main__":
    main()
