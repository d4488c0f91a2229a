#include <gtest/gtest.h>

#include "picture/crop.h"
#include "test_picture_helpers.h"

using namespace picture_test;

// Cropping keeps every pixel of the rectangle, the type, the palette and
// the resolution, for every depth, in memory and in the swap file; a
// rectangle that is empty or reaches outside the picture is refused.
TEST(Crop, KeepsTheRectanglesPixelsTypeAndResolution) {
    for (int storeFlags : {kStoreMemory, kStoreSwapFile}) {
        for (int type : kOneTypePerDepth) {
            SCOPED_TRACE(testing::Message() << "type " << type << " store " << storeFlags);
            auto p = RandomPicture(type, 53, 41, unsigned(type + 3 * storeFlags), storeFlags);
            ASSERT_TRUE(p);
            const Rect rect{3, 5, 3 + 17 - 1, 5 + 29 - 1};  // odd left: sub-byte pixels shift
            auto c = CropPicture(p.get(), rect, false);
            ASSERT_TRUE(c);
            EXPECT_EQ(c->GetType(), p->GetType());
            EXPECT_EQ(c->GetWidth(), 17);
            EXPECT_EQ(c->GetHeight(), 29);
            EXPECT_EQ(c->GetXDpi(), p->GetXDpi());
            EXPECT_EQ(c->GetYDpi(), p->GetYDpi());
            if (p->GetPalette()) {
                EXPECT_TRUE(PalettesEqual(c->GetPalette(), p->GetPalette()));
            }
            for (int y = 0; y < 29; y += 7)
                for (int x = 0; x < 17; ++x)
                    ASSERT_EQ(StoredPixel(*c, x, y), StoredPixel(*p, x + 3, y + 5)) << x << "," << y;
            ASSERT_EQ(StoredPixel(*c, 16, 28), StoredPixel(*p, 19, 33));
        }
    }
    auto p = RandomPicture(ptTrueColor24, 20, 10, 1);
    for (const Rect& bad : {Rect{5, 5, 4, 8}, Rect{-1, 0, 3, 3}, Rect{15, 0, 20, 9}, Rect{0, 9, 19, 10}})
        EXPECT_FALSE(CropPicture(p.get(), bad, false)) << bad.left << "," << bad.top << "," << bad.right << "," << bad.bottom;
    EXPECT_TRUE(CropPicture(p.get(), Rect{0, 0, 19, 9}, false));
}

// Trimming finds the content inside a border of one colour on any side,
// whichever corner shows the border, compares colours within the
// tolerance, and refuses a picture that is all border.
TEST(Crop, TrimFindsTheContentInsideTheBorder) {
    for (int type : {ptBlackWhite, ptColor16, ptColor256, ptGray256, ptColor64K, ptTrueColor24, ptTrueColor32}) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        auto p = std::make_unique<CPicture>();
        ASSERT_TRUE(p->Create(type, 40, 30, 0, nullptr, 0, 0, kStoreSwapFile));
        ASSERT_TRUE(FillWithBackground(p.get(), nullptr));
        Rect keep;
        EXPECT_EQ(FindTrimRect(p.get(), 0, keep), TrimFind::kAllBorder);
        // Content touching the right and bottom edges: the border is only at
        // the top and left, and the top-left corner shows it.
        std::vector<std::uint8_t> row(p->GetRowBytes(), 0);
        for (int y : {4, 29}) ASSERT_TRUE(p->WriteRow(7, 7, y, row.data()));
        ASSERT_TRUE(p->WriteRow(39, 39, 12, row.data()));
        ASSERT_EQ(FindTrimRect(p.get(), 0, keep), TrimFind::kFound);
        EXPECT_EQ(keep, (Rect{7, 4, 39, 29}));
    }
    // Near colours: within the tolerance they are border, beyond it content;
    // the border may be another colour than white (here the bottom-right one).
    auto p = std::make_unique<CPicture>();
    ASSERT_TRUE(p->Create(ptTrueColor24, 50, 20, 0, nullptr, 0, 0, kStoreMemory));
    ASSERT_TRUE(p->Fill(0x102030));
    ASSERT_TRUE(p->Fill(0x102030));
    const Rect content{0, 0, 29, 9};
    ASSERT_TRUE(p->FillRect(0x808080, &content));
    ASSERT_TRUE(p->SetPixelValue(40, 15, 0x102035));  // 5 away in one channel
    Rect keep;
    ASSERT_EQ(FindTrimRect(p.get(), 5, keep), TrimFind::kFound);
    EXPECT_EQ(keep, content);
    ASSERT_EQ(FindTrimRect(p.get(), 4, keep), TrimFind::kFound);
    EXPECT_EQ(keep, (Rect{0, 0, 40, 15}));
    auto trimmed = CropPicture(p.get(), content, false);
    ASSERT_TRUE(trimmed);
    EXPECT_EQ(FindTrimRect(trimmed.get(), 0, keep), TrimFind::kAllBorder);
}

