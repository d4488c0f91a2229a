#include "display/view_qt.h"

#include <QCoreApplication>
#include <QApplication>
#include <QBitmap>
#include <QDrag>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

#include "display/draw_picture_qt.h"
#include "display/mouse_tool_qt.h"
#include "document/document.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"

namespace {
// This file's texts for the user, in their own translation context.
struct ViewText {
    Q_DECLARE_TR_FUNCTIONS(ViewText)
};
}  // namespace

using namespace display;

namespace {

// The key cursors: the digit in a ring, a cross at the hot spot; the pan
// key's cursor carries four arrows.
QCursor KeyCursor(int digit) {
    static QCursor cursors[6];
    static bool made[6] = {};
    if (digit < 1 || digit > 5) return QCursor(Qt::ArrowCursor);
    if (!made[digit]) {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QPen outline(Qt::white, 3);
        QPen ink(Qt::black, 1);
        auto both = [&](auto draw) {
            p.setPen(outline);
            draw();
            p.setPen(ink);
            draw();
        };
        both([&] {
            p.drawLine(0, 8, 16, 8);
            p.drawLine(8, 0, 8, 16);
        });
        p.setBrush(QColor(255, 255, 224));
        both([&] { p.drawEllipse(QRectF(13.5, 13.5, 17, 17)); });
        if (digit == 3) {
            both([&] {
                p.drawLine(22, 15, 22, 29);
                p.drawLine(15, 22, 29, 22);
            });
        } else {
            QFont font = p.font();
            font.setPixelSize(12);
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::black);
            p.drawText(QRectF(13.5, 13.5, 17, 17), Qt::AlignCenter, QString::number(digit));
        }
        p.end();
        cursors[digit] = QCursor(pixmap, 8, 8);
        made[digit] = true;
    }
    return cursors[digit];
}

// Full screen: the desktop filled black, the picture centred at the zoom that
// fits it, until Escape (or F11, the key that brought it) is pressed. The
// zoom keys zoom in and out there, Ctrl+0 fits again; other keys do nothing.
// The window is the view's: it closes itself and goes with the view.
class FullScreenWindow : public QWidget {
public:
    // ended runs when the window closes.
    FullScreenWindow(CPicture* picture, QScreen* screen, QWidget* owner, std::function<void()> ended)
        : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), picture_(picture), ended_(std::move(ended)) {
        setObjectName("fullScreen");
        setAccessibleName(ViewText::tr("Full Screen"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_DeleteOnClose);
        setCursor(Qt::BlankCursor);
        if (screen) setGeometry(screen->geometry());
        setFocusPolicy(Qt::StrongFocus);
    }
    // Shows the window over the screen with every key and click its own;
    // it stays until closed.
    void Start() {
        showFullScreen();
        setProperty("zoom", FitZoom());
        raise();
        activateWindow();
        setFocus();
        grabKeyboard();
        grabMouse();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::black);
        const double scale = devicePixelRatioF();
        painter.scale(1 / scale, 1 / scale);
        const QSize screen(int(std::lround(width() * scale)), int(std::lround(height() * scale)));
        const Size pictureSize{picture_->GetWidth(), picture_->GetHeight()};
        const int zoom = zoom_ ? zoom_ : FitZoom();
        const int w = int(std::min<std::int64_t>(DisplayedLength(pictureSize.width, zoom), kMaxDisplayed));
        const int h = int(std::min<std::int64_t>(DisplayedLength(pictureSize.height, zoom), kMaxDisplayed));
        // Centred; a picture wider than the screen shows its middle.
        int left = (screen.width() - w) / 2, top = (screen.height() - h) / 2;
        QPoint origin(0, 0);
        if (left < 0) {
            const int cut = -left;
            origin.setX(zoom >= 2 ? cut / zoom : (zoom <= -2 ? cut * -zoom : cut));
            left = zoom >= 2 ? -(cut % zoom) : 0;
        }
        if (top < 0) {
            const int cut = -top;
            origin.setY(zoom >= 2 ? cut / zoom : (zoom <= -2 ? cut * -zoom : cut));
            top = zoom >= 2 ? -(cut % zoom) : 0;
        }
        painter.setClipRect(QRect(QPoint(0, 0), screen));
        DrawPicture(picture_, origin, painter, QRect(left, top, std::min(w, screen.width() - left),
                                                     std::min(h, screen.height() - top)),
                    zoom);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (key == Qt::Key_Escape || key == Qt::Key_F11) {
            close();
        } else if (key == Qt::Key_Plus || key == Qt::Key_Equal || event->matches(QKeySequence::ZoomIn)) {
            ShowAtZoom(display::ZoomIn(zoom_ ? zoom_ : FitZoom()));
        } else if (key == Qt::Key_Minus || event->matches(QKeySequence::ZoomOut)) {
            ShowAtZoom(display::ZoomOut(zoom_ ? zoom_ : FitZoom()));
        } else if (key == Qt::Key_0 && modifiers == Qt::ControlModifier) {
            ShowAtZoom(0);
        }
    }
    void closeEvent(QCloseEvent* event) override {
        releaseMouse();
        releaseKeyboard();
        QWidget::closeEvent(event);
        if (auto ended = std::exchange(ended_, nullptr)) ended();
    }
    bool event(QEvent* event) override {
        // Every key is this window's: none reaches the main window's shortcuts.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        return QWidget::event(event);
    }

