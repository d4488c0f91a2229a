// Auto and Semi-Auto on pairs as two scans of one sheet differ: the Rest
// picture brighter, a sparse page of look-alike lines, the Rest picture
// laid down again turned and scaled; and the pairs the engine must refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "base/testing/test_progress_host.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"
#include "stitch_test_support.h"

using namespace stitchtest;

namespace {

constexpr int kW = 800, kH = 400, kTop = 20;

CPicture* Original() {
    static std::unique_ptr<CPicture> original = MakeTextured(2 * kW, kH + 2 * kTop, ptTrueColor24, 21);
    return original.get();
}

struct Outcome {
    std::unique_ptr<CPicture> picture;
    std::string message;
    StitchFinding finding;
};

Outcome Stitched(std::unique_ptr<CPicture> main, std::unique_ptr<CPicture> rest, int side, int percent,
                 StitchMethod method = StitchMethod::Auto, PointL mainAt = {}, PointL restAt = {}) {
    PlainStitchHost host(std::move(main), std::move(rest));
    CStitchTool tool;
    Outcome out;
    const bool ok = RunStitchTool(tool, host, side, percent, method, mainAt, restAt);
    out.message = host.LastMessage();
    out.finding = tool.finding;
    if (ok) out.picture = host.TakePicture();
    return out;
}

// Each byte through v -> 255 * gain * (v / 255)^gamma + offset.
void Expose(CPicture* p, double gain, double gamma, double offset) {
    std::uint8_t lut[256];
    for (int v = 0; v < 256; ++v)
        lut[v] = std::uint8_t(std::clamp(255 * gain * std::pow(v / 255.0, gamma) + offset + 0.5, 0.0, 255.0));
    int w = p->GetWidth(), b = BytesPerPixel(p);
    std::vector<std::uint8_t> row(std::size_t(w) * b);
    for (int y = 0; y < p->GetHeight(); ++y) {
        p->ReadRow(0, w - 1, y, row.data());
        for (auto& v : row) v = lut[v];
        p->WriteRow(0, w - 1, y, row.data());
    }
}

// A w x h piece of source whose pixel (x, y) shows source position
// (x0, y0) + A (x - w/2, y - h/2) + (w/2, h/2), A turning by degrees and
// scaling by scale; bilinear.
std::unique_ptr<CPicture> TurnedCut(CPicture* source, int x0, int y0, int w, int h, double degrees,
                                    double scale) {
    auto out = MakePicture(source->GetType(), w, h);
    int sw = source->GetWidth(), sh = source->GetHeight(), b = BytesPerPixel(source);
    std::vector<std::uint8_t> all(std::size_t(sw) * sh * b), row(std::size_t(w) * b);
    for (int y = 0; y < sh; ++y) source->ReadRow(0, sw - 1, y, all.data() + std::size_t(y) * sw * b);
    double t = degrees * 3.14159265358979 / 180, c = scale * std::cos(t), s = scale * std::sin(t);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double dx = x - w / 2.0, dy = y - h / 2.0;
            double sx = std::clamp(x0 + w / 2.0 + c * dx - s * dy, 0.0, sw - 1.001);
            double sy = std::clamp(y0 + h / 2.0 + s * dx + c * dy, 0.0, sh - 1.001);
            int ix = int(sx), iy = int(sy);
            double fx = sx - ix, fy = sy - iy;
            for (int k = 0; k < b; ++k) {
                auto at = [&](int xx, int yy) { return all[(std::size_t(yy) * sw + xx) * b + k]; };
                double v = (at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx) * (1 - fy) +
                           (at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx) * fy;
                row[std::size_t(x) * b + k] = std::uint8_t(v + 0.5);
            }
        }
        out->WriteRow(0, w - 1, y, row.data());
    }
    return out;
}

// Mean absolute byte difference between columns x0 .. x1 of a and the same
// columns of b shifted by (bx, by).
double MeanDifference(CPicture* a, CPicture* b, int bx, int by, int x0, int x1) {
    int n = BytesPerPixel(a), w = x1 - x0 + 1;
    std::vector<std::uint8_t> ra(std::size_t(w) * n), rb(ra.size());
    double sum = 0, count = 0;
    for (int y = 8; y < a->GetHeight() - 8; ++y) {
        if (y + by < 0 || y + by >= b->GetHeight()) continue;
        a->ReadRow(x0, x1, y, ra.data());
        b->ReadRow(x0 + bx, x1 + bx, y + by, rb.data());
        for (std::size_t i = 0; i < ra.size(); ++i) sum += std::abs(ra[i] - rb[i]), count += 1;
    }
    return count ? sum / count : 1e9;
}

