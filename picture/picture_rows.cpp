// CPicture: row, column and pixel access, and the shared row buffer (one
// per thread: a worker and the window's thread each have their own). Sub-byte rows are shifted in bulk (picture_bits), never pixel by
// pixel, except in column writes and in shrinking or expanding rows.
#include <algorithm>
#include <cstring>
#include <new>

#include "picture/picture.h"
#include "picture/picture_bits.h"
#include "picture/pixel_packing.h"

namespace {

constexpr std::uint64_t kMinSharedRowBytes = 32767;

// The shared row buffer of a thread, grown on demand and kept until the
// thread ends.
class RowBuffer {
public:
    // At least bytes long (0: the least size); throws std::bad_alloc.
    std::uint8_t* Get(std::uint64_t bytes) {
        if (bytes == 0) bytes = kMinSharedRowBytes;
        if (buffer_ && size_ >= bytes) return buffer_.get();
        bytes = std::max(bytes, kMinSharedRowBytes);
        buffer_.reset();
        size_ = 0;
        buffer_.reset(new (std::nothrow) std::uint8_t[bytes]);
        if (!buffer_) throw std::bad_alloc();
        size_ = bytes;
        return buffer_.get();
    }
    bool Holds(const std::uint8_t* pointer) const { return buffer_ && pointer == buffer_.get(); }

private:
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint64_t size_ = 0;
};

// Per thread on purpose: a worker and the window's thread each use their own.
RowBuffer& ThreadRowBuffer() {
    thread_local RowBuffer buffer;
    return buffer;
}

bool IsSubByte(int bits) { return bits == 1 || bits == 4; }

// Every step-th index of a 1- or 4-bit row, kept of them, packed into out.
// Segments are at most kMaxPictureSide pixels: int columns suffice.
template <int Bits>
void ShrinkIndices(const std::uint8_t* row, int kept, int step, std::uint8_t* out) {
    std::memset(out, 0, (std::size_t(kept) * Bits + 7) / 8);
    for (int j = 0, p = 0; j < kept; ++j, p += step)
        packing::SetIndex<Bits>(out, j, packing::GetIndex<Bits>(row, p));
}

bool IsWholeByte(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Mask of the bits of a byte that lie left of bit position `from` (0 = bit 7).
std::uint8_t BitsLeftOf(unsigned from) { return std::uint8_t(0xFF00u >> from); }
// Mask of the bits of a byte that lie right of the first `upTo` bits.
std::uint8_t BitsRightOf(unsigned upTo) { return std::uint8_t(0xFFu >> upTo); }

// Where a sub-byte segment x0..x1 lies in its stored row: the stored bytes
// first .. first + count - 1, the bytes it takes packed from bit 7 of a
// caller's byte 0, and the bit position of pixel x0 within its stored byte.
struct SubByteSpan {
    std::uint64_t first, count, packedBytes;
    unsigned shift;
};
SubByteSpan SpanOf(int bits, int x0, int x1) {
    const unsigned perByte = 8 / unsigned(bits);
    const std::uint64_t first = unsigned(x0) / perByte;
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    return {first, unsigned(x1) / perByte - first + 1, (n * unsigned(bits) + 7) / 8,
            (unsigned(x0) % perByte) * unsigned(bits)};
}

}  // namespace

std::uint8_t* SharedRowBuffer(std::uint64_t bytes) { return ThreadRowBuffer().Get(bytes); }

bool CPicture::ClampSegment(int& x0, int& x1, int& y) const {
    if (!header_) return false;
    if (x0 > x1) std::swap(x0, x1);
    const int width = header_->biWidth, height = header_->biHeight;
    if (x0 < 0 || x0 >= width || y < 0) return false;
    x1 = std::min(x1, width - 1);
    y = std::min(y, height - 1);
    return true;
}

std::uint64_t CPicture::RowOffset(int y) const {
    return std::uint64_t(headerSize_) + std::uint64_t(header_->biHeight - 1 - y) * rowBytes_;
}

std::uint8_t* CPicture::ResidentImage() const {
    std::uint8_t* memory = store_.GetMemory();
    if (!memory || !header_) return nullptr;
    return store_.GetSize() >= std::uint64_t(headerSize_) + ImageBytes() ? memory : nullptr;
}

int CPicture::ReadRow(int x0, int x1, int y, void* buffer) {
    if (!buffer || !ClampSegment(x0, x1, y)) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const int bits = header_->biBitCount;
    const std::uint64_t row = RowOffset(y);
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    if (IsSubByte(bits)) {
        const auto [first, count, outBytes, shift] = SpanOf(bits, x0, x1);
        const unsigned tailBits = unsigned((n * unsigned(bits)) % 8);
        const std::uint8_t keep = tailBits ? BitsRightOf(tailBits) : 0;
        const std::uint8_t previous = out[outBytes - 1];
        if (shift == 0) {
            if (store_.ReadBytes(row + first, count, out) != count) return 0;
        } else if (const std::uint8_t* memory = ResidentImage()) {
            // Resident rows are shifted where they lie; the whole segment,
            // and the same segment of the next picture row (the row readers
            // usually ask for next, lower in memory), is asked for up front
            // so that its cache lines arrive together.
            const std::uint8_t* from = memory + row + first;
            for (std::uint64_t b = 0; b < count; b += 64) __builtin_prefetch(from + b);
            if (y + 1 < header_->biHeight) {
                const std::uint8_t* below = from - rowBytes_;
                for (std::uint64_t b = 0; b < count; b += 64) __builtin_prefetch(below + b);
            }
            picture_bits::ShiftLeft(out, from, outBytes, count, shift);
        } else {
            if (store_.ReadBytes(row + first, count, scratch_) != count) return 0;
            picture_bits::ShiftLeft(out, scratch_, outBytes, count, shift);
        }
        if (keep)
            out[outBytes - 1] = std::uint8_t((out[outBytes - 1] & ~keep) | (previous & keep));
        return 1;
    }
    if (!IsWholeByte(bits)) return 0;
    const std::uint64_t pixelBytes = unsigned(bits) / 8;
    const std::uint64_t bytes = n * pixelBytes;
    return store_.ReadBytes(row + std::uint64_t(x0) * pixelBytes, bytes, out) == bytes;
}

int CPicture::WriteRow(int x0, int x1, int y, const void* buffer) {
    if (!buffer || !ClampSegment(x0, x1, y)) return 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    const int bits = header_->biBitCount;
    const std::uint64_t row = RowOffset(y);
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    if (IsSubByte(bits)) {
        const auto [first, count, inBytes, shift] = SpanOf(bits, x0, x1);
        const unsigned endBits = (unsigned(x1) % (8 / unsigned(bits)) + 1) * unsigned(bits);
        const std::uint8_t headKeep = shift ? BitsLeftOf(shift) : 0;
        const std::uint8_t tailKeep = endBits < 8 ? BitsRightOf(endBits) : 0;
        if (shift == 0 && tailKeep == 0) return store_.WriteBytes(row + first, count, in) == count;

        std::uint8_t* out = scratch_;
        if (shift == 0)
            std::memcpy(out, in, std::size_t(count));
        else
            picture_bits::ShiftRight(out, in, count, inBytes, shift);
        std::uint8_t old = 0;
        if (headKeep) {
            if (!store_.ReadByte(row + first, old)) return 0;
            out[0] = std::uint8_t((out[0] & ~headKeep) | (old & headKeep));
        }
        if (tailKeep) {
            if (!store_.ReadByte(row + first + count - 1, old)) return 0;
            out[count - 1] = std::uint8_t((out[count - 1] & ~tailKeep) | (old & tailKeep));
        }
        return store_.WriteBytes(row + first, count, out) == count;
    }
    if (!IsWholeByte(bits)) return 0;
    const std::uint64_t pixelBytes = unsigned(bits) / 8;
    const std::uint64_t bytes = n * pixelBytes;
    return store_.WriteBytes(row + std::uint64_t(x0) * pixelBytes, bytes, in) == bytes;
}

int CPicture::WriteColumn(int x, int y0, int y1, const void* buffer) {
    if (!header_ || !buffer) return 0;
    if (y0 > y1) std::swap(y0, y1);
    const int width = header_->biWidth, height = header_->biHeight;
    if (x < 0 || x >= width || y0 < 0 || y0 >= height) return 0;
    y1 = std::min(y1, height - 1);
    const int bits = header_->biBitCount;
    if (!IsSubByte(bits) && !IsWholeByte(bits)) return 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);

