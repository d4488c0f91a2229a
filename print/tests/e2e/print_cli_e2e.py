#!/usr/bin/env python3
"""End-to-end printing through stitchara-cli: PDF files (or a CUPS queue)
read back with pdftoppm, and the picture, frame and watermark found where the
settings put them, at their physical size, within one printer dot.

    print_cli_e2e.py STITCHARA_CLI WORKDIR pdf
    print_cli_e2e.py STITCHARA_CLI WORKDIR cups QUEUE   # exit 77: no such queue
"""
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import time

CLI, WORK, MODE = sys.argv[1], sys.argv[2], sys.argv[3]
RED = (200, 30, 30)
GREEN = (30, 170, 40)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def write_bmp(path, width, height, colour, dpi):
    stride = (width * 3 + 3) & ~3
    row = bytes((colour[2], colour[1], colour[0])) * width + b"\0" * (stride - width * 3)
    data = row * height
    ppm = int(round(dpi / 0.0254))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), ppm, ppm, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) + header + data)


def run(*args, expect=0):
    r = subprocess.run([CLI, "print", *args], capture_output=True, text=True)
    check(r.returncode == expect, "exit %d (wanted %d) for %s: %s" % (r.returncode, expect, args, r.stderr))
    return r


def summary(out):
    """(print w, h, offset x, y, area w, h, area x, y, dpi) from the command's line."""
    m = re.search(r"printed (\d+) x (\d+) dots at (-?\d+),(-?\d+) of a (\d+) x (\d+)-dot printable "
                  r"area at (\d+),(\d+) on the paper, (\d+) x \d+ dpi", out)
    if not m:
        failures.append("no summary in: " + out)
        return None
    return tuple(int(g) for g in m.groups())


def raster(pdf, dpi, page=1, crop=None):
    """The page as (width, height, rgb bytes), pdftoppm at dpi."""
    args = ["pdftoppm", "-r", str(dpi), "-f", str(page), "-l", str(page)]
    if crop:
        args += ["-x", str(crop[0]), "-y", str(crop[1]), "-W", str(crop[2]), "-H", str(crop[3])]
    ppm = subprocess.run(args + [pdf], capture_output=True, check=True).stdout
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
    w, h = int(m.group(1)), int(m.group(2))
    return w, h, ppm[m.end():]


def near(px, colour, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(px, colour))


def colour_pattern(colour, tolerance=40):
    # One byte class per component; the test colours are far enough from
    # white, black and each other that no match straddles two pixels.
    return re.compile(b"".join(b"[\\x%02x-\\x%02x]" % (max(0, c - tolerance), min(255, c + tolerance))
                               for c in colour))


