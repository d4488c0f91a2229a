// The picture view's arithmetic, without any window: zoom levels, the
// conversions between client and picture coordinates, scroll ranges and
// centring, scroll steps, and the zoom chosen to fit a picture into an area.
//
// Zoom: 1 actual size; n = 2..16 each picture pixel is n x n client pixels;
// n = -2..-16 one client pixel per n x n picture pixels (every |n|-th pixel of
// every |n|-th row). -1 and 0 are never kept (they mean 1). All divisions
// truncate toward zero.
#pragma once
#include <cstdint>

#include "base/box.h"

namespace display {

constexpr int kMinZoom = -16;
constexpr int kMaxZoom = 16;
// Pixels the rulers take at the top and at the left of a document window.
constexpr int kRulerThickness = 19;
// Client pixels of one scroll line.
constexpr int kScrollLine = 32;
// Displayed sizes are limited to this many client pixels.
constexpr int kMaxDisplayed = 32767;

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};
struct Size {
    int width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};
// Client areas: right and bottom exclusive.
using Box = ::Box;

// -1 and 0 become 1; the rest is limited to -16..16.
int NormaliseZoom(int zoom);
// The zoom in and zoom out steps: 1/2 -> 1 -> 2 and back; the ends stay.
int ZoomIn(int zoom);
int ZoomOut(int zoom);
// The zoom a zoom command id asks for; 0 when the id is no zoom level.
int ZoomForCommand(int id);
// The command id of a zoom level (actual size, x n, 1/n).
int CommandForZoom(int zoom);

// Where the picture sits in the client area: the zoom, the picture pixel at
// the top-left corner (scroll) and the client position of picture pixel
// (scroll) when the picture is centred (origin; 0 when scrolled).
struct ViewMapping {
    int zoom = 1;
    int scrollX = 0, scrollY = 0;
    int originX = 0, originY = 0;
};
Point ClientToPicture(const ViewMapping& m, Point client);
Point PictureToClient(const ViewMapping& m, Point picture);
// Every picture pixel any of whose client pixels lies in the rectangle.
Box ClientRectToPicture(const ViewMapping& m, const Box& client);
// The client pixels the picture pixels cover.
Box PictureRectToClient(const ViewMapping& m, const Box& picture);

// Client pixels of a picture dimension at a zoom: n x zoom, ceil(n / |zoom|) or n.
std::int64_t DisplayedLength(int length, int zoom);
// Picture pixels seen through client pixels: ceil(n / zoom), n x |zoom| or n.
std::int64_t VisibleLength(int clientLength, int zoom);
// Client pixels to picture pixels for scroll steps: at least 1.
int ClientStepToPicture(int clientPixels, int zoom);

// The scroll state of a view after a zoom, size or picture change.
struct ScrollState {
    bool hasHScroll = false, hasVScroll = false;
    int maxX = 0, maxY = 0;           // ranges 0 .. max (picture pixels)
    int scrollX = 0, scrollY = 0;     // clamped into the ranges
    int originX = 0, originY = 0;     // centring offset of a picture smaller than the view
    int visibleWidth = 0, visibleHeight = 0;  // picture pixels seen
    int pageX = 0, pageY = 0, lineX = 0, lineY = 0;  // steps in picture pixels
};
// picture: W x H; area: the view's whole area (client plus scroll bars);
// bar: the thickness of a scroll bar. scrollX/Y: the position before.
ScrollState ComputeScrollState(Size picture, int zoom, Size area, int barWidth, int barHeight,
                               int scrollX, int scrollY);
// At reductions a scroll position is rounded to the nearest multiple of
// |zoom| (so that the same pixels are always the ones kept); then clamped.
int RoundScroll(int position, int zoom, int maximum);

// The zoom that fits a W x H picture into an area; 0 when the area is empty.
// A ratio just above a whole number takes the reduction that fits; an area
// exactly W / k x H / k takes 1/k.
int FitZoom(Size picture, Size area);
// Full screen: the zoom that fits the picture into the screen, limited to
// -lim..lim with lim = 50000 / (screen width x 3).
int FullScreenZoom(Size picture, Size screen);

}  // namespace display
