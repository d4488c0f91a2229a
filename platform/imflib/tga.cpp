// TGA: colour-mapped, true-colour and gray pictures, plain or run-length
// encoded, either row order and either column order. Written uncompressed
// with the version 2 footer that lets readers recognise the file.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

struct TgaLayout {
    int type = 0;
    int depth = 0;  // bits per file pixel
    int mapFirst = 0;
    int alphaBits = 0;
    bool topDown = false;
    bool rightToLeft = false;
    bool rle = false;
};

bool Plausible(const std::uint8_t* h) {
    const int mapType = h[1], type = h[2], depth = h[16];
    if (mapType > 1) return false;
    const int base = type & ~8;
    if (type != base && type != (base | 8)) return false;
    if (base == 1) return mapType == 1 && depth == 8 && (h[7] == 15 || h[7] == 16 || h[7] == 24 || h[7] == 32);
    if (base == 2) return depth == 15 || depth == 16 || depth == 24 || depth == 32;
    if (base == 3) return depth == 8 || depth == 16;
    return false;
}

bool ParseHeader(std::FILE* file, ImageInfo& info, TgaLayout& lay) {
    std::uint8_t h[18];
    if (!ReadExact(file, h, sizeof h)) return Fail("the TGA file is truncated");
    if (!Plausible(h)) return Fail("not a TGA file, or one of a kind not supported");
    lay.type = h[2] & ~8;
    lay.rle = (h[2] & 8) != 0;
    lay.depth = h[16];
    lay.alphaBits = h[17] & 15;
    lay.rightToLeft = (h[17] & 0x10) != 0;
    lay.topDown = (h[17] & 0x20) != 0;
    lay.mapFirst = Le16(h + 3);
    const int mapLength = Le16(h + 5), mapDepth = h[7];
    if (!CheckSize(Le16(h + 12), Le16(h + 14))) return false;
    info.width = Le16(h + 12);
    info.height = Le16(h + 14);
    if (std::fseek(file, h[0], SEEK_CUR) != 0) return Fail("the TGA file is truncated");
    if (h[1] == 1) {
        const int entry = (mapDepth + 7) / 8;
        std::vector<std::uint8_t> map(std::size_t(mapLength) * std::size_t(entry));
        if (!ReadExact(file, map.data(), map.size())) return Fail("the TGA colour map is truncated");
        if (lay.type == 1) {
            if (mapLength == 0) return Fail("the TGA colour map is empty");
            // Indices beyond 256 entries cannot be held by a palette picture; they read as 0.
            const int n = std::min(mapLength, 256);
            info.bits = n <= 2 ? 1 : n <= 16 ? 4 : 8;
            info.colours = n;
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = map.data() + std::size_t(i) * std::size_t(entry);
                if (entry == 2) {
                    std::uint8_t bgr[3];
                    packing::Expand555(Le16(p), bgr);
                    info.table[i] = RgbQuad{bgr[0], bgr[1], bgr[2], 0};
                } else {
                    info.table[i] = RgbQuad{p[0], p[1], p[2], 0};
                }
            }
        }
    }
    if (lay.type == 2) {
        if (lay.depth <= 16) info.bits = 16;
        else if (lay.depth == 24) info.bits = 24;
        else info.bits = lay.alphaBits > 0 ? 24 : 32;  // real alpha is composed over white
    } else if (lay.type == 3) {
        info.bits = 8;
        info.SetGrayRamp();
    }
    return true;
}

}  // namespace

bool SniffTga(const std::uint8_t* head, std::size_t n) { return n >= 18 && Plausible(head); }

