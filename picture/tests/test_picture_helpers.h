// Helpers for the picture tests: a reference reading of the packed layout,
// independent of the picture's own row code, and pictures with random rows.
#pragma once
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "picture/picture.h"

namespace picture_test {

// Pixel i of a packed row in the format of bits.
inline std::uint32_t PackedPixel(const std::uint8_t* row, int bits, int i) {
    const std::size_t x = std::size_t(i);
    switch (bits) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    case 8: return row[x];
    case 16: return row[2 * x] | (std::uint32_t(row[2 * x + 1]) << 8);
    case 24: return row[3 * x] | (std::uint32_t(row[3 * x + 1]) << 8) | (std::uint32_t(row[3 * x + 2]) << 16);
    case 32:
        return row[4 * x] | (std::uint32_t(row[4 * x + 1]) << 8) |
               (std::uint32_t(row[4 * x + 2]) << 16) | (std::uint32_t(row[4 * x + 3]) << 24);
    default: return 0;
    }
}

inline void SetPackedPixel(std::uint8_t* row, int bits, int i, std::uint32_t v) {
    const std::size_t x = std::size_t(i);
    switch (bits) {
    case 1: {
        const std::uint8_t mask = std::uint8_t(0x80 >> (x % 8));
        row[x / 8] = (v & 1) ? std::uint8_t(row[x / 8] | mask) : std::uint8_t(row[x / 8] & ~mask);
        break;
    }
    case 4:
        row[x / 2] = x % 2 == 0 ? std::uint8_t((row[x / 2] & 0x0F) | ((v & 15) << 4))
                                : std::uint8_t((row[x / 2] & 0xF0) | (v & 15));
        break;
    default:
        for (int b = 0; b < bits / 8; ++b) row[x * std::size_t(bits / 8) + std::size_t(b)] = std::uint8_t(v >> (8 * b));
        break;
    }
}

// Every pixel of the picture, row by row from the top, read from the stored rows.
inline std::vector<std::uint32_t> AllPixels(CPicture& p) {
    std::vector<std::uint8_t> row(p.GetRowBytes());
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < p.GetHeight(); ++y) {
        p.ReadStoredRow(y, row.data());
        for (int x = 0; x < p.GetWidth(); ++x) pixels.push_back(PackedPixel(row.data(), p.GetBitCount(), x));
    }
    return pixels;
}

inline std::uint32_t StoredPixel(CPicture& p, int x, int y) {
    std::vector<std::uint8_t> row(p.GetRowBytes());
    p.ReadStoredRow(y, row.data());
    return PackedPixel(row.data(), p.GetBitCount(), x);
}

// A picture whose stored rows (padding included) are random bytes.
inline std::unique_ptr<CPicture> RandomPicture(int type, int width, int height, unsigned seed,
                                               int storeFlags = kStoreMemory) {
    auto p = std::make_unique<CPicture>();
    if (!p->Create(type, width, height, 0, nullptr, 0, 0, storeFlags)) return nullptr;
    std::mt19937 random(seed);
    std::vector<std::uint8_t> row(p->GetRowBytes());
    for (int y = 0; y < height; ++y) {
        for (auto& b : row) b = std::uint8_t(random());
        p->WriteStoredRow(y, row.data());
    }
    return p;
}

// The types of the six depths.
constexpr int kOneTypePerDepth[] = {ptBlackWhite, ptColor16, ptColor256, ptColor64K, ptTrueColor24,
                                    ptTrueColor32};

}  // namespace picture_test
