// Pixel kernels of the geometric transforms.
#include "picture/transform_rows.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "picture/picture_bits.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TRANSFORM_ROWS_SSSE3 1
#endif

namespace transform_rows {
namespace {


// Reverses the pixels of a sub-byte row: the bytes are taken from the end,
// each with its pixels reversed inside it, and the whole stream is shifted
// left by the bits of the unused pixels in the source's last byte.
template <int Bits>
void ReverseSubByte(std::uint8_t* d, const std::uint8_t* s, int count) {
    constexpr int perByte = 8 / Bits;
    const int bytes = (count + perByte - 1) / perByte;
    const int shift = (bytes * perByte - count) * Bits;  // bits to drop at the front
    auto flip = [](std::uint8_t v) -> unsigned {
        if constexpr (Bits == 1) return picture_bits::kReversedBits[v];
        else return unsigned(std::uint8_t((v << 4) | (v >> 4)));
    };
    const std::uint8_t keepLastMask =
        (count % perByte) ? std::uint8_t(0xFFu >> ((count % perByte) * Bits)) : 0;
    const std::uint8_t lastOld = d[bytes - 1];
    if (shift == 0) {
        for (int m = 0; m < bytes; ++m) d[m] = std::uint8_t(flip(s[bytes - 1 - m]));
    } else {
        unsigned current = flip(s[bytes - 1]);
        for (int m = 0; m < bytes; ++m) {
            unsigned next = m + 1 < bytes ? flip(s[bytes - 2 - m]) : 0u;
            d[m] = std::uint8_t((current << shift) | (next >> (8 - shift)));
            current = next;
        }
    }
    if (keepLastMask)
        d[bytes - 1] = std::uint8_t((d[bytes - 1] & ~keepLastMask) | (lastOld & keepLastMask));
}

#ifdef TRANSFORM_ROWS_SSSE3
// Byte shuffles for reversing 16 pixels of P bytes held in P vectors of 16
// bytes: output vector k takes byte j from source vector v at
// kShuffle[k][v][j] (0x80: from another vector).
template <int P>
struct ReverseShuffle {
    std::uint8_t mask[P][P][16];
    constexpr ReverseShuffle() : mask{} {
        for (int k = 0; k < P; ++k)
            for (int v = 0; v < P; ++v)
                for (int j = 0; j < 16; ++j) {
                    const int b = 16 * k + j, pixel = b / P, part = b % P;
                    const int from = P * (15 - pixel) + part;
                    mask[k][v][j] = std::uint8_t(from / 16 == v ? from % 16 : 0x80);
                }
    }
};

// Reverses groups of 16 pixels from the end of the source; the pixels done.
template <int P>
__attribute__((target("ssse3"))) int ReverseVector(std::uint8_t* d, const std::uint8_t* s,
                                                   int count) {
    alignas(16) static constexpr ReverseShuffle<P> shuffle{};
    const std::uint8_t* end = s + std::size_t(count) * P;
    int done = 0;
    for (; done + 16 <= count; done += 16, d += 16 * P) {
        end -= 16 * P;
        __m128i in[P];
        for (int v = 0; v < P; ++v)
            in[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end + 16 * v));
        for (int k = 0; k < P; ++k) {
            __m128i out = _mm_setzero_si128();
            for (int v = 0; v < P; ++v) {
                const int first = (16 * k) / P, last = (16 * k + 15) / P;  // output pixels
                const int lo = (P * (15 - last)) / 16, hi = (P * (15 - first) + P - 1) / 16;
                if (v < lo || v > hi) continue;
                const __m128i m =
                    _mm_load_si128(reinterpret_cast<const __m128i*>(shuffle.mask[k][v]));
                out = _mm_or_si128(out, _mm_shuffle_epi8(in[v], m));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16 * k), out);
        }
    }
    return done;
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

// Reverses whole pixels of P bytes.
template <int P>
void ReverseWhole(std::uint8_t* d, const std::uint8_t* s, int count) {
#ifdef TRANSFORM_ROWS_SSSE3
    if constexpr (P == 1 || P == 3) {
        if (HasSsse3()) {
            const int done = ReverseVector<P>(d, s, count);
            d += std::size_t(done) * P;
            count -= done;  // the first pixels of the source remain
        }
    }
#endif
    const std::uint8_t* p = s + std::size_t(count - 1) * P;
    if constexpr (P == 3) {
        // Four pixels (12 bytes) at a time keeps the copies word sized.
        int i = 0;
        for (; i + 4 <= count; i += 4, d += 12, p -= 12) {
            std::uint8_t t[12];
            std::memcpy(t, p - 9, 12);
            d[0] = t[9], d[1] = t[10], d[2] = t[11];
            d[3] = t[6], d[4] = t[7], d[5] = t[8];
            d[6] = t[3], d[7] = t[4], d[8] = t[5];
            d[9] = t[0], d[10] = t[1], d[11] = t[2];
        }
        for (; i < count; ++i, d += 3, p -= 3) d[0] = p[0], d[1] = p[1], d[2] = p[2];
    } else {
        for (int i = 0; i < count; ++i, d += P, p -= P) std::memcpy(d, p, P);
    }
}

#ifdef TRANSFORM_ROWS_SSSE3
// Four by four 24-bit pixels: destination row m, pixel k takes the source
// pixel at s + m * si + k * sj, with si = 3 or -3. Each source row's four
// pixels are spread to 32-bit lanes (in ascending m), the lanes transposed
// and packed back to 12 bytes. Loads and stores touch exactly the 12 bytes
// of each row.
__attribute__((target("ssse3"))) void Transpose24Block(std::uint8_t* d, std::ptrdiff_t ds,
                                                       const std::uint8_t* s, std::ptrdiff_t si,
                                                       std::ptrdiff_t sj) {
    const bool reversed = si < 0;
    const std::uint8_t* first = reversed ? s + 3 * si : s;  // lowest address of a row's 4 pixels
    const __m128i spread = reversed
                               ? _mm_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1)
                               : _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    __m128i row[4];
    for (int k = 0; k < 4; ++k) {
        const std::uint8_t* p = first + k * sj;
        std::int32_t tail;
        std::memcpy(&tail, p + 8, 4);
        row[k] = _mm_shuffle_epi8(
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                               _mm_cvtsi32_si128(tail)),
            spread);
    }
    const __m128i t0 = _mm_unpacklo_epi32(row[0], row[1]), t1 = _mm_unpacklo_epi32(row[2], row[3]);
    const __m128i t2 = _mm_unpackhi_epi32(row[0], row[1]), t3 = _mm_unpackhi_epi32(row[2], row[3]);
    const __m128i out[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1),
                            _mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)};
    for (int m = 0; m < 4; ++m) {
        const __m128i packed = _mm_shuffle_epi8(out[m], pack);
        std::uint8_t* q = d + m * ds;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q), packed);
        const std::int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
        std::memcpy(q + 8, &tail, 4);
    }
}
#endif

