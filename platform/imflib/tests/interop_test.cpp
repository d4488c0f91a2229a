// Files made by other programs on this machine read to the pixels those
// programs read. Each case runs only when its tools are installed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/imflib/tests/support.h"

using namespace imftest;
namespace fs = std::filesystem;

namespace {

// A colour picture in plain red, green, blue bytes.
struct Rgb {
    int width = 0, height = 0;
    std::vector<std::uint8_t> px;
};

// Reads a binary PPM or PGM as a tool writes it (maxval 255).
bool ParsePnm(const std::vector<std::uint8_t>& b, Rgb& out) {
    std::size_t i = 0;
    auto token = [&]() -> long {
        while (i < b.size() && (std::isspace(b[i]) || b[i] == '#')) {
            if (b[i] == '#')
                while (i < b.size() && b[i] != '\n') ++i;
            else
                ++i;
        }
        long v = 0;
        while (i < b.size() && std::isdigit(b[i])) v = v * 10 + (b[i++] - '0');
        return v;
    };
    if (b.size() < 3 || b[0] != 'P' || (b[1] != '6' && b[1] != '5')) return false;
    const bool colour = b[1] == '6';
    i = 2;
    out.width = int(token());
    out.height = int(token());
    if (token() != 255) return false;
    ++i;
    const std::size_t n = std::size_t(out.width) * out.height;
    if (b.size() < i + n * (colour ? 3 : 1)) return false;
    out.px.resize(n * 3);
    for (std::size_t k = 0; k < n; ++k)
        for (int c = 0; c < 3; ++c) out.px[3 * k + c] = colour ? b[i + 3 * k + c] : b[i + k];
    return true;
}

void WritePpm(const fs::path& path, const Rgb& img) {
    std::string head = "P6\n" + std::to_string(img.width) + " " + std::to_string(img.height) + "\n255\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), img.px.begin(), img.px.end());
    WriteBytes(path, bytes);
}

// 61 x 37 pixels from 64 colours: smooth enough for JPEG, few enough for GIF.
Rgb Reference() {
    Rgb img{61, 37, {}};
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int r = (x / 4) % 4, g = (y / 4) % 4, b = ((x + y) / 8) % 4;
            img.px.push_back(std::uint8_t(r * 85));
            img.px.push_back(std::uint8_t(g * 85));
            img.px.push_back(std::uint8_t(b * 85));
        }
    return img;
}

int Shell(const std::string& cmd) { return std::system(("set -e; " + cmd + " 2>/dev/null").c_str()); }

// Mean absolute difference per sample between what we read and the tool's pixels.
double Difference(const MemoryDib& ours, const Rgb& theirs) {
    EXPECT_EQ(ours.Width(), theirs.width);
    EXPECT_EQ(ours.Height(), theirs.height);
    if (ours.Width() != theirs.width || ours.Height() != theirs.height) return 1e9;
    double sum = 0;
    for (int y = 0; y < theirs.height; ++y)
        for (int x = 0; x < theirs.width; ++x) {
            const std::uint32_t c = ours.Colour(x, y);
            const std::uint8_t* t = &theirs.px[3 * (std::size_t(y) * theirs.width + x)];
            sum += std::abs(int((c >> 16) & 255) - t[0]) + std::abs(int((c >> 8) & 255) - t[1]) +
                   std::abs(int(c & 255) - t[2]);
        }
    return sum / (3.0 * theirs.width * theirs.height);
}

struct ToolCase {
    const char* name;
    std::vector<const char*> tools;
    std::string make;      // shell command from ref.ppm (and ref.pgm, ref.pbm) to the file "in.<ext>"
    const char* ext;
    std::string decode;    // shell command from the file to "out.pnm"; empty: compare with the reference
    int expectBits;        // 0: whatever the tool chose
    double tolerance;
};

void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

class Interop : public ::testing::TestWithParam<ToolCase> {};

