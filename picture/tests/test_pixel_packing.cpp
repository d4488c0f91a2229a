// The packing helpers against the row layout worked out bit by bit here: the
// codecs, the converter, rescaling and the view all read rows through them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "picture/pixel_packing.h"

namespace {

// Pixel x of a 1-, 4- or 8-bit row by plain bit arithmetic.
unsigned Oracle(const std::vector<std::uint8_t>& row, int x, int bits) {
    const int bit = x * bits;
    return (row[std::size_t(bit / 8)] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

}  // namespace

TEST(PixelPacking, IndexRowsOfEveryLengthKeepTheLayoutAndNothingAround) {
    std::mt19937 random(7);
    for (int bits : {1, 4, 8}) {
        for (int count : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << count << " pixels");
            const std::size_t bytes = std::size_t(count * bits + 7) / 8;
            std::vector<std::uint8_t> indices(static_cast<std::size_t>(count));
            for (auto& v : indices) v = std::uint8_t(random() & ((1u << bits) - 1));

            // Packed: each pixel where the layout puts it, the rest of the
            // last byte cleared, the byte after it untouched.
            std::vector<std::uint8_t> row(bytes + 1, 0xA5);
            packing::PackIndices(indices.data(), count, bits, row.data());
            for (int x = 0; x < count; ++x) ASSERT_EQ(Oracle(row, x, bits), indices[std::size_t(x)]) << x;
            if (count * bits % 8) {
                EXPECT_EQ(row[bytes - 1] & (0xFFu >> (count * bits % 8)), 0u);
            }
            EXPECT_EQ(row[bytes], 0xA5);

            // Unpacked back, writing nothing past count.
            std::vector<std::uint8_t> back(std::size_t(count) + 1, 0xEE);
            packing::UnpackIndices(row.data(), count, bits, back.data());
            EXPECT_EQ(std::vector<std::uint8_t>(back.begin(), back.begin() + count), indices);
            EXPECT_EQ(back[std::size_t(count)], 0xEE);

            // One pixel at a time over a row of other pixels: only that one changes.
            std::vector<std::uint8_t> patched(bytes, 0x5A);
            for (int x = 0; x < count; ++x) {
                std::vector<std::uint8_t> expected = patched;
                // Bits above the depth are cut off, never spilled into a neighbour.
                const unsigned high = bits < 8 ? 0xF0u : 0u;
                packing::SetIndex(patched.data(), x, bits, indices[std::size_t(x)] | high);
                for (int other = 0; other < count; ++other)
                    ASSERT_EQ(Oracle(patched, other, bits),
                              other == x ? indices[std::size_t(x)] : Oracle(expected, other, bits));
                ASSERT_EQ(packing::GetIndex(patched.data(), x, bits), indices[std::size_t(x)]);
            }
        }
    }
}

TEST(PixelPacking, DirectColourRows) {
    // 5-5-5: little-endian words, blue low; full levels become 255, and
    // packing what was unpacked gives every word back.
    const std::uint8_t words[] = {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0xFF, 0x7F};
    std::uint8_t bgr[12];
    packing::UnpackColours<16>(words, 4, bgr);
    const std::uint8_t expected[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    EXPECT_TRUE(std::equal(bgr, bgr + 12, expected));
    for (unsigned word = 0; word < 0x8000; ++word) {
        std::uint8_t colour[3];
        packing::Expand555(word, colour);
        ASSERT_EQ(packing::Pack555(colour), word);
    }

    // 32 bits: the fourth byte is skipped when read and written as 0.
    const std::uint8_t wide[8] = {1, 2, 3, 99, 4, 5, 6, 99};
    std::uint8_t three[6];
    packing::UnpackColours<32>(wide, 2, three);
    EXPECT_EQ(std::vector<std::uint8_t>(three, three + 6), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    std::uint8_t out[8];
    packing::PackColours<32>(three, 2, out);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 8), (std::vector<std::uint8_t>{1, 2, 3, 0, 4, 5, 6, 0}));
}
