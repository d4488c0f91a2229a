// Bad input: every reader fails cleanly on damaged, lying or absurd files.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <cstdio>
#include <jpeglib.h>
#include <unistd.h>

#include "platform/imflib/tests/support.h"

using namespace imftest;
namespace fs = std::filesystem;

namespace {

void PutLe16(std::vector<std::uint8_t>& b, std::size_t at, unsigned v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void PutLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    PutLe16(b, at, v & 0xFFFF);
    PutLe16(b, at + 2, v >> 16);
}

// A valid file of the format, written by the library from a small picture.
std::vector<std::uint8_t> ValidFile(const fs::path& dir, const std::string& ext, int bits) {
    MemoryDib d = MemoryDib::Make(45, 31, bits);
    FillPattern(d, 7);
    const fs::path p = dir / ("valid." + ext);
    EXPECT_TRUE(SavePicture(p.string(), d)) << ImfLastError();
    return ReadBytes(p);
}

// Reads a file completely; false when any step refuses it.
bool ReadAll(const fs::path& p) {
    MemoryDib d;
    return ReadPicture(p.string(), d);
}

struct Format {
    const char* ext;
    int bits;
    std::size_t trailer = 32;  // bytes at the end that the pixels do not need
};
const Format kFormats[] = {{"bmp", 24}, {"bmp", 8},  {"jpg", 24}, {"png", 24}, {"png", 4}, {"tif", 24},
                           {"tif", 1},  {"gif", 8},  {"pcx", 8, 800},  {"pcx", 24}, {"tga", 24}, {"tga", 8},
                           {"pbm", 1},  {"pgm", 8},  {"ppm", 24}};

TEST(Hostile, TruncatedFilesFailAtEveryLength) {
    const fs::path dir = ScratchDir("truncated");
    for (const Format& f : kFormats) {
        const auto bytes = ValidFile(dir, f.ext, f.bits);
        ASSERT_TRUE(ReadAll(dir / ("valid." + std::string(f.ext)))) << f.ext << ": " << ImfLastError();
        // Cut at many points: inside the header, the palette and the pixel data.
        const std::size_t step = std::max<std::size_t>(1, bytes.size() / 97);
        for (std::size_t n = 0; n + 1 < bytes.size(); n += step) {
            const fs::path cut = dir / ("cut." + std::string(f.ext));
            WriteBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + long(n)));
            if (n + f.trailer < bytes.size()) {
                EXPECT_FALSE(ReadAll(cut)) << f.ext << " " << f.bits << " cut at " << n << " of " << bytes.size();
                EXPECT_STRNE(ImfLastError(), "") << f.ext << " cut at " << n;
            } else {
                ReadAll(cut);  // a missing palette or footer may be tolerated
            }
        }
    }
    fs::remove_all(dir);
}

TEST(Hostile, CorruptedBytesNeverCrash) {
    const fs::path dir = ScratchDir("corrupt");
    std::uint32_t seed = 99;
    for (const Format& f : kFormats) {
        const auto bytes = ValidFile(dir, f.ext, f.bits);
        for (int round = 0; round < 60; ++round) {
            auto damaged = bytes;
            for (int k = 0; k < 4; ++k) {
                seed = seed * 1103515245u + 12345u;
                // Damage the first 200 bytes most: that is where the headers lie.
                const std::size_t at = (seed >> 8) % (k < 3 ? std::min<std::size_t>(200, damaged.size()) : damaged.size());
                damaged[at] = std::uint8_t(seed >> 24);
            }
            const fs::path p = dir / ("bad." + std::string(f.ext));
            WriteBytes(p, damaged);
            ReadAll(p);  // may succeed or fail, must not crash
        }
    }
    fs::remove_all(dir);
}

