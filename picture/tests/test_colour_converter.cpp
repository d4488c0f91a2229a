// Colour conversion: mode resolution, the conversion methods and ConvertLike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "picture/colour_converter.h"
#include "picture/image_store.h"
#include "picture/palette_map.h"
#include "picture/picture.h"

namespace {

std::unique_ptr<CPicture> Make(int type, int width, int height, int colours = 0,
                               const RgbQuad* table = nullptr) {
    auto p = std::make_unique<CPicture>();
    EXPECT_TRUE(p->Create(type, width, height, colours, table, 3780, 3780, kStoreMemory));
    return p;
}

void FillRgb(CPicture& p, int r, int g, int b) { p.Fill(MakeRgb(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b))); }

std::vector<std::uint8_t> Row(CPicture& p, int y) {
    std::vector<std::uint8_t> bytes(std::size_t(p.GetWidth()) * 4 + 8, 0);
    EXPECT_TRUE(p.ReadRow(0, p.GetWidth() - 1, y, bytes.data()));
    return bytes;
}

int Bit(const std::vector<std::uint8_t>& row, int x) { return (row[std::size_t(x >> 3)] >> (7 - (x & 7))) & 1; }
int Nibble(const std::vector<std::uint8_t>& row, int x) {
    return (x & 1) ? row[std::size_t(x >> 1)] & 15 : row[std::size_t(x >> 1)] >> 4;
}

// Restores the default palette.map lookup after a test that points it elsewhere.
struct MapPathGuard {
    ~MapPathGuard() { SetPaletteMapPath(""); }
};

}  // namespace

TEST(ColourModeTable, PairsThatCannotBeConverted) {
    EXPECT_EQ(ResolveColourMode(ptBlackWhite, ptBlackWhite, 0, true), -1);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptTrueColor24, 0, false), -1);
    EXPECT_EQ(ResolveColourMode(ptGray16, ptGray16, 0, true), -1);
    EXPECT_EQ(ResolveColourMode(ptGray256, ptGray256, 7, true), -1);
    // Requests that would leave nothing converted, and indices taken from colours.
    EXPECT_EQ(ResolveColourMode(ptBlackWhite, ptGray16, 5, true), -1);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptColor16, 4, true), -1);

    auto bw = Make(ptBlackWhite, 4, 4), bw2 = Make(ptBlackWhite, 4, 4);
    CColourConverter converter;
    EXPECT_FALSE(converter.Setup(bw2.get(), bw.get(), MakeModeAndPattern(0, 0)));
    EXPECT_FALSE(converter.Run());
    std::uint8_t in[4] = {}, out[4] = {};
    EXPECT_FALSE(converter.ConvertRow(0, in, out));
}

TEST(ColourModeTable, RequestsThatChangeWithThePalette) {
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptColor256, 7, true), kModeDiffusion);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptColor256, 5, true), kModeOptimised);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptColor256, 3, false), kModeOptimised);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptColor256, 3, true), kModeDither);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptBlackWhite, 3, false), kModeDiffusion);
    EXPECT_EQ(ResolveColourMode(ptTrueColor24, ptGray16, 2, true), kModeNearest);
    EXPECT_EQ(ResolveColourMode(ptColor256, ptColor256, 7, true), kModeDiffusion);
    // Other true-colour depths count as 24-bit sources.
    EXPECT_EQ(ResolveColourMode(ptColor64K, ptColor256, 7, true), kModeDiffusion);
}

TEST(ConvertLike, NothingToConvertIsSaidAndNeverHandsTheSourceBack) {
    auto gray = Make(ptGray256, 5, 3), model = Make(ptGray256, 9, 9);
    EXPECT_TRUE(HasFormatOf(model.get(), gray.get()));
    // Asked anyway, it gives a copy of its own: the caller owns every result.
    std::unique_ptr<CPicture> copy = ConvertLike(model.get(), gray.get(), false);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), gray.get());
    EXPECT_EQ(copy->GetWidth(), 5);

    auto c256 = Make(ptColor256, 5, 3), model256 = Make(ptColor256, 2, 2);
    EXPECT_TRUE(HasFormatOf(model256.get(), c256.get()));
    EXPECT_FALSE(HasFormatOf(model.get(), c256.get()));

    // A different palette of the same type needs a conversion.
    RgbQuad table[256];
    for (int i = 0; i < 256; ++i) table[i] = RgbQuad{std::uint8_t(i), 0, std::uint8_t(255 - i), 0};
    auto other = Make(ptColor256, 2, 2, 256, table);
    EXPECT_FALSE(HasFormatOf(other.get(), c256.get()));
    std::unique_ptr<CPicture> converted(ConvertLike(other.get(), c256.get(), false));
    ASSERT_TRUE(converted);
    EXPECT_NE(converted.get(), c256.get());
    EXPECT_TRUE(PalettesEqual(converted->GetPalette(), other->GetPalette()));
    EXPECT_EQ(converted->GetWidth(), 5);
}

