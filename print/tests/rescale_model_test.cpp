// The Rescale page's consistency rules.
#include <gtest/gtest.h>

#include "document/print_settings.h"
#include "print/rescale_model.h"

namespace {

RescaleModel Wide(int pageWidth = 4800, int pageHeight = 6600) {
    RescaleModel m;  // 3000 x 1000 at 300 dpi: 10 x 3.33 inch
    m.pictureWidth = 3000;
    m.pictureHeight = 1000;
    m.pictureXDpi = m.pictureYDpi = 300;
    m.resolutionX = m.resolutionY = 600;
    m.pageWidth = pageWidth;
    m.pageHeight = pageHeight;
    return m;
}

}  // namespace

TEST(RescaleModelTest, FitInPageFollowsThePaper) {
    RescaleModel m = Wide();
    m.SetFitInPage(true);
    EXPECT_EQ(m.scaleX, 80);  // width-limited: 4800 x 100 / 6000
    EXPECT_EQ(m.scaleY, 80);
    EXPECT_EQ(m.printWidth, 4800);
    EXPECT_EQ(m.printHeight, 1600);
    EXPECT_EQ(m.MaxScale(), 330);  // the larger of 6600 x 100 / 2000 and 80
    // Another paper: new limits and a new fitted factor.
    m.pageWidth = 9600;
    m.pageHeight = 13200;
    m.RecomputePrintSize();
    EXPECT_EQ(m.scaleX, 160);
    EXPECT_EQ(m.MaxScale(), 660);
    // Fit off again brings back the factors in force before.
    m.SetFitInPage(false);
    EXPECT_EQ(m.scaleX, 100);
    EXPECT_EQ(m.printWidth, 6000);
}

TEST(RescaleModelTest, ScrollingStaysInItsRange) {
    RescaleModel m = Wide();
    m.RecomputeMaxScale();
    m.ScrollTo(true, 15 - 20);  // page left at 15 %
    EXPECT_EQ(m.scaleX, 10);
    EXPECT_EQ(m.scaleY, 10);  // keep ratio moves both
    m.ScrollTo(true, 100000);
    EXPECT_EQ(m.scaleX, m.MaxScale());
    m.keepRatio = 0;
    m.ScrollTo(false, 50);
    EXPECT_EQ(m.scaleY, 50);
    EXPECT_EQ(m.scaleX, m.MaxScale());
}

TEST(RescaleModelTest, TargetSizeDrivesTheFactorsUnlessUnchanged) {
    RescaleModel m = Wide();
    m.Activate();
    EXPECT_EQ(m.targetWidthText, "10.00");
    EXPECT_EQ(m.targetHeightText, "3.33");
    m.ApplySizeToScale(true, "10.00");  // the text shown: nothing happens
    EXPECT_EQ(m.scaleX, 100);
    m.ApplySizeToScale(true, "5");
    EXPECT_EQ(m.scaleX, 50);
    EXPECT_EQ(m.scaleY, 50);
    EXPECT_EQ(m.targetHeightText, "1.67");
    EXPECT_EQ(m.printWidth, 3000);
    // Without keep ratio only that side's factor moves.
    m.keepRatio = 0;
    m.ApplySizeToScale(false, "6.66");
    EXPECT_EQ(m.scaleY, 199);  // 6.66 / 3.333 = 1.998
    EXPECT_EQ(m.scaleX, 50);
}

TEST(RescaleModelTest, KeepRatioClampsTheWidthToItsLimitButKeepsTheFactor) {
    RescaleModel m = Wide(4800, 200000);  // a long paper lets the factor reach 600 %
    m.RecomputeMaxScale();
    m.scaleX = 600;
    m.ApplyScaleToSize(true);
    EXPECT_EQ(m.scaleX, 600);
    EXPECT_EQ(m.targetWidthText, "54.61");  // 32767 / 600 dpi
    EXPECT_EQ(m.targetHeightText, "18.20");
    // In pixels the limits are 16 and 32767 dots whatever the resolution.
    m.unit = kPrintUnitPixel;
    m.resolutionX = m.resolutionY = 72;
    const RescaleModel::Limits l = m.SizeLimits();
    EXPECT_EQ(l.minWidth, 16);
    EXPECT_EQ(l.maxHeight, 32767);
    m.unit = kPrintUnitCm;
    EXPECT_NEAR(m.SizeLimits().maxWidth, 32767.0 / 72 * 2.54, 1e-9);
}

TEST(RescaleModelTest, KeepRatioAndValidationSettleTheFactors) {
    RescaleModel m = Wide();
    m.RecomputeMaxScale();
    m.keepRatio = 0;
    m.scaleX = 120;
    m.scaleY = 90;
    m.SetKeepRatio(true);
    EXPECT_EQ(m.scaleX, 90);
    EXPECT_EQ(m.scaleY, 90);
    // A factor over the bound: both limited, the larger kept with keep ratio.
    m.scaleX = 5000;
    EXPECT_FALSE(m.Validate());
    EXPECT_EQ(m.scaleX, m.MaxScale());
    EXPECT_EQ(m.scaleY, m.MaxScale());
    // Below 10: raised, the smaller kept.
    m.scaleX = 3;
    m.scaleY = 40;
    EXPECT_FALSE(m.Validate());
    EXPECT_EQ(m.scaleX, 10);
    EXPECT_EQ(m.scaleY, 10);
    EXPECT_TRUE(m.Validate());
}

// A poster is larger than the page by design: its factors reach as far as a
// print of 32767 dots on the longer side, and no further.
TEST(RescaleModelTest, PosterFactorsReachTheLargestPrintNotThePage) {
    RescaleModel m = Wide();  // 6000 x 2000 dots at 100 %
    m.RecomputeMaxScale();
    const int onePage = m.MaxScale();
    EXPECT_EQ(onePage, 330);  // 6600 / 2000: the page's height
    m.poster = 1;
    m.RecomputeMaxScale();
    m.scaleX = m.scaleY = 500;
    EXPECT_TRUE(m.Validate());
    m.RecomputePrintSize();
    EXPECT_EQ(m.MaxScale(), 546);  // 32767 / 6000
    EXPECT_EQ(m.printWidth, 30000);
    m.scaleX = m.scaleY = 600;
    EXPECT_FALSE(m.Validate());
    EXPECT_EQ(m.scaleX, 546);
    m.poster = 0;
    m.RecomputeMaxScale();
    EXPECT_EQ(m.MaxScale(), onePage);
}

// Each model keeps its own bound: a second sheet on another paper does not
// move the first one's.
TEST(RescaleModelTest, EachModelKeepsItsOwnBound) {
    RescaleModel a = Wide();
    a.RecomputeMaxScale();
    RescaleModel b = Wide(9600, 13200);
    b.RecomputeMaxScale();
    EXPECT_EQ(a.MaxScale(), 330);
    EXPECT_EQ(b.MaxScale(), 660);
    a.scaleX = a.scaleY = 500;
    EXPECT_FALSE(a.Validate());
    EXPECT_EQ(a.scaleX, 330);
}
