// Rows on their way to the screen: a picture row of any depth turned into
// colours, and the error diffusion that brings colours down to a display
// with fewer bits than the picture (1, 4 or 8 bits, the standard palette of
// that depth, colours found through the cell map).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "picture/bitmap.h"

namespace display {

// The standard palette type of a display depth: 0 for 1 bit, 2 for 4 bits,
// 3 otherwise.
int DisplayPaletteType(int displayBits);

// count pixels of a packed row of bits (1, 4, 8, 15/16, 24, 32) as blue,
// green, red triples; palette rows through table (entries beyond the
// table's colours are black).
void RowToBgr(int bits, const std::uint8_t* row, int count, const RgbQuad* table, int tableColours,
              std::uint8_t* bgr);

// Pixel index of a packed row in the row's own format copied to position
// to of another row of the same format.
void CopyPackedPixel(int bits, const std::uint8_t* from, int fromIndex, std::uint8_t* to,
                     int toIndex);

// Floyd-Steinberg to the display palette with 4-bit colour cells. The
// errors of one row go 7/16 to the next pixel, 3/16 below-left, 1/16
// below-right and the rest below; the first pixel of a row gives a quarter
// ahead and below-right, the last half below-left. Rows follow one another
// until Reset.
class DisplayDiffusion {
public:
    // False for a depth without a standard palette.
    bool Setup(int displayBits);
    int Bits() const { return bits_; }
    // Forget the carried errors (a new drawing starts).
    void Reset();
    // count blue, green, red triples to display palette indices.
    void Row(const std::uint8_t* bgr, int count, std::uint8_t* indices);
    // The display palette as red, green, blue triples, and its size.
    const std::uint8_t* PaletteRgb() const { return rgb_; }
    int Colours() const { return colours_; }

private:
    int bits_ = 0;
    int colours_ = 0;
    std::uint8_t cellMap_[4096] = {};
    std::uint8_t rgb_[256 * 3] = {};
    std::vector<std::int16_t> current_, next_;
};

}  // namespace display