private:
    // The zoom that fits the picture on the screen, in device pixels.
    int FitZoom() const {
        const double scale = devicePixelRatioF();
        return FullScreenZoom({picture_->GetWidth(), picture_->GetHeight()},
                              {int(std::lround(width() * scale)), int(std::lround(height() * scale))});
    }
    // 0: the zoom that fits.
    void ShowAtZoom(int zoom) {
        zoom_ = zoom;
        setProperty("zoom", zoom_ ? zoom_ : FitZoom());
        update();
    }

    CPicture* picture_;
    std::function<void()> ended_;
    int zoom_ = 0;
};

}  // namespace

CVandrelView::CVandrelView(Document* document, QWidget* parent)
    : QAbstractScrollArea(parent), core_(document ? &document->core() : nullptr), document_(document) {
    Init();
    if (document) {
        connect(document, &Document::pictureChanged, this, &CVandrelView::OnPictureChanged);
        connect(document, &Document::busyChanged, this, &CVandrelView::OnBusyChanged);
    }
}

void CVandrelView::OnBusyChanged(bool busy) {
    // The document tells before its job starts: the picture is still whole.
    busySnapshot_ = QPixmap();
    if (busy) {
        takingSnapshot_ = true;
        busySnapshot_ = viewport()->grab();
        takingSnapshot_ = false;
    } else {
        viewport()->update();
    }
}

CVandrelView::CVandrelView(CVandrelDoc* core, QWidget* parent)
    : QAbstractScrollArea(parent), core_(core) {
    Init();
}

CVandrelView::~CVandrelView() {
    if (CurrentTool()) CurrentTool()->OnViewDeactivate(this);
}

