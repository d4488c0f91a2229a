# Writes one piece (P3) of a textured original: columns x0.. of width w,
# rows y0.. of height h; seed chooses the original.
function noise(x, y, cell,   gx, gy, fx, fy, a, b, c, d) {
    gx = int(x / cell); gy = int(y / cell); fx = (x % cell) / cell; fy = (y % cell) / cell
    a = t[(gx * 31 + gy * 17) % 4096]; b = t[((gx + 1) * 31 + gy * 17) % 4096]
    c = t[(gx * 31 + (gy + 1) * 17) % 4096]; d = t[((gx + 1) * 31 + (gy + 1) * 17) % 4096]
    return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy
}
BEGIN {
    srand(seed); for (i = 0; i < 4096; i++) t[i] = int(rand() * 256)
    printf "P3\n%d %d\n255\n", w, h
    for (y = y0; y < y0 + h; y++) {
        line = ""
        for (x = x0; x < x0 + w; x++) {
            v = int((2 * noise(x, y, 23) + 2 * noise(x + 7, y, 6) + noise(x, y + 3, 3)) / 5)
            if (t[(int(x / 3) * 7 + int(y / 3) * 131) % 4096] < 10) v = int(v / 4)
            line = line sprintf("%d %d %d ", v, int((v + noise(x, y, 13)) / 2), 255 - int(v / 2))
        }
        print line
    }
}
