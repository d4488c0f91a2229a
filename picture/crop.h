// Cutting a picture down: to a rectangle, or to what lies inside the
// uniform border a stitch or a scan leaves around it. Both work for every
// pixel format and for pictures in their swap file (row segments only), and
// keep the type, the palette and the resolution.
#pragma once
#include <memory>

#include "picture/picture.h"

// Whether rect (inclusive) is a rectangle of at least one pixel lying wholly
// inside the picture.
bool CropRectFits(const CPicture& picture, const Rect& rect);

// A new picture holding rect (inclusive) of source; none when the rectangle
// does not fit (CropRectFits) or on failure. With progress set it drives the
// progress display.
std::unique_ptr<CPicture> CropPicture(CPicture* source, const Rect& rect, bool progress);

enum class TrimFind {
    kFound,      // keep holds the part inside the border
    kAllBorder,  // every pixel is border: nothing would be left
    kFailed,     // a row could not be read
};

// The border: the rows and columns at the edges whose every pixel is within
// tolerance (0..255, each of red, green and blue) of the background colour;
// colours, not palette indices, are compared. The background is the colour
// of one of the four corners: the one that trims the most. keep is the
// smallest rectangle (inclusive) holding every other pixel; the whole
// picture when there is no border.
TrimFind FindTrimRect(CPicture* picture, int tolerance, Rect& keep);