void CVandrelView::Init() {
    setObjectName("pictureView");
    setAccessibleName(ViewText::tr("Picture"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    UpdateCursor();
}

void CVandrelView::AttachCore(CVandrelDoc* core) {
    core_ = core;
    UpdateScrollState();
    viewport()->update();
}

CPicture* CVandrelView::GetPicture() const {
    return core_ ? core_->m_pPicture.get() : nullptr;
}

double CVandrelView::ClientScale() const { return viewport()->devicePixelRatioF(); }

QPoint CVandrelView::LogicalToClient(QPointF logical) const {
    const double s = ClientScale();
    return QPoint(int(std::floor(logical.x() * s)), int(std::floor(logical.y() * s)));
}

QPointF CVandrelView::ClientToLogical(QPoint client) const {
    const double s = ClientScale();
    return QPointF(client.x() / s, client.y() / s);
}

ViewMapping CVandrelView::Mapping() const {
    return {zoom_, state_.scrollX, state_.scrollY, state_.originX, state_.originY};
}

QPoint CVandrelView::ClientToPicture(QPoint client) const {
    const Point p = display::ClientToPicture(Mapping(), {client.x(), client.y()});
    return {p.x, p.y};
}

QPoint CVandrelView::PictureToClient(QPoint picture) const {
    const Point p = display::PictureToClient(Mapping(), {picture.x(), picture.y()});
    return {p.x, p.y};
}

QRect CVandrelView::ClientRectToPicture(const QRect& r) const {
    const display::Box b = display::ClientRectToPicture(Mapping(), {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    return QRect(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1));
}

QRect CVandrelView::PictureRectToClient(const QRect& r) const {
    const display::Box b = display::PictureRectToClient(Mapping(), {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    return QRect(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1));
}

QMdiSubWindow* CVandrelView::Frame() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) return sub;
    return nullptr;
}

bool CVandrelView::IsFrameMinimised() const {
    const QMdiSubWindow* frame = Frame();
    return frame ? frame->isMinimized() : window()->isMinimized();
}

QSize CVandrelView::AreaSize() const {
    const double s = ClientScale();
    const QRect r = contentsRect();
    return QSize(int(std::lround(r.width() * s)), int(std::lround(r.height() * s)));
}

void CVandrelView::UpdateScrollState() {
    CPicture* picture = GetPicture();
    const double s = ClientScale();
    const int bar = int(std::lround(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) * s));
    const QSize area = AreaSize();
    const Size pictureSize = picture ? Size{picture->GetWidth(), picture->GetHeight()} : Size{0, 0};
    state_ = ComputeScrollState(pictureSize, zoom_, {area.width(), area.height()}, bar, bar,
                                state_.scrollX, state_.scrollY);
    ApplyBars();
    emit scrolled();
}

void CVandrelView::ApplyBars() {
    applyingBars_ = true;
    setHorizontalScrollBarPolicy(state_.hasHScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(state_.hasVScroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setRange(0, state_.hasHScroll ? state_.maxX : 0);
    v->setRange(0, state_.hasVScroll ? state_.maxY : 0);
    h->setSingleStep(state_.lineX);
    v->setSingleStep(state_.lineY);
    h->setPageStep(state_.pageX);
    v->setPageStep(state_.pageY);
    h->setValue(state_.scrollX);
    v->setValue(state_.scrollY);
    applyingBars_ = false;
}

void CVandrelView::ScrollTo(int x, int y, bool repaint) {
    const int nx = RoundScroll(x, zoom_, state_.hasHScroll ? state_.maxX : 0);
    const int ny = RoundScroll(y, zoom_, state_.hasVScroll ? state_.maxY : 0);
    if (nx == state_.scrollX && ny == state_.scrollY) {
        ApplyBars();  // a bar dragged to a position between kept pixels snaps back
        return;
    }
    const QPoint before = PictureToClient({0, 0});
    state_.scrollX = nx;
    state_.scrollY = ny;
    const QPoint after = PictureToClient({0, 0});
    ApplyBars();
    if (repaint) {
        const double s = ClientScale();
        const QPoint delta = after - before;
        if (s == 1.0 && std::abs(delta.x()) < viewport()->width() && std::abs(delta.y()) < viewport()->height())
            viewport()->scroll(delta.x(), delta.y());  // moves what is shown, paints the strips
        else
            viewport()->update();
    }
    emit scrolled();
}

void CVandrelView::scrollContentsBy(int, int) {
    if (applyingBars_) return;
    ScrollTo(horizontalScrollBar()->value(), verticalScrollBar()->value(), true);
}

void CVandrelView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (applyingBars_) return;
    if (!IsFrameMinimised()) UpdateScrollState();
}

QPoint CVandrelView::CursorAnchor() const {
    const QPoint local = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(local)) return ClientToPicture(LogicalToClient(local));
    const QSize area = viewport()->size() * ClientScale();
    return ClientToPicture({area.width() / 2, area.height() / 2});
}

void CVandrelView::SetZoom(int zoom, int ax, int ay) {
    if (IsFrameMinimised()) return;
    zoom = NormaliseZoom(zoom);
    if (zoom == zoom_) return;
    reduction_.Clear();
    QPoint anchor, client;
    if (ax == -1 && ay == -1) {
        const QPoint local = viewport()->mapFromGlobal(QCursor::pos());
        client = viewport()->rect().contains(local)
                     ? LogicalToClient(local)
                     : QPoint(int(viewport()->width() * ClientScale()) / 2,
                              int(viewport()->height() * ClientScale()) / 2);
        anchor = ClientToPicture(client);
    } else {
        anchor = {ax, ay};
        client = PictureToClient(anchor);
    }
    zoom_ = zoom;
    UpdateScrollState();
    viewport()->update();
    emit zoomChanged(zoom_);
    // The anchor back at its client position.
    QPoint position;
    if (zoom_ >= 2)
        position = anchor - QPoint(client.x() / zoom_, client.y() / zoom_);
    else if (zoom_ <= -2)
        position = anchor - QPoint(client.x() * -zoom_, client.y() * -zoom_);
    else
        position = anchor - client;
    ScrollTo(position.x(), position.y(), true);
}

void CVandrelView::ZoomIn() { SetZoom(display::ZoomIn(zoom_)); }
void CVandrelView::ZoomOut() { SetZoom(display::ZoomOut(zoom_)); }

void CVandrelView::FitInWindow() {
    CPicture* picture = GetPicture();
    if (!picture || IsFrameMinimised()) return;
    const QSize area = AreaSize();
    const Size pictureSize{picture->GetWidth(), picture->GetHeight()};
    const int zoom = FitZoom(pictureSize, {area.width(), area.height()});
    if (zoom == 0) return;
    const QSize shown(int(std::min<std::int64_t>(DisplayedLength(pictureSize.width, zoom), kMaxDisplayed)),
                      int(std::min<std::int64_t>(DisplayedLength(pictureSize.height, zoom), kMaxDisplayed)));
    if (shown == area && zoom == zoom_) return;
    zoom_ = zoom;
    state_.scrollX = state_.scrollY = 0;
    QMdiSubWindow* frame = Frame();
    if (frame && !frame->isMaximized()) {
        const double s = ClientScale();
        const QSize delta(int(std::lround((shown.width() - area.width()) / s)),
                          int(std::lround((shown.height() - area.height()) / s)));
        frame->resize(frame->size() + delta);
    }
    UpdateScrollState();
    viewport()->update();
    emit zoomChanged(zoom_);
}

void CVandrelView::FitFrameToPicture() {
    CPicture* picture = GetPicture();
    QMdiSubWindow* frame = Frame();
    if (!picture || !frame || frame->isMaximized() || frame->isMinimized()) {
        UpdateScrollState();
        viewport()->update();
        return;
    }
    const double s = ClientScale();
    const QSize wanted(int(std::min<std::int64_t>(DisplayedLength(picture->GetWidth(), std::max(zoom_, 1)), kMaxDisplayed)),
                       int(std::min<std::int64_t>(DisplayedLength(picture->GetHeight(), std::max(zoom_, 1)), kMaxDisplayed)));
    const QSize current = AreaSize();
    QSize size = frame->size() + QSize(int(std::lround((wanted.width() - current.width()) / s)),
                                       int(std::lround((wanted.height() - current.height()) / s)));
    // Cut at the document area; a cut side gets the other direction's bar.
    if (QMdiArea* area = frame->mdiArea()) {
        const QRect room = area->viewport()->rect();
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        const int maxW = room.right() + 1 - frame->x(), maxH = room.bottom() + 1 - frame->y();
        bool cutW = false;
        if (size.width() > maxW) {
            size.setWidth(maxW);
            size.setHeight(size.height() + bar);
            cutW = true;
        }
        if (size.height() > maxH) {
            size.setHeight(maxH);
            if (!cutW) size.setWidth(std::min(maxW, size.width() + bar));
        }
        size = size.expandedTo(frame->minimumSizeHint());
    }
    frame->resize(size);
    UpdateScrollState();
    viewport()->update();
}

void CVandrelView::FullScreen() {
    CPicture* picture = GetPicture();
    if (!picture || fullScreen_) return;
    QScreen* screen = window()->screen();
    auto* full = new FullScreenWindow(picture, screen ? screen : QGuiApplication::primaryScreen(), this,
                                      [this] { FullScreenEnded(); });
    fullScreen_ = full;
    full->Start();
}

void CVandrelView::LeaveFullScreen() {
    if (fullScreen_) fullScreen_->close();
}

void CVandrelView::FullScreenEnded() {
    fullScreen_ = nullptr;
    // Back to the document window, and every window is redrawn.
    window()->raise();
    window()->activateWindow();
    setFocus();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) w->update();
    viewport()->update();
}

