// Many pieces into one picture: pairwise registration, the graph of pieces,
// the joint adjustment of placements and tones, and the picture composed row
// by row.
#include "stitch/mosaic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <new>
#include <numeric>

#include "base/progress.h"
#include "picture/picture.h"
#include "picture/transform.h"
#include "resources/string_ids.h"
#include "stitch/correlation.h"
#include "stitch/register.h"
#include "stitch/stitch_run.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Least squares by the normal equations: rows of (coefficients, right side,
// weight) added one at a time, then solved by elimination with pivoting.
class LeastSquares {
public:
    explicit LeastSquares(int unknowns)
        : n_(unknowns), m_(std::size_t(unknowns) * unknowns, 0.0), v_(std::size_t(unknowns), 0.0) {}
    // One equation sum(coef[k] * x[index[k]]) = rhs.
    void Add(const std::vector<std::pair<int, double>>& terms, double rhs, double weight) {
        for (const auto& [i, a] : terms) {
            v_[std::size_t(i)] += weight * a * rhs;
            for (const auto& [j, b] : terms) m_[std::size_t(i) * n_ + j] += weight * a * b;
        }
    }
    bool Solve(std::vector<double>& x) const {
        std::vector<double> m = m_, v = v_;
        const int n = n_;
        for (int col = 0; col < n; ++col) {
            int pivot = col;
            for (int r = col + 1; r < n; ++r)
                if (std::abs(m[std::size_t(r) * n + col]) > std::abs(m[std::size_t(pivot) * n + col])) pivot = r;
            if (std::abs(m[std::size_t(pivot) * n + col]) < 1e-12) return false;
            if (pivot != col) {
                for (int k = 0; k < n; ++k) std::swap(m[std::size_t(col) * n + k], m[std::size_t(pivot) * n + k]);
                std::swap(v[std::size_t(col)], v[std::size_t(pivot)]);
            }
            for (int r = col + 1; r < n; ++r) {
                double f = m[std::size_t(r) * n + col] / m[std::size_t(col) * n + col];
                if (f == 0) continue;
                for (int k = col; k < n; ++k) m[std::size_t(r) * n + k] -= f * m[std::size_t(col) * n + k];
                v[std::size_t(r)] -= f * v[std::size_t(col)];
            }
        }
        x.assign(std::size_t(n), 0.0);
        for (int r = n - 1; r >= 0; --r) {
            double s = v[std::size_t(r)];
            for (int k = r + 1; k < n; ++k) s -= m[std::size_t(r) * n + k] * x[std::size_t(k)];
            x[std::size_t(r)] = s / m[std::size_t(r) * n + r];
        }
        return true;
    }

private:
    int n_;
    std::vector<double> m_, v_;
};

struct Point {
    double x, y;
};

// The pixel a placement turns a piece about: whole, so that a piece placed
// without turn and scale keeps its pixels on the result's.
Point Centre(const std::pair<int, int>& size) { return {double(size.first / 2), double(size.second / 2)}; }

// Piece pixel to picture position, and back.
Point Forward(const MosaicPlacement& p, Point centre, Point q) {
    double u = q.x - centre.x, v = q.y - centre.y;
    return {p.c * u - p.s * v + p.x, p.s * u + p.c * v + p.y};
}
Point Backward(const MosaicPlacement& p, Point centre, Point q) {
    double det = p.c * p.c + p.s * p.s;
    double u = q.x - p.x, v = q.y - p.y;
    return {(p.c * u + p.s * v) / det + centre.x, (-p.s * u + p.c * v) / det + centre.y};
}

// Pieces reached from anchor over the links in use.
std::vector<bool> Reached(int n, const std::vector<MosaicLink>& links, int anchor) {
    std::vector<bool> seen(std::size_t(n), false);
    std::vector<int> todo{anchor};
    seen[std::size_t(anchor)] = true;
    while (!todo.empty()) {
        int k = todo.back();
        todo.pop_back();
        for (const MosaicLink& l : links) {
            if (!l.used) continue;
            int other = l.a == k ? l.b : l.b == k ? l.a : -1;
            if (other >= 0 && !seen[std::size_t(other)]) {
                seen[std::size_t(other)] = true;
                todo.push_back(other);
            }
        }
    }
    return seen;
}

void Solve(const std::vector<std::pair<int, int>>& sizes, std::vector<MosaicLink>& links, int anchor,
           const std::vector<bool>& reached, std::vector<MosaicPlacement>& out) {
    const int n = int(sizes.size());
    std::vector<int> index(std::size_t(n), -1);
    int unknowns = 0;
    for (int k = 0; k < n; ++k)
        if (reached[std::size_t(k)] && k != anchor) index[std::size_t(k)] = 4 * unknowns++;
    out.assign(std::size_t(n), MosaicPlacement{});
    if (unknowns == 0) return;
    LeastSquares ls(4 * unknowns);
    for (const MosaicLink& l : links) {
        if (!l.used || l.ties.empty()) continue;
        const double weight = l.weight / double(l.ties.size());
        const Point ca = Centre(sizes[std::size_t(l.a)]), cb = Centre(sizes[std::size_t(l.b)]);
        for (const MosaicTie& t : l.ties) {
            const double px = t.ax - ca.x, py = t.ay - ca.y, qx = t.bx - cb.x, qy = t.by - cb.y;
            // P_a(p) - P_b(q) = 0, each piece's unknowns (c, s, x, y).
            for (int axis = 0; axis < 2; ++axis) {
                std::vector<std::pair<int, double>> terms;
                double rhs = 0;
                auto add = [&](int piece, double sign, double x, double y) {
                    const double coef[4] = {axis == 0 ? x : y, axis == 0 ? -y : x, axis == 0 ? 1.0 : 0.0,
                                            axis == 0 ? 0.0 : 1.0};
                    if (piece == anchor) {
                        rhs -= sign * coef[0];   // c = 1, s = x = y = 0
                        return;
                    }
                    for (int k = 0; k < 4; ++k)
                        if (coef[k] != 0) terms.emplace_back(index[std::size_t(piece)] + k, sign * coef[k]);
                };
                add(l.a, 1, px, py);
                add(l.b, -1, qx, qy);
                ls.Add(terms, rhs, weight);
            }
        }
    }
    std::vector<double> x;
    if (!ls.Solve(x)) return;
    for (int k = 0; k < n; ++k) {
        int i = index[std::size_t(k)];
        if (i < 0) continue;
        out[std::size_t(k)] = {x[std::size_t(i)], x[std::size_t(i) + 1], x[std::size_t(i) + 2],
                               x[std::size_t(i) + 3]};
    }
}

double LinkResidual(const std::vector<std::pair<int, int>>& sizes, const MosaicLink& l,
                    const std::vector<MosaicPlacement>& p) {
    if (l.ties.empty()) return 0;
    const Point ca = Centre(sizes[std::size_t(l.a)]), cb = Centre(sizes[std::size_t(l.b)]);
    double e = 0;
    for (const MosaicTie& t : l.ties) {
        Point u = Forward(p[std::size_t(l.a)], ca, {t.ax, t.ay});
        Point v = Forward(p[std::size_t(l.b)], cb, {t.bx, t.by});
        e += (u.x - v.x) * (u.x - v.x) + (u.y - v.y) * (u.y - v.y);
    }
    return std::sqrt(e / double(l.ties.size()));
}

// A similarity in plain pixels: (x, y) -> (c x - s y + tx, s x + c y + ty).
struct Similarity {
    double c = 1, s = 0, tx = 0, ty = 0;
    Point Map(Point p) const { return {c * p.x - s * p.y + tx, s * p.x + c * p.y + ty}; }
    Similarity Then(const Similarity& o) const {   // o after this
        return {o.c * c - o.s * s, o.s * c + o.c * s, o.c * tx - o.s * ty + o.tx, o.s * tx + o.c * ty + o.ty};
    }
    Similarity Inverse() const {
        double d = c * c + s * s;
        Similarity i{c / d, -s / d, 0, 0};
        Point t = i.Map({tx, ty});
        i.tx = -t.x;
        i.ty = -t.y;
        return i;
    }
};

