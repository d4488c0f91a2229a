#include "display/display_rows.h"

#include <algorithm>
#include <cstring>

#include "picture/colour_converter_kernels.h"
#include "picture/palette_map.h"
#include "picture/picture.h"
#include "picture/pixel_packing.h"

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
