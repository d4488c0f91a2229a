#include "display/draw_picture_qt.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "display/display_rows.h"
#include "display/view_geometry.h"
#include "picture/colour_converter_kernels.h"
#include "picture/picture.h"

namespace display {

namespace {
int g_forcedBits = 0;

constexpr int kBandRows = 1024;
constexpr int kBandBytes = 65495;

// Client pixels of the picture from offset `from` to its end at a zoom.
int OutputLength(int pictureLength, int from, int zoom) {
    const int rest = pictureLength - from;
    if (rest <= 0) return 0;
    return int(std::min<std::int64_t>(DisplayedLength(rest, zoom), 1 << 30));
}

// The picture's colours for palette rows: its palette, else its colour table.
int PictureTable(CPicture& picture, RgbQuad* table) {
    const Palette* palette = picture.GetPalette();
    if (palette && !palette->Empty()) {
        const int n = std::min(palette->Count(), 256);
        for (int i = 0; i < n; ++i)
            table[i] = RgbQuad{(*palette)[i].blue, (*palette)[i].green, (*palette)[i].red, 0};
        return n;
    }
    const BitmapInfoHeader* h = picture.GetHeader();
    int n = h->biClrUsed ? int(h->biClrUsed) : (h->biBitCount <= 8 ? 1 << h->biBitCount : 0);
    n = std::min(n, 256);
    const RgbQuad* own = picture.GetColourTable();
    if (!own) return 0;
    std::copy(own, own + n, table);
    return n;
}

QVector<QRgb> QtTable(const RgbQuad* table, int n) {
    QVector<QRgb> out(256, qRgb(0, 0, 0));
    for (int i = 0; i < n; ++i) out[i] = qRgb(table[i].red, table[i].green, table[i].blue);
    return out;
}
}  // namespace

int DisplayBits() {
    if (g_forcedBits) return g_forcedBits;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int depth = screen ? screen->depth() : 24;
    return depth > 8 ? 24 : (depth > 4 ? 8 : (depth > 1 ? 4 : 1));
}

void SetForcedDisplayBits(int bits) { g_forcedBits = bits; }

int DrawPicture(CPicture* picture, QPoint origin, QPainter& painter, const QRect& destination,
                int zoom, DrawStats* stats) {
    if (!picture || !picture->HasHeader()) return 0;
    zoom = NormaliseZoom(zoom);
    const int W = picture->GetWidth(), H = picture->GetHeight();
    const int bits = picture->GetBitCount();
    if (origin.x() < 0 || origin.y() < 0 || origin.x() >= W || origin.y() >= H) return 0;

    // The destination cut to the picture and to what the painter shows; the
    // origin follows the cut, whole picture pixels at a time.
    QRect d(destination.topLeft(),
            QSize(std::min(destination.width(), OutputLength(W, origin.x(), zoom)),
                  std::min(destination.height(), OutputLength(H, origin.y(), zoom))));
    QRect c = d;
    if (painter.hasClipping()) c &= painter.clipBoundingRect().toAlignedRect();
    if (c.isEmpty()) return 0;
    auto trim = [zoom](int cut, int& originCoord) {
        if (zoom >= 2) {
            originCoord += cut / zoom;
            return cut / zoom * zoom;
        }
        originCoord += zoom <= -2 ? cut * -zoom : cut;
        return cut;
    };
    int ox = origin.x(), oy = origin.y();
    const int left = d.left() + trim(c.left() - d.left(), ox);
    const int top = d.top() + trim(c.top() - d.top(), oy);
    const int w = c.right() + 1 - left, h = c.bottom() + 1 - top;
    if (w <= 0 || h <= 0) return 0;

    // Band format: the picture's own, or the display's palette by diffusion.
    const int displayBits = DisplayBits();
    const int pictureBits = bits == 15 ? 16 : bits;
    const bool diffuse = displayBits < 24 && (displayBits < pictureBits ||
                                               (picture->GetType() == ptGray16 && displayBits == 4));
    DisplayDiffusion diffusion;
    RgbQuad table[256];
    const int tableColours = bits <= 8 ? PictureTable(*picture, table) : 0;
    QImage::Format format = QImage::Format_Indexed8;
    if (diffuse) {
        if (!diffusion.Setup(displayBits)) return 0;
    } else if (bits == 16 || bits == 15) {
        format = QImage::Format_RGB555;
    } else if (bits == 24) {
        format = QImage::Format_BGR888;
    } else if (bits == 32) {
        format = QImage::Format_RGB32;
    }
    const int lineBytes = (w * (format == QImage::Format_Indexed8 ? 8 : pictureBits) + 31) / 32 * 4;
    const int bandRows = std::clamp(std::min(kBandRows, kBandBytes / std::max(1, lineBytes)), 1, h);
    QImage band(w, bandRows, format);
    if (band.isNull()) return 0;
    if (format == QImage::Format_Indexed8) {
        if (diffuse) {
            RgbQuad shown[256];
            for (int i = 0; i < diffusion.Colours(); ++i) {
                const std::uint8_t* p = diffusion.PaletteRgb() + 3 * i;
                shown[i] = RgbQuad{p[2], p[1], p[0], 0};
            }
            band.setColorTable(QtTable(shown, diffusion.Colours()));
        } else {
            band.setColorTable(QtTable(table, tableColours));
        }
    }

    // Source columns of one output row.
    const int step = zoom <= -2 ? -zoom : 1;
    int sourceCount = w;  // pixels read (zoom 1), before expanding or shrinking
    if (zoom >= 2) sourceCount = (w + zoom - 1) / zoom;
    if (zoom <= -2) sourceCount = std::min(W - ox, w * step);
    const int x1 = ox + sourceCount - 1;
    const std::size_t pixelBytes = std::size_t(std::max(1, pictureBits / 8));
    std::vector<std::uint8_t> raw(std::size_t(sourceCount) * pixelBytes + 16);
    std::vector<std::uint8_t> expanded(zoom >= 2 ? std::size_t(sourceCount) * zoom * pixelBytes + 16 : 0);
    std::vector<std::uint8_t> tail(16);
    std::vector<std::uint8_t> bgr(diffuse ? std::size_t(w) * 3 + 16 : 0);
    const colour::FormatOps& ops = colour::OpsForBits(bits);
    int rowsRead = 0, bands = 0;

    // One picture row into a band line; false when the read failed.
    auto fillLine = [&](int y, std::uint8_t* line) -> bool {
        const std::uint8_t* row = raw.data();
        if (zoom >= 2) {
            if (!picture->ReadRow(ox, x1, y, raw.data()) ||
                !picture->ExpandRow(expanded.data(), raw.data(), sourceCount, zoom))
                return false;
            row = expanded.data();
        } else if (zoom <= -2) {
            if (!picture->ReadRowShrunk(ox, x1, y, raw.data(), zoom)) return false;
            const int kept = sourceCount / step;
            if (kept < w) {  // the last kept pixel of a segment shorter than a step
                const int xt = ox + kept * step;
                if (!picture->ReadRow(xt, xt, y, tail.data())) return false;
                CopyPackedPixel(bits, tail.data(), 0, raw.data(), kept);
            }
        } else if (!picture->ReadRow(ox, x1, y, raw.data())) {
            return false;
        }
        ++rowsRead;
        if (diffuse) {
            RowToBgr(bits, row, w, table, tableColours, bgr.data());
            diffusion.Row(bgr.data(), w, line);
        } else if (format == QImage::Format_Indexed8) {
            ops.unpack(row, w, line);
        } else if (format == QImage::Format_RGB32) {
            const std::uint32_t* in = reinterpret_cast<const std::uint32_t*>(row);
            std::uint32_t* out = reinterpret_cast<std::uint32_t*>(line);
            for (int i = 0; i < w; ++i) {
                std::uint32_t v;
                std::memcpy(&v, in + i, 4);
                out[i] = v | 0xFF000000u;
            }
        } else {
            std::memcpy(line, row, std::size_t(w) * pixelBytes);
        }
        return true;
    };

    int lastY = -1;
    const std::uint8_t* lastLine = nullptr;
    for (int start = 0; start < h; start += bandRows) {
        const int rows = std::min(bandRows, h - start);
        for (int r = 0; r < rows; ++r) {
            const int outRow = start + r;
            const int y = zoom >= 2 ? oy + outRow / zoom : oy + outRow * step;
            std::uint8_t* line = band.scanLine(r);
            if (y == lastY && lastLine) {
                if (line != lastLine) std::memcpy(line, lastLine, std::size_t(band.bytesPerLine()));
            } else if (!fillLine(y, line)) {
                return 0;
            }
            lastY = y;
            lastLine = line;
        }
        painter.drawImage(QPoint(left, top + start), band, QRect(0, 0, w, rows));
        ++bands;
        lastLine = nullptr;
        if (zoom >= 2 && (start + rows) % zoom != 0) {
            // The next band repeats the row: keep it instead of reading it again.
            std::vector<std::uint8_t> keep(band.scanLine(rows - 1), band.scanLine(rows - 1) + band.bytesPerLine());
            std::memcpy(band.scanLine(0), keep.data(), keep.size());
            lastLine = band.scanLine(0);
        }
    }
    if (stats) {
        stats->rowsRead += rowsRead;
        stats->bands += bands;
        stats->width = w;
        stats->height = h;
    }
    return 1;
}

int DrawPictureInto(CPicture* picture, const QRect& pictureRect, QPainter& painter,
                    const QRectF& target, DrawStats* stats) {
    if (!picture || !picture->HasHeader() || pictureRect.isEmpty() || target.isEmpty()) return 0;
    const QRect r = pictureRect & QRect(0, 0, picture->GetWidth(), picture->GetHeight());
    if (r.isEmpty()) return 0;
    const QTransform t = painter.deviceTransform();
    const double sx = std::hypot(t.m11(), t.m12()), sy = std::hypot(t.m21(), t.m22());
    const double scale = std::min(target.width() * sx / r.width(), target.height() * sy / r.height());
    int zoom = 1;
    if (scale >= 2)
        zoom = std::min(kMaxZoom, int(std::floor(scale)));
    else if (scale < 1)
        zoom = -std::min(-kMinZoom, int(std::floor(1.0 / scale)));
    zoom = NormaliseZoom(zoom);
    const int outW = int(DisplayedLength(r.width(), zoom));
    const int outH = int(DisplayedLength(r.height(), zoom));
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / outW, target.height() / outH);
    const int done = DrawPicture(picture, r.topLeft(), painter, QRect(0, 0, outW, outH), zoom, stats);
    painter.restore();
    return done;
}

int DrawPictureReduced(CPicture* picture, QPainter& painter, const QRect& at, int n) {
    if (!picture || !picture->HasHeader()) return 0;
    if (n <= -kMinZoom) return DrawPicture(picture, QPoint(0, 0), painter, at, n <= 1 ? 1 : -n);
    return DrawPictureInto(picture, QRect(0, 0, picture->GetWidth(), picture->GetHeight()), painter, QRectF(at));
}

}  // namespace display
