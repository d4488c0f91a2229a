#include "print/print_rows.h"

#include <algorithm>
#include <cstring>

#include "picture/picture.h"

RowRoutine ChooseRowRoutine(int pictureType, int pictureHeight, int printHeight) {
    if (pictureType != ptTrueColor24 && pictureType != ptGray256) return RowRoutine::Index;
    if (printHeight > pictureHeight) return RowRoutine::Enlarging;
    if (printHeight == pictureHeight) return RowRoutine::SameHeight;
    return RowRoutine::Reducing;
}

RowScaler::RowScaler(int bytesPerPixel, int sourceWidth, int outputWidth)
    : RowScaler(bytesPerPixel, sourceWidth, outputWidth, 0, outputWidth) {}

RowScaler::RowScaler(int bytesPerPixel, int sourceWidth, int outputWidth, int outputFirst,
                     int outputCount)
    : bpp_(bytesPerPixel), outputCount_(outputCount) {
    if (outputWidth == sourceWidth) {
        mode_ = kCopy;
        sourceFirst_ = outputFirst;
        sourceCount_ = outputCount;
    } else if (outputWidth > sourceWidth) {
        // Output pixel x sits at t = x (sw - 1) / (dw - 1) in the source; the
        // right neighbour weighs the fraction of t in 256ths (truncated).
        mode_ = kEnlarge;
        left_.resize(std::size_t(outputCount));
        weight_.resize(std::size_t(outputCount));
        const long long span = std::max(outputWidth - 1, 1);
        for (int k = 0; k < outputCount; ++k) {
            const long long t = (long long)(outputFirst + k) * (sourceWidth - 1);
            left_[std::size_t(k)] = int(t / span);
            weight_[std::size_t(k)] = std::uint16_t((t * 256 / span) & 255);
        }
        sourceFirst_ = outputCount > 0 ? left_.front() : 0;
        const int last = outputCount > 0 ? std::min(left_.back() + 1, sourceWidth - 1) : 0;
        sourceCount_ = last - sourceFirst_ + 1;
        for (int& l : left_) l -= sourceFirst_;
    } else {
        // Source pixel i falls on output pixel floor(i (dw - 1) / (sw - 1));
        // each output pixel averages its run, which begins at the first i
        // reaching it: ceil(j (sw - 1) / (dw - 1)).
        mode_ = kReduce;
        const long long span = std::max(outputWidth - 1, 1);
        auto runStart = [&](int j) {
            if (j >= outputWidth) return sourceWidth;
            return int(((long long)j * (sourceWidth - 1) + span - 1) / span);
        };
        sourceFirst_ = runStart(outputFirst);
        runEnd_.resize(std::size_t(outputCount));
        for (int k = 0; k < outputCount; ++k)
            runEnd_[std::size_t(k)] = runStart(outputFirst + k + 1) - sourceFirst_;
        sourceCount_ = outputCount > 0 ? runEnd_.back() : 0;
    }
}

void RowScaler::Scale(const std::uint8_t* source, std::uint8_t* output) const {
    const int bpp = bpp_;
    switch (mode_) {
    case kCopy:
        std::memcpy(output, source, std::size_t(outputCount_) * std::size_t(bpp));
        return;
    case kEnlarge: {
        const int last = sourceCount_ - 1;
        for (int x = 0; x < outputCount_; ++x) {
            const int l = left_[std::size_t(x)];
            const unsigned wr = weight_[std::size_t(x)], wl = 256 - wr;
            const std::uint8_t* a = source + std::size_t(l) * std::size_t(bpp);
            const std::uint8_t* b = source + std::size_t(std::min(l + 1, last)) * std::size_t(bpp);
            for (int c = 0; c < bpp; ++c)
                *output++ = std::uint8_t((wr * b[c] + wl * a[c]) >> 8);
        }
        return;
    }
    case kReduce: {
        int i = 0;
        for (int j = 0; j < outputCount_; ++j) {
            const int end = runEnd_[std::size_t(j)];
            unsigned sum[3] = {0, 0, 0};
            const int n = end - i;
            for (; i < end; ++i)
                for (int c = 0; c < bpp; ++c) sum[c] += source[std::size_t(i) * std::size_t(bpp) + std::size_t(c)];
            for (int c = 0; c < bpp; ++c) *output++ = std::uint8_t(n > 0 ? sum[c] / unsigned(n) : 0);
        }
        return;
    }
    }
}

void MapIndexRow(const std::uint8_t* source, int sourceWidth, std::uint8_t* output,
                 int outputWidth, int bits) {
    MapIndexRow(source, sourceWidth, output, outputWidth, bits, 0, outputWidth);
}

