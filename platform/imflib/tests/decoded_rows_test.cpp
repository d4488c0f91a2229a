// Rows decoded as they are asked for (DecodedRowFile): the same rows the
// reader puts into a whole picture, in the order the file holds them, and a
// clear failure, never a hang, when they are asked for otherwise or the
// file is damaged. And the order each writer asks for rows in, which
// decides whether a file's rows can feed it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/imflib/tests/support.h"

using namespace imftest;
namespace fs = std::filesystem;

namespace {

// Reads every row in the file's order and compares it with the picture read whole.
void ExpectRowsOfWholePicture(const std::string& path, int order) {
    MemoryDib whole;
    ASSERT_TRUE(ReadPicture(path, whole)) << path;
    std::unique_ptr<DecodedRowFile> rows = DecodedRowFile::Open(path.c_str());
    ASSERT_TRUE(rows) << path;
    EXPECT_EQ(rows->Order(), order) << path;
    ASSERT_EQ(rows->Width(), whole.Width());
    ASSERT_EQ(rows->Height(), whole.Height());
    ASSERT_EQ(rows->Bits(), whole.Bits());
    ASSERT_EQ(rows->RowBytes(), whole.RowBytes());
    std::vector<std::uint8_t> row(rows->RowBytes());
    for (int k = 0; k < whole.Height(); ++k) {
        const int y = order > 0 ? k : whole.Height() - 1 - k;
        ASSERT_TRUE(rows->StoredRow(y, row.data())) << path << " row " << y << ": " << rows->Failure();
        ASSERT_EQ(0, std::memcmp(row.data(), whole.Row(y), row.size())) << path << " row " << y;
    }
    EXPECT_EQ(rows->Failure(), "") << path;
}

// Pictures taller than the ring of rows held (about 4 MB of rows): the
// reader waits for room several times over.
TEST(DecodedRows, EveryFormatGivesTheRowsOfTheWholePictureInItsOrder) {
    const fs::path dir = ScratchDir("decoded_rows");
    MemoryDib colour = MemoryDib::Make(1600, 1000, 24, 0, nullptr, 3937);
    FillPattern(colour, 5);
    MemoryDib indexed = MemoryDib::Make(301, 200, 8);
    FillPattern(indexed, 6);
    MemoryDib bits = MemoryDib::Make(45, 30, 1);
    FillPattern(bits, 7);
    const struct {
        const char* name;
        MemoryDib* dib;
        int order;
    } files[] = {{"c.png", &colour, 1}, {"c.jpg", &colour, 1}, {"c.tif", &colour, 1}, {"c.bmp", &colour, -1},
                 {"c.tga", &colour, -1}, {"c.pcx", &colour, 1}, {"c.ppm", &colour, 1}, {"i.gif", &indexed, 1},
                 {"i.png", &indexed, 1}, {"b.png", &bits, 1}, {"b.bmp", &bits, -1}, {"b.tif", &bits, 1}};
    for (const auto& f : files) {
        const std::string path = (dir / f.name).string();
        ASSERT_TRUE(SavePicture(path, *f.dib)) << f.name;
        ExpectRowsOfWholePicture(path, f.order);
    }
    // A top-down BMP (negative height): its rows come from the top.
    std::vector<std::uint8_t> bmp = ReadBytes(dir / "c.bmp");
    std::uint32_t offset = 0;
    std::int32_t height = 0;
    std::memcpy(&offset, bmp.data() + 10, 4);
    std::memcpy(&height, bmp.data() + 22, 4);
    const std::size_t rowBytes = colour.RowBytes();
    std::vector<std::uint8_t> flipped(bmp.begin(), bmp.begin() + offset);
    for (int k = height - 1; k >= 0; --k)
        flipped.insert(flipped.end(), bmp.begin() + offset + std::ptrdiff_t(rowBytes * std::size_t(k)),
                       bmp.begin() + offset + std::ptrdiff_t(rowBytes * std::size_t(k + 1)));
    height = -height;
    std::memcpy(flipped.data() + 22, &height, 4);
    WriteBytes(dir / "top.bmp", flipped);
    ExpectRowsOfWholePicture((dir / "top.bmp").string(), 1);

    // Uncompressed BMP rows, either way up, are read straight from the file
    // in any order, whole or in segments.
    for (const char* name : {"c.bmp", "top.bmp", "b.bmp"}) {
        const std::string path = (dir / name).string();
        MemoryDib whole;
        ASSERT_TRUE(ReadPicture(path, whole)) << name;
        std::unique_ptr<ImageRowFile> rows = OpenImageRows(path.c_str());
        ASSERT_TRUE(rows) << name;
        EXPECT_EQ(rows->Order(), 0) << name;
        std::vector<std::uint8_t> row(rows->RowBytes());
        for (const int y : {0, whole.Height() - 1, whole.Height() / 2, 1}) {
            ASSERT_TRUE(rows->StoredRow(y, row.data())) << name << " row " << y;
            EXPECT_EQ(0, std::memcmp(row.data(), whole.Row(y), row.size())) << name << " row " << y;
            const int pixel = whole.Bits() / 8;
            EXPECT_EQ(rows->StoredSegment(y, 3, 5, row.data()), pixel > 0) << name;
            if (pixel > 0) {
                EXPECT_EQ(0, std::memcmp(row.data(), whole.Row(y) + 3 * pixel, std::size_t(5 * pixel))) << name;
            }
        }
    }
    // Compressed files are decoded, in their order.
    EXPECT_EQ(OpenImageRows((dir / "c.png").string().c_str())->Order(), 1);

    // What no reader knows gives none, to be read (and refused) whole.
    WriteBytes(dir / "junk.png", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
    EXPECT_FALSE(DecodedRowFile::Open((dir / "junk.png").string().c_str()));
    EXPECT_FALSE(DecodedRowFile::Open((dir / "missing.png").string().c_str()));
    fs::remove_all(dir);
}

TEST(DecodedRows, RowsAskedOutOfOrderOrLeftUnreadFailOrStopWithoutHanging) {
    const fs::path dir = ScratchDir("decoded_order");
    MemoryDib d = MemoryDib::Make(1200, 1500, 24);
    FillPattern(d, 3);
    const std::string path = (dir / "tall.png").string();
    ASSERT_TRUE(SavePicture(path, d));
    std::vector<std::uint8_t> row(d.RowBytes());
    {
        auto rows = DecodedRowFile::Open(path.c_str());
        ASSERT_TRUE(rows);
        // The row held may be asked for again; one before it is gone.
        EXPECT_TRUE(rows->StoredRow(5, row.data()));
        EXPECT_TRUE(rows->StoredRow(5, row.data()));  // the row held, again
        EXPECT_EQ(0, std::memcmp(row.data(), d.Row(5), row.size()));
        EXPECT_FALSE(rows->StoredRow(4, row.data()));
        EXPECT_NE(rows->Failure(), "");
        EXPECT_FALSE(rows->StoredRow(-1, row.data()));
        EXPECT_FALSE(rows->StoredRow(1500, row.data()));
    }
    {
        // Skipped rows are passed over; left with the ring full, the reader stops.
        auto rows = DecodedRowFile::Open(path.c_str());
        ASSERT_TRUE(rows);
        ASSERT_TRUE(rows->StoredRow(900, row.data()));
        EXPECT_EQ(0, std::memcmp(row.data(), d.Row(900), row.size()));
        ASSERT_TRUE(rows->StoredRow(901, row.data()));
    }
    {
        auto rows = DecodedRowFile::Open(path.c_str());  // never asked: nothing read
        ASSERT_TRUE(rows);
    }
    fs::remove_all(dir);
}

// A file cut short fails at the first row the reader could not make (a
// batch-reading reader may give none), with the reader's reason; the rows
// before the damage are those of the file.
TEST(DecodedRows, ACutFileFailsWhereTheDamageIsWithTheReadersReason) {
    const fs::path dir = ScratchDir("decoded_cut");
    MemoryDib d = MemoryDib::Make(400, 300, 24);
    FillPattern(d, 9);
    for (const char* name : {"cut.png", "cut.jpg", "cut.bmp"}) {
        const std::string path = (dir / name).string();
        ASSERT_TRUE(SavePicture(path, d)) << name;
        std::vector<std::uint8_t> bytes = ReadBytes(path);
        bytes.resize(bytes.size() / 2);
        WriteBytes(path, bytes);
        auto rows = DecodedRowFile::Open(path.c_str());
        ASSERT_TRUE(rows) << name;
        std::vector<std::uint8_t> row(rows->RowBytes());
        int made = 0;
        for (int k = 0; k < d.Height(); ++k) {
            const int y = rows->Order() > 0 ? k : d.Height() - 1 - k;
            if (!rows->StoredRow(y, row.data())) break;
            if (name[4] == 'p') {
                ASSERT_EQ(0, std::memcmp(row.data(), d.Row(y), row.size())) << name << " row " << y;
            }
            ++made;
        }
        EXPECT_LT(made, d.Height()) << name;
        EXPECT_NE(rows->Failure(), "") << name;
        if (name[4] == 'p') {
            EXPECT_GT(made, 0) << name;
        }
    }
    fs::remove_all(dir);
}

// Each writer asks for its rows in the order WriterRowOrder tells: a file
// whose rows are decoded in that order feeds it without a picture.
TEST(DecodedRows, WritersAskForRowsInTheOrderTheLibraryTells) {
    const fs::path dir = ScratchDir("writer_order");
    MemoryDib d = MemoryDib::Make(17, 40, 8);
    FillPattern(d);
    struct Source final : DibRowSource {
        MemoryDib* dib;
        std::vector<int> asked;
        bool StoredRow(int y, std::uint8_t* row) override {
            asked.push_back(y);
            std::memcpy(row, dib->Row(y), dib->RowBytes());
            return true;
        }
    } source;
    source.dib = &d;
    for (const char* name : {"a.bmp", "a.jpg", "a.png", "a.tif", "a.gif", "a.pcx", "a.pgm", "a.tga"}) {
        std::vector<std::uint8_t> head(d.bytes.begin(), d.bytes.begin() + d.headerSize);
        DibTransferBlock block;
        block.totalBytes = d.bytes.size();
        block.memoryHandle = head.data();
        block.rowSource = &source;
        source.asked.clear();
        const std::string path = (dir / name).string();
        ASSERT_NE(AllSaveDIBImg(path.c_str(), &block, d.headerSize, nullptr), 0) << name;
        const int order = WriterRowOrder(path.c_str());
        ASSERT_NE(order, 0) << name;
        ASSERT_EQ(source.asked.size(), std::size_t(d.Height())) << name;
        for (int k = 0; k < d.Height(); ++k)
            ASSERT_EQ(source.asked[std::size_t(k)], order > 0 ? k : d.Height() - 1 - k) << name;
    }
    EXPECT_EQ(WriterRowOrder("a.xyz"), 0);
    EXPECT_EQ(WriterRowOrder("a.TGA"), -1);
    fs::remove_all(dir);
}

}  // namespace