void CVandrelView::SetRulersShown(bool shown) {
    if (rulersShown_ == shown) return;
    rulersShown_ = shown;
    // The frame lays out its rulers around the view; the view's area changes
    // with them, and its ranges with that.
    emit rulersChanged(shown);
    UpdateScrollState();
    viewport()->update();
}

void CVandrelView::SetSelection(const QRect& selection) {
    CPicture* picture = GetPicture();
    QRect kept = picture ? selection.normalized() & QRect(0, 0, picture->GetWidth(), picture->GetHeight()) : QRect();
    if (kept.isEmpty()) kept = QRect();
    if (kept == selection_) return;
    selection_ = kept;
    viewport()->update();
    emit selectionChanged(selection_);
}

QRect CVandrelView::SelectionClientRect() const {
    return selection_.isEmpty() ? QRect() : PictureRectToClient(selection_);
}

QList<QRect> CVandrelView::SelectionHandles() const {
    const QRect r = SelectionClientRect();
    if (r.isEmpty()) return {};
    const int x0 = r.left(), x1 = r.right() + 1, y0 = r.top(), y1 = r.bottom() + 1;
    const int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
    QList<QRect> handles;
    for (const QPoint& p : {QPoint(x0, y0), QPoint(x1, y0), QPoint(x0, y1), QPoint(x1, y1), QPoint(xm, y0),
                            QPoint(xm, y1), QPoint(x0, ym), QPoint(x1, ym)})
        handles << QRect(p.x() - kHandleSize / 2, p.y() - kHandleSize / 2, kHandleSize, kHandleSize);
    return handles;
}

