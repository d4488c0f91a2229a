// Pictures of every format for the display tests, and the picture as the
// zoom rules resample it, computed straight from the stored rows.
#pragma once
#include <QImage>
#include <QString>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "display/display_rows.h"
#include "picture/picture.h"
#include "picture/tests/test_picture_helpers.h"

namespace display_test {

constexpr int kAllTypes[] = {ptBlackWhite, ptTrueColor24, ptColor16, ptColor256, ptGray16,
                             ptGray256,    ptColor32K,    ptColor64K, ptTrueColor32};

// A picture of the type with random pixels (and, for 256 colours, a random
// palette), in memory or in its swap file.
inline std::unique_ptr<CPicture> MakePicture(int type, int width, int height, unsigned seed,
                                             int storeFlags = kStoreMemory) {
    auto p = std::make_unique<CDocPicture>();
    std::mt19937 random(seed);
    std::vector<RgbQuad> table;
    if (type == ptColor256) {
        table.resize(256);
        for (RgbQuad& q : table)
            q = RgbQuad{std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()), 0};
    }
    if (!p->Create(type, width, height, table.empty() ? 0 : 256, table.empty() ? nullptr : table.data(),
                   0, 0, storeFlags))
        return nullptr;
    std::vector<std::uint8_t> row(p->GetRowBytes() + 8);
    for (int y = 0; y < height; ++y) {
        for (auto& b : row) b = std::uint8_t(random());
        p->WriteRow(0, width - 1, y, row.data());
    }
    return p;
}

// The colour picture pixel (x, y) shows on a true-colour screen.
inline QRgb PixelColour(CPicture& p, const std::vector<std::uint8_t>& row, int x) {
    const int bits = p.GetBitCount();
    const std::uint32_t v = picture_test::PackedPixel(row.data(), bits, x);
    if (bits <= 8) {
        const Palette* palette = p.GetPalette();
        if (palette && !palette->Empty()) {
            const PaletteEntry& e = (*palette)[int(v)];
            return qRgb(e.red, e.green, e.blue);
        }
        const RgbQuad& q = p.GetColourTable()[v];
        return qRgb(q.red, q.green, q.blue);
    }
    if (bits == 16) {
        auto five = [](unsigned c) { return int((c << 3) | (c >> 2)); };
        return qRgb(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
    }
    return qRgb(int((v >> 16) & 255), int((v >> 8) & 255), int(v & 255));
}

// The colour a reduction shows for the picture block from (x, y), n x n
// pixels cut at the picture's edges: each channel's DetailValue.
inline QRgb ReducedColour(CPicture& p, int x, int y, int n) {
    const int x1 = std::min(p.GetWidth(), x + n), y1 = std::min(p.GetHeight(), y + n);
    std::vector<std::uint8_t> row(p.GetRowBytes());
    std::uint64_t sum[3] = {};
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int yy = y; yy < y1; ++yy) {
        p.ReadStoredRow(yy, row.data());
        for (int xx = x; xx < x1; ++xx) {
            const QRgb c = PixelColour(p, row, xx);
            const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
            for (int k = 0; k < 3; ++k) {
                sum[k] += unsigned(v[k]);
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
            }
        }
    }
    const std::uint64_t count = std::uint64_t(x1 - x) * std::uint64_t(y1 - y);
    return qRgb(display::DetailValue(sum[0], count, lo[0], hi[0]), display::DetailValue(sum[1], count, lo[1], hi[1]),
                display::DetailValue(sum[2], count, lo[2], hi[2]));
}

// width x height client pixels of the picture at the zoom from picture
// pixel (ox, oy): x n replicates, 1/n shows the n x n block from ox + i n,
// oy + j n as ReducedColour; outside the picture: background.
inline QImage Resampled(CPicture& p, int ox, int oy, int zoom, int width, int height, QRgb background) {
    QImage out(width, height, QImage::Format_RGB32);
    if (zoom <= -2) {
        const int n = -zoom;
        for (int cy = 0; cy < height; ++cy)
            for (int cx = 0; cx < width; ++cx) {
                const int x = ox + cx * n, y = oy + cy * n;
                const bool inside = x >= 0 && y >= 0 && x < p.GetWidth() && y < p.GetHeight();
                out.setPixel(cx, cy, inside ? ReducedColour(p, x, y, n) : background);
            }
        return out;
    }
    std::vector<std::uint8_t> row(p.GetRowBytes());
    int lastY = -1;
    for (int cy = 0; cy < height; ++cy) {
        const int y = zoom >= 2 ? oy + cy / zoom : (zoom <= -2 ? oy + cy * -zoom : oy + cy);
        for (int cx = 0; cx < width; ++cx) {
            const int x = zoom >= 2 ? ox + cx / zoom : (zoom <= -2 ? ox + cx * -zoom : ox + cx);
            if (x < 0 || y < 0 || x >= p.GetWidth() || y >= p.GetHeight()) {
                out.setPixel(cx, cy, background);
                continue;
            }
            if (y != lastY) {
                p.ReadStoredRow(y, row.data());
                lastY = y;
            }
            out.setPixel(cx, cy, PixelColour(p, row, x));
        }
    }
    return out;
}

// Empty when equal, else where and how the first difference lies.
inline QString FirstDifference(const QImage& got, const QImage& want) {
    if (got.size() != want.size())
        return QStringLiteral("size %1x%2, want %3x%4")
            .arg(got.width()).arg(got.height()).arg(want.width()).arg(want.height());
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            if ((got.pixel(x, y) & 0xFFFFFF) != (want.pixel(x, y) & 0xFFFFFF))
                return QStringLiteral("pixel (%1,%2) is %3, want %4")
                    .arg(x).arg(y).arg(got.pixel(x, y) & 0xFFFFFF, 6, 16, QChar('0'))
                    .arg(want.pixel(x, y) & 0xFFFFFF, 6, 16, QChar('0'));
    return {};
}

}  // namespace display_test
