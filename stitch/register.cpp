// Registration across the seam: a coarse global offset, blocks matched around
// it, a robust fit over all of them, and the tone map between the halves.
#include "stitch/register.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "picture/picture.h"
#include "stitch/correlation.h"

namespace {

using namespace seamcorr;

constexpr double kPi = 3.14159265358979323846;

struct Peak {
    double dx = 0, dy = 0;   // rest pixel (x, y) lies on main pixel (x + dx, y + dy)
    double score = -2;
};


struct Match {
    double rx, ry, mx, my, score;   // block centres: rest and main, in full-layout pixels
};

// Eight neighbouring column offsets of one row of offsets: for each lane l,
// the sum, the sum of squares, and the sum of products with the block (its
// rows of block floats at k) of the block x block floats at w + l (rows
// stride apart). Each lane adds in row order, then column order.
typedef float Lanes4 __attribute__((vector_size(16)));
constexpr int kLanes = 8;
void SumOffsets(const float* w, int stride, const float* k, int block, float* s, float* s2,
                float* sab) {
    Lanes4 s0 = {}, s1 = {}, q0 = {}, q1 = {}, p0 = {}, p1 = {};
    for (int y = 0; y < block; ++y, w += stride, k += block) {
        for (int x = 0; x < block; ++x) {
            Lanes4 v0, v1;
            std::memcpy(&v0, w + x, sizeof v0);
            std::memcpy(&v1, w + x + 4, sizeof v1);
            const float kx = k[x];
            s0 += v0;
            s1 += v1;
            q0 += v0 * v0;
            q1 += v1 * v1;
            p0 += v0 * kx;
            p1 += v1 * kx;
        }
    }
    std::memcpy(s, &s0, sizeof s0);
    std::memcpy(s + 4, &s1, sizeof s1);
    std::memcpy(s2, &q0, sizeof q0);
    std::memcpy(s2 + 4, &q1, sizeof q1);
    std::memcpy(sab, &p0, sizeof p0);
    std::memcpy(sab + 4, &p1, sizeof p1);
}

// Blocks of b (own frame) found again in a (own frame) around where the model
// puts them (model: b coordinates to a coordinates), by zero-mean normalised
// correlation within radius. Blocks are chosen in b's columns [x0, x1),
// the two most structured of each band of rows, corners preferred over edges.
bool MatchBlocks(const Gray& a, const Gray& b, const SeamModel& model, int block, int radius,
                 int x0, int x1, int bandStep, double minStructure, double minScore,
                 std::vector<Match>& out, SeamProgress progress, void* context) {
    out.clear();
    x1 = std::min(x1, b.w);
    x0 = std::max(x0, 0);
    if (x1 - x0 < block) return true;
    const int n = block * block;
    std::vector<float> blk(static_cast<std::size_t>(n));
    std::vector<float> window, sums;
    // Where the model puts block (bx, by) of b in a (its top-left corner,
    // px, py); false when the search window around it does not lie wholly in
    // a (near a narrow overlap's far edge a strong corner cannot be searched).
    auto windowInA = [&](int bx, int by, int& px, int& py) {
        double cx = bx + block / 2.0, cy = by + block / 2.0;
        px = int(std::floor(model.MapX(cx, cy) - block / 2.0 + 0.5));
        py = int(std::floor(model.MapY(cx, cy) - block / 2.0 + 0.5));
        return px - radius >= 0 && py - radius >= 0 && px + radius + block <= a.w &&
               py + radius + block <= a.h;
    };
    for (int by = 0; by + block <= b.h; by += bandStep) {
        if (progress && progress(context)) return false;
        // The two strongest corners of the band (structure tensor's smaller eigenvalue).
        struct Candidate {
            int x;
            double strength;
        };
        Candidate best[2] = {{-1, 0}, {-1, 0}};
        int step = std::max(block / 2, 1);
        for (int bx = x0; bx + block <= x1; bx += step) {
            if (int px, py; !windowInA(bx, by, px, py)) continue;
            double gxx = 0, gyy = 0, gxy = 0;
            for (int y = by + 1; y < by + block - 1; ++y) {
                const float* r = b.Row(y);
                const float* up = b.Row(y - 1);
                const float* dn = b.Row(y + 1);
                for (int x = bx + 1; x < bx + block - 1; ++x) {
                    double gx = 0.5 * (r[x + 1] - r[x - 1]), gy = 0.5 * (dn[x] - up[x]);
                    gxx += gx * gx;
                    gyy += gy * gy;
                    gxy += gx * gy;
                }
            }
            double m = double((block - 2) * (block - 2));
            gxx /= m, gyy /= m, gxy /= m;
            double lambda = 0.5 * (gxx + gyy - std::sqrt((gxx - gyy) * (gxx - gyy) + 4 * gxy * gxy));
            if (lambda < minStructure) continue;
            if (lambda > best[0].strength) {
                if (best[0].x < 0 || std::abs(best[0].x - bx) >= block) best[1] = best[0];
                best[0] = {bx, lambda};
            } else if (lambda > best[1].strength && std::abs(best[0].x - bx) >= block) {
                best[1] = {bx, lambda};
            }
        }
        for (const Candidate& cand : best) {
            if (cand.x < 0) continue;
            const int bx = cand.x;
            const double cx = bx + block / 2.0, cy = by + block / 2.0;
            int px, py;
            if (!windowInA(bx, by, px, py)) continue;
            double mean = 0;
            for (int y = 0; y < block; ++y)
                for (int x = 0; x < block; ++x) mean += b.At(bx + x, by + y);
            mean /= n;
            double norm = 0;
            for (int y = 0; y < block; ++y)
                for (int x = 0; x < block; ++x) {
                    float v = float(b.At(bx + x, by + y) - mean);
                    blk[std::size_t(y) * block + x] = v;
                    norm += double(v) * v;
                }
            if (norm <= 0) continue;
            const int side = 2 * radius + 1;
            std::vector<double> score(std::size_t(side) * side, -2);
            // The search window, copied once with zeros to the right so that
            // every row of offsets is summed in whole chunks of lanes; each
            // lane keeps its sums in registers over the whole block, added in
            // the same order as one offset alone would be.
            const int chunks = (side + kLanes - 1) / kLanes;
            const int span = block + 2 * radius;
            const int ww = block - 1 + chunks * kLanes;
            window.assign(std::size_t(span) * ww, 0.0f);
            for (int y = 0; y < span; ++y)
                std::memcpy(window.data() + std::size_t(y) * ww, a.Row(py - radius + y) + px - radius,
                            sizeof(float) * std::size_t(span));
            sums.resize(std::size_t(chunks) * kLanes * 3);
            float* s = sums.data();
            float* s2 = s + chunks * kLanes;
            float* sab = s2 + chunks * kLanes;
            int bestI = -1;
            for (int dy = -radius; dy <= radius; ++dy) {
                const float* w0 = window.data() + std::size_t(dy + radius) * ww;
                for (int c = 0; c < chunks; ++c)
                    SumOffsets(w0 + c * kLanes, ww, blk.data(), block, s + c * kLanes,
                               s2 + c * kLanes, sab + c * kLanes);
                for (int l = 0; l < side; ++l) {
                    double va = double(s2[l]) - double(s[l]) * s[l] / n;
                    if (va <= 1e-6) continue;
                    std::size_t i = std::size_t(dy + radius) * side + l;
                    score[i] = sab[l] / std::sqrt(va * norm);
                    if (bestI < 0 || score[i] > score[std::size_t(bestI)]) bestI = int(i);
                }
            }
            if (bestI < 0) continue;
            int ix = bestI % side, iy = bestI / side;
            double sc = score[std::size_t(bestI)];
            // A best place at the edge of the window may lie beyond it.
            if (sc < minScore || ix == 0 || iy == 0 || ix == side - 1 || iy == side - 1) continue;
            double fx = ParabolaOffset(score[std::size_t(bestI - 1)], sc, score[std::size_t(bestI + 1)]);
            double fy = ParabolaOffset(score[std::size_t(bestI - side)], sc,
                                       score[std::size_t(bestI + side)]);
            out.push_back({cx, cy, px + (ix - radius) + fx + block / 2.0,
                           py + (iy - radius) + fy + block / 2.0, sc});
        }
    }
    return true;
}

// Least squares rotation, scale and offset over the chosen matches; an
// offset alone when rigid is false.
SeamModel FitModel(const std::vector<Match>& m, const std::vector<int>& use, bool rigid) {
    SeamModel f;
    if (use.empty()) return f;
    double rx = 0, ry = 0, mx = 0, my = 0;
    for (int i : use) {
        rx += m[std::size_t(i)].rx, ry += m[std::size_t(i)].ry;
        mx += m[std::size_t(i)].mx, my += m[std::size_t(i)].my;
    }
    double k = double(use.size());
    rx /= k, ry /= k, mx /= k, my /= k;
    if (rigid && use.size() >= 2) {
        double sc = 0, ss = 0, d = 0;
        for (int i : use) {
            const Match& a = m[std::size_t(i)];
            double x = a.rx - rx, y = a.ry - ry, u = a.mx - mx, v = a.my - my;
            sc += x * u + y * v;
            ss += x * v - y * u;
            d += x * x + y * y;
        }
        if (d > 0) {
            f.c = sc / d;
            f.s = ss / d;
        }
    }
    f.tx = mx - f.c * rx + f.s * ry;
    f.ty = my - f.s * rx - f.c * ry;
    return f;
}

double Residual(const SeamModel& f, const Match& a) {
    return std::hypot(f.MapX(a.rx, a.ry) - a.mx, f.MapY(a.rx, a.ry) - a.my);
}

bool Plausible(const SeamModel& f) {
    double scale = std::hypot(f.c, f.s), angle = std::atan2(f.s, f.c);
    return std::abs(scale - 1) < 0.03 && std::abs(angle) < 3 * kPi / 180;
}

// A consensus over all matches: models from pairs of matches far apart along
// the seam (and from single matches for an offset alone), the one that most
// matches agree with within tolerance, refitted on those.
SeamModel RobustFit(const std::vector<Match>& m, double tolerance, double span,
                    std::vector<int>& inliers) {
    inliers.clear();
    SeamModel best;
    std::size_t bestCount = 0;
    double bestError = 0;
    auto consider = [&](const SeamModel& f) {
        if (!Plausible(f)) return;
        std::size_t count = 0;
        double error = 0;
        for (const Match& a : m) {
            double r = Residual(f, a);
            if (r <= tolerance) ++count, error += r;
        }
        if (count > bestCount || (count == bestCount && count > 0 && error < bestError)) {
            best = f;
            bestCount = count;
            bestError = error;
        }
    };
    const int n = int(m.size());
    for (int i = 0; i < n; ++i) consider(FitModel(m, {i}, false));
    std::uint32_t seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % std::uint32_t(range));
    };
    for (int t = 0; n >= 2 && t < 300; ++t) {
        int i = next(n), j = next(n);
        if (std::abs(m[std::size_t(i)].ry - m[std::size_t(j)].ry) < span / 4) continue;
        consider(FitModel(m, {i, j}, true));
    }
    if (bestCount == 0) return best;
    SeamModel f = best;
    for (int round = 0; round < 3; ++round) {
        inliers.clear();
        double top = 1e30, bottom = -1e30;
        for (int i = 0; i < n; ++i)
            if (Residual(f, m[std::size_t(i)]) <= tolerance) {
                inliers.push_back(i);
                top = std::min(top, m[std::size_t(i)].ry);
                bottom = std::max(bottom, m[std::size_t(i)].ry);
            }
        if (inliers.empty()) break;
        // Matches bunched in a short stretch of the seam cannot tell a turn.
        SeamModel g = FitModel(m, inliers, bottom - top >= span / 3);
        if (!Plausible(g)) g = FitModel(m, inliers, false);
        f = g;
    }
    inliers.clear();
    for (int i = 0; i < n; ++i)
        if (Residual(f, m[std::size_t(i)]) <= tolerance) inliers.push_back(i);
    return f;
}

