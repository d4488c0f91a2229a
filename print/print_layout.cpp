#include "print/print_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kCmToInch = 0.3937;
constexpr double kInchToCm = 2.54;

double ToInch(double value, int unit, int dpi) {
    switch (unit) {
    case kPrintUnitCm: return value * kCmToInch;
    case kPrintUnitPixel: return dpi > 0 ? value / dpi : 0.0;
    default: return value;
    }
}

int DpiOr96(int dpi) { return dpi > 0 ? dpi : 96; }

int ClampToInt(long long v) {
    return int(std::clamp<long long>(v, -2147483647LL, 2147483647LL));
}

int CeilDiv(int a, int b) { return b > 0 ? std::max(1, (a + b - 1) / b) : 1; }

}  // namespace

double ConvertLength(double value, int fromUnit, int toUnit, int dpi) {
    if (fromUnit == toUnit) return value;
    // Straight pairs keep the rules' own constants (cm -> pixel uses 0.3937,
    // pixel -> cm 2.54).
    if (toUnit == kPrintUnitPixel) return ToInch(value, fromUnit, dpi) * dpi;
    if (toUnit == kPrintUnitCm) {
        if (fromUnit == kPrintUnitPixel) return dpi > 0 ? value / dpi * kInchToCm : 0.0;
        return value * kInchToCm;
    }
    return ToInch(value, fromUnit, dpi);
}

std::string FormatLength(double value, int unit) {
    char text[64];
    std::snprintf(text, sizeof text, unit == kPrintUnitPixel ? "%-.0lf" : "%-.2lf", value);
    return text;
}

void FormatMarginText(double x, double y, int fromUnit, int toUnit, int xDpi, int yDpi,
                      std::string& xText, std::string& yText) {
    xText = FormatLength(ConvertLength(x, fromUnit, toUnit, xDpi), toUnit);
    yText = FormatLength(ConvertLength(y, fromUnit, toUnit, yDpi), toUnit);
}

int MarginTextToDots(const std::string& text, int unit, int dpi) {
    std::string dots, unused;
    FormatMarginText(std::atof(text.c_str()), 0, unit, kPrintUnitPixel, dpi, dpi, dots, unused);
    return int(std::atof(dots.c_str()));
}

int PrintWidthFor(int scale, int resolution, int pixels, int pictureDpi) {
    return ClampToInt((long long)scale * resolution * pixels / 100 / DpiOr96(pictureDpi));
}

int PrintHeightFor(int scale, int resolution, int pixels, int pictureDpi) {
    return ClampToInt((long long)pixels * resolution * scale / 100 / DpiOr96(pictureDpi));
}

PrintOptions OptionsFromSettings(const PrintSettings& s, int pictureType, int pictureWidth,
                                 int pictureHeight, int pictureXDpi, int pictureYDpi,
                                 int printerXDpi, int printerYDpi) {
    PrintOptions o;
    o.unit = s.unit;
    o.copies = s.copies;
    o.centerHorizontally = s.centerHorizontally;
    o.centerVertically = s.centerVertically;
    o.fitInPage = s.fitInPage;
    o.addFrame = s.addFrame;
    o.frameId = s.frameId;
    o.watermarkOn = s.watermarkOn;
    o.watermarkFile = s.watermarkFile;
    o.watermarkLayout = s.watermarkLayout;
    o.leftMargin = s.leftMargin;
    o.topMargin = s.topMargin;
    FormatMarginText(s.leftMargin, s.topMargin, kPrintUnitPixel, s.unit, printerXDpi,
                     printerYDpi, o.leftMarginText, o.topMarginText);
    o.printerXDpi = printerXDpi;
    o.printerYDpi = printerYDpi;
    o.pictureType = pictureType;
    o.pictureXDpi = DpiOr96(pictureXDpi);
    o.pictureYDpi = DpiOr96(pictureYDpi);
    o.pictureWidth = pictureWidth;
    o.pictureHeight = pictureHeight;
    o.scaleX = s.scaleX;
    o.scaleY = s.scaleY;
    o.poster = s.poster;
    o.posterOverlapMm = s.posterOverlapMm;
    o.posterMarks = s.posterMarks;
    o.posterLabels = s.posterLabels;
    o.sizeSetByRescale = (s.scaleX == 100 && s.scaleY == 100) ? 0 : 1;
    o.printWidth = PrintWidthFor(s.scaleX, printerXDpi, pictureWidth, o.pictureXDpi);
    o.printHeight = ClampToInt((long long)s.scaleY * printerYDpi * pictureHeight / 100 /
                               o.pictureYDpi);
    return o;
}