void CVandrelView::OnPictureChanged(const QRect& pictureRect) {
    // Full screen shows the picture as it was: it ends.
    LeaveFullScreen();
    CPicture* picture = GetPicture();
    const QSize size = picture ? QSize(picture->GetWidth(), picture->GetHeight()) : QSize();
    const bool resized = size != shownSize_;
    shownSize_ = size;
    // A selection belongs to the picture it was made on.
    if (resized) SetSelection(QRect());
    reduction_.Clear();
    UpdateScrollState();
    // A picture of another size (a new one, a quarter turn) moves everything.
    if (pictureRect.isNull() || resized) {
        viewport()->update();
        return;
    }
    const QRect client = PictureRectToClient(pictureRect);
    const double s = ClientScale();
    viewport()->update(QRectF(client.x() / s, client.y() / s, client.width() / s, client.height() / s)
                           .toAlignedRect()
                           .adjusted(-1, -1, 1, 1));
}

void CVandrelView::OnActivateView(bool active) {
    if (active)
        CurrentTool()->OnViewActivate(this);
    else
        CurrentTool()->OnViewDeactivate(this);
}

void CVandrelView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (document_ && document_->busy() && !takingSnapshot_) {
        painter.fillRect(event->rect(), palette().color(QPalette::Dark));
        if (!busySnapshot_.isNull()) painter.drawPixmap(0, 0, busySnapshot_);
        return;
    }
    const double s = ClientScale();
    CPicture* picture = GetPicture();
    const QColor background = palette().color(QPalette::Dark);
    if (!CurrentTool()->BeforeDraw(this, painter)) return;
    painter.save();
    painter.scale(1 / s, 1 / s);
    const QRect update = QRectF(event->rect().x() * s, event->rect().y() * s, event->rect().width() * s,
                                event->rect().height() * s)
                             .toAlignedRect();
    QRect shown;
    if (picture) {
        QRect pictureRect = ClientRectToPicture(update) & QRect(0, 0, picture->GetWidth(), picture->GetHeight());
        if (!pictureRect.isEmpty()) {
            if (zoom_ <= -2) {  // kept pixels lie on multiples of |zoom|
                const int z = -zoom_;
                pictureRect.setLeft(pictureRect.left() / z * z);
                pictureRect.setTop(pictureRect.top() / z * z);
            }
            shown = PictureRectToClient(pictureRect);
            painter.setClipRect(update);
            DrawPicture(picture, pictureRect.topLeft(), painter, shown, zoom_, nullptr, &reduction_);
        }
    }
    // What the picture does not cover.
    QRegion rest(update);
    rest -= shown & update;
    for (const QRect& r : rest) painter.fillRect(r, background);
    // The selection: a dashed outline over the picture, with its handles.
    if (!selection_.isEmpty()) {
        const QRect r = SelectionClientRect();
        const QRect outline(r.left(), r.top(), r.width(), r.height());
        painter.setPen(QPen(Qt::white, 0));
        painter.drawRect(outline);
        painter.setPen(QPen(Qt::black, 0, Qt::DashLine));
        painter.drawRect(outline);
        painter.setPen(QPen(Qt::black, 0));
        for (const QRect& handle : SelectionHandles()) {
            painter.fillRect(handle, Qt::white);
            painter.drawRect(handle.adjusted(0, 0, -1, -1));
        }
    }
    painter.restore();
    CurrentTool()->AfterDraw(this, painter);
}

