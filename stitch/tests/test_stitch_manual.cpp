// Manual composition: the Rest picture lands exactly where the two points
// say, and the overlap fades from the Main picture to the Rest picture.
#include <gtest/gtest.h>

#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"
#include "stitch_test_support.h"

using namespace stitchtest;

namespace {

const std::uint32_t kMainColour = MakeRgb(0, 100, 200);  // bytes 200, 100, 0
const std::uint32_t kRestColour = MakeRgb(200, 100, 0);  // bytes 0, 100, 200

std::unique_ptr<CPicture> Compose(int side, PointL mainAt, PointL restAt, int wm, int hm, int wr,
                                  int hr, bool blend = true) {
    PlainStitchHost host(MakeFlat(ptTrueColor24, wm, hm, kMainColour),
                         MakeFlat(ptTrueColor24, wr, hr, kRestColour));
    CStitchTool tool;
    tool.Begin(&host, host.Main(), host.Rest(), side, 40, StitchMethod::Manual, false);
    tool.blendEnabled = blend;
    if (!tool.PrepareStitchDocument()) return nullptr;
    tool.mainPoint = {tool.mainRect.left + mainAt.x, tool.mainRect.top + mainAt.y};
    tool.restPoint = {tool.restRect.left + restAt.x, tool.restRect.top + restAt.y};
    if (!tool.ManualCompose()) return nullptr;
    EXPECT_TRUE(host.Modified());
    return host.TakePicture();
}

// The first byte of a pixel: 200 for the Main colour, 0 for the Rest colour.
int Blue(CPicture* p, int x, int y) { return Pixel(p, x, y)[0]; }

}  // namespace

TEST(ManualCompose, RightSideRampsFromMainToRest) {
    // Rest column 5 clicked against Main column Wm - 25: 30 columns overlap.
    auto p = Compose(kSideRight, {75, 10}, {5, 10}, 100, 60, 80, 60);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->GetWidth(), 100 + 80 - 30);
    EXPECT_EQ(p->GetHeight(), 60);
    EXPECT_EQ(Blue(p.get(), 69, 30), 200);
    for (int c = 0; c < 30; ++c) {
        int d = 100 * c / 30;
        EXPECT_EQ(Blue(p.get(), 70 + c, 30), 200 * (100 - d) / 100) << c;
        EXPECT_EQ(Pixel(p.get(), 70 + c, 59)[1], 100);
    }
    EXPECT_EQ(Blue(p.get(), 100, 0), 0);
}

TEST(ManualCompose, TopAndBottomBlendRowsFromTheMainSide) {
    // Top: the Rest lies above; its last 20 rows cover the Main's first 20.
    auto top = Compose(kSideTop, {10, 5}, {10, 45}, 50, 80, 50, 60);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->GetHeight(), 60 + 80 - 20);
    for (int i = 0; i < 20; ++i) {
        int y = 40 + i;  // overlap rows, Main rows 0..19
        int e = MulDiv(19 - i, 100, 20) * 256 / 100;
        EXPECT_EQ(Blue(top.get(), 25, y), (200 * (256 - e)) >> 8) << i;
    }
    EXPECT_EQ(Blue(top.get(), 25, 39), 0);
    EXPECT_EQ(Blue(top.get(), 25, 60), 200);

    // Bottom: the top row of the overlap is the Main picture's.
    auto bottom = Compose(kSideBottom, {10, 70}, {10, 0}, 50, 80, 50, 60);
    ASSERT_TRUE(bottom);
    EXPECT_EQ(bottom->GetHeight(), 80 + 60 - 10);
    EXPECT_EQ(Blue(bottom.get(), 25, 70), 200);
    EXPECT_LT(Blue(bottom.get(), 25, 79), 40);
    EXPECT_EQ(Blue(bottom.get(), 25, 80), 0);
}

TEST(ManualCompose, LeftSideStartsAsRestAndEndsAsMain) {
    auto p = Compose(kSideLeft, {5, 0}, {55, 0}, 60, 40, 60, 40);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->GetWidth(), 60 + 55 - 5);
    EXPECT_EQ(Blue(p.get(), 49, 10), 0);    // Rest only
    EXPECT_EQ(Blue(p.get(), 50, 10), 0);    // first overlap column: Rest
    EXPECT_GT(Blue(p.get(), 59, 10), 150);  // last overlap column: almost Main
    EXPECT_EQ(Blue(p.get(), 60, 10), 200);  // Main only
}

TEST(ManualCompose, ExactPlacementWithoutBlendAndDisjointPictures) {
    // Textured pictures, no blend: Rest pixel (7, 3) lands on Main pixel (90, 20).
    PlainStitchHost host(MakeTextured(100, 50, ptTrueColor24, 1), MakeTextured(70, 50, ptTrueColor24, 2));
    CStitchTool tool;
    tool.Begin(&host, host.Main(), host.Rest(), kSideRight, 40, StitchMethod::Manual, false);
    tool.blendEnabled = false;
    ASSERT_TRUE(tool.PrepareStitchDocument());
    tool.mainPoint = {tool.mainRect.left + 90, tool.mainRect.top + 20};
    tool.restPoint = {tool.restRect.left + 7, tool.restRect.top + 3};
    ASSERT_TRUE(tool.ManualCompose());
    CPicture* p = host.Picture();
    EXPECT_EQ(p->GetWidth(), 83 + 70);
    EXPECT_EQ(p->GetHeight(), 50 + 17);
    EXPECT_EQ(MaxDifferenceAt(host.Rest(), p, 83, 17), 0);
    auto mainLeft = Cut(host.Main(), 0, 0, 83, 50);
    EXPECT_EQ(MaxDifferenceAt(mainLeft.get(), p, 0, 0), 0);

    // Points that put the pictures side by side join them without a blend.
    PlainStitchHost apart(MakeFlat(ptTrueColor24, 30, 20, kMainColour),
                          MakeFlat(ptTrueColor24, 30, 20, kRestColour));
    CStitchTool t2;
    t2.Begin(&apart, apart.Main(), apart.Rest(), kSideRight, 32, StitchMethod::Manual, false);
    ASSERT_TRUE(t2.PrepareStitchDocument());
    t2.restPoint = {t2.restRect.left, 0};
    t2.mainPoint = {t2.mainRect.left + 30, 0};  // one past the Main picture's last column
    ASSERT_TRUE(t2.ManualCompose());
    EXPECT_EQ(apart.Picture()->GetWidth(), 60);
    EXPECT_EQ(Blue(apart.Picture(), 29, 5), 200);
    EXPECT_EQ(Blue(apart.Picture(), 30, 5), 0);
}
