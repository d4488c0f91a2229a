#include "display/child_frame_qt.h"

#include <QCoreApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "display/frame_caption.h"
#include "display/ruler_scale.h"
#include "display/view_geometry.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct ViewText {
    Q_DECLARE_TR_FUNCTIONS(ViewText)
};
}  // namespace

namespace display {

// One ruler along the top or the left of the view.
class CRuler : public QWidget {
public:
    CRuler(Qt::Orientation orientation, PMDIChildWnd* frame)
        : orientation_(orientation), frame_(frame) {
        setObjectName(orientation == Qt::Horizontal ? "topRuler" : "leftRuler");
        setAccessibleName(orientation == Qt::Horizontal ? ViewText::tr("Horizontal ruler")
                                                        : ViewText::tr("Vertical ruler"));
        if (orientation == Qt::Horizontal)
            setFixedHeight(kRulerThickness);
        else
            setFixedWidth(kRulerThickness);
    }
    void ReadUnit() {
        unit_ = PreferredUnit();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, palette().color(QPalette::Button));
        // The recessed frame.
        p.setPen(palette().color(QPalette::Dark));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        CVandrelView* view = frame_->GetView();
        CPicture* picture = view ? view->GetPicture() : nullptr;
        if (!picture) return;
        const bool across = orientation_ == Qt::Horizontal;
        const int ppm = across ? picture->GetHeader()->biXPelsPerMeter : picture->GetHeader()->biYPelsPerMeter;
        const int zoom = view->Zoom();
        const RulerScale scale = ComputeRulerScale(unit_, ppm, zoom);
        const double factor = zoom >= 2 ? zoom : (zoom <= -2 ? 1.0 / -zoom : 1.0);
        const display::ScrollState& s = view->ScrollStateNow();
        const double dpr = view->ClientScale();
        // Where the view's client area begins in this ruler.
        const QPoint viewAt = mapFromGlobal(view->viewport()->mapToGlobal(QPoint(0, 0)));
        const int offset = across ? viewAt.x() : viewAt.y();
        const int scroll = across ? s.scrollX : s.scrollY;
        const int origin = across ? s.originX : s.originY;
        const int length = across ? view->viewport()->width() : view->viewport()->height();
        const int picturePixels = across ? picture->GetWidth() : picture->GetHeight();
        auto toRuler = [&](double picturePos) {
            return offset + (origin + (picturePos - scroll) * factor) / dpr;
        };
        // The visible part of the picture in units.
        const double firstPixel = scroll;
        const double lastPixel = std::min<double>(picturePixels, scroll + length * dpr / factor);
        const double firstUnit = firstPixel / scale.picturePerUnit;
        const double lastUnit = lastPixel / scale.picturePerUnit;
        const long kFirst = long(std::floor(firstUnit / scale.minorStep));
        const long kLast = long(std::ceil(lastUnit / scale.minorStep));
        const int thickness = kRulerThickness;
        QFont font = p.font();
        font.setPixelSize(8);
        p.setFont(font);
        for (long k = kFirst; k <= kLast && k - kFirst < 100000; ++k) {
            const double value = k * scale.minorStep;
            if (value < firstUnit - 1e-9 || value > lastUnit + 1e-9) continue;
            const double pos = toRuler(value * scale.picturePerUnit);
            const int at = int(std::lround(pos));
            const double inLabels = value / scale.labelStep;
            const bool label = std::fabs(inLabels - std::round(inLabels)) < 1e-6;
            const bool half = !label && std::fabs(inLabels * 2 - std::round(inLabels * 2)) < 1e-6;
            const int tick = label ? thickness : (half ? 7 : 5);
            auto line = [&](int a, QColor colour) {
                p.setPen(colour);
                if (across)
                    p.drawLine(a, thickness - tick, a, thickness - 1);
                else
                    p.drawLine(thickness - tick, a, thickness - 1, a);
            };
            line(at, palette().color(QPalette::Shadow));
            line(at + 1, Qt::white);
            if (label) {
                const QString text = QString::number(value, 'g', 6);
                p.setPen(palette().color(QPalette::ButtonText));
                if (across) {
                    p.drawText(QPointF(at + 3, 10), text);
                } else {
                    p.save();
                    p.translate(10, at + 3);
                    p.rotate(90);
                    p.drawText(QPointF(0, 0), text);
                    p.restore();
                }
            }
        }
        // The mouse-position marker, inverted across the ruler.
        const QPoint marks = frame_->Marks();
        const int mark = across ? marks.x() : marks.y();
        if (mark >= 0) {
            const int at = int(std::lround(toRuler(mark + 0.5)));
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.setPen(Qt::white);
            if (across)
                p.drawLine(at, 1, at, thickness - 1);
            else
                p.drawLine(1, at, thickness - 1, at);
        }
    }

private:
    Qt::Orientation orientation_;
    PMDIChildWnd* frame_;
    int unit_ = kUnitPixel;
};

}  // namespace display

namespace {
std::function<bool()>& StitchIdleQuery() {
    static std::function<bool()> query;
    return query;
}
}  // namespace

