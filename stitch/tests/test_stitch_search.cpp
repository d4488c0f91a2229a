// Auto and Semi-Auto on pairs cut from one textured picture with a known
// overlap and a known shift across the seam: the result must reproduce the
// picture exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "picture/transform.h"
#include "platform/system.h"
#include "stitch/stitch_run.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"
#include "stitch_test_support.h"

using namespace stitchtest;

namespace {

constexpr int kW = 800, kH = 400, kTop = 20;

CPicture* Original() {
    static std::unique_ptr<CPicture> original = MakeTextured(2 * kW, kH + 2 * kTop);
    return original.get();
}

struct Pair {
    std::unique_ptr<CPicture> main, rest;
};

// Main: the left kW columns; Rest: kW columns overlapping it by overlap
// pixels, cut shift rows lower.
Pair CutPair(int overlap, int shift) {
    return {Cut(Original(), 0, kTop, kW, kH), Cut(Original(), kW - overlap, kTop + shift, kW, kH)};
}

// Where the result lies in the original (its left column is the Main
// picture's first), or -1 when it is nowhere exactly.
int ExactRowInOriginal(CPicture* result) {
    for (int y = 0; y <= 2 * kTop + 10; ++y)
        if (MaxDifferenceAt(result, Original(), 0, y, true) == 0) return y;
    return -1;
}

std::unique_ptr<CPicture> Stitch(Pair pair, int side, int percent, StitchMethod method, PointL mainAt = {},
                                 PointL restAt = {}, std::string* message = nullptr) {
    PlainStitchHost host(std::move(pair.main), std::move(pair.rest));
    bool ok = RunStitch(host, side, percent, method, mainAt, restAt);
    if (message) *message = host.LastMessage();
    return ok ? host.TakePicture() : nullptr;
}

// Transforms both pictures of a pair so that side Right becomes another side.
Pair Turned(Pair pair, int side) {
    auto turn = [side](std::unique_ptr<CPicture> p) {
        if (side == kSideLeft) {
            MirrorHorizontal(p.get(), false);
            return p;
        }
        std::unique_ptr<CPicture> q(NewPictureLike(p.get(), 0, p->GetHeight(), p->GetWidth()));
        if (side == kSideTop) RotateLeft(p.get(), q.get(), false);
        else RotateRight(p.get(), q.get(), false);
        return q;
    };
    return {turn(std::move(pair.main)), turn(std::move(pair.rest))};
}

std::unique_ptr<CPicture> TurnBack(std::unique_ptr<CPicture> p, int side) {
    return Turned({std::move(p), MakeFlat(ptTrueColor24, 1, 1, 0)}, side == kSideLeft ? kSideLeft
                                                                   : side == kSideTop ? kSideBottom
                                                                                      : kSideTop)
        .main;
}

}  // namespace

TEST(AutoStitch, ReproducesThePictureForOverlapsAndShifts) {
    for (int percent : {8, 15, 25, 40}) {
        for (int shift : {0, 4, -3}) {
            int overlap = kW * percent / 100;
            auto result = Stitch(CutPair(overlap, shift), kSideRight, percent, StitchMethod::Auto);
            ASSERT_TRUE(result) << percent << "% shift " << shift;
            EXPECT_GE(result->GetWidth(), 2 * kW - overlap - 2) << percent;
            EXPECT_GE(result->GetHeight(), kH - std::abs(shift) - 2) << percent;
            int at = ExactRowInOriginal(result.get());
            EXPECT_EQ(at, kTop + std::max(shift, 0)) << percent << "% shift " << shift;
        }
    }
}

TEST(AutoStitch, FindsAnOverlapSmallerThanTheChosenRange) {
    auto result = Stitch(CutPair(120, 2), kSideRight, 30, StitchMethod::Auto);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->GetWidth(), 2 * kW - 120 - 1);
    EXPECT_EQ(ExactRowInOriginal(result.get()), kTop + 2);
}

TEST(AutoStitch, FlatRestIsNotInAllowableRange) {
    Pair pair = CutPair(200, 0);
    pair.rest = MakeFlat(ptTrueColor24, kW, kH, MakeRgb(40, 80, 120));
    std::string message;
    EXPECT_FALSE(Stitch(std::move(pair), kSideRight, 25, StitchMethod::Auto, {}, {}, &message));
    EXPECT_EQ(message, "The overlap is not in the allowed range.");
}

TEST(SemiAutoStitch, RefinesRoughPointsToAnExactResult) {
    for (int percent : {8, 25, 40}) {
        int overlap = kW * percent / 100;
        int shift = 3;
        // The user clicked 3 pixels right and 2 pixels low of the true spot.
        PointL restAt{30, 200 - shift};
        PointL mainAt{kW - overlap + 30 + 3, 200 + 2};
        auto result = Stitch(CutPair(overlap, shift), kSideRight, percent, StitchMethod::SemiAuto, mainAt,
                             restAt);
        ASSERT_TRUE(result) << percent;
        EXPECT_GE(result->GetWidth(), 2 * kW - overlap - 2);
        EXPECT_EQ(ExactRowInOriginal(result.get()), kTop + shift) << percent;
    }
}

