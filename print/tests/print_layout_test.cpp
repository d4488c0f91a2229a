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

namespace {

// A poster of a pictureW x pictureH picture at pictureDpi, printed at scale
// on a printer of dpi whose printable area is pageW x pageH in portrait.
PosterRequest Poster(int pictureW, int pictureH, int pictureDpi, int scale, int dpi, int pageW,
                     int pageH, double overlapMm) {
    PosterRequest r;
    r.pictureWidth = pictureW;
    r.pictureHeight = pictureH;
    r.width = PrintWidthFor(scale, dpi, pictureW, pictureDpi);
    r.height = PrintHeightFor(scale, dpi, pictureH, pictureDpi);
    r.dpiX = r.dpiY = dpi;
    r.portraitWidth = pageW;
    r.portraitHeight = pageH;
    r.landscapeWidth = pageH;
    r.landscapeHeight = pageW;
    r.overlapMm = overlapMm;
    return r;
}

// Along one axis: parts start at 0, end at the length, neighbours share
// exactly the overlap, none exceeds what fits; every dot is shown once, the
// overlaps' dots twice; one part fewer could not cover the length.
void ExpectAxisTiles(const std::vector<int>& start, const std::vector<int>& end, int length,
                     int overlap, int maxPart, const std::string& what) {
    ASSERT_FALSE(start.empty()) << what;
    ASSERT_EQ(start.size(), end.size()) << what;
    const std::size_t n = start.size();
    EXPECT_EQ(start.front(), 0) << what;
    EXPECT_EQ(end.back(), length) << what;
    std::vector<int> shown(std::size_t(length), 0);
    for (std::size_t i = 0; i < n; ++i) {
        ASSERT_LE(end[i] - start[i], maxPart) << what << " part " << i;
        ASSERT_LT(start[i], end[i]) << what;
        if (i + 1 < n) {
            ASSERT_EQ(start[i + 1], end[i] - overlap) << what << " part " << i;
        }
        for (int d = start[i]; d < end[i]; ++d) ++shown[std::size_t(d)];
    }
    for (int d = 0; d < length; ++d) {
        bool inOverlap = false;
        for (std::size_t i = 0; i + 1 < n; ++i) inOverlap |= d >= start[i + 1] && d < end[i];
        ASSERT_EQ(shown[std::size_t(d)], inOverlap ? 2 : 1) << what << " dot " << d;
    }
    if (n > 1) {
        EXPECT_LT((long long)(n - 1) * maxPart - (long long)(n - 2) * overlap, length) << what;
    }
}

}  // namespace

// The named cases: an A3 scan at 100 % on A4 paper printed to the edge
// takes two sheets turned to landscape, an A2 scan four in portrait. Both
// fill their sheets exactly, so any overlap (the usual 10 mm) costs a row.
TEST(PosterLayoutTest, FewestSheetsInTheBetterOrientation) {
    PosterRequest a3 = Poster(3508, 4960, 300, 100, 300, 2480, 3508, 0);
    PosterLayout p = ComputePosterLayout(a3);
    ASSERT_EQ(p.problem, PosterProblem::kNone);
    EXPECT_EQ(p.SheetCount(), 2);
    EXPECT_EQ(p.orientation, 2);
    EXPECT_EQ(p.columns, 1);
    a3.overlapMm = 10;
    EXPECT_EQ(ComputePosterLayout(a3).SheetCount(), 3);
    a3.orientation = 1;  // fixed by the user: four sheets rather than turn the paper
    EXPECT_EQ(ComputePosterLayout(a3).SheetCount(), 4);
    EXPECT_EQ(ComputePosterLayout(a3).orientation, 1);

    const PosterRequest a2 = Poster(4960, 7016, 300, 100, 300, 2480, 3508, 0);
    p = ComputePosterLayout(a2);
    EXPECT_EQ(p.SheetCount(), 4);
    EXPECT_EQ(p.orientation, 1);
    EXPECT_EQ(p.Sheet(3).part.left, 2480);
    EXPECT_EQ(p.Sheet(3).part.top, 3508);

    // A poster that fits on one sheet either way keeps the preferred orientation.
    PosterRequest small = Poster(100, 100, 300, 100, 300, 2480, 3508, 10);
    small.preferred = 2;
    EXPECT_EQ(ComputePosterLayout(small).orientation, 2);
    EXPECT_EQ(ComputePosterLayout(small).SheetCount(), 1);
}

