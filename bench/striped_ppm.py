"""Writes the 24-bit PPM of the transform benchmarks: WIDTH x HEIGHT pixels
of a byte pattern that shifts from row to row.

usage: striped_ppm.py PATH WIDTH HEIGHT"""
import sys

path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
base = bytes((i * 7 + (i // 3) * 11) & 255 for i in range(3 * w + 256))
with open(path, "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    for y in range(h):
        o = (y * 13) % 256
        f.write(base[o:o + 3 * w])