// Maps a model between frames: a's and b's pixel x = origin + scale * x' + centre offset.
SeamModel ToFullFrame(const SeamModel& f, int shrink, double aOriginX, double bOriginX) {
    const double h = (shrink - 1) / 2.0;
    SeamModel g;
    g.c = f.c;
    g.s = f.s;
    // full a = aOriginX + shrink * u + h, u = f(v, w), v = (x - bOriginX - h) / shrink.
    g.tx = aOriginX + shrink * f.tx + h - f.c * (bOriginX + h) + f.s * h;
    g.ty = shrink * f.ty + h - f.s * (bOriginX + h) - f.c * h;
    return g;
}

// Correlation of the whole shared part under the model (rest pixels against
// the nearest main pixels; a sample every other column and every third row).
double Agreement(const Gray& main, const Gray& rest, const SeamModel& f, int mainLeft) {
    double s1 = 0, s2 = 0, t1 = 0, t2 = 0, st = 0, n = 0;
    for (int y = 0; y < rest.h; y += 3)
        for (int x = 0; x < rest.w; x += 2) {
            int mx = int(std::floor(f.MapX(x, y) + 0.5)) - mainLeft;
            int my = int(std::floor(f.MapY(x, y) + 0.5));
            if (mx < 0 || my < 0 || mx >= main.w || my >= main.h) continue;
            double a = main.At(mx, my), b = rest.At(x, y);
            s1 += a, s2 += a * a, t1 += b, t2 += b * b, st += a * b, n += 1;
        }
    if (n < 64) return 0;
    double va = s2 - s1 * s1 / n, vb = t2 - t1 * t1 / n;
    if (va <= 1e-6 * n || vb <= 1e-6 * n) return 0;
    return (st - s1 * t1 / n) / std::sqrt(va * vb);
}