template <int P>
void TransposeWhole(std::uint8_t* d, std::ptrdiff_t ds, const std::uint8_t* s, std::ptrdiff_t si,
                    std::ptrdiff_t sj, int rows, int columns) {
    bool vector = false;
#ifdef TRANSFORM_ROWS_SSSE3
    vector = P == 3 && (si == 3 || si == -3) && HasSsse3();
#endif
    // Blocks keep the few source rows one block touches in the cache while
    // the destination rows are written.
    constexpr int kBlock = 32;
    for (int i0 = 0; i0 < rows; i0 += kBlock) {
        const int i1 = std::min(rows, i0 + kBlock);
        for (int j0 = 0; j0 < columns; j0 += kBlock) {
            const int j1 = std::min(columns, j0 + kBlock);
            int i = i0;
#ifdef TRANSFORM_ROWS_SSSE3
            if (vector) {
                // Whole 4 x 4 blocks, then the columns left over in these rows.
                for (; i + 4 <= i1; i += 4) {
                    int j = j0;
                    for (; j + 4 <= j1; j += 4)
                        Transpose24Block(d + i * ds + std::ptrdiff_t(j) * P, ds, s + i * si + j * sj,
                                         si, sj);
                    for (int r = i; r < i + 4; ++r) {
                        std::uint8_t* out = d + r * ds + std::ptrdiff_t(j) * P;
                        const std::uint8_t* in = s + r * si + j * sj;
                        for (int c = j; c < j1; ++c, out += P, in += sj) std::memcpy(out, in, P);
                    }
                }
            }
#endif
            for (; i < i1; ++i) {
                std::uint8_t* out = d + i * ds + std::ptrdiff_t(j0) * P;
                const std::uint8_t* in = s + i * si + j0 * sj;
                for (int j = j0; j < j1; ++j, out += P, in += sj) std::memcpy(out, in, P);
            }
        }
    }
    (void)vector;
}

}  // namespace

bool SupportedBits(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
           bits == 32;
}

void ReversePixels(std::uint8_t* destination, const std::uint8_t* source, int count, int bits) {
    if (count <= 0) return;
    switch (bits) {
    case 1: ReverseSubByte<1>(destination, source, count); break;
    case 4: ReverseSubByte<4>(destination, source, count); break;
    case 8: ReverseWhole<1>(destination, source, count); break;
    case 15:
    case 16: ReverseWhole<2>(destination, source, count); break;
    case 24: ReverseWhole<3>(destination, source, count); break;
    case 32: ReverseWhole<4>(destination, source, count); break;
    default: break;
    }
}

void TransposePixels(std::uint8_t* destination, std::ptrdiff_t destinationStride,
                     const std::uint8_t* source, std::ptrdiff_t sourceStepI,
                     std::ptrdiff_t sourceStepJ, int rows, int columns, int bits) {
    switch (bits) {
    case 8:
        TransposeWhole<1>(destination, destinationStride, source, sourceStepI, sourceStepJ, rows,
                          columns);
        break;
    case 15:
    case 16:
        TransposeWhole<2>(destination, destinationStride, source, sourceStepI, sourceStepJ, rows,
                          columns);
        break;
    case 24:
        TransposeWhole<3>(destination, destinationStride, source, sourceStepI, sourceStepJ, rows,
                          columns);
        break;
    case 32:
        TransposeWhole<4>(destination, destinationStride, source, sourceStepI, sourceStepJ, rows,
                          columns);
        break;
    default: break;
    }
}

}  // namespace transform_rows