void MapIndexRow(const std::uint8_t* source, int sourceWidth, std::uint8_t* output,
                 int outputWidth, int bits, int outputFirst, int count) {
    const long long span = std::max(outputWidth - 1, 1);
    if (bits < 8) {
        std::memset(output, 0, std::size_t((std::int64_t(count) * bits + 7) / 8));
        const int perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (int i = 0; i < count; ++i) {
            const int s = int((long long)(sourceWidth - 1) * (outputFirst + i) / span);
            const int sShift = 8 - bits * (s % perByte + 1);
            const unsigned v = (source[s / perByte] >> sShift) & mask;
            const int oShift = 8 - bits * (i % perByte + 1);
            output[i / perByte] |= std::uint8_t(v << oShift);
        }
        return;
    }
    const int bytes = bits / 8;
    for (int i = 0; i < count; ++i) {
        const int s = int((long long)(sourceWidth - 1) * (outputFirst + i) / span);
        std::memcpy(output + std::size_t(i) * std::size_t(bytes),
                    source + std::size_t(s) * std::size_t(bytes), std::size_t(bytes));
    }
}

namespace {

// A run of print rows and columns: the part of the print one call produces.
struct Part {
    int left, top, right, bottom;
    int Width() const { return right - left; }
};

bool ProduceIndexRows(CPicture& picture, int printWidth, int printHeight, const Part& part,
                      const RowEmitter& emit) {
    const int sw = picture.GetWidth(), sh = picture.GetHeight();
    const int bits = picture.GetBitCount();
    // Whole rows: 1- and 4-bit parts rarely start on a byte.
    const bool whole = sw == printWidth && part.left == 0 && part.right == printWidth;
    std::vector<std::uint8_t> source(picture.GetRowBytes() + 4);
    std::vector<std::uint8_t> output(RowBytesFor(part.Width(), bits) + 4);
    int current = -1;
    for (int y = part.top; y < part.bottom; ++y) {
        // The source row under the centre of output row y.
        int s = sh == printHeight ? y
                                  : int(((2LL * y + 1) * sh) / (2LL * printHeight));
        s = std::min(s, sh - 1);
        if (s != current) {
            if (!picture.ReadRow(0, sw - 1, s, source.data())) return false;
            current = s;
            if (!whole)
                MapIndexRow(source.data(), sw, output.data(), printWidth, bits, part.left,
                            part.Width());
        }
        if (!emit(y, whole ? source.data() : output.data())) return false;
    }
    return true;
}

// The source columns a scaler needs, read from row y.
bool ReadSegment(CPicture& picture, const RowScaler& scaler, int y, std::uint8_t* buffer) {
    return picture.ReadRow(scaler.SourceFirst(), scaler.SourceFirst() + scaler.SourceCount() - 1,
                           y, buffer) != 0;
}

std::size_t SegmentBytes(const RowScaler& scaler, int bpp) {
    return std::size_t(scaler.SourceCount()) * std::size_t(bpp) + 4;
}

bool ProduceEnlargedRows(CPicture& picture, int printWidth, int printHeight, const Part& part,
                         const RowEmitter& emit) {
    const int sw = picture.GetWidth(), sh = picture.GetHeight();
    const int bpp = picture.GetBitCount() / 8;
    const RowScaler scaler(bpp, sw, printWidth, part.left, part.Width());
    const std::size_t outBytes = RowBytesFor(part.Width(), bpp * 8) + 4;
    std::vector<std::uint8_t> source(SegmentBytes(scaler, bpp));
    std::vector<std::uint8_t> upper(outBytes), lower(outBytes), output(outBytes);
    int upperRow = -1, lowerRow = -1;
    auto load = [&](int row, std::vector<std::uint8_t>& into) {
        if (!ReadSegment(picture, scaler, row, source.data())) return false;
        scaler.Scale(source.data(), into.data());
        return true;
    };
    const std::size_t n = std::size_t(part.Width()) * std::size_t(bpp);
    const long long span = printHeight - 1;
    for (int y = part.top; y < part.bottom; ++y) {
        // Output row y sits at t = y (sh - 1) / (ph - 1) in the picture.
        const long long t = (long long)y * (sh - 1);
        const int top = int(t / span);
        const unsigned w = unsigned((t * 256 / span) & 255);
        const int bottom = std::min(top + 1, sh - 1);
        if (top != upperRow) {
            if (top == lowerRow) {
                upper.swap(lower);
                upperRow = lowerRow;
                lowerRow = -1;
            } else {
                if (!load(top, upper)) return false;
                upperRow = top;
            }
        }
        if (w == 0) {
            if (!emit(y, upper.data())) return false;
            continue;
        }
        if (bottom != lowerRow) {
            if (!load(bottom, lower)) return false;
            lowerRow = bottom;
        }
        const unsigned wu = 256 - w;
        const std::uint8_t* a = upper.data();
        const std::uint8_t* b = lower.data();
        std::uint8_t* o = output.data();
        for (std::size_t i = 0; i < n; ++i) o[i] = std::uint8_t((w * b[i] + wu * a[i]) >> 8);
        if (!emit(y, o)) return false;
    }
    return true;
}

bool ProduceSameHeightRows(CPicture& picture, int printWidth, const Part& part,
                           const RowEmitter& emit) {
    const int sw = picture.GetWidth();
    const int bpp = picture.GetBitCount() / 8;
    const RowScaler scaler(bpp, sw, printWidth, part.left, part.Width());
    std::vector<std::uint8_t> source(SegmentBytes(scaler, bpp));
    std::vector<std::uint8_t> output(RowBytesFor(part.Width(), bpp * 8) + 4);
    for (int y = part.top; y < part.bottom; ++y) {
        if (!ReadSegment(picture, scaler, y, source.data())) return false;
        if (sw == printWidth) {
            if (!emit(y, source.data())) return false;
            continue;
        }
        scaler.Scale(source.data(), output.data());
        if (!emit(y, output.data())) return false;
    }
    return true;
}

bool ProduceReducedRows(CPicture& picture, int printWidth, int printHeight, const Part& part,
                        const RowEmitter& emit) {
    const int sw = picture.GetWidth(), sh = picture.GetHeight();
    const int bpp = picture.GetBitCount() / 8;
    const RowScaler scaler(bpp, sw, printWidth, part.left, part.Width());
    const std::size_t n = std::size_t(scaler.SourceCount()) * std::size_t(bpp);
    std::vector<std::uint8_t> source(SegmentBytes(scaler, bpp)), average(n + 4);
    std::vector<std::uint8_t> output(RowBytesFor(part.Width(), bpp * 8) + 4);
    std::vector<std::uint32_t> sum(n);
    // Source rows floor(y sh / ph) .. floor((y + 1) sh / ph) - 1 fall on row y.
    int next = int((long long)part.top * sh / printHeight);
    for (int y = part.top; y < part.bottom; ++y) {
        const int end = std::min(sh, int((long long)(y + 1) * sh / printHeight));
        std::fill(sum.begin(), sum.end(), 0u);
        int count = 0;
        for (; next < end; ++next, ++count) {
            if (!ReadSegment(picture, scaler, next, source.data())) return false;
            for (std::size_t i = 0; i < n; ++i) sum[i] += source[i];
        }
        if (count == 0) count = 1;
        for (std::size_t i = 0; i < n; ++i) average[i] = std::uint8_t(sum[i] / unsigned(count));
        scaler.Scale(average.data(), output.data());
        if (!emit(y, output.data())) return false;
    }
    return true;
}

}  // namespace

