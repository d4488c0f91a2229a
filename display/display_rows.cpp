#include "display/display_rows.h"

#include <algorithm>
#include <cstring>

#include "picture/colour_converter_kernels.h"
#include "picture/palette_map.h"
#include "picture/picture.h"
#include "picture/pixel_packing.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace display {

int DisplayPaletteType(int displayBits) {
    if (displayBits <= 1) return ptBlackWhite;
    if (displayBits <= 4) return ptColor16;
    return ptColor256;
}

void RowToBgr(int bits, const std::uint8_t* row, int count, const RgbQuad* table, int tableColours,
              std::uint8_t* bgr) {
    const colour::FormatOps& ops = colour::OpsForBits(bits);
    if (!ops.indexed) {
        ops.unpack(row, count, bgr);
        return;
    }
    // Indices first, in place at the end of the triples, then looked up.
    std::uint8_t* indices = bgr + 2 * std::size_t(count);
    ops.unpack(row, count, indices);
    for (int i = 0; i < count; ++i) {
        const int index = indices[i];
        std::uint8_t* out = bgr + 3 * std::size_t(i);
        if (table && index < tableColours) {
            out[0] = table[index].blue;
            out[1] = table[index].green;
            out[2] = table[index].red;
        } else {
            out[0] = out[1] = out[2] = 0;
        }
    }
}

void CopyPackedPixel(int bits, const std::uint8_t* from, int fromIndex, std::uint8_t* to,
                     int toIndex) {
    if (bits == 1 || bits == 4) {
        packing::SetIndex(to, toIndex, bits, packing::GetIndex(from, fromIndex, bits));
    } else {
        const std::size_t n = std::size_t(bits == 15 ? 16 : bits) / 8;
        std::memcpy(to + n * std::size_t(toIndex), from + n * std::size_t(fromIndex), n);
    }
}

void DetailReducer::SetupFactor(int sourceWidth, int factor) {
    factor = std::max(factor, 1);
    std::vector<int> starts;
    for (int x = 0; x < sourceWidth; x += factor) starts.push_back(x);
    starts.push_back(std::max(sourceWidth, 0));
    Setup(sourceWidth, std::move(starts));
}

void DetailReducer::SetupSpread(int sourceWidth, int outputWidth) {
    outputWidth = std::clamp(outputWidth, 1, std::max(sourceWidth, 1));
    std::vector<int> starts(std::size_t(outputWidth) + 1);
    for (int j = 0; j <= outputWidth; ++j)
        starts[std::size_t(j)] = int(std::int64_t(sourceWidth) * j / outputWidth);
    Setup(sourceWidth, std::move(starts));
}

void DetailReducer::Setup(int sourceWidth, std::vector<int> starts) {
    sourceWidth_ = std::max(sourceWidth, 0);
    starts_ = std::move(starts);
    const std::size_t bytes = 3 * std::size_t(sourceWidth_);
    columnSum_.assign(bytes, 0);
    columnMin_.assign(bytes, 255);
    columnMax_.assign(bytes, 0);
    const std::size_t out = 3 * std::size_t(OutputWidth());
    sum_.assign(out, 0);
    min_.assign(out, 255);
    max_.assign(out, 0);
    columnRows_ = 0;
    blockRows_ = 0;
}

void DetailReducer::Add(const std::uint8_t* bgr) {
    const std::size_t n = 3 * std::size_t(sourceWidth_);
    std::uint16_t* sum = columnSum_.data();
    std::uint8_t* lo = columnMin_.data();
    std::uint8_t* hi = columnMax_.data();
    std::size_t i = 0;
    if (columnRows_ == 0) {
        // The first row of a run sets the columns instead of adding to them.
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + i));
            auto* s = reinterpret_cast<__m128i*>(sum + i);
            _mm_storeu_si128(s, _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(s + 1, _mm_unpackhi_epi8(v, zero));
        }
