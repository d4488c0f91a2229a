// Packed pixel rows: the one set of helpers that reads and writes them, for
// the picture, the image files, colour conversion, rescaling and the view.
//
// The layouts, as a picture stores its rows:
//   1 and 4 bits   palette indices packed from the high bits down: pixel 0 is
//                  bit 7 of the first byte (1 bit) or its high nibble (4 bits)
//   8 bits         one palette index a byte
//   15/16 bits     5-5-5 words, little-endian, blue in the low five bits
//   24 bits        blue, green, red
//   32 bits        blue, green, red and an unused byte
// "Colours" below are blue, green, red triples, one a pixel. Counts and
// columns are pixels; a row buffer holds at least (count * bits + 7) / 8 bytes.
#pragma once
#include <cstdint>
#include <cstring>

namespace packing {

// ---- one pixel ------------------------------------------------------------

// The index of column x in the byte that holds it (1 or 4 bits: only x's
// place within the byte counts).
template <int Bits>
constexpr unsigned IndexInByte(std::uint8_t byte, int x) {
    static_assert(Bits == 1 || Bits == 4);
    if constexpr (Bits == 4) return (x & 1) ? byte & 15u : unsigned(byte) >> 4;
    else return (unsigned(byte) >> (7 - (x & 7))) & 1u;
}

// The byte with column x's index replaced (the index is cut to Bits bits).
template <int Bits>
constexpr std::uint8_t WithIndexInByte(std::uint8_t byte, int x, unsigned index) {
    static_assert(Bits == 1 || Bits == 4);
    if constexpr (Bits == 4)
        return (x & 1) ? std::uint8_t((byte & 0xF0u) | (index & 15u))
                       : std::uint8_t((byte & 0x0Fu) | ((index & 15u) << 4));
    else {
        const unsigned mask = 0x80u >> (x & 7);
        return (index & 1u) ? std::uint8_t(byte | mask) : std::uint8_t(byte & ~mask);
    }
}

// The index at column x of a 1-, 4- or 8-bit row.
template <int Bits>
constexpr unsigned GetIndex(const std::uint8_t* row, int x) {
    if constexpr (Bits == 8) return row[x];
    else if constexpr (Bits == 4) return IndexInByte<4>(row[x >> 1], x);
    else return IndexInByte<1>(row[x >> 3], x);
}

template <int Bits>
constexpr void SetIndex(std::uint8_t* row, int x, unsigned index) {
    if constexpr (Bits == 8) row[x] = std::uint8_t(index);
    else if constexpr (Bits == 4) row[x >> 1] = WithIndexInByte<4>(row[x >> 1], x, index);
    else row[x >> 3] = WithIndexInByte<1>(row[x >> 3], x, index);
}

// The same with the depth known only at run time (8, 4, else 1).
inline unsigned GetIndex(const std::uint8_t* row, int x, int bits) {
    return bits == 8 ? GetIndex<8>(row, x) : bits == 4 ? GetIndex<4>(row, x) : GetIndex<1>(row, x);
}
inline void SetIndex(std::uint8_t* row, int x, int bits, unsigned index) {
    if (bits == 8) SetIndex<8>(row, x, index);
    else if (bits == 4) SetIndex<4>(row, x, index);
    else SetIndex<1>(row, x, index);
}

// A 5-5-5 word as a colour: each five-bit level widened to eight bits with
// its top bits repeated below (31 becomes 255).
inline void Expand555(unsigned word, std::uint8_t* bgr) {
    const unsigned b = word & 31u, g = (word >> 5) & 31u, r = (word >> 10) & 31u;
    bgr[0] = std::uint8_t((b << 3) | (b >> 2));
    bgr[1] = std::uint8_t((g << 3) | (g >> 2));
    bgr[2] = std::uint8_t((r << 3) | (r >> 2));
}

// A colour as a 5-5-5 word (the top five bits of each level).
inline unsigned Pack555(const std::uint8_t* bgr) {
    return unsigned(bgr[0] >> 3) | (unsigned(bgr[1] >> 3) << 5) | (unsigned(bgr[2] >> 3) << 10);
}

// ---- rows -----------------------------------------------------------------

// Indices of a 1-, 4- or 8-bit row, one a byte.
template <int Bits>
void UnpackIndices(const std::uint8_t* row, int count, std::uint8_t* out) {
    static_assert(Bits == 1 || Bits == 4 || Bits == 8);
    if (count <= 0) return;
    if constexpr (Bits == 8) {
        std::memcpy(out, row, std::size_t(count));
    } else if constexpr (Bits == 4) {
        int i = 0;
        for (; i + 1 < count; i += 2, ++row) {
            out[i] = std::uint8_t(*row >> 4);
            out[i + 1] = std::uint8_t(*row & 15);
        }
        if (i < count) out[i] = std::uint8_t(*row >> 4);
    } else {
        int i = 0;
        for (; i + 8 <= count; i += 8, ++row) {
            const unsigned b = *row;
            for (int k = 0; k < 8; ++k) out[i + k] = std::uint8_t((b >> (7 - k)) & 1u);
        }
        for (int k = 0; i < count; ++i, ++k) out[i] = std::uint8_t((unsigned(*row) >> (7 - k)) & 1u);
    }
}

// One byte an index to a packed 1-, 4- or 8-bit row; the bits of the last
// byte beyond count are cleared.
template <int Bits>
void PackIndices(const std::uint8_t* in, int count, std::uint8_t* row) {
    static_assert(Bits == 1 || Bits == 4 || Bits == 8);
    if (count <= 0) return;
    if constexpr (Bits == 8) {
        std::memcpy(row, in, std::size_t(count));
    } else if constexpr (Bits == 4) {
        int i = 0;
        for (; i + 1 < count; i += 2) *row++ = std::uint8_t((in[i] << 4) | (in[i + 1] & 15));
        if (i < count) *row = std::uint8_t(in[i] << 4);
    } else {
        int i = 0;
        for (; i + 8 <= count; i += 8) {
            const std::uint8_t* p = in + i;
            *row++ = std::uint8_t(((p[0] & 1) << 7) | ((p[1] & 1) << 6) | ((p[2] & 1) << 5) |
                                  ((p[3] & 1) << 4) | ((p[4] & 1) << 3) | ((p[5] & 1) << 2) |
                                  ((p[6] & 1) << 1) | (p[7] & 1));
        }
        if (i < count) {
            std::uint8_t last = 0;
            for (int k = 0; i < count; ++i, ++k) last = std::uint8_t(last | ((in[i] & 1) << (7 - k)));
            *row = last;
        }
    }
}

// The same with the depth known only at run time (8, 4, else 1).
inline void UnpackIndices(const std::uint8_t* row, int count, int bits, std::uint8_t* out) {
    if (bits == 8) UnpackIndices<8>(row, count, out);
    else if (bits == 4) UnpackIndices<4>(row, count, out);
    else UnpackIndices<1>(row, count, out);
}
inline void PackIndices(const std::uint8_t* in, int count, int bits, std::uint8_t* row) {
    if (bits == 8) PackIndices<8>(in, count, row);
    else if (bits == 4) PackIndices<4>(in, count, row);
    else PackIndices<1>(in, count, row);
}

// Colours of a 16- (5-5-5), 24- or 32-bit row.
template <int Bits>
void UnpackColours(const std::uint8_t* row, int count, std::uint8_t* bgr) {
    static_assert(Bits == 16 || Bits == 24 || Bits == 32);
    if (count <= 0) return;
    if constexpr (Bits == 24) {
        std::memcpy(bgr, row, std::size_t(count) * 3);
    } else if constexpr (Bits == 32) {
        for (int i = 0; i < count; ++i) std::memcpy(bgr + 3 * i, row + 4 * i, 3);
    } else {
        for (int i = 0; i < count; ++i)
            Expand555(unsigned(row[2 * i]) | (unsigned(row[2 * i + 1]) << 8), bgr + 3 * i);
    }
}

// Colours to a 16- (5-5-5), 24- or 32-bit row (the unused byte is 0).
template <int Bits>
void PackColours(const std::uint8_t* bgr, int count, std::uint8_t* row) {
    static_assert(Bits == 16 || Bits == 24 || Bits == 32);
    if (count <= 0) return;
    if constexpr (Bits == 24) {
        std::memcpy(row, bgr, std::size_t(count) * 3);
    } else if constexpr (Bits == 32) {
        for (int i = 0; i < count; ++i) {
            std::memcpy(row + 4 * i, bgr + 3 * i, 3);
            row[4 * i + 3] = 0;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            const unsigned word = Pack555(bgr + 3 * i);
            row[2 * i] = std::uint8_t(word);
            row[2 * i + 1] = std::uint8_t(word >> 8);
        }
    }
}

}  // namespace packing
