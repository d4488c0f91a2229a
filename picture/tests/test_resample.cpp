// Rescale, RescaledCopy, Deskew and LinePoints.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "picture/picture.h"
#include "picture/resample.h"
#include "picture/tests/test_picture_helpers.h"

namespace {

std::unique_ptr<CPicture> Make(int type, int width, int height) {
    auto p = std::make_unique<CPicture>();
    EXPECT_TRUE(p->Create(type, width, height, 0, nullptr, 3780, 3780, kStoreMemory));
    return p;
}

// A picture whose 8-bit pixel (x, y) is x + 16 y.
std::unique_ptr<CPicture> Numbered(int width, int height) {
    auto p = Make(ptColor256, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p->SetPixelValue(x, y, std::uint32_t(x + 16 * y));
    return p;
}

std::vector<std::uint8_t> Row(CPicture& p, int y) {
    std::vector<std::uint8_t> bytes(std::size_t(p.GetWidth()) * 4 + 8, 0);
    EXPECT_TRUE(p.ReadRow(0, p.GetWidth() - 1, y, bytes.data()));
    return bytes;
}

}  // namespace

TEST(LinePoints, RunsFromTheStartPoint) {
    std::vector<LinePoint> points;
    ASSERT_EQ(LinePoints(points, 5, 5, 0, 2), 6);
    EXPECT_EQ(points.front(), (LinePoint{5, 5}));
    EXPECT_EQ(points.back(), (LinePoint{0, 2}));
    for (std::size_t i = 1; i < points.size(); ++i) {
        EXPECT_EQ(points[i].x, points[i - 1].x - 1);
        EXPECT_LE(points[i - 1].y - points[i].y, 1);
    }
    ASSERT_EQ(LinePoints(points, 3, 0, 4, 9), 10);  // steep: y is the major axis
    EXPECT_EQ(points.front(), (LinePoint{3, 0}));
    EXPECT_EQ(points.back(), (LinePoint{4, 9}));
    EXPECT_EQ(LinePoints(points, 7, 7, 7, 7), 1);
}

TEST(Rescale, TwoByTwoToFourByFourTakesColumnsZeroZeroZeroOne) {
    auto source = Numbered(2, 2);
    auto destination = Make(ptColor256, 4, 4);
    ASSERT_EQ(Rescale(source.get(), destination.get()), 1);
    const int expected[4] = {0, 0, 0, 1};
    for (int y = 0; y < 4; ++y) {
        auto row = Row(*destination, y);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(row[std::size_t(x)], expected[x] + 16 * expected[y]);
    }
}

TEST(Rescale, SameSizeCopiesAndOnePixelTakesTheFirst) {
    auto source = Numbered(7, 5);
    auto same = Make(ptColor256, 7, 5);
    ASSERT_EQ(Rescale(source.get(), same.get()), 1);
    for (int y = 0; y < 5; ++y) EXPECT_EQ(Row(*same, y), Row(*source, y));

    auto column = Make(ptColor256, 1, 3);
    ASSERT_EQ(Rescale(source.get(), column.get()), 1);
    EXPECT_EQ(Row(*column, 0)[0], 0);
    EXPECT_EQ(Row(*column, 1)[0], 32);  // (5 - 1) * 1 / (3 - 1) = row 2
    EXPECT_EQ(Row(*column, 2)[0], 64);

    auto wrongDepth = Make(ptTrueColor24, 3, 3);
    EXPECT_EQ(Rescale(source.get(), wrongDepth.get()), 0);
}

TEST(Rescale, SubByteAndWideDepthsMoveWholePixels) {
    // 1 bit: a checkerboard column pattern doubled.
    auto bits = Make(ptBlackWhite, 9, 1);
    for (int x = 0; x < 9; ++x) bits->SetPixelValue(x, 0, std::uint32_t(x & 1));
    auto wide = Make(ptBlackWhite, 17, 1);
    ASSERT_EQ(Rescale(bits.get(), wide.get()), 1);
    auto row = Row(*wide, 0);
    for (int j = 0; j < 17; ++j) EXPECT_EQ((row[std::size_t(j >> 3)] >> (7 - (j & 7))) & 1, (j / 2) & 1) << j;

    // 4 bits, halved.
    auto nibbles = Make(ptColor16, 9, 1);
    for (int x = 0; x < 9; ++x) nibbles->SetPixelValue(x, 0, std::uint32_t(x));
    auto half = Make(ptColor16, 5, 1);
    ASSERT_EQ(Rescale(nibbles.get(), half.get()), 1);
    row = Row(*half, 0);
    EXPECT_EQ(row[0], 0x02);
    EXPECT_EQ(row[1], 0x46);
    EXPECT_EQ(row[2] >> 4, 8);

    // 16 bits: both bytes of each pixel travel together.
    auto sixteen = Make(ptColor32K, 2, 1);
    const std::uint8_t pixels[4] = {0x12, 0x34, 0x56, 0x78};
    ASSERT_TRUE(sixteen->WriteRow(0, 1, 0, pixels));
    auto doubled = Make(ptColor32K, 4, 1);
    ASSERT_EQ(Rescale(sixteen.get(), doubled.get()), 1);
    row = Row(*doubled, 0);
    const std::uint8_t expected[8] = {0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x56, 0x78};
    EXPECT_TRUE(std::equal(expected, expected + 8, row.begin()));
}

TEST(RescaledCopy, KeepsTypeResolutionAndPalette) {
    auto source = Numbered(6, 4);
    std::unique_ptr<CPicture> copy(RescaledCopy(source.get(), 3, 2));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetType(), ptColor256);
    EXPECT_EQ(copy->GetWidth(), 3);
    EXPECT_EQ(copy->GetHeader()->biXPelsPerMeter, 3780);
    EXPECT_TRUE(PalettesEqual(copy->GetPalette(), source->GetPalette()));
    EXPECT_EQ(RescaledCopy(source.get(), 0, 5), nullptr);
}

