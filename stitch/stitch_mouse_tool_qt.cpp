#include "stitch/stitch_mouse_tool_qt.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "base/message_box.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_icons_qt.h"
#include "stitch/stitch_run.h"
#include "stitch/stitch_sheet_qt.h"

namespace {
constexpr int kScrollStep = 8;

QRect ToQRect(const Box& b) { return QRect(b.left, b.top, b.Width(), b.Height()); }
}  // namespace

CStitchMouseTool* StitchMouseTool() {
    static CStitchMouseTool* tool = [] {
        FindTool(ID_TOOL_DEFAULT);  // the default tool first, as at start-up
        return new CStitchMouseTool;
    }();
    return tool;
}

CStitchMouseTool::CStitchMouseTool() : CMouseTool(ID_TOOL_STITCH) {}
CStitchMouseTool::~CStitchMouseTool() = default;

int CStitchMouseTool::AutoScrollStep(int p, int lo, int hi, int b) {
    if (p > hi - b / 6) return 2;
    if (p > hi - b / 3) return 1;
    if (p < lo + b / 6) return -2;
    if (p < lo + b / 3) return -1;
    return 0;
}

bool CStitchMouseTool::Prepare(CStitchSheet* sheet, const StitchRequest& request) {
    CPicture* main = sheet->page(0)->picture();
    CPicture* rest = sheet->page(1)->picture();
    if (!main || !rest) return false;
    // A sheet left hidden by an abandoned placement is done with now.
    if (sheet_ && sheet_ != sheet) sheet_->Destroy();
    sheet_ = sheet;
    if (CurrentTool() == this) SelectTool(view_, ID_TOOL_DEFAULT);
    session_ = std::make_unique<StitchSession>(*main, *rest, request);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StitchResult strip = session_->Prepare();
    QApplication::restoreOverrideCursor();
    if (!strip.picture) {
        session_.reset();
        ShowMessage(strip.message.empty() ? std::string(LoadStringById(IDS_OUT_OF_MEMORY)) : strip.message);
        return false;
    }
    side_ = session_->Side();
    seam_ = session_->Seam();
    OpenedDocument opened = OpenStitchDocument(std::move(strip.picture));
    if (!opened.view) {
        session_.reset();
        ShowMessageById(IDS_COMMAND_FAILED);
        return false;
    }
    document_ = opened.document;
    document_->setModified(false);
    view_ = opened.view;
    QObject::connect(view_, &QObject::destroyed, view_, [this] {
        // The strip's window closed under the tool.
        if (CurrentTool() == this) SelectTool(nullptr, ID_TOOL_DEFAULT);
    });
    // The document area sizes a maximised window and its view at once: the
    // view's client size below is already the maximised one.
    if (QMdiSubWindow* frame = FrameOf(view_)) frame->showMaximized();
    view_->FitFrameToPicture();
    // The seam in the middle of the window.
    QSize client = view_->viewport()->size();
    if (Across()) view_->ScrollTo(seam_ - client.width() / 2, 0, false);
    else view_->ScrollTo(0, seam_ - client.height() / 2, false);
    originScroll_ = QPoint(view_->ScrollX(), view_->ScrollY());
    state_ = 0;
    SelectTool(view_, ID_TOOL_STITCH);
    return true;
}

int CStitchMouseTool::SeamClient() const {
    QPoint seam = Across() ? QPoint(seam_, 0) : QPoint(0, seam_);
    QPoint client = view_->PictureToClient(seam);
    return Across() ? client.x() : client.y();
}

void CStitchMouseTool::OnViewActivate(CVandrelView* view) {
    if (!view || view != view_) return;
    // The placement needs the sheet's pictures as they were handed over: not
    // once the sheet is gone or shown again.
    if (!session_ || !sheet_ || sheet_->isVisible()) return;
    placementDone_ = false;
    if (state_ == 0) StartPhase1();
    else StartPhase2();
}

