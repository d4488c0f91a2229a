#!/usr/bin/env python3
"""Stitch accuracy benchmark, called by stitch_accuracy.sh.

Cuts pairs of overlapping pieces from pictures that Debian packages (the
rendered wallpapers of gnome-backgrounds, pages of a manual in PDF rendered
by pdftoppm), the way two scans of one sheet differ: the Rest piece brighter
or darker (gain, gamma, offset), turned by up to half a degree and scaled by
up to half a percent, shifted along the seam, both with a little sensor
noise. Four sides, three sizes (about 1 MP, a letter page at 300 dpi, about
24 MP a pair), overlaps 8-40 %. Every pair is stitched by stitchara-cli Auto,
by Semi-Auto with points 2-4 pixels off, and by OpenCV's SCANS stitcher, each
as a whole command (reading and writing the files included). Each result is
laid on the original: the misregistration is measured patch by patch along
the seam on the Rest side (phase correlation); a pair succeeds when its mean
is at most 1.5 pixels and its worst at most 4 pixels.
Then three pairs that must be refused: no common content, the wrong side,
and a true overlap far above the chosen one (found or refused, never wrong).
Everything is generated from fixed seeds.
"""
import argparse
import glob
import math
import os
import subprocess
import sys

import cv2
import numpy as np

from accuracy_common import CV_SCRIPT, LAST_CPU, MANUAL, gray, run

BACKGROUNDS = "/usr/share/backgrounds/gnome"
SIDES = ["left", "top", "right", "bottom"]
MEAN_LIMIT, WORST_LIMIT = 1.5, 4.0


def render_page(work, page, dpi):
    stem = os.path.join(work, f"page{page}_{dpi}")
    path = stem + ".ppm"
    if not os.path.exists(path):
        subprocess.run(["pdftoppm", "-r", str(dpi), "-f", str(page), "-l", str(page), "-singlefile",
                        MANUAL, stem], check=True)
    return cv2.imread(path)


def render(name):
    return cv2.imread(os.path.join(BACKGROUNDS, name))


# Turning the original so that side Right becomes the given side, and back.
def to_side(img, side):
    if side == "right":
        return img
    if side == "left":
        return cv2.flip(img, 1)
    if side == "top":  # the top edge goes to the right
        return cv2.rotate(img, cv2.ROTATE_90_CLOCKWISE)
    return cv2.rotate(img, cv2.ROTATE_90_COUNTERCLOCKWISE)


def from_side(img, side):
    if side == "right":
        return img
    if side == "left":
        return cv2.flip(img, 1)
    if side == "top":
        return cv2.rotate(img, cv2.ROTATE_90_COUNTERCLOCKWISE)
    return cv2.rotate(img, cv2.ROTATE_90_CLOCKWISE)


def point_from_side(p, w, h, side):
    """A point of a w x h picture in the right-side frame, in the side's frame."""
    x, y = p
    if side == "right":
        return x, y
    if side == "left":
        return w - 1 - x, y
    if side == "top":  # the side frame is the right frame turned counter-clockwise
        return y, w - 1 - x
    return h - 1 - y, x


def make_pair(original, side, overlap_pct, shift, angle, scale, tone, rng):
    """Main and Rest in the side's frame, and the truth in the right-side
    frame: the original turned, Main's place in it, and the map from Rest
    pixels to original pixels."""
    o = to_side(original, side)
    h_o, w_o = o.shape[:2]
    margin = 24
    h = h_o - 2 * margin
    wm = int(w_o / (2 - overlap_pct / 100.0))
    ov = wm * overlap_pct // 100
    wr = min(wm, w_o - (wm - ov))
    main = o[margin:margin + h, 0:wm].copy()
    # Rest pixel (x, y) shows original (A (x - cx, y - cy) + (cx, cy) + b).
    cx, cy = wr / 2.0, h / 2.0
    t = math.radians(angle)
    a = scale * np.array([[math.cos(t), -math.sin(t)], [math.sin(t), math.cos(t)]])
    b = np.array([wm - ov, margin + shift], float)
    off = np.array([cx, cy]) - a @ np.array([cx, cy]) + b
    m = np.hstack([a, off[:, None]])
    rest = cv2.warpAffine(o, m, (wr, h), flags=cv2.INTER_CUBIC | cv2.WARP_INVERSE_MAP,
                          borderMode=cv2.BORDER_REFLECT)
    gain, gamma, offset = tone
    if (gain, gamma, offset) != (1.0, 1.0, 0.0):
        lut = np.clip(255.0 * gain * (np.arange(256) / 255.0) ** gamma + offset, 0, 255)
        rest = cv2.LUT(rest, lut.astype(np.uint8))
    main = cv2.add(main, rng.integers(0, 3, main.shape, dtype=np.uint8))
    rest = cv2.add(rest, rng.integers(0, 3, rest.shape, dtype=np.uint8))
    truth = {"o": o, "main_at": (0, margin), "wm": wm, "ov": ov, "h": h, "rest_map": m}
    return from_side(main, side), from_side(rest, side), truth