TEST(PosterLayoutTest, PartsCoverThePictureExactlyOnceOutsideTheOverlaps) {
    const int sizes[][2] = {{2, 3}, {601, 17}, {4960, 7016}, {3333, 2222}, {12000, 9001}};
    for (const auto& size : sizes)
        for (int scale : {10, 57, 100, 250, 500})
            for (int dpi : {150, 300, 600})
                for (bool marks : {false, true}) {
                    PosterRequest r = Poster(size[0], size[1], 300, scale, dpi,
                                             dpi * 8 - 37, dpi * 11 - 61, marks ? 7.5 : 10);
                    r.marks = marks;
                    if (r.width > 32767 || r.height > 32767) continue;
                    const PosterLayout p = ComputePosterLayout(r);
                    const std::string what = std::to_string(size[0]) + "x" +
                                             std::to_string(size[1]) + " at " +
                                             std::to_string(scale) + "% " + std::to_string(dpi);
                    if (p.problem == PosterProblem::kTooManySheets) continue;
                    if (r.width < 1 || r.height < 1) {
                        EXPECT_EQ(p.problem, PosterProblem::kNothingToPrint) << what;
                        continue;
                    }
                    ASSERT_EQ(p.problem, PosterProblem::kNone) << what;
                    const int maxW = p.pageWidth - 2 * p.strip, maxH = p.pageHeight - 2 * p.strip;
                    ExpectAxisTiles(p.columnStart, p.columnEnd, r.width, p.overlapX, maxW, what);
                    ExpectAxisTiles(p.rowStart, p.rowEnd, r.height, p.overlapY, maxH, what);
                    const PosterSheet last = p.Sheet(p.SheetCount() - 1);
                    EXPECT_EQ(last.part.right, r.width) << what;
                    EXPECT_LE(last.x + (last.part.right - last.part.left), p.pageWidth - p.strip);
                    EXPECT_EQ(p.overlapX, int(r.overlapMm * dpi / 25.4 + 0.5));
                }
}

TEST(PosterLayoutTest, BadRequestsAreNamedAndTooManySheetsCounted) {
    PosterRequest r = Poster(3000, 3000, 300, 100, 300, 2400, 3400, 10);
    r.overlapMm = 102;  // 1205 dots: more than half of 2400
    EXPECT_EQ(ComputePosterLayout(r).problem, PosterProblem::kOverlapTooLarge);
    r.overlapMm = 101;  // 1193: just fits
    EXPECT_EQ(ComputePosterLayout(r).problem, PosterProblem::kNone);
    r.overlapMm = -1;
    EXPECT_EQ(ComputePosterLayout(r).problem, PosterProblem::kOverlapTooLarge);

    PosterRequest one = Poster(1, 1, 300, 500, 300, 2400, 3400, 10);
    EXPECT_EQ(ComputePosterLayout(one).problem, PosterProblem::kOnePixel);
    EXPECT_FALSE(ComputePosterLayout(one).Usable());

    PosterRequest none = Poster(3000, 3000, 300, 100, 300, 0, 0, 10);
    EXPECT_EQ(ComputePosterLayout(none).problem, PosterProblem::kNoPrintableArea);
    none = Poster(3000, 3000, 300, 100, 300, 100, 100, 10);  // nothing left inside the strips
    none.labels = true;
    EXPECT_EQ(ComputePosterLayout(none).problem, PosterProblem::kNoPrintableArea);

    // 32000 x 32000 dots on 2400 x 3400: 14 x 10 = 140 sheets, laid out all the same.
    PosterRequest huge = Poster(32000, 32000, 300, 100, 300, 2400, 3400, 10);
    const PosterLayout p = ComputePosterLayout(huge);
    EXPECT_EQ(p.problem, PosterProblem::kTooManySheets);
    EXPECT_TRUE(p.Usable());
    EXPECT_GT(p.SheetCount(), kMaxPosterSheets);
    EXPECT_NE(PosterProblemText(p).find(std::to_string(p.SheetCount()) + " sheets"),
              std::string::npos);
}