void FinishOptions(PrintOptions& o, int pageWidth, int pageHeight) {
    if (!o.addFrame) o.frameId = 0;
    if (o.poster) {
        o.fitInPage = 0;
        return;
    }
    if (o.fitInPage) {
        o.sizeSetByRescale = 1;
        if (o.pictureWidth > 0 && o.pictureHeight > 0) {
            // Height-limited when the page's height reaches less far per
            // picture row than its width per column. Compared exactly: whole
            // quotients are 0 for every picture larger than the page, which
            // would stretch a tall picture to the full page.
            if ((long long)pageHeight * o.pictureWidth < (long long)pageWidth * o.pictureHeight) {
                o.printHeight = pageHeight;
                o.printWidth = int((long long)pageHeight * o.pictureWidth / o.pictureHeight);
            } else {
                o.printWidth = pageWidth;
                o.printHeight = int(std::min<long long>(
                    (long long)pageWidth * o.pictureHeight / o.pictureWidth, pageHeight));
            }
        }
    } else if (o.sizeSetByRescale) {
        return;
    }
    if (o.addFrame) {
        o.printWidth -= 20;
        o.printHeight -= 20;
    }
}

LayoutOffsets ComputeLayout(PrintOptions& o, const FrameAllowance& f, int pageWidth,
                            int pageHeight) {
    int& w = o.printWidth;
    int& h = o.printHeight;
    const bool frame = o.addFrame != 0;
    if (o.fitInPage && frame) {
        w -= 2 * f.a;
        h -= 2 * f.b;
    }
    // What the edge tiles add beyond the picture: the frame is a whole number
    // of tiles, so a remainder r of a tile t is padded by t - r.
    int padX = 0, padY = 0;
    if (frame && f.c > 0 && f.d > 0) {
        const int rx = w % f.c, ry = h % f.d;
        if (o.fitInPage) {
            w -= rx;
            h -= ry;
        } else {
            padX = rx ? f.c - rx : 0;
            padY = ry ? f.d - ry : 0;
        }
    }
    w = std::max(w, 1);
    h = std::max(h, 1);

    LayoutOffsets out{o.leftMargin, o.topMargin};
    auto centre = [&](int page, int size, int border, int pad) {
        int offset = 0;
        if (size < page) {
            if (!frame) offset = (page - size) / 2;
            else if (2 * border + size + pad < page) offset = (page - size - 2 * border - pad) / 2;
        }
        return offset;
    };
    if (o.centerHorizontally || o.fitInPage) out.left = centre(pageWidth, w, f.a, padX);
    if (o.centerVertically || o.fitInPage) out.top = centre(pageHeight, h, f.b, padY);
    return out;
}

bool PrintRunsOffPaper(const PrintOptions& options, int pageWidth, int pageHeight) {
    if (options.poster || options.fitInPage || pageWidth <= 0 || pageHeight <= 0) return false;
    PrintOptions o = options;
    FinishOptions(o, pageWidth, pageHeight);
    const FrameAllowance frame;
    const LayoutOffsets at = ComputeLayout(o, frame, pageWidth, pageHeight);
    const int border = o.addFrame ? 1 : 0;
    const long long right = (long long)at.left + o.printWidth + 2LL * border * frame.a;
    const long long bottom = (long long)at.top + o.printHeight + 2LL * border * frame.b;
    return right > pageWidth || bottom > pageHeight;
}

void StoreSheetOptions(const PrintOptions& o, PrintSettings& s) {
    s.unit = o.unit;
    s.copies = o.copies;
    s.centerHorizontally = o.centerHorizontally;
    s.centerVertically = o.centerVertically;
    s.fitInPage = o.fitInPage;
    s.addFrame = o.addFrame;
    s.frameId = o.frameId;
    s.watermarkOn = o.watermarkOn;
    s.watermarkFile = o.watermarkFile;
    s.watermarkLayout = o.watermarkLayout;
    s.poster = o.poster;
    s.posterOverlapMm = o.posterOverlapMm;
    s.posterMarks = o.posterMarks;
    s.posterLabels = o.posterLabels;
}

void StoreLayout(const PrintOptions& o, const LayoutOffsets& offsets, PrintSettings& s) {
    s.leftMargin = o.leftMargin;
    s.topMargin = o.topMargin;
    s.printSize = Box{0, 0, o.printWidth, o.printHeight};
    s.scaleX = o.scaleX;
    s.scaleY = o.scaleY;
    s.leftOffset = offsets.left;
    s.topOffset = offsets.top;
}

