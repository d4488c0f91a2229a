// The deskew tool's finishing computation.
#include "stitch/deskew_geometry.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "picture/picture.h"

bool ComputeDeskewGeometry(int ax, int ay, int bx, int by, int width, int height,
                           DeskewGeometry& g) {
    if (ax == bx || ay == by || width <= 0 || height <= 0) return false;
    // 64 bits: thumbs far outside the picture must not overflow.
    std::int64_t dx = std::int64_t(bx) - ax, dy = std::int64_t(by) - ay;
    // Bring the line into one canonical form, so that the same line drawn in
    // either direction gives the same rotation.
    if (dx > 0 && dy > 0) {
        if (dy > dx) dx = -dx;
    } else if (dx < 0 && dy > 0) {
        if (-dx < dy) dx = -dx;
    } else if (dx < 0 && dy < 0) {
        if (dy < dx) {
            dy = -dy;
        } else {
            dy = -dy;
            dx = -dx;
        }
    } else {
        if (-dy < dx) {
            dy = -dy;
        } else {
            dy = -dy;
            dx = -dx;
        }
    }
    const float length = std::sqrt(float(dx) * float(dx) + float(dy) * float(dy));
    g.sine = float(dx) / length;
    g.cosine = float(dy) / length;
    const float absSine = std::fabs(g.sine);
    g.width = int(float(width) * g.cosine + absSine * float(height));
    g.height = int(absSine * float(width) + float(height) * g.cosine);

    const int hw = width / 2, hh = height / 2;
    const int corners[4][2] = {{-hw, hh}, {hw, hh}, {-hw, -hh}, {hw, -hh}};
    int placed[4][2];
    for (int i = 0; i < 4; ++i) {
        const float x = float(corners[i][0]), y = float(corners[i][1]);
        const int rx = int(x * g.cosine - y * g.sine);
        const int ry = int(x * g.sine + y * g.cosine);
        placed[i][0] = rx + g.width / 2;
        placed[i][1] = g.height / 2 - ry;
    }
    g.corners = DeskewCorners{placed[0][0], placed[0][1], placed[1][0], placed[1][1],
                              placed[2][0], placed[2][1], placed[3][0], placed[3][1]};
    return true;
}

std::unique_ptr<CPicture> DeskewPicture(CPicture* source, int ax, int ay, int bx, int by) {
    if (!source || !source->HasHeader()) return nullptr;
    DeskewGeometry g;
    if (!ComputeDeskewGeometry(ax, ay, bx, by, source->GetWidth(), source->GetHeight(), g))
        return nullptr;
    if (g.width <= 0 || g.height <= 0 || g.width > kMaxPictureSide || g.height > kMaxPictureSide)
        return nullptr;
    const int type = source->GetType();
    const BitmapInfoHeader* header = source->GetHeader();
    auto result = std::make_unique<CDocPicture>();
    // Created with the source's colour table: the result keeps its palette.
    if (!result->Create(type, g.width, g.height, int(header->biClrUsed), source->GetColourTable(),
                        std::uint32_t(header->biXPelsPerMeter),
                        std::uint32_t(header->biYPelsPerMeter), kStoreAny))
        return nullptr;
    try {
        if (!Deskew(source, result.get(), g.corners, true)) return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return result;
}
