// Rescale, RescaledCopy, Deskew and LinePoints.
#include "picture/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "picture/colour_converter_kernels.h"
#include "picture/global_block.h"
#include "picture/picture.h"
#include "base/message_box.h"
#include "base/progress.h"

namespace {

using colour::SegmentBytesFor;  // bytes of a row segment in a buffer, any depth

int BytesPerPixel(int bits) { return bits == 15 ? 2 : bits / 8; }

// A work block for the call; throws std::bad_alloc when it cannot be had.
std::uint8_t* AllocateWork(CGlobalBlock& block, std::uint64_t bytes) {
    std::uint8_t* p = block.Allocate(kGlobalMoveable | kGlobalZeroInit, bytes);
    if (!p) throw std::bad_alloc();
    return p;
}

// Gathers destination pixels j = 0..count-1 from source pixels columns[j].
template <int Bytes>
void GatherWhole(const std::uint8_t* src, const int* columns, int count, std::uint8_t* dst) {
    for (int j = 0; j < count; ++j) std::memcpy(dst + Bytes * j, src + Bytes * columns[j], Bytes);
}

template <int Bits>
void GatherIndices(const std::uint8_t* src, const int* columns, int count, std::uint8_t* dst) {
    std::memset(dst, 0, std::size_t(SegmentBytesFor(Bits, count)));  // no stray bits after the last
    for (int j = 0; j < count; ++j) packing::SetIndex<Bits>(dst, j, packing::GetIndex<Bits>(src, columns[j]));
}

// Three-byte pixels moved as four-byte words, each word's last byte
// overwritten by the next pixel: both rows need a byte to spare at the end.
void GatherWords3(const std::uint8_t* src, const int* columns, int count, std::uint8_t* dst) {
    for (int j = 0; j < count; ++j) {
        std::uint32_t word;
        std::memcpy(&word, src + 3 * std::size_t(columns[j]), 4);
        std::memcpy(dst + 3 * std::size_t(j), &word, 4);
    }
}

// The work rows of RescaledRows have bytes to spare beyond their pixels.
void GatherRow(int bits, const std::uint8_t* src, const int* columns, int count, std::uint8_t* dst) {
    switch (bits) {
    case 1: GatherIndices<1>(src, columns, count, dst); break;
    case 4: GatherIndices<4>(src, columns, count, dst); break;
    case 8: GatherWhole<1>(src, columns, count, dst); break;
    case 15:
    case 16: GatherWhole<2>(src, columns, count, dst); break;
    case 24: GatherWords3(src, columns, count, dst); break;
    case 32: GatherWhole<4>(src, columns, count, dst); break;
    default: break;
    }
}

bool SupportedDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
           bits == 32;
}

// Scales index i of 0..to-1 onto 0..from-1: (from - 1) * i / (to - 1); a
// destination of one pixel takes the first source pixel.
int ScaledIndex(int i, int from, int to) {
    if (to <= 1) return 0;
    return int(std::int64_t(from - 1) * i / (to - 1));
}

// The white of a picture's type, as Fill takes it.
std::uint32_t WhiteFor(int type, int bits) {
    switch (type) {
    case ptBlackWhite: return 1;
    case ptColor16:
    case ptGray16: return 15;
    case ptColor256:
    case ptGray256: return 255;
    default: break;
    }
    if (bits == 15 || bits == 16) return 0x7FFF;
    return 0x00FFFFFF;
}

// round(i * size / count), half up, kept inside 0..size-1.
int NearestSource(int i, int size, int count) {
    int v = int(std::floor(double(i) * size / count + 0.5));
    return std::min(std::max(v, 0), size - 1);
}


// Stores a pixel value into a row buffer: 1 bit, 4 bits, 8 bits, 24 bits
// (0x00BBGGRR) and the raw little-endian bytes of 15/16- and 32-bit pixels.
void PutValue(std::uint8_t* row, int bits, int x, std::uint32_t value) {
    switch (bits) {
    case 1: packing::SetIndex<1>(row, x, value); break;
    case 4: packing::SetIndex<4>(row, x, value); break;
    case 8: packing::SetIndex<8>(row, x, value); break;
    case 24:
        row[3 * x] = RgbBlue(value);
        row[3 * x + 1] = RgbGreen(value);
        row[3 * x + 2] = RgbRed(value);
        break;
    case 15:
    case 16:
        row[2 * x] = std::uint8_t(value);
        row[2 * x + 1] = std::uint8_t(value >> 8);
        break;
    case 32:
        for (int k = 0; k < 4; ++k) row[4 * x + k] = std::uint8_t(value >> (8 * k));
        break;
    default: break;
    }
}