TEST(ConvertLike, TrueColourToPaletteModelKeepsModelFields) {
    auto source = Make(ptTrueColor24, 6, 4);
    FillRgb(*source, 255, 0, 0);
    auto model = std::make_unique<CPicture>();
    ASSERT_TRUE(model->Create(ptColor16, 3, 3, 0, nullptr, 11811, 5905, kStoreMemory));
    std::unique_ptr<CPicture> result(ConvertLike(model.get(), source.get(), false));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->GetType(), ptColor16);
    EXPECT_EQ(result->GetHeader()->biXPelsPerMeter, 11811);
    EXPECT_EQ(result->GetHeader()->biYPelsPerMeter, 5905);
    auto row = Row(*result, 2);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(Nibble(row, x), 12) << x;  // bright red
}

TEST(OptimisedPalette, SingleColourPicture) {
    auto source = Make(ptTrueColor24, 20, 10);
    FillRgb(*source, 100, 150, 200);
    std::unique_ptr<Palette> palette = GenerateOptimisedPalette(source.get());
    ASSERT_TRUE(palette);
    ASSERT_EQ(palette->Count(), 256);
    auto standard = CreateStandardPalette(ptColor16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ((*palette)[i].red, (*standard)[i].red) << i;
        EXPECT_EQ((*palette)[i].blue, (*standard)[i].blue) << i;
    }
    // Quantised value: levels (c * 7 + 128) >> 8 re-expanded.
    const int q[3] = {(3 * 255 + 3) / 7, (4 * 255 + 3) / 7, (5 * 255 + 3) / 7};
    int i = 16, spread = 0;
    bool exact = false;
    for (; i < 256; ++i) {
        const PaletteEntry& e = (*palette)[i];
        if (e.red == 255 && e.green == 255 && e.blue == 255) break;
        if (e.red == 100 && e.green == 150 && e.blue == 200) {
            exact = true;
            continue;
        }
        ++spread;
        EXPECT_LE(std::abs(e.red - q[0]), 18);
        EXPECT_LE(std::abs(e.green - q[1]), 18);
        EXPECT_LE(std::abs(e.blue - q[2]), 18);
    }
    EXPECT_TRUE(exact);
    EXPECT_GT(spread, 16);
    EXPECT_LE(spread, 224);
    for (; i < 256; ++i) EXPECT_EQ((*palette)[i], (PaletteEntry{255, 255, 255, 0})) << i;
}

TEST(OptimisedPalette, DestinationReceivesTheGeneratedPalette) {
    auto source = Make(ptTrueColor24, 16, 2);
    for (int x = 0; x < 16; ++x) {
        source->SetPixelValue(x, 0, MakeRgb(std::uint8_t(x * 16), 40, 90));
        source->SetPixelValue(x, 1, MakeRgb(250, std::uint8_t(x * 16), 7));
    }
    auto destination = Make(ptColor256, 16, 2);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(1, 0)));
    EXPECT_EQ(converter.Mode(), kModeOptimised);
    ASSERT_TRUE(converter.Run());
    ASSERT_TRUE(converter.OptimisedPalette());
    EXPECT_TRUE(PalettesEqual(destination->GetPalette(), converter.OptimisedPalette()));
    // Every written index stands for a colour near the one it replaced.
    const Palette& pal = *destination->GetPalette();
    for (int y = 0; y < 2; ++y) {
        auto row = Row(*destination, y);
        auto src = Row(*source, y);
        for (int x = 0; x < 16; ++x) {
            const PaletteEntry& e = pal[row[std::size_t(x)]];
            EXPECT_LE(std::abs(e.red - src[std::size_t(3 * x + 2)]), 24) << x << "," << y;
            EXPECT_LE(std::abs(e.green - src[std::size_t(3 * x + 1)]), 24) << x << "," << y;
        }
    }
}

TEST(ErrorDiffusion, UniformGrayKeepsItsProportionInBlackAndWhite) {
    for (int level : {64, 128, 192}) {
        auto source = Make(ptTrueColor24, 64, 64);
        FillRgb(*source, level, level, level);
        auto destination = Make(ptBlackWhite, 64, 64);
        CColourConverter converter;
        ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(2, 0)));
        ASSERT_TRUE(converter.Run());
        int white = 0;
        for (int y = 0; y < 64; ++y) {
            auto row = Row(*destination, y);
            for (int x = 0; x < 64; ++x) white += Bit(row, x);
        }
        EXPECT_NEAR(white / 4096.0, level / 255.0, 0.03) << level;
    }
}