struct Candidate {
    SeamResult result;
    double merit = -1;
};

// One candidate coarse offset taken to a full-resolution fit.
bool Refine(const SeamRequest& rq, const Gray& smallMain, const Gray& smallRest, int shrink,
            int bandLeft, const Peak& peak, SeamProgress progress, void* context, Candidate& out) {
    const int a = rq.mainExtent;
    const int wr = rq.rest->GetWidth();
    const int height = std::min(rq.mainHeight, rq.restHeight);

    // Coarse blocks: the turn and scale, before the full resolution.
    SeamModel coarse;
    coarse.tx = peak.dx;
    coarse.ty = peak.dy;
    {
        int overlapSmall = int(smallMain.w - peak.dx);
        int block = overlapSmall >= 20 ? 16 : 8;
        int radius = 2 + int(std::ceil(0.006 * std::max(smallMain.h, smallRest.h)));
        std::vector<Match> ms;
        if (!MatchBlocks(smallMain, smallRest, coarse, block, radius, 0, overlapSmall, block / 2,
                         1.0 * rq.bytes * rq.bytes, 0.6, ms, progress, context))
            return false;
        std::vector<int> in;
        SeamModel f = RobustFit(ms, 1.5, smallRest.h, in);
        if (in.size() >= 4) coarse = f;
    }
    SeamModel model = ToFullFrame(coarse, shrink, bandLeft, 0);

    double middle = height / 2.0;
    int overlap = int(std::floor(a - model.MapX(0, middle) + 0.5));
    out.result.overlap = overlap;
    if (overlap < 12) {   // not even one block fits: nothing to tell
        out.result.verdict = SeamVerdict::kNoOverlap;
        return true;
    }
    // Full resolution over the shared columns and a margin.
    const int drift = int(std::ceil(std::abs(model.s) * height + std::abs(model.c - 1) * wr)) + 2;
    const int margin = 2 * shrink + drift + 40;
    const int mainLeft = std::max(0, a - overlap - margin);
    const int restWidth = std::min(wr, overlap + margin);
    Gray fullMain, fullRest;
    if (!ReadGray(rq.canvas, mainLeft, a - mainLeft, rq.mainHeight, rq.bytes, 1, fullMain) ||
        !ReadGray(rq.rest, 0, restWidth, rq.restHeight, rq.bytes, 1, fullRest)) {
        out.result.verdict = SeamVerdict::kNoMemory;
        return true;
    }
    SeamModel local = model;
    local.tx -= mainLeft;
    const int block = overlap >= 64 ? 32 : 16;
    const int radius = int(std::ceil(0.6 * shrink)) + 3;
    const int bandStep = std::max(block, height / 90);
    std::vector<Match> ms;
    if (!MatchBlocks(fullMain, fullRest, local, block, radius, 0, std::min(overlap, restWidth),
                     bandStep, 1.5 * rq.bytes * rq.bytes, 0.7, ms, progress, context))
        return false;
    // Soft pictures (shades, out-of-focus scans) have few corners: larger
    // blocks where the overlap allows, and a lower bar for structure.
    if (ms.size() < 12) {
        const int large = overlap >= 96 ? 48 : overlap >= 64 ? 32 : block;
        if (!MatchBlocks(fullMain, fullRest, local, large, radius, 0, std::min(overlap, restWidth),
                         std::max(large / 2, height / 90), 0.25 * rq.bytes * rq.bytes, 0.7, ms,
                         progress, context))
            return false;
    }
    std::vector<int> in;
    SeamModel fit = RobustFit(ms, 1.5, height, in);
    fit.tx += mainLeft;
    for (Match& m : ms) m.mx += mainLeft;

    SeamResult& r = out.result;
    r.model = fit;
    r.agreement = in.empty() ? 0 : Agreement(fullMain, fullRest, fit, mainLeft);
    r.matches = int(ms.size());
    r.inliers = int(in.size());
    double q = 0, e = 0;
    for (int i : in) {
        q += ms[std::size_t(i)].score;
        e += Residual(fit, ms[std::size_t(i)]) * Residual(fit, ms[std::size_t(i)]);
    }
    if (!in.empty()) {
        r.quality = q / double(in.size());
        r.residual = std::sqrt(e / double(in.size()));
    }
    r.overlap = int(std::floor(a - fit.MapX(0, middle) + 0.5));
    // The shared part as a whole must agree too: look-alike blocks (lines of
    // text, repeated marks) can agree on a wrong place, the whole cannot.
    const int fewest = r.agreement >= 0.9 ? 4 : 6;
    const unsigned doubts = (r.inliers * 2 < r.matches ? kSeamDoubtSpread : 0u) |
                            (r.quality < kSeamLeastQuality ? kSeamDoubtFaint : 0u) |
                            (r.agreement < kSeamLeastAgreement ? kSeamDoubtWhole : 0u);
    if (r.inliers < fewest || r.agreement < 0.4) {
        r.verdict = SeamVerdict::kNoOverlap;
    } else if (doubts != 0) {
        r.verdict = SeamVerdict::kLowQuality;
        r.doubts = doubts;
    } else if (r.overlap < 24) {
        r.verdict = SeamVerdict::kTooSmall;   // alike, but a sliver
    } else {
        r.verdict = SeamVerdict::kFound;
    }
    out.merit = r.inliers * r.quality * std::max(r.agreement, 0.0);
    return true;
}

