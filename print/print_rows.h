// The picture's rows brought to the print size, one output row at a time:
// four routines by picture type and vertical ratio, each holding only a
// few rows. 24-bit and 256-gray pictures are interpolated (enlarging) or
// averaged (reducing); every other type takes the nearest pixel (index
// routine).
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "base/box.h"

class CPicture;

enum class RowRoutine { Index, Enlarging, SameHeight, Reducing };

// Which routine prints picture at printHeight rows.
RowRoutine ChooseRowRoutine(int pictureType, int pictureHeight, int printHeight);

// Horizontal scaling of rows of 1 (gray) or 3 (blue, green, red) bytes a
// pixel from sourceWidth to outputWidth pixels. The mapping is worked out
// once; Scale then runs over a row without divisions. A part of the output
// row (outputCount pixels from outputFirst) gives the same pixels as the
// whole row does there, from the source pixels SourceFirst() ..
// SourceFirst() + SourceCount() - 1 only.
class RowScaler {
public:
    RowScaler(int bytesPerPixel, int sourceWidth, int outputWidth);
    RowScaler(int bytesPerPixel, int sourceWidth, int outputWidth, int outputFirst,
              int outputCount);
    // output holds the part's pixels; source the SourceCount() pixels from
    // SourceFirst().
    void Scale(const std::uint8_t* source, std::uint8_t* output) const;
    int SourceFirst() const { return sourceFirst_; }
    int SourceCount() const { return sourceCount_; }

private:
    enum Mode { kCopy, kEnlarge, kReduce } mode_;
    int bpp_;
    int sourceFirst_ = 0, sourceCount_ = 0, outputCount_ = 0;
    std::vector<int> left_;            // enlarging: left source pixel of each output pixel
                                       // (from SourceFirst())
    std::vector<std::uint16_t> weight_;  // enlarging: weight of the right neighbour (0..255)
    std::vector<int> runEnd_;          // reducing: one past the last source pixel of each output
                                       // pixel, from SourceFirst()
};

// Index routine's horizontal mapping: output pixel i takes source pixel
// (sourceWidth - 1) x i / (outputWidth - 1), whole pixels of bits each; 1-
// and 4-bit rows are packed most significant bits first, a last partial byte
// padded with zero bits.
// With outputFirst, the output pixels outputFirst .. outputFirst + count - 1
// of that mapping, packed from the first byte of output.
void MapIndexRow(const std::uint8_t* source, int sourceWidth, std::uint8_t* output,
                 int outputWidth, int bits);
void MapIndexRow(const std::uint8_t* source, int sourceWidth, std::uint8_t* output,
                 int outputWidth, int bits, int outputFirst, int count);

// Produces output rows 0 .. printHeight - 1 of printWidth pixels in the
// picture's own format, top to bottom, and hands each to emit (row index,
// bytes). emit answers false to stop (abort). Returns false when stopped or
// when a row could not be read. Memory: a few source and output rows.
using RowEmitter = std::function<bool(int row, const std::uint8_t* bytes)>;
bool ProduceRows(CPicture& picture, int printWidth, int printHeight, const RowEmitter& emit);
// The part of the same output inside window (print dots, right and bottom
// exclusive): rows window.top .. window.bottom - 1, each of the window's
// width, byte for byte what ProduceRows gives there. Only the picture rows
// and columns the part needs are read; emit gets the row's index in the
// whole print.
bool ProduceRowsIn(CPicture& picture, int printWidth, int printHeight, const Box& window,
                   const RowEmitter& emit);
