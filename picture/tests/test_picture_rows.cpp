// Row, column and pixel access, fills and copies, checked against a reading
// of the packed layout that does not use the picture's row code.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "picture/picture.h"
#include "picture/tests/test_picture_helpers.h"
#include "base/testing/test_progress_host.h"

using namespace picture_test;

namespace {

std::vector<std::uint32_t> RandomPixels(std::mt19937& random, int n, int bits) {
    std::vector<std::uint32_t> values(static_cast<std::size_t>(n));
    const std::uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (auto& v : values) v = std::uint32_t(random()) & mask;
    return values;
}

std::vector<std::uint8_t> Pack(const std::vector<std::uint32_t>& values, int bits) {
    std::vector<std::uint8_t> buffer((values.size() * std::size_t(bits) + 7) / 8 + 8, 0);
    for (std::size_t i = 0; i < values.size(); ++i) SetPackedPixel(buffer.data(), bits, int(i), values[i]);
    return buffer;
}

}  // namespace

TEST(PictureRows, SegmentsAtAnyOffsetKeepTheirNeighbours) {
    std::mt19937 random(7);
    // Narrow rows take the byte-wise edges, wide ones the bulk shifts.
    for (auto [type, width] : {std::pair{0, 45}, {2, 45}, {3, 45}, {7, 45}, {1, 45}, {8, 45},
                               {0, 900}, {2, 300}, {0, 2500}, {2, 700}}) {
        SCOPED_TRACE(::testing::Message() << type << " width " << width);
        const int height = 5;
        auto p = RandomPicture(type, width, height, unsigned(type) + 1);
        ASSERT_TRUE(p);
        const int bits = p->GetBitCount();
        auto model = AllPixels(*p);
        for (int round = 0; round < 300; ++round) {
            int x0 = int(random() % unsigned(width)), x1 = int(random() % unsigned(width + 6));  // x1 may be clamped
            const int y = int(random() % unsigned(height));
            if (round % 3 == 0) std::swap(x0, x1);  // reversed order is ordered
            const int first = std::min(x0, x1);
            if (first >= width) continue;
            const int last = std::min(std::max(x0, x1), width - 1);
            const int n = last - first + 1;

            auto values = RandomPixels(random, n, bits);
            ASSERT_TRUE(p->WriteRow(x0, x1, y, Pack(values, bits).data()));
            for (int i = 0; i < n; ++i) model[std::size_t(y * width + first + i)] = values[std::size_t(i)];
            ASSERT_EQ(AllPixels(*p), model) << "write " << x0 << ".." << x1;

            // Reading delivers the pixels from bit 7 / the high nibble of byte
            // 0 and leaves the caller's bits after the segment alone.
            const int r0 = int(random() % unsigned(width)), r1 = int(random() % unsigned(width));
            const int rf = std::min(r0, r1), rn = std::abs(r1 - r0) + 1;
            std::vector<std::uint8_t> out(std::size_t(rn) * 4 + 8, 0xA5);
            ASSERT_TRUE(p->ReadRow(r0, r1, y, out.data()));
            for (int i = 0; i < rn; ++i)
                ASSERT_EQ(PackedPixel(out.data(), bits, i), model[std::size_t(y * width + rf + i)]);
            const std::size_t used = (std::size_t(rn) * std::size_t(bits) + 7) / 8;
            for (std::size_t i = std::size_t(rn) * std::size_t(bits); i < used * 8; ++i)
                ASSERT_EQ((out[i / 8] >> (7 - i % 8)) & 1, (0xA5 >> (7 - i % 8)) & 1) << "bit " << i;
            ASSERT_EQ(out[used], 0xA5);
        }
    }
}

