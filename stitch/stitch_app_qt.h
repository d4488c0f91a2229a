// Where the stitch sheet and its tools meet the rest of the application: the
// idle flag that greys commands while a sheet is open, scanning, the
// documents the tools open, the status-bar prompt, and the hand-over of a
// stitch to the engine and the stitch tool.
#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class CMosaicWindow;
class CPicture;
class CStitchSheet;
struct StitchRequest;
class CVandrelView;
class Document;
class QMdiSubWindow;
class QWidget;

// The stitch feature's state in the application: the open stitch sheet, the
// open Stitch Many window, and the choices the last "&Stitch" used, with
// which each new sheet starts. A child of the application object: it lives
// and ends with the application.
class StitchFeature : public QObject {
public:
    // The running application's, made on first use.
    static StitchFeature& Of();
    // The same when it was made, else none (for windows that close while
    // the application ends).
    static StitchFeature* Existing();

    QPointer<CStitchSheet> sheet;
    QPointer<CMosaicWindow> mosaicWindow;
    int lastSide = 2;  // Right
    int lastOverlapPercent = 25;

private:
    explicit StitchFeature(QObject* parent) : QObject(parent) {}
};

// The stitchIdle flag: 0 while a sheet is open. Setting it tells the
// application's workspace, whose commands follow it.
void SetStitchIdle(int idle);
int StitchIdle();
// The flag itself (the application shows it as its stitchIdle).
int& StitchIdleFlag();

// Whether a scanner can be asked; the page's Scan button follows it.
bool ScanAvailable();
// Starts a scan whose picture is delivered to page (a transfer-done event).
void StartScanForPage(QWidget* page);

// A new untitled document window holding the picture, and its view.
struct OpenedDocument {
    Document* document = nullptr;
    CVandrelView* view = nullptr;
};
OpenedDocument OpenStitchDocument(std::unique_ptr<CPicture> picture);
// The document window around a view.
QMdiSubWindow* FrameOf(CVandrelView* view);
// Closes the view's document window once the current event is over (the
// view is still in use), also while a stitch sheet holds window commands.
void PostCloseFrame(CVandrelView* view);
// The status bar's prompt pane.
void SetStatusPrompt(const QString& text);
void ClearStatusPrompt();
// "ForceSwap" of section "MainWindow": the sources go to their swap files
// before a stitch.
bool ForceSwapSetting();

// Opens a temporary document with a copy of source and starts the deskew
// tool in it; false (the message shown) when no document could be opened.
bool StartDeskewTool(CStitchSheet* sheet, CPicture* source);

// Runs the stitch the sheet asked for (its side, method, overlap and
// low-memory choice; the settings add the rest). Auto runs to its end here and opens
// the result as a new document; Manual and Semi-Auto prepare the strip
// document and hand control to the stitch tool. The sheet is hidden when
// this is called; it is destroyed here when the stitch is done (Auto, a
// failed preparation) or later by the stitch tool. An Auto stitch that is
// refused or cancelled shows the sheet again with everything in it.
void RunSheetStitch(CStitchSheet* sheet, StitchRequest request);
