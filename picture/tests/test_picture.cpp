// Creation, header and palette, packed images, the BMP stream and the free
// functions of the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "picture/picture.h"
#include "picture/tests/test_picture_helpers.h"

using namespace picture_test;

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

TEST(PictureTypes, FixedMappings) {
    const int bits[] = {1, 24, 4, 8, 4, 8, 16, 16, 32, 0};
    const int colours[] = {2, 256, 16, 256, 16, 256, 256, 256, 256, 0};
    for (int t = 0; t <= 9; ++t) {
        EXPECT_EQ(BitsForType(t), bits[t]);
        EXPECT_EQ(ColoursForType(t), colours[t]);
        EXPECT_EQ(StandardColourCount(t), colours[t]);
    }
    EXPECT_EQ(TypeForBitCount(15), ptColor32K);
    EXPECT_EQ(TypeForBitCount(16), ptColor64K);
    for (int b : {0, -1, 2, 33, 64}) EXPECT_EQ(TypeForBitCount(b), ptUnknown);
}

TEST(PictureCreate, RowsHeaderSizeAndResolution) {
    CPicture bw, rgb;
    ASSERT_TRUE(bw.Create(ptBlackWhite, 33, 2, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_EQ(bw.GetRowBytes(), 8u);
    EXPECT_EQ(bw.GetHeaderSize(), 48);
    EXPECT_EQ(bw.GetXDpi(), 96);  // no resolution given
    ASSERT_TRUE(rgb.Create(ptTrueColor24, 3, 2, ColoursForType(ptTrueColor24), nullptr, DpiToPpm(300), 0,
                           kStoreMemory));
    EXPECT_EQ(rgb.GetRowBytes(), 12u);
    EXPECT_EQ(rgb.GetHeaderSize(), 1064);
    EXPECT_EQ(rgb.GetYDpi(), 300);  // the missing one takes the other
    EXPECT_EQ(rgb.GetHeader()->biSizeImage, 24u);

    // An explicit 24-bit type carries 256 colours; the header's count of 0 none.
    BitmapInfoHeader header;
    BuildInfoHeader(&header, ptTrueColor24, 5, 4, 72, 72);
    CPicture explicitType, fromHeader;
    ASSERT_TRUE(explicitType.CreateFromHeader(&header, 0, 0, ptTrueColor24, kStoreMemory));
    EXPECT_EQ(explicitType.GetHeaderSize(), 1064);
    header.biClrUsed = 0;
    ASSERT_TRUE(fromHeader.CreateFromHeader(&header, 0, 0, ptUnknown, kStoreMemory));
    EXPECT_EQ(fromHeader.GetHeaderSize(), 40);
    EXPECT_EQ(fromHeader.GetPalette(), nullptr);
    EXPECT_EQ(fromHeader.GetXDpi(), 72);

    // Bad sizes leave the picture as it was.
    EXPECT_FALSE(bw.Create(ptBlackWhite, 0, 5, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_FALSE(bw.Create(ptBlackWhite, 5, -1, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_FALSE(bw.Create(ptBlackWhite, kMaxPictureSide + 1, 5, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_FALSE(bw.Create(ptUnknown, 5, 5, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_EQ(bw.GetWidth(), 33);
    EXPECT_EQ(bw.GetRowBytes(), 8u);
}

TEST(PictureCreate, TheLargestPictureSizesDoNotWrap) {
    // 32767 x 32767 at 32 bits is just under 4 GiB of rows; sizes are
    // computed in 64 bits (the store itself is not allocated here).
    EXPECT_EQ(RowBytesFor(kMaxPictureSide, 32), 131068u);
    BitmapInfoHeader header;
    BuildInfoHeader(&header, ptTrueColor32, kMaxPictureSide, kMaxPictureSide, 96, 96);
    EXPECT_EQ(header.biSizeImage, 131068u * 32767u);
}

TEST(PicturePalette, DefaultTablesAndGrayRefinement) {
    CPicture c16, c256;
    ASSERT_TRUE(c16.Create(ptColor16, 4, 4, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_EQ(c16.GetColourTable()[12].red, 255);
    EXPECT_EQ(c16.GetColourTable()[15].blue, 255);
    ASSERT_TRUE(c256.Create(ptColor256, 4, 4, 0, nullptr, 0, 0, kStoreMemory));
    const RgbQuad cube = c256.GetColourTable()[16 + 36 * 5 + 6 * 2 + 1];
    EXPECT_EQ(cube.red, 254);
    EXPECT_EQ(cube.green, 101);
    EXPECT_EQ(cube.blue, 50);
    EXPECT_EQ(c256.GetColourTable()[254].red, 242);
    EXPECT_EQ(c256.GetType(), ptColor256);

    CPicture gray;
    ASSERT_TRUE(gray.Create(ptGray16, 4, 4, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_EQ(gray.GetType(), ptGray16);  // the default ramp is i * 17
    RgbQuad ramp[16];
    for (int i = 0; i < 16; ++i) ramp[i] = RgbQuad{std::uint8_t(i * 16), std::uint8_t(i * 16), std::uint8_t(i * 16), 0};
    CPicture by16;
    ASSERT_TRUE(by16.Create(ptGray16, 4, 4, 16, ramp, 0, 0, kStoreMemory));
    EXPECT_EQ(by16.GetType(), ptColor16);

    // A palette change goes through the table and refines the type.
    auto grayPalette = CreateStandardPalette(ptGray256);
    ASSERT_TRUE(c256.SetPalette(grayPalette.get()));
    EXPECT_EQ(c256.GetType(), ptGray256);
    EXPECT_FALSE(c256.SetPalette(nullptr));
    Palette empty;
    EXPECT_FALSE(c256.SetPalette(&empty));
}

TEST(PicturePalette, StandardPalettesAndComparison) {
    auto gray16 = CreateStandardPalette(ptGray16);
    ASSERT_EQ(gray16->Count(), 16);
    EXPECT_EQ((*gray16)[1].red, 16);
    EXPECT_EQ((*gray16)[15].red, 255);
    for (int type : {ptColor256, ptGray256, ptColor16, ptGray16, ptBlackWhite})
        EXPECT_TRUE(IsStandardPalette(CreateStandardPalette(type).get())) << type;

    CPicture gray;  // its i * 17 ramp is not the standard i * 16 one
    ASSERT_TRUE(gray.Create(ptGray16, 2, 2, 0, nullptr, 0, 0, kStoreMemory));
    EXPECT_FALSE(IsStandardPalette(gray.GetPalette()));

    auto bw = CreateStandardPalette(ptBlackWhite);
    EXPECT_TRUE(PalettesEqual(bw.get(), bw.get()));
    EXPECT_FALSE(PalettesEqual(bw.get(), nullptr));
    auto longer = CopyPalette(bw.get(), 3);  // the extra entry is white
    EXPECT_EQ((*longer)[2], (PaletteEntry{255, 255, 255, 0}));
    EXPECT_FALSE(PalettesEqual(bw.get(), longer.get()));
    EXPECT_TRUE(PalettesEqual(bw.get(), CopyPalette(bw.get(), 2).get()));

    std::uint8_t rgb[6];
    EXPECT_TRUE(PaletteToRgb(bw.get(), 2, rgb));
    EXPECT_EQ(rgb[3], 255);
    EXPECT_FALSE(PaletteToRgb(bw.get(), 3, rgb));

    EXPECT_EQ(CreateStandardPalette(ptColor16)->NearestIndex(MakeRgb(250, 5, 5)), 12);
    EXPECT_EQ(Palette().NearestIndex(0), -1);
}

TEST(PictureBmp, OddWidthsInEveryDepth) {
    for (int type : kOneTypePerDepth) {
        for (int width : {1, 3, 33}) {
            SCOPED_TRACE(::testing::Message() << type << " width " << width);
            auto p = RandomPicture(type, width, 3, unsigned(width));
            std::FILE* file = std::tmpfile();
            ASSERT_TRUE(file);
            ASSERT_TRUE(p->WriteBmp(file));
            const long length = std::ftell(file);
            std::rewind(file);
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
            ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
            std::fclose(file);

            const std::size_t headerSize = std::size_t(p->GetHeaderSize());
            const std::size_t rowBytes = p->GetRowBytes();
            ASSERT_EQ(bytes.size(), 14 + headerSize + 3 * rowBytes);
            EXPECT_EQ(bytes[0], 'B');
            EXPECT_EQ(bytes[1], 'M');
            EXPECT_EQ(Le32(&bytes[2]), bytes.size());
            EXPECT_EQ(Le32(&bytes[10]), 14 + headerSize);
            EXPECT_EQ(std::memcmp(&bytes[14], p->GetHeader(), headerSize), 0);
            // Rows are stored last picture row first, each rowBytes long.
            std::vector<std::uint8_t> row(rowBytes);
            for (int r = 0; r < 3; ++r) {
                ASSERT_TRUE(p->ReadStoredRow(2 - r, row.data()));
                EXPECT_EQ(std::memcmp(&bytes[14 + headerSize + std::size_t(r) * rowBytes], row.data(), rowBytes), 0);
            }
        }
    }
}

TEST(PictureBmp, AFailedWriteIsReported) {
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full";
    auto p = RandomPicture(ptTrueColor24, 200, 200, 1);
    EXPECT_FALSE(p->WriteBmp(full));
    std::fclose(full);
    CPicture empty;
    EXPECT_FALSE(empty.WriteBmp(stdout));
}

TEST(PicturePackedDib, DetachAndAttachKeepTheImage) {
    RgbQuad ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = RgbQuad{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    CPicture source;
    ASSERT_TRUE(source.Create(ptColor256, 7, 5, 256, ramp, DpiToPpm(200), DpiToPpm(100), kStoreSwapFile));
    ASSERT_EQ(source.GetType(), ptGray256);
    std::mt19937 random(1);
    std::vector<std::uint8_t> row(source.GetRowBytes());
    for (int y = 0; y < 5; ++y) {
        for (auto& b : row) b = std::uint8_t(random());
        source.WriteStoredRow(y, row.data());
    }
    const auto pixels = AllPixels(source);

    HGlobal block = source.DetachPackedDib();  // brought back from the swap file
    ASSERT_TRUE(block);
    EXPECT_FALSE(source.HasHeader());
    EXPECT_EQ(block->size, 1064u + 5 * 8);

    CPicture attached;
    ASSERT_TRUE(attached.AttachPackedDib(std::move(block)));
    EXPECT_EQ(attached.GetType(), ptGray256);
    EXPECT_EQ(attached.GetWidth(), 7);
    EXPECT_EQ(attached.GetXDpi(), 200);
    EXPECT_EQ(attached.GetYDpi(), 100);
    EXPECT_EQ(AllPixels(attached), pixels);
}

TEST(PicturePackedDib, RejectsBlocksItCannotRead) {
    auto block = [](std::uint16_t bits, int width, int height, std::uint32_t compression,
                    std::uint64_t size) {
        HGlobal h = GlobalAlloc(kGlobalZeroInit, size);
        BitmapInfoHeader header;
        header.biWidth = width;
        header.biHeight = height;
        header.biBitCount = bits;
        header.biCompression = compression;
        std::memcpy(h->bytes.get(), &header, std::min<std::uint64_t>(size, sizeof header));
        return h;
    };
    CPicture p;
    EXPECT_TRUE(p.AttachPackedDib(block(24, 3, 2, 0, 40 + 24)));
    EXPECT_EQ(p.GetHeaderSize(), 40);
    EXPECT_FALSE(p.AttachPackedDib(block(3, 3, 2, 0, 4096)));
    EXPECT_FALSE(p.AttachPackedDib(block(8, 0, 2, 0, 4096)));
    EXPECT_FALSE(p.AttachPackedDib(block(8, 3, -2, 0, 4096)));
    EXPECT_FALSE(p.AttachPackedDib(block(8, 3, 2, 1, 4096)));
    EXPECT_FALSE(p.AttachPackedDib(block(8, 3, 2, 0, 40 + 1024 + 7)));  // rows cut short
    EXPECT_FALSE(p.AttachPackedDib(block(8, 3, 2, 0, 20)));
    EXPECT_FALSE(p.AttachPackedDib(nullptr));
    EXPECT_FALSE(p.HasHeader());
}

TEST(PictureFree, NewPictureLikeAndDuplicate) {
    auto c16 = RandomPicture(ptColor16, 9, 4, 3);
    std::unique_ptr<CPicture> like(NewPictureLike(c16.get(), 1, 0, 0));
    ASSERT_TRUE(like);
    EXPECT_EQ(like->GetType(), ptColor16);
    EXPECT_EQ(like->GetWidth(), 9);
    for (auto v : AllPixels(*like)) ASSERT_EQ(v, 15u);  // white in the standard table

    std::unique_ptr<CPicture> copy(CPicture::Duplicate(c16.get(), kStoreAny));
    ASSERT_TRUE(copy);
    EXPECT_EQ(AllPixels(*copy), AllPixels(*c16));
    EXPECT_TRUE(PalettesEqual(copy->GetPalette(), c16->GetPalette()));

    // Deep pictures need no palette; their background is white too.
    BitmapInfoHeader header;
    BuildInfoHeader(&header, ptTrueColor32, 4, 3, 96, 96);
    header.biClrUsed = 0;
    CPicture deep;
    ASSERT_TRUE(deep.CreateFromHeader(&header, 0, 0, ptUnknown, kStoreMemory));
    std::unique_ptr<CPicture> wide(NewPictureLike(&deep, 1, 6, 0));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->GetWidth(), 6);
    EXPECT_EQ(wide->GetHeight(), 3);
    for (auto v : AllPixels(*wide)) ASSERT_EQ(v, 0x00FFFFFFu);

    // A bounded background fill covers columns left .. right (inclusive,
    // as every Rect: the last column used to be left out).
    auto gray = RandomPicture(ptGray256, 6, 3, 2);
    auto expected = AllPixels(*gray);
    const Rect rect{2, 1, 4, 1};
    ASSERT_TRUE(FillWithBackground(gray.get(), &rect));
    expected[6 + 2] = expected[6 + 3] = expected[6 + 4] = 255;
    EXPECT_EQ(AllPixels(*gray), expected);
}

TEST(PictureAreas, RectanglesIncludeTheirRightAndBottomAndAreClipped) {
    for (bool inclusiveName : {false, true}) {
        auto p = RandomPicture(ptGray256, 5, 4, 3);
        auto model = AllPixels(*p);
        auto fill = [&](const Rect& r) {
            return inclusiveName ? p->FillRectInclusive(7, &r) : p->FillRect(7, &r);
        };
        // Inside: its right column and bottom row too.
        ASSERT_TRUE(fill(Rect{1, 0, 2, 1}));
        for (int y = 0; y <= 1; ++y)
            for (int x = 1; x <= 2; ++x) model[std::size_t(y * 5 + x)] = 7;
        EXPECT_EQ(AllPixels(*p), model);
        // Reaching past the picture: up to and including its last column and row.
        ASSERT_TRUE(fill(Rect{3, 2, 99, 99}));
        for (int y = 2; y <= 3; ++y)
            for (int x = 3; x <= 4; ++x) model[std::size_t(y * 5 + x)] = 7;
        EXPECT_EQ(AllPixels(*p), model);
        // Wholly outside, or inside out: nothing changes, and that is no failure.
        ASSERT_TRUE(fill(Rect{-5, -5, -1, -1}));
        ASSERT_TRUE(fill(Rect{3, 1, 2, 1}));
        EXPECT_EQ(AllPixels(*p), model);
    }
    EXPECT_EQ(ClipRect(Rect{-2, 1, 10, 2}, 5, 4), (Rect{0, 1, 4, 2}));
    EXPECT_TRUE(IsEmptyRect(ClipRect(Rect{5, 0, 9, 3}, 5, 4)));
}

TEST(PictureEmpty, OperationsFailCleanly) {
    CPicture p;
    std::uint8_t buffer[64] = {};
    EXPECT_EQ(p.GetType(), ptGray256);
    EXPECT_EQ(p.GetWidth(), 0);
    EXPECT_FALSE(p.ReadRow(0, 3, 0, buffer));
    EXPECT_FALSE(p.WriteRow(0, 3, 0, buffer));
    EXPECT_FALSE(p.WriteColumn(0, 0, 3, buffer));
    EXPECT_FALSE(p.ReadRowReversed(0, 3, 0, buffer));
    EXPECT_FALSE(p.ReadRowShrunk(0, 3, 0, buffer, -2));
    EXPECT_FALSE(p.ExpandRow(buffer, buffer, 3, 2));
    EXPECT_FALSE(p.ReadStoredRow(0, buffer));
    EXPECT_EQ(p.LockRow(0, 3, 0), nullptr);
    EXPECT_FALSE(p.SetPixelValue(0, 0, 1));
    EXPECT_FALSE(p.Fill(0));
    EXPECT_FALSE(p.FillRect(0, nullptr));
    EXPECT_FALSE(p.FillRectInclusive(0, nullptr));
    EXPECT_FALSE(p.SwapOut());
    EXPECT_FALSE(p.SwapIn());
    EXPECT_FALSE(p.WriteChannelRow(0, 3, 0, buffer, 0));
    EXPECT_FALSE(p.WriteChannelBand(Rect{0, 0, 3, 0}, buffer, 0));
    EXPECT_FALSE(p.DetachPackedDib());
    EXPECT_FALSE(p.WriteHeaderToStore());
    EXPECT_EQ(p.SegmentBytes(0, 3), 0u);
    auto other = RandomPicture(ptColor256, 4, 4, 1);
    EXPECT_FALSE(p.CopyTo(other.get(), 0, 0, nullptr, false));
    EXPECT_FALSE(other->CopyTo(&p, 0, 0, nullptr, false));
    EXPECT_FALSE(p.PasteFrom(other.get(), 0, 0, false));
    EXPECT_FALSE(other->CopyAllRows(&p));
    EXPECT_EQ(CPicture::Duplicate(&p, kStoreAny), nullptr);
    EXPECT_EQ(NewPictureLike(&p, 1, 0, 0), nullptr);
}
