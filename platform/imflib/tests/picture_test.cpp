// Pictures go through the library as the import and export code drives it:
// header, palette, picture from the header, transfer block, pixels.
#include <gtest/gtest.h>

#include "picture/picture.h"
#include "platform/imflib/tests/support.h"

using namespace imftest;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<CPicture> Load(const std::string& path, int storeFlags) {
    BitmapInfoHeader header;
    if (!AllReadHeader(path.c_str(), &header)) return nullptr;
    auto palette = AllReadPalette(path.c_str());
    auto picture = std::make_unique<CPicture>();
    if (!picture->CreateFromInfo(&header, nullptr, storeFlags)) return nullptr;
    DibTransferBlock block = MakeDibTransferBlock(picture.get());
    if (!AllReadDIBImg(path.c_str(), &block, picture->GetHeaderSize(), nullptr)) return nullptr;
    if (palette) picture->SetPalette(palette.get());
    return picture;
}

bool Save(const std::string& path, CPicture& picture) {
    DibTransferBlock block = MakeDibTransferBlock(&picture);
    return AllSaveDIBImg(path.c_str(), &block, picture.GetHeaderSize(), nullptr) != 0;
}

void ExpectSameRows(CPicture& a, CPicture& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    ASSERT_EQ(a.GetRowBytes(), b.GetRowBytes());
    std::vector<std::uint8_t> ra(a.GetRowBytes()), rb(b.GetRowBytes());
    const std::size_t used = (std::size_t(a.GetWidth()) * a.GetBitCount() + 7) / 8;
    for (int y = 0; y < a.GetHeight(); ++y) {
        ASSERT_TRUE(a.ReadStoredRow(y, ra.data()));
        ASSERT_TRUE(b.ReadStoredRow(y, rb.data()));
        ASSERT_EQ(std::memcmp(ra.data(), rb.data(), used), 0) << "row " << y;
    }
}

TEST(PictureFiles, TypesSurviveEveryLosslessFormat) {
    const fs::path dir = ScratchDir("picture");
    struct Case {
        int type;
        const char* ext;
    };
    const Case cases[] = {{ptBlackWhite, "tif"}, {ptBlackWhite, "png"}, {ptBlackWhite, "pbm"}, {ptGray16, "png"},
                          {ptGray16, "tif"},     {ptColor16, "bmp"},    {ptColor16, "gif"},   {ptGray256, "pgm"},
                          {ptGray256, "tga"},    {ptColor256, "pcx"},   {ptColor256, "png"},  {ptTrueColor24, "tif"},
                          {ptTrueColor24, "ppm"}, {ptColor32K, "bmp"},  {ptTrueColor32, "bmp"}};
    for (const Case& c : cases) {
        CPicture source;
        ASSERT_TRUE(source.Create(c.type, 41, 17, 0, nullptr, DpiToPpm(200), DpiToPpm(200), kStoreAny));
        std::vector<std::uint8_t> row(source.GetRowBytes());
        for (int y = 0; y < 17; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t(i * 7 + y * 13);
            if (c.type == ptColor32K)
                for (std::size_t i = 1; i < row.size(); i += 2) row[i] &= 0x7F;
            if (c.type == ptTrueColor32)
                for (std::size_t i = 3; i < row.size(); i += 4) row[i] = 0;
            ASSERT_TRUE(source.WriteRow(0, 40, y, row.data()));
        }
        const std::string path = (dir / (std::string("p.") + c.ext)).string();
        ASSERT_TRUE(Save(path, source)) << c.ext << ": " << ImfLastError();
        auto back = Load(path, kStoreAny);
        ASSERT_NE(back, nullptr) << c.ext << ": " << ImfLastError();
        // Files know 16 bits, not which of the two 16-bit types: both read as 64K.
        EXPECT_EQ(back->GetType(), c.type == ptColor32K ? ptColor64K : c.type) << c.ext;
        ExpectSameRows(source, *back);
        if (std::string(c.ext) != "pbm" && std::string(c.ext) != "pgm" && std::string(c.ext) != "ppm" &&
            std::string(c.ext) != "gif" && std::string(c.ext) != "tga") {
            EXPECT_EQ(back->GetXDpi(), 200) << c.ext;
        }
    }
    fs::remove_all(dir);
}

TEST(PictureFiles, ReadsIntoAPictureKeptInItsSwapFile) {
    const fs::path dir = ScratchDir("pictureswap");
    CPicture source;
    ASSERT_TRUE(source.Create(ptTrueColor24, 300, 200, 0, nullptr, 0, 0, kStoreAny));
    std::vector<std::uint8_t> row(source.GetRowBytes());
    for (int y = 0; y < 200; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t(i ^ std::size_t(y));
        source.WriteRow(0, 299, y, row.data());
    }
    const std::string path = (dir / "s.png").string();
    ASSERT_TRUE(Save(path, source));
    auto back = Load(path, kStoreSwapFile);
    ASSERT_NE(back, nullptr) << ImfLastError();
    EXPECT_EQ(back->GetStoreState(), kStateOnDisk);
    ExpectSameRows(source, *back);
    // Written from the swap file again, the same bytes come out.
    ASSERT_TRUE(Save((dir / "again.png").string(), *back));
    EXPECT_EQ(ReadBytes(dir / "again.png"), ReadBytes(path));
    fs::remove_all(dir);
}

}  // namespace
