// What happens between the print sheet closing and the picture going to the
// printer: the options go back into the document's settings, the watermark
// and frame pictures are loaded from the installation, the layout is
// computed and the job request built. The application's print command, the
// preview and stitchara-cli share it.
#pragma once
#include <memory>
#include <string>

#include "document/print_settings.h"
#include "print/print_layout.h"
#include "print/print_render.h"

class CPicture;

// How the print sheet closed.
enum SheetResult : int {
    kSheetOk = 1,
    kSheetCancel = 2,
    kSheetPrint = 1074,
    kSheetPreview = 1075,
};

// The folder of installed print data ("frame" or "wmark") with a trailing
// '/': beside the program, else in the installation's data folder, else in
// the build tree named by STITCHARA_BUILD_DIR. Beside the program when none
// exists.
std::string PrintDataDirectory(const std::string& name);
// The file of bitmap frame n (5..7), piece k (1..6).
std::string FramePiecePath(int frameNumber, int piece);
// The sample picture of bitmap frame n shown on the Background page.
std::string FrameSamplePath(int frameNumber);
// The watermark patterns offered on the Background page (full paths).
std::string WatermarkPatternPath(int index);  // 0..4
constexpr int kWatermarkPatternCount = 5;

// A picture file brought to the model's format and palette when the model is
// 24-bit or 256-colour (unconverted when that conversion fails and
// keepUnconverted is set); none when the file cannot be read.
std::unique_ptr<CPicture> LoadPrintPicture(const std::string& path, CPicture* model,
                                           bool keepUnconverted);

// Watermark and frame pieces of one job.
struct PrintJobAssets {
    std::unique_ptr<CPicture> watermark;
    FramePieces pieces;
    bool hasPieces = false;  // all six pieces loaded
    int drawnFrameId = 0;    // 1616..1619 or 0
};

// The print command's steps after the sheet closed with Print, OK or
// Preview: FinishOptions; the options into the settings; for Print the
// watermark (a failure clears watermarkOn in the settings) and the six frame
// pieces, for OK and Preview the two edge tiles the layout needs;
// ComputeLayout with the frame allowance; margins, print size, scale factors
// and offsets into the settings. pageWidth and pageHeight are the printable
// area in dots.
void CloseSheet(int result, PrintOptions& options, PrintSettings& settings, CPicture& picture,
                int pageWidth, int pageHeight, PrintJobAssets& assets);

// The request for settings that CloseSheet (or a reset) prepared.
PrintJobRequest MakePrintRequest(const PrintSettings& settings, CPicture* picture,
                                 const PrintJobAssets& assets, const std::string& title);

// The poster choices of the settings (overlap, marks, labels) for a layout.
PosterRequest PosterChoices(const PrintSettings& settings);

// Loads what a preview of these settings shows: the watermark when it is
// on, the six pieces of a bitmap frame; the drawn frame id otherwise.
void LoadPreviewAssets(const PrintSettings& settings, CPicture& picture, PrintJobAssets& assets);