// Whether picture lies in original exactly, its corner within reach of the origin.
bool FoundExactly(CPicture* picture, CPicture* original, int reach) {
    for (int y = 0; y <= reach; ++y)
        for (int x = 0; x <= reach; ++x)
            if (MaxDifferenceAt(picture, original, x, y, true) == 0) return true;
    return false;
}

// A sparse page: lines of words built from five glyphs, 36 rows apart, each
// line ragged, a blank half; gray.
std::unique_ptr<CPicture> MakePage(int w, int h) {
    auto p = MakePicture(ptGray256, w, h);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), std::uint8_t(250));
        int line = y / 36, inLine = y % 36;
        bool blank = line % 9 >= 6;   // paragraphs apart
        if (inLine >= 8 && inLine < 24 && !blank) {
            int end = w - 40 - int(Hash(std::uint32_t(line), 1, 5) % std::uint32_t(w / 2));
            for (int x = 40; x < end; ++x) {
                int cell = x / 12, g = int(Hash(std::uint32_t(cell), std::uint32_t(line), 9) % 6);
                int cx = x % 12, cy = inLine - 8;
                bool ink = false;
                switch (g) {
                case 0: ink = cx == 2 || cx == 3 || cy == 14; break;           // L
                case 1: ink = (cx >= 2 && cx <= 8) && (cy == 4 || cy == 14); break;
                case 2: ink = std::abs(cx - 5) + std::abs(cy - 9) == 4; break;  // o
                case 3: ink = cx == 5 || (cy == 4 && cx < 9); break;            // T
                case 4: ink = cx - 1 == cy / 2 || cx == 9; break;
                default: break;                                                // space
                }
                if (ink) row[std::size_t(x)] = 20;
            }
        }
        p->WriteRow(0, w - 1, y, row.data());
    }
    return p;
}

}  // namespace

TEST(RobustStitch, ARestPictureExposedDifferentlyIsPlacedAndEvenedOut) {
    const int overlap = 220, shift = 3;
    auto rest = Cut(Original(), kW - overlap, kTop + shift, kW, kH);
    Expose(rest.get(), 1.15, 0.92, -6);
    Outcome out = Stitched(Cut(Original(), 0, kTop, kW, kH), std::move(rest), kSideRight, 35);
    ASSERT_TRUE(out.picture) << out.message;
    EXPECT_EQ(out.finding.overlap, overlap);
    EXPECT_TRUE(out.finding.toneMapped);
    // The Main part exactly, and the Rest part at its place with the Main
    // picture's exposure (a pixel off would differ by tens of levels).
    CPicture* result = out.picture.get();
    EXPECT_EQ(MaxDifferenceAt(Cut(result, 0, 0, kW - overlap, result->GetHeight()).get(), Original(),
                              0, kTop + shift),
              0);
    EXPECT_LT(MeanDifference(out.picture.get(), Original(), 0, kTop + shift, kW + 20, kW + 500), 2.5);
}

TEST(RobustStitch, SparsePagesOfLookAlikeLinesJoinExactlyOnEverySide) {
    // Bottom: the page's lower part 260 rows into the upper, 5 columns right.
    auto page = MakePage(900, 1500);
    const int overlap = 260, across = 5, mainRows = 800;
    for (int side : {kSideBottom, kSideRight}) {
        std::unique_ptr<CPicture> main, rest;
        if (side == kSideBottom) {
            main = Cut(page.get(), 0, 0, 880, mainRows);
            rest = Cut(page.get(), across, mainRows - overlap, 880, 1500 - mainRows + overlap);
        } else {
            // The same page turned: its lines run across the seam.
            auto turned = MakePicture(ptGray256, 1500, 900);
            std::vector<std::uint8_t> column(1500);
            for (int x = 0; x < 900; ++x) {
                for (int y = 0; y < 1500; ++y) page->ReadRow(x, x, y, &column[std::size_t(y)]);
                turned->WriteRow(0, 1499, x, column.data());
            }
            page = std::move(turned);
            main = Cut(page.get(), 0, 0, mainRows, 880);
            rest = Cut(page.get(), mainRows - overlap, across, 1500 - mainRows + overlap, 880);
        }
        Outcome out = Stitched(std::move(main), std::move(rest), side, 40);
        ASSERT_TRUE(out.picture) << side << ": " << out.message;
        EXPECT_EQ(out.finding.overlap, overlap) << side;
        CPicture* result = out.picture.get();
        EXPECT_TRUE(FoundExactly(result, page.get(), 10)) << side;
        EXPECT_GE(side == kSideBottom ? result->GetHeight() : result->GetWidth(), 1500 - 2) << side;
    }
}

