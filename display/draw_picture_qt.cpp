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

// The display palette's colours for a band of diffused rows.
QVector<QRgb> DiffusionTable(const DisplayDiffusion& diffusion) {
    RgbQuad shown[256];
    for (int i = 0; i < diffusion.Colours(); ++i) {
        const std::uint8_t* p = diffusion.PaletteRgb() + 3 * i;
        shown[i] = RgbQuad{p[2], p[1], p[0], 0};
    }
    return QtTable(shown, diffusion.Colours());
}

// Draws h rows of w colours from at, in bands, row r from rowOf (false when
// it failed); diffused when the display has fewer bits.
template <typename RowOf>
int DrawColourRows(int w, int h, RowOf&& rowOf, QPainter& painter, QPoint at, DrawStats* stats) {
    if (w <= 0 || h <= 0) return 0;
    const int displayBits = DisplayBits(painter.device());
    DisplayDiffusion diffusion;
    const bool diffuse = displayBits < 24;
    if (diffuse && !diffusion.Setup(displayBits)) return 0;
    const QImage::Format format = diffuse ? QImage::Format_Indexed8 : QImage::Format_BGR888;
    const int lineBytes = (w * (diffuse ? 8 : 24) + 31) / 32 * 4;
    const int bandRows = std::clamp(std::min(kBandRows, kBandBytes / std::max(1, lineBytes)), 1, h);
    QImage band(w, bandRows, format);
    if (band.isNull()) return 0;
    if (diffuse) band.setColorTable(DiffusionTable(diffusion));
    std::vector<std::uint8_t> colours(diffuse ? std::size_t(w) * 3 + 16 : 0);
    int bands = 0;
    for (int start = 0; start < h; start += bandRows) {
        const int rows = std::min(bandRows, h - start);
        for (int r = 0; r < rows; ++r) {
            if (diffuse) {
                if (!rowOf(start + r, colours.data())) return 0;
                diffusion.Row(colours.data(), w, band.scanLine(r));
            } else if (!rowOf(start + r, band.scanLine(r))) {
                return 0;
            }
        }
        painter.drawImage(QPoint(at.x(), at.y() + start), band, QRect(0, 0, w, rows));
        ++bands;
    }
    if (stats) {
        stats->bands += bands;
        stats->width = w;
        stats->height = h;
    }
    return 1;
}

// The reduced rows of a picture: output column j stands for picture columns
// x0 + reducer's block j, output row r for picture rows rowStarts[r] ..
// rowStarts[r + 1] - 1. Row(r, bgr) writes output row r (rows in order).
class ReducedRows {
public:
    ReducedRows(CPicture& picture, int x0, DetailReducer& reducer, const std::vector<int>& rowStarts)
        : picture_(picture), x0_(x0), reducer_(reducer), rowStarts_(rowStarts), bits_(picture.GetBitCount()) {
        const int n = reducer.SourceWidth();
        tableColours_ = bits_ <= 8 ? PictureTable(picture, table_) : 0;
        raw_.resize(std::size_t(picture.SegmentBytes(x0, x0 + n - 1)) + 16);
        if (bits_ != 24) bgr_.resize(std::size_t(n) * 3 + 16);
    }
    bool Row(int r, std::uint8_t* out) {
        const int x1 = x0_ + reducer_.SourceWidth() - 1;
        for (int y = rowStarts_[std::size_t(r)]; y < rowStarts_[std::size_t(r) + 1]; ++y) {
            const std::uint8_t* row = picture_.ResidentRow(x0_, y);
            if (!row) {
                if (!picture_.ReadRow(x0_, x1, y, raw_.data())) return false;
                row = raw_.data();
            }
            ++rowsRead;
            if (bits_ != 24) {
                RowToBgr(bits_, row, reducer_.SourceWidth(), table_, tableColours_, bgr_.data());
                row = bgr_.data();
            }
            reducer_.Add(row);
        }
        reducer_.Take(out);
        return true;
    }
    int rowsRead = 0;

private:
    CPicture& picture_;
    int x0_;
    DetailReducer& reducer_;
    const std::vector<int>& rowStarts_;
    int bits_;
    RgbQuad table_[256];
    int tableColours_ = 0;
    std::vector<std::uint8_t> raw_, bgr_;
};

int DrawReduced(CPicture& picture, int x0, DetailReducer& reducer, const std::vector<int>& rowStarts,
                QPainter& painter, QPoint at, DrawStats* stats) {
    const int w = reducer.OutputWidth(), h = int(rowStarts.size()) - 1;
    if (w <= 0 || h <= 0 || reducer.SourceWidth() <= 0) return 0;
    ReducedRows rows(picture, x0, reducer, rowStarts);
    const int done = DrawColourRows(w, h, [&](int r, std::uint8_t* out) { return rows.Row(r, out); }, painter, at,
                                    stats);
    if (stats) stats->rowsRead += rows.rowsRead;
    return done;
}

// Block corners of a picture reduced by n: every n-th column or row, then its length.
std::vector<int> BlockStarts(int from, int count, int length, int n) {
    std::vector<int> starts(std::size_t(count) + 1);
    for (int k = 0; k <= count; ++k)
        starts[std::size_t(k)] = int(std::min<std::int64_t>(length, from + std::int64_t(k) * n));
    return starts;
}

constexpr std::size_t kCacheBytes = std::size_t(64) << 20;
// Below this many picture pixels a repaint reduces straight from the rows.
constexpr std::int64_t kCachedPixels = std::int64_t(8) << 20;
}  // namespace

