// Many pieces into one picture: the joint adjustment against a drifting
// chain, a turned, scaled and differently exposed 2 x 2 grid placed and
// toned as one, refusals that name the piece, two pieces as the pair engine
// joins them, the swap store, and Escape.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "base/testing/test_progress_host.h"
#include "platform/system.h"
#include "stitch/mosaic.h"
#include "stitch/stitch_run.h"
#include "stitch_test_support.h"

using namespace stitchtest;

namespace {

// Where piece pixel (x, y) lies in the original: turned by turn degrees
// and scaled by scale about the piece's top-left corner at (ox, oy).
struct PieceCut {
    double ox, oy, turn = 0, scale = 1;
    double gain = 1, offset = 0;
    double X(double x, double y) const {
        double a = turn * 3.14159265358979 / 180;
        return ox + scale * (std::cos(a) * x - std::sin(a) * y);
    }
    double Y(double x, double y) const {
        double a = turn * 3.14159265358979 / 180;
        return oy + scale * (std::sin(a) * x + std::cos(a) * y);
    }
};

struct Original {
    std::unique_ptr<CPicture> picture;
    int w, h;
    std::vector<std::uint8_t> px;
    explicit Original(int width, int height, std::uint32_t seed)
        : picture(MakeTextured(width, height, ptTrueColor24, seed)), w(width), h(height),
          px(std::size_t(width) * height * 3) {
        for (int y = 0; y < h; ++y) picture->ReadRow(0, w - 1, y, px.data() + std::size_t(y) * w * 3);
    }
    double At(double x, double y, int k) const {
        x = std::clamp(x, 0.0, w - 1.001);
        y = std::clamp(y, 0.0, h - 1.001);
        int x0 = int(x), y0 = int(y);
        double fx = x - x0, fy = y - y0;
        auto v = [&](int xx, int yy) { return double(px[(std::size_t(yy) * w + xx) * 3 + k]); };
        return (v(x0, y0) * (1 - fx) + v(x0 + 1, y0) * fx) * (1 - fy) +
               (v(x0, y0 + 1) * (1 - fx) + v(x0 + 1, y0 + 1) * fx) * fy;
    }
    std::unique_ptr<CPicture> Piece(const PieceCut& c, int width, int height) const {
        auto p = MakePicture(ptTrueColor24, width, height);
        std::vector<std::uint8_t> row(std::size_t(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                for (int k = 0; k < 3; ++k) {
                    double v = c.gain * At(c.X(x, y), c.Y(x, y), k) + c.offset;
                    row[std::size_t(x) * 3 + k] = std::uint8_t(std::clamp(int(v + 0.5), 0, 255));
                }
            p->WriteRow(0, width - 1, y, row.data());
        }
        return p;
    }
};

// Points (x, y) -> (u, v): the largest distance left once one similarity
// (turn, scale, offset) has been fitted over all of them.
double WorstAfterSimilarity(const std::vector<std::array<double, 4>>& pts) {
    double mx = 0, my = 0, rx = 0, ry = 0;
    for (auto& q : pts) mx += q[0], my += q[1], rx += q[2], ry += q[3];
    const double n = double(pts.size());
    mx /= n, my /= n, rx /= n, ry /= n;
    double sc = 0, ss = 0, d = 0;
    for (auto& q : pts) {
        double x = q[0] - mx, y = q[1] - my, u = q[2] - rx, v = q[3] - ry;
        sc += x * u + y * v, ss += x * v - y * u, d += x * x + y * y;
    }
    const double a = sc / d, b = ss / d;
    double worst = 0;
    for (auto& q : pts) {
        double x = q[0] - mx, y = q[1] - my;
        worst = std::max(worst, std::hypot(a * x - b * y + rx - q[2], b * x + a * y + ry - q[3]));
    }
    return worst;
}

// Piece pixel (x, y) in the result, for a piece of w x h.
std::array<double, 2> Placed(const MosaicPlacement& p, int w, int h, double x, double y) {
    double u = x - w / 2, v = y - h / 2;
    return {p.c * u - p.s * v + p.x, p.s * u + p.c * v + p.y};
}

std::vector<MosaicPiece> Named(const std::vector<std::unique_ptr<CPicture>>& pictures) {
    std::vector<MosaicPiece> pieces;
    for (std::size_t i = 0; i < pictures.size(); ++i)
        pieces.push_back({pictures[i].get(), "piece" + std::to_string(i) + ".png"});
    return pieces;
}

}  // namespace

// Four pieces in a ring of four overlaps, three of which err by a pixel in
// the same direction: chaining them puts the last piece more than 2 pixels
// off, the joint solution keeps every piece within 1 pixel.
TEST(MosaicSolve, JointSolutionKeepsTheChainsDriftOut) {
    const int w = 400, h = 300;
    const double stepX = 320, stepY = 230;
    // True centres of the grid's pieces 0 1 / 2 3.
    const double cx[4] = {199.5, 199.5 + stepX, 199.5, 199.5 + stepX};
    const double cy[4] = {149.5, 149.5, 149.5 + stepY, 149.5 + stepY};
    const double ex = 0.7, ey = 0.3;   // the error of one overlap
    struct Pair {
        int a, b;
        bool below;
        double errX, errY;
    };
    // Chain 0 -> 1 -> 3 -> 2 drifts by three errors; 0 -> 2 is right.
    const Pair pairs[] = {{0, 1, false, ex, ey}, {1, 3, true, ex, ey}, {2, 3, false, -ex, -ey}, {0, 2, true, 0, 0}};
    std::vector<MosaicLink> links;
    for (const Pair& p : pairs) {
        MosaicLink l;
        l.a = p.a;
        l.b = p.b;
        l.weight = 50;
        // Points of b's overlap along the seam: the pair measures b's
        // offset from a with its error.
        for (int i = 0; i < 24; ++i) {
            double along = 10 + (p.below ? 380.0 : 280.0) * (i / 2) / 11, across = i % 2 ? 15 : 60;
            double bx = p.below ? along : across, by = p.below ? across : along;
            double X = bx - 199.5 + cx[p.b] + p.errX, Y = by - 149.5 + cy[p.b] + p.errY;
            l.ties.push_back({X - cx[p.a] + 199.5, Y - cy[p.a] + 149.5, bx, by});
        }
        links.push_back(l);
    }
    const double chainX = ex * 3, chainY = ey * 3;
    ASSERT_GT(std::hypot(chainX, chainY), 2.0);

    std::vector<bool> reached;
    auto placements = SolveMosaicPlacements({{w, h}, {w, h}, {w, h}, {w, h}}, links, 0, &reached);
    // Every piece's corners against where they truly lie.
    std::vector<std::array<double, 4>> corners;
    for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(reached[std::size_t(k)]);
        for (double x : {0.0, w - 1.0})
            for (double y : {0.0, h - 1.0}) {
                auto at = Placed(placements[std::size_t(k)], w, h, x, y);
                corners.push_back({x - 199.5 + cx[k], y - 149.5 + cy[k], at[0], at[1]});
            }
    }
    EXPECT_LT(WorstAfterSimilarity(corners), 1.0);
    for (const MosaicLink& l : links) EXPECT_TRUE(l.used);
}

