// Bulk shifting and mirroring of packed 1- and 4-bit rows, a machine word at
// a time. Used by the picture's row operations only.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace picture_bits {

// Each byte with its eight bits in reverse order (1-bit pixels mirrored).
constexpr std::array<std::uint8_t, 256> MakeReversedBits() {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b)
            if (i & (1 << b)) r |= 0x80 >> b;
        table[std::size_t(i)] = std::uint8_t(r);
    }
    return table;
}
inline constexpr std::array<std::uint8_t, 256> kReversedBits = MakeReversedBits();

// dst[i] = src[i] << shift | src[i + 1] >> (8 - shift) for i < count: the bit
// stream moves left by shift bits (0 < shift < 8). src holds srcCount bytes;
// bytes beyond them read as 0. dst may equal src.
void ShiftLeft(std::uint8_t* dst, const std::uint8_t* src, std::size_t count,
               std::size_t srcCount, unsigned shift);

// dst[i] = src[i - 1] << (8 - shift) | src[i] >> shift for i < count: the bit
// stream moves right by shift bits (0 < shift < 8). src[-1] and bytes beyond
// srcCount read as 0. dst must not overlap src.
void ShiftRight(std::uint8_t* dst, const std::uint8_t* src, std::size_t count,
                std::size_t srcCount, unsigned shift);

// Reverses the order of the count bytes and of the pixels within each byte
// (bits: 1 or 4), in place.
void MirrorBytes(std::uint8_t* bytes, std::size_t count, int bits);

}  // namespace picture_bits