TEST(PictureRows, SegmentsStartingOutsideThePictureAreRefused) {
    for (int type : kOneTypePerDepth) {
        auto p = RandomPicture(type, 20, 4, 3);
        const auto before = AllPixels(*p);
        std::vector<std::uint8_t> buffer(256, 0x5A);
        EXPECT_FALSE(p->ReadRow(-1, 5, 0, buffer.data()));
        EXPECT_FALSE(p->ReadRow(20, 25, 0, buffer.data()));
        EXPECT_FALSE(p->ReadRow(0, 5, -1, buffer.data()));
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0x5A; }));
        EXPECT_FALSE(p->WriteRow(-8, 5, 0, buffer.data()));
        EXPECT_FALSE(p->WriteRow(5, -8, 0, buffer.data()));  // ordered: starts at -8
        EXPECT_FALSE(p->WriteRow(20, 30, 0, buffer.data()));
        EXPECT_FALSE(p->WriteRow(0, 3, -1, buffer.data()));
        EXPECT_FALSE(p->WriteColumn(-1, 0, 3, buffer.data()));
        EXPECT_FALSE(p->WriteColumn(20, 0, 3, buffer.data()));
        EXPECT_FALSE(p->WriteColumn(0, -1, 3, buffer.data()));
        EXPECT_EQ(p->LockRow(-1, 3, 0), nullptr);
        EXPECT_FALSE(p->ReadRowReversed(-2, 3, 0, buffer.data()));
        EXPECT_FALSE(p->SetPixelValue(0, 4, 1));
        EXPECT_EQ(AllPixels(*p), before);
        // A row beyond the last is clamped to it.
        std::vector<std::uint8_t> last(256), clamped(256);
        ASSERT_TRUE(p->ReadRow(0, 19, 3, last.data()));
        ASSERT_TRUE(p->ReadRow(0, 19, 99, clamped.data()));
        EXPECT_EQ(last, clamped);
    }
}

TEST(PictureRows, RowsOfTheWidestPictureFitTheSharedBuffer) {
    // 32767 pixels of 32 bits: 131068 bytes a row, four times the smallest
    // shared buffer; an 11000-pixel 24-bit row is 33000 bytes.
    for (auto [type, width] : {std::pair{int(ptTrueColor32), kMaxPictureSide}, std::pair{int(ptTrueColor24), 11000}}) {
        auto p = RandomPicture(type, width, 3, 11);
        ASSERT_TRUE(p);
        const int bits = p->GetBitCount();
        std::vector<std::uint8_t> row(p->GetRowBytes()), reversed(p->GetRowBytes());
        ASSERT_TRUE(p->ReadRow(0, width - 1, 1, row.data()));
        ASSERT_TRUE(p->ReadRowReversed(0, width - 1, 1, reversed.data()));
        for (int x = 0; x < width; x += 997)
            ASSERT_EQ(PackedPixel(reversed.data(), bits, x), PackedPixel(row.data(), bits, width - 1 - x));

        auto other = RandomPicture(type, width, 3, 12);
        const auto expected = AllPixels(*other);
        ASSERT_TRUE(p->PasteFrom(other.get(), 0, 0, false));
        EXPECT_EQ(AllPixels(*p), expected);

        // On disk the row is locked through the shared buffer and written back.
        ASSERT_TRUE(p->SwapOut());
        std::uint8_t* locked = p->LockRow(0, width - 1, 2);
        ASSERT_NE(locked, nullptr);
        locked[p->SegmentBytes(0, width - 1) - 1] ^= 0xFF;
        ASSERT_TRUE(p->UnlockRow(0, width - 1, 2, locked));
        EXPECT_NE(StoredPixel(*p, width - 1, 2), expected[std::size_t(3 * width - 1)]);
    }
}

TEST(PictureRows, ReversedReadsMirrorEveryDepth) {
    std::mt19937 random(5);
    for (auto [type, width] : {std::pair{0, 29}, {2, 29}, {3, 29}, {7, 29}, {1, 29}, {8, 29},
                               {0, 900}, {2, 300}, {0, 2500}, {2, 700}}) {
        SCOPED_TRACE(::testing::Message() << type << " width " << width);
        auto p = RandomPicture(type, width, 2, 9);
        const int bits = p->GetBitCount();
        const auto pixels = AllPixels(*p);
        for (int round = 0; round < 60; ++round) {
            const int x0 = int(random() % unsigned(width)), x1 = int(random() % unsigned(width));
            const int first = std::min(x0, x1), n = std::abs(x1 - x0) + 1;
            std::vector<std::uint8_t> out(std::size_t(n) * 4 + 4);
            ASSERT_TRUE(p->ReadRowReversed(x0, x1, 1, out.data()));
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(PackedPixel(out.data(), bits, i), pixels[std::size_t(width + first + n - 1 - i)]);
        }
    }
}

