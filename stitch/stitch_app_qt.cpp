#include "stitch/stitch_app_qt.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include "acquire/acquire_commands_qt.h"
#include "base/message_box.h"
#include "display/child_frame_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "platform/profile.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "stitch/deskew_tool_qt.h"
#include "stitch/stitch_mouse_tool_qt.h"
#include "stitch/stitch_run.h"
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

bool ScanAvailable() { return ScannerAvailable(); }
void StartScanForPage(QWidget* page) { StartScanFor(page); }

OpenedDocument OpenStitchDocument(std::unique_ptr<CPicture> picture) {
    OpenedDocument opened;
    CVandrelApp* app = theApp();
    if (!app || !picture) return opened;
    opened.document = app->NewDocumentWithPicture(std::move(picture));
    if (!opened.document || !app->mainWindow()) return opened;
    for (QMdiSubWindow* window : app->mainWindow()->documentWindows()) {
        if (DocumentOfWindow(window) != opened.document) continue;
        opened.view = window->findChild<CVandrelView*>();
        if (opened.view) {
            app->mainWindow()->mdiArea()->setActiveSubWindow(window);
            opened.view->setFocus();
        }
        break;
    }
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
    if (CVandrelApp* app = theApp(); app && app->mainWindow())
        app->mainWindow()->statusBar()->SetPrompt(text);
}

void ClearStatusPrompt() { SetStatusPrompt(QString()); }

bool ForceSwapSetting() {
    return platform::GetProfileInt(LoadStringById(IDS_SECTION_MAINWINDOW), "ForceSwap", 0) != 0;
}

bool StartDeskewTool(CStitchSheet* sheet, CPicture* source) {
    return DeskewTool()->Start(sheet, source);
}

void RunSheetStitch(CStitchSheet* sheet, const SheetStitch& request) {
    if (request.method != kMethodAuto) {
        if (!StitchMouseTool()->Prepare(sheet, request)) sheet->Destroy();
        return;
    }
    CPicture* main = sheet->page(0)->picture();
    CPicture* rest = sheet->page(1)->picture();
    StitchRequest run;
    run.side = request.side;
    run.method = kMethodAuto;
    run.overlapPercent = request.overlapPercent;
    run.lowMemory = request.lowMemory;
    run.forceSwap = ForceSwapSetting();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StitchResult result = RunStitch(*main, *rest, run);
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
