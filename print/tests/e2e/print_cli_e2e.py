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


CUPS_PDF_DIRS = [os.path.expanduser("~/PDF"), "/var/spool/cups-pdf/ANONYMOUS"]


def require_queue(queue):
    names = subprocess.run(["lpstat", "-p"], capture_output=True, text=True).stdout
    if ("printer %s " % queue) not in names:
        print("no CUPS queue named %s: skipped" % queue)
        sys.exit(77)


def cups_pdfs():
    return {f for d in CUPS_PDF_DIRS for f in glob.glob(os.path.join(d, "*.pdf"))}


def wait_for_cups_pdf(name, before, seconds=60):
    """The PDF cups-pdf writes for a job whose title holds name, once it stops growing."""
    pdf = None
    for _ in range(seconds * 2):
        new = [f for d in CUPS_PDF_DIRS for f in glob.glob(os.path.join(d, "*%s*.pdf" % name))
               if f not in before]
        if new:
            pdf = new[0]
            size = os.path.getsize(pdf)
            time.sleep(1)
            if os.path.getsize(pdf) == size:
                break
        time.sleep(0.5)
    check(pdf is not None, "cups-pdf wrote the job's PDF")
    return pdf


def cups_cases(queue):
    require_queue(queue)
    pic = os.path.join(WORK, "cups-red.bmp")
    write_bmp(pic, 300, 150, RED, 300)
    before = cups_pdfs()
    s = summary(run(pic, "--printer", queue, "--copies", "2", "--margins", "1,1").stdout)
    if not s:
        return
    pdf = wait_for_cups_pdf("cups-red", before)
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


# Posters: pictures whose every pixel tells its place, so that a sheet's
# page can be compared with the picture wherever the sheet lies.
def poster_row_maker(width):
    """row(y) -> the picture's row y as RGB bytes: red x mod 256, green y mod
    256, blue the 256-dot block (x / 256 + 20 (y / 256)) mod 256."""
    reds = bytes(x & 255 for x in range(width))
    blocks = {}

    def row(y):
        block = blocks.get(y >> 8)
        if block is None:
            block = bytearray(width * 3)
            block[0::3] = reds
            block[2::3] = bytes(((x >> 8) + 20 * (y >> 8)) & 255 for x in range(width))
            blocks[y >> 8] = block
        r = bytearray(block)
        r[1::3] = bytes((y & 255,)) * width
        return r
    return row


def write_poster_bmp(path, width, height, dpi):
    row = poster_row_maker(width)
    stride = (width * 3 + 3) & ~3
    pad = b"\0" * (stride - width * 3)
    ppm = int(round(dpi / 0.0254))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height, ppm, ppm, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + stride * height, 0, 0, 54) + header)
        for y in range(height - 1, -1, -1):
            rgb = row(y)
            bgr = bytearray(rgb)
            bgr[0::3], bgr[2::3] = rgb[2::3], rgb[0::3]
            f.write(bgr)
            f.write(pad)


def poster_summary(out):
    """The grid and the sheets the command reports."""
    m = re.search(r"poster of (\d+) x (\d+) dots: (\d+) x (\d+) sheets? \((\w+)\), overlap \S+ mm = "
                  r"(\d+) x (\d+) dots; a (\d+) x (\d+)-dot printable area at (\d+),(\d+) on the paper, "
                  r"(\d+) x \d+ dpi", out)
    if not m:
        failures.append("no poster summary in: " + out)
        return None
    g = m.groups()
    info = dict(width=int(g[0]), height=int(g[1]), columns=int(g[2]), rows=int(g[3]), orientation=g[4],
                overlap=(int(g[5]), int(g[6])), area=(int(g[7]), int(g[8])), at=(int(g[9]), int(g[10])),
                dpi=int(g[11]), sheets=[])
    for s in re.finditer(r"sheet ([A-Z]+)(\d+): poster dots (\d+),(\d+) to (\d+),(\d+) at (\d+),(\d+)", out):
        info["sheets"].append(dict(name=s.group(1) + s.group(2), part=tuple(int(v) for v in s.groups()[2:6]),
                                   x=int(s.group(7)), y=int(s.group(8))))
    check(len(info["sheets"]) == info["columns"] * info["rows"], "one line per sheet")
    return info