// The similarity from b's pixels to a's that fits a link's ties best.
Similarity LinkSimilarity(const MosaicLink& l) {
    double bx = 0, by = 0, ax = 0, ay = 0;
    for (const MosaicTie& t : l.ties) bx += t.bx, by += t.by, ax += t.ax, ay += t.ay;
    const double k = double(std::max<std::size_t>(l.ties.size(), 1));
    bx /= k, by /= k, ax /= k, ay /= k;
    double sc = 0, ss = 0, d = 0;
    for (const MosaicTie& t : l.ties) {
        double x = t.bx - bx, y = t.by - by, u = t.ax - ax, v = t.ay - ay;
        sc += x * u + y * v, ss += x * v - y * u, d += x * x + y * y;
    }
    Similarity f;
    if (d > 0) f.c = sc / d, f.s = ss / d;
    f.tx = ax - f.c * bx + f.s * by;
    f.ty = ay - f.s * bx - f.c * by;
    return f;
}

// Links that contradict the others (repeated patterns can make a pair look
// alike at a wrong place): trees of links are drawn, the pieces placed along
// each, and the links that agree with the placement counted; the links of
// the best tree's consensus stay in use. The first tree takes the strongest
// links first; the others are drawn at random with a fixed seed.
void DropContradictingLinks(const std::vector<std::pair<int, int>>& sizes, std::vector<MosaicLink>& links,
                            int anchor) {
    const int n = int(sizes.size()), m = int(links.size());
    if (m < n) return;   // a tree at most: nothing to check against
    int longest = 0;
    for (const auto& z : sizes) longest = std::max({longest, z.first, z.second});
    const double tolerance = std::max(5.0, 0.002 * longest);
    std::vector<Similarity> relation;   // b's pixels to a's
    for (const MosaicLink& l : links) relation.push_back(LinkSimilarity(l));
    std::vector<int> order(static_cast<std::size_t>(m));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        return links[std::size_t(x)].weight * links[std::size_t(x)].quality >
               links[std::size_t(y)].weight * links[std::size_t(y)].quality;
    });
    std::uint32_t seed = 2463534242u;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    std::vector<bool> best;
    double bestScore = -1;
    for (int round = 0; round < 200; ++round) {
        if (round > 0)
            for (int i = m - 1; i > 0; --i) std::swap(order[std::size_t(i)], order[std::size_t(next() % std::uint32_t(i + 1))]);
        // The tree (union-find over the order), then the pieces along it.
        std::vector<int> parent(static_cast<std::size_t>(n));
        std::iota(parent.begin(), parent.end(), 0);
        std::function<int(int)> root = [&](int k) {
            return parent[std::size_t(k)] == k ? k : parent[std::size_t(k)] = root(parent[std::size_t(k)]);
        };
        std::vector<int> tree;
        for (int i : order) {
            int ra = root(links[std::size_t(i)].a), rb = root(links[std::size_t(i)].b);
            if (ra == rb) continue;
            parent[std::size_t(ra)] = rb;
            tree.push_back(i);
        }
        std::vector<Similarity> place(static_cast<std::size_t>(n));   // piece pixels to the anchor's
        std::vector<bool> known(std::size_t(n), false);
        known[std::size_t(anchor)] = true;
        for (bool grew = true; grew;) {
            grew = false;
            for (int i : tree) {
                const MosaicLink& l = links[std::size_t(i)];
                if (known[std::size_t(l.a)] == known[std::size_t(l.b)]) continue;
                if (known[std::size_t(l.a)])
                    place[std::size_t(l.b)] = relation[std::size_t(i)].Then(place[std::size_t(l.a)]);
                else
                    place[std::size_t(l.a)] = relation[std::size_t(i)].Inverse().Then(place[std::size_t(l.b)]);
                known[std::size_t(l.a)] = known[std::size_t(l.b)] = true;
                grew = true;
            }
        }
        std::vector<bool> agree(std::size_t(m), false);
        double score = 0;
        for (int i = 0; i < m; ++i) {
            const MosaicLink& l = links[std::size_t(i)];
            if (!known[std::size_t(l.a)] || !known[std::size_t(l.b)] || l.ties.empty()) continue;
            double e = 0;
            for (const MosaicTie& t : l.ties) {
                Point u = place[std::size_t(l.a)].Map({t.ax, t.ay}), v = place[std::size_t(l.b)].Map({t.bx, t.by});
                e += (u.x - v.x) * (u.x - v.x) + (u.y - v.y) * (u.y - v.y);
            }
            if (std::sqrt(e / double(l.ties.size())) <= tolerance) {
                agree[std::size_t(i)] = true;
                score += l.weight * l.quality;
            }
        }
        if (score > bestScore) {
            bestScore = score;
            best = agree;
        }
    }
    for (int i = 0; i < m; ++i)
        if (!best[std::size_t(i)]) links[std::size_t(i)].used = false;
}

}  // namespace

double MosaicPlacement::TurnDegrees() const { return std::atan2(s, c) * 180 / kPi; }
double MosaicPlacement::Scale() const { return std::hypot(c, s); }

std::vector<MosaicPlacement> SolveMosaicPlacements(const std::vector<std::pair<int, int>>& sizes,
                                                   std::vector<MosaicLink>& links, int anchor,
                                                   std::vector<bool>* reachedOut) {
    const int n = int(sizes.size());
    std::vector<MosaicPlacement> placements;
    DropContradictingLinks(sizes, links, anchor);
    std::vector<bool> reached = Reached(n, links, anchor);
    const auto count = [](const std::vector<bool>& v) { return std::count(v.begin(), v.end(), true); };
    for (;;) {
        Solve(sizes, links, anchor, reached, placements);
        std::vector<double> residuals;
        for (MosaicLink& l : links) {
            l.residual = LinkResidual(sizes, l, placements);
            if (l.used) residuals.push_back(l.residual);
        }
        if (residuals.size() < 2) break;
        std::sort(residuals.begin(), residuals.end());
        const double median = residuals[residuals.size() / 2];
        const double limit = std::max(1.5, 3 * median);
        // The worst link beyond the limit whose loss keeps every piece reached.
        std::vector<int> order;
        for (int i = 0; i < int(links.size()); ++i)
            if (links[std::size_t(i)].used && links[std::size_t(i)].residual > limit) order.push_back(i);
        std::sort(order.begin(), order.end(), [&](int x, int y) {
            return links[std::size_t(x)].residual > links[std::size_t(y)].residual;
        });
        bool dropped = false;
        for (int i : order) {
            links[std::size_t(i)].used = false;
            if (count(Reached(n, links, anchor)) == count(reached)) {
                dropped = true;
                break;
            }
            links[std::size_t(i)].used = true;
        }
        if (!dropped) break;
    }
    if (reachedOut) *reachedOut = reached;
    return placements;
}