    // In memory the bytes are changed in place; on disk through the store.
    std::uint8_t* memory = ResidentImage();
    auto getByte = [&](std::uint64_t offset, std::uint8_t& value) {
        if (memory) {
            value = memory[offset];
            return true;
        }
        return store_.ReadByte(offset, value) != 0;
    };
    auto putByte = [&](std::uint64_t offset, std::uint8_t value) {
        if (memory) {
            memory[offset] = value;
            return true;
        }
        return store_.WriteByte(offset, value) != 0;
    };

    for (int y = y0; y <= y1; ++y) {
        const std::uint64_t i = std::uint64_t(y - y0);
        const std::uint64_t row = RowOffset(y);
        if (bits == 1) {
            const std::uint64_t offset = row + unsigned(x) / 8;
            std::uint8_t b;
            if (!getByte(offset, b)) return 0;
            const std::uint8_t changed = packing::WithIndexInByte<1>(b, x, packing::GetIndex<1>(in, int(i)));
            if (changed != b && !putByte(offset, changed)) return 0;
        } else if (bits == 4) {
            const std::uint64_t offset = row + unsigned(x) / 2;
            std::uint8_t b;
            if (!getByte(offset, b)) return 0;
            if (!putByte(offset, packing::WithIndexInByte<4>(b, x, packing::GetIndex<4>(in, int(i))))) return 0;
        } else {
            const std::uint64_t pixelBytes = unsigned(bits) / 8;
            const std::uint64_t offset = row + std::uint64_t(x) * pixelBytes;
            if (memory)
                std::memcpy(memory + offset, in + i * pixelBytes, std::size_t(pixelBytes));
            else if (store_.WriteBytes(offset, pixelBytes, in + i * pixelBytes) != pixelBytes)
                return 0;
        }
    }
    return 1;
}

