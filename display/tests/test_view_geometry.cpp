#include <gtest/gtest.h>

#include <vector>

#include "display/frame_caption.h"
#include "display/ruler_scale.h"
#include "display/view_geometry.h"
#include "resources/command_ids.h"

using namespace display;

TEST(ZoomSteps, InOutPassOverActualSizeAndStopAtTheEnds) {
    EXPECT_EQ(ZoomIn(-2), 1);
    EXPECT_EQ(ZoomIn(1), 2);
    EXPECT_EQ(ZoomOut(2), 1);
    EXPECT_EQ(ZoomOut(1), -2);
    EXPECT_EQ(ZoomIn(16), 16);
    EXPECT_EQ(ZoomOut(-16), -16);
    EXPECT_EQ(ZoomOut(ZoomForCommand(ID_ZOOM_1_16)), -16);
    // Every level is reached once going in from 1/16, 33 levels in all.
    std::vector<int> seen{-16};
    for (int z = -16; z != 16;) seen.push_back(z = ZoomIn(z));
    EXPECT_EQ(seen.size(), 31u);  // 1/16 .. 1/2, 1, 2 .. 16
    for (int id = ID_ZOOM_2; id <= ID_ZOOM_1_16; ++id) EXPECT_EQ(CommandForZoom(ZoomForCommand(id)), id);
    EXPECT_EQ(NormaliseZoom(0), 1);
    EXPECT_EQ(NormaliseZoom(-1), 1);
    EXPECT_EQ(NormaliseZoom(40), 16);
}

TEST(Conversions, ClientAndPictureAtMagnificationAndReduction) {
    ViewMapping m{3, 10, 20, 0, 0};
    EXPECT_EQ(ClientToPicture(m, {5, 5}), (Point{1 + 10, 1 + 20}));
    EXPECT_EQ(PictureToClient(m, {11, 21}), (Point{3, 3}));
    // A client rectangle covers every picture pixel it touches.
    EXPECT_EQ(ClientRectToPicture(m, {4, 0, 7, 3}), (Box{11, 20, 13, 21}));
    EXPECT_EQ(PictureRectToClient(m, {11, 20, 13, 21}), (Box{3, 0, 9, 3}));
    ViewMapping r{-4, 8, 0, 0, 0};
    EXPECT_EQ(ClientToPicture(r, {3, 1}), (Point{20, 4}));
    EXPECT_EQ(PictureToClient(r, {21, 4}), (Point{3, 1}));
    EXPECT_EQ(PictureRectToClient(r, {8, 0, 13, 4}), (Box{0, 0, 2, 1}));
    // Centred pictures: the origin is the picture's client corner; points
    // left of it do not fold onto the first column.
    ViewMapping c{2, 0, 0, 100, 50};
    EXPECT_EQ(ClientToPicture(c, {104, 51}), (Point{2, 0}));
    EXPECT_EQ(ClientRectToPicture(c, {99, 50, 102, 52}).left, -1);
}

TEST(ScrollState, RangesCentringAndRounding) {
    // A picture smaller than the view: no bars, centred.
    ScrollState s = ComputeScrollState({100, 60}, 1, {400, 300}, 17, 17, 5, 5);
    EXPECT_FALSE(s.hasHScroll || s.hasVScroll);
    EXPECT_EQ(s.originX, 150);
    EXPECT_EQ(s.originY, 120);
    EXPECT_EQ(s.scrollX, 0);
    // At x2 a slack of one client pixel needs no bar.
    s = ComputeScrollState({201, 100}, 2, {401, 400}, 17, 17, 0, 0);
    EXPECT_FALSE(s.hasHScroll);
    // Bigger: bars, range W - visible, the other bar's thickness counted.
    s = ComputeScrollState({1000, 1000}, 1, {400, 300}, 17, 20, 5000, 10);
    EXPECT_TRUE(s.hasHScroll && s.hasVScroll);
    EXPECT_EQ(s.maxX, 1000 - (400 - 17));
    EXPECT_EQ(s.maxY, 1000 - (300 - 20));
    EXPECT_EQ(s.scrollX, s.maxX);
    EXPECT_EQ(s.scrollY, 10);
    EXPECT_EQ(s.lineX, 32);
    EXPECT_EQ(s.pageX, (400 - 17) / 2);
    // At x3 the visible extent rounds up and steps shrink (at least 1).
    s = ComputeScrollState({1000, 1000}, 3, {400, 400}, 0, 0, 0, 0);
    EXPECT_EQ(s.visibleWidth, 134);
    EXPECT_EQ(s.lineX, 10);
    EXPECT_EQ(ComputeScrollState({1000, 1000}, 16, {400, 400}, 0, 0, 0, 0).lineX, 2);
    // At 1/4: positions land on multiples of 4, the range ends on one.
    EXPECT_EQ(RoundScroll(5, -4, 1000), 4);
    EXPECT_EQ(RoundScroll(6, -4, 1000), 8);
    s = ComputeScrollState({10001, 10001}, -4, {400, 400}, 0, 0, 6, 5);
    EXPECT_EQ(s.scrollX, 8);
    EXPECT_EQ(s.scrollY, 4);
    EXPECT_EQ(s.maxX % 4, 0);
    EXPECT_GE(s.maxX + s.visibleWidth, 10001);
    EXPECT_EQ(s.lineX, 128);
}

