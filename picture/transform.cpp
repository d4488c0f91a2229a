// The geometric transforms: mirrors in place, quarter and half turns into a
// second picture.
//
// Rows are reached through the store: straight in its memory when it is
// resident, else whole stored rows are read into a row block and written back
// (ReadStoredRow/WriteStoredRow), so a picture in its swap file is never
// brought into memory whole. Quarter turns of large pictures go through
// 145 x 145 tiles held in memory, so that a swapped picture is read and
// written in row segments instead of one column write per row.
#include "picture/transform.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "picture/global_block.h"
#include "picture/transform_rows.h"
#include "resources/string_ids.h"
#include "base/progress.h"

namespace {

constexpr int kTile = 145;
constexpr long kTiledFrom = 20;          // tiles; this many or more: tiled
constexpr std::uint64_t kFastLimit = 65536;  // bytes of a packed image on the fast path

// A movable row block, allocated once per operation and freed on return. A
// failed allocation throws, as the framework's memory exception did.
class RowBlock {
public:
    explicit RowBlock(std::uint64_t bytes) {
        if (!block_.Allocate(kGlobalMoveable, bytes)) throw std::bad_alloc();
    }
    std::uint8_t* Get(std::uint64_t offset = 0) const { return block_.Pointer() + offset; }

private:
    CGlobalBlock block_;
};

// Moves the gauge on every sixteenth row index.
void StepRow(const ScopedProgress& gauge, int index, int position) {
    if (index % 16 == 0) gauge.Step(unsigned(position));
}

// Bits a stored pixel takes (5-5-5 pixels take two bytes).
int Bits(const CPicture* p) {
    const int bits = p->GetBitCount();
    return bits == 15 ? 16 : bits;
}

// A picture the transforms can work on: with a header, a positive size and a
// bit count the kernels serve.
bool Usable(const CPicture* p) {
    return p && p->HasHeader() && p->GetWidth() > 0 && p->GetHeight() > 0 &&
           transform_rows::SupportedBits(Bits(p)) &&
           p->GetRowBytes() == RowBytesFor(p->GetWidth(), Bits(p));
}

// Stored rows of one picture: pointers into the store's memory while it is
// resident, else copies in a caller's buffer that are written back.
class Rows {
public:
    explicit Rows(CPicture* p)
        : p_(p), height_(p->GetHeight()), rowBytes_(p->GetRowBytes()) {
        std::uint8_t* memory = p->Store().GetMemory();
        std::uint64_t need = std::uint64_t(p->GetHeaderSize()) + rowBytes_ * std::uint64_t(height_);
        if (p->GetStoreState() == kStateInMemory && memory && p->Store().GetSize() >= need)
            base_ = memory + p->GetHeaderSize();
    }
    bool Resident() const { return base_ != nullptr; }
    std::uint64_t RowBytes() const { return rowBytes_; }
    // Stored row of picture row y in memory (resident pictures only).
    std::uint8_t* Direct(int y) const { return base_ + std::uint64_t(height_ - 1 - y) * rowBytes_; }
    // Row y, either in place or read into buffer; none on a failed read.
    std::uint8_t* Fetch(int y, std::uint8_t* buffer) const {
        if (base_) return Direct(y);
        return p_->ReadStoredRow(y, buffer) ? buffer : nullptr;
    }
    // Where row y is to be written: in place, or buffer (then Put writes it).
    std::uint8_t* Target(int y, std::uint8_t* buffer) const { return base_ ? Direct(y) : buffer; }
    // Completes a write of row y from a pointer Fetch or Target gave.
    bool Put(int y, std::uint8_t* row) const { return base_ || p_->WriteStoredRow(y, row); }
    // Pixels x0..x1 of row y into buffer, or from it, for pixels of at least
    // 8 bits (pixel bytes each).
    bool ReadSegment(int x0, int x1, int y, std::uint8_t* buffer, int pixel) const {
        if (!base_) return p_->ReadRow(x0, x1, y, buffer);
        std::memcpy(buffer, Direct(y) + std::size_t(x0) * pixel, std::size_t(x1 - x0 + 1) * pixel);
        return true;
    }
    bool WriteSegment(int x0, int x1, int y, const std::uint8_t* buffer, int pixel) const {
        if (!base_) return p_->WriteRow(x0, x1, y, buffer);
        std::memcpy(Direct(y) + std::size_t(x0) * pixel, buffer, std::size_t(x1 - x0 + 1) * pixel);
        return true;
    }

private:
    CPicture* p_;
    std::uint8_t* base_ = nullptr;
    int height_;
    std::uint64_t rowBytes_;
};

bool SameFormat(CPicture* a, CPicture* b) {
    return a->IsSameFormat(*b) && Bits(a) == Bits(b);
}

bool QuarterTurnPair(CPicture* source, CPicture* destination) {
    return Usable(source) && Usable(destination) && source != destination &&
           SameFormat(source, destination) && destination->GetWidth() == source->GetHeight() &&
           destination->GetHeight() == source->GetWidth();
}

// The fast path of the direct quarter turns: both packed images resident and
// small, pixels of at least 8 bits moved straight between the stores.
// Destination stored row i, pixel j takes source (x = i, y = j) turning left
// and source (x = w - 1 - i, y = h - 1 - j) turning right.
bool FastQuarterTurn(CPicture* source, CPicture* destination, bool left) {
    const int bits = Bits(source);
    if (bits < 8) return false;
    Rows s(source), d(destination);
    if (!s.Resident() || !d.Resident()) return false;
    auto packed = [](CPicture* p) {
        return std::uint64_t(p->GetHeight()) * p->GetRowBytes() + std::uint64_t(p->GetHeaderSize());
    };
    if (packed(source) >= kFastLimit || packed(destination) >= kFastLimit) return false;
    const int w = source->GetWidth(), h = source->GetHeight();
    const std::ptrdiff_t pixel = (bits + 1) / 8;
    const std::ptrdiff_t stride = std::ptrdiff_t(s.RowBytes());
    // Picture row 0 is the last stored row.
    if (left)
        transform_rows::TransposePixels(d.Direct(w - 1), std::ptrdiff_t(d.RowBytes()), s.Direct(0),
                                        pixel, -stride, w, h, bits);
    else
        transform_rows::TransposePixels(d.Direct(w - 1), std::ptrdiff_t(d.RowBytes()),
                                        s.Direct(h - 1) + (w - 1) * pixel, -pixel, stride, w, h,
                                        bits);
    return true;
}

int DirectQuarterTurn(CPicture* source, CPicture* destination, bool progress, bool left) {
    if (!QuarterTurnPair(source, destination)) return 0;
    if (FastQuarterTurn(source, destination, left)) return 1;

    const int w = source->GetWidth(), h = source->GetHeight();
    const std::uint64_t segment = source->GetRowBytes() + 1;
    RowBlock block(left ? 4 * segment : segment);
    ScopedProgress gauge(progress, IDS_ROTATING, 0, unsigned(h - 1));
    std::uint8_t* row = block.Get();
    for (int y = h - 1; y >= 0; --y) {
        if (left) {
            if (!source->ReadRowReversed(0, w - 1, y, row)) return 0;
            if (!destination->WriteColumn(y, 0, w - 1, row)) return 0;
        } else {
            if (!source->ReadRow(0, w - 1, y, row)) return 0;
            if (!destination->WriteColumn(h - 1 - y, 0, w - 1, row)) return 0;
        }
        StepRow(gauge, y, h - 1 - y);
    }
    return 1;
}

// Two 145 x 145 scratch pictures in the source's format, memory only.
struct Scratch {
    std::unique_ptr<CPicture> in, out;
    bool Make(CPicture* source) {
        in = std::make_unique<CPicture>();
        out = std::make_unique<CPicture>();
        const BitmapInfoHeader* header = source->GetHeader();
        return in->CreateFromHeader(header, kTile, kTile, source->GetType(), kStoreMemory) &&
               out->CreateFromHeader(header, kTile, kTile, source->GetType(), kStoreMemory);
    }
};

long TileCount(const CPicture* p) {
    return long((p->GetWidth() + kTile - 1) / kTile) * long((p->GetHeight() + kTile - 1) / kTile);
}

int QuarterTurn(CPicture* source, CPicture* destination, bool progress, bool* cancelled,
                bool left) {
    if (cancelled) *cancelled = false;
    if (!QuarterTurnPair(source, destination)) return 0;
    const long tiles = TileCount(source);
    if (tiles < kTiledFrom) return DirectQuarterTurn(source, destination, progress, left);
    const int w = source->GetWidth(), h = source->GetHeight(), bits = Bits(source);

    // Pixels of whole bytes. When both pictures are resident each tile is
    // turned straight from the source's rows into the destination's; else
    // its source rows are read as segments into a compact block, turned
    // there and written as segments of the destination's rows.
    if (bits >= 8) {
        const int pixel = (bits + 1) / 8;
        const std::ptrdiff_t stride = kTile * pixel + 4;
        Rows s(source), d(destination);
        const bool resident = s.Resident() && d.Resident();
        // The two tiles in memory; without them the turn runs directly, as
        // it does when its scratch pictures cannot be made.
        CGlobalBlock tileBlock;
        if (!resident && !tileBlock.Allocate(kGlobalMoveable, 2 * std::uint64_t(stride) * kTile))
            return DirectQuarterTurn(source, destination, progress, left);
        std::uint8_t* in = tileBlock.Pointer();
        std::uint8_t* out = in ? in + std::ptrdiff_t(stride) * kTile : nullptr;
        const std::ptrdiff_t sourceStride = std::ptrdiff_t(s.RowBytes());
        const std::ptrdiff_t destinationStride = std::ptrdiff_t(d.RowBytes());
        ScopedProgress gauge(progress, IDS_ROTATING, 0, unsigned(tiles));
        unsigned done = 0;
        // Destination rows i0.. and columns j0.. of the tile; the source
        // columns x0.. and rows y0.. they come from.
        for (int i0 = 0; i0 < w; i0 += kTile)
            for (int j0 = 0; j0 < h; j0 += kTile) {
                if (gauge.Step(done++)) {
                    if (cancelled) *cancelled = true;
                    return 0;
                }
                const int tw = std::min(kTile, w - i0), th = std::min(kTile, h - j0);
                const int x0 = left ? i0 : w - i0 - tw, y0 = left ? j0 : h - j0 - th;
                if (resident) {
                    // Destination stored row i0 + i is picture row w - 1 - (i0 + i);
                    // source rows lie one stride apart, bottom-up.
                    std::uint8_t* to = d.Direct(w - 1 - i0) + std::ptrdiff_t(j0) * pixel;
                    if (left)
                        transform_rows::TransposePixels(to, destinationStride,
                                                        s.Direct(y0) + std::ptrdiff_t(x0) * pixel,
                                                        pixel, -sourceStride, tw, th, bits);
                    else
                        transform_rows::TransposePixels(
                            to, destinationStride,
                            s.Direct(y0 + th - 1) + std::ptrdiff_t(x0 + tw - 1) * pixel, -pixel,
                            sourceStride, tw, th, bits);
                    continue;
                }
                for (int r = 0; r < th; ++r)
                    if (!s.ReadSegment(x0, x0 + tw - 1, y0 + r, in + r * stride, pixel)) return 0;
                // Destination row i of the tile, pixel j: source column x0 + i,
                // row y0 + j turning left; column x0 + tw - 1 - i, row
                // y0 + th - 1 - j turning right.
                if (left)
                    transform_rows::TransposePixels(out, stride, in, pixel, stride, tw, th, bits);
                else
                    transform_rows::TransposePixels(out, stride,
                                                    in + (th - 1) * stride + (tw - 1) * pixel,
                                                    -pixel, -stride, tw, th, bits);
                // Destination stored row i is picture row w - 1 - i.
                for (int i = 0; i < tw; ++i)
                    if (!d.WriteSegment(j0, j0 + th - 1, w - 1 - (i0 + i), out + i * stride, pixel))
                        return 0;
            }
        return 1;
    }

    // Sub-byte pixels: through two scratch pictures of one tile in memory,
    // copied from and to the pictures in row segments.
    Scratch scratch;
    if (!scratch.Make(source)) return DirectQuarterTurn(source, destination, progress, left);
    ScopedProgress gauge(progress, IDS_ROTATING, 0, unsigned(tiles));
    unsigned done = 0;
    // One tile: copy the source rectangle into the first scratch picture,
    // turn it into the second and copy that into the destination, which
    // clips what falls outside (the parts an edge tile did not overwrite).
    auto tile = [&](int x0, int y0, int dx, int dy) {
        if (gauge.Step(done++)) {
            if (cancelled) *cancelled = true;
            return -1;
        }
        Rect area{x0, y0, x0 + kTile - 1, y0 + kTile - 1};
        if (!source->CopyTo(scratch.in.get(), 0, 0, &area, false)) return 0;
        if (!DirectQuarterTurn(scratch.in.get(), scratch.out.get(), false, left)) return 0;
        return scratch.out->CopyTo(destination, dx, dy, nullptr, false) ? 1 : 0;
    };
    if (left) {
        for (int x0 = 0; x0 < w; x0 += kTile)
            for (int y0 = 0; y0 < h; y0 += kTile)
                if (int r = tile(x0, y0, y0, w - kTile - x0); r != 1) return 0;
    } else {
        // From the far corner, so that a partial tile keeps its bottom-right
        // alignment inside the scratch picture.
        for (int x0 = w - kTile; x0 > -kTile; x0 -= kTile) {
            int k = 0;
            for (int y0 = h - kTile; y0 > -kTile; y0 -= kTile, ++k)
                if (int r = tile(x0, y0, kTile * k, x0); r != 1) return 0;
        }
    }
    return 1;
}

}  // namespace