bool ReadTga(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    TgaLayout lay;
    if (!ParseHeader(file, info, lay)) return false;
    info.order = lay.topDown ? 1 : -1;
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    const int w = info.width;
    const std::size_t bpp = std::size_t(lay.depth + 7) / 8;
    // 24- and 32-bit file pixels are stored as they are: they land in the row itself.
    const bool direct = lay.type == 2 && (lay.depth == 24 || info.bits == 32);
    std::vector<std::uint8_t> out(info.RowBytes(), 0);
    std::vector<std::uint8_t> pixels(direct ? 0 : std::size_t(w) * bpp);
    std::uint8_t* const line = direct ? out.data() : pixels.data();
    const std::size_t lineBytes = std::size_t(w) * bpp;
    std::vector<std::uint8_t> indices(std::size_t(w) + 8, 0);
    ByteReader in(file);
    int packetLeft = 0;
    bool repeat = false;
    std::uint8_t pixel[4] = {};
    for (int k = 0; k < info.height; ++k) {
        if (!lay.rle) {
            if (!in.Read(line, lineBytes)) return Fail("the TGA pixel data are truncated");
        } else {
            // Packets may run on from one row into the next.
            for (int x = 0; x < w; ++x) {
                if (packetLeft == 0) {
                    const int c = in.Next();
                    if (c < 0) return Fail("the TGA pixel data are truncated");
                    packetLeft = (c & 0x7F) + 1;
                    repeat = (c & 0x80) != 0;
                    if (repeat && !in.Read(pixel, bpp)) return Fail("the TGA pixel data are truncated");
                }
                std::uint8_t* dst = line + std::size_t(x) * bpp;
                if (repeat) {
                    std::memcpy(dst, pixel, bpp);
                } else if (!in.Read(dst, bpp)) {
                    return Fail("the TGA pixel data are truncated");
                }
                --packetLeft;
            }
        }
        if (lay.rightToLeft)
            for (int a = 0, b = w - 1; a < b; ++a, --b)
                std::swap_ranges(line + std::size_t(a) * bpp, line + std::size_t(a + 1) * bpp,
                                 line + std::size_t(b) * bpp);
        const std::uint8_t* p = line;
        if (direct) {
            // already in place
        } else if (lay.type == 1) {
            for (int x = 0; x < w; ++x) {
                const int v = p[x] - lay.mapFirst;
                indices[std::size_t(x)] = std::uint8_t(v >= 0 && v < info.colours ? v : 0);
            }
            PackIndices(indices.data(), w, info.bits, out.data());
        } else if (lay.type == 3) {
            for (int x = 0; x < w; ++x)
                out[std::size_t(x)] = bpp == 2 ? OverWhite(p[2 * x], p[2 * x + 1]) : p[x];
        } else if (info.bits == 16) {
            for (int x = 0; x < w; ++x) {
                out[2 * std::size_t(x)] = p[2 * x];
                out[2 * std::size_t(x) + 1] = p[2 * x + 1] & 0x7F;
            }
        } else {
            for (int x = 0; x < w; ++x) {
                const unsigned a = p[4 * x + 3];
                for (int c = 0; c < 3; ++c) out[3 * std::size_t(x) + std::size_t(c)] = OverWhite(p[4 * x + c], a);
            }
        }
        const int y = lay.topDown ? k : info.height - 1 - k;
        if (!rows->Put(y, out.data()) || !progress->Step(k + 1)) return false;
    }
    return true;
}

bool WriteTga(std::FILE* file, const std::string&, DibRows& rows, Progress& progress, const SaveOptions&) {
    const ImageInfo& info = rows.Info();
    if (info.width > 65535 || info.height > 65535) return Fail("TGA: the picture is too large");
    const bool indexed = info.bits <= 8;
    const bool gray = info.bits == 8 && info.IsGrayRamp();
    std::uint8_t h[18] = {};
    int depth = info.bits;
    if (gray) {
        h[2] = 3;
    } else if (indexed) {
        h[1] = 1;
        h[2] = 1;
        PutLe16(h + 5, std::uint32_t(info.colours));
        h[7] = 24;
        depth = 8;
    } else {
        h[2] = 2;
    }
    PutLe16(h + 12, std::uint32_t(info.width));
    PutLe16(h + 14, std::uint32_t(info.height));
    h[16] = std::uint8_t(depth);
    if (!WriteExact(file, h, sizeof h)) return Fail("TGA: the file cannot be written");
    if (indexed && !gray) {
        std::uint8_t map[256 * 3];
        for (int i = 0; i < info.colours; ++i) {
            map[3 * i] = info.table[i].blue;
            map[3 * i + 1] = info.table[i].green;
            map[3 * i + 2] = info.table[i].red;
        }
        if (!WriteExact(file, map, std::size_t(3 * info.colours))) return Fail("TGA: the file cannot be written");
    }
    const std::size_t bytes = std::size_t(info.width) * std::size_t(depth / 8);
    std::vector<std::uint8_t> stored(info.RowBytes(), 0);
    std::vector<std::uint8_t> line(indexed ? std::size_t(info.width) : 0);
    // Bottom row first, as the stored rows lie.
    for (int k = 0; k < info.height; ++k) {
        if (!rows.Get(info.height - 1 - k, stored.data())) return false;
        const std::uint8_t* row = stored.data();
        if (indexed && info.bits < 8) {
            UnpackIndices(stored.data(), info.width, info.bits, line.data());
            row = line.data();
        }
        if (!WriteExact(file, row, bytes)) return Fail("TGA: the file cannot be written");
        if (!progress.Step(k + 1)) return false;
    }
    static const std::uint8_t kFooter[26] = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S',
                                             'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
    if (!WriteExact(file, kFooter, sizeof kFooter)) return Fail("TGA: the file cannot be written");
    return true;
}

}  // namespace imf