bool CVandrelView::viewportEvent(QEvent* event) {
    // Paint, mouse and wheel events reach the handlers of the view itself.
    return QAbstractScrollArea::viewportEvent(event);
}

bool CVandrelView::ActivateFrameFirst() {
    QMdiSubWindow* frame = Frame();
    if (!frame || !frame->mdiArea()) return false;
    if (frame->mdiArea()->activeSubWindow() == frame) return false;
    frame->mdiArea()->setActiveSubWindow(frame);
    return true;
}

namespace {
unsigned Flags(const QMouseEvent* e) { return unsigned(e->buttons()) | unsigned(e->modifiers()); }
}  // namespace

void CVandrelView::mousePressEvent(QMouseEvent* event) {
    const QPoint c = LogicalToClient(event->position());
    if (event->button() == Qt::LeftButton) {
        if (ActivateFrameFirst()) return;
        if (heldKey_ == 3) {
            panning_ = true;
            panStart_ = ClientToPicture(c);
            return;
        }
        if (CurrentTool() == DefaultTool() && core_ && !core_->GetPathName().empty()) {
            dragArmed_ = true;
            dragFrom_ = event->position().toPoint();
        }
        CurrentTool()->OnLButtonDown(this, Flags(event), c.x(), c.y());
    } else if (event->button() == Qt::RightButton) {
        if (ActivateFrameFirst()) return;
        CurrentTool()->OnRButtonDown(this, Flags(event), c.x(), c.y());
    }
}

