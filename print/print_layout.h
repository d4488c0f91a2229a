// Where the picture lands on the paper: lengths in the three units, the
// print sheet's working copy of a document's print settings, the frame
// allowance, margins, centring and fit in page. Plain arithmetic, shared by
// the print sheet, the preview and stitchara-cli.
#pragma once
#include <string>

#include "document/print_settings.h"
#include "base/box.h"
#include "picture/bitmap.h"

// Frame sample ids: 1616..1619 drawn frames 1..4, 1620..1622 bitmap frames 5..7.
constexpr int kFirstFrameId = 1616;
constexpr int kFirstBitmapFrameId = 1620;
constexpr int kLastFrameId = 1622;
constexpr int FrameNumberOf(int frameId) { return frameId - 1615; }

// Border a drawn frame keeps around the picture, dots on each side.
constexpr int kDrawnFrameBorder = 10;

// Printable area used when a device reports none (2100 x 2970 dots).
constexpr int kFallbackPageWidth = 2100;
constexpr int kFallbackPageHeight = 2970;

// One length from one unit to another; dpi is the printer's dots per inch in
// the direction of the length (pixel means printer dots).
double ConvertLength(double value, int fromUnit, int toUnit, int dpi);
// A length as the pages show it: "%-.2lf" for inch and cm, "%-.0lf" for pixel.
std::string FormatLength(double value, int unit);
// Converts x (horizontal, xDpi) and y (vertical, yDpi) from one unit to the
// other and formats both. Equal units format the numbers unchanged.
void FormatMarginText(double x, double y, int fromUnit, int toUnit, int xDpi, int yDpi,
                      std::string& xText, std::string& yText);
// A margin text in unit as printer dots: converted to pixel, read as a
// number and truncated (junk reads as 0).
int MarginTextToDots(const std::string& text, int unit, int dpi);

// print size in dots of a picture side at a scale: scale x resolution x
// pixels / 100 / picture dpi, left to right, in 64 bits (dpi 0 counts as 96).
int PrintWidthFor(int scale, int resolution, int pixels, int pictureDpi);
// The height's order of the same rule: pixels x resolution x scale / 100 / dpi.
int PrintHeightFor(int scale, int resolution, int pixels, int pictureDpi);

// The print sheet's working copy of a document's settings.
struct PrintOptions {
    int unit = kPrintUnitInch;
    int copies = 1;
    std::string leftMarginText, topMarginText;  // in unit
    int leftMargin = 0, topMargin = 0;          // dots
    int centerHorizontally = 0, centerVertically = 0;
    int fitInPage = 0;
    int addFrame = 0;
    int frameId = 0;
    int watermarkOn = 0;
    std::string watermarkFile;
    int watermarkLayout = 1;
    int pictureType = 0;
    int pictureXDpi = 96, pictureYDpi = 96;
    int pictureWidth = 0, pictureHeight = 0;
    int printerXDpi = 360, printerYDpi = 360;
    int sizeSetByRescale = 0;
    int printWidth = 0, printHeight = 0;  // dots
    // What the Rescale page settled (the sheet keeps them for the settings).
    int scaleX = 100, scaleY = 100;
};

// The sheet's first steps: the options from the settings, the picture's
// data and the printer's dpi; margin texts in the unit; print size from the
// scale factors. A picture dpi of 0 counts as 96.
PrintOptions OptionsFromSettings(const PrintSettings& settings, int pictureType,
                                 int pictureWidth, int pictureHeight, int pictureXDpi,
                                 int pictureYDpi, int printerXDpi, int printerYDpi);

// After the sheet closed: frame id cleared without a frame; fit in page sets
// the print size to the printable area (pageWidth x pageHeight dots); a
// frame takes 20 dots of a size the Rescale page did not set.
void FinishOptions(PrintOptions& options, int pageWidth, int pageHeight);

// The frame allowance: a side border width, b top/bottom border height,
// c horizontal tile width, d vertical tile height.
struct FrameAllowance {
    int a = kDrawnFrameBorder, b = kDrawnFrameBorder, c = 0, d = 0;
};

// Offsets of the picture's top-left corner on the printable area.
struct LayoutOffsets {
    int left = 0, top = 0;
};

// Final print size (fit in page with a frame gives up the borders and whole
// tiles) and the offsets from margins or centring.
LayoutOffsets ComputeLayout(PrintOptions& options, const FrameAllowance& allowance,
                            int pageWidth, int pageHeight);

// Copies the options a closed sheet hands back into the settings (unit,
// copies, centring, fit, frame, watermark), as every closing but Cancel does.
void StoreSheetOptions(const PrintOptions& options, PrintSettings& settings);
// Then margins, print size, scale factors and offsets.
void StoreLayout(const PrintOptions& options, const LayoutOffsets& offsets,
                 PrintSettings& settings);

// The Layout box's sketch: paper reduced by one integer divisor and centred
// in the box, the picture rectangle reduced by the same divisor, clipped to
// the paper, centred or at margin / divisor from the paper's edge.
struct LayoutSketch {
    int divisor = 1;
    Box paper;     // box coordinates, right and bottom exclusive
    Box picture;   // box coordinates, inside paper; empty when nothing shows
};
LayoutSketch ComputeLayoutSketch(int boxWidth, int boxHeight, int pageWidth, int pageHeight,
                                 int printWidth, int printHeight, bool centerHorizontally,
                                 bool centerVertically, int leftMargin, int topMargin);
