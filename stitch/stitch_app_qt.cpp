#include "stitch/stitch_app_qt.h"

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "acquire/acquire_commands_qt.h"
#include "base/job_qt.h"
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

namespace {
const QString kFeatureName = QStringLiteral("stitchFeature");
}  // namespace

StitchFeature* StitchFeature::Existing() {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) return nullptr;
    return static_cast<StitchFeature*>(application->findChild<QObject*>(kFeatureName, Qt::FindDirectChildrenOnly));
}

StitchFeature& StitchFeature::Of() {
    if (StitchFeature* feature = Existing()) return *feature;
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        // Only before the application exists (nothing of the feature is open then).
        static StitchFeature beforeApplication(nullptr);
        return beforeApplication;
    }
    auto* feature = new StitchFeature(application);
    feature->setObjectName(kFeatureName);
    return *feature;
}

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

namespace {

// The end of an Auto stitch, on the window's thread: the picture as a new
// document, or the sheet back as the user prepared it.
void FinishAutoStitch(CStitchSheet* sheet, StitchResult result) {
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
    // What the search found, as the command line reports it; the result's
    // Information page keeps saying it.
    const QString finding = QString::fromStdString(DescribeFinding(result.finding));
    opened.document->setStitchFinding(finding);
    SetStatusPrompt(finding);
}

}  // namespace

void RunSheetStitch(CStitchSheet* sheet, StitchRequest request) {
    request.forceSwap = ForceSwapSetting();
    if (request.method != StitchMethod::Auto) {
        if (!StitchMouseTool()->Prepare(sheet, request)) sheet->Destroy();
        return;
    }
    // Auto runs as a job on a worker thread; the windows stay in use. The
    // hidden sheet keeps the two sources, which only the job reads until it
    // ends; the job is the sheet's, and a sheet that goes ends it first.
    CPicture* main = sheet->page(0)->picture();
    CPicture* rest = sheet->page(1)->picture();
    auto result = std::make_shared<StitchResult>();
    auto* job = new Job(
        IDS_PROCESSING,
        [main, rest, request, result](Progress& progress) {
            StitchRequest run = request;
            run.progress = &progress;
            *result = RunStitch(*main, *rest, run);
        },
        sheet);
    QObject::connect(job, &Job::finished, sheet, [sheet, job, result] {
        job->deleteLater();
        FinishAutoStitch(sheet, std::move(*result));
    });
    job->start();
}
