// Rendering a picture onto printed pages: the page background (watermark and
// frame), then the picture rows at the print size, gathered in bands of at
// most 64 KiB and handed to an output device. The device is the printer or
// PDF file in the application and stitchara-cli, a page image in the
// preview, a recorder in tests.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/box.h"
#include "picture/bitmap.h"

class CPicture;
struct PosterLayout;

// A run of rows in one pixel format, top row first.
struct BandImage {
    const std::uint8_t* bits = nullptr;
    std::size_t stride = 0;   // bytes from one row to the next
    int width = 0;
    int rows = 0;
    int bitCount = 24;        // 1, 4, 8, 16, 24 or 32, laid out as picture rows are
    int pictureType = 1;      // PictureType of the rows (16 bits: 5-5-5 or 5-6-5)
    const RgbQuad* colours = nullptr;  // colour table of 1-, 4- and 8-bit rows
    int colourCount = 0;
};

// What the renderer draws on. Coordinates are device dots on the printable
// area; rectangles exclude their right and bottom edges.
class PrintDevice {
public:
    virtual ~PrintDevice() = default;
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    // The printable area in dots.
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    // Starts a page pass that the device should make copies times; answers
    // how many it will make (1 when it cannot make copies).
    virtual int RequestCopies(int copies) = 0;
    virtual bool StartPage() = 0;
    virtual bool EndPage() = 0;
    // Rows at (x, y).
    virtual bool DrawBand(int x, int y, const BandImage& band) = 0;
    // A frame outline with a 1-dot pen, filled white inside; rounded corners
    // have the given ellipse size (0: square).
    virtual void DrawFrameShape(const Box& rect, int cornerEllipse) = 0;
    // Called after every output row and band: false when the user aborted.
    virtual bool KeepGoing() = 0;
    // Frame shapes drawn from now on stay inside rect (none: the page).
    // Devices that do not draw shapes need not clip.
    virtual void ClipTo(const Box* rect) { (void)rect; }
    // One line of small text centred in box (a poster sheet's label).
    virtual void DrawLabel(const Box& box, const std::string& text) {
        (void)box;
        (void)text;
    }
};

// A bitmap frame's six pieces: 1 top-left, 2 top-right, 3 bottom-left,
// 4 bottom-right corner, 5 horizontal edge tile (top and bottom), 6 vertical
// edge tile (left and right). Index 0 is piece 1.
using FramePieces = std::array<std::unique_ptr<CPicture>, 6>;
bool FramePiecesComplete(const FramePieces& pieces);

// What a print job hands the renderer.
struct PrintJobRequest {
    std::string title;
    CPicture* picture = nullptr;
    int xOffset = 0, yOffset = 0;       // picture corner on the printable area, dots
    Box printRect{};                    // (0, 0, print width, print height)
    int drawnFrameId = 0;               // 1616..1619, 0 none
    int copies = 1;
    int watermarkOn = 0;
    int watermarkLayout = 1;            // 0 Center, 1 Tile
    CPicture* watermark = nullptr;
    const FramePieces* framePieces = nullptr;
    // A poster: the offsets are not used; each sheet shows its part of the
    // picture and frame. posterSheet picks one sheet (the preview), -1 all.
    const PosterLayout* poster = nullptr;
    int posterSheet = -1;
};

// The poster's size: the print and its frame, dots (the offsets ignored).
Box PosterCanvas(const PrintJobRequest& request);

// Where a bitmap frame lies around the picture rectangle P, and where P
// moves inside it: the frame is a whole number of edge tiles wide and high
// plus the two side borders. Empty without all six pieces.
struct BitmapFrameLayout {
    Box frame{};
    Box picture{};
};
BitmapFrameLayout LayBitmapFrame(const Box& picture, const FramePieces& pieces);

// The rectangle of a centred watermark of width x height on the page,
// clipped to the page (right and bottom exclusive), and the corner it is
// drawn from (may lie off the page).
struct CentredWatermark {
    Box clip{};
    int originX = 0, originY = 0;
};
CentredWatermark CentreWatermark(int width, int height, int pageWidth, int pageHeight);

// Bands: rows of outputRowBytes each, at most 64 KiB a band, at least one row.
int OutputRowBytes(int bitCount, int printWidth);
int BandRowsFor(int outputRowBytes);

// Renders the job. preview: no page start or end, one copy, no progress.
// Returns 1 when every row of every copy went out; 0 when the user aborted
// or an output failed (aborted says which). A poster prints every sheet (a
// page each, row by row) for each copy, with one gauge over all of them; a
// poster that is not usable prints nothing.
int RenderPicture(PrintDevice& device, const PrintJobRequest& request, bool preview,
                  bool* aborted = nullptr);

// Draws picture tiled into clip (clipped to the page) from origin, in bands.
// 24-bit, 256-colour and 256-gray pictures show their pixels; others white
// bytes. False when the device stopped.
bool DrawTiled(PrintDevice& device, CPicture& picture, Box clip, int originX, int originY);