namespace {

// One piece while the mosaic is made: its picture and, for seams one above
// the other, a copy turned a quarter to the left (its bottom edge on the right).
struct Work {
    CPicture* picture = nullptr;
    std::unique_ptr<CPicture> turned;
    int w = 0, h = 0;
};

struct Gauge {
    unsigned position = 0, sliceEnd = 0;
    bool cancelled = false;
};

bool StepGauge(void* context) {
    auto* g = static_cast<Gauge*>(context);
    if (g->position < g->sliceEnd) ++g->position;
    if (StepProgress(g->position)) g->cancelled = true;
    return g->cancelled;
}

constexpr unsigned kSlice = 40;   // gauge steps of one registration

enum class PairOutcome { kNone, kLinked, kCancelled, kNoMemory };

// Piece j right of piece i (below: j below i), registered as a seam.
PairOutcome TryPair(std::vector<Work>& work, int i, int j, bool below, int bytes, Gauge& gauge,
                    MosaicLink& link, const Point* estimate = nullptr) {
    Work& a = work[std::size_t(i)];
    Work& b = work[std::size_t(j)];
    for (Work* p : {&a, &b}) {
        if (!below || p->turned) continue;
        p->turned = CreateRotationDestination(p->picture, true);
        if (!p->turned || !RotateLeft(p->picture, p->turned.get(), false)) return PairOutcome::kNoMemory;
    }
    CPicture* main = below ? a.turned.get() : a.picture;
    CPicture* rest = below ? b.turned.get() : b.picture;
    SeamRequest rq;
    rq.canvas = main;
    rq.rest = rest;
    rq.mainExtent = main->GetWidth();
    rq.mainHeight = main->GetHeight();
    rq.restHeight = rest->GetHeight();
    rq.chosenOverlap = rq.mainExtent / 4;
    rq.bytes = bytes;
    if (estimate) {
        rq.estimated = true;
        rq.estimateX = estimate->x;
        rq.estimateY = estimate->y;
    }
    gauge.sliceEnd = gauge.position + kSlice;
    SeamResult r = RegisterSeam(rq, StepGauge, &gauge);
    gauge.position = gauge.sliceEnd;
    if (r.verdict == SeamVerdict::kCancelled || gauge.cancelled) return PairOutcome::kCancelled;
    if (r.verdict == SeamVerdict::kNoMemory) return PairOutcome::kNoMemory;
    if (r.verdict != SeamVerdict::kFound) return PairOutcome::kNone;

    // Points of the shared part tied by the seam's model, in each piece's own pixels.
    link = MosaicLink{};
    link.a = i;
    link.b = j;
    link.below = below;
    link.weight = r.inliers;
    link.overlap = r.overlap;
    link.quality = r.quality;
    link.matches = r.matches;
    link.agreeing = r.inliers;
    const int wr = rest->GetWidth(), hr = rest->GetHeight();
    const int over = std::clamp(r.overlap, 8, wr);
    auto toPiece = [&](const Work& p, double x, double y) {
        return below ? Point{p.w - 1 - y, x} : Point{x, y};
    };
    for (int gx = 0; gx < 3; ++gx)
        for (int gy = 0; gy < 8; ++gy) {
            double x = over * (gx + 0.5) / 3, y = hr * (gy + 0.5) / 8;
            double u = r.model.MapX(x, y), v = r.model.MapY(x, y);
            if (u < 0 || v < 0 || u > rq.mainExtent - 1 || v > rq.mainHeight - 1) continue;
            Point pa = toPiece(a, u, v), pb = toPiece(b, x, y);
            link.ties.push_back({pa.x, pa.y, pb.x, pb.y});
        }
    return link.ties.size() >= 3 ? PairOutcome::kLinked : PairOutcome::kNone;
}

// The quick look at how two pieces may overlap: their detail at one small
// scale, correlated at every offset; for each of the four ways (b right of
// a, a right of b, b below a, a below b) the best score. Only the ways that
// score well are registered at full resolution.
constexpr int kThumbSide = 64;
constexpr double kScreenScore = 0.25;
constexpr double kWeakerShare = 0.6;  // of the overlaps found: weaker ways wait

// One way two pieces may overlap: its best score and where b's pixel (0, 0)
// then lies on a, in a's pixels.
struct Way {
    double score = -2, dx = 0, dy = 0;
};

std::array<Way, 4> Screen(const seamcorr::Gray& a, const seamcorr::Gray& b, int shrink) {
    std::array<Way, 4> best;
    if (a.w < 8 || a.h < 8 || b.w < 8 || b.h < 8) {   // too small to judge: every way
        for (Way& w : best) w.score = 1;
        return best;
    }
    seamcorr::CorrelationMap map(a, b, std::max(a.h, b.h) - 1);
    const int w = std::min(a.w, b.w), h = std::min(a.h, b.h);
    const int across = std::max(2, h / 5), along = std::max(2, w / 5);
    // b's pixel (x, y) on a's pixel (x + dx, y + dy).
    for (int dy = -(b.h - 1); dy <= a.h - 1; ++dy)
        for (int dx = -(b.w - 1); dx <= a.w - 1; ++dx) {
            int way = -1;
            if (std::abs(dy) <= across) {
                int shared = dx > 0 ? a.w - dx : b.w + dx;
                if (shared >= 2 && shared <= w * 4 / 5) way = dx > 0 ? 0 : 1;
            }
            if (way < 0 && std::abs(dx) <= along) {
                int shared = dy > 0 ? a.h - dy : b.h + dy;
                if (shared >= 2 && shared <= h * 4 / 5) way = dy > 0 ? 2 : 3;
            }
            if (way < 0) continue;
            double score = map.Ncc(dx, dy, 2, 2);
            Way& bw = best[std::size_t(way)];
            if (score > bw.score) bw = {score, double(dx), double(dy)};
        }
    for (Way& bw : best) {
        if (bw.score <= -2) continue;
        const int dx = int(bw.dx), dy = int(bw.dy);
        double left = map.Ncc(dx - 1, dy, 2, 2), right = map.Ncc(dx + 1, dy, 2, 2);
        double up = map.Ncc(dx, dy - 1, 2, 2), down = map.Ncc(dx, dy + 1, 2, 2);
        if (left > -2 && right > -2) bw.dx += seamcorr::ParabolaOffset(left, bw.score, right);
        if (up > -2 && down > -2) bw.dy += seamcorr::ParabolaOffset(up, bw.score, down);
        bw.dx *= shrink;
        bw.dy *= shrink;
    }
    return best;
}

// Where the registration of one way of pair (i, j) should find Rest's origin
// on its canvas, from the quick look's offset of j on i: ways 0 and 1 side by
// side (j right of i, i right of j), 2 and 3 one above the other, registered
// on copies turned a quarter to the left.
Point EstimateFor(const Way& w, int way, double wi, double wj) {
    switch (way) {
    case 0: return {w.dx, w.dy};
    case 1: return {-w.dx, -w.dy};
    case 2: return {w.dy, wi - wj - w.dx};
    default: return {-w.dy, wj - wi + w.dx};
    }
}

const char* TypeWords(int type) {
    switch (type) {
    case ptBlackWhite: return "black and white";
    case ptTrueColor24: return "true colour";
    case ptColor16: return "16 colours";
    case ptColor256: return "256 colours";
    case ptGray16: return "16 grays";
    case ptGray256: return "256 grays";
    case ptColor32K: return "32K colours";
    case ptColor64K: return "64K colours";
    case ptTrueColor32: return "true colour with 32 bits";
    default: return "of an unknown type";
    }
}

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

std::string NameList(const std::vector<MosaicPiece>& pieces, const std::vector<int>& which) {
    std::string text;
    for (std::size_t i = 0; i < which.size(); ++i) {
        if (i) text += i + 1 == which.size() ? " and " : ", ";
        text += Quoted(pieces[std::size_t(which[i])].name);
    }
    return text;
}

std::uint64_t PixelHash(CPicture* p) {
    const int w = p->GetWidth(), h = p->GetHeight();
    std::vector<std::uint8_t> row(std::size_t(p->GetRowBytes()) + 16);
    std::uint64_t hash = 1469598103934665603ull ^ std::uint64_t(w) << 32 ^ std::uint64_t(h);
    const std::size_t bytes = std::size_t((std::int64_t(w) * p->GetBitCount() + 7) / 8);
    for (int y = 0; y < h; ++y) {
        if (!p->ReadRow(0, w - 1, y, row.data())) return 0;
        for (std::size_t i = 0; i < bytes; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
    }
    return hash;
}

// Gains and offsets per piece and channel from the shared parts: the spread
// of each channel gives the gains, the means the offsets; their geometric
// mean stays 1 and their mean 0, so the picture keeps its overall tone.
void SolveTones(const std::vector<Work>& work, const std::vector<std::pair<int, int>>& sizes,
                const std::vector<MosaicPlacement>& place, const std::vector<MosaicLink>& links,
                const std::vector<bool>& placed, int bytes, std::vector<MosaicPieceReport>& report) {
    const int n = int(work.size());
    struct Stats {
        double n = 0, s[2][3] = {}, s2[2][3] = {};
    };
    std::vector<Stats> stats(links.size());
    std::vector<std::uint8_t> rowB, pixel(4);
    for (std::size_t li = 0; li < links.size(); ++li) {
        const MosaicLink& l = links[li];
        if (!l.used) continue;
        const Work& a = work[std::size_t(l.a)];
        const Work& b = work[std::size_t(l.b)];
        const Point ca = Centre(sizes[std::size_t(l.a)]), cb = Centre(sizes[std::size_t(l.b)]);
        rowB.resize(std::size_t(b.w) * bytes);
        const int step = std::max(2, std::min(b.w, b.h) / 96);
        for (int y = 3; y < b.h - 3; y += step) {
            bool rowRead = false;
            for (int x = 3; x < b.w - 3; x += step) {
                Point q = Backward(place[std::size_t(l.a)], ca, Forward(place[std::size_t(l.b)], cb, {double(x), double(y)}));
                int qx = int(std::floor(q.x + 0.5)), qy = int(std::floor(q.y + 0.5));
                if (qx < 3 || qy < 3 || qx >= a.w - 3 || qy >= a.h - 3) continue;
                if (!rowRead && !b.picture->ReadRow(0, b.w - 1, y, rowB.data())) return;
                rowRead = true;
                if (!a.picture->ReadRow(qx, qx, qy, pixel.data())) return;
                const std::uint8_t* vb = rowB.data() + std::size_t(x) * bytes;
                bool clipped = false;
                for (int k = 0; k < bytes; ++k)
                    clipped |= pixel[std::size_t(k)] <= 3 || pixel[std::size_t(k)] >= 252 || vb[k] <= 3 || vb[k] >= 252;
                if (clipped) continue;
                Stats& s = stats[li];
                s.n += 1;
                for (int k = 0; k < bytes; ++k) {
                    double va = pixel[std::size_t(k)], v2 = vb[k];
                    s.s[0][k] += va, s.s2[0][k] += va * va;
                    s.s[1][k] += v2, s.s2[1][k] += v2 * v2;
                }
            }
        }
    }
    for (int k = 0; k < bytes; ++k) {
        // Gains: log g_a - log g_b = log sd_b - log sd_a.
        LeastSquares gains(n), offsets(n);
        std::vector<double> mean[2], sd[2];
        double total = 0;
        for (const Stats& s : stats) total += s.n;
        if (total <= 0) return;
        for (int p = 0; p < n; ++p) {
            // A weak pull to no change holds pieces that no spread reaches.
            gains.Add({{p, 1.0}}, 0.0, 1e-4 * total);
            offsets.Add({{p, 1.0}}, 0.0, 1e-4 * total);
        }
        std::vector<std::pair<int, double>> all;
        for (int p = 0; p < n; ++p)
            if (placed[std::size_t(p)]) all.emplace_back(p, 1.0);
        gains.Add(all, 0.0, total);
        offsets.Add(all, 0.0, total);
        std::vector<double> lmean[2], lsd[2];
        for (std::size_t li = 0; li < links.size(); ++li) {
            const Stats& s = stats[li];
            double m[2] = {0, 0}, d[2] = {0, 0};
            if (s.n >= 50) {
                for (int side = 0; side < 2; ++side) {
                    m[side] = s.s[side][k] / s.n;
                    d[side] = std::sqrt(std::max(0.0, s.s2[side][k] / s.n - m[side] * m[side]));
                }
                if (d[0] >= 2 && d[1] >= 2)
                    gains.Add({{links[li].a, 1.0}, {links[li].b, -1.0}}, std::log(d[1] / d[0]), s.n);
            }
            for (int side = 0; side < 2; ++side) {
                lmean[side].push_back(m[side]);
                lsd[side].push_back(d[side]);
            }
        }
        std::vector<double> lg;
        if (!gains.Solve(lg)) return;
        for (std::size_t li = 0; li < links.size(); ++li) {
            const Stats& s = stats[li];
            if (s.n < 50) continue;
            const MosaicLink& l = links[li];
            // g_a m_a + o_a = g_b m_b + o_b
            double rhs = std::exp(lg[std::size_t(l.b)]) * lmean[1][li] - std::exp(lg[std::size_t(l.a)]) * lmean[0][li];
            offsets.Add({{l.a, 1.0}, {l.b, -1.0}}, rhs, s.n);
        }
        std::vector<double> o;
        if (!offsets.Solve(o)) return;
        for (int p = 0; p < n; ++p) {
            report[std::size_t(p)].gain[k] = std::exp(lg[std::size_t(p)]);
            report[std::size_t(p)].offset[k] = o[std::size_t(p)];
        }
    }
}

// The tone maps of one piece (256 values a channel); none when it moves no
// value by a level or more.
bool BuildLut(const MosaicPieceReport& r, int bytes, std::vector<std::uint8_t>& lut) {
    bool moves = false;
    lut.assign(std::size_t(bytes) * 256, 0);
    for (int k = 0; k < bytes; ++k)
        for (int v = 0; v < 256; ++v) {
            double t = r.gain[k] * v + r.offset[k];
            lut[std::size_t(k) * 256 + v] = std::uint8_t(std::clamp(int(std::floor(t + 0.5)), 0, 255));
            if (std::abs(t - v) >= 1.0 && t > -1 && t < 256) moves = true;
        }
    return moves;
}

// A piece's part of one output row.
struct RowPart {
    int from = 0, to = -1;           // output columns covered
    std::vector<std::uint8_t> value;  // bytes per covered column
    std::vector<float> distance;      // to the piece's inner edges
};

class PieceSampler {
public:
    PieceSampler(CPicture* picture, const MosaicPlacement& p, Point centre, int outWidth, int bytes,
                 const std::uint8_t* lut, const bool* inner)
        : picture_(picture), p_(p), centre_(centre), w_(picture->GetWidth()), h_(picture->GetHeight()),
          bytes_(bytes), lut_(lut) {
        std::copy(inner, inner + 4, inner_);
        const double det = p.c * p.c + p.s * p.s;
        ux_ = p.c / det;
        uy_ = -p.s / det;
        span_ = std::min(h_, int(std::ceil(std::abs(uy_) * outWidth)) + 3);
        cache_.assign(std::size_t(span_), std::vector<std::uint8_t>(std::size_t(w_) * bytes));
        tag_.assign(std::size_t(span_), -1);
        part.value.resize(std::size_t(outWidth) * bytes);
        part.distance.resize(std::size_t(outWidth));
        outWidth_ = outWidth;
    }

    // Fills part for output row y; false when a row cannot be read.
    bool Row(int y) {
        part.from = 0;
        part.to = -1;
        Point start = Backward(p_, centre_, {0.0, double(y)});
        double lo = 0, hi = outWidth_ - 1;
        // A piece covers its pixels' whole squares: half a pixel beyond the
        // outer pixels' centres, so that a placement a hair off leaves no gap.
        auto limit = [&](double f0, double u, double top) {
            const double eps = 0.5;
            if (std::abs(u) < 1e-12) {
                if (f0 < -eps || f0 > top + eps) hi = -1;
                return;
            }
            double x0 = (-eps - f0) / u, x1 = (top + eps - f0) / u;
            if (x0 > x1) std::swap(x0, x1);
            lo = std::max(lo, x0);
            hi = std::min(hi, x1);
        };
        limit(start.x, ux_, w_ - 1);
        limit(start.y, uy_, h_ - 1);
        int from = int(std::ceil(lo)), to = int(std::floor(hi));
        if (from > to) return true;
        part.from = from;
        part.to = to;
        for (int x = from; x <= to; ++x) {
            double sx = std::clamp(start.x + ux_ * x, 0.0, double(w_ - 1));
            double sy = std::clamp(start.y + uy_ * x, 0.0, double(h_ - 1));
            int x0 = std::min(int(sx), std::max(w_ - 2, 0)), y0 = std::min(int(sy), std::max(h_ - 2, 0));
            int fx = int((sx - x0) * 256 + 0.5), fy = int((sy - y0) * 256 + 0.5);
            int x1 = std::min(x0 + 1, w_ - 1), y1 = std::min(y0 + 1, h_ - 1);
            const std::uint8_t* r0 = Source(y0);
            const std::uint8_t* r1 = r0 ? Source(y1) : nullptr;
            if (!r0 || !r1) return false;
            std::uint8_t* out = part.value.data() + std::size_t(x) * bytes_;
            for (int k = 0; k < bytes_; ++k) {
                int a = r0[std::size_t(x0) * bytes_ + k], b = r0[std::size_t(x1) * bytes_ + k];
                int c = r1[std::size_t(x0) * bytes_ + k], d = r1[std::size_t(x1) * bytes_ + k];
                int top = a * (256 - fx) + b * fx, bottom = c * (256 - fx) + d * fx;
                int v = (top * (256 - fy) + bottom * fy + 32768) >> 16;
                out[k] = lut_ ? lut_[std::size_t(k) * 256 + std::size_t(v)] : std::uint8_t(v);
            }
            double dist = 1e9;   // from the clamped position: at most 0 beyond the edge
            if (inner_[0]) dist = std::min(dist, sx);
            if (inner_[1]) dist = std::min(dist, sy);
            if (inner_[2]) dist = std::min(dist, w_ - 1 - sx);
            if (inner_[3]) dist = std::min(dist, h_ - 1 - sy);
            part.distance[std::size_t(x)] = float(dist);
        }
        return true;
    }

    RowPart part;

private:
    const std::uint8_t* Source(int y) {
        std::size_t slot = std::size_t(y % span_);
        if (tag_[slot] != y) {
            if (!picture_->ReadRow(0, w_ - 1, y, cache_[slot].data())) return nullptr;
            tag_[slot] = y;
        }
        return cache_[slot].data();
    }

    CPicture* picture_;
    MosaicPlacement p_;
    Point centre_;
    int w_, h_, bytes_, span_ = 1, outWidth_ = 0;
    const std::uint8_t* lut_;
    bool inner_[4] = {};
    double ux_ = 1, uy_ = 0;
    std::vector<std::vector<std::uint8_t>> cache_;
    std::vector<int> tag_;
};

// Which edges of each piece face another piece (left, top, right, bottom):
// the seams lie between those, outer edges do not pull them.
void InnerEdges(const std::vector<std::pair<int, int>>& sizes, const std::vector<MosaicPlacement>& p,
                const std::vector<bool>& placed, std::vector<std::array<bool, 4>>& inner) {
    const int n = int(sizes.size());
    inner.assign(std::size_t(n), {false, false, false, false});
    for (int k = 0; k < n; ++k) {
        if (!placed[std::size_t(k)]) continue;
        const Point ck = Centre(sizes[std::size_t(k)]);
        for (int j = 0; j < n; ++j) {
            if (j == k || !placed[std::size_t(j)]) continue;
            Point c = Backward(p[std::size_t(k)], ck, {p[std::size_t(j)].x, p[std::size_t(j)].y});
            double u = c.x - ck.x, v = c.y - ck.y;
            double wk = sizes[std::size_t(k)].first, hk = sizes[std::size_t(k)].second;
            double wj = sizes[std::size_t(j)].first, hj = sizes[std::size_t(j)].second;
            if (std::abs(u) >= (wk + wj) / 2 || std::abs(v) >= (hk + hj) / 2) continue;   // apart
            if (std::abs(u) / wk >= std::abs(v) / hk) inner[std::size_t(k)][u < 0 ? 0 : 2] = true;
            else inner[std::size_t(k)][v < 0 ? 1 : 3] = true;
        }
    }
}

constexpr int kSeamRamp = 20;   // pixels over which a blended seam fades

bool Compose(const std::vector<Work>& work, const std::vector<std::pair<int, int>>& sizes,
             const std::vector<MosaicPlacement>& place, const std::vector<bool>& placed,
             const std::vector<MosaicPieceReport>& report, int bytes, bool blend, CPicture* out,
             Gauge& gauge, unsigned steps) {
    const int n = int(work.size()), W = out->GetWidth(), H = out->GetHeight();
    std::vector<std::array<bool, 4>> inner;
    InnerEdges(sizes, place, placed, inner);
    std::vector<std::vector<std::uint8_t>> luts(static_cast<std::size_t>(n));
    std::vector<std::unique_ptr<PieceSampler>> samplers;
    for (int k = 0; k < n; ++k) {
        if (!placed[std::size_t(k)]) continue;
        bool tone = BuildLut(report[std::size_t(k)], bytes, luts[std::size_t(k)]);
        samplers.push_back(std::make_unique<PieceSampler>(work[std::size_t(k)].picture, place[std::size_t(k)],
                                                          Centre(sizes[std::size_t(k)]), W, bytes,
                                                          tone ? luts[std::size_t(k)].data() : nullptr,
                                                          inner[std::size_t(k)].data()));
    }
    std::vector<std::uint8_t> row(std::size_t(W) * bytes);
    const unsigned base = gauge.position;
    for (int y = 0; y < H; ++y) {
        if ((y & 15) == 0) {
            gauge.position = base + unsigned(std::uint64_t(y) * steps / std::uint64_t(std::max(H, 1)));
            if (StepProgress(gauge.position)) {
                gauge.cancelled = true;
                return false;
            }
        }
        for (auto& s : samplers)
            if (!s->Row(y)) return false;
        for (int x = 0; x < W; ++x) {
            float best = -1;
            int bestPiece = -1, covering = 0;
            for (std::size_t i = 0; i < samplers.size(); ++i) {
                const RowPart& p = samplers[i]->part;
                if (x < p.from || x > p.to) continue;
                ++covering;
                if (p.distance[std::size_t(x)] > best) {
                    best = p.distance[std::size_t(x)];
                    bestPiece = int(i);
                }
            }
            std::uint8_t* o = row.data() + std::size_t(x) * bytes;
            if (bestPiece < 0) {
                std::fill(o, o + bytes, std::uint8_t(255));   // paper where no piece reaches
                continue;
            }
            if (!blend || covering == 1) {
                std::copy_n(samplers[std::size_t(bestPiece)]->part.value.data() + std::size_t(x) * bytes, bytes, o);
                continue;
            }
            double sum[3] = {0, 0, 0}, weights = 0;
            for (std::size_t i = 0; i < samplers.size(); ++i) {
                const RowPart& p = samplers[i]->part;
                if (x < p.from || x > p.to) continue;
                double w = std::clamp(double(p.distance[std::size_t(x)]) - best + kSeamRamp, 0.0, double(kSeamRamp));
                if (w <= 0) continue;
                weights += w;
                for (int k = 0; k < bytes; ++k) sum[k] += w * p.value[std::size_t(x) * bytes + k];
            }
            for (int k = 0; k < bytes; ++k) o[k] = std::uint8_t(std::clamp(int(sum[k] / weights + 0.5), 0, 255));
        }
        if (!out->WriteRow(0, W - 1, y, row.data())) return false;
    }
    return true;
}

// Rows and columns when the pieces' centres fall into a full grid.
void FindGrid(const std::vector<std::pair<int, int>>& sizes, const std::vector<MosaicPlacement>& p,
              int& rows, int& columns) {
    const int n = int(sizes.size());
    auto clusters = [&](bool vertical) {
        std::vector<std::pair<double, double>> v;   // centre, extent
        for (int k = 0; k < n; ++k)
            v.emplace_back(vertical ? p[std::size_t(k)].y : p[std::size_t(k)].x,
                           vertical ? sizes[std::size_t(k)].second : sizes[std::size_t(k)].first);
        std::sort(v.begin(), v.end());
        int count = 1;
        for (std::size_t i = 1; i < v.size(); ++i)
            if (v[i].first - v[i - 1].first > 0.4 * std::min(v[i].second, v[i - 1].second)) ++count;
        return count;
    };
    rows = clusters(true);
    columns = clusters(false);
    if (rows * columns != n) rows = columns = 0;
}

}  // namespace

MosaicResult RunMosaic(const std::vector<MosaicPiece>& pieces, const MosaicRequest& request) {
    MosaicResult result;
    auto fail = [&result](MosaicStatus status, std::string message) {
        result.status = status;
        result.message = std::move(message);
        result.picture.reset();
        return std::move(result);
    };
    const int n = int(pieces.size());
    if (n < 2) return fail(MosaicStatus::kTooFewPieces, "a mosaic needs at least two pieces");
    if (n > kMosaicMaxPieces)
        return fail(MosaicStatus::kTooManyPieces, "a mosaic takes at most " + std::to_string(kMosaicMaxPieces) +
                                                      " pieces, not " + std::to_string(n) +
                                                      ": join it in parts");
    for (const MosaicPiece& p : pieces) {
        if (!p.picture || !p.picture->HasHeader()) return fail(MosaicStatus::kOutOfMemory, "a piece has no picture");
        const int type = p.picture->GetType();
        if (type != ptTrueColor24 && type != ptGray256)
            return fail(MosaicStatus::kTypeNotSearchable, Quoted(p.name) + " is " + TypeWords(type) +
                                                              ": the pieces must be true colour or 256 grays");
        if (type != pieces[0].picture->GetType())
            return fail(MosaicStatus::kTypesDiffer, Quoted(pieces[0].name) + " is " +
                                                        TypeWords(pieces[0].picture->GetType()) + " and " +
                                                        Quoted(p.name) + " " + TypeWords(type) +
                                                        ": the pieces must all be of one type");
    }
    const int bytes = pieces[0].picture->GetType() == ptTrueColor24 ? 3 : 1;
    try {
        std::vector<Work> work(static_cast<std::size_t>(n));
        std::vector<std::pair<int, int>> sizes;
        std::vector<std::uint64_t> hashes;
        for (int k = 0; k < n; ++k) {
            Work& w = work[std::size_t(k)];
            w.picture = pieces[std::size_t(k)].picture;
            w.w = w.picture->GetWidth();
            w.h = w.picture->GetHeight();
            sizes.emplace_back(w.w, w.h);
            hashes.push_back(PixelHash(w.picture));
            MosaicPieceReport r;
            r.name = pieces[std::size_t(k)].name;
            r.width = w.w;
            r.height = w.h;
            result.pieces.push_back(r);
            if (std::min(w.w, w.h) < 32)
                return fail(MosaicStatus::kUnplaced, Quoted(r.name) + " is too small to be placed (" +
                                                         std::to_string(w.w) + " x " + std::to_string(w.h) +
                                                         " pixels)");
        }
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j)
                if (hashes[std::size_t(i)] == hashes[std::size_t(j)])
                    return fail(MosaicStatus::kSamePiece, Quoted(pieces[std::size_t(i)].name) + " and " +
                                                              Quoted(pieces[std::size_t(j)].name) +
                                                              " are the same picture: give each piece once");

        // Every pair, side by side and one above the other, both ways round:
        // the ways the quick look favours first; the others only for pieces
        // that are left without a place.
        const unsigned pairs = unsigned(n * (n - 1) / 2);
        const unsigned registerSteps = pairs * 4 * kSlice, composeSteps = 1000;
        Gauge gauge;
        ScopedProgress progress(true, IDS_PROCESSING, 0, registerSteps + composeSteps);
        int longest = 0;
        for (const Work& w : work) longest = std::max({longest, w.w, w.h});
        const int shrink = std::max(1, (longest + kThumbSide - 1) / kThumbSide);
        std::vector<seamcorr::Gray> thumbs(static_cast<std::size_t>(n));
        for (int k = 0; k < n; ++k) {
            seamcorr::Gray g;
            const Work& w = work[std::size_t(k)];
            if (!seamcorr::ReadGray(w.picture, 0, w.w, w.h, bytes, shrink, g))
                return fail(MosaicStatus::kOutOfMemory, "not enough memory to register the pieces");
            thumbs[std::size_t(k)] = seamcorr::Detail(g);
        }
        // Per pair and way: 0 not yet registered, 1 around the quick look's
        // offset only, 2 with the seam's own global estimate.
        std::vector<std::array<int, 4>> tried;
        std::vector<std::array<Way, 4>> scores;
        std::vector<std::pair<int, int>> pairList;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                pairList.emplace_back(i, j);
                scores.push_back(Screen(thumbs[std::size_t(i)], thumbs[std::size_t(j)], shrink));
                tried.push_back({0, 0, 0, 0});
            }
        std::vector<bool> linked(pairList.size(), false);
        // The user's hints: rough top-left corners.
        std::vector<bool> hinted(std::size_t(n), false);
        std::vector<Point> corner(static_cast<std::size_t>(n));
        for (const MosaicHint& h : request.hints)
            if (h.piece >= 0 && h.piece < n && std::isfinite(h.x) && std::isfinite(h.y)) {
                hinted[std::size_t(h.piece)] = true;
                corner[std::size_t(h.piece)] = {h.x, h.y};
            }
        // Whether a link between two hinted pieces puts them about where the hints do.
        auto agreesWithHints = [&](const MosaicLink& l) {
            const auto a = std::size_t(l.a), b = std::size_t(l.b);
            if (!hinted[a] || !hinted[b]) return true;
            const Similarity f = LinkSimilarity(l);
            const double side = std::min({work[a].w, work[a].h, work[b].w, work[b].h});
            return std::hypot(f.tx - (corner[b].x - corner[a].x), f.ty - (corner[b].y - corner[a].y)) <=
                   kMosaicHintTolerance * side;
        };
        // Registers one way of pair p: around the quick look's offset
        // (screened), around the hints' offset (given), or with the seam's
        // own global estimate. 0, or 1 on Escape, 2 when memory fails.
        auto tryWay = [&](std::size_t p, int way, bool screened, const Way* given = nullptr) -> int {
            const auto [i, j] = pairList[p];
            int& done = tried[p][std::size_t(way)];
            if (linked[p] || done == 2 || (screened && done == 1)) return 0;
            done = screened ? 1 : 2;
            const int tries[4][3] = {{i, j, 0}, {j, i, 0}, {i, j, 1}, {j, i, 1}};
            const Way& w = given ? *given : scores[p][std::size_t(way)];
            const Point estimate = EstimateFor(w, way, work[std::size_t(i)].w, work[std::size_t(j)].w);
            const auto& t = tries[way];
            MosaicLink link;
            const unsigned before = gauge.position;
            PairOutcome o = TryPair(work, t[0], t[1], t[2] != 0, bytes, gauge, link, screened ? &estimate : nullptr);
            gauge.position = std::min(before + kSlice, registerSteps);
            if (o == PairOutcome::kCancelled) return 1;
            if (o == PairOutcome::kNoMemory) return 2;
            if (o == PairOutcome::kLinked && agreesWithHints(link)) {
                result.links.push_back(std::move(link));
                linked[p] = true;
            }
            return 0;
        };
        auto stop = [&](int code) {
            return code == 1 ? fail(MosaicStatus::kCancelled, "cancelled")
                             : fail(MosaicStatus::kOutOfMemory, "not enough memory to register the pieces");
        };
        // The ways the quick look favours, strongest first; a way far weaker
        // than the overlaps already found waits.
        struct Candidate {
            std::size_t p;
            int way;
            double score;
        };
        // Hinted pairs that overlap where they were put: that way first,
        // around the hints' offset.
        for (std::size_t p = 0; p < pairList.size(); ++p) {
            const auto [i, j] = pairList[p];
            if (!hinted[std::size_t(i)] || !hinted[std::size_t(j)]) continue;
            const Work& a = work[std::size_t(i)];
            const Work& b = work[std::size_t(j)];
            const Point at{corner[std::size_t(j)].x - corner[std::size_t(i)].x,
                           corner[std::size_t(j)].y - corner[std::size_t(i)].y};
            const double across = std::min<double>(a.w, at.x + b.w) - std::max(0.0, at.x);
            const double down = std::min<double>(a.h, at.y + b.h) - std::max(0.0, at.y);
            if (across <= 0 || down <= 0) continue;
            // The shared part is a strip: side by side when it runs down.
            const bool sideBySide = down / std::min(a.h, b.h) >= across / std::min(a.w, b.w);
            const int way = sideBySide ? (at.x >= 0 ? 0 : 1) : (at.y >= 0 ? 2 : 3);
            const Way given{1, at.x, at.y};
            if (int code = tryWay(p, way, true, &given)) return stop(code);
        }
        std::vector<Candidate> candidates, later;
        for (std::size_t p = 0; p < pairList.size(); ++p)
            for (int way = 0; way < 4; ++way)
                if (scores[p][std::size_t(way)].score >= kScreenScore)
                    candidates.push_back({p, way, scores[p][std::size_t(way)].score});
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& x, const Candidate& y) { return x.score > y.score; });
        std::vector<double> found;
        for (const Candidate& c : candidates) {
            if (linked[c.p]) continue;
            if (!found.empty()) {
                std::vector<double> sorted = found;
                std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
                if (c.score < kWeakerShare * sorted[sorted.size() / 2]) {
                    later.push_back(c);
                    continue;
                }
            }
            if (int code = tryWay(c.p, c.way, true)) return stop(code);
            if (linked[c.p]) found.push_back(c.score);
        }
        // Pieces that nothing ties to the first piece yet: the ways that
        // waited, then every way of their pairs.
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<bool> reached = Reached(n, result.links, 0);
            if (std::all_of(reached.begin(), reached.end(), [](bool r) { return r; })) break;
            auto loose = [&](std::size_t p) {
                return !reached[std::size_t(pairList[p].first)] || !reached[std::size_t(pairList[p].second)];
            };
            if (pass == 0) {
                for (const Candidate& c : later)
                    if (loose(c.p))
                        if (int code = tryWay(c.p, c.way, true)) return stop(code);
            } else {
                for (std::size_t p = 0; p < pairList.size(); ++p)
                    for (int way = 0; way < 4 && loose(p); ++way)
                        if (int code = tryWay(p, way, false)) return stop(code);
            }
        }
        gauge.position = registerSteps;
        for (Work& w : work) w.turned.reset();

        // The largest group of pieces tied together; the others are named.
        std::vector<int> group(std::size_t(n), -1);
        int groups = 0;
        for (int k = 0; k < n; ++k) {
            if (group[std::size_t(k)] >= 0) continue;
            std::vector<bool> r = Reached(n, result.links, k);
            for (int j = 0; j < n; ++j)
                if (r[std::size_t(j)]) group[std::size_t(j)] = groups;
            ++groups;
        }
        std::vector<int> members(std::size_t(groups), 0);
        for (int g : group) ++members[std::size_t(g)];
        const int main = int(std::max_element(members.begin(), members.end()) - members.begin());
        std::vector<int> apart;
        for (int k = 0; k < n; ++k)
            if (group[std::size_t(k)] != main) apart.push_back(k);
        // A piece lying on its side (or upside down) fits once turned: it is
        // tried so against the placed pieces, and the message says how to turn it.
        auto turnToFit = [&](int k) -> std::string {
            static const char* const words[3] = {"a quarter to the left", "a quarter to the right",
                                                 "upside down"};
            CPicture* source = work[std::size_t(k)].picture;
            for (int turn = 0; turn < 3; ++turn) {
                std::unique_ptr<CPicture> turned = CreateRotationDestination(source, turn < 2);
                if (!turned) return "";
                const int ok = turn == 0   ? RotateLeft(source, turned.get(), false)
                               : turn == 1 ? RotateRight(source, turned.get(), false)
                                           : RotateHalfInto(source, turned.get(), false);
                seamcorr::Gray g;
                if (!ok || !seamcorr::ReadGray(turned.get(), 0, turned->GetWidth(), turned->GetHeight(), bytes,
                                               shrink, g))
                    return "";
                const seamcorr::Gray thumb = seamcorr::Detail(g);
                Work extra;
                extra.picture = turned.get();
                extra.w = turned->GetWidth();
                extra.h = turned->GetHeight();
                work.push_back(std::move(extra));
                bool fits = false;
                for (int m = 0; m < n && !fits && !gauge.cancelled; ++m) {
                    if (group[std::size_t(m)] != main) continue;
                    const std::array<Way, 4> ways = Screen(thumbs[std::size_t(m)], thumb, shrink);
                    for (int way = 0; way < 4 && !fits && !gauge.cancelled; ++way) {
                        const Way& w = ways[std::size_t(way)];
                        if (w.score < kScreenScore) continue;
                        const Point estimate = EstimateFor(w, way, work[std::size_t(m)].w, work.back().w);
                        const bool swap = way == 1 || way == 3;
                        MosaicLink link;
                        fits = TryPair(work, swap ? n : m, swap ? m : n, way >= 2, bytes, gauge, link, &estimate) ==
                               PairOutcome::kLinked;
                    }
                }
                work.pop_back();
                if (fits) return words[turn];
            }
            return "";
        };
        if (!apart.empty()) {
            std::string text;
            if (members[std::size_t(main)] > 1 && apart.size() <= 2)
                for (int k : apart) {
                    const std::string turn = turnToFit(k);
                    if (gauge.cancelled) return fail(MosaicStatus::kCancelled, "cancelled");
                    if (!turn.empty())
                        return fail(MosaicStatus::kUnplaced, Quoted(pieces[std::size_t(k)].name) +
                                                                 " lies turned: it fits once turned " + turn +
                                                                 "; turn it and join the pieces again");
                }
            if (members[std::size_t(main)] == 1)
                text = "no two of the pieces overlap: " + NameList(pieces, apart) + " have nothing in common";
            else
                text = std::string("could not place ") + NameList(pieces, apart) + ": " +
                       (apart.size() == 1 ? "it overlaps" : "they overlap") + " none of " +
                       NameList(pieces, [&] {
                           std::vector<int> in;
                           for (int k = 0; k < n; ++k)
                               if (group[std::size_t(k)] == main) in.push_back(k);
                           return in;
                       }());
            text += ". Check that every piece belongs to this picture and shares about a tenth or more "
                    "with a neighbour; a piece lying on its side must be turned upright first";
            return fail(MosaicStatus::kUnplaced, text);
        }

        // The anchor: the piece with the most links.
        std::vector<int> degree(std::size_t(n), 0);
        for (const MosaicLink& l : result.links) ++degree[std::size_t(l.a)], ++degree[std::size_t(l.b)];
        const int anchor = int(std::max_element(degree.begin(), degree.end()) - degree.begin());
        std::vector<bool> placed;
        std::vector<MosaicPlacement> place = SolveMosaicPlacements(sizes, result.links, anchor, &placed);

        // Turn and scale of the whole: on average none.
        double mc = 0, ms = 0;
        for (const MosaicPlacement& p : place) mc += p.c, ms += p.s;
        mc /= n, ms /= n;
        const double m2 = mc * mc + ms * ms;
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (int k = 0; k < n; ++k) {
            MosaicPlacement& p = place[std::size_t(k)];
            // (c + i s) / (mc + i ms), and the same for the position.
            auto divide = [&](double& re, double& im) {
                double r = (re * mc + im * ms) / m2, i = (im * mc - re * ms) / m2;
                re = r;
                im = i;
            };
            divide(p.c, p.s);
            divide(p.x, p.y);
            const Point c = Centre(sizes[std::size_t(k)]);
            for (Point corner : {Point{0, 0}, Point{sizes[std::size_t(k)].first - 1.0, 0},
                                 Point{0, sizes[std::size_t(k)].second - 1.0},
                                 Point{sizes[std::size_t(k)].first - 1.0, sizes[std::size_t(k)].second - 1.0}}) {
                Point q = Forward(p, c, corner);
                minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
                minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
            }
        }
        // Scans of one sheet differ by a little turn and scale only: a
        // placement beyond that comes of overlaps that do not fit together,
        // and no picture is better than a wrong one.
        {
            std::vector<int> odd;
            for (int k = 0; k < n; ++k) {
                const MosaicPlacement& p = place[std::size_t(k)];
                if (std::abs(p.Scale() - 1) > 0.03 || std::abs(p.TurnDegrees()) > 3) odd.push_back(k);
            }
            if (!odd.empty())
                return fail(MosaicStatus::kUnplaced,
                            "the overlaps found do not fit together: " + NameList(pieces, odd) +
                                " would be turned or scaled far more than a scan is. Check that the pieces "
                                "belong to one picture, or join fewer of them at a time");
        }
        const double x0 = std::floor(minX + 0.5), y0 = std::floor(minY + 0.5);
        const double width = std::floor(maxX + 0.5) - x0 + 1, height = std::floor(maxY + 0.5) - y0 + 1;
        for (MosaicPlacement& p : place) p.x -= x0, p.y -= y0;
        for (int k = 0; k < n; ++k) {
            MosaicPieceReport& r = result.pieces[std::size_t(k)];
            r.placed = placed[std::size_t(k)];
            r.placement = place[std::size_t(k)];
        }
        for (const MosaicLink& l : result.links)
            if (l.used) ++result.pieces[std::size_t(l.a)].links, ++result.pieces[std::size_t(l.b)].links;
        FindGrid(sizes, place, result.rows, result.columns);

        if (n == 2) {
            // The pair engine's own result: Rest attached where it was found.
            // Its Auto takes seams of about one length only; other pairs are
            // joined here like more pieces.
            const MosaicLink& l = result.links.front();
            StitchRequest rq;
            rq.side = l.below ? (l.a == 0 ? kSideBottom : kSideTop) : (l.a == 0 ? kSideRight : kSideLeft);
            rq.blend = request.blend;
            if (CheckStitchRequest(*pieces[0].picture, *pieces[1].picture, rq) == StitchStatus::kOk) {
                progress.End();
                StitchResult pair = RunStitch(*pieces[0].picture, *pieces[1].picture, rq);
                result.pairEngine = true;
                result.pairFinding = pair.finding;
                if (!pair) {
                    MosaicStatus s = pair.status == StitchStatus::kCancelled     ? MosaicStatus::kCancelled
                                     : pair.status == StitchStatus::kOutOfMemory ? MosaicStatus::kOutOfMemory
                                                                                 : MosaicStatus::kPairFailed;
                    return fail(s, pair.message);
                }
                result.picture = std::move(pair.picture);
                return result;
            }
        }

        if (width > kMaxPictureSide || height > kMaxPictureSide || width < 1 || height < 1)
            return fail(MosaicStatus::kTooLarge, "the joined picture would be " + std::to_string(int(width)) +
                                                     " x " + std::to_string(int(height)) +
                                                     " pixels, more than " + std::to_string(kMaxPictureSide) +
                                                     " on a side");
        SolveTones(work, sizes, place, result.links, placed, bytes, result.pieces);

        std::unique_ptr<CPicture> out = NewPictureLike(pieces[0].picture, 0, int(width), int(height));
        if (!out) return fail(MosaicStatus::kOutOfMemory, "not enough memory for the joined picture");
        gauge.position = registerSteps;
        if (!Compose(work, sizes, place, placed, result.pieces, bytes, request.blend, out.get(), gauge,
                     composeSteps)) {
            if (gauge.cancelled) return fail(MosaicStatus::kCancelled, "cancelled");
            return fail(MosaicStatus::kOutOfMemory, "not enough memory to compose the joined picture");
        }
        result.picture = std::move(out);
        return result;
    } catch (const std::bad_alloc&) {
        return fail(MosaicStatus::kOutOfMemory, "not enough memory to join the pieces");
    }
}

