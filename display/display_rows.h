// Rows on their way to the screen: a picture row of any depth turned into
// colours, the reduction that keeps thin lines, and the error diffusion
// that brings colours down to a display with fewer bits than the picture
// (1, 4 or 8 bits, the standard palette of that depth, colours found
// through the cell map).
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

// One channel of a reduced pixel from the block of source pixels it stands
// for: the block's mean pulled toward the middle of its darkest and
// lightest value, (lo + hi + mean) / 3. A flat or smoothly shaded block
// shows its mean; a thin line or a dot keeps at least a third of its
// contrast however many pixels the block holds.
inline std::uint8_t DetailValue(std::uint64_t sum, std::uint64_t count, int lo, int hi) {
    const int mean = int((sum + count / 2) / count);
    return std::uint8_t((lo + hi + mean + 1) / 3);
}

// The same for many blocks of one count: up to 32768 pixels a block the
// mean's division is a multiplication by a fixed-point inverse, exact for
// the sums such a block can have (below 2^24: the error stays under 1/count).
class DetailDivider {
public:
    explicit DetailDivider(std::uint64_t count)
        : count_(count), inverse_(count <= (1u << 15) ? (std::uint64_t(1) << 40) / count + 1 : 0) {}
    std::uint8_t operator()(std::uint64_t sum, int lo, int hi) const {
        const std::uint64_t x = sum + count_ / 2;
        const std::uint64_t mean = inverse_ ? (x * inverse_) >> 40 : x / count_;
        return std::uint8_t((lo + hi + int(mean) + 1) / 3);
    }
    std::uint64_t Count() const { return count_; }

private:
    std::uint64_t count_;
    std::uint64_t inverse_;
};

// Brings blue, green, red rows down to fewer pixels and rows, block by
// block (every source pixel counts): output pixel j stands for source
// columns Start(j) .. Start(j + 1) - 1 and the rows added since the last
// Take. Each channel comes out as DetailValue of its block.
class DetailReducer {
public:
    // sourceWidth columns in blocks of factor (the last one may be shorter).
    void SetupFactor(int sourceWidth, int factor);
    // sourceWidth columns spread over outputWidth blocks (1..sourceWidth)
    // as evenly as whole columns allow.
    void SetupSpread(int sourceWidth, int outputWidth);
    int SourceWidth() const { return sourceWidth_; }
    int OutputWidth() const { return int(starts_.size()) - 1; }
    int Start(int j) const { return starts_[std::size_t(j)]; }
    // One source row of the current blocks (SourceWidth triples).
    void Add(const std::uint8_t* bgr);
    // The reduced row (OutputWidth triples) of the rows added since the last
    // Take, which start the next blocks. Without rows added: black.
    void Take(std::uint8_t* bgr);

private:
    void Setup(int sourceWidth, std::vector<int> starts);
    void Fold();

    int sourceWidth_ = 0;
    std::vector<int> starts_;
    // Per source byte over the rows not yet folded (at most 256 of them).
    int columnRows_ = 0;
    std::vector<std::uint16_t> columnSum_;
    std::vector<std::uint8_t> columnMin_, columnMax_;
    // Per output channel over the block's rows.
    std::uint64_t blockRows_ = 0;
    std::vector<std::uint64_t> sum_;
    std::vector<std::uint8_t> min_, max_;
};

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
