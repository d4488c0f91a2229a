// The library's contract with its callers: format records, the transfer
// block over memory or a swap file, progress calls and stopping, options.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "picture/image_store.h"
#include "platform/system.h"
#include "platform/imflib/tests/support.h"

using namespace imftest;
namespace fs = std::filesystem;

namespace {

TEST(Caps, RecordsAreWellFormedAndFitTheBlock) {
    std::vector<std::uint8_t> block(kFormatCapsBlockBytes + 64, 0xEE);
    const int count = AllGetReadWriteCaps(nullptr, block.data());
    ASSERT_GT(count, 0);
    ASSERT_LE(count, kFormatCapsMax);
    std::vector<std::string> seen;
    for (int i = 0; i < count; ++i) {
        FormatCapsEntry e;
        std::memcpy(&e, block.data() + 52 * i, 52);
        const std::string ext(e.extension);
        EXPECT_GE(ext.size(), 1u);
        EXPECT_LE(ext.size(), 3u);
        EXPECT_EQ(std::find(seen.begin(), seen.end(), ext), seen.end()) << ext << " listed twice";
        seen.push_back(ext);
        EXPECT_NE(e.canRead, 0);
        EXPECT_NE(e.canWrite, 0);
        EXPECT_LT(std::strlen(e.description), sizeof e.description);
    }
    // Nothing written past the block.
    for (std::size_t i = kFormatCapsBlockBytes; i < block.size(); ++i) ASSERT_EQ(block[i], 0xEE);
    for (const char* ext : {"BMP", "JPG", "PNG", "TIF", "GIF", "PCX", "TGA", "PBM", "PGM", "PPM"})
        EXPECT_NE(std::find(seen.begin(), seen.end(), ext), seen.end()) << ext;
    EXPECT_EQ(AllGetReadWriteCaps(nullptr, nullptr), 0);
}

TEST(Writer, ExtensionChoosesTheFormatInAnyCase) {
    const fs::path dir = ScratchDir("spellings");
    MemoryDib d = MemoryDib::Make(9, 5, 24);
    FillPattern(d);
    const std::pair<const char*, std::vector<std::uint8_t>> magic[] = {
        {"a.JPEG", {0xFF, 0xD8}}, {"b.Tiff", {'I', 'I'}}, {"c.PNG", {0x89, 'P'}}, {"d.bmp", {'B', 'M'}}, {"e.PPM", {'P', '6'}}};
    for (const auto& [name, head] : magic) {
        ASSERT_TRUE(SavePicture((dir / name).string(), d)) << name;
        const auto bytes = ReadBytes(dir / name);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin())) << name;
        EXPECT_EQ(AllSetSaveOption((dir / name).string().c_str(), nullptr), 1);
    }
    EXPECT_EQ(AllSetSaveOption("picture.xyz", nullptr), 0);
    // GIF holds no true-colour picture: a clear failure, and no file left behind.
    EXPECT_FALSE(SavePicture((dir / "f.gif").string(), d));
    EXPECT_STRNE(ImfLastError(), "");
    EXPECT_FALSE(fs::exists(dir / "f.gif"));
    fs::remove_all(dir);
}

std::vector<std::int32_t> gCalls;
std::int32_t gStopAt = -1;
std::int32_t Record(std::int32_t first, std::int32_t last, std::int32_t current) {
    EXPECT_EQ(first, 0);
    EXPECT_GT(last, 0);
    gCalls.push_back(current);
    return (gStopAt >= 0 && current >= gStopAt) ? 1 : 0;
}

TEST(Progress, RunsFromFirstToLastAndStopsOnRequest) {
    const fs::path dir = ScratchDir("progress");
    MemoryDib d = MemoryDib::Make(20, 100, 8);
    FillPattern(d);
    for (const char* ext : {"bmp", "jpg", "png", "tif", "gif", "pcx", "tga", "pgm"}) {
        const std::string path = (dir / (std::string("p.") + ext)).string();
        gCalls.clear();
        gStopAt = -1;
        ASSERT_TRUE(SavePicture(path, d, Record)) << ext;
        ASSERT_GE(gCalls.size(), 2u);
        EXPECT_EQ(gCalls.front(), 0) << ext;
        EXPECT_EQ(gCalls.back(), 100) << ext;
        EXPECT_TRUE(std::is_sorted(gCalls.begin(), gCalls.end())) << ext;

        MemoryDib back;
        gCalls.clear();
        ASSERT_TRUE(ReadPicture(path, back, Record)) << ext;
        EXPECT_EQ(gCalls.front(), 0) << ext;
        EXPECT_EQ(gCalls.back(), 100) << ext;

        // A stop request ends the read as a failure, with no call after it.
        gCalls.clear();
        gStopAt = 32;
        EXPECT_FALSE(ReadPicture(path, back, Record)) << ext;
        ASSERT_FALSE(gCalls.empty());
        EXPECT_EQ(gCalls.back(), 32) << ext;
        // And a stopped write leaves no file.
        gCalls.clear();
        const std::string stopped = (dir / (std::string("s.") + ext)).string();
        EXPECT_FALSE(SavePicture(stopped, d, Record)) << ext;
        EXPECT_FALSE(fs::exists(stopped)) << ext;
    }
    gStopAt = -1;
    fs::remove_all(dir);
}

