// PNM: P1 to P6, plain and raw, maximum values up to 65535. PBM files are
// 1-bit pictures, PGM 8-bit gray, PPM 24-bit colour. The writer's format is
// the extension's: PBM thresholds, PGM takes the gray level, PPM the colour.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The next decimal number of the header or plain data, skipping comments.
bool Number(ByteReader& in, std::uint32_t& value, std::uint32_t most) {
    int c = in.Next();
    for (;;) {
        if (c == '#') {
            while (c >= 0 && c != '\n' && c != '\r') c = in.Next();
        } else if (IsSpace(c)) {
            c = in.Next();
        } else {
            break;
        }
    }
    if (c < '0' || c > '9') return false;
    std::uint64_t v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + std::uint64_t(c - '0');
        if (v > most) return false;
        c = in.Next();
    }
    // The single white-space character behind the header's last number is consumed here.
    if (c == '#')
        while (c >= 0 && c != '\n' && c != '\r') c = in.Next();
    else if (c >= 0 && !IsSpace(c))
        return false;
    value = std::uint32_t(v);
    return true;
}

// The next plain bit of P1, where digits need no separation.
int PlainBit(ByteReader& in) {
    for (;;) {
        int c = in.Next();
        if (c == '#') {
            while (c >= 0 && c != '\n' && c != '\r') c = in.Next();
            continue;
        }
        if (c < 0) return -1;
        if (c == '0' || c == '1') return c - '0';
        if (!IsSpace(c)) return -1;
    }
}

struct PnmLayout {
    int kind = 0;  // 1..6
    std::uint32_t maxval = 1;
};

bool ParseHeader(ByteReader& in, ImageInfo& info, PnmLayout& lay) {
    const int p = in.Next(), k = in.Next();
    if (p != 'P' || k < '1' || k > '6') return Fail("not a PNM file");
    lay.kind = k - '0';
    std::uint32_t w = 0, h = 0;
    if (!Number(in, w, 1u << 30) || !Number(in, h, 1u << 30)) return Fail("the PNM header is damaged");
    if (!CheckSize(w, h)) return false;
    info.width = int(w);
    info.height = int(h);
    if (lay.kind != 1 && lay.kind != 4) {
        if (!Number(in, lay.maxval, 65535) || lay.maxval == 0) return Fail("the PNM maximum value is not usable");
    }
    if (lay.kind == 1 || lay.kind == 4) {
        info.bits = 1;
        info.SetGrayRamp();
    } else if (lay.kind == 2 || lay.kind == 5) {
        info.bits = 8;
        info.SetGrayRamp();
    } else {
        info.bits = 24;
    }
    return true;
}

}  // namespace

bool SniffPnm(const std::uint8_t* head, std::size_t n) {
    return n >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && (IsSpace(head[2]) || head[2] == '#');
}

bool ReadPnm(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    ByteReader in(file);
    PnmLayout lay;
    if (!ParseHeader(in, info, lay)) return false;
    info.order = 1;
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    const int w = info.width;
    const int channels = (lay.kind == 3 || lay.kind == 6) ? 3 : 1;
    const std::size_t samples = std::size_t(w) * std::size_t(channels);
    const bool wide = lay.maxval > 255;
    // Raw samples of one byte at full scale land in the stored row as they are;
    // colour rows then have red and blue exchanged in place.
    const bool direct = lay.kind >= 5 && lay.maxval == 255;
    std::vector<std::uint8_t> raw(direct ? 0 : lay.kind == 4 ? (std::size_t(w) + 7) / 8 : samples * (wide ? 2 : 1));
    std::vector<std::uint8_t> values(direct ? 0 : samples);
    std::vector<std::uint8_t> out(info.RowBytes(), 0);
    std::uint8_t scale[256];
    for (unsigned v = 0; v < 256; ++v) scale[v] = std::uint8_t(std::min(255u, (v * 255u + lay.maxval / 2) / lay.maxval));
    auto level = [&](std::uint32_t v) -> std::uint8_t {
        v = std::min(v, lay.maxval);
        if (lay.maxval == 255) return std::uint8_t(v);
        return std::uint8_t((std::uint64_t(v) * 255u + lay.maxval / 2) / lay.maxval);
    };
    for (int y = 0; y < info.height; ++y) {
        if (direct) {
            if (!in.Read(out.data(), samples)) return Fail("the PNM pixel data are truncated");
            if (channels == 3) SwapRedBlue(out.data(), w);
        } else if (lay.kind == 4) {
            if (!in.Read(raw.data(), raw.size())) return Fail("the PNM pixel data are truncated");
            // A set bit is black, which is index 0 of the picture.
            for (std::size_t i = 0; i < raw.size(); ++i) out[i] = std::uint8_t(~raw[i]);
            if (w % 8) out[raw.size() - 1] &= std::uint8_t(0xFF << (8 - w % 8));
        } else if (lay.kind == 1) {
            for (int x = 0; x < w; ++x) {
                const int b = PlainBit(in);
                if (b < 0) return Fail("the PNM pixel data are truncated");
                values[std::size_t(x)] = std::uint8_t(1 - b);
            }
            PackIndices(values.data(), w, 1, out.data());
        } else {
            std::uint8_t* v = out.data();
            if (lay.kind >= 5) {
                if (!in.Read(raw.data(), raw.size())) return Fail("the PNM pixel data are truncated");
                if (wide) {
                    for (std::size_t i = 0; i < samples; ++i) v[i] = level(std::uint32_t(raw[2 * i] << 8 | raw[2 * i + 1]));
                } else {
                    for (std::size_t i = 0; i < samples; ++i) v[i] = scale[raw[i]];
                }
            } else {
                for (std::size_t i = 0; i < samples; ++i) {
                    std::uint32_t n = 0;
                    if (!Number(in, n, 65535)) return Fail("the PNM pixel data are damaged or truncated");
                    v[i] = level(n);
                }
            }
            if (channels == 3) SwapRedBlue(v, w);
        }
        if (!rows->Put(y, out.data()) || !progress->Step(y + 1)) return false;
    }
    return true;
}

