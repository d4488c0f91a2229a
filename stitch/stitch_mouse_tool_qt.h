// The stitch tool of the mouse-tool framework: the interactive placement of
// Manual and Semi-Auto in the stitch document's view. Phase 1: an outline
// follows the mouse in the Rest half of the strip and a left click picks up
// the block under it. Phase 2: the block, drawn opaque, follows the mouse in
// the Main half (and one block across the seam) and a left click puts it
// where it matches. The two clicks give one point in each picture; the
// stitch session (stitch_run.h) laid out the strip and joins the pictures
// from them.
#pragma once
#include <QCursor>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <memory>

#include "base/box.h"
#include "display/mouse_tool_qt.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "resources/command_ids.h"
#include "stitch/stitch_tool.h"

class CStitchSheet;
class StitchSession;
struct StitchRequest;

class CStitchMouseTool : public CMouseTool {
public:
    // Rectangles in view client pixels, right and bottom exclusive.
    using Box = ::Box;

    CStitchMouseTool();
    ~CStitchMouseTool() override;

    // The sheet's hand-over for Manual and Semi-Auto: builds the strip, opens
    // the stitch document, puts the seam in the middle of its view and makes
    // the tool current there. False when the strip or the document could not
    // be made (the message was shown).
    bool Prepare(CStitchSheet* sheet, const StitchRequest& request);

    void OnLButtonDown(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnMouseMove(CVandrelView* view, unsigned flags, int x, int y) override;
    void OnKeyDown(CVandrelView* view, int key, int repeat, unsigned keyFlags) override;
    bool BeforeDraw(CVandrelView* view, QPainter& painter) override;
    void AfterDraw(CVandrelView* view, QPainter& painter) override;
    void OnViewActivate(CVandrelView* view) override;
    void OnViewDeactivate(CVandrelView* view) override;

    // What tests and the status need to see.
    // 0 idle, 1 choosing the block, 2 carrying it.
    int state() const { return state_; }
    // The points the clicks gave, each in its own picture's pixels.
    PointL restPoint() const { return restPoint_; }
    PointL mainPoint() const { return mainPoint_; }
    Box clipRect() const { return clip_; }
    Box blockRect() const { return block_; }
    QSize blockSize() const { return QSize(w_, h_); }
    QPoint originScroll() const { return originScroll_; }
    CVandrelView* view() const { return view_; }
    Document* document() const { return document_; }
    bool placementDone() const { return placementDone_; }

    // Autoscroll step (-2..2) along one axis for a cursor coordinate p
    // inside [lo, hi) and a block extent b.
    static int AutoScrollStep(int p, int lo, int hi, int b);

private:
    void StartPhase1();
    void StartPhase2();
    // The client area where the strip is shown: the client rectangle, less
    // the background around a strip narrower or shorter than the window.
    Box ShownStrip() const;
    // The w x h block centred on p, moved back inside the confinement.
    Box BlockAround(QPoint p) const;
    // Keeps the pointer inside the confinement; the point as it then is.
    QPoint Confine(QPoint client);
    void MoveCursorTo(QPoint client);
    void DrawAt(const Box& box);
    void Erase();
    // The block's reference corner in the strip's pixels.
    PointL ReferencePoint() const;
    int SeamClient() const;
    bool Across() const { return side_ == kSideLeft || side_ == kSideRight; }
    // The second click: the session joins the pictures into the strip's document.
    void Finish();

    std::unique_ptr<StitchSession> session_;
    int side_ = kSideRight;
    int seam_ = 0;      // the seam's place in the strip, pixels
    int state_ = 0;
    bool joined_ = false;
    PointL restPoint_, mainPoint_;
    Box clip_, block_;
    int w_ = 0, h_ = 0;
    QPixmap blockImage_;
    QCursor savedCursor_;
    QPoint originScroll_;
    bool placementDone_ = false;
    bool autoScrolling_ = false;
    bool confining_ = false;
    QPointer<CVandrelView> view_;
    QPointer<Document> document_;
    QPointer<CStitchSheet> sheet_;
};

// The one stitch tool (constructed at the first use).
CStitchMouseTool* StitchMouseTool();
