// Lossless geometric transforms of a picture: the three mirrors work in place,
// the quarter turns and the half turn write into a second picture. They move
// whole pixels only, so pixel values and the palette are kept, and they work
// for every pixel format and for pictures kept in their swap file (row by row
// or tile by tile, never bringing a picture into memory whole).
//
// Mappings (W, H: source size; (x, y) source pixel; (X, Y) its destination):
//   mirror horizontal   W x H in place   X = W - 1 - x, Y = y
//   mirror vertical     W x H in place   X = x,         Y = H - 1 - y
//   mirror diagonal     W x H in place   X = W - 1 - x, Y = H - 1 - y   (half turn)
//   rotate left         H x W            X = y,         Y = W - 1 - x   (counter-clockwise)
//   rotate right        H x W            X = H - 1 - y, Y = x           (clockwise)
//
// Every operation returns 1 on success and 0 on failure. With progress set it
// drives the progress display ("Mirroring" or "Rotating"). A row block that
// cannot be allocated throws std::bad_alloc before any row is written.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/progress.h"
#include "picture/picture.h"

// In place.
int MirrorHorizontal(CPicture* picture, bool progress);
int MirrorVertical(CPicture* picture, bool progress);
int MirrorDiagonal(CPicture* picture, bool progress);

// Quarter turns into destination, which must already exist with the exchanged
// size and the source's format (see CreateRotationDestination). Pictures of 20
// or more 145 x 145 tiles turn tile by tile; the user may cancel those with
// Escape, and then the result is 0, *cancelled (when given) is set and the
// destination is partly written. Otherwise they run the direct forms.
int RotateLeft(CPicture* source, CPicture* destination, bool progress,
               bool* cancelled = nullptr);
int RotateRight(CPicture* source, CPicture* destination, bool progress,
                bool* cancelled = nullptr);
// The untiled forms (also used per tile). They cannot be cancelled.
int RotateLeftDirect(CPicture* source, CPicture* destination, bool progress);
int RotateRightDirect(CPicture* source, CPicture* destination, bool progress);
// A half turn into a second picture of the same size and format.
int RotateHalfInto(CPicture* source, CPicture* destination, bool progress);

// The operations by name, for commands and the command-line tool.
enum class TransformOp {
    MirrorHorizontal,
    MirrorVertical,
    MirrorDiagonal,
    RotateLeft,
    RotateRight,
    RotateHalf,
};
// True for the operations that write into a second picture.
bool TransformMakesNewPicture(TransformOp op);
// True for the quarter turns (width and height exchanged).
bool TransformIsQuarterTurn(TransformOp op);

// Area (inclusive, lying wholly inside source) mirrored horizontally or
// turned a quarter (op: MirrorHorizontal, RotateLeft or RotateRight) and
// written with its top-left corner at (x, y) of destination, a second
// picture of the source's format that holds it whole; the rest of the
// destination stays. Puts turned pictures together, or cuts a turned part
// out, without a whole turned copy first. Pixels of whole bytes in memory
// move straight between the stores, others through a picture of the area.
// 1 on success; 0 on failure or for another operation.
int TransformAreaInto(CPicture* source, const Rect& area, CPicture* destination, int x, int y,
                      TransformOp op);
// The rectangle of destination that TransformAreaInto with these arguments
// fills from part (inclusive) of area; a part of one pixel tells where that
// pixel goes. The mapping is computed for parts beyond the area as well.
Rect TransformedPart(const Rect& area, const Rect& part, int x, int y, TransformOp op);

