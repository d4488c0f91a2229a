#include "stitch/deskew_tool_qt.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>

#include "base/message_box.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "stitch/deskew_geometry.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_icons_qt.h"
#include "stitch/stitch_sheet_qt.h"

namespace {
constexpr int kThumbRadius = 8;
constexpr int kGrabDistance = 4;
}  // namespace

CDeskewTool* DeskewTool() {
    static CDeskewTool* tool = [] {
        FindTool(ID_TOOL_DEFAULT);  // the default tool first, as at start-up
        return new CDeskewTool;
    }();
    return tool;
}

CDeskewTool::CDeskewTool() : CMouseTool(ID_TOOL_DESKEW) {}

int CDeskewTool::HitTest(QPoint p, QPoint a, QPoint b) {
    auto near = [](QPoint p, QPoint c) {
        return std::abs(p.x() - c.x()) < kGrabDistance && std::abs(p.y() - c.y()) < kGrabDistance;
    };
    if (near(p, a)) return 1;
    if (near(p, b)) return 2;
    return 0;
}

bool CDeskewTool::Start(CStitchSheet* sheet, CPicture* source) {
    if (!source) return false;
    std::unique_ptr<CPicture> copy = CPicture::Duplicate(source, 3);
    if (!copy) {
        ShowMessageById(IDS_OUT_OF_MEMORY);
        return false;
    }
    source_ = source;
    sheet_ = sheet;
    OpenedDocument opened = OpenStitchDocument(std::move(copy));
    if (!opened.view) {
        ShowMessageById(IDS_COMMAND_FAILED);
        return false;
    }
    document_ = opened.document;
    document_->setModified(false);
    view_ = opened.view;
    if (QMdiSubWindow* frame = FrameOf(view_)) frame->showMaximized();
    // The view can go away under the tool (its window closed): the tool then
    // ends as a finish without a tilt would.
    QObject::connect(view_, &QObject::destroyed, view_, [this] {
        if (CurrentTool() == this && state_ != kFinished) {
            state_ = kFinished;
            if (sheet_) sheet_->ShowAgain();
            SelectTool(nullptr, ID_TOOL_DEFAULT);
        }
    });
    state_ = kAdjusting;
    SelectTool(view_, ID_TOOL_DESKEW);
    return true;
}

void CDeskewTool::OnViewActivate(CVandrelView* view) {
    if (view != view_) return;
    QWidget* client = view->viewport();
    savedCursor_ = client->cursor();
    client->setCursor(DeskewNormalCursor());
    dragging_ = false;
    CPicture* picture = view->GetDocument() ? view->GetDocument()->picture() : nullptr;
    QWidget* frame = FrameOf(view) ? static_cast<QWidget*>(FrameOf(view)) : view;
    int w = picture ? std::min(picture->GetWidth(), frame->width()) : frame->width();
    int h = picture ? std::min(picture->GetHeight(), frame->height()) : frame->height();
    b_ = view->ClientToPicture(QPoint(w / 2, h / 2));
    a_ = view->ClientToPicture(QPoint(w / 2, h / 4));
    state_ = kAdjusting;
    Redraw();
}

void CDeskewTool::OnViewDeactivate(CVandrelView* view) {
    if (view != view_) return;
    Redraw();
    view->viewport()->setCursor(savedCursor_);
}

void CDeskewTool::Redraw() {
    if (view_) view_->viewport()->update();
}

void CDeskewTool::AfterDraw(CVandrelView* view, QPainter& painter) {
    if (view != view_ || state_ != kAdjusting || CurrentTool() != this) return;
    painter.save();
    // Drawn by inverting what lies under it, so it shows on every picture.
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    QPoint ca = view->PictureToClient(a_), cb = view->PictureToClient(b_);
    for (QPoint c : {ca, cb}) {
        painter.drawEllipse(QRect(c.x() - kThumbRadius, c.y() - kThumbRadius, 2 * kThumbRadius,
                                  2 * kThumbRadius));
        painter.drawLine(c.x() - kThumbRadius, c.y(), c.x() + kThumbRadius, c.y());
        painter.drawLine(c.x(), c.y() - kThumbRadius, c.x(), c.y() + kThumbRadius);
    }
    painter.drawLine(ca, cb);
    painter.restore();
}

void CDeskewTool::OnMouseMove(CVandrelView* view, unsigned, int x, int y) {
    if (view != view_ || state_ != kAdjusting) return;
    QPoint p = view->ClientToPicture(QPoint(x, y));
    if (dragging_) {
        (grabbed_ == 1 ? a_ : b_) = p;
        Redraw();
    } else {
        grabbed_ = HitTest(p, a_, b_);
        view->viewport()->setCursor(grabbed_ ? DeskewGrabCursor() : DeskewNormalCursor());
    }
    SetStatusPrompt(QString::fromUtf8(LoadStringById(IDS_DESKEW_PROMPT)));
}

void CDeskewTool::OnLButtonDown(CVandrelView* view, unsigned, int, int) {
    if (view != view_ || state_ != kAdjusting || grabbed_ == 0) return;
    dragging_ = true;
}

void CDeskewTool::OnLButtonUp(CVandrelView* view, unsigned, int, int) {
    if (view != view_) return;
    dragging_ = false;
}

void CDeskewTool::OnRButtonDown(CVandrelView* view, unsigned, int, int) {
    if (view != view_ || state_ != kAdjusting) return;
    state_ = kFinished;
    dragging_ = false;
    Redraw();
    CPicture* picture = view->GetDocument() ? view->GetDocument()->picture() : nullptr;
    bool tilted = a_.x() != b_.x() && a_.y() != b_.y();
    std::unique_ptr<CPicture> result;
    bool failed = false;
    if (tilted && picture) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result = DeskewPicture(picture, a_.x(), a_.y(), b_.x(), b_.y());
        QApplication::restoreOverrideCursor();
        failed = !result;
    }
    // A failed deskew leaves the page as it was; the user still gets the
    // sheet back, as on every other way out.
    if (!failed && sheet_) sheet_->ReplacePicture(source_, std::move(result));
    Finish();
    if (failed) ShowMessageById(IDS_OUT_OF_MEMORY);
}

void CDeskewTool::Finish() {
    ClearStatusPrompt();
    if (document_) {
        document_->setModified(false);
        PostCloseFrame(view_);
    }
    CVandrelView* view = view_;
    if (sheet_) sheet_->ShowAgain();
    SelectTool(view, ID_TOOL_DEFAULT);
    view_ = nullptr;
    document_ = nullptr;
    source_ = nullptr;
}
