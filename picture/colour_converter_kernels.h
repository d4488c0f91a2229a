// Row kernels of the colour converter: unpacking and packing rows of every
// pixel format, and one kernel per conversion idea, each a template over
// where its colours come from (palette indices or direct colours).
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "picture/palette_map.h"
#include "picture/pixel_packing.h"

namespace colour {

// ---- pixel formats --------------------------------------------------------

// Rows of every depth are read and written by the one set of packing helpers.
using packing::PackColours;
using packing::PackIndices;
using packing::UnpackColours;
using packing::UnpackIndices;

using UnpackFn = void (*)(const std::uint8_t*, int, std::uint8_t*);

// One table of the formats: how a row of each bit count is read and written.
struct FormatOps {
    int bits;
    bool indexed;        // palette indices rather than direct colours
    UnpackFn unpack;     // row -> indices or blue, green, red triples
    UnpackFn pack;       // indices or triples -> row
};
inline const FormatOps& OpsForBits(int bits) {
    static const FormatOps table[] = {
        {1, true, UnpackIndices<1>, PackIndices<1>},
        {4, true, UnpackIndices<4>, PackIndices<4>},
        {8, true, UnpackIndices<8>, PackIndices<8>},
        {16, false, UnpackColours<16>, PackColours<16>},
        {24, false, UnpackColours<24>, PackColours<24>},
        {32, false, UnpackColours<32>, PackColours<32>},
    };
    int b = bits == 15 ? 16 : bits;
    for (const FormatOps& ops : table)
        if (ops.bits == b) return ops;
    return table[0];  // anything else is read and written as 1-bit
}

// Bytes a segment of count pixels of the depth takes in a caller's buffer.
inline std::uint64_t SegmentBytesFor(int bits, int count) {
    int b = bits == 15 ? 16 : bits;
    return (std::uint64_t(count) * std::uint64_t(b) + 7) / 8;
}

// ---- where colours come from ----------------------------------------------

struct IndexedInput {
    const std::uint8_t* indices;
    const std::uint8_t* rgb;  // palette as red, green, blue triples
    void Get(int i, int& r, int& g, int& b) const {
        const std::uint8_t* c = rgb + 3 * indices[i];
        r = c[0];
        g = c[1];
        b = c[2];
    }
};

struct DirectInput {
    const std::uint8_t* bgr;
    void Get(int i, int& r, int& g, int& b) const {
        const std::uint8_t* p = bgr + 3 * i;
        b = p[0];
        g = p[1];
        r = p[2];
    }
};

// ---- kernels ---------------------------------------------------------------

// Nearest colour of direct colours through the cell map.
inline void MapCells(const std::uint8_t* bgr, int count, const std::uint8_t* cellMap,
                     std::uint8_t* out) {
    for (int i = 0; i < count; ++i, bgr += 3)
        out[i] = cellMap[((bgr[2] >> 4) << 8) | ((bgr[1] >> 4) << 4) | (bgr[0] >> 4)];
}

// Palette indices through an index map.
inline void MapIndices(const std::uint8_t* indices, int count, const std::uint8_t* map,
                       std::uint8_t* out) {
    for (int i = 0; i < count; ++i) out[i] = map[indices[i]];
}

// 256 gray levels by luminance.
template <class Input>
void GrayLevels(const Input& in, int count, std::uint8_t* out) {
    for (int i = 0; i < count; ++i) {
        int r, g, b;
        in.Get(i, r, g, b);
        out[i] = std::uint8_t(Luminance(r, g, b));
    }
}

// Palette indices to blue, green, red triples.
inline void IndicesToColours(const std::uint8_t* indices, int count, const std::uint8_t* rgb,
                             std::uint8_t* bgr) {
    for (int i = 0; i < count; ++i, bgr += 3) {
        const std::uint8_t* c = rgb + 3 * indices[i];
        bgr[0] = c[2];
        bgr[1] = c[1];
        bgr[2] = c[0];
    }
}

// State of serpentine error diffusion: the cell map (complete, or filled on
// demand), the destination colours and two rows of error sums.
struct DiffusionState {
    std::uint8_t* cellMap;
    std::uint8_t* mapDone;  // 512 bytes, a bit per cell; none when the map is complete
    const std::uint8_t* rgb;
    int colours;
    bool grayOnly;  // two-colour destination: work on luminance
    std::int32_t* current;
    std::int32_t* next;
};

// The on-demand search of a cell: Manhattan distance prunes, the squared
// distance decides, an exact colour ends the search.
inline std::uint8_t SearchCell(const DiffusionState& s, int cell) {
    int r = CellRed(cell), g = CellGreen(cell), b = CellBlue(cell);
    int bestManhattan = 768, bestSquare = 320000, best = 0;
    for (int i = 0; i < s.colours; ++i) {
        int dr = r - s.rgb[3 * i], dg = g - s.rgb[3 * i + 1], db = b - s.rgb[3 * i + 2];
        int manhattan = std::abs(dr) + std::abs(dg) + std::abs(db);
        if (manhattan == 0) return std::uint8_t(i);
        if (manhattan > bestManhattan) continue;
        int square = dr * dr + dg * dg + db * db;
        if (square < bestSquare) {
            bestSquare = square;
            bestManhattan = manhattan;
            best = i;
        }
    }
    return std::uint8_t(best);
}

inline int ClampError(int e) { return e < -128 ? -128 : (e > 128 ? 128 : e); }
inline int ClampSum(int c) { return c > 254 ? 255 : (c < 1 ? 0 : c); }

// One row of Floyd-Steinberg diffusion in the given direction.
template <class Input>
void DiffuseRow(const Input& in, int count, bool leftToRight, DiffusionState& s,
                std::uint8_t* out) {
    const int step = leftToRight ? 1 : -1;
    int x = leftToRight ? 0 : count - 1;
    for (int n = 0; n < count; ++n, x += step) {
        int r, g, b;
        in.Get(x, r, g, b);
        if (s.grayOnly) r = g = b = Luminance(r, g, b);
        std::int32_t* e = s.current + 3 * x;
        r = ClampSum(r + ClampError(e[0]));
        g = ClampSum(g + ClampError(e[1]));
        b = ClampSum(b + ClampError(e[2]));
        int cell = ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
        if (s.mapDone && !(s.mapDone[cell >> 3] & (1 << (cell & 7)))) {
            s.cellMap[cell] = SearchCell(s, cell);
            s.mapDone[cell >> 3] = std::uint8_t(s.mapDone[cell >> 3] | (1 << (cell & 7)));
        }
        std::uint8_t index = s.cellMap[cell];
        out[x] = index;
        const std::uint8_t* c = s.rgb + 3 * index;
        const int err[3] = {r - c[0], g - c[1], b - c[2]};
        const bool hasAhead = (x + step >= 0) && (x + step < count);
        const bool hasBehind = (x - step >= 0) && (x - step < count);
        for (int k = 0; k < 3; ++k) {
            if (hasAhead) {
                s.current[3 * (x + step) + k] += (7 * err[k]) >> 4;
                s.next[3 * (x + step) + k] += err[k] >> 4;
            }
            if (hasBehind) s.next[3 * (x - step) + k] += (3 * err[k]) >> 4;
            s.next[3 * x + k] += (5 * err[k]) >> 4;
        }
    }
}

// Ordered dither of one row; thresholds is the size x size matrix already
// turned into thresholds for the destination's colour count.
template <class Input>
void DitherRow(const Input& in, int count, int row, int column0, const int* thresholds,
               int size, int colours, std::uint8_t* out) {
    const int* line = thresholds + (row % size) * size;
    for (int i = 0; i < count; ++i) {
        int r, g, b;
        in.Get(i, r, g, b);
        int t = line[(column0 + i) % size];
        if (colours == 2) {
            out[i] = Luminance(r, g, b) >= t ? 1 : 0;
        } else if (colours == 16) {
            int rb = r >= t, gb = g >= t, bb = b >= t;
            out[i] = std::uint8_t((rb | gb | bb) ? 8 + 4 * rb + 2 * gb + bb : 0);
        } else {
            auto q = [t](int c) { return c / 51 + (t < c % 51 ? 1 : 0); };
            out[i] = std::uint8_t(16 + 36 * q(r) + 6 * q(g) + q(b));
        }
    }
}

}  // namespace colour