TEST(PictureRows, ColumnWritesChangeOnlyTheirColumn) {
    std::mt19937 random(3);
    for (int type : kOneTypePerDepth) {
        for (int flags : {int(kStoreMemory), int(kStoreSwapFile)}) {
            SCOPED_TRACE(type);
            auto p = RandomPicture(type, 13, 21, 4, flags);
            ASSERT_TRUE(p);
            const int bits = p->GetBitCount();
            auto model = AllPixels(*p);
            for (int round = 0; round < 20; ++round) {
                const int x = int(random() % 13), y0 = int(random() % 21), y1 = int(random() % 21);
                const int first = std::min(y0, y1), n = std::abs(y1 - y0) + 1;
                auto values = RandomPixels(random, n, bits);
                ASSERT_TRUE(p->WriteColumn(x, y0, y1, Pack(values, bits).data()));
                for (int i = 0; i < n; ++i) model[std::size_t((first + i) * 13 + x)] = values[std::size_t(i)];
                ASSERT_EQ(AllPixels(*p), model);
            }
        }
    }
}

TEST(PictureRows, ShrunkAndExpandedRows) {
    for (int type : kOneTypePerDepth) {
        SCOPED_TRACE(type);
        auto p = RandomPicture(type, 31, 1, 21);
        const int bits = p->GetBitCount();
        const auto pixels = AllPixels(*p);
        std::vector<std::uint8_t> shrunk(200), expanded(1000);
        ASSERT_TRUE(p->ReadRowShrunk(2, 30, 0, shrunk.data(), -3));
        for (int j = 0; j < 29 / 3; ++j)
            ASSERT_EQ(PackedPixel(shrunk.data(), bits, j), pixels[std::size_t(2 + 3 * j)]);
        EXPECT_FALSE(p->ReadRowShrunk(0, 30, 0, shrunk.data(), -1));
        // A segment shorter than the step keeps nothing, and that is no failure.
        std::fill(shrunk.begin(), shrunk.end(), 0x5A);
        EXPECT_TRUE(p->ReadRowShrunk(4, 6, 0, shrunk.data(), -4));
        EXPECT_EQ(shrunk[0], 0x5A);

        std::vector<std::uint8_t> row(p->GetRowBytes());
        ASSERT_TRUE(p->ReadRow(0, 30, 0, row.data()));
        ASSERT_TRUE(p->ExpandRow(expanded.data(), row.data(), 31, 3));
        for (int i = 0; i < 93; ++i)
            ASSERT_EQ(PackedPixel(expanded.data(), bits, i), pixels[std::size_t(i / 3)]) << i;
        EXPECT_FALSE(p->ExpandRow(expanded.data(), row.data(), 31, 1));
    }
}

TEST(PictureRows, LockRowPointsIntoMemoryOrBuffersTheSegment) {
    auto p = RandomPicture(ptColor256, 40, 3, 2);
    std::uint8_t* direct = p->LockRow(5, 9, 1);
    ASSERT_NE(direct, nullptr);
    direct[0] = 0x11;  // straight into the picture
    EXPECT_TRUE(p->UnlockRow(5, 9, 1, direct));
    EXPECT_EQ(StoredPixel(*p, 5, 1), 0x11u);

    auto bw = RandomPicture(ptBlackWhite, 40, 3, 2);
    const auto before = AllPixels(*bw);
    std::uint8_t* buffered = bw->LockRow(3, 12, 2);  // ten pixels from bit 7 of byte 0
    ASSERT_NE(buffered, nullptr);
    buffered[0] ^= 0x80;
    ASSERT_TRUE(bw->UnlockRow(3, 12, 2, buffered));
    auto expected = before;
    expected[2 * 40 + 3] ^= 1;
    EXPECT_EQ(AllPixels(*bw), expected);
}

TEST(PictureRows, SetPixelValueByDepth) {
    CPicture p;
    ASSERT_TRUE(p.Create(ptTrueColor24, 4, 2, 0, nullptr, 0, 0, kStoreMemory));
    ASSERT_TRUE(p.SetPixelValue(1, 0, MakeRgb(0x10, 0x20, 0x30)));
    std::uint8_t bgr[3];
    ASSERT_TRUE(p.ReadRow(1, 1, 0, bgr));
    EXPECT_EQ(bgr[0], 0x30);
    EXPECT_EQ(bgr[2], 0x10);
    for (int type : {ptBlackWhite, ptColor16, ptColor256}) {
        auto q = RandomPicture(type, 9, 2, 1);
        auto expected = AllPixels(*q);
        ASSERT_TRUE(q->SetPixelValue(5, 1, 1));
        expected[9 + 5] = 1;
        EXPECT_EQ(AllPixels(*q), expected);
    }
}