int CPicture::ReadRowReversed(int x0, int x1, int y, void* buffer) {
    if (!buffer || !ClampSegment(x0, x1, y)) return 0;
    const int bits = header_->biBitCount;
    if (!IsSubByte(bits) && !IsWholeByte(bits)) return 0;
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    const std::uint64_t bytes = SegmentBytes(x0, x1);
    std::uint8_t* row = SharedRowBuffer(bytes);
    if (!ReadRow(x0, x1, y, row)) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (IsSubByte(bits)) {
        // Mirrored, the unused bits of the last byte come first; shift them out.
        picture_bits::MirrorBytes(row, bytes, bits);
        const unsigned pad = unsigned(bytes * 8 - n * unsigned(bits));
        if (pad)
            picture_bits::ShiftLeft(out, row, bytes, bytes, pad);
        else
            std::memcpy(out, row, std::size_t(bytes));
        return 1;
    }
    const std::size_t pixelBytes = std::size_t(bits) / 8;
    if (pixelBytes == 1) {
        std::reverse_copy(row, row + n, out);
        return 1;
    }
    const std::uint8_t* from = row + (n - 1) * pixelBytes;
    for (std::uint64_t i = 0; i < n; ++i, from -= pixelBytes, out += pixelBytes)
        std::memcpy(out, from, pixelBytes);
    return 1;
}

int CPicture::ReadRowShrunk(int x0, int x1, int y, void* buffer, int zoom) {
    if (zoom >= -1 || !buffer || !ClampSegment(x0, x1, y)) return 0;
    const int bits = header_->biBitCount;
    if (!IsSubByte(bits) && !IsWholeByte(bits)) return 0;
    const std::uint64_t step = std::uint64_t(-std::int64_t(zoom));
    const std::uint64_t n = std::uint64_t(x1 - x0) + 1;
    const std::uint64_t kept = n / step;
    if (kept == 0) return 1;  // a segment shorter than the step keeps no pixel
    HGlobal block = GlobalAlloc(kGlobalMoveable, std::uint64_t(bits) * n / 8 + 8);
    if (!block) return 0;
    std::uint8_t* row = block->bytes.get();
    if (!ReadRow(x0, x1, y, row)) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    if (bits == 1) {
        ShrinkIndices<1>(row, int(kept), int(step), out);
    } else if (bits == 4) {
        ShrinkIndices<4>(row, int(kept), int(step), out);
    } else {
        const std::size_t pixelBytes = std::size_t(bits) / 8;
        for (std::uint64_t j = 0; j < kept; ++j)
            std::memcpy(out + j * pixelBytes, row + j * step * pixelBytes, pixelBytes);
    }
    return 1;
}