def semi_points(truth, side, main_shape, rest_shape, err):
    """A Rest point in the middle of the overlap and where it lies on Main,
    off by err, both in the side's frame."""
    m = truth["rest_map"]
    rx, ry = truth["ov"] // 2, truth["h"] // 2
    ox, oy = m @ np.array([rx, ry, 1.0])
    mx = int(round(ox - truth["main_at"][0] + err[0]))
    my = int(round(oy - truth["main_at"][1] + err[1]))
    wm, hm = truth["wm"], truth["h"]
    wr = rest_shape[1] if side in ("left", "right") else rest_shape[0]
    main_pt = point_from_side((mx, my), wm, hm, side)
    rest_pt = point_from_side((rx, ry), wr, truth["h"], side)
    return main_pt, rest_pt


def locate(result, o, truth):
    """Offset of the result (turned to the right-side frame) on the original:
    a structured patch of Main next to the seam, found in the result."""
    og, rg = gray(o), gray(result)
    # The column of patches nearest the overlap that holds a structured one,
    # further from the seam first, else into the overlap (a page's blank
    # half gives nothing to lay on); else the best one seen.
    best = None
    start = max(0, truth["wm"] - truth["ov"] - 320)
    for x0 in list(range(start, -1, -128)) + list(range(start + 64, truth["wm"] - 255, 64)):
        column = None
        for y in range(truth["main_at"][1] + 64, truth["main_at"][1] + truth["h"] - 320, 96):
            p = og[y:y + 256, x0:x0 + 256]
            if p.shape != (256, 256):
                continue
            s = p.std()
            if column is None or s > column[0]:
                column = (s, x0, y)
        if column is not None and (best is None or column[0] > best[0]):
            best = column
        if best is not None and best[0] >= 12:
            break
    if best is None or rg.shape[0] < 256 or rg.shape[1] < 256:
        return None
    _, px, py = best
    patch = og[py:py + 256, px:px + 256]
    # Both stitchers keep the Main picture about where it was: near its
    # place in the original less the margin above it (a page's repeated
    # lines elsewhere must not be taken for it).
    reach = 160
    ex, ey = px, py - truth["main_at"][1]
    x1, y1 = max(0, ex - reach), max(0, ey - reach)
    region = rg[y1:ey + 256 + reach, x1:ex + 256 + reach]
    if region.shape[0] < 256 or region.shape[1] < 256:
        return None
    fine = cv2.matchTemplate(region, patch, cv2.TM_CCOEFF_NORMED)
    _, score, _, loc = cv2.minMaxLoc(fine)
    if score < 0.5:
        return None
    return x1 + loc[0] - px, y1 + loc[1] - py   # result = original + offset