TEST_P(Interop, ReadsWhatTheToolWrote) {
    const ToolCase& c = GetParam();
    for (const char* tool : c.tools)
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    const fs::path dir = ScratchDir(std::string("interop_") + c.name);
    const Rgb ref = Reference();
    WritePpm(dir / "ref.ppm", ref);
    const std::string cd = "cd '" + dir.string() + "' && ";
    ASSERT_EQ(Shell(cd + "ppmtopgm ref.ppm > ref.pgm 2>/dev/null || true"), 0);
    ASSERT_EQ(Shell(cd + c.make), 0) << c.make;
    Rgb expected = ref;
    if (!c.decode.empty()) {
        ASSERT_EQ(Shell(cd + c.decode), 0) << c.decode;
        ASSERT_TRUE(ParsePnm(ReadBytes(dir / "out.pnm"), expected));
    }
    MemoryDib ours;
    const std::string file = (dir / (std::string("in.") + c.ext)).string();
    ASSERT_TRUE(ReadPicture(file, ours)) << ImfLastError();
    if (c.expectBits != 0) {
        EXPECT_EQ(ours.Bits(), c.expectBits);
    }
    EXPECT_LE(Difference(ours, expected), c.tolerance);
    fs::remove_all(dir);
}

const ToolCase kToolCases[] = {
    {"jpeg_colour", {"cjpeg", "djpeg"}, "cjpeg -quality 90 ref.ppm > in.jpg", "jpg", "djpeg -pnm in.jpg > out.pnm", 24, 0.0},
    {"jpeg_progressive", {"cjpeg", "djpeg"}, "cjpeg -progressive ref.ppm > in.jpg", "jpg", "djpeg -pnm in.jpg > out.pnm", 24, 0.0},
    {"jpeg_gray", {"cjpeg", "djpeg"}, "cjpeg -grayscale ref.ppm > in.jpg", "jpg", "djpeg -pnm in.jpg > out.pnm", 8, 0.0},
    {"jpeg_cmyk", {"convert"}, "convert ref.ppm -colorspace CMYK in.jpg", "jpg", "convert in.jpg -colorspace sRGB ppm:out.pnm", 24, 3.0},
    {"png_rgb", {"pnmtopng"}, "pnmtopng ref.ppm > in.png", "png", "", 0, 0.0},
    {"png_interlaced", {"pnmtopng"}, "pnmtopng -interlace ref.ppm > in.png", "png", "", 0, 0.0},
    {"png_16bit", {"pnmtopng", "pnmdepth"}, "pnmdepth 65535 ref.ppm | pnmtopng > in.png", "png", "", 0, 0.0},
    {"png_gray16", {"pnmtopng", "pnmdepth"}, "pnmdepth 65535 ref.pgm | pnmtopng > in.png", "png", "cp ref.pgm out.pnm", 8, 0.0},
    {"png_palette", {"pnmtopng", "pnmtopng"}, "pnmtopng -palette=/dev/null ref.ppm > in.png 2>/dev/null || pnmtopng ref.ppm > in.png", "png", "", 0, 0.0},
    {"png_gray_interlaced", {"pnmtopng", "pngtopnm"}, "pnmtopng -interlace ref.pgm > in.png", "png", "pngtopnm in.png > out.pnm", 8, 0.0},
    {"png_alpha", {"convert"}, "convert ref.ppm -alpha set -channel A -fx 'i/w' in.png", "png", "convert in.png -background white -alpha remove ppm:out.pnm", 24, 1.0},
    {"tiff_lzw", {"pnmtotiff", "tiffcp"}, "pnmtotiff -truecolor ref.ppm > a.tif && tiffcp -c lzw a.tif in.tif", "tif", "", 0, 0.0},
    {"tiff_deflate_tiles", {"pnmtotiff", "tiffcp"}, "pnmtotiff -truecolor ref.ppm > a.tif && tiffcp -c zip -t -w 16 -l 16 a.tif in.tif", "tif", "", 0, 0.0},
    {"tiff_separate_packbits", {"pnmtotiff", "tiffcp"}, "pnmtotiff -truecolor ref.ppm > a.tif && tiffcp -c packbits -p separate a.tif in.tif", "tif", "", 0, 0.0},
    {"tiff_separate_tiles", {"pnmtotiff", "tiffcp"}, "pnmtotiff -truecolor ref.ppm > a.tif && tiffcp -p separate -t -w 16 -l 16 a.tif in.tif", "tif", "", 0, 0.0},
    {"tiff_jpeg", {"pnmtotiff", "tiffcp"}, "pnmtotiff -truecolor ref.ppm > a.tif && tiffcp -c jpeg:90 -r 16 a.tif in.tif", "tif", "", 24, 16.0},
    {"tiff_palette", {"pnmtotiff"}, "pnmtotiff ref.ppm > in.tif", "tif", "", 8, 0.0},
    {"tiff_16bit", {"pnmtotiff", "pnmdepth"}, "pnmdepth 65535 ref.ppm | pnmtotiff -truecolor > in.tif", "tif", "", 24, 0.0},
    {"tiff_gray", {"pnmtotiff"}, "pnmtotiff ref.pgm > in.tif", "tif", "tifftopnm in.tif > out.pnm", 8, 0.0},
    {"tiff_g4", {"pgmtopbm", "pnmtotiff", "pnmtopnm"}, "pgmtopbm -threshold ref.pgm > ref.pbm && pnmtotiff -g4 ref.pbm > in.tif && pnmtopnm ref.pbm | ppmtoppm > out.pnm", "tif", "true", 1, 0.0},
    {"tiff_multipage", {"pnmtotiff", "tiffcp"}, "pnmtotiff -truecolor ref.ppm > a.tif && pnmtotiff ref.pgm > b.tif && tiffcp a.tif b.tif in.tif", "tif", "", 0, 0.0},
    {"tiff_cmyk", {"convert"}, "convert ref.ppm -colorspace CMYK in.tif", "tif", "convert in.tif -colorspace sRGB ppm:out.pnm", 24, 3.0},
    {"bmp_24", {"ppmtobmp"}, "ppmtobmp ref.ppm > in.bmp", "bmp", "", 0, 0.0},
    {"bmp_palette", {"ppmtobmp"}, "ppmtobmp -bpp 8 ref.ppm > in.bmp", "bmp", "", 0, 0.0},
    {"bmp_os2", {"ppmtobmp"}, "ppmtobmp -os2 ref.ppm > in.bmp", "bmp", "", 0, 0.0},
    {"bmp_rle8", {"convert"}, "convert ref.ppm -type Palette -compress RLE bmp3:in.bmp", "bmp", "", 0, 0.0},
    {"bmp_v5_16bit", {"convert"}, "convert ref.ppm -define bmp:subtype=RGB565 bmp:in.bmp", "bmp", "convert in.bmp ppm:out.pnm", 24, 0.0},
    {"bmp_named_otherwise", {"ppmtobmp"}, "ppmtobmp ref.ppm > in.dat", "dat", "", 0, 0.0},
    {"gif", {"pamtogif"}, "pamtogif ref.ppm > in.gif", "gif", "", 0, 0.0},
    {"gif_interlaced", {"pamtogif"}, "pamtogif -interlace ref.ppm > in.gif", "gif", "", 0, 0.0},
    {"pcx_palette", {"ppmtopcx"}, "ppmtopcx ref.ppm > in.pcx", "pcx", "", 0, 0.0},
    {"pcx_24", {"ppmtopcx"}, "ppmtopcx -24bit ref.ppm > in.pcx", "pcx", "", 0, 0.0},
    {"pcx_mono", {"ppmtopcx", "pgmtopbm", "pnmdepth"}, "pgmtopbm -threshold ref.pgm > r.pbm && ppmtopcx r.pbm > in.pcx", "pcx", "pnmdepth 255 r.pbm > out.pnm", 1, 0.0},
    {"pcx_16colours", {"convert"}, "convert ref.ppm -colors 16 -type Palette -define pcx:bits=4 pcx:in.pcx", "pcx", "convert in.pcx ppm:out.pnm", 0, 0.0},
    {"tga_rgb", {"pamtotga"}, "pamtotga -rgb -norle ref.ppm > in.tga", "tga", "", 0, 0.0},
    {"tga_rle", {"pamtotga"}, "pamtotga -rgb ref.ppm > in.tga", "tga", "", 0, 0.0},
    {"tga_cmap_rle", {"pamtotga"}, "pamtotga -cmap ref.ppm > in.tga", "tga", "", 0, 0.0},
    {"tga_gray", {"pamtotga"}, "pamtotga -mono ref.pgm > in.tga", "tga", "cp ref.pgm out.pnm", 8, 0.0},
    {"pbm_raw", {"pgmtopbm", "pnmdepth"}, "pgmtopbm -threshold ref.pgm > in.pbm", "pbm", "pnmdepth 255 in.pbm > out.pnm", 1, 0.0},
    {"pnm_plain", {"pnmtopnm"}, "pnmtopnm -plain ref.ppm > in.ppm", "ppm", "", 0, 0.0},
    {"pgm_plain", {"pnmtopnm"}, "pnmtopnm -plain ref.pgm > in.pgm", "pgm", "pnmtopnm ref.pgm > out.pnm", 8, 0.0},
};

INSTANTIATE_TEST_SUITE_P(Tools, Interop, ::testing::ValuesIn(kToolCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
