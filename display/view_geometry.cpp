#include "display/view_geometry.h"

#include <algorithm>
#include <cmath>

#include "resources/command_ids.h"

namespace display {

int NormaliseZoom(int zoom) {
    if (zoom == 0 || zoom == -1) return 1;
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

int ZoomIn(int zoom) {
    zoom = NormaliseZoom(zoom);
    if (zoom == -2) return 1;
    return std::min(zoom + 1, kMaxZoom);
}

int ZoomOut(int zoom) {
    zoom = NormaliseZoom(zoom);
    if (zoom == 1) return -2;
    return std::max(zoom - 1, kMinZoom);
}

int ZoomForCommand(int id) {
    if (id == ID_ACTUAL_SIZE) return 1;
    if (id >= ID_ZOOM_2 && id <= ID_ZOOM_16) return id - 32028;
    if (id >= ID_ZOOM_1_2 && id <= ID_ZOOM_1_16) return -(id - 32043);
    return 0;
}

int CommandForZoom(int zoom) {
    zoom = NormaliseZoom(zoom);
    if (zoom == 1) return ID_ACTUAL_SIZE;
    return zoom > 0 ? zoom + 32028 : -zoom + 32043;
}

Point ClientToPicture(const ViewMapping& m, Point c) {
    int x = c.x - m.originX, y = c.y - m.originY;
    if (m.zoom >= 2) {
        x /= m.zoom;
        y /= m.zoom;
    } else if (m.zoom <= -2) {
        x *= -m.zoom;
        y *= -m.zoom;
    }
    return {x + m.scrollX, y + m.scrollY};
}

Point PictureToClient(const ViewMapping& m, Point p) {
    int x = p.x - m.scrollX, y = p.y - m.scrollY;
    if (m.zoom >= 2) {
        x *= m.zoom;
        y *= m.zoom;
    } else if (m.zoom <= -2) {
        x /= -m.zoom;
        y /= -m.zoom;
    }
    return {x + m.originX, y + m.originY};
}

namespace {
// Division rounding toward minus infinity (client points left of a centred
// picture must not fold onto its first column).
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
}  // namespace

Box ClientRectToPicture(const ViewMapping& m, const Box& c) {
    Box b{c.left - m.originX, c.top - m.originY, c.right - m.originX, c.bottom - m.originY};
    if (m.zoom >= 2) {
        b = {FloorDiv(b.left, m.zoom), FloorDiv(b.top, m.zoom), FloorDiv(b.right - 1, m.zoom) + 1,
             FloorDiv(b.bottom - 1, m.zoom) + 1};
    } else if (m.zoom <= -2) {
        const int z = -m.zoom;
        b = {b.left * z, b.top * z, b.right * z, b.bottom * z};
    }
    return {b.left + m.scrollX, b.top + m.scrollY, b.right + m.scrollX, b.bottom + m.scrollY};
}

Box PictureRectToClient(const ViewMapping& m, const Box& p) {
    Box b{p.left - m.scrollX, p.top - m.scrollY, p.right - m.scrollX, p.bottom - m.scrollY};
    if (m.zoom >= 2) {
        b = {b.left * m.zoom, b.top * m.zoom, b.right * m.zoom, b.bottom * m.zoom};
    } else if (m.zoom <= -2) {
        const int z = -m.zoom;
        b = {FloorDiv(b.left, z), FloorDiv(b.top, z), FloorDiv(b.right - 1, z) + 1,
             FloorDiv(b.bottom - 1, z) + 1};
    }
    return {b.left + m.originX, b.top + m.originY, b.right + m.originX, b.bottom + m.originY};
}

std::int64_t DisplayedLength(int length, int zoom) {
    if (zoom >= 2) return std::int64_t(length) * zoom;
    if (zoom <= -2) return (std::int64_t(length) + (-zoom) - 1) / (-zoom);
    return length;
}

std::int64_t VisibleLength(int clientLength, int zoom) {
    if (clientLength <= 0) return 0;
    if (zoom >= 2) return (std::int64_t(clientLength) + zoom - 1) / zoom;
    if (zoom <= -2) return std::int64_t(clientLength) * (-zoom);
    return clientLength;
}

int ClientStepToPicture(int clientPixels, int zoom) {
    if (zoom >= 2) return std::max(1, clientPixels / zoom);
    if (zoom <= -2) return clientPixels * (-zoom);
    return std::max(1, clientPixels);
}

int RoundScroll(int position, int zoom, int maximum) {
    if (zoom <= -2) {
        const int z = -zoom;
        position = std::max(0, position);
        position = (position + z / 2) / z * z;
    }
    return std::clamp(position, 0, std::max(0, maximum));
}

namespace {
struct Axis {
    bool bar = false;
    int maximum = 0, scroll = 0, origin = 0, visible = 0, page = 0, line = 0;
};

// One direction. client: the client length once the other bar is known.
Axis ComputeAxis(int length, int zoom, bool bar, int client, int scroll) {
    Axis a;
    a.bar = bar;
    const std::int64_t visible = VisibleLength(client, zoom);
    a.visible = int(std::min<std::int64_t>(visible, kMaxDisplayed * 16LL));
    a.line = ClientStepToPicture(kScrollLine, zoom);
    a.page = ClientStepToPicture(std::max(kScrollLine, client / 2), zoom);
    if (bar) {
        std::int64_t maximum = std::max<std::int64_t>(0, length - visible);
        if (zoom <= -2) {
            // Kept pixels sit on multiples of |zoom|: the range ends on one, so
            // that the picture's last kept pixel can be reached.
            const int z = -zoom;
            maximum = (maximum + z - 1) / z * z;
        }
        a.maximum = int(maximum);
        a.scroll = RoundScroll(scroll, zoom, a.maximum);
    } else {
        const std::int64_t displayed =
            std::min<std::int64_t>(DisplayedLength(length, zoom), kMaxDisplayed);
        a.origin = int(std::max<std::int64_t>(0, (client - displayed) / 2));
    }
    return a;
}
}  // namespace

ScrollState ComputeScrollState(Size picture, int zoom, Size area, int barWidth, int barHeight,
                               int scrollX, int scrollY) {
    zoom = NormaliseZoom(zoom);
    const int slack = zoom >= 2 ? zoom - 1 : 0;
    const std::int64_t shownW =
        std::min<std::int64_t>(DisplayedLength(picture.width, zoom), kMaxDisplayed);
    const std::int64_t shownH =
        std::min<std::int64_t>(DisplayedLength(picture.height, zoom), kMaxDisplayed);
    const bool needH = area.width < shownW - slack;
    const bool needV = area.height < shownH - slack;
    const int clientW = std::max(0, area.width - (needV ? barWidth : 0));
    const int clientH = std::max(0, area.height - (needH ? barHeight : 0));
    const Axis x = ComputeAxis(picture.width, zoom, needH, clientW, scrollX);
    const Axis y = ComputeAxis(picture.height, zoom, needV, clientH, scrollY);
    ScrollState s;
    s.hasHScroll = x.bar;
    s.hasVScroll = y.bar;
    s.maxX = x.maximum;
    s.maxY = y.maximum;
    s.scrollX = x.scroll;
    s.scrollY = y.scroll;
    s.originX = x.origin;
    s.originY = y.origin;
    s.visibleWidth = x.visible;
    s.visibleHeight = y.visible;
    s.pageX = x.page;
    s.pageY = y.page;
    s.lineX = x.line;
    s.lineY = y.line;
    return s;
}

int FitZoom(Size picture, Size area) {
    if (area.width <= 0 || area.height <= 0 || picture.width <= 0 || picture.height <= 0) return 0;
    // The ratio is kept in single precision, as the zoom menus have always
    // computed it: 1/3 may give one step less than the exact quotient.
    const float ratio = std::max(float(picture.height) / float(area.height),
                                 float(picture.width) / float(area.width));
    if (ratio < 1.0f) return std::min(kMaxZoom, int(std::floor(1.0f / ratio)));
    if (ratio == 1.0f) return 1;
    const int k = int(std::floor(ratio));
    if (k > 15) return kMinZoom;
    // 1/k when the picture reduced by k fits (a whole-number ratio), else 1/(k+1).
    if (DisplayedLength(picture.width, -k) <= area.width &&
        DisplayedLength(picture.height, -k) <= area.height && k >= 2)
        return -k;
    return -(k + 1);
}

int FullScreenZoom(Size picture, Size screen) {
    if (screen.width <= 0 || screen.height <= 0 || picture.width <= 0 || picture.height <= 0)
        return 1;
    const int lim = std::max(1, 50000 / (screen.width * 3));
    const float ratio = std::max(float(picture.height) / float(screen.height),
                                 float(picture.width) / float(screen.width));
    int z = 1;
    if (ratio < 1.0f)
        z = std::min(lim, int(std::floor(1.0f / ratio)));
    else if (ratio > 1.0f)
        z = -(int(std::floor(ratio)) + 1);
    return NormaliseZoom(z);
}

}  // namespace display