def misregistration(result_side, side, truth):
    """Displacements of Rest-side patches along the seam, or None when the
    result cannot be laid on the original."""
    result = to_side(result_side, side)
    o = truth["o"]
    at = locate(result, o, truth)
    if at is None:
        return None
    ox, oy = at
    og, rg = gray(o), gray(result)
    win = cv2.createHanningWindow((96, 96), cv2.CV_32F)
    d = []
    top, h, wm = truth["main_at"][1], truth["h"], truth["wm"]
    # Columns of patches just beyond the Main picture's edge (the Rest
    # picture alone there), further in until at least 8 textured ones.
    def textured(x):
        return [y for y in range(top + 48, top + h - 48 - 96, 96)
                if og[y:y + 96, x:x + 96].shape == (96, 96) and og[y:y + 96, x:x + 96].std() >= 6]
    patches = []
    for k in range(6):
        x = wm + 8 + 96 * k
        if k >= 2 and len(patches) >= 8:
            break
        patches += [(x, y) for y in textured(x)]
    for x, y in patches:
        a = og[y:y + 96, x:x + 96]
        yy, xx = y + oy, x + ox
        if yy < 0 or xx < 0 or yy + 96 > rg.shape[0] or xx + 96 > rg.shape[1]:
            d.append(64.0)   # the result does not reach here
            continue
        b = rg[yy:yy + 96, xx:xx + 96]
        if b.std() < 3:
            d.append(64.0)
            continue
        (dx, dy), response = cv2.phaseCorrelate(a, b, win)
        d.append(64.0 if response < 0.05 else float(math.hypot(dx, dy)))
    return np.array(d) if d else None


def build_pairs(work, subset):
    """The pairs: (name, original, side, overlap %, chosen %, shift, angle, scale, tone)."""
    # The wallpapers that are not a regular lattice (stripes and dot grids
    # repeat exactly: no stitcher can tell one period from the next).
    renders = ["licorice-l.webp", "pixels-d.webp", "truchet-l.webp", "adwaita-l.webp",
               "licorice-d.webp", "pixels-l.webp", "truchet-d.webp", "adwaita-d.webp"]
    # Pages whose text runs down the whole page: a Rest piece that holds
    # nothing beyond the overlap cannot be scored.
    pages = [8, 9, 12, 15, 18, 21, 24, 27]
    sizes = {"1MP": None, "page": 300, "24MP": 450}
    kinds = ["exposure", "text", "turned", "plain"]
    rng = np.random.default_rng(16)
    pairs = []
    i = 0
    for size in sizes:
        for s, side in enumerate(SIDES):
            for kind in kinds:
                i += 1
                overlap = [8, 15, 25, 40][(i + s) % 4]
                chosen = min(overlap + 10, 50)
                if i % 8 == 5:
                    chosen = max(8, overlap - 15)   # the true overlap above the chosen one
                shift = int(rng.integers(-8, 9))
                angle, scale, tone = 0.0, 1.0, (1.0, 1.0, 0.0)
                use_page = kind == "text" or (kind != "exposure" and i % 2 == 0)
                if kind == "exposure":
                    tone = (float(rng.uniform(0.8, 1.2)), float(rng.uniform(0.9, 1.1)),
                            float(rng.uniform(-10, 10)))
                if kind == "turned":
                    angle = float(rng.uniform(-0.5, 0.5))
                    scale = 1.0 + float(rng.uniform(-0.005, 0.005))
                if kind == "plain":
                    tone = (1.0, 1.0, float(rng.uniform(-4, 4)))
                src = ("page", pages[i % len(pages)]) if use_page else ("render", renders[i % len(renders)])
                pairs.append(dict(name=f"{size}-{side}-{kind}", size=size, src=src, side=side,
                                  overlap=overlap, chosen=chosen, shift=shift, angle=angle,
                                  scale=scale, tone=tone, seed=i))
    if subset:
        pairs = pairs[::subset]
    return pairs


