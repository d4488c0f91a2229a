// The rulers' scale: how many screen pixels a unit takes at a zoom, and the
// steps between ticks and between labels.
#pragma once
#include <string>

namespace display {

enum RulerUnit : int { kUnitInch = 0, kUnitCm = 1, kUnitPixel = 2 };

struct RulerScale {
    double pixelsPerUnit = 1;  // screen pixels per unit at the zoom
    double picturePerUnit = 1; // picture pixels per unit
    double minorStep = 1;      // units between ticks
    double labelStep = 1;      // units between labels
};

// ppm: the picture's resolution in pels per metre (inch and cm need it; a
// resolution of 0 counts as 96 dpi).
RulerScale ComputeRulerScale(int unit, int ppm, int zoom);

// The step search: from start, enlarged until its screen length exceeds
// limit. Metric and pixel steps go 1-2-5 (x2 above limit/2, x5 above
// limit/5 and stop, else x10 and go on); inch steps double.
double RulerStep(int unit, double start, double pixelsPerUnit, double limit);

// The unit the user chose for lengths (the setting the rulers read).
int PreferredUnit();

// A length of pixels at a resolution (pels per metre, 0: 96 dpi) in unit:
// "2.50 in", "6.35 cm", "240 pixels".
std::string LengthText(int pixels, int ppm, int unit);

}  // namespace display
