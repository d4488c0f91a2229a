// PCX: 1-bit, 2- and 4-bit (packed or in 1-bit planes), 8-bit with the
// palette at the end of the file, 24-bit in three planes (a fourth, alpha,
// plane is composed over white). Written run-length encoded.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

struct PcxLayout {
    int bpp = 0;     // bits per pixel in one plane
    int planes = 0;
    int bytesPerLine = 0;
    bool rle = true;
};

// Bytes a row may carry beyond what the picture's width needs.
constexpr std::int64_t kMaxRowPadding = 16;

bool ParseHeader(std::FILE* file, ImageInfo& info, PcxLayout& lay) {
    std::uint8_t h[128];
    if (!ReadExact(file, h, sizeof h)) return Fail("the PCX file is truncated");
    if (h[0] != 0x0A) return Fail("not a PCX file");
    lay.rle = h[2] == 1;
    lay.bpp = h[3];
    const int xmin = Le16(h + 4), ymin = Le16(h + 6), xmax = Le16(h + 8), ymax = Le16(h + 10);
    if (xmax < xmin || ymax < ymin) return Fail("the PCX picture has no pixels");
    if (!CheckSize(xmax - xmin + 1, ymax - ymin + 1)) return false;
    info.width = xmax - xmin + 1;
    info.height = ymax - ymin + 1;
    const int hdpi = Le16(h + 12), vdpi = Le16(h + 14);
    if (hdpi > 0 && vdpi > 0) {
        info.xPpm = DpiToPpm(std::uint32_t(hdpi));
        info.yPpm = DpiToPpm(std::uint32_t(vdpi));
    }
    lay.planes = h[65];
    lay.bytesPerLine = Le16(h + 66);
    const std::uint8_t* map = h + 16;
    auto headerTable = [&](int n) {
        info.colours = n;
        for (int i = 0; i < n; ++i) info.table[i] = RgbQuad{map[3 * i + 2], map[3 * i + 1], map[3 * i], 0};
    };
    const int bpp = lay.bpp, planes = lay.planes;
    if (bpp == 1 && planes == 1) {
        info.bits = 1;
        // Mono files often leave the header palette empty: then black and white.
        if (std::memcmp(map, map + 3, 3) == 0) {
            info.SetGrayRamp();
        } else {
            headerTable(2);
        }
    } else if ((bpp == 1 && planes >= 2 && planes <= 4) || ((bpp == 2 || bpp == 4) && planes == 1)) {
        info.bits = 4;
        headerTable(bpp == 1 ? 1 << planes : 1 << bpp);
    } else if (bpp == 8 && planes == 1) {
        info.bits = 8;
        info.SetGrayRamp();
        // The 256-colour palette: a marker and 768 bytes at the end of the file.
        const std::int64_t size = FileSize(file);
        std::uint8_t tail[769];
        if (size >= 128 + 769 && std::fseek(file, long(size - 769), SEEK_SET) == 0 &&
            ReadExact(file, tail, sizeof tail) && tail[0] == 0x0C) {
            for (int i = 0; i < 256; ++i)
                info.table[i] = RgbQuad{tail[1 + 3 * i + 2], tail[1 + 3 * i + 1], tail[1 + 3 * i], 0};
        }
        std::fseek(file, 128, SEEK_SET);
    } else if (bpp == 8 && (planes == 3 || planes == 4)) {
        info.bits = 24;
    } else {
        return Fail("the PCX pixel layout is not supported");
    }
    const std::int64_t needed = (std::int64_t(info.width) * bpp + 7) / 8;
    if (lay.bytesPerLine < needed) return Fail("the PCX rows are shorter than the picture");
    // Writers pad a row to an even count or a word; far more than that says
    // another width than the header's, and readers disagree on which holds.
    if (lay.bytesPerLine > needed + kMaxRowPadding)
        return Fail("the PCX rows are far longer than the picture is wide");
    return true;
}

}  // namespace