TEST(PosterLayoutTest, LabelsNameTheSheetAndMarksStayInTheStrips) {
    PosterRequest r = Poster(4000, 9000, 300, 100, 300, 2400, 3400, 10);
    r.orientation = 1;
    r.marks = r.labels = true;
    const PosterLayout p = ComputePosterLayout(r);
    ASSERT_EQ(p.columns, 2);
    ASSERT_EQ(p.rows, 3);
    EXPECT_EQ(PosterSheetLabel(p, 3), "B2 \u2014 row 2 of 3, column 2 of 2");
    EXPECT_EQ(PosterSheetName(0, 26), "AA1");
    EXPECT_EQ(PosterSheetName(9, 51), "AZ10");
    EXPECT_EQ(PosterGridText(p, 10), "2 x 3 sheets (portrait), overlap 10 mm");

    for (int i = 0; i < p.SheetCount(); ++i) {
        const PosterSheet s = p.Sheet(i);
        const Box part{s.x, s.y, s.x + s.part.right - s.part.left, s.y + s.part.bottom - s.part.top};
        const std::vector<Box> marks = PosterMarks(p, i);
        // Two ticks per neighbour: corners have two neighbours, B2 three.
        const int neighbours = (s.column > 0) + (s.column + 1 < p.columns) + (s.row > 0) +
                               (s.row + 1 < p.rows);
        EXPECT_EQ(int(marks.size()), 2 * neighbours) << i;
        for (const Box& m : marks) {
            EXPECT_TRUE(m.left >= 0 && m.top >= 0 && m.right <= p.pageWidth &&
                        m.bottom <= p.pageHeight) << i;
            const bool inside = m.left < part.right && m.right > part.left &&
                                m.top < part.bottom && m.bottom > part.top;
            EXPECT_FALSE(inside) << "a mark over the picture on sheet " << i;
        }
        const Box label = PosterLabelBox(p, i);
        EXPECT_GE(label.top, part.bottom);
        EXPECT_LE(label.bottom, p.pageHeight);
    }
    // A1's right-hand ticks sit where B1's part begins.
    const std::vector<Box> a1 = PosterMarks(p, 0);
    const int edge = p.Sheet(0).x + p.columnStart[1];
    EXPECT_TRUE(a1[0].left <= edge && edge < a1[0].right);
}

// The print sheet warns before a print loses its edges: the picture at its
// scale, where the margins or the centring put it, with a drawn frame's
// border, against the printable area.
TEST(PrintLayoutTest, PrintRunsOffPaperWhenThePictureDoesNotFitWhereItIsPut) {
    const int page = 2400, pageH = 3300;  // 8 x 11 in at 300 dpi
    PrintOptions fits = FreshOptions(2400, 3300, 300, 300);  // exactly the page
    EXPECT_FALSE(PrintRunsOffPaper(fits, page, pageH));
    PrintOptions margin = fits;
    margin.leftMargin = 1;  // one dot further right
    EXPECT_TRUE(PrintRunsOffPaper(margin, page, pageH));
    PrintOptions wide = FreshOptions(2401, 100, 300, 300);
    EXPECT_TRUE(PrintRunsOffPaper(wide, page, pageH));
    wide.centerHorizontally = 1;  // centred, both edges go
    EXPECT_TRUE(PrintRunsOffPaper(wide, page, pageH));
    wide.fitInPage = 1;
    EXPECT_FALSE(PrintRunsOffPaper(wide, page, pageH));
    wide.fitInPage = 0;
    wide.poster = 1;
    EXPECT_FALSE(PrintRunsOffPaper(wide, page, pageH));
    // A drawn frame's border goes around the picture on the paper.
    PrintOptions framed = FreshOptions(2390, 100, 300, 300);
    EXPECT_FALSE(PrintRunsOffPaper(framed, page, pageH));
    framed.addFrame = 1;
    framed.frameId = kFirstFrameId;
    framed.sizeSetByRescale = 1;
    EXPECT_TRUE(PrintRunsOffPaper(framed, page, pageH));
}