int MirrorHorizontal(CPicture* picture, bool progress) {
    if (!Usable(picture)) return 0;
    const int w = picture->GetWidth(), h = picture->GetHeight(), bits = Bits(picture);
    Rows rows(picture);
    const std::uint64_t n = rows.RowBytes();
    RowBlock block(2 * n + 8);
    ScopedProgress gauge(progress, IDS_MIRRORING, 0, unsigned(h - 1));
    for (int y = h - 1; y >= 0; --y) {
        std::uint8_t* row = rows.Fetch(y, block.Get());
        if (!row) return 0;
        std::uint8_t* copy = block.Get(n + 4);
        std::memcpy(copy, row, n);
        transform_rows::ReversePixels(row, copy, w, bits);
        if (!rows.Put(y, row)) return 0;
        StepRow(gauge, y, h - 1 - y);
    }
    return 1;
}

namespace {

// The row pairing of the vertical and diagonal mirrors: rows f and g = H - 1 - f
// exchange places, reversed when reverse is set; the middle row of an odd
// height stays, or is reversed in place.
int MirrorRows(CPicture* picture, bool progress, bool reverse) {
    if (!Usable(picture)) return 0;
    const int w = picture->GetWidth(), h = picture->GetHeight(), bits = Bits(picture);
    Rows rows(picture);
    const std::uint64_t n = rows.RowBytes();
    const std::uint64_t stride = n + 4;
    RowBlock block(3 * stride);
    std::uint8_t* a = block.Get();
    std::uint8_t* b = block.Get(stride);
    std::uint8_t* keep = block.Get(2 * stride);
    ScopedProgress gauge(progress, IDS_MIRRORING, 0, unsigned(h / 2));
    int f = 0;
    for (int g = h - 1; g >= (h + 1) / 2; --g) {
        std::uint8_t* top = rows.Fetch(f, a);
        std::uint8_t* bottom = top ? rows.Fetch(g, b) : nullptr;
        if (!bottom) return 0;
        if (reverse) {
            std::memcpy(keep, top, n);
            transform_rows::ReversePixels(top, bottom, w, bits);
            transform_rows::ReversePixels(bottom, keep, w, bits);
        } else {
            std::swap_ranges(top, top + n, bottom);
        }
        if (!rows.Put(f, top) || !rows.Put(g, bottom)) return 0;
        ++f;
        StepRow(gauge, f, f);
    }
    if (reverse && h % 2 == 1) {
        const int middle = (h - 1) / 2;
        std::uint8_t* row = rows.Fetch(middle, a);
        if (!row) return 0;
        std::memcpy(keep, row, n);
        transform_rows::ReversePixels(row, keep, w, bits);
        if (!rows.Put(middle, row)) return 0;
    }
    return 1;
}

}  // namespace