// A 2 x 2 grid of pieces turned, scaled and exposed differently: every piece
// corner lands within a pixel of where one similarity of the original puts
// it, and the tones agree across the seams.
TEST(Mosaic, PlacesAndTonesATurnedGridAsOne) {
    Original original(640, 480, 31);
    const int pw = 360, ph = 280;
    const PieceCut cuts[4] = {{0, 0, 0.3, 1.0, 1.0, 0},
                         {290, 4, -0.4, 1.003, 1.18, -6},
                         {3, 195, 0.2, 0.997, 0.82, 10},
                         {286, 199, -0.25, 1.002, 1.05, 12}};
    std::vector<std::unique_ptr<CPicture>> pictures;
    // Given out of order: the engine finds the layout.
    for (int i : {3, 0, 2, 1}) pictures.push_back(original.Piece(cuts[i], pw, ph));
    const int at[4] = {3, 0, 2, 1};
    MosaicResult r = RunMosaic(Named(pictures), MosaicRequest{});
    ASSERT_TRUE(r) << r.message;
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(r.columns, 2);
    EXPECT_EQ(r.picture->GetXDpi(), 300);

    // The similarity from original to result, fitted on all piece corners.
    std::vector<std::array<double, 4>> pts;   // original x, y -> result x, y
    for (int k = 0; k < 4; ++k) {
        const PieceCut& c = cuts[at[k]];
        const MosaicPlacement& p = r.pieces[std::size_t(k)].placement;
        for (double x : {0.0, pw - 1.0})
            for (double y : {0.0, ph - 1.0}) {
                auto q = Placed(p, pw, ph, x, y);
                pts.push_back({c.X(x, y), c.Y(x, y), q[0], q[1]});
            }
    }
    EXPECT_LT(WorstAfterSimilarity(pts), 1.0);
    // The same similarity, for the tones below.
    double mx = 0, my = 0, rx = 0, ry = 0;
    for (auto& q : pts) mx += q[0], my += q[1], rx += q[2], ry += q[3];
    mx /= pts.size(), my /= pts.size(), rx /= pts.size(), ry /= pts.size();
    double sc = 0, ss = 0, d = 0;
    for (auto& q : pts) {
        double x = q[0] - mx, y = q[1] - my, u = q[2] - rx, v = q[3] - ry;
        sc += x * u + y * v, ss += x * v - y * u, d += x * x + y * y;
    }
    const double a = sc / d, b = ss / d;

    // Tones: the result against the original through that similarity, one
    // gain and offset for the whole picture; the mean error in the middle
    // of each piece's own quarter (where no seam blends) stays within two
    // levels of the others', though the pieces' exposures differ by 36 %.
    const int W = r.picture->GetWidth(), H = r.picture->GetHeight();
    std::vector<std::uint8_t> row(std::size_t(W) * 3);
    std::vector<std::array<double, 2>> samples[4];
    double s1 = 0, s2 = 0, s12 = 0, s22 = 0, n = 0;
    for (int y = 10; y < H - 10; y += 3) {
        r.picture->ReadRow(0, W - 1, y, row.data());
        for (int x = 10; x < W - 10; x += 3) {
            // Result to original: the inverse similarity.
            double u = x - rx, v = y - ry, det = a * a + b * b;
            double ox = (a * u + b * v) / det + mx, oy = (-b * u + a * v) / det + my;
            if (ox < 2 || oy < 2 || ox > original.w - 3 || oy > original.h - 3) continue;
            int quarter = (ox < 320 ? 0 : 1) + (oy < 240 ? 0 : 2);
            if (std::abs(ox - 320) < 80 || std::abs(oy - 240) < 70) continue;
            double o = original.At(ox, oy, 0), t = row[std::size_t(x) * 3];
            samples[quarter].push_back({o, t});
            s1 += o, s2 += t, s12 += o * t, s22 += o * o, n += 1;
        }
    }
    const double g = (s12 - s1 * s2 / n) / (s22 - s1 * s1 / n), off = (s2 - g * s1) / n;
    double means[4];
    for (int q = 0; q < 4; ++q) {
        ASSERT_GT(samples[q].size(), 100u);
        double e = 0;
        for (auto& s : samples[q]) e += s[1] - (g * s[0] + off);
        means[q] = e / samples[q].size();
    }
    EXPECT_LT(*std::max_element(means, means + 4) - *std::min_element(means, means + 4), 2.0);
}