bool WritePnm(std::FILE* file, const std::string& ext, DibRows& rows, Progress& progress, const SaveOptions&) {
    const ImageInfo& info = rows.Info();
    const int kind = ext == "pbm" ? 4 : ext == "pgm" ? 5 : 6;
    char head[64];
    const int n = kind == 4 ? std::snprintf(head, sizeof head, "P4\n%d %d\n", info.width, info.height)
                            : std::snprintf(head, sizeof head, "P%d\n%d %d\n255\n", kind, info.width, info.height);
    if (!WriteExact(file, head, std::size_t(n))) return Fail("PNM: the file cannot be written");
    const int w = info.width;
    // Colour from 24-bit rows and gray from 8-bit gray ramps leave the stored
    // row in one pass; other depths go through a converted line.
    const bool direct = (kind == 6 && info.bits == 24) || (kind == 5 && info.bits == 8 && info.IsGrayRamp());
    if (direct) {
        // A chunk of about a megabyte of rows at a time: each row is moved
        // from where it lies into its place in the chunk, and the chunk goes
        // to the file in one write.
        const std::size_t fileRow = std::size_t(w) * (kind == 6 ? 3 : 1);
        const int perChunk = int(std::clamp<std::size_t>((std::size_t(1) << 20) / fileRow, 1, std::size_t(info.height)));
        std::vector<std::uint8_t> chunk(std::size_t(perChunk) * fileRow), stored(info.RowBytes());
        for (int y0 = 0; y0 < info.height; y0 += perChunk) {
            const int count = std::min(perChunk, info.height - y0);
            for (int k = 0; k < count; ++k) {
                const std::uint8_t* row = rows.Peek(y0 + k, stored.data());
                if (row == nullptr) return false;
                if (kind == 6) SwapRedBlueInto(chunk.data() + std::size_t(k) * fileRow, row, w);
                else std::memcpy(chunk.data() + std::size_t(k) * fileRow, row, fileRow);
            }
            if (!WriteThrough(file, chunk.data(), std::size_t(count) * fileRow))
                return Fail("PNM: the file cannot be written");
            if (!progress.Step(y0 + count)) return false;
        }
        return true;
    }
    std::vector<std::uint8_t> stored(info.RowBytes(), 0);
    std::vector<std::uint8_t> line(std::size_t(w) * 3 + 8, 0);
    std::vector<std::uint8_t> bits(kind == 4 ? (std::size_t(w) + 7) / 8 : 0, 0);
    for (int y = 0; y < info.height; ++y) {
        if (!rows.Get(y, stored.data())) return false;
        const std::uint8_t* data = line.data();
        std::size_t size = 0;
        if (kind == 6) {
            RowToRgb(info, stored.data(), w, line.data());
            size = std::size_t(w) * 3;
        } else {
            RowToGray(info, stored.data(), w, line.data());
            size = std::size_t(w);
            if (kind == 4) {
                for (int x = 0; x < w; ++x) line[std::size_t(x)] = line[std::size_t(x)] < 128 ? 1 : 0;
                PackIndices(line.data(), w, 1, bits.data());
                data = bits.data();
                size = bits.size();
            }
        }
        if (!WriteExact(file, data, size)) return Fail("PNM: the file cannot be written");
        if (!progress.Step(y + 1)) return false;
    }
    return true;
}

bool PnmRawLayout(std::FILE* file, ImageInfo& info, int& kind, std::uint64_t& offset) {
    ByteReader in(file);
    PnmLayout lay;
    if (!ParseHeader(in, info, lay)) return false;
    if (lay.kind != 4 && !((lay.kind == 5 || lay.kind == 6) && lay.maxval == 255)) return false;
    const long at = std::ftell(file);
    if (at < 0 || std::uint64_t(at) < in.Unread()) return false;
    kind = lay.kind;
    offset = std::uint64_t(at) - in.Unread();
    return true;
}

}  // namespace imf
