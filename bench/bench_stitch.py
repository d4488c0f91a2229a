#!/usr/bin/env python3
"""Side-by-side stitch benchmark, called by bench_stitch.sh.

An A4 page at 300 dpi is the scanner's bed; the original is a map sheet
2480 * 2 - 20 % wide, cut into two 2480 x 3508 pieces that overlap by
20 % of their width, the right piece 3 rows lower. Both stitchers get the two
pieces; each result is located in the original and its misregistration is
measured patch by patch (phase correlation, sub-pixel).
"""
import argparse
import os
import subprocess
import sys
import time

import cv2
import numpy as np

W, H = 2480, 3508
OVERLAP = W * 20 // 100
SHIFT = 3


def smooth_noise(rng, shape, cell):
    h, w = shape
    grid = rng.random((h // cell + 3, w // cell + 3)).astype(np.float32)
    return cv2.resize(grid, (w + 3 * cell, h + 3 * cell), interpolation=cv2.INTER_CUBIC)[:h, :w]


def make_page(rng):
    """A printed map sheet: tinted terrain with contour lines, rivers, roads,
    a grid, woods and lettering, with a little scanner noise."""
    width, height = 2 * W - OVERLAP, H + SHIFT
    e = (0.55 * smooth_noise(rng, (height, width), 700) + 0.3 * smooth_noise(rng, (height, width), 260)
         + 0.15 * smooth_noise(rng, (height, width), 90))
    tints = np.array([(227, 206, 166), (138, 223, 178), (160, 235, 222), (170, 222, 245),
                      (135, 184, 222), (120, 160, 200)], np.uint8)  # blue, green, red
    level = np.clip(((e - e.min()) / (e.max() - e.min()) * 6).astype(int), 0, 5)
    page = tints[level]
    band = (e / 0.012).astype(np.int32)
    edge = (band != np.roll(band, 1, axis=1)) | (band != np.roll(band, 1, axis=0))
    page[edge] = (page[edge] * 0.55).astype(np.uint8)
    woods = (e > np.median(e)) & (rng.random((height, width)) < 0.03)
    page[cv2.dilate(woods.astype(np.uint8), np.ones((3, 3), np.uint8)) > 0] = (40, 100, 30)
    for _ in range(25):  # roads and rivers
        pts = np.cumsum(rng.normal(0, 60, (40, 2)), axis=0) + rng.integers(0, [width, height])
        colour = (200, 110, 40) if rng.random() < 0.3 else (30, 40, 200)
        cv2.polylines(page, [pts.astype(np.int32)], False, colour, int(rng.integers(2, 7)), cv2.LINE_AA)
    page[::300, :] //= 2  # grid
    page[:, ::300] //= 2
    for _ in range(400):  # lettering
        org = (int(rng.integers(0, width - 200)), int(rng.integers(40, height)))
        word = "".join(chr(int(c)) for c in rng.integers(65, 91, int(rng.integers(3, 9))))
        cv2.putText(page, word, org, cv2.FONT_HERSHEY_SIMPLEX, float(rng.uniform(0.8, 2.0)),
                    (20, 20, 20), int(rng.integers(1, 4)), cv2.LINE_AA)
    return cv2.add(page, rng.integers(0, 4, page.shape, dtype=np.uint8))


def locate(result, original):
    """Integer offset of the result's centre patch in the original."""
    h, w = result.shape[:2]
    ph, pw = min(400, h // 3), min(400, w // 3)
    y, x = h // 2 - ph // 2, w // 2 - pw // 2
    patch = cv2.cvtColor(result[y:y + ph, x:x + pw], cv2.COLOR_BGR2GRAY)
    gray = cv2.cvtColor(original, cv2.COLOR_BGR2GRAY)
    score = cv2.matchTemplate(gray, patch, cv2.TM_SQDIFF)
    _, _, loc, _ = cv2.minMaxLoc(score)
    return loc[0] - x, loc[1] - y


def misregistration(result, original, seam_x):
    """Displacements (pixels) of textured 128 x 128 patches of the result
    against the original at the global offset; all patches and those right
    of the seam (the warped Rest part)."""
    ox, oy = locate(result, original)
    rg = cv2.cvtColor(result, cv2.COLOR_BGR2GRAY).astype(np.float32)
    og = cv2.cvtColor(original, cv2.COLOR_BGR2GRAY).astype(np.float32)
    win = cv2.createHanningWindow((128, 128), cv2.CV_32F)
    all_d, rest_d, missing = [], [], 0
    for y in range(64, result.shape[0] - 192, 160):
        for x in range(64, result.shape[1] - 192, 160):
            a = rg[y:y + 128, x:x + 128]
            if a.std() < 12:
                continue
            yy, xx = y + oy, x + ox
            if yy < 0 or xx < 0 or yy + 128 > og.shape[0] or xx + 128 > og.shape[1]:
                missing += 1
                continue
            b = og[yy:yy + 128, xx:xx + 128]
            (dx, dy), response = cv2.phaseCorrelate(b, a, win)
            if response < 0.05:
                d = 64.0  # nothing alike: count as lost
            else:
                d = float(np.hypot(dx, dy))
            all_d.append(d)
            if x + ox > seam_x:
                rest_d.append(d)
    return (ox, oy), np.array(all_d), np.array(rest_d), missing


def report(name, seconds, result, original):
    if result is None:
        print(f"{name:>10}: failed after {seconds:.2f} s")
        return
    offset, d, rest_d, missing = misregistration(result, original, W - OVERLAP)
    print(f"{name:>10}: {seconds:6.2f} s  result {result.shape[1]} x {result.shape[0]}  "
          f"offset {offset}  misregistration over {len(d)} patches: "
          f"mean {d.mean():.3f} px, max {d.max():.3f} px; Rest side mean {rest_d.mean():.3f} px, "
          f"max {rest_d.max():.3f} px; patches outside the original {missing}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()

    rng = np.random.default_rng(2026)
    original = make_page(rng)
    main_piece = original[0:H, 0:W].copy()
    rest_piece = original[SHIFT:SHIFT + H, W - OVERLAP:2 * W - OVERLAP].copy()
    main_path = os.path.join(args.work, "main.ppm")
    rest_path = os.path.join(args.work, "rest.ppm")
    out_path = os.path.join(args.work, "stitched.ppm")
    cv2.imwrite(main_path, main_piece)
    cv2.imwrite(rest_path, rest_piece)
    print(f"pair: two {W} x {H} 24-bit pictures, overlap {OVERLAP} px (20 %), Rest {SHIFT} rows lower")

    # stitchara-cli Auto, end to end (reading and writing uncompressed files included)
    best = None
    for _ in range(args.runs):
        t = time.perf_counter()
        rc = subprocess.run([args.cli, "stitch", main_path, rest_path, "-o", out_path, "--method",
                             "auto", "--side", "right", "--overlap", "25", "--quiet"]).returncode
        t = time.perf_counter() - t
        if rc != 0:
            print("stitchara-cli failed", file=sys.stderr)
            best = None
            break
        best = t if best is None else min(best, t)
    ours = cv2.imread(out_path) if best is not None else None
    report("stitchara", best or 0.0, ours, original)

    # OpenCV, stitching only (pictures already in memory). With its default
    # registration resolution (0.6 Mpx) it may find too few matches on a
    # page this size; the resolution is then raised until it succeeds.
    best_cv, pano, used = None, None, None
    for resol in (0.6, 1.0, 1.5, 3.0):
        stitcher = cv2.Stitcher_create(cv2.Stitcher_SCANS)
        stitcher.setRegistrationResol(resol)
        status, result = stitcher.stitch([main_piece, rest_piece])
        if status == cv2.Stitcher_OK:
            used = resol
            break
        print(f"OpenCV SCANS at registration resolution {resol} Mpx: status {status}")
    if used is not None:
        for _ in range(args.runs):
            stitcher = cv2.Stitcher_create(cv2.Stitcher_SCANS)
            stitcher.setRegistrationResol(used)
            t = time.perf_counter()
            status, result = stitcher.stitch([main_piece, rest_piece])
            t = time.perf_counter() - t
            if status == cv2.Stitcher_OK:
                pano = result
                best_cv = t if best_cv is None else min(best_cv, t)
        print(f"OpenCV SCANS registration resolution: {used} Mpx")
    report("OpenCV", best_cv or 0.0, pano, original)
    if best and best_cv:
        print(f"speed-up: {best_cv / best:.1f}x (best of {args.runs} runs each)")


if __name__ == "__main__":
    main()