void CVandrelView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint c = LogicalToClient(event->position());
    if (event->button() == Qt::LeftButton) {
        dragArmed_ = false;
        if (panning_) {
            panning_ = false;
            return;
        }
        CurrentTool()->OnLButtonUp(this, Flags(event), c.x(), c.y());
    } else if (event->button() == Qt::RightButton) {
        CurrentTool()->OnRButtonUp(this, Flags(event), c.x(), c.y());
    }
}

void CVandrelView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint c = LogicalToClient(event->position());
    if (event->button() == Qt::LeftButton)
        CurrentTool()->OnLButtonDblClk(this, Flags(event), c.x(), c.y());
    else if (event->button() == Qt::RightButton)
        CurrentTool()->OnRButtonDblClk(this, Flags(event), c.x(), c.y());
}

void CVandrelView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint c = LogicalToClient(event->position());
    EmitPosition(c);
    if (panning_) {
        // The picture point taken at the press stays under the cursor.
        QPoint position;
        if (zoom_ >= 2)
            position = panStart_ - QPoint((c.x() - state_.originX) / zoom_, (c.y() - state_.originY) / zoom_);
        else if (zoom_ <= -2)
            position = panStart_ - QPoint((c.x() - state_.originX) * -zoom_, (c.y() - state_.originY) * -zoom_);
        else
            position = panStart_ - (c - QPoint(state_.originX, state_.originY));
        ScrollTo(position.x(), position.y(), true);
        return;
    }
    if (dragArmed_ && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - dragFrom_).manhattanLength() >= QApplication::startDragDistance()) {
        dragArmed_ = false;
        StartFileDrag();
        return;
    }
    // The tool may set its own cursor over the client area.
    if (!heldKey_) CurrentTool()->OnSetCursor(this, viewport(), 1, int(QEvent::MouseMove));
    CurrentTool()->OnMouseMove(this, Flags(event), c.x(), c.y());
}

void CVandrelView::StartFileDrag() {
    if (!core_ || core_->GetPathName().empty()) return;
    const QString path = QString::fromStdString(core_->GetPathName());
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())});
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

void CVandrelView::EmitPosition(QPoint client) {
    CPicture* picture = GetPicture();
    const QPoint p = ClientToPicture(client);
    if (picture && client.x() >= state_.originX && client.y() >= state_.originY && p.x() >= 0 && p.y() >= 0 &&
        p.x() < picture->GetWidth() && p.y() < picture->GetHeight())
        emit picturePosition(p);
    else
        emit picturePosition(QPoint(-1, -1));
}

void CVandrelView::leaveEvent(QEvent* event) {
    emit picturePosition(QPoint(-1, -1));
    QAbstractScrollArea::leaveEvent(event);
}

void CVandrelView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        // One zoom step a notch, anchored at the cursor.
        static int rest = 0;
        rest += event->angleDelta().y();
        while (rest >= 120) {
            rest -= 120;
            ZoomIn();
        }
        while (rest <= -120) {
            rest += 120;
            ZoomOut();
        }
        event->accept();
        return;
    }
    // Three lines a notch; Shift or a sideways wheel scrolls across.
    QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ShiftModifier) delta = QPoint(delta.y(), 0);
    const int dx = -delta.x() * 3 * state_.lineX / 120;
    const int dy = -delta.y() * 3 * state_.lineY / 120;
    if (dx || dy) ScrollTo(state_.scrollX + dx, state_.scrollY + dy, true);
    event->accept();
}