TEST(Transfer, RefusesABlockThatDoesNotMatchTheFile) {
    const fs::path dir = ScratchDir("mismatch");
    MemoryDib d = MemoryDib::Make(30, 20, 24);
    FillPattern(d);
    const std::string path = (dir / "m.png").string();
    ASSERT_TRUE(SavePicture(path, d));
    MemoryDib other = MemoryDib::Make(30, 21, 24);
    DibTransferBlock block = other.Block();
    EXPECT_EQ(AllReadDIBImg(path.c_str(), &block, other.headerSize, nullptr), 0);
    MemoryDib deeper = MemoryDib::Make(30, 20, 32);
    block = deeper.Block();
    EXPECT_EQ(AllReadDIBImg(path.c_str(), &block, deeper.headerSize, nullptr), 0);
    // A block too small for its rows.
    MemoryDib same = MemoryDib::Make(30, 20, 24);
    block = same.Block();
    block.totalBytes -= 1;
    EXPECT_EQ(AllReadDIBImg(path.c_str(), &block, same.headerSize, nullptr), 0);
    EXPECT_EQ(AllSaveDIBImg((dir / "x.bmp").string().c_str(), &block, same.headerSize, nullptr), 0);
    EXPECT_EQ(AllReadDIBImg(path.c_str(), nullptr, 40, nullptr), 0);
    fs::remove_all(dir);
}

// A packed image in a store forced into its swap file.
struct DiskDib {
    CImageStore store;
    int headerSize = 40;
    std::uint64_t rowBytes = 0;
    int height = 0;
    bool Make(int width, int h, int bits) {
        BitmapInfoHeader header;
        header.biWidth = width;
        header.biHeight = h;
        header.biBitCount = std::uint16_t(bits);
        rowBytes = ((std::uint64_t(width) * bits + 31) / 32) * 4;
        height = h;
        if (!store.AllocateOnDisk(40 + rowBytes * h)) return false;
        return store.WriteBytes(0, 40, &header) == 40;
    }
    DibTransferBlock Block() {
        DibTransferBlock b;
        b.totalBytes = store.GetSize();
        b.storeState = std::int16_t(store.GetState());
        b.store = &store;
        return b;
    }
    std::vector<std::uint8_t> Row(int y) {
        std::vector<std::uint8_t> r(rowBytes);
        store.ReadBytes(std::uint64_t(headerSize) + rowBytes * std::uint64_t(height - 1 - y), rowBytes, r.data());
        return r;
    }
};

TEST(Transfer, RowsMoveThroughASwapFileStore) {
    const fs::path dir = ScratchDir("swap");
    MemoryDib d = MemoryDib::Make(50, 40, 24);
    FillPattern(d, 3);
    DiskDib disk;
    ASSERT_TRUE(disk.Make(50, 40, 24));
    ASSERT_EQ(disk.store.GetState(), kStateOnDisk);
    for (const char* ext : {"bmp", "png", "tif"}) {
        const std::string path = (dir / (std::string("s.") + ext)).string();
        ASSERT_TRUE(SavePicture(path, d));
        DibTransferBlock block = disk.Block();
        ASSERT_NE(AllReadDIBImg(path.c_str(), &block, 40, nullptr), 0) << ext << ": " << ImfLastError();
        for (int y = 0; y < 40; ++y) {
            const auto row = disk.Row(y);
            ASSERT_EQ(std::memcmp(row.data(), d.Row(y), d.RowBytes()), 0) << ext << " row " << y;
        }
        // And written back out of the swap file.
        const std::string again = (dir / (std::string("again.") + ext)).string();
        ASSERT_NE(AllSaveDIBImg(again.c_str(), &block, 40, nullptr), 0);
        EXPECT_EQ(ReadBytes(again), ReadBytes(path)) << ext;
    }
    fs::remove_all(dir);
}