TEST(Hostile, NotFilesAndEmptyFiles) {
    const fs::path dir = ScratchDir("notfiles");
    BitmapInfoHeader h;
    EXPECT_EQ(AllReadHeader(dir.string().c_str(), &h), 0);
    EXPECT_STRNE(ImfLastError(), "");
    EXPECT_EQ(AllReadHeader((dir / "missing.bmp").string().c_str(), &h), 0);
    EXPECT_EQ(AllReadHeader("", &h), 0);
    EXPECT_EQ(AllReadHeader(nullptr, &h), 0);
    EXPECT_EQ(AllReadPalette((dir / "missing.bmp").string().c_str()), nullptr);
    WriteBytes(dir / "empty.png", {});
    EXPECT_FALSE(ReadAll(dir / "empty.png"));
    WriteBytes(dir / "text.jpg", std::vector<std::uint8_t>(1000, 'x'));
    EXPECT_FALSE(ReadAll(dir / "text.jpg"));
    // A file nobody may read.
    const auto valid = ValidFile(dir, "bmp", 8);
    WriteBytes(dir / "locked.bmp", valid);
    ::chmod((dir / "locked.bmp").c_str(), 0);
    if (::access((dir / "locked.bmp").c_str(), R_OK) != 0) {
        EXPECT_FALSE(ReadAll(dir / "locked.bmp"));
    }
    // A directory in place of the file to write, and a name without a dot.
    MemoryDib d = MemoryDib::Make(4, 4, 24);
    fs::create_directory(dir / "taken.bmp");
    EXPECT_FALSE(SavePicture((dir / "taken.bmp").string(), d));
    EXPECT_FALSE(SavePicture((dir / "noextension").string(), d));
    EXPECT_FALSE(fs::exists(dir / "noextension"));
    EXPECT_FALSE(SavePicture((dir / "unknown.xyz").string(), d));
    EXPECT_FALSE(fs::exists(dir / "unknown.xyz"));
    fs::remove_all(dir);
}

// A BMP file header and 40-byte info header for an 8-bit picture.
std::vector<std::uint8_t> BmpHead(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression,
                                  std::uint32_t colours) {
    std::vector<std::uint8_t> b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLe32(b, 10, 54 + 4 * std::min<std::uint32_t>(colours, 256));
    PutLe32(b, 14, 40);
    PutLe32(b, 18, std::uint32_t(width));
    PutLe32(b, 22, std::uint32_t(height));
    PutLe16(b, 26, 1);
    PutLe16(b, 28, unsigned(bits));
    PutLe32(b, 30, compression);
    PutLe32(b, 46, colours);
    return b;
}

TEST(Hostile, LyingBmpHeaders) {
    const fs::path dir = ScratchDir("bmphead");
    const fs::path p = dir / "lie.bmp";
    BitmapInfoHeader h;
    struct Lie {
        std::int32_t w, h;
        int bits;
        std::uint32_t compression;
        const char* why;
    };
    const Lie lies[] = {{0, 10, 8, 0, "zero width"},           {10, 0, 8, 0, "zero height"},
                        {40000, 10, 24, 0, "too wide"},         {10, -40000, 24, 0, "too tall top-down"},
                        {-5, 10, 24, 0, "negative width"},      {10, 10, 7, 0, "odd bit count"},
                        {10, 10, 24, 1, "RLE8 on 24 bits"},     {10, 10, 8, 4, "embedded JPEG"},
                        {10, 10, 8, 2, "RLE4 on 8 bits"}};
    for (const Lie& l : lies) {
        auto b = BmpHead(l.w, l.h, l.bits, l.compression, 0);
        b.resize(b.size() + 4096, 0);
        WriteBytes(p, b);
        EXPECT_EQ(AllReadHeader(p.string().c_str(), &h), 0) << l.why;
    }
    // A palette longer than 8 bits can index is cut to 256 entries.
    auto b = BmpHead(4, 2, 8, 0, 100000);
    b.resize(54 + 1024 + 16, 7);
    WriteBytes(p, b);
    ASSERT_NE(AllReadHeader(p.string().c_str(), &h), 0);
    EXPECT_EQ(h.biClrUsed, 256u);
    fs::remove_all(dir);
}

