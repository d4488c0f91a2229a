# Scanning end to end under a real X server (Xvfb) with the test backend.
stitchara_xvfb_test(scan_e2e SOURCE acquire/tests/e2e/scan_e2e_qt.cpp SCREEN 1600x1000)