TEST(ScrollState, ExtremePicturesAtEveryZoom) {
    for (Size p : {Size{1, 1}, Size{32767, 1}, Size{1, 32767}}) {
        for (int z = -16; z <= 16; ++z) {
            if (z == 0 || z == -1) continue;
            ScrollState s = ComputeScrollState(p, z, {500, 400}, 17, 17, 32767, 32767);
            SCOPED_TRACE(testing::Message() << p.width << "x" << p.height << " zoom " << z);
            EXPECT_GE(s.scrollX, 0);
            EXPECT_LE(s.scrollX, s.maxX);
            EXPECT_GE(s.maxX, 0);
            // The whole picture can be reached: last scroll + visible covers it.
            if (s.hasHScroll) { EXPECT_GE(s.maxX + s.visibleWidth, p.width); }
            if (s.hasVScroll) { EXPECT_GE(s.maxY + s.visibleHeight, p.height); }
            EXPECT_GE(s.originX, 0);
            EXPECT_GE(s.lineX, 1);
            EXPECT_GE(s.pageY, 1);
        }
    }
}

TEST(FitZoom, TheCasesOfTheZoomMenu) {
    EXPECT_EQ(FitZoom({100, 100}, {400, 400}), 4);
    EXPECT_EQ(FitZoom({1000, 600}, {400, 400}), -3);
    EXPECT_EQ(FitZoom({1000, 600}, {500, 300}), -2);
    EXPECT_EQ(FitZoom({400, 400}, {400, 400}), 1);
    EXPECT_EQ(FitZoom({10, 10}, {400, 400}), 16);
    EXPECT_EQ(FitZoom({32767, 10}, {400, 400}), -16);
    EXPECT_EQ(FitZoom({401, 10}, {400, 400}), -2);
    EXPECT_EQ(FitZoom({100, 100}, {0, 400}), 0);
    EXPECT_EQ(FullScreenZoom({1, 1}, {1920, 1080}), 50000 / (1920 * 3));
    EXPECT_EQ(FullScreenZoom({12000, 8333}, {1920, 1080}), -8);
    EXPECT_EQ(FullScreenZoom({1920, 1080}, {1920, 1080}), 1);
}

TEST(Caption, BaseNamesAndZoomSuffix) {
    UntitledCounter untitled;
    EXPECT_EQ(CaptionFor(BaseNameForPath("", untitled), 1, false), "untitled - 1 [x1]");
    EXPECT_EQ(CaptionFor(BaseNameForPath("", untitled), 1, false), "untitled - 2 [x1]");
    EXPECT_EQ(CaptionFor("untitled - 2", -4, false), "untitled - 2 [1/4]");
    EXPECT_EQ(CaptionFor("untitled - 2", 16, true), "untitled - 2");
    EXPECT_EQ(BaseNameForPath("/home/u/Scans/HOUSE.BMP", untitled), "HOUSE.BMP");
    EXPECT_EQ(BaseNameForPath("MyMap.PNG", untitled), "MyMap.PNG");
    // Each workspace counts its own: another starts at 1 again.
    UntitledCounter other;
    EXPECT_EQ(BaseNameForPath("", other), "untitled - 1");
    EXPECT_EQ(BaseNameForPath("", untitled), "untitled - 3");
}

TEST(RulerScale, StepsFollowTheZoom) {
    RulerScale s = ComputeRulerScale(kUnitPixel, 3780, 1);
    EXPECT_DOUBLE_EQ(s.minorStep, 5);
    EXPECT_DOUBLE_EQ(s.labelStep, 100);
    s = ComputeRulerScale(kUnitPixel, 3780, 2);
    EXPECT_DOUBLE_EQ(s.minorStep, 5);
    EXPECT_DOUBLE_EQ(s.labelStep, 50);
    s = ComputeRulerScale(kUnitPixel, 3780, -16);
    EXPECT_GT(s.minorStep * s.pixelsPerUnit, 4);
    EXPECT_GT(s.labelStep * s.pixelsPerUnit, 50);
    // 300 dpi (11811 ppm) in inches at 1:1: 1/64 inch is 4.7 pixels.
    s = ComputeRulerScale(kUnitInch, 11811, 1);
    EXPECT_DOUBLE_EQ(s.minorStep, 1.0 / 64);
    EXPECT_DOUBLE_EQ(s.labelStep, 1.0 / 4);
    // cm at 96 dpi: 37.8 pixels a cm; 0.2 cm ticks, 2 cm labels.
    s = ComputeRulerScale(kUnitCm, 3780, 1);
    EXPECT_NEAR(s.minorStep, 0.2, 1e-9);
    EXPECT_NEAR(s.labelStep, 2, 1e-9);
}