// The rows picture would have after a mirror or the half turn, made one at a
// time without changing it and without a second picture: a writer streams
// the result straight from the source. Each row has the bytes the operation
// itself would leave, padding included. Not for the quarter turns.
class TransformedRows {
public:
    // Stored row y (0 = top) of the source: a pointer to it, or to buffer
    // after filling it; none on a failed read.
    using Fetch = std::function<const std::uint8_t*(int y, std::uint8_t* buffer)>;
    TransformedRows(CPicture* source, TransformOp op);
    // A source that is not a picture (rows straight from a file) of the
    // given size and bits a pixel (1, 4, 8, 16, 24 or 32).
    TransformedRows(int width, int height, int bits, TransformOp op, Fetch fetch);
    // Whether the source and the operation can be served.
    bool Usable() const { return usable_; }
    // Stored row y (0 = top) of the result into row (GetRowBytes() bytes).
    // False on a failed read of the source.
    bool Row(int y, std::uint8_t* row);

private:
    Fetch fetch_;
    TransformOp op_;
    bool usable_ = false;
    int width_ = 0, height_ = 0, bits_ = 0;
    std::uint64_t rowBytes_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;  // two source rows when they are not in memory
};

// The rows of a quarter turn made a band at a time from segments of the
// source's rows, for a writer that streams the result: the source need not
// be a picture (rows straight from a file), and only a band of about 16 MB
// is held, with a strip of its source rows. Pixels of whole bytes (8, 16, 24
// or 32 bits). Each row has
// the bytes the quarter turn leaves in a new picture: padding 0.
class TurnedRows {
public:
    // Fills pixels with pixels x0..x0 + count - 1 of source row y (0 = top)
    // in the source's format; false on a failed read.
    using Segment = std::function<bool(int y, int x0, int count, std::uint8_t* pixels)>;
    // A source of width x height pixels of bits each; the result is height
    // x width. left: counter-clockwise (RotateLeft), else clockwise.
    // bandBytes: about how large a band is (at least 145 result rows).
    TurnedRows(int width, int height, int bits, bool left, Segment segment,
               std::uint64_t bandBytes = std::uint64_t(16) << 20);
    bool Usable() const { return usable_; }
    // Result rows a band holds (made at once by the first Row of the band).
    int BandRows() const { return band_; }
    // Stored row i (0 = top) of the result into row (RowBytesFor(height,
    // bits) bytes). False on a failed read of the source.
    bool Row(int i, std::uint8_t* row);

private:
    bool Fill(int first);
    Segment segment_;
    bool left_;
    bool usable_ = false;
    int width_ = 0, height_ = 0, bits_ = 0, pixel_ = 0;
    int band_ = 0;        // result rows a band holds
    int first_ = -1;      // the first result row of the band held
    std::uint64_t rowBytes_ = 0;
    // The band's source columns in a strip of source rows; its result rows.
    std::vector<std::uint8_t> in_, out_;
};

// A new document picture (CDocPicture) with the source's type, colour table
// and resolution (never exchanged), of the source's size or with width and
// height exchanged when exchange is set; store flags 3 (memory first, then
// swap file). Its pixels are not set. None on failure.
std::unique_ptr<CPicture> CreateRotationDestination(CPicture* source, bool exchange);

// Outcome of TransformPicture.
enum TransformResult {
    kTransformFailed = 0,     // out of memory or a failed row operation
    kTransformDone = 1,
    kTransformCancelled = 2,  // the user pressed Escape during a tiled rotation
};

// Runs op on picture. The mirrors change it in place. The rotations build a
// new picture (CreateRotationDestination), rotate into it and give it the
// source's palette; on success picture is replaced by the new one (the old is
// deleted), on failure or cancel the new one is discarded and picture stays
// as it was. std::bad_alloc is caught and reported as kTransformFailed.
// Progress and cancel go through on (none: the calling thread's current
// Progress).
TransformResult TransformPicture(std::unique_ptr<CPicture>& picture, TransformOp op,
                                 bool progress, Progress* on = nullptr);
// The same, leaving the source in its place: a mirror changes source in
// place and leaves result empty; a rotation leaves source as it was and
// gives the new picture in result (only on kTransformDone). For work on a
// worker thread whose result the owner of source takes over later.
TransformResult TransformPictureInto(CPicture* source, TransformOp op, bool progress,
                                     std::unique_ptr<CPicture>& result, Progress* on = nullptr);
