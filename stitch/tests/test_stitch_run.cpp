// The one-call stitch: why a request is refused, what happens to the
// sources, blending switched off, and Escape.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/testing/test_progress_host.h"
#include "stitch/stitch_run.h"
#include "stitch_test_support.h"

using namespace stitchtest;

namespace {

constexpr int kW = 400, kH = 240, kOverlap = 120;

CPicture* Original() {
    static std::unique_ptr<CPicture> original = MakeTextured(2 * kW, kH, ptTrueColor24, 23);
    return original.get();
}

std::unique_ptr<CPicture> MainCut() { return Cut(Original(), 0, 0, kW, kH); }

// The Rest picture cut from the same original with its first byte of every
// pixel 2 higher: a blended seam differs from a hard one, and the search
// still finds the exact place.
std::unique_ptr<CPicture> BrighterRestCut() {
    auto rest = Cut(Original(), kW - kOverlap, 0, kW, kH);
    std::vector<std::uint8_t> row(std::size_t(kW) * 3);
    for (int y = 0; y < kH; ++y) {
        rest->ReadRow(0, kW - 1, y, row.data());
        for (int x = 0; x < kW; ++x) {
            std::uint8_t& v = row[std::size_t(x) * 3];
            v = std::uint8_t(std::min(v + 2, 255));
        }
        rest->WriteRow(0, kW - 1, y, row.data());
    }
    return rest;
}

StitchRequest Request(StitchMethod method, PointL mainAt = {}, PointL restAt = {}) {
    StitchRequest r;
    r.method = method;
    r.overlapPercent = 40;
    r.lowMemory = false;
    if (method != StitchMethod::Auto) {
        r.mainPoint = mainAt;
        r.restPoint = restAt;
    }
    return r;
}

}  // namespace

TEST(RunStitch, RefusesWithTheReasonAndNoPicture) {
    auto main = MainCut();
    auto rest = BrighterRestCut();
    auto palette = MakeFlat(ptColor256, kW, kH, 0);
    auto taller = MakeFlat(ptTrueColor24, kW, kH + kH / 10, 0);
    auto wide = MakeFlat(ptGray256, 17000, 1, 0);
    auto flat = MakeFlat(ptTrueColor24, kW, kH, MakeRgb(40, 80, 120));
    struct Case {
        CPicture* main;
        CPicture* rest;
        StitchRequest request;
        StitchStatus status;
    };
    StitchRequest manualWithoutPoints = Request(StitchMethod::Manual);
    manualWithoutPoints.restPoint.reset();
    Case cases[] = {
        {palette.get(), rest.get(), Request(StitchMethod::Auto), StitchStatus::kMainTypeNotSearchable},
        {main.get(), taller.get(), Request(StitchMethod::SemiAuto), StitchStatus::kSeamSizesDiffer},
        {main.get(), rest.get(), manualWithoutPoints, StitchStatus::kMissingPoints},
        {main.get(), rest.get(), Request(StitchMethod::Manual, {kW, 0}, {0, 0}), StitchStatus::kPointOutside},
        {main.get(), rest.get(), Request(StitchMethod::Manual, {0, 0}, {-1, 0}), StitchStatus::kPointOutside},
        {wide.get(), wide.get(), Request(StitchMethod::Manual), StitchStatus::kTooLarge},
        {main.get(), flat.get(), Request(StitchMethod::Auto), StitchStatus::kNoOverlapFound},
    };
    for (const Case& c : cases) {
        StitchResult result = RunStitch(*c.main, *c.rest, c.request);
        EXPECT_EQ(result.status, c.status) << result.message;
        EXPECT_FALSE(result);
        EXPECT_FALSE(result.picture);
        EXPECT_FALSE(result.message.empty());
        std::string checked;
        if (c.status != StitchStatus::kNoOverlapFound) {
            EXPECT_EQ(CheckStitchRequest(*c.main, *c.rest, c.request, &checked), c.status);
            EXPECT_EQ(checked, result.message);
        }
    }
    EXPECT_EQ(RunStitch(*main, *flat, Request(StitchMethod::Auto)).message,
              "The overlap is not in the allowed range.");
    // A palette Main picture still joins by hand.
    EXPECT_TRUE(RunStitch(*palette, *rest, Request(StitchMethod::Manual, {kW - 1, 0}, {0, 0})));
}