std::uint64_t PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6));
    return 0;
}

TEST(Transfer, LargeJpegStreamsWithoutAWholePictureBuffer) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "resident memory is not meaningful under the address sanitizer";
#endif
    const fs::path dir = ScratchDir("large");
    const int w = 5000, h = 5000;  // 75 MB of pixels
    DiskDib source;
    ASSERT_TRUE(source.Make(w, h, 24));
    std::vector<std::uint8_t> row(source.rowBytes);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            row[3 * std::size_t(x)] = std::uint8_t(x);
            row[3 * std::size_t(x) + 1] = std::uint8_t(y);
            row[3 * std::size_t(x) + 2] = std::uint8_t(x ^ y);
        }
        source.store.WriteBytes(40 + source.rowBytes * std::uint64_t(y), row.size(), row.data());
    }
    const std::string path = (dir / "large.jpg").string();
    DibTransferBlock out = source.Block();
    ASSERT_NE(AllSaveDIBImg(path.c_str(), &out, 40, nullptr), 0);

    DiskDib target;
    ASSERT_TRUE(target.Make(w, h, 24));
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::uint64_t before = PeakResidentKb();
    DibTransferBlock in = target.Block();
    ASSERT_NE(AllReadDIBImg(path.c_str(), &in, 40, nullptr), 0) << ImfLastError();
    const std::uint64_t growth = PeakResidentKb() - before;
    EXPECT_LT(growth, 24u * 1024u) << "peak grew by " << growth << " KB";

    // The same picture progressive needs all its coefficients at once: under a
    // small memory budget the read fails cleanly instead of exhausting memory.
    if (HaveTool("jpegtran")) {
        const std::string progressive = (dir / "progressive.jpg").string();
        ASSERT_EQ(std::system(("jpegtran -progressive '" + path + "' > '" + progressive + "'").c_str()), 0);
        platform::SetMemoryBudget(16u << 20);
        DibTransferBlock again = target.Block();
        EXPECT_EQ(AllReadDIBImg(progressive.c_str(), &again, 40, nullptr), 0);
        EXPECT_STRNE(ImfLastError(), "");
        platform::SetMemoryBudget(0);
    }
    fs::remove_all(dir);
}

TEST(Options, QualityAndCompressionReachTheWriters) {
    const fs::path dir = ScratchDir("options");
    MemoryDib d = MemoryDib::Make(64, 64, 24);
    FillPattern(d, 5);
    ResetSaveOptions();
    CurrentSaveOptions().jpegQuality = 95;
    ASSERT_TRUE(SavePicture((dir / "high.jpg").string(), d));
    CurrentSaveOptions().jpegQuality = 20;
    ASSERT_TRUE(SavePicture((dir / "low.jpg").string(), d));
    EXPECT_LT(fs::file_size(dir / "low.jpg"), fs::file_size(dir / "high.jpg"));

    // Every TIFF compression keeps the pixels (JPEG nearly).
    MemoryDib bw = MemoryDib::Make(70, 30, 1);
    SetGrayRamp(bw);
    for (int y = 0; y < bw.Height(); ++y)
        for (int x = 0; x < bw.Width(); ++x)
            if ((x / 10 + y / 10) % 2) bw.Row(y)[x / 8] |= std::uint8_t(0x80 >> (x % 8));
    for (int c = kTiffCompressionAuto; c <= kTiffCompressionG4; ++c) {
        CurrentSaveOptions().tiffCompression = c;
        for (MemoryDib* src : {&d, &bw}) {
            std::string name = "c";
            name += std::to_string(c) + "_" + std::to_string(src->Bits()) + ".tif";
            const std::string path = (dir / name).string();
            ASSERT_TRUE(SavePicture(path, *src)) << c << ": " << ImfLastError();
            MemoryDib back;
            ASSERT_TRUE(ReadPicture(path, back)) << c << ": " << ImfLastError();
            ASSERT_EQ(back.Bits(), src->Bits());
            if (c == kTiffCompressionJpeg && src->Bits() == 24) continue;
            for (int y = 0; y < src->Height(); ++y)
                ASSERT_EQ(std::memcmp(back.Row(y), src->Row(y), (src->Width() * src->Bits() + 7) / 8), 0)
                    << "compression " << c << " bits " << src->Bits() << " row " << y;
        }
    }
    // The bilevel default is the small CCITT G4 coding.
    EXPECT_LT(fs::file_size(dir / "c0_1.tif"), fs::file_size(dir / "c1_1.tif"));

    // The option dialog hook: a cancel answers 2.
    SetSaveOptionDialog([](const char*, SaveOptions* o, void*) { o->jpegQuality = 33; return 2; });
    EXPECT_EQ(AllSetSaveOption("x.jpg", nullptr), 2);
    EXPECT_EQ(CurrentSaveOptions().jpegQuality, 33);
    SetSaveOptionDialog(nullptr);
    ResetSaveOptions();
    fs::remove_all(dir);
}

}  // namespace