bool SniffPcx(const std::uint8_t* head, std::size_t n) {
    return n >= 4 && head[0] == 0x0A && head[1] <= 5 && head[1] != 1 && head[2] <= 1 &&
           (head[3] == 1 || head[3] == 2 || head[3] == 4 || head[3] == 8);
}

bool ReadPcx(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    PcxLayout lay;
    if (!ParseHeader(file, info, lay)) return false;
    info.order = 1;
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    const std::size_t bpl = std::size_t(lay.bytesPerLine);
    const std::size_t total = bpl * std::size_t(lay.planes);
    std::vector<std::uint8_t> line(total);
    std::vector<std::uint8_t> indices(std::size_t(info.width) + 8, 0);
    std::vector<std::uint8_t> out(info.RowBytes(), 0);
    ByteReader in(file);
    int runLeft = 0, runValue = 0;  // a run may carry over into the next line
    const int w = info.width;
    for (int y = 0; y < info.height; ++y) {
        std::size_t pos = 0;
        while (pos < total) {
            if (runLeft > 0) {
                const std::size_t n = std::min<std::size_t>(std::size_t(runLeft), total - pos);
                std::memset(line.data() + pos, runValue, n);
                pos += n;
                runLeft -= int(n);
                continue;
            }
            const int c = in.Next();
            if (c < 0) return Fail("the PCX pixel data are truncated");
            if (lay.rle && (c & 0xC0) == 0xC0) {
                runLeft = c & 0x3F;
                runValue = in.Next();
                if (runValue < 0) return Fail("the PCX pixel data are truncated");
            } else {
                line[pos++] = std::uint8_t(c);
            }
        }
        std::fill(out.begin(), out.end(), 0);
        if (info.bits == 24) {
            const std::uint8_t* r = line.data();
            const std::uint8_t* g = r + bpl;
            const std::uint8_t* b = g + bpl;
            const std::uint8_t* a = lay.planes == 4 ? b + bpl : nullptr;
            for (int x = 0; x < w; ++x) {
                const unsigned alpha = a ? a[x] : 255u;
                out[3 * x] = OverWhite(b[x], alpha);
                out[3 * x + 1] = OverWhite(g[x], alpha);
                out[3 * x + 2] = OverWhite(r[x], alpha);
            }
        } else if (lay.planes == 1 && lay.bpp == info.bits) {
            std::memcpy(out.data(), line.data(), (std::size_t(w) * std::size_t(info.bits) + 7) / 8);
        } else if (lay.planes == 1 && lay.bpp == 2) {
            for (int x = 0; x < w; ++x) indices[std::size_t(x)] = (line[std::size_t(x) / 4] >> (6 - 2 * (x % 4))) & 3;
            PackIndices(indices.data(), w, 4, out.data());
        } else {
            for (int x = 0; x < w; ++x) {
                int v = 0;
                for (int p = 0; p < lay.planes; ++p)
                    v |= ((line[bpl * std::size_t(p) + std::size_t(x) / 8] >> (7 - x % 8)) & 1) << p;
                indices[std::size_t(x)] = std::uint8_t(v);
            }
            PackIndices(indices.data(), w, 4, out.data());
        }
        if (!rows->Put(y, out.data()) || !progress->Step(y + 1)) return false;
    }
    return true;
}

namespace {

// Appends one plane line, run-length encoded.
void EncodeLine(const std::uint8_t* bytes, std::size_t n, std::vector<std::uint8_t>& out) {
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 63 && bytes[i + run] == bytes[i]) ++run;
        if (run > 1 || (bytes[i] & 0xC0) == 0xC0) out.push_back(std::uint8_t(0xC0 | run));
        out.push_back(bytes[i]);
        i += run;
    }
}

}  // namespace

