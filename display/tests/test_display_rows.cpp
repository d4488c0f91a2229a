#include <gtest/gtest.h>

#include <algorithm>
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

// The reducer against the block statistics worked out pixel by pixel: uneven
// blocks, blocks taller than one fold of the column sums (256 rows), and
// the fast division, which must give DetailValue's exact quotient.
TEST(DetailReducer, BlocksAgreeWithTheirPixelsAtAnyHeightAndSpread) {
    const int width = 37;
    for (int outputWidth : {1, 5, 37}) {
        for (int rows : {1, 3, 256, 300, 700}) {
            SCOPED_TRACE(testing::Message() << outputWidth << " blocks, " << rows << " rows");
            DetailReducer reducer;
            reducer.SetupSpread(width, outputWidth);
            ASSERT_EQ(reducer.OutputWidth(), outputWidth);
            ASSERT_EQ(reducer.Start(outputWidth), width);
            std::vector<std::uint8_t> picture(std::size_t(rows) * width * 3);
            unsigned seed = unsigned(rows * 7 + outputWidth);
            for (auto& b : picture) b = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
            for (int y = 0; y < rows; ++y) reducer.Add(picture.data() + std::size_t(y) * width * 3);
            std::vector<std::uint8_t> got(std::size_t(outputWidth) * 3);
            reducer.Take(got.data());
            for (int j = 0; j < outputWidth; ++j) {
                ASSERT_LT(reducer.Start(j), reducer.Start(j + 1));
                for (int c = 0; c < 3; ++c) {
                    std::uint64_t sum = 0;
                    int lo = 255, hi = 0;
                    for (int y = 0; y < rows; ++y)
                        for (int x = reducer.Start(j); x < reducer.Start(j + 1); ++x) {
                            const int v = picture[(std::size_t(y) * width + std::size_t(x)) * 3 + std::size_t(c)];
                            sum += unsigned(v), lo = std::min(lo, v), hi = std::max(hi, v);
                        }
                    const std::uint64_t count = std::uint64_t(rows) * unsigned(reducer.Start(j + 1) - reducer.Start(j));
                    EXPECT_EQ(got[std::size_t(j) * 3 + std::size_t(c)], DetailValue(sum, count, lo, hi)) << j << " " << c;
                }
            }
            // The next Take starts afresh.
            std::vector<std::uint8_t> flat(std::size_t(width) * 3, 90);
            reducer.Add(flat.data());
            reducer.Take(got.data());
            EXPECT_EQ(got, std::vector<std::uint8_t>(got.size(), 90));
        }
    }
    // Every sum a block can have, at the counts where rounding is closest.
    for (std::uint64_t count : {1ull, 2ull, 3ull, 9ull, 255ull, 256ull, 4097ull, 32767ull, 32768ull, 32769ull, 1000003ull}) {
        const DetailDivider divide(count);
        for (std::uint64_t sum = 0; sum <= 255 * count; sum += std::max<std::uint64_t>(1, count / 97))
            ASSERT_EQ(divide(sum, 10, 200), DetailValue(sum, count, 10, 200)) << count << " " << sum;
        ASSERT_EQ(divide(255 * count, 255, 255), 255);
    }
}
