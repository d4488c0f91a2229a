#include "picture/picture_bits.h"

#include <array>
#include <cstring>
#include <utility>

namespace picture_bits {
namespace {

inline std::uint64_t LoadBigEndian(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

inline void StoreBigEndian(std::uint8_t* p, std::uint64_t v) {
    v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

// Sixty-four bytes as thirty-two 16-bit lanes: a lane shift moves bits across
// the byte boundary inside the lane, which a byte mask then removes, so
// shifting and masking gives every byte its own shift. The vectors stay
// inside the loops (no vector arguments), so every build takes the same
// calling convention.
typedef std::uint16_t Lanes __attribute__((vector_size(64)));
constexpr std::size_t kLaneBytes = sizeof(Lanes);


inline std::uint8_t SwapNibbles(std::uint8_t b) { return std::uint8_t((b << 4) | (b >> 4)); }

}  // namespace

// Where the processor has wider vectors the shifts use them.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PICTURE_BITS_WIDE __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define PICTURE_BITS_WIDE
#endif

PICTURE_BITS_WIDE
void ShiftLeft(std::uint8_t* dst, const std::uint8_t* src, std::size_t count, std::size_t srcCount,
               unsigned shift) {
    const unsigned back = 8 - shift;
    std::size_t i = 0;
    // A vector of bytes at a time while one more source byte is at hand,
    // then whole words while nine are.
    Lanes high, low;  // byte masks of the bits that stay in their byte
    std::memset(&high, std::uint8_t(0xFFu << shift), sizeof high);
    std::memset(&low, std::uint8_t(0xFFu >> back), sizeof low);
    // Long runs first step bytewise to a vector boundary of the source, so
    // that half the loads do not straddle cache lines.
    if (count >= 4 * kLaneBytes && srcCount >= count) {
        const std::size_t head = (kLaneBytes - reinterpret_cast<std::uintptr_t>(src) % kLaneBytes) % kLaneBytes;
        for (; i < head; ++i) dst[i] = std::uint8_t((src[i] << shift) | (src[i + 1] >> back));
    }
    for (; i + kLaneBytes <= count && i + kLaneBytes + 1 <= srcCount; i += kLaneBytes) {
        Lanes a, b;
        std::memcpy(&a, src + i, kLaneBytes);
        std::memcpy(&b, src + i + 1, kLaneBytes);
        const Lanes r = ((a << shift) & high) | ((b >> back) & low);
        std::memcpy(dst + i, &r, kLaneBytes);
    }
    for (; i + 8 <= count && i + 9 <= srcCount; i += 8)
        StoreBigEndian(dst + i, (LoadBigEndian(src + i) << shift) | (src[i + 8] >> back));
    for (; i < count; ++i) {
        const unsigned a = i < srcCount ? src[i] : 0;
        const unsigned b = i + 1 < srcCount ? src[i + 1] : 0;
        dst[i] = std::uint8_t((a << shift) | (b >> back));
    }
}

PICTURE_BITS_WIDE
void ShiftRight(std::uint8_t* dst, const std::uint8_t* src, std::size_t count, std::size_t srcCount,
                unsigned shift) {
    const unsigned back = 8 - shift;
    if (count == 0) return;
    dst[0] = std::uint8_t(srcCount > 0 ? src[0] >> shift : 0);
    std::size_t i = 1;
    Lanes high, low;  // byte masks of the bits that stay in their byte
    std::memset(&high, std::uint8_t(0xFFu << back), sizeof high);
    std::memset(&low, std::uint8_t(0xFFu >> shift), sizeof low);
    for (; i + kLaneBytes <= count && i + kLaneBytes <= srcCount; i += kLaneBytes) {
        Lanes a, b;
        std::memcpy(&a, src + i - 1, kLaneBytes);
        std::memcpy(&b, src + i, kLaneBytes);
        const Lanes r = ((a << back) & high) | ((b >> shift) & low);
        std::memcpy(dst + i, &r, kLaneBytes);
    }
    for (; i + 8 <= count && i + 8 <= srcCount; i += 8)
        StoreBigEndian(dst + i,
                       (LoadBigEndian(src + i) >> shift) | (std::uint64_t(src[i - 1]) << (64 - shift)));
    for (; i < count; ++i) {
        const unsigned a = i - 1 < srcCount ? src[i - 1] : 0;
        const unsigned b = i < srcCount ? src[i] : 0;
        dst[i] = std::uint8_t((a << back) | (b >> shift));
    }
}

void MirrorBytes(std::uint8_t* bytes, std::size_t count, int bits) {
    auto mirror = [bits](std::uint8_t b) {
        return bits == 1 ? kReversedBits[b] : SwapNibbles(b);
    };
    std::size_t i = 0, j = count;
    while (i + 1 < j) {
        --j;
        const std::uint8_t a = mirror(bytes[i]);
        bytes[i] = mirror(bytes[j]);
        bytes[j] = a;
        ++i;
    }
    if (i + 1 == j) bytes[i] = mirror(bytes[i]);
}

}  // namespace picture_bits
