#!/usr/bin/env python3
"""Mosaic accuracy benchmark, called by mosaic_accuracy.sh.

Cuts grids of overlapping pieces (1x3, 3x1, 2x2, 2x3, 3x2, 3x3) from pictures
that Debian packages (photos of mate-backgrounds, rendered wallpapers of
gnome-backgrounds, pages of a manual in PDF rendered by pdftoppm), the way
scans of one large sheet differ: each piece turned by up to 0.6 degrees and
scaled by up to 0.4 %, some brighter or darker (gain, gamma, offset), all
with a little sensor noise, some saved as JPEG; overlaps 10-35 %. The pieces
go in shuffled order to stitchara-cli mosaic and to OpenCV's SCANS stitcher,
each as a whole command (reading and writing the files included).

Each result is laid on the original by one similarity (features matched,
then refined on the patches), and the misregistration is measured patch by
patch over the whole picture (phase correlation of 96 x 96 patches); a case
succeeds when the mean is at most 1.5 pixels, the worst at most 4 pixels and
the result covers at least 90 % of the part of the original the pieces were
cut from. Everything is generated from fixed seeds.
"""
import argparse
import math
import os
import subprocess
import sys

import cv2
import numpy as np

from accuracy_common import CV_SCRIPT, LAST_CPU, MANUAL, gray, run

PHOTOS = ["/usr/share/backgrounds/mate/abstract/Elephants_3840x2160.jpg",
          "/usr/share/backgrounds/mate/nature/GreenMeadow.jpg",
          "/usr/share/backgrounds/mate/nature/Wood.jpg",
          "/usr/share/backgrounds/mate/nature/Garden.jpg"]
RENDERS = ["/usr/share/backgrounds/gnome/licorice-l.webp", "/usr/share/backgrounds/gnome/truchet-d.webp",
           "/usr/share/backgrounds/gnome/licorice-d.webp", "/usr/share/backgrounds/gnome/truchet-l.webp"]
PAGES = [8, 12, 15, 18]
LAYOUTS = [(1, 3), (3, 1), (2, 2), (2, 3), (3, 2), (3, 3)]
MEAN_LIMIT, WORST_LIMIT, COVER_LIMIT = 1.5, 4.0, 0.90


