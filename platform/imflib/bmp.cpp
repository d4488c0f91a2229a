// BMP: 1-, 4-, 8-, 16-, 24- and 32-bit rows, RLE4 and RLE8, bit-field masks,
// the 12-, 40-, 52-, 56-, 64-, 108- and 124-byte headers, top-down rows.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

struct BmpLayout {
    std::uint32_t offset = 0;  // of the pixel data
    int fileBits = 0;
    std::uint32_t compression = kRgb;
    bool topDown = false;
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue
    bool plain = true;  // pixels copy straight into the picture's rows
};

int MaskShift(std::uint32_t mask) {
    int s = 0;
    while (s < 32 && !(mask & (1u << s))) ++s;
    return s;
}
int MaskBits(std::uint32_t mask, int shift) {
    int n = 0;
    while (shift + n < 32 && (mask & (1u << (shift + n)))) ++n;
    return n;
}

// Scales a masked channel to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0, bits = 0;
    void Set(std::uint32_t m) {
        mask = m;
        shift = MaskShift(m);
        bits = MaskBits(m, shift);
    }
    std::uint8_t Get(std::uint32_t v) const {
        if (bits == 0) return 0;
        const std::uint32_t x = (v & mask) >> shift;
        if (bits >= 8) return std::uint8_t(x >> (bits - 8));
        const std::uint32_t most = (1u << bits) - 1;
        return std::uint8_t((x * 255 + most / 2) / most);
    }
};

bool ReadHeaderPart(std::FILE* file, ImageInfo& info, BmpLayout& layout) {
    std::uint8_t head[14 + 124];
    if (!ReadExact(file, head, 18)) return Fail("the BMP file is truncated");
    if (head[0] != 'B' || head[1] != 'M') return Fail("not a BMP file");
    layout.offset = Le32(head + 10);
    const std::uint32_t size = Le32(head + 14);
    std::int64_t width, height;
    int planes;
    std::uint32_t used = 0;
    const std::uint8_t* h = head + 14;
    if (size == 12) {
        if (!ReadExact(file, head + 18, 8)) return Fail("the BMP file is truncated");
        width = Le16(h + 4);
        height = std::int16_t(Le16(h + 6));
        planes = Le16(h + 8);
        layout.fileBits = Le16(h + 10);
    } else if (size >= 40 && size <= 124) {
        if (!ReadExact(file, head + 18, size - 4)) return Fail("the BMP file is truncated");
        width = std::int32_t(Le32(h + 4));
        height = std::int32_t(Le32(h + 8));
        planes = Le16(h + 12);
        layout.fileBits = Le16(h + 14);
        layout.compression = Le32(h + 16);
        const std::int32_t xppm = std::int32_t(Le32(h + 24)), yppm = std::int32_t(Le32(h + 28));
        info.xPpm = xppm > 0 ? std::uint32_t(xppm) : 0;
        info.yPpm = yppm > 0 ? std::uint32_t(yppm) : 0;
        used = Le32(h + 32);
        if (size >= 52) {
            layout.masks[0] = Le32(h + 40);
            layout.masks[1] = Le32(h + 44);
            layout.masks[2] = Le32(h + 48);
        }
    } else {
        return Fail("the BMP header size is not supported");
    }
    (void)planes;
    if (height < 0) {
        layout.topDown = true;
        height = -height;
    }
    if (!CheckSize(width, height)) return false;
    info.width = int(width);
    info.height = int(height);
    const int bits = layout.fileBits;
    const std::uint32_t c = layout.compression;
    if (c == kBitFields || c == kAlphaBitFields) {
        if (bits != 16 && bits != 32) return Fail("BMP bit fields need 16 or 32 bits");
        if (size == 40) {  // the masks follow the header
            std::uint8_t m[12];
            if (!ReadExact(file, m, 12)) return Fail("the BMP file is truncated");
            layout.masks[0] = Le32(m);
            layout.masks[1] = Le32(m + 4);
            layout.masks[2] = Le32(m + 8);
        }
        // Readers disagree on what an empty mask or bits beyond the pixel
        // mean, so such a file is refused rather than guessed at.
        const std::uint64_t pixelMask = (std::uint64_t(1) << bits) - 1;
        for (const std::uint32_t mask : layout.masks) {
            if (mask == 0) return Fail("the BMP file has an empty colour mask");
            if (mask & ~pixelMask) return Fail("a BMP colour mask is wider than the pixel");
        }
    } else if (c == kRle8) {
        if (bits != 8) return Fail("BMP RLE8 needs 8 bits");
    } else if (c == kRle4) {
        if (bits != 4) return Fail("BMP RLE4 needs 4 bits");
    } else if (c != kRgb) {
        return Fail("the BMP compression is not supported");
    }
    if (layout.topDown && (c == kRle8 || c == kRle4))
        return Fail("a top-down BMP picture cannot be run-length compressed");
    switch (bits) {
        case 1: case 4: case 8: case 24:
            info.bits = bits;
            break;
        case 16:
            if (c == kRgb) {
                layout.masks[0] = 0x7C00;
                layout.masks[1] = 0x03E0;
                layout.masks[2] = 0x001F;
            }
            if (layout.masks[0] == 0x7C00 && layout.masks[1] == 0x03E0 && layout.masks[2] == 0x001F) {
                info.bits = 16;
            } else {
                info.bits = 24;
                layout.plain = false;
            }
            break;
        case 32:
            if (c == kRgb) {
                layout.masks[0] = 0xFF0000;
                layout.masks[1] = 0xFF00;
                layout.masks[2] = 0xFF;
            }
            info.bits = 32;
            layout.plain = layout.masks[0] == 0xFF0000 && layout.masks[1] == 0xFF00 &&
                           layout.masks[2] == 0xFF;
            break;
        default:
            return Fail("the BMP bit count is not supported");
    }
    if (bits <= 8) {
        const int most = 1 << bits;
        // A table longer than the pixels can index is cut to what they can.
        const int count = (used == 0 || used > std::uint32_t(most)) ? most : int(used);
        const int entry = size == 12 ? 3 : 4;
        std::uint8_t table[256 * 4];
        if (!ReadExact(file, table, std::size_t(count * entry)))
            return Fail("the BMP colour table is truncated");
        info.colours = count;
        for (int i = 0; i < count; ++i)
            info.table[i] = RgbQuad{table[i * entry], table[i * entry + 1], table[i * entry + 2], 0};
    }
    return true;
}