// A crop in the picture's own memory leaves the stored rows, padding
// included, that a crop into a new picture gives, for every rectangle from
// one pixel to the whole picture; sub-byte pixels, a picture in its swap
// file and rectangles that do not fit are refused and change nothing.
TEST(Crop, InPlaceLeavesTheRowsOfACropIntoANewPicture) {
    auto storedRows = [](CPicture& p) {
        std::vector<std::uint8_t> bytes(p.GetRowBytes() * std::size_t(p.GetHeight()));
        for (int y = 0; y < p.GetHeight(); ++y) p.ReadStoredRow(y, bytes.data() + y * p.GetRowBytes());
        return bytes;
    };
    const Rect rects[] = {{3, 5, 19, 33}, {0, 0, 52, 40}, {52, 40, 52, 40}, {0, 40, 52, 40}, {1, 0, 50, 0}};
    for (int type : {ptColor256, ptColor64K, ptTrueColor24, ptTrueColor32})
        for (const Rect& rect : rects) {
            SCOPED_TRACE(testing::Message() << "type " << type << " rect " << rect.left << "," << rect.top
                                            << "," << rect.right << "," << rect.bottom);
            auto p = RandomPicture(type, 53, 41, unsigned(type + rect.left));
            ASSERT_TRUE(p);
            auto copy = CropPicture(p.get(), rect, false);
            ASSERT_TRUE(copy);
            ASSERT_EQ(p->CropInPlace(rect), 1);
            EXPECT_EQ(p->GetWidth(), copy->GetWidth());
            EXPECT_EQ(p->GetHeight(), copy->GetHeight());
            EXPECT_EQ(p->GetRowBytes(), copy->GetRowBytes());
            EXPECT_EQ(storedRows(*p), storedRows(*copy));
        }
    auto refused = [&](std::unique_ptr<CPicture> p, const Rect& rect) {
        ASSERT_TRUE(p);
        const int w = p->GetWidth(), h = p->GetHeight();
        const std::vector<std::uint32_t> before = AllPixels(*p);
        EXPECT_EQ(p->CropInPlace(rect), 0);
        EXPECT_EQ(p->GetWidth(), w);
        EXPECT_EQ(p->GetHeight(), h);
        EXPECT_EQ(AllPixels(*p), before);
    };
    refused(RandomPicture(ptColor16, 20, 10, 1), Rect{2, 2, 9, 9});
    refused(RandomPicture(ptTrueColor24, 20, 10, 2, kStoreSwapFile), Rect{2, 2, 9, 9});
    for (const Rect& bad : {Rect{5, 5, 4, 8}, Rect{-1, 0, 3, 3}, Rect{15, 0, 20, 9}, Rect{0, 9, 19, 10}})
        refused(RandomPicture(ptTrueColor24, 20, 10, 3), bad);
}
