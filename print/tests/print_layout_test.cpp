// Layout arithmetic: where the picture lands and how large it prints.
#include <gtest/gtest.h>

#include "print/print_layout.h"

namespace {

PrintOptions FreshOptions(int width, int height, int pictureDpi, int printerDpi) {
    PrintSettings s;
    s.Reset(width, height, pictureDpi, pictureDpi, printerDpi, printerDpi);
    return OptionsFromSettings(s, 1, width, height, pictureDpi, pictureDpi, printerDpi, printerDpi);
}

}  // namespace

// The result users rely on: a picture prints at its physical size whatever
// the printer's resolution (2480 px at 300 dpi = 8.27 in = 210 mm).
TEST(PrintLayoutTest, QuickPrintWithFreshSettingsIsTrueSizeAtTheCorner) {
    for (int printerDpi : {300, 360, 600, 1200}) {
        PrintOptions o = FreshOptions(2480, 3508, 300, printerDpi);
        FinishOptions(o, 8 * printerDpi, 11 * printerDpi);
        const LayoutOffsets at = ComputeLayout(o, FrameAllowance{}, 8 * printerDpi, 11 * printerDpi);
        EXPECT_EQ(o.printWidth, 2480 * printerDpi / 300) << printerDpi;
        EXPECT_EQ(o.printHeight, 3508 * printerDpi / 300) << printerDpi;
        EXPECT_EQ(at.left, 0);
        EXPECT_EQ(at.top, 0);
    }
}

TEST(PrintLayoutTest, FitInPageWithDrawnFrameLosesFortyDotsAndIsCentred) {
    PrintOptions o = FreshOptions(1000, 1000, 300, 600);
    o.fitInPage = 1;
    o.addFrame = 1;
    o.frameId = 1616;
    FinishOptions(o, 4000, 6000);
    EXPECT_EQ(o.printWidth, 4000 - 20);
    const LayoutOffsets at = ComputeLayout(o, FrameAllowance{}, 4000, 6000);
    EXPECT_EQ(o.printWidth, 4000 - 40);
    EXPECT_EQ(o.printHeight, 4000 - 40);
    // Frame (picture + 2 x 10) centred both ways.
    EXPECT_EQ(at.left, (4000 - 3960 - 20) / 2);
    EXPECT_EQ(at.top, (6000 - 3960 - 20) / 2);
    EXPECT_EQ(o.frameId, 1616);
}

TEST(PrintLayoutTest, FrameSettingsFollowTheAddFrameSwitch) {
    PrintOptions o = FreshOptions(100, 100, 100, 100);
    o.frameId = 1618;
    FinishOptions(o, 800, 1000);
    EXPECT_EQ(o.frameId, 0);
    EXPECT_EQ(o.printWidth, 100);  // no frame, no allowance
    // A size the Rescale page set is kept as it is, frame or not.
    o = FreshOptions(100, 100, 100, 100);
    o.addFrame = 1;
    o.sizeSetByRescale = 1;
    FinishOptions(o, 800, 1000);
    EXPECT_EQ(o.printWidth, 100);
}

TEST(PrintLayoutTest, BitmapFrameUnderFitShrinksToWholeTilesAndCentres) {
    PrintOptions o = FreshOptions(1234, 987, 300, 600);
    o.fitInPage = 1;
    o.addFrame = 1;
    o.frameId = 1620;
    FinishOptions(o, 4800, 6600);
    // Side borders 40 wide, top/bottom 30 high, edge tiles 70 wide and 90 high.
    const FrameAllowance tiles{40, 30, 70, 90};
    const LayoutOffsets at = ComputeLayout(o, tiles, 4800, 6600);
    EXPECT_EQ(o.printWidth % 70, 0);
    EXPECT_EQ(o.printHeight % 90, 0);
    EXPECT_LE(o.printWidth + 80, 4800);
    EXPECT_EQ(at.left, (4800 - o.printWidth - 80) / 2);
    EXPECT_EQ(at.top, (6600 - o.printHeight - 60) / 2);
}

TEST(PrintLayoutTest, CentringWithTiledFrameCountsThePaddedTiles) {
    PrintOptions o = FreshOptions(250, 100, 100, 100);  // 250 x 100 dots
    o.addFrame = 1;
    o.centerHorizontally = 1;
    o.sizeSetByRescale = 1;
    FinishOptions(o, 1000, 1000);
    const LayoutOffsets at = ComputeLayout(o, FrameAllowance{20, 20, 100, 100}, 1000, 1000);
    // Three tiles (300) plus two borders: the 340-dot frame sits centred.
    EXPECT_EQ(at.left, (1000 - 340) / 2);
    EXPECT_EQ(at.top, 0);  // not centred vertically: the margin
}