// A sliding window of destination rows held in memory while Deskew writes
// into them, so that pixels are stored into row buffers and every row goes
// through the picture once, whether its store is in memory or in a swap
// file. Rows enter at the bottom and leave at the top; a pixel above the
// window (rows already written back) goes to the picture directly.
class RowWindow {
public:
    RowWindow(CPicture* picture, int bits, int capacity)
        : picture_(picture), bits_(bits), width_(picture->GetWidth()),
          height_(picture->GetHeight()), rowBytes_(SegmentBytesFor(bits, width_) + 8),
          capacity_(std::max(capacity, 1)) {
        buffer_.resize(std::size_t(rowBytes_) * std::size_t(capacity_));
    }

    bool Put(int x, int y, std::uint32_t value) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return true;
        if (y < top_) return PutDirect(x, y, value);
        while (y > bottom_) {
            if (bottom_ - top_ + 1 == capacity_ && !Flush()) return false;
            ++bottom_;
            if (!picture_->ReadRow(0, width_ - 1, bottom_, Slot(bottom_))) return false;
        }
        PutValue(Slot(y), bits_, x, value);
        return true;
    }

    // The first row any pixel will go to: rows above it are never read.
    void Start(int firstRow) {
        top_ = std::max(firstRow, 0);
        bottom_ = top_ - 1;
    }

    bool FlushAll() {
        while (top_ <= bottom_)
            if (!Flush()) return false;
        return true;
    }

private:
    std::uint8_t* Slot(int y) { return buffer_.data() + std::size_t(y % capacity_) * rowBytes_; }
    bool Flush() {
        if (!picture_->WriteRow(0, width_ - 1, top_, Slot(top_))) return false;
        ++top_;
        return true;
    }
    bool PutDirect(int x, int y, std::uint32_t value) {
        std::uint8_t pixel[8] = {};
        if (bits_ == 1 || bits_ == 4 || bits_ == 8 || bits_ == 24)
            return picture_->SetPixelValue(x, y, value) != 0;
        PutValue(pixel, bits_, 0, value);
        return picture_->WriteRow(x, x, y, pixel) != 0;
    }

    CPicture* picture_;
    int bits_, width_, height_;
    std::uint64_t rowBytes_;
    int capacity_;
    int top_ = 0, bottom_ = -1;  // rows top_..bottom_ are in the window
    std::vector<std::uint8_t> buffer_;
};
}  // namespace

int LinePoints(std::vector<LinePoint>& points, int x0, int y0, int x1, int y1) {
    points.clear();
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const bool majorY = dx < dy;
    const int major = majorY ? dy : dx, minor = majorY ? dx : dy;
    // Walk from the end with the smaller major coordinate.
    const bool fromFirst = majorY ? (y0 <= y1) : (x0 <= x1);
    int x = fromFirst ? x0 : x1, y = fromFirst ? y0 : y1;
    const int ex = fromFirst ? x1 : x0, ey = fromFirst ? y1 : y0;
    const int minorStep = majorY ? (ex > x ? 1 : -1) : (ey > y ? 1 : -1);
    int decision = 2 * minor - major;
    points.reserve(std::size_t(major) + 1);
    for (int i = 0; i <= major; ++i) {
        points.push_back({x, y});
        if (decision >= 0) {
            if (majorY) x += minorStep;
            else y += minorStep;
            decision -= 2 * major;
        }
        decision += 2 * minor;
        if (majorY) ++y;
        else ++x;
    }
    if (points.front() != LinePoint{x0, y0}) std::reverse(points.begin(), points.end());
    return int(points.size());
}

RescaledRows::RescaledRows(CPicture* source, int width, int height)
    : RescaledRows(source && source->HasHeader() ? source->GetWidth() : 0,
                   source && source->HasHeader() ? source->GetHeight() : 0,
                   source && source->HasHeader() ? source->GetBitCount() : 0,
                   [source](int y, std::uint8_t* buffer) {
                       return source->ReadRow(0, source->GetWidth() - 1, y, buffer) != 0;
                   },
                   width, height) {}

