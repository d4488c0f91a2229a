#include "stitch/stitch_app_qt.h"

#include "shell/app/app_qt.h"
#include "stitch/stitch_sheet_qt.h"

namespace {
int stitchIdle = 1;  // without the application (tests of the sheet alone)
}

void SetStitchIdle(int idle) {
    stitchIdle = idle;
    if (CVandrelApp* app = theApp()) {
        app->stitchIdle = idle;
        app->UpdateCommandStates();
    }
}
int StitchIdle() { return theApp() ? theApp()->stitchIdle : stitchIdle; }

bool ScanAvailable() { return false; }
void StartScanForPage(QWidget*) {}

bool StartDeskewTool(CStitchSheet*, CPicture*) { return false; }

void RunSheetStitch(CStitchSheet* sheet, const SheetStitch&) { sheet->close(); }