bool ProduceRows(CPicture& picture, int printWidth, int printHeight, const RowEmitter& emit) {
    return ProduceRowsIn(picture, printWidth, printHeight, Box{0, 0, printWidth, printHeight},
                         emit);
}

bool ProduceRowsIn(CPicture& picture, int printWidth, int printHeight, const Box& window,
                   const RowEmitter& emit) {
    if (!picture.HasHeader() || picture.GetWidth() <= 0 || picture.GetHeight() <= 0 ||
        printWidth <= 0 || printHeight <= 0)
        return false;
    const Part part{std::max(window.left, 0), std::max(window.top, 0),
                    std::min(window.right, printWidth), std::min(window.bottom, printHeight)};
    if (part.left >= part.right || part.top >= part.bottom) return false;
    switch (ChooseRowRoutine(picture.GetType(), picture.GetHeight(), printHeight)) {
    case RowRoutine::Index: return ProduceIndexRows(picture, printWidth, printHeight, part, emit);
    case RowRoutine::Enlarging:
        return ProduceEnlargedRows(picture, printWidth, printHeight, part, emit);
    case RowRoutine::SameHeight: return ProduceSameHeightRows(picture, printWidth, part, emit);
    case RowRoutine::Reducing:
        return ProduceReducedRows(picture, printWidth, printHeight, part, emit);
    }
    return false;
}
