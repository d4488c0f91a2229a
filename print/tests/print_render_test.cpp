// The row routines and the band renderer, against a device that paints the
// bands into a page of colours.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/testing/test_progress_host.h"
#include "picture/picture.h"
#include "print/print_layout.h"
#include "print/print_render.h"
#include "print/print_rows.h"

namespace {

// A page of 0x00BBGGRR colours (0xFFFFFFFF untouched) that records every call.
class PageDevice : public PrintDevice {
public:
    PageDevice(int width, int height, int copiesAtOnce = 1)
        : width_(width), height_(height), copiesAtOnce_(copiesAtOnce),
          page(std::size_t(width) * std::size_t(height), kUntouched) {}
    static constexpr std::uint32_t kUntouched = 0xFFFFFFFF;

    int DpiX() const override { return 300; }
    int DpiY() const override { return 300; }
    int PageWidth() const override { return width_; }
    int PageHeight() const override { return height_; }
    int RequestCopies(int copies) override { return std::min(copies, copiesAtOnce_); }
    bool StartPage() override {
        ++pages;
        std::fill(page.begin(), page.end(), kUntouched);
        return true;
    }
    bool EndPage() override {
        if (keepPages) kept.push_back(page);
        return true;
    }
    bool DrawBand(int x, int y, const BandImage& band) override {
        bandRows.push_back(band.rows);
        bandBytes.push_back(band.stride * std::size_t(band.rows));
        for (int r = 0; r < band.rows; ++r) {
            const std::uint8_t* row = band.bits + std::size_t(r) * band.stride;
            for (int i = 0; i < band.width; ++i) {
                std::uint32_t c;
                if (band.bitCount == 24) {
                    c = MakeRgb(row[3 * i + 2], row[3 * i + 1], row[3 * i]);
                } else if (band.bitCount == 8) {
                    const RgbQuad q = band.colours[row[i]];
                    c = MakeRgb(q.red, q.green, q.blue);
                } else {  // 1 bit
                    const RgbQuad q = band.colours[(row[i / 8] >> (7 - i % 8)) & 1];
                    c = MakeRgb(q.red, q.green, q.blue);
                }
                Set(x + i, y + r, c);
            }
        }
        return true;
    }
    void DrawFrameShape(const Box& r, int corner) override {
        shapes.push_back(r);
        corners.push_back(corner);
    }
    bool KeepGoing() override { return ++rowsSeen != stopAtRow; }
    void ClipTo(const Box* rect) override { clips.push_back(rect ? *rect : Box{-1, -1, -1, -1}); }
    void DrawLabel(const Box& box, const std::string& text) override {
        labels.push_back(text);
        labelBoxes.push_back(box);
    }

