// CVandrelView: the picture view of a document window. Shows the document's
// picture at one of the zoom levels (1/16 .. 16), scrolls it, fits the
// window to the picture or the picture to the window, shows it full screen,
// and hands its mouse, keyboard, drawing and activation events to the
// current mouse tool.
//
// Client coordinates are device pixels of the view's viewport: at zoom 1 one
// picture pixel is one device pixel, also on a high-density screen (where Qt's
// logical pixels are larger than device pixels).
#pragma once
#include <QAbstractScrollArea>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <functional>

#include "display/draw_picture_qt.h"
#include "display/view_geometry.h"
#include "resources/command_target.h"

class CPicture;
class CVandrelDoc;
class Document;
class QMdiSubWindow;

class CVandrelView : public QAbstractScrollArea, public CommandTarget {
    Q_OBJECT
public:
    // The view of a document (its pictureChanged signal redraws the view).
    explicit CVandrelView(Document* document, QWidget* parent = nullptr);
    // A view of a bare core document (never shown views, tests).
    explicit CVandrelView(CVandrelDoc* core, QWidget* parent = nullptr);
    ~CVandrelView() override;

    Document* GetDocument() const { return document_; }
    // The core document whose picture is shown.
    void AttachCore(CVandrelDoc* core);
    CVandrelDoc* GetCoreDocument() const { return core_; }
    CPicture* GetPicture() const;

    int Zoom() const { return zoom_; }
    int ScrollX() const { return state_.scrollX; }
    int ScrollY() const { return state_.scrollY; }
    const display::ScrollState& ScrollStateNow() const { return state_; }
    display::ViewMapping Mapping() const;

    // Client (device pixels of the viewport) <-> picture coordinates.
    QPoint ClientToPicture(QPoint client) const;
    QPoint PictureToClient(QPoint picture) const;
    QRect ClientRectToPicture(const QRect& client) const;
    QRect PictureRectToClient(const QRect& picture) const;
    // Qt's logical widget coordinates <-> client coordinates.
    QPoint LogicalToClient(QPointF logical) const;
    QPointF ClientToLogical(QPoint client) const;
    double ClientScale() const;

    // Anchor (-1, -1): the picture point under the cursor when the cursor is
    // in the view, else the one at the centre; otherwise the picture point
    // (ax, ay). The anchor keeps its client position.
    void SetZoom(int zoom, int ax = -1, int ay = -1);
    void ZoomIn();
    void ZoomOut();
    void FitInWindow();
    void FitFrameToPicture();
    // Shows the picture alone on the screen until Escape or F11 (returns at
    // once; the view gets the focus back when it ends). Ends by itself when
    // the picture changes or the view goes.
    void FullScreen();
    bool IsFullScreen() const { return fullScreen_ != nullptr; }
    void LeaveFullScreen();
    // Picture coordinates of the top-left client pixel (rounded at reductions).
    void ScrollTo(int x, int y, bool repaint = true);
    // Recomputes bars, ranges and centring after a zoom, size or picture change.
    void UpdateScrollState();

    bool RulersShown() const { return rulersShown_; }
    void SetRulersShown(bool shown);

    // The document's picture was replaced or changed (null rect: all of it).
    void OnPictureChanged(const QRect& pictureRect);
    // The view's document window became active (true) or inactive.
    void OnActivateView(bool active);
    // Whether the frame around the view is minimised.
    bool IsFrameMinimised() const;

    // The view's own commands (zoom, fit, full screen) and the print
    // commands, which it passes on for its document to whoever prints.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;
    // Who prints for the views: printing installs itself (the view does not
    // know printing; printing knows the view).
    static void SetPrinting(std::function<bool(int id, CVandrelView& view)> printing);
    // The document window around the view (null when it has none).
    QMdiSubWindow* Frame() const;

    // The selected rectangle in picture pixels (empty: none). Setting one
    // keeps the part lying on the picture; the selection goes when the
    // picture changes its size and with Escape.
    QRect Selection() const { return selection_; }
    void SetSelection(const QRect& selection);
    // The selection's rectangle and its eight handles (corners, then the
    // middles of the edges) in client coordinates; handles are squares of
    // kHandleSize device pixels centred on the selection's outline.
    static constexpr int kHandleSize = 7;
    QRect SelectionClientRect() const;
    QList<QRect> SelectionHandles() const;

    // The held digit key (0 none) and the pan mode, for tools and tests.
    int HeldKey() const { return heldKey_; }
    bool PanMode() const { return panning_; }

signals:
    // Picture coordinates of the mouse; (-1, -1) when it leaves the picture.
    void picturePosition(QPoint position);
    // After every zoom change.
    void zoomChanged(int zoom);
    // After every scroll (rulers follow).
    void scrolled();
    // The rulers were switched on or off.
    void rulersChanged(bool shown);
    // The selection changed (empty: dropped).
    void selectionChanged(const QRect& selection);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    static std::function<bool(int, CVandrelView&)>& Printing();
    void Init();
    void UpdateCursor();
    QSize AreaSize() const;  // client plus bars, device pixels
    QPoint CursorAnchor() const;
    bool ActivateFrameFirst();
    void StartFileDrag();
    void ApplyBars();
    void EmitPosition(QPoint client);
    void FullScreenEnded();

    CVandrelDoc* core_ = nullptr;
    Document* document_ = nullptr;
    int zoom_ = 1;
    display::ScrollState state_;
    bool rulersShown_ = false;
    bool applyingBars_ = false;
    int heldKey_ = 0;
    bool panning_ = false;
    QPoint panStart_;       // picture point under the cursor when panning started
    QSize shownSize_;       // picture size at the last change
    display::ReductionCache reduction_;  // the picture reduced at the zoom, for repaints
    QRect selection_;       // picture pixels; empty: none
    // While a job works on the document: what the view showed when it began
    // (the picture is not read meanwhile).
    QPixmap busySnapshot_;
    bool takingSnapshot_ = false;
    void OnBusyChanged(bool busy);
    bool dragArmed_ = false;
    QPoint dragFrom_;       // logical press point of a possible file drag
    QPointer<QWidget> fullScreen_;  // the full-screen window while it shows
};