def original_for(work, src, size):
    kind, what = src
    if kind == "page":
        stem = os.path.join(work, f"page{what}")
        if not os.path.exists(stem + ".ppm"):
            subprocess.run(["pdftoppm", "-r", "200", "-f", str(what), "-l", str(what), "-singlefile",
                            MANUAL, stem], check=True)
        page = cv2.imread(stem + ".ppm")
        # The printed part of the page and a little margin: a piece of blank
        # margin holds nothing that places it, for any stitcher.
        ys, xs = np.where(cv2.cvtColor(page, cv2.COLOR_BGR2GRAY) < 160)
        y0, y1 = max(0, ys.min() - 50), min(page.shape[0], ys.max() + 50)
        x0, x1 = max(0, xs.min() - 50), min(page.shape[1], xs.max() + 50)
        return page[y0:y1, x0:x1].copy()
    img = cv2.imread(what)
    # A window of the picture at the target's aspect, resampled to it.
    h, w = img.shape[:2]
    aspect = size[0] / size[1]
    cw = min(w, int(h * aspect))
    ch = int(cw / aspect)
    return cv2.resize(img[(h - ch) // 2:(h - ch) // 2 + ch, (w - cw) // 2:(w - cw) // 2 + cw], size,
                      interpolation=cv2.INTER_AREA)


def make_pieces(original, rows, cols, overlap, case, rng):
    """The pieces and, for each, the map from its pixels to the original's."""
    H, W = original.shape[:2]
    margin = 40
    wc, hc = W - 2 * margin, H - 2 * margin
    pw = int(wc / (cols - (cols - 1) * overlap))
    ph = int(hc / (rows - (rows - 1) * overlap))
    pieces, maps = [], []
    for r in range(rows):
        for c in range(cols):
            x0 = margin + c * pw * (1 - overlap) + rng.uniform(-6, 6)
            y0 = margin + r * ph * (1 - overlap) + rng.uniform(-6, 6)
            t = math.radians(rng.uniform(-0.6, 0.6))
            s = 1 + rng.uniform(-0.004, 0.004)
            a = s * np.array([[math.cos(t), -math.sin(t)], [math.sin(t), math.cos(t)]])
            cx, cy = pw / 2.0, ph / 2.0
            off = np.array([x0 + cx, y0 + cy]) - a @ np.array([cx, cy])
            m = np.hstack([a, off[:, None]])
            piece = cv2.warpAffine(original, m, (pw, ph), flags=cv2.INTER_CUBIC | cv2.WARP_INVERSE_MAP,
                                   borderMode=cv2.BORDER_REFLECT)
            if case["exposure"] and (r + c) % 2 == 1:
                gain, gamma, offset = rng.uniform(0.85, 1.15), rng.uniform(0.9, 1.1), rng.uniform(-10, 10)
                lut = np.clip(255.0 * gain * (np.arange(256) / 255.0) ** gamma + offset, 0, 255)
                piece = cv2.LUT(piece, lut.astype(np.uint8))
            piece = cv2.add(piece, rng.integers(0, 3, piece.shape, dtype=np.uint8))
            pieces.append(piece)
            maps.append(m)
    return pieces, maps


def footprint(maps, shape, size):
    mask = np.zeros(shape[:2], np.uint8)
    for m in maps:
        mask |= cv2.warpAffine(np.full((size[1], size[0]), 255, np.uint8), m, (shape[1], shape[0]),
                               flags=cv2.INTER_NEAREST)
    return mask > 0


def score(result, original, union):
    """(mean, worst, coverage) of the result laid on the original, or None."""
    og, rg = gray(original), gray(result)
    sift = cv2.SIFT_create(4000)
    f = 0.5
    ka, da = sift.detectAndCompute(cv2.resize(og, None, fx=f, fy=f).astype(np.uint8), None)
    kb, db = sift.detectAndCompute(cv2.resize(rg, None, fx=f, fy=f).astype(np.uint8), None)
    if da is None or db is None or len(ka) < 8 or len(kb) < 8:
        return None
    matches = cv2.BFMatcher().knnMatch(da, db, k=2)
    good = [m[0] for m in matches if len(m) == 2 and m[0].distance < 0.75 * m[1].distance]
    if len(good) < 8:
        return None
    pa = np.float32([ka[m.queryIdx].pt for m in good]) / f
    pb = np.float32([kb[m.trainIdx].pt for m in good]) / f
    s, _ = cv2.estimateAffinePartial2D(pa, pb, method=cv2.RANSAC, ransacReprojThreshold=3.0)
    if s is None:
        return None
    H, W = og.shape
    back = cv2.warpAffine(rg, s, (W, H), flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP, borderValue=-1)
    valid = cv2.warpAffine(np.ones(rg.shape, np.uint8), s, (W, H), flags=cv2.INTER_NEAREST | cv2.WARP_INVERSE_MAP) > 0
    coverage = float((valid & union).sum()) / max(float(union.sum()), 1.0)
    win = cv2.createHanningWindow((96, 96), cv2.CV_32F)
    points, d = [], []
    ys, xs = np.where(union)
    for y in range(int(ys.min()), int(ys.max()) - 96, 64):
        for x in range(int(xs.min()), int(xs.max()) - 96, 64):
            if not union[y:y + 96, x:x + 96].all():
                continue
            a = og[y:y + 96, x:x + 96]
            if a.std() < 8:
                continue
            if not valid[y + 3:y + 93, x + 3:x + 93].all():   # a pixel's rounding at the edge is no gap
                points.append((x + 48, y + 48))
                d.append((64.0, 64.0))
                continue
            (dx, dy), response = cv2.phaseCorrelate(a, back[y:y + 96, x:x + 96], win)
            points.append((x + 48, y + 48))
            d.append((dx, dy) if response >= 0.05 else (64.0, 64.0))
    if len(d) < 4:
        return None
    p, d = np.array(points, float), np.array(d, float)
    # One similarity over the patches that agree: the pose of the whole,
    # which is no misregistration.
    ok = np.hypot(d[:, 0], d[:, 1]) < 8
    if ok.sum() >= 4:
        corr, _ = cv2.estimateAffinePartial2D(p[ok].astype(np.float32), (p[ok] + d[ok]).astype(np.float32),
                                              method=cv2.LMEDS)
        if corr is not None:
            moved = p @ corr[:, :2].T + corr[:, 2]
            d = np.where(np.hypot(d[:, 0], d[:, 1])[:, None] < 32, p + d - moved, d)
    e = np.hypot(d[:, 0], d[:, 1])
    return float(e.mean()), float(e.max()), coverage


def build_cases():
    rng = np.random.default_rng(25)
    cases = []
    kinds = ["photo", "page", "render", "photo"]
    for li, (rows, cols) in enumerate(LAYOUTS):
        for k, kind in enumerate(kinds):
            i = len(cases)
            if kind == "photo":
                src = ("photo", PHOTOS[(li + k) % len(PHOTOS)])
            elif kind == "page":
                src = ("page", PAGES[li % len(PAGES)])
            else:
                src = ("render", RENDERS[li % len(RENDERS)])
            size = (1800, 1300) if cols >= rows else (1300, 1800)
            cases.append(dict(name=f"{rows}x{cols}-{kind}{k // 3 + 1 if kind == 'photo' else ''}",
                              rows=rows, cols=cols, src=src, size=size,
                              overlap=float(rng.uniform(0.10, 0.35)), exposure=i % 2 == 0,
                              jpeg=i % 3 == 1, seed=100 + i))
    return cases


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--no-opencv", action="store_true")
    ap.add_argument("--only", default="", help="cases whose name contains this")
    ap.add_argument("--keep", action="store_true", help="keep the results (mosaic_NAME_TOOL.png)")
    args = ap.parse_args()
    py = sys.executable

    cases = [c for c in build_cases() if args.only in c["name"]]
    tools = ["stitchara"] + ([] if args.no_opencv else ["opencv"])
    wins = {t: 0 for t in tools}
    refused = {t: 0 for t in tools}
    seconds = {t: 0.0 for t in tools}
    cpu = {t: 0.0 for t in tools}
    both = {t: 0.0 for t in tools}
    both_cpu = {t: 0.0 for t in tools}
    both_cases = 0
    print(f"{'case':18} {'pieces':>6} {'ov%':>4} {'exp':>3} {'jpg':>3}  "
          + "  ".join(f"{t:>32}" for t in tools))
    for case in cases:
        rng = np.random.default_rng(case["seed"])
        original = original_for(args.work, case["src"], case["size"])
        pieces, maps = make_pieces(original, case["rows"], case["cols"], case["overlap"], case, rng)
        size = (pieces[0].shape[1], pieces[0].shape[0])
        union = footprint(maps, original.shape, size)
        paths = []
        order = rng.permutation(len(pieces))
        for n, k in enumerate(order):
            ext = "jpg" if case["jpeg"] else "ppm"
            path = os.path.join(args.work, f"piece{n}.{ext}")
            if case["jpeg"]:
                cv2.imwrite(path, pieces[k], [cv2.IMWRITE_JPEG_QUALITY, 90])
            else:
                cv2.imwrite(path, pieces[k])
            paths.append(path)
        cells, results = [], {}
        for t in tools:
            out = os.path.join(args.work, f"out_{t}.ppm")
            if os.path.exists(out):
                os.remove(out)
            if t == "opencv":
                rc, wall, msg = run([py, "-c", CV_SCRIPT, out] + paths)
            else:
                rc, wall, msg = run([args.cli, "mosaic"] + paths + ["-o", out, "--quiet"])
            seconds[t] += wall
            cpu[t] += LAST_CPU[0]
            results[t] = (rc == 0 and os.path.exists(out), wall, LAST_CPU[0])
            if rc != 0 or not os.path.exists(out):
                refused[t] += 1
                cells.append(f"{'refused':>22} {wall:6.1f}s")
                continue
            result = cv2.imread(out)
            if args.keep:
                cv2.imwrite(os.path.join(args.work, f"mosaic_{case['name']}_{t}.png"), result)
            s = score(result, original, union)
            if s is None:
                cells.append(f"{'lost':>22} {wall:6.1f}s")
                continue
            mean, worst, cover = s
            ok = mean <= MEAN_LIMIT and worst <= WORST_LIMIT and cover >= COVER_LIMIT
            wins[t] += ok
            cells.append(f"{'ok ' if ok else 'BAD'} {mean:5.2f}/{min(worst, 99):5.2f} {100 * cover:3.0f}% "
                         f"{wall:6.1f}s")
        if all(results[t][0] for t in tools) and len(tools) > 1:
            both_cases += 1
            for t in tools:
                both[t] += results[t][1]
                both_cpu[t] += results[t][2]
        print(f"{case['name']:18} {len(pieces):6} {100 * case['overlap']:4.0f} "
              f"{'yes' if case['exposure'] else 'no':>3} {'yes' if case['jpeg'] else 'no':>3}  "
              + "  ".join(f"{c:>32}" for c in cells), flush=True)
    n = len(cases)
    print()
    print("cell: verdict, mean/worst misregistration in pixels, coverage, wall time")
    print(f"{'':10} {'succeeded':>12} {'refused':>8} {'time (s)':>9} {'cpu (s)':>8}")
    for t in tools:
        print(f"{t:10} {wins[t]:5}/{n:<3} {100.0 * wins[t] / max(n, 1):3.0f}% {refused[t]:8} "
              f"{seconds[t]:9.1f} {cpu[t]:8.1f}")
    if both_cases and both["stitchara"] > 0:
        print(f"over the {both_cases} cases both join: stitchara {both['stitchara']:.1f} s "
              f"({both_cpu['stitchara']:.1f} s processor), OpenCV {both['opencv']:.1f} s "
              f"({both_cpu['opencv']:.1f} s processor): stitchara is "
              f"{both['opencv'] / both['stitchara']:.1f}x faster "
              f"({both_cpu['opencv'] / max(both_cpu['stitchara'], 1e-9):.1f}x in processor time)")


if __name__ == "__main__":
    main()