// Uncompressed rows, a batch at a time, in file order.
bool ReadPlain(std::FILE* file, const ImageInfo& info, const BmpLayout& layout, DibRows& rows,
               Progress& progress) {
    const std::uint64_t fileRow = ((std::uint64_t(info.width) * layout.fileBits + 31) / 32) * 4;
    const std::uint64_t rowBytes = info.RowBytes();
    const int batch = int(std::clamp<std::uint64_t>((1u << 20) / fileRow, 1, 256));
    std::vector<std::uint8_t> buffer(fileRow * std::uint64_t(batch));
    std::vector<std::uint8_t> out(layout.plain ? 0 : rowBytes);
    Channel r, g, b;
    r.Set(layout.masks[0]);
    g.Set(layout.masks[1]);
    b.Set(layout.masks[2]);
    for (int done = 0; done < info.height;) {
        const int n = std::min(batch, info.height - done);
        if (!ReadExact(file, buffer.data(), fileRow * std::uint64_t(n)))
            return Fail("the BMP pixel data are truncated");
        for (int k = 0; k < n; ++k, ++done) {
            const int y = layout.topDown ? done : info.height - 1 - done;
            std::uint8_t* src = buffer.data() + fileRow * std::uint64_t(k);
            const std::uint8_t* row = src;
            if (!layout.plain) {
                const int bpp = layout.fileBits / 8;
                const int outBpp = info.bits / 8;
                for (int x = 0; x < info.width; ++x) {
                    const std::uint32_t v = bpp == 2 ? Le16(src + 2 * x) : Le32(src + 4 * x);
                    std::uint8_t* o = out.data() + outBpp * x;
                    o[0] = b.Get(v);
                    o[1] = g.Get(v);
                    o[2] = r.Get(v);
                    if (outBpp == 4) o[3] = 0;
                }
                row = out.data();
            }
            if (!rows.Put(y, row) || !progress.Step(done + 1)) return false;
        }
    }
    return true;
}

// RLE8 and RLE4: decoded to one index a byte, then packed into the row.
bool ReadRle(std::FILE* file, const ImageInfo& info, const BmpLayout& layout, DibRows& rows,
             Progress& progress) {
    const bool four = layout.compression == kRle4;
    const int w = info.width;
    // Encoders may run into the row's padding; only beyond it is a run wrong.
    const int padded = int(info.RowBytes() * 8 / std::uint64_t(info.bits));
    std::vector<std::uint8_t> indices(std::size_t(padded) + 1, 0);
    std::vector<std::uint8_t> packed(info.RowBytes(), 0);
    ByteReader in(file);
    int line = 0;  // file line, 0 = first stored
    int x = 0;
    auto emit = [&]() {
        std::fill(packed.begin(), packed.end(), 0);
        PackIndices(indices.data(), w, info.bits, packed.data());
        const int y = layout.topDown ? line : info.height - 1 - line;
        std::fill(indices.begin(), indices.end(), 0);
        x = 0;
        ++line;
        return rows.Put(y, packed.data()) && progress.Step(line);
    };
    while (line < info.height) {
        const int count = in.Next(), value = in.Next();
        if (count < 0 || value < 0) return Fail("the BMP pixel data are truncated");
        if (count > 0) {
            if (x + count > padded) return Fail("a BMP run goes past the end of its row");
            for (int i = 0; i < count; ++i)
                indices[std::size_t(x++)] =
                    std::uint8_t(four ? packing::IndexInByte<4>(std::uint8_t(value), i) : value);
        } else if (value == 0) {  // end of line
            if (!emit()) return false;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta
            const int dx = in.Next(), dy = in.Next();
            if (dx < 0 || dy < 0) return Fail("the BMP pixel data are truncated");
            if (x + dx > padded || line + dy > info.height)
                return Fail("a BMP delta moves outside the picture");
            const int keepX = x + dx;
            for (int i = 0; i < dy; ++i)
                if (!emit()) return false;
            if (dy > 0 && line >= info.height) break;
            x = keepX;
        } else {  // absolute run of value pixels
            if (x + value > padded) return Fail("a BMP run goes past the end of its row");
            const int bytes = four ? (value + 1) / 2 : value;
            std::uint8_t run[256];
            if (!in.Read(run, std::size_t((bytes + 1) & ~1)))
                return Fail("the BMP pixel data are truncated");
            for (int i = 0; i < value; ++i)
                indices[std::size_t(x++)] =
                    std::uint8_t(four ? packing::GetIndex<4>(run, i) : run[i]);
        }
    }
    // Lines the data never reached stay index 0.
    while (line < info.height)
        if (!emit()) return false;
    return true;
}

}  // namespace