// The tone map from the Rest picture's values to the Main picture's, by
// matching the two histograms of the shared part, channel by channel.
bool BuildToneMap(const SeamRequest& rq, SeamResult& r) {
    const int a = rq.mainExtent, b = rq.bytes;
    const SeamModel& f = r.model;
    const int wr = rq.rest->GetWidth();
    const int x1 = std::min(wr, r.overlap);
    if (x1 <= 8) return true;
    std::vector<std::uint8_t> restRow(std::size_t(x1) * b), mainRow(std::size_t(a) * b);
    double hist[2][3][256] = {};
    double total = 0;
    int step = std::max(1, std::min(rq.restHeight, rq.mainHeight) / 400);
    for (int y = 0; y < rq.restHeight; y += step) {
        int my = int(std::floor(f.MapY(x1 / 2.0, y) + 0.5));
        if (my < 0 || my >= rq.mainHeight) continue;
        if (!rq.rest->ReadRow(0, x1 - 1, y, restRow.data())) return false;
        if (!rq.canvas->ReadRow(0, a - 1, my, mainRow.data())) return false;
        for (int x = 0; x < x1; ++x) {
            int mx = int(std::floor(f.MapX(x, y) + 0.5));
            if (mx < 0 || mx >= a) continue;
            for (int k = 0; k < b; ++k) {
                hist[0][k][restRow[std::size_t(x) * b + k]] += 1;
                hist[1][k][mainRow[std::size_t(mx) * b + k]] += 1;
            }
            total += 1;
        }
    }
    if (total < 256) return true;
    bool differs = false;
    for (int k = 0; k < b; ++k) {
        double lut[256];
        bool known[256] = {};
        double before = 0, mainBefore = 0;
        int u = 0;
        for (int v = 0; v < 256; ++v) {
            double count = hist[0][k][v];
            if (count <= 0) continue;
            double target = before + count / 2;
            while (u < 255 && mainBefore + hist[1][k][u] <= target) mainBefore += hist[1][k][u++];
            double width = hist[1][k][u];
            double frac = width > 0 ? (target - mainBefore) / width : 0.5;
            lut[v] = u + frac - 0.5;
            known[v] = true;
            before += count;
        }
        // Values absent from the shared part: between neighbours, or with
        // the slope of one beyond the ends.
        int first = -1, last = -1;
        for (int v = 0; v < 256; ++v)
            if (known[v]) {
                if (first < 0) first = v;
                last = v;
            }
        if (first < 0) return true;
        for (int v = 0; v < first; ++v) lut[v] = lut[first] - (first - v);
        for (int v = last + 1; v < 256; ++v) lut[v] = lut[last] + (v - last);
        for (int v = first; v <= last;) {
            int w = v + 1;
            while (w <= last && !known[w]) ++w;
            for (int t = v + 1; t < w && w <= last; ++t)
                lut[t] = lut[v] + (lut[w] - lut[v]) * (t - v) / (w - v);
            v = w;
        }
        // Steps of a level or two are not seen and may be the scanner's
        // noise: the map is used only where it moves a common value by three.
        int previous = 0;
        for (int v = 0; v < 256; ++v) {
            int value = std::clamp(int(std::floor(lut[v] + 0.5)), 0, 255);
            value = std::max(value, previous);
            previous = value;
            r.lut[k][v] = std::uint8_t(value);
            if (hist[0][k][v] >= total * 0.002 && std::abs(value - v) >= 3) differs = true;
        }
    }
    r.toneMapped = differs;
    return true;
}

}  // namespace

