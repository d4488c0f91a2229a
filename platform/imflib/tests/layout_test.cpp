// File layouts the library itself never writes: BMP top-down rows, bit-field
// masks, RLE4 and other header versions; a GIF frame smaller than its screen.
#include <gtest/gtest.h>

#include "platform/imflib/tests/support.h"

using namespace imftest;
namespace fs = std::filesystem;

namespace {

struct Bmp {
    std::vector<std::uint8_t> bytes;
    void U8(unsigned v) { bytes.push_back(std::uint8_t(v)); }
    void U16(unsigned v) {
        U8(v & 255);
        U8(v >> 8);
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    // File header and an info header of the given size; offset patched by Finish.
    void Begin(std::uint32_t infoSize, std::int32_t w, std::int32_t h, int bits, std::uint32_t compression,
               std::uint32_t colours = 0) {
        bytes.clear();
        U8('B');
        U8('M');
        U32(0);
        U32(0);
        U32(0);
        U32(infoSize);
        U32(std::uint32_t(w));
        U32(std::uint32_t(h));
        U16(1);
        U16(unsigned(bits));
        U32(compression);
        U32(0);
        U32(2835);
        U32(2835);
        U32(colours);
        U32(0);
    }
    void Masks(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a, std::size_t infoSize) {
        U32(r);
        U32(g);
        U32(b);
        U32(a);
        bytes.resize(14 + infoSize, 0);
    }
    void Pixels() { bytes[10] = std::uint8_t(bytes.size()); bytes[11] = std::uint8_t(bytes.size() >> 8); }
};

MemoryDib Read(const fs::path& dir, const Bmp& b) {
    // Any name: the content decides.
    WriteBytes(dir / "file.img", b.bytes);
    MemoryDib d;
    EXPECT_TRUE(ReadPicture((dir / "file.img").string(), d)) << ImfLastError();
    return d;
}

TEST(BmpLayouts, TopDownRowsAndBitFields) {
    const fs::path dir = ScratchDir("bmplayouts");
    // 2 x 2 top-down, 24 bits: first file row is the top.
    Bmp b;
    b.Begin(40, 2, -2, 24, 0);
    b.Pixels();
    for (std::uint8_t v : {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}) b.U8(v);
    MemoryDib d = Read(dir, b);
    ASSERT_EQ(d.Bits(), 24);
    EXPECT_EQ(d.Colour(0, 0), 0x030201u);
    EXPECT_EQ(d.Colour(1, 1), 0x0C0B0Au);
    EXPECT_EQ(d.Header().biXPelsPerMeter, 2835);

    // 16 bits 5-6-5 through a 108-byte header: widened to 24 bits.
    b.Begin(108, 2, 1, 16, 3);
    b.Masks(0xF800, 0x07E0, 0x001F, 0, 108);
    b.Pixels();
    b.U16(0xF800);  // pure red
    b.U16(0x07E0);  // pure green
    d = Read(dir, b);
    ASSERT_EQ(d.Bits(), 24);
    EXPECT_EQ(d.Colour(0, 0), 0xFF0000u);
    EXPECT_EQ(d.Colour(1, 0), 0x00FF00u);

    // 16 bits 5-5-5 bit fields behind a 40-byte header stay 16 bits.
    b.Begin(40, 1, 1, 16, 3);
    b.U32(0x7C00);
    b.U32(0x03E0);
    b.U32(0x001F);
    b.Pixels();
    b.U16(0x1234);
    b.U16(0);
    d = Read(dir, b);
    ASSERT_EQ(d.Bits(), 16);
    EXPECT_EQ(d.Pixel(0, 0), 0x1234u);

    // 32 bits with alpha first (A8 R8 G8 B8 in the high-to-low order of a 124-byte header's masks).
    b.Begin(124, 1, 1, 32, 3);
    b.Masks(0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF, 124);
    b.Pixels();
    b.U32(0x332211AA);  // red 0x11, green 0x22, blue 0x33
    d = Read(dir, b);
    ASSERT_EQ(d.Bits(), 32);
    EXPECT_EQ(d.Colour(0, 0), 0x112233u);
    fs::remove_all(dir);
}

TEST(BmpLayouts, Rle4AndOldHeaders) {
    const fs::path dir = ScratchDir("bmprle4");
    Bmp b;
    b.Begin(40, 6, 2, 4, 2, 16);
    for (int i = 0; i < 16; ++i) b.U32(std::uint32_t(i * 0x111111));
    b.Pixels();
    // Bottom row: run of 5 alternating 1,2 then an absolute run of 1 pixel (index 7).
    for (std::uint8_t v : {5, 0x12, 0, 3, 0x7A, 0xB0, 0, 0}) b.U8(v);
    // Top row: delta right by 2, run of 4 of index 15, end of bitmap.
    for (std::uint8_t v : {0, 2, 2, 0, 4, 0xFF, 0, 1}) b.U8(v);
    MemoryDib d = Read(dir, b);
    ASSERT_EQ(d.Bits(), 4);
    const std::uint32_t bottom[6] = {1, 2, 1, 2, 1, 7};
    const std::uint32_t top[6] = {0, 0, 15, 15, 15, 15};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(d.Pixel(x, 1), bottom[x]) << x;
    for (int x = 0; x < 6; ++x) EXPECT_EQ(d.Pixel(x, 0), top[x]) << x;

    // The 12-byte header with 3-byte table entries.
    b.bytes.clear();
    b.U8('B');
    b.U8('M');
    b.U32(0);
    b.U32(0);
    b.U32(0);
    b.U32(12);
    b.U16(3);
    b.U16(1);
    b.U16(1);
    b.U16(1);
    for (std::uint8_t v : {0, 0, 0, 10, 20, 30}) b.U8(v);
    b.Pixels();
    b.U32(0x000000A0);  // pixels 1, 0, 1
    d = Read(dir, b);
    ASSERT_EQ(d.Bits(), 1);
    EXPECT_EQ(d.Colour(0, 0), 0x1E140Au);
    EXPECT_EQ(d.Colour(1, 0), 0u);
    EXPECT_EQ(d.Colour(2, 0), 0x1E140Au);
    fs::remove_all(dir);
}

}  // namespace

namespace {

// A GIF whose first frame covers part of its logical screen: the rest is the
// background colour.
TEST(GifLayouts, FramePlacedOnItsScreen) {
    const fs::path dir = ScratchDir("gifscreen");
    const std::vector<std::uint8_t> gif = {
        'G', 'I', 'F', '8', '9', 'a', 4, 0, 3, 0, 0x80, 0, 0,  // 4 x 3 screen, 2-entry table, background 0
        0, 0, 0, 255, 255, 255,                               // black, white
        0x2C, 1, 0, 1, 0, 2, 0, 1, 0, 0,                      // frame at (1, 1), 2 x 1
        2, 2, 0x4C, 0x0A, 0,                                  // clear, 1, 1, end
        0x3B};
    WriteBytes(dir / "screen.gif", gif);
    MemoryDib d;
    ASSERT_TRUE(ReadPicture((dir / "screen.gif").string(), d)) << ImfLastError();
    ASSERT_EQ(d.Width(), 4);
    ASSERT_EQ(d.Height(), 3);
    ASSERT_EQ(d.Bits(), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(d.Pixel(x, y), (y == 1 && (x == 1 || x == 2)) ? 1u : 0u) << x << "," << y;
    fs::remove_all(dir);
}

}  // namespace

namespace {

// A 3 x 2 true-colour TGA stored top-down and right to left, run-length
// encoded with a packet that runs on from the first row into the second.
TEST(TgaLayouts, RunsAcrossRowsRightToLeftTopDown) {
    const fs::path dir = ScratchDir("tgalayout");
    std::vector<std::uint8_t> tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0x30};
    const std::vector<std::uint8_t> data = {
        0x81, 1, 2, 3,         // two pixels (blue 1, green 2, red 3)
        0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12,  // three literal pixels
        0x80, 13, 14, 15};     // one more
    tga.insert(tga.end(), data.begin(), data.end());
    WriteBytes(dir / "runs.tga", tga);
    MemoryDib d;
    ASSERT_TRUE(ReadPicture((dir / "runs.tga").string(), d)) << ImfLastError();
    ASSERT_EQ(d.Bits(), 24);
    // File order per row is right to left; the first stored row is the top one.
    const std::uint32_t top[3] = {0x060504, 0x030201, 0x030201};
    const std::uint32_t bottom[3] = {0x0F0E0D, 0x0C0B0A, 0x090807};
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(d.Pixel(x, 0), top[x]) << x;
        EXPECT_EQ(d.Pixel(x, 1), bottom[x]) << x;
    }
    fs::remove_all(dir);
}

}  // namespace
