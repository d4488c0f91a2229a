#include "stitch/stitch_app_qt.h"

#include "stitch/stitch_sheet_qt.h"

namespace {
int stitchIdle = 1;
}

void SetStitchIdle(int idle) { stitchIdle = idle; }
int StitchIdle() { return stitchIdle; }

bool ScanAvailable() { return false; }
void StartScanForPage(QWidget*) {}

bool StartDeskewTool(CStitchSheet*, CPicture*) { return false; }

void RunSheetStitch(CStitchSheet* sheet, const SheetStitch&) { sheet->Destroy(); }