TEST(RunStitch, SourcesStayAsTheyAreAndRestIsConvertedOnACopy) {
    auto main = MainCut();
    auto gray = MakeTextured(kW, kH, ptGray256, 5);
    auto mainBefore = MainCut();
    auto grayBefore = MakeTextured(kW, kH, ptGray256, 5);
    StitchResult result = RunStitch(*main, *gray, Request(StitchMethod::Manual, {kW - 10, 0}, {0, 0}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.picture->GetType(), ptTrueColor24);
    EXPECT_EQ(result.picture->GetWidth(), 2 * kW - 10);
    EXPECT_TRUE(SamePictures(main.get(), mainBefore.get()));
    EXPECT_TRUE(SamePictures(gray.get(), grayBefore.get()));
}

// Counts the first bytes of the result's pixels by how far they lie above
// the original's at the same place: 0 (Main), 2 (Rest), 1 (blended) or
// anything else.
struct Spread {
    int main = 0, rest = 0, between = 0, other = 0;
};
Spread SpreadAgainstOriginal(CPicture* result) {
    Spread s;
    int w = result->GetWidth(), h = result->GetHeight();
    std::vector<std::uint8_t> r(std::size_t(w) * 3), o(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        result->ReadRow(0, w - 1, y, r.data());
        Original()->ReadRow(0, w - 1, y, o.data());
        for (std::size_t i = 0; i < r.size(); i += 3) {
            int d = r[i] - o[i];
            if (o[i] >= 254) continue;
            if (d == 0) ++s.main;
            else if (d == 2) ++s.rest;
            else if (d == 1) ++s.between;
            else ++s.other;
        }
    }
    return s;
}

// Without blending the result holds only Main and Rest pixels, also where
// the search merged the two; with blending the seam fades from one to the other.
TEST(RunStitch, NoBlendGivesAHardSeamInEveryMethod) {
    auto main = MainCut();
    auto rest = BrighterRestCut();
    const PointL mainAt{kW - kOverlap + 50, 100}, restAt{50, 100};
    for (StitchMethod method : {StitchMethod::Auto, StitchMethod::SemiAuto, StitchMethod::Manual}) {
        StitchRequest request = Request(method, mainAt, restAt);
        StitchResult blended = RunStitch(*main, *rest, request);
        request.blend = false;
        StitchResult hard = RunStitch(*main, *rest, request);
        ASSERT_TRUE(blended) << method << blended.message;
        ASSERT_TRUE(hard) << method << hard.message;
        Spread b = SpreadAgainstOriginal(blended.picture.get());
        Spread h = SpreadAgainstOriginal(hard.picture.get());
        EXPECT_EQ(b.other + h.other, 0) << method;  // both in place
        EXPECT_GT(b.between, 1000) << method;
        EXPECT_EQ(h.between, 0) << method;
        EXPECT_GT(h.rest, kH * (kW - kOverlap) / 2) << method;
    }
}

TEST(RunStitch, EscapeCancelsTheSearchAndTheBlend) {
    auto main = MainCut();
    auto rest = BrighterRestCut();
    for (StitchMethod method : {StitchMethod::Auto, StitchMethod::Manual}) {
        TestProgressHost progress;
        progress.escapeFromCall = 1;
        StitchResult result =
            RunStitch(*main, *rest, Request(method, {kW - kOverlap, 0}, {0, 0}));
        EXPECT_EQ(result.status, StitchStatus::kCancelled) << method;
        EXPECT_FALSE(result.picture);
        EXPECT_EQ(progress.begins, progress.ends);
    }
}

// The two steps of a session: a pixel picked on the strip names the pixel
// of the picture it shows, on either side of the seam and for every side;
// the join gives what the one call gives, again after a second join.
TEST(StitchSession, StripPointsNameThePixelsShownAndJoinAsRunStitchDoes) {
    auto main = MainCut();
    auto rest = BrighterRestCut();
    auto noPoints = [](StitchMethod method, int side) {
        StitchRequest r = Request(method);
        r.side = side;
        r.mainPoint.reset();
        r.restPoint.reset();
        return r;
    };
    for (int side : {kSideLeft, kSideTop, kSideRight, kSideBottom}) {
        StitchSession session(*main, *rest, noPoints(StitchMethod::Manual, side));
        StitchResult strip = session.Prepare();
        ASSERT_EQ(strip.status, StitchStatus::kOk) << side << strip.message;
        ASSERT_TRUE(strip.picture);
        const bool across = side == kSideLeft || side == kSideRight;
        const int seam = session.Seam();
        EXPECT_EQ(across ? strip.picture->GetWidth() : strip.picture->GetHeight(), 2 * seam);
        for (int off : {-3, 2}) {
            const PointL at = across ? PointL{seam + off, 17} : PointL{17, seam + off};
            const bool restHalf = (side == kSideRight || side == kSideBottom) == (off >= 0);
            const PointL own = restHalf ? session.StripToRest(at) : session.StripToMain(at);
            CPicture* shown = restHalf ? rest.get() : main.get();
            ASSERT_TRUE(own.x >= 0 && own.y >= 0 && own.x < kW && own.y < kH) << side << " " << off;
            EXPECT_EQ(Pixel(strip.picture.get(), at.x, at.y), Pixel(shown, own.x, own.y)) << side << " " << off;
        }
    }

    const PointL mainAt{kW - kOverlap + 50, 100}, restAt{50, 100};
    for (StitchMethod method : {StitchMethod::Manual, StitchMethod::SemiAuto}) {
        StitchSession session(*main, *rest, noPoints(method, kSideRight));
        ASSERT_EQ(session.Prepare().status, StitchStatus::kOk);
        EXPECT_EQ(session.StripToRest({session.Seam() + 50, 100}), restAt);
        EXPECT_EQ(session.Finish().status, StitchStatus::kMissingPoints);
        StitchResult joined = session.Finish(mainAt, restAt);
        StitchResult again = session.Finish(mainAt, restAt);
        StitchResult once = RunStitch(*main, *rest, Request(method, mainAt, restAt));
        ASSERT_TRUE(joined) << method << joined.message;
        ASSERT_TRUE(again) << method << again.message;
        ASSERT_TRUE(once) << method << once.message;
        EXPECT_TRUE(SamePictures(joined.picture.get(), once.picture.get())) << method;
        EXPECT_TRUE(SamePictures(again.picture.get(), once.picture.get())) << method;
    }

    auto palette = MakeFlat(ptColor256, kW, kH, 0);
    StitchSession refused(*palette, *rest, noPoints(StitchMethod::SemiAuto, kSideRight));
    StitchResult none = refused.Prepare();
    EXPECT_EQ(none.status, StitchStatus::kMainTypeNotSearchable);
    EXPECT_FALSE(none.picture);
}