TEST(StitchSides, LeftTopBottomAreTheMirroredAndTurnedRightCase) {
    const int overlap = 200, shift = 5;
    auto right = Stitch(CutPair(overlap, shift), kSideRight, 25, StitchMethod::Auto);
    ASSERT_TRUE(right);
    PointL restAt{30, 150}, mainAt{kW - overlap + 32, 150 + shift + 1};
    auto rightSemi = Stitch(CutPair(overlap, shift), kSideRight, 25, StitchMethod::SemiAuto, mainAt, restAt);
    ASSERT_TRUE(rightSemi);
    for (int side : {kSideLeft, kSideTop, kSideBottom}) {
        auto result = Stitch(Turned(CutPair(overlap, shift), side), side, 25, StitchMethod::Auto);
        ASSERT_TRUE(result) << side;
        auto back = TurnBack(std::move(result), side);
        EXPECT_TRUE(SamePictures(back.get(), right.get())) << side;

        // Semi-Auto with the same clicks, carried into each picture's own frame.
        auto own = [side](PointL p, int w, int h) -> PointL {
            if (side == kSideLeft) return {w - 1 - p.x, p.y};
            if (side == kSideTop) return {p.y, w - 1 - p.x};
            return {h - 1 - p.y, p.x};
        };
        auto semi = Stitch(Turned(CutPair(overlap, shift), side), side, 25, StitchMethod::SemiAuto,
                           own(mainAt, kW, kH), own(restAt, kW, kH));
        ASSERT_TRUE(semi) << side;
        auto semiBack = TurnBack(std::move(semi), side);
        EXPECT_TRUE(SamePictures(semiBack.get(), rightSemi.get())) << side;
    }
}

TEST(StitchMemory, SwapFilesGiveTheSamePictureAsMemory) {
    auto inMemory = Stitch(CutPair(160, 2), kSideRight, 20, StitchMethod::Auto);
    ASSERT_TRUE(inMemory);

    // Under a budget smaller than one picture, every picture lives in its swap file.
    platform::SetMemoryBudget(200000);
    Pair pair = CutPair(160, 2);
    EXPECT_EQ(pair.main->GetStoreState(), kStateOnDisk);
    EXPECT_TRUE(StitchNeedsLowMemory(pair.main.get(), pair.rest.get()));
    PlainStitchHost host(std::move(pair.main), std::move(pair.rest));
    bool ok = RunStitch(host, kSideRight, 20, StitchMethod::Auto, {}, {}, true);
    platform::SetMemoryBudget(0);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(SamePictures(host.Picture(), inMemory.get()));

    // Forcing the swap moves the sources out before composing.
    Pair again = CutPair(160, 2);
    StitchRequest request;
    request.overlapPercent = 20;
    request.lowMemory = false;
    request.forceSwap = true;
    StitchResult forced = RunStitch(*again.main, *again.rest, request);
    EXPECT_EQ(again.main->GetStoreState(), kStateOnDisk);
    ASSERT_TRUE(forced);
    EXPECT_TRUE(SamePictures(forced.picture.get(), inMemory.get()));
}

TEST(AutoStitch, GrayPicturesCompareAndBlendOneByte) {
    auto gray = MakeTextured(2 * kW, kH, ptGray256, 11);
    const int overlap = 240;
    PlainStitchHost host(Cut(gray.get(), 0, 0, kW, kH - 6), Cut(gray.get(), kW - overlap, 6, kW, kH - 6));
    ASSERT_TRUE(RunStitch(host, kSideRight, 30, StitchMethod::Auto));
    CPicture* result = host.Picture();
    EXPECT_EQ(result->GetType(), ptGray256);
    EXPECT_EQ(result->GetWidth(), 2 * kW - overlap - 1);
    EXPECT_EQ(MaxDifferenceAt(result, gray.get(), 0, 6), 0);
}

TEST(AutoStitch, ClosingTheListsKeepsTheLastOffsetWhenBlocksJumpColumns) {
    // A page whose bottom part is a smooth shade without texture: the lists
    // end far above the last row. The last two blocks lie in different Rest columns (strong
    // checkers placed to win their bands), which must not tilt the rows
    // below them.
    const int w = 600, h = 1000, overlap = 200, top = 20, shadeFrom = 592;
    auto original = MakeTextured(2 * w - overlap, h + 2 * top, ptTrueColor24, 3);
    std::vector<std::uint8_t> shade(std::size_t(2 * w - overlap) * 3);
    for (std::size_t i = 0; i < shade.size(); ++i) shade[i] = std::uint8_t(i / 3 * 255 / (2 * w - overlap));
    for (int y = top + shadeFrom; y < h + 2 * top; ++y)
        original->WriteRow(0, 2 * w - overlap - 1, y, shade.data());
    auto checker = [&](int x, int y) {
        std::vector<std::uint8_t> row(16 * 3);
        for (int r = 0; r < 16; ++r) {
            for (int c = 0; c < 16; ++c)
                std::fill_n(row.begin() + 3 * c, 3, std::uint8_t((r + c) % 2 ? 255 : 0));
            original->WriteRow(x, x + 15, y + r, row.data());
        }
    };
    // Rest columns 0 and 48 of the last two textured bands (tops 80 + 16 j).
    checker(w - overlap, top + 560);
    checker(w - overlap + 48, top + 576);
    PlainStitchHost host(Cut(original.get(), 0, top, w, h),
                         Cut(original.get(), w - overlap, top, w, h));
    ASSERT_TRUE(RunStitch(host, kSideRight, 40, StitchMethod::Auto));
    CPicture* result = host.Picture();
    EXPECT_EQ(result->GetWidth(), 2 * w - overlap - 1);
    EXPECT_EQ(MaxDifferenceAt(result, original.get(), 0, top), 0);

    // A tall pair textured throughout: the lists fill up with the most
    // blocks kept and still take the closing pair.
    const int tall = 80 + 16 * (kMaxFeatures + 24);
    auto page = MakeTextured(500, tall, ptTrueColor24, 9);
    PlainStitchHost full(Cut(page.get(), 0, 0, 300, tall), Cut(page.get(), 200, 0, 300, tall));
    ASSERT_TRUE(RunStitch(full, kSideRight, 34, StitchMethod::Auto));
    EXPECT_EQ(MaxDifferenceAt(full.Picture(), page.get(), 0, 0), 0);
}