#endif
        for (; i < n; ++i) sum[i] = bgr[i];
        std::memcpy(lo, bgr, n);
        std::memcpy(hi, bgr, n);
    } else {
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + i));
            auto* s = reinterpret_cast<__m128i*>(sum + i);
            _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(v, zero)));
            _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(v, zero)));
            auto* l = reinterpret_cast<__m128i*>(lo + i);
            auto* h = reinterpret_cast<__m128i*>(hi + i);
            _mm_storeu_si128(l, _mm_min_epu8(_mm_loadu_si128(l), v));
            _mm_storeu_si128(h, _mm_max_epu8(_mm_loadu_si128(h), v));
        }
#endif
        for (; i < n; ++i) {
            sum[i] = std::uint16_t(sum[i] + bgr[i]);
            lo[i] = std::min(lo[i], bgr[i]);
            hi[i] = std::max(hi[i], bgr[i]);
        }
    }
    // 256 rows of 255 still fit the column sums; fold before they could not.
    if (++columnRows_ == 256) Fold();
}

void DetailReducer::Fold() {
    if (columnRows_ == 0) return;
    const int out = OutputWidth();
    const std::uint16_t* cs = columnSum_.data();
    const std::uint8_t* cl = columnMin_.data();
    const std::uint8_t* ch = columnMax_.data();
    for (int j = 0; j < out; ++j) {
        std::uint32_t s0 = 0, s1 = 0, s2 = 0;
        std::uint8_t l0 = 255, l1 = 255, l2 = 255, h0 = 0, h1 = 0, h2 = 0;
        const std::size_t to = 3 * std::size_t(starts_[std::size_t(j) + 1]);
        for (std::size_t i = 3 * std::size_t(starts_[std::size_t(j)]); i < to; i += 3) {
            s0 += cs[i], s1 += cs[i + 1], s2 += cs[i + 2];
            l0 = std::min(l0, cl[i]), l1 = std::min(l1, cl[i + 1]), l2 = std::min(l2, cl[i + 2]);
            h0 = std::max(h0, ch[i]), h1 = std::max(h1, ch[i + 1]), h2 = std::max(h2, ch[i + 2]);
        }
        // A fold covers at most 256 rows of a block no wider than the row:
        // its sums fit 32 bits for any row a picture can have.
        std::uint64_t* sum = &sum_[3 * std::size_t(j)];
        std::uint8_t* lo = &min_[3 * std::size_t(j)];
        std::uint8_t* hi = &max_[3 * std::size_t(j)];
        sum[0] += s0, sum[1] += s1, sum[2] += s2;
        lo[0] = std::min(lo[0], l0), lo[1] = std::min(lo[1], l1), lo[2] = std::min(lo[2], l2);
        hi[0] = std::max(hi[0], h0), hi[1] = std::max(hi[1], h1), hi[2] = std::max(hi[2], h2);
    }
    blockRows_ += std::uint64_t(columnRows_);
    columnRows_ = 0;
}

void DetailReducer::Take(std::uint8_t* bgr) {
    const int out = OutputWidth();
    const std::uint16_t* cs = columnSum_.data();
    const std::uint8_t* cl = columnMin_.data();
    const std::uint8_t* ch = columnMax_.data();
    DetailDivider divide(1);
    if (blockRows_ == 0) {
        // The block's rows are all in the columns (the usual case): straight
        // from them to the output.
        const std::uint64_t rows = std::uint64_t(columnRows_);
        for (int j = 0; j < out; ++j) {
            const int from = starts_[std::size_t(j)], to = starts_[std::size_t(j) + 1];
            const std::uint64_t count = rows * std::uint64_t(to - from);
            std::uint8_t* o = bgr + 3 * std::size_t(j);
            if (!count) {
                o[0] = o[1] = o[2] = 0;
                continue;
            }
            if (count != divide.Count()) divide = DetailDivider(count);
            std::uint32_t s0 = 0, s1 = 0, s2 = 0;
            std::uint8_t l0 = 255, l1 = 255, l2 = 255, h0 = 0, h1 = 0, h2 = 0;
            for (std::size_t i = 3 * std::size_t(from); i < 3 * std::size_t(to); i += 3) {
                s0 += cs[i], s1 += cs[i + 1], s2 += cs[i + 2];
                l0 = std::min(l0, cl[i]), l1 = std::min(l1, cl[i + 1]), l2 = std::min(l2, cl[i + 2]);
                h0 = std::max(h0, ch[i]), h1 = std::max(h1, ch[i + 1]), h2 = std::max(h2, ch[i + 2]);
            }
            o[0] = divide(s0, l0, h0);
            o[1] = divide(s1, l1, h1);
            o[2] = divide(s2, l2, h2);
        }
        columnRows_ = 0;
        return;
    }
    Fold();
    for (int j = 0; j < out; ++j) {
        const std::uint64_t count =
            blockRows_ * std::uint64_t(starts_[std::size_t(j) + 1] - starts_[std::size_t(j)]);
        if (count != divide.Count() && count) divide = DetailDivider(count);
        for (std::size_t o = 3 * std::size_t(j); o < 3 * std::size_t(j) + 3; ++o)
            bgr[o] = count ? divide(sum_[o], min_[o], max_[o]) : 0;
    }
    std::fill(sum_.begin(), sum_.end(), 0);
    std::fill(min_.begin(), min_.end(), std::uint8_t(255));
    std::fill(max_.begin(), max_.end(), std::uint8_t(0));
    blockRows_ = 0;
}