double SeamResult::RotationDegrees() const { return std::atan2(model.s, model.c) * 180 / kPi; }
double SeamResult::Scale() const { return std::hypot(model.c, model.s); }

bool IsWholePixelOffset(const SeamModel& f, int height) {
    // Turn and scale as measured along the seam, from its middle to its ends.
    double reach = (std::abs(f.s) + std::abs(f.c - 1)) * height / 2;
    return reach < 0.4 && std::abs(f.tx - std::floor(f.tx + 0.5)) < 0.25 &&
           std::abs(f.ty - std::floor(f.ty + 0.5)) < 0.25;
}

SeamResult ConfirmOffset(const SeamRequest& rq, int dx, int dy, SeamProgress progress,
                         void* context) {
    SeamResult r;   // kNoOverlap: not confirmed
    const int a = rq.mainExtent, b = rq.bytes;
    const int wr = rq.rest ? rq.rest->GetWidth() : 0;
    if (!rq.canvas || !rq.rest || a <= 0 || wr <= 0 || (b != 1 && b != 3)) return r;
    // A sliver is the registration's to judge.
    const int overlap = a - dx;
    if (overlap < 24 || overlap > wr) return r;
    // Rest rows whose Main row has a row above and below it.
    const int y0 = std::max(0, 1 - dy), y1 = std::min(rq.restHeight, rq.mainHeight - 1 - dy);
    if (y1 - y0 < 64) return r;
    r.model.tx = dx;
    r.model.ty = dy;
    r.overlap = overlap;
    if (!BuildToneMap(rq, r)) {
        r.verdict = SeamVerdict::kNoMemory;
        return r;
    }

    // Each Rest pixel of the strip (tone mapped as the merge will) against
    // its Main pixel and the Main pixel's four neighbours. A pixel tells
    // across (along) the seam when it differs from a neighbour to the left
    // or right (above or below); it is wrong when it differs from its own.
    constexpr int kDiffers = 24;   // levels in one byte, far above a scanner's noise
    std::vector<std::uint8_t> restRow(std::size_t(overlap) * b);
    std::vector<std::uint8_t> mainRows(std::size_t(overlap) * b * 3);
    std::uint8_t* up = mainRows.data();
    std::uint8_t* mid = up + std::size_t(overlap) * b;
    std::uint8_t* down = mid + std::size_t(overlap) * b;
    const int step = std::max(1, (y1 - y0) / 1024);
    const int count = (y1 - y0 + step - 1) / step;
    std::int64_t wrong = 0, across = 0, along = 0;
    double s1 = 0, s2 = 0, t1 = 0, t2 = 0, st = 0, n = 0;
    // Every sixteenth row first: a wrong offset shows there already, and
    // the rest of the strip is not read for it.
    constexpr int kSparse = 16;
    int rowsRead = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i) {
            if ((i % kSparse == 0) != (pass == 0)) continue;
            if (progress && (rowsRead++ & 63) == 0 && progress(context)) {
                r.verdict = SeamVerdict::kCancelled;
                return r;
            }
            const int y = y0 + i * step, my = y + dy;
            if (!rq.rest->ReadRow(0, overlap - 1, y, restRow.data()) ||
                !rq.canvas->ReadRow(dx, a - 1, my - 1, up) || !rq.canvas->ReadRow(dx, a - 1, my, mid) ||
                !rq.canvas->ReadRow(dx, a - 1, my + 1, down)) {
                r.verdict = SeamVerdict::kNoMemory;
                return r;
            }
            for (int x = 1; x + 1 < overlap; ++x) {
                int own = 0, side = 0, vertical = 0, m = 0, v = 0;
                for (int k = 0; k < b; ++k) {
                    const std::size_t at = std::size_t(x) * b + k;
                    const int value = r.toneMapped ? r.lut[k][restRow[at]] : restRow[at];
                    own = std::max(own, std::abs(mid[at] - value));
                    side = std::max({side, std::abs(mid[at - b] - value), std::abs(mid[at + b] - value)});
                    vertical = std::max({vertical, std::abs(up[at] - value), std::abs(down[at] - value)});
                    m += mid[at];
                    v += value;
                }
                wrong += own > kDiffers;
                across += side > kDiffers;
                along += vertical > kDiffers;
                s1 += m, s2 += double(m) * m, t1 += v, t2 += double(v) * v, st += double(m) * v, n += 1;
            }
        }
        if (pass == 0 && std::min(across, along) >= 64 && wrong * 50 > std::min(across, along)) return r;
    }
    const double va = s2 - s1 * s1 / n, vb = t2 - t1 * t1 / n;
    if (va <= 1e-6 * n || vb <= 1e-6 * n) return r;
    const double correlation = (st - s1 * t1 / n) / std::sqrt(va * vb);
    // Detail enough in both directions to pin the offset down, and next to
    // none of it out of place.
    const std::int64_t telling = std::min(across, along);
    if (telling < 400 || wrong * 50 > telling || correlation < 0.9) return r;
    r.verdict = SeamVerdict::kFound;
    r.quality = r.agreement = correlation;
    return r;
}