int MirrorVertical(CPicture* picture, bool progress) { return MirrorRows(picture, progress, false); }

int MirrorDiagonal(CPicture* picture, bool progress) { return MirrorRows(picture, progress, true); }

int RotateLeft(CPicture* source, CPicture* destination, bool progress, bool* cancelled) {
    return QuarterTurn(source, destination, progress, cancelled, true);
}

int RotateRight(CPicture* source, CPicture* destination, bool progress, bool* cancelled) {
    return QuarterTurn(source, destination, progress, cancelled, false);
}

int RotateLeftDirect(CPicture* source, CPicture* destination, bool progress) {
    return DirectQuarterTurn(source, destination, progress, true);
}

int RotateRightDirect(CPicture* source, CPicture* destination, bool progress) {
    return DirectQuarterTurn(source, destination, progress, false);
}

int RotateHalfInto(CPicture* source, CPicture* destination, bool progress) {
    if (!Usable(source) || !Usable(destination) || !SameFormat(source, destination) ||
        source->GetWidth() != destination->GetWidth() ||
        source->GetHeight() != destination->GetHeight())
        return 0;
    if (source == destination) return MirrorDiagonal(source, progress);
    const int w = source->GetWidth(), h = source->GetHeight(), bits = Bits(source);
    Rows from(source), to(destination);
    const std::uint64_t n = from.RowBytes();
    RowBlock block(2 * (n + 4));
    std::uint8_t* in = block.Get();
    std::uint8_t* out = block.Get(n + 4);
    ScopedProgress gauge(progress, IDS_ROTATING, 0, unsigned(h - 1));
    for (int y = h - 1; y >= 0; --y) {
        const std::uint8_t* row = from.Fetch(y, in);
        if (!row) return 0;
        std::uint8_t* target = to.Target(h - 1 - y, out);
        if (target == out) std::memcpy(out, row, n);  // the padding as the source has it
        transform_rows::ReversePixels(target, row, w, bits);
        if (!to.Put(h - 1 - y, target)) return 0;
        StepRow(gauge, y, h - 1 - y);
    }
    return 1;
}