RescaledRows::RescaledRows(int sourceWidth, int sourceHeight, int bits, Fetch fetch, int width, int height)
    : fetch_(std::move(fetch)), sourceWidth_(sourceWidth), sourceHeight_(sourceHeight), width_(width),
      height_(height), bits_(bits) {
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || !SupportedDepth(bits)) return;
    // The source row as a stored row (its padding included) fits too.
    const std::uint64_t sourceBytes = SegmentBytesFor(bits, sourceWidth) + 1 + 8;
    const std::uint64_t rowBytes = SegmentBytesFor(bits, width) + 1 + 8;
    sourceRow_ = AllocateWork(block_, sourceBytes + rowBytes);
    row_ = sourceRow_ + sourceBytes;
    columns_.resize(static_cast<std::size_t>(width));
    for (int j = 0; j < width; ++j) columns_[std::size_t(j)] = ScaledIndex(j, sourceWidth, width);
}

const std::uint8_t* RescaledRows::Row(int i) {
    if (!row_ || i < 0 || i >= height_) return nullptr;
    const int sy = ScaledIndex(i, sourceHeight_, height_);
    if (sy != lastRow_) {
        lastRow_ = -1;
        if (!fetch_(sy, sourceRow_)) return nullptr;
        GatherRow(bits_, sourceRow_, columns_.data(), width_, row_);
        lastRow_ = sy;
    }
    return row_;
}

std::uint64_t RescaledRows::RowBytes() const { return SegmentBytesFor(bits_, width_); }

int Rescale(CPicture* source, CPicture* destination) {
    if (!source || !destination || !source->HasHeader() || !destination->HasHeader()) return 0;
    const int bits = source->GetBitCount();
    if (bits != destination->GetBitCount() || !SupportedDepth(bits)) return 0;
    const int W = source->GetWidth(), H = source->GetHeight();
    const int W2 = destination->GetWidth(), H2 = destination->GetHeight();
    if (W <= 0 || H <= 0 || W2 <= 0 || H2 <= 0) return 0;
    if (W == W2 && H == H2) return destination->CopyAllRows(source) ? 1 : 0;

    RescaledRows rows(source, W2, H2);
    for (int i = 0; i < H2; ++i) {
        const std::uint8_t* row = rows.Row(i);
        if (!row || !destination->WriteRow(0, W2 - 1, i, row)) return 0;
    }
    return 1;
}