TEST(RobustStitch, ATurnedAndScaledRestIsTakenBackBeforeTheMerge) {
    const int overlap = 240;
    auto rest = TurnedCut(Original(), kW - overlap, kTop, kW, kH, 0.4, 1.004);
    Outcome out = Stitched(Cut(Original(), 0, kTop, kW, kH), std::move(rest), kSideRight, 35);
    ASSERT_TRUE(out.picture) << out.message;
    EXPECT_TRUE(out.finding.resampled);
    EXPECT_NEAR(out.finding.rotation, 0.4, 0.05);
    EXPECT_NEAR(out.finding.scale, 1.004, 0.001);
    // Along the seam the Rest picture lies on the original again: the
    // difference is that of resampling twice, not of a misplacement.
    double placed = MeanDifference(out.picture.get(), Original(), 0, kTop, kW + 10, kW + 120);
    double offByOne = MeanDifference(out.picture.get(), Original(), 1, kTop, kW + 10, kW + 120);
    EXPECT_LT(placed, 0.4 * offByOne) << placed << " " << offByOne;
}

TEST(RobustStitch, AThinOverlapOfASoftPictureTurnedAndScaledIsJoined) {
    // Shades without sharp marks, shared by 44 columns only: few blocks there
    // are corners, yet the seam must still be tied down along its length.
    auto soft = MakePicture(ptTrueColor24, 2 * kW, kH + 2 * kTop);
    std::vector<std::uint8_t> row(std::size_t(2 * kW) * 3);
    for (int y = 0; y < kH + 2 * kTop; ++y) {
        for (int x = 0; x < 2 * kW; ++x)
            for (int k = 0; k < 3; ++k)
                row[std::size_t(x) * 3 + k] = std::uint8_t(Noise(x, y, 29 + 6 * k, 5 + k));
        soft->WriteRow(0, 2 * kW - 1, y, row.data());
    }
    const int overlap = 44;
    auto rest = TurnedCut(soft.get(), kW - overlap, kTop, kW, kH, 0.2, 1.004);
    Outcome out = Stitched(Cut(soft.get(), 0, kTop, kW, kH), std::move(rest), kSideRight, 15);
    ASSERT_TRUE(out.picture) << out.message;
    EXPECT_NEAR(out.finding.rotation, 0.2, 0.05);
    double placed = MeanDifference(out.picture.get(), soft.get(), 0, kTop, kW + 10, kW + 200);
    double offByTwo = MeanDifference(out.picture.get(), soft.get(), 2, kTop, kW + 10, kW + 200);
    EXPECT_LT(placed, 0.5 * offByTwo) << placed << " " << offByTwo;
}

TEST(RobustStitch, SemiAutoWithPointsOffByUpToFivePixelsGivesTheAutoResult) {
    const int overlap = 220, shift = 3;
    auto pair = [&] {
        auto rest = Cut(Original(), kW - overlap, kTop + shift, kW, kH);
        Expose(rest.get(), 0.85, 1.05, 4);
        return std::make_pair(Cut(Original(), 0, kTop, kW, kH), std::move(rest));
    };
    auto [m, r] = pair();
    Outcome automatic = Stitched(std::move(m), std::move(r), kSideRight, 35);
    ASSERT_TRUE(automatic.picture);
    // Rest pixel (40, 200) lies on Main pixel (kW - overlap + 40, 200 + shift).
    for (PointL off : {PointL{5, 0}, PointL{0, -5}, PointL{-5, 5}, PointL{3, -4}, PointL{-4, -3}}) {
        auto [m2, r2] = pair();
        Outcome semi = Stitched(std::move(m2), std::move(r2), kSideRight, 35, StitchMethod::SemiAuto,
                           {kW - overlap + 40 + off.x, 200 + shift + off.y}, {40, 200});
        ASSERT_TRUE(semi.picture) << off.x << "," << off.y << ": " << semi.message;
        EXPECT_TRUE(SamePictures(semi.picture.get(), automatic.picture.get())) << off.x << "," << off.y;
    }
}