bool BmpRawLayout(std::FILE* file, ImageInfo& info, bool& topDown, std::uint64_t& offset) {
    BmpLayout layout;
    if (!ReadHeaderPart(file, info, layout)) return false;
    if (!layout.plain || layout.compression == kRle8 || layout.compression == kRle4 ||
        layout.fileBits != info.bits)
        return false;
    // As the reader takes it: the offset where it lies behind the headers.
    const long here = std::ftell(file);
    if (here < 0) return false;
    offset = layout.offset >= std::uint32_t(here) ? layout.offset : std::uint64_t(here);
    topDown = layout.topDown;
    return true;
}

bool SniffBmp(const std::uint8_t* head, std::size_t n) {
    return n >= 18 && head[0] == 'B' && head[1] == 'M';
}

bool ReadBmp(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    BmpLayout layout;
    if (!ReadHeaderPart(file, info, layout)) return false;
    info.order = layout.topDown ? 1 : -1;  // run-length rows too, each line in turn
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    const long here = std::ftell(file);
    // The offset is trusted only when it lies behind the headers.
    if (layout.offset >= std::uint32_t(here) && std::fseek(file, long(layout.offset), SEEK_SET) != 0)
        return Fail("the BMP pixel data are missing");
    if (layout.compression == kRle8 || layout.compression == kRle4)
        return ReadRle(file, info, layout, *rows, *progress);
    return ReadPlain(file, info, layout, *rows, *progress);
}

bool WriteBmp(std::FILE* file, const std::string&, DibRows& rows, Progress& progress,
              const SaveOptions&) {
    const ImageInfo& info = rows.Info();
    const std::uint64_t rowBytes = info.RowBytes();
    const std::uint32_t colours = std::uint32_t(info.bits <= 8 ? info.colours : 0);
    const std::uint64_t offset = 14 + 40 + 4 * std::uint64_t(colours);
    const std::uint64_t total = offset + rowBytes * std::uint64_t(info.height);
    std::uint8_t head[54] = {};
    head[0] = 'B';
    head[1] = 'M';
    PutLe32(head + 2, std::uint32_t(std::min<std::uint64_t>(total, 0xFFFFFFFFu)));
    PutLe32(head + 10, std::uint32_t(offset));
    PutLe32(head + 14, 40);
    PutLe32(head + 18, std::uint32_t(info.width));
    PutLe32(head + 22, std::uint32_t(info.height));
    PutLe16(head + 26, 1);
    PutLe16(head + 28, std::uint32_t(info.bits));
    PutLe32(head + 34, std::uint32_t(std::min<std::uint64_t>(rowBytes * info.height, 0xFFFFFFFFu)));
    PutLe32(head + 38, info.xPpm);
    PutLe32(head + 42, info.yPpm);
    PutLe32(head + 46, colours);
    if (!WriteExact(file, head, sizeof head) || !WriteExact(file, info.table, 4 * colours))
        return Fail("the BMP file cannot be written");
    const int batch = int(std::clamp<std::uint64_t>((1u << 20) / rowBytes, 1, 256));
    std::vector<std::uint8_t> buffer(rowBytes * std::uint64_t(batch));
    for (int done = 0; done < info.height;) {
        const int n = std::min(batch, info.height - done);
        for (int k = 0; k < n; ++k)
            if (!rows.Get(info.height - 1 - (done + k), buffer.data() + rowBytes * std::uint64_t(k)) ||
                !progress.Step(done + k + 1))
                return false;
        if (!WriteExact(file, buffer.data(), rowBytes * std::uint64_t(n)))
            return Fail("the BMP file cannot be written");
        done += n;
    }
    return true;
}

}  // namespace imf