LayoutSketch ComputeLayoutSketch(int boxWidth, int boxHeight, int pageWidth, int pageHeight,
                                 int printWidth, int printHeight, bool centerHorizontally,
                                 bool centerVertically, int leftMargin, int topMargin) {
    LayoutSketch s;
    if (pageWidth <= 0 || pageHeight <= 0) {
        pageWidth = kFallbackPageWidth;
        pageHeight = kFallbackPageHeight;
    }
    boxWidth = std::max(boxWidth, 1);
    boxHeight = std::max(boxHeight, 1);
    // One divisor for both orientations, so turning the paper keeps the scale.
    s.divisor = std::max({CeilDiv(pageWidth, boxWidth), CeilDiv(pageHeight, boxHeight),
                          CeilDiv(pageHeight, boxWidth), CeilDiv(pageWidth, boxHeight)});
    const int n = s.divisor;
    const int pw = pageWidth / n, ph = pageHeight / n;
    s.paper.left = (boxWidth - pw) / 2;
    s.paper.top = (boxHeight - ph) / 2;
    s.paper.right = s.paper.left + pw;
    s.paper.bottom = s.paper.top + ph;

    const int w = std::min(std::max(printWidth, 0) / n, pw);
    const int h = std::min(std::max(printHeight, 0) / n, ph);
    int x = centerHorizontally ? (pw - w) / 2 : std::max(leftMargin, 0) / n;
    int y = centerVertically ? (ph - h) / 2 : std::max(topMargin, 0) / n;
    s.picture.left = s.paper.left + std::min(x, pw);
    s.picture.top = s.paper.top + std::min(y, ph);
    s.picture.right = std::min(s.picture.left + w, s.paper.right);
    s.picture.bottom = std::min(s.picture.top + h, s.paper.bottom);
    return s;
}

namespace {

int MmToDots(double mm, int dpi) { return int(mm * dpi / 25.4 + 0.5); }

// Splits length dots into the fewest parts of at most maxPart that overlap
// their neighbours by overlap: the parts as even as whole dots allow.
void SplitPoster(int length, int maxPart, int overlap, std::vector<int>& starts,
                 std::vector<int>& ends) {
    starts.clear();
    ends.clear();
    const long long n =
        length <= maxPart ? 1 : ((long long)length - overlap + (maxPart - overlap) - 1) /
                                    (maxPart - overlap);
    const long long total = length + (n - 1) * overlap;
    long long start = 0;
    for (long long i = 0; i < n; ++i) {
        const long long size = total / n + (i < total % n ? 1 : 0);
        starts.push_back(int(start));
        ends.push_back(int(start + size));
        start += size - overlap;
    }
}

PosterLayout LayPoster(const PosterRequest& r, int orientation, int pageWidth, int pageHeight) {
    PosterLayout p;
    p.orientation = orientation;
    p.pageWidth = pageWidth;
    p.pageHeight = pageHeight;
    p.width = r.width;
    p.height = r.height;
    p.marks = r.marks;
    p.labels = r.labels;
    p.overlapX = MmToDots(r.overlapMm, r.dpiX);
    p.overlapY = MmToDots(r.overlapMm, r.dpiY);
    p.strip = (r.marks || r.labels) ? std::max(MmToDots(kPosterStripMm, r.dpiX),
                                               MmToDots(kPosterStripMm, r.dpiY))
                                    : 0;
    const int maxW = pageWidth - 2 * p.strip, maxH = pageHeight - 2 * p.strip;
    if (pageWidth <= 0 || pageHeight <= 0 || maxW < 2 || maxH < 2)
        p.problem = PosterProblem::kNoPrintableArea;
    else if (r.pictureWidth == 1 && r.pictureHeight == 1)
        p.problem = PosterProblem::kOnePixel;
    else if (r.width < 1 || r.height < 1 || r.pictureWidth < 1 || r.pictureHeight < 1)
        p.problem = PosterProblem::kNothingToPrint;
    else if (r.overlapMm < 0 || 2LL * p.overlapX > maxW || 2LL * p.overlapY > maxH)
        p.problem = PosterProblem::kOverlapTooLarge;
    if (p.problem != PosterProblem::kNone) return p;
    SplitPoster(r.width, maxW, p.overlapX, p.columnStart, p.columnEnd);
    SplitPoster(r.height, maxH, p.overlapY, p.rowStart, p.rowEnd);
    p.columns = int(p.columnStart.size());
    p.rows = int(p.rowStart.size());
    if ((long long)p.columns * p.rows > kMaxPosterSheets) p.problem = PosterProblem::kTooManySheets;
    return p;
}

std::string ColumnLetters(int column) {
    std::string s;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
    return s;
}

}  // namespace

PosterSheet PosterLayout::Sheet(int index) const {
    PosterSheet s;
    if (columns <= 0 || index < 0 || index >= SheetCount()) return s;
    s.row = index / columns;
    s.column = index % columns;
    s.part = Box{columnStart[std::size_t(s.column)], rowStart[std::size_t(s.row)],
                 columnEnd[std::size_t(s.column)], rowEnd[std::size_t(s.row)]};
    s.x = strip;
    s.y = strip;
    return s;
}

