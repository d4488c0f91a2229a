#include "picture/crop.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "picture/colour_converter_kernels.h"

namespace {

// Row segments of a picture as blue, green, red triples, palette pictures
// through their colours.
class ColourRows {
public:
    explicit ColourRows(CPicture& picture)
        : picture_(picture), ops_(colour::OpsForBits(picture.GetBitCount())) {
        if (!ops_.indexed) return;
        const Palette* palette = picture.GetPalette();
        const RgbQuad* table = picture.GetColourTable();
        for (int i = 0; i < 256; ++i) {
            std::uint8_t* c = colours_ + 3 * i;
            if (palette && i < palette->Count()) {
                c[0] = (*palette)[i].blue, c[1] = (*palette)[i].green, c[2] = (*palette)[i].red;
            } else if (!palette && table && i < (1 << picture.GetBitCount())) {
                c[0] = table[i].blue, c[1] = table[i].green, c[2] = table[i].red;
            }
        }
    }

    // Pixels x0 .. x1 of row y; null when the read failed.
    const std::uint8_t* Read(int x0, int x1, int y) {
        const std::size_t n = std::size_t(x1 - x0 + 1);
        raw_.resize(std::size_t(picture_.SegmentBytes(x0, x1)) + 8);
        bgr_.resize(3 * n + 8);
        if (!picture_.ReadRow(x0, x1, y, raw_.data())) return nullptr;
        if (!ops_.indexed) {
            ops_.unpack(raw_.data(), int(n), bgr_.data());
            return bgr_.data();
        }
        indices_.resize(n);
        ops_.unpack(raw_.data(), int(n), indices_.data());
        for (std::size_t i = 0; i < n; ++i)
            std::copy_n(colours_ + 3 * std::size_t(indices_[i]), 3, bgr_.data() + 3 * i);
        return bgr_.data();
    }

private:
    CPicture& picture_;
    const colour::FormatOps& ops_;
    std::uint8_t colours_[256 * 3] = {};
    std::vector<std::uint8_t> raw_, bgr_, indices_;
};

bool Near(const std::uint8_t* a, const std::uint8_t* b, int tolerance) {
    return std::abs(a[0] - b[0]) <= tolerance && std::abs(a[1] - b[1]) <= tolerance &&
           std::abs(a[2] - b[2]) <= tolerance;
}

// The first pixel of count triples that is not near background; count when none.
int FirstOther(const std::uint8_t* bgr, int count, const std::uint8_t* background, int tolerance) {
    for (int i = 0; i < count; ++i)
        if (!Near(bgr + 3 * i, background, tolerance)) return i;
    return count;
}
int LastOther(const std::uint8_t* bgr, int count, const std::uint8_t* background, int tolerance) {
    for (int i = count - 1; i >= 0; --i)
        if (!Near(bgr + 3 * i, background, tolerance)) return i;
    return -1;
}

// The border around the picture in one background colour: the rows from the
// top and from the bottom first, then only the columns outside what is
// already known to be kept.
TrimFind TrimFor(ColourRows& rows, int width, int height, const std::uint8_t* background, int tolerance,
                 Rect& keep) {
    int top = 0, bottom = height - 1;
    int left = width, right = -1;  // columns of what is kept, narrowed row by row
    auto rowHolds = [&](int y, bool& holds) {
        const std::uint8_t* bgr = rows.Read(0, width - 1, y);
        if (!bgr) return false;
        const int first = FirstOther(bgr, width, background, tolerance);
        holds = first < width;
        if (holds) {
            left = std::min(left, first);
            right = std::max(right, LastOther(bgr, width, background, tolerance));
        }
        return true;
    };
    bool holds = false;
    for (; top < height; ++top) {
        if (!rowHolds(top, holds)) return TrimFind::kFailed;
        if (holds) break;
    }
    if (top == height) return TrimFind::kAllBorder;
    for (; bottom > top; --bottom) {
        if (!rowHolds(bottom, holds)) return TrimFind::kFailed;
        if (holds) break;
    }
    for (int y = top + 1; y < bottom && (left > 0 || right < width - 1); ++y) {
        if (left > 0) {
            const std::uint8_t* bgr = rows.Read(0, left - 1, y);
            if (!bgr) return TrimFind::kFailed;
            left = std::min(left, FirstOther(bgr, left, background, tolerance));
        }
        if (right < width - 1) {
            const int count = width - 1 - right;
            const std::uint8_t* bgr = rows.Read(right + 1, width - 1, y);
            if (!bgr) return TrimFind::kFailed;
            const int last = LastOther(bgr, count, background, tolerance);
            if (last >= 0) right += 1 + last;
        }
    }
    keep = Rect{left, top, right, bottom};
    return TrimFind::kFound;
}

}  // namespace

bool CropRectFits(const CPicture& picture, const Rect& rect) {
    if (!picture.HasHeader() || IsEmptyRect(rect)) return false;
    return rect.left >= 0 && rect.top >= 0 && rect.right < picture.GetWidth() && rect.bottom < picture.GetHeight();
}

std::unique_ptr<CPicture> CropPicture(CPicture* source, const Rect& rect, bool progress) {
    if (!source || !CropRectFits(*source, rect)) return nullptr;
    std::unique_ptr<CPicture> result =
        NewPictureLike(source, 0, rect.right - rect.left + 1, rect.bottom - rect.top + 1);
    if (!result || !source->CopyTo(result.get(), 0, 0, &rect, progress)) return nullptr;
    return result;
}

TrimFind FindTrimRect(CPicture* picture, int tolerance, Rect& keep) {
    if (!picture || !picture->HasHeader()) return TrimFind::kFailed;
    const int width = picture->GetWidth(), height = picture->GetHeight();
    tolerance = std::clamp(tolerance, 0, 255);
    ColourRows rows(*picture);
    std::uint8_t corners[4][3];
    const int cornerAt[4][2] = {{0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1}};
    for (int k = 0; k < 4; ++k) {
        const std::uint8_t* bgr = rows.Read(cornerAt[k][0], cornerAt[k][0], cornerAt[k][1]);
        if (!bgr) return TrimFind::kFailed;
        std::copy_n(bgr, 3, corners[k]);
    }
    bool found = false;
    std::int64_t smallest = 0;
    for (int k = 0; k < 4; ++k) {
        bool tried = false;
        for (int j = 0; j < k; ++j) tried = tried || Near(corners[j], corners[k], 0);
        if (tried) continue;
        Rect r;
        const TrimFind f = TrimFor(rows, width, height, corners[k], tolerance, r);
        if (f != TrimFind::kFound) return f;  // all border, or a failed read
        const std::int64_t area = std::int64_t(r.right - r.left + 1) * (r.bottom - r.top + 1);
        if (!found || area < smallest) keep = r, smallest = area, found = true;
    }
    return TrimFind::kFound;
}
