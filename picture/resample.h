// Nearest-neighbour resampling of pictures into caller-made pictures of the
// same format: Rescale stretches or shrinks to the destination's size,
// Deskew maps the picture onto a parallelogram. Pixel values are copied,
// never blended, so palette pictures keep their palette.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/progress.h"
#include "picture/global_block.h"

class CPicture;

struct LinePoint {
    int x = 0, y = 0;
    friend bool operator==(const LinePoint&, const LinePoint&) = default;
};

// The integer points of the digital straight line from (x0, y0) to (x1, y1),
// both included, (x0, y0) first; returns their count, max(|dx|, |dy|) + 1.
int LinePoints(std::vector<LinePoint>& points, int x0, int y0, int x1, int y1);

// Fills destination (same bit count as source) with source stretched or
// shrunk to its size. 1 on success, 0 for pictures that cannot be paired or a
// failed row access. Throws std::bad_alloc when the work block cannot be had.
int Rescale(CPicture* source, CPicture* destination);

// The rows of source stretched or shrunk to width x height, made one at a
// time (the rows Rescale writes): a writer streams the result without a
// destination picture. The constructor throws std::bad_alloc when its work
// block cannot be had.
class RescaledRows {
public:
    RescaledRows(CPicture* source, int width, int height);
    // Fills buffer with the pixels of source row y (0 = top) in the
    // source's format; false on a failed read.
    using Fetch = std::function<bool(int y, std::uint8_t* buffer)>;
    // A source that is not a picture (rows straight from a file) of
    // sourceWidth x sourceHeight pixels of bits each.
    RescaledRows(int sourceWidth, int sourceHeight, int bits, Fetch fetch, int width, int height);
    RescaledRows(const RescaledRows&) = delete;
    RescaledRows& operator=(const RescaledRows&) = delete;
    // The pixels of row i (0 = top) in the source's format, RowBytes() of
    // them; none for a source that cannot be served or a failed read. Valid
    // until the next call.
    const std::uint8_t* Row(int i);
    // Bytes of the pixels of a row (whole bytes, no padding).
    std::uint64_t RowBytes() const;

private:
    Fetch fetch_;
    int sourceWidth_ = 0, sourceHeight_ = 0;
    int width_, height_, bits_ = 0;
    CGlobalBlock block_;
    std::uint8_t* sourceRow_ = nullptr;
    std::uint8_t* row_ = nullptr;
    std::vector<int> columns_;
    int lastRow_ = -1;
};

// A new picture of the given size with the source's type, resolution and
// palette, filled by Rescale; none when width x height is 0 or on failure.
std::unique_ptr<CPicture> RescaledCopy(CPicture* source, int width, int height);

// The four corners of Deskew: where the source's top-left, top-right and
// bottom-left pixels go (the bottom-right one is carried but not used).
struct DeskewCorners {
    int x0 = 0, y0 = 0;  // top-left
    int x1 = 0, y1 = 0;  // end of the edge along which the top row goes
    int x2 = 0, y2 = 0;  // end of the edge along which the left column goes
    int x3 = 0, y3 = 0;  // bottom-right
};

// Maps the whole source onto the parallelogram in destination (same bit
// count). With whiteBackground the destination is first filled with white
// and progress is shown ("Deskewing"); without it the background is 128.
// Positions outside the destination are skipped. 1 on success, 0 for
// pictures that cannot be paired; throws std::bad_alloc when the work block
// cannot be had.
// Progress and cancel go through on (none: the calling thread's current
// Progress).
int Deskew(CPicture* source, CPicture* destination, const DeskewCorners& corners,
           bool whiteBackground, Progress* on = nullptr);

// The rows Deskew with a white background writes into a new picture of
// width x height shaped as shape (type, colour table, resolution), made one
// at a time from the top down from source rows taken from the top down: a
// writer streams the result with neither picture held whole, only a band
// of the result as high as the top edge's slope.
class DeskewedRows {
public:
    // fetch fills buffer with source row y (0 = top), as stored (the pixels
    // from the first byte; the buffer holds the stored row, padding
    // included); false on a failed read. Rows are asked for from the top
    // down, each once or passed over.
    using Fetch = std::function<bool(int y, std::uint8_t* buffer)>;
    DeskewedRows(const CPicture& shape, int sourceWidth, int sourceHeight, Fetch fetch,
                 const DeskewCorners& corners, int width, int height);
    ~DeskewedRows();
    DeskewedRows(const DeskewedRows&) = delete;
    DeskewedRows& operator=(const DeskewedRows&) = delete;
    // Whether the rows can be made so: a band within a memory bound, a depth
    // Deskew takes. Otherwise Deskew into a whole picture makes them.
    bool Usable() const { return work_ != nullptr; }
    // Stored row y of the result (the picture's row bytes, padding
    // included), asked for from the top down, each row after the one
    // before. False on a failed read, or for a row asked out of turn.
    bool Row(int y, std::uint8_t* row);

private:
    struct Work;
    Fetch fetch_;
    std::unique_ptr<Work> work_;
};