PosterLayout ComputePosterLayout(const PosterRequest& r) {
    int lw = r.landscapeWidth, lh = r.landscapeHeight;
    int pw = r.portraitWidth, ph = r.portraitHeight;
    if (lw <= 0 || lh <= 0) lw = lh = 0;
    if (pw <= 0 || ph <= 0) pw = ph = 0;
    const PosterLayout portrait = LayPoster(r, 1, pw, ph);
    const PosterLayout landscape = LayPoster(r, 2, lw, lh);
    if (r.orientation == 1) return portrait;
    if (r.orientation == 2) return landscape;
    const bool preferLandscape = r.preferred == 2;
    const PosterLayout& first = preferLandscape ? landscape : portrait;
    const PosterLayout& second = preferLandscape ? portrait : landscape;
    if (!second.Usable()) return first;
    if (!first.Usable()) return second;
    return second.SheetCount() < first.SheetCount() ? second : first;
}

std::string PosterProblemText(const PosterLayout& p) {
    switch (p.problem) {
    case PosterProblem::kNone: return "";
    case PosterProblem::kNoPrintableArea:
        return "The printer has no printable area for a poster.";
    case PosterProblem::kOnePixel: return "A picture of one pixel makes no poster.";
    case PosterProblem::kNothingToPrint: return "The print would be smaller than one dot.";
    case PosterProblem::kOverlapTooLarge:
        return "The overlap is larger than half of what fits on a sheet.";
    case PosterProblem::kTooManySheets:
        return "The poster needs " + std::to_string(p.SheetCount()) + " sheets (" +
               std::to_string(p.columns) + " x " + std::to_string(p.rows) + "), more than " +
               std::to_string(kMaxPosterSheets) + ".";
    }
    return "";
}

std::string PosterSheetName(int row, int column) {
    return ColumnLetters(column) + std::to_string(row + 1);
}

std::string PosterSheetLabel(const PosterLayout& p, int index) {
    const PosterSheet s = p.Sheet(index);
    return PosterSheetName(s.row, s.column) + " \u2014 row " + std::to_string(s.row + 1) +
           " of " + std::to_string(p.rows) + ", column " + std::to_string(s.column + 1) +
           " of " + std::to_string(p.columns);
}

std::string PosterGridText(const PosterLayout& p, double overlapMm) {
    char mm[32];
    std::snprintf(mm, sizeof mm, "%g", overlapMm);
    return std::to_string(p.columns) + " x " + std::to_string(p.rows) +
           (p.SheetCount() == 1 ? " sheet (" : " sheets (") +
           (p.orientation == 2 ? "landscape" : "portrait") + "), overlap " + mm + " mm";
}

std::vector<Box> PosterMarks(const PosterLayout& p, int index) {
    std::vector<Box> marks;
    if (!p.marks || p.strip <= 0 || index < 0 || index >= p.SheetCount()) return marks;
    const PosterSheet s = p.Sheet(index);
    const int w = s.part.right - s.part.left, h = s.part.bottom - s.part.top;
    const int thick = std::max(1, p.strip / 24);   // 0.25 mm of a 6 mm strip
    const int gap = p.strip / 4;
    // Across the top and bottom strips at poster column e; across the side
    // strips at poster row e.
    auto vertical = [&](int e) {
        const int x = s.x + e - s.part.left - thick / 2;
        marks.push_back(Box{x, s.y - p.strip, x + thick, s.y - gap});
        marks.push_back(Box{x, s.y + h + gap, x + thick, s.y + h + p.strip});
    };
    auto horizontal = [&](int e) {
        const int y = s.y + e - s.part.top - thick / 2;
        marks.push_back(Box{s.x - p.strip, y, s.x - gap, y + thick});
        marks.push_back(Box{s.x + w + gap, y, s.x + w + p.strip, y + thick});
    };
    if (s.column > 0) vertical(p.columnEnd[std::size_t(s.column - 1)]);
    if (s.column + 1 < p.columns) vertical(p.columnStart[std::size_t(s.column + 1)]);
    if (s.row > 0) horizontal(p.rowEnd[std::size_t(s.row - 1)]);
    if (s.row + 1 < p.rows) horizontal(p.rowStart[std::size_t(s.row + 1)]);
    return marks;
}

Box PosterLabelBox(const PosterLayout& p, int index) {
    const PosterSheet s = p.Sheet(index);
    const int h = s.part.bottom - s.part.top;
    // Between the overlaps, clear of the marks.
    const int left = s.x + (s.column > 0 ? p.overlapX : 0) + p.strip / 2;
    const int right = std::max(left, s.x + (s.part.right - s.part.left) -
                                         (s.column + 1 < p.columns ? p.overlapX : 0));
    return Box{left, s.y + h + p.strip / 8, right, s.y + h + p.strip};
}