TEST(Hostile, RleRunsOutsideTheRowFail) {
    const fs::path dir = ScratchDir("rle");
    const fs::path p = dir / "rle.bmp";
    auto head = BmpHead(8, 2, 8, 1, 2);
    head.resize(54 + 8, 0);
    PutLe32(head, 10, 54 + 8);
    auto withData = [&](std::vector<std::uint8_t> data) {
        auto b = head;
        b.insert(b.end(), data.begin(), data.end());
        WriteBytes(p, b);
        return ReadAll(p);
    };
    EXPECT_TRUE(withData({8, 1, 0, 0, 4, 1, 4, 0, 0, 1}));          // two full rows
    EXPECT_TRUE(withData({4, 1, 0, 1}));                           // early end: the rest is index 0
    EXPECT_FALSE(withData({9, 1, 0, 0, 0, 1}));                    // run past the row
    EXPECT_FALSE(withData({0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));  // absolute run past the row
    EXPECT_FALSE(withData({0, 2, 2, 5, 0, 1}));                    // delta below the picture
    EXPECT_FALSE(withData({8, 1, 0}));                             // truncated mid-code
    // A run may reach into the padding of a row (some encoders do), not beyond it.
    auto odd = BmpHead(5, 1, 8, 1, 2);
    odd.resize(54 + 8, 0);
    PutLe32(odd, 10, 54 + 8);
    head = odd;
    EXPECT_TRUE(withData({8, 1, 0, 0, 0, 1}));
    EXPECT_FALSE(withData({9, 1, 0, 0, 0, 1}));
    fs::remove_all(dir);
}

TEST(Hostile, AbsurdSizesInOtherFormats) {
    const fs::path dir = ScratchDir("sizes");
    BitmapInfoHeader h;
    auto refuse = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        WriteBytes(dir / name, bytes);
        EXPECT_EQ(AllReadHeader((dir / name).string().c_str(), &h), 0) << name;
    };
    auto text = [](const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    refuse("big.ppm", text("P6\n40000 2\n255\n"));
    refuse("zero.pgm", text("P5\n0 2\n255\n"));
    refuse("huge.pbm", text("P4\n99999999999999999999 2\n"));
    refuse("maxval.pgm", text("P5\n2 2\n70000\n"));
    refuse("nomax.pgm", text("P5\n2 2\n0\n"));
    std::vector<std::uint8_t> pcx(128, 0);
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[65] = 1;
    PutLe16(pcx, 8, 50000);
    PutLe16(pcx, 66, 2);
    refuse("wide.pcx", pcx);
    PutLe16(pcx, 8, 9);
    refuse("shortrows.pcx", pcx);  // 2 bytes a row for 10 pixels
    std::vector<std::uint8_t> tga(18, 0);
    tga[2] = 2;
    tga[16] = 24;
    PutLe16(tga, 12, 0);
    PutLe16(tga, 14, 5);
    refuse("zero.tga", tga);
    // PNG and GIF headers claiming more than 32767 pixels.
    std::vector<std::uint8_t> gif = text("GIF89a");
    gif.resize(13, 0);
    PutLe16(gif, 6, 40000);
    PutLe16(gif, 8, 10);
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 10, 0, 10, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B});
    refuse("wide.gif", gif);
    fs::remove_all(dir);
}

// A 1 x 1 gray TIFF in one tile of the given size.
std::vector<std::uint8_t> TiledTiff(std::uint32_t tile) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3}, {277, 3},
                                     {322, 4}, {323, 4}, {324, 4}, {325, 4}};
    const std::uint32_t values[] = {1, 1, 8, 1, 1, 1, tile, tile, 0, 256};
    const std::size_t count = sizeof values / sizeof values[0];
    const std::uint32_t data = std::uint32_t(8 + 2 + 12 * count + 4);
    b.resize(8 + 2 + 12 * count + 4, 0);
    PutLe16(b, 8, unsigned(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 10 + 12 * i;
        PutLe16(b, at, tags[i][0]);
        PutLe16(b, at + 2, tags[i][1]);
        PutLe32(b, at + 4, 1);
        const std::uint32_t v = tags[i][0] == 324 ? data : values[i];
        if (tags[i][1] == 3) PutLe16(b, at + 8, v); else PutLe32(b, at + 8, v);
    }
    b.resize(b.size() + 256, 0x80);  // the tile's bytes, for a 16 x 16 tile
    return b;
}