TransformedRows::TransformedRows(CPicture* source, TransformOp op)
    : TransformedRows(::Usable(source) ? source->GetWidth() : 0, ::Usable(source) ? source->GetHeight() : 0,
                      ::Usable(source) ? Bits(source) : 0, op,
                      [source](int y, std::uint8_t* buffer) { return Rows(source).Fetch(y, buffer); }) {}

TransformedRows::TransformedRows(int width, int height, int bits, TransformOp op, Fetch fetch)
    : fetch_(std::move(fetch)), op_(op) {
    if (width <= 0 || height <= 0 || !transform_rows::SupportedBits(bits) || TransformIsQuarterTurn(op))
        return;
    width_ = width;
    height_ = height;
    bits_ = bits;
    rowBytes_ = RowBytesFor(width, bits);
    buffer_.reset(new std::uint8_t[2 * rowBytes_]);
    usable_ = true;
}

bool TransformedRows::Row(int y, std::uint8_t* row) {
    if (!usable_ || y < 0 || y >= height_) return false;
    const bool flip = op_ != TransformOp::MirrorHorizontal;
    if (op_ == TransformOp::MirrorVertical) {  // whole stored rows change places
        const std::uint8_t* from = fetch_(height_ - 1 - y, row);
        if (from && from != row) std::memcpy(row, from, rowBytes_);
        return from != nullptr;
    }
    const std::uint8_t* from = fetch_(flip ? height_ - 1 - y : y, buffer_.get());
    if (!from) return false;
    // The bytes past the last whole pixel byte (the kernel keeps the bits
    // beyond the last pixel) as each operation leaves them: the row's own in
    // place, none in the new picture of the half turn.
    const std::uint64_t whole = std::uint64_t(width_) * std::uint64_t(bits_) / 8;
    const std::uint64_t tail = rowBytes_ - whole;
    if (op_ == TransformOp::RotateHalf) {
        std::memset(row + whole, 0, tail);
    } else if (!flip) {
        std::memcpy(row + whole, from + whole, tail);
    } else if (tail != 0) {
        const std::uint8_t* own = fetch_(y, buffer_.get() + rowBytes_);
        if (!own) return false;
        std::memcpy(row + whole, own + whole, tail);
    }
    transform_rows::ReversePixels(row, from, width_, bits_);
    return true;
}