std::string DescribeMosaic(const MosaicResult& r) {
    std::string text;
    char line[512];
    int used = 0;
    for (const MosaicLink& l : r.links) used += l.used;
    if (r.rows > 0)
        std::snprintf(line, sizeof line, "mosaic: %d pieces in a grid of %d x %d, %d overlaps used of %d found\n",
                      int(r.pieces.size()), r.rows, r.columns, used, int(r.links.size()));
    else
        std::snprintf(line, sizeof line, "mosaic: %d pieces, %d overlaps used of %d found\n", int(r.pieces.size()),
                      used, int(r.links.size()));
    text += line;
    for (std::size_t k = 0; k < r.pieces.size(); ++k) {
        const MosaicPieceReport& p = r.pieces[k];
        double quality = 0;
        int links = 0;
        for (const MosaicLink& l : r.links)
            if (l.used && (l.a == int(k) || l.b == int(k))) quality += l.quality, ++links;
        const double cx = p.width / 2, cy = p.height / 2;
        const double x = p.placement.x - p.placement.c * cx + p.placement.s * cy;
        const double y = p.placement.y - p.placement.s * cx - p.placement.c * cy;
        // No "-0.0" for a hair's breadth left of zero.
        auto tidy = [](double v, double below) { return std::abs(v) < below ? 0.0 : v; };
        std::snprintf(line, sizeof line,
                      "  %s: at %.1f,%.1f turned %+.2f degrees, scaled %.4f, %d overlap%s, match quality %d%%\n",
                      p.name.c_str(), tidy(x, 0.05), tidy(y, 0.05), tidy(p.placement.TurnDegrees(), 0.005), p.placement.Scale(), links, links == 1 ? "" : "s",
                      links ? int(quality / links * 100 + 0.5) : 0);
        text += line;
    }
    for (const MosaicLink& l : r.links) {
        std::snprintf(line, sizeof line, "  %s %s %s: overlap %d pixels, match quality %d%%, off by %.2f pixels%s\n",
                      r.pieces[std::size_t(l.a)].name.c_str(), l.below ? "above" : "left of",
                      r.pieces[std::size_t(l.b)].name.c_str(), l.overlap, int(l.quality * 100 + 0.5),
                      l.residual, l.used ? "" : " (dropped: does not fit the others)");
        text += line;
    }
    if (r.pairEngine) text += "  " + DescribeFinding(r.pairFinding) + "\n";
    return text;
}
