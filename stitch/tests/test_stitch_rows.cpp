// Row blending, the segment row mapping, the texture score and the sheet's
// computations.
#include <gtest/gtest.h>

#include <vector>

#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"
#include "stitch_test_support.h"

using namespace stitchtest;

TEST(BlendRow, RampCopyKeepAndMix) {
    // Ramp over 4 pixels: the source weighs 100, 75, 50, 25 per cent.
    std::vector<std::uint8_t> src(12, 200), dst(12, 0);
    BlendRow(src.data(), dst.data(), 4, -1, 3);
    EXPECT_EQ(dst, (std::vector<std::uint8_t>{200, 200, 200, 150, 150, 150, 100, 100, 100, 50, 50, 50}));

    std::vector<std::uint8_t> d0(3, 9);
    BlendRow(src.data(), d0.data(), 3, 0, 1);
    EXPECT_EQ(d0, std::vector<std::uint8_t>(3, 200));
    BlendRow(dst.data(), d0.data(), 3, 100, 1);
    EXPECT_EQ(d0, std::vector<std::uint8_t>(3, 200));
    std::vector<std::uint8_t> half{100, 0};
    BlendRow(src.data(), half.data(), 2, 50, 1);  // destination keeps half
    EXPECT_EQ(half, (std::vector<std::uint8_t>{150, 100}));
    BlendRow(src.data(), half.data(), 0, -1, 1);  // nothing to do
    EXPECT_EQ(half, (std::vector<std::uint8_t>{150, 100}));

    // Shifting a row onto itself by one pixel takes each pixel's neighbour.
    std::vector<std::uint8_t> row{10, 20, 30, 40};
    BlendRow(row.data() + 1, row.data(), 3, 0, 1);
    EXPECT_EQ(row, (std::vector<std::uint8_t>{20, 30, 40, 40}));
}

TEST(RowsForSegment, TwiceAndHalfTheRows) {
    int total = 0;
    for (int u = 0; u < 10; ++u) {
        EXPECT_EQ(RowsForSegment(10, 20, u), 2) << u;
        total += RowsForSegment(10, 20, u);
    }
    EXPECT_EQ(total, 20);
    total = 0;
    for (int u = 0; u < 20; ++u) total += RowsForSegment(20, 10, u);
    EXPECT_EQ(total, 10);  // every other canvas row moves on
    EXPECT_EQ(RowsForSegment(20, 10, 0), 1);
    EXPECT_EQ(RowsForSegment(20, 10, 1), 0);
}

TEST(StitchSetup, OverlapMethodsBlendAndMemory) {
    EXPECT_EQ(StitchOverlapPixels(kSideRight, 25, 800, 500, 800, 500), 200);
    EXPECT_EQ(StitchOverlapPixels(kSideRight, 1, 1000, 50, 1000, 50), 32);
    EXPECT_EQ(StitchOverlapPixels(kSideRight, 1, 1000, 50, 20, 50), 20);
    EXPECT_EQ(StitchOverlapPixels(kSideTop, 50, 1000, 300, 1000, 100), 100);

    EXPECT_TRUE(SearchMethodsAllowed(ptTrueColor24, kSideRight, 600, 400, 600, 413));
    EXPECT_FALSE(SearchMethodsAllowed(ptTrueColor24, kSideRight, 600, 400, 600, 414));
    EXPECT_FALSE(SearchMethodsAllowed(ptTrueColor24, kSideRight, 600, 400, 600, 416));
    EXPECT_FALSE(SearchMethodsAllowed(ptGray256, kSideBottom, 400, 600, 416, 600));
    EXPECT_TRUE(SearchMethodsAllowed(ptGray256, kSideLeft, 400, 600, 416, 600));
    EXPECT_FALSE(SearchMethodsAllowed(ptColor256, kSideRight, 600, 400, 600, 400));
    // Differences of thousands of per cent must not wrap into the allowed range.
    EXPECT_FALSE(SearchMethodsAllowed(ptTrueColor24, kSideRight, 600, 1, 600, 16385));
    EXPECT_FALSE(SearchMethodsAllowed(ptTrueColor24, kSideTop, 1, 600, 65537, 600));

    EXPECT_EQ(BlendSetupFor(ptTrueColor24).bytes, 3);
    EXPECT_EQ(BlendSetupFor(ptGray256).bytes, 1);
    EXPECT_FALSE(BlendSetupFor(ptColor16).enabled);

    auto a = MakeFlat(ptTrueColor24, 100, 100, 0);
    auto b = MakeFlat(ptGray256, 100, 100, 0);
    std::uint64_t bytes = a->Store().GetSize() + b->Store().GetSize();
    EXPECT_EQ(StitchMemoryNeed(a.get(), b.get()), bytes * 7 / 4);
}