TEST(Hostile, TilesOutOfProportionToThePicture) {
    const fs::path dir = ScratchDir("tiles");
    WriteBytes(dir / "small.tif", TiledTiff(16));
    MemoryDib d;
    ASSERT_TRUE(ReadPicture((dir / "small.tif").string(), d)) << ImfLastError();
    EXPECT_EQ(d.Pixel(0, 0), 0x80u);
    // One pixel in a 16384 x 16384 tile: 256 MB of buffer for one byte of picture.
    WriteBytes(dir / "huge.tif", TiledTiff(16384));
    // It is refused before the buffer is taken, not for the data it lacks.
    EXPECT_FALSE(ReadPicture((dir / "huge.tif").string(), d));
    EXPECT_NE(std::string(ImfLastError()).find("proportion"), std::string::npos) << ImfLastError();
    fs::remove_all(dir);
}

// A 64 x 48 colour JPEG written through libjpeg itself, so that the
// progressive form is there too.
std::vector<std::uint8_t> JpegFile(const fs::path& path, bool progressive) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = 64;
    c.image_height = 48;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(64 * 3);
    for (int y = 0; y < 48; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t((i * 37 + std::size_t(y) * 11) ^ (i >> 3));
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return ReadBytes(path);
}

// The file up to keep bytes of the first scan's data, closed by an end
// marker, with the frame header claiming width x height when given.
std::vector<std::uint8_t> CutJpeg(std::vector<std::uint8_t> b, std::size_t keep, unsigned side = 0) {
    std::size_t i = 2;
    while (i + 4 < b.size() && b[i] == 0xFF) {
        const unsigned marker = b[i + 1];
        const std::size_t length = std::size_t(b[i + 2]) << 8 | b[i + 3];
        if ((marker == 0xC0 || marker == 0xC2) && side != 0) {
            b[i + 5] = b[i + 7] = std::uint8_t(side >> 8);
            b[i + 6] = b[i + 8] = std::uint8_t(side);
        }
        if (marker == 0xDA) {
            b.resize(i + 2 + length + keep);
            b.push_back(0xFF);
            b.push_back(0xD9);
            return b;
        }
        i += 2 + length;
    }
    ADD_FAILURE() << "no scan in the JPEG file";
    return b;
}

TEST(Hostile, JpegWhoseDataStopsEarlyFails) {
    const fs::path dir = ScratchDir("jpegcut");
    BitmapInfoHeader h;
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "sequential");
        const auto whole = JpegFile(dir / "whole.jpg", progressive);
        ASSERT_TRUE(ReadAll(dir / "whole.jpg")) << ImfLastError();
        // The data of a scan stops halfway and the end marker follows.
        WriteBytes(dir / "cut.jpg", CutJpeg(whole, 60));
        EXPECT_FALSE(ReadAll(dir / "cut.jpg"));
        EXPECT_NE(std::string(ImfLastError()).find("truncated"), std::string::npos) << ImfLastError();
        // A 30000 x 30000 picture in a few hundred bytes is refused with the
        // header, before a picture of 2.7 GB is made for it.
        WriteBytes(dir / "huge.jpg", CutJpeg(whole, 20, 30000));
        EXPECT_EQ(AllReadHeader((dir / "huge.jpg").string().c_str(), &h), 0);
        EXPECT_NE(std::string(ImfLastError()).find("truncated"), std::string::npos) << ImfLastError();
    }
    // A real picture of one flat colour compresses to far less than a byte a
    // block, and is still read.
    MemoryDib flat = MemoryDib::Make(2048, 2048, 8);
    SetGrayRamp(flat);
    ASSERT_TRUE(SavePicture((dir / "flat.jpg").string(), flat)) << ImfLastError();
    EXPECT_LT(fs::file_size(dir / "flat.jpg"), 2048u * 2048 / 64);
    EXPECT_TRUE(ReadAll(dir / "flat.jpg")) << ImfLastError();
    fs::remove_all(dir);
}

