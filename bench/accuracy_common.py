"""What the accuracy benchmarks share: running a tool with its processor
time, a picture in gray, and the OpenCV stitcher they compare with."""
import resource
import subprocess
import time

import cv2
import numpy as np

MANUAL = "/usr/share/doc/libtasn1-doc/libtasn1.pdf"

# OpenCV's SCANS stitcher over the pictures named after the output file.
CV_SCRIPT = r"""
import sys, cv2
out = sys.argv[1]
s = cv2.Stitcher_create(cv2.Stitcher_SCANS)
status, pano = s.stitch([cv2.imread(p) for p in sys.argv[2:]])
if status != cv2.Stitcher_OK:
    sys.exit(1)
cv2.imwrite(out, pano)
"""

LAST_CPU = [0.0]


def run(cmd):
    """Exit code, wall seconds, message; the command's processor seconds
    (user and system, all its threads) in LAST_CPU[0]: on a machine shared
    with other work the wall time says more about the load than the tool."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    p = subprocess.run(cmd, capture_output=True, text=True)
    wall = time.perf_counter() - t
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    LAST_CPU[0] = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return p.returncode, wall, (p.stderr or "").strip()


def gray(img):
    return cv2.cvtColor(img, cv2.COLOR_BGR2GRAY).astype(np.float32)