namespace {

TEST(Options, TiffDictionaryCodersDifferenceRows) {
    // Rows that are straight ramps with a different start and step each: next
    // to nothing for a coder that sees differences, noise for one that does not.
    const fs::path dir = ScratchDir("predictor");
    MemoryDib colour = MemoryDib::Make(256, 64, 24);
    MemoryDib gray = MemoryDib::Make(256, 64, 8);
    SetGrayRamp(gray);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256 * 3; ++x) {
            const int step = 1 + 2 * ((y * 37 + x % 3 * 11) % 64);
            colour.Row(y)[x] = std::uint8_t(y * 53 + x % 3 * 90 + x / 3 * step);
            if (x < 256) gray.Row(y)[x] = std::uint8_t(y * 29 + x * (1 + 2 * (y * 37 % 64)));
        }
    for (int c : {kTiffCompressionLzw, kTiffCompressionDeflate}) {
        CurrentSaveOptions().tiffCompression = c;
        for (MemoryDib* src : {&colour, &gray}) {
            const fs::path path = dir / (std::to_string(c * 100 + src->Bits()) + ".tif");
            ASSERT_TRUE(SavePicture(path.string(), *src)) << ImfLastError();
            EXPECT_LT(fs::file_size(path), std::uintmax_t(256 * 64 * src->Bits() / 8 / 4)) << path;
            MemoryDib back;
            ASSERT_TRUE(ReadPicture(path.string(), back)) << ImfLastError();
            ASSERT_EQ(back.Bits(), src->Bits());
            for (int y = 0; y < 64; ++y)
                ASSERT_EQ(std::memcmp(back.Row(y), src->Row(y), std::size_t(256 * src->Bits() / 8)), 0) << path << " row " << y;
        }
    }
    ResetSaveOptions();
    fs::remove_all(dir);
}

}  // namespace