TurnedRows::TurnedRows(int width, int height, int bits, bool left, Segment segment,
                       std::uint64_t bandBytes)
    : segment_(std::move(segment)), left_(left) {
    if (width <= 0 || height <= 0 || bits < 8 || !transform_rows::SupportedBits(bits)) return;
    width_ = width;
    height_ = height;
    bits_ = bits;
    pixel_ = (bits + 1) / 8;
    rowBytes_ = RowBytesFor(height, bits);
    // At least one tile's worth of result rows a band.
    const std::uint64_t perRow = std::uint64_t(height) * std::uint64_t(pixel_);
    band_ = int(std::min<std::uint64_t>(std::uint64_t(width), std::max<std::uint64_t>(kTile, bandBytes / perRow)));
    in_.resize(std::size_t(kTile) * std::size_t(band_) * std::size_t(pixel_));
    out_.resize(std::size_t(band_) * rowBytes_);
    usable_ = true;
}

// Result rows first.. take source columns: turning left, result row i is
// source column width - 1 - i read downwards; turning right, column i read
// upwards. The band's source columns are read a strip of kTile source rows
// at a time into in_, as rows of band_ pixels, one per source row, and each
// strip is turned tile by tile into its columns of out_: the strip stays in
// the cache while it is turned.
bool TurnedRows::Fill(int first) {
    const int count = std::min(band_, width_ - first);
    const int x0 = left_ ? width_ - first - count : first;
    const std::ptrdiff_t inStride = std::ptrdiff_t(count) * pixel_;
    const std::ptrdiff_t outStride = std::ptrdiff_t(rowBytes_);
    // Result pixels j0.. come from source rows ys.. (ascending) turning
    // left, from ys + th - 1 downwards turning right.
    for (int j0 = 0; j0 < height_; j0 += kTile) {
        const int th = std::min(kTile, height_ - j0);
        const int ys = left_ ? j0 : height_ - j0 - th;
        for (int k = 0; k < th; ++k)
            if (!segment_(ys + k, x0, count, in_.data() + std::ptrdiff_t(k) * inStride)) return false;
        for (int r0 = 0; r0 < count; r0 += kTile) {
            const int rows = std::min(kTile, count - r0);
            std::uint8_t* to = out_.data() + std::ptrdiff_t(r0) * outStride + std::ptrdiff_t(j0) * pixel_;
            // Result row r, pixel j: strip column count - 1 - r, row j
            // turning left; column r, row th - 1 - j turning right.
            if (left_)
                transform_rows::TransposePixels(to, outStride, in_.data() + std::ptrdiff_t(count - 1 - r0) * pixel_,
                                                -pixel_, inStride, rows, th, bits_);
            else
                transform_rows::TransposePixels(to, outStride,
                                                in_.data() + std::ptrdiff_t(th - 1) * inStride +
                                                    std::ptrdiff_t(r0) * pixel_,
                                                pixel_, -inStride, rows, th, bits_);
        }
    }
    // Padding as a new picture has it.
    const std::uint64_t pixels = std::uint64_t(height_) * std::uint64_t(pixel_);
    for (int r = 0; r < count; ++r)
        std::memset(out_.data() + std::uint64_t(r) * rowBytes_ + pixels, 0, std::size_t(rowBytes_ - pixels));
    first_ = first;
    return true;
}

