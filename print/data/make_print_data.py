#!/usr/bin/env python3
"""Draws the print decorations shipped with the program: the pieces of the
three bitmap frames (frame/frameNK.jpg, N = 5..7, K = 1..6: four corners, the
horizontal edge tile, the vertical edge tile), their samples for the
Background page (frame/frameN.bmp) and five light watermark patterns
(wmark/pattern1.jpg .. pattern5.jpg). Standard library plus cjpeg
(libjpeg-turbo-progs); the output is reproducible.

    python3 print/data/make_print_data.py    # rewrites print/data/frame and print/data/wmark
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
BORDER = 64        # side border width = top/bottom border height, pixels
TILE = 128         # edge tile length along its edge
PATTERN = 192      # watermark pattern side


def clamp(v):
    return max(0, min(255, int(round(v))))


# Border designs: colour at u along the edge (period TILE) and v across it
# (0 outer .. BORDER - 1 inner); symmetric in v so that one tile serves both
# edges of a pair.
def rope(u, v):
    w = min(v, BORDER - 1 - v) / (BORDER / 2)           # 0 at the edges, 1 in the middle
    twist = math.sin(2 * math.pi * (u + v) / 32.0)
    base = 0.55 + 0.45 * w
    if v < 4 or v >= BORDER - 4:
        return (60, 40, 10)
    return (clamp(200 * base + 40 * twist), clamp(160 * base + 30 * twist), clamp(60 * base))


def mosaic(u, v):
    if v < 3 or v >= BORDER - 3:
        return (20, 40, 110)
    cell = ((u // 16) + ((v - 3) // 16)) % 2
    return (40, 80, 180) if cell else (235, 240, 250)


def wood(u, v):
    grain = math.sin(2 * math.pi * u / TILE * 2 + 3 * math.sin(v / 9.0)) * 0.5 + 0.5
    ring = math.sin(v / 3.0) * 0.5 + 0.5
    edge = 0.6 if (v < 5 or v >= BORDER - 5) else 1.0
    return (clamp((120 + 60 * grain + 20 * ring) * edge), clamp((70 + 35 * grain + 10 * ring) * edge),
            clamp((30 + 15 * grain) * edge))


def corner(design, x, y):
    # A square rosette: the border's colours around a centre medallion.
    cx = cy = (BORDER - 1) / 2.0
    r = math.hypot(x - cx, y - cy)
    if r < BORDER * 0.28:
        return design(int(r * 4), BORDER // 2)
    return design(int(math.atan2(y - cy, x - cx) * TILE / (2 * math.pi)) % TILE, min(x, y, BORDER - 1 - x, BORDER - 1 - y) * 2 % BORDER)


DESIGNS = {5: rope, 6: mosaic, 7: wood}


def pattern(n, x, y):
    if n == 1:   # fine diagonal lines
        return (236, 236, 246) if (x + y) % 24 < 3 else (252, 252, 255)
    if n == 2:   # dots
        d = math.hypot((x % 32) - 16, (y % 32) - 16)
        return (238, 244, 236) if d < 5 else (253, 255, 252)
    if n == 3:   # waves
        s = math.sin(2 * math.pi * (y + 8 * math.sin(2 * math.pi * x / PATTERN * 2)) / 24)
        return (clamp(248 + 6 * s), clamp(244 + 6 * s), clamp(236 + 6 * s))
    if n == 4:   # soft checker
        return (244, 244, 244) if ((x // 48) + (y // 48)) % 2 else (254, 254, 254)
    # paper grain
    h = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    g = 246 + (h >> 28) // 2
    return (g, g, clamp(g - 4))


def write_jpeg(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            rows += bytes(pixel(x, y))
    with tempfile.NamedTemporaryFile(suffix=".ppm", delete=False) as ppm:
        ppm.write(b"P6\n%d %d\n255\n" % (width, height))
        ppm.write(rows)
    try:
        with open(path, "wb") as out:
            subprocess.run(["cjpeg", "-quality", "88", "-optimize", ppm.name], stdout=out, check=True)
    finally:
        os.unlink(ppm.name)


def write_bmp(path, width, height, pixel, dpi=96):
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        data += row
    ppm = int(round(dpi / 0.0254))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), ppm, ppm, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data)


def sample(design, x, y, side=72, border=16):
    # The frame at a quarter of its size around a light-gray picture area.
    inner = min(x, y, side - 1 - x, side - 1 - y)
    if inner >= border:
        return (200, 200, 200)
    v = inner * 4
    u = (x if min(y, side - 1 - y) == inner else y) * 4
    return design(u % TILE, v)


def main():
    frame_dir = os.path.join(HERE, "frame")
    wmark_dir = os.path.join(HERE, "wmark")
    os.makedirs(frame_dir, exist_ok=True)
    os.makedirs(wmark_dir, exist_ok=True)
    for n, design in DESIGNS.items():
        for k in range(1, 5):
            write_jpeg(os.path.join(frame_dir, "frame%d%d.jpg" % (n, k)), BORDER, BORDER,
                       lambda x, y, d=design: corner(d, x, y))
        write_jpeg(os.path.join(frame_dir, "frame%d5.jpg" % n), TILE, BORDER, lambda x, y, d=design: d(x, y))
        write_jpeg(os.path.join(frame_dir, "frame%d6.jpg" % n), BORDER, TILE, lambda x, y, d=design: d(y, x))
        write_bmp(os.path.join(frame_dir, "frame%d.bmp" % n), 72, 72, lambda x, y, d=design: sample(d, x, y))
    for n in range(1, 6):
        write_jpeg(os.path.join(wmark_dir, "pattern%d.jpg" % n), PATTERN, PATTERN,
                   lambda x, y, n=n: pattern(n, x, y))
    return 0


if __name__ == "__main__":
    sys.exit(main())