TEST(ErrorDiffusion, NonStandardPaletteFindsCellsOnDemand) {
    RgbQuad table[16] = {};
    for (int i = 0; i < 16; ++i) table[i] = RgbQuad{0, 0, std::uint8_t(i * 16), 0};  // reds
    auto destination = Make(ptColor16, 8, 4, 16, table);
    auto source = Make(ptTrueColor24, 8, 4);
    FillRgb(*source, 64, 0, 0);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(2, 0)));
    ASSERT_TRUE(converter.Run());
    auto row = Row(*destination, 1);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Nibble(row, x), 4) << x;  // (64, 0, 0) exactly
}

TEST(OrderedDither, ThresholdsOfBothMatrixSizes) {
    // Luminance 8 reaches only threshold 8: entry 1 of the 4 x 4 pattern 0, at (0, 0).
    auto source = Make(ptTrueColor24, 8, 8);
    FillRgb(*source, 8, 8, 8);
    auto destination = Make(ptBlackWhite, 8, 8);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(3, 0), 4));
    ASSERT_TRUE(converter.Run());
    for (int y = 0; y < 8; ++y) {
        auto row = Row(*destination, y);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Bit(row, x), (x % 4 == 0 && y % 4 == 0) ? 1 : 0);
    }
    // 8 x 8: threshold 4m + 2; luminance 2 reaches entry 0 only, at (1, 1) of pattern 0.
    FillRgb(*source, 2, 2, 2);
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(3, 0), 8));
    ASSERT_TRUE(converter.Run());
    for (int y = 0; y < 8; ++y) {
        auto row = Row(*destination, y);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Bit(row, x), (x == 1 && y == 1) ? 1 : 0);
    }
    // 256 colours, 4 x 4: q(c) = c / 51 + (threshold below c mod 51); 3m for m = 1 is 3.
    auto cube = Make(ptColor256, 8, 8);
    FillRgb(*source, 4, 0, 51);
    ASSERT_TRUE(converter.Setup(cube.get(), source.get(), MakeModeAndPattern(3, 0), 4));
    ASSERT_TRUE(converter.Run());
    auto row = Row(*cube, 0);
    EXPECT_EQ(row[0], 16 + 36 * 1 + 1);  // threshold 3 < 4: red rounds up
    EXPECT_EQ(row[1], 16 + 1);           // threshold 27
    // Palette sources must have more colours than the destination.
    RgbQuad eight[8] = {};
    for (int i = 0; i < 8; ++i) eight[i] = RgbQuad{std::uint8_t(i * 30), 0, 0, 0};
    auto few = Make(ptColor256, 8, 8, 8, eight), c16 = Make(ptColor16, 8, 8);
    EXPECT_FALSE(converter.Setup(c16.get(), few.get(), MakeModeAndPattern(3, 0)));
    EXPECT_TRUE(converter.Setup(c16.get(), cube.get(), MakeModeAndPattern(3, 0)));
}

TEST(GrayLevels, TrueColourToGray256ByLuminance) {
    auto source = Make(ptTrueColor24, 3, 1);
    source->SetPixelValue(0, 0, MakeRgb(255, 0, 0));
    source->SetPixelValue(1, 0, MakeRgb(10, 200, 90));
    source->SetPixelValue(2, 0, MakeRgb(255, 255, 255));
    auto destination = Make(ptGray256, 3, 1);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(2, 0)));
    ASSERT_TRUE(converter.Run());
    auto row = Row(*destination, 0);
    EXPECT_EQ(row[0], 76);                                  // 30 * 255 / 100
    EXPECT_EQ(row[1], (30 * 10 + 59 * 200 + 11 * 90) / 100);  // 130
    EXPECT_EQ(row[2], 255);
}