CStitchMouseTool::Box CStitchMouseTool::ShownStrip() const {
    QWidget* client = view_->viewport();
    Box shown{0, 0, client->width(), client->height()};
    CPicture* strip = view_->GetPicture();
    if (!strip) return shown;
    QPoint first = view_->PictureToClient(QPoint(0, 0));
    QPoint end = view_->PictureToClient(QPoint(strip->GetWidth(), strip->GetHeight()));
    shown.left = std::max(shown.left, first.x());
    shown.top = std::max(shown.top, first.y());
    shown.right = std::min(shown.right, end.x());
    shown.bottom = std::min(shown.bottom, end.y());
    return shown;
}

void CStitchMouseTool::StartPhase1() {
    QWidget* client = view_->viewport();
    int cw = client->width(), ch = client->height();
    // A block placed on the background beside the strip would name a point
    // outside the pictures, and the stitch would fail at the end.
    clip_ = ShownStrip();
    w_ = cw / 5;
    if (w_ <= 100) w_ = 100;
    w_ = std::min(w_, cw / 2);
    h_ = ch / 5;
    if (h_ <= 80) h_ = 80;
    h_ = std::min(h_, ch / 2);
    CPicture* strip = view_->GetPicture();
    int extent = strip ? (Across() ? strip->GetWidth() : strip->GetHeight()) : 0;
    int m = std::min(seam_, extent - seam_);
    if (Across() && w_ > m) w_ = m;
    if (!Across() && h_ > m) h_ = m;
    // Only the Rest half.
    int seam = SeamClient();
    switch (side_) {
    case kSideLeft: clip_.right = seam; break;
    case kSideRight: clip_.left = seam; break;
    case kSideTop: clip_.bottom = seam; break;
    default: clip_.top = seam; break;
    }
    // A strip smaller than the block on screen (a reduced view, a thin pair)
    // makes the block smaller.
    w_ = std::max(1, std::min(w_, clip_.right - clip_.left));
    h_ = std::max(1, std::min(h_, clip_.bottom - clip_.top));
    blockImage_ = QPixmap();
    QPoint start;
    switch (side_) {
    case kSideLeft: start = {clip_.right - w_ / 2, clip_.top + h_ / 2}; break;
    case kSideTop: start = {clip_.left + w_ / 2, clip_.bottom - h_ / 2}; break;
    default: start = {clip_.left + w_ / 2, clip_.top + h_ / 2}; break;
    }
    savedCursor_ = client->cursor();
    client->setCursor(StitchBlockCursor());
    MoveCursorTo(start);
    confining_ = true;
    state_ = 1;
    SetStatusPrompt(QString::fromUtf8(LoadStringById(IDS_STITCH_PICK_PROMPT)));
    view_->viewport()->update();
    block_ = {};
    DrawAt({start.x() - w_ / 2, start.y() - h_ / 2, start.x() - w_ / 2 + w_,
            start.y() - h_ / 2 + h_});
}

void CStitchMouseTool::StartPhase2() {
    QWidget* client = view_->viewport();
    // The chosen piece, as the view shows it without the outline.
    Box chosen = block_;
    block_ = {};
    blockImage_ = chosen.Empty() ? QPixmap() : client->grab(ToQRect(chosen));
    if (blockImage_.isNull()) {
        SelectTool(view_, ID_TOOL_DEFAULT);
        return;
    }
    clip_ = ShownStrip();
    int seam = SeamClient();
    switch (side_) {
    case kSideRight: clip_.right = std::min(clip_.right, seam + w_); break;
    case kSideLeft: clip_.left = std::max(clip_.left, seam - w_); break;
    case kSideBottom: clip_.bottom = std::min(clip_.bottom, seam + h_); break;
    default: clip_.top = std::max(clip_.top, seam - h_); break;
    }
    // The block starts where the pointer is (the pointer stays where the
    // user clicked); it is kept to the Main half from the time the pointer
    // gets there.
    const QPoint at = view_->LogicalToClient(client->mapFromGlobal(QCursor::pos()));
    client->setCursor(Qt::BlankCursor);
    confining_ = at.x() >= clip_.left && at.x() < clip_.right && at.y() >= clip_.top && at.y() < clip_.bottom;
    state_ = 2;
    SetStatusPrompt(QString::fromUtf8(LoadStringById(IDS_STITCH_PLACE_PROMPT)));
    DrawAt(BlockAround(at));
}

