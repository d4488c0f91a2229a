#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "display/display_rows.h"

using namespace display;

TEST(DisplayDiffusion, PaletteColoursPassUnchangedAndGrayKeepsItsMean) {
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        DisplayDiffusion d;
        ASSERT_TRUE(d.Setup(bits));
        // Every palette colour alone on a row maps to itself with no error
        // left (the 256-colour palette has entries its cells do not reach).
        for (int i = 0; bits < 8 && i < d.Colours(); ++i) {
            const std::uint8_t* c = d.PaletteRgb() + 3 * i;
            std::vector<std::uint8_t> bgr;
            for (int k = 0; k < 7; ++k) bgr.insert(bgr.end(), {c[2], c[1], c[0]});
            std::vector<std::uint8_t> out(7);
            d.Reset();
            d.Row(bgr.data(), 7, out.data());
            for (std::uint8_t o : out) {
                const std::uint8_t* got = d.PaletteRgb() + 3 * o;
                EXPECT_EQ(got[0], c[0]);
                EXPECT_EQ(got[1], c[1]);
                EXPECT_EQ(got[2], c[2]);
            }
        }
        // A flat gray between palette levels comes out with the same mean
        // brightness over an area (the errors are carried, not dropped).
        const int w = 64, h = 64, level = 100;
        std::vector<std::uint8_t> bgr(3 * w, std::uint8_t(level)), out(w);
        d.Reset();
        long sum = 0;
        for (int y = 0; y < h; ++y) {
            d.Row(bgr.data(), w, out.data());
            for (std::uint8_t o : out) sum += d.PaletteRgb()[3 * o + 1];
        }
        EXPECT_NEAR(double(sum) / (w * h), level, 3.0);
    }
}

TEST(DisplayRows, RowToBgrReadsEveryDepth) {
    RgbQuad table[4] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {10, 11, 12, 0}};
    std::uint8_t bgr[3 * 8];
    const std::uint8_t mono[] = {0x40};  // pixel 1 set
    RowToBgr(1, mono, 3, table, 2, bgr);
    EXPECT_EQ(bgr[0], 1);
    EXPECT_EQ(bgr[3], 4);
    const std::uint8_t nibbles[] = {0x32};
    RowToBgr(4, nibbles, 2, table, 3, bgr);
    EXPECT_EQ(bgr[0], 0);  // index 3 beyond the table's three colours: black
    EXPECT_EQ(bgr[3], 7);
    const std::uint8_t x555[] = {0x1F, 0x7C};  // red 31, green 0, blue 31
    RowToBgr(16, x555, 1, nullptr, 0, bgr);
    EXPECT_EQ(bgr[0], 255);
    EXPECT_EQ(bgr[1], 0);
    EXPECT_EQ(bgr[2], 255);
    std::uint8_t packed[2] = {0, 0};
    CopyPackedPixel(4, nibbles, 0, packed, 3);
    EXPECT_EQ(packed[1], 0x03);
    CopyPackedPixel(1, mono, 1, packed, 0);
    EXPECT_EQ(packed[0], 0x80);
}