// A little-endian TIFF of the entries (in tag order) and the pixel bytes;
// strip offsets count from the start of the pixel bytes.
struct TiffEntry {
    std::uint16_t tag, type;
    std::vector<std::uint32_t> values;
};
std::vector<std::uint8_t> RawTiff(const std::vector<TiffEntry>& entries, const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const std::size_t ifd = 8 + 2 + 12 * entries.size() + 4;
    std::vector<std::uint8_t> extra;
    std::size_t extraSize = 0;
    for (const TiffEntry& e : entries) {
        const std::size_t bytes = e.values.size() * (e.type == 3 ? 2 : 4);
        if (bytes > 4) extraSize += bytes;
    }
    const std::uint32_t data = std::uint32_t(ifd + extraSize);
    b.resize(ifd, 0);
    PutLe16(b, 8, unsigned(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TiffEntry& e = entries[i];
        const std::size_t at = 10 + 12 * i;
        PutLe16(b, at, e.tag);
        PutLe16(b, at + 2, e.type);
        PutLe32(b, at + 4, std::uint32_t(e.values.size()));
        std::vector<std::uint8_t> v;
        for (std::uint32_t x : e.values) {
            if (e.tag == 273) x += data;
            v.push_back(std::uint8_t(x));
            v.push_back(std::uint8_t(x >> 8));
            if (e.type == 4) {
                v.push_back(std::uint8_t(x >> 16));
                v.push_back(std::uint8_t(x >> 24));
            }
        }
        if (v.size() <= 4) {
            std::copy(v.begin(), v.end(), b.begin() + long(at + 8));
        } else {
            PutLe32(b, at + 8, std::uint32_t(ifd + extra.size()));
            extra.insert(extra.end(), v.begin(), v.end());
        }
    }
    b.insert(b.end(), extra.begin(), extra.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

// Files that readers disagree on are refused with the reason, each beside
// the well-formed file it differs from.
TEST(Hostile, MalformedFilesAreRefusedWithTheReason) {
    const fs::path dir = ScratchDir("malformed");
    auto verdict = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        WriteBytes(dir / name, bytes);
        return ReadAll(dir / name) ? std::string("read") : std::string(ImfLastError());
    };
    // Run-length data in a top-down BMP.
    auto rle = BmpHead(8, 2, 8, 1, 2);
    rle.resize(54 + 8, 0);
    PutLe32(rle, 10, 54 + 8);
    rle.insert(rle.end(), {8, 1, 0, 0, 8, 0, 0, 1});
    EXPECT_EQ(verdict("rle.bmp", rle), "read");
    PutLe32(rle, 22, std::uint32_t(-2));
    EXPECT_NE(verdict("rle_topdown.bmp", rle).find("top-down"), std::string::npos) << ImfLastError();
    // Bit-field masks of a 16-bit BMP: one empty, one beyond the 16 bits.
    auto fields = [&](std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        auto b = BmpHead(2, 2, 16, 3, 0);
        PutLe32(b, 10, 54 + 12);
        b.resize(54 + 12 + 16, 0x55);
        PutLe32(b, 54, red);
        PutLe32(b, 58, green);
        PutLe32(b, 62, blue);
        return b;
    };
    EXPECT_EQ(verdict("565.bmp", fields(0xF800, 0x07E0, 0x001F)), "read");
    EXPECT_NE(verdict("empty.bmp", fields(0xF800, 0x07E0, 0)).find("empty colour mask"), std::string::npos);
    EXPECT_NE(verdict("wide.bmp", fields(0x1F0000, 0x07E0, 0x001F)).find("wider than the pixel"), std::string::npos);
    // PCX rows of 4 pixels in 4 bytes, or in 4000.
    std::vector<std::uint8_t> pcx(128, 0);
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[65] = 1;
    PutLe16(pcx, 8, 3);
    PutLe16(pcx, 10, 1);
    PutLe16(pcx, 66, 4);
    pcx.insert(pcx.end(), 8, 0x01);
    pcx.push_back(0x0C);
    pcx.insert(pcx.end(), 768, 0x40);
    EXPECT_EQ(verdict("pcx.pcx", pcx), "read");
    PutLe16(pcx, 66, 4000);
    EXPECT_NE(verdict("long.pcx", pcx).find("far longer"), std::string::npos) << ImfLastError();
    // Three planes of a 4 x 4 RGB TIFF in three strips, or in one.
    auto planar = [&](std::vector<std::uint32_t> offsets, std::vector<std::uint32_t> counts) {
        return RawTiff({{256, 3, {4}}, {257, 3, {4}}, {258, 3, {8, 8, 8}}, {259, 3, {1}}, {262, 3, {2}},
                        {273, 4, offsets}, {277, 3, {3}}, {278, 3, {4}}, {279, 4, counts}, {284, 3, {2}}},
                       std::vector<std::uint8_t>(48, 0x90));
    };
    EXPECT_EQ(verdict("planes.tif", planar({0, 16, 32}, {16, 16, 16})), "read");
    EXPECT_NE(verdict("oneplane.tif", planar({0}, {48})).find("needs 3 strips"), std::string::npos) << ImfLastError();
    // A palette TIFF with its colour map, and without.
    std::vector<std::uint32_t> map(3 * 256, 0x8000);
    std::vector<TiffEntry> palette = {{256, 3, {4}}, {257, 3, {4}}, {258, 3, {8}}, {259, 3, {1}},
                                      {262, 3, {3}}, {273, 4, {0}}, {277, 3, {1}}, {278, 3, {4}},
                                      {279, 4, {16}}, {320, 3, map}};
    EXPECT_EQ(verdict("palette.tif", RawTiff(palette, std::vector<std::uint8_t>(16, 3))), "read");
    palette.pop_back();
    EXPECT_NE(verdict("nomap.tif", RawTiff(palette, std::vector<std::uint8_t>(16, 3))).find("no colour map"),
              std::string::npos) << ImfLastError();
    fs::remove_all(dir);
}

// A PNG chunk: length, type, data and check sum.
void PutPngChunk(std::vector<std::uint8_t>& b, const char* type, const std::vector<std::uint8_t>& data) {
    const std::uint32_t n = std::uint32_t(data.size());
    b.insert(b.end(), {std::uint8_t(n >> 24), std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)});
    const std::size_t from = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < b.size(); ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    b.insert(b.end(), {std::uint8_t(crc >> 24), std::uint8_t(crc >> 16), std::uint8_t(crc >> 8), std::uint8_t(crc)});
}

// Reads the file in a child process. Answers whether the read was refused,
// and in peak the megabytes of memory the read took beyond what the child
// held before it.
bool RefusedInChild(const fs::path& p, long& peak) {
    peak = -1;
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        const bool read = ReadAll(p);
        ::getrusage(RUSAGE_SELF, &after);
        const long grown = (after.ru_maxrss - before.ru_maxrss) / 1024;
        ::_exit((read ? 0 : 128) | int(std::min(grown, 127L)));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        ADD_FAILURE() << "the child reading " << p << " did not end normally";
        return false;
    }
    peak = WEXITSTATUS(status) & 127;
    return (WEXITSTATUS(status) & 128) != 0;
}

