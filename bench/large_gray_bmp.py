"""Writes a 10000 x 10000 8-bit gray BMP for the benchmarks: a left-to-right
ramp, or with --shifted a ramp that moves one pixel on each row (no two rows
alike, so nothing can be taken for a copy of the row before)."""
import struct
import sys

path = sys.argv[1]
shifted = "--shifted" in sys.argv[2:]
w = h = 10000
palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
offset = 54 + len(palette)
with open(path, "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", offset + w * h, 0, 0, offset))
    f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, w * h, 0, 0, 256, 0))
    f.write(palette)
    if shifted:
        ramp = bytes(x * 255 // (2 * w - 1) for x in range(2 * w))
        for y in range(h):
            f.write(ramp[y % w:y % w + w])
    else:
        row = bytes(x * 255 // (w - 1) for x in range(w))
        for y in range(h):
            f.write(row)