SeamResult RegisterSeam(const SeamRequest& rq, SeamProgress progress, void* context) {
    SeamResult none;
    const int a = rq.mainExtent, wr = rq.rest ? rq.rest->GetWidth() : 0;
    const int height = std::min(rq.mainHeight, rq.restHeight);
    if (!rq.canvas || !rq.rest || a <= 0 || wr <= 0 || height < 16) return none;

    // The bands searched: up to three times the chosen overlap (or a
    // quarter of the Main picture more), so that a larger true overlap is
    // found as well.
    int band = std::min({a, wr, std::max({3 * rq.chosenOverlap, rq.chosenOverlap + a / 4, 64}) + 32});
    // Shrunk to about 150 000 pixels a band: fine enough for lines of text.
    int shrink = int(std::ceil(std::sqrt(double(band) * height / 150000.0)));
    shrink = std::max({1, shrink, int(std::ceil(band / 512.0)), int(std::ceil(height / 768.0))});
    band = band / shrink * shrink;
    if (band / shrink < 4) {
        none.verdict = SeamVerdict::kTooSmall;
        return none;
    }
    Gray smallMain, smallRest;
    if (!ReadGray(rq.canvas, a - band, band, rq.mainHeight, rq.bytes, shrink, smallMain) ||
        !ReadGray(rq.rest, 0, band, rq.restHeight, rq.bytes, shrink, smallRest)) {
        none.verdict = SeamVerdict::kNoMemory;
        return none;
    }
    if (progress && progress(context)) {
        none.verdict = SeamVerdict::kCancelled;
        return none;
    }

    std::vector<Peak> peaks;
    if (rq.estimated) {
        // The caller's estimate, in the reduced bands' frame.
        Peak given;
        given.dx = (rq.estimateX - (a - band)) / shrink;
        given.dy = rq.estimateY / shrink;
        given.score = 1;
        peaks.push_back(given);
    } else {
        // The global estimate: every offset that shares at least 16 columns and
        // half the rows, rows shifted by at most a fifth of the height.
        const int minW = std::max(2, (16 + shrink - 1) / shrink);
        const int minH = std::max(4, std::min(smallMain.h, smallRest.h) / 2);
        const int maxDy = std::max(2, std::min(smallMain.h, smallRest.h) / 5);
        CorrelationMap map(Detail(smallMain), Detail(smallRest), maxDy);
        std::vector<double> scores;
        const int dxFrom = smallMain.w - smallRest.w, dxTo = smallMain.w - minW;
        const int cols = dxTo - dxFrom + 1, rows = 2 * maxDy + 1;
        if (cols <= 0) return none;
        scores.assign(std::size_t(cols) * rows, -2);
        for (int dy = -maxDy; dy <= maxDy; ++dy)
            for (int dx = dxFrom; dx <= dxTo; ++dx)
                scores[std::size_t(dy + maxDy) * cols + (dx - dxFrom)] = map.Ncc(dx, dy, minW, minH);
        auto peakIn = [&](int cx, int cy, int radius) {
            Peak p;
            int bi = -1;
            for (int dy = std::max(-maxDy, cy - radius); dy <= std::min(maxDy, cy + radius); ++dy)
                for (int dx = std::max(dxFrom, cx - radius); dx <= std::min(dxTo, cx + radius); ++dx) {
                    int i = (dy + maxDy) * cols + (dx - dxFrom);
                    if (bi < 0 || scores[std::size_t(i)] > scores[std::size_t(bi)]) bi = i;
                }
            if (bi < 0) return p;
            int ix = bi % cols, iy = bi / cols;
            p.score = scores[std::size_t(bi)];
            p.dx = ix + dxFrom;
            p.dy = iy - maxDy;
            if (ix > 0 && ix < cols - 1 && scores[std::size_t(bi - 1)] > -2 && scores[std::size_t(bi + 1)] > -2)
                p.dx += ParabolaOffset(scores[std::size_t(bi - 1)], p.score, scores[std::size_t(bi + 1)]);
            if (iy > 0 && iy < rows - 1)
                p.dy += ParabolaOffset(scores[std::size_t(bi - cols)], p.score,
                                       scores[std::size_t(bi + cols)]);
            return p;
        };
        Peak global = peakIn(0, 0, 1 << 20);
        if (rq.hint) {
            // The user's placement, in the reduced bands' frame.
            double hx = (rq.hintX - (a - band)) / shrink, hy = rq.hintY / shrink;
            int radius = int(std::ceil(12.0 / shrink)) + 1;
            Peak near = peakIn(int(std::floor(hx + 0.5)), int(std::floor(hy + 0.5)), radius);
            if (near.score > -2) peaks.push_back(near);
        }
        if (peaks.empty() || std::hypot(peaks[0].dx - global.dx, peaks[0].dy - global.dy) > 1.5)
            peaks.push_back(global);
    }

    Candidate best;
    best.result.verdict = SeamVerdict::kNoOverlap;
    for (const Peak& peak : peaks) {
        if (peak.score <= -2) continue;
        Candidate c;
        c.result.coarseScore = peak.score;
        if (!Refine(rq, smallMain, smallRest, shrink, a - band, peak, progress, context, c)) {
            none.verdict = SeamVerdict::kCancelled;
            return none;
        }
        bool better = best.merit < 0 ||
                      (c.result.verdict == SeamVerdict::kFound &&
                       best.result.verdict != SeamVerdict::kFound) ||
                      ((c.result.verdict == SeamVerdict::kFound) ==
                           (best.result.verdict == SeamVerdict::kFound) &&
                       c.merit > best.merit);
        if (better) best = c;
    }
    SeamResult r = best.result;
    if (r.verdict == SeamVerdict::kFound && !BuildToneMap(rq, r)) r.verdict = SeamVerdict::kNoMemory;
    return r;
}