TEST(Hostile, LengthsBeyondTheFileAreRefusedBeforeTheirMemoryIsTaken) {
    const fs::path dir = ScratchDir("pngchunks");
    const auto valid = ValidFile(dir, "png", 24);
    // The signature and the header chunk, as the library wrote them.
    const std::vector<std::uint8_t> head(valid.begin(), valid.begin() + 33);
    // Text, suggested palettes, calibration, pixel data and a chunk nobody
    // knows: each claims 2^31 - 1 bytes in a file of 51.
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT", "pCAL", "IDAT", "quIt"}) {
        auto b = head;
        b.insert(b.end(), {0x7F, 0xFF, 0xFF, 0xFF});
        b.insert(b.end(), type, type + 4);
        b.resize(51, 0);
        const fs::path p = dir / (std::string(type) + ".png");
        WriteBytes(p, b);
        EXPECT_FALSE(ReadAll(p)) << type;
        EXPECT_NE(std::string(ImfLastError()).find(std::string("the ") + type + " chunk claims 2147483647 bytes"),
                  std::string::npos) << ImfLastError();
        long peak = 0;
        EXPECT_TRUE(RefusedInChild(p, peak)) << type;
        EXPECT_LT(peak, 16) << type << ": megabytes taken";
    }
    // A true text chunk of 24 MB is passed over without being held, and the
    // resolution after it is still read.
    auto big = head;
    std::vector<std::uint8_t> text(std::size_t(24) << 20, 'x');
    std::memcpy(text.data(), "Comment", 8);
    PutPngChunk(big, "tEXt", text);
    PutPngChunk(big, "pHYs", {0, 0, 0x2E, 0x23, 0, 0, 0x2E, 0x23, 1});   // 11811 per metre: 300 dpi
    big.insert(big.end(), valid.begin() + 33, valid.end());
    WriteBytes(dir / "text.png", big);
    long peak = 0;
    EXPECT_FALSE(RefusedInChild(dir / "text.png", peak));
    EXPECT_LT(peak, 16) << "megabytes taken";
    BitmapInfoHeader h;
    ASSERT_NE(AllReadHeader((dir / "text.png").string().c_str(), &h), 0) << ImfLastError();
    EXPECT_EQ(PpmToDpi(std::uint32_t(h.biXPelsPerMeter)), 300u);

    // The other readers' length fields, each claiming 2 GB or the most it
    // can in a file of a few hundred bytes: a TIFF colour map and strip, a
    // TGA colour map. Refused or read, never at the cost of the claim.
    auto tiff = RawTiff({{256, 3, {4}}, {257, 3, {4}}, {258, 3, {8}}, {259, 3, {1}}, {262, 3, {3}},
                         {273, 4, {0}}, {277, 3, {1}}, {278, 3, {4}}, {279, 4, {16}}, {320, 3, {0, 0, 0}}},
                        std::vector<std::uint8_t>(16, 3));
    auto longMap = tiff;
    PutLe32(longMap, 10 + 12 * 9 + 4, 0x7FFFFFFF);
    auto longStrip = tiff;
    PutLe32(longStrip, 10 + 12 * 8 + 8, 0x7FFFFFFF);
    std::vector<std::uint8_t> tga(18 + 64, 0);
    tga[1] = 1;   // a colour map of 65535 entries of 4 bytes
    tga[2] = 1;
    PutLe16(tga, 5, 0xFFFF);
    tga[7] = 32;
    PutLe16(tga, 12, 4);
    PutLe16(tga, 14, 4);
    tga[16] = 8;
    for (const auto& [name, bytes] : {std::pair{"map.tif", longMap}, std::pair{"strip.tif", longStrip},
                                      std::pair{"map.tga", tga}}) {
        WriteBytes(dir / name, bytes);
        EXPECT_TRUE(RefusedInChild(dir / name, peak)) << name;
        EXPECT_LT(peak, 16) << name << ": megabytes taken";
    }
    fs::remove_all(dir);
}

}  // namespace