int DisplayBits(const QPaintDevice* device) {
    const QScreen* screen = device ? nullptr : QGuiApplication::primaryScreen();
    const int depth = device ? device->depth() : (screen ? screen->depth() : 24);
    return depth > 8 ? 24 : (depth > 4 ? 8 : (depth > 1 ? 4 : 1));
}

void ReductionCache::Clear() {
    picture_ = nullptr;
    zoom_ = width_ = height_ = pictureWidth_ = pictureHeight_ = 0;
    std::vector<std::uint8_t>().swap(rows_);
}

bool ReductionCache::Holds(const CPicture* picture, int zoom) const {
    return picture && picture == picture_ && zoom == zoom_ && picture->GetWidth() == pictureWidth_ &&
           picture->GetHeight() == pictureHeight_;
}

int DrawPicture(CPicture* picture, QPoint origin, QPainter& painter, const QRect& destination,
                int zoom, DrawStats* stats, ReductionCache* cache) {
    if (!picture || !picture->HasHeader()) return 0;
    // The rows stay where they are while they are drawn (a worker may make
    // room for its own picture meanwhile).
    StorePin pin(&picture->Store());
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

    if (zoom <= -2) {
        // Every picture pixel of a client pixel's block counts.
        const int n = -zoom;
        const int cw = int(DisplayedLength(W, zoom)), ch = int(DisplayedLength(H, zoom));
        if (cache && ox % n == 0 && oy % n == 0 && std::int64_t(W) * H >= kCachedPixels &&
            std::size_t(cw) * std::size_t(ch) * 3 <= kCacheBytes) {
            if (!cache->Holds(picture, zoom)) {
                cache->Clear();
                std::vector<std::uint8_t> all(std::size_t(cw) * std::size_t(ch) * 3);
                DetailReducer reducer;
                reducer.SetupFactor(W, n);
                const std::vector<int> rowStarts = BlockStarts(0, ch, H, n);
                ReducedRows rows(*picture, 0, reducer, rowStarts);
                for (int r = 0; r < ch; ++r)
                    if (!rows.Row(r, all.data() + std::size_t(r) * std::size_t(cw) * 3)) return 0;
                if (stats) stats->rowsRead += rows.rowsRead;
                cache->rows_ = std::move(all);
                cache->picture_ = picture;
                cache->zoom_ = zoom;
                cache->width_ = cw, cache->height_ = ch;
                cache->pictureWidth_ = W, cache->pictureHeight_ = H;
            }
            const std::uint8_t* from = cache->rows_.data() + (std::size_t(oy / n) * std::size_t(cw) + std::size_t(ox / n)) * 3;
            return DrawColourRows(w, h, [&](int r, std::uint8_t* out) {
                std::memcpy(out, from + std::size_t(r) * std::size_t(cw) * 3, std::size_t(w) * 3);
                return true;
            }, painter, QPoint(left, top), stats);
        }
        DetailReducer reducer;
        reducer.SetupFactor(int(std::min<std::int64_t>(W - ox, std::int64_t(w) * n)), n);
        return DrawReduced(*picture, ox, reducer, BlockStarts(oy, h, H, n), painter, QPoint(left, top), stats);
    }

    // Band format: the picture's own, or the display's palette by diffusion.
    const int displayBits = DisplayBits(painter.device());
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
    if (format == QImage::Format_Indexed8)
        band.setColorTable(diffuse ? DiffusionTable(diffusion) : QtTable(table, tableColours));

    // Source columns of one output row.
    int sourceCount = w;  // pixels read (zoom 1), before expanding
    if (zoom >= 2) sourceCount = (w + zoom - 1) / zoom;
    const int x1 = ox + sourceCount - 1;
    const std::size_t pixelBytes = std::size_t(std::max(1, pictureBits / 8));
    std::vector<std::uint8_t> raw(std::size_t(sourceCount) * pixelBytes + 16);
    std::vector<std::uint8_t> expanded(zoom >= 2 ? std::size_t(sourceCount) * zoom * pixelBytes + 16 : 0);
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
            const int y = zoom >= 2 ? oy + outRow / zoom : oy + outRow;
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
    StorePin pin(&picture->Store());
    const QTransform t = painter.deviceTransform();
    const double sx = std::hypot(t.m11(), t.m12()), sy = std::hypot(t.m21(), t.m22());
    const double scale = std::min(target.width() * sx / r.width(), target.height() * sy / r.height());
    if (scale < 1) {
        // Reduced block by block to the device pixels the target covers; the
        // painter only makes up the rounding, without smoothing.
        const int outW = std::clamp(int(std::lround(target.width() * sx)), 1, r.width());
        const int outH = std::clamp(int(std::lround(target.height() * sy)), 1, r.height());
        DetailReducer reducer;
        reducer.SetupSpread(r.width(), outW);
        std::vector<int> rowStarts(std::size_t(outH) + 1);
        for (int k = 0; k <= outH; ++k)
            rowStarts[std::size_t(k)] = r.top() + int(std::int64_t(r.height()) * k / outH);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.translate(target.topLeft());
        painter.scale(target.width() / outW, target.height() / outH);
        const int done = DrawReduced(*picture, r.left(), reducer, rowStarts, painter, QPoint(0, 0), stats);
        painter.restore();
        return done;
    }
    int zoom = 1;
    if (scale >= 2) zoom = std::min(kMaxZoom, int(std::floor(scale)));
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