bool ToneMapRest(CPicture* rest, const SeamResult& r, int bytes) {
    const int w = rest->GetWidth(), h = rest->GetHeight();
    std::vector<std::uint8_t> row(std::size_t(w) * bytes);
    for (int y = 0; y < h; ++y) {
        if (!rest->ReadRow(0, w - 1, y, row.data())) return false;
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < bytes; ++k) {
                std::uint8_t& v = row[std::size_t(x) * bytes + k];
                v = r.lut[k][v];
            }
        if (!rest->WriteRow(0, w - 1, y, row.data())) return false;
    }
    return true;
}

bool ResampleRest(CPicture* rest, int restRows, CPicture* out, const SeamResult& r, int dx,
                  int dy, int bytes, SeamProgress progress, void* context) {
    const int w = rest->GetWidth(), h = std::min(rest->GetHeight(), restRows);
    const SeamModel& f = r.model;
    // Inverse of the model: rest = S^-1 (canvas - t).
    const double det = f.c * f.c + f.s * f.s;
    const double ic = f.c / det, is = f.s / det;
    // Along an output row the source moves by (ux, uy) per pixel.
    const double ux = ic, uy = -is;
    const int span = int(std::ceil(std::abs(uy) * w)) + 3;
    std::vector<std::vector<std::uint8_t>> cache(std::size_t(span),
                                                 std::vector<std::uint8_t>(std::size_t(w) * bytes));
    std::vector<int> tag(std::size_t(span), -1);
    auto source = [&](int y) -> const std::uint8_t* {
        std::size_t slot = std::size_t(y % span);
        if (tag[slot] != y) {
            if (!rest->ReadRow(0, w - 1, y, cache[slot].data())) return nullptr;
            tag[slot] = y;
        }
        return cache[slot].data();
    };
    std::vector<std::uint8_t> row(std::size_t(out->GetWidth()) * bytes);
    const int ow = out->GetWidth();
    const int lastRow = std::max(0, h - 1);
    for (int y = 0; y < out->GetHeight(); ++y) {
        if (progress && (y & 63) == 0 && progress(context)) return false;
        double X = dx - f.tx, Y = y + dy - f.ty;
        double sx0 = ic * X + is * Y, sy0 = -is * X + ic * Y;
        for (int x = 0; x < ow; ++x) {
            double sx = std::clamp(sx0 + ux * x, 0.0, double(w - 1));
            double sy = std::clamp(sy0 + uy * x, 0.0, double(lastRow));
            int x0 = std::min(int(sx), std::max(w - 2, 0)), y0 = std::min(int(sy), std::max(lastRow - 1, 0));
            int fx = int((sx - x0) * 256 + 0.5), fy = int((sy - y0) * 256 + 0.5);
            int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, lastRow);
            const std::uint8_t* r0 = source(y0);
            const std::uint8_t* r1 = r0 ? source(y1) : nullptr;
            if (!r0 || !r1) return false;
            for (int k = 0; k < bytes; ++k) {
                int a = r0[std::size_t(x0) * bytes + k], b = r0[std::size_t(x1) * bytes + k];
                int c = r1[std::size_t(x0) * bytes + k], d = r1[std::size_t(x1) * bytes + k];
                int top = a * (256 - fx) + b * fx, bottom = c * (256 - fx) + d * fx;
                int v = (top * (256 - fy) + bottom * fy + 32768) >> 16;
                row[std::size_t(x) * bytes + k] = r.toneMapped ? r.lut[k][v] : std::uint8_t(v);
            }
        }
        if (!out->WriteRow(0, ow - 1, y, row.data())) return false;
    }
    return true;
}