    void Set(int x, int y, std::uint32_t c) {
        ASSERT_TRUE(x >= 0 && y >= 0 && x < width_ && y < height_) << x << "," << y;
        page[std::size_t(y) * std::size_t(width_) + std::size_t(x)] = c;
    }
    std::uint32_t At(int x, int y) const {
        return page[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    }

    int width_, height_, copiesAtOnce_;
    std::vector<std::uint32_t> page;
    int pages = 0;
    std::vector<int> bandRows;
    std::vector<std::size_t> bandBytes;
    std::vector<Box> shapes;
    std::vector<int> corners;
    int rowsSeen = 0;
    int stopAtRow = -1;
    bool keepPages = false;
    std::vector<std::vector<std::uint32_t>> kept;  // every finished page, when keepPages
    std::vector<Box> clips;                        // (-1, -1, -1, -1): clip removed
    std::vector<std::string> labels;
    std::vector<Box> labelBoxes;
};

std::unique_ptr<CPicture> RandomPicture(int type, int w, int h, unsigned seed,
                                        int storeFlags = kStoreMemory) {
    auto p = std::make_unique<CPicture>();
    EXPECT_TRUE(p->Create(type, w, h, 0, nullptr, DpiToPpm(300), DpiToPpm(300), storeFlags));
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> row(p->GetRowBytes());
    for (int y = 0; y < h; ++y) {
        for (auto& b : row) b = std::uint8_t(rng());
        p->WriteRow(0, w - 1, y, row.data());
    }
    return p;
}

std::uint32_t PicturePixel(CPicture& p, int x, int y) {
    std::uint8_t px[4] = {};
    p.ReadRow(x, x, y, px);
    return MakeRgb(px[2], px[1], px[0]);
}

PrintJobRequest Request(CPicture* picture, int w, int h, int x = 0, int y = 0) {
    PrintJobRequest r;
    r.picture = picture;
    r.printRect = Box{0, 0, w, h};
    r.xOffset = x;
    r.yOffset = y;
    return r;
}

// Everything the emitter saw, row by row.
std::vector<std::vector<std::uint8_t>> Rows(CPicture& p, int w, int h) {
    std::vector<std::vector<std::uint8_t>> rows;
    const std::size_t n = std::size_t(OutputRowBytes(p.GetBitCount(), w));
    ProduceRows(p, w, h, [&](int, const std::uint8_t* b) {
        rows.emplace_back(b, b + n);
        return true;
    });
    return rows;
}

}  // namespace

TEST(PrintRowsTest, RoutineFollowsTypeAndHeightRatio) {
    EXPECT_EQ(ChooseRowRoutine(ptTrueColor24, 100, 101), RowRoutine::Enlarging);
    EXPECT_EQ(ChooseRowRoutine(ptGray256, 100, 100), RowRoutine::SameHeight);
    EXPECT_EQ(ChooseRowRoutine(ptTrueColor24, 100, 99), RowRoutine::Reducing);
    EXPECT_EQ(ChooseRowRoutine(ptColor256, 100, 300), RowRoutine::Index);
    EXPECT_EQ(ChooseRowRoutine(ptTrueColor32, 100, 100), RowRoutine::Index);
}

TEST(PrintRowsTest, HorizontalScalingInterpolatesAndAverages) {
    const std::uint8_t two[] = {0, 255};
    std::uint8_t out[8] = {};
    RowScaler(1, 2, 5).Scale(two, out);  // t = x / 4: weights 0, 64, 128, 192, 0
    EXPECT_EQ(std::vector<int>(out, out + 5), (std::vector<int>{0, 63, 127, 191, 255}));
    const std::uint8_t four[] = {10, 20, 30, 40};
    RowScaler(1, 4, 2).Scale(four, out);  // runs floor(i / 3): {10, 20, 30} {40}
    EXPECT_EQ(out[0], 20);
    EXPECT_EQ(out[1], 40);
    const std::uint8_t bgr[] = {1, 2, 3, 4, 5, 6};
    RowScaler(3, 2, 2).Scale(bgr, out);
    EXPECT_EQ(0, std::memcmp(out, bgr, 6));
}

// Reducing averages the run of source pixels i with floor(i (dw - 1) / (sw - 1))
// = j into output pixel j; a part of the row gives the whole row's pixels.
TEST(PrintRowsTest, ReducedRunsFollowTheirRuleAndPartsMatchTheWholeRow) {
    std::mt19937 rng(5);
    for (auto [sw, dw] : {std::pair{300, 161}, {97, 13}, {1000, 999}, {50, 1}, {40, 41}, {7, 300}}) {
        std::vector<std::uint8_t> source(static_cast<std::size_t>(sw));
        for (auto& b : source) b = std::uint8_t(rng());
        std::vector<std::uint8_t> whole(static_cast<std::size_t>(dw));
        RowScaler(1, sw, dw).Scale(source.data(), whole.data());
        if (dw < sw) {
            for (int j = 0; j < dw; ++j) {
                unsigned sum = 0, n = 0;
                for (int i = 0; i < sw; ++i)
                    if ((long long)i * (dw - 1) / (sw - 1) == j) {
                        sum += source[std::size_t(i)];
                        ++n;
                    }
                ASSERT_EQ(whole[std::size_t(j)], sum / n) << sw << " -> " << dw << " pixel " << j;
            }
        }
        for (int first = 0; first < dw; first += std::max(1, dw / 7)) {
            const int count = std::min(dw - first, 1 + first % 23);
            const RowScaler part(1, sw, dw, first, count);
            std::vector<std::uint8_t> out(static_cast<std::size_t>(count));
            part.Scale(source.data() + part.SourceFirst(), out.data());
            ASSERT_LE(part.SourceFirst() + part.SourceCount(), sw);
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(out[std::size_t(k)], whole[std::size_t(first + k)]) << sw << " -> " << dw;
        }
    }
}

TEST(PrintRowsTest, VerticalRoutinesBlendAverageAndKeepRows) {
    // A 1 x 2 gray column 0 / 255.
    CPicture p;
    ASSERT_TRUE(p.Create(ptGray256, 1, 2, 0, nullptr, 0, 0, kStoreMemory));
    const std::uint8_t black = 0, white = 255;
    p.WriteRow(0, 0, 0, &black);
    p.WriteRow(0, 0, 1, &white);
    auto up = Rows(p, 1, 5);
    ASSERT_EQ(up.size(), 5u);
    EXPECT_EQ(up[0][0], 0);
    EXPECT_EQ(up[1][0], 63);
    EXPECT_EQ(up[2][0], 127);
    EXPECT_EQ(up[4][0], 255);
    auto down = Rows(p, 1, 1);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0][0], 127);
}

