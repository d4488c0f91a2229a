// CPicture: fills, copies between pictures and the channel writes.
#include <algorithm>
#include <cstring>

#include "picture/picture.h"
#include "resources/string_ids.h"
#include "base/progress.h"

namespace {

// Progress moves every this many rows.
constexpr int kProgressRows = 16;

}  // namespace

void BuildFillPattern(std::uint8_t* pattern, int bits, std::uint64_t n, std::uint32_t colour) {
    if (!pattern || n == 0) return;
    std::uint8_t pixel[4] = {};
    std::size_t pixelBytes = 1;
    switch (bits) {
    case 1:
        std::memset(pattern, colour ? 0xFF : 0, std::size_t((n + 7) / 8));
        return;
    case 4:
        std::memset(pattern, int((colour & 0x0F) * 0x11), std::size_t((n + 1) / 2));
        return;
    case 8:
        std::memset(pattern, int(colour & 0xFF), std::size_t(n));
        return;
    case 16:
        pixel[0] = std::uint8_t(colour);
        pixel[1] = std::uint8_t(colour >> 8);
        pixelBytes = 2;
        break;
    case 24:
    case 32:
        pixel[0] = RgbBlue(colour);
        pixel[1] = RgbGreen(colour);
        pixel[2] = RgbRed(colour);
        pixelBytes = std::size_t(bits) / 8;
        break;
    default:
        return;
    }
    // One pixel, then the filled part doubled until the segment is full.
    const std::size_t total = std::size_t(n) * pixelBytes;
    std::memcpy(pattern, pixel, pixelBytes);
    for (std::size_t done = pixelBytes; done < total;) {
        const std::size_t chunk = std::min(done, total - done);
        std::memcpy(pattern + done, pattern, chunk);
        done += chunk;
    }
}

int CPicture::Fill(std::uint32_t colour) {
    if (!header_) return 0;
    const int bits = header_->biBitCount;
    const std::uint64_t bytes = ImageBytes();
    const std::uint64_t start = std::uint64_t(headerSize_);
    switch (bits) {
    case 1:
        return store_.FillBytes(start, bytes, colour ? 0xFF : 0) == bytes;
    case 4:
        return store_.FillBytes(start, bytes, std::uint8_t((colour & 0x0F) * 0x11)) == bytes;
    case 8:
        return store_.FillBytes(start, bytes, std::uint8_t(colour)) == bytes;
    case 16:
    case 24:
    case 32:
        break;
    default:
        return 0;
    }
    const std::uint64_t used = std::uint64_t(header_->biWidth) * (unsigned(bits) / 8);
    BuildFillPattern(scratch_, bits, std::uint64_t(header_->biWidth), colour);
    std::memset(scratch_ + used, 0, std::size_t(rowBytes_ - used));
    for (int y = header_->biHeight - 1; y >= 0; --y)
        if (store_.WriteBytes(RowOffset(y), rowBytes_, scratch_) != rowBytes_) return 0;
    return 1;
}

int CPicture::FillArea(std::uint32_t colour, int left, int right, int top, int bottom,
                       std::uint8_t* block) {
    BuildFillPattern(block, header_->biBitCount, std::uint64_t(right - left) + 1, colour);
    for (int y = bottom; y >= top; --y)
        if (!WriteRow(left, right, y, block)) return 0;
    return 1;
}

int CPicture::FillRect(std::uint32_t colour, const Rect* rect) {
    if (!header_) return 0;
    const int width = header_->biWidth, height = header_->biHeight;
    if (!rect) return Fill(colour);
    const Rect r = ClipRect(*rect, width, height);
    if (r == WholeRect(width, height)) return Fill(colour);
    if (IsEmptyRect(r)) return 1;
    const std::uint64_t n = std::uint64_t(r.right - r.left) + 1;
    HGlobal block = GlobalAlloc(kGlobalMoveable, std::uint64_t(header_->biBitCount) * n / 8 + 8);
    if (!block) return 0;
    return FillArea(colour, r.left, r.right, r.top, r.bottom, block->bytes.get());
}

int CPicture::FillRectInclusive(std::uint32_t colour, const Rect* rect) {
    if (!header_) return 0;
    if (!rect) return Fill(colour);
    const Rect r = ClipRect(*rect, header_->biWidth, header_->biHeight);
    if (IsEmptyRect(r)) return 1;
    return FillArea(colour, r.left, r.right, r.top, r.bottom, SharedRowBuffer(SegmentBytes(r.left, r.right)));
}

