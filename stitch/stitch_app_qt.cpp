#include "stitch/stitch_app_qt.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include "acquire/acquire_commands_qt.h"
#include "base/message_box.h"
#include "base/workspace_qt.h"
#include "display/child_frame_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "platform/profile.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "stitch/deskew_tool_qt.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_run.h"
#include "stitch/stitch_sheet_qt.h"

namespace {
// The stitch sheet's state: 1 normally, 0 while a sheet is open.
int stitchIdle = 1;
}  // namespace

int& StitchIdleFlag() { return stitchIdle; }

void SetStitchIdle(int idle) {
    stitchIdle = idle;
    if (Workspace* workspace = ApplicationWorkspace()) workspace->conditionsChanged();
}
int StitchIdle() { return stitchIdle; }

bool ScanAvailable() { return ScannerAvailable(); }
void StartScanForPage(QWidget* page) { StartScanFor(page); }

OpenedDocument OpenStitchDocument(std::unique_ptr<CPicture> picture) {
    OpenedDocument opened;
    Workspace* workspace = ApplicationWorkspace();
    if (!workspace || !picture) return opened;
    const Workspace::Opened window = workspace->openPicture(std::move(picture));
    opened.document = window.document;
    opened.view = qobject_cast<CVandrelView*>(window.view);
    return opened;
}

QMdiSubWindow* FrameOf(CVandrelView* view) {
    for (QWidget* w = view; w; w = w->parentWidget())
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) return frame;
    return nullptr;
}

void PostCloseFrame(CVandrelView* view) {
    QPointer<QMdiSubWindow> frame = view ? FrameOf(view) : nullptr;
    if (!frame) return;
    QTimer::singleShot(0, frame, [frame] {
        if (auto* child = qobject_cast<PMDIChildWnd*>(frame.data())) child->CloseFromProgram();
        else if (frame) frame->close();
    });
}

void SetStatusPrompt(const QString& text) {
    if (Workspace* workspace = ApplicationWorkspace()) workspace->setStatusPrompt(text);
}

void ClearStatusPrompt() { SetStatusPrompt(QString()); }

bool ForceSwapSetting() {
    return platform::GetProfileInt(LoadStringById(IDS_SECTION_MAINWINDOW), "ForceSwap", 0) != 0;
}

bool StartDeskewTool(CStitchSheet* sheet, CPicture* source) {
    return DeskewTool()->Start(sheet, source);
}

void RunSheetStitch(CStitchSheet* sheet, StitchRequest request) {
    request.forceSwap = ForceSwapSetting();
    if (request.method != StitchMethod::Auto) {
        if (!StitchMouseTool()->Prepare(sheet, request)) sheet->Destroy();
        return;
    }
    CPicture* main = sheet->page(0)->picture();
    CPicture* rest = sheet->page(1)->picture();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StitchResult result = RunStitch(*main, *rest, request);
    QApplication::restoreOverrideCursor();
    if (!result) {
        // A refusal or Escape leaves the sheet as the user prepared it, on
        // the page whose settings the message talks about; Escape says
        // nothing.
        sheet->ReturnToStitchPage();
        if (result.status != StitchStatus::kCancelled) ShowMessage(result.message);
        return;
    }
    // The sheet is done with: its pictures were the sources.
    sheet->Destroy();
    OpenedDocument opened = OpenStitchDocument(std::move(result.picture));
    if (!opened.document) {
        ShowMessageById(IDS_COMMAND_FAILED);
        return;
    }
    if (opened.view) opened.view->FitFrameToPicture();
}