TEST(PrintRowsTest, IndexRoutineSamplesRowCentresAndRepacksBits) {
    // 1-bit 3 x 2: row 0 = 1 0 1, row 1 = 0 1 0; printed 5 x 4.
    CPicture p;
    ASSERT_TRUE(p.Create(ptBlackWhite, 3, 2, 0, nullptr, 0, 0, kStoreMemory));
    const std::uint8_t r0 = 0xA0, r1 = 0x40;
    p.WriteRow(0, 2, 0, &r0);
    p.WriteRow(0, 2, 1, &r1);
    auto rows = Rows(p, 5, 4);
    ASSERT_EQ(rows.size(), 4u);
    // Columns (3 - 1) x i / 4 = 0 0 1 1 2: 1 1 0 0 1 -> 0xC8; the other row 0 0 1 1 0 -> 0x30.
    EXPECT_EQ(rows[0][0], 0xC8);
    EXPECT_EQ(rows[1][0], 0xC8);  // every source row shows, the first one too
    EXPECT_EQ(rows[2][0], 0x30);
    EXPECT_EQ(rows[3][0], 0x30);
}

TEST(PrintRenderTest, TrueColourAtItsOwnSizeIsCopiedUnchanged) {
    for (int flags : {int(kStoreMemory), int(kStoreSwapFile)}) {
        auto picture = RandomPicture(ptTrueColor24, 37, 23, 7, flags);
        PageDevice device(80, 60);
        ASSERT_EQ(RenderPicture(device, Request(picture.get(), 37, 23, 5, 9), false), 1);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(device.At(x + 5, y + 9), PicturePixel(*picture, x, y)) << x << "," << y;
        EXPECT_EQ(device.At(4, 9), PageDevice::kUntouched);
        EXPECT_EQ(device.At(42, 9), PageDevice::kUntouched);
        EXPECT_EQ(device.At(5, 32), PageDevice::kUntouched);
    }
}

TEST(PrintRenderTest, BandsStayWithin64KiBAndWideRowsGoAlone) {
    // 24-bit rows of 11000 dots take 33000 bytes: one row a band.
    auto colour = RandomPicture(ptTrueColor24, 40, 10, 4);
    PageDevice wide(11000, 10);
    ASSERT_EQ(RenderPicture(wide, Request(colour.get(), 11000, 10), false), 1);
    EXPECT_EQ(wide.bandRows, std::vector<int>(10, 1));
    auto picture = RandomPicture(ptGray256, 50, 40, 3);
    PageDevice device(1000, 1500);
    ASSERT_EQ(RenderPicture(device, Request(picture.get(), 1000, 1500), false), 1);
    EXPECT_EQ(device.bandRows.front(), 65536 / 1000);
    int total = 0;
    for (std::size_t i = 0; i < device.bandRows.size(); ++i) {
        EXPECT_LE(device.bandBytes[i], 65536u);
        total += device.bandRows[i];
    }
    EXPECT_EQ(total, 1500);
}

TEST(PrintRenderTest, PrintSizesBeyondTheSystemsGeometryAreRefused) {
    auto picture = RandomPicture(ptTrueColor24, 8, 8, 1);
    PageDevice device(10, 10);
    bool aborted = true;
    EXPECT_EQ(RenderPicture(device, Request(picture.get(), 32768, 8), false, &aborted), 0);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(device.pages, 0);
}