bool TurnedRows::Row(int i, std::uint8_t* row) {
    if (!usable_ || i < 0 || i >= width_) return false;
    if (first_ < 0 || i < first_ || i >= first_ + band_) {
        first_ = -1;
        if (!Fill(i - i % band_)) return false;
    }
    std::memcpy(row, out_.data() + std::uint64_t(i - first_) * rowBytes_, rowBytes_);
    return true;
}

bool TransformMakesNewPicture(TransformOp op) {
    return op == TransformOp::RotateLeft || op == TransformOp::RotateRight ||
           op == TransformOp::RotateHalf;
}

bool TransformIsQuarterTurn(TransformOp op) {
    return op == TransformOp::RotateLeft || op == TransformOp::RotateRight;
}

std::unique_ptr<CPicture> CreateRotationDestination(CPicture* source, bool exchange) {
    if (!source || !source->HasHeader()) return nullptr;
    const int w = exchange ? source->GetHeight() : source->GetWidth();
    const int h = exchange ? source->GetWidth() : source->GetHeight();
    // The source's type, colour table (as many entries as it has, none for a
    // true-colour picture without one) and both resolutions exactly; the
    // resolutions are not exchanged with the size.
    const BitmapInfoHeader* header = source->GetHeader();
    const int colours = (source->GetHeaderSize() - int(sizeof(BitmapInfoHeader))) / int(sizeof(RgbQuad));
    auto picture = std::make_unique<CDocPicture>();
    if (!picture->Create(source->GetType(), w, h, colours, colours > 0 ? source->GetColourTable() : nullptr,
                         std::uint32_t(header->biXPelsPerMeter), std::uint32_t(header->biYPelsPerMeter),
                         kStoreAny))
        return nullptr;
    return picture;
}

