// The correlation tools of the seam registration, shared with the mosaic's
// search for the pairs that overlap: gray pictures read (and shrunk) from a
// picture, their detail, and the normalised cross-correlation of two of them
// at every offset through the Fourier transform.
#pragma once
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "picture/picture.h"

namespace seamcorr {

constexpr double kCorrPi = 3.14159265358979323846;

// A gray picture of floats (sums of the colour bytes, box-averaged when shrunk).
struct Gray {
    int w = 0, h = 0;
    std::vector<float> px;
    float At(int x, int y) const { return px[std::size_t(y) * w + x]; }
    const float* Row(int y) const { return px.data() + std::size_t(y) * w; }
};

// Columns x0 .. x0 + width - 1 and rows 0 .. height - 1 of picture, shrunk by
// shrink (width and height multiples of it are used).
inline bool ReadGray(CPicture* picture, int x0, int width, int height, int bytes, int shrink, Gray& out) {
    out.w = width / shrink;
    out.h = height / shrink;
    if (out.w <= 0 || out.h <= 0) return false;
    out.px.assign(std::size_t(out.w) * out.h, 0.0f);
    std::vector<std::uint8_t> row(std::size_t(out.w * shrink) * bytes);
    const float scale = 1.0f / float(shrink * shrink);
    for (int y = 0; y < out.h * shrink; ++y) {
        if (!picture->ReadRow(x0, x0 + out.w * shrink - 1, y, row.data())) return false;
        float* dst = out.px.data() + std::size_t(y / shrink) * out.w;
        const std::uint8_t* p = row.data();
        for (int x = 0; x < out.w; ++x) {
            int sum = 0;
            for (int k = 0; k < shrink * bytes; ++k) sum += p[k];
            p += shrink * bytes;
            dst[x] += float(sum) * scale;
        }
    }
    return true;
}

// Keeps the detail of a shrunk picture: each pixel less the mean of the 13 x 13
// around it, so that smooth shades and exposure do not decide the offset.
inline Gray Detail(const Gray& g) {
    Gray out = g;
    const int r = 6, w = g.w, h = g.h;
    std::vector<double> s(std::size_t(w + 1) * (h + 1), 0.0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::size_t i = std::size_t(y + 1) * (w + 1) + x + 1;
            s[i] = g.At(x, y) + s[i - 1] + s[i - (w + 1)] - s[i - (w + 2)];
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int x0 = std::max(0, x - r), x1 = std::min(w, x + r + 1);
            int y0 = std::max(0, y - r), y1 = std::min(h, y + r + 1);
            auto at = [&](int xx, int yy) { return s[std::size_t(yy) * (w + 1) + xx]; };
            double mean = (at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0)) / ((x1 - x0) * (y1 - y0));
            out.px[std::size_t(y) * w + x] = float(g.At(x, y) - mean);
        }
    return out;
}

using Complex = std::complex<double>;

// The product written out: the library's operator guards against infinities
// and NaNs through a call per product, which the transforms, on finite values
// only, do not need. The same arithmetic.
inline Complex Times(Complex a, Complex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// The factors of a radix-2 transform of n values, stage after stage (n / 2
// for the stage of length 2, then n / 4 more, ...), each stage's by the
// recurrence w <- w * step from 1.
inline std::vector<Complex> FftFactors(int n, bool inverse) {
    std::vector<Complex> factors;
    factors.reserve(std::size_t(std::max(n, 1)));
    for (int len = 2; len <= n; len <<= 1) {
        double angle = 2 * kCorrPi / len * (inverse ? 1 : -1);
        Complex step(std::cos(angle), std::sin(angle));
        Complex w(1, 0);
        for (int k = 0; k < len / 2; ++k) {
            factors.push_back(w);
            w = Times(w, step);
        }
    }
    return factors;
}

// In-place radix-2 transform of n (a power of two) contiguous values.
inline void Fft(Complex* v, int n, const std::vector<Complex>& factors) {
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(v[i], v[j]);
    }
    const Complex* w = factors.data();
    for (int len = 2; len <= n; len <<= 1) {
        const int half = len / 2;
        for (int i = 0; i < n; i += len) {
            Complex* lo = v + i;
            Complex* hi = lo + half;
            for (int k = 0; k < half; ++k) {
                Complex u = lo[k], t = Times(hi[k], w[k]);
                lo[k] = u + t;
                hi[k] = u - t;
            }
        }
        w += half;
    }
}

// The transform of the q rows of p values in a; rows from nonzeroRows on
// (when given) hold zeros only, and their row transforms are zeros too.
inline void Fft2(std::vector<Complex>& a, int p, int q, bool inverse, int nonzeroRows = -1) {
    const std::vector<Complex> across = FftFactors(p, inverse), down = FftFactors(q, inverse);
    const int rows = nonzeroRows < 0 ? q : std::min(nonzeroRows, q);
    for (int y = 0; y < rows; ++y) Fft(a.data() + std::size_t(y) * p, p, across);
    // The columns a few at a time, gathered into rows of their own: one pass
    // over the memory per batch rather than per column.
    constexpr int kBatch = 8;
    std::vector<Complex> scratch(std::size_t(kBatch) * q);
    for (int x0 = 0; x0 < p; x0 += kBatch) {
        const int count = std::min(kBatch, p - x0);
        for (int y = 0; y < q; ++y)
            for (int c = 0; c < count; ++c)
                scratch[std::size_t(c) * q + y] = a[std::size_t(y) * p + x0 + c];
        for (int c = 0; c < count; ++c) Fft(scratch.data() + std::size_t(c) * q, q, down);
        for (int y = 0; y < q; ++y)
            for (int c = 0; c < count; ++c)
                a[std::size_t(y) * p + x0 + c] = scratch[std::size_t(c) * q + y];
    }
}