TEST(Deskew, IdentityCornersReproduceThePicture) {
    auto source = Make(ptTrueColor24, 7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            source->SetPixelValue(x, y, MakeRgb(std::uint8_t(x * 30), std::uint8_t(y * 50), 9));
    auto destination = Make(ptTrueColor24, 12, 9);
    DeskewCorners c{3, 2, 3 + 6, 2, 3, 2 + 4, 9, 6};
    ASSERT_EQ(Deskew(source.get(), destination.get(), c, true), 1);
    for (int y = 0; y < 9; ++y) {
        auto row = Row(*destination, y);
        for (int x = 0; x < 12; ++x) {
            const std::uint8_t* p = row.data() + 3 * x;
            bool inside = x >= 3 && x < 10 && y >= 2 && y < 7;
            if (inside) {
                EXPECT_EQ(p[2], (x - 3) * 30) << x << "," << y;
                EXPECT_EQ(p[1], (y - 2) * 50) << x << "," << y;
            } else {
                EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << x << "," << y;
            }
        }
    }
    // Edges running up and left flip the picture both ways.
    auto flipped = Make(ptTrueColor24, 7, 5);
    ASSERT_EQ(Deskew(source.get(), flipped.get(), DeskewCorners{6, 4, 0, 4, 6, 0, 0, 0}, true), 1);
    for (int y = 0; y < 5; ++y) {
        auto row = Row(*flipped, y);
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(row[std::size_t(3 * x + 2)], (6 - x) * 30) << x << "," << y;
            EXPECT_EQ(row[std::size_t(3 * x + 1)], (4 - y) * 50) << x << "," << y;
        }
    }
    // Without the flag the background is 128.
    auto gray = Make(ptGray256, 4, 4), small = Make(ptGray256, 2, 2);
    small->Fill(7);
    ASSERT_EQ(Deskew(small.get(), gray.get(), DeskewCorners{0, 0, 1, 0, 0, 1, 1, 1}, false), 1);
    EXPECT_EQ(Row(*gray, 3)[3], 128);
    EXPECT_EQ(Row(*gray, 1)[1], 7);
}

TEST(Deskew, TiltedEdgesLeaveNoHoles) {
    // A black source onto white along a tilted top edge and a diagonal left
    // edge: every row and column of the result is one unbroken black run.
    auto source = Make(ptGray256, 30, 40);
    source->Fill(0);
    auto destination = Make(ptGray256, 60, 60);
    DeskewCorners c{20, 5, 48, 12, 10, 44, 0, 0};
    ASSERT_EQ(Deskew(source.get(), destination.get(), c, true), 1);
    std::vector<std::vector<std::uint8_t>> rows;
    for (int y = 0; y < 60; ++y) rows.push_back(Row(*destination, y));
    auto unbroken = [](const std::vector<int>& blacks) {
        return blacks.empty() || blacks.back() - blacks.front() + 1 == int(blacks.size());
    };
    for (int y = 0; y < 60; ++y) {
        std::vector<int> blacks;
        for (int x = 0; x < 60; ++x)
            if (rows[std::size_t(y)][std::size_t(x)] == 0) blacks.push_back(x);
        EXPECT_TRUE(unbroken(blacks)) << "row " << y;
    }
    for (int x = 0; x < 60; ++x) {
        std::vector<int> blacks;
        for (int y = 0; y < 60; ++y)
            if (rows[std::size_t(y)][std::size_t(x)] == 0) blacks.push_back(y);
        EXPECT_TRUE(unbroken(blacks)) << "column " << x;
    }
}