TEST(PrintRenderTest, CopiesArePassesUnlessTheDeviceMakesThem) {
    auto picture = RandomPicture(ptTrueColor24, 8, 8, 1);
    PageDevice single(100, 100, 1), multi(100, 100, 100);
    PrintJobRequest r = Request(picture.get(), 8, 8);
    r.copies = 3;
    TestProgressHost host;
    EXPECT_EQ(RenderPicture(single, r, false), 1);
    EXPECT_EQ(single.pages, 3);
    EXPECT_EQ(RenderPicture(multi, r, false), 1);
    EXPECT_EQ(multi.pages, 1);
    EXPECT_EQ(host.ends, host.begins);
    EXPECT_EQ(host.captions.back(), "Printing");
    // The preview shows one page and no progress.
    PageDevice preview(100, 100, 1);
    host.Reset();
    EXPECT_EQ(RenderPicture(preview, r, true), 1);
    EXPECT_EQ(preview.pages, 0);
    EXPECT_EQ(preview.bandRows.size(), 1u);
    EXPECT_EQ(host.begins, 0);
}

TEST(PrintRenderTest, AbortStopsAfterTheCurrentRowAndSkipsTheOtherCopies) {
    auto picture = RandomPicture(ptTrueColor24, 10, 100, 2);
    PageDevice device(100, 200, 1);
    device.stopAtRow = 30;
    PrintJobRequest r = Request(picture.get(), 10, 100);
    r.copies = 4;
    bool aborted = false;
    EXPECT_EQ(RenderPicture(device, r, false, &aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(device.pages, 1);
    EXPECT_EQ(device.rowsSeen, 30);
    // Escape through the progress display stops it too.
    TestProgressHost host;
    host.escapeAtCall = 5;
    PageDevice again(100, 200, 1);
    EXPECT_EQ(RenderPicture(again, r, false, &aborted), 0);
    EXPECT_TRUE(aborted);
}

TEST(PrintRenderTest, DrawnFramesSurroundThePictureByTenDots) {
    auto picture = RandomPicture(ptTrueColor24, 20, 10, 5);
    PageDevice device(200, 200);
    PrintJobRequest r = Request(picture.get(), 20, 10, 30, 40);
    r.drawnFrameId = 1619;  // two rounded rectangles
    ASSERT_EQ(RenderPicture(device, r, false), 1);
    ASSERT_EQ(device.shapes.size(), 2u);
    EXPECT_EQ(device.shapes[0].left, 30);
    EXPECT_EQ(device.shapes[0].top, 40);
    EXPECT_EQ(device.shapes[0].right, 30 + 20 + 20);
    EXPECT_EQ(device.shapes[1].left, 35);
    EXPECT_EQ(device.corners[0], 32);
    EXPECT_EQ(device.At(40, 50), PicturePixel(*picture, 0, 0));  // picture moved by (10, 10)
}

TEST(PrintRenderTest, BitmapFrameIsWholeTilesAroundTheCentredPicture) {
    FramePieces pieces;
    const int sizes[6][2] = {{4, 3}, {4, 3}, {4, 3}, {4, 3}, {6, 3}, {4, 5}};
    for (int k = 0; k < 6; ++k)
        pieces[std::size_t(k)] = RandomPicture(ptTrueColor24, sizes[k][0], sizes[k][1], 10u + unsigned(k));
    const BitmapFrameLayout f = LayBitmapFrame(Box{10, 20, 23, 31}, pieces);  // 13 x 11
    // ceil(13 / 6) = 3 tiles of 6 + 2 x 4; ceil(11 / 5) = 3 tiles of 5 + 2 x 3.
    EXPECT_EQ(f.frame.right - f.frame.left, 26);
    EXPECT_EQ(f.frame.bottom - f.frame.top, 21);
    EXPECT_EQ(f.picture.left, 10 + (26 - 13) / 2);
    EXPECT_EQ(f.picture.top, 20 + (21 - 11) / 2);

    auto picture = RandomPicture(ptTrueColor24, 13, 11, 9);
    PageDevice device(100, 100);
    PrintJobRequest r = Request(picture.get(), 13, 11, 10, 20);
    r.framePieces = &pieces;
    ASSERT_EQ(RenderPicture(device, r, false), 1);
    EXPECT_EQ(device.At(10, 20), PicturePixel(*pieces[0], 0, 0));          // top-left corner
    EXPECT_EQ(device.At(14 + 6, 20), PicturePixel(*pieces[4], 0, 0));      // second top tile
    EXPECT_EQ(device.At(35, 40), PicturePixel(*pieces[3], 3, 2));          // bottom-right corner
    EXPECT_EQ(device.At(10, 23 + 5), PicturePixel(*pieces[5], 0, 0));      // second left tile
    EXPECT_EQ(device.At(f.picture.left, f.picture.top), PicturePixel(*picture, 0, 0));
    // Missing a piece: no frame at all.
    pieces[2].reset();
    EXPECT_EQ(LayBitmapFrame(Box{10, 20, 23, 31}, pieces).frame.right, 0);
}

TEST(PrintRenderTest, WatermarkTilesThePageOrSitsCentredAndClipped) {
    auto mark = RandomPicture(ptTrueColor24, 7, 5, 11);
    auto picture = RandomPicture(ptTrueColor24, 2, 2, 12);
    PrintJobRequest r = Request(picture.get(), 2, 2, 0, 0);
    r.watermarkOn = 1;
    r.watermark = mark.get();
    r.watermarkLayout = 1;
    PageDevice tiled(30, 20);
    ASSERT_EQ(RenderPicture(tiled, r, false), 1);
    EXPECT_EQ(tiled.At(29, 19), PicturePixel(*mark, 29 % 7, 19 % 5));
    EXPECT_EQ(tiled.At(15, 6), PicturePixel(*mark, 1, 1));

    // Centre: larger than the page both ways, clipped to it, centred.
    auto big = RandomPicture(ptTrueColor24, 50, 40, 13);
    r.watermark = big.get();
    r.watermarkLayout = 0;
    PageDevice centred(30, 20);
    ASSERT_EQ(RenderPicture(centred, r, false), 1);
    EXPECT_EQ(centred.At(29, 19), PicturePixel(*big, 29 + 10, 19 + 10));
    EXPECT_EQ(centred.At(5, 3), PicturePixel(*big, 15, 13));
    const CentredWatermark c = CentreWatermark(50, 40, 30, 20);
    EXPECT_EQ(c.clip.left, 0);
    EXPECT_EQ(c.clip.right, 30);
    EXPECT_EQ(c.originX, -10);
}

namespace {

// A poster layout on pages of pageW x pageH dots (either orientation).
PosterLayout PosterOn(int printW, int printH, int pictureW, int pictureH, int pageW, int pageH,
                      double overlapMm, bool marks = false, bool labels = false) {
    PosterRequest r;
    r.width = printW;
    r.height = printH;
    r.pictureWidth = pictureW;
    r.pictureHeight = pictureH;
    r.portraitWidth = r.landscapeWidth = pageW;
    r.portraitHeight = r.landscapeHeight = pageH;
    r.overlapMm = overlapMm;
    r.marks = marks;
    r.labels = labels;
    return ComputePosterLayout(r);
}

}  // namespace

// Every sheet shows, dot for dot, its part of what the one-page print shows,
// for each row routine and both stores; nothing else lands on the picture's
// area of the sheet, and marks fall only in the strips.
TEST(PosterRenderTest, EachSheetShowsItsPartOfTheOnePagePrint) {
    struct Case {
        int type, w, h, printW, printH;
        unsigned flags;
    } cases[] = {
        {ptTrueColor24, 50, 40, 173, 131, kStoreMemory},   // enlarging
        {ptTrueColor24, 300, 200, 161, 107, kStoreSwapFile},  // reducing, from the swap file
        {ptGray256, 60, 45, 140, 45, kStoreMemory},        // same height, wider
        {ptColor256, 33, 29, 150, 100, kStoreMemory},      // index
        {ptBlackWhite, 41, 23, 157, 99, kStoreMemory},     // index, 1-bit parts off the byte
    };
    for (const Case& c : cases) {
        auto picture = RandomPicture(c.type, c.w, c.h, unsigned(c.w), c.flags);
        PageDevice whole(c.printW, c.printH);
        ASSERT_EQ(RenderPicture(whole, Request(picture.get(), c.printW, c.printH), false), 1);
        // 300 dpi pages of 80 x 60 dots with 2 mm (24-dot) overlaps; marks in 71-dot strips.
        for (bool marks : {false, true}) {
            const int pageW = marks ? 80 + 142 : 80, pageH = marks ? 60 + 142 : 60;
            const PosterLayout poster =
                PosterOn(c.printW, c.printH, c.w, c.h, pageW, pageH, 2.0, marks);
            ASSERT_EQ(poster.problem, PosterProblem::kNone);
            PageDevice device(pageW, pageH);
            device.keepPages = true;
            PrintJobRequest r = Request(picture.get(), c.printW, c.printH, 7, 9);  // offsets unused
            r.poster = &poster;
            ASSERT_EQ(RenderPicture(device, r, false), 1);
            ASSERT_EQ(int(device.kept.size()), poster.SheetCount());
            for (int i = 0; i < poster.SheetCount(); ++i) {
                const PosterSheet s = poster.Sheet(i);
                const auto& page = device.kept[std::size_t(i)];
                for (int y = 0; y < pageH; ++y)
                    for (int x = 0; x < pageW; ++x) {
                        const int px = x - s.x + s.part.left, py = y - s.y + s.part.top;
                        const std::uint32_t got = page[std::size_t(y * pageW + x)];
                        if (px >= s.part.left && px < s.part.right && py >= s.part.top &&
                            py < s.part.bottom)
                            ASSERT_EQ(got, whole.At(px, py))
                                << c.type << " sheet " << i << " at " << x << "," << y;
                        else if (!marks)
                            ASSERT_EQ(got, PageDevice::kUntouched) << "outside the part";
                        else
                            ASSERT_TRUE(got == PageDevice::kUntouched || got == 0) << "a mark";
                    }
            }
        }
    }
}

// A 600-dpi scan printed at 100 % on a 600-dpi printer: every pixel of the
// picture reaches its sheet unchanged.
TEST(PosterRenderTest, TrueSizeSheetsCopyPixelsUnchanged) {
    auto picture = RandomPicture(ptTrueColor24, 700, 500, 21);
    const int printW = PrintWidthFor(100, 600, 700, 600), printH = PrintHeightFor(100, 600, 500, 600);
    ASSERT_EQ(printW, 700);
    PosterRequest q;
    q.width = printW;
    q.height = printH;
    q.pictureWidth = 700;
    q.pictureHeight = 500;
    q.dpiX = q.dpiY = 600;
    q.portraitWidth = 300;
    q.portraitHeight = 400;
    q.orientation = 1;
    q.overlapMm = 2;  // 47 dots
    const PosterLayout poster = ComputePosterLayout(q);
    ASSERT_EQ(poster.columns, 3);
    ASSERT_EQ(poster.rows, 2);
    PageDevice device(300, 400);
    device.keepPages = true;
    PrintJobRequest r = Request(picture.get(), printW, printH);
    r.poster = &poster;
    ASSERT_EQ(RenderPicture(device, r, false), 1);
    for (int i = 0; i < poster.SheetCount(); ++i) {
        const PosterSheet s = poster.Sheet(i);
        for (int py = s.part.top; py < s.part.bottom; ++py)
            for (int px = s.part.left; px < s.part.right; ++px)
                ASSERT_EQ(device.kept[std::size_t(i)][std::size_t((py - s.part.top) * 300 +
                                                                  px - s.part.left)],
                          PicturePixel(*picture, px, py))
                    << "sheet " << i;
    }
}

// The frame and the watermark belong to the whole poster: the frame is one
// outline cut by every sheet, the watermark's pattern runs on across sheets.
TEST(PosterRenderTest, FrameAndWatermarkSpanTheWholePoster) {
    auto picture = RandomPicture(ptTrueColor24, 100, 80, 31);
    auto mark = RandomPicture(ptTrueColor24, 7, 5, 32);
    PrintJobRequest r = Request(picture.get(), 100, 80);
    r.drawnFrameId = 1616;
    r.watermarkOn = 1;
    r.watermark = mark.get();
    r.watermarkLayout = 1;
    const Box canvas = PosterCanvas(r);
    EXPECT_EQ(canvas.right, 120);
    EXPECT_EQ(canvas.bottom, 100);
    // Parts of at most 70 x 60 inside 71-dot strips for the labels.
    const PosterLayout poster = PosterOn(120, 100, 100, 80, 212, 202, 1.0, false, true);
    ASSERT_EQ(poster.problem, PosterProblem::kNone);
    ASSERT_EQ(poster.SheetCount(), 4);
    PageDevice device(212, 202);
    device.keepPages = true;
    r.poster = &poster;
    ASSERT_EQ(RenderPicture(device, r, false), 1);
    ASSERT_EQ(int(device.kept.size()), poster.SheetCount());
    ASSERT_EQ(device.shapes.size(), std::size_t(poster.SheetCount()));
    for (int i = 0; i < poster.SheetCount(); ++i) {
        const PosterSheet s = poster.Sheet(i);
        // The one frame, placed as this sheet sees the poster, drawn inside the sheet's part.
        EXPECT_EQ(device.shapes[std::size_t(i)].left, s.x - s.part.left);
        EXPECT_EQ(device.shapes[std::size_t(i)].right, s.x - s.part.left + 120);
        EXPECT_EQ(device.clips[std::size_t(2 * i)].left, s.x);
        EXPECT_EQ(device.clips[std::size_t(2 * i + 1)].left, -1);
        // The 10-dot border between frame and picture shows the poster's watermark.
        const auto& page = device.kept[std::size_t(i)];
        for (int py = s.part.top; py < s.part.bottom; ++py)
            for (int px = s.part.left; px < s.part.right; ++px) {
                if (px >= 10 && px < 110 && py >= 10 && py < 90) continue;
                const int x = s.x + px - s.part.left, y = s.y + py - s.part.top;
                ASSERT_EQ(page[std::size_t(y * 212 + x)], PicturePixel(*mark, px % 7, py % 5))
                    << "sheet " << i << " poster dot " << px << "," << py;
            }
        EXPECT_EQ(device.labels[std::size_t(i)], PosterSheetLabel(poster, i));
    }
}

// Progress runs once over all sheets; Escape on a later sheet stops the job there.
TEST(PosterRenderTest, OneGaugeOverAllSheetsAndEscapeStopsThem) {
    auto picture = RandomPicture(ptTrueColor24, 200, 150, 41);
    const PosterLayout poster = PosterOn(200, 150, 200, 150, 120, 90, 2.0);
    ASSERT_EQ(poster.SheetCount(), 4);
    PrintJobRequest r = Request(picture.get(), 200, 150);
    r.poster = &poster;
    {
        TestProgressHost host;
        PageDevice device(120, 90);
        ASSERT_EQ(RenderPicture(device, r, false), 1);
        EXPECT_EQ(device.pages, 4);
        EXPECT_EQ(host.begins, 1);
        EXPECT_EQ(host.ends, 1);
        // Rows of all four sheets, the 24-dot overlap counted on both.
        const long long rows = 2LL * (poster.rowEnd[0] + poster.rowEnd[1] - poster.rowStart[1]);
        EXPECT_EQ(host.maximum, unsigned(rows - 1));
        unsigned last = 0;
        for (const auto& u : host.updates) {
            EXPECT_GE(u.position, last);
            last = u.position;
        }
        EXPECT_GE(last, unsigned(rows - 2));
        EXPECT_EQ(host.takes, int(rows));
    }
    TestProgressHost host;
    host.escapeAtCall = 200;  // on the third sheet
    PageDevice device(120, 90);
    bool aborted = false;
    EXPECT_EQ(RenderPicture(device, r, false, &aborted), 0);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(device.pages, 3);
    EXPECT_EQ(host.ends, 1);
    // The preview draws one chosen sheet, no page and no gauge.
    host.Reset();
    PageDevice preview(120, 90);
    r.posterSheet = 3;
    ASSERT_EQ(RenderPicture(preview, r, true), 1);
    EXPECT_EQ(preview.pages, 0);
    EXPECT_EQ(preview.At(0, 0), PicturePixel(*picture, poster.columnStart[1], poster.rowStart[1]));
}