int TransformAreaInto(CPicture* source, const Rect& area, CPicture* destination, int x, int y,
                      TransformOp op) {
    const bool mirror = op == TransformOp::MirrorHorizontal;
    if (!mirror && !TransformIsQuarterTurn(op)) return 0;
    if (!Usable(source) || !Usable(destination) || source == destination ||
        !SameFormat(source, destination))
        return 0;
    const int w = area.right - area.left + 1, h = area.bottom - area.top + 1;
    if (w <= 0 || h <= 0 || area.left < 0 || area.top < 0 || area.right >= source->GetWidth() ||
        area.bottom >= source->GetHeight())
        return 0;
    const int placedWidth = mirror ? w : h, placedHeight = mirror ? h : w;
    if (x < 0 || y < 0 || placedWidth > destination->GetWidth() - x ||
        placedHeight > destination->GetHeight() - y)
        return 0;
    const int bits = Bits(source);
    StorePin sourcePin(&source->Store()), destinationPin(&destination->Store());
    Rows s(source), d(destination);
    if (bits >= 8 && s.Resident() && d.Resident()) {
        const std::ptrdiff_t pixel = (bits + 1) / 8;
        const std::ptrdiff_t sourceStride = std::ptrdiff_t(s.RowBytes());
        const std::ptrdiff_t destinationStride = std::ptrdiff_t(d.RowBytes());
        std::uint8_t* to = d.Direct(y) + x * pixel;
        if (mirror) {
            for (int r = 0; r < h; ++r, to -= destinationStride)
                transform_rows::ReversePixels(to, s.Direct(area.top + r) + area.left * pixel, w, bits);
        } else if (op == TransformOp::RotateLeft) {
            // Destination row y + i, pixel x + j: source column right - i, row top + j.
            transform_rows::TransposePixels(to, -destinationStride,
                                            s.Direct(area.top) + area.right * pixel, -pixel,
                                            -sourceStride, w, h, bits);
        } else {
            // Destination row y + i, pixel x + j: source column left + i, row bottom - j.
            transform_rows::TransposePixels(to, -destinationStride,
                                            s.Direct(area.bottom) + area.left * pixel, pixel,
                                            sourceStride, w, h, bits);
        }
        return 1;
    }
    // A picture of the area, transformed whole and copied into place.
    std::unique_ptr<CPicture> part = NewPictureLike(source, 0, w, h);
    if (!part || !source->CopyTo(part.get(), 0, 0, &area, false)) return 0;
    CPicture* done = part.get();
    std::unique_ptr<CPicture> turned;
    if (mirror) {
        if (!MirrorHorizontal(part.get(), false)) return 0;
    } else {
        turned = CreateRotationDestination(part.get(), true);
        if (!turned) return 0;
        const int ok = op == TransformOp::RotateLeft ? RotateLeft(part.get(), turned.get(), false)
                                                     : RotateRight(part.get(), turned.get(), false);
        if (!ok) return 0;
        done = turned.get();
    }
    return done->CopyTo(destination, x, y, nullptr, false) ? 1 : 0;
}