// The rows made one at a time for a writer are the rows Rescale writes into
// a picture, on every depth, shrinking and stretching by odd factors.
TEST(RescaledRows, EveryRowAsRescaleWritesIt) {
    const int sizes[][4] = {{37, 23, 19, 12}, {37, 23, 74, 46}, {1, 1, 5, 3}, {150, 9, 1, 1}, {33, 17, 100, 7}};
    unsigned seed = 0;
    for (int type : picture_test::kOneTypePerDepth)
        for (const auto& s : sizes) {
            auto source = picture_test::RandomPicture(type, s[0], s[1], ++seed);
            ASSERT_TRUE(source);
            std::unique_ptr<CPicture> reference(RescaledCopy(source.get(), s[2], s[3]));
            ASSERT_TRUE(reference);
            RescaledRows rows(source.get(), s[2], s[3]);
            const std::size_t n = reference->GetRowBytes();
            ASSERT_LE(rows.RowBytes(), n);
            std::vector<std::uint8_t> expected(n);
            for (int y = 0; y < s[3]; ++y) {
                const std::uint8_t* made = rows.Row(y);
                ASSERT_TRUE(made);
                ASSERT_TRUE(reference->ReadStoredRow(y, expected.data()));
                // The pixels, then padding the new picture leaves at zero.
                ASSERT_TRUE(std::equal(made, made + rows.RowBytes(), expected.begin()))
                    << "type " << type << " " << s[0] << "x" << s[1] << " to " << s[2] << "x" << s[3] << " row " << y;
                ASSERT_TRUE(std::all_of(expected.begin() + std::ptrdiff_t(rows.RowBytes()), expected.end(),
                                        [](std::uint8_t b) { return b == 0; }));
            }
            EXPECT_EQ(rows.Row(s[3]), nullptr);
        }
}

// The rows made a band at a time from the top down are those Deskew writes
// into a whole white picture, padding included, for every depth, tilts
// either way and steep ones, and corners that put pixels outside; rows
// asked out of turn and a failed source read fail the row.
TEST(DeskewedRows, EveryRowAsDeskewWritesIt) {
    const struct {
        int width, height;  // of the result
        DeskewCorners corners;
    } cases[] = {
        {45, 40, {3, 5, 40, 1, 6, 38, 43, 34}},     // rising top edge
        {45, 40, {2, 1, 41, 6, 0, 36, 39, 41}},     // falling top edge
        {40, 46, {4, 20, 30, 2, 22, 44, 48, 26}},   // steep
        {30, 30, {-6, 4, 40, 12, 3, 45, 49, 53}},   // partly outside
    };
    unsigned seed = 40;
    for (int type : picture_test::kOneTypePerDepth)
        for (const auto& c : cases) {
            auto source = picture_test::RandomPicture(type, 37, 29, ++seed);
            ASSERT_TRUE(source);
            const BitmapInfoHeader* header = source->GetHeader();
            CDocPicture reference;
            ASSERT_TRUE(reference.Create(type, c.width, c.height, int(header->biClrUsed), source->GetColourTable(),
                                         3780, 3780, kStoreMemory));
            ASSERT_EQ(Deskew(source.get(), &reference, c.corners, true), 1);
            int fetched = -1;
            DeskewedRows rows(*source, 37, 29,
                              [&](int y, std::uint8_t* buffer) {
                                  EXPECT_GT(y, fetched);  // from the top down, each once
                                  fetched = y;
                                  return source->ReadRow(0, 36, y, buffer) != 0;
                              },
                              c.corners, c.width, c.height);
            ASSERT_TRUE(rows.Usable());
            std::vector<std::uint8_t> made(reference.GetRowBytes()), expected(reference.GetRowBytes());
            for (int y = 0; y < c.height; ++y) {
                ASSERT_TRUE(rows.Row(y, made.data())) << "type " << type << " row " << y;
                ASSERT_TRUE(reference.ReadStoredRow(y, expected.data()));
                ASSERT_TRUE(made == expected) << "type " << type << " corners " << c.corners.x0 << "," << c.corners.y0
                                              << " row " << y;
            }
            EXPECT_FALSE(rows.Row(c.height, made.data()));
        }
    auto source = picture_test::RandomPicture(ptTrueColor24, 37, 29, 1);
    const DeskewCorners tilted{3, 5, 40, 1, 6, 38, 43, 34};
    DeskewedRows outOfTurn(*source, 37, 29, [&](int y, std::uint8_t* b) { return source->ReadRow(0, 36, y, b) != 0; },
                           tilted, 45, 40);
    std::vector<std::uint8_t> row(RowBytesFor(45, 24));
    ASSERT_TRUE(outOfTurn.Row(0, row.data()));
    EXPECT_FALSE(outOfTurn.Row(2, row.data()));
    DeskewedRows unread(*source, 37, 29, [](int y, std::uint8_t*) { return y < 10; }, tilted, 45, 40);
    bool failed = false;
    for (int y = 0; y < 40 && !failed; ++y) failed = !unread.Row(y, row.data());
    EXPECT_TRUE(failed);
}
