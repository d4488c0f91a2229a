// DrawPicture: the one renderer of pictures on screen (views, full screen,
// thumbnails, the print preview). Rows are read from the picture (from
// memory or its swap file), expanded or shrunk to the zoom, turned into the
// band's format and drawn band by band: a band is at most 1024 rows and
// 65495 bytes, so no full-size image is ever built, and only the part of the
// destination inside the painter's clip is read and drawn.
//
// The band holds the picture's own pixels (palette pictures with their
// palette) unless the device drawn on has fewer bits than the picture; then
// the rows are error-diffused to the display's standard palette.
#pragma once
#include <QPoint>
#include <QRect>
#include <QRectF>

#include <cstdint>
#include <vector>

class CPicture;
class QPaintDevice;
class QPainter;

namespace display {

// The colour depth drawing on device reduces to: 1, 4, 8 or 24 (any depth
// above 8). The device's own depth: a widget's is its screen's, an image's
// its format's, a printer's full colour; without a device, the primary
// screen's.
int DisplayBits(const QPaintDevice* device);

// What one drawing did (tests and benchmarks).
struct DrawStats {
    int rowsRead = 0;   // picture rows read
    int bands = 0;      // bands drawn
    int width = 0, height = 0;  // client pixels drawn
};

// A picture's reduction kept between repaints (a view's): the colours of
// every block of the whole picture at one zoom, made on the first drawing
// that may use it, so that repaints and scrolls read no picture rows. Kept
// only while it takes at most 64 MiB. Clear it when the picture changes.
class ReductionCache {
public:
    void Clear();
    bool Holds(const CPicture* picture, int zoom) const;

private:
    friend int DrawPicture(CPicture*, QPoint, QPainter&, const QRect&, int, DrawStats*, ReductionCache*);
    const CPicture* picture_ = nullptr;
    int zoom_ = 0, width_ = 0, height_ = 0, pictureWidth_ = 0, pictureHeight_ = 0;
    std::vector<std::uint8_t> rows_;  // width_ blue, green, red triples a row
};

// Draws picture at zoom (1, 2..16 or -2..-16) so that picture pixel
// origin lies at the top-left of destination (painter coordinates, one unit
// a client pixel); only the part of destination inside the picture and the
// painter's clip is drawn. At a reduction by n, client pixel (i, j) shows
// the |n| x |n| block of picture pixels from origin + (i, j) |n| (cut at the
// picture's edges) as DetailValue of each colour channel, so that thin
// lines and dots stay visible. Non-zero when something was drawn.
// With a cache, reductions of a large picture from a whole block's corner
// come from it (made first when it holds another picture or zoom).
int DrawPicture(CPicture* picture, QPoint origin, QPainter& painter, const QRect& destination,
                int zoom, DrawStats* stats = nullptr, ReductionCache* cache = nullptr);

// Draws the picture rectangle scaled into target (thumbnails, print
// preview). Reduced, every device pixel of the target shows its block of
// picture pixels as the reductions of DrawPicture do (blocks of whole
// pixels, as even as they can be); enlarged, the rows are read at the
// whole zoom below the target's size and the painter scales the rest.
int DrawPictureInto(CPicture* picture, const QRect& pictureRect, QPainter& painter,
                    const QRectF& target, DrawStats* stats = nullptr);

// Draws the whole picture reduced by n (1 or more) into at, which is the
// picture's size divided by n: the band renderer's own reduction up to its
// smallest zoom, DrawPictureInto beyond it, so that a picture of any size
// shows whole (thumbnails, samples).
int DrawPictureReduced(CPicture* picture, QPainter& painter, const QRect& at, int n);

}  // namespace display