// ---------------------------------------------------------------------------
// Areas

TEST(PictureAreas, FillsEveryDepth) {
    const std::uint32_t colour = MakeRgb(0x12, 0x34, 0x56);
    for (int type : kOneTypePerDepth) {
        SCOPED_TRACE(type);
        auto p = RandomPicture(type, 19, 7, 8);
        const int bits = p->GetBitCount();
        // The colour is 0x00563412: indexed depths take its low bits, the
        // true-colour ones store blue 0x56, green 0x34, red 0x12.
        const std::uint32_t expected = bits == 1    ? 1
                                       : bits == 4  ? 0x2
                                       : bits == 8  ? 0x12
                                       : bits == 16 ? 0x3412
                                                    : 0x123456;
        ASSERT_TRUE(p->Fill(colour));
        for (auto v : AllPixels(*p)) ASSERT_EQ(v, expected);

        // FillRect: columns left .. right, rows top .. bottom (one rule for
        // every Rect: right and bottom inclusive).
        auto q = RandomPicture(type, 19, 7, 9);
        auto model = AllPixels(*q);
        const Rect rect{3, 1, 11, 4};
        ASSERT_TRUE(q->FillRect(colour, &rect));
        for (int y = 1; y <= 4; ++y)
            for (int x = 3; x <= 11; ++x) model[std::size_t(y * 19 + x)] = expected;
        ASSERT_EQ(AllPixels(*q), model);

        // FillRectInclusive, clipped to the picture.
        const Rect inclusive{-4, 5, 30, 40};
        ASSERT_TRUE(q->FillRectInclusive(0, &inclusive));
        for (int y = 5; y < 7; ++y)
            for (int x = 0; x < 19; ++x) model[std::size_t(y * 19 + x)] = 0;
        ASSERT_EQ(AllPixels(*q), model);
    }
}

TEST(PictureAreas, OverlappingCopiesWithinOnePicture) {
    // Every direction of overlap, in memory and on disk, against the same
    // copy made through the untouched original.
    const int offsets[][2] = {{0, -1}, {0, 1}, {3, 0}, {-3, 0}, {5, 2}, {-1, -3}, {1, 1}};
    for (int type : kOneTypePerDepth) {
        for (int flags : {int(kStoreMemory), int(kStoreSwapFile)}) {
            for (auto [ox, oy] : offsets) {
                SCOPED_TRACE(::testing::Message() << type << " flags " << flags << " by " << ox << "," << oy);
                const int width = 37, height = 12;
                auto p = RandomPicture(type, width, height, 17, flags);
                ASSERT_TRUE(p);
                const auto original = AllPixels(*p);
                const Rect source{6, 4, 28, 8};
                ASSERT_TRUE(p->CopyTo(p.get(), source.left + ox, source.top + oy, &source, false));
                auto expected = original;
                for (int y = source.top; y <= source.bottom; ++y)
                    for (int x = source.left; x <= source.right; ++x)
                        expected[std::size_t((y + oy) * width + x + ox)] = original[std::size_t(y * width + x)];
                ASSERT_EQ(AllPixels(*p), expected);
            }
        }
    }
}

TEST(PictureAreas, CopiesBetweenPicturesAtEveryBitPhase) {
    const int width = 600;
    for (int type : {ptBlackWhite, ptColor16}) {
        for (int dx = 0; dx < 9; ++dx) {
            SCOPED_TRACE(::testing::Message() << type << " dx " << dx);
            auto from = RandomPicture(type, width, 3, 1);
            auto to = RandomPicture(type, width, 3, 2);
            const auto source = AllPixels(*from);
            auto expected = AllPixels(*to);
            const Rect rect{3, 0, 517, 2};
            ASSERT_TRUE(from->CopyTo(to.get(), dx, 0, &rect, false));
            for (int y = 0; y < 3; ++y)
                for (int x = rect.left; x <= rect.right; ++x)
                    expected[std::size_t(y * width + dx + x - 3)] = source[std::size_t(y * width + x)];
            ASSERT_EQ(AllPixels(*to), expected);
        }
    }
}