void CVandrelView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (event->isAutoRepeat() && key == heldKey_ + Qt::Key_0 && heldKey_) return;
    if (key >= Qt::Key_1 && key <= Qt::Key_5 && !(event->modifiers() & ~Qt::KeypadModifier)) {
        heldKey_ = key - Qt::Key_0;
        UpdateCursor();
    }
    if (key == Qt::Key_Escape && !selection_.isEmpty()) {
        SetSelection(QRect());
        event->accept();
        return;
    }
    CurrentTool()->OnKeyDown(this, key, event->isAutoRepeat() ? 2 : 1, unsigned(event->modifiers()));
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomIn(); return;
    case Qt::Key_Minus: ZoomOut(); return;
    case Qt::Key_Left: ScrollTo(state_.scrollX - state_.lineX, state_.scrollY); return;
    case Qt::Key_Right: ScrollTo(state_.scrollX + state_.lineX, state_.scrollY); return;
    case Qt::Key_Up: ScrollTo(state_.scrollX, state_.scrollY - state_.lineY); return;
    case Qt::Key_Down: ScrollTo(state_.scrollX, state_.scrollY + state_.lineY); return;
    case Qt::Key_PageUp: ScrollTo(state_.scrollX, state_.scrollY - state_.pageY); return;
    case Qt::Key_PageDown: ScrollTo(state_.scrollX, state_.scrollY + state_.pageY); return;
    case Qt::Key_Home: ScrollTo(0, 0); return;
    case Qt::Key_End: ScrollTo(state_.maxX, state_.maxY); return;
    default: break;
    }
    event->ignore();
}

void CVandrelView::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    if (heldKey_ && event->key() == heldKey_ + Qt::Key_0) {
        heldKey_ = 0;
        UpdateCursor();
    }
    CurrentTool()->OnKeyUp(this, event->key(), 1, unsigned(event->modifiers()));
}

void CVandrelView::UpdateCursor() {
    if (heldKey_ >= 1 && heldKey_ <= 5) {
        viewport()->setCursor(KeyCursor(heldKey_));
        return;
    }
    if (!CurrentTool()->OnSetCursor(this, viewport(), 1, 0)) viewport()->unsetCursor();
}

std::function<bool(int, CVandrelView&)>& CVandrelView::Printing() {
    static std::function<bool(int, CVandrelView&)> printing;
    return printing;
}

void CVandrelView::SetPrinting(std::function<bool(int id, CVandrelView& view)> printing) {
    Printing() = std::move(printing);
}

bool CVandrelView::OnCommand(int id) {
    const int zoom = ZoomForCommand(id);
    if (zoom) {
        if (!GetPicture() || IsFrameMinimised()) return true;
        if (zoom >= 2)
            SetZoom(zoom);  // anchored at the cursor
        else
            SetZoom(zoom, 0, 0);
        return true;
    }
    switch (id) {
    case ID_ZOOM_IN:
        if (GetPicture() && !IsFrameMinimised()) ZoomIn();
        return true;
    case ID_ZOOM_OUT:
        if (GetPicture() && !IsFrameMinimised()) ZoomOut();
        return true;
    case ID_FIT_IN_WINDOW:
        FitInWindow();
        return true;
    case ID_FULL_SCREEN:
        FullScreen();
        return true;
    case ID_PRINT:
    case ID_QUICK_PRINT:
    case ID_PRINT_PREVIEW:
    case ID_PRINT_SETUP: return Printing() && Printing()(id, *this);
    default: return false;
    }
}

bool CVandrelView::OnUpdateCommand(int id, CommandState& state) {
    const bool usable = GetPicture() && !IsFrameMinimised();
    const int zoom = ZoomForCommand(id);
    if (zoom) {
        state.enabled = usable;
        state.checkable = true;
        state.checked = zoom == zoom_;
        return true;
    }
    switch (id) {
    case ID_ZOOM_IN:
        state.enabled = usable && zoom_ < kMaxZoom;
        return true;
    case ID_ZOOM_OUT:
        state.enabled = usable && zoom_ > kMinZoom;
        return true;
    case ID_FIT_IN_WINDOW:
        state.enabled = usable;
        return true;
    case ID_FULL_SCREEN:
        state.enabled = GetPicture() != nullptr;
        return true;
    case ID_PRINT:
    case ID_QUICK_PRINT:
    case ID_PRINT_PREVIEW:
    case ID_PRINT_SETUP:
        state.enabled = id == ID_PRINT_SETUP || GetPicture();
        return true;
    default: return false;
    }
}