def bbox(img, colour):
    """Bounding box (left, top, right, bottom exclusive) of the colour's pixels."""
    w, _, data = img
    left = top = right = bottom = None
    for m in colour_pattern(colour).finditer(data):
        if m.start() % 3:
            continue
        y, x = divmod(m.start() // 3, w)
        if left is None:
            left, right, top, bottom = x, x, y, y
        left, right, bottom = min(left, x), max(right, x), y
    return (left, top, right + 1, bottom + 1) if left is not None else None


def pixel(img, x, y):
    w, _, data = img
    return tuple(data[(y * w + x) * 3:(y * w + x) * 3 + 3])


def expect_box(box, want, what):
    ok = box is not None and all(abs(a - b) <= 1 for a, b in zip(box, want))
    check(ok, "%s: picture at %s, wanted %s (one dot)" % (what, box, want))


def pages(pdf):
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
    m = re.search(r"Pages:\s+(\d+)", info)
    return int(m.group(1)) if m else 0


def pdf_cases():
    pic = os.path.join(WORK, "red.bmp")          # 1 x 0.5 inch
    write_bmp(pic, 300, 150, RED, 300)
    mark = os.path.join(WORK, "green.bmp")
    write_bmp(mark, 40, 30, GREEN, 96)
    out = os.path.join(WORK, "out.pdf")
    dpi = "100"                                   # one raster pixel per printer dot

    def case(*args):
        s = summary(run(pic, "-o", out, "--dpi", dpi, *args).stdout)
        return s, raster(out, 100) if s else None

    s, img = case()
    if s:
        ax, ay = s[6], s[7]
        expect_box(bbox(img, RED), (ax, ay, ax + 100, ay + 50), "100 %")
        aw, ah = s[4], s[5]
    s, img = case("--scale", "250")
    if s: expect_box(bbox(img, RED), (ax, ay, ax + 250, ay + 125), "250 %")
    s, img = case("--margins", "1,2")
    if s: expect_box(bbox(img, RED), (ax + 100, ay + 200, ax + 200, ay + 250), "margins in inch")
    s, img = case("--margins", "50,20", "--unit", "pixel")
    if s: expect_box(bbox(img, RED), (ax + 50, ay + 20, ax + 150, ay + 70), "margins in dots")
    s, img = case("--center")
    if s:
        x, y = ax + (aw - 100) // 2, ay + (ah - 50) // 2
        expect_box(bbox(img, RED), (x, y, x + 100, y + 50), "centred")
    s, img = case("--fit")
    if s:
        h = aw * 150 // 300
        y = ay + (ah - h) // 2
        expect_box(bbox(img, RED), (ax, y, ax + aw, y + h), "fit in page")

    # Drawn frame: 20 dots given up, the picture 10 dots inside a 1-dot outline.
    s, img = case("--frame", "1", "--margins", "30,40", "--unit", "pixel")
    if s:
        expect_box(bbox(img, RED), (ax + 40, ay + 50, ax + 120, ay + 80), "inside a drawn frame")
        check(sum(pixel(img, ax + 30, ay + 60)) < 500 and sum(pixel(img, ax + 129, ay + 60)) < 500,
              "drawn frame outline at the frame's left and right edges")
        check(pixel(img, ax + 35, ay + 60) == (255, 255, 255), "white between the frame and the picture")

    # Bitmap frame: whole tiles around the picture, the picture centred inside.
    s, img = case("--frame", "6", "--margins", "100,100", "--unit", "pixel")
    if s:
        box = bbox(img, RED)
        check(box is not None and abs(box[2] - box[0] - 80) <= 1 and abs(box[3] - box[1] - 30) <= 1,
              "picture in a bitmap frame gives up 20 dots: %s" % (box,))
        if box:
            # Tiles of 128 and 64-dot borders: the frame spans 128 + 2 x 64 both ways.
            check(pixel(img, ax + 100, ay + 100) != (255, 255, 255), "frame corner at the margins")
            check(pixel(img, ax + 100 + 255, ay + 100 + 255) != (255, 255, 255), "opposite corner")
            check(pixel(img, ax + 100 + 257, ay + 100 + 257) == (255, 255, 255), "nothing beyond the frame")
            check(abs(box[0] - ax - 100 - (256 - 80) // 2) <= 1 and abs(box[1] - ay - 100 - (256 - 30) // 2) <= 1,
                  "picture centred in the bitmap frame: %s" % (box,))

    # Watermark: centred on the printable area, or tiled over all of it.
    s, img = case("--watermark", mark, "--watermark-layout", "center", "--margins", "0,0")
    if s:
        x, y = ax + (aw - 40) // 2, ay + (ah - 30) // 2
        expect_box(bbox(img, GREEN), (x, y, x + 40, y + 30), "centred watermark")
    s, img = case("--watermark", mark)
    if s:
        expect_box(bbox(img, GREEN), (ax, ay, ax + aw, ay + ah), "tiled watermark fills the printable area")
        check(near(pixel(img, ax + 150, ay + 100), GREEN), "the watermark beside the picture")
        check(near(pixel(img, ax + 50, ay + 25), RED), "picture drawn over the watermark")

    # Copies: a PDF makes none itself, so every copy is a page.
    run(pic, "-o", out, "--dpi", dpi, "--copies", "3")
    check(pages(out) == 3, "three copies give three pages, not %d" % pages(out))

    # The physical size does not depend on the printer's resolution: a 300-dpi
    # scan 2480 pixels wide is 210 mm wide.
    wide = os.path.join(WORK, "wide.bmp")
    write_bmp(wide, 2480, 6, RED, 300)
    for printer_dpi in (300, 600, 1200):
        s = summary(run(wide, "-o", out, "--dpi", str(printer_dpi), "--paper", "A3").stdout)
        if not s:
            continue
        ax, ay = s[6], s[7]
        img = raster(out, printer_dpi, crop=(0, 0, ax + s[0] + 20, ay + 40))
        want = 2480 * printer_dpi // 300
        expect_box(bbox(img, RED), (ax, ay, ax + want, ay + 6 * printer_dpi // 300),
                   "2480 px at 300 dpi on a %d-dpi printer" % printer_dpi)
        check(abs(want * 25.4 / printer_dpi - 210) < 0.1, "210 mm")

    # Bad requests fail clearly and write nothing.
    if os.path.exists(out):
        os.remove(out)
    run(pic, "-o", out, "--scale", "5", expect=2)
    run(pic, "-o", out, "--fit", "--scale", "50", expect=2)
    run(pic, expect=2)
    run(os.path.join(WORK, "missing.bmp"), "-o", out, expect=1)
    r = run(wide, "-o", out, "--dpi", "4800", "--scale", "1000", expect=1)
    check("32767" in r.stderr, "an absurd print size is refused with the limit")
    check(not os.path.exists(out), "no PDF from a failed request")
    r = run(pic, "-o", out, "--dpi", dpi, "--watermark", os.path.join(WORK, "nothing.jpg"))
    check("without it" in r.stderr, "a missing watermark prints without it and says so")


def cups_cases(queue):
    names = subprocess.run(["lpstat", "-p"], capture_output=True, text=True).stdout
    if ("printer %s " % queue) not in names:
        print("no CUPS queue named %s: skipped" % queue)
        sys.exit(77)
    pic = os.path.join(WORK, "cups-red.bmp")
    write_bmp(pic, 300, 150, RED, 300)
    out_dirs = [os.path.expanduser("~/PDF"), "/var/spool/cups-pdf/ANONYMOUS"]
    before = {f for d in out_dirs for f in glob.glob(os.path.join(d, "*.pdf"))}
    s = summary(run(pic, "--printer", queue, "--copies", "2", "--margins", "1,1").stdout)
    if not s:
        return
    pdf = None
    for _ in range(120):
        new = [f for d in out_dirs for f in glob.glob(os.path.join(d, "*cups-red*.pdf")) if f not in before]
        if new:
            pdf = new[0]
            size = os.path.getsize(pdf)
            time.sleep(1)
            if os.path.getsize(pdf) == size:
                break
        time.sleep(0.5)
    check(pdf is not None, "cups-pdf wrote the job's PDF")
    if not pdf:
        return
    shutil.copy(pdf, os.path.join(WORK, "cups.pdf"))
    check(pages(pdf) == 2, "two copies through CUPS give two pages, not %d" % pages(pdf))
    dpi = s[8]
    img = raster(pdf, 100)
    ax, ay = s[6] * 100 // dpi, s[7] * 100 // dpi
    box = bbox(img, RED)
    # One inch margins, one inch by half an inch: at 100 dpi, within a dot.
    expect_box(box, (ax + 100, ay + 100, ax + 200, ay + 150), "through CUPS")


os.makedirs(WORK, exist_ok=True)
if MODE == "pdf":
    pdf_cases()
else:
    cups_cases(sys.argv[4])
if failures:
    print("%d check(s) failed" % len(failures))
    sys.exit(1)
print("all print checks passed")
