#include "print/print_render.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "base/message_box.h"
#include "base/progress.h"
#include "picture/picture.h"
#include "print/print_layout.h"
#include "print/print_rows.h"
#include "resources/string_ids.h"

namespace {

constexpr int kBandBytes = 65536;

int FloorMod(long long a, int m) {
    const long long r = a % m;
    return int(r < 0 ? r + m : r);
}

int ColourCountOf(const CPicture& picture) {
    const BitmapInfoHeader* h = picture.GetHeader();
    if (!h || h->biBitCount > 8) return 0;
    return h->biClrUsed ? int(h->biClrUsed) : 1 << h->biBitCount;
}

BandImage BandOf(const CPicture& picture, const std::uint8_t* bits, std::size_t stride, int width,
                 int rows) {
    BandImage b;
    b.bits = bits;
    b.stride = stride;
    b.width = width;
    b.rows = rows;
    b.bitCount = picture.GetBitCount();
    b.pictureType = picture.GetType();
    b.colours = picture.GetColourTable();
    b.colourCount = ColourCountOf(picture);
    return b;
}

Box Intersect(const Box& a, const Box& b) {
    Box r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

int PieceWidth(const FramePieces& p, int k) { return p[std::size_t(k - 1)]->GetWidth(); }
int PieceHeight(const FramePieces& p, int k) { return p[std::size_t(k - 1)]->GetHeight(); }

// Rows of the picture collected top-down into a band and sent to the device
// at the picture's place whenever the band is full or the last row came.
class BandWriter {
public:
    BandWriter(PrintDevice& device, const CPicture& picture, int x, int y, int width, int height)
        : device_(device), picture_(picture), x_(x), y_(y), width_(width), height_(height) {
        rowBytes_ = OutputRowBytes(picture.GetBitCount(), width);
        bandRows_ = BandRowsFor(rowBytes_);
        band_.resize(std::size_t(rowBytes_) * std::size_t(bandRows_));
    }
    bool Emit(int row, const std::uint8_t* bytes) {
        std::memcpy(band_.data() + std::size_t(count_) * std::size_t(rowBytes_), bytes,
                    std::size_t(rowBytes_));
        ++count_;
        if (count_ == bandRows_ || row == height_ - 1) {
            const bool ok = device_.DrawBand(
                x_, y_ + bandTop_,
                BandOf(picture_, band_.data(), std::size_t(rowBytes_), width_, count_));
            bandTop_ = row + 1;
            count_ = 0;
            return ok;
        }
        return true;
    }
    int BandRows() const { return bandRows_; }

private:
    PrintDevice& device_;
    const CPicture& picture_;
    int x_, y_, width_, height_;
    int rowBytes_ = 0, bandRows_ = 1;
    std::vector<std::uint8_t> band_;
    int bandTop_ = 0, count_ = 0;
};

struct PageLayout {
    Box picture{};
    Box frame{};
    int drawnStyle = 0;
    const FramePieces* pieces = nullptr;
};

// Bitmap pieces are cut to clip; drawn shapes are clipped by the device.
bool DrawFrame(PrintDevice& device, const PageLayout& layout, const Box& clip) {
    const Box& f = layout.frame;
    if (layout.drawnStyle) {
        const int corner = (layout.drawnStyle == 2 || layout.drawnStyle == 4) ? 32 : 0;
        device.DrawFrameShape(f, corner);
        if (layout.drawnStyle >= 3)
            device.DrawFrameShape(Box{f.left + 5, f.top + 5, f.right - 5, f.bottom - 5}, corner);
        return true;
    }
    if (!layout.pieces) return true;
    const FramePieces& p = *layout.pieces;
    device.DrawFrameShape(f, 0);
    auto piece = [&](int k, int left, int top, int right, int bottom) {
        const Box area = Intersect(Box{left, top, right, bottom}, clip);
        if (area.right <= area.left || area.bottom <= area.top) return true;
        return DrawTiled(device, *p[std::size_t(k - 1)], area, left, top);
    };
    const int w1 = PieceWidth(p, 1), h1 = PieceHeight(p, 1);
    const int w2 = PieceWidth(p, 2), h2 = PieceHeight(p, 2);
    const int w3 = PieceWidth(p, 3), h3 = PieceHeight(p, 3);
    const int w4 = PieceWidth(p, 4), h4 = PieceHeight(p, 4);
    const int h5 = PieceHeight(p, 5), w6 = PieceWidth(p, 6);
    return piece(1, f.left, f.top, f.left + w1, f.top + h1) &&
           piece(5, f.left + w1, f.top, f.right - w2, f.top + h5) &&
           piece(2, f.right - w2, f.top, f.right, f.top + h2) &&
           piece(6, f.left, f.top + h1, f.left + w6, f.bottom - h3) &&
           piece(6, f.right - w6, f.top + h2, f.right, f.bottom - h4) &&
           piece(3, f.left, f.bottom - h3, f.left + w3, f.bottom) &&
           piece(5, f.left + w3, f.bottom - h5, f.right - w4, f.bottom) &&
           piece(4, f.right - w4, f.bottom - h4, f.right, f.bottom);
}

bool BeginPage(PrintDevice& device, const PrintJobRequest& request, const PageLayout& layout,
               bool preview) {
    if (!preview && !device.StartPage()) {
        ShowMessageById(IDS_PRINT_ERROR);
        return false;
    }
    if (request.watermarkOn && request.watermark && request.watermark->HasHeader()) {
        CPicture& w = *request.watermark;
        const Box page{0, 0, device.PageWidth(), device.PageHeight()};
        if (request.watermarkLayout == 1) {
            if (!DrawTiled(device, w, page, 0, 0)) return false;
        } else {
            const CentredWatermark c =
                CentreWatermark(w.GetWidth(), w.GetHeight(), page.right, page.bottom);
            if (!DrawTiled(device, w, c.clip, c.originX, c.originY)) return false;
        }
    }
    return DrawFrame(device, layout, Box{0, 0, device.PageWidth(), device.PageHeight()});
}

// Picture and frame of a request, the picture's corner at the offsets.
PageLayout LayoutOf(const PrintJobRequest& request) {
    PageLayout layout;
    layout.picture = Box{request.printRect.left + request.xOffset,
                         request.printRect.top + request.yOffset,
                         request.printRect.right + request.xOffset,
                         request.printRect.bottom + request.yOffset};
    if (request.drawnFrameId >= kFirstFrameId && request.drawnFrameId < kFirstBitmapFrameId) {
        layout.drawnStyle = FrameNumberOf(request.drawnFrameId);
        Box& p = layout.picture;
        p = Box{p.left + kDrawnFrameBorder, p.top + kDrawnFrameBorder, p.right + kDrawnFrameBorder,
                p.bottom + kDrawnFrameBorder};
        layout.frame = Box{p.left - kDrawnFrameBorder, p.top - kDrawnFrameBorder,
                           p.right + kDrawnFrameBorder, p.bottom + kDrawnFrameBorder};
    } else if (request.framePieces && FramePiecesComplete(*request.framePieces)) {
        const BitmapFrameLayout f = LayBitmapFrame(layout.picture, *request.framePieces);
        layout.frame = f.frame;
        layout.picture = f.picture;
        layout.pieces = request.framePieces;
    }
    return layout;
}

bool HasFrame(const PageLayout& layout) { return layout.drawnStyle || layout.pieces; }

Box Shifted(const Box& b, int dx, int dy) {
    return Box{b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
}

// The poster's picture and frame with the poster's corner at (0, 0).
PageLayout PosterLayoutOf(const PrintJobRequest& request) {
    PrintJobRequest atCorner = request;
    atCorner.xOffset = atCorner.yOffset = 0;
    atCorner.printRect = Shifted(request.printRect, -request.printRect.left, -request.printRect.top);
    return LayoutOf(atCorner);
}

// One sheet of a poster: the watermark and frame laid over the whole poster
// and cut to the sheet's part, the part of the picture, marks and label.
// onRow is called after every picture row with the rows done on this sheet.
bool DrawPosterSheet(PrintDevice& device, const PrintJobRequest& request,
                     const PageLayout& whole, const PosterLayout& poster, int index,
                     const std::function<bool(int)>& onRow, bool& stopped) {
    const PosterSheet s = poster.Sheet(index);
    const int dx = s.x - s.part.left, dy = s.y - s.part.top;
    const Box tile = Shifted(s.part, dx, dy);
    if (request.watermarkOn && request.watermark && request.watermark->HasHeader()) {
        CPicture& w = *request.watermark;
        if (request.watermarkLayout == 1) {
            if (!DrawTiled(device, w, tile, dx, dy)) return false;
        } else {
            const CentredWatermark c =
                CentreWatermark(w.GetWidth(), w.GetHeight(), poster.width, poster.height);
            const Box clip = Intersect(Shifted(c.clip, dx, dy), tile);
            if (clip.right > clip.left && clip.bottom > clip.top &&
                !DrawTiled(device, w, clip, c.originX + dx, c.originY + dy))
                return false;
        }
    }
    if (HasFrame(whole)) {
        PageLayout placed = whole;
        placed.frame = Shifted(whole.frame, dx, dy);
        device.ClipTo(&tile);
        const bool drawn = DrawFrame(device, placed, tile);
        device.ClipTo(nullptr);
        if (!drawn) return false;
    }
    const Box& pic = whole.picture;
    const Box window = Shifted(Intersect(pic, s.part), -pic.left, -pic.top);
    if (window.right > window.left && window.bottom > window.top) {
        CPicture& picture = *request.picture;
        BandWriter writer(device, picture, window.left + pic.left + dx, window.top + pic.top + dy,
                          window.right - window.left, window.bottom - window.top);
        const bool ok = ProduceRowsIn(
            picture, pic.right - pic.left, pic.bottom - pic.top, window,
            [&](int row, const std::uint8_t* bytes) {
                if (!writer.Emit(row - window.top, bytes)) return false;
                if (!onRow(row - window.top + 1) || !device.KeepGoing()) {
                    stopped = true;
                    return false;
                }
                return true;
            });
        if (!ok) return false;
    }
    for (const Box& m : PosterMarks(poster, index)) {
        const int w = m.right - m.left, h = m.bottom - m.top;
        const int rowBytes = OutputRowBytes(24, w);
        const std::vector<std::uint8_t> black(std::size_t(rowBytes) * std::size_t(h), 0);
        BandImage band;
        band.bits = black.data();
        band.stride = std::size_t(rowBytes);
        band.width = w;
        band.rows = h;
        band.bitCount = 24;
        band.pictureType = ptTrueColor24;
        if (!device.DrawBand(m.left, m.top, band)) return false;
    }
    if (poster.labels)
        device.DrawLabel(PosterLabelBox(poster, index), PosterSheetLabel(poster, index));
    return true;
}

int RenderPoster(PrintDevice& device, const PrintJobRequest& request, bool preview,
                 bool* aborted) {
    const PosterLayout& poster = *request.poster;
    const int count = poster.SheetCount();
    if (!poster.Usable() || count <= 0) return 0;
    int first = 0, last = count - 1;
    if (request.posterSheet >= 0) first = last = std::min(request.posterSheet, count - 1);
    const PageLayout whole = PosterLayoutOf(request);

    long long rowsPerSet = 0;
    for (int i = first; i <= last; ++i) {
        const Box part = poster.Sheet(i).part;
        rowsPerSet += std::max(0, std::min(part.bottom, whole.picture.bottom) -
                                      std::max(part.top, whole.picture.top));
    }
    rowsPerSet = std::max(rowsPerSet, 1LL);
    // The gauge keeps to 16 bits: whole rows when they fit, else a share of them.
    const unsigned steps = unsigned(std::min<long long>(rowsPerSet, 32767));
    ScopedProgress gauge(!preview, IDS_PRINTING, 0, steps - 1);

    const int copies = preview ? 1 : std::max(request.copies, 1);
    bool stopped = false, failed = false;
    double done = 0;  // rows of a set; a pass of perPass copies counts perPass / copies
    int remaining = copies;
    while (remaining > 0 && !stopped && !failed) {
        int perPass = preview ? 1 : device.RequestCopies(remaining);
        perPass = std::clamp(perPass, 1, remaining);
        remaining -= perPass;
        const double share = double(perPass) / copies;
        for (int i = first; i <= last && !stopped && !failed; ++i) {
            if (!preview && !device.StartPage()) {
                ShowMessageById(IDS_PRINT_ERROR);
                failed = true;
                break;
            }
            const double base = done;
            auto onRow = [&](int rows) {
                done = base + rows * share;
                return preview || !gauge.Step(unsigned(done * steps / double(rowsPerSet)));
            };
            if (!DrawPosterSheet(device, request, whole, poster, i, onRow, stopped) && !stopped)
                failed = true;
            if (!preview && !device.EndPage()) failed = true;
        }
    }
    if (aborted) *aborted = stopped;
    return (stopped || failed) ? 0 : 1;
}

}  // namespace

Box PosterCanvas(const PrintJobRequest& request) {
    const PageLayout layout = PosterLayoutOf(request);
    if (!HasFrame(layout)) return layout.picture;
    return Box{0, 0, std::max(layout.frame.right, layout.picture.right),
               std::max(layout.frame.bottom, layout.picture.bottom)};
}


bool FramePiecesComplete(const FramePieces& pieces) {
    for (const auto& p : pieces)
        if (!p || !p->HasHeader() || p->GetWidth() <= 0 || p->GetHeight() <= 0) return false;
    return true;
}

BitmapFrameLayout LayBitmapFrame(const Box& picture, const FramePieces& pieces) {
    BitmapFrameLayout out;
    out.picture = picture;
    if (!FramePiecesComplete(pieces)) return out;
    const int w = picture.right - picture.left, h = picture.bottom - picture.top;
    const int a = PieceWidth(pieces, 5), b = PieceHeight(pieces, 6);
    const int tilesX = (w + a - 1) / a, tilesY = (h + b - 1) / b;
    out.frame = Box{picture.left, picture.top,
                    picture.left + a * tilesX + 2 * PieceWidth(pieces, 6),
                    picture.top + b * tilesY + 2 * PieceHeight(pieces, 5)};
    const int dx = (out.frame.right - out.frame.left - w) / 2;
    const int dy = (out.frame.bottom - out.frame.top - h) / 2;
    out.picture = Box{picture.left + dx, picture.top + dy, picture.right + dx, picture.bottom + dy};
    return out;
}

CentredWatermark CentreWatermark(int width, int height, int pageWidth, int pageHeight) {
    CentredWatermark c;
    c.originX = (pageWidth - width) / 2;
    c.originY = (pageHeight - height) / 2;
    c.clip = Intersect(Box{c.originX, c.originY, c.originX + width, c.originY + height},
                       Box{0, 0, pageWidth, pageHeight});
    return c;
}

int OutputRowBytes(int bitCount, int printWidth) {
    const long long bytes = ((long long)bitCount * printWidth + 7) / 8 + 3;
    return int(bytes & ~3LL);
}

int BandRowsFor(int outputRowBytes) {
    return std::max(1, kBandBytes / std::max(outputRowBytes, 1));
}

bool DrawTiled(PrintDevice& device, CPicture& picture, Box clip, int originX, int originY) {
    clip = Intersect(clip, Box{0, 0, device.PageWidth(), device.PageHeight()});
    const int width = clip.right - clip.left, height = clip.bottom - clip.top;
    const int pw = picture.GetWidth(), ph = picture.GetHeight();
    if (width <= 0 || height <= 0 || pw <= 0 || ph <= 0) return true;
    const int type = picture.GetType();
    const bool shows = type == ptTrueColor24 || type == ptColor256 || type == ptGray256;
    const int bits = picture.GetBitCount();
    const int bpp = std::max(bits / 8, 1);
    const int rowBytes = OutputRowBytes(bits, width);
    const int bandRows = BandRowsFor(rowBytes);
    std::vector<std::uint8_t> band(std::size_t(rowBytes) * std::size_t(std::min(bandRows, height)),
                                   255);
    int bandTop = clip.top, count = 0;
    for (int y = clip.top; y < clip.bottom; ++y) {
        std::uint8_t* row = band.data() + std::size_t(count) * std::size_t(rowBytes);
        if (shows) {
            const int py = FloorMod((long long)y - originY, ph);
            int x = clip.left;
            while (x < clip.right) {
                const int px = FloorMod((long long)x - originX, pw);
                const int n = std::min(pw - px, clip.right - x);
                if (!picture.ReadRow(px, px + n - 1, py, row + std::size_t(x - clip.left) * std::size_t(bpp)))
                    return false;
                x += n;
            }
        }
        if (++count == bandRows || y == clip.bottom - 1) {
            if (!device.DrawBand(clip.left, bandTop,
                                 BandOf(picture, band.data(), std::size_t(rowBytes), width, count)))
                return false;
            if (!device.KeepGoing()) return false;
            bandTop = y + 1;
            count = 0;
        }
    }
    return true;
}

int RenderPicture(PrintDevice& device, const PrintJobRequest& request, bool preview,
                  bool* aborted) {
    bool stopped = false, failed = false;
    if (aborted) *aborted = false;
    CPicture* picture = request.picture;
    const int printWidth = request.printRect.right - request.printRect.left;
    const int printHeight = request.printRect.bottom - request.printRect.top;
    // Print sizes keep to the system's 16-bit geometry.
    if (!picture || !picture->HasHeader() || printWidth <= 0 || printHeight <= 0 ||
        printWidth > kMaxPictureSide || printHeight > kMaxPictureSide)
        return 0;

    if (request.poster) return RenderPoster(device, request, preview, aborted);
    const PageLayout layout = LayoutOf(request);

    const int copies = preview ? 1 : std::max(request.copies, 1);
    ScopedProgress gauge(!preview, IDS_PRINTING, 0, unsigned(printHeight - 1));
    double progressBase = 0;
    int remaining = copies;
    while (remaining > 0 && !stopped && !failed) {
        int perPass = preview ? 1 : device.RequestCopies(remaining);
        perPass = std::clamp(perPass, 1, remaining);
        remaining -= perPass;
        if (!BeginPage(device, request, layout, preview)) {
            failed = true;
            break;
        }
        BandWriter writer(device, *picture, layout.picture.left, layout.picture.top, printWidth,
                          printHeight);
        // The enlarging routine moves the gauge every 2^k rows only.
        unsigned mask = 0;
        if (ChooseRowRoutine(picture->GetType(), picture->GetHeight(), printHeight) ==
            RowRoutine::Enlarging)
            for (int q = printHeight / 128; q > 0; q >>= 1) mask = (mask << 1) | 1;
        const bool ok = ProduceRows(*picture, printWidth, printHeight,
                                    [&](int row, const std::uint8_t* bytes) {
            if (!writer.Emit(row, bytes)) {
                failed = true;
                return false;
            }
            if (!preview && (unsigned(row) & mask) == mask &&
                gauge.Step(unsigned(double(row) * perPass / copies + progressBase))) {
                stopped = true;
                return false;
            }
            if (!device.KeepGoing()) {
                stopped = true;
                return false;
            }
            return true;
        });
        if (!ok && !stopped) failed = true;
        progressBase += double(printHeight) * perPass / copies + 0.5;
        progressBase = double((long long)progressBase);
        if (!preview && !device.EndPage()) failed = true;
    }
    if (aborted) *aborted = stopped;
    return (stopped || failed) ? 0 : 1;
}