TEST(PrintLayoutTest, CentringAPictureWiderThanThePageGivesOffsetZero) {
    PrintOptions o = FreshOptions(3000, 100, 100, 100);
    o.centerHorizontally = o.centerVertically = 1;
    o.leftMargin = 50;
    FinishOptions(o, 2000, 2000);
    const LayoutOffsets at = ComputeLayout(o, FrameAllowance{}, 2000, 2000);
    EXPECT_EQ(at.left, 0);
    EXPECT_EQ(at.top, (2000 - 100) / 2);
    // With a frame that would not fit beside it either.
    o.addFrame = 1;
    o.printWidth = 1990;
    EXPECT_EQ(ComputeLayout(o, FrameAllowance{}, 2000, 2000).left, 0);
}

TEST(PrintLayoutTest, FitInPageKeepsTheAspectOfPicturesLargerThanThePage) {
    // Both whole quotients are 0 here; the tall picture must stay tall.
    PrintOptions o = FreshOptions(5000, 20000, 300, 600);
    o.fitInPage = 1;
    FinishOptions(o, 4960, 7016);
    EXPECT_EQ(o.printHeight, 7016);
    EXPECT_EQ(o.printWidth, 7016 * 5000 / 20000);
    o = FreshOptions(3000, 1000, 300, 600);  // wide: width-limited
    o.fitInPage = 1;
    FinishOptions(o, 4800, 6600);
    EXPECT_EQ(o.printWidth, 4800);
    EXPECT_EQ(o.printHeight, 1600);
}

TEST(PrintLayoutTest, MarginTextsConvertBetweenUnits) {
    std::string x, y;
    FormatMarginText(1, 1, kPrintUnitInch, kPrintUnitPixel, 360, 300, x, y);
    EXPECT_EQ(x, "360");
    EXPECT_EQ(y, "300");
    FormatMarginText(2.54, 1, kPrintUnitCm, kPrintUnitInch, 600, 600, x, y);
    EXPECT_EQ(x, "1.00");  // 2.54 x 0.3937
    EXPECT_EQ(y, "0.39");
    FormatMarginText(360, 720, kPrintUnitPixel, kPrintUnitCm, 360, 360, x, y);
    EXPECT_EQ(x, "2.54");
    EXPECT_EQ(y, "5.08");
    FormatMarginText(1.234, 7, kPrintUnitInch, kPrintUnitInch, 0, 0, x, y);
    EXPECT_EQ(x, "1.23");
    EXPECT_EQ(MarginTextToDots("1.5", kPrintUnitInch, 600), 900);
    EXPECT_EQ(MarginTextToDots("2", kPrintUnitCm, 600), 472);  // 2 x 0.3937 x 600 = 472.4
    EXPECT_EQ(MarginTextToDots("junk", kPrintUnitInch, 600), 0);
}

TEST(PrintLayoutTest, SheetOptionsComeFromTheSettingsAndGoBack) {
    PrintSettings s;
    s.Reset(600, 300, 300, 300, 600, 600);
    s.unit = kPrintUnitCm;
    s.scaleX = s.scaleY = 50;
    s.leftMargin = 600;
    PrintOptions o = OptionsFromSettings(s, 1, 600, 300, 300, 300, 600, 600);
    EXPECT_EQ(o.leftMarginText, "2.54");
    EXPECT_EQ(o.sizeSetByRescale, 1);
    EXPECT_EQ(o.printWidth, 600);
    EXPECT_EQ(o.printHeight, 300);
    o.copies = 4;
    PrintSettings back;
    StoreSheetOptions(o, back);
    StoreLayout(o, LayoutOffsets{7, 9}, back);
    EXPECT_EQ(back.copies, 4);
    EXPECT_EQ(back.unit, kPrintUnitCm);
    EXPECT_EQ(back.printSize.right, 600);
    EXPECT_EQ(back.leftOffset, 7);
    EXPECT_EQ(back.scaleX, 50);
}

TEST(PrintLayoutTest, LayoutSketchUsesOneDivisorAndPlacesThePicture) {
    // Box 100 x 120; paper 2000 x 3000: divisor max(20, 25, 30, 17) = 30.
    LayoutSketch s = ComputeLayoutSketch(100, 120, 2000, 3000, 600, 300, true, false, 0, 300);
    EXPECT_EQ(s.divisor, 30);
    EXPECT_EQ(s.paper.right - s.paper.left, 66);
    EXPECT_EQ(s.paper.bottom - s.paper.top, 100);
    EXPECT_EQ(s.paper.left, (100 - 66) / 2);
    EXPECT_EQ(s.picture.right - s.picture.left, 20);
    EXPECT_EQ(s.picture.left - s.paper.left, (66 - 20) / 2);
    EXPECT_EQ(s.picture.top - s.paper.top, 10);
    // A picture larger than the paper is clipped to it; no size reported as 0: fallback paper.
    s = ComputeLayoutSketch(100, 100, 0, 0, 99999, 99999, false, false, 0, 0);
    EXPECT_EQ(s.picture.right, s.paper.right);
    EXPECT_EQ(s.picture.bottom, s.paper.bottom);
    EXPECT_EQ(s.divisor, 30);
}