inline int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) p <<= 1;
    return p;
}

// Sums over rectangles.
struct Integral {
    int w = 0, h = 0;
    std::vector<double> s, s2;
    explicit Integral(const std::vector<float>& v, int width, int height)
        : w(width), h(height), s(std::size_t(w + 1) * (h + 1)), s2(s.size()) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double a = v[std::size_t(y) * w + x];
                std::size_t i = std::size_t(y + 1) * (w + 1) + x + 1;
                s[i] = a + s[i - 1] + s[i - (w + 1)] - s[i - (w + 2)];
                s2[i] = a * a + s2[i - 1] + s2[i - (w + 1)] - s2[i - (w + 2)];
            }
    }
    // [x0, x1) x [y0, y1)
    double Sum(const std::vector<double>& t, int x0, int y0, int x1, int y1) const {
        auto at = [&](int x, int y) { return t[std::size_t(y) * (w + 1) + x]; };
        return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
    }
};

// Normalised cross-correlation of b over a for every offset in the ranges,
// each over the part the two share; the best offset, and the best one within
// radius of the hint when one is given. Rows are shifted by at most maxDy:
// the transform's height needs room for that shift only, not for both heights.
struct CorrelationMap {
    int w1, h1, w2, h2, p, q;
    std::vector<double> c;        // raw correlation, wrapped offsets
    Integral ia, ib;
    CorrelationMap(Gray a, Gray b, int maxDy)
        : w1(a.w), h1(a.h), w2(b.w), h2(b.h), p(PowerOfTwoAtLeast(a.w + b.w)),
          q(PowerOfTwoAtLeast(std::max(a.h, b.h) + maxDy + 1)), ia(Centre(a), a.w, a.h),
          ib(Centre(b), b.w, b.h) {
        std::vector<Complex> z(std::size_t(p) * q);
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x) z[std::size_t(y) * p + x].real(a.At(x, y));
        for (int y = 0; y < b.h; ++y)
            for (int x = 0; x < b.w; ++x) z[std::size_t(y) * p + x].imag(b.At(x, y));
        Fft2(z, p, q, false, std::max(a.h, b.h));
        // Both transforms from the one of a + i b; then a's times b's conjugate.
        std::vector<Complex> prod(z.size());
        for (int ky = 0; ky < q; ++ky)
            for (int kx = 0; kx < p; ++kx) {
                Complex zk = z[std::size_t(ky) * p + kx];
                Complex zn = std::conj(z[std::size_t((q - ky) % q) * p + (p - kx) % p]);
                Complex fa = (zk + zn) * 0.5;
                Complex fb = Times(zk - zn, Complex(0, -0.5));
                prod[std::size_t(ky) * p + kx] = Times(fa, std::conj(fb));
            }
        Fft2(prod, p, q, true);
        c.resize(prod.size());
        double norm = 1.0 / (double(p) * q);
        for (std::size_t i = 0; i < prod.size(); ++i) c[i] = prod[i].real() * norm;
    }
    static std::vector<float> Centre(Gray& g) {
        double mean = 0;
        for (float v : g.px) mean += v;
        mean /= double(std::max<std::size_t>(g.px.size(), 1));
        for (float& v : g.px) v = float(v - mean);
        return g.px;
    }
    // Correlation at offset (dx, dy); -2 when the shared part is too small or flat.
    double Ncc(int dx, int dy, int minW, int minH) const {
        int x0 = std::max(0, -dx), x1 = std::min(w2, w1 - dx);
        int y0 = std::max(0, -dy), y1 = std::min(h2, h1 - dy);
        if (x1 - x0 < minW || y1 - y0 < minH) return -2;
        double n = double(x1 - x0) * (y1 - y0);
        double sb = ib.Sum(ib.s, x0, y0, x1, y1), sb2 = ib.Sum(ib.s2, x0, y0, x1, y1);
        double sa = ia.Sum(ia.s, x0 + dx, y0 + dy, x1 + dx, y1 + dy);
        double sa2 = ia.Sum(ia.s2, x0 + dx, y0 + dy, x1 + dx, y1 + dy);
        double va = sa2 - sa * sa / n, vb = sb2 - sb * sb / n;
        if (va <= 1e-6 * n || vb <= 1e-6 * n) return -2;
        double raw = c[std::size_t(((dy % q) + q) % q) * p + ((dx % p) + p) % p];
        double ncc = (raw - sa * sb / n) / std::sqrt(va * vb);
        // Small shared parts correlate by chance: a penalty that fades with size.
        return ncc - 1.5 / std::sqrt(n);
    }
};

// Where a peak lies between its neighbours, -0.5 .. 0.5 from the centre.
inline double ParabolaOffset(double left, double centre, double right) {
    double d = left - 2 * centre + right;
    if (d >= 0) return 0;
    double o = 0.5 * (left - right) / d;
    return std::clamp(o, -0.5, 0.5);
}

}  // namespace seamcorr