bool WritePcx(std::FILE* file, const std::string&, DibRows& rows, Progress& progress, const SaveOptions&) {
    const ImageInfo& info = rows.Info();
    const int w = info.width;
    PcxLayout lay;
    if (info.bits == 1) {
        lay.bpp = 1;
        lay.planes = 1;
    } else if (info.bits == 4) {
        lay.bpp = 1;
        lay.planes = 4;
    } else if (info.bits == 8) {
        lay.bpp = 8;
        lay.planes = 1;
    } else {
        lay.bpp = 8;
        lay.planes = 3;
    }
    lay.bytesPerLine = ((w * lay.bpp + 7) / 8 + 1) & ~1;
    if (lay.bytesPerLine > 65535) return Fail("PCX: the picture is too wide");
    std::uint8_t h[128] = {};
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 1;
    h[3] = std::uint8_t(lay.bpp);
    PutLe16(h + 8, std::uint32_t(w - 1));
    PutLe16(h + 10, std::uint32_t(info.height - 1));
    PutLe16(h + 12, std::min<std::uint32_t>(PpmToDpi(info.xPpm ? info.xPpm : info.yPpm), 65535));
    PutLe16(h + 14, std::min<std::uint32_t>(PpmToDpi(info.yPpm ? info.yPpm : info.xPpm), 65535));
    if (info.bits <= 4)
        for (int i = 0; i < info.colours && i < 16; ++i) {
            h[16 + 3 * i] = info.table[i].red;
            h[16 + 3 * i + 1] = info.table[i].green;
            h[16 + 3 * i + 2] = info.table[i].blue;
        }
    h[65] = std::uint8_t(lay.planes);
    PutLe16(h + 66, std::uint32_t(lay.bytesPerLine));
    h[68] = 1;
    if (!WriteExact(file, h, sizeof h)) return Fail("PCX: the file cannot be written");
    const std::size_t bpl = std::size_t(lay.bytesPerLine);
    std::vector<std::uint8_t> stored(info.RowBytes(), 0);
    std::vector<std::uint8_t> planes(bpl * std::size_t(lay.planes), 0);
    std::vector<std::uint8_t> bgr(info.bits > 8 && info.bits != 24 ? std::size_t(w) * 3 : 0);
    std::vector<std::uint8_t> encoded;
    encoded.reserve(planes.size() * 2 + 16);
    for (int y = 0; y < info.height; ++y) {
        if (!rows.Get(y, stored.data())) return false;
        std::fill(planes.begin(), planes.end(), 0);
        if (info.bits == 1 || info.bits == 8) {
            std::memcpy(planes.data(), stored.data(), (std::size_t(w) * std::size_t(info.bits) + 7) / 8);
        } else if (info.bits == 4) {
            for (int x = 0; x < w; ++x) {
                const unsigned v = packing::GetIndex<4>(stored.data(), x);
                for (int p = 0; p < 4; ++p)
                    if (v & (1u << p)) planes[bpl * std::size_t(p) + std::size_t(x) / 8] |= std::uint8_t(0x80 >> (x % 8));
            }
        } else {
            // 24-bit rows are split into planes straight from the stored row.
            const std::uint8_t* src = stored.data();
            if (info.bits != 24) {
                RowToBgr(info, stored.data(), w, bgr.data());
                src = bgr.data();
            }
            for (int x = 0; x < w; ++x) {
                planes[std::size_t(x)] = src[3 * std::size_t(x) + 2];
                planes[bpl + std::size_t(x)] = src[3 * std::size_t(x) + 1];
                planes[2 * bpl + std::size_t(x)] = src[3 * std::size_t(x)];
            }
        }
        encoded.clear();
        for (int p = 0; p < lay.planes; ++p) EncodeLine(planes.data() + bpl * std::size_t(p), bpl, encoded);
        if (!WriteExact(file, encoded.data(), encoded.size())) return Fail("PCX: the file cannot be written");
        if (!progress.Step(y + 1)) return false;
    }
    if (info.bits == 8) {
        std::uint8_t tail[769] = {0x0C};
        for (int i = 0; i < info.colours; ++i) {
            tail[1 + 3 * i] = info.table[i].red;
            tail[1 + 3 * i + 1] = info.table[i].green;
            tail[1 + 3 * i + 2] = info.table[i].blue;
        }
        if (!WriteExact(file, tail, sizeof tail)) return Fail("PCX: the file cannot be written");
    }
    return true;
}

}  // namespace imf