std::unique_ptr<CPicture> RescaledCopy(CPicture* source, int width, int height) {
    if (!source || !source->HasHeader() || width <= 0 || height <= 0) return nullptr;
    const int type = source->GetType();
    const BitmapInfoHeader* header = source->GetHeader();
    auto copy = std::make_unique<CDocPicture>();
    // Created with the source's colour table: the copy keeps its palette.
    if (!copy->Create(type, width, height, int(header->biClrUsed), source->GetColourTable(),
                      std::uint32_t(header->biXPelsPerMeter),
                      std::uint32_t(header->biYPelsPerMeter), kStoreAny)) {
        ShowMessageById(5098);  // "There is not enough memory."
        return nullptr;
    }
    try {
        if (!Rescale(source, copy.get())) return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return copy;
}

namespace {

// The walk of Deskew: source rows taken from the top down along the left
// edge (step m takes source row SourceRow(m)), each row's pixels spread
// along the top edge from the step's point of the left edge.
class DeskewWalk {
public:
    DeskewWalk(int width, int height, int bits, const DeskewCorners& c)
        : height_(height), bits_(bits), c_(c) {
        n1_ = LinePoints(top_, c.x0, c.y0, c.x1, c.y1);
        n2_ = LinePoints(left_, c.x0, c.y0, c.x2, c.y2);
        columns_.resize(std::size_t(n1_));
        for (int o = 0; o < n1_; ++o) columns_[std::size_t(o)] = NearestSource(o, width, n1_);
        for (const LinePoint& p : top_) {
            highest_ = std::min(highest_, p.y - c.y0);
            lowest_ = std::max(lowest_, p.y - c.y0);
        }
        for (const LinePoint& p : left_) leftHighest_ = std::min(leftHighest_, p.y - c.y0);
    }
    int Steps() const { return n2_; }
    int SourceRow(int m) const { return NearestSource(m, height_, n2_); }
    // The first destination row any step writes to.
    int FirstRow() const { return c_.y0 + highest_ + leftHighest_; }
    // The first destination row step m and the steps after it write to.
    int FirstRowOf(int m) const { return left_[std::size_t(m)].y + highest_; }
    // Rows one step touches: the top edge's height, a row of hole filling.
    int Span() const { return lowest_ - highest_ + 3; }

    // Step m over its source row's pixels (at least the picture's row,
    // with bytes to spare): put(x, y, value) for each destination pixel.
    template <typename Put>
    bool Step(int m, const std::uint8_t* sourceRow, Put&& put) const {
        const int vx = left_[std::size_t(m)].x, vy = left_[std::size_t(m)].y;
        // A diagonal step of the left edge leaves a gap below this row.
        int fillDy = 0;
        if (m + 1 < n2_ && left_[std::size_t(m + 1)].x != vx && left_[std::size_t(m + 1)].y != vy)
            fillDy = left_[std::size_t(m + 1)].y - vy;
        const int bytes = BytesPerPixel(bits_);
        auto valueAt = [&](int sx) -> std::uint32_t {
            switch (bits_) {
            case 1: return packing::GetIndex<1>(sourceRow, sx);
            case 4: return packing::GetIndex<4>(sourceRow, sx);
            case 8: return packing::GetIndex<8>(sourceRow, sx);
            case 24: {
                const std::uint8_t* p = sourceRow + 3 * sx;
                return MakeRgb(p[2], p[1], p[0]);
            }
            default: {
                std::uint32_t v = 0;
                std::memcpy(&v, sourceRow + std::size_t(bytes) * std::size_t(sx), std::size_t(bytes));
                return v;
            }
            }
        };
        bool ok = true;
        int lastColumn = -1;
        std::uint32_t value = 0;
        for (int o = 0; o < n1_; ++o) {
            const int X = vx + top_[std::size_t(o)].x - c_.x0;
            const int Y = vy + top_[std::size_t(o)].y - c_.y0;
            const int sx = columns_[std::size_t(o)];
            if (sx != lastColumn) {
                value = valueAt(sx);
                lastColumn = sx;
            }
            if (!put(X, Y, value)) ok = false;
            if (fillDy != 0 && !put(X, Y + fillDy, value)) ok = false;
        }
        return ok;
    }

private:
    int height_, bits_;
    DeskewCorners c_;
    std::vector<LinePoint> top_, left_;
    std::vector<int> columns_;
    int n1_ = 0, n2_ = 0;
    int highest_ = 0, lowest_ = 0, leftHighest_ = 0;
};

// Corners far beyond any picture would make edges of billions of points.
bool CornersNear(const DeskewCorners& c) {
    constexpr int kFar = 1 << 20;
    for (int v : {c.x0, c.y0, c.x1, c.y1, c.x2, c.y2})
        if (v < -kFar || v > kFar) return false;
    return true;
}

// Rows of the window within a memory bound.
int WindowRows(int span, std::uint64_t rowBytes) {
    return int(std::min<std::uint64_t>(std::uint64_t(span), std::max<std::uint64_t>(1, (256u << 20) / rowBytes)));
}

}  // namespace

int Deskew(CPicture* source, CPicture* destination, const DeskewCorners& c,
           bool whiteBackground, Progress* on) {
    ProgressScope scope(on);
    if (!source || !destination || !source->HasHeader() || !destination->HasHeader()) return 0;
    const int bits = source->GetBitCount();
    if (bits != destination->GetBitCount() || !SupportedDepth(bits)) return 0;
    const int W = source->GetWidth(), H = source->GetHeight();
    const int DW = destination->GetWidth(), DH = destination->GetHeight();
    if (!CornersNear(c)) return 0;

    CGlobalBlock block;
    std::uint8_t* sourceRow = AllocateWork(block, SegmentBytesFor(bits, W) + 1 + 8);
    const DeskewWalk walk(W, H, bits, c);
    const int n2 = walk.Steps();

    if (whiteBackground) {
        destination->Fill(WhiteFor(destination->GetType(), bits));
    } else if (bits == 1 || bits == 4 || bits == 8 || bits == 24) {
        Rect all{0, 0, DW - 1, DH - 1};
        destination->FillRectInclusive(128, &all);
    } else {
        destination->Fill(128);
    }
    if (whiteBackground) BeginProgressWithCaption(5146, 0, unsigned(n2));

    // The rows one output row touches span the top edge's height, plus one
    // row of hole filling; keep that many (within a memory bound) at hand.
    const std::uint64_t rowBytes = SegmentBytesFor(bits, DW) + 8;
    RowWindow window(destination, bits, std::min(WindowRows(walk.Span(), rowBytes), std::max(DH, 1)));
    window.Start(walk.FirstRow());
    int lastRow = -1;
    bool failed = false;
    for (int m = 0; m < n2 && !failed; ++m) {
        const int sy = walk.SourceRow(m);
        if (sy != lastRow) {
            if (!source->ReadRow(0, W - 1, sy, sourceRow)) {
                failed = true;
                break;
            }
            lastRow = sy;
        }
        if (!walk.Step(m, sourceRow, [&](int x, int y, std::uint32_t value) { return window.Put(x, y, value); }))
            failed = true;
        if (whiteBackground && StepProgress(unsigned(m + 1))) failed = true;  // Escape
    }
    if (!window.FlushAll()) failed = true;
    if (whiteBackground) EndProgress();
    return failed ? 0 : 1;
}

struct DeskewedRows::Work {
    DeskewWalk walk;
    std::unique_ptr<CDocPicture> model;  // row 0 white, row 1 where a finished row takes its stored form
    int width = 0, height = 0, bits = 0;
    int capacity = 0;
    std::uint64_t slotBytes = 0;
    std::vector<std::uint8_t> window, sourceRow;
    int top = 0, bottom = -1;  // destination rows top..bottom are in the window
    int next = 0;              // the next row to hand over
    int step = 0, lastRow = -1;
    Work(int w, int h, int b, const DeskewCorners& c) : walk(w, h, b, c) {}
    std::uint8_t* Slot(int y) { return window.data() + std::size_t(y % capacity) * slotBytes; }
};

DeskewedRows::DeskewedRows(const CPicture& shape, int sourceWidth, int sourceHeight, Fetch fetch,
                           const DeskewCorners& corners, int width, int height)
    : fetch_(std::move(fetch)) {
    const int bits = shape.HasHeader() ? shape.GetBitCount() : 0;
    if (!SupportedDepth(bits) || sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 ||
        !CornersNear(corners))
        return;
    auto work = std::make_unique<Work>(sourceWidth, sourceHeight, bits, corners);
    work->width = width;
    work->height = height;
    work->bits = bits;
    work->slotBytes = SegmentBytesFor(bits, width) + 8;
    // Every row a step touches at hand: none is finished before the steps
    // that write to it are done.
    const int span = work->walk.Span();
    if (WindowRows(span, work->slotBytes) < span) return;
    work->capacity = std::min(span, height);
    const BitmapInfoHeader* header = shape.GetHeader();
    work->model = std::make_unique<CDocPicture>();
    if (!work->model->Create(shape.GetType(), width, 2, int(header->biClrUsed), shape.GetColourTable(),
                             std::uint32_t(header->biXPelsPerMeter), std::uint32_t(header->biYPelsPerMeter),
                             kStoreMemory) ||
        !work->model->Fill(WhiteFor(shape.GetType(), bits)))
        return;
    work->window.assign(std::size_t(work->capacity) * std::size_t(work->slotBytes), 0);
    work->sourceRow.assign(std::size_t(std::max(SegmentBytesFor(bits, sourceWidth) + 1 + 8,
                                                 RowBytesFor(sourceWidth, bits))),
                           0);
    work->top = std::max(work->walk.FirstRow(), 0);
    work->bottom = work->top - 1;
    work_ = std::move(work);
}

DeskewedRows::~DeskewedRows() = default;

bool DeskewedRows::Row(int y, std::uint8_t* row) {
    Work* w = work_.get();
    if (!w || y != w->next || y >= w->height) return false;
    bool ok = true;
    // The steps that can still write to row y: from then on it is finished.
    while (ok && w->step < w->walk.Steps() && w->walk.FirstRowOf(w->step) <= y) {
        const int m = w->step++;
        const int sy = w->walk.SourceRow(m);
        if (sy != w->lastRow) {
            if (!fetch_(sy, w->sourceRow.data())) return false;
            w->lastRow = sy;
        }
        ok = w->walk.Step(m, w->sourceRow.data(), [&](int x, int yy, std::uint32_t value) {
            if (x < 0 || yy < 0 || x >= w->width || yy >= w->height) return true;
            if (yy < w->next) return false;  // a row already handed over
            while (yy > w->bottom) {
                // A row leaves the window only once handed over.
                if (w->bottom - w->top + 1 == w->capacity) {
                    if (w->top >= w->next) return false;
                    ++w->top;
                }
                ++w->bottom;
                if (!w->model->ReadRow(0, w->width - 1, 0, w->Slot(w->bottom))) return false;
            }
            PutValue(w->Slot(yy), w->bits, x, value);
            return true;
        });
    }
    if (!ok) return false;
    ++w->next;
    if (y < w->top || y > w->bottom)  // no step writes here: white
        return w->model->ReadStoredRow(0, row) != 0;
    return w->model->WriteRow(0, w->width - 1, 1, w->Slot(y)) && w->model->ReadStoredRow(1, row);
}