TEST(PictureAreas, CopyToClipsAtBothPictures) {
    auto from = RandomPicture(ptColor256, 10, 10, 1);
    auto to = RandomPicture(ptColor256, 6, 6, 2);
    const auto source = AllPixels(*from);
    auto expected = AllPixels(*to);
    // A negative dx cuts the rectangle's left; the destination cuts its right and bottom.
    const Rect rect{2, 1, 9, 9};
    ASSERT_TRUE(from->CopyTo(to.get(), -2, 3, &rect, false));
    for (int y = 3; y < 6; ++y)
        for (int x = 0; x < 6; ++x) expected[std::size_t(y * 6 + x)] = source[std::size_t((y - 2) * 10 + x + 4)];
    EXPECT_EQ(AllPixels(*to), expected);

    const Rect outside{-5, 0, -1, 3};
    EXPECT_FALSE(from->CopyTo(to.get(), 0, 0, &outside, false));
    EXPECT_FALSE(from->CopyTo(to.get(), 6, 0, nullptr, false));
    EXPECT_FALSE(from->CopyTo(to.get(), -10, 0, nullptr, false));
    auto other = RandomPicture(ptTrueColor24, 10, 10, 1);
    EXPECT_FALSE(from->CopyTo(other.get(), 0, 0, nullptr, false));
    EXPECT_EQ(AllPixels(*to), expected);
}

TEST(PictureAreas, PasteFromFitsTheSourceIntoWhatRemains) {
    auto to = RandomPicture(ptColor16, 10, 8, 1);
    auto from = RandomPicture(ptColor16, 7, 7, 2);
    const auto source = AllPixels(*from);
    auto expected = AllPixels(*to);
    ASSERT_TRUE(to->PasteFrom(from.get(), 5, 3, false));
    for (int y = 3; y < 8; ++y)
        for (int x = 5; x < 10; ++x) expected[std::size_t(y * 10 + x)] = source[std::size_t((y - 3) * 7 + x - 5)];
    EXPECT_EQ(AllPixels(*to), expected);
    EXPECT_FALSE(to->PasteFrom(from.get(), 10, 0, false));
    EXPECT_FALSE(to->PasteFrom(from.get(), -1, 0, false));
}

TEST(PictureAreas, CopiesReportTheirProgress) {
    TestProgressHost host;
    auto from = RandomPicture(ptColor256, 8, 40, 1);
    auto to = RandomPicture(ptColor256, 8, 40, 2);
    ASSERT_TRUE(from->CopyTo(to.get(), 0, 0, nullptr, true));
    ASSERT_TRUE(to->PasteFrom(from.get(), 0, 0, true));
    ASSERT_TRUE(to->CopyTo(from.get(), 0, 0, nullptr, false));  // no progress without the flag
    ASSERT_EQ(host.captions, (std::vector<std::string>{"Copy Image", "Put Image"}));
    EXPECT_EQ(host.ends, 2);
    EXPECT_EQ(host.takes, 2 * 3);  // rows 0, 16 and 32 of each copy
}

TEST(PictureAreas, ChannelWritesReplaceOneComponent) {
    auto p = RandomPicture(ptTrueColor24, 6, 4, 5);
    auto model = AllPixels(*p);
    const std::uint8_t greens[] = {1, 2, 3};
    ASSERT_TRUE(p->WriteChannelRow(2, 4, 1, greens, 1));
    for (int i = 0; i < 3; ++i) {
        auto& v = model[std::size_t(6 + 2 + i)];
        v = (v & ~0xFF00u) | (std::uint32_t(greens[i]) << 8);
    }
    EXPECT_EQ(AllPixels(*p), model);

    // A band of whole rows, top row first; red starts from a cleared band.
    std::uint8_t plane[2 * 6];
    for (int i = 0; i < 12; ++i) plane[i] = std::uint8_t(100 + i);
    ASSERT_TRUE(p->WriteChannelBand(Rect{0, 2, 5, 3}, plane, 2));
    ASSERT_TRUE(p->WriteChannelBand(Rect{0, 2, 5, 3}, plane, 0));
    for (int y = 2; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const std::uint32_t v = plane[(y - 2) * 6 + x];
            ASSERT_EQ(StoredPixel(*p, x, y), v | (v << 16));
        }
    EXPECT_FALSE(p->WriteChannelRow(0, 2, 0, greens, 3));
    auto gray = RandomPicture(ptColor256, 6, 4, 5);
    EXPECT_FALSE(gray->WriteChannelRow(0, 2, 0, greens, 0));
}