TEST(Mosaic, RefusesBadInputWithTheReason) {
    Original original(480, 300, 5);
    std::vector<std::unique_ptr<CPicture>> pictures;
    pictures.push_back(Cut(original.picture.get(), 0, 0, 280, 300));
    pictures.push_back(Cut(original.picture.get(), 200, 0, 280, 300));
    // A piece of another original, with texture of its own.
    pictures.push_back(MakeTextured(280, 300, ptTrueColor24, 99));
    {
        MosaicResult r = RunMosaic(Named(pictures), MosaicRequest{});
        EXPECT_EQ(r.status, MosaicStatus::kUnplaced);
        EXPECT_FALSE(r.picture);
        EXPECT_NE(r.message.find("'piece2.png'"), std::string::npos) << r.message;
        EXPECT_EQ(r.message.rfind("could not place 'piece2.png':", 0), 0u) << r.message;
    }
    {
        std::vector<MosaicPiece> twice = Named(pictures);
        twice[2] = {pictures[0].get(), "again.png"};
        MosaicResult r = RunMosaic(twice, MosaicRequest{});
        EXPECT_EQ(r.status, MosaicStatus::kSamePiece);
        EXPECT_NE(r.message.find("'again.png'"), std::string::npos) << r.message;
    }
    auto gray = MakeTextured(280, 300, ptGray256, 3);
    auto bw = MakeFlat(ptBlackWhite, 280, 300, 0);
    for (CPicture* odd : {gray.get(), bw.get()}) {
        std::vector<MosaicPiece> mixed = Named(pictures);
        mixed[1] = {odd, "odd.png"};
        MosaicResult r = RunMosaic(mixed, MosaicRequest{});
        EXPECT_EQ(r.status, odd == bw.get() ? MosaicStatus::kTypeNotSearchable : MosaicStatus::kTypesDiffer);
        EXPECT_NE(r.message.find("'odd.png'"), std::string::npos) << r.message;
    }
    std::vector<MosaicPiece> many(kMosaicMaxPieces + 1, MosaicPiece{pictures[0].get(), "p"});
    EXPECT_EQ(RunMosaic(many, MosaicRequest{}).status, MosaicStatus::kTooManyPieces);
    EXPECT_EQ(RunMosaic({{pictures[0].get(), "p"}}, MosaicRequest{}).status, MosaicStatus::kTooFewPieces);
}