def fewest_sheets(width, height, area, overlap, strip=0):
    """Sheets the poster needs at best, worked out here on its own."""
    def parts(length, room):
        return 1 if length <= room else -(-(length - overlap) // (room - overlap))
    w, h = area[0] - 2 * strip, area[1] - 2 * strip
    return min(parts(width, w) * parts(height, h), parts(width, h) * parts(height, w))


def assemble_poster(pdf, info, row, width, height):
    """Lays the pages side by side by their grid and overlaps alone and
    compares them with the picture: every dot within one level, the sheets
    within one dot of where they belong."""
    cols, rows, sheets = info["columns"], info["rows"], info["sheets"]
    ox, oy = info["overlap"]
    check(pages(pdf) == cols * rows, "%d pages for %d x %d sheets, not %d" % (cols * rows, cols, rows, pages(pdf)))
    # Where each column and row of sheets starts on the poster: the widths of
    # the parts less the overlaps, from the left and top.
    widths = [sheets[c]["part"][2] - sheets[c]["part"][0] for c in range(cols)]
    heights = [sheets[r * cols]["part"][3] - sheets[r * cols]["part"][1] for r in range(rows)]
    xs, ys = [0], [0]
    for w in widths:
        xs.append(xs[-1] + w - ox)
    for h in heights:
        ys.append(ys[-1] + h - oy)
    check(xs[cols] + ox == width and ys[rows] + oy == height,
          "the sheets side by side span the picture: %d x %d for %d x %d" % (xs[cols] + ox, ys[rows] + oy, width, height))
    ax, ay = info["at"]
    for i, s in enumerate(sheets):
        r, c = divmod(i, cols)
        check(s["name"] == "%s%d" % (chr(ord("A") + c), r + 1), "sheet %d is %s" % (i, s["name"]))
        check(s["part"][:2] == (xs[c], ys[r]), "sheet %s lies where the overlaps put it" % s["name"])
        compare_sheet(pdf, info, i, xs[c], ys[r], widths[c], heights[r], row, width, height)


def compare_sheet(pdf, info, page, x0, y0, w, h, row, width, height):
    """The page's part against the picture's w x h dots from (x0, y0): every
    page dot shows the picture within one dot of its place (a reader may
    stretch a band by a dot, blending neighbours) and within one level: the
    dot equals a picture dot at most one dot away, or each of its levels lies
    within one of the levels around its place."""
    s = info["sheets"][page]
    ax, ay = info["at"]
    iw, ih, data = raster(pdf, info["dpi"], page=page + 1, crop=(ax + s["x"], ay + s["y"], w, h))
    if (iw, ih) != (w, h):
        check(False, "sheet %s: page too small for its part" % s["name"])
        return
    cache = {}

    def picture_row(y):
        y = min(max(y, 0), height - 1)
        if y not in cache:
            if len(cache) > 4:
                cache.clear()
            cache[y] = bytes(row(y))
        return cache[y]

    def dot_fits(j, k):
        got = data[(j * w + k) * 3:(j * w + k) * 3 + 3]
        x, y = x0 + k, y0 + j
        around = [picture_row(y + dy)[3 * xx:3 * xx + 3] for dy in (-1, 0, 1)
                  for xx in (x - 1, x, x + 1) if 0 <= xx < width]
        if got in around:
            return True
        return all(min(a[c] for a in around) - 1 <= got[c] <= max(a[c] for a in around) + 1 for c in range(3))

    shifts = [(0, 0), (-1, 0), (1, 0), (0, -1), (0, 1), (-1, -1), (1, -1), (-1, 1), (1, 1)]
    chunk = 16
    bad_rows, first_bad = 0, None
    for j in range(h):
        line = data[j * w * 3:(j + 1) * w * 3]
        rows = {dy: picture_row(y0 + j + dy) for dy in (-1, 0, 1)}
        good = 0
        row_bad = False
        for k in range(0, w, chunk):
            n = min(chunk, w - k)
            got = line[3 * k:3 * (k + n)]
            matched = False
            for t in range(len(shifts)):
                dx, dy = shifts[(good + t) % len(shifts)]
                a = 3 * (x0 + k + dx)
                if a >= 0 and a + 3 * n <= 3 * width and rows[dy][a:a + 3 * n] == got:
                    good = (good + t) % len(shifts)
                    matched = True
                    break
            if not matched and not all(dot_fits(j, k + i) for i in range(n)):
                row_bad = True
                if first_bad is None:
                    first_bad = (j, k)
        bad_rows += row_bad
    check(bad_rows == 0, "sheet %s gives back its part of the picture (%d rows differ, first at %s)"
          % (s["name"], bad_rows, first_bad))


def poster_pdf_cases():
    # An A2 scan at 300 dpi on A4 at the usual 10 mm overlap: the fewest
    # sheets either way round, and the pages give back the picture.
    a2 = os.path.join(WORK, "a2.bmp")
    row = poster_row_maker(4960)
    write_poster_bmp(a2, 4960, 7016, 300)
    out = os.path.join(WORK, "poster.pdf")
    r = run(a2, "-o", out, "--dpi", "300", "--paper", "A4", "--poster")
    info = poster_summary(r.stdout)
    if info:
        check(info["width"] == 4960 and info["height"] == 7016, "the poster is the print at 100 %")
        check(info["overlap"] == (118, 118), "10 mm overlap at 300 dpi")
        best = fewest_sheets(4960, 7016, info["area"], 118)
        check(info["columns"] * info["rows"] == best, "fewest sheets: %d, not %d" % (best, info["columns"] * info["rows"]))
        assemble_poster(out, info, row, 4960, 7016)

    # Marks and labels lie in the margin strips; the picture stays whole.
    small = os.path.join(WORK, "small.bmp")
    srow = poster_row_maker(1300)
    write_poster_bmp(small, 1300, 1000, 300)
    r = run(small, "-o", out, "--dpi", "300", "--paper", "A6", "--poster", "--overlap", "5",
            "--marks", "--labels", "--portrait")
    info = poster_summary(r.stdout)
    if info:
        check(info["orientation"] == "portrait", "the orientation given is kept")
        strip = 71  # 6 mm at 300 dpi
        check(info["sheets"][0]["x"] == strip, "the part starts inside the strip")
        check(info["at"] == (0, 0), "a PDF poster uses the whole sheet")
        check(info["columns"] * info["rows"] == fewest_sheets(1300, 1000, info["area"], 59, strip) or
              info["columns"] * info["rows"] > 1, "several sheets")
        assemble_poster(out, info, srow, 1300, 1000)
        text = subprocess.run(["pdftotext", out, "-"], capture_output=True, text=True).stdout
        cols, rows = info["columns"], info["rows"]
        label = "B1 \u2014 row 1 of %d, column 2 of %d" % (rows, cols)
        check(label in text, "the label '%s' is printed: %r" % (label, text[:200]))
        # A1's cut marks: below its part, where B1's part begins.
        a1, b1 = info["sheets"][0], info["sheets"][1]
        ax, ay = info["at"]
        edge = a1["x"] + b1["part"][0]
        img = raster(out, 300, page=1)
        below = a1["y"] + a1["part"][3] - a1["part"][1] + strip // 2
        check(sum(pixel(img, ax + edge, ay + below)) < 100, "a cut mark under A1 where B1 begins")
        check(pixel(img, ax + edge + 20, ay + below) == (255, 255, 255), "nothing else in the strip there")

    # Bad requests: a clear message and no PDF.
    os.remove(out)
    r = run(small, "-o", out, "--dpi", "300", "--paper", "A6", "--poster", "--overlap", "60", expect=1)
    check("overlap" in r.stderr, "an overlap over half the sheet is refused: " + r.stderr)
    r = run(small, "-o", out, "--dpi", "600", "--paper", "A7", "--poster", "--scale", "1000", expect=1)
    m = re.search(r"needs (\d+) sheets", r.stderr)
    check(m is not None and int(m.group(1)) > 100, "more than 100 sheets refused with the count: " + r.stderr)
    one = os.path.join(WORK, "one.bmp")
    write_bmp(one, 1, 1, RED, 300)
    r = run(one, "-o", out, "--poster", expect=1)
    check("one pixel" in r.stderr, "a picture of one pixel is refused: " + r.stderr)
    run(small, "-o", out, "--overlap", "5", expect=2)
    run(small, "-o", out, "--poster", "--fit", expect=2)
    check(not os.path.exists(out), "no PDF from a refused poster")


def poster_cups_cases(queue):
    # An A2 scan at 300 dpi through cups-pdf, whose A4 pages print to the
    # edge, without an overlap: A4 is 595 points wide, 2479 dots, two short
    # of half the scan, so the fewest sheets are six.
    require_queue(queue)
    a2 = os.path.join(WORK, "cups-poster.bmp")
    row = poster_row_maker(4960)
    write_poster_bmp(a2, 4960, 7016, 300)
    before = cups_pdfs()
    r = run(a2, "--printer", queue, "--dpi", "300", "--paper", "A4", "--poster", "--overlap", "0", "--portrait")
    info = poster_summary(r.stdout)
    if not info:
        return
    check(info["at"] == (0, 0), "a poster uses the whole sheet the printer can print on")
    check(info["columns"] * info["rows"] == fewest_sheets(4960, 7016, info["area"], 0), "fewest sheets")
    pdf = wait_for_cups_pdf("cups-poster", before, 180)
    if pdf:
        shutil.copy(pdf, os.path.join(WORK, "cups-poster.pdf"))
        assemble_poster(pdf, info, row, 4960, 7016)

os.makedirs(WORK, exist_ok=True)
if MODE == "pdf":
    pdf_cases()
elif MODE == "cups":
    cups_cases(sys.argv[4])
elif MODE == "poster-pdf":
    poster_pdf_cases()
else:
    poster_cups_cases(sys.argv[4])
if failures:
    print("%d check(s) failed" % len(failures))
    sys.exit(1)
print("all print checks passed")