TEST(RobustStitch, RefusesWhatItCannotStandBehindAndFindsALargerOverlap) {
    // No common content: another picture altogether.
    auto other = MakeTextured(kW, kH, ptTrueColor24, 77);
    Outcome none = Stitched(Cut(Original(), 0, kTop, kW, kH), std::move(other), kSideRight, 30);
    EXPECT_FALSE(none.picture);
    EXPECT_EQ(none.finding.outcome, StitchOutcome::kNoOverlap);
    EXPECT_NE(none.message.find("No overlap found"), std::string::npos) << none.message;
    EXPECT_NE(none.message.find("Manual"), std::string::npos);

    // The wrong side: a pair that joins at the right, stitched at the bottom.
    Outcome wrong = Stitched(Cut(Original(), 0, kTop, kW, kH), Cut(Original(), kW - 200, kTop, kW, kH),
                        kSideBottom, 30);
    EXPECT_FALSE(wrong.picture);
    EXPECT_NE(wrong.message.find("another side"), std::string::npos) << wrong.message;

    // The true overlap (320 pixels) far above the chosen one (15 %: 120).
    Outcome larger = Stitched(Cut(Original(), 0, kTop, kW, kH),
                         Cut(Original(), kW - 320, kTop + 2, kW, kH), kSideRight, 15);
    ASSERT_TRUE(larger.picture) << larger.message;
    EXPECT_EQ(larger.finding.overlap, 320);
    EXPECT_EQ(MaxDifferenceAt(larger.picture.get(), Original(), 0, kTop + 2), 0);

    // Shared by 16 pixels only: too few to be sure, said so.
    Outcome sliver = Stitched(Cut(Original(), 0, kTop, kW, kH), Cut(Original(), kW - 16, kTop, kW, kH),
                         kSideRight, 8);
    if (sliver.picture)
        EXPECT_EQ(MaxDifferenceAt(sliver.picture.get(), Original(), 0, kTop), 0);
    else
        EXPECT_FALSE(sliver.message.empty());
}

TEST(RobustStitch, EscapeEndsTheSearchWithoutAPictureOrAMessage) {
    for (int call : {3, 150}) {   // in the block search, in the registration
        TestProgressHost progress;
        progress.escapeFromCall = call;
        auto rest = Cut(Original(), kW - 220, kTop + 3, kW, kH);
        Expose(rest.get(), 1.1, 1.0, 0);
        Outcome out = Stitched(Cut(Original(), 0, kTop, kW, kH), std::move(rest), kSideRight, 35);
        EXPECT_FALSE(out.picture) << call;
        EXPECT_EQ(out.finding.outcome, StitchOutcome::kCancelled) << call;
        EXPECT_TRUE(out.message.empty()) << out.message;
        EXPECT_TRUE(progress.escapeTaken);
        EXPECT_EQ(progress.begins, progress.ends);
        EXPECT_LE(progress.takes, call + 1) << "steps after Escape";
    }
}

