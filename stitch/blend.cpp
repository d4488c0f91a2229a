// Row blending and the row mapping of a merge segment.
#include <cstring>

#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"

void BlendRow(const std::uint8_t* src, std::uint8_t* dst, int count, int percent, int bytes) {
    if (count <= 0) return;
    if (percent < 0) {
        // A ramp from the source (first pixel) to almost the destination (last).
        for (int j = 0; j < count; ++j) {
            int d = 100 * j / count;
            const std::uint8_t* s = src + std::size_t(j) * bytes;
            std::uint8_t* t = dst + std::size_t(j) * bytes;
            for (int c = 0; c < bytes; ++c) t[c] = std::uint8_t((s[c] * (100 - d) + d * t[c]) / 100);
        }
        return;
    }
    std::size_t n = std::size_t(count) * bytes;
    if (percent == 0) {
        std::memmove(dst, src, n);  // src may be dst shifted by a pixel
        return;
    }
    if (percent >= 100) return;
    // percent is the share the destination keeps. Forward order lets src be
    // dst shifted right by whole pixels.
    int e = percent * 256 / 100;
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = std::uint8_t((src[i] * (256 - e) + e * dst[i]) >> 8);
}

int RowsForSegment(int canvasRows, int restRows, int u) {
    if (canvasRows <= 0) return 0;
    int a = MulDiv(u, restRows, canvasRows);
    int b = MulDiv(u + 1, restRows, canvasRows);
    if (restRows > canvasRows) return b - a;
    return a != b ? 1 : 0;
}