int CPicture::ExpandRow(void* output, const void* pixels, int count, int zoom) const {
    if (!header_ || !output || !pixels || count <= 0 || zoom < 2) return 0;
    const int bits = header_->biBitCount;
    const auto* in = static_cast<const std::uint8_t*>(pixels);
    auto* out = static_cast<std::uint8_t*>(output);
    if (IsSubByte(bits)) {
        // Pixels are appended to an accumulator and flushed a byte at a time.
        const unsigned perByte = 8 / unsigned(bits);
        const unsigned mask = (1u << bits) - 1;
        unsigned accumulator = 0, filled = 0;
        std::uint64_t o = 0;
        for (int i = 0; i < count; ++i) {
            const unsigned shiftIn = (perByte - 1 - unsigned(i) % perByte) * unsigned(bits);
            const unsigned value = (in[unsigned(i) / perByte] >> shiftIn) & mask;
            for (int k = 0; k < zoom; ++k) {
                accumulator = (accumulator << bits) | value;
                if (++filled == perByte) {
                    out[o++] = std::uint8_t(accumulator);
                    accumulator = 0;
                    filled = 0;
                }
            }
        }
        if (filled) out[o] = std::uint8_t(accumulator << ((perByte - filled) * unsigned(bits)));
        return 1;
    }
    if (!IsWholeByte(bits)) return 0;
    const std::size_t pixelBytes = std::size_t(bits) / 8;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* pixel = in + std::size_t(i) * pixelBytes;
        if (pixelBytes == 1) {
            std::memset(out, *pixel, std::size_t(zoom));
            out += zoom;
        } else {
            for (int k = 0; k < zoom; ++k, out += pixelBytes) std::memcpy(out, pixel, pixelBytes);
        }
    }
    return 1;
}

int CPicture::ReadStoredRow(int y, void* buffer) {
    if (!header_ || !buffer || y < 0) return 0;
    y = std::min(y, header_->biHeight - 1);
    return store_.ReadBytes(RowOffset(y), rowBytes_, buffer) == rowBytes_;
}

int CPicture::WriteStoredRow(int y, const void* buffer) {
    if (!header_ || !buffer || y < 0) return 0;
    y = std::min(y, header_->biHeight - 1);
    return store_.WriteBytes(RowOffset(y), rowBytes_, buffer) == rowBytes_;
}

int CPicture::CopyAllRows(CPicture* source) {
    if (!source || !header_ || !IsSameFormat(*source) ||
        source->header_->biWidth != header_->biWidth ||
        source->header_->biHeight != header_->biHeight)
        return 0;
    if (source == this) return 1;
    if (const std::uint8_t* memory = source->ResidentImage()) {
        const std::uint64_t bytes = ImageBytes();
        return store_.WriteBytes(std::uint64_t(headerSize_), bytes, memory + source->headerSize_) ==
               bytes;
    }
    for (int y = header_->biHeight - 1; y >= 0; --y)
        if (!source->ReadStoredRow(y, scratch_) || !WriteStoredRow(y, scratch_)) return 0;
    return 1;
}

std::uint8_t* CPicture::LockRow(int x0, int x1, int y) {
    if (!ClampSegment(x0, x1, y)) return nullptr;
    const int bits = header_->biBitCount;
    if (bits >= 8) {
        if (std::uint8_t* memory = ResidentImage())
            return memory + RowOffset(y) + std::uint64_t(x0) * (unsigned(bits) / 8);
    }
    std::uint8_t* row = SharedRowBuffer(SegmentBytes(x0, x1));
    return ReadRow(x0, x1, y, row) ? row : nullptr;
}

const std::uint8_t* CPicture::ResidentRow(int x0, int y) const {
    int x1 = x0;
    if (!ClampSegment(x0, x1, y) || header_->biBitCount < 8) return nullptr;
    const std::uint8_t* memory = ResidentImage();
    if (!memory) return nullptr;
    return memory + RowOffset(y) + std::uint64_t(x0) * unsigned(header_->biBitCount) / 8;
}

int CPicture::UnlockRow(int x0, int x1, int y, std::uint8_t* pointer) {
    if (!pointer) return 0;
    if (ThreadRowBuffer().Holds(pointer)) return WriteRow(x0, x1, y, pointer);
    return 1;  // a direct pointer into the store: nothing to write back
}

int CPicture::SetPixelValue(int x, int y, std::uint32_t value) {
    if (!header_ || x < 0 || y < 0 || x >= header_->biWidth || y >= header_->biHeight) return 0;
    const std::uint64_t row = RowOffset(y);
    std::uint8_t b = 0;
    switch (header_->biBitCount) {
    case 1: {
        const std::uint64_t offset = row + unsigned(x) / 8;
        if (!store_.ReadByte(offset, b)) return 0;
        return store_.WriteByte(offset, packing::WithIndexInByte<1>(b, x, value));
    }
    case 4: {
        const std::uint64_t offset = row + unsigned(x) / 2;
        if (!store_.ReadByte(offset, b)) return 0;
        return store_.WriteByte(offset, packing::WithIndexInByte<4>(b, x, value));
    }
    case 8:
        return store_.WriteByte(row + unsigned(x), std::uint8_t(value));
    case 24: {
        const std::uint8_t pixel[3] = {RgbBlue(value), RgbGreen(value), RgbRed(value)};
        return store_.WriteBytes(row + std::uint64_t(x) * 3, 3, pixel) == 3;
    }
    default:
        return 0;
    }
}