CStitchMouseTool::Box CStitchMouseTool::BlockAround(QPoint p) const {
    Box b{p.x() - w_ / 2, p.y() - h_ / 2, p.x() - w_ / 2 + w_, p.y() - h_ / 2 + h_};
    auto shift = [&](int dx, int dy) {
        b.left += dx;
        b.right += dx;
        b.top += dy;
        b.bottom += dy;
    };
    if (b.right > clip_.right) shift(clip_.right - b.right, 0);
    if (b.bottom > clip_.bottom) shift(0, clip_.bottom - b.bottom);
    if (b.left < clip_.left) shift(clip_.left - b.left, 0);
    if (b.top < clip_.top) shift(0, clip_.top - b.top);
    return b;
}

void CStitchMouseTool::MoveCursorTo(QPoint client) {
    QWidget* port = view_->viewport();
    QCursor::setPos(port->mapToGlobal(view_->ClientToLogical(client).toPoint()));
}

QPoint CStitchMouseTool::Confine(QPoint p) {
    if (!confining_ || clip_.Empty()) return p;
    QPoint inside(std::clamp(p.x(), clip_.left, clip_.right - 1),
                  std::clamp(p.y(), clip_.top, clip_.bottom - 1));
    // Qt cannot confine the pointer: it is put back when it leaves.
    if (inside != p) MoveCursorTo(inside);
    return inside;
}

void CStitchMouseTool::Erase() {
    if (!block_.Empty()) view_->viewport()->update(ToQRect(block_));
}

void CStitchMouseTool::DrawAt(const Box& box) {
    Erase();
    block_ = box;
    if (!block_.Empty()) view_->viewport()->update(ToQRect(block_));
}

void CStitchMouseTool::OnMouseMove(CVandrelView* view, unsigned, int x, int y) {
    if (!view || view != view_ || (state_ != 1 && state_ != 2)) return;
    if (!confining_ && x >= clip_.left && x < clip_.right && y >= clip_.top && y < clip_.bottom)
        confining_ = true;  // the pointer came into the half it may move in
    QPoint p = Confine(QPoint(x, y));
    int sx = confining_ ? AutoScrollStep(p.x(), clip_.left, clip_.right, w_) : 0;
    int sy = confining_ ? AutoScrollStep(p.y(), clip_.top, clip_.bottom, h_) : 0;
    Box next = BlockAround(p);
    QPoint now(view_->ScrollX(), view_->ScrollY());
    QPoint target = now + QPoint(kScrollStep * sx, kScrollStep * sy);
    // The seam axis stays on its own side of where the placement started.
    bool phase1 = state_ == 1;
    switch (side_) {
    case kSideLeft:
        target.setX(phase1 ? std::min(target.x(), originScroll_.x())
                           : std::max(target.x(), originScroll_.x()));
        break;
    case kSideRight:
        target.setX(phase1 ? std::max(target.x(), originScroll_.x())
                           : std::min(target.x(), originScroll_.x()));
        break;
    case kSideTop:
        target.setY(phase1 ? std::min(target.y(), originScroll_.y())
                           : std::max(target.y(), originScroll_.y()));
        break;
    default:
        target.setY(phase1 ? std::max(target.y(), originScroll_.y())
                           : std::min(target.y(), originScroll_.y()));
        break;
    }
    if (target != now) {
        Erase();
        autoScrolling_ = true;
        view_->ScrollTo(target.x(), target.y(), true);
        block_ = {};
        autoScrolling_ = false;
        DrawAt(next);
        view_->viewport()->update();
    } else {
        DrawAt(next);
    }
}

