// Every writable format gives back what it was given: pixels (JPEG nearly),
// depth, palette and resolution.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/imflib/tests/support.h"

using namespace imftest;

namespace {

struct Case {
    const char* ext;
    int bits;           // written
    int expectBits;     // read back
    bool gray;          // table is a gray ramp
    bool keepsPpm;
};

std::string Name(const Case& c) {
    return std::string(c.ext) + "_" + std::to_string(c.bits) + (c.gray ? "_gray" : "");
}

// tolerance 0: exact; otherwise the mean difference per sample.
void ExpectSameColours(const MemoryDib& a, const MemoryDib& b, int tolerance) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    long sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            const std::uint32_t p = a.Colour(x, y), q = b.Colour(x, y);
            for (int s = 0; s < 24; s += 8)
                sum += std::abs(int((p >> s) & 255) - int((q >> s) & 255));
            if (tolerance == 0 && p != q) {
                ADD_FAILURE() << "pixel " << x << "," << y << std::hex << " " << p << " != " << q;
                return;
            }
        }
    EXPECT_LE(sum / (3L * a.Width() * a.Height()), tolerance);
}

// Gradients, which a lossy codec keeps close.
void SmoothPattern(MemoryDib& d) {
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width(); ++x) {
            std::uint8_t* r = d.Row(y);
            const int v = x * 255 / d.Width();
            if (d.Bits() == 24) {
                r[3 * x] = std::uint8_t(v);
                r[3 * x + 1] = std::uint8_t(y * 255 / d.Height());
                r[3 * x + 2] = 128;
            } else if (d.Bits() == 8) {
                r[x] = std::uint8_t(v);
            } else if (d.Bits() == 4) {
                const int i = x * 16 / d.Width();
                r[x / 2] = std::uint8_t((x & 1) ? (r[x / 2] & 0xF0) | i : (r[x / 2] & 0x0F) | (i << 4));
            }
        }
    if (d.Bits() == 4 && d.Table()[1].red != 17)
        for (int i = 0; i < 16; ++i) d.Table()[i] = RgbQuad{std::uint8_t(i * 16), 100, std::uint8_t(255 - i * 16), 0};
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, KeepsPixelsDepthPaletteAndResolution) {
    const Case c = GetParam();
    const auto dir = ScratchDir("rt_" + Name(c));
    // Odd sizes exercise row padding and partial bytes.
    MemoryDib src = MemoryDib::Make(37, 23, c.bits, 0, nullptr, DpiToPpm(300));
    FillPattern(src, unsigned(c.bits));
    if (c.gray) SetGrayRamp(src);
    const bool lossy = std::string(c.ext).starts_with("jp");
    if (lossy) SmoothPattern(src);
    const std::string path = (dir / ("pic." + std::string(c.ext))).string();
    ASSERT_TRUE(SavePicture(path, src)) << ImfLastError();

    MemoryDib back;
    ASSERT_TRUE(ReadPicture(path, back)) << ImfLastError();
    EXPECT_EQ(back.Bits(), c.expectBits);
    if (c.keepsPpm) {
        EXPECT_EQ(PpmToDpi(std::uint32_t(back.Header().biXPelsPerMeter)), 300u);
        EXPECT_EQ(PpmToDpi(std::uint32_t(back.Header().biYPelsPerMeter)), 300u);
    }
    ExpectSameColours(src, back, lossy ? 4 : 0);
    if (c.bits <= 8 && c.expectBits == c.bits && !lossy) {
        // Indices and table come back as they were, not merely the same colours.
        ASSERT_EQ(back.Header().biClrUsed, src.Header().biClrUsed);
        for (int i = 0; i < int(src.Header().biClrUsed); ++i) {
            EXPECT_EQ(back.Table()[i].red, src.Table()[i].red) << i;
            EXPECT_EQ(back.Table()[i].green, src.Table()[i].green) << i;
            EXPECT_EQ(back.Table()[i].blue, src.Table()[i].blue) << i;
        }
        for (int y = 0; y < src.Height(); ++y)
            for (int x = 0; x < src.Width(); ++x)
                ASSERT_EQ(back.Pixel(x, y), src.Pixel(x, y)) << x << "," << y;
    }
    std::filesystem::remove_all(dir);
}

const Case kCases[] = {
    {"bmp", 1, 1, false, true},   {"bmp", 4, 4, false, true},    {"bmp", 8, 8, false, true},
    {"bmp", 16, 16, false, true}, {"bmp", 24, 24, false, true},  {"bmp", 32, 32, false, true},
    {"png", 1, 1, false, true},   {"png", 1, 1, true, true},     {"png", 4, 4, false, true},
    {"png", 4, 4, true, true},    {"png", 8, 8, false, true},    {"png", 8, 8, true, true},
    {"png", 16, 24, false, true}, {"png", 24, 24, false, true},  {"png", 32, 24, false, true},
    {"tif", 1, 1, true, true},    {"tif", 1, 1, false, true},    {"tif", 4, 4, false, true},
    {"tif", 4, 4, true, true},    {"tif", 8, 8, false, true},    {"tif", 8, 8, true, true},
    {"tif", 16, 24, false, true}, {"tiff", 24, 24, false, true}, {"tif", 32, 24, false, true},
    {"gif", 1, 1, false, false},  {"gif", 4, 4, false, false},   {"gif", 8, 8, false, false},
    {"gif", 8, 8, true, false},   {"pcx", 1, 1, true, true},     {"pcx", 1, 1, false, true},
    {"pcx", 4, 4, false, true},   {"pcx", 8, 8, false, true},    {"pcx", 24, 24, false, true},
    {"pcx", 32, 24, false, true}, {"tga", 1, 1, false, false},   {"tga", 4, 4, false, false},
    {"tga", 8, 8, false, false},  {"tga", 8, 8, true, false},    {"tga", 16, 16, false, false},
    {"tga", 24, 24, false, false}, {"tga", 32, 32, false, false}, {"pbm", 1, 1, true, false},
    {"pgm", 8, 8, true, false},   {"ppm", 24, 24, false, false}, {"ppm", 16, 24, false, false},
    {"jpg", 8, 8, true, true},    {"jpg", 24, 24, false, true},  {"jpeg", 4, 24, false, true},
};

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return Name(info.param); });

}  // namespace