bool DisplayDiffusion::Setup(int displayBits) {
    if (displayBits != 1 && displayBits != 4 && displayBits != 8) return false;
    const int type = DisplayPaletteType(displayBits);
    std::unique_ptr<Palette> palette = CreateStandardPalette(type);
    if (!palette || !StandardCellMap(type, cellMap_)) return false;
    colours_ = std::min(palette->Count(), 256);
    for (int i = 0; i < colours_; ++i) {
        rgb_[3 * i] = (*palette)[i].red;
        rgb_[3 * i + 1] = (*palette)[i].green;
        rgb_[3 * i + 2] = (*palette)[i].blue;
    }
    bits_ = displayBits;
    Reset();
    return true;
}

void DisplayDiffusion::Reset() {
    std::fill(current_.begin(), current_.end(), std::int16_t(0));
    std::fill(next_.begin(), next_.end(), std::int16_t(0));
}

void DisplayDiffusion::Row(const std::uint8_t* bgr, int count, std::uint8_t* indices) {
    if (count <= 0) return;
    const std::size_t need = 3 * std::size_t(count);
    if (current_.size() < need) {
        current_.resize(need, 0);
        next_.resize(need, 0);
    }
    std::int16_t* cur = current_.data();
    std::int16_t* below = next_.data();
    std::fill(below, below + need, std::int16_t(0));
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* p = bgr + 3 * std::size_t(i);
        std::int16_t* e = cur + 3 * i;
        const int r = std::clamp(p[2] + e[0], 0, 255);
        const int g = std::clamp(p[1] + e[1], 0, 255);
        const int b = std::clamp(p[0] + e[2], 0, 255);
        const std::uint8_t index = cellMap_[CellOf(r, g, b)];
        indices[i] = index;
        const std::uint8_t* c = rgb_ + 3 * index;
        const int err[3] = {r - c[0], g - c[1], b - c[2]};
        const bool first = i == 0, last = i == count - 1;
        for (int k = 0; k < 3; ++k) {
            const int error = err[k];
            int rest = error;
            if (first && last) {
                // a row of one pixel: everything below
            } else if (first) {
                const int quarter = (error + 2) / 4;
                e[3 + k] = std::int16_t(e[3 + k] + quarter);
                below[3 * (i + 1) + k] = std::int16_t(below[3 * (i + 1) + k] + quarter);
                rest -= 2 * quarter;
            } else if (last) {
                const int half = error / 2;
                below[3 * (i - 1) + k] = std::int16_t(below[3 * (i - 1) + k] + half);
                rest -= half;
            } else {
                const int ahead = error * 7 / 16, left = error * 3 / 16, right = error / 16;
                e[3 + k] = std::int16_t(e[3 + k] + ahead);
                below[3 * (i - 1) + k] = std::int16_t(below[3 * (i - 1) + k] + left);
                below[3 * (i + 1) + k] = std::int16_t(below[3 * (i + 1) + k] + right);
                rest -= ahead + left + right;
            }
            below[3 * i + k] = std::int16_t(below[3 * i + k] + rest);
        }
    }
    std::swap(current_, next_);
}

}  // namespace display