PointL CStitchMouseTool::ReferencePoint() const {
    QPoint corner;
    switch (side_) {
    case kSideLeft: corner = {block_.right, block_.top}; break;
    case kSideTop: corner = {block_.left, block_.bottom}; break;
    default: corner = {block_.left, block_.top}; break;
    }
    QPoint picture = view_->ClientToPicture(corner);
    return {picture.x(), picture.y()};
}

void CStitchMouseTool::OnLButtonDown(CVandrelView* view, unsigned, int, int) {
    if (!view || view != view_ || (state_ != 1 && state_ != 2) || !session_) return;
    Erase();
    PointL reference = ReferencePoint();
    if (state_ == 1) {
        restPoint_ = session_->StripToRest(reference);
        view_->viewport()->repaint();
        StartPhase2();
        return;
    }
    mainPoint_ = session_->StripToMain(reference);
    block_ = {};
    confining_ = false;
    view_->viewport()->repaint();
    Finish();
}

void CStitchMouseTool::Finish() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StitchResult joined = session_->Finish(mainPoint_, restPoint_);
    QApplication::restoreOverrideCursor();
    joined_ = joined && document_;
    if (joined_) {
        document_->core().SetPicture(std::move(joined.picture));
        document_->setModified(true);
    } else if (joined.status != StitchStatus::kCancelled) {
        ShowMessage(joined.message);
    }
    const bool searched = session_->Method() == StitchMethod::SemiAuto;
    placementDone_ = true;
    SelectTool(view_, ID_TOOL_DEFAULT);
    // What Semi-Auto's search found, as the command line reports it; the
    // result's Information page keeps saying it.
    if (joined_ && searched) {
        const QString finding = QString::fromStdString(DescribeFinding(joined.finding));
        document_->setStitchFinding(finding);
        SetStatusPrompt(finding);
    }
}

void CStitchMouseTool::OnKeyDown(CVandrelView* view, int key, int, unsigned) {
    if (!view || view != view_ || key != Qt::Key_Escape) return;
    SelectTool(view_, ID_TOOL_DEFAULT);
}

bool CStitchMouseTool::BeforeDraw(CVandrelView*, QPainter&) { return true; }

void CStitchMouseTool::AfterDraw(CVandrelView* view, QPainter& painter) {
    if (autoScrolling_ || !view || view != view_ || block_.Empty() || CurrentTool() != this)
        return;
    QRect r = ToQRect(block_);
    if (state_ == 1) {
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.restore();
    } else if (state_ == 2 && !blockImage_.isNull()) {
        painter.drawPixmap(r.topLeft(), blockImage_);
    }
}

void CStitchMouseTool::OnViewDeactivate(CVandrelView* view) {
    if (!view || view != view_) return;
    blockImage_ = QPixmap();
    confining_ = false;
    view->viewport()->setCursor(savedCursor_);
    view->viewport()->update();
    QMdiSubWindow* frame = FrameOf(view);
    if (!placementDone_) {
        ClearStatusPrompt();
        // Abandoned (Escape, or the window lost the focus): the strip stays
        // an ordinary document; a later activation starts phase 1 again.
        if (frame) frame->showNormal();
        view->FitFrameToPicture();
        block_ = {};
        state_ = 0;
        return;
    }
    if (sheet_) sheet_->Destroy();
    sheet_ = nullptr;
    ClearStatusPrompt();
    if (joined_) {
        if (frame) frame->showNormal();
        if (document_) document_->UpdateAllViews(nullptr);
        view->FitFrameToPicture();
    } else {
        if (document_) document_->setModified(false);
        block_ = {};
        state_ = 0;
        PostCloseFrame(view);
    }
    view_ = nullptr;
    session_.reset();
}