// Two pieces: the pair engine's picture, whichever order they come in.
TEST(Mosaic, TwoPiecesAreWhatThePairEngineMakes) {
    Original original(300, 520, 17);
    auto top = Cut(original.picture.get(), 0, 0, 300, 300);
    auto bottom = Cut(original.picture.get(), 0, 210, 300, 310);
    MosaicResult r = RunMosaic({{bottom.get(), "bottom"}, {top.get(), "top"}}, MosaicRequest{});
    ASSERT_TRUE(r) << r.message;
    EXPECT_TRUE(r.pairEngine);
    StitchRequest rq;
    rq.side = kSideTop;
    StitchResult pair = RunStitch(*bottom, *top, rq);
    ASSERT_TRUE(pair) << pair.message;
    EXPECT_TRUE(SamePictures(r.picture.get(), pair.picture.get()));

    // Seams of lengths the pair engine's Auto does not take: joined here.
    auto narrow = Cut(original.picture.get(), 40, 210, 220, 310);
    MosaicResult own = RunMosaic({{top.get(), "top"}, {narrow.get(), "narrow"}}, MosaicRequest{});
    ASSERT_TRUE(own) << own.message;
    EXPECT_FALSE(own.pairEngine);
    EXPECT_EQ(own.picture->GetWidth(), 300);
    EXPECT_EQ(own.picture->GetHeight(), 520);
}

// Nine pieces whose stores are swapped out give the picture they give in
// memory; Escape stops the run without a picture.
TEST(Mosaic, NinePiecesOutOfTheSwapStoreAndEscape) {
    Original original(520, 400, 11);
    auto cutAll = [&] {
        std::vector<std::unique_ptr<CPicture>> v;
        for (int y : {0, 120, 240})
            for (int x : {0, 150, 300}) v.push_back(Cut(original.picture.get(), x, y, 220, 160));
        return v;
    };
    auto inMemory = cutAll();
    MosaicResult a = RunMosaic(Named(inMemory), MosaicRequest{});
    ASSERT_TRUE(a) << a.message;
    EXPECT_EQ(a.picture->GetWidth(), 520);
    EXPECT_EQ(a.picture->GetHeight(), 400);
    // Cut without turn or scale, the pieces come back nearly as they were.
    std::vector<std::uint8_t> ra(520 * 3), rb(520 * 3);
    double error = 0;
    for (int y = 0; y < 400; ++y) {
        original.picture->ReadRow(0, 519, y, ra.data());
        a.picture->ReadRow(0, 519, y, rb.data());
        for (std::size_t i = 0; i < ra.size(); ++i) error += std::abs(ra[i] - rb[i]);
    }
    EXPECT_LT(error / (520.0 * 400 * 3), 1.0);

    platform::SetMemoryBudget(64 * 1024);
    auto swapped = cutAll();
    for (auto& p : swapped) p->SwapOut();
    MosaicResult b = RunMosaic(Named(swapped), MosaicRequest{});
    platform::SetMemoryBudget(0);
    ASSERT_TRUE(b) << b.message;
    EXPECT_TRUE(SamePictures(a.picture.get(), b.picture.get()));

    TestProgressHost progress;
    progress.escapeFromCall = 30;
    MosaicResult c = RunMosaic(Named(inMemory), MosaicRequest{});
    EXPECT_EQ(c.status, MosaicStatus::kCancelled);
    EXPECT_FALSE(c.picture);
    EXPECT_EQ(progress.begins, progress.ends);
}

// Hints from placing pieces by hand: rough corners near the true ones give
// the picture found without them; a piece put far from where its overlaps
// place it loses those overlaps and is named in the refusal.
TEST(Mosaic, HintsKeepAgreeingOverlapsAndDropContradictedOnes) {
    Original original(380, 280, 23);
    std::vector<std::unique_ptr<CPicture>> pictures;
    const int corners[4][2] = {{0, 0}, {160, 0}, {0, 120}, {160, 120}};
    for (const auto& c : corners) pictures.push_back(Cut(original.picture.get(), c[0], c[1], 220, 160));
    MosaicResult plain = RunMosaic(Named(pictures), MosaicRequest{});
    ASSERT_TRUE(plain) << plain.message;

    MosaicRequest near;
    for (int k = 0; k < 4; ++k)   // a few pixels off, as a hand puts them
        near.hints.push_back({k, corners[k][0] + 9.0 - 5 * k, corners[k][1] - 7.0 + 4 * k});
    MosaicResult hinted = RunMosaic(Named(pictures), near);
    ASSERT_TRUE(hinted) << hinted.message;
    EXPECT_TRUE(SamePictures(plain.picture.get(), hinted.picture.get()));

    MosaicRequest apart = near;
    apart.hints[3] = {3, 900, 700};
    MosaicResult refused = RunMosaic(Named(pictures), apart);
    EXPECT_EQ(refused.status, MosaicStatus::kUnplaced);
    EXPECT_NE(refused.message.find("'piece3.png'"), std::string::npos) << refused.message;
}
