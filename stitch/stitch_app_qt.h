// Where the stitch sheet meets the rest of the application: the idle flag
// that greys commands while a sheet is open, scanning, the deskew tool and
// the hand-over of a stitch to the engine and the stitch tool.
#pragma once
#include <memory>

class CPicture;
class CStitchSheet;
class QWidget;

// What "&Stitch" hands over.
struct SheetStitch {
    int side = 2;
    int method = 1053;
    int overlapPercent = 25;
    int overlapPixels = 32;
    bool lowMemory = false;
};

// The application's stitchIdle flag: 0 while a sheet is open.
void SetStitchIdle(int idle);
int StitchIdle();

// Whether a scanner can be asked; the page's Scan button follows it.
bool ScanAvailable();
// Starts a scan whose picture is delivered to page (a transfer-done event).
void StartScanForPage(QWidget* page);

// Opens a temporary document with a copy of source and starts the deskew
// tool in it; false (the message shown) when no document could be opened.
bool StartDeskewTool(CStitchSheet* sheet, CPicture* source);

// Prepares the stitch document and runs the method: Auto to its end, Manual
// and Semi-Auto by handing control to the stitch tool in the new view. The
// sheet is hidden when this is called; it is destroyed here when the stitch
// is over (Auto, a failed preparation) or later by the stitch tool.
void RunSheetStitch(CStitchSheet* sheet, const SheetStitch& request);