PMDIChildWnd::PMDIChildWnd(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName("documentWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    body_ = new QWidget(this);
    grid_ = new QGridLayout(body_);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setSpacing(0);
    corner_ = new QWidget(body_);
    corner_->setFixedSize(display::kRulerThickness, display::kRulerThickness);
    topRuler_ = new display::CRuler(Qt::Horizontal, this);
    leftRuler_ = new display::CRuler(Qt::Vertical, this);
    grid_->addWidget(corner_, 0, 0);
    grid_->addWidget(topRuler_, 0, 1);
    grid_->addWidget(leftRuler_, 1, 0);
    corner_->hide();
    topRuler_->hide();
    leftRuler_->hide();
    setWidget(body_);
}

PMDIChildWnd::~PMDIChildWnd() {
    // The sub-window's own destructor still reports state changes; by then
    // this part of the object is gone.
    disconnect(this, &QMdiSubWindow::windowStateChanged, this, nullptr);
}

void PMDIChildWnd::SetView(CVandrelView* view) {
    view_ = view;
    grid_->addWidget(view, 1, 1);
    setFocusProxy(view);
    connect(view, &CVandrelView::zoomChanged, this, [this] {
        UpdateTitle();
        topRuler_->update();
        leftRuler_->update();
    });
    connect(view, &CVandrelView::rulersChanged, this, &PMDIChildWnd::LayOutRulers);
    // Qt's unsaved mark follows the document's modified flag.
    if (Document* document = view->GetDocument())
        connect(document, &Document::modifiedChanged, this, &PMDIChildWnd::UpdateTitle);
    connect(view, &CVandrelView::scrolled, this, [this] {
        topRuler_->update();
        leftRuler_->update();
    });
    connect(view, &CVandrelView::picturePosition, this, [this](QPoint p) {
        if (p == QPoint(markX_, markY_)) return;
        markX_ = p.x();
        markY_ = p.y();
        if (RulersShown()) {
            topRuler_->update();
            leftRuler_->update();
        }
    });
    connect(this, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates before, Qt::WindowStates now) {
                if (!view_) return;
                const bool was = before & Qt::WindowActive, is = now & Qt::WindowActive;
                if (was != is) view_->OnActivateView(is);
            });
}

void PMDIChildWnd::SetBaseName(const std::string& path, display::UntitledCounter& untitled) {
    baseName_ = display::BaseNameForPath(path, untitled);
    UpdateTitle();
}

void PMDIChildWnd::UpdateTitle() {
    const int zoom = view_ ? view_->Zoom() : 1;
    const bool modified = view_ && view_->GetDocument() && view_->GetDocument()->isModified();
    // The placeholder stands in the title only while it shows the mark.
    QString title = QString::fromStdString(display::CaptionFor(baseName_, zoom, isMinimized()));
    if (modified) title += QStringLiteral("[*]");
    if (title == windowTitle()) return;
    if (!modified) setWindowModified(false);
    setWindowTitle(title);
    if (modified) setWindowModified(true);
    emit titleChanged(title);
}

void PMDIChildWnd::ShowRulers(bool shown) {
    if (view_) view_->SetRulersShown(shown);
}

void PMDIChildWnd::LayOutRulers(bool shown) {
    corner_->setVisible(shown);
    topRuler_->setVisible(shown);
    leftRuler_->setVisible(shown);
    if (shown) {
        topRuler_->ReadUnit();
        leftRuler_->ReadUnit();
    }
}

bool PMDIChildWnd::RulersShown() const { return view_ && view_->RulersShown(); }

void PMDIChildWnd::CloseFromProgram() {
    programClose_ = true;
    close();
    programClose_ = false;
}

void PMDIChildWnd::SetStitchIdleQuery(std::function<bool()> query) { StitchIdleQuery() = std::move(query); }

bool PMDIChildWnd::StitchIdle() {
    const auto& query = StitchIdleQuery();
    return !query || query();
}


void PMDIChildWnd::GuardWindowCommands() {
    removeEventFilter(this);
    installEventFilter(this);  // the last filter installed sees events first
}

bool PMDIChildWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::Close && !programClose_ && !StitchIdle()) {
        event->ignore();
        return true;
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void PMDIChildWnd::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        UpdateTitle();
        if (view_ && !isMinimized()) view_->UpdateScrollState();
    }
}

void PMDIChildWnd::closeEvent(QCloseEvent* event) {
    if (!programClose_ && !StitchIdle()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

// The title bar and the frame (everything outside the body) take no input
// while a stitch sheet is open.
bool PMDIChildWnd::FrameInputBlocked(QPoint local) const {
    if (StitchIdle()) return false;
    return !body_->geometry().contains(local);
}

void PMDIChildWnd::mousePressEvent(QMouseEvent* event) {
    if (FrameInputBlocked(event->position().toPoint())) return event->accept();
    QMdiSubWindow::mousePressEvent(event);
}

void PMDIChildWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (FrameInputBlocked(event->position().toPoint())) return event->accept();
    QMdiSubWindow::mouseDoubleClickEvent(event);
}

void PMDIChildWnd::mouseMoveEvent(QMouseEvent* event) {
    if (FrameInputBlocked(event->position().toPoint())) return event->accept();
    QMdiSubWindow::mouseMoveEvent(event);
}

void PMDIChildWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (FrameInputBlocked(event->position().toPoint())) return event->accept();
    QMdiSubWindow::mouseReleaseEvent(event);
}

void PMDIChildWnd::keyPressEvent(QKeyEvent* event) {
    QMdiSubWindow::keyPressEvent(event);
}

void PMDIChildWnd::contextMenuEvent(QContextMenuEvent* event) {
    // The window menu on the title bar is the system menu.
    if (!StitchIdle() && !body_->geometry().contains(event->pos())) return event->accept();
    QMdiSubWindow::contextMenuEvent(event);
}