// Rows read straight from a binary PNM are the rows the reader stores, in
// any order; a file that is not one, or is cut short, is left to the reader.
TEST(RawRows, BinaryPnmRowsAsTheReaderStoresThem) {
    const auto dir = imftest::ScratchDir("raw_rows");
    std::uint32_t seed = 7;
    auto noise = [&seed](std::size_t n) {
        std::vector<std::uint8_t> v(n);
        for (auto& b : v) b = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
        return v;
    };
    struct Case {
        const char* magic;
        int width, height;
        std::size_t rowBytes;
    };
    const Case cases[] = {{"P6", 13, 5, 39}, {"P5", 37, 3, 37}, {"P4", 21, 4, 3}, {"P4", 16, 2, 2}};
    for (const Case& c : cases) {
        const auto path = (dir / (std::string(c.magic) + std::to_string(c.width) + ".pnm")).string();
        const std::string head = std::string(c.magic) + "\n# a comment\n" + std::to_string(c.width) + " " +
                                 std::to_string(c.height) + (c.magic[1] == '4' ? "\n" : "\n255\n");
        std::vector<std::uint8_t> bytes(head.begin(), head.end());
        const auto pixels = noise(c.rowBytes * std::size_t(c.height));
        bytes.insert(bytes.end(), pixels.begin(), pixels.end());
        imftest::WriteBytes(path, bytes);

        imftest::MemoryDib read;
        ASSERT_TRUE(imftest::ReadPicture(path, read)) << path;
        std::unique_ptr<RawRowFile> rows = RawRowFile::Open(path.c_str());
        ASSERT_TRUE(rows) << path;
        ASSERT_EQ(rows->RowBytes(), read.RowBytes());
        std::vector<std::uint8_t> row(rows->RowBytes());
        for (int y = c.height - 1; y >= 0; --y) {
            ASSERT_TRUE(rows->StoredRow(y, row.data()));
            EXPECT_EQ(0, std::memcmp(row.data(), read.Row(y), row.size())) << path << " row " << y;
            // Segments of whole-byte pixels as the row has them.
            const int pixel = read.Bits() / 8;
            std::vector<std::uint8_t> segment(std::size_t(3 * 3));
            EXPECT_EQ(rows->StoredSegment(y, c.width - 3, 3, segment.data()), pixel > 0);
            if (pixel > 0) {
                EXPECT_EQ(0, std::memcmp(segment.data(), read.Row(y) + (c.width - 3) * pixel, std::size_t(3 * pixel)));
            }
        }
        EXPECT_FALSE(rows->StoredSegment(0, c.width - 2, 3, row.data()));
        EXPECT_FALSE(rows->StoredRow(c.height, row.data()));

        bytes.pop_back();
        imftest::WriteBytes(path, bytes);
        EXPECT_FALSE(RawRowFile::Open(path.c_str())) << path << " cut short";
    }
    // Plain PNM, other maximum values and other formats go through the reader.
    imftest::WriteBytes(dir / "plain.ppm", {'P', '3', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', '1', ' ', '2', ' ', '3', '\n'});
    imftest::WriteBytes(dir / "deep.pgm", {'P', '5', '\n', '1', ' ', '1', '\n', '1', '5', '\n', 9});
    imftest::MemoryDib dib = imftest::MemoryDib::Make(3, 2, 24);
    ASSERT_TRUE(imftest::SavePicture((dir / "picture.bmp").string(), dib));
    for (const char* name : {"plain.ppm", "deep.pgm", "picture.bmp", "missing.ppm"})
        EXPECT_FALSE(RawRowFile::Open((dir / name).string().c_str())) << name;
    std::filesystem::remove_all(dir);
}

// PPM and PGM rows of the widest pictures leave the writer a megabyte or so
// at a time: every row lands whole and in order, across the seams of those
// blocks and in a short last one.
TEST(Writer, WidePnmRowsLandWholeAcrossWriteBlocks) {
    const fs::path dir = ScratchDir("pnm_blocks");
    for (const int bits : {24, 8}) {
        MemoryDib d = MemoryDib::Make(kMaxPictureSide, bits == 24 ? 23 : 70, bits);
        FillPattern(d, unsigned(bits));
        if (bits == 8) SetGrayRamp(d);
        const auto path = (dir / (bits == 24 ? "wide.ppm" : "wide.pgm")).string();
        ASSERT_TRUE(SavePicture(path, d)) << path;
        const std::string head = std::string(bits == 24 ? "P6" : "P5") + "\n" + std::to_string(d.Width()) + " " +
                                 std::to_string(d.Height()) + "\n255\n";
        std::vector<std::uint8_t> expected(head.begin(), head.end());
        for (int y = 0; y < d.Height(); ++y)
            for (int x = 0; x < d.Width(); ++x) {
                const std::uint8_t* p = d.Row(y) + x * (bits / 8);
                if (bits == 24) expected.insert(expected.end(), {p[2], p[1], p[0]});
                else expected.push_back(p[0]);
            }
        EXPECT_TRUE(ReadBytes(path) == expected) << path;
    }
    fs::remove_all(dir);
}

// A writer takes its rows from a row source as it asks for them; the block
// holds the header and colour table alone.
TEST(Transfer, WritersTakeRowsFromARowSource) {
    const auto dir = imftest::ScratchDir("row_source");
    imftest::MemoryDib whole = imftest::MemoryDib::Make(23, 9, 8);
    imftest::FillPattern(whole);
    struct Source final : DibRowSource {
        imftest::MemoryDib* dib;
        int asked = 0;
        bool StoredRow(int y, std::uint8_t* row) override {
            ++asked;
            std::memcpy(row, dib->Row(y), dib->RowBytes());
            return true;
        }
    } source;
    source.dib = &whole;
    for (const char* name : {"a.bmp", "a.png", "a.ppm", "a.tif", "a.gif"}) {
        std::vector<std::uint8_t> head(whole.bytes.begin(), whole.bytes.begin() + whole.headerSize);
        DibTransferBlock block;
        block.totalBytes = whole.bytes.size();
        block.memoryHandle = head.data();
        block.rowSource = &source;
        source.asked = 0;
        const auto streamed = (dir / (std::string("s") + name)).string();
        const auto saved = (dir / name).string();
        ASSERT_NE(AllSaveDIBImg(streamed.c_str(), &block, whole.headerSize, nullptr), 0) << name;
        EXPECT_EQ(source.asked, whole.Height()) << name;
        ASSERT_TRUE(imftest::SavePicture(saved, whole)) << name;
        EXPECT_EQ(imftest::ReadBytes(streamed), imftest::ReadBytes(saved)) << name;
    }
    std::filesystem::remove_all(dir);
}