TEST(TextureScore, StrongTextureScoresHighestWithoutWrapping) {
    std::vector<std::uint8_t> buffer(768);
    Rect block{0, 0, 15, 15};
    auto flat = MakeFlat(ptTrueColor24, 16, 16, MakeRgb(90, 90, 90));
    EXPECT_EQ(TextureScore(flat.get(), block, buffer.data(), 3), 0);

    // Every fifth pixel white over black: the product of the sum and the
    // range passes 2^31 on the way.
    auto strong = MakeFlat(ptTrueColor24, 32, 16, 0);
    for (int i = 0; i < 256; i += 5) strong->SetPixelValue(16 + i % 16, i / 16, 0xFFFFFF);
    std::int64_t score = TextureScore(strong.get(), Rect{16, 0, 31, 15}, buffer.data(), 3);
    EXPECT_GT(score, 1000000000);

    auto mild = MakeTextured(16, 16);
    std::int64_t mildScore = TextureScore(mild.get(), block, buffer.data(), 3);
    EXPECT_LT(mildScore, score);

    // The feature search keeps the strongest block of the band.
    for (int y = 0; y < 16; ++y) {
        std::vector<std::uint8_t> row(48);
        mild->ReadRow(0, 15, y, row.data());
        strong->WriteRow(0, 15, y, row.data());
    }
    CStitchTool tool;
    PointL found[kMaxFeatures];
    ASSERT_EQ(tool.FindFeatureBlocks(strong.get(), Rect{0, 0, 31, 15}, found), 1);
    EXPECT_EQ(found[0], (PointL{16, 0}));
}

TEST(MergeAlongMatches, AveragesOrRepeatsRestRows) {
    // Gray Rest rows of value 4y; no Main columns, so no seam blend.
    auto rest = MakePicture(ptGray256, 40, 60);
    for (int y = 0; y < 60; ++y) {
        std::vector<std::uint8_t> row(40, std::uint8_t(4 * y));
        rest->WriteRow(0, 39, y, row.data());
    }
    CStitchTool tool;
    tool.blendBytes = 1;

    auto canvas = MakeFlat(ptGray256, 40, 60, 0);
    PointL restPts[2] = {{0, 0}, {0, 20}}, mainPts[2] = {{0, 0}, {0, 10}};
    ASSERT_TRUE(tool.MergeAlongMatches(rest.get(), canvas.get(), restPts, mainPts, 1, 0));
    for (int u = 0; u < 10; ++u) EXPECT_EQ(Pixel(canvas.get(), 20, u)[0], 8 * u + 2) << u;

    auto canvas2 = MakeFlat(ptGray256, 40, 60, 0);
    PointL restPts2[2] = {{0, 0}, {0, 10}}, mainPts2[2] = {{0, 0}, {0, 20}};
    ASSERT_TRUE(tool.MergeAlongMatches(rest.get(), canvas2.get(), restPts2, mainPts2, 1, 0));
    EXPECT_EQ(Pixel(canvas2.get(), 20, 0)[0], 0);
    for (int u = 1; u < 19; ++u) EXPECT_EQ(Pixel(canvas2.get(), 20, u)[0], 4 * ((u + 1) / 2)) << u;
}