int CPicture::CopyArea(CPicture* destination, int x0, int x1, int y0, int y1, int dx, int dy,
                       bool topDown, std::uint8_t* block, int captionId, bool progress) {
    const int bits = header_->biBitCount;
    const int rows = y1 - y0 + 1;
    const int n = x1 - x0 + 1;

    // Both pictures in memory and the segment in the same place within its
    // bytes on both sides: move the bytes directly, keeping the destination's
    // bits outside the segment in its first and last byte.
    std::uint8_t* from = ResidentImage();
    std::uint8_t* to = destination->ResidentImage();
    const unsigned perByte = bits < 8 ? 8 / unsigned(bits) : 1;
    const bool direct = from && to && unsigned(x0) % perByte == unsigned(dx) % perByte;
    std::uint64_t fromByte = 0, toByte = 0, count = 0;
    std::uint8_t headKeep = 0, tailKeep = 0;
    if (direct) {
        if (bits < 8) {
            fromByte = unsigned(x0) / perByte;
            toByte = unsigned(dx) / perByte;
            count = unsigned(x1) / perByte - fromByte + 1;
            const unsigned shift = (unsigned(x0) % perByte) * unsigned(bits);
            const unsigned endBits = (unsigned(dx + n - 1) % perByte + 1) * unsigned(bits);
            headKeep = std::uint8_t(0xFF00u >> shift);
            tailKeep = std::uint8_t(0xFFu >> endBits);
        } else {
            const unsigned pixelBytes = unsigned(bits) / 8;
            fromByte = std::uint64_t(x0) * pixelBytes;
            toByte = std::uint64_t(dx) * pixelBytes;
            count = std::uint64_t(n) * pixelBytes;
        }
    }

    if (progress) BeginProgressWithCaption(captionId, 0, unsigned(rows));
    int result = 1;
    for (int i = 0; i < rows; ++i) {
        const int k = topDown ? i : rows - 1 - i;
        const int sy = y0 + k, ty = dy + k;
        if (direct) {
            std::uint8_t* target = to + destination->RowOffset(ty) + toByte;
            const std::uint8_t first = target[0], last = target[count - 1];
            std::memmove(target, from + RowOffset(sy) + fromByte, std::size_t(count));
            if (headKeep) target[0] = std::uint8_t((target[0] & ~headKeep) | (first & headKeep));
            if (tailKeep)
                target[count - 1] =
                    std::uint8_t((target[count - 1] & ~tailKeep) | (last & tailKeep));
        } else if (!ReadRow(x0, x1, sy, block) || !destination->WriteRow(dx, dx + n - 1, ty, block)) {
            result = 0;
            break;
        }
        if (progress && i % kProgressRows == 0) StepProgress(unsigned(i));
    }
    if (progress) EndProgress();
    return result;
}

int CPicture::CopyTo(CPicture* destination, int dx, int dy, const Rect* source, bool progress) {
    if (!header_ || !destination || !destination->header_ || !IsSameFormat(*destination)) return 0;
    const std::int64_t width = header_->biWidth, height = header_->biHeight;
    std::int64_t left = 0, top = 0, right = width - 1, bottom = height - 1;
    if (source) {
        left = source->left;
        top = source->top;
        right = source->right;
        bottom = source->bottom;
    }
    std::int64_t x = dx, y = dy;
    // Clip against the source: what would land left of or above the
    // destination's origin is cut off the rectangle.
    if (x < 0) {
        left -= x;
        x = 0;
    }
    if (y < 0) {
        top -= y;
        y = 0;
    }
    if (right < 0 || bottom < 0 || left >= width || top >= height) return 0;
    if (left < 0) {
        x -= left;
        left = 0;
    }
    if (top < 0) {
        y -= top;
        top = 0;
    }
    right = std::min(right, width - 1);
    bottom = std::min(bottom, height - 1);
    // Clip against the destination.
    const std::int64_t targetWidth = destination->header_->biWidth;
    const std::int64_t targetHeight = destination->header_->biHeight;
    if (x >= targetWidth || y >= targetHeight) return 0;
    right = std::min(right, left + (targetWidth - x) - 1);
    bottom = std::min(bottom, top + (targetHeight - y) - 1);
    if (right < left || bottom < top) return 0;

    HGlobal block = GlobalAlloc(kGlobalMoveable, SegmentBytes(int(left), int(right)) + 8);
    if (!block) return 0;
    // Within one picture a copy upwards runs from the top down, every other
    // copy from the bottom up, so overlapping rows are read before they are
    // overwritten.
    const bool topDown = destination == this && y < top;
    return CopyArea(destination, int(left), int(right), int(top), int(bottom), int(x), int(y),
                    topDown, block->bytes.get(), IDS_COPY_IMAGE, progress);
}