def original_for(work, pair, cache):
    key = (pair["src"], pair["size"])
    if key in cache:
        return cache[key]
    kind, what = pair["src"]
    if kind == "page":
        dpi = 450 if pair["size"] == "24MP" else 300
        img = render_page(work, what, dpi)
        if pair["size"] == "1MP":
            img = cv2.resize(img, None, fx=0.3, fy=0.3, interpolation=cv2.INTER_AREA)
    else:
        img = render(what)
        target = {"1MP": (1000, 760), "page": (2550, 3300), "24MP": (3720, 4810)}[pair["size"]]
        # A window of the wallpaper at the target's aspect, resampled to it.
        h, w = img.shape[:2]
        aspect = target[0] / target[1]
        cw = min(w, int(h * aspect))
        ch = int(cw / aspect)
        img = cv2.resize(img[(h - ch) // 2:(h - ch) // 2 + ch, (w - cw) // 2:(w - cw) // 2 + cw],
                         target, interpolation=cv2.INTER_CUBIC)
    cache.clear()
    cache[key] = img
    return img


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--subset", type=int, default=0, help="every n-th pair only")
    ap.add_argument("--no-opencv", action="store_true")
    ap.add_argument("--keep", action="store_true", help="keep each pair's files, with its command")
    ap.add_argument("--only", default="", help="pairs whose name contains this")
    args = ap.parse_args()
    py = sys.executable

    pairs = build_pairs(args.work, args.subset)
    if args.only:
        pairs = [p for p in pairs if args.only in p["name"]]
    methods = ["auto", "semi"] + ([] if args.no_opencv else ["opencv"])
    wins = {m: 0 for m in methods}
    refused = {m: 0 for m in methods}
    seconds = {m: 0.0 for m in methods}
    both = {m: 0.0 for m in methods}   # over the pairs OpenCV gives a picture for
    cpu = {m: 0.0 for m in methods}
    both_cpu = {m: 0.0 for m in methods}
    by_kind = {}
    cache = {}
    print(f"{'pair':24} {'MP':>5} {'ov%':>4} {'ch%':>4} {'shift':>5} {'angle':>6} {'scale':>7}  "
          + "  ".join(f"{m:>20}" for m in methods))
    for pair in pairs:
        rng = np.random.default_rng(pair["seed"])
        original = original_for(args.work, pair, cache)
        main_img, rest_img, truth = make_pair(original, pair["side"], pair["overlap"], pair["shift"],
                                              pair["angle"], pair["scale"], pair["tone"], rng)
        mp = (main_img.size + rest_img.size) / 3e6
        stem = pair["name"] + "-" if args.keep else ""
        mpath = os.path.join(args.work, stem + "main.ppm")
        rpath = os.path.join(args.work, stem + "rest.ppm")
        cv2.imwrite(mpath, main_img)
        cv2.imwrite(rpath, rest_img)
        err = [(3, -2), (-2, 4), (4, 3), (-3, -3)][pair["seed"] % 4]
        mpt, rpt = semi_points(truth, pair["side"], main_img.shape, rest_img.shape, err)
        cells = []
        times = {}
        for m in methods:
            out = os.path.join(args.work, f"out_{m}.ppm")
            if os.path.exists(out):
                os.remove(out)
            if m == "opencv":
                rc, t, msg = run([py, "-c", CV_SCRIPT, out, mpath, rpath])
            else:
                cmd = [args.cli, "stitch", mpath, rpath, "-o", out, "--side", pair["side"],
                       "--overlap", str(pair["chosen"]), "--quiet"]
                if m == "semi":
                    cmd += ["--method", "semi", "--main-point", f"{mpt[0]},{mpt[1]}",
                            "--rest-point", f"{rpt[0]},{rpt[1]}"]
                rc, t, msg = run(cmd)
                if args.keep:
                    with open(os.path.join(args.work, stem + m + ".cmd"), "w") as f:
                        f.write(" ".join(cmd) + "\n")
            seconds[m] += t
            cpu[m] += LAST_CPU[0]
            times[m] = (t, rc == 0 and os.path.exists(out), LAST_CPU[0])
            kind = pair["name"].split("-")[-1]
            by_kind.setdefault((m, kind), [0, 0])
            by_kind[(m, kind)][1] += 1
            if rc != 0 or not os.path.exists(out):
                refused[m] += 1
                cells.append(f"{'refused':>13} {t:5.1f}s")
                continue
            d = misregistration(cv2.imread(out), pair["side"], truth)
            if d is None or len(d) < 2:
                cells.append(f"{'lost':>13} {t:5.1f}s")
                continue
            ok = d.mean() <= MEAN_LIMIT and d.max() <= WORST_LIMIT
            wins[m] += ok
            by_kind[(m, kind)][0] += ok
            cells.append(f"{'ok' if ok else 'BAD'} {d.mean():4.2f}/{min(d.max(), 99):5.2f} {t:5.1f}s")
        if "opencv" in times and times["opencv"][1]:
            for m in methods:
                both[m] += times[m][0]
                both_cpu[m] += times[m][2]
        print(f"{pair['name']:24} {mp:5.1f} {pair['overlap']:4} {pair['chosen']:4} {pair['shift']:5} "
              f"{pair['angle']:6.2f} {pair['scale']:7.4f}  " + "  ".join(f"{c:>20}" for c in cells),
              flush=True)

    n = len(pairs)
    print()
    print(f"{'':10} {'succeeded':>12} {'refused':>8} {'time (s)':>9} {'cpu (s)':>8}   by kind")
    for m in methods:
        kinds = "  ".join(f"{k} {by_kind[(m, k)][0]}/{by_kind[(m, k)][1]}"
                          for k in ["exposure", "text", "turned", "plain"] if (m, k) in by_kind)
        print(f"{m:10} {wins[m]:5}/{n:<3} {100.0 * wins[m] / max(n, 1):3.0f}% {refused[m]:8} "
              f"{seconds[m]:9.1f} {cpu[m]:8.1f}   {kinds}")
    if "opencv" in seconds and seconds["auto"] > 0:
        print(f"Auto is {seconds['opencv'] / seconds['auto']:.1f}x faster than OpenCV over the whole command "
              f"(processor time: {cpu['opencv'] / max(cpu['auto'], 1e-9):.1f}x)")
    if "opencv" in both and both["auto"] > 0:
        # OpenCV gives up early on the pairs it refuses: the time it takes
        # for a picture is the fair comparison.
        print(f"over the pairs OpenCV stitched: Auto {both['auto']:.1f} s, OpenCV {both['opencv']:.1f} s, "
              f"{both['opencv'] / both['auto']:.1f}x; processor time Auto {both_cpu['auto']:.1f} s, "
              f"OpenCV {both_cpu['opencv']:.1f} s, {both_cpu['opencv'] / max(both_cpu['auto'], 1e-9):.1f}x")

    # Pairs that must not give a picture (or, for the last, the right one).
    if args.only:
        return
    print()
    cache.clear()
    base = original_for(args.work, dict(src=("render", "licorice-l.webp"), size="page"), cache).copy()
    other = render("truchet-d.webp")
    other = cv2.resize(other, (base.shape[1], base.shape[0]), interpolation=cv2.INTER_AREA)
    rng = np.random.default_rng(99)
    checks = []
    m_img, r_img, truth = make_pair(base, "right", 20, 3, 0, 1, (1, 1, 0), rng)
    _, r_other, _ = make_pair(other, "right", 20, 3, 0, 1, (1, 1, 0), rng)
    checks.append(("no common content", m_img, r_other, "right", 25, None))
    m_b, r_b, _ = make_pair(base, "bottom", 20, 3, 0, 1, (1, 1, 0), rng)
    checks.append(("wrong side (bottom pair, right given)", m_b, r_b, "right", 25, None))
    m_w, r_w, truth_w = make_pair(base, "right", 40, 3, 0, 1, (1, 1, 0), rng)
    checks.append(("overlap 40 % with 15 % chosen", m_w, r_w, "right", 15, truth_w))
    for name, mi, ri, side, chosen, truth in checks:
        mpath = os.path.join(args.work, "main.ppm")
        rpath = os.path.join(args.work, "rest.ppm")
        out = os.path.join(args.work, "out_check.ppm")
        if os.path.exists(out):
            os.remove(out)
        cv2.imwrite(mpath, mi)
        cv2.imwrite(rpath, ri)
        rc, t, msg = run([args.cli, "stitch", mpath, rpath, "-o", out, "--side", side,
                          "--overlap", str(chosen), "--quiet"])
        if rc != 0:
            print(f"{name}: refused (exit {rc}): {msg}")
        elif truth is not None:
            d = misregistration(cv2.imread(out), side, truth)
            good = d is not None and len(d) >= 3 and d.mean() <= MEAN_LIMIT and d.max() <= WORST_LIMIT
            print(f"{name}: found anyway, {'right' if good else 'WRONG'} picture")
        else:
            print(f"{name}: WRONG: exit 0 with a picture")


if __name__ == "__main__":
    main()
