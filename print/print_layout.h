// Where the picture lands on the paper: lengths in the three units, the
// print sheet's working copy of a document's print settings, the frame
// allowance, margins, centring and fit in page. Plain arithmetic, shared by
// the print sheet, the preview and stitchara-cli.
#pragma once
#include <string>
#include <vector>

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
    // A poster across several sheets.
    int poster = 0;
    double posterOverlapMm = 10.0;
    int posterMarks = 0, posterLabels = 0;
};

// The sheet's first steps: the options from the settings, the picture's
// data and the printer's dpi; margin texts in the unit; print size from the
// scale factors. A picture dpi of 0 counts as 96.
PrintOptions OptionsFromSettings(const PrintSettings& settings, int pictureType,
                                 int pictureWidth, int pictureHeight, int pictureXDpi,
                                 int pictureYDpi, int printerXDpi, int printerYDpi);

// After the sheet closed: frame id cleared without a frame; fit in page sets
// the print size to the printable area (pageWidth x pageHeight dots); a
// frame takes 20 dots of a size the Rescale page did not set. A poster keeps
// its scale exactly (no fit, the frame goes around it).
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

// Whether the print would run past the printable area (pageWidth x pageHeight
// dots) and lose its edges: the picture, with a drawn frame's border, at its
// margins or centred, larger than the paper. Fit in page and posters never do.
bool PrintRunsOffPaper(const PrintOptions& options, int pageWidth, int pageHeight);

// Copies the options a closed sheet hands back into the settings (unit,
// copies, centring, fit, frame, watermark, poster), as every closing but
// Cancel does.
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

// Poster printing: a print larger than the paper cut into a grid of sheets,
// each showing its part at the print's own scale, neighbours sharing an
// overlap to glue along.
constexpr double kDefaultPosterOverlapMm = 10.0;
constexpr int kMaxPosterSheets = 100;
// Margin strip around each sheet's part that holds the cut marks and the
// label, when either is asked for.
constexpr double kPosterStripMm = 6.0;

enum class PosterProblem {
    kNone,
    kNoPrintableArea,   // the printer reports no printable area (or none is left)
    kOnePixel,          // a picture of one pixel
    kNothingToPrint,    // a print size below one dot
    kOverlapTooLarge,   // more than half the part that fits on a sheet
    kTooManySheets,     // more than kMaxPosterSheets (the layout is still complete)
};

struct PosterRequest {
    int width = 0, height = 0;                 // the poster (print and frame), dots
    int pictureWidth = 0, pictureHeight = 0;   // pixels
    int dpiX = 300, dpiY = 300;                // printer dots per inch
    // Printable areas in dots, portrait and landscape; an empty one is not
    // offered (the portrait one turned when both are empty).
    int portraitWidth = 0, portraitHeight = 0;
    int landscapeWidth = 0, landscapeHeight = 0;
    int orientation = 0;                       // 0 free, 1 portrait, 2 landscape fixed
    int preferred = 1;                         // free: the one kept when both need as many sheets
    double overlapMm = kDefaultPosterOverlapMm;
    bool marks = false, labels = false;
};

// One sheet: its place in the grid, the part of the poster it shows (poster
// dots, right and bottom exclusive) and where that part's corner lands on
// the printable area.
struct PosterSheet {
    int row = 0, column = 0;
    Box part{};
    int x = 0, y = 0;
};

struct PosterLayout {
    PosterProblem problem = PosterProblem::kNone;
    int orientation = 1;                 // 1 portrait, 2 landscape
    int pageWidth = 0, pageHeight = 0;   // printable area of that orientation
    int columns = 0, rows = 0;
    int overlapX = 0, overlapY = 0;      // dots
    int strip = 0;                       // margin strip, dots (0 without marks and labels)
    int width = 0, height = 0;           // the poster
    bool marks = false, labels = false;
    // Column c spans columnStart[c] .. columnEnd[c] - 1 of the poster; rows likewise.
    std::vector<int> columnStart, columnEnd, rowStart, rowEnd;

    int SheetCount() const { return columns * rows; }
    // Row by row, left to right.
    PosterSheet Sheet(int index) const;
    // True when the sheets can be printed (too many only after the user agreed).
    bool Usable() const {
        return problem == PosterProblem::kNone || problem == PosterProblem::kTooManySheets;
    }
};

PosterLayout ComputePosterLayout(const PosterRequest& request);
// The problem in plain words, with the numbers that matter ("" when none).
std::string PosterProblemText(const PosterLayout& layout);
// "B2 — row 2 of 3, column 2 of 2": the column as letters (A..Z, AA..), the row as a number.
std::string PosterSheetName(int row, int column);
std::string PosterSheetLabel(const PosterLayout& layout, int index);
// "2 x 2 sheets (portrait), overlap 10 mm".
std::string PosterGridText(const PosterLayout& layout, double overlapMm);

// Cut marks of one sheet on the printable area: short lines in the margin
// strip, across from the inner edges of the overlaps the sheet shares with
// its neighbours (where the neighbour's part ends).
std::vector<Box> PosterMarks(const PosterLayout& layout, int index);
// Where the label goes: the strip below the part, left-aligned.
Box PosterLabelBox(const PosterLayout& layout, int index);