TEST(MatchBlock, UpperThenLeftWins) {
    auto block = MakeTextured(16, 16, ptGray256, 5);
    auto paste = [&](CPicture* canvas, int x, int y) { block->CopyTo(canvas, x, y, nullptr, false); };
    CStitchTool tool;
    tool.blendBytes = 1;
    const Rect b{0, 0, 15, 15}, window{0, 0, 79, 59};
    PointL at;

    auto upper = MakeFlat(ptGray256, 80, 60, 0);
    paste(upper.get(), 10, 30);
    paste(upper.get(), 50, 12);
    ASSERT_TRUE(tool.MatchBlock(block.get(), b, upper.get(), window, &at));
    EXPECT_EQ(at, (PointL{50, 12}));

    auto left = MakeFlat(ptGray256, 80, 60, 0);
    paste(left.get(), 50, 20);
    paste(left.get(), 20, 20);
    ASSERT_TRUE(tool.MatchBlock(block.get(), b, left.get(), window, &at));
    EXPECT_EQ(at, (PointL{20, 20}));

    EXPECT_FALSE(tool.MatchBlock(block.get(), b, left.get(), Rect{0, 0, 14, 59}, &at));  // too narrow
}

TEST(MergeAlongMatches, SubPixelOffsetSamplesBetweenRestPixels) {
    // Rest rows ramp 10 per column; the Main polyline drifts one column over
    // twenty rows, so canvas column c shows Rest position c - xm, xm = 10 + u / 20.
    auto rest = MakePicture(ptGray256, 25, 30);
    std::vector<std::uint8_t> ramp(25);
    for (int x = 0; x < 25; ++x) ramp[std::size_t(x)] = std::uint8_t(10 * x);
    for (int y = 0; y < 30; ++y) rest->WriteRow(0, 24, y, ramp.data());
    auto canvas = MakeFlat(ptGray256, 40, 30, 0);
    CStitchTool tool;
    tool.blendBytes = 1;
    PointL restPts[2] = {{0, 0}, {0, 20}}, mainPts[2] = {{10, 0}, {11, 20}};
    ASSERT_TRUE(tool.MergeAlongMatches(rest.get(), canvas.get(), restPts, mainPts, 1, 0));
    for (int u = 0; u < 20; ++u)
        for (int c = 12; c <= 30; ++c)
            EXPECT_NEAR(Pixel(canvas.get(), c, u)[0], 10.0 * (c - 10 - u / 20.0), 2.0)
                << "row " << u << " column " << c;
}

// The layout made for the search (each picture turned into its place, the
// Rest picture in the strip only) joins into the picture that turning the
// whole layout gives, on every side, also where the merge leaves part of the
// Rest picture's place: a seam that starts past the Main picture's last
// column keeps the layout's pixels between the two.
TEST(CropMerged, SearchLayoutGivesWhatTheTurnedLayoutGives) {
    for (int side : {kSideLeft, kSideTop, kSideRight, kSideBottom}) {
        for (int beyond : {-12, 5}) {
            std::unique_ptr<CPicture> joined[2];
            for (int way = 0; way < 2; ++way) {
                PlainStitchHost host(MakeTextured(60, 50, ptTrueColor24, 3),
                                     MakeTextured(56, 46, ptTrueColor24, 4));
                CStitchTool tool;
                tool.Begin(&host, host.Main(), host.Rest(), side, 20, StitchMethod::Auto, false);
                // Way 0: the layout made for the search; way 1: the whole
                // layout, turned by NormaliseLayout.
                ASSERT_TRUE(way == 0 ? tool.PrepareStitchDocument() : tool.ComposeFullLayout());
                ASSERT_TRUE(tool.NormaliseLayout());
                const int a = tool.firstExtent;
                CPicture* rest = host.StitchWork();
                ASSERT_TRUE(rest);
                const int hr = rest->GetHeight();
                PointL restPts[2] = {{0, 2}, {0, hr - 1}};
                PointL mainPts[2] = {{a + beyond, 0}, {a + beyond + 1, hr - 3}};
                ASSERT_TRUE(tool.MergeAlongMatches(rest, host.Picture(), restPts, mainPts, 1, a));
                ASSERT_TRUE(tool.CropMerged(host.Picture()));
                ASSERT_TRUE(tool.RestoreLayout());
                joined[way] = host.TakePicture();
                ASSERT_TRUE(joined[way]);
            }
            EXPECT_TRUE(SamePictures(joined[0].get(), joined[1].get())) << "side " << side << " beyond " << beyond;
        }
    }
}