Rect TransformedPart(const Rect& area, const Rect& part, int x, int y, TransformOp op) {
    const int w = area.right - area.left + 1, h = area.bottom - area.top + 1;
    const int u0 = part.left - area.left, u1 = part.right - area.left;
    const int v0 = part.top - area.top, v1 = part.bottom - area.top;
    switch (op) {
    case TransformOp::RotateLeft:
        return {x + v0, y + w - 1 - u1, x + v1, y + w - 1 - u0};
    case TransformOp::RotateRight:
        return {x + h - 1 - v1, y + u0, x + h - 1 - v0, y + u1};
    default:   // mirrored
        return {x + w - 1 - u1, y + v0, x + w - 1 - u0, y + v1};
    }
}

TransformResult TransformPictureInto(CPicture* source, TransformOp op, bool progress,
                                     std::unique_ptr<CPicture>& result, Progress* on) {
    ProgressScope scope(on);
    result.reset();
    if (!source) return kTransformFailed;
    try {
        // The pictures stay where they are while rows are moved through
        // their memory (another thread may make room meanwhile); a rotation's
        // source only once its destination is made, which may move it.
        std::optional<StorePin> sourcePin;
        if (!TransformMakesNewPicture(op)) sourcePin.emplace(&source->Store());
        switch (op) {
        case TransformOp::MirrorHorizontal:
            return MirrorHorizontal(source, progress) ? kTransformDone : kTransformFailed;
        case TransformOp::MirrorVertical:
            return MirrorVertical(source, progress) ? kTransformDone : kTransformFailed;
        case TransformOp::MirrorDiagonal:
            return MirrorDiagonal(source, progress) ? kTransformDone : kTransformFailed;
        default: break;
        }
        std::unique_ptr<CPicture> turned = CreateRotationDestination(source, TransformIsQuarterTurn(op));
        if (!turned) return kTransformFailed;
        sourcePin.emplace(&source->Store());
        StorePin turnedPin(&turned->Store());
        bool cancelled = false;
        int ok = 0;
        if (op == TransformOp::RotateLeft) ok = RotateLeft(source, turned.get(), progress, &cancelled);
        else if (op == TransformOp::RotateRight)
            ok = RotateRight(source, turned.get(), progress, &cancelled);
        else ok = RotateHalfInto(source, turned.get(), progress);
        if (!ok) return cancelled ? kTransformCancelled : kTransformFailed;
        if (const Palette* palette = source->GetPalette(); palette && !palette->Empty())
            turned->SetPalette(palette);
        result = std::move(turned);
        return kTransformDone;
    } catch (const std::bad_alloc&) {
        result.reset();
        return kTransformFailed;
    }
}

TransformResult TransformPicture(std::unique_ptr<CPicture>& picture, TransformOp op,
                                 bool progress, Progress* on) {
    std::unique_ptr<CPicture> turned;
    const TransformResult result = TransformPictureInto(picture.get(), op, progress, turned, on);
    if (result == kTransformDone && turned) picture = std::move(turned);
    return result;
}
