// The deskew tool: in a temporary document holding a copy of a stitch
// page's picture, the user drags two circular thumbs until the line between
// them follows an edge that should be vertical, and finishes with the right
// button. The straightened picture goes back to the page; the temporary
// document closes unmodified and the sheet comes back, whichever way the
// tool ends (finished, finished without a tilt, failed, or the window closed).
#pragma once
#include <QCursor>
#include <QPoint>
#include <QPointer>

#include "display/mouse_tool_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "resources/command_ids.h"

class CPicture;
class CStitchSheet;

class CDeskewTool : public CMouseTool {
public:
    enum State { kAdjusting = 1, kFinished = 2 };

    CDeskewTool();

    // Opens the temporary document with a copy of source and makes the tool
    // current in its view. False ("Command failed." shown) when no document
    // or view could be made.
    bool Start(CStitchSheet* sheet, CPicture* source);

    void OnLButtonDown(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnLButtonUp(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnRButtonDown(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnMouseMove(CVandrelView* view, unsigned flags, int x, int y) override;
    void AfterDraw(CVandrelView* view, QPainter& painter) override;
    void OnViewActivate(CVandrelView* view) override;
    void OnViewDeactivate(CVandrelView* view) override;

    // The thumbs in picture coordinates, and which one is under the cursor
    // (0 none, 1 A, 2 B).
    QPoint a() const { return a_; }
    QPoint b() const { return b_; }
    int grabbed() const { return grabbed_; }
    int state() const { return state_; }
    bool dragging() const { return dragging_; }
    CVandrelView* view() const { return view_; }

    // Which thumb a picture point grabs: strictly within 4 of its centre in
    // both directions; A before B.
    static int HitTest(QPoint point, QPoint a, QPoint b);

private:
    // Back to the sheet: the temporary document closes unmodified.
    void Finish();
    void Redraw();

    bool dragging_ = false;
    int state_ = kAdjusting;
    int grabbed_ = 0;
    QCursor savedCursor_;
    QPoint a_, b_;
    CPicture* source_ = nullptr;
    QPointer<CVandrelView> view_;
    QPointer<CStitchSheet> sheet_;
    QPointer<Document> document_;
};

// The one deskew tool (constructed at the first use).
CDeskewTool* DeskewTool();