TEST(GrayLevels, SixteenGraysFollowTheLuminanceLikeTheWayThrough256) {
    // Saturated and everyday colours: the plain average of red, green and
    // blue would put green at level 5 and the skin tone two levels low.
    const std::uint8_t colours[][3] = {{0, 255, 0},    {255, 0, 0},    {0, 0, 255},   {200, 120, 40},
                                       {30, 160, 60},  {90, 90, 200},  {230, 180, 150}, {128, 128, 128}};
    const int n = int(std::size(colours));
    auto source = Make(ptTrueColor24, n, 1);
    for (int x = 0; x < n; ++x)
        source->SetPixelValue(x, 0, MakeRgb(colours[x][0], colours[x][1], colours[x][2]));
    auto direct = Make(ptGray16, n, 1), gray256 = Make(ptGray256, n, 1), twoSteps = Make(ptGray16, n, 1);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(direct.get(), source.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    ASSERT_TRUE(converter.Setup(gray256.get(), source.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    ASSERT_TRUE(converter.Setup(twoSteps.get(), gray256.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    const auto a = Row(*direct, 0), b = Row(*twoSteps, 0);
    // The 4-bit cells may put a colour one level off, no more.
    for (int x = 0; x < n; ++x) EXPECT_LE(std::abs(Nibble(a, x) - Nibble(b, x)), 1) << "colour " << x;
    EXPECT_EQ(Nibble(a, 0), 9);  // green: luminance 150
}

TEST(PaletteConversion, ToTrueColourAndBetweenDepths) {
    auto source = Make(ptColor16, 5, 2);
    for (int x = 0; x < 5; ++x) source->SetPixelValue(x, 1, std::uint32_t(x + 9));
    auto rgb = Make(ptTrueColor24, 5, 2);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(rgb.get(), source.get(), MakeModeAndPattern(7, 0)));
    ASSERT_TRUE(converter.Run());
    auto row = Row(*rgb, 1);
    EXPECT_EQ(row[0], 255);  // index 9: blue
    EXPECT_EQ(row[1], 0);
    EXPECT_EQ(row[5], 0);    // index 10: green
    EXPECT_EQ(row[4], 255);

    // Nearest colour into 256 colours and back out to 16 keeps every index.
    auto c256 = Make(ptColor256, 5, 2), back = Make(ptColor16, 5, 2);
    ASSERT_TRUE(converter.Setup(c256.get(), source.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    ASSERT_TRUE(converter.Setup(back.get(), c256.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    auto out = Row(*back, 1);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Nibble(out, x), x + 9);
}

TEST(ConvertRowAndRun, RowsAndRectangles) {
    // A source rectangle lands at the destination point; the rest is untouched.
    auto source = Make(ptTrueColor24, 10, 6);
    auto destination = Make(ptBlackWhite, 13, 6);
    destination->Fill(0);
    CColourConverter converter;
    Rect rect{2, 1, 9, 2};
    FillRgb(*source, 255, 255, 255);
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run(&rect, 5, 3));
    for (int y = 0; y < 6; ++y) {
        auto row = Row(*destination, y);
        for (int x = 0; x < 13; ++x)
            EXPECT_EQ(Bit(row, x), (y >= 3 && y <= 4 && x >= 5) ? 1 : 0) << x << "," << y;
    }
    // ConvertRow: raw bytes in, packed destination bytes out.
    auto gray = Make(ptGray16, 10, 1);
    ASSERT_TRUE(converter.Setup(gray.get(), source.get(), MakeModeAndPattern(0, 0)));
    std::uint8_t in[30], out[5] = {};
    for (int x = 0; x < 10; ++x) in[3 * x] = in[3 * x + 1] = in[3 * x + 2] = std::uint8_t(x * 17);
    ASSERT_TRUE(converter.ConvertRow(0, in, out));
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[4], 0x89);
}

TEST(CellMaps, FileMapIsUsedAndMissingFileIsComputed) {
    MapPathGuard guard;
    std::uint8_t computed[kCellCount];
    ComputeStandardCellMap(ptColor256, computed);
    EXPECT_EQ(computed[CellOf(255, 0, 0)], 12);
    EXPECT_EQ(computed[CellOf(255, 255, 255)], 15);
    std::vector<std::uint8_t> file = BuildPaletteMapFile();
    ASSERT_EQ(file.size(), kPaletteMapFileBytes);
    EXPECT_EQ(std::memcmp(file.data() + 16384, computed, kCellCount), 0);

    // A doctored map at offset 16384 sends every cell to index 7.
    std::string path = ::testing::TempDir() + "colour_test_palette.map";
    std::fill(file.begin() + 16384, file.begin() + 16384 + kCellCount, std::uint8_t(7));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    SetPaletteMapPath(path);
    auto source = Make(ptTrueColor24, 4, 1);
    FillRgb(*source, 255, 0, 0);
    auto destination = Make(ptColor256, 4, 1);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    EXPECT_EQ(Row(*destination, 0)[0], 7);

    // A map naming entries that a two-colour palette lacks is not used.
    std::fill(file.begin() + 24576, file.begin() + 24576 + kCellCount, std::uint8_t(9));
    f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    SetPaletteMapPath(path);
    std::uint8_t bw[kCellCount];
    ASSERT_TRUE(StandardCellMap(ptBlackWhite, bw));
    EXPECT_EQ(bw[CellOf(255, 255, 255)], 1);

    // A file too short for the map: the search supplies it.
    f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, 16384 + 100, f);
    std::fclose(f);
    SetPaletteMapPath(path);
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    EXPECT_EQ(Row(*destination, 0)[0], 12);
    std::remove(path.c_str());
}

TEST(CellMaps, GeneratedFileMatchesTheSearch) {
    // The generated file lies in bin/ of the build, beside stitchara-cli.
    const char* build = std::getenv("STITCHARA_BUILD_DIR");
    std::string path = build ? std::string(build) + "/bin/palette.map"
                             : AppDirectory('/') + "../bin/palette.map";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) GTEST_SKIP() << "palette.map not generated";
    std::vector<std::uint8_t> bytes(kPaletteMapFileBytes + 1);
    std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bytes.resize(n);
    EXPECT_EQ(bytes, BuildPaletteMapFile());
}

TEST(OptimisedPalette, RichPictureMergesDownTo256Colours) {
    // All 512 histogram bins in use: bins merge until 240 remain.
    auto source = Make(ptTrueColor24, 128, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) {
            int bin = (y / 8) * 64 + (x / 2);  // 8 x 64 blocks of 2 x 8 pixels
            bin = bin % 512;
            int r = (bin >> 6) * 255 / 7, g = ((bin >> 3) & 7) * 255 / 7, b = (bin & 7) * 255 / 7;
            source->SetPixelValue(x, y, MakeRgb(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)));
        }
    auto destination = Make(ptColor256, 128, 64);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(destination.get(), source.get(), MakeModeAndPattern(1, 0)));
    ASSERT_TRUE(converter.Run());
    const Palette& palette = *destination->GetPalette();
    ASSERT_EQ(palette.Count(), 256);
    int nonWhite = 0;
    for (int i = 16; i < 256; ++i)
        if (!(palette[i] == PaletteEntry{255, 255, 255, 0})) ++nonWhite;
    EXPECT_GT(nonWhite, 200);
    // Each pixel gets a colour close to its own.
    long total = 0;
    for (int y = 0; y < 64; ++y) {
        auto row = Row(*destination, y), src = Row(*source, y);
        for (int x = 0; x < 128; ++x) {
            const PaletteEntry& e = palette[row[std::size_t(x)]];
            total += std::abs(e.red - src[std::size_t(3 * x + 2)]) +
                     std::abs(e.green - src[std::size_t(3 * x + 1)]) +
                     std::abs(e.blue - src[std::size_t(3 * x)]);
        }
    }
    EXPECT_LT(total / (128.0 * 64.0 * 3.0), 10.0);
}

TEST(TrueColourDepths, FifteenAndThirtyTwoBitPicturesConvert) {
    auto rgb = Make(ptTrueColor24, 3, 1);
    rgb->SetPixelValue(0, 0, MakeRgb(255, 0, 0));
    rgb->SetPixelValue(1, 0, MakeRgb(0, 255, 8));
    rgb->SetPixelValue(2, 0, MakeRgb(16, 32, 255));
    auto c32k = Make(ptColor32K, 3, 1);
    CColourConverter converter;
    ASSERT_TRUE(converter.Setup(c32k.get(), rgb.get(), MakeModeAndPattern(7, 0)));
    ASSERT_TRUE(converter.Run());
    auto row = Row(*c32k, 0);
    EXPECT_EQ(row[0] | (row[1] << 8), 31 << 10);                  // red in the high five bits
    EXPECT_EQ(row[2] | (row[3] << 8), (31 << 5) | 1);             // green, blue 8 >> 3
    // 5-5-5 back to 32 bits: levels widen to full bytes.
    auto c32 = Make(ptTrueColor32, 3, 1);
    ASSERT_TRUE(converter.Setup(c32.get(), c32k.get(), MakeModeAndPattern(7, 0)));
    ASSERT_TRUE(converter.Run());
    row = Row(*c32, 0);
    EXPECT_EQ(row[2], 255);
    EXPECT_EQ(row[4 + 1], 255);
    EXPECT_EQ(row[8 + 0], 255);
    EXPECT_EQ(row[8 + 1], 33);  // 32 >> 3 = 4, widened to 4 << 3 | 4 >> 2
    // And down to a palette.
    auto c16 = Make(ptColor16, 3, 1);
    ASSERT_TRUE(converter.Setup(c16.get(), c32.get(), MakeModeAndPattern(0, 0)));
    ASSERT_TRUE(converter.Run());
    EXPECT_EQ(Row(*c16, 0)[0], 0xCA);  // bright red, bright green
}