int CPicture::PasteFrom(CPicture* source, int x, int y, bool progress) {
    if (!header_ || !source || !source->header_ || !IsSameFormat(*source)) return 0;
    const int width = header_->biWidth, height = header_->biHeight;
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const int columns = std::min(source->header_->biWidth, width - x);
    const int rows = std::min(source->header_->biHeight, height - y);
    std::uint8_t* block = SharedRowBuffer(source->SegmentBytes(0, columns - 1));
    return source->CopyArea(this, 0, columns - 1, 0, rows - 1, x, y, false, block, IDS_PUT_IMAGE,
                            progress);
}

int CPicture::CropInPlace(const Rect& rect) {
    if (!header_) return 0;
    const int width = header_->biWidth, height = header_->biHeight, bits = header_->biBitCount;
    if (bits < 8 || rect.left < 0 || rect.top < 0 || rect.right < rect.left ||
        rect.bottom < rect.top || rect.right >= width || rect.bottom >= height)
        return 0;
    std::uint8_t* memory = ResidentImage();
    if (!memory) return 0;
    StorePin pin(&store_);
    const std::uint64_t pixel = std::uint64_t(bits + 1) / 8;
    const int w = rect.right - rect.left + 1, h = rect.bottom - rect.top + 1;
    const std::uint64_t rowBytes = RowBytesFor(w, bits == 15 ? 16 : bits);
    const std::uint64_t used = std::uint64_t(w) * pixel;
    std::uint8_t* image = memory + headerSize_;
    // Stored rows run bottom-up: kept row k (picture row bottom - k) moves
    // down from stored row height - 1 - bottom + k, never onto a row still
    // to be moved.
    for (int k = 0; k < h; ++k) {
        std::uint8_t* to = image + std::uint64_t(k) * rowBytes;
        const std::uint8_t* from =
            image + std::uint64_t(height - 1 - rect.bottom + k) * rowBytes_ + std::uint64_t(rect.left) * pixel;
        std::memmove(to, from, std::size_t(used));
        std::memset(to + used, 0, std::size_t(rowBytes - used));
    }
    header_->biWidth = w;
    header_->biHeight = h;
    rowBytes_ = rowBytes;
    header_->biSizeImage = std::uint32_t(ImageBytes());
    return WriteHeaderToStore();
}

int CPicture::WriteChannelRow(int x0, int x1, int y, const std::uint8_t* bytes, int channel) {
    if (!bytes || channel < 0 || channel > 2 || !ClampSegment(x0, x1, y)) return 0;
    if (header_->biBitCount != 24) return 0;
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    std::uint8_t* row = SharedRowBuffer(3 * n);
    if (!ReadRow(x0, x1, y, row)) return 0;
    for (std::uint64_t i = 0; i < n; ++i) row[3 * i + std::uint64_t(channel)] = bytes[i];
    return WriteRow(x0, x1, y, row);
}

int CPicture::WriteChannelBand(const Rect& rows, const std::uint8_t* bytes, int channel) {
    if (!header_ || !bytes || channel < 0 || channel > 2 || header_->biBitCount != 24) return 0;
    const int width = header_->biWidth, height = header_->biHeight;
    if (rows.left < 0 || rows.left >= width || rows.right < rows.left || rows.top < 0 ||
        rows.top >= height || rows.bottom < rows.top)
        return 0;
    const std::uint64_t stride = std::uint64_t(rows.right - rows.left) + 1;
    const std::uint64_t n = std::min<std::uint64_t>(stride, std::uint64_t(width - rows.left));
    const int bottom = std::min(rows.bottom, height - 1);
    const std::uint64_t bandRows = std::uint64_t(bottom - rows.top) + 1;
    const std::uint64_t bandBytes = bandRows * rowBytes_;
    HGlobal block = GlobalAlloc(kGlobalMoveable | kGlobalZeroInit, bandBytes);
    if (!block) return 0;
    std::uint8_t* band = block->bytes.get();
    // The band's first stored row is its bottom row.
    const std::uint64_t start = RowOffset(bottom);
    if (channel != 2 && store_.ReadBytes(start, bandBytes, band) != bandBytes) return 0;
    const std::uint8_t* in = bytes;
    for (int y = rows.top; y <= bottom; ++y, in += stride) {
        std::uint8_t* out = band + std::uint64_t(bottom - y) * rowBytes_ +
                            3 * std::uint64_t(rows.left) + std::uint64_t(channel);
        for (std::uint64_t i = 0; i < n; ++i) out[3 * i] = in[i];
    }
    return store_.WriteBytes(start, bandBytes, band) == bandBytes;
}