TEST(RobustStitch, ARefusalNamesItsRealReason) {
    const int overlap = 220;
    auto refused = [&](auto paint) {
        auto rest = Cut(Original(), kW - overlap, kTop + 3, kW, kH);
        int w = rest->GetWidth();
        std::vector<std::uint8_t> row(std::size_t(w) * 3);
        for (int y = 0; y < rest->GetHeight(); ++y) {
            rest->ReadRow(0, w - 1, y, row.data());
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) paint(x, y, k, row[std::size_t(x) * 3 + k]);
            rest->WriteRow(0, w - 1, y, row.data());
        }
        Outcome out = Stitched(Cut(Original(), 0, kTop, kW, kH), std::move(rest), kSideRight, 35);
        EXPECT_FALSE(out.picture);
        EXPECT_EQ(out.finding.outcome, StitchOutcome::kLowQuality) << out.message;
        // Never "only 17 of 17 agree": a count that is no reason at all.
        std::smatch same;
        EXPECT_FALSE(std::regex_search(out.message, same, std::regex(R"(\b(\d+) of \1\b)"))) << out.message;
        EXPECT_NE(out.message.find("Manual"), std::string::npos) << out.message;
        return out;
    };
    // A gray band over the first 60 of the 220 shared columns: every block
    // found elsewhere agrees, the strip as a whole does not.
    Outcome covered = refused([](int x, int, int, std::uint8_t& v) {
        if (x < 60) v = 128;
    });
    EXPECT_EQ(covered.finding.doubts, unsigned(kSeamDoubtWhole));
    EXPECT_NE(covered.message.find("the shared strip as a whole differs between the pictures (63% alike, 75% needed)"),
              std::string::npos) << covered.message;
    EXPECT_NE(covered.message.find("nothing over the overlap"), std::string::npos) << covered.message;
    EXPECT_EQ(covered.message.find("faintly"), std::string::npos) << covered.message;

    // Grain over the Rest picture: the blocks are alike only faintly, just
    // under the bar (79.6 %), which must not read as the bar itself.
    Outcome grainy = refused([](int x, int y, int k, std::uint8_t& v) {
        v = std::uint8_t(std::clamp(v + int(Hash(std::uint32_t(x), std::uint32_t(y), std::uint32_t(k)) % 50) - 25, 0, 255));
    });
    EXPECT_EQ(grainy.finding.doubts, unsigned(kSeamDoubtFaint));
    EXPECT_NE(grainy.message.find("only faintly alike (match quality 79%, 80% needed)"), std::string::npos)
        << grainy.message;
    EXPECT_NE(grainy.message.find("Scan both pictures sharp"), std::string::npos) << grainy.message;
}

TEST(RobustStitch, OnlyAnOffsetTheWholeStripBearsOutSkipsTheRegistration) {
    const int overlap = 220, shift = 3;
    auto main = Cut(Original(), 0, kTop, kW, kH);
    auto clean = Cut(Original(), kW - overlap, kTop + shift, kW, kH);
    SeamRequest request;
    request.canvas = main.get();
    request.rest = clean.get();
    request.mainExtent = kW;
    request.mainHeight = request.restHeight = kH;
    request.chosenOverlap = overlap;
    const int dx = kW - overlap;
    // The true offset of a clean cut stands; a pixel off in either
    // direction does not, nor a strip that is a half pixel off at its ends.
    SeamResult right = ConfirmOffset(request, dx, shift, nullptr, nullptr);
    EXPECT_EQ(right.verdict, SeamVerdict::kFound);
    EXPECT_EQ(right.overlap, overlap);
    EXPECT_FALSE(right.toneMapped);
    for (PointL off : {PointL{1, 0}, PointL{0, -1}})
        EXPECT_NE(ConfirmOffset(request, dx + off.x, shift + off.y, nullptr, nullptr).verdict,
                  SeamVerdict::kFound) << off.x << "," << off.y;
    auto scaled = TurnedCut(Original(), kW - overlap, kTop + shift, kW, kH, 0, 1.003);
    request.rest = scaled.get();
    EXPECT_NE(ConfirmOffset(request, dx, shift, nullptr, nullptr).verdict, SeamVerdict::kFound);

    // A brighter Rest picture on the true offset stands, with its tone map.
    auto bright = Cut(Original(), kW - overlap, kTop + shift, kW, kH);
    Expose(bright.get(), 1.15, 0.92, -6);
    request.rest = bright.get();
    SeamResult toned = ConfirmOffset(request, dx, shift, nullptr, nullptr);
    EXPECT_EQ(toned.verdict, SeamVerdict::kFound);
    EXPECT_TRUE(toned.toneMapped);

    // Whole stitches: the scaled piece, on which most blocks of the exact
    // search agree, still goes through the registration and is resampled;
    // the clean cut joins exactly.
    Outcome resampled = Stitched(Cut(Original(), 0, kTop, kW, kH), std::move(scaled), kSideRight, 35);
    ASSERT_TRUE(resampled.picture) << resampled.message;
    EXPECT_TRUE(resampled.finding.resampled);
    EXPECT_NEAR(resampled.finding.scale, 1.003, 0.0008);
    Outcome exact = Stitched(std::move(main), std::move(clean), kSideRight, 35);
    ASSERT_TRUE(exact.picture) << exact.message;
    EXPECT_FALSE(exact.finding.resampled);
    EXPECT_EQ(exact.finding.overlap, overlap);
    EXPECT_EQ(MaxDifferenceAt(exact.picture.get(), Original(), 0, kTop + shift), 0);
}
